#include "importer.h"

#include "addressfiles.h"
#include "addresspolicy.h"
#include "catalogue.h"
#include "channelbuilder.h"
#include "fetcher.h"
#include "folders.h"
#include "importreport.h"
#include "listchannels.h"
#include "matcher.h"
#include "search.h"
#include "settings.h"
#include "userfiles.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QTimer>
#include <QUrl>

#include <memory>

#include <cstdio>

namespace miravon::import {
namespace {

const QString txtName = QStringLiteral("addresses.import.txt");
const QString streamsName = userdata::importStreamsFileName();
const QString sourcesName = QStringLiteral("addresses.import.sources.tsv");
const QString channelsName = userdata::listChannelsFileName();
const QString bakSuffix = QStringLiteral(".bak");

// How long an import or undo waits for another one to finish writing: it
// never runs on the windows' thread.
constexpr int lockWaitMs = files::backgroundWaitMs;

// Why a source was not read, twice: a short English phrase for the terminal
// (after "source: "), and the same in Vietnamese for the report and the
// windows.
struct Why {
    QString en;
    QString vi;
};

// A source that was read but holds no stream the import could use is
// skipped; one that could not be read at all is bad input.
enum class Read { Ok, Empty, Failed };

QString sizeVi(QString english)
{
    return english.replace(QLatin1String(" bytes"), QLatin1String(" byte"));
}

// The fetch's reason in Vietnamese, with the server's status where it
// answered.
QString fetchFailureVi(const FetchResult& r)
{
    switch (r.problem) {
    case FetchProblem::Unpacked:
        return QStringLiteral("bị từ chối: dữ liệu nén giải ra lớn quá mức (có thể là bom nén)");
    case FetchProblem::Truncated:
        return r.declared >= 0 ? QStringLiteral("câu trả lời bị cắt ngang: mới nhận %1 trong %2 byte")
                                     .arg(r.received)
                                     .arg(r.declared)
                               : QStringLiteral("câu trả lời bị cắt ngang sau %1 byte").arg(r.received);
    case FetchProblem::RedirectScheme:
        return QStringLiteral("bị chuyển hướng tới địa chỉ %1:, không bao giờ đi theo")
            .arg(r.redirect.scheme().isEmpty() ? QStringLiteral("không phải http") : r.redirect.scheme());
    case FetchProblem::RedirectLoop:
        return QStringLiteral("chuyển hướng vòng quanh, quay lại %1").arg(r.redirect.toString());
    case FetchProblem::TooManyRedirects:
        return QStringLiteral("chuyển hướng quá %1 lần").arg(maxRedirects);
    case FetchProblem::LessSafe:
        return QStringLiteral("bị chuyển từ https sang http, không bao giờ đi theo");
    case FetchProblem::None:
    case FetchProblem::TooLarge:
        break;
    }
    QString reason;
    switch (r.failure) {
    case PlayFailure::HostNotFound: reason = QStringLiteral("không tìm thấy máy chủ"); break;
    case PlayFailure::ConnectionRefused: reason = QStringLiteral("máy chủ từ chối kết nối"); break;
    case PlayFailure::TimedOut: reason = QStringLiteral("hết thời gian chờ"); break;
    case PlayFailure::NotFound: reason = QStringLiteral("máy chủ không trả danh sách"); break;
    case PlayFailure::NotMedia: reason = QStringLiteral("không phải danh sách kênh"); break;
    case PlayFailure::PlaylistRefused: reason = QStringLiteral("danh sách bị từ chối"); break;
    case PlayFailure::ConnectionLost: reason = QStringLiteral("mất kết nối giữa chừng"); break;
    case PlayFailure::UnsupportedAddress: reason = QStringLiteral("không phải địa chỉ tải được"); break;
    case PlayFailure::None:
    case PlayFailure::NoAddressYet:
    case PlayFailure::NoPlayableEntry: reason = QStringLiteral("không tải được"); break;
    }
    if (r.detail.startsWith(QLatin1String("larger than ")))
        return QStringLiteral("%1 (lớn hơn %2)").arg(reason, sizeVi(r.detail.mid(12)));
    if (r.status > 0)
        return QStringLiteral("%1 (HTTP %2)").arg(reason).arg(r.status);
    return reason;
}

// readRegularFile()'s reasons in Vietnamese.
QString fileProblemVi(const QString& english)
{
    const std::pair<const char*, const char*> known[] = {
        {"is a folder", "là một thư mục, không phải tệp"},
        {"is a FIFO", "là một FIFO, không phải tệp thường"},
        {"is a device", "là một thiết bị, không phải tệp thường"},
        {"is a socket", "là một socket, không phải tệp thường"},
        {"is not a regular file", "không phải tệp thường"},
    };
    for (const auto& [en, vi] : known)
        if (english.startsWith(QLatin1String(en)))
            return QString::fromUtf8(vi);
    if (english.startsWith(QLatin1String("larger than ")))
        return QStringLiteral("lớn hơn %1; không đọc").arg(sizeVi(english.mid(12).section(u';', 0, 0)));
    if (english.startsWith(QLatin1String("cannot be read (")))
        return QStringLiteral("không đọc được %1").arg(english.mid(15));
    return QStringLiteral("không đọc được");
}

// Fetches a channel list within its bounds: only this one document, never
// what it names. `from`: where it came from, after redirects.
bool fetch(const QUrl& url, QByteArray* body, QUrl* from, Why* why)
{
    FetchResult result = fetchAndWait(url, {}, listFetchLimits);
    if (result.failure != PlayFailure::None) {
        *why = {fetchFailureText(result), fetchFailureVi(result)};
        return false;
    }
    *body = std::move(result.body);
    *from = result.url.isValid() ? result.url : url;
    return true;
}

bool readFile(const QString& path, QByteArray* body, Why* why)
{
    QString error;
    switch (files::readRegularFile(path, maxPlaylistFileBytes, body, &error)) {
    case ReadResult::Ok:
        return true;
    case ReadResult::Missing:
        *why = {QStringLiteral("cannot be read (no such file)"), QStringLiteral("không có tệp này")};
        return false;
    case ReadResult::Failed:
        break;
    }
    *why = {error, fileProblemVi(error)};
    return false;
}

// Why bytes that are no M3U playlist are not one, where that can be told.
Why notAPlaylist(const QByteArray& body)
{
    if (body.isEmpty())
        return {QStringLiteral("the file is empty"), QStringLiteral("tệp trống")};
    const bool bom16 = body.startsWith("\xFF\xFE") || body.startsWith("\xFE\xFF");
    // Unmarked UTF-16: ASCII text has a NUL in every other byte.
    qsizetype evenNul = 0, oddNul = 0;
    const qsizetype sample = std::min<qsizetype>(body.size(), 4096);
    for (qsizetype i = 0; i < sample; ++i)
        if (body.at(i) == 0)
            ++(i % 2 ? oddNul : evenNul);
    if (bom16 || (sample >= 4 && std::max(evenNul, oddNul) * 3 >= sample && std::min(evenNul, oddNul) * 10 < sample))
        return {QStringLiteral("UTF-16 text; save it as UTF-8 and import it again"),
                QStringLiteral("văn bản UTF-16; hãy lưu lại dưới dạng UTF-8 rồi nhập lại")};
    if (body.contains('\0'))
        return {QStringLiteral("binary data (it holds NUL bytes), not a text playlist"),
                QStringLiteral("dữ liệu nhị phân (có byte NUL), không phải danh sách dạng văn bản")};
    return {QStringLiteral("not an M3U playlist (no #EXTM3U header and no #EXTINF entry)"),
            QStringLiteral("không phải danh sách M3U (không có dòng #EXTM3U, không có mục #EXTINF)")};
}

// Turns fetched or read bytes into a source. `base`: the list's own
// address, which relative stream addresses are resolved against (none for
// a file of this computer).
Read parseSource(const QString& name, const QByteArray& body, const QUrl& base, Source* out, Why* why)
{
    out->name = name;
    out->playlist = m3u::parse(body, base);
    if (!out->playlist.isPlaylist) {
        *why = notAPlaylist(body);
        return Read::Failed;
    }
    const m3u::Playlist& p = out->playlist;
    if (p.entries.isEmpty()) {
        if (p.refusedRelative > 0)
            *why = {QStringLiteral("holds no stream it can use (its %1 relative addresses need a list read over "
                                   "http or https)")
                        .arg(p.refusedRelative),
                    QStringLiteral("không có luồng nào dùng được (%1 địa chỉ tương đối chỉ dùng được trong danh "
                                   "sách tải qua http, https)")
                        .arg(p.refusedRelative)};
        else
            *why = {QStringLiteral("holds no stream (no address after its #EXTINF lines)"),
                    QStringLiteral("không có luồng nào (không có địa chỉ nào sau các dòng #EXTINF)")};
        return Read::Empty;
    }
    for (const m3u::Entry& e : p.entries)
        if (userdata::rowProblem(e.url, e.referrer, e.userAgent, AddressOrigin::Imported) == userdata::RowProblem::None)
            return Read::Ok;
    *why = {QStringLiteral("none of its %1 streams can be used (an address must be an %2 URL; names and addresses "
                           "of a sane length)")
                .arg(p.entries.size())
                .arg(acceptedSchemesText(u"or")),
            QStringLiteral("không luồng nào trong %1 luồng dùng được (địa chỉ phải là URL %2; tên và địa chỉ không "
                           "quá dài)")
                .arg(p.entries.size())
                .arg(acceptedSchemesText(u"hoặc"))};
    return Read::Empty;
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
    QByteArray out = userdata::addressHeader();
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
QString cachePathOf(const QString& cacheDir, const QString& address) { return listCachePath(cacheDir, address); }
} // namespace

QString listCachePath(const QString& cacheDir, const QString& address)
{
    return cacheDir + QStringLiteral("/lists/")
        + QString::fromLatin1(QCryptographicHash::hash(address.toUtf8(), QCryptographicHash::Sha1).toHex())
        + QStringLiteral(".m3u");
}

namespace {

void keepInCache(const QString& cacheDir, const QString& address, const QByteArray& body)
{
    // Only a cache: a lost copy is fetched again, and a copy cut short by a
    // crash reads as a shorter list until the next update. So it is renamed
    // into place but not synced: syncing the 250 lists of an update costs
    // seconds on a busy disk.
    QDir().mkpath(cacheDir + QStringLiteral("/lists"));
    const QString path = cachePathOf(cacheDir, address);
    QFile f(path + QStringLiteral(".new"));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(body) == body.size()) {
        f.close();
        if (::rename(QFile::encodeName(f.fileName()).constData(), QFile::encodeName(path).constData()) == 0)
            return;
    }
    f.remove();
}

bool isCancelled(const std::atomic_bool* cancel) { return cancel && cancel->load(); }

ImportOutcome cancelledOutcome()
{
    ImportOutcome outcome;
    outcome.status = ImportOutcome::Failed;
    outcome.stop = ImportOutcome::Stop::Cancelled;
    outcome.cancelled = true;
    outcome.error = QStringLiteral("cancelled; nothing was changed");
    outcome.message = QStringLiteral("Đã hủy; không thay đổi gì.");
    return outcome;
}

// One list's fetch in an update: its result, or where it stood when the
// update's time ran out.
struct Fetched {
    FetchResult result;
    bool done = false;      // it ended on its own
    bool outOfTime = false; // the update's bound ended it
    bool started = false;   // it had begun then
    bool answered = false;  // the server had answered then
    qint64 received = 0;    // bytes of the list that had come then
};

// Fetches many lists, at most `parallel` at once, in a local event loop,
// until `deadline`: a fetch still running then ends with what it waited
// for, and one not yet begun is not begun. `cancelled` set (and the
// results empty) when `cancel` was set meanwhile.
QList<Fetched> fetchAll(const QStringList& addresses, int parallel, const FetchLimits& limits,
                        const std::function<void(int, int)>& progress, const std::atomic_bool* cancel,
                        const QDeadlineTimer& deadline, bool* cancelled)
{
    QList<Fetched> results(addresses.size());
    *cancelled = false;
    if (addresses.isEmpty())
        return results;
    QNetworkAccessManager network;
    QEventLoop loop;
    std::vector<std::unique_ptr<Fetch>> fetches(addresses.size());
    int next = 0;
    int running = 0;
    int done = 0;
    const auto tell = [&] {
        ++done;
        if (progress)
            progress(done, int(addresses.size()));
    };
    std::function<void()> launch = [&] {
        while (running < std::max(1, parallel) && next < addresses.size()) {
            const int index = next++;
            auto fetch = std::make_unique<Fetch>(&network);
            QObject::connect(fetch.get(), &Fetch::finished, &loop, [&, index](const FetchResult& r) {
                results[index].result = r;
                results[index].done = true;
                results[index].started = true;
                --running;
                tell();
                if (done == addresses.size())
                    loop.quit();
                else
                    launch();
            });
            fetch->start(documentRequest(QUrl(addresses.at(index))), limits);
            fetches[index] = std::move(fetch);
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
    QTimer outOfTime;
    outOfTime.setSingleShot(true);
    QObject::connect(&outOfTime, &QTimer::timeout, &loop, [&] {
        for (qsizetype i = 0; i < addresses.size(); ++i) {
            Fetched& f = results[i];
            if (f.done)
                continue;
            Fetch* fetch = fetches.at(i).get();
            f.outOfTime = true;
            f.started = fetch != nullptr;
            f.answered = fetch && fetch->hasAnswered();
            f.received = fetch ? fetch->bytesReceived() : 0;
            f.result.failure = PlayFailure::TimedOut;
            f.result.received = f.received;
            tell();
        }
        loop.quit();
    });
    if (!deadline.isForever())
        outOfTime.start(std::chrono::milliseconds(std::max<qint64>(0, deadline.remainingTime())));
    launch();
    if (done < addresses.size())
        loop.exec();
    fetches.clear(); // cancels what is still running
    if (*cancelled)
        return {};
    return results;
}

// What a list's fetch waited for when the update's time ran out.
Why waitedFor(const Fetched& f, int totalMs)
{
    const QString bound = QStringLiteral("%1 s").arg(totalMs / 1000.0, 0, 'g', 3);
    if (!f.started)
        return {QStringLiteral("not fetched: the update's %1 ran out before its turn").arg(bound),
                QStringLiteral("không tải: hết %1 của lần cập nhật trước khi đến lượt").arg(bound)};
    if (!f.answered)
        return {QStringLiteral("timed out: the update's %1 ran out waiting for the server to answer").arg(bound),
                QStringLiteral("hết thời gian chờ: hết %1 của lần cập nhật mà máy chủ chưa trả lời").arg(bound)};
    return {QStringLiteral("timed out: the update's %1 ran out waiting for the rest of the list (%2 bytes came)")
                .arg(bound)
                .arg(f.received),
            QStringLiteral("hết thời gian chờ: hết %1 của lần cập nhật khi đang chờ phần còn lại của danh sách (mới "
                           "nhận %2 byte)")
                .arg(bound)
                .arg(f.received)};
}

// What an import or update read, ready to be matched.
struct Skip {
    QString source;
    Why why;
};
struct Gathered {
    // The lists fetched, kept in the cache folder once the layer they made
    // is in place (never by a dry run or a change that did not happen).
    QList<std::pair<QString, QByteArray>> toCache;
    QList<Source> sources;
    QList<SourceRecord> records; // one per source read, then the skipped ones
    QList<Skip> skipped;         // sources read or fetched in vain
};

// Reads one source named by the user: a file now, a list's address through
// the network. `cacheFirst`: a list's address from its copy in the cache,
// when there is one.
Read readNamed(const QString& source, const QString& cacheDir, bool cacheFirst, Source* out, SourceRecord* record,
               Why* why, QList<std::pair<QString, QByteArray>>* toCache)
{
    record->read = QDateTime::currentDateTimeUtc();
    if (isWebAddress(source)) {
        record->kind = SourceRecord::Kind::Address;
        record->location = source;
        const QUrl url(source);
        if (!url.isValid() || url.host().isEmpty()) {
            *why = {QStringLiteral("is not a valid address"), QStringLiteral("không phải địa chỉ hợp lệ")};
            return Read::Failed;
        }
        QByteArray body;
        QUrl from = url;
        QString error;
        if (!(cacheFirst && readRegularFile(cachePathOf(cacheDir, source), maxPlaylistBytes, &body, &error)
                                == ReadResult::Ok)) {
            if (!fetch(url, &body, &from, why))
                return Read::Failed;
            toCache->append({source, body});
        }
        return parseSource(source, body, from, out, why);
    }
    QString path = source;
    if (source.startsWith(QLatin1String("file://"), Qt::CaseInsensitive)) {
        path = QUrl(source).toLocalFile();
    } else if (source.indexOf(QLatin1String("://")) > 0) {
        *why = {QStringLiteral("only files and http or https addresses can be imported"),
                QStringLiteral("chỉ nhập được tệp hoặc địa chỉ http, https")};
        return Read::Failed;
    }
    record->kind = SourceRecord::Kind::File;
    record->location = QFileInfo(path).absoluteFilePath();
    QByteArray body;
    if (!readFile(path, &body, why))
        return Read::Failed;
    return parseSource(QFileInfo(path).fileName(), body, {}, out, why);
}

QString configFolder(const QString& given) { return given.isEmpty() ? userdata::configDir() : given; }
QString cacheFolder(const QString& given) { return given.isEmpty() ? userdata::cacheDir() : given; }

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

// The channels' file, never larger than `cap`: past it, channels are left
// out, those no entry stands for before those that gave an entry its
// address, the last ones first. `channels` keeps those written.
QByteArray channelsFile(QList<catalogue::ListChannel>& channels, qint64 cap, int* dropped)
{
    *dropped = 0;
    QByteArray all = catalogue::writeListChannels(channels);
    if (all.size() <= cap)
        return all;
    all.clear();
    const qint64 header = catalogue::writeListChannels({}).size();
    QList<qint64> size(channels.size());
    for (qsizetype i = 0; i < channels.size(); ++i)
        size[i] = catalogue::writeListChannels({channels.at(i)}).size() - header;
    QList<bool> keep(channels.size(), false);
    qint64 total = header;
    for (bool entries : {true, false}) {
        for (qsizetype i = 0; i < channels.size(); ++i) {
            if (channels.at(i).entry.isEmpty() == entries)
                continue;
            if (total + size.at(i) > cap)
                break;
            total += size.at(i);
            keep[i] = true;
        }
    }
    QList<catalogue::ListChannel> kept;
    for (qsizetype i = 0; i < channels.size(); ++i)
        if (keep.at(i))
            kept.append(std::move(channels[i]));
    *dropped = int(channels.size() - kept.size());
    channels = std::move(kept);
    return catalogue::writeListChannels(channels);
}

// Every stream into its channel; a channel whose stream gave an entry its
// address, or one of its other streams, names that entry.
QList<catalogue::ListChannel> channelsOf(const QList<Target>& targets, const Result& result,
                                         const QList<Source>& sources)
{
    ChannelBuilder builder;
    QList<int> channelOf(result.streams.size(), -1);
    for (qsizetype i = 0; i < result.streams.size(); ++i)
        channelOf[i] = builder.add(result.streams.at(i), sources.at(result.streams.at(i).source).name);
    for (bool firstOnly : {true, false})
        for (const Match& m : result.matches) {
            const Target& t = targets.at(m.target);
            for (qsizetype c = firstOnly ? 0 : 1; c < (firstOnly ? 1 : m.candidates.size()); ++c)
                builder.setEntry(channelOf.at(m.candidates.at(c).stream), t.window + u'/' + t.control);
        }
    return builder.take();
}

QStringList englishLines(const QList<Skip>& skipped)
{
    QStringList out;
    for (const Skip& s : skipped)
        out << QStringLiteral("%1: %2").arg(s.source, s.why.en);
    return out;
}

// Matches what was gathered and, unless a dry run, puts it in place as the
// new import layer. `keepAbove`: an update that would give fewer entries
// than this leaves the layer as it is.
//
// A cancel is heeded between its steps, up to the commit: cancelled, it
// changes nothing. The lists fetched go to the cache folder only once the
// layer they made is in place.
ImportOutcome buildLayer(Gathered& g, const QString& country, bool dryRun, const QString& dir, int keepAbove,
                         qint64 channelsCap, const QString& cacheDir, const std::atomic_bool* cancel = nullptr)
{
    if (isCancelled(cancel))
        return cancelledOutcome();
    ImportOutcome outcome;
    outcome.listsRead = int(g.sources.size());
    outcome.skipped = englishLines(g.skipped);
    const catalogue::Catalogue cat = catalogue::parse(catalogue::builtInTables(), nullptr);
    const QList<Target> all = targets(cat, builtInMatchData());
    const Result result = match(all, g.sources, country);
    if (isCancelled(cancel))
        return cancelledOutcome();
    QList<catalogue::ListChannel> channels = channelsOf(all, result, g.sources);
    if (isCancelled(cancel))
        return cancelledOutcome();
    // Per source: its streams, and the entries whose first stream it gave.
    for (qsizetype i = 0; i < g.sources.size(); ++i)
        g.records[i].streams = int(g.sources.at(i).playlist.entries.size());
    for (const Match& m : result.matches)
        ++g.records[result.streams.at(m.candidates.first().stream).source].entries;
    int dropped = 0;
    const QByteArray channelsBytes = channelsFile(channels, channelsCap, &dropped);

    const QString tsv = dir + u'/' + userdata::importFileName();
    QList<catalogue::AddressRow> own = catalogue::readAddressFile(cat, dir + u'/' + userdata::ownFileName(),
                                                                  AddressOrigin::Own, [](const QString&) {});
    QStringList skippedVi;
    for (const Skip& s : std::as_const(g.skipped))
        skippedVi << QStringLiteral("%1: %2").arg(s.source, s.why.vi);
    ReportInput report{all, g.sources, result, own, dryRun, tsv, skippedVi, {}, channels, dropped, channelsCap};
    // Decided on what the import keeps, after every stream skipped: a layer
    // that gives nothing never replaces the one in use.
    if (result.matches.isEmpty() && channels.isEmpty()) {
        report.dryRun = true;
        report.kept = QStringLiteral("Không luồng nào của các danh sách dùng được: không mục nào có địa chỉ, không "
                                     "kênh nào được giữ. Không thay đổi gì; các địa chỉ đã nhập trước vẫn giữ nguyên.");
        outcome.report = buildReport(report);
        outcome.status = ImportOutcome::Failed;
        outcome.error = QStringLiteral("%1: the lists give no usable stream to any entry or channel (every stream was "
                                       "skipped); nothing was changed")
                            .arg(tsv);
        outcome.message = QStringLiteral("Các danh sách không có luồng nào dùng được; không thay đổi gì.");
        return outcome;
    }
    if (keepAbove > 0 && result.matches.size() * 2 < keepAbove) {
        report.dryRun = true;
        report.kept = QStringLiteral("Các danh sách chỉ cho %1 mục có địa chỉ, ít hơn một nửa số %2 mục của lần nhập "
                                     "trước: các địa chỉ đã nhập được giữ nguyên (có thể mạng hoặc nguồn danh sách "
                                     "đang trục trặc; hãy cập nhật lại sau).")
                          .arg(result.matches.size())
                          .arg(keepAbove);
        outcome.report = buildReport(report);
        outcome.status = ImportOutcome::Failed;
        outcome.stop = ImportOutcome::Stop::TooFew;
        outcome.error = QStringLiteral("%1: the lists give %2 entries, fewer than half the %3 of the import in use; "
                                       "it is kept")
                            .arg(tsv)
                            .arg(result.matches.size())
                            .arg(keepAbove);
        outcome.message = QStringLiteral("Các danh sách chỉ cho %1 mục có địa chỉ, ít hơn một nửa số %2 mục đang "
                                         "dùng; giữ nguyên các địa chỉ đã nhập.")
                              .arg(result.matches.size())
                              .arg(keepAbove);
        return outcome;
    }
    outcome.report = buildReport(report);
    outcome.channels = int(channels.size());
    if (dryRun)
        return outcome;

    std::unique_ptr<files::FolderLock> lock = takeLock(dir, &outcome.error);
    QString error;
    if (!lock || !files::recover(dir, &error)) {
        outcome.status = ImportOutcome::Failed;
        outcome.stop = ImportOutcome::Stop::Files;
        if (lock)
            outcome.error = error;
        outcome.message = QStringLiteral("Không ghi được các tệp của lần nhập; không thay đổi gì.");
        return outcome;
    }
    files::Transaction change(dir);
    change.replace(userdata::importFileName(), importTable(all, result), true);
    if (isCancelled(cancel))
        return cancelledOutcome();
    change.replace(streamsName, streamsTable(all, result, g.sources), true);
    change.replace(channelsName, channelsBytes, true);
    change.replace(txtName, outcome.report.toUtf8(), true);
    change.replace(sourcesName, sourcesTable(g.records), true);
    // The last moment a cancel changes nothing: the commit's rename follows.
    if (isCancelled(cancel))
        return cancelledOutcome();
    switch (change.commit(&error)) {
    case files::Transaction::Outcome::Done:
        break;
    case files::Transaction::Outcome::DoneLater:
        // The new addresses are what every reader sees; the last renames
        // are done by the next import or undo.
        qCWarning(lcCatalogue, "%s", qUtf8Printable(error));
        break;
    case files::Transaction::Outcome::Failed:
        outcome.status = ImportOutcome::Failed;
        outcome.stop = ImportOutcome::Stop::Files;
        outcome.error = error;
        outcome.message = QStringLiteral("Không ghi được các tệp của lần nhập; không thay đổi gì.");
        return outcome;
    }
    for (const auto& [address, body] : std::as_const(g.toCache))
        keepInCache(cacheDir, address, body);
    outcome.written = int(result.matches.size());
    return outcome;
}

// The sources in use other than public lists, read again for an update or
// an added source; one that cannot be read, or holds no stream now, is
// named and skipped.
// False when cancelled meanwhile.
bool gatherInUse(const QList<SourceRecord>& inUse, bool publicToo, const QString& cacheDir, bool cacheFirst,
                 Gathered& g, QList<SourceRecord>& skipped, const std::atomic_bool* cancel = nullptr)
{
    for (const SourceRecord& r : inUse) {
        if (r.kind == SourceRecord::Kind::Public && !publicToo)
            continue;
        if (isCancelled(cancel))
            return false;
        Source source;
        SourceRecord record;
        Why why;
        if (readNamed(r.location, cacheDir, cacheFirst, &source, &record, &why, &g.toCache) == Read::Ok) {
            record.kind = r.kind;
            g.sources << source;
            g.records << record;
        } else {
            g.skipped << Skip{r.location, why};
            skipped << r;
            skipped.last().error = why.vi;
            skipped.last().entries = 0;
        }
    }
    return true;
}

// Skipped sources get a record too (after the read ones), so the sources
// window tells what was tried.
void recordSkipped(Gathered& g, const QList<Skip>& skipped, SourceRecord::Kind kind)
{
    for (const Skip& s : skipped) {
        SourceRecord r;
        r.kind = kind;
        r.location = s.source;
        r.read = QDateTime::currentDateTimeUtc();
        r.error = s.why.vi;
        g.records << r;
    }
}

} // namespace

QString defaultSourceTemplate() { return QStringLiteral("https://iptv-org.github.io/iptv/countries/{code}.m3u"); }

QStringList listCodes()
{
    QStringList codes;
    for (const search::Country& c : search::countries())
        // The index writes the United Kingdom as "uk".
        codes << (c.code == QLatin1String("GB") ? QStringLiteral("uk") : c.code.toLower());
    codes.sort();
    codes.removeDuplicates();
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
        outcome.status = ImportOutcome::Failed;
        outcome.error = QStringLiteral("no playlist given");
        outcome.message = QStringLiteral("Chưa chọn danh sách nào.");
        return outcome;
    }
    if (!options.country.isEmpty() && countryCode(options.country).isEmpty()) {
        outcome.status = ImportOutcome::Failed;
        outcome.error = QStringLiteral("--country %1: not a two-letter country code").arg(options.country);
        outcome.message = QStringLiteral("%1: không phải mã quốc gia hai chữ cái").arg(options.country);
        return outcome;
    }
    const QString dir = configFolder(options.configDir);
    const QString cache = cacheFolder(options.cacheDir);
    Gathered g;
    QList<Skip> empty;
    QList<SourceRecord> emptyRecords;
    for (const QString& s : options.sources) {
        Source source;
        SourceRecord record;
        Why why;
        switch (readNamed(s, cache, false, &source, &record, &why, &g.toCache)) {
        case Read::Failed:
            outcome.status = ImportOutcome::Failed;
            outcome.error = QStringLiteral("%1: %2").arg(s, why.en);
            outcome.message = QStringLiteral("%1: %2").arg(s, why.vi);
            return outcome;
        case Read::Empty:
            // Among several lists, one that holds no usable stream is
            // named and skipped; the others are imported.
            empty << Skip{s, why};
            record.error = why.vi;
            emptyRecords << record;
            break;
        case Read::Ok:
            g.sources << source;
            g.records << record;
            break;
        }
    }
    if (g.sources.isEmpty()) {
        outcome.status = ImportOutcome::Failed;
        outcome.skipped = englishLines(empty);
        if (empty.size() == 1) {
            outcome.error = outcome.skipped.first();
            outcome.message = QStringLiteral("%1: %2").arg(empty.first().source, empty.first().why.vi);
        } else {
            outcome.error = QStringLiteral("none of the %1 lists holds a stream that can be used; nothing was changed (%2)")
                                .arg(empty.size())
                                .arg(outcome.skipped.join(QStringLiteral("; ")));
            outcome.message = QStringLiteral("Không danh sách nào trong %1 danh sách có luồng dùng được; không thay "
                                             "đổi gì.")
                                  .arg(empty.size());
        }
        return outcome;
    }
    g.skipped = empty;
    if (options.addToSources) {
        // The sources in use come first, in the order they were added.
        QList<SourceRecord> inUse;
        for (const SourceRecord& r : sourcesInUse(dir)) {
            bool named = false;
            for (const SourceRecord& n : std::as_const(g.records))
                named = named || n.location == r.location;
            for (const SourceRecord& n : std::as_const(emptyRecords))
                named = named || n.location == r.location;
            if (!named)
                inUse << r;
        }
        Gathered all;
        QList<SourceRecord> skipped;
        gatherInUse(inUse, true, cache, true, all, skipped);
        all.sources += g.sources;
        all.records += g.records;
        all.skipped += g.skipped;
        all.toCache += g.toCache;
        // Skipped ones are recorded after those read, with why.
        all.records += skipped;
        g = all;
    }
    g.records += emptyRecords;
    return buildLayer(g, options.country, options.dryRun, dir, 0, options.channelsFileLimit, cache);
}

ImportOutcome updateChannels(const UpdateOptions& options)
{
    const QDeadlineTimer deadline(options.totalMs > 0 ? qint64(options.totalMs) : -1);
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
        outcome.status = ImportOutcome::Failed;
        outcome.stop = ImportOutcome::Stop::BadInput;
        outcome.error = QStringLiteral("%1: not an http or https address with {code} in it").arg(sourceTemplate);
        outcome.message = QStringLiteral("%1: không phải địa chỉ http, https có {code}").arg(sourceTemplate);
        return outcome;
    }
    const qsizetype publicCount = addresses.size();
    // The user's own lists stay among the sources: their addresses fetched
    // beside the public lists, within the same bound; files read again.
    QList<SourceRecord> ownFiles;
    for (const SourceRecord& r : sourcesInUse(dir)) {
        if (r.kind == SourceRecord::Kind::Address && !addresses.contains(r.location))
            addresses << r.location;
        else if (r.kind == SourceRecord::Kind::File)
            ownFiles << r;
    }
    bool cancelled = false;
    const QList<Fetched> fetched = fetchAll(addresses, options.parallel, options.limits, options.progress,
                                            options.cancel, deadline, &cancelled);
    if (cancelled)
        return cancelledOutcome();
    Gathered g;
    QList<Skip> failed;
    QList<SourceRecord> ownSkipped;
    QList<PlayFailure> fetchFailures;
    for (qsizetype i = 0; i < addresses.size(); ++i) {
        if (isCancelled(options.cancel))
            return cancelledOutcome();
        const bool own = i >= publicCount;
        Source source;
        Why why;
        const Fetched& f = fetched.at(i);
        const FetchResult& r = f.result;
        if (f.outOfTime) {
            why = waitedFor(f, options.totalMs);
            fetchFailures << PlayFailure::TimedOut;
        } else if (r.failure != PlayFailure::None) {
            fetchFailures << r.failure;
            why = {fetchFailureText(r), fetchFailureVi(r)};
        } else if (parseSource(addresses.at(i), r.body, r.url.isValid() ? r.url : QUrl(addresses.at(i)), &source,
                               &why)
                   == Read::Ok) {
            g.toCache.append({addresses.at(i), r.body});
            SourceRecord record;
            record.kind = own ? SourceRecord::Kind::Address : SourceRecord::Kind::Public;
            record.location = addresses.at(i);
            record.read = QDateTime::currentDateTimeUtc();
            g.sources << source;
            g.records << record;
            continue;
        }
        if (own) {
            g.skipped << Skip{addresses.at(i), why};
            SourceRecord record;
            record.kind = SourceRecord::Kind::Address;
            record.location = addresses.at(i);
            record.read = QDateTime::currentDateTimeUtc();
            record.error = why.vi;
            ownSkipped << record;
        } else {
            failed << Skip{addresses.at(i), why};
        }
    }
    if (std::none_of(g.records.cbegin(), g.records.cend(),
                     [](const SourceRecord& r) { return r.kind == SourceRecord::Kind::Public; })) {
        outcome.status = ImportOutcome::Failed;
        outcome.stop = ImportOutcome::Stop::NothingRead;
        outcome.fetchFailures = fetchFailures;
        // Every list's reason, the public ones' first.
        outcome.skipped = englishLines(failed + g.skipped);
        outcome.error = QStringLiteral("%1: no list could be read; nothing was changed").arg(sourceTemplate);
        outcome.message = QStringLiteral("Không tải được danh sách nào; không thay đổi gì.");
        const QStringList vi = [&] {
            QStringList out;
            for (const Skip& s : failed + g.skipped)
                out << QStringLiteral("%1: %2").arg(s.source, s.why.vi);
            return out;
        }();
        outcome.report = QStringLiteral("Không tải được danh sách nào; không thay đổi gì. Lý do của từng danh sách:\n")
            + vi.join(u'\n') + u'\n';
        return outcome;
    }
    QList<SourceRecord> skipped;
    if (!gatherInUse(ownFiles, false, cache, false, g, skipped, options.cancel))
        return cancelledOutcome();
    g.skipped = failed + g.skipped;
    recordSkipped(g, failed, SourceRecord::Kind::Public);
    g.records += ownSkipped;
    for (const SourceRecord& r : std::as_const(skipped))
        g.records << r;
    outcome = buildLayer(g, {}, options.dryRun, dir, entriesInUse(dir), catalogue::maxListChannelsFileBytes, cache,
                         options.cancel);
    if (outcome.status == ImportOutcome::Done && !options.dryRun) {
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
        return {UndoOutcome::NothingToUndo, QStringLiteral("%1%2: not found; there is no import to undo").arg(tsv, bakSuffix)};
    QString error;
    std::unique_ptr<files::FolderLock> lock = takeLock(dir, &error);
    if (!lock || !files::recover(dir, &error))
        return {UndoOutcome::Failed, error};
    // Looked at again under the lock: another undo may have used it up.
    QByteArray before;
    const ReadResult bak = files::readRegularFile(tsv + bakSuffix, userdata::maxAddressFileBytes, &before, &error);
    if (bak == ReadResult::Missing)
        return {UndoOutcome::NothingToUndo, QStringLiteral("%1%2: not found; there is no import to undo").arg(tsv, bakSuffix)};
    if (bak == ReadResult::Failed)
        return {UndoOutcome::Failed, QStringLiteral("%1%2: %3").arg(tsv, bakSuffix, error)};
    files::Transaction change(dir);
    change.restoreBackup(tsvName);
    // The other files go back with the addresses; one not kept from then
    // (an import by an older version) describes them no more.
    for (const QString& name : {streamsName, channelsName, txtName, sourcesName}) {
        if (QFile::exists(dir + u'/' + name + bakSuffix))
            change.restoreBackup(name);
        else
            change.remove(name);
    }
    if (change.commit(&error) == files::Transaction::Outcome::Failed)
        return {UndoOutcome::Failed, QStringLiteral("%1: cannot be restored (%2)").arg(tsv, error)};
    return {UndoOutcome::Restored, !before.isEmpty()
                   ? QStringLiteral("%1: the addresses imported before the last import are back").arg(tsv)
                   : QStringLiteral("%1: removed; no addresses were imported before the last import").arg(tsv)};
}

QString lastImportReport(const QString& configDir)
{
    QByteArray report;
    QString error;
    files::readCommitted(configFolder(configDir), txtName, userdata::maxAddressFileBytes, &report, &error);
    return QString::fromUtf8(report);
}

bool canUndoImport(const QString& configDir)
{
    return files::existsCommitted(configFolder(configDir), userdata::importFileName() + bakSuffix);
}

} // namespace miravon::import
