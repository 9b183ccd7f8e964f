// For the same failing address the player and the address check give the
// same reason: each kind of failure the loopback servers can stage, played
// by the real player and checked by --check's walk.
#include "check.h"
#include "httpfixture.h"
#include "mpvplayer.h"
#include "playback.h"
#include "playertest.h"
#include "stubservers.h"
#include "waits.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

using namespace miravon;

Q_DECLARE_METATYPE(miravon::StreamOptions)

namespace {

constexpr int kBound = 1500;
constexpr int kWait = 30000;

// The reason the address check gives, as its words read back.
PlayFailure checked(const QString& address, const StreamOptions& options, int bound = kBound)
{
    QString text;
    QTextStream out(&text);
    checkTargets({{QStringLiteral("frmmain"), QStringLiteral("usa1_"), QStringLiteral("Kênh"), {{address, options}}}}, 1,
                 bound, out);
    const QString outcome = text.section(u'\n', 0, 0).section(u'\t', 4).section(QStringLiteral(" ("), 0, 0);
    for (int r = int(PlayFailure::None); r <= int(PlayFailure::ConnectionLost); ++r)
        if (failureCheckText(PlayFailure(r)) == outcome)
            return PlayFailure(r);
    qWarning() << "unknown outcome" << outcome;
    return PlayFailure::None;
}

} // namespace

class TestSameReason : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void sameReason_data();
    void sameReason();
    void slowServer();

private:
    HttpFixture http_;
    RtspStub rtsp_;
    MmstStub silentMms_{false};
    QTemporaryDir dir_;
    QWidget host_;
    quint16 closedPort_ = 0;
};

void TestSameReason::initTestCase()
{
    initPlayback();
    setPlaybackOutputs({QStringLiteral("null"), QStringLiteral("null")});
    qRegisterMetaType<PlayFailure>();
    http_.route("/page", "<!DOCTYPE html><html><body>Live TV</body></html>", "text/html");
    http_.route("/dead.asx", HttpFixture::asx({{http_.url("/missing.wmv")}, {http_.url("/page")}}), "video/x-ms-asf");
    http_.route("/local.asx", "<asx><entry><ref href=\"file:///etc/passwd\"/></entry></asx>", "video/x-ms-asf");
    // An address with no playlist's name that answers with one.
    http_.route("/mount", "[Reference]\r\nRef1=" + http_.url("/missing.wmv").toUtf8() + "\r\n", "video/x-ms-asf");
    http_.route("/stale.m3u8", "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXT-X-MEDIA-SEQUENCE:7\n#EXTINF:1,\ngone.ts\n",
                "application/vnd.apple.mpegurl");
    HttpFixture::Route forbidden;
    forbidden.status = 403;
    forbidden.body = "forbidden";
    http_.route("/guarded.ts", forbidden);
    HttpFixture::Route silent;
    silent.mode = HttpFixture::Mode::Silent;
    http_.route("/silent", silent);
    QVERIFY(dir_.isValid());
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    closedPort_ = probe.serverPort();
}

void TestSameReason::sameReason_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<StreamOptions>("options");
    QTest::addColumn<PlayFailure>("reason");
    const StreamOptions none;
    const QString closed = QStringLiteral("127.0.0.1:%1").arg(closedPort_);
    QTest::newRow("HTTP 404") << http_.url("/missing.wmv") << none << PlayFailure::NotFound;
    QTest::newRow("HTTP 403") << http_.url("/guarded.ts") << none << PlayFailure::NotFound;
    QTest::newRow("nothing listening") << QStringLiteral("http://%1/live").arg(closed) << none
                                       << PlayFailure::ConnectionRefused;
    QTest::newRow("a server that never answers") << http_.url("/silent") << none << PlayFailure::TimedOut;
    QTest::newRow("a web page") << http_.url("/page") << none << PlayFailure::NotMedia;
    QTest::newRow("a playlist none of whose entries plays") << http_.url("/dead.asx") << none
                                                            << PlayFailure::NoPlayableEntry;
    QTest::newRow("a playlist of local files only") << http_.url("/local.asx") << none << PlayFailure::PlaylistRefused;
    QTest::newRow("a mount point answering with a playlist") << http_.url("/mount") << none
                                                             << PlayFailure::NoPlayableEntry;
    QTest::newRow("HLS whose segment is gone") << http_.url("/stale.m3u8") << none << PlayFailure::NotFound;
    // TLS to a server that speaks something else: the handshake fails.
    QTest::newRow("a failed TLS handshake") << rtsp_.url("/x").replace("rtsp://", "https://") << none
                                            << PlayFailure::NotFound;
    QTest::newRow("mms, nothing listening") << QStringLiteral("mms://%1/live").arg(closed) << none
                                            << PlayFailure::ConnectionRefused;
    QTest::newRow("RTSP, unknown") << rtsp_.url("/gone") << none << PlayFailure::NotFound;
    QTest::newRow("RTSP, nothing listening") << QStringLiteral("rtsp://%1/live").arg(closed) << none
                                             << PlayFailure::ConnectionRefused;
    QTest::newRow("MMS over TCP, silent") << silentMms_.url("/live") << none << PlayFailure::NotMedia;
    QTest::newRow("a file of the user's own that is gone")
        << QUrl::fromLocalFile(dir_.filePath(QStringLiteral("gone.ts"))).toString()
        << StreamOptions{{}, {}, AddressOrigin::Own} << PlayFailure::NotMedia;
    QTest::newRow("a scheme no one opens") << QStringLiteral("ftp://127.0.0.1/a.ts") << none
                                           << PlayFailure::UnsupportedAddress;
}

void TestSameReason::sameReason()
{
    QFETCH(QString, address);
    QFETCH(StreamOptions, options);
    QFETCH(PlayFailure, reason);

    auto player = makePlayer(&host_, kBound);
    QSignalSpy failed(player.get(), &MpvPlayer::failed);
    player->setUrl(address, options);
    QVERIFY2(failed.wait(kWait), qPrintable(player->statusText()));
    const PlayFailure played = failed.first().at(0).value<PlayFailure>();

    QCOMPARE(int(checked(address, options)), int(reason));
    QCOMPARE(int(played), int(reason));
}

// A server that answers only after several seconds, well within the wait for
// a failure's reason: the player, with its own bounds, and the address check,
// with its own, both wait for the answer and give the reason it says, not a
// time-out of their own.
void TestSameReason::slowServer()
{
    HttpFixture::Route slow;
    slow.status = 404;
    slow.body = "not here";
    slow.delayMs = failureReasonWaitMs * 3 / 4;
    http_.route("/slow.ts", slow);
    const QString address = http_.url("/slow.ts");

    auto player = makePlayer(&host_, MpvPlayer::defaultNoProgressTimeout());
    QSignalSpy failed(player.get(), &MpvPlayer::failed);
    player->setUrl(address);
    QVERIFY2(failed.wait(failureReasonWaitMs * 4), qPrintable(player->statusText()));
    QCOMPARE(int(failed.first().at(0).value<PlayFailure>()), int(PlayFailure::NotFound));
    QCOMPARE(int(checked(address, {}, failureReasonWaitMs)), int(PlayFailure::NotFound));
}

QTEST_MAIN(TestSameReason)
#include "tst_samereason.moc"
