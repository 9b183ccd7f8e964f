#include "channelmatch.h"

#include "matcher.h"

namespace miravon::guide {

QString foldName(QStringView name) { return import::nameWords(name).join(u' '); }

QString countryOfId(QStringView id)
{
    id = id.left(id.indexOf(u'@'));
    const qsizetype dot = id.lastIndexOf(u'.');
    return dot < 0 ? QString() : import::countryCode(id.mid(dot + 1));
}

ChannelMatcher::ChannelMatcher(QList<ListChannel> channels)
    : channels_(std::move(channels))
{
    countries_.reserve(channels_.size());
    for (int i = 0; i < channels_.size(); ++i) {
        const ListChannel& c = channels_.at(i);
        countries_.append(c.country.toUtf8());
        if (!c.tvgId.isEmpty())
            ids_[c.tvgId.toUtf8()].append(i);
        QList<QByteArray> seen;
        for (const QString& n : c.names) {
            const QByteArray folded = foldName(n).toUtf8();
            if (folded.isEmpty() || seen.contains(folded))
                continue;
            seen << folded;
            names_[folded].append(i);
        }
    }
}

void ChannelMatcher::addByName(QByteArrayView name, QByteArrayView country, QList<int>* out) const
{
    // A view of the bytes, not a copy: this runs for every channel of every
    // stored guide at start.
    const auto it = names_.constFind(QByteArray::fromRawData(name.data(), name.size()));
    if (it == names_.cend())
        return;
    if (country.isEmpty()) {
        // No country to hold the name to: only a name of one country.
        const QByteArray& first = countries_.at(it->first());
        for (int i : *it)
            if (countries_.at(i) != first)
                return;
    }
    for (int i : *it)
        if ((country.isEmpty() || countries_.at(i) == country) && !out->contains(i))
            out->append(i);
}

ChannelMatcher::Served ChannelMatcher::serve(QByteArrayView id, QByteArrayView foldedNames, char separator,
                                             QByteArrayView country) const
{
    Served s;
    if (!id.isEmpty())
        s.byId = ids_.value(QByteArray::fromRawData(id.data(), id.size()));
    while (!foldedNames.isEmpty()) {
        const qsizetype cut = foldedNames.indexOf(separator);
        const QByteArrayView name = cut < 0 ? foldedNames : foldedNames.first(cut);
        foldedNames = cut < 0 ? QByteArrayView() : foldedNames.sliced(cut + 1);
        if (!name.isEmpty())
            addByName(name, country, &s.byName);
    }
    if (!s.byName.isEmpty()) {
        s.byName.removeIf([&](int i) { return s.byId.contains(i); });
        std::sort(s.byName.begin(), s.byName.end());
    }
    return s;
}

ChannelMatcher::Served ChannelMatcher::serve(const QString& id, const QStringList& foldedNames,
                                             const QString& country) const
{
    return serve(id.toUtf8(), foldedNames.join(QChar(0x1f)).toUtf8(), '\x1f', country.toUtf8());
}

} // namespace miravon::guide
