#pragma once

#include <QOpenGLWidget>

struct mpv_handle;
struct mpv_render_context;

namespace miravon {

// The OpenGL surface the engine renders video into, through its render API.
// The render context lives exactly as long as this widget's GL context: it
// is made in initializeGL() and freed when the GL context goes away (a
// reparent for full screen re-creates it) or in release().
class VideoSurface : public QOpenGLWidget {
    Q_OBJECT
public:
    VideoSurface(mpv_handle* engine, QWidget* parent);
    ~VideoSurface() override;

    bool hasRenderContext() const { return render_ != nullptr; }
    // Frees the render context now; the engine may be destroyed afterwards.
    void release();

signals:
    // A render context was made (first show, or again after a reparent).
    void renderContextReady(bool again);
    // A new video frame was drawn.
    void frameRendered();

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    void freeRenderContext();
    static void onEngineUpdate(void* ctx);

    mpv_handle* engine_;
    mpv_render_context* render_ = nullptr;
    bool madeOnce_ = false;
    QMetaObject::Connection contextGone_;
};

} // namespace miravon
