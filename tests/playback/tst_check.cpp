// The address check (miravon --check) against loopback servers, without a
// display: what it says of each kind of address, that it never contacts a
// stand-in address, that it keeps to its number of jobs and its bound, and
// its report.

#include "check.h"
#include "failure.h"
#include "httpfixture.h"
#include "streamfixture.h"
#include "stubservers.h"
#include "standin.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <sys/stat.h>

using namespace miravon;

Q_DECLARE_METATYPE(miravon::StreamOptions)

namespace {

constexpr int kBound = 1500;

QByteArray tsPackets()
{
    QByteArray out;
    for (int i = 0; i < 8; ++i)
        out += '\x47' + QByteArray(187, '\xff');
    return out;
}

struct Run {
    int status = -1;
    QStringList lines;
    // The outcome column of line i.
    QString outcome(int i) const { return lines.value(i).section(QLatin1Char('\t'), 4); }
};

Run check(const QList<CheckTarget>& targets, int jobs = 4, int bound = kBound)
{
    QString text;
    QTextStream out(&text);
    Run run;
    run.status = checkTargets(targets, jobs, bound, out);
    run.lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return run;
}

CheckTarget target(const QString& address, const StreamOptions& options = {})
{
    return {QStringLiteral("frmmain"), QStringLiteral("usa1_"), QStringLiteral("Kênh"), {{address, options}}};
}

} // namespace

class TestCheck : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void standIns_data();
    void standIns();
    void outcomes_data();
    void outcomes();
    void reportAndExitStatus();
    void triesStreamsAsThePlayer();
    void keepsToItsJobsAndBound();

private:
    HttpFixture http_;
    RtspStub rtsp_;
    MmstStub mmsServer_{true};
    MmstStub silentServer_{false};
    QTemporaryDir dir_;
    std::unique_ptr<DirServer> files_;
    quint16 closedPort_ = 0;
};

void TestCheck::initTestCase()
{
    const QByteArray ts = tsPackets();
    http_.route("/clip.ts", ts, "video/mp2t");
    http_.route("/page", "<!DOCTYPE html><html><body>Live TV</body></html>", "text/html");
    http_.route("/tidy.asx", "<asx version=\"3.0\"><entry><ref href=\"/missing.wmv\"/><ref href=\"/clip.ts\"/></entry></asx>",
                "video/x-ms-asf");
    http_.route("/dead.asx", "<asx><entry><ref href=\"/missing.wmv\"/></entry><entry><ref href=\"/page\"/></entry></asx>");
    http_.route("/local.asx", "<asx><entry><ref href=\"file:///etc/passwd\"/></entry></asx>");
    http_.route("/ref", "[Reference]\r\nRef1=" + http_.url("/wms").toUtf8() + "\r\n", "video/x-ms-asf");
    http_.route("/wms", "$H\x00\x00", "application/vnd.ms.wms-hdr.asfv1");
    http_.route("/master.m3u8", "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=100000\nlow/index.m3u8\n", "application/vnd.apple.mpegurl");
    http_.route("/low/index.m3u8", "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\nold.ts\n#EXTINF:1,\n/clip.ts\n",
                "application/vnd.apple.mpegurl");
    http_.route("/stale.m3u8", "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\ngone.ts\n", "application/vnd.apple.mpegurl");
    http_.route("/vod.mpd", "<?xml version=\"1.0\"?>\n<MPD type=\"static\" xmlns=\"urn:mpeg:dash:schema:mpd:2011\"></MPD>",
                "application/dash+xml");
    HttpFixture::Route silent;
    silent.mode = HttpFixture::Mode::Silent;
    for (int i = 0; i < 4; ++i)
        http_.route(QStringLiteral("/silent%1").arg(i), silent);
    HttpFixture::Route live;
    live.body = ts.repeated(200);
    live.contentType = "video/mp2t";
    live.mode = HttpFixture::Mode::Stream;
    http_.route("/live.ts", live);

    QVERIFY(dir_.isValid());
    QFile clip(dir_.filePath(QStringLiteral("clip.ts")));
    QVERIFY(clip.open(QIODevice::WriteOnly) && clip.write(ts) == ts.size());
    clip.close();
    QCOMPARE(::mkfifo(QFile::encodeName(dir_.filePath(QStringLiteral("fifo.ts"))).constData(), 0600), 0);
    files_ = std::make_unique<DirServer>(dir_.path());
    files_->guard(QStringLiteral("/ref"), "Referer", "https://tv.example.net/");

    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    closedPort_ = probe.serverPort();
}

