#include "framerenderer.h"

#include "engine.h"
#include "playback.h"
#include "videopath.h"

#include <QCoreApplication>
#include <QObject>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>

#include <mpv/client.h>
#include <mpv/render.h>
#include <mpv/render_gl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

namespace miravon {

namespace {

constexpr qsizetype kRowAlign = 64;

std::atomic<quint64> nextSerial{1};

// The render thread's own handles, each freed by its owner in the one order
// the engine accepts: render context first, then the client it was made on.
struct ClientHandle {
    mpv_handle* handle = nullptr;
    ~ClientHandle()
    {
        if (handle) {
            mpv_set_wakeup_callback(handle, nullptr, nullptr);
            mpv_destroy(handle);
        }
    }
};

struct RenderContext {
    mpv_render_context* context = nullptr;
    ~RenderContext()
    {
        if (context) {
            // After this returns the engine calls the update callback no more.
            mpv_render_context_set_update_callback(context, nullptr, nullptr);
            mpv_render_context_free(context);
        }
    }
};

// The OpenGL path of a render thread: its own context, current on that
// thread for the thread's whole life, on an offscreen surface made on the
// user-interface thread, and one framebuffer at the target's size that the
// engine draws into and the thread reads the picture back from.
struct GlTarget {
    std::unique_ptr<QOpenGLContext> context;
    QOpenGLFunctions* gl = nullptr;
    GLuint fbo = 0;
    GLuint colour = 0;
    QSize size;

    bool start(QOffscreenSurface* surface)
    {
        context = std::make_unique<QOpenGLContext>();
        context->setFormat(surface->requestedFormat());
        if (!context->create() || !context->makeCurrent(surface)) {
            context.reset();
            return false;
        }
        gl = context->functions();
        return true;
    }
    // The framebuffer for `pixels`; false when it cannot be made.
    bool resize(QSize pixels)
    {
        if (pixels == size && fbo)
            return true;
        release();
        gl->glGenFramebuffers(1, &fbo);
        gl->glGenRenderbuffers(1, &colour);
        gl->glBindRenderbuffer(GL_RENDERBUFFER, colour);
        // RGB: the picture reads back opaque.
        constexpr GLenum rgb8 = 0x8051; // GL_RGB8
        gl->glRenderbufferStorage(GL_RENDERBUFFER, rgb8, pixels.width(), pixels.height());
        gl->glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        gl->glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
        const bool complete = gl->glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        gl->glBindFramebuffer(GL_FRAMEBUFFER, context->defaultFramebufferObject());
        size = pixels;
        return complete;
    }
    // The framebuffer's picture into `image` (RGB32, rows of its stride).
    void readInto(QImage& image)
    {
        constexpr GLenum bgra = 0x80E1;     // GL_BGRA
        constexpr GLenum rowLength = 0x0D02; // GL_PACK_ROW_LENGTH
        gl->glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        gl->glPixelStorei(rowLength, int(image.bytesPerLine() / 4));
        gl->glPixelStorei(GL_PACK_ALIGNMENT, 4);
        gl->glReadPixels(0, 0, image.width(), image.height(), bgra, GL_UNSIGNED_BYTE, image.bits());
        gl->glPixelStorei(rowLength, 0);
        gl->glBindFramebuffer(GL_FRAMEBUFFER, context->defaultFramebufferObject());
    }
    void release()
    {
        if (fbo)
            gl->glDeleteFramebuffers(1, &fbo);
        if (colour)
            gl->glDeleteRenderbuffers(1, &colour);
        fbo = colour = 0;
        size = {};
    }
    void stop()
    {
        if (!context)
            return;
        release();
        context->doneCurrent();
        context.reset();
    }
    ~GlTarget() { stop(); }
};

// The render threads on the OpenGL path still running. Their contexts come
// from the window system's OpenGL library, which goes with the application
// object: its destruction waits (bounded) for them to have freed
// everything, as the engines they draw for finish going.
struct GlThreads {
    std::mutex mutex;
    std::condition_variable done;
    int running = 0;

