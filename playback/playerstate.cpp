#include "playerstate.h"

#include "playerstates.h"
#include "standin.h"

#include <algorithm>
#include <iterator>

namespace miravon {

namespace {

constexpr int kKeep = -1;
// The transport bar's position and length are shown at most this often.
constexpr int kTimesIntervalMs = 100;
// Playback started: this long without an audio output means none opened.
constexpr int kSoundLookMs = 1000;

// The one mapping from what happens to the player to the state codes it
// raises and the status its view shows. The open state is always raised
// before the play state, so that a window's status line, which shows the
// message of the last event, ends on the play-state message.
struct PhaseRow {
    int openState;
    int playState;
    int activity; // PlayerActivity, or kKeep
};
constexpr PhaseRow phaseRow(PlayerPhase phase)
{
    using A = PlayerActivity;
    constexpr PhaseRow rows[] = {
        /* Idle */ {kKeep, kKeep, kKeep},
        /* Changing */ {OpenState::MediaChanging, PlayState::Transitioning, int(A::Connecting)},
        /* PlaylistConnecting */ {OpenState::PlaylistConnecting, kKeep, kKeep},
        /* PlaylistLoading */ {OpenState::PlaylistLoading, kKeep, kKeep},
        /* PlaylistChanged */ {OpenState::PlaylistChanged, kKeep, kKeep},
        /* EngineLoading */ {OpenState::MediaConnecting, PlayState::Waiting, kKeep},
        /* EngineOpening */ {OpenState::MediaOpening, kKeep, kKeep},
        /* FileOpen */ {OpenState::MediaOpen, PlayState::Buffering, int(A::Buffering)},
        /* Buffering */ {kKeep, PlayState::Buffering, int(A::Buffering)},
        /* Playing */ {kKeep, PlayState::Playing, int(A::Playing)},
        /* Paused */ {kKeep, PlayState::Paused, int(A::Paused)},
        /* Looking */ {kKeep, kKeep, kKeep},
        /* EntryEnded */ {kKeep, PlayState::MediaEnded, kKeep},
        /* Reconnecting */ {OpenState::MediaConnecting, PlayState::Reconnecting, int(A::Reconnecting)},
        /* Finished */ {OpenState::Closed, PlayState::Stopped, int(A::Finished)},
        /* Failed */ {OpenState::Closed, PlayState::Ready, int(A::Failed)},
        /* Stopped */ {OpenState::Closed, PlayState::Stopped, int(A::Stopped)},
    };
    static_assert(std::size(rows) == std::size_t(PlayerPhase::Stopped) + 1, "a row for every phase");
    return rows[int(phase)];
}

// One transition being worked out: the state it changes and what it says
// to do.
class Step {
public:
    explicit Step(PlayerState state)
        : s(std::move(state))
    {
    }

    PlayerState s;
    QList<PlayerAction> out;

    Attempt& a() { return s.attempt; }
    Candidate& c() { return s.attempt.candidate; }

    void operator()(const ev::Play& e)
    {
        if (e.streams.isEmpty())
            return;
        a().streams = e.streams;
        a().failedBefore = PlayFailure::None;
        startStream(0);
    }
    void operator()(const ev::Close&) { close(); }
    void operator()(const ev::Stop&)
    {
        if (s.isActive())
            close();
    }
    void operator()(const ev::TogglePause&)
    {
        if (s.isLoaded()) {
            out << act::SetPause{!s.enginePaused};
            return;
        }
        // Stopped or finished: play starts the stream played last again.
        const bool stopped = s.phase == PlayerPhase::Stopped || s.phase == PlayerPhase::Finished;
        if (stopped && !a().streams.isEmpty()) {
            a().failedBefore = PlayFailure::None;
            startStream(a().index);
        }
    }
    void operator()(const ev::Seek& e)
    {
        if (s.isLoaded() && c().live.facts().seekable && !s.isLive())
            out << act::SeekTo{e.seconds};
    }

