// The update over every country's list and the per-country sub-lists, as
// the public index has them (about 15,000 streams), served on loopback by
// the benchmarks' server process; the lists are made at bench time.
//
//   bench_lists_update [--rounds N]
//
// Rows (bench/README.md):
// - the update: every country list fetched (six at a time) and the
//   sub-lists in use fetched again, matched, gathered into channels and
//   written as one transaction (goal <= 3 s);
// - the process's peak resident size over the updates;
// - reading the channels' file back, and what holding it costs.
#include "catalogue.h"
#include "common.h"
#include "importer.h"
#include "listchannels.h"
#include "matcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <array>
#include <cstdio>

using namespace miravon;

namespace {

// What a country's lists look like in the index: a few large ones, many
// small, some with only their header, some missing (404).
int streamsFor(const QString& code, QRandomGenerator& random)
{
    static const QHash<QString, int> large = {
        {"us", 900}, {"in", 420}, {"uk", 260}, {"fr", 230}, {"de", 230}, {"it", 220}, {"es", 210}, {"ru", 200},
        {"br", 190}, {"cn", 180}, {"tr", 170}, {"mx", 160}, {"ar", 140}, {"ca", 130}, {"kr", 120}, {"id", 110},
        {"vn", 63},  {"pl", 100}, {"nl", 90},  {"gr", 90},  {"ro", 90},  {"pt", 80},  {"ua", 80},  {"pe", 80}};
    if (large.contains(code))
        return large.value(code);
    const quint32 kind = random.bounded(20);
    if (kind == 0)
        return -1; // no list: 404
    if (kind <= 2)
        return 0; // its header only
    return int(random.bounded(2, 40));
}

const QStringList words = {"News", "Sport", "Music", "Kids", "Movies", "Life", "Channel", "Nova", "Star", "Planet",
                           "Prime", "One", "Info", "Cinema", "Gold", "Classic", "Family", "Radio", "Live", "Local"};
const QStringList groups = {"General", "News", "Sports", "Music", "Kids", "Movies", "Entertainment", "Religious",
                            "Shop", "Culture;Education"};

// One list: `count` streams of country `code`, some of them the names of
// the catalogue's entries of that country, some channels with several
// streams (qualities, feeds, a geo-blocked copy).
QByteArray makeList(const QString& code, const QString& tag, int count, const QStringList& known,
                    QRandomGenerator& random)
{
    QByteArray out = "#EXTM3U\n";
    const QString cc = code == QLatin1String("uk") ? QStringLiteral("uk") : code;
    QString name, id;
    for (int i = 0; i < count; ++i) {
        const bool again = i > 0 && random.bounded(4) == 0; // another stream of the last channel
        if (!again) {
            if (!known.isEmpty() && random.bounded(5) == 0)
                name = known.at(int(random.bounded(int(known.size()))));
            else
                name = words.at(int(random.bounded(int(words.size())))) + u' '
                    + words.at(int(random.bounded(int(words.size())))) + u' ' + QString::number(i) + tag;
            id = name;
            id.remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")));
            id += u'.' + cc;
        }
        const int quality = std::array{0, 480, 720, 1080}[random.bounded(4)];
        QString title = name;
        if (quality)
            title += QStringLiteral(" (%1p)").arg(quality);
        if (random.bounded(10) == 0)
            title += QStringLiteral(" [Geo-blocked]");
        const QString feed = again && random.bounded(2) ? QStringLiteral("@HD") : QStringLiteral("@SD");
        out += QStringLiteral("#EXTINF:-1 tvg-id=\"%1%2\" tvg-logo=\"https://logo.example/%3/%4.png\" "
                              "group-title=\"%5\",%6\n")
                   .arg(id, feed, cc, QString::number(i), groups.at(int(random.bounded(int(groups.size())))), title)
                   .toUtf8();
        if (random.bounded(20) == 0)
            out += "#EXTVLCOPT:http-referrer=https://player.example/\n#EXTVLCOPT:http-user-agent=Mozilla/5.0 (X11)\n";
        out += QStringLiteral("https://stream.example/%1%2/%3/index.m3u8\n").arg(cc, tag).arg(i).toUtf8();
    }
    return out;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int rounds = qEnvironmentVariableIsSet("BENCH_QUICK") ? 3 : 9;
    const QStringList args = app.arguments();
    if (const qsizetype at = args.indexOf(QStringLiteral("--rounds")); at > 0 && at + 1 < args.size())
        rounds = std::max(1, args.at(at + 1).toInt());

    // The lists, made now, the same every run.
    QTemporaryDir lists;
    QRandomGenerator random(20250101);
    QHash<QString, QStringList> known;
    const QList<import::Target> targets = import::targets(catalogue::pristine(), import::builtInMatchData());
    for (const import::Target& t : targets)
        for (const QString& c : t.countries)
            known[c == QLatin1String("GB") ? QStringLiteral("uk") : c.toLower()] << t.caption;
    int countryStreams = 0, countryLists = 0, subStreams = 0;
    for (const QString& code : import::listCodes()) {
        const int n = streamsFor(code, random);
        if (n < 0)
            continue;
        if (!writeFile(lists.filePath(code + QStringLiteral(".m3u")), makeList(code, {}, n, known.value(code), random)))
            return 1;
        countryStreams += n;
        ++countryLists;
    }
    const QStringList subLists = {"us_pluto", "us_samsung", "us_roku",  "us_xumo",     "us_stirr",   "us_plex",
                                  "us_local", "us_tubi",    "uk_samsung", "uk_pluto",  "uk_rakuten", "fr_samsung",
                                  "fr_rakuten", "de_samsung", "de_pluto", "es_rakuten", "es_samsung", "it_samsung",
                                  "it_rakuten", "ca_samsung", "ca_stirr", "br_pluto",   "mx_pluto",   "in_samsung",
                                  "kr_samsung", "au_samsung"};
    for (const QString& sub : subLists) {
        const QString code = sub.section(u'_', 0, 0);
        const int n = int(random.bounded(180, 340));
        if (!writeFile(lists.filePath(sub + QStringLiteral(".m3u")),
                       makeList(code, u'-' + sub.section(u'_', 1), n, known.value(code), random)))
            return 1;
        subStreams += n;
    }

    // Each answer sent at once, as a production server sends it.
    bench::MediaServer server(lists.path(), 0, false, {QStringLiteral("--no-nagle")});
    if (!server.ok()) {
        std::fprintf(stderr, "the loopback server did not start\n");
        return 1;
    }
    QTemporaryDir home;
    const QString config = home.filePath(QStringLiteral("config"));
    const QString cache = home.filePath(QStringLiteral("cache"));

    // The sub-lists are the user's, added by address: every update fetches
    // them again beside the public lists.
    import::ImportOptions added;
    for (const QString& sub : subLists)
        added.sources << server.http(u'/' + sub + QStringLiteral(".m3u"));
    added.configDir = config;
    added.cacheDir = cache;
    if (import::importPlaylists(added).status != 0) {
        std::fprintf(stderr, "the sub-lists could not be imported\n");
        return 1;
    }

    import::UpdateOptions update;
    update.sourceTemplate = server.http(QStringLiteral("/{code}.m3u"));
    update.configDir = config;
    update.cacheDir = cache;
    const long rssBefore = bench::residentKiB();
    QList<double> ms;
    import::ImportOutcome outcome;
    QElapsedTimer clock;
    for (int round = 0; round <= rounds; ++round) {
        clock.start();
        outcome = import::updateChannels(update);
        const double took = double(clock.nsecsElapsed()) / 1e6;
        if (outcome.status != 0) {
            std::fprintf(stderr, "the update failed: %s\n", qUtf8Printable(outcome.error));
            return 1;
        }
        if (round > 0) // the first one warms up
            ms << took;
    }
    const long peak = bench::statusKiB("VmHWM:");
    std::printf("%d country lists (%d streams) of %lld codes, %lld sub-lists (%d streams): %d lists read, "
                "%d entries given an address, %d channels kept\n",
                countryLists, countryStreams, qint64(import::listCodes().size()), qint64(subLists.size()), subStreams,
                outcome.listsRead, outcome.written, outcome.channels);

    // The channels' file read back, as the windows read it.
    QFile file(config + u'/' + QStringLiteral("addresses.import.channels.tsv"));
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray bytes = file.readAll();
    QList<double> readMs;
    bench::trimHeap();
    const long rssBeforeRead = bench::residentKiB();
    QList<catalogue::ListChannel> held;
    for (int round = 0; round <= rounds; ++round) {
        held.clear();
        bench::trimHeap();
        clock.start();
        held = catalogue::readListChannels(bytes);
        if (round > 0)
            readMs << double(clock.nsecsElapsed()) / 1e6;
    }
    const long rssHeld = bench::residentKiB();

    const QString what = QStringLiteral("%1 lists, %2 streams").arg(countryLists + subLists.size()).arg(
        countryStreams + subStreams);
    bench::printRow({QStringLiteral("lists"), QStringLiteral("update, %1 (goal <= 3000)").arg(what),
                     QStringLiteral("ms"), bench::stats(ms), {}, {}});
    bench::printRow({QStringLiteral("lists"), QStringLiteral("peak RSS over the updates (%1 MiB before)")
                                                  .arg(double(rssBefore) / 1024, 0, 'f', 1),
                     QStringLiteral("MiB"), bench::stats({double(peak) / 1024}), {}, {}});
    bench::printRow({QStringLiteral("lists"),
                     QStringLiteral("read the channels' file (%1 channels, %2 MiB)")
                         .arg(held.size())
                         .arg(double(bytes.size()) / (1024 * 1024), 0, 'f', 1),
                     QStringLiteral("ms"), bench::stats(readMs), {}, {}});
    bench::printRow({QStringLiteral("lists"), QStringLiteral("RSS holding the channels read"), QStringLiteral("MiB"),
                     bench::stats({double(rssHeld - rssBeforeRead) / 1024}), {}, {}});
    return 0;
}
