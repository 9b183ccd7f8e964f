#pragma once

#include "engineoptions.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

namespace miravon {

class Engine;
class VideoSurface;

// The player's engine and what its life depends on: the engine is made off
// the UI thread when first needed and given back (off the UI thread too)
// after the player has been idle for a while; the video surface is attached
// to it once it is ready and detached before it goes (the render context
// must go first); and a file is loaded only once the surface has its
// render context, or a short bound has passed without one.
class EngineSlot : public QObject {
    Q_OBJECT
public:
    // `surface` may be null (video drawn elsewhere, or none).
    EngineSlot(VideoSurface* surface, QObject* parent = nullptr);
    ~EngineSlot() override;

    Engine* engine() const { return engine_.get(); }
    bool hasEngine() const { return static_cast<bool>(engine_); }

    // Makes the engine unless there is one: `setup` is given the new engine
    // before it starts (signals, observations, settings).
    void ensure(const std::function<void(Engine&)>& setup, const EngineOptions& options);

    // Calls `load` once the engine is ready and the surface can draw
    // (`withVideo`), or has failed to, or the bound has passed without it
    // (`withVideo` false: the picture is switched on if the context comes
    // after all, see renderContextLate()). Replaces a load still waiting.
    void load(std::function<void(bool withVideo)> load);
    // Drops a load still waiting.
    void cancelLoad();
    bool isLoadWaiting() const { return static_cast<bool>(pending_); }

    // The engine goes after `ms` of idleness (release()), unless needed
    // again before.
    void setIdleRelease(int ms) { idle_.setInterval(std::max(0, ms)); }
    void scheduleRelease();
    void cancelRelease() { idle_.stop(); }

signals:
    void startFailed();
    // The render context came after a file started without one.
    void renderContextLate();
    // The engine was given back after being idle.
    void released();

private:
    void engineReady();
    void tryLoad(bool boundPassed);
    void release();

    QPointer<VideoSurface> surface_;
    std::unique_ptr<Engine> engine_;
    std::function<void(bool)> pending_;
    QTimer surfaceWait_;
    QTimer idle_;
    bool loadedWithoutVideo_ = false;
};

// How long a closed player keeps its engine by default.
inline constexpr int kIdleReleaseMs = 5000;

} // namespace miravon
