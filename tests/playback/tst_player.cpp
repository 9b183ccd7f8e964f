// The player against the real engine, with null outputs, on loopback servers.

#include "httpfixture.h"
#include "mpvplayer.h"
#include "playertest.h"
#include "playerview.h"
#include "playback.h"
#include "playerstates.h"
#include "videosurface.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QToolButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <sys/stat.h>

using namespace miravon;


namespace {

constexpr int kBound = 3000;    // the no-progress bound the tests run with
constexpr int kWait = 15000;    // how long a test waits for an outcome

// Every event of one player, in order: "o13", "p3" ...
struct EventLog {
    QStringList events;
    explicit EventLog(MpvPlayer& p)
    {
        QObject::connect(&p, &Player::openStateChange, &p, [this](int s) { events << QStringLiteral("o%1").arg(s); });
        QObject::connect(&p, &Player::playStateChange, &p, [this](int s) { events << QStringLiteral("p%1").arg(s); });
    }
    int indexOf(const QString& e) const { return events.indexOf(e); }
};

QByteArray asx(const QStringList& refs)
{
    QByteArray out = "<ASX version=\"3.0\">\n<Entry>";
    for (const QString& r : refs)
        out += "<Ref href=\"" + r.toUtf8() + "\"/>";
    return out + "</Entry>\n</ASX>\n";
}

} // namespace

class TestPlayer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void idlePlayersAreCheap();
    void plays_data();
    void plays();
    void fails_data();
    void fails();
    void standInTellsHowToGiveAnAddress();
    void triesEachStreamInTurn();
    void localFileOnlyFromTheUsersOwnAddresses();
    void closeReleasesStream();
    void closeCancelsPlaylistFetch();
    void sameAddressOpensAgain();
    void rapidSetUrlPlaysOnlyTheLast();
    void playersAreIndependent();
    void transport();
    void keys();
    void fullScreenGivesTheFocusBack_data();
    void fullScreenGivesTheFocusBack();
    void reconnectsDroppedLiveStream_data();
    void reconnectsDroppedLiveStream();
    void mmsRollsOverFromHttpToTcp();
    void windowsMediaReferenceTriesMmsOverHttp();

private:
    std::unique_ptr<MpvPlayer> makePlayer() { return ::makePlayer(&host_, kBound); }

    HttpFixture http_;
    QWidget host_;
    quint16 closedPort_ = 0;
};

void TestPlayer::initTestCase()
{
    initPlayback();
    setPlaybackOutputs({QStringLiteral("null"), QStringLiteral("null")});
    qRegisterMetaType<PlayFailure>();

    const QByteArray wmv = HttpFixture::media(QStringLiteral("clip.wmv"));
    const QByteArray mp4 = HttpFixture::media(QStringLiteral("clip.mp4"));
    QVERIFY(!wmv.isEmpty() && !mp4.isEmpty());
    http_.route("/clip.wmv", wmv, "video/x-ms-wmv");
    http_.route("/clip.mp4", mp4, "video/mp4");
    http_.route("/truncated.wmv", wmv.left(wmv.size() / 2), "video/x-ms-wmv");
    http_.route("/noise.wmv", QByteArray(64 * 1024, 'z'), "video/x-ms-wmv");
    HttpFixture::Route live;
    live.body = HttpFixture::media(QStringLiteral("live.asf"));
    live.contentType = "video/x-ms-asf";
    live.mode = HttpFixture::Mode::Stream;
    live.slice = 4096;
    http_.route("/livemount", live);
    HttpFixture::Route drop = live;
    // Three seconds of a denser live stream, so that drops come quickly.
    drop.body = HttpFixture::media(QStringLiteral("burst.asf"));
    http_.route("/dropping", drop);
    HttpFixture::Route stalling = drop;
    stalling.body = drop.body;
    stalling.stall = true;
    http_.route("/stalling", stalling);
    HttpFixture::Route silent;
    silent.mode = HttpFixture::Mode::Silent;
    http_.route("/silent.asx", silent);
    http_.route("/silent.wmv", silent);

    const QString wmvUrl = http_.url("/clip.wmv");
    http_.route("/tidy.asx", asx({wmvUrl}), "video/x-ms-asf");
    http_.route("/sloppy.asx",
                "\xEF\xBB\xBF<!-- channel list -->\r\n<asx VERSION=3><ENTRY><ref HREF=clip.wmv?a=1&b=2>"
                "</entry></ASX>", "video/x-ms-asf");
    http_.route("/alternatives.asx", asx({http_.url("/missing.wmv"), "file:///etc/passwd", wmvUrl}));
    http_.route("/channel.wvx", asx({QStringLiteral("/clip.mp4")}), "video/x-ms-wvx");
    http_.route("/list.m3u", "#EXTM3U\n#EXTINF:-1,Clip\n" + wmvUrl.toUtf8() + "\n", "audio/x-mpegurl");
    http_.route("/ref", "[Reference]\r\nRef1=" + wmvUrl.toUtf8() + "\r\n", "video/x-ms-asf");
    http_.route("/outer.asx", "<asx><entryref href=\"middle.asx\"/></asx>");
    http_.route("/middle.asx", asx({QStringLiteral("/tidy.asx")}));
    http_.route("/self.asx", asx({QStringLiteral("/self.asx")}));
    for (int i = 0; i < 7; ++i)
        http_.route(QStringLiteral("/deep%1.asx").arg(i), asx({QStringLiteral("/deep%1.asx").arg(i + 1)}));
    http_.route("/deep7.asx", asx({wmvUrl}));
    http_.route("/local.asx", asx({QStringLiteral("file:///etc/passwd"), QStringLiteral("data:video/mp4;base64,AAAA")}));
    http_.route("/empty.asx", "<asx version=\"3.0\"><title>nothing</title></asx>");
    http_.route("/dead.asx", asx({http_.url("/missing.wmv"), http_.url("/noise.wmv")}));
    QByteArray huge = asx({wmvUrl});
    huge += QByteArray(10 * 1024 * 1024, ' ');
    http_.route("/huge.asx", huge);

    // A port with nothing listening.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    closedPort_ = probe.serverPort();
}

