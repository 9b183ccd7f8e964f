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

#include <algorithm>
#include <cstring>
#include <iterator>

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
constexpr GLenum kRgba8 = 0x8058;
constexpr GLenum kGpuCommandsComplete = 0x9117;
constexpr GLenum kAlreadySignaled = 0x911A;
constexpr GLenum kConditionSatisfied = 0x911C;
constexpr GLbitfield kFlushCommands = 0x0001;
// How long a picture may take the driver, when the thread must wait for it.
constexpr GLuint64 kWaitNs = 1'000'000'000;

// OpenGL: the engine draws into a framebuffer of this thread's own
// context; the picture is read back into a pixel buffer once the driver
// has drawn it, and taken out of it once that copy is done, neither ever
// waited for while the engine has a frame for the thread: the driver draws
// one picture while the thread takes the next frame. Two framebuffers and
// pixel buffers, used in turn, so that a picture is read while the next is
// drawn. Where the context has no fences (OpenGL before 3.2) each picture
// is read back as soon as it is drawn.
class OpenGlPath final : public RenderPath {
public:
    ~OpenGlPath() override
    {
        if (!gl_)
            return;
        // The engine frees its OpenGL objects while the context is current.
        freeContext();
        for (Slot& slot : slots_) {
            dropFence(slot);
            dropFramebuffer(slot);
            if (slot.buffer)
                gl_->glDeleteBuffers(1, &slot.buffer);
        }
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
        readsAhead_ = format.renderableType() == QSurfaceFormat::OpenGLES ? format.version() >= qMakePair(3, 0)
                                                                            : format.version() >= qMakePair(3, 2);
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
        bool given = false;
        Slot* slot = freeSlot();
        if (!slot) {
            // Both still on their way: the older is waited for.
            slot = oldest();
            given = take(*slot, picture, true);
        }
        if (!framebufferFor(*slot, size))
            return given;
        mpv_opengl_fbo target{int(slot->framebuffer), size.width(), size.height(), 0};
        int flip = 1; // top row first, as the picture is read back
        int block = 0;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_OPENGL_FBO, &target},
            {MPV_RENDER_PARAM_FLIP_Y, &flip},
            {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        if (mpv_render_context_render(context_, params) < 0)
            return given;
        slot->fresh = fresh;
        slot->order = ++drawn_;
        if (!readsAhead_) {
            slot->stage = Stage::Reading;
            return take(*slot, picture, true);
        }
        slot->fence = gl_->glFenceSync(kGpuCommandsComplete, 0);
        slot->stage = Stage::Drawing;
        gl_->glFlush();
        return given || collect(picture);
    }

    bool drawing() const override
    {
        return std::any_of(std::begin(slots_), std::end(slots_), [](const Slot& s) { return s.stage != Stage::Free; });
    }

    bool collect(VideoFrame& picture) override
    {
        Slot* slot = oldest();
        if (!slot)
            return false;
        if (slot->stage == Stage::Drawing) {
            if (!signaled(*slot, false))
                return false;
            startRead(*slot);
        }
        return signaled(*slot, false) && take(*slot, picture, false);
    }

    void forget() override
    {
        for (Slot& slot : slots_) {
            dropFence(slot);
            slot.stage = Stage::Free;
        }
    }

private:
    enum class Stage { Free, Drawing, Reading };
    // A framebuffer, the pixel buffer its picture is read into, and where
    // that picture is.
    struct Slot {
        GLuint framebuffer = 0;
        GLuint colour = 0;
        QSize size;
        GLuint buffer = 0;
        qsizetype bufferBytes = 0;
        GLsync fence = nullptr; // the drawing, then the reading, is done
        Stage stage = Stage::Free;
        bool fresh = false;
        quint64 order = 0;
    };

    Slot* freeSlot()
    {
        for (Slot& slot : slots_) {
            if (slot.stage == Stage::Free)
                return &slot;
        }
        return nullptr;
    }
    // The picture drawn first of those on their way.
    Slot* oldest()
    {
        Slot* first = nullptr;
        for (Slot& slot : slots_) {
            if (slot.stage != Stage::Free && (!first || slot.order < first->order))
                first = &slot;
        }
        return first;
    }

