#include "channelbuilder.h"

#include "addresspolicy.h"
#include "search.h"
#include "sizelimits.h"

#include <QSet>

#include <algorithm>

namespace miravon::import {
namespace {

bool isClean(const QString& s)
{
    for (QChar c : s)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    return true;
}

// The channel's name when a list gives none: its tvg-id without feed and
// country ("VTV5.vn@HD" is "VTV5").
QString nameOfId(const QString& tvgId)
{
    QString base = tvgId.section(u'@', 0, 0).trimmed();
    const qsizetype dot = base.lastIndexOf(u'.');
    if (dot > 0 && !countryCode(QStringView(base).mid(dot + 1)).isEmpty())
        base.truncate(dot);
    return base;
}

// The words the names begin with alike, compared as names are found
// (search::fold), as the first name writes them; empty when they have
// none in common. Words that are no letter or digit at its end are left
// out ("CNN -").
QString commonStart(const QList<const QString*>& names)
{
    const QStringList first = names.first()->split(u' ', Qt::SkipEmptyParts);
    qsizetype common = first.size();
    for (qsizetype n = 1; n < names.size() && common > 0; ++n) {
        const QStringList other = names.at(n)->split(u' ', Qt::SkipEmptyParts);
        qsizetype i = 0;
        while (i < common && i < other.size() && search::fold(first.at(i)) == search::fold(other.at(i)))
            ++i;
        common = i;
    }
    while (common > 0 && search::fold(first.at(common - 1)).isEmpty())
        --common;
    return first.first(common).join(u' ');
}

} // namespace

int ChannelBuilder::add(const Stream& s, const QString& list)
{
    if (!s.usable || s.countries.isEmpty() || !s.entry)
        return -1;
    const m3u::Entry& e = *s.entry;
    QString name = s.name;
    if (name.isEmpty())
        name = e.tvgName.simplified();
    if (name.isEmpty())
        name = nameOfId(e.tvgId);
    if (name.isEmpty())
        return -1;
    const QString& country = s.countries.first();
    const QString key = catalogue::channelKey(country, e.tvgId, name);
    auto it = byKey_.find(key);
    if (it == byKey_.end()) {
        Building b;
        b.channel.key = key;
        b.channel.country = country;
        it = byKey_.insert(key, int(channels_.size()));
        channels_.append(std::move(b));
    }
    Building& b = channels_[*it];
    catalogue::ListChannel& c = b.channel;
    // What one stream of the channel says and another does not is kept:
    // the first that says it.
    if (c.tvgId.isEmpty())
        c.tvgId = e.tvgId;
    if (c.group.isEmpty() && e.groupTitle.size() <= maxNameChars && isClean(e.groupTitle))
        c.group = e.groupTitle.simplified();
    if (c.logo.isEmpty() && e.tvgLogo.size() <= maxAddressChars && isClean(e.tvgLogo) && isWebAddress(e.tvgLogo))
        c.logo = e.tvgLogo;
    b.resolution = std::max(b.resolution, s.resolution);
    Kept k;
    k.stream = {{e.url, {e.referrer, e.userAgent, AddressOrigin::Imported}},
                list,
                e.title.isEmpty() ? e.tvgName : e.title};
    k.rank = rankOf(s);
    k.name = std::move(name);
    k.order = added_++;
    b.streams.append(std::move(k));
    return *it;
}

void ChannelBuilder::setEntry(int channel, const QString& entry)
{
    if (channel >= 0 && channel < channels_.size() && channels_.at(channel).channel.entry.isEmpty())
        channels_[channel].channel.entry = entry;
}

QList<catalogue::ListChannel> ChannelBuilder::take()
{
    QList<int> order(channels_.size());
    for (int i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [this](int a, int b) { return channels_.at(a).channel.country < channels_.at(b).channel.country; });
    QList<catalogue::ListChannel> out;
    out.reserve(channels_.size());
    for (int i : std::as_const(order)) {
        Building& b = channels_[i];
        std::stable_sort(b.streams.begin(), b.streams.end(), [](const Kept& x, const Kept& y) {
            return x.rank < y.rank || (!(y.rank < x.rank) && x.order < y.order);
        });
        catalogue::ListChannel c = std::move(b.channel);
        QSet<QString> seen;
        QList<const QString*> names;
        for (Kept& k : b.streams) {
            if (seen.contains(k.stream.address.url))
                continue;
            seen.insert(k.stream.address.url);
            names << &k.name;
            c.streams.append(k.stream);
        }
        c.name = commonStart(names);
        if (c.name.isEmpty())
            c.name = *names.first();
        if (b.resolution > 0)
            c.quality = QStringLiteral("%1p").arg(b.resolution);
        out.append(std::move(c));
    }
    channels_.clear();
    byKey_.clear();
    added_ = 0;
    return out;
}

} // namespace miravon::import
