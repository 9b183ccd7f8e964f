#pragma once

#include <QRect>
#include <optional>

class QWidget;

namespace miravon {

// A shown top-level window as the window system has it: its client area and
// its whole rectangle with the frame the window manager drew around it, in
// the coordinates of QWidget::geometry().
struct OuterFrame {
    QRect client;
    QRect outer;
};

// Asks the window system where a shown top-level window stands now. On X11
// this reads the server: the frame extents the window manager published
// (_NET_FRAME_EXTENTS) or, without them, the window it reparented the
// client into; a client that is a direct child of the root has no frame.
// Qt's own frame geometry is not used there: it is not kept for every kind
// of window surface (it stays empty for OpenGL ones). Empty while the
// window is not on screen, and on other platforms, where the window stands
// where it was asked to.
std::optional<OuterFrame> outerFrameOnScreen(const QWidget& window);

} // namespace miravon
