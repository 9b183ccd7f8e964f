// Importing playlists into the address files: what is written and kept,
// undo, bad input, fetching over http from a loopback server, the layers of
// addresses in the running catalogue, and the command line.
#include "catalogue.h"
#include "importer.h"
#include "listchannels.h"
#include "userfiles.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <sys/stat.h>

using namespace miravon;
using namespace miravon::import;

namespace {

const QString fixtures = QStringLiteral(FIXTURES);

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

// Serves fixed answers on 127.0.0.1: path -> raw response.
class LoopbackServer : public QObject {
public:
    LoopbackServer()
    {
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    request_ += s->readAll();
                    if (!request_.contains("\r\n\r\n"))
                        return;
                    const QByteArray path = request_.split(' ').value(1);
                    request_.clear();
                    s->write(answers.value(path, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"));
                    s->disconnectFromHost();
                });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
        server_.listen(QHostAddress::LocalHost, 0);
    }
    QString url(const char* path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(QLatin1String(path)); }
    static QByteArray ok(const QByteArray& body)
    {
        return "HTTP/1.1 200 OK\r\nContent-Type: audio/x-mpegurl\r\nContent-Length: " + QByteArray::number(body.size())
            + "\r\n\r\n" + body;
    }
    QHash<QByteArray, QByteArray> answers;

private:
    QTcpServer server_;
    QByteArray request_;
};

ImportOptions options(const QStringList& sources, const QString& country, bool dryRun, const QString& configDir)
{
    ImportOptions o;
    o.sources = sources;
    o.country = country;
    o.dryRun = dryRun;
    o.configDir = configDir;
    return o;
}

} // namespace

namespace {

struct Snapshot {
    QByteArray tsv, tsvBak, txt, txtBak, streams, streamsBak, sources, sourcesBak, channels, channelsBak;
    QStringList present;
    friend bool operator==(const Snapshot&, const Snapshot&) = default;
};

// The import's five files as a reader sees them.
Snapshot snapshot(const QString& dir)
{
    Snapshot s;
    const std::pair<const char*, QByteArray*> files[] = {{"addresses.import.tsv", &s.tsv},
                                                         {"addresses.import.tsv.bak", &s.tsvBak},
                                                         {"addresses.import.txt", &s.txt},
                                                         {"addresses.import.txt.bak", &s.txtBak},
                                                         {"addresses.import.streams.tsv", &s.streams},
                                                         {"addresses.import.streams.tsv.bak", &s.streamsBak},
                                                         {"addresses.import.sources.tsv", &s.sources},
                                                         {"addresses.import.sources.tsv.bak", &s.sourcesBak},
                                                         {"addresses.import.channels.tsv", &s.channels},
                                                         {"addresses.import.channels.tsv.bak", &s.channelsBak}};
    for (const auto& [name, content] : files) {
        QString error;
        if (files::readCommitted(dir, QLatin1String(name), 1 << 24, content, &error) == ReadResult::Ok)
            s.present << QLatin1String(name);
        // The reports name the folder, the sources when they were read:
        // two folders, two runs compare alike.
        content->replace(QFile::encodeName(dir), "<dir>");
        static const QRegularExpression time(QStringLiteral("\\t\\d{4}-\\d\\d-\\d\\dT[0-9:]+Z\\t"));
        *content = QString::fromUtf8(*content).replace(time, QStringLiteral("\t<time>\t")).toUtf8();
    }
    return s;
}

QString describe(const Snapshot& s)
{
    return QStringLiteral("%1 (tsv %2 bytes, bak %3, txt %4, bak %5)")
        .arg(s.present.join(u' '))
        .arg(s.tsv.size())
        .arg(s.tsvBak.size())
        .arg(s.txt.size())
        .arg(s.txtBak.size());
}

// Runs the program's own command line, with its config folder under `xdg`.
QProcess* runMiravon(const QString& xdg, const QStringList& args, const QStringList& prefix = {})
{
    auto* p = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", xdg);
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    p->setProcessEnvironment(env);
    if (prefix.isEmpty())
        p->start(QStringLiteral(MIRAVON_BIN), args);
    else
        p->start(prefix.first(), prefix.mid(1) + QStringList{QStringLiteral(MIRAVON_BIN)} + args);
    return p;
}

} // namespace

class TestImport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void writesKeepsAndUndoes();
    void channelsKeptWholeWithTheLayer();
    void theChannelsFileStaysWithinItsCap();
    void anEmptyListAmongSeveralIsSkipped();
    void aDropThatKeepsNothingChangesNothing();
    void badInputWritesNothing_data();
    void badInputWritesNothing();
    void fetchesOverHttp();
    void layersInTheRunningCatalogue();
    void localFilesOnlyInTheUsersOwnLayer();
    void commandLine_data();
    void commandLine();
    void aFailedImportChangesNothing_data();
    void aFailedImportChangesNothing();
    void longNamesAreSkippedAndCounted();
    void killedAtAnyStepLosesNothing_data();
    void killedAtAnyStepLosesNothing();
    void concurrentImportsLoseNothing();
    void aBusyFolderIsSaidSo();

