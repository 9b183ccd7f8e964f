// Finding any entry or film from any window, and keeping what the user
// watches: the find box over a window (letters, Ctrl+F, Esc, Up, Down,
// Enter), going to the entry as the chooser and the page buttons would and
// playing it, the "Gần đây" and "Yêu thích" menus, the entries' own menu,
// and both lists across two runs with a damaged file between them.

#include "navharness.h"

#include "findbox.h"
#include "finder.h"
#include "kept.h"
#include "userfiles.h"
#include "testhome.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>

using namespace miravon;
using namespace navtest;

Q_DECLARE_METATYPE(miravon::WindowId)

namespace {

QString firstResult(const FindBox& box)
{
    QListWidgetItem* item = box.results()->count() ? box.results()->item(0) : nullptr;
    return item ? item->data(Qt::UserRole).toString() + u'/' + item->data(Qt::UserRole + 1).toString() : QString();
}

QStringList actionNames(const QMenu* menu)
{
    QStringList out;
    for (const QAction* a : menu->actions())
        if (!a->isSeparator())
            out << (a->isEnabled() ? a->objectName() : QStringLiteral("(note)"));
    return out;
}

// Fills a kept menu as opening it does.
QMenu* opened(QMenu* menu)
{
    emit menu->aboutToShow();
    return menu;
}

} // namespace

class TestFind : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void matchesTheRealCatalogue_data();
    void matchesTheRealCatalogue();
    void entriesWithAnAddressComeFirst();
    void goesThereAndPlays_data();
    void goesThereAndPlays();
    void keysOfTheBox();
    void keptAcrossRuns();
    void favouriteNotWrittenIsSaid();

private:
    QTemporaryDir home_;
};

void TestFind::initTestCase()
{
    QVERIFY(home_.isValid());
}

void TestFind::init()
{
    // Each case starts with nothing kept and no address of the user's own.
    useEmptyHome(home_.path());
}

// What the program's own catalogue is found by: captions converted from
// VNI, the channels logos stand for, other names, countries in Vietnamese
// and English, with or without diacritics.
void TestFind::matchesTheRealCatalogue_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("first");   // window/control
    QTest::addColumn<QString>("contains"); // also listed
    QTest::newRow("VNI caption, no diacritics typed") << "tham tu lung" << "frmphim/LabelUni78" << "";
    QTest::newRow("logo by its channel") << "VTV1" << "frmmain/Image4" << "";
    QTest::newRow("logo by another name") << "hanoi tv" << "frmmain/Image7" << "frmmain/LabelUni5";
    QTest::newRow("other name of an entry") << "tagesschau24" << "frmmain3/duc1_5" << "";
    QTest::newRow("country in Vietnamese") << "Đức" << "" << "frmmain3/duc1_5";
    QTest::newRow("country unaccented") << "duc" << "" << "frmmain3/duc1_5";
    QTest::newRow("country in English") << "germany" << "" << "frmmain3/duc1_5";
    QTest::newRow("nothing") << "zzqx" << "" << "";
}

void TestFind::matchesTheRealCatalogue()
{
    QFETCH(QString, typed);
    QFETCH(QString, first);
    QFETCH(QString, contains);
    Harness h;
    const search::Index& index = h.p().entryIndex().index();
    const QList<search::Index::Hit> hits = index.find(typed);
    QStringList found;
    for (const search::Index::Hit& hit : hits)
        found << index.entry(hit.entry).window + u'/' + index.entry(hit.entry).control;
    if (!first.isEmpty())
        QCOMPARE(found.value(0), first);
    if (!contains.isEmpty())
        QVERIFY2(found.contains(contains), qPrintable(found.join(u' ')));
    if (first.isEmpty() && contains.isEmpty())
        QVERIFY2(found.isEmpty(), qPrintable(found.join(u' ')));
    // A country lists its channels, and no others.
    if (typed == QLatin1String("germany")) {
        QCOMPARE(found.size(), 66);
        for (const QString& f : std::as_const(found))
            QVERIFY2(f.startsWith(QLatin1String("frmmain3/duc")), qPrintable(f));
    }
}

