// The guide service over loopback: guides named by lists and added by the
// user are read on the worker thread, kept and read back at start without
// any reading, read again once a day; a failure of any kind keeps the
// previous guide and says why; a damaged store is dropped and rebuilt; a
// programme's end is told as the clock passes it.
#include "guideservice.h"
#include "guideworker.h"
#include "guidetest.h"
#include "httpfixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace miravon::guide;
using namespace guidetest;

Q_DECLARE_METATYPE(HttpFixture::Route)

namespace {

// The tests' programmes: "first" 11:00-12:30, "second" 12:30-14:00 (UTC).
QByteArray sampleGuide(const QString& title = QStringLiteral("first"))
{
    return xmltv({{"a.vn", {"A"}}, {"other.vn", {"Other"}}},
                 {{"a.vn", "20240501110000 +0000", "20240501123000 +0000", title},
                  {"a.vn", "20240501123000 +0000", "20240501140000 +0000", "second"},
                  {"other.vn", "20240501110000 +0000", "20240501140000 +0000", "other"}});
}

struct Home {
    QTemporaryDir dir;
    QString cache() const { return dir.filePath(QStringLiteral("cache")); }
    QString config() const { return dir.filePath(QStringLiteral("config")); }
};

// A service of `home` whose clock runs from `base` on the wall clock's
// pace, shifted by `shift` seconds.
struct Run {
    Run(const Home& home, const QDateTime& base, qint64 shift = 0, ServiceOptions options = {})
    {
        real.start();
        options.cacheDir = home.cache();
        options.configDir = home.config();
        options.clock = [this, base, shift] { return base.addSecs(shift).addMSecs(real.elapsed()); };
        options.firstCheckMs = 0;
        service = std::make_unique<GuideService>(options);
        changed = std::make_unique<QSignalSpy>(service.get(), &GuideService::guideChanged);
        service->setChannels({channel("k", "a.vn", {}, "VN")});
    }
    SourceState state(const QString& address) const
    {
        for (const SourceState& s : service->sources())
            if (s.source.address == address)
                return s;
        return {};
    }
    QString title() const { return service->guide().nowNext("k", service->now()).now.title; }

    QElapsedTimer real;
    std::unique_ptr<GuideService> service;
    std::unique_ptr<QSignalSpy> changed;
};

} // namespace

class TestGuideService : public QObject {
    Q_OBJECT
private slots:
    void dueTimes_data();
    void dueTimes();
    void readKeptAndReadAgain();
    void failuresKeepThePreviousGuide_data();
    void failuresKeepThePreviousGuide();
    void damagedStoreIsRebuilt();
    void userSources();
    void quitsWhileReading();
};

void TestGuideService::dueTimes_data()
{
    QTest::addColumn<QString>("read");
    QTest::addColumn<QString>("tried");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("due");

    QTest::newRow("never tried: now") << "" << "" << "" << "";
    QTest::newRow("read: a day later") << "2024-05-01T10:00:00Z" << "2024-05-01T10:00:00Z" << ""
                                       << "2024-05-02T10:00:00Z";
    QTest::newRow("read, nothing for the lists: a day later")
        << "2024-05-01T10:00:00Z" << "2024-05-01T10:00:00Z" << "không có chương trình nào" << "2024-05-02T10:00:00Z";
    QTest::newRow("failed after a reading: three hours later")
        << "2024-04-29T10:00:00Z" << "2024-05-01T10:00:00Z" << "lịch bị lỗi" << "2024-05-01T13:00:00Z";
    QTest::newRow("never read, failed: three hours later")
        << "" << "2024-05-01T10:00:00Z" << "không tải được" << "2024-05-01T13:00:00Z";
}

void TestGuideService::dueTimes()
{
    QFETCH(QString, read);
    QFETCH(QString, tried);
    QFETCH(QString, error);
    QFETCH(QString, due);
    SourceState s;
    s.read = read.isEmpty() ? QDateTime() : utc(qPrintable(read));
    s.tried = tried.isEmpty() ? QDateTime() : utc(qPrintable(tried));
    s.error = error;
    QCOMPARE(dueAt(s), due.isEmpty() ? QDateTime() : utc(qPrintable(due)));
}

