#include "importer.h"

#include "addresspolicy.h"
#include "catalogue.h"
#include "fetcher.h"
#include "folders.h"
#include "importreport.h"
#include "matcher.h"
#include "settings.h"
#include "userfiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace miravon::import {
namespace {

const QString txtName = QStringLiteral("addresses.import.txt");
const QString streamsName = userdata::importStreamsFileName();
const QString sourcesName = QStringLiteral("addresses.import.sources.tsv");
const QString bakSuffix = QStringLiteral(".bak");
const QByteArray tableHeader = "window\tcontrol\taddress\treferrer\tuser_agent\n";

// How long an import or undo waits for another one to finish writing.
constexpr int lockWaitMs = 5000;

// Fetches a channel list within its bounds: only this one document, never
// what it names.
bool fetch(const QUrl& url, QByteArray* body, QString* error)
{
    const FetchResult result = fetchAndWait(url, {}, listFetchLimits);
    if (result.failure != PlayFailure::None) {
        *error = fetchFailureText(result);
        return false;
    }
    *body = result.body;
    return true;
}

bool readFile(const QString& path, QByteArray* body, QString* error)
{
    switch (files::readRegularFile(path, maxPlaylistFileBytes, body, error)) {
    case ReadResult::Ok:
        return true;
    case ReadResult::Missing:
        *error = QStringLiteral("cannot be read (no such file)");
        return false;
    case ReadResult::Failed:
        break;
    }
    return false;
}

// Why bytes that are no M3U playlist are not one, where that can be told.
QString notAPlaylist(const QByteArray& body)
{
    if (body.isEmpty())
        return QStringLiteral("the file is empty");
    const bool bom16 = body.startsWith("\xFF\xFE") || body.startsWith("\xFE\xFF");
    // Unmarked UTF-16: ASCII text has a NUL in every other byte.
    qsizetype evenNul = 0, oddNul = 0;
    const qsizetype sample = std::min<qsizetype>(body.size(), 4096);
    for (qsizetype i = 0; i < sample; ++i)
        if (body.at(i) == 0)
            ++(i % 2 ? oddNul : evenNul);
    if (bom16 || (sample >= 4 && std::max(evenNul, oddNul) * 3 >= sample && std::min(evenNul, oddNul) * 10 < sample))
        return QStringLiteral("UTF-16 text; save it as UTF-8 and import it again");
    if (body.contains('\0'))
        return QStringLiteral("binary data (it holds NUL bytes), not a text playlist");
    return QStringLiteral("not an M3U playlist (no #EXTM3U header and no #EXTINF entry)");
}

// Reads one source. On failure `error` is the one line that names it.
bool readSource(const QString& source, Source* out, QString* error)
{
    QByteArray body;
    QString why;
    bool ok = false;
    if (isWebAddress(source)) {
        const QUrl url(source);
        ok = url.isValid() && !url.host().isEmpty();
        if (!ok)
            why = QStringLiteral("is not a valid address");
        else
            ok = fetch(url, &body, &why);
        out->name = source;
    } else {
        QString path = source;
        const qsizetype colon = source.indexOf(QLatin1String("://"));
        if (source.startsWith(QLatin1String("file://"), Qt::CaseInsensitive)) {
            path = QUrl(source).toLocalFile();
        } else if (colon > 0) {
            *error = QStringLiteral("%1: only files and http or https addresses can be imported").arg(source);
            return false;
        }
        ok = readFile(path, &body, &why);
        out->name = QFileInfo(path).fileName();
    }
    if (!ok) {
        *error = QStringLiteral("%1: %2").arg(source, why);
        return false;
    }
    out->playlist = m3u::parse(body);
    if (!out->playlist.isPlaylist) {
        *error = QStringLiteral("%1: %2").arg(source, notAPlaylist(body));
        return false;
    }
    if (out->playlist.entries.isEmpty()) {
        *error = QStringLiteral("%1: holds no stream (no address after its #EXTINF lines)").arg(source);
        return false;
    }
    return true;
}

// The config folder's lock, for the write phase only: reading and matching
// need none. A second import waits for the first, briefly.
std::unique_ptr<files::FolderLock> takeLock(const QString& dir, QString* error)
{
    bool busy = false;
    std::unique_ptr<files::FolderLock> lock = files::FolderLock::take(dir, lockWaitMs, &busy, error);
    if (busy)
        *error = QStringLiteral("%1: another import is running; try again when it has finished").arg(dir);
    return lock;
}

// The import's tables: each entry's first stream (the file every version
// reads), and every stream matched for it, in order of preference, with
// the list it came from and its name (a file of its own, which readers of
// the first ignore).
QByteArray importTable(const QList<Target>& targets, const Result& result)
{
    QByteArray out = tableHeader;
    for (const Match& m : result.matches) {
        const Target& t = targets.at(m.target);
        const m3u::Entry& e = *result.streams.at(m.candidates.first().stream).entry;
        out += QStringList{t.window, t.control, e.url, e.referrer, e.userAgent}.join(u'\t').toUtf8() + '\n';
    }
    return out;
}

QByteArray streamsTable(const QList<Target>& targets, const Result& result, const QList<Source>& sources)
{
    auto clean = [](QString s) { return s.replace(u'\t', u' ').replace(u'\n', u' ').remove(u'\r'); };
    QByteArray out = userdata::streamsHeader().toUtf8();
    for (const Match& m : result.matches) {
        const Target& t = targets.at(m.target);
        for (const Candidate& c : m.candidates) {
            const Stream& st = result.streams.at(c.stream);
            const m3u::Entry& e = *st.entry;
            out += QStringList{t.window, t.control, e.url, e.referrer, e.userAgent, clean(sources.at(st.source).name),
                               clean(e.title.isEmpty() ? e.tvgName : e.title)}
                       .join(u'\t')
                       .toUtf8()
                + '\n';
        }
    }
    return out;
}

QString kindName(SourceRecord::Kind kind)
{
    switch (kind) {
    case SourceRecord::Kind::Public: return QStringLiteral("public");
    case SourceRecord::Kind::Address: return QStringLiteral("address");
    case SourceRecord::Kind::File: break;
    }
    return QStringLiteral("file");
}

QByteArray sourcesTable(const QList<SourceRecord>& records)
{
    QByteArray out = "kind\tlocation\tread\tstreams\tentries\terror\n";
    auto clean = [](QString s) { return s.replace(u'\t', u' ').replace(u'\n', u' ').remove(u'\r'); };
    for (const SourceRecord& r : records)
        out += QStringList{kindName(r.kind), clean(r.location), r.read.toString(Qt::ISODate),
                           QString::number(r.streams), QString::number(r.entries), clean(r.error)}
                   .join(u'\t')
                   .toUtf8()
            + '\n';
    return out;
}

QList<SourceRecord> parseSources(const QByteArray& bytes)
{
    QList<SourceRecord> out;
    const QList<QByteArray> lines = bytes.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList f = QString::fromUtf8(lines.at(i)).split(u'\t');
        if (f.size() != 6 || f.at(1).isEmpty())
            continue;
        SourceRecord r;
        r.kind = f.at(0) == QLatin1String("public")    ? SourceRecord::Kind::Public
                 : f.at(0) == QLatin1String("address") ? SourceRecord::Kind::Address
                                                       : SourceRecord::Kind::File;
        r.location = f.at(1);
        r.read = QDateTime::fromString(f.at(2), Qt::ISODate);
        r.streams = f.at(3).toInt();
        r.entries = f.at(4).toInt();
        r.error = f.at(5);
        out << r;
    }
    return out;
}

