#pragma once

#include <QImage>
#include <QSize>

#include <memory>

class QObject;
struct mpv_handle;

namespace miravon {

// A picture the render thread finished, ready for the screen.
struct VideoFrame {
    QImage image;        // RGB32, the render target's size in device pixels
    bool fresh = false;  // a new video frame, not a redraw of the last one
};

// The render thread of one video surface. The engine draws its pictures on
// a thread of its own, by one of two render paths (renderpath.h): in
// software (its render API in memory), or on the OpenGL path into a
// framebuffer of the thread's own offscreen context, read back without
// waiting (falling back to software by itself when the driver cannot serve
// the engine);
// finished pictures wait in a small mailbox for the surface to take them,
// so that the UI thread never calls into the render context and never waits
// for a frame.
//
// Life: the render thread takes its own weak client of the engine, makes
// the render context on itself, renders whenever the engine says a frame is
// due, and frees the render context and then its client when it is asked to
// stop or when the engine shuts down. The engine's destruction waits for
// that client to go, so the render context is always freed before the
// engine, without anyone on the UI thread waiting for it.
class FrameRenderer {
public:
    // The notices posted to `receiver`, on its thread.
    // Ended: the thread has freed everything, having been asked to stop
    // or because the engine shut down.
    enum class Notice { Ready, Failed, FrameReady, Ended };
    // `serial` tells which renderer posted: a notice still queued when its
    // renderer is replaced must be told from the new one's.
    using Notify = void (*)(QObject* receiver, quint64 serial, Notice notice);

    // Starts the render thread on `engine`, which must be a live, initialised
    // handle for the length of this call only. `notify` is invoked on the
    // receiver's thread (as a queued call) and never after stop().
    FrameRenderer(mpv_handle* engine, QObject* receiver, Notify notify);
    // stop(), then lets the thread finish by itself.
    ~FrameRenderer();
    FrameRenderer(const FrameRenderer&) = delete;
    FrameRenderer& operator=(const FrameRenderer&) = delete;

    // At once: nothing is posted to the receiver any more and no further
    // render call starts; a render call in flight ends within its bound
    // (one frame interval), then the thread frees the render context, its
    // client and its pictures.
    void stop();

    // What to render into: the surface's size in device pixels, and whether
    // it is on screen (a hidden surface takes the engine's frames without
    // drawing them, so that playback goes on at its pace). A change redraws
    // the current picture.
    void setTarget(QSize pixels, bool visible);

    // Unique to this renderer in the process.
    quint64 serial() const { return serial_; }

    // New pictures replaced in the mailbox by a newer one before the
    // surface took them: frames that were rendered and never shown.
    quint64 replacedPictures() const;

    // The newest finished picture, if one came since the last call: swapped
    // into `frame`, whose old buffer goes back to the render thread.
    bool take(VideoFrame& frame);

    // Allocation used for every picture: rows aligned for the engine's SIMD
    // paths (rowBytes()). Public for the surface's own buffers.
    static QImage makeImage(QSize size);
    static qsizetype rowBytes(int width);

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    quint64 serial_;
};

} // namespace miravon