    void operator()(const ev::EngineStartFailed&)
    {
        if (s.isActive())
            fail(PlayFailure::NotMedia);
    }
    void operator()(const ev::EngineReleased&)
    {
        c().serial = 0;
        s.enginePaused = false; // the next engine starts playing
    }
    void operator()(const ev::RenderContextLate&)
    {
        // The file started without a render context: its video is made again.
        if (c().serial != 0)
            out << act::ReselectVideo{};
    }
    void operator()(const ev::LoadReady& e)
    {
        const StreamAddress* stream = a().stream();
        if (c().url.isEmpty() || !stream)
            return;
        c().serial = ++s.loads;
        c().expected = c().started = -1;
        out << act::Load{c().url, stream->options, c().serial, e.withVideo};
    }
    void operator()(const ev::FrameShown&)
    {
        if (s.isLoaded() && c().isCurrent())
            showFirstFrame();
    }

    void operator()(const ev::LoadReplied& e)
    {
        if (e.serial == 0 || e.serial != c().serial)
            return;
        if (!e.ok) {
            c().url.clear();
            out << act::CandidateFailed{PlayFailure::NotMedia};
            return;
        }
        c().expected = e.entry;
        if (c().isCurrent())
            enter(PlayerPhase::EngineOpening);
    }
    void operator()(const ev::FileStarted& e)
    {
        c().started = e.entry;
        if (c().isCurrent()) {
            enter(PlayerPhase::EngineOpening);
            progress();
        }
    }
    void operator()(const ev::FileLoaded&)
    {
        if (!c().isCurrent())
            return;
        enter(PlayerPhase::FileOpen);
        out << act::Unblank{};
        if (a().index > 0)
            out << act::ShowMessage{}; // "trying stream n": it is found
        progress();
        out << act::ShowTransport{};
    }
    void operator()(const ev::PlaybackRestarted&)
    {
        if (!s.isLoaded() || !c().isCurrent())
            return;
        c().restarted = true;
        progress();
        maybeFirstFrame();
        if (!s.noSoundTold)
            out << act::StartTimer{PlayerTimer::SoundLook, kSoundLookMs};
        if (playsNow())
            becomePlaying();
    }
    void operator()(const ev::FileEnded& e) { fileEnded(e.end); }
    void operator()(const ev::Paused& e)
    {
        s.enginePaused = e.on;
        if (c().isCurrent() && s.isLoaded()) {
            if (e.on) {
                enter(PlayerPhase::Paused);
                out << act::StopTimer{PlayerTimer::NoProgress};
            } else if (playsNow()) {
                becomePlaying();
                progress();
            }
        }
        out << act::ShowTransport{};
    }
    void operator()(const ev::WaitingForCache& e)
    {
        if (!c().isCurrent() || !s.isLoaded())
            return;
        c().waitingForCache = e.on;
        if (e.on)
            enter(PlayerPhase::Buffering);
        else if (playsNow())
            becomePlaying();
    }
    void operator()(const ev::BufferFill& e)
    {
        if (c().isCurrent() && c().waitingForCache) {
            out << act::ShowActivity{PlayerActivity::Buffering, e.percent};
            progress();
        }
    }
    void operator()(const ev::Position& e)
    {
        if (!c().isCurrent())
            return;
        if (e.seconds != c().live.facts().position)
            progress();
        c().live.setPosition(e.seconds);
        showTimes();
    }
    void operator()(const ev::CacheGrew&)
    {
        if (c().isCurrent())
            progress();
    }
    void operator()(const ev::Duration& e)
    {
        if (!c().isCurrent())
            return;
        c().live.setDuration(e.seconds);
        showTimes();
    }
    void operator()(const ev::Seekable& e)
    {
        if (!c().isCurrent())
            return;
        c().live.setSeekable(e.on);
        out << act::ShowTransport{};
    }
    void operator()(const ev::Sized& e)
    {
        if (!c().isCurrent())
            return;
        c().live.setSized(e.on);
        out << act::ShowTransport{};
    }
    void operator()(const ev::Format& e)
    {
        if (!c().isCurrent())
            return;
        // Segmented streams (HLS, DASH): live or not, their manifest says.
        if (e.segmented && !c().live.facts().segmented)
            out << act::ReadManifest{c().url, options(), lookBound()};
        c().live.setSegmented(e.segmented);
        out << act::ShowTransport{};
    }
    void operator()(const ev::VideoTrack& e)
    {
        if (!c().isCurrent())
            return;
        c().hasVideo = e.present;
        maybeFirstFrame();
    }
    void operator()(const ev::AudioTrack& e) { s.soundTrack = e.present; }
    void operator()(const ev::AudioOutput& e) { s.soundOutput = e.open; }