    bool framebufferFor(Slot& slot, QSize size)
    {
        if (size == slot.size && slot.framebuffer)
            return true;
        dropFramebuffer(slot);
        gl_->glGenFramebuffers(1, &slot.framebuffer);
        gl_->glGenRenderbuffers(1, &slot.colour);
        gl_->glBindRenderbuffer(GL_RENDERBUFFER, slot.colour);
        // Four bytes a pixel, as the picture is read back: the driver's own
        // layout is copied as it is (the engine draws it opaque).
        gl_->glRenderbufferStorage(GL_RENDERBUFFER, kRgba8, size.width(), size.height());
        gl_->glBindFramebuffer(GL_FRAMEBUFFER, slot.framebuffer);
        gl_->glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, slot.colour);
        const bool complete = gl_->glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        gl_->glBindFramebuffer(GL_FRAMEBUFFER, glContext_->defaultFramebufferObject());
        slot.size = size;
        return complete;
    }

    void dropFramebuffer(Slot& slot)
    {
        if (slot.framebuffer)
            gl_->glDeleteFramebuffers(1, &slot.framebuffer);
        if (slot.colour)
            gl_->glDeleteRenderbuffers(1, &slot.colour);
        slot.framebuffer = slot.colour = 0;
        slot.size = {};
    }

    void dropFence(Slot& slot)
    {
        if (slot.fence)
            gl_->glDeleteSync(slot.fence);
        slot.fence = nullptr;
    }

    // Whether the slot's fence has passed; with `wait`, waited for (within
    // a bound).
    bool signaled(Slot& slot, bool wait)
    {
        if (!slot.fence)
            return true;
        const GLenum result = gl_->glClientWaitSync(slot.fence, kFlushCommands, wait ? kWaitNs : 0);
        if (result != kAlreadySignaled && result != kConditionSatisfied)
            return false;
        dropFence(slot);
        return true;
    }

    // The framebuffer's picture into `data` (BGRA rows of `stride` bytes),
    // or into the bound pixel buffer when `data` is null.
    void readInto(const Slot& slot, void* data, qsizetype stride)
    {
        gl_->glBindFramebuffer(GL_FRAMEBUFFER, slot.framebuffer);
        gl_->glPixelStorei(kPackRowLength, int(stride / 4));
        gl_->glPixelStorei(GL_PACK_ALIGNMENT, 4);
        gl_->glReadPixels(0, 0, slot.size.width(), slot.size.height(), kBgra, GL_UNSIGNED_BYTE, data);
        gl_->glPixelStorei(kPackRowLength, 0);
        gl_->glBindFramebuffer(GL_FRAMEBUFFER, glContext_->defaultFramebufferObject());
    }

    // The drawn picture into the slot's pixel buffer; the copy runs on
    // while the thread goes on.
    void startRead(Slot& slot)
    {
        if (!slot.buffer)
            gl_->glGenBuffers(1, &slot.buffer);
        // Rows as the picture lays them out: taken out in one copy.
        const qsizetype bytes = FrameRenderer::rowBytes(slot.size.width()) * slot.size.height();
        gl_->glBindBuffer(kPixelPackBuffer, slot.buffer);
        if (slot.bufferBytes != bytes) {
            gl_->glBufferData(kPixelPackBuffer, bytes, nullptr, kStreamRead);
            slot.bufferBytes = bytes;
        }
        readInto(slot, nullptr, FrameRenderer::rowBytes(slot.size.width()));
        gl_->glBindBuffer(kPixelPackBuffer, 0);
        slot.fence = gl_->glFenceSync(kGpuCommandsComplete, 0);
        slot.stage = Stage::Reading;
        gl_->glFlush();
    }

    // The slot's picture into `picture`; the slot is free again.
    bool take(Slot& slot, VideoFrame& picture, bool wait)
    {
        if (slot.stage == Stage::Drawing) {
            if (!signaled(slot, wait))
                return false;
            startRead(slot);
        }
        if (readsAhead_ && !signaled(slot, wait))
            return false;
        slot.stage = Stage::Free;
        if (picture.image.size() != slot.size)
            picture.image = FrameRenderer::makeImage(slot.size);
        if (picture.image.isNull())
            return false;
        picture.fresh = slot.fresh;
        if (!readsAhead_) {
            readInto(slot, picture.image.bits(), picture.image.bytesPerLine());
            return true;
        }
        gl_->glBindBuffer(kPixelPackBuffer, slot.buffer);
        const qsizetype bytes = picture.image.bytesPerLine() * slot.size.height();
        const void* mapped = gl_->glMapBufferRange(kPixelPackBuffer, 0, bytes, kMapRead);
        bool ok = mapped != nullptr;
        if (ok) {
            std::memcpy(picture.image.bits(), mapped, std::size_t(bytes));
            ok = gl_->glUnmapBuffer(kPixelPackBuffer) == GL_TRUE;
        }
        gl_->glBindBuffer(kPixelPackBuffer, 0);
        return ok;
    }

    std::unique_ptr<QOpenGLContext> glContext_;
    QOpenGLExtraFunctions* gl_ = nullptr;
    bool readsAhead_ = false;
    Slot slots_[2];
    quint64 drawn_ = 0;
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