private:
    QTemporaryDir xdg_;
    QString dir_; // the program's folder under xdg_
    QTemporaryDir made_; // lists made for the test
    QString made(const char* name) const { return made_.filePath(QLatin1String(name)); }
};

void TestImport::initTestCase()
{
    QVERIFY(xdg_.isValid());
    qputenv("XDG_CONFIG_HOME", xdg_.path().toUtf8());
    dir_ = xdg_.path() + QStringLiteral("/miravon");

    // Hostile and broken lists.
    QVERIFY(made_.isValid());
    QCOMPARE(::mkfifo(QFile::encodeName(made("fifo.m3u")).constData(), 0600), 0);
    QVERIFY(writeFile(made("header-only.m3u"), "#EXTM3U\n"));
    QVERIFY(writeFile(made("no-address.m3u"), "#EXTM3U\n" + QByteArray("#EXTINF:-1,x\n").repeated(10000)));
    const QString ve = QString::fromUtf8(readAll(fixtures + QStringLiteral("/ve.m3u")));
    QVERIFY(writeFile(made("utf16.m3u"), QByteArray("\xFF\xFE")
                                             + QByteArray(reinterpret_cast<const char*>(ve.utf16()), ve.size() * 2)));
    QVERIFY(writeFile(made("utf16-unmarked.m3u"), QByteArray(reinterpret_cast<const char*>(ve.utf16()), ve.size() * 2)));
    QVERIFY(writeFile(made("nul.m3u"), QByteArray(4096, '\0')));
    QVERIFY(writeFile(made("unusable.m3u"), "#EXTM3U\n#EXTINF:-1,VTV\nrtmp://stream.example/ve/vtv\n"
                                            "#EXTINF:-1,teleSUR\nfile:///etc/passwd\n"));
    // Usable addresses, but every stream is skipped once read: a tab in a
    // user agent, a name past 300 characters.
    QVERIFY(writeFile(made("all-skipped.m3u"), "#EXTM3U\n#EXTINF:-1 tvg-id=\"VTV1.vn\" user-agent=\"Agent\twith a tab\",VTV1\n"
                                               "https://stream.example/vn/vtv1-tab.m3u8\n#EXTINF:-1 tvg-id=\"VTV3.vn\","
                                                   + QByteArray(301, 'V') + "\nhttps://stream.example/vn/vtv3-long.m3u8\n"));
    const QByteArray longName = QByteArray(2 * 1024 * 1024, 'V');
    QVERIFY(writeFile(made("ve_long.m3u"), "#EXTM3U\n#EXTINF:-1," + longName + "\nhttps://stream.example/ve/long.m3u8\n"
                                           "#EXTINF:-1,VTV\nhttps://stream.example/ve/" + QByteArray(8192, 'a')
                                           + ".m3u8\n#EXTINF:-1 tvg-id=\"VTV.ve\",VTV\nhttps://stream.example/ve/vtv.m3u8\n"));
}

void TestImport::writesKeepsAndUndoes()
{
    QTemporaryDir d;
    ImportOptions o;
    o.configDir = d.path() + QStringLiteral("/miravon");
    const QString tsv = o.configDir + QStringLiteral("/addresses.import.tsv");

    o.sources = {fixtures + QStringLiteral("/ve.m3u")};
    ImportOutcome first = importPlaylists(o);
    QCOMPARE(first.status, 0);
    QCOMPARE(first.written, 2);
    const QByteArray firstTsv = readAll(tsv);
    QVERIFY(firstTsv.startsWith("window\tcontrol\taddress\treferrer\tuser_agent\n"));
    QVERIFY(firstTsv.contains("frmmain6\tkhung6_11\thttps://stream.example/ve/vtv.m3u8\t\t\n"));
    QCOMPARE(readAll(o.configDir + QStringLiteral("/addresses.import.txt")), first.report.toUtf8());
    QVERIFY2(first.report.contains(QStringLiteral("Venezuela: Telesur TV -> ")), qPrintable(first.report));

    // Replaced whole; the previous one kept.
    o.sources = {fixtures + QStringLiteral("/vn.m3u")};
    const ImportOutcome second = importPlaylists(o);
    QCOMPARE(second.status, 0);
    QVERIFY(!readAll(tsv).contains("khung6_11"));
    QVERIFY(readAll(tsv).contains("frmmain\tImage8\thttps://stream.example/vn/vtc1/index.m3u8\thttps://player.example/\t"
                                  "Mozilla/5.0 (X11; Linux x86_64)\n"));
    QCOMPARE(readAll(tsv + QStringLiteral(".bak")), firstTsv);

    // Undo: the first import is back; then there is nothing left to undo.
    QCOMPARE(undoImport(o.configDir).status, 0);
    QCOMPARE(readAll(tsv), firstTsv);
    QCOMPARE(readAll(o.configDir + QStringLiteral("/addresses.import.txt")), first.report.toUtf8());
    QCOMPARE(undoImport(o.configDir).status, 1);
    QCOMPARE(readAll(tsv), firstTsv);

    // Undoing the very first import removes the file.
    QVERIFY(QFile::remove(tsv));
    QCOMPARE(importPlaylists(o).status, 0);
    QCOMPARE(undoImport(o.configDir).status, 0);
    QVERIFY(!QFile::exists(tsv));

    // A dry run reports and writes nothing.
    o.dryRun = true;
    const ImportOutcome dry = importPlaylists(o);
    QCOMPARE(dry.status, 0);
    QVERIFY(dry.report.contains(QStringLiteral("Chạy thử")));
    QVERIFY(!QFile::exists(tsv));
}

