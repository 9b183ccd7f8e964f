#pragma once
// The player as the benchmarks drive it: the one place that names its
// concrete type, the signal of its first shown frame, and the outputs and
// engine options both sides of a comparison run with.

#include "engineoptions.h"
#include "mpvplayer.h"
#include "playback.h"

#include <memory>

namespace miravon::bench {

using Subject = MpvPlayer;
inline constexpr auto subjectFirstFrame = &MpvPlayer::firstFrame;

inline std::unique_ptr<Subject> makeSubject(QWidget* parent) { return std::make_unique<MpvPlayer>(parent); }

// Video drawn by the player's video surface, or discarded; sound always
// discarded.
inline PlaybackOutputs benchOutputs(bool rendered)
{
    return {rendered ? QString() : QStringLiteral("null"), QStringLiteral("null")};
}

// Outputs for every player made afterwards.
inline void useOutputs(bool rendered) { setPlaybackOutputs(benchOutputs(rendered)); }

// The options the player starts its engine with under these outputs and its
// default no-progress bound: the bare engine is made from the same list.
inline EngineOptions subjectEngineOptions(bool rendered)
{
    return engineOptions(benchOutputs(rendered),
                         MpvPlayer::engineNetworkTimeout(MpvPlayer::defaultNoProgressTimeout()));
}

} // namespace miravon::bench