// The last good copy of a list read over the network, in the cache folder:
// adding a file to the sources reads the others again without the network.
QString cachePathOf(const QString& cacheDir, const QString& address)
{
    return cacheDir + QStringLiteral("/lists/")
        + QString::fromLatin1(QCryptographicHash::hash(address.toUtf8(), QCryptographicHash::Sha1).toHex())
        + QStringLiteral(".m3u");
}

void keepInCache(const QString& cacheDir, const QString& address, const QByteArray& body)
{
    // Only a cache: a lost copy is fetched again.
    QDir().mkpath(cacheDir + QStringLiteral("/lists"));
    QSaveFile f(cachePathOf(cacheDir, address));
    if (f.open(QIODevice::WriteOnly) && f.write(body) == body.size())
        f.commit();
}

// Turns fetched or read bytes into a source; false with the reason.
bool parseSource(const QString& source, const QString& name, const QByteArray& body, Source* out, QString* error)
{
    out->name = name;
    out->playlist = m3u::parse(body);
    if (!out->playlist.isPlaylist) {
        *error = QStringLiteral("%1: %2").arg(source, notAPlaylist(body));
        return false;
    }
    if (out->playlist.entries.isEmpty()) {
        *error = QStringLiteral("%1: holds no stream (no address after its #EXTINF lines)").arg(source);
        return false;
    }
    return true;
}

