// Updating the channels from per-country lists served under an address
// template on a loopback server: what is applied, what is skipped and said,
// what keeps the import in use (cancel, a poor update, no list at all), the
// user's own lists kept beside the public ones, and the command line.
#include "httpfixture.h"
#include "importer.h"
#include "listchannels.h"
#include "settings.h"
#include "userfiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
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

// Every file under `dir`, with what it holds: what a change would alter.
QStringList snapshot(const QString& dir)
{
    QStringList out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        out << path + u'=' + QString::fromLatin1(QCryptographicHash::hash(readAll(path), QCryptographicHash::Sha1).toHex());
    }
    out.sort();
    return out;
}

// A list sent one byte a second after its first line.
HttpFixture::Route dripping(const QByteArray& body)
{
    HttpFixture::Route r;
    r.body = body;
    r.contentType = "audio/x-mpegurl";
    r.mode = HttpFixture::Mode::Stream;
    r.burst = 8;
    r.slice = 1;
    r.intervalMs = 1000;
    r.stall = true;
    return r;
}

// The lists the fixtures have, by the index's codes.
const QStringList served = {"ar", "cl", "cn", "de", "fr", "hu", "kr", "mx", "tr", "uk", "us"};

} // namespace

class TestUpdate : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void codesAndAddresses();
    void appliesWhatArrivesAndNamesWhatDoesNot();
    void keepsTheImportInUse_data();
    void keepsTheImportInUse();
    void theUsersListsStayBesideThePublicOnes();
    void everyWaitHasAnEnd_data();
    void everyWaitHasAnEnd();
    void aCancelStopsTheUsersAddressesToo();
    void saysWhyAListCouldNotBeFetched_data();
    void saysWhyAListCouldNotBeFetched();
    void commandLine();

private:
    UpdateOptions optionsFor(const QString& dir) const;
    QString templateFor(const QString& base) const { return http_.url(base + QStringLiteral("/{code}.m3u")); }
    QTemporaryDir tmp_;
    HttpFixture http_;
};

void TestUpdate::initTestCase()
{
    QVERIFY(tmp_.isValid());
    // /lists/: every fixture list; "vn" never answers; Antigua's holds only
    // its header; Cambodia, which no panel stands for, has a list; the rest
    // are 404.
    http_.route(QStringLiteral("/lists/ag.m3u"), "#EXTM3U\n", "audio/x-mpegurl");
    http_.route(QStringLiteral("/lists/kh.m3u"),
                "#EXTM3U\n#EXTINF:-1 tvg-id=\"TVK.kh\" group-title=\"General\",TVK (720p)\nhttps://tv.example/kh/tvk.m3u8\n",
                "audio/x-mpegurl");
    for (const QString& code : served)
        http_.route(QStringLiteral("/lists/%1.m3u").arg(code), readAll(fixtures + QStringLiteral("/mixed/%1.m3u").arg(code)),
                    "audio/x-mpegurl");
    HttpFixture::Route silent;
    silent.mode = HttpFixture::Mode::Silent;
    http_.route(QStringLiteral("/lists/vn.m3u"), silent);
    // /poor/: one list only.
    http_.route(QStringLiteral("/poor/hu.m3u"), readAll(fixtures + QStringLiteral("/mixed/hu.m3u")), "audio/x-mpegurl");
    // /drip/, /mute/: one good list and one that drips or never answers.
    for (const char* base : {"/drip", "/mute"})
        http_.route(QStringLiteral("%1/hu.m3u").arg(QLatin1String(base)), readAll(fixtures + QStringLiteral("/mixed/hu.m3u")),
                    "audio/x-mpegurl");
    http_.route(QStringLiteral("/drip/vn.m3u"), dripping(readAll(fixtures + QStringLiteral("/vn.m3u"))));
    http_.route(QStringLiteral("/mute/vn.m3u"), silent);
}

UpdateOptions TestUpdate::optionsFor(const QString& dir) const
{
    UpdateOptions o;
    o.configDir = dir + QStringLiteral("/config");
    o.cacheDir = dir + QStringLiteral("/cache");
    o.sourceTemplate = templateFor(QStringLiteral("/lists"));
    o.limits.noProgressMs = 1000; // the silent list
    return o;
}

