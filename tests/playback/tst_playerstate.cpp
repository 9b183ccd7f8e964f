// The player's transitions without an engine: what each event does to the
// state and what it asks to be done, from the paths of a stream's life (it
// plays, ends, fails, is looked at, drops and comes back) and the events
// that must change nothing.
#include "playerstate.h"
#include "playerstates.h"

#include <QRegularExpression>
#include <QTest>

using namespace miravon;

namespace {

const QString kA = QStringLiteral("http://127.0.0.1:8080/a");
const QString kB = QStringLiteral("http://127.0.0.1:8080/b");

PlayFailure failureNamed(const QString& name)
{
    for (int f = int(PlayFailure::None); f <= int(PlayFailure::ConnectionLost); ++f) {
        if (describe(act::Failed{PlayFailure(f)}) == QStringLiteral("failed(%1)").arg(name))
            return PlayFailure(f);
    }
    qFatal("no failure named %s", qPrintable(name));
}

// A player's state driven by one word per event:
//   play, play2 (two streams), standin  - the windows put an address
//   cand, ready, reply, refused, stale  - the resolver's candidate, its load, the engine's reply
//   started, loaded, restart            - the engine starts, loads, (re)starts playback
//   eof, error, noao                    - the file ends, fails, ends without an audio output
//   pause, resume, cache, cached, fill50, pos<s>, dur<s>, seekable, sized, hls, video, audio, ao
//   manifest-live, manifest-vod
//   fetch, answering, parsed, unplayable:<reason>, allplayed
//   works, lookfail:<reason>            - what the look at a failed candidate finds
//   t-noprogress, t-retry, t-steady, t-sound, t-times
//   close, stop, toggle, seek<s>, frame, startfailed, released, late
//   nosurface                           - (settings) frames are not shown by a surface
//   @playing = play cand ready reply started loaded restart
struct Driver {
    PlayerState state;
    QStringList actions; // of the words fed since the last clear

    Driver() { state.settings.noProgressMs = 3000; }

    void feed(const QString& words)
    {
        for (const QString& w : words.split(u' ', Qt::SkipEmptyParts)) {
            if (w == QLatin1String("@playing"))
                feed(QStringLiteral("play cand ready reply started loaded restart"));
            else if (w == QLatin1String("nosurface"))
                state.settings.surfaceShowsFrames = false;
            else
                step(event(w));
        }
    }

    void step(const PlayerEvent& e)
    {
        PlayerTransition t = transition(state, e);
        state = std::move(t.state);
        for (const PlayerAction& a : t.actions)
            actions << describe(a);
    }