// Fetches many lists, at most `parallel` at once, in a local event loop.
// Each result is the body or the reason; empty results when cancelled.
QList<FetchResult> fetchAll(const QStringList& addresses, int parallel, const FetchLimits& limits,
                            const std::function<void(int, int)>& progress, const std::atomic_bool* cancel,
                            bool* cancelled)
{
    QList<FetchResult> results(addresses.size());
    *cancelled = false;
    if (addresses.isEmpty())
        return results;
    QNetworkAccessManager network;
    QEventLoop loop;
    std::vector<std::unique_ptr<Fetch>> fetches;
    int next = 0;
    int running = 0;
    int done = 0;
    std::function<void()> launch = [&] {
        while (running < std::max(1, parallel) && next < addresses.size()) {
            const int index = next++;
            auto fetch = std::make_unique<Fetch>(&network);
            QObject::connect(fetch.get(), &Fetch::finished, &loop, [&, index](const FetchResult& r) {
                results[index] = r;
                --running;
                ++done;
                if (progress)
                    progress(done, int(addresses.size()));
                if (done == addresses.size())
                    loop.quit();
                else
                    launch();
            });
            fetch->start(documentRequest(QUrl(addresses.at(index))), limits);
            fetches.push_back(std::move(fetch));
            ++running;
        }
    };
    QTimer watch;
    if (cancel) {
        QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
            if (cancel->load()) {
                *cancelled = true;
                loop.quit();
            }
        });
        watch.start(50);
    }
    launch();
    loop.exec();
    fetches.clear(); // cancels what is still running
    return results;
}

// What an import or update read, ready to be matched.
struct Gathered {
    QList<Source> sources;
    QList<SourceRecord> records; // one per source read, then the skipped ones
    QStringList skipped;         // "source: why"
};

// Reads one source named by the user: a file now, a list's address through
// the network. `cacheFirst`: a list's address from its copy in the cache,
// when there is one.
bool readNamed(const QString& source, const QString& cacheDir, bool cacheFirst, Source* out, SourceRecord* record,
               QString* error)
{
    record->read = QDateTime::currentDateTimeUtc();
    if (isWebAddress(source)) {
        record->kind = SourceRecord::Kind::Address;
        record->location = source;
        const QUrl url(source);
        if (!url.isValid() || url.host().isEmpty()) {
            *error = QStringLiteral("%1: is not a valid address").arg(source);
            return false;
        }
        QByteArray body;
        QString why;
        if (!(cacheFirst && readRegularFile(cachePathOf(cacheDir, source), maxPlaylistBytes, &body, &why)
                                == ReadResult::Ok)) {
            if (!fetch(url, &body, &why)) {
                *error = QStringLiteral("%1: %2").arg(source, why);
                return false;
            }
            keepInCache(cacheDir, source, body);
        }
        return parseSource(source, source, body, out, error);
    }
    Source s;
    if (!readSource(source, &s, error))
        return false;
    *out = s;
    record->kind = SourceRecord::Kind::File;
    record->location = source.startsWith(QLatin1String("file://"), Qt::CaseInsensitive)
        ? QUrl(source).toLocalFile()
        : QFileInfo(source).absoluteFilePath();
    return true;
}

} // namespace