void TestCheck::standIns_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("reserved");
    QTest::newRow(".example") << "http://tv.channel.example/live" << true;
    QTest::newRow(".test, upper case") << "mms://STREAM.TEST/a" << true;
    QTest::newRow(".invalid, trailing dot") << "rtsp://cam.invalid./x" << true;
    QTest::newRow("example.com") << "http://example.com/a.asx" << true;
    QTest::newRow("www.example.net") << "http://www.example.net/a" << true;
    QTest::newRow("media.example.org") << "mms://media.example.org/a" << true;
    QTest::newRow("192.0.2.0/24") << "mms://192.0.2.7/a" << true;
    QTest::newRow("198.51.100.0/24") << "http://198.51.100.255:8080/a" << true;
    QTest::newRow("203.0.113.0/24") << "mms://203.0.113.50/htv7" << true;
    QTest::newRow("2001:db8::/32") << "http://[2001:db8:12::1]/a" << true;
    QTest::newRow("a real-looking .vn host") << "http://example.com.vn/a" << false;
    QTest::newRow("myexample.com") << "http://myexample.com/a" << false;
    QTest::newRow("example.tv") << "http://example.tv/a" << false;
    QTest::newRow("192.0.3.1") << "http://192.0.3.1/a" << false;
    QTest::newRow("2001:db9::1") << "http://[2001:db9::1]/a" << false;
    QTest::newRow("loopback") << "http://127.0.0.1:8080/a" << false;
}

void TestCheck::standIns()
{
    QFETCH(QString, address);
    QFETCH(bool, reserved);
    QCOMPARE(isStandInAddress(QUrl(address)), reserved);
    if (reserved) {
        // Said from the text: a contact would have timed out (nothing
        // answers on these names), and the outcome would say so.
        const Run run = check({target(address)});
        QCOMPARE(run.outcome(0), QStringLiteral("no working address yet"));
    }
}

