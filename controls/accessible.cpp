#include "accessible.h"

#include "frameuni.h"
#include "labeluni.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QToolButton>

namespace miravon {
namespace {

class LabelAccessible : public QAccessibleWidget {
public:
    explicit LabelAccessible(LabelUni* label)
        : QAccessibleWidget(label)
    {
    }

    LabelUni* label() const { return static_cast<LabelUni*>(widget()); }
    bool isEntry() const { return label()->use() == LabelUni::Use::Entry; }

    QAccessible::Role role() const override
    {
        switch (label()->use()) {
        case LabelUni::Use::Entry:
            return QAccessible::Button;
        case LabelUni::Use::Heading:
            return QAccessible::Heading;
        case LabelUni::Use::Text:
            break;
        }
        return QAccessible::StaticText;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name) {
            const QString name = label()->accessibleName();
            // The caption as displayed: converted from VNI where flagged.
            return name.isEmpty() ? label()->text() : name;
        }
        // Its own short description only: a tooltip repeats the caption
        // and explains at length, which a screen reader would read out on
        // every entry it passes.
        if (t == QAccessible::Description)
            return label()->accessibleDescription();
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        if (isEntry())
            names.prepend(pressAction());
        return names;
    }

    void doAction(const QString& action) override
    {
        if (action == pressAction() && isEntry() && label()->isEnabled()) {
            label()->click();
            return;
        }
        QAccessibleWidget::doAction(action);
    }

};

class PanelAccessible : public QAccessibleWidget {
public:
    explicit PanelAccessible(FrameUni* panel)
        : QAccessibleWidget(panel, QAccessible::Grouping)
    {
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<FrameUni*>(widget())->displayedCaption();
        return QAccessibleWidget::text(t);
    }
};

// The focus ring is drawing, not content: screen readers skip it.
class RingAccessible : public QAccessibleWidget {
public:
    explicit RingAccessible(QWidget* ring)
        : QAccessibleWidget(ring, QAccessible::Border)
    {
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.invisible = true;
        return s;
    }
};

QAccessibleInterface* factory(const QString& className, QObject* object)
{
    if (className == QLatin1String("miravon::FocusRing"))
        return new RingAccessible(static_cast<QWidget*>(object));
    if (className == QLatin1String("miravon::LabelUni"))
        return new LabelAccessible(static_cast<LabelUni*>(object));
    if (className == QLatin1String("miravon::FrameUni"))
        return new PanelAccessible(static_cast<FrameUni*>(object));
    // The program's windows are plain widgets to Qt, which would show them
    // as fillers: they are frames, named by their titles.
    if (className.startsWith(QLatin1String("miravon::")) && object->isWidgetType()) {
        auto* w = static_cast<QWidget*>(object);
        if (w->isWindow())
            return new QAccessibleWidget(w, QAccessible::Window);
    }
    return nullptr;
}

// Return and Enter on a focused push or tool button press it, in every
// window. A dialog's own default-button handling sees keys on other
// controls only.
class ButtonKeys : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            || (key->modifiers() & ~Qt::KeypadModifier))
            return false;
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (!button || !(qobject_cast<QPushButton*>(button) || qobject_cast<QToolButton*>(button))
            || !button->hasFocus() || !button->isEnabled() || !button->isVisible())
            return false;
        if (!key->isAutoRepeat())
            button->click();
        return true;
    }
};

} // namespace

void installAccessibility()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(factory);
    QCoreApplication::instance()->installEventFilter(new ButtonKeys);
}

} // namespace miravon
