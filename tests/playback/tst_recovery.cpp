// The player where streams misbehave: live streams that drop and come back,
// an MMS broadcast that drops, silent alternatives, a machine without
// sound, the reason shown after several attempts, the status line after a
// stop, and the engine given back by a closed player. Real engine, null
// video, loopback servers.

#include "httpfixture.h"
#include "mmshfixture.h"
#include "mpvplayer.h"
#include "playertest.h"
#include "playback.h"
#include "playerstates.h"
#include "playerview.h"

#include "labeluni.h"
#include "statusline.h"

#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <QWidget>

using namespace miravon;

namespace {

constexpr int kBound = 3000;
constexpr int kWait = 15000;

QString code(char kind, int state) { return QStringLiteral("%1%2").arg(QLatin1Char(kind)).arg(state); }

struct EventLog {
    QStringList events;
    explicit EventLog(Player& p)
    {
        QObject::connect(&p, &Player::openStateChange, &p, [this](int s) { events << code('o', s); });
        QObject::connect(&p, &Player::playStateChange, &p, [this](int s) { events << code('p', s); });
    }
};

// Outputs for the players made while it lives.
class Outputs {
public:
    explicit Outputs(const PlaybackOutputs& o) : saved_(playbackOutputs()) { setPlaybackOutputs(o); }
    ~Outputs() { setPlaybackOutputs(saved_); }

private:
    PlaybackOutputs saved_;
};

} // namespace

class TestRecovery : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void winsBackLiveStreamAfterRefusals();
    void mmsBroadcastDropIsLive();
    void failsOverFromSilentAlternative_data();
    void failsOverFromSilentAlternative();
    void playsWithoutSoundDevice_data();
    void playsWithoutSoundDevice();
    void mostInformativeReason();
    void statusLineAfterStopAndClose();
    void closedPlayerGivesEngineBack();

private:
    std::unique_ptr<MpvPlayer> makePlayer() { return ::makePlayer(&host_, kBound); }

    HttpFixture http_;
    QWidget host_;
};

void TestRecovery::initTestCase()
{
    initPlayback();
    setPlaybackOutputs({QStringLiteral("null"), QStringLiteral("null")});
    const QByteArray wmv = HttpFixture::media(QStringLiteral("clip.wmv"));
    QVERIFY(!wmv.isEmpty());
    http_.route("/clip.wmv", wmv, "video/x-ms-wmv");
    HttpFixture::Route live;
    live.body = HttpFixture::media(QStringLiteral("live.asf"));
    live.contentType = "video/x-ms-asf";
    live.mode = HttpFixture::Mode::Stream;
    live.slice = 4096;
    http_.route("/live", live);
    HttpFixture::Route silent;
    silent.mode = HttpFixture::Mode::Silent;
    http_.route("/silent.wmv", silent);
    const QString wmvUrl = http_.url("/clip.wmv");
    const QString silentUrl = http_.url("/silent.wmv");
    http_.route("/one-entry.asx", HttpFixture::asx({{silentUrl, wmvUrl}}));
    http_.route("/two-entries.asx", HttpFixture::asx({{silentUrl}, {wmvUrl}}));
    http_.route("/two-clips.asx", HttpFixture::asx({{wmvUrl}, {wmvUrl}}));
}

// The server goes away while a live stream plays and is back two seconds
// later: the first attempts are refused, a later one plays again.
void TestRecovery::winsBackLiveStreamAfterRefusals()
{
    auto player = makePlayer();
    player->setReconnectPolicy(6, 200);  // 0.2, 0.4, 0.8, 1.6, 3.2 s ...
    EventLog log(*player);
    QSignalSpy failed(player.get(), &MpvPlayer::failed);
    player->setUrl(http_.url("/live"));
    QTRY_COMPARE_WITH_TIMEOUT(player->playState(), int(PlayState::Playing), kWait);
    QVERIFY(player->isLive());

    const int before = log.events.size();
    http_.goAway(2000);
    QTRY_VERIFY_WITH_TIMEOUT(log.events.mid(before).contains(code('p', PlayState::Reconnecting)), kWait);
    QTRY_VERIFY_WITH_TIMEOUT(http_.isListening(), kWait);
    QTRY_COMPARE_WITH_TIMEOUT(player->playState(), int(PlayState::Playing), kWait);
    QCOMPARE(failed.count(), 0);
    QVERIFY(player->engineAddress().toString().endsWith(QLatin1String("/live")));
    QCOMPARE(player->statusText(), QStringLiteral("Đang phát"));
}

// An MMS broadcast (its header gives no length) that drops is a live drop,
// not the end of a film: it is reconnected, and it never offered seeking.
void TestRecovery::mmsBroadcastDropIsLive()
{
    MmshFixture server(HttpFixture::media(QStringLiteral("live.asf")), 24);
    QVERIFY(server.valid());
    QWidget window;
    MpvPlayer player(&window);
    player.setNoProgressTimeout(kBound);
    player.setReconnectPolicy(1, 50);
    EventLog log(player);
    QSignalSpy failed(&player, &MpvPlayer::failed);
    player.setUrl(server.url());
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(PlayState::Playing), kWait);
    QVERIFY(player.engineAddress().scheme() == QLatin1String("mmsh"));
    QVERIFY(player.isLive());
    auto* seek = player.widget()->findChild<QSlider*>(QStringLiteral("seek"));
    QVERIFY(seek && !seek->isEnabled());

    QVERIFY2(failed.wait(kWait * 2), qPrintable(log.events.join(' ')));
    QCOMPARE(failed.at(0).at(0).value<PlayFailure>(), PlayFailure::ConnectionLost);
    QCOMPARE(log.events.count(code('p', PlayState::Reconnecting)), 1);
    QVERIFY2(!log.events.contains(code('p', PlayState::MediaEnded)), qPrintable(log.events.join(' ')));
    QCOMPARE(server.plays(), 2);
}

