// The player against the streams today's channel lists give: HLS live and
// finished, DASH, plain MPEG-TS over HTTP, and streams that play only for a
// given referrer or user agent. Made with ffmpeg at test time, served on
// loopback, played by the real engine with null outputs.

#include "httpfixture.h"
#include "mpvplayer.h"
#include "playertest.h"
#include "playback.h"
#include "playerstates.h"
#include "streamfixture.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

using namespace miravon;

Q_DECLARE_METATYPE(miravon::StreamOptions)

namespace {

constexpr int kBound = 4000;   // the no-progress bound the tests run with
constexpr int kWait = 20000;   // how long a test waits for an outcome

QString events(const QList<int>& open, const QList<int>& play)
{
    QStringList out;
    for (int s : open)
        out << QStringLiteral("o%1").arg(s);
    for (int s : play)
        out << QStringLiteral("p%1").arg(s);
    return out.join(' ');
}

// Every play state one player raised, in order.
struct PlayStates {
    QList<int> states;
    explicit PlayStates(Player& p)
    {
        QObject::connect(&p, &Player::playStateChange, &p, [this](int s) { states << s; });
    }
    int count(int state) const { return static_cast<int>(states.count(state)); }
};

} // namespace

class TestStreams : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void plays_data();
    void plays();
    void finishedHlsPlaysToItsEnd();
    void hlsFromTheNetworkNeverOpensLocalFiles();
    void headersGoWithTheirAddressOnly_data();
    void headersGoWithTheirAddressOnly();
    void liveHlsServerDiesAndReturns();
    void liveHlsThatStopsAdvancingIsReconnected();

private:
    std::unique_ptr<MpvPlayer> makePlayer() { return ::makePlayer(&host_, kBound); }
    // Plays `address` until it is playing; false with a message when not.
    bool playsWithin(MpvPlayer& player, const QString& address, const StreamOptions& options = {});

    QTemporaryDir dir_;
    std::unique_ptr<DirServer> files_;
    std::unique_ptr<DirServer> tls_;  // the same files over https
    HttpFixture http_;
    StreamMaker live_;
    bool dash_ = false;
    QWidget host_;
};

void TestStreams::initTestCase()
{
    if (!StreamMaker::available())
        QSKIP("ffmpeg is not installed; it makes the test streams");
    initPlayback();
    setPlaybackOutputs({QStringLiteral("null"), QStringLiteral("null")});
    qRegisterMetaType<PlayFailure>();
    QVERIFY(dir_.isValid());
    const QString root = dir_.path();
    for (const char* sub : {"live", "vod", "dash"})
        QVERIFY(QDir(root).mkpath(QLatin1String(sub)));

    // The finished streams are made at full speed, side by side.
    StreamMaker vod, dash, ts;
    vod.start(StreamMaker::source(false, 3)
              << QStringLiteral("-f") << QStringLiteral("hls") << QStringLiteral("-hls_time") << QStringLiteral("1")
              << QStringLiteral("-hls_playlist_type") << QStringLiteral("vod") << QStringLiteral("-hls_segment_filename")
              << root + QStringLiteral("/vod/seg%d.ts") << root + QStringLiteral("/vod/vod.m3u8"));
    dash.start(StreamMaker::source(false, 3) << QStringLiteral("-f") << QStringLiteral("dash") << QStringLiteral("-seg_duration")
                                             << QStringLiteral("1") << root + QStringLiteral("/dash/vod.mpd"));
    ts.start(StreamMaker::source(false, 30) << QStringLiteral("-f") << QStringLiteral("mpegts")
                                            << root + QStringLiteral("/clip.ts"));
    // The live one in real time: a sliding window of four one-second
    // segments, older segments deleted.
    live_.start(StreamMaker::source(true, 600)
                << QStringLiteral("-f") << QStringLiteral("hls") << QStringLiteral("-hls_time") << QStringLiteral("1")
                << QStringLiteral("-hls_list_size") << QStringLiteral("4") << QStringLiteral("-hls_flags")
                << QStringLiteral("delete_segments") << QStringLiteral("-hls_segment_filename")
                << root + QStringLiteral("/live/seg%d.ts") << root + QStringLiteral("/live/live.m3u8"));
    QVERIFY2(vod.finish(60000), qPrintable(vod.output()));
    QVERIFY2(ts.finish(60000), qPrintable(ts.output()));
    // DASH is optional: not every ffmpeg build has the muxer.
    dash_ = dash.finish(60000) && QFile::exists(root + QStringLiteral("/dash/vod.mpd"));

    files_ = std::make_unique<DirServer>(root);
    files_->guard(QStringLiteral("/ref"), "Referer", "https://tv.example.net/watch?ch=1,2");
    files_->guard(QStringLiteral("/ua"), "User-Agent", "SetTopBox/2.0 (\"living room\")");

    QSslConfiguration tls;
    if (!QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty() && makeLoopbackCertificate(dir_.path(), &tls))
        tls_ = std::make_unique<DirServer>(root, &tls);

    // MPEG-TS as IPTV gateways send it: no length, a few packets at a time.
    QFile asx(root + QStringLiteral("/clip.asx"));
    QVERIFY(asx.open(QIODevice::WriteOnly));
    asx.write("<asx version=\"3.0\"><entry><ref href=\"clip.ts\"/></entry></asx>\n");
    asx.close();

    QFile clip(root + QStringLiteral("/clip.ts"));
    QVERIFY(clip.open(QIODevice::ReadOnly));
    HttpFixture::Route stream;
    stream.body = clip.readAll();
    stream.contentType = "video/mp2t";
    stream.mode = HttpFixture::Mode::Stream;
    stream.slice = 8192;
    http_.route("/live.ts", stream);

    // Enough of the live window to start from.
    QTRY_VERIFY2_WITH_TIMEOUT(segmentCount(root + QStringLiteral("/live/live.m3u8")) >= 3, qPrintable(live_.output()), 30000);
}