    PlayerEvent event(const QString& w) const
    {
        const Candidate& c = state.attempt.candidate;
        const double n = w.mid(w.indexOf(QRegularExpression(QStringLiteral("[0-9]")))).toDouble();
        const QString reason = w.section(u':', 1);
        FileEnd end;
        end.entry = c.expected;
        if (w == QLatin1String("play")) return ev::Play{{{kA, {}}}};
        if (w == QLatin1String("play2")) return ev::Play{{{kA, {}}, {kB, {}}}};
        if (w == QLatin1String("standin")) return ev::Play{{{QStringLiteral("http://tv.channel.example/live"), {}}}};
        if (w == QLatin1String("cand")) return ev::CandidateGiven{QUrl(state.attempt.stream()->url)};
        if (w == QLatin1String("ready")) return ev::LoadReady{true};
        if (w == QLatin1String("reply")) return ev::LoadReplied{c.serial, true, qint64(c.serial)};
        if (w == QLatin1String("refused")) return ev::LoadReplied{c.serial, false, -1};
        if (w == QLatin1String("stale")) return ev::LoadReplied{c.serial + 99, true, 99};
        if (w == QLatin1String("started")) return ev::FileStarted{qint64(c.serial)};
        if (w == QLatin1String("loaded")) return ev::FileLoaded{};
        if (w == QLatin1String("restart")) return ev::PlaybackRestarted{};
        if (w == QLatin1String("eof")) { end.reason = FileEndReason::EndOfFile; return ev::FileEnded{end}; }
        if (w == QLatin1String("error")) { end.reason = FileEndReason::Error; return ev::FileEnded{end}; }
        if (w == QLatin1String("noao")) {
            end.reason = FileEndReason::Error;
            end.audioOutputFailed = true;
            return ev::FileEnded{end};
        }
        if (w == QLatin1String("pause")) return ev::Paused{true};
        if (w == QLatin1String("resume")) return ev::Paused{false};
        if (w == QLatin1String("cache")) return ev::WaitingForCache{true};
        if (w == QLatin1String("cached")) return ev::WaitingForCache{false};
        if (w.startsWith(QLatin1String("fill"))) return ev::BufferFill{int(n)};
        if (w.startsWith(QLatin1String("pos"))) return ev::Position{n};
        if (w.startsWith(QLatin1String("dur"))) return ev::Duration{n};
        if (w == QLatin1String("seekable")) return ev::Seekable{true};
        if (w == QLatin1String("sized")) return ev::Sized{true};
        if (w == QLatin1String("hls")) return ev::Format{true};
        if (w == QLatin1String("video")) return ev::VideoTrack{true};
        if (w == QLatin1String("audio")) return ev::AudioTrack{true};
        if (w == QLatin1String("ao")) return ev::AudioOutput{true};
        if (w == QLatin1String("manifest-live")) return ev::ManifestSays{true};
        if (w == QLatin1String("manifest-vod")) return ev::ManifestSays{false};
        if (w == QLatin1String("fetch")) return ev::FetchStarted{};
        if (w == QLatin1String("answering")) return ev::FetchAnswering{};
        if (w == QLatin1String("parsed")) return ev::PlaylistParsed{};
        if (w.startsWith(QLatin1String("unplayable:"))) return ev::Unplayable{failureNamed(reason)};
        if (w == QLatin1String("allplayed")) return ev::AllPlayed{};
        if (w == QLatin1String("works")) return ev::LookWorks{};
        if (w.startsWith(QLatin1String("lookfail:"))) return ev::LookFailed{failureNamed(reason)};
        if (w == QLatin1String("t-noprogress")) return ev::Timer{PlayerTimer::NoProgress};
        if (w == QLatin1String("t-retry")) return ev::Timer{PlayerTimer::Retry};
        if (w == QLatin1String("t-steady")) return ev::Timer{PlayerTimer::Steady};
        if (w == QLatin1String("t-sound")) return ev::Timer{PlayerTimer::SoundLook};
        if (w == QLatin1String("t-times")) return ev::Timer{PlayerTimer::Times};
        if (w == QLatin1String("close")) return ev::Close{};
        if (w == QLatin1String("stop")) return ev::Stop{};
        if (w == QLatin1String("toggle")) return ev::TogglePause{};
        if (w.startsWith(QLatin1String("seek"))) return ev::Seek{n};
        if (w == QLatin1String("frame")) return ev::FrameShown{};
        if (w == QLatin1String("startfailed")) return ev::EngineStartFailed{};
        if (w == QLatin1String("released")) return ev::EngineReleased{};
        if (w == QLatin1String("late")) return ev::RenderContextLate{};
        qFatal("unknown event word %s", qPrintable(w));
    }
};

// `expected`: tokens that must come in this order among the actions ("*"
// at the end matches any rest); "!token" must not come after the token
// before it; "-" alone: no action at all.
QString mismatch(const QStringList& actions, const QString& expected)
{
    if (expected == QLatin1String("-"))
        return actions.isEmpty() ? QString() : QStringLiteral("expected no action");
    const auto matches = [](const QString& action, QString token) {
        if (token.endsWith(u'*')) {
            token.chop(1);
            return action.startsWith(token);
        }
        return action == token;
    };
    qsizetype at = 0;
    for (const QString& token : expected.split(u' ', Qt::SkipEmptyParts)) {
        if (token.startsWith(u'!')) {
            for (qsizetype i = at; i < actions.size(); ++i) {
                if (matches(actions.at(i), token.mid(1)))
                    return QStringLiteral("unexpected %1").arg(actions.at(i));
            }
            continue;
        }
        while (at < actions.size() && !matches(actions.at(at), token))
            ++at;
        if (at == actions.size())
            return QStringLiteral("missing %1").arg(token);
        ++at;
    }
    return {};
}

} // namespace