    static GlThreads& get()
    {
        static GlThreads instance;
        return instance;
    }
    void started()
    {
        static const bool registered = (qAddPostRoutine([] { GlThreads::get().waitAll(); }), true);
        (void)registered;
        std::lock_guard lock(mutex);
        ++running;
    }
    void ended()
    {
        std::lock_guard lock(mutex);
        --running;
        done.notify_all();
    }
    void waitAll()
    {
        std::unique_lock lock(mutex);
        if (!done.wait_for(lock, std::chrono::seconds(5), [this] { return running == 0; }))
            qCWarning(lcPlayer) << running << "OpenGL render threads still running at exit";
    }
};

void* glProcAddress(void*, const char* name)
{
    QOpenGLContext* current = QOpenGLContext::currentContext();
    return current ? reinterpret_cast<void*>(current->getProcAddress(name)) : nullptr;
}

} // namespace

QImage FrameRenderer::makeImage(QSize size)
{
    if (size.isEmpty())
        return {};
    const qsizetype stride = (qsizetype(size.width()) * 4 + kRowAlign - 1) / kRowAlign * kRowAlign;
    void* data = std::aligned_alloc(kRowAlign, size_t(stride) * size.height());
    if (!data)
        return {};
    return QImage(static_cast<uchar*>(data), size.width(), size.height(), stride, QImage::Format_RGB32,
                  [](void* p) { std::free(p); }, data);
}

struct FrameRenderer::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    // Requests to the render thread.
    bool stop = false;
    bool update = false;      // the render context says something changed
    bool clientEvent = false; // events wait on the render thread's client
    bool redraw = false;      // the target changed: draw the current picture again
    QSize size;
    bool visible = false;
    // The mailbox.
    VideoFrame ready;
    bool readyNew = false;
    bool framePosted = false;
    std::atomic<quint64> replaced{0};
    // The OpenGL path's offscreen surface (made on the user-interface thread,
    // which also deletes it); null on the software path.
    QOffscreenSurface* glSurface = nullptr;
    // Where notices go; null once stopped.
    QObject* receiver = nullptr;
    Notify notify = nullptr;
    quint64 serial = 0;

    void post(Notice notice)  // under the mutex
    {
        if (!receiver)
            return;
        QObject* r = receiver;
        Notify n = notify;
        const quint64 s = serial;
        QMetaObject::invokeMethod(r, [r, n, s, notice] { n(r, s, notice); }, Qt::QueuedConnection);
    }
    void request(bool Shared::*flag)
    {
        std::lock_guard lock(mutex);
        this->*flag = true;
        wake.notify_one();
    }

    void run(mpv_handle* client);
    void renderLoop(mpv_handle* client);
    bool handleClientEvents(mpv_handle* client, bool& stale);
};

// Drains the render thread's client: a file that ends or starts makes the
// picture in the mailbox and any redraw stale until the next new frame, so
// that the last picture of one file never shows under the next. False when
// the engine shuts down.
bool FrameRenderer::Shared::handleClientEvents(mpv_handle* client, bool& stale)
{
    while (true) {
        const mpv_event* event = mpv_wait_event(client, 0);
        switch (event->event_id) {
        case MPV_EVENT_NONE:
            return true;
        case MPV_EVENT_SHUTDOWN:
            return false;
        case MPV_EVENT_START_FILE:
        case MPV_EVENT_END_FILE: {
            stale = true;
            std::lock_guard lock(mutex);
            readyNew = false;
            break;
        }
        default:
            break;
        }
    }
}

void FrameRenderer::Shared::run(mpv_handle* client)
{
    renderLoop(client);
    // No context is current on it any more: it goes on its own thread.
    if (glSurface) {
        glSurface->deleteLater();
        GlThreads::get().ended();
    }
    // The render context and the client are gone.
    std::lock_guard lock(mutex);
    post(Notice::Ended);
}