namespace {

QString configFolder(const QString& given) { return given.isEmpty() ? userdata::configDir() : given; }

// Entries the import layer gives now: the rows of its first table.
int entriesInUse(const QString& dir)
{
    QByteArray bytes;
    QString error;
    if (files::readCommitted(dir, userdata::importFileName(), userdata::maxAddressFileBytes, &bytes, &error)
        != ReadResult::Ok)
        return 0;
    return int(std::max<qsizetype>(0, bytes.count('\n') - 1));
}

// Matches what was gathered and, unless a dry run, puts it in place as the
// new import layer. `keepAbove`: an update that would give fewer entries
// than this leaves the layer as it is.
ImportOutcome buildLayer(Gathered& g, const QString& country, bool dryRun, const QString& dir, int keepAbove)
{
    ImportOutcome outcome;
    outcome.listsRead = int(g.sources.size());
    outcome.skipped = g.skipped;
    const catalogue::Catalogue cat = catalogue::parse(catalogue::builtInTables(), nullptr);
    const QList<Target> all = targets(cat, builtInMatchData());
    const Result result = match(all, g.sources, country);
    // Per source: its streams, and the entries whose first stream it gave.
    for (qsizetype i = 0; i < g.sources.size(); ++i)
        g.records[i].streams = int(g.sources.at(i).playlist.entries.size());
    for (const Match& m : result.matches)
        ++g.records[result.streams.at(m.candidates.first().stream).source].entries;

    const QString tsv = dir + u'/' + userdata::importFileName();
    QList<catalogue::AddressRow> own = catalogue::readAddressFile(cat, dir + u'/' + userdata::ownFileName(),
                                                                  AddressOrigin::Own, [](const QString&) {});
    const bool keep = keepAbove > 0 && result.matches.size() * 2 < keepAbove;
    QString kept;
    if (keep)
        kept = QStringLiteral("Các danh sách chỉ cho %1 mục có địa chỉ, ít hơn một nửa số %2 mục của lần nhập "
                                 "trước: các địa chỉ đã nhập được giữ nguyên (có thể mạng hoặc nguồn danh sách "
                                 "đang trục trặc; hãy cập nhật lại sau).")
                      .arg(result.matches.size())
                      .arg(keepAbove);
    outcome.report = buildReport({all, g.sources, result, own, dryRun || keep, tsv, g.skipped, kept});
    if (keep) {
        outcome.status = 2;
        outcome.stop = ImportOutcome::Stop::TooFew;
        outcome.error = QStringLiteral("%1: the lists give %2 entries, fewer than half the %3 of the import in use; "
                                       "it is kept")
                            .arg(tsv)
                            .arg(result.matches.size())
                            .arg(keepAbove);
        return outcome;
    }
    if (dryRun)
        return outcome;

    std::unique_ptr<files::FolderLock> lock = takeLock(dir, &outcome.error);
    QString error;
    if (!lock || !files::recover(dir, &error)) {
        outcome.status = 2;
        outcome.stop = ImportOutcome::Stop::Files;
        if (lock)
            outcome.error = error;
        return outcome;
    }
    files::Transaction change(dir);
    change.replace(userdata::importFileName(), importTable(all, result), true);
    change.replace(streamsName, streamsTable(all, result, g.sources), true);
    change.replace(txtName, outcome.report.toUtf8(), true);
    change.replace(sourcesName, sourcesTable(g.records), true);
    switch (change.commit(&error)) {
    case files::Transaction::Outcome::Done:
        break;
    case files::Transaction::Outcome::DoneLater:
        // The new addresses are what every reader sees; the last renames
        // are done by the next import or undo.
        qCWarning(lcCatalogue, "%s", qUtf8Printable(error));
        break;
    case files::Transaction::Outcome::Failed:
        outcome.status = 2;
        outcome.stop = ImportOutcome::Stop::Files;
        outcome.error = error;
        return outcome;
    }
    outcome.written = int(result.matches.size());
    return outcome;
}

// The sources in use other than public lists, read again for an update or
// an added source; one that cannot be read is named and skipped.
void gatherInUse(const QList<SourceRecord>& inUse, bool publicToo, const QString& cacheDir, bool cacheFirst,
                 Gathered& g, QList<SourceRecord>& skipped)
{
    for (const SourceRecord& r : inUse) {
        if (r.kind == SourceRecord::Kind::Public && !publicToo)
            continue;
        Source source;
        SourceRecord record;
        QString error;
        if (readNamed(r.location, cacheDir, cacheFirst, &source, &record, &error)) {
            record.kind = r.kind;
            g.sources << source;
            g.records << record;
        } else {
            g.skipped << error;
            skipped << r;
            skipped.last().error = error;
            skipped.last().entries = 0;
        }
    }
}

QString cacheFolder(const QString& given) { return given.isEmpty() ? userdata::cacheDir() : given; }

// Skipped sources get a record too (after the read ones), so the sources
// window tells what was tried.
void recordSkipped(Gathered& g, const QStringList& locations, const QStringList& errors, SourceRecord::Kind kind)
{
    for (qsizetype i = 0; i < locations.size(); ++i) {
        SourceRecord r;
        r.kind = kind;
        r.location = locations.at(i);
        r.read = QDateTime::currentDateTimeUtc();
        r.error = errors.at(i);
        g.records << r;
    }
}

} // namespace