void TestUpdate::codesAndAddresses()
{
    const QStringList codes = listCodes();
    // Every country of the catalogue once, by the index's code.
    QVERIFY(codes.contains(QStringLiteral("vn")));
    QVERIFY(codes.contains(QStringLiteral("uk")));
    QVERIFY(!codes.contains(QStringLiteral("gb")));
    QCOMPARE(codes.size(), QSet<QString>(codes.begin(), codes.end()).size());
    // Every country and territory, not only the catalogue's.
    QVERIFY(codes.size() >= 249);
    for (const char* code : {"kh", "aq", "xk", "ag"})
        QVERIFY2(codes.contains(QLatin1String(code)), code);
    QCOMPARE(listAddress(defaultSourceTemplate(), QStringLiteral("uk")),
             QStringLiteral("https://iptv-org.github.io/iptv/countries/uk.m3u"));
    QCOMPARE(listAddress(QStringLiteral("https://lists.example/all.m3u"), QStringLiteral("uk")), QString());
    QCOMPARE(listAddress(QStringLiteral("ftp://lists.example/{code}.m3u"), QStringLiteral("uk")), QString());
}

void TestUpdate::appliesWhatArrivesAndNamesWhatDoesNot()
{
    QTemporaryDir d;
    UpdateOptions o = optionsFor(d.path());
    QList<int> progress;
    o.progress = [&](int done, int total) {
        progress << done;
        QCOMPARE(total, listCodes().size());
    };
    const ImportOutcome out = updateChannels(o);
    QCOMPARE(out.status, 0);
    QCOMPARE(out.listsRead, served.size() + 1);
    // Every list told once as it came, the last being all of them.
    QCOMPARE(progress.size(), listCodes().size());
    QCOMPARE(progress.last(), listCodes().size());
    // The silent one and a missing one are named, with why.
    const auto list = [this](const char* code) { return templateFor("/lists").replace("{code}", QLatin1String(code)); };
    QVERIFY2(out.report.contains(list("vn") + QStringLiteral(": hết thời gian chờ")), qPrintable(out.report));
    QVERIFY(out.report.contains(list("it") + QStringLiteral(": máy chủ không trả danh sách (HTTP 404)")));
    QVERIFY(out.report.contains(list("ag") + QStringLiteral(": không có luồng nào")));
    QVERIFY(out.skipped.contains(list("it") + QStringLiteral(": refused by the server (HTTP 404)")));
    // A country no panel stands for keeps its channels.
    const QList<catalogue::ListChannel> channels =
        catalogue::readListChannels(readAll(o.configDir + QStringLiteral("/addresses.import.channels.tsv")));
    QVERIFY(std::any_of(channels.cbegin(), channels.cend(), [](const catalogue::ListChannel& c) {
        return c.key == QLatin1String("KH/TVK.kh") && c.name == QLatin1String("TVK") && c.entry.isEmpty();
    }));
    QVERIFY(out.written > 20);

    // A list counts for the countries the catalogue gives it: uk for GB.
    const QByteArray tsv = readAll(o.configDir + QStringLiteral("/addresses.import.tsv"));
    QVERIFY(tsv.contains("frmmain\tanh1_"));
    // Each entry's first stream in the table every version reads; its other
    // streams, in order, beside it.
    QVERIFY(QFile::exists(o.configDir + QStringLiteral("/addresses.import.streams.tsv")));
    const QList<SourceRecord> sources = sourcesInUse(o.configDir);
    int publicRead = 0, publicSkipped = 0, entries = 0;
    for (const SourceRecord& r : sources) {
        QCOMPARE(r.kind, SourceRecord::Kind::Public);
        QVERIFY(r.read.isValid());
        (r.error.isEmpty() ? publicRead : publicSkipped)++;
        entries += r.entries;
    }
    QCOMPARE(publicRead, served.size() + 1);
    QCOMPARE(publicRead + publicSkipped, listCodes().size());
    QCOMPARE(entries, out.written);
    QVERIFY(!Settings::load(o.configDir).value(setting::channelsUpdated).isEmpty());
}

void TestUpdate::keepsTheImportInUse_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("says");
    QTest::newRow("cancelled") << "/lists" << true << "cancelled";
    QTest::newRow("fewer than half the entries") << "/poor" << false << "fewer than half";
    QTest::newRow("no list at all") << "/none" << false << "no list could be read";
}

