// 20,000 random user actions over everything clickable, with the program's
// invariants checked after each. The seed is printed; set MIRAVON_SEED to
// replay a run, MIRAVON_ACTIONS to change its length.

#include "navharness.h"

#include <QPointer>
#include <QRandomGenerator>
#include <QtTest>

using namespace miravon;
using namespace navtest;

class TestNavRandom : public QObject {
    Q_OBJECT
private slots:
    void randomActionsKeepInvariants();
};

namespace {

struct Clickables {
    std::vector<QPointer<QWidget>> widgets; // labels and buttons
};

quint32 envNumber(const char* name, quint32 fallback)
{
    bool ok = false;
    const quint32 v = qEnvironmentVariable(name).toUInt(&ok);
    return ok ? v : fallback;
}

int visibleCount(Harness& h, WindowId id) { return int(h.viewer(id).visiblePanels().size()); }

} // namespace

void TestNavRandom::randomActionsKeepInvariants()
{
    const quint32 seed = envNumber("MIRAVON_SEED", 20061130);
    const int actions = int(envNumber("MIRAVON_ACTIONS", 20000));
    qInfo("seed %u, %d actions (replay with MIRAVON_SEED=%u)", seed, actions, seed);
    QRandomGenerator random(seed);

    Harness h;
    h.answer = false;
    QHash<WindowId, Clickables> clickables;
    auto collect = [&](WindowId id) {
        Clickables c;
        if (ProgramWindow* w = h.p().loadedWindow(id)) {
            for (LabelUni* l : w->findChildren<LabelUni*>())
                if (l->objectName() != QLatin1String("status") && l->parentWidget()->inherits("miravon::FrameUni"))
                    c.widgets.emplace_back(l);
            for (ButtonUni* b : w->findChildren<ButtonUni*>())
                c.widgets.emplace_back(b);
        }
        clickables.insert(id, c);
    };
    connect(&h.p(), &Program::windowLoaded, this, collect);
    connect(&h.p(), &Program::windowUnloaded, this, [&](WindowId id) { clickables.remove(id); });

    h.p().show(WindowId::frmmain);
    QSet<WindowId> viewersLoaded;
    QString last;

    enum Category { Menu, Control, CloseWindow, Categories };
    for (int step = 1; step <= actions; ++step) {
        // What the user can reach now.
        std::vector<std::pair<WindowId, QString>> menus;
        std::vector<QWidget*> controls;
        std::vector<ProgramWindow*> closable;
        for (WindowId id : allWindows) {
            ProgramWindow* w = h.p().loadedWindow(id);
            if (!w || !w->isVisible())
                continue;
            if (hasPlayer(id)) {
                for (const QString& item : h.viewer(id).menu()->itemNames())
                    if (item != QLatin1String("file") && item != QLatin1String("thoat"))
                        menus.emplace_back(id, item);
            } else if (id != WindowId::Form1) {
                closable.push_back(w);
            }
            for (const QPointer<QWidget>& c : clickables.value(id).widgets)
                if (c && c->isVisible())
                    controls.push_back(c);
        }
        const std::vector<int> sizes = {int(menus.size()), int(controls.size()), int(closable.size())};
        QVERIFY2(sizes[0] + sizes[1] + sizes[2] > 0, qPrintable(QStringLiteral("nothing to click after %1").arg(last)));
        int category = 0;
        do
            category = int(random.bounded(int(Categories)));
        while (sizes[size_t(category)] == 0);
        const int pick = int(random.bounded(sizes[size_t(category)]));

        bool pageAction = false;
        bool moviePage = false;
        switch (category) {
        case Menu: {
            const auto& [id, item] = menus[size_t(pick)];
            last = QStringLiteral("#%1 menu %2 %3").arg(step).arg(windowName(id), item);
            pageAction = item == QLatin1String("thegioi");
            h.viewer(id).menu()->item(item)->trigger();
            break;
        }
        case Control: {
            QWidget* c = controls[size_t(pick)];
            const QString window = c->window()->objectName();
            last = QStringLiteral("#%1 click %2 %3").arg(step).arg(window, c->objectName());
            pageAction = window == QLatin1String("chonkenh") && c->objectName() != QLatin1String("ButtonUni1");
            moviePage = window == QLatin1String("frmphim") && qobject_cast<ButtonUni*>(c);
            QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(1, 1));
            break;
        }
        case CloseWindow: {
            ProgramWindow* w = closable[size_t(pick)];
            last = QStringLiteral("#%1 close %2").arg(step).arg(w->objectName());
            QVERIFY2(w->close(), qPrintable(last));
            break;
        }
        }
        trace().clear();
        // Between two clicks the event loop runs: it deletes the windows that were
        // closed and delivers what the click posted.
        QCoreApplication::sendPostedEvents();

        // Invariants.
        QVERIFY2(h.ends == 0, qPrintable(last));
        for (WindowId id : playerWindows) {
            if (h.p().isLoaded(id))
                viewersLoaded.insert(id);
            else
                QVERIFY2(!viewersLoaded.contains(id), qPrintable(last + QStringLiteral(": a viewer window went")));
        }
        if (pageAction && h.p().isLoaded(WindowId::chonkenh))
            QVERIFY2(h.visiblePages().size() == 1, qPrintable(last + QLatin1Char(' ') + h.visiblePages().join(',')));
        if (h.p().isLoaded(WindowId::frmphim) || moviePage)
            QVERIFY2(visibleCount(h, WindowId::frmphim) == 1, qPrintable(last));
        QVERIFY2(visibleCount(h, WindowId::frmmain) == 1, qPrintable(last));
        if (h.p().isLoaded(WindowId::frmmain2))
            QVERIFY2(visibleCount(h, WindowId::frmmain2) == 1, qPrintable(last));
        if (h.p().isLoaded(WindowId::frmmain4))
            QVERIFY2(visibleCount(h, WindowId::frmmain4) == 1, qPrintable(last));
        for (WindowId id : {WindowId::frmmain5, WindowId::frmmain6})
            if (h.p().isLoaded(id))
                QVERIFY2(visibleCount(h, id) <= 1, qPrintable(last));
        if (h.p().isLoaded(WindowId::frmmain3))
            QVERIFY2(visibleCount(h, WindowId::frmmain3) <= 2, qPrintable(last));
        QVERIFY2(!h.visibleWindows().isEmpty(), qPrintable(last));
    }
    // The run reached every window with a player.
    QCOMPARE(int(viewersLoaded.size()), int(playerWindows.size()));
}

QTEST_MAIN(TestNavRandom)
#include "test_navrandom.moc"
