#include "outerframe.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <cmath>
#include <cstdlib>
#include <memory>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

namespace miravon {
namespace {

#if QT_CONFIG(xcb)
struct FreeReply {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply>;

xcb_atom_t frameExtentsAtom(xcb_connection_t* c)
{
    static xcb_atom_t atom = [c] {
        static constexpr char name[] = "_NET_FRAME_EXTENTS";
        Reply<xcb_intern_atom_reply_t> r(
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, sizeof name - 1, name), nullptr));
        return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    }();
    return atom;
}

// Native pixels on the server to Qt's device-independent pixels.
QRect logical(const QRect& r, qreal ratio)
{
    auto d = [ratio](int v) { return int(std::lround(v / ratio)); };
    return QRect(QPoint(d(r.left()), d(r.top())), QSize(d(r.width()), d(r.height())));
}

std::optional<OuterFrame> fromServer(xcb_connection_t* c, xcb_window_t w, qreal ratio)
{
    Reply<xcb_get_window_attributes_reply_t> attrs(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr));
    if (!attrs || attrs->map_state != XCB_MAP_STATE_VIEWABLE)
        return std::nullopt;
    Reply<xcb_get_geometry_reply_t> geo(xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr));
    if (!geo)
        return std::nullopt;
    Reply<xcb_translate_coordinates_reply_t> at(
        xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, w, geo->root, 0, 0), nullptr));
    if (!at)
        return std::nullopt;
    const QRect client(at->dst_x, at->dst_y, geo->width, geo->height);

    QRect outer = client;
    bool known = false;
    if (const xcb_atom_t atom = frameExtentsAtom(c); atom != XCB_ATOM_NONE) {
        Reply<xcb_get_property_reply_t> p(xcb_get_property_reply(
            c, xcb_get_property(c, 0, w, atom, XCB_ATOM_CARDINAL, 0, 4), nullptr));
        if (p && p->format == 32 && xcb_get_property_value_length(p.get()) == 16) {
            const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(p.get()));
            // left, right, top, bottom
            outer = client.adjusted(-int(v[0]), -int(v[2]), int(v[1]), int(v[3]));
            known = true;
        }
    }
    if (!known) {
        // The top-level ancestor below the root is the frame (or the client
        // itself when nothing reparented it).
        xcb_window_t top = w;
        for (int depth = 0; depth < 16; ++depth) {
            Reply<xcb_query_tree_reply_t> t(xcb_query_tree_reply(c, xcb_query_tree(c, top), nullptr));
            if (!t)
                return std::nullopt;
            if (t->parent == t->root || t->parent == XCB_WINDOW_NONE)
                break;
            top = t->parent;
        }
        if (top != w) {
            Reply<xcb_get_geometry_reply_t> fg(xcb_get_geometry_reply(c, xcb_get_geometry(c, top), nullptr));
            if (!fg)
                return std::nullopt;
            outer = QRect(fg->x, fg->y, fg->width + 2 * fg->border_width, fg->height + 2 * fg->border_width);
        }
    }
    return OuterFrame{logical(client, ratio), logical(outer, ratio)};
}
#endif

} // namespace

std::optional<OuterFrame> outerFrameOnScreen(const QWidget& window)
{
    if (!window.isVisible() || !window.testAttribute(Qt::WA_WState_Created))
        return std::nullopt;
#if QT_CONFIG(xcb)
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 && x11->connection() && QGuiApplication::platformName() == QLatin1String("xcb")) {
        const QWindow* handle = window.windowHandle();
        if (!handle)
            return std::nullopt;
        return fromServer(x11->connection(), xcb_window_t(window.winId()), handle->devicePixelRatio());
    }
#endif
    // Elsewhere the program cannot place windows (Wayland) or the platform
    // has no real window manager (offscreen): the window stands where it was
    // asked to.
    return std::nullopt;
}

} // namespace miravon