// Every channel of the lists, whole, beside the addresses: written with
// them, kept as .bak, put back by an undo, never by a dry run.
void TestImport::channelsKeptWholeWithTheLayer()
{
    QTemporaryDir d;
    ImportOptions o = options({fixtures + QStringLiteral("/vn.m3u"), fixtures + QStringLiteral("/de_dw.m3u")}, {},
                              false, d.path());
    const QString file = d.filePath(QStringLiteral("addresses.import.channels.tsv"));
    const ImportOutcome first = importPlaylists(o);
    QCOMPARE(first.status, 0);
    const QByteArray firstBytes = readAll(file);
    QStringList problems;
    const QList<catalogue::ListChannel> channels = catalogue::readListChannels(firstBytes, &problems);
    QCOMPARE(problems, QStringList{});
    QCOMPARE(first.channels, channels.size());
    QHash<QString, catalogue::ListChannel> by;
    QStringList keys;
    for (const catalogue::ListChannel& c : channels) {
        by.insert(c.key, c);
        keys << c.key;
    }
    // Country by country; in a country, in the lists' order.
    QCOMPARE(keys, (QStringList{"DE/DW.de", "VN/VTV1.vn", "VN/VTV3.vn", "VN/HanoiTV1.vn", "VN/HTV7.vn", "VN/VTC1.vn",
                                "VN/VTV.vn", "VN/VTV4HD.vn"}));

    // Two streams of one tvg-id are one channel: named without quality
    // mark and notes, its best quality, the list's group and logo, the
    // stream without [Geo-blocked] first; it gave VTV1 its address.
    const catalogue::ListChannel vtv1 = by.value("VN/VTV1.vn");
    QCOMPARE(vtv1.name, QStringLiteral("VTV1"));
    QCOMPARE(vtv1.quality, QStringLiteral("1080p"));
    QCOMPARE(vtv1.group, QStringLiteral("General"));
    QCOMPARE(vtv1.logo, QStringLiteral("https://logo.example/vtv1.png"));
    QCOMPARE(vtv1.country, QStringLiteral("VN"));
    QCOMPARE(vtv1.entry, QStringLiteral("frmmain/Image4"));
    QCOMPARE(vtv1.streams.size(), 2);
    QCOMPARE(vtv1.streams.at(0).address.url, QStringLiteral("https://stream.example/vn/vtv1/index.m3u8"));
    QCOMPARE(vtv1.streams.at(1).title, QStringLiteral("VTV1 (720p) [Geo-blocked]"));
    QCOMPARE(vtv1.streams.at(1).list, QStringLiteral("vn.m3u"));
    // Headers go with their stream; a channel no entry stands for has none.
    QCOMPARE(by.value("VN/VTC1.vn").streams.first().address.options.referrer, QStringLiteral("https://player.example/"));
    QCOMPARE(by.value("VN/VTV.vn").entry, QString());
    // The feeds of one channel are one channel, named by what they share,
    // the edition a viewer here expects first.
    const catalogue::ListChannel dw = by.value("DE/DW.de");
    QCOMPARE(dw.name, QStringLiteral("DW"));
    QCOMPARE(dw.entry, QStringLiteral("frmmain3/duc1_19"));
    QCOMPARE(dw.streams.size(), 4);
    QCOMPARE(dw.streams.first().address.url, QStringLiteral("https://stream.example/de/dw-english.m3u8"));
    QVERIFY2(first.report.contains(QStringLiteral("Việt Nam: 7 kênh (6 có mục)")), qPrintable(first.report));

    // Replaced whole by the next import, kept as .bak, put back by undo.
    o.sources = {fixtures + QStringLiteral("/ve.m3u")};
    QCOMPARE(importPlaylists(o).status, 0);
    QVERIFY(readAll(file).contains("VE/"));
    QVERIFY(!readAll(file).contains("VN/VTV1.vn"));
    QCOMPARE(readAll(file + QStringLiteral(".bak")), firstBytes);
    QCOMPARE(undoImport(o.configDir).status, 0);
    QCOMPARE(readAll(file), firstBytes);

    // A dry run writes nothing, here or in a fresh folder.
    o.dryRun = true;
    QCOMPARE(importPlaylists(o).status, 0);
    QCOMPARE(readAll(file), firstBytes);
    QTemporaryDir fresh;
    o.configDir = fresh.path();
    QCOMPARE(importPlaylists(o).status, 0);
    QCOMPARE(QDir(fresh.path()).entryList(QDir::Files), QStringList{});
}

