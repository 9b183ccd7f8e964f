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
    for (int i = 0; i < channels_.size(); ++i) {
        const ListChannel& c = channels_.at(i);
        if (!c.tvgId.isEmpty())
            ids_[c.tvgId].append(i);
        QStringList seen;
        for (const QString& n : c.names) {
            const QString folded = foldName(n);
            if (folded.isEmpty() || seen.contains(folded))
                continue;
            seen << folded;
            names_[folded].append(i);
        }
    }
}

QList<int> ChannelMatcher::byName(const QStringList& foldedNames, const QString& country) const
{
    QList<int> out;
    for (const QString& name : foldedNames) {
        const auto it = names_.constFind(name);
        if (it == names_.cend())
            continue;
        QList<int> hits;
        if (!country.isEmpty()) {
            for (int i : *it)
                if (channels_.at(i).country == country)
                    hits << i;
        } else {
            // No country to hold the name to: only a name of one country.
            const QString& first = channels_.at(it->first()).country;
            bool one = true;
            for (int i : *it)
                one = one && channels_.at(i).country == first;
            if (one)
                hits = *it;
        }
        for (int i : std::as_const(hits))
            if (!out.contains(i))
                out << i;
    }
    std::sort(out.begin(), out.end());
    return out;
}

ChannelMatcher::Served ChannelMatcher::serve(const QString& id, const QStringList& foldedNames,
                                             const QString& country) const
{
    Served s;
    s.byId = byId(id);
    s.byName = byName(foldedNames, country);
    s.byName.removeIf([&](int i) { return s.byId.contains(i); });
    return s;
}

} // namespace miravon::guide