// A list's guide, gzip without a name that says so, read on the worker;
// matched again when the channels change; read back by the next run
// without any reading; read again a day later; and the end of a programme
// told as it passes.
void TestGuideService::readKeptAndReadAgain()
{
    HttpFixture http;
    // What the guide names is never fetched: its icons are on this server.
    http.route(QStringLiteral("/icon.png"), QByteArray("png"), "image/png");
    http.route(QStringLiteral("/guide"),
               gzip(sampleGuide().replace("http://127.0.0.1:9/icon.png", http.url(QStringLiteral("/icon.png")).toUtf8())),
               "text/xml");
    const QString address = http.url(QStringLiteral("/guide"));
    Home home;
    // 500 ms before "first" ends.
    const QDateTime base = utc("2024-05-01T12:29:59Z").addMSecs(500);
    {
        Run run(home, base);
        QSignalSpy onAir(run.service.get(), &GuideService::onAirChanged);
        run.service->setListGuides({{address, false, QStringLiteral("VN")},
                                    {QStringLiteral("/etc/a-list-never-names-a-file.xml"), false, {}}});
        run.service->start();
        QTRY_COMPARE_WITH_TIMEOUT(run.title(), QStringLiteral("first"), 10000);
        const SourceState s = run.state(address);
        QCOMPARE(run.service->sources().size(), 1);
        QCOMPARE(s.error, QString());
        QCOMPARE(s.channels, 1);
        QCOMPARE(s.programmes, 2);
        QVERIFY(s.read.isValid() && s.read == s.tried);
        QVERIFY(!s.busy);
        QCOMPARE(http.hits(QStringLiteral("/guide")), 1);
        QCOMPARE(http.hits(QStringLiteral("/icon.png")), 0);

        QTRY_VERIFY_WITH_TIMEOUT(onAir.size() >= 1, 5000);
        QCOMPARE(run.title(), QStringLiteral("second"));

        // Other channels: matched again to what was kept, nothing read.
        run.changed->clear();
        run.service->setChannels({channel("o", "", {QStringLiteral("A HD")}, "VN")});
        QTRY_VERIFY(!run.changed->isEmpty());
        QCOMPARE(run.service->guide().nowNext("o", base).now.title, QStringLiteral("first"));
        QVERIFY(!run.service->guide().has("k"));
        QCOMPARE(http.hits(QStringLiteral("/guide")), 1);
    }
    {
        // An hour later: the kept guide, without reading it again.
        Run run(home, base, 3600);
        run.service->setListGuides({{address, false, QStringLiteral("VN")}});
        run.service->start();
        QTRY_VERIFY(!run.changed->isEmpty());
        QVERIFY(run.service->guide().has("k"));
        QCOMPARE(run.service->guide().nowNext("k", base).now.title, QStringLiteral("first"));
        QCOMPARE(run.state(address).programmes, 2);
        QCOMPARE(http.hits(QStringLiteral("/guide")), 1);
    }
    {
        // A day later: read again.
        http.route(QStringLiteral("/guide"),
                   xmltv({{"a.vn", {"A"}}}, {{"a.vn", "20240502120000 +0000", "20240502140000 +0000", "a day later"}}),
                   "text/xml");
        Run run(home, base, 25 * 3600);
        run.service->setListGuides({{address, false, QStringLiteral("VN")}});
        run.service->start();
        QTRY_COMPARE_WITH_TIMEOUT(run.title(), QStringLiteral("a day later"), 10000);
        QCOMPARE(http.hits(QStringLiteral("/guide")), 2);
        QCOMPARE(run.state(address).read, run.state(address).tried);
    }
}

