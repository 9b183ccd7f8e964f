#include "guide.h"

#include "store.h"

#include <limits>

namespace miravon::guide {
namespace {

quint32 secs(const QDateTime& t)
{
    return quint32(std::clamp<qint64>(t.toSecsSinceEpoch(), 0, std::numeric_limits<quint32>::max()));
}

QDateTime utc(quint32 s) { return QDateTime::fromSecsSinceEpoch(qint64(s), Qt::UTC); }

} // namespace

Guide Guide::build(const QList<std::shared_ptr<const Store>>& stores, const ChannelMatcher& matcher)
{
    auto data = std::make_shared<Data>();
    data->stores = stores;
    const QList<ListChannel>& channels = matcher.channels();
    // Per list channel: 0 served by id, 1 by name, 2 not yet.
    QList<int> rank(channels.size(), 2);
    QList<Ref> best(channels.size());
    for (int s = 0; s < stores.size(); ++s) {
        const Store& store = *stores.at(s);
        for (int c = 0; c < store.channelCount(); ++c) {
            // "id, country, names...": read where it lies, at start.
            QByteArrayView meta = store.metaBytes(c);
            const qsizetype idEnd = meta.indexOf(Store::metaSeparator);
            if (idEnd < 0)
                continue;
            const QByteArrayView id = meta.first(idEnd);
            meta = meta.sliced(idEnd + 1);
            const qsizetype countryEnd = meta.indexOf(Store::metaSeparator);
            const QByteArrayView country = countryEnd < 0 ? meta : meta.first(countryEnd);
            const QByteArrayView names = countryEnd < 0 ? QByteArrayView() : meta.sliced(countryEnd + 1);
            const ChannelMatcher::Served served = matcher.serve(id, names, Store::metaSeparator, country);
            for (const auto& [list, r] : {std::pair{&served.byId, 0}, std::pair{&served.byName, 1}}) {
                for (int i : *list) {
                    if (r < rank.at(i)) {
                        rank[i] = r;
                        best[i] = {s, c};
                    }
                }
            }
        }
    }
    QList<QList<bool>> seen(stores.size());
    for (int s = 0; s < stores.size(); ++s)
        seen[s].resize(stores.at(s)->channelCount());
    data->byKey.reserve(channels.size());
    for (qsizetype i = 0; i < channels.size(); ++i) {
        if (rank.at(i) == 2)
            continue;
        const Ref ref = best.at(i);
        data->byKey.insert(channels.at(i).key, ref);
        if (!seen[ref.store][ref.channel]) {
            seen[ref.store][ref.channel] = true;
            data->refs.append(ref);
        }
    }
    Guide g;
    g.d_ = std::move(data);
    return g;
}

Programme Guide::programme(const Ref& ref, int index) const
{
    const Store& store = *d_->stores.at(ref.store);
    Programme p;
    p.start = utc(store.start(index));
    p.stop = utc(store.stop(index));
    Texts t;
    store.texts(ref.channel, index, &t);
    p.title = std::move(t.title);
    p.subTitle = std::move(t.subTitle);
    p.description = std::move(t.description);
    p.category = std::move(t.category);
    return p;
}

NowNext Guide::nowNext(const QString& key, const QDateTime& t) const
{
    NowNext out;
    if (!d_)
        return out;
    const auto it = d_->byKey.constFind(key);
    if (it == d_->byKey.cend())
        return out;
    const Store& store = *d_->stores.at(it->store);
    const quint32 at = secs(t);
    const int end = store.firstProgramme(it->channel) + store.programmeCountOf(it->channel);
    int i = store.firstEndingAfter(it->channel, at);
    if (i < end && store.start(i) <= at)
        out.now = programme(*it, i++);
    if (i < end)
        out.next = programme(*it, i);
    return out;
}

QList<Programme> Guide::programmes(const QString& key, const QDateTime& from, const QDateTime& to) const
{
    QList<Programme> out;
    if (!d_)
        return out;
    const auto it = d_->byKey.constFind(key);
    if (it == d_->byKey.cend())
        return out;
    const Store& store = *d_->stores.at(it->store);
    const int end = store.firstProgramme(it->channel) + store.programmeCountOf(it->channel);
    const quint32 until = secs(to);
    for (int i = store.firstEndingAfter(it->channel, secs(from)); i < end && store.start(i) < until; ++i)
        out.append(programme(*it, i));
    return out;
}

QList<Programme> Guide::schedule(const QString& key, QDate day, const QTimeZone& zone) const
{
    return programmes(key, QDateTime(day, QTime(0, 0), zone), QDateTime(day.addDays(2), QTime(0, 0), zone));
}

QDateTime Guide::nextBoundary(const QDateTime& t) const
{
    if (!d_)
        return {};
    const quint32 at = secs(t);
    quint32 next = std::numeric_limits<quint32>::max();
    bool found = false;
    for (const Ref& ref : d_->refs) {
        const Store& store = *d_->stores.at(ref.store);
        const int end = store.firstProgramme(ref.channel) + store.programmeCountOf(ref.channel);
        const int i = store.firstEndingAfter(ref.channel, at);
        if (i >= end)
            continue;
        const quint32 b = store.start(i) > at ? store.start(i) : store.stop(i);
        if (b < next || !found) {
            next = b;
            found = true;
        }
    }
    return found ? utc(next) : QDateTime();
}

} // namespace miravon::guide