void FrameRenderer::Shared::renderLoop(mpv_handle* clientHandle)
{
    ClientHandle client{clientHandle};
    // Only what the thread needs, so that nothing queues up unread.
    for (int id = MPV_EVENT_NONE + 1; id <= MPV_EVENT_HOOK; ++id)
        mpv_request_event(client.handle, mpv_event_id(id), 0);
    for (mpv_event_id id : {MPV_EVENT_SHUTDOWN, MPV_EVENT_START_FILE, MPV_EVENT_END_FILE})
        mpv_request_event(client.handle, id, 1);
    // Engine threads: only note the request and wake the render thread.
    mpv_set_wakeup_callback(client.handle, [](void* self) {
        static_cast<Shared*>(self)->request(&Shared::clientEvent);
    }, this);

    // Declared before the render context: freed after it, so that the
    // engine frees its OpenGL objects while the context is current.
    GlTarget gpu;
    RenderContext render;
    int advanced = 0;
    if (glSurface && gpu.start(glSurface)) {
        mpv_opengl_init_params init{&glProcAddress, nullptr};
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
            {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &init},
            {MPV_RENDER_PARAM_ADVANCED_CONTROL, &advanced},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        if (mpv_render_context_create(&render.context, client.handle, params) < 0)
            render.context = nullptr;
    }
    if (glSurface && !render.context) {
        // No OpenGL here after all: this surface and the ones after it
        // draw in software, without a restart.
        gpu.stop();
        videoPathFailed();
    }
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
        {MPV_RENDER_PARAM_ADVANCED_CONTROL, &advanced},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (!render.context && mpv_render_context_create(&render.context, client.handle, params) < 0) {
        render.context = nullptr;
        qCWarning(lcPlayer) << "no render context: video will not show";
        std::lock_guard lock(mutex);
        post(Notice::Failed);
        return;
    }
    mpv_render_context_set_update_callback(render.context, [](void* self) {
        static_cast<Shared*>(self)->request(&Shared::update);
    }, this);
    {
        std::lock_guard lock(mutex);
        post(Notice::Ready);
    }
    qCDebug(lcPlayer) << "render thread: context made";

    VideoFrame back;
    bool stale = true;     // nothing of the current file rendered yet
    bool undrawn = false;  // the current frame was taken while hidden, never drawn
    while (true) {
        bool updated = false;
        bool redrawn = false;
        bool events = false;
        QSize size;
        bool visible = false;
        {
            std::unique_lock lock(mutex);
            wake.wait(lock, [this] { return stop || update || redraw || clientEvent; });
            if (stop)
                break;
            std::swap(updated, update);
            std::swap(redrawn, redraw);
            std::swap(events, clientEvent);
            size = this->size;
            visible = this->visible;
        }
        // Events first: a frame due now belongs to the file they announce.
        if (events && !handleClientEvents(client.handle, stale))
            break;
        if (stale)
            undrawn = false;
        const bool due = updated && (mpv_render_context_update(render.context) & MPV_RENDER_UPDATE_FRAME);
        // A frame that is due may be the engine's redraw of the picture it
        // has, which after a file change is the last one of the file before.
        bool fresh = false;
        if (due) {
            mpv_render_frame_info info{};
            mpv_render_param infoParam{MPV_RENDER_PARAM_NEXT_FRAME_INFO, &info};
            fresh = mpv_render_context_get_info(render.context, infoParam) >= 0
                && (info.flags & MPV_RENDER_FRAME_INFO_PRESENT)
                && !(info.flags & (MPV_RENDER_FRAME_INFO_REDRAW | MPV_RENDER_FRAME_INFO_REPEAT));
        }
        if (fresh)
            stale = false;
        const bool onScreen = visible && !size.isEmpty();
        // A redraw (the engine's, or for a new size) is shown only while the
        // picture it redraws belongs to the current file.
        const bool wanted = fresh || (!stale && (due || redrawn));
        if (!onScreen || !wanted) {
            if (due) {
                if (!onScreen)
                    undrawn = undrawn || fresh;
                // Taken, not drawn: the engine waits for its frames to be taken.
                int skip = 1;
                mpv_render_param skipParams[] = {
                    {MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
                    {MPV_RENDER_PARAM_INVALID, nullptr},
                };
                mpv_render_context_render(render.context, skipParams);
            }
            continue;
        }
        if (back.image.size() != size)
            back.image = makeImage(size);
        if (back.image.isNull())
            continue;
        if (gpu.context) {
            if (!gpu.resize(size))
                continue;
            mpv_opengl_fbo target{int(gpu.fbo), size.width(), size.height(), 0};
            int flip = 1; // top row first, as the picture is read back
            int block = 0;
            mpv_render_param glParams[] = {
                {MPV_RENDER_PARAM_OPENGL_FBO, &target},
                {MPV_RENDER_PARAM_FLIP_Y, &flip},
                {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
                {MPV_RENDER_PARAM_INVALID, nullptr},
            };
            if (mpv_render_context_render(render.context, glParams) < 0)
                continue;
            gpu.readInto(back.image);
        } else {
            int sizeParam[2] = {size.width(), size.height()};
            size_t stride = size_t(back.image.bytesPerLine());
            mpv_render_param renderParams[] = {
                {MPV_RENDER_PARAM_SW_SIZE, sizeParam},
                {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>("bgr0")},
                {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                {MPV_RENDER_PARAM_SW_POINTER, back.image.bits()},
                {MPV_RENDER_PARAM_INVALID, nullptr},
            };
            if (mpv_render_context_render(render.context, renderParams) < 0)
                continue;
            // The engine leaves the fourth byte undefined (and zero in the
            // bars); the image format wants it opaque.
            for (int y = 0; y < size.height(); ++y) {
                auto* row = reinterpret_cast<quint32*>(back.image.scanLine(y));
                for (int x = 0; x < size.width(); ++x)
                    row[x] |= 0xff000000u;
            }
        }
        // A frame first drawn when the surface shows counts as new.
        back.fresh = fresh || undrawn;
        undrawn = false;
        std::lock_guard lock(mutex);
        if (stop)
            break;
        // A redraw does not hide a new frame the surface has not taken yet;
        // a new frame over one is a frame never shown.
        if (readyNew && ready.fresh && back.fresh)
            ++replaced;
        back.fresh = back.fresh || (readyNew && ready.fresh);
        std::swap(back, ready);
        readyNew = true;
        if (!framePosted) {
            framePosted = true;
            post(Notice::FrameReady);
        }
    }
    qCDebug(lcPlayer) << "render thread: ending";
    // `render`, then `client`, are freed here, in that order.
}

FrameRenderer::FrameRenderer(mpv_handle* engine, QObject* receiver, Notify notify)
    : shared_(std::make_shared<Shared>())
    , serial_(nextSerial++)
{
    shared_->serial = serial_;
    shared_->receiver = receiver;
    shared_->notify = notify;
    if (videoPath() == VideoPath::OpenGL) {
        // Offscreen surfaces are made on the user-interface thread.
        shared_->glSurface = new QOffscreenSurface;
        shared_->glSurface->create();
        if (!shared_->glSurface->isValid()) {
            delete shared_->glSurface;
            shared_->glSurface = nullptr;
            videoPathFailed();
        }
    }
    // Taken here, while the engine is known to be alive; from then on the
    // engine cannot finish its destruction before this client is gone.
    mpv_handle* client = mpv_create_weak_client(engine, "render");
    if (!client) {
        delete shared_->glSurface;
        shared_->glSurface = nullptr;
        std::lock_guard lock(shared_->mutex);
        shared_->post(Notice::Failed);
        return;
    }
    if (shared_->glSurface)
        GlThreads::get().started();
    runInBackground([shared = shared_, client] { shared->run(client); });
}

FrameRenderer::~FrameRenderer() { stop(); }

void FrameRenderer::stop()
{
    std::lock_guard lock(shared_->mutex);
    shared_->stop = true;
    shared_->receiver = nullptr;
    shared_->ready = VideoFrame{};
    shared_->readyNew = false;
    shared_->wake.notify_one();
}

void FrameRenderer::setTarget(QSize pixels, bool visible)
{
    std::lock_guard lock(shared_->mutex);
    if (pixels == shared_->size && visible == shared_->visible)
        return;
    shared_->size = pixels;
    shared_->visible = visible;
    shared_->redraw = true;
    shared_->wake.notify_one();
}

quint64 FrameRenderer::replacedPictures() const { return shared_->replaced; }

bool FrameRenderer::take(VideoFrame& frame)
{
    std::lock_guard lock(shared_->mutex);
    shared_->framePosted = false;
    if (!shared_->readyNew)
        return false;
    std::swap(frame, shared_->ready);
    shared_->readyNew = false;
    return true;
}

} // namespace miravon
