#pragma once

// The player's state as one value, and the one function every event goes
// through: transition(state, event) gives the next state and what to do, in
// order. Nothing here touches the engine, the network, a timer or a widget;
// MpvPlayer turns engine, resolver, look and timer reports into events and
// carries the actions out.

#include "engine.h"
#include "failure.h"
#include "livejudge.h"
#include "streamaddress.h"
#include "waits.h"

#include <QByteArray>
#include <QList>
#include <QUrl>

#include <variant>

namespace miravon {

// What happens to the player. Entering a phase raises its state codes and
// shows its activity (one table, playerstate.cpp).
enum class PlayerPhase {
    Idle,               // nothing asked yet
    Changing,           // a new address: whatever played is dropped
    PlaylistConnecting, // a playlist is fetched, its answer arrives, it is parsed
    PlaylistLoading,
    PlaylistChanged,
    EngineLoading,      // an address is handed to the engine
    EngineOpening,      // the engine starts on it
    FileOpen,           // from here to Paused the engine has the file loaded
    Buffering,
    Playing,
    Paused,
    Looking,            // the engine could not play it: why is asked (raises nothing)
    EntryEnded,         // an entry played to its end; a playlist may go on
    Reconnecting,
    Finished,           // nothing further to play
    Failed,
    Stopped,            // close(), and stop on the transport bar
};

// What the status text says the player does.
enum class PlayerActivity { Idle, Connecting, Buffering, Playing, Paused, Reconnecting, Finished, Stopped, Failed };

// The player's timers, each single-shot.
enum class PlayerTimer {
    NoProgress, // the candidate showed no progress within the bound
    Retry,      // the next reconnection attempt is due
    Steady,     // a live stream played long enough again to count as won back
    SoundLook,  // playback started a moment ago: is there an audio output?
    Times,      // the position and length wait to be shown (at most ten a second)
};

// Reconnection of a dropped live stream: attempts per outage, the delay
// doubling at each; a stream that plays again for the steady time is won
// back, and a later drop starts a new round.
struct Reconnection {
    enum class Round { None, Outage, Steadying };
    int made = 0;
    Round round = Round::None;
};

// What the resolver handed the engine, and what the engine said of it.
// Replaced whole by the next candidate (a playlist's next entry, a
// reconnection).
struct Candidate {
    QUrl url;             // empty: the engine has none (it ended, or failed and is looked at)
    quint64 serial = 0;   // of its load command; 0 before it is sent, or after the engine went
    qint64 expected = -1; // the engine's entry for that command (its reply)
    qint64 started = -1;  // the entry the engine started last
    bool restarted = false;       // playback (re)started since it loaded
    bool waitingForCache = false; // the engine waits for its cache to fill
    bool hasVideo = false;
    LiveTracker live;

    // The engine's reports are of this candidate.
    bool isCurrent() const { return expected >= 0 && started == expected; }
};

// One stream of the address being tried, from its start to its end:
// replaced whole by the next stream, a new address, close() or a failure
// (which keep only which streams there are and which was tried, so that
// play after a stop starts it again).
struct Attempt {
    QList<StreamAddress> streams;
    int index = 0;
    PlayFailure failedBefore = PlayFailure::None; // the most informative reason of the streams before it
    PlayFailure failure = PlayFailure::None;      // why the address failed, in phase Failed
    Candidate candidate;
    // What the look's "the server works" means: the engine read it and
    // could not play it (not media), or it made no progress (timed out).
    PlayFailure lookWorksMeans = PlayFailure::NotMedia;
    bool frameShown = false; // firstFrame() was raised
    bool played = false;     // it has played: a drop now is a live stream's
    Reconnection reconnection;

    const StreamAddress* stream() const { return index < streams.size() ? &streams.at(index) : nullptr; }
};

struct PlayerSettings {
    int noProgressMs = noProgressBoundMs;
    int reconnectAttempts = 3;
    int reconnectDelayMs = 1000;
    int steadyMs = 30000;
    // Frames are shown by the player's own video surface (FrameShown);
    // otherwise a frame counts as shown once playback has started with a
    // video track.
    bool surfaceShowsFrames = true;
};

struct PlayerState {
    PlayerPhase phase = PlayerPhase::Idle;
    Attempt attempt;
    // Kept across attempts.
    int openCode = 0;          // the state codes raised last
    int playCode = 0;
    bool enginePaused = false; // the engine's pause, which outlives a file
    quint64 loads = 0;         // serials given to load commands so far
    bool soundTrack = false;   // the file has a sound track
    bool soundOutput = false;  // the engine has an audio output open
    bool noSoundTold = false;  // once per player
    bool timesDue = false;     // a Times tick is on its way
    PlayerSettings settings;

