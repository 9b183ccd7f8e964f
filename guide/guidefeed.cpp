#include "guidefeed.h"

#include "addressfiles.h"
#include "folders.h"
#include "importer.h"
#include "listchannels.h"
#include "localfile.h"
#include "m3u.h"

#include <QFileInfo>
#include <QSet>

namespace miravon::guide {
namespace {

// A list's first line is read, never more: the header names its guides.
constexpr qint64 headBytes = 64 * 1024;

QStringList guidesOfFile(const QString& path)
{
    QByteArray head;
    QString error;
    if (readRegularFile(path, headBytes, &head, &error, ReadExtent::Head) != ReadResult::Ok)
        return {};
    return guidesOfList(head);
}

} // namespace

QStringList guidesOfList(QByteArrayView head)
{
    // The header is the first line that is not blank (after a byte-order
    // mark); the reader takes its attributes.
    qsizetype start = 0;
    if (head.startsWith("\xEF\xBB\xBF"))
        start = 3;
    while (start < head.size() && (head.at(start) == '\r' || head.at(start) == '\n' || head.at(start) == ' '))
        ++start;
    qsizetype end = start;
    while (end < head.size() && head.at(end) != '\n' && head.at(end) != '\r')
        ++end;
    const QByteArrayView line = head.sliced(start, end - start);
    if (!line.startsWith("#EXTM3U") && !line.startsWith("#extm3u"))
        return {};
    return m3u::parse(line).guides;
}

Feed readFeed(const QString& configDir, const QString& cacheDir)
{
    const QString config = configDir.isEmpty() ? userdata::configDir() : configDir;
    const QString cache = cacheDir.isEmpty() ? userdata::cacheDir() : cacheDir;
    Feed feed;

    QByteArray bytes;
    QString error;
    QList<catalogue::ListChannel> channels;
    if (readRegularFile(config + u'/' + userdata::listChannelsFileName(), catalogue::maxListChannelsFileBytes, &bytes,
                        &error)
        == ReadResult::Ok)
        channels = catalogue::readListChannels(bytes);
    bytes = {};

    // A list's country: the one most of its channels are of, for guide
    // channels whose id names none.
    QHash<QString, QHash<QString, int>> countriesOfList;
    feed.channels.reserve(channels.size());
    for (const catalogue::ListChannel& c : std::as_const(channels)) {
        ListChannel l;
        l.key = c.key;
        // The feed of an id ("VTV5.vn@HD") is not part of a guide's id.
        l.tvgId = c.tvgId.section(u'@', 0, 0);
        QSet<QString> names{c.name};
        for (const catalogue::ListStream& s : c.streams) {
            names.insert(s.title);
            ++countriesOfList[s.list][c.country];
        }
        l.names = QStringList(names.begin(), names.end());
        l.names.sort();
        l.country = c.country;
        feed.channels << l;
        feed.nameOfKey.insert(c.key, c.name);
        if (!c.entry.isEmpty())
            feed.keyOfEntry.insert(c.entry, c.key);
    }

    QSet<QString> seen;
    for (const import::SourceRecord& r : import::sourcesInUse(config)) {
        if (!r.error.isEmpty())
            continue;
        const QStringList guides = guidesOfFile(r.kind == import::SourceRecord::Kind::File
                                                    ? r.location
                                                    : import::listCachePath(cache, r.location));
        QString country;
        int most = 0;
        QHash<QString, int> counts = countriesOfList.value(r.location);
        if (counts.isEmpty())
            counts = countriesOfList.value(QFileInfo(r.location).fileName());
        for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
            if (it.value() > most || (it.value() == most && it.key() < country)) {
                most = it.value();
                country = it.key();
            }
        }
        for (const QString& g : guides) {
            if (seen.contains(g))
                continue;
            seen.insert(g);
            feed.guides << GuideSource{g, false, country};
        }
    }
    return feed;
}

} // namespace miravon::guide