void TestCheck::outcomes_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<StreamOptions>("options");
    QTest::addColumn<QString>("outcome");
    const StreamOptions none;
    const QString closed = QStringLiteral("127.0.0.1:%1").arg(closedPort_);
    QTest::newRow("MPEG-TS file") << http_.url("/clip.ts") << none << "works";
    QTest::newRow("endless MPEG-TS stream") << http_.url("/live.ts") << none << "works";
    QTest::newRow("HLS master, variant, newest segment") << http_.url("/master.m3u8") << none << "works";
    QTest::newRow("HLS whose segment is gone") << http_.url("/stale.m3u8") << none << "refused by the server (HTTP 404)";
    QTest::newRow("DASH manifest") << http_.url("/vod.mpd") << none << "works";
    QTest::newRow("ASX, second reference plays") << http_.url("/tidy.asx") << none << "works";
    QTest::newRow("[Reference] to an MMS-over-HTTP server") << http_.url("/ref") << none << "works";
    QTest::newRow("mms:// as MMS over HTTP") << QStringLiteral("mms://127.0.0.1:%1/wms").arg(http_.port()) << none << "works";
    QTest::newRow("ASX, no entry plays") << http_.url("/dead.asx") << none << "no playable entry";
    QTest::newRow("ASX of local files only") << http_.url("/local.asx") << none << "playlist refused";
    QTest::newRow("web page") << http_.url("/page") << none << "not a media stream (text/html)";
    QTest::newRow("404") << http_.url("/missing.wmv") << none << "refused by the server (HTTP 404)";
    QTest::newRow("nothing listening") << QStringLiteral("http://%1/live").arg(closed) << none << "connection refused";
    QTest::newRow("mms, nothing listening") << QStringLiteral("mms://%1/live").arg(closed) << none << "connection refused";
    QTest::newRow("server that never answers") << http_.url("/silent0") << none << "timed out";
    QTest::newRow("RTSP described") << rtsp_.url("/live") << none << "works";
    QTest::newRow("RTSP unknown") << rtsp_.url("/gone") << none << "refused by the server (RTSP 404)";
    QTest::newRow("RTSP, nothing listening") << QStringLiteral("rtsp://%1/live").arg(closed) << none << "connection refused";
    QTest::newRow("needs a referrer, given") << files_->url("/ref/clip.ts") << StreamOptions{QStringLiteral("https://tv.example.net/"), {}}
                                             << "works";
    QTest::newRow("needs a referrer, none") << files_->url("/ref/clip.ts") << none << "refused by the server (HTTP 403)";
    const StreamOptions own{{}, {}, AddressOrigin::Own};
    const QString clip = QUrl::fromLocalFile(dir_.filePath(QStringLiteral("clip.ts"))).toString();
    QTest::newRow("a file of this computer, the user's own") << clip << own << "works";
    QTest::newRow("the same file, imported") << clip << StreamOptions{{}, {}, AddressOrigin::Imported}
                                             << "not an address the player opens";
    QTest::newRow("the same file, built in") << clip << none << "not an address the player opens";
    QTest::newRow("a FIFO of the user's own") << QUrl::fromLocalFile(dir_.filePath(QStringLiteral("fifo.ts"))).toString()
                                              << own << "not an address the player opens";
    QTest::newRow("a file of the user's own that is gone")
        << QUrl::fromLocalFile(dir_.filePath(QStringLiteral("gone.ts"))).toString() << own
        << "not a media stream (no such file)";
    QTest::newRow("a file by a relative path") << QStringLiteral("file:clip.ts") << own << "not an address the player opens";
    QTest::newRow("MMS over TCP, answered") << mmsServer_.url("/live") << none << "works";
    QTest::newRow("MMS over TCP, silent") << silentServer_.url("/live") << none
                                          << "not a media stream (no answer to the MMS greeting)";
    QTest::newRow("a scheme the player does not open") << QStringLiteral("ftp://127.0.0.1/a.ts") << none
                                                       << "not an address the player opens";
}

void TestCheck::outcomes()
{
    QFETCH(QString, address);
    QFETCH(StreamOptions, options);
    QFETCH(QString, outcome);
    const Run run = check({target(address, options)});
    QCOMPARE(run.outcome(0), outcome);
    QCOMPARE(run.status, outcome == QLatin1String("works") ? 0 : 1);
}

void TestCheck::reportAndExitStatus()
{
    const QString clip = http_.url("/clip.ts");
    const int before = http_.hits(QStringLiteral("/clip.ts"));
    QList<CheckTarget> targets = {
        {QStringLiteral("frmmain"), QStringLiteral("vn_"), QStringLiteral("Image4"), {{clip, {}}}},
        {QStringLiteral("frmmain"), QStringLiteral("vn_"), QStringLiteral("Truyền Hình\tKỹ Thuật Số"), {{clip, {}}}},
        {QStringLiteral("frmphim"), QStringLiteral("trang1"), QStringLiteral("Phim"), {{http_.url("/vod.mpd"), {}}}},
    };
    Run run = check(targets);
    QCOMPARE(run.status, 0);
    QCOMPARE(run.lines.size(), 4);
    QCOMPARE(run.lines.at(0), QStringLiteral("frmmain\tvn_\tImage4\t%1\tworks").arg(clip));
    // A tab inside a caption does not break the columns.
    QCOMPARE(run.lines.at(1), QStringLiteral("frmmain\tvn_\tTruyền Hình Kỹ Thuật Số\t%1\tworks").arg(clip));
    QVERIFY(run.lines.at(2).startsWith(QStringLiteral("frmphim\ttrang1\tPhim\t")));
    QCOMPARE(run.lines.at(3), QStringLiteral("3 entries: 3 work, 0 do not"));
    // One address shared by two entries is probed once.
    QCOMPARE(http_.hits(QStringLiteral("/clip.ts")) - before, 1);

    targets.append(target(QStringLiteral("mms://203.0.113.50/htv7")));
    targets.append(target(http_.url("/missing.wmv")));
    run = check(targets);
    QCOMPARE(run.status, 1);
    QCOMPARE(run.lines.size(), 6);
    QCOMPARE(run.lines.at(5), QStringLiteral("5 entries: 3 work, 2 do not (1 with no working address yet)"));

    run = check({});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.lines, QStringList{QStringLiteral("0 entries: 0 work, 0 do not")});
}