// Past its cap the channels' file leaves channels out, never one that gave
// an entry its address before one that did not, and says so.
void TestImport::theChannelsFileStaysWithinItsCap()
{
    QTemporaryDir whole, capped;
    ImportOptions o = options({fixtures + QStringLiteral("/vn.m3u")}, {}, false, whole.path());
    QCOMPARE(importPlaylists(o).status, 0);
    const qint64 size = readAll(whole.filePath(QStringLiteral("addresses.import.channels.tsv"))).size();

    o.configDir = capped.path();
    o.channelsFileLimit = size - 1;
    const ImportOutcome out = importPlaylists(o);
    QCOMPARE(out.status, 0);
    const QByteArray bytes = readAll(capped.filePath(QStringLiteral("addresses.import.channels.tsv")));
    QVERIFY(bytes.size() <= o.channelsFileLimit);
    const QList<catalogue::ListChannel> kept = catalogue::readListChannels(bytes);
    int withEntry = 0;
    for (const catalogue::ListChannel& c : kept)
        withEntry += c.entry.isEmpty() ? 0 : 1;
    QCOMPARE(withEntry, 6);
    QCOMPARE(kept.size(), 6);
    QVERIFY2(out.report.contains(QStringLiteral("Bỏ bớt 1 kênh")), qPrintable(out.report));
    // The addresses are all there.
    QCOMPARE(readAll(capped.filePath(QStringLiteral("addresses.import.tsv"))),
             readAll(whole.filePath(QStringLiteral("addresses.import.tsv"))));
}

// Several lists, some with no stream (a public list with only its
// header): those are named and skipped, the others imported.
void TestImport::anEmptyListAmongSeveralIsSkipped()
{
    QTemporaryDir d;
    ImportOptions o = options({fixtures + QStringLiteral("/ve.m3u"), made("header-only.m3u"), made("unusable.m3u")}, {},
                              false, d.path());
    const ImportOutcome out = importPlaylists(o);
    QCOMPARE(out.status, 0);
    QCOMPARE(out.written, 2);
    QCOMPARE(out.skipped.size(), 2);
    QVERIFY2(out.report.contains(made("header-only.m3u") + QStringLiteral(": không có luồng nào")),
             qPrintable(out.report));
    QVERIFY(out.report.contains(made("unusable.m3u") + QStringLiteral(": không luồng nào trong 2 luồng dùng được")));
    QVERIFY(!out.report.contains(QStringLiteral("holds no stream")));
    QVERIFY(readAll(d.filePath("addresses.import.tsv")).contains("khung6_11"));
    // The sources window names them too, with why.
    const QList<SourceRecord> sources = sourcesInUse(d.path());
    QCOMPARE(sources.size(), 3);
    QCOMPARE(sources.at(1).error, QStringLiteral("không có luồng nào (không có địa chỉ nào sau các dòng #EXTINF)"));
}

// A dropped list whose streams are all skipped once read, beside a list in
// use that now gives nothing either: the import in use stays.
void TestImport::aDropThatKeepsNothingChangesNothing()
{
    QTemporaryDir d, lists;
    const QString inUse = lists.filePath(QStringLiteral("vn.m3u"));
    QVERIFY(writeFile(inUse, readAll(fixtures + QStringLiteral("/vn.m3u"))));
    ImportOptions o = options({inUse}, {}, false, d.path());
    QCOMPARE(importPlaylists(o).status, 0);
    const Snapshot before = snapshot(d.path());
    QVERIFY(before.tsv.contains("Image4"));

    QVERIFY(writeFile(inUse, readAll(made("all-skipped.m3u"))));
    o.sources = {made("all-skipped.m3u")};
    o.addToSources = true;
    const ImportOutcome out = importPlaylists(o);
    QCOMPARE(out.status, 2);
    QVERIFY(!out.message.isEmpty());
    QVERIFY2(out.report.contains(QStringLiteral("Không thay đổi gì")), qPrintable(out.report));
    QVERIFY(snapshot(d.path()) == before);
}

void TestImport::badInputWritesNothing_data()
{
    QTest::addColumn<QStringList>("sources");
    QTest::addColumn<QString>("country");
    QTest::addColumn<QString>("named");
    QTest::addColumn<QString>("why");
    QTest::newRow("not a playlist") << QStringList{fixtures + "/not_a_playlist.txt"} << ""
                                    << fixtures + "/not_a_playlist.txt" << "not an M3U playlist";
    QTest::newRow("missing file, after a good one")
        << QStringList{fixtures + "/vn.m3u", "/nonexistent/list.m3u"} << "" << "/nonexistent/list.m3u"
        << "cannot be read";
    QTest::newRow("a folder") << QStringList{fixtures} << "" << fixtures << "folder";
    QTest::newRow("another scheme") << QStringList{"ftp://lists.example/vn.m3u"} << ""
                                    << "ftp://lists.example/vn.m3u" << "only files";
    QTest::newRow("bad country") << QStringList{fixtures + "/vn.m3u"} << "Vietnam" << "--country Vietnam"
                                 << "two-letter";
    // Never opened for reading: it would block, or never end.
    QTest::newRow("a FIFO") << QStringList{made("fifo.m3u")} << "" << made("fifo.m3u") << "is a FIFO";
    QTest::newRow("a device") << QStringList{"/dev/zero"} << "" << "/dev/zero" << "is a device";
    // A list that yields no stream must not replace the last import.
    QTest::newRow("only a header") << QStringList{made("header-only.m3u")} << "" << made("header-only.m3u")
                                   << "holds no stream";
    QTest::newRow("entries without addresses") << QStringList{made("no-address.m3u")} << ""
                                               << made("no-address.m3u") << "holds no stream";
    QTest::newRow("no usable address") << QStringList{made("unusable.m3u")} << "" << made("unusable.m3u")
                                       << "none of its 2 streams can be used";
    QTest::newRow("two lists, neither with a stream") << QStringList{made("header-only.m3u"), made("unusable.m3u")}
                                                      << "" << "none of the 2 lists" << "holds no stream";
    QTest::newRow("UTF-16 with a byte-order mark") << QStringList{made("utf16.m3u")} << "" << made("utf16.m3u")
                                                   << "UTF-16 text; save it as UTF-8";
    QTest::newRow("UTF-16 without one") << QStringList{made("utf16-unmarked.m3u")} << ""
                                        << made("utf16-unmarked.m3u") << "UTF-16 text; save it as UTF-8";
    QTest::newRow("NUL bytes") << QStringList{made("nul.m3u")} << "" << made("nul.m3u") << "NUL bytes";
}

