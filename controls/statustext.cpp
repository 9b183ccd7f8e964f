#include "statustext.h"

#include "announcer.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QTimerEvent>

namespace miravon {
namespace {

class StatusAccessible : public QAccessibleWidget {
public:
    explicit StatusAccessible(QWidget* w)
        : QAccessibleWidget(w, QAccessible::StatusBar)
    {
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return static_cast<QLabel*>(widget())->text();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* statusFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("miravon::StatusText") && object->isWidgetType())
        return new StatusAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

StatusText::StatusText(QWidget* parent)
    : QLabel(parent)
{
    // Installed with the first one made, whichever program part makes it.
    static const bool installed = (QAccessible::installFactory(statusFactory), true);
    (void)installed;
}

void StatusText::say(const QString& text)
{
    if (text == this->text())
        return;
    // QLabel raises the name change itself only while it has no fixed
    // accessible name; a status is named by what it says, so it raises it
    // here whatever that name is.
    setText(text);
    if (!accessibleName().isEmpty()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
    if (!announced_)
        return;
    if (settleMs_ <= 0)
        announce(this, text);
    else
        settle_.start(settleMs_, this);
}

void StatusText::setAnnounced(bool on, int settleMs)
{
    announced_ = on;
    settleMs_ = settleMs;
    if (!on)
        settle_.stop();
}

void StatusText::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != settle_.timerId()) {
        QLabel::timerEvent(event);
        return;
    }
    settle_.stop();
    announce(this, text());
}

} // namespace miravon
