#include "engineoptions.h"

#include "playback.h"
#include "videopath.h"

#include <QDir>

namespace miravon {

namespace {

// Whether the VDPAU library could open a backend on this machine. It opens
// the one the user names (VDPAU_DRIVER) or the one the display's driver
// names, from its module folder (or VDPAU_DRIVER_PATH) or the library
// path; where none is installed at all its every probe fails, and says so
// on standard error, a line per file played. The engine's probe of its
// decoders is then kept away from it.
bool vdpauHasBackend()
{
    static const bool has = [] {
        if (qEnvironmentVariableIsSet("VDPAU_DRIVER"))
            return true;
        QStringList folders;
        if (const QString own = qEnvironmentVariable("VDPAU_DRIVER_PATH"); !own.isEmpty())
            folders << own;
        for (const char* lib : {MIRAVON_LIBDIR, "/usr/lib", "/usr/lib64"})
            folders << QString::fromLatin1(lib) + QStringLiteral("/vdpau") << QString::fromLatin1(lib);
        for (const QString& folder : std::as_const(folders)) {
            for (const QString& name : QDir(folder).entryList({QStringLiteral("libvdpau_*.so*")}, QDir::Files)) {
                // The tracer wraps a backend; it is none itself.
                if (!name.startsWith(QLatin1String("libvdpau_trace")))
                    return true;
            }
        }
        qCDebug(lcPlayer) << "no VDPAU backend installed: the engine's decoders are probed without it";
        return false;
    }();
    return has;
}

// The machine's decoders the engine may take: the ones it trusts, or where
// VDPAU has no backend, VA-API's (the API of the machines without one).
// Drawn in software, their copy-back forms; on the OpenGL path, the direct
// ones, whose pictures stay on the GPU.
QByteArray hardwareDecoders(bool gpuDrawn)
{
    if (vdpauHasBackend())
        return gpuDrawn ? "auto-safe" : "auto-copy-safe";
    return gpuDrawn ? "vaapi" : "vaapi-copy";
}

} // namespace

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
        // The machine's decoders, on the processor where none works.
        {"hwdec", outputs.hardwareDecoding ? hardwareDecoders(gpuDrawn) : QByteArray("no")},
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