void TestRecovery::failsOverFromSilentAlternative_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("alternatives of one entry") << "/one-entry.asx";
    QTest::newRow("two entries") << "/two-entries.asx";
}

// A reference that takes the connection and never answers fails that
// alternative only, after the bound; the working one after it plays.
void TestRecovery::failsOverFromSilentAlternative()
{
    QFETCH(QString, path);
    auto player = makePlayer();
    QSignalSpy frame(player.get(), &MpvPlayer::firstFrame);
    QSignalSpy failed(player.get(), &MpvPlayer::failed);
    player->setUrl(http_.url(path));
    QVERIFY(frame.wait(kBound + kWait));
    QCOMPARE(failed.count(), 0);
    QVERIFY(player->engineAddress().toString().endsWith(QLatin1String("/clip.wmv")));
    QTRY_COMPARE_WITH_TIMEOUT(player->playState(), int(PlayState::Playing), kWait);
}

void TestRecovery::playsWithoutSoundDevice_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("entries");
    QTest::newRow("one file") << "/clip.wmv" << 1;
    QTest::newRow("playlist of two") << "/two-clips.asx" << 2;
}

// An audio output that cannot open: the pictures play, the end is the end,
// and the user is told once that there is no sound.
void TestRecovery::playsWithoutSoundDevice()
{
    QFETCH(QString, path);
    QFETCH(int, entries);
    const Outputs noSound({QStringLiteral("null"), QStringLiteral("pcm"),
                           {{"ao-pcm-file", "/nonexistent-directory/sound.wav"}}});
    auto player = makePlayer();
    EventLog log(*player);
    QSignalSpy frame(player.get(), &MpvPlayer::firstFrame);
    QSignalSpy failed(player.get(), &MpvPlayer::failed);
    QSignalSpy told(player.get(), &MpvPlayer::noSound);
    const int before = http_.hits("/clip.wmv");
    player->setUrl(http_.url(path));
    QVERIFY(frame.wait(kWait));
    QTRY_VERIFY_WITH_TIMEOUT(log.events.endsWith(code('p', PlayState::Stopped)), kWait * entries);
    QCOMPARE(failed.count(), 0);
    QCOMPARE(log.events.count(code('p', PlayState::MediaEnded)), entries);
    QCOMPARE(player->openState(), int(OpenState::Closed));
    QCOMPARE(told.count(), 1);
    QVERIFY(http_.hits("/clip.wmv") - before >= entries);
}

// The reason shown is the most informative of all attempts: MMS over HTTP
// answered 404, the MMS-over-TCP fallback got nowhere.
void TestRecovery::mostInformativeReason()
{
    auto player = makePlayer();
    QSignalSpy failed(player.get(), &MpvPlayer::failed);
    player->setUrl(QStringLiteral("mms://127.0.0.1:%1/dead").arg(http_.port()));
    QVERIFY(failed.wait(kBound + kWait));
    QCOMPARE(failed.at(0).at(0).value<PlayFailure>(), PlayFailure::NotFound);
    QCOMPARE(player->statusText(), failureText(PlayFailure::NotFound));
}

// Stop on the transport bar and close() are changes of play state: the
// window's status line ends on the loading message.
void TestRecovery::statusLineAfterStopAndClose()
{
    QWidget window;
    MpvPlayer player(&window);
    player.setNoProgressTimeout(kBound);
    LabelUni status(&window);
    bindStatusLine(player, status);
    const QString loading = QString::fromLatin1(loadingMessage);
    auto* stop = player.widget()->findChild<QToolButton*>(QStringLiteral("stop"));
    QVERIFY(stop);

    player.setUrl(http_.url("/live"));
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(PlayState::Playing), kWait);
    QVERIFY(stop->isEnabled());
    stop->click();
    QCOMPARE(player.playState(), int(PlayState::Stopped));
    QCOMPARE(status.caption(), loading);

    player.setUrl(http_.url("/live"));
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(PlayState::Playing), kWait);
    status.setCaption(QString());
    player.close();
    QCOMPARE(status.caption(), loading);
}

// A closed player gives its engine back after the idle delay; a new address
// within the delay keeps it.
void TestRecovery::closedPlayerGivesEngineBack()
{
    auto player = makePlayer();
    player->setIdleRelease(1500);
    QSignalSpy frame(player.get(), &MpvPlayer::firstFrame);
    player->setUrl(http_.url("/clip.wmv"));
    QVERIFY(frame.wait(kWait));
    player->close();
    QVERIFY(player->hasEngine());
    player->setUrl(http_.url("/clip.wmv"));  // a quick re-click
    QVERIFY(frame.wait(kWait));
    QTest::qWait(1600);
    QVERIFY(player->hasEngine());

    player->close();
    QTRY_VERIFY_WITH_TIMEOUT(!player->hasEngine(), kWait);
    // And it plays again, with a new engine.
    player->setUrl(http_.url("/clip.wmv"));
    QVERIFY(frame.wait(kWait));
}

QTEST_MAIN(TestRecovery)
#include "tst_recovery.moc"
