#pragma once

#include "framerenderer.h"

#include <QPointer>
#include <QWidget>

#include <memory>

struct mpv_handle;

namespace miravon {

// The picture area the engine's video shows in. A plain widget: the engine
// draws on the surface's render thread (FrameRenderer), in software or, on
// the OpenGL path (videopath.h), into an offscreen framebuffer of that
// thread, and the surface paints the newest finished picture, scaled by
// the engine to its size in device pixels with black bars, so that it is
// copied to the screen pixel for pixel at any scale. The window holding it
// never holds an OpenGL surface, so it is never re-created when playback
// starts or stops, and a surface without an engine holds nothing but its
// widget.
//
// The UI thread never calls into the render context and never waits for
// the render thread: attach() and detach() return at once.
class VideoSurface : public QWidget {
    Q_OBJECT
public:
    explicit VideoSurface(QWidget* parent);
    ~VideoSurface() override;

    // Starts rendering `engine`'s video (the handle must be live during the
    // call). renderContextReady() follows once the render context is made.
    void attach(mpv_handle* engine);
    // At once: no picture or notice of the attached engine reaches the
    // surface afterwards, and its render context is freed on the render
    // thread before the engine's destruction can finish, so the engine may be
    // destroyed right after this returns. The surface shows black.
    void detach();
    bool isAttached() const { return static_cast<bool>(renderer_); }
    // The render context is made and the surface attached.
    bool hasRenderContext() const { return renderer_ && ready_; }

    // Whether the engine's pictures are drawn now: the surface is shown and
    // its window is not minimized. Otherwise frames are taken and dropped
    // undrawn (playback goes on); the current picture is drawn as soon as
    // the surface can be seen again.
    bool isDrawing() const { return drawing_; }
    // The size, in device pixels, the engine draws its pictures at.
    QSize targetPixels() const { return target_; }
    // Pictures rendered and never shown (a newer one came first), since the
    // surface was made.
    quint64 replacedPictures() const
    {
        return replacedBefore_ + (renderer_ ? renderer_->replacedPictures() : 0);
    }

    // A blank surface shows black, not the engine's last picture: set when
    // playback stops or fails, cleared when a new picture is on its way.
    void setBlank(bool blank);
    bool isBlank() const { return blank_; }

signals:
    // A render context was made for the attached engine.
    void renderContextReady();
    // No render context could be made: video will not show.
    void renderContextFailed();
    // A new video frame was shown.
    void frameRendered();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static void onNotice(QObject* receiver, quint64 serial, FrameRenderer::Notice notice);
    void updateTarget();

    std::unique_ptr<FrameRenderer> renderer_;
    bool ready_ = false;
    bool blank_ = true;
    // The picture on screen, valid while `shown_`; its buffer goes back to
    // the render thread on the next take.
    VideoFrame front_;
    bool shown_ = false;
    // What the renderer was last told: device pixels, their ratio, drawing.
    QSize target_;
    qreal ratio_ = 1.0;
    bool drawing_ = false;
    quint64 replacedBefore_ = 0;
    QPointer<QWidget> watchedWindow_;
};

} // namespace miravon