void TestGuideService::failuresKeepThePreviousGuide_data()
{
    QTest::addColumn<HttpFixture::Route>("route");
    QTest::addColumn<QString>("reason");

    auto route = [](const QByteArray& body, int status = 200, HttpFixture::Mode mode = HttpFixture::Mode::Normal,
                    bool stall = false) {
        HttpFixture::Route r;
        r.body = body;
        r.status = status;
        r.mode = mode;
        r.stall = stall;
        r.slice = 64 * 1024;
        return r;
    };
    QTest::newRow("not found") << route("gone", 404) << "HTTP 404";
    QTest::newRow("stalls") << route(sampleGuide().left(300), 200, HttpFixture::Mode::Stream, true)
                            << "ngừng gửi";
    QByteArray endless = "<tv>";
    while (endless.size() < 2 * 1024 * 1024)
        endless += "<programme start=\"20240501110000\" stop=\"20240501123000\" channel=\"a.vn\"><title>x</title>"
                   "</programme>\n";
    QTest::newRow("never ends") << route(endless, 200, HttpFixture::Mode::Stream, true) << "quá lớn";
    QTest::newRow("a web page") << route("<html><body>Hello</body></html>") << "không phải lịch";
    QTest::newRow("cut short") << route(sampleGuide().left(400), 200, HttpFixture::Mode::Stream) << "cắt ngắn";
    QTest::newRow("entity bomb")
        << route("<?xml version=\"1.0\"?><!DOCTYPE tv [<!ENTITY a \"aaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]><tv>&b;</tv>")
        << "thực thể";
    QTest::newRow("in the past") << route(xmltv({{"a.vn", {"A"}}},
                                                {{"a.vn", "20240401110000 +0000", "20240401123000 +0000", "old"}}))
                                 << "không có chương trình nào";
}

// Whatever goes wrong with a later reading, the guide read before stays,
// in this run and the next, and the source says why.
void TestGuideService::failuresKeepThePreviousGuide()
{
    QFETCH(HttpFixture::Route, route);
    QFETCH(QString, reason);
    HttpFixture http;
    http.route(QStringLiteral("/guide.xml"), sampleGuide(), "text/xml");
    const QString address = http.url(QStringLiteral("/guide.xml"));
    Home home;
    const QDateTime base = utc(nowIso);
    ServiceOptions options;
    options.stallMs = 300;
    options.maxBytes = 512 * 1024;
    {
        Run run(home, base, 0, options);
        run.service->setListGuides({{address, false, {}}});
        run.service->start();
        QTRY_COMPARE_WITH_TIMEOUT(run.title(), QStringLiteral("first"), 10000);

        http.route(QStringLiteral("/guide.xml"), route);
        run.service->refresh(address);
        QTRY_VERIFY_WITH_TIMEOUT(run.state(address).error.contains(reason), 10000);
        QCOMPARE(http.hits(QStringLiteral("/guide.xml")), 2);
        QVERIFY(!run.state(address).busy);
        QCOMPARE(run.title(), QStringLiteral("first"));
        QCOMPARE(run.state(address).programmes, 2);
    }
    Run run(home, base, 60, options);
    run.service->setListGuides({{address, false, {}}});
    run.service->start();
    QTRY_VERIFY(!run.changed->isEmpty());
    QCOMPARE(run.title(), QStringLiteral("first"));
    QVERIFY(run.state(address).error.contains(reason));
}