class TestPlayerState : public QObject {
    Q_OBJECT
private slots:
    void transitions_data();
    void transitions();
};

void TestPlayerState::transitions_data()
{
    QTest::addColumn<QString>("before");   // events that lead up to the case
    QTest::addColumn<QString>("events");   // the events whose actions are looked at
    QTest::addColumn<QString>("expected"); // see mismatch()
    QTest::addColumn<QString>("phase");

    // A stream's way to playing.
    QTest::newRow("an address: changing, the resolver starts")
        << "" << "play" << "keepEngine ensureEngine o8 p9 transport resolve(http://127.0.0.1:8080/a)" << "Changing";
    QTest::newRow("a stand-in makes no engine") << "" << "standin" << "!ensureEngine" << "Changing";
    QTest::newRow("a candidate: to the engine, under the bound")
        << "play" << "cand" << "o10 p7 start(noprogress,3000) requestLoad" << "EngineLoading";
    QTest::newRow("loaded once the engine is ready") << "play cand" << "ready" << "load(http://127.0.0.1:8080/a)"
                                                     << "EngineLoading";
    QTest::newRow("the engine takes it and starts") << "play cand ready" << "reply started"
                                                    << "o12 start(noprogress,3000)" << "EngineOpening";
    QTest::newRow("a reply to an earlier load is not this one's") << "play cand ready" << "stale" << "-"
                                                                 << "EngineLoading";
    QTest::newRow("the file opens: the picture may show") << "play cand ready reply started" << "loaded"
                                                         << "o13 p6 unblank transport" << "FileOpen";
    QTest::newRow("playback starts: playing, told once") << "play cand ready reply started loaded" << "restart"
                                                        << "start(sound,1000) streamPlaying(0) p3" << "Playing";
    QTest::newRow("started while paused: paused") << "play cand ready reply started loaded pause" << "restart"
                                                 << "!p3 !streamPlaying*" << "Paused";
    QTest::newRow("started while the cache fills: buffering")
        << "play cand ready reply started loaded cache" << "restart" << "!p3" << "Buffering";
    QTest::newRow("the cache filled: playing again, not told again")
        << "@playing cache fill40" << "cached" << "p3 !streamPlaying*" << "Playing";
    QTest::newRow("buffering shows how far") << "@playing cache" << "fill40" << "activity2@40 start(noprogress*"
                                             << "Buffering";
    QTest::newRow("paused: no bound while paused") << "@playing" << "pause" << "p2 stop(noprogress)" << "Paused";
    QTest::newRow("resumed: playing, under the bound again") << "@playing pause" << "resume"
                                                            << "p3 start(noprogress,3000)" << "Playing";
    QTest::newRow("toggle pauses the engine") << "@playing" << "toggle" << "pause(on)" << "Playing";
    QTest::newRow("a new address while paused plays") << "@playing pause" << "play" << "pause(off) resolve*"
                                                     << "Changing";
    QTest::newRow("a playlist is fetched, answers, is parsed")
        << "play" << "fetch answering parsed" << "stop(noprogress) o3 o4 o7" << "PlaylistChanged";

    // Films end, and go on with the playlist's next entry.
    QTest::newRow("a film ends: the resolver goes on") << "@playing dur600 sized" << "eof"
                                                       << "p8 stop(noprogress) candidateEnded" << "EntryEnded";
    QTest::newRow("nothing further: finished") << "@playing dur600 sized eof" << "allplayed"
                                              << "o0 p1 transport releaseLater" << "Finished";
    QTest::newRow("stop on a finished player does nothing") << "@playing dur600 sized eof allplayed" << "stop"
                                                           << "-" << "Finished";
    QTest::newRow("play after a stop starts the stream again") << "@playing close" << "toggle"
                                                              << "o8 p9 resolve(http://127.0.0.1:8080/a)" << "Changing";
    QTest::newRow("a film seeks") << "@playing dur600 sized seekable pos3" << "seek10" << "seek(10)" << "Playing";
    QTest::newRow("a live stream does not") << "@playing seekable" << "seek10" << "-" << "Playing";

    // What the engine could not play is looked at, and the resolver told.
    QTest::newRow("refused by the engine: the next alternative") << "play cand ready" << "refused"
                                                                << "candidateFailed(NotMedia)" << "EngineLoading";
    QTest::newRow("failed in the engine, the server works: not media")
        << "play cand ready reply started" << "error works" << "!o* !p* look(http://127.0.0.1:8080/a) candidateFailed(NotMedia)"
        << "Looking";
    QTest::newRow("silent to the engine, the server works: timed out")
        << "play cand ready reply started" << "t-noprogress works"
        << "stopEngine look(http://127.0.0.1:8080/a) candidateFailed(TimedOut)" << "Looking";
    QTest::newRow("the look's own reason") << "play cand ready reply started" << "error lookfail:NotFound"
                                           << "candidateFailed(NotFound)" << "Looking";
    QTest::newRow("a film that fails after playing is looked at") << "@playing dur600 sized" << "error"
                                                                 << "look* !start(retry*" << "Looking";
    QTest::newRow("the engine does not start: failed") << "play" << "startfailed" << "failed(NotMedia)" << "Failed";
    QTest::newRow("nothing left to try: failed, said once")
        << "play" << "unplayable:NotFound"
        << "cancelResolve o0 p10 showFailure(NotFound) transport releaseLater failed(NotFound)" << "Failed";

    // An address's streams, in turn.
    QTest::newRow("the first stream fails: the second, said in the picture")
        << "play2" << "unplayable:TimedOut"
        << "message(Đang* resolve(http://127.0.0.1:8080/b) !failed*" << "Changing";
    QTest::newRow("all fail: the most informative reason of them all")
        << "play2 unplayable:NotFound" << "unplayable:TimedOut" << "failed(NotFound)" << "Failed";
    QTest::newRow("the second plays: that one is told") << "play2 unplayable:NotFound cand ready reply started loaded"
                                                       << "restart" << "streamPlaying(1)" << "Playing";
    QTest::newRow("found: the picture's message goes") << "play2 unplayable:NotFound cand ready reply started"
                                                      << "loaded" << "message()" << "FileOpen";

    // Live streams drop and come back.
    QTest::newRow("a live stream drops: reconnecting after a delay")
        << "@playing" << "error" << "stop(steady) start(retry,1000) blank o10 p11 transport" << "Reconnecting";
    QTest::newRow("a live stream stalls: dropped") << "@playing" << "t-noprogress"
                                                   << "stopEngine start(retry,1000) p11" << "Reconnecting";
    QTest::newRow("the attempt: the same address to the engine") << "@playing error" << "t-retry"
                                                                << "p7 requestLoad" << "EngineLoading";
    QTest::newRow("an attempt that fails: the delay doubles")
        << "@playing error t-retry ready reply started" << "error" << "start(retry,2000)" << "Reconnecting";
    QTest::newRow("attempts used up: connection lost")
        << "@playing error t-retry ready reply started error t-retry ready reply started error t-retry ready reply "
           "started"
        << "error" << "failed(ConnectionLost)" << "Failed";
    QTest::newRow("plays again, drops before it is steady: the round goes on")
        << "@playing error t-retry ready reply started loaded restart" << "error" << "start(retry,2000)"
        << "Reconnecting";
    QTest::newRow("steady again: a later drop starts a new round")
        << "@playing error t-retry ready reply started loaded restart t-steady" << "error" << "start(retry,1000)"
        << "Reconnecting";
    QTest::newRow("won back: steady is timed once") << "@playing error t-retry ready reply started loaded"
                                                    << "restart" << "start(steady,30000) p3" << "Playing";
    QTest::newRow("HLS: its manifest is read once") << "@playing" << "hls hls" << "readManifest !readManifest"
                                                    << "Playing";
    QTest::newRow("an HLS film by its manifest does not reconnect")
        << "@playing hls manifest-vod dur30 seekable pos0" << "error" << "look* !start(retry*" << "Looking";

    // Sound, pictures, the transport bar.
    QTest::newRow("a sound track and no output: told") << "@playing audio" << "t-sound" << "noSound" << "Playing";
    QTest::newRow("an output: nothing told") << "@playing audio ao" << "t-sound" << "-" << "Playing";
    QTest::newRow("told once only") << "@playing audio t-sound pause resume" << "restart" << "!start(sound*"
                                    << "Playing";
    QTest::newRow("no output at the end of a film: it ended, told")
        << "@playing dur600 sized" << "noao" << "noSound p8 candidateEnded" << "EntryEnded";
    QTest::newRow("the first frame shown, once") << "@playing" << "frame frame" << "firstFrame !firstFrame"
                                                 << "Playing";
    QTest::newRow("no surface: a frame once playback starts with video")
        << "nosurface play cand ready reply started loaded video" << "restart" << "firstFrame" << "Playing";
    QTest::newRow("positions: one tick for many") << "@playing" << "pos1 pos1.03 pos1.07 dur600"
                                                  << "start(times,100) !start(times*" << "Playing";
    QTest::newRow("the tick shows them") << "@playing pos1 pos1.03" << "t-times" << "times" << "Playing";
    QTest::newRow("after the tick, the next one") << "@playing pos1 t-times" << "pos2" << "start(times,100)"
                                                  << "Playing";
    QTest::newRow("a render context after the load: the video again") << "play cand ready" << "late"
                                                                      << "reselectVideo" << "EngineLoading";
    QTest::newRow("none without a load of this engine") << "play cand ready released" << "late" << "-"
                                                        << "EngineLoading";

    // Close, and what comes after an address was dropped.
    QTest::newRow("close: everything dropped, stopped") << "@playing"
                                                        << "close"
                                                        << "cancelResolve cancelLook cancelManifest stop(retry) "
                                                           "cancelLoad stopEngine blank o0 p1 transport releaseLater"
                                                        << "Stopped";
    QTest::newRow("close of an idle player: nothing") << "" << "close" << "-" << "Idle";
    QTest::newRow("a second close: nothing") << "@playing close" << "close" << "-" << "Stopped";
    QTest::newRow("the old address's file opens: not this one's")
        << "play cand ready reply started play" << "loaded" << "-" << "Changing";
    QTest::newRow("the old address's file ends: not this one's")
        << "play cand ready reply started loaded play cand ready" << "error" << "-" << "EngineLoading";
    QTest::newRow("a look after close says nothing") << "play cand ready reply started error close" << "works"
                                                     << "-" << "Stopped";
}

void TestPlayerState::transitions()
{
    QFETCH(QString, before);
    QFETCH(QString, events);
    QFETCH(QString, expected);
    QFETCH(QString, phase);
    Driver d;
    d.feed(before);
    d.actions.clear();
    d.feed(events);
    const QString wrong = mismatch(d.actions, expected);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong + QStringLiteral(" in: ") + d.actions.join(u' ')));
    QCOMPARE(describe(d.state.phase), phase);
}

QTEST_GUILESS_MAIN(TestPlayerState)
#include "tst_playerstate.moc"