void TestUpdate::keepsTheImportInUse()
{
    QFETCH(QString, base);
    QFETCH(bool, cancel);
    QFETCH(QString, says);
    QTemporaryDir d;
    UpdateOptions o = optionsFor(d.path());
    QCOMPARE(updateChannels(o).status, 0);
    QStringList before;
    for (const QString& name : QDir(o.configDir).entryList(QDir::Files))
        before << name + u'=' + QString::fromLatin1(readAll(o.configDir + u'/' + name).toHex().left(64));

    o.sourceTemplate = templateFor(base);
    std::atomic_bool stop{false};
    if (cancel) {
        o.cancel = &stop;
        o.progress = [&](int, int) { stop = true; };
    }
    const ImportOutcome out = updateChannels(o);
    QCOMPARE(out.status, 2);
    QCOMPARE(out.cancelled, cancel);
    QVERIFY2(out.error.contains(says), qPrintable(out.error));
    QStringList after;
    for (const QString& name : QDir(o.configDir).entryList(QDir::Files))
        after << name + u'=' + QString::fromLatin1(readAll(o.configDir + u'/' + name).toHex().left(64));
    QCOMPARE(after, before);
    // When no list could be read, every list says why.
    if (base == QLatin1String("/none")) {
        QCOMPARE(out.skipped.size(), listCodes().size());
        QVERIFY(out.report.contains(templateFor(base).replace("{code}", "vn") + QStringLiteral(": máy chủ không trả")));
    }
    if (base == QLatin1String("/poor"))
        QVERIFY2(out.report.contains(QStringLiteral("ít hơn một nửa")), qPrintable(out.report));
}

// A list the user imported stays among the sources of every update; adding
// one keeps the public lists, read from their copy when the network is not
// asked.
void TestUpdate::theUsersListsStayBesideThePublicOnes()
{
    QTemporaryDir d;
    UpdateOptions o = optionsFor(d.path());
    ImportOptions first;
    first.sources = {fixtures + QStringLiteral("/vn.m3u")};
    first.configDir = o.configDir;
    first.cacheDir = o.cacheDir;
    QCOMPARE(importPlaylists(first).status, 0);
    QVERIFY(readAll(o.configDir + "/addresses.import.tsv").contains("frmmain\tImage8"));

    QCOMPARE(updateChannels(o).status, 0);
    QByteArray tsv = readAll(o.configDir + "/addresses.import.tsv");
    QVERIFY(tsv.contains("frmmain\tImage8"));    // from the user's list
    QVERIFY(tsv.contains("frmmain3\tduc1_"));    // from a public one
    const int hits = http_.hits(QStringLiteral("/lists/de.m3u"));

    ImportOptions added;
    added.sources = {fixtures + QStringLiteral("/ve.m3u")};
    added.configDir = o.configDir;
    added.cacheDir = o.cacheDir;
    added.addToSources = true;
    const ImportOutcome out = importPlaylists(added);
    QCOMPARE(out.status, 0);
    tsv = readAll(o.configDir + "/addresses.import.tsv");
    QVERIFY(tsv.contains("frmmain6\tkhung6_11")); // the one added
    QVERIFY(tsv.contains("frmmain\tImage8"));
    QVERIFY(tsv.contains("frmmain3\tduc1_"));
    QCOMPARE(http_.hits(QStringLiteral("/lists/de.m3u")), hits); // from the cache
    QCOMPARE(sourcesInUse(o.configDir).size(), listCodes().size() + 2);
}

// The update as a whole has a bound, beyond each list's: a list that drips
// or never answers is cut off when it ends, named with what it waited for,
// and what came is applied.
void TestUpdate::everyWaitHasAnEnd_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("en");
    QTest::addColumn<QString>("vi");
    QTest::newRow("a byte a second") << "/drip" << "waiting for the rest of the list"
                                     << "khi đang chờ phần còn lại của danh sách";
    QTest::newRow("a server that says nothing") << "/mute" << "waiting for the server to answer"
                                                << "mà máy chủ chưa trả lời";
}