    bool isActive() const;
    bool isLoaded() const;
    bool isLive() const { return attempt.candidate.live.isLive(); }
};

// Everything that happens to the player.
namespace ev {
// From the windows and the transport bar.
struct Play { QList<StreamAddress> streams; };
struct Close {};
struct Stop {};
struct TogglePause {};
struct Seek { double seconds = 0; };
// From the engine slot and the surface.
struct EngineStartFailed {};
struct EngineReleased {};
struct RenderContextLate {};
struct LoadReady { bool withVideo = true; };
struct FrameShown {};
// From the engine.
struct LoadReplied { quint64 serial = 0; bool ok = false; qint64 entry = -1; };
struct FileStarted { qint64 entry = -1; };
struct FileLoaded {};
struct PlaybackRestarted {};
struct FileEnded { FileEnd end; };
struct Paused { bool on = false; };
struct WaitingForCache { bool on = false; };
struct BufferFill { int percent = 0; };
struct Position { double seconds = 0; };
struct CacheGrew {};
struct Duration { double seconds = 0; }; // 0: none
struct Seekable { bool on = false; };
struct Sized { bool on = false; };
struct Format { bool segmented = false; };
struct VideoTrack { bool present = false; };
struct AudioTrack { bool present = false; };
struct AudioOutput { bool open = false; };
// From the resolver, the look and the manifest reader.
struct FetchStarted {};
struct FetchAnswering {};
struct PlaylistParsed {};
struct CandidateGiven { QUrl url; };
struct Unplayable { PlayFailure reason = PlayFailure::None; };
struct AllPlayed {};
struct LookWorks {};
struct LookFailed { PlayFailure reason = PlayFailure::None; };
struct LookRead { QByteArray head; QUrl url; bool whole = false; };
struct ManifestSays { bool live = true; };
// A timer of the player.
struct Timer { PlayerTimer timer = PlayerTimer::NoProgress; };
} // namespace ev

using PlayerEvent = std::variant<ev::Play, ev::Close, ev::Stop, ev::TogglePause, ev::Seek, ev::EngineStartFailed,
                                 ev::EngineReleased, ev::RenderContextLate, ev::LoadReady, ev::FrameShown,
                                 ev::LoadReplied, ev::FileStarted, ev::FileLoaded, ev::PlaybackRestarted,
                                 ev::FileEnded, ev::Paused, ev::WaitingForCache, ev::BufferFill, ev::Position,
                                 ev::CacheGrew, ev::Duration, ev::Seekable, ev::Sized, ev::Format, ev::VideoTrack,
                                 ev::AudioTrack, ev::AudioOutput, ev::FetchStarted, ev::FetchAnswering,
                                 ev::PlaylistParsed, ev::CandidateGiven, ev::Unplayable, ev::AllPlayed, ev::LookWorks,
                                 ev::LookFailed, ev::LookRead, ev::ManifestSays, ev::Timer>;

// What the player does about an event, in order.
namespace act {
// Signals and the view.
struct RaiseOpen { int code = 0; };
struct RaisePlay { int code = 0; };
struct ShowActivity { PlayerActivity activity = PlayerActivity::Idle; int percent = -1; };
struct ShowFailure { PlayFailure reason = PlayFailure::None; }; // None clears it
struct ShowMessage { QString text; };                          // over the picture; empty hides it
struct Blank {};
struct Unblank {};
struct ShowTransport {};                                       // every part of the transport bar
struct ShowTimes {};                                           // its position and length only
struct StreamPlaying { int index = 0; };
struct FirstFrame {};
struct NoSound {};                                             // told in the status, and raised
struct Failed { PlayFailure reason = PlayFailure::None; };
// The resolver, the look, the manifest reader.
struct Resolve { StreamAddress stream; };
struct CancelResolve {};
struct CandidateFailed { PlayFailure reason = PlayFailure::None; };
struct CandidateEnded {};
struct CandidateRead { QByteArray head; QUrl url; bool whole = false; };
struct Look { QUrl url; StreamOptions options; int boundMs = 0; };
struct CancelLook {};
struct ReadManifest { QUrl url; StreamOptions options; int boundMs = 0; };
struct CancelManifest {};
// The engine and its slot.
struct EnsureEngine {};
struct KeepEngine {};     // a release that was scheduled is called off
struct ReleaseLater {};   // the engine goes after the idle delay
struct RequestLoad {};    // LoadReady comes once the engine and the surface are ready
struct CancelLoad {};
struct Load { QUrl url; StreamOptions options; quint64 serial = 0; bool withVideo = true; };
struct StopEngine {};
struct SetPause { bool on = false; };
struct SeekTo { double seconds = 0; };
struct ReselectVideo {};
// Timers.
struct StartTimer { PlayerTimer timer = PlayerTimer::NoProgress; int ms = 0; };
struct StopTimer { PlayerTimer timer = PlayerTimer::NoProgress; };
} // namespace act

using PlayerAction = std::variant<act::RaiseOpen, act::RaisePlay, act::ShowActivity, act::ShowFailure,
                                  act::ShowMessage, act::Blank, act::Unblank, act::ShowTransport, act::ShowTimes,
                                  act::StreamPlaying, act::FirstFrame, act::NoSound, act::Failed, act::Resolve,
                                  act::CancelResolve, act::CandidateFailed, act::CandidateEnded,
                                  act::CandidateRead, act::Look, act::CancelLook, act::ReadManifest,
                                  act::CancelManifest, act::EnsureEngine, act::KeepEngine, act::ReleaseLater,
                                  act::RequestLoad, act::CancelLoad, act::Load, act::StopEngine, act::SetPause,
                                  act::SeekTo, act::ReselectVideo, act::StartTimer, act::StopTimer>;

// For std::visit over events and actions: one callable of several lambdas.
template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

struct PlayerTransition {
    PlayerState state;
    QList<PlayerAction> actions;
};

PlayerTransition transition(PlayerState state, const PlayerEvent& event);

// Short names for logs and tests: "o13", "p3", "timer NoProgress 3000" ...
QString describe(const PlayerAction& action);
QString describe(PlayerPhase phase);

} // namespace miravon