void TestPlayer::idlePlayersAreCheap()
{
    QWidget window;
    std::vector<std::unique_ptr<Player>> players;
    for (int i = 0; i < 7; ++i)
        players.push_back(std::make_unique<MpvPlayer>(&window));
    for (auto& p : players) {
        auto* mp = static_cast<MpvPlayer*>(p.get());
        QCOMPARE(p->widget()->objectName(), QStringLiteral("manhinh"));
        QCOMPARE(p->widget()->parentWidget(), &window);
        QVERIFY(!mp->hasEngine());
        const auto* surface = p->widget()->findChild<VideoSurface*>();
        QVERIFY(!surface || !surface->hasRenderContext());
        QSignalSpy open(p.get(), &Player::openStateChange);
        QSignalSpy play(p.get(), &Player::playStateChange);
        p->close();  // on an idle player nothing changes
        QCOMPARE(open.count() + play.count(), 0);
        QVERIFY(!mp->hasEngine());
    }
}

void TestPlayer::plays_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("engineAddress");  // suffix of what the engine ends up playing
    QTest::newRow("wmv") << "/clip.wmv" << "/clip.wmv";
    QTest::newRow("h264 mp4") << "/clip.mp4" << "/clip.mp4";
    QTest::newRow("asx tidy") << "/tidy.asx" << "/clip.wmv";
    QTest::newRow("asx sloppy, relative") << "/sloppy.asx" << "/clip.wmv?a=1&b=2";
    QTest::newRow("asx alternatives: 404 and file: skipped") << "/alternatives.asx" << "/clip.wmv";
    QTest::newRow("wvx") << "/channel.wvx" << "/clip.mp4";
    QTest::newRow("m3u") << "/list.m3u" << "/clip.wmv";
    QTest::newRow("[Reference] on a mount point") << "/ref" << "/clip.wmv";
    QTest::newRow("nested asx via entryref") << "/outer.asx" << "/clip.wmv";
    QTest::newRow("live mount answering asf") << "/livemount" << "/livemount";
    QTest::newRow("truncated file") << "/truncated.wmv" << "/truncated.wmv";
}

