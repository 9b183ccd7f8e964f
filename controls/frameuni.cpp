#include "frameuni.h"

#include "look.h"
#include "vni.h"

#include <QPainter>

namespace miravon {

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
    const int textLeft = 8;
    const int textWidth = fm.horizontalAdvance(title) + 4;
    p.drawLine(box.topLeft(), QPoint(textLeft - 2, box.top()));
    p.drawLine(QPoint(textLeft + textWidth, box.top()), box.topRight());
    p.drawLine(box.topRight(), box.bottomRight());
    p.drawLine(box.bottomRight(), box.bottomLeft());
    p.drawLine(box.bottomLeft(), box.topLeft());
    p.setPen(fore_);
    p.drawText(QRect(textLeft, 0, width() - textLeft, fm.height()),
               Qt::AlignLeft | Qt::AlignTop, title);
}

} // namespace miravon
