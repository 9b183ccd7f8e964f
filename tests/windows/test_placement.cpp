// Where the windows stand on a real X server, read back from the server:
// under a reparenting window manager (the test command starts openbox) and
// on a bare server. Positions are of the whole window, title bar included.

#include "fakeplayer.h"
#include "navigation.h"
#include "player.h"
#include "program.h"
#include "programwindow.h"
#include "steps.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <QtTest>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <xcb/xcb.h>

using namespace miravon;

namespace {


struct Free {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, Free>;

// The server's own view of a top-level window: the rectangle of the
// ancestor just below the root (the frame a window manager reparented the
// client into, or the client itself), and the client's rectangle, both in
// root coordinates and in Qt's device-independent pixels. Empty while the
// window is not viewable.
struct OnServer {
    QRect outer;
    QRect client;
};

std::optional<OnServer> onServer(const QWidget& w)
{
    if (!w.isVisible() || !w.windowHandle())
        return std::nullopt;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11->connection();
    const auto id = xcb_window_t(w.winId());
    Reply<xcb_get_window_attributes_reply_t> a(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, id), nullptr));
    if (!a || a->map_state != XCB_MAP_STATE_VIEWABLE)
        return std::nullopt;
    auto absolute = [c](xcb_window_t win) -> std::optional<QRect> {
        Reply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c, xcb_get_geometry(c, win), nullptr));
        if (!g)
            return std::nullopt;
        Reply<xcb_translate_coordinates_reply_t> t(
            xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, win, g->root, 0, 0), nullptr));
        if (!t)
            return std::nullopt;
        return QRect(t->dst_x, t->dst_y, g->width, g->height);
    };
    xcb_window_t top = id;
    for (;;) {
        Reply<xcb_query_tree_reply_t> t(xcb_query_tree_reply(c, xcb_query_tree(c, top), nullptr));
        if (!t)
            return std::nullopt;
        if (t->parent == t->root)
            break;
        top = t->parent;
    }
    const auto outer = absolute(top);
    const auto client = absolute(id);
    if (!outer || !client)
        return std::nullopt;
    const qreal r = w.windowHandle()->devicePixelRatio();
    auto logical = [r](const QRect& q) {
        return QRect(qRound(q.x() / r), qRound(q.y() / r), qRound(q.width() / r), qRound(q.height() / r));
    };
    return OnServer{logical(*outer), logical(*client)};
}

QRect outerOf(const QWidget& w)
{
    const auto s = onServer(w);
    return s ? s->outer : QRect();
}

// At scale 2 a one-pixel border of the window manager is half a pixel:
// positions may then differ by one.
bool near(const QPoint& a, const QPoint& b)
{
    const int slack = qGuiApp->devicePixelRatio() > 1 ? 1 : 0;
    return std::abs(a.x() - b.x()) <= slack && std::abs(a.y() - b.y()) <= slack;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    Reply<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(name)), name), nullptr));
    return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// A property of 32-bit items of a window, as the server holds it.
QList<uint32_t> property32(const QWidget& w, const char* name, xcb_atom_t type)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11->connection();
    Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(
        c, xcb_get_property(c, 0, xcb_window_t(w.winId()), atom(c, name), type, 0, 64), nullptr));
    QList<uint32_t> out;
    if (r && r->format == 32) {
        const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(r.get()));
        out = QList<uint32_t>(v, v + xcb_get_property_value_length(r.get()) / 4);
    }
    return out;
}

QByteArray show(const QPoint& p) { return QByteArray::number(p.x()) + ',' + QByteArray::number(p.y()); }

#define TRY_NEAR(actual, expected)                                                                 \
    QTRY_VERIFY2_WITH_TIMEOUT(near((actual), (expected)),                                          \
                              show(actual) + " instead of " + show(expected), 5000)

// A window manager is expected (the test command started one): the frame
// must then really have a title bar above the client area.
bool expectFrames() { return qEnvironmentVariableIntValue("MIRAVON_EXPECT_WM") == 1; }

} // namespace

class TestPlacement : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void windowsStandWholeOnScreen();
    void fixedWindowsOfferNoMaximise();
};

void TestPlacement::initTestCase()
{
    QVERIFY(qGuiApp->nativeInterface<QNativeInterface::QX11Application>());
    playerFactory() = [](QWidget* parent) -> std::unique_ptr<Player> {
        return std::make_unique<FakePlayer>(parent);
    };
}