void TestPlayer::plays()
{
    QFETCH(QString, address);
    QFETCH(QString, engineAddress);
    auto player = makePlayer();
    EventLog log(*player);
    QSignalSpy frame(player.get(), &MpvPlayer::firstFrame);
    QSignalSpy failed(player.get(), &MpvPlayer::failed);

    player->setUrl(http_.url(address));
    QVERIFY2(frame.wait(kWait), qPrintable(log.events.join(' ') + " / " + player->statusText()));
    QCOMPARE(failed.count(), 0);
    QVERIFY(player->engineAddress().toString().endsWith(engineAddress));
    QTRY_COMPARE_WITH_TIMEOUT(player->playState(), int(PlayState::Playing), kWait);

    // A sensible order: changing, then open, then playing.
    QCOMPARE(log.events.value(0), QStringLiteral("o%1").arg(OpenState::MediaChanging));
    QCOMPARE(log.events.value(1), QStringLiteral("p%1").arg(PlayState::Transitioning));
    const int open = log.indexOf(QStringLiteral("o%1").arg(OpenState::MediaOpen));
    const int playing = log.indexOf(QStringLiteral("p%1").arg(PlayState::Playing));
    QVERIFY2(open > 1 && playing > open, qPrintable(log.events.join(' ')));
    if (address.contains(QLatin1String(".asx"))) {
        const int fetch = log.indexOf(QStringLiteral("o%1").arg(OpenState::PlaylistConnecting));
        const int parsed = log.indexOf(QStringLiteral("o%1").arg(OpenState::PlaylistChanged));
        QVERIFY2(fetch > 1 && parsed > fetch && open > parsed, qPrintable(log.events.join(' ')));
    }
    QCOMPARE(player->statusText(), QStringLiteral("Đang phát"));
    QVERIFY(player->view()->pictureMessage().isEmpty());
}

void TestPlayer::fails_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<PlayFailure>("reason");
    const QString closed = QStringLiteral("127.0.0.1:%1").arg(closedPort_);
    QTest::newRow("404 media") << http_.url("/missing.wmv") << PlayFailure::NotFound;
    QTest::newRow("404 playlist") << http_.url("/missing.asx") << PlayFailure::NotFound;
    QTest::newRow("non-media bytes") << http_.url("/noise.wmv") << PlayFailure::NotMedia;
    QTest::newRow("connection refused") << QStringLiteral("http://%1/live").arg(closed) << PlayFailure::ConnectionRefused;
    QTest::newRow("mms, nothing listening") << QStringLiteral("mms://%1/live").arg(closed) << PlayFailure::ConnectionRefused;
    QTest::newRow("playlist that never answers") << http_.url("/silent.asx") << PlayFailure::TimedOut;
    QTest::newRow("media that never answers") << http_.url("/silent.wmv") << PlayFailure::TimedOut;
    QTest::newRow("10 MiB playlist") << http_.url("/huge.asx") << PlayFailure::PlaylistRefused;
    QTest::newRow("only local references") << http_.url("/local.asx") << PlayFailure::PlaylistRefused;
    QTest::newRow("self-referencing asx") << http_.url("/self.asx") << PlayFailure::PlaylistRefused;
    QTest::newRow("nesting deeper than 5") << http_.url("/deep0.asx") << PlayFailure::PlaylistRefused;
    QTest::newRow("empty playlist") << http_.url("/empty.asx") << PlayFailure::NoPlayableEntry;
    QTest::newRow("no entry plays") << http_.url("/dead.asx") << PlayFailure::NoPlayableEntry;
    QTest::newRow("file address") << QStringLiteral("file:///etc/passwd") << PlayFailure::UnsupportedAddress;
    QTest::newRow("unknown scheme") << QStringLiteral("gopher://127.0.0.1/1") << PlayFailure::UnsupportedAddress;
    QTest::newRow("stand-in name") << QStringLiteral("http://tv.channel.example/live") << PlayFailure::NoAddressYet;
    QTest::newRow("stand-in number, mms") << QStringLiteral("mms://203.0.113.50/htv7") << PlayFailure::NoAddressYet;
}

void TestPlayer::fails()
{
    QFETCH(QString, address);
    QFETCH(PlayFailure, reason);
    auto player = makePlayer();
    EventLog log(*player);
    QSignalSpy failed(player.get(), &MpvPlayer::failed);
    QSignalSpy frame(player.get(), &MpvPlayer::firstFrame);

    player->setUrl(address);
    // Waited for, not timed: a loaded machine may be slow, never wrong.
    QVERIFY2(failed.wait(kWait), qPrintable(log.events.join(' ')));
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.at(0).at(0).value<PlayFailure>(), reason);
    QCOMPARE(player->statusText(), failureText(reason));
    // Said in the middle of the picture too, with what the user can do.
    QCOMPARE(player->view()->pictureMessage(), failureText(reason) + QLatin1Char('\n') + failureAdvice(reason));
    QCOMPARE(frame.count(), 0);
    QCOMPARE(log.events.value(0), QStringLiteral("o%1").arg(OpenState::MediaChanging));
    QCOMPARE(player->openState(), int(OpenState::Closed));
    QCOMPARE(player->playState(), int(PlayState::Ready));
    // Nothing further trickles in afterwards.
    const int settled = log.events.size();
    QTest::qWait(300);
    QCOMPARE(log.events.size(), settled);
}

