#include "focusring.h"

#include <QApplication>
#include <QFocusEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>

namespace miravon {
namespace {
FocusRing* ring = nullptr;

const QColor gold(0xff, 0xd2, 0x00);
const QColor edge(0x10, 0x10, 0x10);

// Widgets the ring stands around: anything reached by Tab inside a window,
// but not the menus (they show their own selection) nor a whole window.
bool wantsRing(const QWidget* w)
{
    return w && !w->isWindow() && (w->focusPolicy() & Qt::TabFocus) && !qobject_cast<const QMenuBar*>(w)
        && !qobject_cast<const QMenu*>(w);
}
} // namespace

// Watches the whole application's events for focus changes, key presses
// and the focused widget's moves.
class FocusWatcher : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::FocusIn:
            if (watched->isWidgetType()) {
                const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
                const bool byKeys = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason
                    || reason == Qt::ShortcutFocusReason;
                FocusRing::instance()->follow(static_cast<QWidget*>(watched),
                                              byKeys || (reason != Qt::MouseFocusReason && keysInUse_));
            }
            break;
        case QEvent::MouseButtonPress:
            keysInUse_ = false;
            break;
        case QEvent::FocusOut:
            if (ring && watched == ring->target_)
                ring->follow(nullptr, false);
            break;
        case QEvent::KeyPress:
            keysInUse_ = true;
            if (ring && watched == ring->target_ && !ring->shown_) {
                ring->shown_ = true;
                ring->place();
            }
            break;
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
            if (ring && watched == ring->target_)
                ring->place();
            break;
        case QEvent::ParentChange:
            if (ring && watched == ring->target_)
                ring->follow(ring->target_, ring->shown_);
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    // Whether the user works with the keyboard now: from the first key
    // pressed to the next mouse button. A window shown or coming back
    // rings its focus only then, so that none shows at start.
    bool keysInUse_ = false;
};

FocusRing::FocusRing()
    : QWidget(nullptr)
{
    setObjectName(QStringLiteral("focusRing"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

FocusRing::~FocusRing()
{
    // The ring goes with the window it stands in; the next focus change
    // makes a new one.
    if (ring == this)
        ring = nullptr;
}

void FocusRing::install()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    qApp->installEventFilter(new FocusWatcher(qApp));
    instance()->follow(QApplication::focusWidget(), true);
}

FocusRing* FocusRing::instance()
{
    if (!ring)
        ring = new FocusRing;
    return ring;
}

QWidget* FocusRing::target() { return ring ? ring->target_.data() : nullptr; }

void FocusRing::follow(QWidget* now, bool shown)
{
    target_ = wantsRing(now) ? now : nullptr;
    shown_ = shown;
    if (!target_) {
        hide();
        // Out of any window that may go away.
        setParent(nullptr);
        return;
    }
    if (parentWidget() != target_->parentWidget())
        setParent(target_->parentWidget());
    place();
}

void FocusRing::place()
{
    if (!target_ || !shown_ || !target_->isVisible()) {
        hide();
        return;
    }
    setGeometry(target_->geometry().adjusted(-width, -width, width, width));
    raise();
    show();
    update();
}

void FocusRing::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect r = rect();
    // A dark outer edge, then two pixels of gold against the widget.
    p.setPen(edge);
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0, 0, -1, -1));
    p.setPen(QPen(gold, 2));
    p.drawRect(QRectF(r).adjusted(2, 2, -2, -2));
}

} // namespace miravon