void TestImport::badInputWritesNothing()
{
    QFETCH(QStringList, sources);
    QFETCH(QString, country);
    QFETCH(QString, named);
    QFETCH(QString, why);
    QTemporaryDir d;
    ImportOptions o = options(sources, country, false, d.path());
    const ImportOutcome out = importPlaylists(o);
    QCOMPARE(out.status, 2);
    QVERIFY2(out.error.startsWith(named + QStringLiteral(": ")) || out.error.startsWith(named), qPrintable(out.error));
    QVERIFY2(out.error.contains(why), qPrintable(out.error));
    QVERIFY(!out.error.contains(u'\n'));
    QCOMPARE(QDir(d.path()).entryList(QDir::Files), QStringList{});
}

void TestImport::fetchesOverHttp()
{
    LoopbackServer server;
    server.answers.insert("/lists/vn.m3u", LoopbackServer::ok(readAll(fixtures + QStringLiteral("/vn.m3u"))));
    server.answers.insert("/page", LoopbackServer::ok(readAll(fixtures + QStringLiteral("/not_a_playlist.txt"))));
    server.answers.insert("/huge.m3u", "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(maxPlaylistBytes + 1)
                                           + "\r\n\r\n#EXTM3U\n");
    server.answers.insert("/moved.m3u", "HTTP/1.1 302 Found\r\nLocation: /lists/vn.m3u\r\nContent-Length: 0\r\n\r\n");

    QTemporaryDir d;
    ImportOptions o = options({server.url("/moved.m3u")}, {}, true, d.path());
    const ImportOutcome good = importPlaylists(o);
    QCOMPARE(good.status, 0);
    // The list's country comes from the file name it was found under.
    QVERIFY2(good.report.contains(QStringLiteral("Việt Nam › Các kênh truyền hình Việt Nam: VTV3 -> ")),
             qPrintable(good.report));

    // Relative stream addresses are resolved against where the list came
    // from, after its redirect.
    server.answers.insert("/lists/rel/vn.m3u", LoopbackServer::ok("#EXTM3U\n#EXTINF:-1 tvg-id=\"VTV3.vn\",VTV3\n"
                                                                  "vtv3/index.m3u8\n"));
    server.answers.insert("/rel.m3u", "HTTP/1.1 302 Found\r\nLocation: /lists/rel/vn.m3u\r\nContent-Length: 0\r\n\r\n");
    o.sources = {server.url("/rel.m3u")};
    const ImportOutcome relative = importPlaylists(o);
    QCOMPARE(relative.status, 0);
    QVERIFY2(relative.report.contains(server.url("/lists/rel/vtv3/index.m3u8")), qPrintable(relative.report));

    for (const char* path : {"/page", "/huge.m3u", "/gone.m3u"}) {
        o.sources = {server.url(path)};
        const ImportOutcome bad = importPlaylists(o);
        QCOMPARE(bad.status, 2);
        QVERIFY2(bad.error.startsWith(server.url(path) + QStringLiteral(": ")), qPrintable(bad.error));
    }
}

