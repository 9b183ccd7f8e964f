#include "videosurface.h"

#include "playback.h"

#include <QPainter>
#include <QResizeEvent>

#include <cmath>

namespace miravon {

VideoSurface::VideoSurface(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("videoSurface"));
    // Every pixel is painted each time: black or the picture.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

VideoSurface::~VideoSurface() { detach(); }

void VideoSurface::attach(mpv_handle* engine)
{
    detach();
    if (!engine)
        return;
    renderer_ = std::make_unique<FrameRenderer>(engine, this, &VideoSurface::onNotice);
    updateTarget();
}

void VideoSurface::detach()
{
    if (!renderer_)
        return;
    qCDebug(lcPlayer) << "surface: detached";
    replacedBefore_ += renderer_->replacedPictures();
    renderer_.reset();
    ready_ = false;
    front_ = VideoFrame{};
    shown_ = false;
    update();
}

void VideoSurface::setBlank(bool blank)
{
    if (blank == blank_)
        return;
    blank_ = blank;
    if (blank) {
        // The picture on screen goes for good: after the blank only a
        // picture rendered from then on may show.
        shown_ = false;
    }
    update();
}

void VideoSurface::onNotice(QObject* receiver, quint64 serial, FrameRenderer::Notice notice)
{
    auto* self = static_cast<VideoSurface*>(receiver);
    if (!self->renderer_ || self->renderer_->serial() != serial)
        return;  // from a renderer since replaced
    switch (notice) {
    case FrameRenderer::Notice::Ready:
        self->ready_ = true;
        emit self->renderContextReady();
        break;
    case FrameRenderer::Notice::Failed:
        self->renderer_.reset();
        emit self->renderContextFailed();
        break;
    case FrameRenderer::Notice::FrameReady:
        self->update();
        break;
    case FrameRenderer::Notice::Ended:
        // The engine went without a detach: nothing left to show.
        self->detach();
        break;
    }
}

void VideoSurface::updateTarget()
{
    // The window's minimizing reaches the surface only through its window.
    if (watchedWindow_ != window()) {
        if (watchedWindow_)
            watchedWindow_->removeEventFilter(this);
        watchedWindow_ = window();
        watchedWindow_->installEventFilter(this);
    }
    ratio_ = devicePixelRatioF();
    const QSize target(int(std::lround(width() * ratio_)), int(std::lround(height() * ratio_)));
    const bool drawing = isVisible() && !window()->isMinimized();
    if (drawing != drawing_ || target != target_)
        qCDebug(lcPlayer) << "surface:" << (drawing ? "drawing at" : "not drawing,") << target;
    const bool shownAgain = drawing && !drawing_;
    target_ = target;
    drawing_ = drawing;
    if (renderer_)
        renderer_->setTarget(target_, drawing_);
    // A picture that came while nobody could see it waits in the mailbox:
    // painted now (and the current one follows, redrawn for the target).
    if (shownAgain)
        update();
}

bool VideoSurface::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == watchedWindow_ && event->type() == QEvent::WindowStateChange)
        updateTarget();
    return QWidget::eventFilter(watched, event);
}

void VideoSurface::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    updateTarget();
}

void VideoSurface::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    updateTarget();
}

void VideoSurface::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    updateTarget();
}

void VideoSurface::paintEvent(QPaintEvent*)
{
    bool newFrame = false;
    // While blank, pictures wait in the mailbox: the first picture of the
    // next file may come before the blank is lifted. While nobody can see
    // the surface (its window minimized), a picture rendered just before is
    // not drawn either; the current one is drawn when it shows again.
    if (renderer_ && !blank_ && drawing_ && renderer_->take(front_)) {
        shown_ = !front_.image.isNull();
        newFrame = shown_ && front_.fresh;
    }
    // Moved to a screen of another scale: the engine draws for its pixels
    // from the next picture on.
    if (!qFuzzyCompare(devicePixelRatioF(), ratio_))
        updateTarget();
    QPainter painter(this);
    if (blank_ || !shown_) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    // The engine drew at the surface's size in device pixels: copied as it
    // is. While a resize or a change of scale is on its way the picture is
    // stretched for a moment.
    QImage& image = front_.image;
    if (image.size() == target_) {
        image.setDevicePixelRatio(ratio_);
        painter.drawImage(QPointF(0, 0), image);
    } else {
        image.setDevicePixelRatio(1.0);
        painter.drawImage(QRectF(rect()), image);
    }
    if (newFrame)
        emit frameRendered();
}

} // namespace miravon
