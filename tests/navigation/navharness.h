#pragma once

// A program with recording players and a recorder of window shows and hides,
// so that a test sees the steps a command took from the real objects: which
// windows became visible or hidden, and which players were closed, in order.

#include "fakeplayer.h"
#include "player.h"
#include "program.h"
#include "programwindow.h"
#include "steps.h"
#include "viewerwindow.h"

#include "buttonuni.h"
#include "frameuni.h"
#include "labeluni.h"
#include "menuxpuni.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QSet>
#include <QStringList>
#include <QTest>
#include <QWidget>
#include <memory>

namespace navtest {

using miravon::WindowId;

// Everything the players and windows of the current harness did, in order:
// "show W", "hide W", "close W" (a player's close), "url W".
inline QStringList& trace()
{
    static QStringList t;
    return t;
}


// Records the show and hide of the program's windows (not of their panels).
class WindowRecorder : public QObject {
public:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if ((e->type() == QEvent::Show || e->type() == QEvent::Hide) && !e->spontaneous()) {
            auto* w = qobject_cast<miravon::ProgramWindow*>(o);
            if (w && w->isWindow())
                trace().append((e->type() == QEvent::Show ? QStringLiteral("show ") : QStringLiteral("hide "))
                               + w->objectName());
        }
        return false;
    }
};

// "1".."6" and "M" as in the step notation, or a window's name.
inline QString windowNamed(const QString& token)
{
    if (token == QLatin1String("M"))
        return QStringLiteral("frmphim");
    if (token == QLatin1String("1"))
        return QStringLiteral("frmmain");
    if (token.size() == 1 && token[0] >= QLatin1Char('2') && token[0] <= QLatin1Char('6'))
        return QStringLiteral("frmmain") + token;
    return token;
}

// What the recorder must see when `steps` ("close 2, show 1, hide M") run on
// windows of which `visible` are shown: a show only of a hidden window, a
// hide only of a shown one, every close. Updates `visible`.
inline QStringList expectedTrace(const QString& steps, QSet<QString>& visible)
{
    QStringList out;
    for (const QString& part : steps.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList w = part.trimmed().split(QLatin1Char(' '));
        const QString name = windowNamed(w.value(1));
        const QString event = w.value(0) + QLatin1Char(' ') + name;
        if (w.value(0) == QLatin1String("show") && !visible.contains(name)) {
            visible.insert(name);
            out << event;
        } else if (w.value(0) == QLatin1String("hide") && visible.contains(name)) {
            visible.remove(name);
            out << event;
        } else if (w.value(0) == QLatin1String("close")) {
            out << event;
        }
    }
    return out;
}

inline QStringList sorted(QStringList l)
{
    l.sort();
    return l;
}

// The offscreen platform warns about every raise and size hint; those say
// nothing about the program.
inline void quietPlatform()
{
    static QtMessageHandler next = nullptr;
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    next = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& msg) {
        if (type == QtWarningMsg && msg.startsWith(QLatin1String("This plugin does not support")))
            return;
        if (next)
            next(type, context, msg);
    });
}

class Harness {
public:
    Harness()
    {
        quietPlatform();
        useFakePlayers();
        FakePlayer::observer() = [](const QString& call, const FakePlayer& player) {
            trace().append(call + QLatin1Char(' ') + player.windowName());
        };
        miravon::exitConfirmation() = [this] {
            ++confirmations;
            return answer;
        };
        program = std::make_unique<miravon::Program>([this] { ++ends; });
        qApp->installEventFilter(&recorder);
        trace().clear();
    }
    ~Harness()
    {
        qApp->removeEventFilter(&recorder);
        program.reset();
        miravon::exitConfirmation() = [] { return false; };
        trace().clear();
    }

    miravon::Program& p() { return *program; }
    miravon::ViewerWindow& viewer(WindowId id) { return program->viewer(id); }
    FakePlayer& player(WindowId id) { return static_cast<FakePlayer&>(viewer(id).player()); }

    QSet<QString> visibleWindows() const
    {
        QSet<QString> out;
        for (WindowId id : miravon::allWindows)
            if (miravon::ProgramWindow* w = program->loadedWindow(id); w && w->isVisible())
                out.insert(miravon::windowName(id));
        return out;
    }
    QStringList visiblePanels(WindowId id) { return sorted(viewer(id).visiblePanels()); }
    QStringList visiblePages()
    {
        QStringList out;
        for (const char* page : {"qg1", "qg2", "qg3"})
            if (auto* w = program->window(WindowId::chonkenh).findChild<QWidget*>(QLatin1String(page));
                w && !w->isHidden())
                out << QLatin1String(page);
        return out;
    }

    // The user's ways in: the menu, a page button, a chooser control.
    void choose(WindowId on, const QString& item)
    {
        QAction* action = viewer(on).menu()->item(item);
        QVERIFY2(action, qPrintable(item));
        action->trigger();
    }
    void pressPageButton(WindowId on, const QString& button)
    {
        auto* b = viewer(on).findChild<miravon::ButtonUni*>(button);
        QVERIFY2(b, qPrintable(button));
        QVERIFY2(b->isVisibleTo(&viewer(on)), qPrintable(button + QStringLiteral(" is not on a shown panel")));
        QTest::mouseClick(b, Qt::LeftButton);
    }
    void clickChooser(const QString& control)
    {
        QWidget* w = program->window(WindowId::chonkenh).findChild<QWidget*>(control);
        QVERIFY2(w, qPrintable(control));
        QVERIFY2(w->isVisible(), qPrintable(control + QStringLiteral(" is not visible")));
        QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(2, 2));
    }
    // Opens the chooser from frmmain's menu and pages to `page` (1 to 3).
    void openChooserOn(int page)
    {
        choose(WindowId::frmmain, QStringLiteral("thegioi"));
        if (page >= 2)
            clickChooser(QStringLiteral("cont"));
        if (page >= 3)
            clickChooser(QStringLiteral("ButtonUni2"));
    }
    // Every window with a player loaded and shown, in order.
    void loadAndShowAllViewers()
    {
        for (WindowId id : miravon::playerWindows)
            program->show(id);
    }

    std::unique_ptr<miravon::Program> program;
    WindowRecorder recorder;
    int ends = 0;
    int confirmations = 0;
    bool answer = false;
};

} // namespace navtest
