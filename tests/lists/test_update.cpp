// Updating the channels from per-country lists served under an address
// template on a loopback server: what is applied, what is skipped and said,
// what keeps the import in use (cancel, a poor update, no list at all), the
// user's own lists kept beside the public ones, and the command line.
#include "httpfixture.h"
#include "importer.h"
#include "listchannels.h"
#include "settings.h"
#include "userfiles.h"

#include <QDir>
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
}

QTEST_GUILESS_MAIN(TestUpdate)
#include "test_update.moc"
