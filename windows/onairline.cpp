#include "onairline.h"

#include "programguide.h"

namespace miravon {

OnAirLine::OnAirLine(ProgramGuide& guide, QWidget* parent)
    : QLabel(parent)
    , guide_(guide)
{
    setObjectName(QStringLiteral("onAir"));
    setAccessibleDescription(QStringLiteral("Chương trình đang phát"));
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setVisible(false);
    connect(&guide_, &ProgramGuide::changed, this, &OnAirLine::refresh);
}

void OnAirLine::follow(const QString& window, const QString& control)
{
    window_ = window;
    control_ = control;
    playing_ = false;
    refresh();
}

void OnAirLine::setPlaying(bool playing)
{
    playing_ = playing;
    refresh();
}

void OnAirLine::refresh()
{
    const QString text = playing_ ? guide_.nowNextText(window_, control_) : QString();
    setText(text);
    setAccessibleName(text);
    setToolTip(text);
    setVisible(!text.isEmpty());
    if (!text.isEmpty())
        raise();
}

} // namespace miravon