// An address of the user's own, given while the program runs, puts the
// entry before the German channels that have none.
void TestFind::entriesWithAnAddressComeFirst()
{
    Harness h;
    const search::Index& index = h.p().entryIndex().index();
    QVERIFY(index.entry(index.find(u"duc").first().entry).control != QLatin1String("duc1_30"));
    QDir().mkpath(home_.filePath("config/miravon"));
    QFile f(home_.filePath("config/miravon/addresses.tsv"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("window\tcontrol\taddress\nfrmmain3\tduc1_30\thttp://127.0.0.1:9/live.m3u8\n");
    f.close();
    h.p().catalogue().reload();
    const QList<search::Index::Hit> hits = h.p().entryIndex().index().find(u"duc");
    QCOMPARE(h.p().entryIndex().index().entry(hits.first().entry).control, QStringLiteral("duc1_30"));
    QCOMPARE(hits.size(), 66);
}

void TestFind::goesThereAndPlays_data()
{
    QTest::addColumn<WindowId>("from");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<WindowId>("to");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QStringList>("chooserPages");
    QTest::newRow("frmmain to frmmain5, chooser page 3")
        << WindowId::frmmain << "realit" << WindowId::frmmain5 << "bang1_17" << "bang1" << QStringList{"qg3"};
    QTest::newRow("movie window to a logo of frmmain")
        << WindowId::frmphim << "vtv1" << WindowId::frmmain << "Image4" << "vn_" << QStringList{};
    QTest::newRow("frmmain3 to a film on page 5")
        << WindowId::frmmain3 << "tham tu lung" << WindowId::frmphim << "LabelUni78" << "trang5" << QStringList{};
    QTest::newRow("within the window, another panel")
        << WindowId::frmmain << "accuw" << WindowId::frmmain << "usa1_4" << "usa1_" << QStringList{"qg1"};
}

// Typed into the window, chosen with the keys: the right window shown and
// the others put away as the chooser would, the right panel visible, the
// chooser's page turned, the entry played in its own window's player and
// marked as playing, and kept as the newest recent entry.
void TestFind::goesThereAndPlays()
{
    QFETCH(WindowId, from);
    QFETCH(QString, typed);
    QFETCH(WindowId, to);
    QFETCH(QString, control);
    QFETCH(QString, panel);
    QFETCH(QStringList, chooserPages);
    Harness h;
    h.p().show(from);
    ViewerWindow& start = h.viewer(from);
    start.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&start));
    QTest::keyClicks(&start, typed.left(1));
    FindBox* box = start.findBox();
    QVERIFY(box && box->isVisible());
    QCOMPARE(box->field()->text(), typed.left(1));
    QCOMPARE(QApplication::focusWidget(), box->field());
    QTest::keyClicks(box->field(), typed.mid(1));
    QCOMPARE(firstResult(*box), windowName(to) + u'/' + control);
    QVERIFY(box->countText().endsWith(QStringLiteral("kết quả")));
    QTest::keyClick(box->field(), Qt::Key_Down);
    QTest::keyClick(box->field(), Qt::Key_Up);
    QTest::keyClick(box->field(), Qt::Key_Return);

    QVERIFY(!box->isVisible());
    // Shown in front; the window it was found from stays or goes as the
    // menus and the chooser have it.
    QVERIFY(h.viewer(to).isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), &h.viewer(to), 2000);
    QVERIFY2(h.viewer(to).visiblePanels().contains(panel), qPrintable(h.viewer(to).visiblePanels().join(u' ')));
    QCOMPARE(h.viewer(to).visiblePanels().size(), 1);
    QCOMPARE(h.visiblePages(), chooserPages);
    const catalogue::Label* label = h.p().catalogue().catalogue().label(windowName(to), control);
    QVERIFY(label);
    QCOMPARE(h.player(to).url, label->address);
    QVERIFY(h.viewer(to).markedEntry());
    QCOMPARE(h.viewer(to).markedEntry()->objectName(), control);
    h.player(to).raiseStreamPlaying(0); // Gần đây keeps what played
    QCOMPARE(h.p().kept().recent().value(0), (KeptEntries::Key{windowName(to), control}));
}

