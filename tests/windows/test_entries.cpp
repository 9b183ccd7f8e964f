// Entries look clickable: a pointing hand and a faint light under the
// pointer on every entry and only on entries, and the entry a window's
// player last received stays marked until another entry of that window is
// clicked. None of it moves or resizes anything.

#include "fakeplayer.h"

#include "catalogue.h"
#include "chooserwindow.h"
#include "labeluni.h"
#include "program.h"
#include "steps.h"
#include "viewerwindow.h"

#include <QEnterEvent>
#include <QtTest>

using namespace miravon;

namespace {

// The catalogue's labels of a window, by control name.
QHash<QString, const catalogue::Label*> catalogueLabels(WindowId id)
{
    QHash<QString, const catalogue::Label*> byName;
    for (const catalogue::Label* l : catalogue::pristine().labelsOf(windowName(id)))
        byName.insert(l->control, l);
    return byName;
}

bool showsHand(const LabelUni& l)
{
    return l.testAttribute(Qt::WA_SetCursor) && l.cursor().shape() == Qt::PointingHandCursor;
}

void hover(LabelUni& l, bool in)
{
    if (in) {
        QEnterEvent e(QPointF(2, 2), QPointF(2, 2), l.mapToGlobal(QPointF(2, 2)));
        QCoreApplication::sendEvent(&l, &e);
    } else {
        QEvent e(QEvent::Leave);
        QCoreApplication::sendEvent(&l, &e);
    }
}

// The first two entries, and one heading or inert label, on the
// panel of `window` that shows after load.
struct Picks {
    QList<LabelUni*> entries;
    LabelUni* inert = nullptr;
};
Picks pick(ViewerWindow& w)
{
    Picks p;
    const auto labels = catalogueLabels(w.id());
    for (LabelUni* l : w.clientArea()->findChildren<LabelUni*>()) {
        const catalogue::Label* c = labels.value(l->objectName());
        if (!c || !l->isVisibleTo(&w))
            continue;
        if (c->clickable() && p.entries.size() < 2)
            p.entries.append(l);
        if ((c->kind == catalogue::Kind::Inert || c->kind == catalogue::Kind::Heading) && !p.inert)
            p.inert = l;
    }
    return p;
}

} // namespace

class TestEntries : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { useFakePlayers(); }
    void onlyEntriesInviteAClick_data();
    void onlyEntriesInviteAClick();
    void chooserLinesThatActInviteAClick();
    void hoverLightsWithoutMoving();
    void playingEntryStaysMarked();
};

void TestEntries::onlyEntriesInviteAClick_data()
{
    QTest::addColumn<WindowId>("id");
    for (WindowId id : playerWindows)
        QTest::addRow("%s", qPrintable(windowName(id))) << id;
}

void TestEntries::onlyEntriesInviteAClick()
{
    QFETCH(WindowId, id);
    Program program([] {});
    ViewerWindow& w = program.viewer(id);
    const auto labels = catalogueLabels(id);
    int entries = 0;
    int others = 0;
    for (LabelUni* l : w.clientArea()->findChildren<LabelUni*>()) {
        const catalogue::Label* c = labels.value(l->objectName());
        if (!c) {
            // The frame's own labels: status line and version label.
            QVERIFY2(!showsHand(*l), qPrintable(l->objectName()));
            continue;
        }
        const bool entry = c->clickable();
        (entry ? entries : others) += 1;
        QVERIFY2(showsHand(*l) == entry, qPrintable(l->objectName()));
        QCOMPARE(l->invitesClick(), entry);
    }
    QVERIFY(entries > 0);
    if (id == WindowId::frmphim)
        QVERIFY2(others > 0, "the title-only film labels must be among the checked ones");
}

void TestEntries::chooserLinesThatActInviteAClick()
{
    Program program([] {});
    ProgramWindow& chooser = program.window(WindowId::chonkenh);
    int acting = 0;
    for (LabelUni* l : chooser.findChildren<LabelUni*>()) {
        const bool acts = findSteps(StepTable::Chooser, WindowId::chonkenh, l->objectName()) != nullptr;
        acting += acts;
        QVERIFY2(showsHand(*l) == acts, qPrintable(l->objectName()));
    }
    QVERIFY(acting >= 28); // the 28 country lines, and any line given an action
}

void TestEntries::hoverLightsWithoutMoving()
{
    Program program([] {});
    program.show(WindowId::frmmain2);
    ViewerWindow& w = program.viewer(WindowId::frmmain2);
    const Picks p = pick(w);
    QVERIFY(!p.entries.isEmpty() && p.inert);

    LabelUni& entry = *p.entries.first();
    const QRect place = entry.geometry();
    const QFont font = entry.font();
    const QImage plain = entry.grab().toImage();
    hover(entry, true);
    QVERIFY(entry.hovered());
    QVERIFY(entry.grab().toImage() != plain);
    QCOMPARE(entry.geometry(), place);
    QCOMPARE(entry.font(), font);
    hover(entry, false);
    QVERIFY(!entry.hovered());
    QCOMPARE(entry.grab().toImage(), plain);

    const QImage inert = p.inert->grab().toImage();
    hover(*p.inert, true);
    QVERIFY(!p.inert->hovered());
    QCOMPARE(p.inert->grab().toImage(), inert);
}

void TestEntries::playingEntryStaysMarked()
{
    Program program([] {});
    program.show(WindowId::frmmain2);
    ViewerWindow& w = program.viewer(WindowId::frmmain2);
    const Picks p = pick(w);
    QCOMPARE(p.entries.size(), 2);
    LabelUni& first = *p.entries[0];
    LabelUni& second = *p.entries[1];
    const QRect place = first.geometry();
    const QFont font = first.font();

    QTest::mouseClick(&first, Qt::LeftButton, {}, QPoint(3, 3));
    QVERIFY(first.marked());
    QCOMPARE(w.markedEntry(), &first);
    QCOMPARE(first.palette().color(QPalette::WindowText), LabelUni::markColour());
    QCOMPARE(first.geometry(), place);
    QCOMPARE(first.font(), font);
    auto& player = static_cast<FakePlayer&>(w.player());
    QCOMPARE(player.calls.size(), 1);

    // A heading or inert label takes no mark away; neither does another
    // window's entry, nor closing the player.
    QTest::mouseClick(p.inert, Qt::LeftButton, {}, QPoint(3, 3));
    program.closePlayer(WindowId::frmmain2);
    program.show(WindowId::frmmain);
    const Picks other = pick(program.viewer(WindowId::frmmain));
    QVERIFY(!other.entries.isEmpty());
    QTest::mouseClick(other.entries.first(), Qt::LeftButton, {}, QPoint(3, 3));
    QVERIFY(other.entries.first()->marked());
    QVERIFY(first.marked());

    // Another entry of the window moves the mark, and the old colour returns.
    const QColor before = second.palette().color(QPalette::WindowText);
    QTest::mouseClick(&second, Qt::LeftButton, {}, QPoint(3, 3));
    QVERIFY(second.marked());
    QVERIFY(!first.marked());
    QCOMPARE(first.palette().color(QPalette::WindowText), before);
    QCOMPARE(w.markedEntry(), &second);
}

QTEST_MAIN(TestEntries)
#include "test_entries.moc"