void TestPlayer::closeReleasesStream()
{
    auto player = makePlayer();
    QSignalSpy frame(player.get(), &MpvPlayer::firstFrame);
    player->setUrl(http_.url("/livemount"));
    QVERIFY(frame.wait(kWait));
    QTRY_VERIFY_WITH_TIMEOUT(http_.openConnections() > 0, kWait);

    EventLog log(*player);
    player->close();
    QCOMPARE(player->playState(), int(PlayState::Stopped));
    QCOMPARE(player->openState(), int(OpenState::Closed));
    // The play state last: a window's status line ends on the loading message.
    QCOMPARE(log.events, QStringList({QStringLiteral("o0"), QStringLiteral("p1")}));
    QVERIFY(player->engineAddress().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(http_.openConnections(), 0, kWait);

    // A second close on the now idle player changes nothing.
    player->close();
    QCOMPARE(log.events.size(), 2);
}

void TestPlayer::closeCancelsPlaylistFetch()
{
    auto player = makePlayer();
    QSignalSpy requested(&http_, &HttpFixture::requested);
    QSignalSpy failed(player.get(), &MpvPlayer::failed);
    player->setUrl(http_.url("/silent.asx"));
    QTRY_VERIFY_WITH_TIMEOUT(requested.count() > 0 && http_.openConnections() > 0, kWait);
    player->close();
    QTRY_COMPARE_WITH_TIMEOUT(http_.openConnections(), 0, kWait);
    // The cancelled fetch reports nothing, not even when its bound passes.
    QTest::qWait(kBound + 500);
    QCOMPARE(failed.count(), 0);
    QCOMPARE(player->playState(), int(PlayState::Stopped));
}

void TestPlayer::sameAddressOpensAgain()
{
    auto player = makePlayer();
    QSignalSpy frame(player.get(), &MpvPlayer::firstFrame);
    player->setUrl(http_.url("/tidy.asx"));
    QVERIFY(frame.wait(kWait));
    const int fetched = http_.hits("/tidy.asx");
    EventLog log(*player);
    player->setUrl(http_.url("/tidy.asx"));
    QVERIFY(frame.wait(kWait));
    QCOMPARE(http_.hits("/tidy.asx"), fetched + 1);
    QVERIFY(log.events.contains(QStringLiteral("p%1").arg(PlayState::Transitioning)));
    QTRY_COMPARE_WITH_TIMEOUT(player->playState(), int(PlayState::Playing), kWait);
}

void TestPlayer::rapidSetUrlPlaysOnlyTheLast()
{
    auto player = makePlayer();
    QSignalSpy frame(player.get(), &MpvPlayer::firstFrame);
    QSignalSpy failed(player.get(), &MpvPlayer::failed);
    const QStringList addresses = {http_.url("/clip.mp4"), http_.url("/tidy.asx"), http_.url("/missing.wmv"),
                                   http_.url("/livemount"), http_.url("/silent.asx")};
    for (int i = 0; i < 199; ++i)
        player->setUrl(addresses.at(i % addresses.size()));
    player->setUrl(http_.url("/clip.wmv"));
    QVERIFY(frame.wait(kWait));
    QCOMPARE(player->engineAddress().toString(), http_.url("/clip.wmv"));
    QTRY_COMPARE_WITH_TIMEOUT(player->playState(), int(PlayState::Playing), kWait);
    QTest::qWait(500);
    QCOMPARE(failed.count(), 0);
    QCOMPARE(player->engineAddress().toString(), http_.url("/clip.wmv"));
    QCOMPARE(player->playState(), int(PlayState::Playing));
}

void TestPlayer::playersAreIndependent()
{
    auto a = makePlayer();
    auto b = makePlayer();
    EventLog logA(*a);
    QSignalSpy frameA(a.get(), &MpvPlayer::firstFrame);
    QSignalSpy failedB(b.get(), &MpvPlayer::failed);
    a->setUrl(http_.url("/livemount"));
    b->setUrl(http_.url("/missing.wmv"));
    QVERIFY(frameA.wait(kWait));
    QVERIFY(failedB.count() > 0 || failedB.wait(kWait));
    QTRY_COMPARE_WITH_TIMEOUT(a->playState(), int(PlayState::Playing), kWait);
    QCOMPARE(a->failure(), PlayFailure::None);

    const int eventsA = logA.events.size();
    b->setUrl(http_.url("/clip.mp4"));
    QSignalSpy frameB(b.get(), &MpvPlayer::firstFrame);
    QVERIFY(frameB.wait(kWait));
    QVERIFY(b->view()->pictureMessage().isEmpty());  // the failure message went with the new address
    b->close();
    QCOMPARE(b->playState(), int(PlayState::Stopped));
    QTest::qWait(300);
    QCOMPARE(a->playState(), int(PlayState::Playing));
    QCOMPARE(a->engineAddress().toString(), http_.url("/livemount"));
    // A's own events during B's life were only its own progress, if any.
    for (const QString& e : logA.events.mid(eventsA))
        QVERIFY2(e != QStringLiteral("p1") && e != QStringLiteral("o0"), qPrintable(logA.events.join(' ')));
}

void TestPlayer::transport()
{
    QWidget window;
    window.resize(400, 300);
    MpvPlayer player(&window);
    player.setNoProgressTimeout(kBound);
    player.widget()->setGeometry(0, 0, 400, 300);
    window.show();
    QSignalSpy frame(&player, &MpvPlayer::firstFrame);

    player.setUrl(http_.url("/clip.wmv"));
    QVERIFY(frame.wait(kWait));
    auto* volume = player.widget()->findChild<QSlider*>(QStringLiteral("volume"));
    auto* seek = player.widget()->findChild<QSlider*>(QStringLiteral("seek"));
    QVERIFY(volume && seek);
    QCOMPARE(volume->value(), 50);
    QTRY_VERIFY_WITH_TIMEOUT(seek->isEnabled(), kWait);  // a file has a length
    QVERIFY(!player.isLive());

    // Space toggles pause in the focused player.
    QTest::keyClick(player.widget(), Qt::Key_Space);
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(PlayState::Paused), kWait);
    QCOMPARE(player.statusText(), QStringLiteral("Tạm dừng"));
    QTest::keyClick(player.widget(), Qt::Key_Space);
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(PlayState::Playing), kWait);

    // Stop raises the stopped play state; play starts the address again.
    player.stop();
    QCOMPARE(player.playState(), int(PlayState::Stopped));
    player.togglePause();
    QVERIFY(frame.wait(kWait));

    // A live mount has no seek.
    player.setUrl(http_.url("/livemount"));
    QVERIFY(frame.wait(kWait));
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(PlayState::Playing), kWait);
    QVERIFY(player.isLive());
    QVERIFY(!seek->isEnabled());

    // The context menu offers the same actions. The check runs inside the
    // menu's own event loop; whatever happens, the menu is closed within a
    // bound so that a missing popup fails the test instead of hanging it.
    QStringList offered;
    bool popupSeen = false;
    QTimer::singleShot(0, this, [&] {
        QMenu* menu = nullptr;
        QElapsedTimer waited;
        waited.start();
        while (!menu && waited.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        }
        if (menu) {
            popupSeen = true;
            for (QAction* a : menu->actions()) {
                if (!a->isSeparator())
                    offered << a->text();
            }
            menu->actions().first()->trigger();  // play/pause
        }
        for (QMenu* open : player.widget()->findChildren<QMenu*>())
            open->close();
    });
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(10, 10), player.widget()->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(player.widget(), &menuEvent);
    QVERIFY2(popupSeen, "the context menu did not appear");
    QCOMPARE(offered, QStringList({QStringLiteral("Tạm dừng"), QStringLiteral("Dừng"), QStringLiteral("Tắt tiếng"),
                                   QStringLiteral("Toàn màn hình")}));
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(PlayState::Paused), kWait);

    // Full screen by double-click on the video, and back by Escape.
    QWidget* video = player.widget()->findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    QVERIFY(video);
    QTest::mouseDClick(video, Qt::LeftButton);
    QVERIFY(player.isFullScreen());
    QTest::keyClick(player.widget(), Qt::Key_Escape);
    QVERIFY(!player.isFullScreen());
    QCOMPARE(player.widget()->parentWidget(), &window);
    QCOMPARE(player.widget()->geometry(), QRect(0, 0, 400, 300));
}

