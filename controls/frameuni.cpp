#include "frameuni.h"

#include "look.h"
#include "vni.h"

#include <QPainter>
#include <QtMath>

namespace miravon {
namespace {
constexpr int titleLeft = 8;
} // namespace

FrameUni::FrameUni(QWidget* parent)
    : QWidget(parent)
    , fore_(oleColor(sysHighlightText))
{
    setAutoFillBackground(true);
    setFont(designFont(QStringLiteral("Arial"), 8.25));
}

void FrameUni::setSetkieugotv(bool on)
{
    setkieugotv_ = on;
    update();
}

void FrameUni::setCaption(const QString& stored)
{
    caption_ = stored;
    update();
}

QString FrameUni::displayedCaption() const
{
    return setkieugotv_ ? vniToUnicode(caption_) : caption_;
}

void FrameUni::setForecolor(qint64 ole)
{
    fore_ = oleColor(ole);
    update();
}

QRect FrameUni::titleRect() const
{
    if (displayedCaption().isEmpty())
        return {};
    return QRect(titleLeft, 0, width() - titleLeft, qCeil(QFontMetricsF(font()).height()));
}

void FrameUni::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QString title = displayedCaption();
    const QFontMetrics fm(font());
    const int half = fm.height() / 2;
    // A thin etched border; the title, when there is one, breaks its top edge.
    p.setPen(QColor(0x80, 0x80, 0x80));
    const QRect box = rect().adjusted(0, half, -1, -1);
    if (title.isEmpty()) {
        p.drawRect(box);
        return;
    }
    const int textWidth = fm.horizontalAdvance(title) + 4;
    p.drawLine(box.topLeft(), QPoint(titleLeft - 2, box.top()));
    p.drawLine(QPoint(titleLeft + textWidth, box.top()), box.topRight());
    p.drawLine(box.topRight(), box.bottomRight());
    p.drawLine(box.bottomRight(), box.bottomLeft());
    p.drawLine(box.bottomLeft(), box.topLeft());
    p.setPen(fore_);
    p.drawText(titleRect(), titleFlags, title);
}

} // namespace miravon
