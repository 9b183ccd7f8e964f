#include "engineslot.h"

#include "engine.h"
#include "playback.h"
#include "videosurface.h"

namespace miravon {

EngineSlot::EngineSlot(VideoSurface* surface, QObject* parent)
    : QObject(parent)
    , surface_(surface)
{
    surfaceWait_.setSingleShot(true);
    connect(&surfaceWait_, &QTimer::timeout, this, [this] { tryLoad(true); });
    idle_.setSingleShot(true);
    idle_.setInterval(kIdleReleaseMs);
    connect(&idle_, &QTimer::timeout, this, &EngineSlot::release);
    if (surface_) {
        connect(surface_, &VideoSurface::renderContextReady, this, [this] {
            if (pending_) {
                tryLoad(false);
            } else if (loadedWithoutVideo_ && engine_) {
                // The file started without a render context (it came after
                // the bound): have the video made again.
                loadedWithoutVideo_ = false;
                emit renderContextLate();
            }
        });
        connect(surface_, &VideoSurface::renderContextFailed, this, [this] {
            if (pending_)
                tryLoad(true);
        });
    }
}

EngineSlot::~EngineSlot()
{
    // The render context must go before the engine does.
    if (surface_)
        surface_->detach();
    engine_.reset();
}

void EngineSlot::ensure(const std::function<void(Engine&)>& setup, const EngineOptions& options)
{
    idle_.stop();
    if (engine_)
        return;
    engine_ = std::make_unique<Engine>();
    Engine* e = engine_.get();
    connect(e, &Engine::ready, this, &EngineSlot::engineReady);
    connect(e, &Engine::startFailed, this, [this] {
        pending_ = nullptr;
        surfaceWait_.stop();
        engine_.reset();
        emit startFailed();
    });
    setup(*e);
    e->start(options);
}

void EngineSlot::engineReady()
{
    if (surface_)
        surface_->attach(engine_->handle());
    if (pending_)
        tryLoad(false);
}

void EngineSlot::load(std::function<void(bool withVideo)> load)
{
    pending_ = std::move(load);
    loadedWithoutVideo_ = false;
    tryLoad(false);
}

void EngineSlot::cancelLoad()
{
    pending_ = nullptr;
    surfaceWait_.stop();
}

void EngineSlot::tryLoad(bool boundPassed)
{
    if (!pending_ || !engine_) {
        surfaceWait_.stop();
        return;
    }
    if (!engine_->isReady())
        return; // engineReady() comes back here
    // The first video needs a render context to draw into; the surface's
    // render thread is making it. Wait for it briefly, never longer.
    if (!boundPassed && surface_ && surface_->isAttached() && !surface_->hasRenderContext()) {
        if (!surfaceWait_.isActive())
            surfaceWait_.start(1500);
        return; // renderContextReady or the bound comes back here
    }
    surfaceWait_.stop();
    const bool withVideo = !surface_ || surface_->hasRenderContext();
    loadedWithoutVideo_ = !withVideo;
    const std::function<void(bool)> load = std::move(pending_);
    pending_ = nullptr;
    load(withVideo);
}

void EngineSlot::scheduleRelease()
{
    if (engine_)
        idle_.start();
}

void EngineSlot::release()
{
    if (!engine_)
        return;
    qCDebug(lcPlayer) << "idle: engine given back";
    // The render context must go before the engine does; the engine itself
    // is destroyed on a background thread.
    if (surface_)
        surface_->detach();
    pending_ = nullptr;
    loadedWithoutVideo_ = false;
    engine_.reset();
    emit released();
}

} // namespace miravon