// The player's keys, as a keyboard-only user drives it.
void TestPlayer::keys()
{
    QWidget window;
    window.resize(400, 300);
    MpvPlayer player(&window);
    player.setNoProgressTimeout(kBound);
    player.widget()->setGeometry(0, 0, 400, 300);
    window.show();
    QSignalSpy frame(&player, &MpvPlayer::firstFrame);
    QCOMPARE(player.widget()->accessibleName(), QStringLiteral("Trình phát"));
    player.setUrl(http_.url("/clip.wmv"));
    QVERIFY(frame.wait(kWait));
    QWidget* view = player.widget();
    auto* volume = view->findChild<QSlider*>(QStringLiteral("volume"));
    auto* mute = view->findChild<QToolButton*>(QStringLiteral("mute"));
    auto* seek = view->findChild<QSlider*>(QStringLiteral("seek"));
    QVERIFY(volume && mute && seek);

    // Up and Down step the volume by 5, within 0 to 100.
    QTest::keyClick(view, Qt::Key_Up);
    QCOMPARE(volume->value(), 55);
    for (int i = 0; i < 12; ++i)
        QTest::keyClick(view, Qt::Key_Up);
    QCOMPARE(volume->value(), 100);
    QTest::keyClick(view, Qt::Key_Down);
    QCOMPARE(volume->value(), 95);
    // M mutes and unmutes.
    QTest::keyClick(view, Qt::Key_M);
    QVERIFY(mute->isChecked());
    QTest::keyClick(view, Qt::Key_M);
    QVERIFY(!mute->isChecked());
    // F goes full screen and back.
    QTest::keyClick(view, Qt::Key_F);
    QVERIFY(player.isFullScreen());
    QTest::keyClick(view, Qt::Key_F);
    QVERIFY(!player.isFullScreen());
    QCOMPARE(view->parentWidget(), &window);

    // Left and Right seek a file: back to its start, forward to its end.
    QTRY_VERIFY_WITH_TIMEOUT(seek->isEnabled(), kWait);
    QTest::keyClick(view, Qt::Key_Space);
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(PlayState::Paused), kWait);
    QTest::keyClick(view, Qt::Key_Left);
    QTRY_COMPARE_WITH_TIMEOUT(seek->value(), 0, kWait);
    QTest::keyClick(view, Qt::Key_Right);
    QTRY_VERIFY_WITH_TIMEOUT(seek->value() >= 3 || player.playState() != int(PlayState::Paused), kWait);

    // The transport controls are named for screen readers.
    for (const char* name : {"playPause", "stop", "seek", "mute", "volume", "fullScreen"})
        QVERIFY2(!view->findChild<QWidget*>(QLatin1String(name))->accessibleName().isEmpty(), name);
}

