#include "labeluni.h"

#include "look.h"
#include "vni.h"

#include <QMouseEvent>

namespace miravon {

LabelUni::LabelUni(QWidget* parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setWordWrap(true);
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

void LabelUni::refresh()
{
    setText(setkieugotv_ ? vniToUnicode(caption_) : caption_);
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
