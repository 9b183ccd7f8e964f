#pragma once

// The state codes the player raises through openStateChange and
// playStateChange. They are the classic media control's codes, so that any
// code written against that control reads them the same way.

namespace miravon {

namespace OpenState {
enum : int {
    Undefined = 0,
    PlaylistChanging = 1,
    PlaylistLocating = 2,
    PlaylistConnecting = 3,
    PlaylistLoading = 4,
    PlaylistOpening = 5,
    PlaylistOpenNoMedia = 6,
    PlaylistChanged = 7,
    MediaChanging = 8,
    MediaLocating = 9,
    MediaConnecting = 10,
    MediaLoading = 11,
    MediaOpening = 12,
    MediaOpen = 13,
    BeginCodecAcquisition = 14,
    EndCodecAcquisition = 15,
    BeginLicenseAcquisition = 16,
    EndLicenseAcquisition = 17,
    BeginIndividualization = 18,
    EndIndividualization = 19,
    MediaWaiting = 20,
    OpeningUnknownUrl = 21,
    // The classic control has no separate code for "nothing open": after a
    // close or a failure the open state returns to Undefined.
    Closed = Undefined,
};
} // namespace OpenState

namespace PlayState {
enum : int {
    Undefined = 0,
    Stopped = 1,
    Paused = 2,
    Playing = 3,
    ScanForward = 4,
    ScanReverse = 5,
    Buffering = 6,
    Waiting = 7,
    MediaEnded = 8,
    Transitioning = 9,
    Ready = 10,
    Reconnecting = 11,
};
} // namespace PlayState

// What the player raises for each thing that happens to it. One row per
// event; -1 means that state is left as it is. A code is raised only when
// it differs from the current one, so a row never repeats an event.
struct StateTransition {
    const char* event;
    int openState;
    int playState;
};

inline constexpr StateTransition stateTable[] = {
    // setUrl(): whatever was playing is dropped.
    {"address put", OpenState::MediaChanging, PlayState::Transitioning},
    // A playlist (.asx, .wvx, .m3u, [Reference]) is fetched by the player.
    {"playlist fetch started", OpenState::PlaylistConnecting, -1},
    {"playlist answer arriving", OpenState::PlaylistLoading, -1},
    {"playlist parsed", OpenState::PlaylistChanged, -1},
    // An address is handed to the engine (loadfile).
    {"engine loading address", OpenState::MediaConnecting, PlayState::Waiting},
    {"engine start-file", OpenState::MediaOpening, -1},
    {"engine file-loaded", OpenState::MediaOpen, PlayState::Buffering},
    {"engine paused-for-cache on", -1, PlayState::Buffering},
    {"engine playback-restart / cache filled", -1, PlayState::Playing},
    // Pause and resume come from the transport bar, the menu or the space key.
    {"engine pause on", -1, PlayState::Paused},
    {"engine pause off", -1, PlayState::Playing},
    {"engine end-file: end of stream", -1, PlayState::MediaEnded},
    {"after media ended, nothing further", OpenState::Closed, PlayState::Stopped},
    {"live stream dropped, reconnecting", OpenState::MediaConnecting, PlayState::Reconnecting},
    // No alternative left, or no progress within the bound.
    {"address failed", OpenState::Closed, PlayState::Ready},
    // close(), and stop on the transport bar: on an idle player nothing is
    // raised.
    {"close() / stop", OpenState::Closed, PlayState::Stopped},
};

} // namespace miravon