// Built-in, then imported, then the user's own file: a hand-written row
// wins; the running catalogue takes a new import at once.
void TestImport::layersInTheRunningCatalogue()
{
    QVERIFY(QDir().mkpath(dir_));
    QVERIFY(writeFile(dir_ + QStringLiteral("/addresses.tsv"),
                      "window\tcontrol\taddress\nfrmmain\tImage4\thttps://own.example/vtv1\n"));
    catalogue::RunningCatalogue running;
    const catalogue::Catalogue& live = running.catalogue();
    const catalogue::Label* vtv1 = live.label("frmmain", "Image4");
    const catalogue::Label* vtv3 = live.label("frmmain", "Image5");
    const catalogue::Label* vtc1 = live.label("frmmain", "Image8");
    const QString builtInVtv3 = vtv3->address;
    QCOMPARE(vtv1->address, QStringLiteral("https://own.example/vtv1"));

    const ImportOutcome out = importPlaylists(options({fixtures + QStringLiteral("/vn.m3u")}, {}, false, {}));
    QCOMPARE(out.status, 0);
    QVERIFY2(out.report.contains(
                 QStringLiteral("Việt Nam › Các kênh truyền hình Việt Nam: VTV1 -> addresses.tsv dòng 2: ")),
             qPrintable(out.report));

    QSignalSpy changed(&running, &catalogue::RunningCatalogue::addressesChanged);
    running.reload();
    QCOMPARE(changed.size(), 1);
    QCOMPARE(live.label("frmmain", "Image4"), vtv1); // the same label, read anew
    QCOMPARE(vtv1->address, QStringLiteral("https://own.example/vtv1"));
    QCOMPARE(vtv3->address, QStringLiteral("http://stream.example/vn/vtv3/index.m3u8"));
    QCOMPARE(vtc1->address, QStringLiteral("https://stream.example/vn/vtc1/index.m3u8"));
    QCOMPARE(vtc1->referrer, QStringLiteral("https://player.example/"));
    QCOMPARE(vtc1->userAgent, QStringLiteral("Mozilla/5.0 (X11; Linux x86_64)"));

    QCOMPARE(undoImport().status, 0);
    running.reload();
    QCOMPARE(vtv3->address, builtInVtv3);
    QVERIFY(vtc1->referrer.isEmpty());
    QCOMPARE(vtv1->address, QStringLiteral("https://own.example/vtv1"));
}

void TestImport::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::addColumn<bool>("written");
    QTest::newRow("dry run") << QStringList{"--import-m3u", fixtures + "/vn.m3u", "--dry-run"} << 0
                             << QStringLiteral("Chạy thử") << "" << false;
    QTest::newRow("import with a country")
        << QStringList{"--import-m3u", fixtures + "/provider.m3u8", "--country", "vn"} << 0
        << QStringLiteral("Việt Nam › Các kênh truyền hình Việt Nam: ") << "" << true;
    QTest::newRow("an empty list among several is skipped")
        << QStringList{"--import-m3u", fixtures + "/ve.m3u", made("header-only.m3u")} << 0
        << QStringLiteral("Bỏ qua 1 danh sách") << "" << true;
    QTest::newRow("every stream skipped once read")
        << QStringList{"--import-m3u", made("all-skipped.m3u")} << 2 << ""
        << "no usable stream to any entry or channel" << false;
    QTest::newRow("not a playlist") << QStringList{"--import-m3u", fixtures + "/not_a_playlist.txt"} << 2 << ""
                                    << "miravon: " + fixtures + "/not_a_playlist.txt: not an M3U playlist" << false;
    QTest::newRow("nothing to undo") << QStringList{"--undo-import"} << 1 << "" << "there is no import to undo"
                                     << false;
    // Refused at once, with one line, whatever the file is.
    QTest::newRow("a FIFO") << QStringList{"--import-m3u", made("fifo.m3u")} << 2 << ""
                            << "miravon: " + made("fifo.m3u") + ": is a FIFO, not a regular file" << false;
    QTest::newRow("/dev/zero") << QStringList{"--import-m3u", "/dev/zero"} << 2 << ""
                               << "miravon: /dev/zero: is a device, not a regular file" << false;
    QTest::newRow("UTF-16") << QStringList{"--import-m3u", made("utf16.m3u")} << 2 << "" << "save it as UTF-8" << false;
}

// The commands need no display.
void TestImport::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(bool, written);
    QTemporaryDir d;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", d.path());
    env.insert("QT_QPA_PLATFORM", "no-such-platform");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(MIRAVON_BIN), args);
    QVERIFY2(p.waitForFinished(30000), "the command did not end in time");
    const QString stdOut = QString::fromUtf8(p.readAllStandardOutput());
    const QString stdErr = QString::fromUtf8(p.readAllStandardError());
    QCOMPARE(p.exitCode(), status);
    QVERIFY2(stdOut.contains(out), qPrintable(stdOut));
    if (err.isEmpty())
        QCOMPARE(stdErr, QString());
    else
        QVERIFY2(stdErr.contains(err) && stdErr.count(u'\n') == 1, qPrintable(stdErr));
    QCOMPARE(QFile::exists(d.path() + QStringLiteral("/miravon/addresses.import.tsv")), written);
}


