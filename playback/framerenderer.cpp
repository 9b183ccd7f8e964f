#include "framerenderer.h"

#include "engine.h"
#include "playback.h"
#include "renderpath.h"
#include "videopath.h"

#include <QCoreApplication>
#include <QObject>
#include <QOffscreenSurface>

#include <mpv/client.h>
#include <mpv/render.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

namespace miravon {

namespace {

constexpr qsizetype kRowAlign = 64;

std::atomic<quint64> nextSerial{1};

// While a picture is on its way, the thread looks this often whether it
// has come.
constexpr auto kPickUpAfter = std::chrono::milliseconds(2);

// The render thread's client of the engine. Freed after the render path
// made on it: render context first, then the client.
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

} // namespace

qsizetype FrameRenderer::rowBytes(int width) { return (qsizetype(width) * 4 + kRowAlign - 1) / kRowAlign * kRowAlign; }

QImage FrameRenderer::makeImage(QSize size)
{
    if (size.isEmpty())
        return {};
    const qsizetype stride = rowBytes(size.width());
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
    NativeDisplay display;
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
    void listen(mpv_handle* client);
    std::unique_ptr<RenderPath> makePath(mpv_handle* client);
    bool handleClientEvents(mpv_handle* client, bool& stale);
    // Hands a finished picture to the surface; false once stopped.
    bool deliver(VideoFrame& picture);
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

void FrameRenderer::Shared::listen(mpv_handle* client)
{
    // Only what the thread needs, so that nothing queues up unread.
    for (int id = MPV_EVENT_NONE + 1; id <= MPV_EVENT_HOOK; ++id)
        mpv_request_event(client, mpv_event_id(id), 0);
    for (mpv_event_id id : {MPV_EVENT_SHUTDOWN, MPV_EVENT_START_FILE, MPV_EVENT_END_FILE})
        mpv_request_event(client, id, 1);
    // Engine threads: only note the request and wake the render thread.
    mpv_set_wakeup_callback(client, [](void* self) {
        static_cast<Shared*>(self)->request(&Shared::clientEvent);
    }, this);
}

std::unique_ptr<RenderPath> FrameRenderer::Shared::makePath(mpv_handle* client)
{
    if (glSurface) {
        if (auto path = makeOpenGlPath(client, glSurface, display))
            return path;
        // No OpenGL here after all: this surface and the ones after it
        // draw in software, without a restart.
        videoPathFailed();
    }
    return makeSoftwarePath(client);
}

bool FrameRenderer::Shared::deliver(VideoFrame& picture)
{
    std::lock_guard lock(mutex);
    if (stop)
        return false;
    // A redraw does not hide a new frame the surface has not taken yet;
    // a new frame over one is a frame never shown.
    if (readyNew && ready.fresh && picture.fresh)
        ++replaced;
    picture.fresh = picture.fresh || (readyNew && ready.fresh);
    std::swap(picture, ready);
    readyNew = true;
    if (!framePosted) {
        framePosted = true;
        post(Notice::FrameReady);
    }
    return true;
}

// The render thread: waits for the engine's frames, the surface's new
// targets and the client's events; decides what is drawn, redrawn or only
// taken; the path draws; finished pictures go to the mailbox.
void FrameRenderer::Shared::renderLoop(mpv_handle* clientHandle)
{
    ClientHandle client{clientHandle};
    listen(client.handle);
    // Freed before the client.
    const std::unique_ptr<RenderPath> path = makePath(client.handle);
    if (!path) {
        qCWarning(lcPlayer) << "no render context: video will not show";
        std::lock_guard lock(mutex);
        post(Notice::Failed);
        return;
    }
    mpv_render_context_set_update_callback(path->context(), [](void* self) {
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
            const auto woken = [this] { return stop || update || redraw || clientEvent; };
            // A picture on its way is taken out when nothing else comes first.
            if (path->drawing())
                wake.wait_for(lock, kPickUpAfter, woken);
            else
                wake.wait(lock, woken);
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
        if (stale) {
            undrawn = false;
            path->forget();
        }
        if (!updated && !redrawn) {
            if (path->collect(back) && !deliver(back))
                break;
            continue;
        }
        const bool due = updated && (mpv_render_context_update(path->context()) & MPV_RENDER_UPDATE_FRAME);
        // A frame that is due may be the engine's redraw of the picture it
        // has, which after a file change is the last one of the file before.
        bool fresh = false;
        if (due) {
            mpv_render_frame_info info{};
            mpv_render_param infoParam{MPV_RENDER_PARAM_NEXT_FRAME_INFO, &info};
            fresh = mpv_render_context_get_info(path->context(), infoParam) >= 0
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
                path->skip();
            }
            continue;
        }
        // A frame first drawn when the surface shows counts as new.
        const bool drawnFresh = fresh || undrawn;
        undrawn = false;
        if (path->draw(size, drawnFresh, back) && !deliver(back))
            break;
    }
    qCDebug(lcPlayer) << "render thread: ending";
    // The path (its render context, then its OpenGL context), then the
    // client, are freed here, in that order.
}

FrameRenderer::FrameRenderer(mpv_handle* engine, QObject* receiver, Notify notify)
    : shared_(std::make_shared<Shared>())
    , serial_(nextSerial++)
{
    shared_->serial = serial_;
    shared_->receiver = receiver;
    shared_->notify = notify;
    if (videoPath() == VideoPath::OpenGL) {
        // Offscreen surfaces, and the display, are had on the
        // user-interface thread.
        shared_->display = NativeDisplay::ofApplication();
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
