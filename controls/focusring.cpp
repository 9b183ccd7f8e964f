#include "focusring.h"

#include <QApplication>
#include <QEvent>
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
    QObject::connect(qApp, &QApplication::focusChanged, qApp,
                     [](QWidget*, QWidget* now) { instance()->follow(now); });
    instance()->follow(QApplication::focusWidget());
}

FocusRing* FocusRing::instance()
{
    if (!ring)
        ring = new FocusRing;
    return ring;
}

QWidget* FocusRing::target() { return ring ? ring->target_.data() : nullptr; }

void FocusRing::follow(QWidget* now)
{
    if (target_)
        target_->removeEventFilter(this);
    target_ = wantsRing(now) ? now : nullptr;
    if (!target_) {
        hide();
        // Out of any window that may go away.
        setParent(nullptr);
        return;
    }
    target_->installEventFilter(this);
    if (parentWidget() != target_->parentWidget())
        setParent(target_->parentWidget());
    place();
}

void FocusRing::place()
{
    if (!target_ || !target_->isVisible()) {
        hide();
        return;
    }
    setGeometry(target_->geometry().adjusted(-width, -width, width, width));
    raise();
    show();
    update();
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == target_) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
            place();
            break;
        case QEvent::ParentChange:
            follow(target_);
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
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