// A list in the config folder imported twice: the second one is the change
// the faults hit. Before it: the first import, with an empty .bak.
void TestImport::localFilesOnlyInTheUsersOwnLayer()
{
    // An import file edited by hand to name a file of this computer: that
    // row is reported and skipped when loaded; the user's own file may.
    QVERIFY(QDir().mkpath(dir_));
    QVERIFY(writeFile(dir_ + QStringLiteral("/addresses.import.tsv"),
                      "window\tcontrol\taddress\nfrmmain\tImage4\tfile:///home/user/clip.ts\n"
                      "frmmain\tImage5\thttps://imported.example/vtv3\n"));
    QVERIFY(writeFile(dir_ + QStringLiteral("/addresses.tsv"),
                      "window\tcontrol\taddress\nfrmmain\tImage6\tfile:///home/user/vtv4.ts\n"));
    catalogue::RunningCatalogue running;
    const catalogue::Catalogue& live = running.catalogue();
    const catalogue::Label* vtv1 = live.label("frmmain", "Image4");
    const catalogue::Label* vtv3 = live.label("frmmain", "Image5");
    const catalogue::Label* vtv4 = live.label("frmmain", "Image6");
    QVERIFY(!vtv1->address.startsWith(QLatin1String("file:")));
    QCOMPARE(vtv1->origin, AddressOrigin::BuiltIn);
    QCOMPARE(vtv3->address, QStringLiteral("https://imported.example/vtv3"));
    QCOMPARE(vtv3->origin, AddressOrigin::Imported);
    QCOMPARE(vtv4->address, QStringLiteral("file:///home/user/vtv4.ts"));
    QCOMPARE(vtv4->origin, AddressOrigin::Own);
    QVERIFY(QFile::remove(dir_ + QStringLiteral("/addresses.import.tsv")));
    QVERIFY(QFile::remove(dir_ + QStringLiteral("/addresses.tsv")));
    running.reload();
    QCOMPARE(vtv4->origin, AddressOrigin::BuiltIn);
}

void TestImport::aFailedImportChangesNothing_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("nth");
    // A full disk: the first write of the new files fails, then one later.
    QTest::newRow("disk full at the address file") << fixtures + "/vn.m3u" << int(files::Op::Write) << 1;
    QTest::newRow("disk full at the report") << fixtures + "/vn.m3u" << int(files::Op::Write) << 2;
    QTest::newRow("sync fails") << fixtures + "/vn.m3u" << int(files::Op::Sync) << 3;
    QTest::newRow("the commit's rename fails") << fixtures + "/vn.m3u" << int(files::Op::Rename) << 1;
    QTest::newRow("an empty list") << made("header-only.m3u") << -1 << 0;
    QTest::newRow("every stream skipped once read") << made("all-skipped.m3u") << -1 << 0;
}

// What the user had stays: the addresses, the undo copy and the report; a
// later undo still brings back the import before.
void TestImport::aFailedImportChangesNothing()
{
    QFETCH(QString, source);
    QFETCH(int, op);
    QFETCH(int, nth);
    QTemporaryDir d;
    ImportOptions o = options({fixtures + QStringLiteral("/ve.m3u")}, {}, false, d.path());
    QCOMPARE(importPlaylists(o).status, 0);
    o.sources = {fixtures + QStringLiteral("/us_sloppy.m3u")};
    QCOMPARE(importPlaylists(o).status, 0);
    const Snapshot before = snapshot(d.path());
    QVERIFY(before.tsvBak.contains("khung6_11"));

    if (op >= 0)
        files::injectFault(files::Op(op), nth, ENOSPC);
    o.sources = {source};
    const ImportOutcome out = importPlaylists(o);
    files::clearFault();
    QCOMPARE(out.status, 2);
    QCOMPARE(out.written, 0);
    QVERIFY(!out.error.isEmpty());
    QCOMPARE(describe(snapshot(d.path())), describe(before));
    QVERIFY(snapshot(d.path()) == before);

    const UndoOutcome undo = undoImport(d.path());
    QCOMPARE(undo.status, 0);
    QVERIFY(readAll(d.filePath("addresses.import.tsv")).contains("khung6_11"));
    QCOMPARE(snapshot(d.path()).txt, before.txtBak);
    QCOMPARE(undoImport(d.path()).status, 1);
}

void TestImport::longNamesAreSkippedAndCounted()
{
    QElapsedTimer clock;
    clock.start();
    const ImportOutcome out = importPlaylists(options({made("ve_long.m3u")}, {}, true, {}));
    QCOMPARE(out.status, 0);
    QVERIFY2(out.report.contains(QStringLiteral("2 luồng có tên hoặc địa chỉ quá dài, bỏ qua.")), qPrintable(out.report));
    QVERIFY(out.report.contains(QStringLiteral("https://stream.example/ve/vtv.m3u8")));
    QVERIFY(!out.report.contains(QStringLiteral("VVVVVVVVVV")));
    qInfo("a 2 MiB name and an 8 KiB address: %lld ms", qint64(clock.elapsed()));
}

void TestImport::killedAtAnyStepLosesNothing_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("calls");
    const QStringList import = {"--import-m3u", fixtures + "/vn.m3u"};
    const QStringList undo = {"--undo-import"};
    for (const char* calls : {"rename,renameat,renameat2", "fsync,fdatasync", "unlink,unlinkat"}) {
        QTest::addRow("import, killed at %s", calls) << import << QString::fromLatin1(calls);
        QTest::addRow("undo, killed at %s", calls) << undo << QString::fromLatin1(calls);
    }
}