    void operator()(const ev::FetchStarted&)
    {
        out << act::StopTimer{PlayerTimer::NoProgress};
        enter(PlayerPhase::PlaylistConnecting);
    }
    void operator()(const ev::FetchAnswering&) { enter(PlayerPhase::PlaylistLoading); }
    void operator()(const ev::PlaylistParsed&) { enter(PlayerPhase::PlaylistChanged); }
    void operator()(const ev::CandidateGiven& e) { startCandidate(e.url); }
    void operator()(const ev::Unplayable& e) { fail(e.reason); }
    void operator()(const ev::AllPlayed&)
    {
        out << act::StopTimer{PlayerTimer::NoProgress};
        enter(PlayerPhase::Finished);
        out << act::ShowTransport{} << act::ReleaseLater{};
    }
    // Why the engine could not play the candidate: what the look finds.
    void operator()(const ev::LookWorks&)
    {
        if (s.isActive())
            out << act::CandidateFailed{a().lookWorksMeans};
    }
    void operator()(const ev::LookFailed& e)
    {
        if (s.isActive())
            out << act::CandidateFailed{e.reason};
    }
    void operator()(const ev::LookRead& e)
    {
        if (s.isActive())
            out << act::CandidateRead{e.head, e.url, e.whole};
    }
    void operator()(const ev::ManifestSays& e)
    {
        c().live.setManifestLive(e.live);
        out << act::ShowTransport{};
    }
    void operator()(const ev::Timer& e)
    {
        switch (e.timer) {
        case PlayerTimer::NoProgress:
            noProgress();
            break;
        case PlayerTimer::Retry:
            // The address the outage dropped, again.
            if (s.isActive() && !c().url.isEmpty())
                startCandidate(c().url);
            break;
        case PlayerTimer::Steady:
            a().reconnection = Reconnection{};
            break;
        case PlayerTimer::SoundLook:
            // Playing with a sound track but no audio output: the device
            // could not be opened.
            if (s.soundTrack && !s.soundOutput)
                tellNoSound();
            break;
        case PlayerTimer::Times:
            s.timesDue = false;
            out << act::ShowTimes{};
            break;
        }
    }

private:
    const StreamOptions& options()
    {
        static const StreamOptions none;
        const StreamAddress* stream = a().stream();
        return stream ? stream->options : none;
    }
    // How long the look at a failed candidate and the read of its manifest
    // may take: the address check's wait, never past the no-progress bound.
    int lookBound() const { return std::min(s.settings.noProgressMs, failureReasonWaitMs); }

    void enter(PlayerPhase phase)
    {
        s.phase = phase;
        const PhaseRow row = phaseRow(phase);
        if (row.openState != kKeep && row.openState != s.openCode) {
            s.openCode = row.openState;
            out << act::RaiseOpen{row.openState};
        }
        if (row.playState != kKeep && row.playState != s.playCode) {
            s.playCode = row.playState;
            out << act::RaisePlay{row.playState};
        }
        if (row.activity != kKeep)
            out << act::ShowActivity{PlayerActivity(row.activity)};
    }

    // The engine still has, or may have, something of this attempt.
    bool engineBusy() { return !c().url.isEmpty() || c().serial != 0; }

    // Everything in flight for the attempt is dropped: fetches, looks,
    // timers, a load waiting, and what the engine plays. The attempt is
    // replaced whole; only which streams there are, and which was tried,
    // stay. Events of the old attempt are ignored from here on (its load
    // serial is gone).
    void dropAttempt()
    {
        out << act::CancelResolve{} << act::CancelLook{} << act::CancelManifest{}
            << act::StopTimer{PlayerTimer::NoProgress} << act::StopTimer{PlayerTimer::Retry}
            << act::StopTimer{PlayerTimer::Steady} << act::StopTimer{PlayerTimer::SoundLook} << act::CancelLoad{};
        if (engineBusy())
            out << act::StopEngine{};
        Attempt next;
        next.streams = a().streams;
        next.index = a().index;
        next.failedBefore = a().failedBefore;
        s.attempt = std::move(next);
    }