void TestUpdate::everyWaitHasAnEnd()
{
    QFETCH(QString, base);
    QFETCH(QString, en);
    QFETCH(QString, vi);
    QTemporaryDir d;
    UpdateOptions o = optionsFor(d.path());
    o.sourceTemplate = templateFor(base);
    // Only the whole bound can end these.
    o.limits.noProgressMs = 600000;
    o.limits.totalMs = 0;
    // Long enough for the lists before it (some 200 answers of 404) on a
    // slow, sanitised build: the list must have had its turn.
    o.totalMs = 10000;
    QElapsedTimer clock;
    clock.start();
    const ImportOutcome out = updateChannels(o);
    QVERIFY2(clock.elapsed() < 60000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(out.status, 0);
    QVERIFY(out.written > 0);
    const QString vn = templateFor(base).replace("{code}", "vn");
    const QStringList about = out.skipped.filter(vn);
    QCOMPARE(about.size(), 1);
    QVERIFY2(about.first().contains(en) && about.first().contains(QStringLiteral("10 s")), qPrintable(about.first()));
    QVERIFY2(out.report.contains(vn + QStringLiteral(": hết thời gian chờ")) && out.report.contains(vi),
             qPrintable(out.report));
}

// "Hủy" while a list the user added by address is coming: the update ends
// at once, and no file of the config or cache folder changes.
void TestUpdate::aCancelStopsTheUsersAddressesToo()
{
    QTemporaryDir d;
    UpdateOptions o = optionsFor(d.path());
    o.sourceTemplate = templateFor(QStringLiteral("/poor"));
    o.limits.noProgressMs = 600000;
    const QString own = http_.url(QStringLiteral("/own/de.m3u"));
    const QByteArray list = readAll(fixtures + QStringLiteral("/mixed/de.m3u"));
    http_.route(QStringLiteral("/own/de.m3u"), list, "audio/x-mpegurl");
    ImportOptions added;
    added.sources = {own};
    added.configDir = o.configDir;
    added.cacheDir = o.cacheDir;
    QCOMPARE(importPlaylists(added).status, 0);
    const QStringList before = snapshot(d.path());
    QVERIFY(before.size() > 3);

    http_.route(QStringLiteral("/own/de.m3u"), dripping(list));
    std::atomic_bool stop{false};
    o.cancel = &stop;
    QElapsedTimer sinceCancel;
    // Once the user's list has begun to come.
    connect(&http_, &HttpFixture::requested, this, [&](const QString& path) {
        if (path == QLatin1String("/own/de.m3u"))
            QTimer::singleShot(300, this, [&] {
                stop = true;
                sinceCancel.start();
            });
    });
    const ImportOutcome out = updateChannels(o);
    http_.disconnect(this);
    QVERIFY(out.cancelled);
    QCOMPARE(out.status, 2);
    QVERIFY(sinceCancel.isValid());
    QVERIFY2(sinceCancel.elapsed() < 2000, qPrintable(QString::number(sinceCancel.elapsed())));
    QCOMPARE(snapshot(d.path()), before);
}

// Each way a fetch goes wrong has its own reason, on the terminal and in the
// windows.
void TestUpdate::saysWhyAListCouldNotBeFetched_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("en");
    QTest::addColumn<QString>("vi");

    const QByteArray list = "#EXTM3U\n#EXTINF:-1 tvg-id=\"A.fr\",A\nhttps://tv.example/a.m3u8\n";
    QProcess gzip;
    gzip.start(QStringLiteral("gzip"), {"-c", "-n"});
    gzip.write(QByteArray(32 * 1024 * 1024, '\n'));
    gzip.closeWriteChannel();
    QVERIFY(gzip.waitForFinished(30000));
    HttpFixture::Route bomb;
    bomb.body = gzip.readAllStandardOutput();
    bomb.headers = "Content-Encoding: gzip\r\n";
    QVERIFY(bomb.body.size() < 200 * 1024);
    http_.route(QStringLiteral("/why/bomb.m3u"), bomb);
    QTest::newRow("gzip bomb") << "/why/bomb.m3u" << "compressed answer unpacks" << "bom nén";

    HttpFixture::Route cut;
    cut.body = list;
    cut.declaredLength = list.size() + 5000;
    http_.route(QStringLiteral("/why/cut.m3u"), cut);
    QTest::newRow("truncated") << "/why/cut.m3u" << "broke off" << "cắt ngang";

    for (const char* to : {"file:///etc/passwd", "ftp://127.0.0.1/list.m3u", "data:,%23EXTM3U"}) {
        HttpFixture::Route away;
        away.status = 302;
        away.headers = "Location: " + QByteArray(to) + "\r\n";
        const QString scheme = QString::fromLatin1(to).section(u':', 0, 0);
        http_.route(QStringLiteral("/why/%1.m3u").arg(scheme), away);
        QTest::addRow("redirect to %s", to) << QStringLiteral("/why/%1.m3u").arg(scheme)
                                            << QStringLiteral("redirected to a %1: address").arg(scheme)
                                            << QStringLiteral("chuyển hướng tới địa chỉ %1:").arg(scheme);
    }
    for (const auto& [from, to] : {std::pair{"/why/a.m3u", "/why/b.m3u"}, std::pair{"/why/b.m3u", "/why/a.m3u"},
                                   std::pair{"/why/self.m3u", "/why/self.m3u"}}) {
        HttpFixture::Route r;
        r.status = 302;
        r.headers = "Location: " + QByteArray(to) + "\r\n";
        http_.route(QLatin1String(from), r);
    }
    QTest::newRow("loop") << "/why/a.m3u" << "loop, back to " + http_.url("/why/a.m3u") << "vòng quanh";
    QTest::newRow("to itself") << "/why/self.m3u" << "loop, back to " + http_.url("/why/self.m3u") << "vòng quanh";
}

