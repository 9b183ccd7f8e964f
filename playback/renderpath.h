#pragma once

#include "framerenderer.h"

#include <QSize>

#include <memory>

class QOffscreenSurface;
struct mpv_handle;
struct mpv_render_context;

namespace miravon {

// The window system's display, for the engine's hardware decoders: they
// share their pictures with OpenGL through it. Null where the platform
// gives none (the offscreen platform; Wayland before Qt 6.5, where the
// decoders open the render node themselves).
struct NativeDisplay {
    void* x11 = nullptr;     // Display*
    void* wayland = nullptr; // wl_display*

    // The application's own. On the user-interface thread.
    static NativeDisplay ofApplication();
};

// How a render thread draws the engine's pictures: in software into
// memory, or with OpenGL into a framebuffer read back. The thread's loop
// (framerenderer.cpp) decides what to draw and when, and hands finished
// pictures on; a path only draws. Made, used and destroyed on the render
// thread, and destroyed before the engine client it was made on.
class RenderPath {
public:
    virtual ~RenderPath();
    RenderPath(const RenderPath&) = delete;
    RenderPath& operator=(const RenderPath&) = delete;

    mpv_render_context* context() const { return context_; }

    // Draws the frame due at `size` (device pixels), a new video frame when
    // `fresh`. A finished picture goes into `picture`, with its own fresh
    // flag, and true is returned: the one just drawn, or, on a path whose
    // pictures come later, one drawn before it.
    virtual bool draw(QSize size, bool fresh, VideoFrame& picture) = 0;
    // A picture drawn and not given yet is on its way.
    virtual bool drawing() const { return false; }
    // The oldest picture on its way, into `picture`, if it is finished:
    // never waits.
    virtual bool collect(VideoFrame& picture)
    {
        (void)picture;
        return false;
    }
    // That picture is of a file that ended: it is never given.
    virtual void forget() {}
    // The frame due, taken without drawing it: the engine waits for its
    // frames to be taken.
    void skip();

protected:
    RenderPath() = default;
    // Frees the render context: a path whose context needs its own
    // OpenGL context current calls it first thing in its destructor.
    void freeContext();

    mpv_render_context* context_ = nullptr;
};

// Draws in software: null when the engine gives no render context.
std::unique_ptr<RenderPath> makeSoftwarePath(mpv_handle* client);

// Draws with OpenGL, in a context of its own made current on this thread
// for the path's life, on `surface` (made on the user-interface thread):
// null when no context can be made here or the engine cannot draw with it.
std::unique_ptr<RenderPath> makeOpenGlPath(mpv_handle* client, QOffscreenSurface* surface,
                                           const NativeDisplay& display);

} // namespace miravon
