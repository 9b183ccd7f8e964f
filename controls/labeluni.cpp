#include "labeluni.h"

#include "look.h"
#include "vni.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace miravon {

LabelUni::LabelUni(QWidget* parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setForecolor(sysHighlightText);
    setFont(designFont(QStringLiteral("Tahoma"), 9.75));
}

void LabelUni::setSetkieugotv(bool on)
{
    setkieugotv_ = on;
    refresh();
}

void LabelUni::setCaption(const QString& stored)
{
    caption_ = stored;
    refresh();
}

void LabelUni::setForecolor(qint64 ole)
{
    fore_ = oleColor(ole);
    applyColour();
}

void LabelUni::applyColour()
{
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, marked_ ? markColour() : fore_);
    setPalette(pal);
}

QColor LabelUni::markColour()
{
    // Warm gold: apart from the white and light texts on the dark panels.
    return QColor(0xFF, 0xD2, 0x3F);
}

void LabelUni::setInvitesClick(bool on)
{
    invitesClick_ = on;
    setAttribute(Qt::WA_Hover, on);
    if (on)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
    if (!on)
        hovered_ = false;
    update();
}

void LabelUni::setMarked(bool on)
{
    if (marked_ == on)
        return;
    marked_ = on;
    applyColour();
    update();
}

void LabelUni::setWithoutAddress(bool on)
{
    if (withoutAddress_ == on)
        return;
    withoutAddress_ = on;
    update();
}

void LabelUni::enterEvent(QEnterEvent* event)
{
    QLabel::enterEvent(event);
    if (invitesClick_) {
        hovered_ = true;
        update();
    }
}

void LabelUni::leaveEvent(QEvent* event)
{
    QLabel::leaveEvent(event);
    if (hovered_) {
        hovered_ = false;
        update();
    }
}

void LabelUni::paintEvent(QPaintEvent* event)
{
    if (hovered_) {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 46));
        p.drawRoundedRect(QRectF(rect()), 3, 3);
    }
    QLabel::paintEvent(event);
    if (marked_ && !pixmap().isNull()) {
        QPainter p(this);
        p.setPen(QPen(markColour(), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
    if (withoutAddress_ && !marked_) {
        QPainter p(this);
        QColor c = palette().color(QPalette::WindowText);
        c.setAlpha(120);
        // One device pixel, whatever the scale: a hint, not a line.
        p.setPen(QPen(c, 0, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        if (!pixmap().isNull()) {
            p.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
        } else if (!text().isEmpty()) {
            // Under the first line, as wide as its text, inside the label.
            const QFontMetrics fm(font());
            const QRect room = contentsRect();
            const int width = std::min(room.width(), fm.horizontalAdvance(text().section(u'\n', 0, 0)));
            const int y = std::min(room.top() + fm.ascent() + fm.descent(), room.bottom());
            p.drawLine(room.left(), y, room.left() + width - 1, y);
        }
    }
}

void LabelUni::setTextHeightLimit(int pixels)
{
    heightLimit_ = pixels;
    fit();
}

void LabelUni::refresh()
{
    setText(setkieugotv_ ? vniToUnicode(caption_) : caption_);
    fit();
}

bool LabelUni::fits(const QFont& font) const
{
    // Measured as the label paints: the laid-out lines of QPainter::drawText,
    // each as high as the font's whole pixels.
    const QRect room = contentsRect();
    const QFontMetrics fm(font);
    const int flags = int(alignment()) | (wordWrap() ? Qt::TextWordWrap : Qt::TextSingleLine);
    const QRect laid = fm.boundingRect(QRect(0, 0, room.width(), 1 << 20), flags, text());
    if (laid.width() > room.width())
        return false;
    const int limit = heightLimit_ >= 0 ? std::min(heightLimit_, room.height()) : room.height();
    return !wordWrap() || laid.height() <= limit;
}

void LabelUni::fit(bool resized)
{
    // Not before the label has its size: the resize event on showing comes
    // back here.
    if (text().isEmpty() || contentsRect().isEmpty()
        || (!resized && testAttribute(Qt::WA_PendingResizeEvent)))
        return;
    // From the face's own width each time: the font may have been condensed
    // for an earlier text or size.
    QFont f = font();
    f.setStretch(QFont::AnyStretch);
    for (int stretch = 100; stretch > minimumStretch && !fits(f); stretch -= 1)
        f.setStretch(stretch - 1);
    if (f == font())
        return;
    fitting_ = true;
    setFont(f);
    fitting_ = false;
}

void LabelUni::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange && !fitting_)
        fit();
    QLabel::changeEvent(event);
}

void LabelUni::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    fit(true);
}

void LabelUni::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        pressed_ = true;
        event->accept();
        return;
    }
    QLabel::mousePressEvent(event);
}

void LabelUni::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && pressed_) {
        pressed_ = false;
        event->accept();
        if (rect().contains(event->position().toPoint())) {
            byPointer_ = true;
            emit clicked();
            byPointer_ = false;
        }
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

} // namespace miravon