    void startStream(int index)
    {
        const StreamAddress stream = a().streams.at(index);
        out << act::KeepEngine{};
        // A stand-in fails at once (the resolver says so): no engine for it.
        if (!isStandInAddress(stream.url.trimmed()))
            out << act::EnsureEngine{};
        // Whatever the engine was playing stops now, not when the new
        // address gets to it: that may take a playlist fetch, or never come.
        dropAttempt();
        a().index = index;
        // The engine's pause outlives its file: a new address plays.
        if (s.enginePaused) {
            s.enginePaused = false;
            out << act::SetPause{false};
        }
        out << act::ShowFailure{PlayFailure::None} << act::Blank{};
        if (index > 0)
            out << act::ShowMessage{QStringLiteral("Đang thử nguồn %1/%2 …").arg(index + 1).arg(a().streams.size())};
        enter(PlayerPhase::Changing);
        out << act::ShowTransport{} << act::Resolve{stream};
    }

    void close()
    {
        if (!s.isActive() && c().url.isEmpty())
            return;
        dropAttempt();
        out << act::Blank{};
        enter(PlayerPhase::Stopped);
        out << act::ShowTransport{} << act::ReleaseLater{};
    }

    void fail(PlayFailure reason)
    {
        // The address's next stream, while there is one.
        if (s.isActive() && a().index + 1 < a().streams.size()) {
            a().failedBefore = moreInformative(a().failedBefore, reason);
            startStream(a().index + 1);
            return;
        }
        if (a().streams.size() > 1)
            reason = moreInformative(reason, a().failedBefore);
        dropAttempt();
        a().failure = reason;
        enter(PlayerPhase::Failed);
        out << act::ShowFailure{reason} << act::ShowTransport{} << act::ReleaseLater{} << act::Failed{reason};
    }

    void startCandidate(const QUrl& url)
    {
        Candidate next;
        next.url = url;
        c() = std::move(next);
        out << act::CancelManifest{};
        enter(PlayerPhase::EngineLoading);
        progress();
        out << act::RequestLoad{};
    }

    // The candidate is over for the engine: it ended, or the engine could
    // not play it.
    void endCandidate()
    {
        c().url.clear();
        out << act::StopTimer{PlayerTimer::SoundLook} << act::StopTimer{PlayerTimer::NoProgress};
    }

    // The engine made progress: the no-progress bound starts again.
    void progress()
    {
        if (s.isActive() && !s.enginePaused && !c().url.isEmpty())
            out << act::StartTimer{PlayerTimer::NoProgress, s.settings.noProgressMs};
    }

    // Whether playback runs now: the file loaded, (re)started, neither
    // paused nor waiting for its cache.
    bool playsNow()
    {
        return c().isCurrent() && s.isLoaded() && c().restarted && !s.enginePaused && !c().waitingForCache;
    }

    void becomePlaying()
    {
        if (!a().played)
            out << act::StreamPlaying{a().index};
        a().played = true;
        // An outage is over; a live stream that plays on for the steady
        // time is won back, and a later drop starts a new round.
        Reconnection& r = a().reconnection;
        if (r.round == Reconnection::Round::Outage)
            r.round = Reconnection::Round::None;
        if (s.isLive() && r.round != Reconnection::Round::Steadying) {
            r.round = Reconnection::Round::Steadying;
            out << act::StartTimer{PlayerTimer::Steady, s.settings.steadyMs};
        }
        enter(PlayerPhase::Playing);
    }

    // A drop now is a live stream's: one in an outage, or a live one that
    // has played.
    bool dropIsLive()
    {
        return a().reconnection.round == Reconnection::Round::Outage || (a().played && s.isLive());
    }

    void liveStreamDropped()
    {
        out << act::StopTimer{PlayerTimer::NoProgress};
        Reconnection& r = a().reconnection;
        out << act::StopTimer{PlayerTimer::Steady};
        if (r.made >= s.settings.reconnectAttempts) {
            r.round = Reconnection::Round::None;
            fail(PlayFailure::ConnectionLost);
            return;
        }
        r.made++;
        // Until it plays again, whatever happens to an attempt is part of
        // this outage: a refused or silent attempt waits for the next one.
        r.round = Reconnection::Round::Outage;
        out << act::StartTimer{PlayerTimer::Retry, s.settings.reconnectDelayMs << std::min(r.made - 1, 10)};
        out << act::StopTimer{PlayerTimer::SoundLook} << act::Blank{};
        enter(PlayerPhase::Reconnecting);
        out << act::ShowTransport{};
    }

