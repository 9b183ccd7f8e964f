#include "programwindow.h"

#include "logging.h"
#include "outerframe.h"
#include "program.h"

#include <QCloseEvent>
#include <QMoveEvent>
#include <QPlatformSurfaceEvent>
#include <QLayout>
#include <QWindow>
#include <cstdlib>

namespace miravon {
namespace {

// The frame the window manager drew around the last window seen on screen
// with a title bar; empty until one was. Windows of one program get the same
// decoration, so this tells the outer size of a window not yet shown.
QMargins& decoration()
{
    static QMargins margins;
    return margins;
}

QMargins marginsOf(const OuterFrame& f)
{
    return QMargins(f.client.left() - f.outer.left(), f.client.top() - f.outer.top(),
                    f.outer.right() - f.client.right(), f.outer.bottom() - f.client.bottom());
}

} // namespace

ProgramWindow::ProgramWindow(Program& program, WindowId id)
    : QWidget(nullptr, Qt::Window)
    , program_(program)
    , id_(id)
{
    setObjectName(windowName(id));
    setAttribute(Qt::WA_DeleteOnClose, false);
    giveUp_.setSingleShot(true);
    giveUp_.setInterval(5000);
    connect(&giveUp_, &QTimer::timeout, this, [this] {
        target_.reset();
        correctedFrom_.reset();
    });
}

void ProgramWindow::unloadByProgram()
{
    programUnload_ = true;
    close();
    programUnload_ = false;
}

void ProgramWindow::closeEvent(QCloseEvent* event)
{
    // While the program ends, windows go without their close handling.
    if (program_.ending()) {
        event->accept();
        return;
    }
    if (!programUnload_ && !queryUnload()) {
        event->ignore();
        return;
    }
    event->accept();
    unloaded();
    // Unload code that ends the program keeps the window until the end.
    if (!program_.ending())
        program_.forget(this);
}

} // namespace miravon

namespace miravon {

void ProgramWindow::placeOuter(const QPoint& at)
{
    // The size must be final before the window is first shown: a size still
    // to come from the layout makes Qt place the client area, not the frame.
    if (layout())
        layout()->activate();
    adjustSize();
    qCDebug(lcWindows) << "place" << objectName() << "frame at" << at;
    if (!onScreenOnce_) {
        // Not yet on the server: move() asks the window manager to put the
        // frame's corner there. Showing the window checks it (setVisible).
        placed_ = true;
        move(at);
        return;
    }
    arm(at);
    if (isVisible())
        settle();
}

void ProgramWindow::arm(const QPoint& at)
{
    target_ = at;
    correctedFrom_.reset();
    corrections_ = 0;
    giveUp_.start();
}

QRect ProgramWindow::outerGeometry() const
{
    if (isVisible()) {
        if (const auto f = outerFrameOnScreen(*this))
            return target_ ? QRect(*target_, f->outer.size()) : f->outer;
    }
    if (onScreenOnce_)
        return lastOuter_;
    // Not yet seen on screen: where it was asked to go, with the frame Qt
    // knows of or, failing that, the one drawn around earlier windows.
    QSize outer = frameGeometry().size();
    if (outer == size() && !(windowFlags() & Qt::FramelessWindowHint))
        outer = size().grownBy(decoration());
    return QRect(pos(), outer);
}

void ProgramWindow::setVisible(bool visible)
{
    const bool appearing = visible && !isVisible();
    if (!visible && isVisible() && onScreenOnce_) {
        // Where the whole window stands before it leaves the screen: a hidden
        // window is asked for its place (the chooser stands beside frmmain).
        if (const auto f = outerFrameOnScreen(*this))
            lastOuter_ = f->outer;
    }
    // What the window system must show: where the window was placed (a
    // later move by the program included), or where it stood when hidden.
    if (appearing && onScreenOnce_)
        arm(lastOuter_.topLeft());
    else if (appearing && placed_)
        arm(pos());
    QWidget::setVisible(visible);
}

void ProgramWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    watch();
    settle();
}

void ProgramWindow::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    // Only the window system's moves tell where the window really stands.
    if (target_ && event->spontaneous() && isVisible())
        settle();
}

bool ProgramWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == watched_) {
        if (event->type() == QEvent::Expose && watched_->isExposed()) {
            settle();
        } else if (event->type() == QEvent::PlatformSurface && onScreenOnce_) {
            // Should Qt make the native window anew (a child that needs
            // another kind of surface), remember where the old one stood.
            const auto type = static_cast<QPlatformSurfaceEvent*>(event)->surfaceEventType();
            if (type == QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed) {
                if (const auto f = outerFrameOnScreen(*this))
                    lastOuter_ = f->outer;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool ProgramWindow::event(QEvent* event)
{
    const bool done = QWidget::event(event);
    if (event->type() == QEvent::WinIdChange && windowHandle()) {
        // A native window made anew, in place of one that was on screen: it
        // must come back where the old one stood.
        watch();
        if (onScreenOnce_ && isVisible())
            arm(lastOuter_.topLeft());
    }
    return done;
}

void ProgramWindow::watch()
{
    if (watched_ == windowHandle())
        return;
    if (watched_)
        watched_->removeEventFilter(this);
    watched_ = windowHandle();
    if (watched_)
        watched_->installEventFilter(this);
}

void ProgramWindow::settle()
{
    const auto f = outerFrameOnScreen(*this);
    if (!f)
        return;
    onScreenOnce_ = true;
    lastOuter_ = f->outer;
    const QMargins m = marginsOf(*f);
    if (!m.isNull())
        decoration() = m;
    if (!target_)
        return;
    const QPoint at = f->outer.topLeft();
    if (correctedFrom_ && at == *correctedFrom_)
        return; // the last correction is not done yet
    const QPoint delta = *target_ - at;
    // Scaled, a frame of one native pixel is half a pixel here: a difference
    // of one is all that can be told apart, and chasing it only oscillates.
    const int slack = devicePixelRatio() > 1 ? 1 : 0;
    const bool inPlace = std::abs(delta.x()) <= slack && std::abs(delta.y()) <= slack;
    if (inPlace || corrections_ >= maxCorrections) {
        qCDebug(lcWindows) << "placed" << objectName() << f->outer << "after" << corrections_
                           << "corrections";
        target_.reset();
        correctedFrom_.reset();
        giveUp_.stop();
        return;
    }
    ++corrections_;
    giveUp_.start();
    correctedFrom_ = at;
    qCDebug(lcWindows) << "correcting" << objectName() << "by" << delta;
    move(pos() + delta);
}

} // namespace miravon