QString defaultSourceTemplate() { return QStringLiteral("https://iptv-org.github.io/iptv/countries/{code}.m3u"); }

QStringList listCodes()
{
    const MatchData data = builtInMatchData();
    QStringList codes;
    for (const auto* map : {&data.panelCountries, &data.headingCountries})
        for (const QStringList& countries : *map)
            for (const QString& c : countries) {
                // The index writes the United Kingdom as "uk".
                const QString code = c == QLatin1String("GB") ? QStringLiteral("uk") : c.toLower();
                if (!codes.contains(code))
                    codes << code;
            }
    codes.sort();
    return codes;
}

QString listAddress(const QString& sourceTemplate, const QString& code)
{
    if (!sourceTemplate.contains(QLatin1String("{code}")) || !isWebAddress(sourceTemplate))
        return {};
    QString address = sourceTemplate;
    address.replace(QLatin1String("{code}"), code);
    const QUrl url(address, QUrl::StrictMode);
    return url.isValid() && !url.host().isEmpty() ? address : QString();
}

QList<SourceRecord> sourcesInUse(const QString& configDir)
{
    QByteArray bytes;
    QString error;
    if (files::readCommitted(configFolder(configDir), sourcesName, userdata::maxAddressFileBytes, &bytes, &error)
        != ReadResult::Ok)
        return {};
    return parseSources(bytes);
}

ImportOutcome importPlaylists(const ImportOptions& options)
{
    ImportOutcome outcome;
    if (options.sources.isEmpty()) {
        outcome.status = 2;
        outcome.error = QStringLiteral("no playlist given");
        return outcome;
    }
    if (!options.country.isEmpty() && countryCode(options.country).isEmpty()) {
        outcome.status = 2;
        outcome.error = QStringLiteral("--country %1: not a two-letter country code").arg(options.country);
        return outcome;
    }
    const QString dir = configFolder(options.configDir);
    const QString cache = cacheFolder(options.cacheDir);
    Gathered g;
    for (const QString& s : options.sources) {
        Source source;
        SourceRecord record;
        if (!readNamed(s, cache, false, &source, &record, &outcome.error)) {
            outcome.status = 2;
            return outcome;
        }
        g.sources << source;
        g.records << record;
    }
    // A list none of whose streams can be used says nothing: it must not
    // replace what the last import gave.
    for (qsizetype i = 0; i < g.sources.size(); ++i) {
        bool any = false;
        for (const m3u::Entry& e : g.sources.at(i).playlist.entries)
            any = any || (isAcceptedAddress(e.url) && e.url.size() <= maxAddressChars);
        if (!any) {
            outcome.status = 2;
            outcome.error = QStringLiteral("%1: none of its %2 streams can be used (an address must be an http, "
                                           "https, rtsp, mms, mmsh or mmst URL; names and addresses of a sane length)")
                                .arg(options.sources.at(i))
                                .arg(g.sources.at(i).playlist.entries.size());
            return outcome;
        }
    }
    if (options.addToSources) {
        // The sources in use come first, in the order they were added.
        QList<SourceRecord> inUse;
        for (const SourceRecord& r : sourcesInUse(dir)) {
            bool named = false;
            for (const SourceRecord& n : std::as_const(g.records))
                named = named || n.location == r.location;
            if (!named)
                inUse << r;
        }
        Gathered all;
        QList<SourceRecord> skipped;
        gatherInUse(inUse, true, cache, true, all, skipped);
        all.sources += g.sources;
        all.records += g.records;
        // Skipped ones are recorded after those read, with why.
        all.records += skipped;
        g = all;
    }
    return buildLayer(g, options.country, options.dryRun, dir, 0);
}