void TestPlayer::fullScreenGivesTheFocusBack_data()
{
    QTest::addColumn<bool>("fromPlayer"); // the player's own key went full screen, or another control had the focus
    QTest::addColumn<int>("leave");
    QTest::newRow("F and F again, from the player") << true << int(Qt::Key_F);
    QTest::newRow("F, then Escape") << true << int(Qt::Key_Escape);
    QTest::newRow("from the menu while a button had the focus, then Escape") << false << int(Qt::Key_Escape);
}

// Leaving full screen gives the keyboard focus back to the control that
// had it before, in the window the player came back to.
void TestPlayer::fullScreenGivesTheFocusBack()
{
    QFETCH(bool, fromPlayer);
    QFETCH(int, leave);
    QWidget window;
    window.resize(400, 340);
    auto* button = new QPushButton(QStringLiteral("Kênh"), &window);
    button->setGeometry(0, 305, 100, 30);
    MpvPlayer player(&window);
    player.widget()->setGeometry(0, 0, 400, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QWidget* had = fromPlayer ? player.widget() : static_cast<QWidget*>(button);
    had->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), had);

    if (fromPlayer)
        QTest::keyClick(player.widget(), Qt::Key_F);
    else
        player.setFullScreen(true);
    QVERIFY(player.isFullScreen());
    QTest::keyClick(player.widget(), Qt::Key(leave));
    QVERIFY(!player.isFullScreen());
    QCOMPARE(player.widget()->parentWidget(), &window);
    QTRY_COMPARE(QApplication::focusWidget(), had);
    QTRY_COMPARE(QApplication::activeWindow(), &window);
}

void TestPlayer::reconnectsDroppedLiveStream_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("attempts");
    // The mount point drops every connection after a few seconds of stream.
    QTest::newRow("connection dropped") << "/dropping" << 2;
    // The mount point stops sending but keeps the connection.
    QTest::newRow("stream stalled") << "/stalling" << 1;
}

