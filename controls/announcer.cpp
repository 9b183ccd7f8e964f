#include "announcer.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

namespace miravon {

// The hidden status bar of a window, holding its notifications. Never
// shown on the screen: screen readers see it through its accessible face
// only.
class AnnouncementBar : public QWidget {
    Q_OBJECT
public:
    explicit AnnouncementBar(QWidget* window)
        : QWidget(window)
    {
        setObjectName(QStringLiteral("announcements"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        setGeometry(0, 0, 0, 0);
        setAttribute(Qt::WA_DontShowOnScreen);
        hide();
        for (int i = 0; i < Announcer::ring; ++i)
            notices[i] = new Notice(this);
    }

    class Notice : public QWidget {
    public:
        explicit Notice(QWidget* bar)
            : QWidget(bar)
        {
            setFocusPolicy(Qt::NoFocus);
            setGeometry(0, 0, 0, 0);
        }
        QString text;
        bool shown = false;
    };

    Notice* notices[Announcer::ring] = {};
    int next = 0;
    QString last;
};

namespace {

class BarAccessible : public QAccessibleWidget {
public:
    explicit BarAccessible(QWidget* w)
        : QAccessibleWidget(w, QAccessible::StatusBar)
    {
    }
    // Out of the way of whoever looks for the window's visible status bar.
    QAccessible::State state() const override
    {
        QAccessible::State s;
        s.invisible = true;
        return s;
    }
    QString text(QAccessible::Text) const override { return {}; }
};

class NoticeAccessible : public QAccessibleWidget {
public:
    explicit NoticeAccessible(AnnouncementBar::Notice* w)
        : QAccessibleWidget(w, QAccessible::Notification)
    {
    }
    AnnouncementBar::Notice* notice() const { return static_cast<AnnouncementBar::Notice*>(widget()); }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        s.invisible = !notice()->shown;
        return s;
    }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? notice()->text : QString();
    }
    // It has no place on the screen to report.
    QRect rect() const override { return {}; }
};

// The notices are plain widgets to the meta-object system: told apart by
// their parent.
QAccessibleInterface* factory(const QString&, QObject* object)
{
    if (auto* bar = qobject_cast<AnnouncementBar*>(object))
        return new BarAccessible(bar);
    if (object->isWidgetType() && qobject_cast<AnnouncementBar*>(object->parent()))
        return new NoticeAccessible(static_cast<AnnouncementBar::Notice*>(object));
    return nullptr;
}

AnnouncementBar* barOf(QWidget* window, bool make)
{
    for (QObject* o : window->children())
        if (auto* bar = qobject_cast<AnnouncementBar*>(o))
            return bar;
    return make ? new AnnouncementBar(window) : nullptr;
}

void tell(QObject* object, QAccessible::Event type)
{
    QAccessibleEvent event(object, type);
    QAccessible::updateAccessibility(&event);
}

} // namespace

Announcer& Announcer::instance()
{
    static Announcer* one = [] {
        QAccessible::installFactory(factory);
        return new Announcer;
    }();
    return *one;
}

void Announcer::announce(QWidget* context, const QString& text)
{
    if (!context || text.isEmpty())
        return;
    QWidget* window = context->window();
    AnnouncementBar* bar = barOf(window, true);
    AnnouncementBar::Notice* notice = bar->notices[bar->next];
    bar->next = (bar->next + 1) % ring;
    bar->last = text;
    // Hidden, renamed, shown again: a screen reader reads it as it appears.
    if (notice->shown) {
        notice->shown = false;
        tell(notice, QAccessible::ObjectHide);
    }
    notice->text = text;
    tell(notice, QAccessible::NameChanged);
    notice->shown = true;
    tell(notice, QAccessible::ObjectShow);
    emit announced(window, text);
}

QString Announcer::lastAnnounced(QWidget* context) const
{
    if (!context)
        return {};
    const AnnouncementBar* bar = barOf(context->window(), false);
    return bar ? bar->last : QString();
}

void announce(QWidget* context, const QString& text) { Announcer::instance().announce(context, text); }

} // namespace miravon

#include "announcer.moc"