void TestStreams::cleanupTestCase() { live_.stop(); }

// A test that took the server down is not to leave it down for the next.
void TestStreams::cleanup()
{
    if (files_)
        QVERIFY(files_->up());
}

bool TestStreams::playsWithin(MpvPlayer& player, const QString& address, const StreamOptions& options)
{
    QSignalSpy open(&player, &Player::openStateChange);
    QSignalSpy play(&player, &Player::playStateChange);
    QSignalSpy failed(&player, &MpvPlayer::failed);
    QSignalSpy frame(&player, &MpvPlayer::firstFrame);
    player.setUrl(address, options);
    QDeadlineTimer deadline(kWait);
    while (!deadline.hasExpired() && failed.isEmpty()
           && !(frame.count() > 0 && player.playState() == PlayState::Playing))
        QTest::qWait(20);
    if (frame.count() > 0 && player.playState() == PlayState::Playing)
        return true;
    QList<int> o, p;
    for (const auto& a : open)
        o << a.at(0).toInt();
    for (const auto& a : play)
        p << a.at(0).toInt();
    qWarning("%s: %s, status \"%s\"", qPrintable(address), qPrintable(events(o, p)), qPrintable(player.statusText()));
    return false;
}

void TestStreams::plays_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("live");
    QTest::newRow("live HLS, sliding window") << "files" << "/live/live.m3u8" << true;
    QTest::newRow("live HLS over https") << "https" << "/live/live.m3u8" << true;
    QTest::newRow("finished HLS") << "files" << "/vod/vod.m3u8" << false;
    QTest::newRow("finished HLS over https") << "https" << "/vod/vod.m3u8" << false;
    QTest::newRow("DASH") << "files" << "/dash/vod.mpd" << false;
    QTest::newRow("MPEG-TS over HTTP") << "gateway" << "/live.ts" << true;
}

void TestStreams::plays()
{
    QFETCH(QString, server);
    QFETCH(QString, address);
    QFETCH(bool, live);
    if (address.endsWith(QLatin1String(".mpd")) && !dash_)
        QSKIP("this ffmpeg makes no DASH stream");
    if (server == QLatin1String("https") && !tls_)
        QSKIP("no openssl to make a certificate for the https server");
    const QString url = server == QLatin1String("gateway") ? http_.url(address)
        : server == QLatin1String("https")                 ? tls_->url(address)
                                                           : files_->url(address);
    auto player = makePlayer();
    QVERIFY(playsWithin(*player, url));
    QCOMPARE(player->failure(), PlayFailure::None);
    QCOMPARE(player->engineAddress().toString(), url);
    // Live streams have no seek and are reconnected when they drop.
    QTRY_COMPARE_WITH_TIMEOUT(player->isLive(), live, kWait);
}

void TestStreams::finishedHlsPlaysToItsEnd()
{
    auto player = makePlayer();
    PlayStates states(*player);
    QSignalSpy failed(player.get(), &MpvPlayer::failed);
    QVERIFY(playsWithin(*player, files_->url(QStringLiteral("/vod/vod.m3u8"))));
    QTRY_COMPARE_WITH_TIMEOUT(player->playState(), int(PlayState::Stopped), kWait);
    QCOMPARE(states.count(PlayState::MediaEnded), 1);
    QCOMPARE(states.count(PlayState::Reconnecting), 0);
    QCOMPARE(failed.count(), 0);
    QCOMPARE(player->openState(), int(OpenState::Closed));
    QCOMPARE(player->statusText(), QStringLiteral("Đã phát xong"));
}

void TestStreams::hlsFromTheNetworkNeverOpensLocalFiles()
{
    // A playlist whose segments are files of this machine (which do play).
    QFile evil(dir_.filePath(QStringLiteral("vod/local.m3u8")));
    QVERIFY(evil.open(QIODevice::WriteOnly));
    evil.write("#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXT-X-PLAYLIST-TYPE:VOD\n");
    for (const char* segment : {"seg0.ts", "seg1.ts", "seg2.ts"})
        evil.write("#EXTINF:1,\n" + QUrl::fromLocalFile(dir_.filePath(QStringLiteral("vod/") + QLatin1String(segment))).toEncoded() + "\n");
    evil.write("#EXT-X-ENDLIST\n");
    evil.close();
    auto player = makePlayer();
    QSignalSpy failed(player.get(), &MpvPlayer::failed);
    QSignalSpy frame(player.get(), &MpvPlayer::firstFrame);
    player->setUrl(files_->url(QStringLiteral("/vod/local.m3u8")));
    QVERIFY(failed.wait(kWait));
    QCOMPARE(frame.count(), 0);
}

