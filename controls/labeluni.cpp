#include "labeluni.h"

#include "look.h"
#include "vni.h"

#include <QFontMetrics>
#include <QMouseEvent>

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
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, oleColor(ole));
    setPalette(pal);
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
        if (rect().contains(event->position().toPoint()))
            emit clicked();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

} // namespace miravon
