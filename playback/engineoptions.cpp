#include "engineoptions.h"

#include "playback.h"
#include "videopath.h"

namespace miravon {

bool rendersIntoSurface(const PlaybackOutputs& outputs)
{
    return outputs.video.isEmpty() || outputs.video == QLatin1String("libmpv");
}

EngineOptions engineOptions(const PlaybackOutputs& outputs, int networkTimeoutSeconds)
{
    const bool gpuDrawn = rendersIntoSurface(outputs) && videoPath() == VideoPath::OpenGL;
    EngineOptions list = {
        {"vo", rendersIntoSurface(outputs) ? QByteArray("libmpv") : outputs.video.toUtf8()},
        {"config", "no"},
        {"terminal", "no"},
        // None of the engine's own scripts: each runs a thread and a script
        // heap that grows with every file loaded.
        {"load-scripts", "no"},
        {"osc", "no"},
        {"ytdl", "no"},
        {"load-stats-overlay", "no"},
        {"load-osd-console", "no"},
        {"load-auto-profiles", "no"},
        {"input-default-bindings", "no"},
        {"input-vo-keyboard", "no"},
        {"idle", "yes"},
        {"keep-open", "no"},
        // The machine's decoders the engine trusts, on the processor where
        // none works: drawn in software, the copy-back ones; on the OpenGL
        // path, the direct ones, whose pictures stay on the GPU.
        {"hwdec", !outputs.hardwareDecoding ? QByteArray("no")
                  : gpuDrawn ? QByteArray("auto-safe") : QByteArray("auto-copy-safe")},
        {"gpu-hwdec-interop", gpuDrawn ? QByteArray("auto") : QByteArray("no")},
        {"audio-display", "no"},
        // Playlists are parsed by the player, under its own limits; the
        // engine's own playlist reader would follow references unchecked.
        {"demuxer", "lavf"},
        {"load-unsafe-playlists", "no"},
        // The stored settings: volume 50, not muted, rate 1.0, not stretched
        // (shown at its own size, scaled down to fit, aspect kept).
        {"volume", "50"},
        {"mute", "no"},
        {"speed", "1.0"},
        {"keepaspect", "yes"},
        {"video-unscaled", "downscale-big"},
        {"network-timeout", QByteArray::number(std::max(1, networkTimeoutSeconds))},
    };
    if (!outputs.audio.isEmpty())
        list.append(EngineOption{"ao", outputs.audio.toUtf8()});
    list += outputs.extra;
    return list;
}

EngineOptions engineOptions(const StreamOptions& address)
{
    EngineOptions list;
    if (const QByteArray v = streamHeaderValue(address.referrer); !v.isEmpty())
        list.append(EngineOption{"referrer", v});
    if (const QByteArray v = streamHeaderValue(address.userAgent); !v.isEmpty())
        list.append(EngineOption{"user-agent", v});
    return list;
}

QByteArray encodeFileOptions(const EngineOptions& options)
{
    QByteArray out;
    for (const EngineOption& o : options) {
        if (!out.isEmpty())
            out += ',';
        out += o.name + "=%" + QByteArray::number(o.value.size()) + '%' + o.value;
    }
    return out;
}

} // namespace miravon