void TestPlayer::reconnectsDroppedLiveStream()
{
    QFETCH(QString, path);
    QFETCH(int, attempts);
    auto player = makePlayer();
    player->setReconnectPolicy(attempts, 50);
    EventLog log(*player);
    QSignalSpy failed(player.get(), &MpvPlayer::failed);
    const int before = http_.hits(path);
    player->setUrl(http_.url(path));
    QVERIFY(failed.wait(40000));
    QCOMPARE(failed.at(0).at(0).value<PlayFailure>(), PlayFailure::ConnectionLost);
    QCOMPARE(log.events.count(QStringLiteral("p%1").arg(PlayState::Reconnecting)), attempts);
    QCOMPARE(http_.hits(path) - before, attempts + 1);
    // Each reconnection went back through connecting to playing.
    const int firstReconnect = log.indexOf(QStringLiteral("p%1").arg(PlayState::Reconnecting));
    QVERIFY(log.events.indexOf(QStringLiteral("p%1").arg(PlayState::Playing), firstReconnect) > firstReconnect);
}

void TestPlayer::mmsRollsOverFromHttpToTcp()
{
    // A server that notes how each connection opens, then hangs up.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    QList<QByteArray> openings;
    connect(&server, &QTcpServer::newConnection, this, [&] {
        while (QTcpSocket* s = server.nextPendingConnection()) {
            connect(s, &QTcpSocket::readyRead, s, [&openings, s] {
                openings << s->readAll().left(4);
                s->disconnectFromHost();
            });
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        }
    });
    auto player = makePlayer();
    QSignalSpy failed(player.get(), &MpvPlayer::failed);
    player->setUrl(QStringLiteral("mms://127.0.0.1:%1/live").arg(server.serverPort()));
    QVERIFY(failed.wait(kWait));
    QCOMPARE(failed.at(0).at(0).value<PlayFailure>(), PlayFailure::NotMedia);
    // MMS over HTTP first (an HTTP request), then MMS over TCP (binary).
    QVERIFY2(openings.size() >= 2, qPrintable(QString::number(openings.size())));
    QCOMPARE(openings.first(), QByteArray("GET "));
    QVERIFY(!openings.last().startsWith("GET"));
}

void TestPlayer::windowsMediaReferenceTriesMmsOverHttp()
{
    // Like a Windows Media server to a web client: the mount point answers
    // with a [Reference] to itself.
    const QString mount = http_.url("/wms");
    http_.route("/wms", "[Reference]\r\nRef1=" + mount.toUtf8() + "?MSWMExt=.asf\r\n", "video/x-ms-asf");
    auto player = makePlayer();
    QSignalSpy failed(player.get(), &MpvPlayer::failed);
    player->setUrl(mount);
    QVERIFY(failed.wait(kWait));
    bool mmsOverHttp = false;
    for (const QByteArray& request : http_.requests("/wms"))
        mmsOverHttp |= request.contains("NSPlayer");
    QVERIFY(mmsOverHttp);
    QVERIFY(http_.hits("/wms") < 10);  // no loop
}

QTEST_MAIN(TestPlayer)
// A built-in stand-in fails before anything is started, and tells the user
// the ways to give the channel an address.
void TestPlayer::standInTellsHowToGiveAnAddress()
{
    auto player = makePlayer();
    QSignalSpy failed(player.get(), &MpvPlayer::failed);
    player->setUrl(QStringLiteral("http://media.example.net/htv7"), StreamOptions{QStringLiteral("https://tv.example.net/"), {}});
    QVERIFY(failed.wait(1000));
    QCOMPARE(failed.at(0).at(0).value<PlayFailure>(), PlayFailure::NoAddressYet);
    QVERIFY(!player->hasEngine());
    QVERIFY(player->engineAddress().isEmpty());
    // The way to give it one is in the window, not in a terminal: a button
    // under the message opens the channel sources.
    const QString advice = failureAdvice(PlayFailure::NoAddressYet);
    for (const char* way : {"Nguồn kênh", ".m3u"})
        QVERIFY2(advice.contains(QString::fromUtf8(way)), way);
    QVERIFY(!advice.contains(QLatin1String("miravon --")));
    QVERIFY(player->view()->pictureMessage().endsWith(advice));
    auto* open = player->view()->findChild<QPushButton*>(QStringLiteral("openSources"));
    QVERIFY(open && !open->isHidden());
    // Whole in the picture, however small (the picture areas of windows 1
    // and 4 and of the movie window are narrow).
    for (const QSize size : {QSize(640, 480), QSize(220, 170), QSize(150, 120)}) {
        host_.resize(size);
        host_.show();
        player->view()->resize(size);
        const QWidget* picture = player->view()->findChild<QWidget*>(QStringLiteral("picture"));
        QTRY_VERIFY2(picture->geometry().contains(open->geometry()) && open->sizeHint().width() <= open->width(),
                     qPrintable(QStringLiteral("%1 %2x%3").arg(open->text()).arg(open->width()).arg(picture->width())));
    }
    host_.hide();
    QSignalSpy asked(player.get(), &Player::sourcesRequested);
    open->click();
    QCOMPARE(asked.count(), 1);
    // Gone once another address plays.
    player->setUrl(http_.url("/clip.wmv"));
    QVERIFY(open->isHidden());
}