// The real program, killed at the nth call of a kind, for every n: a reader
// then finds the state before or the state after, whole; the next run
// finishes or drops what was left, and nothing of it stays behind.
void TestImport::killedAtAnyStepLosesNothing()
{
    QFETCH(QStringList, args);
    QFETCH(QString, calls);
    if (QStandardPaths::findExecutable(QStringLiteral("strace")).isEmpty())
        QSKIP("strace is not installed");
    for (int nth = 1; nth < 40; ++nth) {
        QTemporaryDir xdg;
        const QString dir = xdg.path() + QStringLiteral("/miravon");
        ImportOptions o = options({fixtures + QStringLiteral("/ve.m3u")}, {}, false, dir);
        QCOMPARE(importPlaylists(o).status, 0);
        o.sources = {fixtures + QStringLiteral("/us_sloppy.m3u")};
        QCOMPARE(importPlaylists(o).status, 0);
        const Snapshot before = snapshot(dir);

        std::unique_ptr<QProcess> p(runMiravon(xdg.path(), args,
                                               {QStringLiteral("strace"), QStringLiteral("-f"), QStringLiteral("-o"),
                                                QStringLiteral("/dev/null"), QStringLiteral("-e"),
                                                QStringLiteral("inject=%1:signal=KILL:when=%2").arg(calls).arg(nth)}));
        QVERIFY(p->waitForFinished(60000));
        const bool killed = p->exitStatus() == QProcess::CrashExit || p->exitCode() == 128 + 9;
        if (!killed)
            QCOMPARE(p->exitCode(), 0);

        // What the same command does without being killed.
        QTemporaryDir refXdg;
        const QString refDir = refXdg.path() + QStringLiteral("/miravon");
        o.configDir = refDir;
        o.sources = {fixtures + QStringLiteral("/ve.m3u")};
        QCOMPARE(importPlaylists(o).status, 0);
        o.sources = {fixtures + QStringLiteral("/us_sloppy.m3u")};
        QCOMPARE(importPlaylists(o).status, 0);
        std::unique_ptr<QProcess> ref(runMiravon(refXdg.path(), args));
        QVERIFY(ref->waitForFinished(60000));
        QCOMPARE(ref->exitCode(), 0);
        const Snapshot after = snapshot(refDir);

        const Snapshot seen = snapshot(dir);
        QVERIFY2(seen == before || seen == after,
                 qPrintable(QStringLiteral("killed at %1 %2: %3; before %4; after %5")
                                .arg(calls)
                                .arg(nth)
                                .arg(describe(seen), describe(before), describe(after))));
        // The next change finishes or drops the killed one.
        bool busy = false;
        QString error;
        auto lock = files::FolderLock::take(dir, 1000, &busy, &error);
        QVERIFY(lock);
        QVERIFY2(files::recover(dir, &error), qPrintable(error));
        QVERIFY(snapshot(dir) == seen);
        const QStringList left = QDir(dir).entryList({"*.new", ".transaction"}, QDir::Files | QDir::Hidden);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(u' ')));
        if (!killed)
            return; // the nth call never came: every earlier one was tried
    }
    QFAIL("the command was killed every time");
}

// Two imports at once, again and again: both say they are done, and both
// are kept, one as the addresses and the other as the undo copy.
void TestImport::concurrentImportsLoseNothing()
{
    for (int round = 0; round < 6; ++round) {
        QTemporaryDir xdg;
        const QString dir = xdg.path() + QStringLiteral("/miravon");
        std::unique_ptr<QProcess> a(runMiravon(xdg.path(), {"--import-m3u", fixtures + "/ve.m3u"}));
        std::unique_ptr<QProcess> b(runMiravon(xdg.path(), {"--import-m3u", fixtures + "/vn.m3u"}));
        QVERIFY(a->waitForFinished(60000) && b->waitForFinished(60000));
        QCOMPARE(a->exitCode(), 0);
        QCOMPARE(b->exitCode(), 0);
        const Snapshot s = snapshot(dir);
        const bool veLast = s.tsv.contains("khung6_11");
        QVERIFY2(veLast ? s.tsvBak.contains("Image8") : (s.tsv.contains("Image8") && s.tsvBak.contains("khung6_11")),
                 qPrintable(describe(s)));
        // The report is the one of the addresses beside it.
        QCOMPARE(s.txt.contains("ve.m3u"), veLast);
        QCOMPARE(s.txtBak.contains("ve.m3u"), !veLast);
    }
}

// An import that cannot get the folder in time says so, and changes nothing.
void TestImport::aBusyFolderIsSaidSo()
{
    QTemporaryDir xdg;
    const QString dir = xdg.path() + QStringLiteral("/miravon");
    bool busy = false;
    QString error;
    auto lock = files::FolderLock::take(dir, 0, &busy, &error);
    QVERIFY(lock);
    std::unique_ptr<QProcess> p(runMiravon(xdg.path(), {"--import-m3u", fixtures + "/vn.m3u"}));
    QVERIFY(p->waitForFinished(60000));
    QCOMPARE(p->exitCode(), 2);
    const QString err = QString::fromUtf8(p->readAllStandardError());
    QVERIFY2(err.contains(QStringLiteral("another import is running")), qPrintable(err));
    QVERIFY(!QFile::exists(dir + QStringLiteral("/addresses.import.tsv")));
}

QTEST_GUILESS_MAIN(TestImport)
#include "test_import.moc"
