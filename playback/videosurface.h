#pragma once

#include <QOpenGLWidget>

struct mpv_handle;
struct mpv_render_context;

namespace miravon {

// The OpenGL surface the engine renders video into, through its render API.
// It exists from the player's construction, so that its window is made
// OpenGL-capable from the start and is never re-created when playback
// begins; the engine is attached later and detached when it goes.
//
// The render context lives while both an engine is attached and this
// widget has a GL context: it is made on attach() or in initializeGL(),
// and freed on detach() or when the GL context goes away (a reparent for
// full screen re-creates it).
class VideoSurface : public QOpenGLWidget {
    Q_OBJECT
public:
    explicit VideoSurface(QWidget* parent);
    ~VideoSurface() override;

    void attach(mpv_handle* engine);
    // Frees the render context now; the engine may be destroyed afterwards.
    void detach();
    bool hasRenderContext() const { return render_ != nullptr; }

    // A blank surface shows black, not the engine's last picture: set when
    // playback stops or fails, cleared when a new picture is on its way.
    void setBlank(bool blank);
    bool isBlank() const { return blank_; }

signals:
    // A render context was made (attach, first show, or after a reparent).
    void renderContextReady();
    // A new video frame was drawn.
    void frameRendered();

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    void makeRenderContext();
    void freeRenderContext();
    static void onEngineUpdate(void* ctx);

    mpv_handle* engine_ = nullptr;
    mpv_render_context* render_ = nullptr;
    bool blank_ = true;
    QMetaObject::Connection contextGone_;
};

} // namespace miravon