ImportOutcome updateChannels(const UpdateOptions& options)
{
    const QString dir = configFolder(options.configDir);
    const QString cache = cacheFolder(options.cacheDir);
    const QString sourceTemplate = !options.sourceTemplate.isEmpty()
        ? options.sourceTemplate
        : Settings::load(dir).value(setting::channelSource, defaultSourceTemplate());
    ImportOutcome outcome;
    QStringList addresses;
    for (const QString& code : listCodes())
        addresses << listAddress(sourceTemplate, code);
    if (addresses.isEmpty() || addresses.first().isEmpty()) {
        outcome.status = 2;
        outcome.stop = ImportOutcome::Stop::BadInput;
        outcome.error = QStringLiteral("%1: not an http or https address with {code} in it").arg(sourceTemplate);
        return outcome;
    }
    bool cancelled = false;
    const QList<FetchResult> fetched = fetchAll(addresses, options.parallel, options.limits, options.progress,
                                                options.cancel, &cancelled);
    if (cancelled) {
        outcome.status = 2;
        outcome.stop = ImportOutcome::Stop::Cancelled;
        outcome.cancelled = true;
        outcome.error = QStringLiteral("cancelled; nothing was changed");
        return outcome;
    }
    Gathered g;
    QStringList failed, failedWhy;
    QList<PlayFailure> fetchFailures;
    for (qsizetype i = 0; i < addresses.size(); ++i) {
        Source source;
        QString error;
        const FetchResult& r = fetched.at(i);
        if (r.failure != PlayFailure::None) {
            fetchFailures << r.failure;
            error = QStringLiteral("%1: %2").arg(addresses.at(i), fetchFailureText(r));
        } else if (parseSource(addresses.at(i), addresses.at(i), r.body, &source, &error)) {
            keepInCache(cache, addresses.at(i), r.body);
            SourceRecord record;
            record.kind = SourceRecord::Kind::Public;
            record.location = addresses.at(i);
            record.read = QDateTime::currentDateTimeUtc();
            g.sources << source;
            g.records << record;
            continue;
        }
        failed << addresses.at(i);
        failedWhy << error;
        g.skipped << error;
    }
    if (g.sources.isEmpty()) {
        outcome.status = 2;
        outcome.stop = ImportOutcome::Stop::NothingRead;
        outcome.fetchFailures = fetchFailures;
        outcome.skipped = g.skipped;
        outcome.error = QStringLiteral("%1: no list could be read; nothing was changed").arg(sourceTemplate);
        return outcome;
    }
    // The user's own lists stay among the sources: read again, from the
    // network for addresses.
    QList<SourceRecord> skipped;
    gatherInUse(sourcesInUse(dir), false, cache, false, g, skipped);
    recordSkipped(g, failed, failedWhy, SourceRecord::Kind::Public);
    for (const SourceRecord& r : std::as_const(skipped))
        g.records << r;
    outcome = buildLayer(g, {}, options.dryRun, dir, entriesInUse(dir));
    if (outcome.status == 0 && !options.dryRun) {
        Settings settings = Settings::load(dir);
        settings.set(setting::channelsUpdated, QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
        QString error;
        if (!settings.save(dir, &error))
            qCWarning(lcCatalogue, "%s", qUtf8Printable(error));
    }
    return outcome;
}

UndoOutcome undoImport(const QString& configDir)
{
    const QString dir = configDir.isEmpty() ? userdata::configDir() : configDir;
    const QString tsvName = userdata::importFileName();
    const QString tsv = dir + u'/' + tsvName;
    if (!files::existsCommitted(dir, tsvName + bakSuffix))
        return {1, QStringLiteral("%1%2: not found; there is no import to undo").arg(tsv, bakSuffix)};
    QString error;
    std::unique_ptr<files::FolderLock> lock = takeLock(dir, &error);
    if (!lock || !files::recover(dir, &error))
        return {2, error};
    // Looked at again under the lock: another undo may have used it up.
    QByteArray before;
    const ReadResult bak = files::readRegularFile(tsv + bakSuffix, userdata::maxAddressFileBytes, &before, &error);
    if (bak == ReadResult::Missing)
        return {1, QStringLiteral("%1%2: not found; there is no import to undo").arg(tsv, bakSuffix)};
    if (bak == ReadResult::Failed)
        return {2, QStringLiteral("%1%2: %3").arg(tsv, bakSuffix, error)};
    files::Transaction change(dir);
    change.restoreBackup(tsvName);
    // The other files go back with the addresses; one not kept from then
    // (an import by an older version) describes them no more.
    for (const QString& name : {streamsName, txtName, sourcesName}) {
        if (QFile::exists(dir + u'/' + name + bakSuffix))
            change.restoreBackup(name);
        else
            change.remove(name);
    }
    if (change.commit(&error) == files::Transaction::Outcome::Failed)
        return {2, QStringLiteral("%1: cannot be restored (%2)").arg(tsv, error)};
    return {0, !before.isEmpty()
                   ? QStringLiteral("%1: the addresses imported before the last import are back").arg(tsv)
                   : QStringLiteral("%1: removed; no addresses were imported before the last import").arg(tsv)};
}

} // namespace miravon::import