// An entry's streams are tried as the player tries them: the next only when
// one failed; it works when one works; else it gets the reason the player
// would give of them all.
void TestCheck::triesStreamsAsThePlayer()
{
    const QString clip = http_.url("/clip.ts");
    const QString missing = http_.url("/missing.wmv");
    const QString refused = QStringLiteral("http://127.0.0.1:1/x");
    const int silentBefore = http_.hits(QStringLiteral("/silent-after"));
    const QList<CheckTarget> targets = {
        {QStringLiteral("frmmain"), QStringLiteral("vn_"), QStringLiteral("A"), {{missing, {}}, {clip, {}}}},
        {QStringLiteral("frmmain"), QStringLiteral("vn_"), QStringLiteral("B"),
         {{clip, {}}, {http_.url("/silent-after"), {}}}},
        {QStringLiteral("frmmain"), QStringLiteral("vn_"), QStringLiteral("C"), {{refused, {}}, {missing, {}}}},
        {QStringLiteral("frmmain"), QStringLiteral("vn_"), QStringLiteral("D"), {{missing, {}}, {refused, {}}}},
    };
    const Run run = check(targets);
    QCOMPARE(run.lines.size(), 5);
    QCOMPARE(run.lines.at(0), QStringLiteral("frmmain\tvn_\tA\t%1\tworks").arg(clip));
    QCOMPARE(run.outcome(1), QStringLiteral("works"));
    QCOMPARE(http_.hits(QStringLiteral("/silent-after")), silentBefore);
    auto reasonOf = [](const QString& outcome) {
        for (int r = int(PlayFailure::None); r <= int(PlayFailure::ConnectionLost); ++r)
            if (failureCheckText(PlayFailure(r)) == outcome.section(QStringLiteral(" ("), 0, 0))
                return PlayFailure(r);
        return PlayFailure::None;
    };
    const PlayFailure ofMissing = reasonOf(check({target(missing)}).outcome(0));
    const PlayFailure ofRefused = reasonOf(check({target(refused)}).outcome(0));
    QVERIFY(ofMissing != PlayFailure::None && ofRefused != PlayFailure::None && ofMissing != ofRefused);
    QCOMPARE(reasonOf(run.outcome(2)), moreInformative(ofMissing, ofRefused));
    QCOMPARE(reasonOf(run.outcome(3)), moreInformative(ofRefused, ofMissing));
    // The address shown is the first when none works.
    QCOMPARE(run.lines.at(2).section(u'\t', 3, 3), refused);
    QCOMPARE(run.lines.at(4), QStringLiteral("4 entries: 2 work, 2 do not"));
}

void TestCheck::keepsToItsJobsAndBound()
{
    // Four servers that never answer, two at a time: two rounds of the bound.
    int most = 0;
    const QMetaObject::Connection watch = connect(&http_, &HttpFixture::requested, this, [this, &most] {
        most = std::max(most, http_.openConnections());
    });
    QList<CheckTarget> targets;
    QList<int> before;
    for (int i = 0; i < 4; ++i) {
        targets << target(http_.url(QStringLiteral("/silent%1").arg(i)));
        before << http_.hits(QStringLiteral("/silent%1").arg(i));
    }
    QElapsedTimer clock;
    clock.start();
    const Run run = check(targets, 2, 1000);
    disconnect(watch);
    // Two rounds, not one (coarse timers may fire a little early); never
    // more than two at a time; each ended by its bound.
    QVERIFY2(clock.elapsed() >= 1800, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(most <= 2, qPrintable(QString::number(most)));
    for (int i = 0; i < 4; ++i)
        QCOMPARE(http_.hits(QStringLiteral("/silent%1").arg(i)) - before.at(i), 1);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(run.outcome(i), QStringLiteral("timed out"));
    QCOMPARE(run.status, 1);
}

QTEST_GUILESS_MAIN(TestCheck)
#include "tst_check.moc"
