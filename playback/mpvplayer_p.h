#pragma once

// Shared by the two halves of the player controller: mpvplayer.cpp (the
// address's life, the engine's life, transport) and playerevents.cpp (what
// the engine reports, live streams, reconnection, failure).

#include <QUrl>

namespace miravon::detail {

enum ObservedProperty : quint64 {
    PropPause = 1,
    PropPausedForCache,
    PropBufferingState,
    PropTimePos,
    PropDuration,
    PropVideoTrack,
    PropAudioTrack,
    PropAudioOutput,
    PropCacheTime,
    PropSeekable,
    PropFileSize,
    PropFileFormat,
};

// A live stream that plays again this long counts as won back: a later drop
// starts a new round of reconnection attempts.
constexpr int kSteadyMs = 30000;
// How long an unsized stream plays before a length that has not grown is
// believed.
constexpr double kLengthHoldsSeconds = 2.0;
// How long a closed player keeps its engine by default.
constexpr int kIdleReleaseMs = 5000;

} // namespace miravon::detail