// Ctrl+F opens the box empty, Esc puts it away and gives the focus back;
// the count of results is told; a letter typed into the box stays there.
void TestFind::keysOfTheBox()
{
    Harness h;
    h.p().show(WindowId::frmmain2);
    ViewerWindow& w = h.viewer(WindowId::frmmain2);
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    auto* entry = w.findChild<LabelUni*>(QStringLiteral("A1_2"));
    QVERIFY(entry);
    entry->setFocus(Qt::TabFocusReason);
    QTest::keyClick(entry, Qt::Key_F, Qt::ControlModifier);
    FindBox* box = w.findBox();
    QVERIFY(box && box->isVisible());
    QCOMPARE(box->field()->text(), QString());
    QCOMPARE(box->field()->placeholderText(), QString(u8"Tìm kênh, phim hoặc quốc gia…"));
    QTest::keyClicks(box->field(), "germany");
    QCOMPARE(box->countText(), QStringLiteral("66 kết quả"));
    QCOMPARE(box->results()->count(), 66);
    QTest::keyClicks(box->field(), "zz");
    QCOMPARE(box->countText(), QStringLiteral("Không có kết quả"));
    QTest::keyClick(box->field(), Qt::Key_Return); // nothing to go to
    QVERIFY(box->isVisible());
    QTest::keyClick(box->field(), Qt::Key_Escape);
    QVERIFY(!box->isVisible());
    QCOMPARE(QApplication::focusWidget(), entry);
    QVERIFY(h.player(WindowId::frmmain2).urls.isEmpty());
    // Opened again by a letter: the letter starts a new search.
    QTest::keyClicks(entry, "r");
    QVERIFY(box->isVisible());
    QCOMPARE(box->field()->text(), QStringLiteral("r"));
}

