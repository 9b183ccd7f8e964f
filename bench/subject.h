#pragma once
// The player as the benchmarks drive it: the one place that names its
// concrete type and the signal of its first shown frame.

#include "mpvplayer.h"
#include "playback.h"

#include <memory>

namespace miravon::bench {

using Subject = MpvPlayer;
inline constexpr auto subjectFirstFrame = &MpvPlayer::firstFrame;

inline std::unique_ptr<Subject> makeSubject(QWidget* parent) { return std::make_unique<MpvPlayer>(parent); }

// Outputs for every player made afterwards: rendered into the player's
// OpenGL surface, or discarded; sound always discarded.
inline void useOutputs(bool rendered)
{
    setPlaybackOutputs({rendered ? QString() : QStringLiteral("null"), QStringLiteral("null")});
}

} // namespace miravon::bench
