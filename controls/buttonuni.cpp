#include "buttonuni.h"

#include "look.h"
#include "vni.h"

#include <QKeyEvent>
#include <QPainter>

namespace miravon {
namespace {
// Stored look of every page button.
constexpr qint64 bcol = 16777215;  // face
constexpr qint64 fcol = 0;         // text
constexpr qint64 fcolo = 16711680; // text under the pointer
constexpr qint64 mcol = 12632256;  // outline
} // namespace

ButtonUni::ButtonUni(QWidget* parent)
    : QAbstractButton(parent)
{
    setFont(designFont(QStringLiteral("Verdana"), 8.25));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void ButtonUni::setSetkieugotv(bool on)
{
    setkieugotv_ = on;
    refresh();
}

void ButtonUni::setTx(const QString& stored)
{
    tx_ = stored;
    refresh();
}

void ButtonUni::refresh()
{
    setText(setkieugotv_ ? vniToUnicode(tx_) : tx_);
    update();
}

QSize ButtonUni::sizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(text()) + 12, fm.height() + 4);
}

void ButtonUni::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(oleColor(mcol));
    p.setBrush(isDown() ? oleColor(mcol) : oleColor(bcol));
    p.drawRoundedRect(r, 3, 3);
    p.setPen(hover_ ? oleColor(fcolo) : oleColor(fcol));
    p.drawText(rect(), textFlags, text());
    if (hasFocus()) {
        p.setPen(QPen(oleColor(mcol), 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(2, 2, -3, -3));
    }
}

void ButtonUni::enterEvent(QEnterEvent* event)
{
    hover_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void ButtonUni::leaveEvent(QEvent* event)
{
    hover_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void ButtonUni::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !(event->modifiers() & ~Qt::KeypadModifier)) {
        event->accept();
        if (!event->isAutoRepeat())
            click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

} // namespace miravon