void TestUpdate::saysWhyAListCouldNotBeFetched()
{
    QFETCH(QString, path);
    QFETCH(QString, en);
    QFETCH(QString, vi);
    QTemporaryDir d;
    ImportOptions o;
    o.sources = {http_.url(path)};
    o.configDir = d.filePath("config");
    o.cacheDir = d.filePath("cache");
    const ImportOutcome out = importPlaylists(o);
    QCOMPARE(out.status, 2);
    QVERIFY2(out.error.startsWith(http_.url(path) + QStringLiteral(": ")) && out.error.contains(en), qPrintable(out.error));
    QVERIFY2(out.message.contains(vi), qPrintable(out.message));
    QCOMPARE(snapshot(d.path()), QStringList());
}

void TestUpdate::commandLine()
{
    for (const auto& [base, status] : {std::pair{QStringLiteral("/lists"), 0}, std::pair{QStringLiteral("/none"), 2}}) {
        QTemporaryDir d;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", d.filePath("config"));
        env.insert("XDG_CACHE_HOME", d.filePath("cache"));
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        QProcess p;
        p.setProcessEnvironment(env);
        // The silent list would cost its 20 s bound here: the one-list
        // template stands in. The server answers while this waits.
        p.start(QStringLiteral(MIRAVON_BIN), {"--update-channels", "--source", templateFor(base == "/lists" ? "/poor" : base)});
        QTRY_VERIFY_WITH_TIMEOUT(p.state() == QProcess::NotRunning, 60000);
        QCOMPARE(p.exitCode(), status);
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        const QString err = QString::fromUtf8(p.readAllStandardError());
        if (status == 0) {
            QVERIFY2(out.contains(QStringLiteral("Nhập danh sách kênh")), qPrintable(out));
            QCOMPARE(err, QString());
            QVERIFY(QFile::exists(d.filePath("config/miravon/addresses.import.tsv")));
        } else {
            QVERIFY2(err.startsWith(QStringLiteral("miravon: ")) && err.contains(QStringLiteral("no list could be read")),
                     qPrintable(err));
            QVERIFY(!QFile::exists(d.filePath("config/miravon/addresses.import.tsv")));
        }
    }

    // A dry run prints what it would do and writes nothing at all, in the
    // config folder or the cache; on a pipe, no progress line.
    QTemporaryDir d;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", d.filePath("config"));
    env.insert("XDG_CACHE_HOME", d.filePath("cache"));
    env.insert("XDG_DATA_HOME", d.filePath("data"));
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(MIRAVON_BIN), {"--update-channels", "--dry-run", "--source", templateFor("/poor")});
    QTRY_VERIFY_WITH_TIMEOUT(p.state() == QProcess::NotRunning, 60000);
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(QString::fromUtf8(p.readAllStandardOutput()).contains(QStringLiteral("Nhập danh sách kênh")));
    QCOMPARE(QString::fromUtf8(p.readAllStandardError()), QString());
    QCOMPARE(snapshot(d.path()), QStringList());
}

QTEST_GUILESS_MAIN(TestUpdate)
#include "test_update.moc"
