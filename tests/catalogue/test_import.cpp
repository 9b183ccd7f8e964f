// Importing playlists into the address files: what is written and kept,
// undo, bad input, fetching over http from a loopback server, the layers of
// addresses in the running catalogue, and the command line.
#include "catalogue.h"
#include "importer.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

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

} // namespace

class TestImport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void writesKeepsAndUndoes();
    void badInputWritesNothing_data();
    void badInputWritesNothing();
    void fetchesOverHttp();
    void layersInTheRunningCatalogue();
    void commandLine_data();
    void commandLine();

private:
    QTemporaryDir xdg_;
    QString dir_; // the program's folder under xdg_
};

void TestImport::initTestCase()
{
    QVERIFY(xdg_.isValid());
    qputenv("XDG_CONFIG_HOME", xdg_.path().toUtf8());
    dir_ = xdg_.path() + QStringLiteral("/miravon");
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
    QVERIFY(first.report.contains(QStringLiteral("frmmain6/khung6 ")));

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
}

void TestImport::badInputWritesNothing()
{
    QFETCH(QStringList, sources);
    QFETCH(QString, country);
    QFETCH(QString, named);
    QFETCH(QString, why);
    QTemporaryDir d;
    ImportOptions o{sources, country, false, d.path()};
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
    server.answers.insert("/huge.m3u", "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(maxFetchBytes + 1)
                                           + "\r\n\r\n#EXTM3U\n");
    server.answers.insert("/moved.m3u", "HTTP/1.1 302 Found\r\nLocation: /lists/vn.m3u\r\nContent-Length: 0\r\n\r\n");

    QTemporaryDir d;
    ImportOptions o{{server.url("/moved.m3u")}, {}, true, d.path()};
    const ImportOutcome good = importPlaylists(o);
    QCOMPARE(good.status, 0);
    // The list's country comes from the file name it was found under.
    QVERIFY2(good.report.contains(QStringLiteral("frmmain/vn_/Image5 \"VTV3\"")), qPrintable(good.report));

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
    const catalogue::Catalogue& live = catalogue::builtIn();
    const catalogue::Label* vtv1 = live.label("frmmain", "Image4");
    const catalogue::Label* vtv3 = live.label("frmmain", "Image5");
    const catalogue::Label* vtc1 = live.label("frmmain", "Image8");
    const QString builtInVtv3 = vtv3->address;
    QCOMPARE(vtv1->address, QStringLiteral("https://own.example/vtv1"));

    const ImportOutcome out = importPlaylists({{fixtures + QStringLiteral("/vn.m3u")}, {}, false, {}});
    QCOMPARE(out.status, 0);
    QVERIFY2(out.report.contains(QStringLiteral("frmmain/vn_/Image4 \"VTV1\": addresses.tsv dòng 2")),
             qPrintable(out.report));

    QSignalSpy changed(&catalogue::addressNotifier(), &catalogue::AddressNotifier::addressesChanged);
    catalogue::reloadAddresses();
    QCOMPARE(changed.size(), 1);
    QCOMPARE(live.label("frmmain", "Image4"), vtv1); // the same label, read anew
    QCOMPARE(vtv1->address, QStringLiteral("https://own.example/vtv1"));
    QCOMPARE(vtv3->address, QStringLiteral("http://stream.example/vn/vtv3/index.m3u8"));
    QCOMPARE(vtc1->address, QStringLiteral("https://stream.example/vn/vtc1/index.m3u8"));
    QCOMPARE(vtc1->referrer, QStringLiteral("https://player.example/"));
    QCOMPARE(vtc1->userAgent, QStringLiteral("Mozilla/5.0 (X11; Linux x86_64)"));

    QCOMPARE(undoImport().status, 0);
    catalogue::reloadAddresses();
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
        << QStringLiteral("frmmain/vn_ ") << "" << true;
    QTest::newRow("not a playlist") << QStringList{"--import-m3u", fixtures + "/not_a_playlist.txt"} << 2 << ""
                                    << "miravon: " + fixtures + "/not_a_playlist.txt: not an M3U playlist" << false;
    QTest::newRow("nothing to undo") << QStringList{"--undo-import"} << 1 << "" << "there is no import to undo"
                                     << false;
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
    QVERIFY(p.waitForFinished(30000));
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

QTEST_GUILESS_MAIN(TestImport)
#include "test_import.moc"
