#include "videopath.h"

#include "playback.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>

#include <atomic>

namespace miravon {
namespace {

std::atomic_bool failed{false};

// The renderer of an OpenGL context the window system gives now; empty
// when it gives none (no display, the offscreen platform, no driver).
QString probeRenderer()
{
    QOffscreenSurface surface;
    surface.create();
    QOpenGLContext context;
    if (!surface.isValid() || !context.create() || !context.makeCurrent(&surface))
        return {};
    const auto* text = reinterpret_cast<const char*>(context.functions()->glGetString(GL_RENDERER));
    const QString renderer = text ? QString::fromLatin1(text) : QString();
    context.doneCurrent();
    return renderer;
}

// Whether a renderer string names a software rasterizer.
bool isSoftwareRenderer(const QString& renderer)
{
    for (const char* name : {"llvmpipe", "softpipe", "swrast", "software rasterizer", "lavapipe", "swiftshader"})
        if (renderer.contains(QLatin1String(name), Qt::CaseInsensitive))
            return true;
    return false;
}

} // namespace

VideoPath chooseVideoPath(const QString& forced, const QString& renderer)
{
    if (forced == QLatin1String("software"))
        return VideoPath::Software;
    if (forced == QLatin1String("opengl"))
        return VideoPath::OpenGL;
    return !renderer.isEmpty() && !isSoftwareRenderer(renderer) ? VideoPath::OpenGL : VideoPath::Software;
}

VideoPath videoPath()
{
    static const VideoPath chosen = [] {
        const QString forced = qEnvironmentVariable("MIRAVON_VIDEO");
        // Forced, no probe: the probe costs a context.
        const QString renderer = forced.isEmpty() ? probeRenderer() : QString();
        const VideoPath path = chooseVideoPath(forced, renderer);
        qCDebug(lcPlayer) << "video path:" << (path == VideoPath::OpenGL ? "opengl" : "software")
                          << (forced.isEmpty() ? QStringLiteral("renderer \"%1\"").arg(renderer)
                                               : QStringLiteral("MIRAVON_VIDEO=%1").arg(forced));
        return path;
    }();
    return failed ? VideoPath::Software : chosen;
}

void videoPathFailed()
{
    if (!failed.exchange(true))
        qCWarning(lcPlayer) << "the OpenGL video path failed; pictures are drawn in software from now on";
}

} // namespace miravon
