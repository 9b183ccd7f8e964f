// The player against a real RTSP server (gst-rtsp-server, started by the
// test on loopback): a live mount, an on-demand mount and forced TCP.

#include "mpvplayer.h"
#include "playback.h"
#include "playerstates.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

using namespace miravon;


class TestRtsp : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void plays_data();
    void plays();
    void unknownMountFails();

private:
    QProcess server_;
    int port_ = 0;
    QWidget host_;
};

void TestRtsp::initTestCase()
{
    initPlayback();
    setPlaybackOutputs({QStringLiteral("null"), QStringLiteral("null")});
    qRegisterMetaType<PlayFailure>();
    server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server_.start(QStringLiteral("/usr/bin/python3"),
                  {QStringLiteral(SOURCE_DIR "/rtsp_server.py"), QStringLiteral(SOURCE_DIR "/media/clip.mp4")});
    QVERIFY2(server_.waitForStarted(5000), "python3 with gir1.2-gst-rtsp-server-1.0 is needed");
    QTRY_VERIFY_WITH_TIMEOUT(server_.canReadLine() || server_.state() == QProcess::NotRunning, 15000);
    const QByteArray line = server_.readLine().trimmed();
    QVERIFY2(line.startsWith("PORT "), line.constData());
    port_ = line.mid(5).toInt();
    QVERIFY(port_ > 0);
}

void TestRtsp::cleanupTestCase()
{
    // The server ends when its stdin closes; kill only if it does not.
    server_.closeWriteChannel();
    if (!server_.waitForFinished(5000))
        server_.kill();
}

void TestRtsp::plays_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("live");
    QTest::newRow("live mount") << QStringLiteral("rtsp://127.0.0.1:%1/live") << true;
    QTest::newRow("on demand, with a query") << QStringLiteral("rtsp://127.0.0.1:%1/vod?x=1") << false;
    QTest::newRow("live over tcp") << QStringLiteral("rtspt://127.0.0.1:%1/live") << true;
}

void TestRtsp::plays()
{
    QFETCH(QString, address);
    QFETCH(bool, live);
    MpvPlayer player(&host_);
    player.setNoProgressTimeout(5000);
    QSignalSpy frame(&player, &MpvPlayer::firstFrame);
    QSignalSpy failed(&player, &MpvPlayer::failed);
    player.setUrl(address.arg(port_));
    QVERIFY2(frame.wait(20000), qPrintable(player.statusText()));
    QCOMPARE(failed.count(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(PlayState::Playing), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(player.isLive(), live, 5000);
    player.close();
    QCOMPARE(player.playState(), int(PlayState::Stopped));
}

void TestRtsp::unknownMountFails()
{
    MpvPlayer player(&host_);
    player.setNoProgressTimeout(5000);
    QSignalSpy failed(&player, &MpvPlayer::failed);
    player.setUrl(QStringLiteral("rtsp://127.0.0.1:%1/nothing").arg(port_));
    QVERIFY(failed.wait(15000));
    // The server answers the DESCRIBE with 404: refused by the server.
    QCOMPARE(failed.at(0).at(0).value<PlayFailure>(), PlayFailure::NotFound);
}

QTEST_MAIN(TestRtsp)
#include "tst_rtsp.moc"