// A store damaged on disk is dropped without a word, and its guide read
// again at start, however recently it was read.
void TestGuideService::damagedStoreIsRebuilt()
{
    HttpFixture http;
    http.route(QStringLiteral("/g"), sampleGuide(), "text/xml");
    const QString address = http.url(QStringLiteral("/g"));
    Home home;
    const QDateTime base = utc(nowIso);
    {
        Run run(home, base);
        run.service->setListGuides({{address, false, {}}});
        run.service->start();
        QTRY_COMPARE_WITH_TIMEOUT(run.title(), QStringLiteral("first"), 10000);
    }
    QFile store(home.cache() + u'/' + GuideWorker::storeFile(address));
    QVERIFY(store.open(QIODevice::ReadWrite));
    store.seek(70);
    store.write("damage");
    store.close();

    Run run(home, base, 60);
    run.service->setListGuides({{address, false, {}}});
    run.service->start();
    QTRY_COMPARE_WITH_TIMEOUT(http.hits(QStringLiteral("/g")), 2, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(run.title(), QStringLiteral("first"), 10000);
    QCOMPARE(run.state(address).error, QString());
}

// The user's own guides: what is taken, read at once (a file gzip by its
// bytes, whatever its name), kept in the config folder, removed with what
// they gave.
void TestGuideService::userSources()
{
    Home home;
    QVERIFY(QDir().mkpath(home.dir.filePath(QStringLiteral("files"))));
    const QString file = home.dir.filePath(QStringLiteral("files/my guide.xml"));
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(gzip(sampleGuide(QStringLiteral("from my file"))));
    }
    const QString text = home.dir.filePath(QStringLiteral("files/notes.txt"));
    QFile(text).open(QIODevice::WriteOnly);
    const QDateTime base = utc(nowIso);
    {
        Run run(home, base);
        run.service->start();
        QTRY_VERIFY(!run.changed->isEmpty());
        QString why;
        for (const QString& refused : {QStringLiteral("ftp://g.example/guide.xml"), QStringLiteral("guide.xml"),
                                       text, home.dir.filePath(QStringLiteral("files/missing.xml")),
                                       QStringLiteral("   ")}) {
            why.clear();
            QVERIFY2(!run.service->addSource(refused, &why), qPrintable(refused));
            QVERIFY(!why.isEmpty());
        }
        QVERIFY2(run.service->addSource(QUrl::fromLocalFile(file).toString(), &why), qPrintable(why));
        QVERIFY(!run.service->addSource(file, &why));
        QTRY_COMPARE_WITH_TIMEOUT(run.title(), QStringLiteral("from my file"), 10000);
        const SourceState s = run.state(file);
        QVERIFY(s.source.byUser);
        QCOMPARE(s.programmes, 2);
    }
    {
        Run run(home, base, 60);
        QCOMPARE(run.service->sources().size(), 1);
        run.service->start();
        QTRY_COMPARE(run.title(), QStringLiteral("from my file"));
        run.changed->clear();
        QVERIFY(run.service->removeSource(file));
        QVERIFY(!run.service->removeSource(file));
        QTRY_VERIFY(!run.changed->isEmpty());
        QVERIFY(run.service->guide().isEmpty());
        QVERIFY(run.service->sources().isEmpty());
        QTRY_VERIFY(!QFile::exists(home.cache() + u'/' + GuideWorker::storeFile(file)));
    }
    Run run(home, base, 120);
    QVERIFY(run.service->sources().isEmpty());
}

// A run that ends while a guide is being read (a server that never
// answers) ends at once, and keeps nothing of that reading.
void TestGuideService::quitsWhileReading()
{
    HttpFixture http;
    HttpFixture::Route silent;
    silent.mode = HttpFixture::Mode::Silent;
    http.route(QStringLiteral("/slow"), silent);
    const QString address = http.url(QStringLiteral("/slow"));
    Home home;
    {
        Run run(home, utc(nowIso));
        run.service->setListGuides({{address, false, {}}});
        run.service->start();
        QTRY_VERIFY(run.state(address).busy);
        QTRY_COMPARE(http.hits(QStringLiteral("/slow")), 1);
    }
    Run run(home, utc(nowIso));
    run.service->setListGuides({{address, false, {}}});
    run.service->start();
    QTRY_VERIFY(!run.changed->isEmpty());
    QVERIFY(!run.state(address).tried.isValid());
    QTRY_COMPARE(http.hits(QStringLiteral("/slow")), 2); // due still, read again
}

QTEST_GUILESS_MAIN(TestGuideService)
#include "test_guideservice.moc"