    void fileEnded(const FileEnd& end)
    {
        if (end.entry != c().expected || c().expected < 0)
            return;
        c().expected = -1;
        if (end.reason == FileEndReason::Stopped)
            return;
        if (end.audioOutputFailed)
            tellNoSound();
        if (dropIsLive()) {
            liveStreamDropped();
            return;
        }
        // Without a sound device the engine reports a file it played
        // (pictures only) as failed: it ended all the same.
        const bool ended = end.reason == FileEndReason::EndOfFile || (end.audioOutputFailed && c().restarted);
        if (ended && s.isLoaded()) {
            enter(PlayerPhase::EntryEnded);
            endCandidate();
            out << act::CandidateEnded{};
            return;
        }
        // Why is found out by looking at the candidate as the address check
        // does: its first bytes for a web address (which may turn out a
        // playlist, read on by the resolver), its server otherwise.
        lookAt(PlayFailure::NotMedia);
    }

    void lookAt(PlayFailure worksMeans)
    {
        const QUrl url = c().url;
        endCandidate();
        enter(PlayerPhase::Looking);
        a().lookWorksMeans = worksMeans;
        out << act::Look{url, options(), lookBound()};
    }

    void noProgress()
    {
        if (!s.isActive() || c().url.isEmpty())
            return;
        out << act::StopEngine{};
        c().expected = c().started = -1;
        c().serial = 0;
        // A live stream that stalls is a dropped one.
        if (dropIsLive()) {
            liveStreamDropped();
            return;
        }
        // This alternative is silent to the engine; the next one may not
        // be. Why is asked as the address check asks it: a server silent to
        // anyone timed out, but one may refuse a part the engine waits for
        // (an HLS segment gone), or take the connection and never answer
        // in kind.
        lookAt(PlayFailure::TimedOut);
    }

    void maybeFirstFrame()
    {
        // Without a surface of its own the player counts a frame shown once
        // playback has (re)started with a video track selected.
        if (!s.settings.surfaceShowsFrames && c().restarted && c().hasVideo)
            showFirstFrame();
    }
    void showFirstFrame()
    {
        if (a().frameShown)
            return;
        a().frameShown = true;
        out << act::FirstFrame{};
    }

    void tellNoSound()
    {
        if (s.noSoundTold)
            return;
        s.noSoundTold = true;
        out << act::NoSound{};
    }