// An entry's streams are tried in turn: refused, then a 404, then one that
// plays; the picture says which is being tried, and which played is told.
// When all fail, the most informative reason is the one shown.
void TestPlayer::triesEachStreamInTurn()
{
    auto player = makePlayer();
    QSignalSpy frame(player.get(), &MpvPlayer::firstFrame);
    QSignalSpy playing(player.get(), &Player::streamPlaying);
    QSignalSpy failed(player.get(), &MpvPlayer::failed);
    QStringList messages;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        const QString m = player->view()->pictureMessage();
        if (!m.isEmpty() && !messages.contains(m))
            messages << m;
    });
    watch.start(5);
    const QString refused = QStringLiteral("http://127.0.0.1:%1/clip.wmv").arg(closedPort_);
    player->play({{refused, {}}, {http_.url("/missing.wmv"), {}}, {http_.url("/clip.wmv"), {}}});
    QVERIFY2(frame.wait(kWait), qPrintable(player->statusText()));
    QCOMPARE(failed.count(), 0);
    QCOMPARE(playing.count(), 1);
    QCOMPARE(playing.first().at(0).toInt(), 2);
    QVERIFY(player->engineAddress().toString().endsWith(QLatin1String("/clip.wmv")));
    QVERIFY2(messages.contains(QStringLiteral("Đang thử nguồn 3/3 …")), qPrintable(messages.join(u'|')));
    QCOMPARE(player->view()->pictureMessage(), QString());

    player->play({{refused, {}}, {http_.url("/missing.wmv"), {}}, {refused, {}}});
    QVERIFY(failed.wait(kWait));
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.first().at(0).value<PlayFailure>(), PlayFailure::NotFound);
}

// A file of this computer plays when the user's own address file names it,
// and is refused when the address comes from anywhere else.
void TestPlayer::localFileOnlyFromTheUsersOwnAddresses()
{
    const QString file = QUrl::fromLocalFile(QStringLiteral(MEDIA_DIR "/clip.mp4")).toString();
    auto player = makePlayer();
    QSignalSpy frame(player.get(), &MpvPlayer::firstFrame);
    QSignalSpy failed(player.get(), &MpvPlayer::failed);
    player->setUrl(file, StreamOptions{{}, {}, AddressOrigin::Own});
    QVERIFY2(frame.wait(kWait), qPrintable(player->statusText()));
    QCOMPARE(failed.count(), 0);
    QCOMPARE(player->engineAddress().toString(), file);
    QTRY_VERIFY_WITH_TIMEOUT(!player->isLive(), kWait);

    // Built in or imported: never, whatever path wrote the import file.
    for (const AddressOrigin origin : {AddressOrigin::BuiltIn, AddressOrigin::Imported}) {
        player->setUrl(file, StreamOptions{{}, {}, origin});
        QVERIFY(failed.wait(kWait));
        QCOMPARE(failed.last().at(0).value<PlayFailure>(), PlayFailure::UnsupportedAddress);
    }
    // A FIFO is no film, and would hold the engine: refused before it opens.
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo.ts"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    player->setUrl(QUrl::fromLocalFile(fifo).toString(), StreamOptions{{}, {}, AddressOrigin::Own});
    QVERIFY(failed.wait(kWait));
    QCOMPARE(failed.last().at(0).value<PlayFailure>(), PlayFailure::UnsupportedAddress);
    // Only by its absolute path.
    player->setUrl(QStringLiteral("file:clip.mp4"), StreamOptions{{}, {}, AddressOrigin::Own});
    QVERIFY(failed.wait(kWait));
    QCOMPARE(failed.last().at(0).value<PlayFailure>(), PlayFailure::UnsupportedAddress);
}

#include "tst_player.moc"