void TestStreams::headersGoWithTheirAddressOnly_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<StreamOptions>("options");
    QTest::addColumn<bool>("plays");
    const StreamOptions referrer{QStringLiteral("https://tv.example.net/watch?ch=1,2"), {}};
    const StreamOptions agent{{}, QStringLiteral("SetTopBox/2.0 (\"living room\")")};
    // The whole stream is guarded: its playlist and every segment.
    QTest::newRow("HLS, referrer given") << "/ref/vod/vod.m3u8" << referrer << true;
    QTest::newRow("HLS, no referrer") << "/ref/vod/vod.m3u8" << StreamOptions{} << false;
    QTest::newRow("HLS, another referrer") << "/ref/vod/vod.m3u8" << StreamOptions{QStringLiteral("https://tv.example.net/"), {}}
                                           << false;
    QTest::newRow("HLS, user agent given") << "/ua/vod/vod.m3u8" << agent << true;
    QTest::newRow("HLS, the user agent as referrer") << "/ua/vod/vod.m3u8" << StreamOptions{agent.userAgent, {}} << false;
    QTest::newRow("MPEG-TS file, referrer given") << "/ref/clip.ts" << referrer << true;
    // A playlist the player fetches itself, then its entry.
    QTest::newRow("ASX, referrer given") << "/ref/clip.asx" << referrer << true;
}

void TestStreams::headersGoWithTheirAddressOnly()
{
    QFETCH(QString, address);
    QFETCH(StreamOptions, options);
    QFETCH(bool, plays);
    auto player = makePlayer();
    const QString url = files_->url(address);
    if (plays) {
        QVERIFY(playsWithin(*player, url, options));
        // The player's own read of the manifest carries them too: without
        // them it would not learn that this stream is finished.
        if (address.endsWith(QLatin1String(".m3u8")))
            QTRY_VERIFY_WITH_TIMEOUT(!player->isLive(), kWait);
        // The next put without options asks plainly, and is refused.
        QSignalSpy failed(player.get(), &MpvPlayer::failed);
        const int refusals = files_->refusals();
        player->setUrl(url);
        QVERIFY(failed.wait(kWait));
        QVERIFY(files_->refusals() > refusals);
        return;
    }
    QSignalSpy failed(player.get(), &MpvPlayer::failed);
    player->setUrl(url, options);
    QVERIFY(failed.wait(kWait));
    // Refused by the server, and said so.
    QCOMPARE(failed.at(0).at(0).value<PlayFailure>(), PlayFailure::NotFound);
}

void TestStreams::liveHlsServerDiesAndReturns()
{
    auto player = makePlayer();
    player->setReconnectPolicy(6, 500);
    PlayStates states(*player);
    QSignalSpy failed(player.get(), &MpvPlayer::failed);
    QVERIFY(playsWithin(*player, files_->url(QStringLiteral("/live/live.m3u8"))));

    files_->down();
    QTRY_VERIFY_WITH_TIMEOUT(states.count(PlayState::Reconnecting) > 0 || !failed.isEmpty(), kWait);
    // Away for a little longer than a first reconnection waits.
    QTest::qWait(1500);
    QVERIFY(files_->up());
    const int before = states.count(PlayState::Playing);
    QDeadlineTimer deadline(kWait);
    while (!deadline.hasExpired() && failed.isEmpty() && states.count(PlayState::Playing) == before)
        QTest::qWait(50);
    QVERIFY2(failed.isEmpty(), qPrintable(failed.isEmpty() ? QString() : failureText(failed.at(0).at(0).value<PlayFailure>())));
    QVERIFY(states.count(PlayState::Playing) > before);
    QCOMPARE(player->playState(), int(PlayState::Playing));
}

void TestStreams::liveHlsThatStopsAdvancingIsReconnected()
{
    // The encoder stops; the server goes on serving the same old window.
    auto player = makePlayer();
    player->setReconnectPolicy(1, 200);
    PlayStates states(*player);
    QSignalSpy failed(player.get(), &MpvPlayer::failed);
    QVERIFY(playsWithin(*player, files_->url(QStringLiteral("/live/live.m3u8"))));
    live_.stop();
    QVERIFY(failed.wait(kWait + 3 * kBound));
    QCOMPARE(states.count(PlayState::Reconnecting), 1);
    QCOMPARE(failed.at(0).at(0).value<PlayFailure>(), PlayFailure::ConnectionLost);
}

QTEST_MAIN(TestStreams)
#include "tst_streams.moc"