    // The position and length change many times a second: shown at the
    // next tick, at most ten times a second.
    void showTimes()
    {
        if (s.timesDue)
            return;
        s.timesDue = true;
        out << act::StartTimer{PlayerTimer::Times, kTimesIntervalMs};
    }
};

QString timerName(PlayerTimer t)
{
    switch (t) {
    case PlayerTimer::NoProgress: return QStringLiteral("noprogress");
    case PlayerTimer::Retry: return QStringLiteral("retry");
    case PlayerTimer::Steady: return QStringLiteral("steady");
    case PlayerTimer::SoundLook: return QStringLiteral("sound");
    case PlayerTimer::Times: return QStringLiteral("times");
    }
    return {};
}

QString failureName(PlayFailure f)
{
    static const char* const names[] = {"None", "UnsupportedAddress", "NoAddressYet", "HostNotFound",
                                        "ConnectionRefused", "TimedOut", "NotFound", "NotMedia",
                                        "PlaylistRefused", "NoPlayableEntry", "ConnectionLost"};
    static_assert(std::size(names) == std::size_t(PlayFailure::ConnectionLost) + 1, "a name for every reason");
    return QString::fromLatin1(names[int(f)]);
}

} // namespace

bool PlayerState::isActive() const
{
    switch (phase) {
    case PlayerPhase::Idle:
    case PlayerPhase::Finished:
    case PlayerPhase::Failed:
    case PlayerPhase::Stopped:
        return false;
    default:
        return true;
    }
}

bool PlayerState::isLoaded() const
{
    switch (phase) {
    case PlayerPhase::FileOpen:
    case PlayerPhase::Buffering:
    case PlayerPhase::Playing:
    case PlayerPhase::Paused:
        return true;
    default:
        return false;
    }
}

PlayerTransition transition(PlayerState state, const PlayerEvent& event)
{
    Step step(std::move(state));
    std::visit(step, event);
    return {std::move(step.s), std::move(step.out)};
}

QString describe(PlayerPhase phase)
{
    static const char* const names[] = {"Idle", "Changing", "PlaylistConnecting", "PlaylistLoading",
                                        "PlaylistChanged", "EngineLoading", "EngineOpening", "FileOpen",
                                        "Buffering", "Playing", "Paused", "Looking", "EntryEnded",
                                        "Reconnecting", "Finished", "Failed", "Stopped"};
    static_assert(std::size(names) == std::size_t(PlayerPhase::Stopped) + 1, "a name for every phase");
    return QString::fromLatin1(names[int(phase)]);
}

QString describe(const PlayerAction& action)
{
    const auto reason = [](PlayFailure f) { return failureName(f); };
    return std::visit(
        Overloaded{
            [](const act::RaiseOpen& a) { return QStringLiteral("o%1").arg(a.code); },
            [](const act::RaisePlay& a) { return QStringLiteral("p%1").arg(a.code); },
            [](const act::ShowActivity& a) {
                return a.percent >= 0 ? QStringLiteral("activity%1@%2").arg(int(a.activity)).arg(a.percent)
                                      : QStringLiteral("activity%1").arg(int(a.activity));
            },
            [&](const act::ShowFailure& a) { return QStringLiteral("showFailure(%1)").arg(reason(a.reason)); },
            [](const act::ShowMessage& a) { return QStringLiteral("message(%1)").arg(a.text); },
            [](const act::Blank&) { return QStringLiteral("blank"); },
            [](const act::Unblank&) { return QStringLiteral("unblank"); },
            [](const act::ShowTransport&) { return QStringLiteral("transport"); },
            [](const act::ShowTimes&) { return QStringLiteral("times"); },
            [](const act::StreamPlaying& a) { return QStringLiteral("streamPlaying(%1)").arg(a.index); },
            [](const act::FirstFrame&) { return QStringLiteral("firstFrame"); },
            [](const act::NoSound&) { return QStringLiteral("noSound"); },
            [&](const act::Failed& a) { return QStringLiteral("failed(%1)").arg(reason(a.reason)); },
            [](const act::Resolve& a) { return QStringLiteral("resolve(%1)").arg(a.stream.url); },
            [](const act::CancelResolve&) { return QStringLiteral("cancelResolve"); },
            [&](const act::CandidateFailed& a) { return QStringLiteral("candidateFailed(%1)").arg(reason(a.reason)); },
            [](const act::CandidateEnded&) { return QStringLiteral("candidateEnded"); },
            [](const act::CandidateRead&) { return QStringLiteral("candidateRead"); },
            [](const act::Look& a) { return QStringLiteral("look(%1)").arg(a.url.toString()); },
            [](const act::CancelLook&) { return QStringLiteral("cancelLook"); },
            [](const act::ReadManifest&) { return QStringLiteral("readManifest"); },
            [](const act::CancelManifest&) { return QStringLiteral("cancelManifest"); },
            [](const act::EnsureEngine&) { return QStringLiteral("ensureEngine"); },
            [](const act::KeepEngine&) { return QStringLiteral("keepEngine"); },
            [](const act::ReleaseLater&) { return QStringLiteral("releaseLater"); },
            [](const act::RequestLoad&) { return QStringLiteral("requestLoad"); },
            [](const act::CancelLoad&) { return QStringLiteral("cancelLoad"); },
            [](const act::Load& a) { return QStringLiteral("load(%1)").arg(a.url.toString()); },
            [](const act::StopEngine&) { return QStringLiteral("stopEngine"); },
            [](const act::SetPause& a) { return a.on ? QStringLiteral("pause(on)") : QStringLiteral("pause(off)"); },
            [](const act::SeekTo& a) { return QStringLiteral("seek(%1)").arg(a.seconds); },
            [](const act::ReselectVideo&) { return QStringLiteral("reselectVideo"); },
            [](const act::StartTimer& a) { return QStringLiteral("start(%1,%2)").arg(timerName(a.timer)).arg(a.ms); },
            [](const act::StopTimer& a) { return QStringLiteral("stop(%1)").arg(timerName(a.timer)); },
        },
        action);
}

} // namespace miravon
