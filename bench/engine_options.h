#pragma once
// The engine options the player starts its engine with, for the bare-engine
// side of the benchmarks: both sides must run the same engine.
//
// This is the one place the benchmarks take them from. They are copied from
// the player's engine set-up (playback/); once the player publishes its
// option list in a header of its own, include that here and drop the copy.

#include <QByteArray>
#include <QList>
#include <utility>

namespace miravon::bench {

using EngineOption = std::pair<QByteArray, QByteArray>;

// `video`: "libmpv" (rendered into an OpenGL surface) or "null"; `audio`:
// an audio output, "null" in the benchmarks.
inline QList<EngineOption> engineOptions(const QByteArray& video, const QByteArray& audio)
{
    return {
        {"vo", video},
        {"ao", audio},
        {"config", "no"},
        {"terminal", "no"},
        {"load-scripts", "no"},
        {"osc", "no"},
        {"ytdl", "no"},
        {"input-default-bindings", "no"},
        {"input-vo-keyboard", "no"},
        {"idle", "yes"},
        {"keep-open", "no"},
        {"hwdec", "no"},
        {"gpu-hwdec-interop", "no"},
        {"audio-display", "no"},
        {"demuxer", "lavf"},
        {"load-unsafe-playlists", "no"},
        {"volume", "50"},
        {"mute", "no"},
        {"speed", "1.0"},
        {"keepaspect", "yes"},
        {"video-unscaled", "downscale-big"},
        // The player's default no-progress bound (20 s) plus 5 s.
        {"network-timeout", "25"},
    };
}

} // namespace miravon::bench
