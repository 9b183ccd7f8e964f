#include "videosurface.h"

#include "playback.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>

#include <mpv/render_gl.h>

namespace miravon {

namespace {
void* procAddress(void*, const char* name)
{
    QOpenGLContext* context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void*>(context->getProcAddress(name)) : nullptr;
}
} // namespace

VideoSurface::VideoSurface(QWidget* parent)
    : QOpenGLWidget(parent)
{
    setObjectName(QStringLiteral("videoSurface"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

VideoSurface::~VideoSurface()
{
    // The GL context outlives this part of the object; its farewell must not
    // call back into it.
    disconnect(contextGone_);
    detach();
}

void VideoSurface::attach(mpv_handle* engine)
{
    if (engine == engine_)
        return;
    detach();
    engine_ = engine;
    if (engine_ && context() && context()->isValid()) {
        makeCurrent();
        makeRenderContext();
        doneCurrent();
    }
}

void VideoSurface::detach()
{
    if (render_) {
        makeCurrent();
        freeRenderContext();
        doneCurrent();
    }
    engine_ = nullptr;
}

void VideoSurface::setBlank(bool blank)
{
    if (blank == blank_)
        return;
    blank_ = blank;
    update();
}

void VideoSurface::freeRenderContext()
{
    if (!render_)
        return;
    // After this returns the engine calls onEngineUpdate no more.
    mpv_render_context_set_update_callback(render_, nullptr, nullptr);
    mpv_render_context_free(render_);
    render_ = nullptr;
}

void VideoSurface::makeRenderContext()
{
    if (render_ || !engine_)
        return;
    mpv_opengl_init_params glInit{&procAddress, nullptr};
    int advanced = 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
        {MPV_RENDER_PARAM_ADVANCED_CONTROL, &advanced},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (mpv_render_context_create(&render_, engine_, params) < 0) {
        qCWarning(lcPlayer) << "no render context: video will not show";
        render_ = nullptr;
        return;
    }
    mpv_render_context_set_update_callback(render_, &VideoSurface::onEngineUpdate, this);
    emit renderContextReady();
}

void VideoSurface::initializeGL()
{
    disconnect(contextGone_);
    contextGone_ = connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] {
        makeCurrent();
        freeRenderContext();
        doneCurrent();
    }, Qt::DirectConnection);
    makeRenderContext();
}

void VideoSurface::onEngineUpdate(void* ctx)
{
    // Engine thread: only post; the queued call is dropped if the surface is gone.
    auto* self = static_cast<VideoSurface*>(ctx);
    QMetaObject::invokeMethod(self, qOverload<>(&QWidget::update), Qt::QueuedConnection);
}

void VideoSurface::paintGL()
{
    bool newFrame = false;
    if (render_) {
        // Rendered even when blank: the engine waits for its frames to be
        // taken before it goes on.
        newFrame = (mpv_render_context_update(render_) & MPV_RENDER_UPDATE_FRAME) != 0;
        const qreal ratio = devicePixelRatioF();
        mpv_opengl_fbo fbo{static_cast<int>(defaultFramebufferObject()), static_cast<int>(width() * ratio),
                           static_cast<int>(height() * ratio), 0};
        int flipY = 1;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
            {MPV_RENDER_PARAM_FLIP_Y, &flipY},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        mpv_render_context_render(render_, params);
    }
    if (!render_ || blank_) {
        // The engine leaves its own GL state behind: draw into this widget's
        // framebuffer, unclipped.
        QOpenGLFunctions* gl = context()->functions();
        gl->glBindFramebuffer(GL_FRAMEBUFFER, defaultFramebufferObject());
        gl->glDisable(GL_SCISSOR_TEST);
        gl->glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        gl->glClearColor(0, 0, 0, 1);
        gl->glClear(GL_COLOR_BUFFER_BIT);
        return;
    }
    if (newFrame)
        emit frameRendered();
}

} // namespace miravon