void TestPlacement::windowsStandWholeOnScreen()
{
    Program program([] {});
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();

    // frmmain, as the start window hands over: whole window at the corner.
    program.show(WindowId::frmmain);
    ProgramWindow& main = program.window(WindowId::frmmain);
    QTRY_VERIFY_WITH_TIMEOUT(onServer(main).has_value(), 5000);
    TRY_NEAR(outerOf(main).topLeft(), screen.topLeft());
    const OnServer first = *onServer(main);
    if (expectFrames())
        QVERIFY2(first.client.top() - first.outer.top() >= 10, "no title bar above the client area");
    QCOMPARE(program.outerGeometry(WindowId::frmmain), first.outer);

    // The user moves frmmain (once it is on screen); the chooser opened from its menu then stands
    // against its outer right edge, at its top.
    QTRY_VERIFY_WITH_TIMEOUT(main.windowHandle()->isExposed(), 5000);
    main.move(main.pos() + QPoint(150, 90));
    TRY_NEAR(outerOf(main).topLeft(), first.outer.topLeft() + QPoint(150, 90));
    const QRect moved = outerOf(main);
    runMenuCommand(program, WindowId::frmmain, QStringLiteral("thegioi"));
    ProgramWindow& chooser = program.window(WindowId::chonkenh);
    QTRY_VERIFY_WITH_TIMEOUT(onServer(chooser).has_value(), 5000);
    TRY_NEAR(outerOf(chooser).topLeft(), QPoint(moved.right() + 1, moved.top()));

    // Brazil loads frmmain2 over frmmain's whole window and hides frmmain.
    runChooserControl(program, QStringLiteral("LabelUni5"));
    ProgramWindow& second = program.window(WindowId::frmmain2);
    QTRY_VERIFY_WITH_TIMEOUT(onServer(second).has_value(), 5000);
    QVERIFY(!main.isVisible());
    TRY_NEAR(outerOf(second).topLeft(), moved.topLeft());
    if (expectFrames()) {
        const OnServer s = *onServer(second);
        QVERIFY2(s.client.top() - s.outer.top() >= 10, "no title bar above the client area");
    }
    // The hidden frmmain still knows where it stood.
    QVERIFY(near(program.position(WindowId::frmmain), moved.topLeft()));

    // An information window stands where the system puts it, whole on the
    // screen; closing it brings frmmain back to where it stood.
    runMenuCommand(program, WindowId::frmmain2, QStringLiteral("soft"));
    ProgramWindow& info = program.window(WindowId::frmsoft);
    QTRY_VERIFY_WITH_TIMEOUT(onServer(info).has_value(), 5000);
    const QRect infoOuter = outerOf(info);
    QVERIFY2(screen.contains(infoOuter), qPrintable(QStringLiteral("frmsoft at %1,%2 %3x%4")
                                                        .arg(infoOuter.x()).arg(infoOuter.y())
                                                        .arg(infoOuter.width()).arg(infoOuter.height())));
    info.close();
    QTRY_VERIFY_WITH_TIMEOUT(onServer(main).has_value(), 5000);
    TRY_NEAR(outerOf(main).topLeft(), moved.topLeft());

    // A window first loaded now still takes frmmain's place.
    program.show(WindowId::frmphim);
    ProgramWindow& movies = program.window(WindowId::frmphim);
    QTRY_VERIFY_WITH_TIMEOUT(onServer(movies).has_value(), 5000);
    TRY_NEAR(outerOf(movies).topLeft(), moved.topLeft());
}

// Every window of the program has a fixed size: the hints say so (the same
// minimum and maximum), none asks for a maximise button or function, and a
// window manager offers neither resizing nor maximising; a request to
// maximise changes nothing.
void TestPlacement::fixedWindowsOfferNoMaximise()
{
    Program program([] {});
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11->connection();
    for (WindowId id : {WindowId::frmmain, WindowId::frmphim, WindowId::chonkenh, WindowId::frmsoft}) {
        program.show(id);
        ProgramWindow& w = program.window(id);
        QTRY_VERIFY_WITH_TIMEOUT(onServer(w).has_value(), 5000);
        const QByteArray name = windowName(id).toLatin1();
        // WM_NORMAL_HINTS: flags, x, y, width, height, min w/h, max w/h, ...
        const QList<uint32_t> hints = property32(w, "WM_NORMAL_HINTS", XCB_ATOM_WM_SIZE_HINTS);
        QVERIFY2(hints.size() >= 9, name);
        constexpr uint32_t minSize = 16, maxSize = 32;
        QVERIFY2((hints[0] & minSize) && (hints[0] & maxSize), name);
        QVERIFY2(hints[5] == hints[7] && hints[6] == hints[8], name);
        // _MOTIF_WM_HINTS: flags, functions, decorations; functions given,
        // maximise (16) not among them, nor its button (64).
        const QList<uint32_t> motif = property32(w, "_MOTIF_WM_HINTS", atom(c, "_MOTIF_WM_HINTS"));
        QVERIFY2(motif.size() >= 3, name);
        QVERIFY2((motif[0] & 1) && !(motif[1] & 1) && !(motif[1] & 16), name);
        QVERIFY2(!(motif[2] & 1) && !(motif[2] & 64), name);
        if (!expectFrames())
            continue;
        // What the window manager offers for it.
        QList<uint32_t> allowed;
        QTRY_VERIFY_WITH_TIMEOUT(!(allowed = property32(w, "_NET_WM_ALLOWED_ACTIONS", XCB_ATOM_ATOM)).isEmpty(), 5000);
        for (const char* action : {"_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_MAXIMIZE_VERT", "_NET_WM_ACTION_RESIZE"})
            QVERIFY2(!allowed.contains(atom(c, action)), name + ' ' + action);
        const QRect before = outerOf(w);
        w.windowHandle()->showMaximized();
        QTest::qWait(300); // nothing is expected to happen; give the window manager a chance
        QCOMPARE(outerOf(w).size(), before.size());
        w.windowHandle()->showNormal();
    }
}

QTEST_MAIN(TestPlacement)
#include "test_placement.moc"