// Played and favourite entries across two runs, with the recent file
// damaged and a favourite gone from the catalogue in between: the damage is
// told once in its menu, the gone entry dropped without a word, and the
// lists written whole again at the next change. Each menu item goes there
// and plays as a find result does.
void TestFind::keptAcrossRuns()
{
    const QString dataDir = home_.filePath("data/miravon");
    {
        Harness h;
        h.p().show(WindowId::frmmain);
        ViewerWindow& w = h.viewer(WindowId::frmmain);
        QCOMPARE(actionNames(opened(w.recentMenu())), QStringList{"(note)"}); // "none yet"
        QVERIFY(goToEntry(h.p(), WindowId::frmmain, QStringLiteral("frmmain3"), QStringLiteral("duc1_5")));
        h.player(WindowId::frmmain3).raiseStreamPlaying(0);
        QVERIFY(goToEntry(h.p(), WindowId::frmmain3, QStringLiteral("frmmain"), QStringLiteral("Image4")));
        h.player(WindowId::frmmain).raiseStreamPlaying(0);
        QCOMPARE(actionNames(opened(w.recentMenu())), (QStringList{"frmmain/Image4", "frmmain3/duc1_5"}));
        QCOMPARE(w.recentMenu()->actions().first()->text(), QString(u8"VTV1 — Việt Nam"));

        // The entry's own menu, from the keyboard (Shift+F10).
        auto* entry = w.findChild<LabelUni*>(QStringLiteral("Image4"));
        entry->setFocus(Qt::TabFocusReason);
        QTest::keyClick(entry, Qt::Key_F10, Qt::ShiftModifier);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QAction* add = menu->findChild<QAction*>(QStringLiteral("favourite"));
        QVERIFY(add);
        QCOMPARE(add->text(), QStringLiteral("Thêm vào Yêu thích"));
        add->trigger();
        menu->close();
        QVERIFY(h.p().kept().isFavourite({QStringLiteral("frmmain"), QStringLiteral("Image4")}));
        QCOMPARE(actionNames(opened(w.favouritesMenu())), QStringList{"frmmain/Image4"});
        // Asked again, it offers to take it off.
        QMenu* again = w.showEntryMenu(*h.p().catalogue().catalogue().label(QStringLiteral("frmmain"), QStringLiteral("Image4")),
                                       entry->mapToGlobal(QPoint()));
        QCOMPARE(again->findChild<QAction*>(QStringLiteral("favourite"))->text(), QStringLiteral("Bỏ khỏi Yêu thích"));
        again->close();
    }
    // Between the runs: the recent file damaged, a favourite that no longer exists added.
    {
        QFile recent(dataDir + u'/' + KeptEntries::recentFile());
        QVERIFY(recent.open(QIODevice::WriteOnly | QIODevice::Truncate));
        recent.write("window\tcontrol\nfrmmain\n\xff");
        recent.close();
        QFile favourites(dataDir + u'/' + KeptEntries::favouritesFile());
        QVERIFY(favourites.open(QIODevice::Append));
        favourites.write("frmmain6\tno_such_entry\n");
    }
    {
        Harness h;
        h.p().show(WindowId::frmmain4);
        ViewerWindow& w = h.viewer(WindowId::frmmain4);
        QCOMPARE(actionNames(opened(w.recentMenu())), (QStringList{"(note)", "(note)"})); // damaged; none yet
        QVERIFY(w.recentMenu()->actions().first()->text().contains(QStringLiteral("dòng hỏng")));
        QCOMPARE(actionNames(opened(w.recentMenu())), QStringList{"(note)"}); // told once
        QCOMPARE(actionNames(opened(w.favouritesMenu())), QStringList{"frmmain/Image4"});
        w.favouritesMenu()->actions().first()->trigger();
        h.player(WindowId::frmmain).raiseStreamPlaying(0);
        QVERIFY(h.viewer(WindowId::frmmain).isVisible());
        QCOMPARE(h.player(WindowId::frmmain).url,
                 h.p().catalogue().catalogue().label(QStringLiteral("frmmain"), QStringLiteral("Image4"))->address);
    }
    // Written whole again: read back without a word.
    KeptEntries third(dataDir);
    int told = 0;
    third.load([](const KeptEntries::Key&) { return true; }, [&](const QString&, const QString&, const QString&) { ++told; });
    QCOMPARE(told, 0);
    QCOMPARE(third.recent(), (QList<KeptEntries::Key>{{QStringLiteral("frmmain"), QStringLiteral("Image4")}}));
}

// The kept lists are written off the window's thread; a favourite the disk
// refused is said when the refusal comes, and the window went on meanwhile.
void TestFind::favouriteNotWrittenIsSaid()
{
    Harness h;
    h.p().show(WindowId::frmmain);
    ViewerWindow& w = h.viewer(WindowId::frmmain);
    const catalogue::Label& label = *h.p().catalogue().catalogue().label(QStringLiteral("frmmain"), QStringLiteral("Image4"));
    files::injectFault(files::Op::Rename, 1, EIO);
    QMenu* menu = w.showEntryMenu(label, w.mapToGlobal(QPoint()));
    menu->findChild<QAction*>(QStringLiteral("favourite"))->trigger();
    menu->close();
    QVERIFY(h.p().kept().isFavourite({label.window, label.control})); // kept for this run
    const auto said = [] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->objectName() == QLatin1String("keptNotWritten") && top->isVisible())
                return qobject_cast<QMessageBox*>(top);
        return static_cast<QMessageBox*>(nullptr);
    };
    QTRY_VERIFY_WITH_TIMEOUT(said(), 10000);
    QMessageBox* box = said();
    files::clearFault();
    QVERIFY2(box->text().startsWith(QStringLiteral("Không lưu được danh sách kênh yêu thích")), qPrintable(box->text()));
    box->close();
}

QTEST_MAIN(TestFind)
#include "test_find.moc"
