#include "renderpath.h"

#include "playback.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <qguiapplication_platform.h>

#include <mpv/client.h>
#include <mpv/render.h>
#include <mpv/render_gl.h>

#include <cstring>
#include <deque>

namespace miravon {

NativeDisplay NativeDisplay::ofApplication()
{
    NativeDisplay display;
#if QT_CONFIG(xcb)
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        display.x11 = x11->display();
#endif
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0) && QT_CONFIG(wayland)
    if (auto* wayland = qGuiApp->nativeInterface<QNativeInterface::QWaylandApplication>())
        display.wayland = wayland->display();
#endif
    return display;
}

RenderPath::~RenderPath() { freeContext(); }

void RenderPath::freeContext()
{
    if (!context_)
        return;
    // After this returns the engine calls the update callback no more.
    mpv_render_context_set_update_callback(context_, nullptr, nullptr);
    mpv_render_context_free(context_);
    context_ = nullptr;
}

void RenderPath::skip()
{
    int skip = 1;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context_render(context_, params);
}

namespace {

// The engine's software renderer, straight into the picture's memory.
class SoftwarePath final : public RenderPath {
public:
    bool start(mpv_handle* client)
    {
        int advanced = 0;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
            {MPV_RENDER_PARAM_ADVANCED_CONTROL, &advanced},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        if (mpv_render_context_create(&context_, client, params) < 0)
            context_ = nullptr;
        return context_;
    }

    bool draw(QSize size, bool fresh, VideoFrame& picture) override
    {
        if (picture.image.size() != size)
            picture.image = FrameRenderer::makeImage(size);
        if (picture.image.isNull())
            return false;
        int sizeParam[2] = {size.width(), size.height()};
        size_t stride = size_t(picture.image.bytesPerLine());
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_SW_SIZE, sizeParam},
            {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>("bgr0")},
            {MPV_RENDER_PARAM_SW_STRIDE, &stride},
            {MPV_RENDER_PARAM_SW_POINTER, picture.image.bits()},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        if (mpv_render_context_render(context_, params) < 0)
            return false;
        // The engine leaves the fourth byte undefined (and zero in the
        // bars); the image format wants it opaque.
        for (int y = 0; y < size.height(); ++y) {
            auto* row = reinterpret_cast<quint32*>(picture.image.scanLine(y));
            for (int x = 0; x < size.width(); ++x)
                row[x] |= 0xff000000u;
        }
        picture.fresh = fresh;
        return true;
    }
};

void* glProcAddress(void*, const char* name)
{
    QOpenGLContext* current = QOpenGLContext::currentContext();
    return current ? reinterpret_cast<void*>(current->getProcAddress(name)) : nullptr;
}

constexpr GLenum kBgra = 0x80E1;          // GL_BGRA
constexpr GLenum kPackRowLength = 0x0D02; // GL_PACK_ROW_LENGTH
constexpr GLenum kPixelPackBuffer = 0x88EB;
constexpr GLenum kStreamRead = 0x88E1;
constexpr GLbitfield kMapRead = 0x0001;   // GL_MAP_READ_BIT

// OpenGL: the engine draws into a framebuffer of this thread's own
// context, and the picture is read back into one of two pixel buffers
// without waiting; it is taken out of it once the next frame is drawn (or
// the loop finds nothing more to draw), by which time the copy is done.
// So the thread never stalls on the read-back while the engine has a
// frame for it. Where the context has no pixel buffers (OpenGL before 3.0)
// the picture is read back at once.
class OpenGlPath final : public RenderPath {
public:
    ~OpenGlPath() override
    {
        if (!gl_)
            return;
        // The engine frees its OpenGL objects while the context is current.
        freeContext();
        if (!buffers_.empty())
            gl_->glDeleteBuffers(GLsizei(buffers_.size()), buffers_.data());
        dropFramebuffer();
        glContext_->doneCurrent();
    }

    bool start(mpv_handle* client, QOffscreenSurface* surface, const NativeDisplay& display)
    {
        glContext_ = std::make_unique<QOpenGLContext>();
        glContext_->setFormat(surface->requestedFormat());
        if (!glContext_->create() || !glContext_->makeCurrent(surface)) {
            glContext_.reset();
            return false;
        }
        gl_ = glContext_->extraFunctions();
        const QSurfaceFormat format = glContext_->format();
        readsAhead_ = format.version() >= qMakePair(3, 0);
        mpv_opengl_init_params init{&glProcAddress, nullptr};
        int advanced = 0;
        QList<mpv_render_param> params = {
            {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
            {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &init},
            {MPV_RENDER_PARAM_ADVANCED_CONTROL, &advanced},
        };
        // The hardware decoders' pictures reach OpenGL through the display.
        if (display.x11)
            params.append({MPV_RENDER_PARAM_X11_DISPLAY, display.x11});
        if (display.wayland)
            params.append({MPV_RENDER_PARAM_WL_DISPLAY, display.wayland});
        params.append({MPV_RENDER_PARAM_INVALID, nullptr});
        if (mpv_render_context_create(&context_, client, params.data()) < 0) {
            context_ = nullptr;
            gl_ = nullptr;
            glContext_->doneCurrent();
            glContext_.reset();
            return false;
        }
        return true;
    }

    bool draw(QSize size, bool fresh, VideoFrame& picture) override
    {
        if (!framebufferFor(size))
            return false;
        mpv_opengl_fbo target{int(fbo_), size.width(), size.height(), 0};
        int flip = 1; // top row first, as the picture is read back
        int block = 0;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_OPENGL_FBO, &target},
            {MPV_RENDER_PARAM_FLIP_Y, &flip},
            {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        if (mpv_render_context_render(context_, params) < 0)
            return false;
        if (!readsAhead_) {
            if (picture.image.size() != size)
                picture.image = FrameRenderer::makeImage(size);
            if (picture.image.isNull())
                return false;
            readInto(picture.image.bits(), size, int(picture.image.bytesPerLine()));
            picture.fresh = fresh;
            return true;
        }
        startRead(size, fresh);
        // The one before, read long enough ago to be there.
        return pending_.size() > 1 && takeOldest(picture);
    }

    bool drawing() const override { return !pending_.empty(); }

    bool finish(VideoFrame& picture) override { return !pending_.empty() && takeOldest(picture); }

    void forget() override { pending_.clear(); }

private:
    // One picture read into a pixel buffer, not yet taken out.
    struct Pending {
        std::size_t buffer = 0;
        QSize size;
        qsizetype stride = 0;
        bool fresh = false;
    };

    bool framebufferFor(QSize size)
    {
        if (size == size_ && fbo_)
            return true;
        dropFramebuffer();
        gl_->glGenFramebuffers(1, &fbo_);
        gl_->glGenRenderbuffers(1, &colour_);
        gl_->glBindRenderbuffer(GL_RENDERBUFFER, colour_);
        // Four bytes a pixel, as the picture is read back: the driver's
        // own layout is copied as it is (the engine draws it opaque).
        constexpr GLenum rgba8 = 0x8058; // GL_RGBA8
        gl_->glRenderbufferStorage(GL_RENDERBUFFER, rgba8, size.width(), size.height());
        gl_->glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
        gl_->glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
        const bool complete = gl_->glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        gl_->glBindFramebuffer(GL_FRAMEBUFFER, glContext_->defaultFramebufferObject());
        size_ = size;
        return complete;
    }

    void dropFramebuffer()
    {
        if (fbo_)
            gl_->glDeleteFramebuffers(1, &fbo_);
        if (colour_)
            gl_->glDeleteRenderbuffers(1, &colour_);
        fbo_ = colour_ = 0;
        size_ = {};
    }

    // The framebuffer's picture into `data` (BGRA rows of `stride` bytes),
    // or into the bound pixel buffer when `data` is null.
    void readInto(void* data, QSize size, int stride)
    {
        gl_->glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
        gl_->glPixelStorei(kPackRowLength, stride / 4);
        gl_->glPixelStorei(GL_PACK_ALIGNMENT, 4);
        gl_->glReadPixels(0, 0, size.width(), size.height(), kBgra, GL_UNSIGNED_BYTE, data);
        gl_->glPixelStorei(kPackRowLength, 0);
        gl_->glBindFramebuffer(GL_FRAMEBUFFER, glContext_->defaultFramebufferObject());
    }

    // Reads the framebuffer into a free pixel buffer; the copy runs on
    // while the thread goes on.
    void startRead(QSize size, bool fresh)
    {
        if (buffers_.empty()) {
            buffers_.resize(2);
            gl_->glGenBuffers(2, buffers_.data());
            bufferBytes_.assign(2, 0);
        }
        // Two buffers: the one not holding the picture still to be taken.
        const std::size_t buffer = pending_.empty() ? next_ : (pending_.back().buffer + 1) % buffers_.size();
        next_ = (buffer + 1) % buffers_.size();
        // Rows as the picture lays them out: taken out in one copy.
        const qsizetype stride = FrameRenderer::rowBytes(size.width());
        const qsizetype bytes = stride * size.height();
        gl_->glBindBuffer(kPixelPackBuffer, buffers_[buffer]);
        if (bufferBytes_[buffer] != bytes) {
            gl_->glBufferData(kPixelPackBuffer, bytes, nullptr, kStreamRead);
            bufferBytes_[buffer] = bytes;
        }
        readInto(nullptr, size, int(stride));
        gl_->glBindBuffer(kPixelPackBuffer, 0);
        gl_->glFlush();
        pending_.push_back(Pending{buffer, size, stride, fresh});
    }

    // The oldest picture on its way, out of its pixel buffer.
    bool takeOldest(VideoFrame& picture)
    {
        const Pending p = pending_.front();
        pending_.pop_front();
        if (picture.image.size() != p.size)
            picture.image = FrameRenderer::makeImage(p.size);
        if (picture.image.isNull())
            return false;
        gl_->glBindBuffer(kPixelPackBuffer, buffers_[p.buffer]);
        const auto* mapped = static_cast<const uchar*>(
            gl_->glMapBufferRange(kPixelPackBuffer, 0, p.stride * p.size.height(), kMapRead));
        bool ok = mapped != nullptr;
        if (ok) {
            const qsizetype row = qsizetype(p.size.width()) * 4;
            if (picture.image.bytesPerLine() == p.stride) {
                std::memcpy(picture.image.bits(), mapped, std::size_t(p.stride * p.size.height()));
            } else {
                for (int y = 0; y < p.size.height(); ++y)
                    std::memcpy(picture.image.scanLine(y), mapped + y * p.stride, std::size_t(row));
            }
            ok = gl_->glUnmapBuffer(kPixelPackBuffer) == GL_TRUE;
        }
        gl_->glBindBuffer(kPixelPackBuffer, 0);
        picture.fresh = p.fresh;
        return ok;
    }

    std::unique_ptr<QOpenGLContext> glContext_;
    QOpenGLExtraFunctions* gl_ = nullptr;
    bool readsAhead_ = false;
    GLuint fbo_ = 0;
    GLuint colour_ = 0;
    QSize size_;
    std::vector<GLuint> buffers_;
    std::vector<qsizetype> bufferBytes_;
    std::size_t next_ = 0;
    std::deque<Pending> pending_;
};

} // namespace

std::unique_ptr<RenderPath> makeSoftwarePath(mpv_handle* client)
{
    auto path = std::make_unique<SoftwarePath>();
    if (!path->start(client))
        return nullptr;
    return path;
}

std::unique_ptr<RenderPath> makeOpenGlPath(mpv_handle* client, QOffscreenSurface* surface,
                                           const NativeDisplay& display)
{
    auto path = std::make_unique<OpenGlPath>();
    if (!path->start(client, surface, display))
        return nullptr;
    return path;
}

} // namespace miravon
