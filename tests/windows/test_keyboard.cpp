// Keyboard and screen-reader use of the windows: focus order, arrow keys,
// activation by Enter and Space, Esc, F10, the focus ring, and what Qt's
// accessibility layer (the source of AT-SPI) reports.
#include "fakeplayer.h"

#include "accessible.h"
#include "buttonuni.h"
#include "catalogue.h"
#include "focusring.h"
#include "frameuni.h"
#include "labeluni.h"
#include "menuxpuni.h"
#include "navigation.h"
#include "program.h"
#include "steps.h"
#include "viewerwindow.h"

#include <QAccessible>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>

using namespace miravon;

namespace {

FakePlayer& fake(Program& p, WindowId id) { return static_cast<FakePlayer&>(p.viewer(id).player()); }

// The catalogue's entries of one panel, in the listing's order.
QStringList entriesOf(const QString& window, const QString& panel)
{
    QStringList names;
    for (const catalogue::Label* l : catalogue::pristine().labelsOf(window))
        if (l->panel == panel && l->clickable())
            names << l->control;
    return names;
}

QString address(const QString& window, const QString& control)
{
    for (const catalogue::Label* l : catalogue::pristine().labelsOf(window))
        if (l->control == control)
            return l->address;
    return {};
}

} // namespace

class TestKeyboard : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup() { program.reset(); }

    void tabVisitsVisiblePanelInReadingOrder();
    void arrowKeysInsidePanel_data();
    void arrowKeysInsidePanel();
    void enterAndSpaceActivateAsClick_data();
    void enterAndSpaceActivateAsClick();
    void clickGivesKeysToThePlayer();
    void onlyEntriesTakeFocus();
    void chooserByKeyboard();
    void escapeClosesInformationWindow();
    void menuBarOpensByKeyboard_data();
    void menuBarOpensByKeyboard();
    void menuBarWalksWholeBar();
    void altLetterRunsOnlyItsItem_data();
    void altLetterRunsOnlyItsItem();
    void focusRingStandsAroundFocus();
    void accessibleEntriesAndWindows();
    void titlesReadWithTones_data();
    void titlesReadWithTones();
    void chooserLinesAndPageButtonsTellApart();

private:
    ViewerWindow& shown(WindowId id);
    std::unique_ptr<Program> program;
};

void TestKeyboard::initTestCase()
{
    useFakePlayers();
    installAccessibility();
    FocusRing::install();
}

void TestKeyboard::init()
{
    program = std::make_unique<Program>([] {});
}

ViewerWindow& TestKeyboard::shown(WindowId id)
{
    program->show(id);
    ViewerWindow& w = program->viewer(id);
    w.activateWindow();
    [&] { QVERIFY(QTest::qWaitForWindowActive(&w)); }();
    return w;
}

void TestKeyboard::tabVisitsVisiblePanelInReadingOrder()
{
    // frmmain on usa1_: its 34 entries, its page button, then the player.
    program->setPanelVisible(WindowId::frmmain, QStringLiteral("vn_"), false);
    program->setPanelVisible(WindowId::frmmain, QStringLiteral("usa1_"), true);
    ViewerWindow& w = shown(WindowId::frmmain);
    const QStringList expected = entriesOf("frmmain", "usa1_") + QStringList{"ButtonUni1", "manhinh"};
    w.findChild<LabelUni*>(expected.first())->setFocus(Qt::TabFocusReason);

    QStringList forward{QApplication::focusWidget()->objectName()};
    for (qsizetype i = 1; i < expected.size() + 1; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        forward << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(forward.mid(0, expected.size()), expected);
    QCOMPARE(forward.last(), expected.first()); // round again

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("manhinh"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("ButtonUni1"));
}

void TestKeyboard::arrowKeysInsidePanel_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("to");
    // usa1_: column 1 holds usa1_1..usa1_18, column 2 usa1_19..usa1_34.
    QTest::newRow("down the column") << "usa1_1" << int(Qt::Key_Down) << "usa1_2";
    QTest::newRow("down to the next column") << "usa1_18" << int(Qt::Key_Down) << "usa1_19";
    QTest::newRow("up to the previous column") << "usa1_19" << int(Qt::Key_Up) << "usa1_18";
    QTest::newRow("up at the first stays") << "usa1_1" << int(Qt::Key_Up) << "usa1_1";
    QTest::newRow("down at the last stays") << "usa1_34" << int(Qt::Key_Down) << "usa1_34";
    QTest::newRow("right, same row") << "usa1_2" << int(Qt::Key_Right) << "usa1_20";
    QTest::newRow("left, same row") << "usa1_20" << int(Qt::Key_Left) << "usa1_2";
    QTest::newRow("right at the last column stays") << "usa1_20" << int(Qt::Key_Right) << "usa1_20";
    QTest::newRow("home") << "usa1_25" << int(Qt::Key_Home) << "usa1_1";
    QTest::newRow("end") << "usa1_3" << int(Qt::Key_End) << "usa1_34";
}

void TestKeyboard::arrowKeysInsidePanel()
{
    QFETCH(QString, from);
    QFETCH(int, key);
    program->setPanelVisible(WindowId::frmmain, QStringLiteral("vn_"), false);
    program->setPanelVisible(WindowId::frmmain, QStringLiteral("usa1_"), true);
    ViewerWindow& w = shown(WindowId::frmmain);
    w.findChild<LabelUni*>(from)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    QTEST(QApplication::focusWidget()->objectName(), "to");
}

void TestKeyboard::enterAndSpaceActivateAsClick_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("key");
    QTest::newRow("logo, Enter") << "Image4" << int(Qt::Key_Return);
    QTest::newRow("logo, Space") << "Image9" << int(Qt::Key_Space);
    QTest::newRow("entry, keypad Enter") << "LabelUni5" << int(Qt::Key_Enter);
}

void TestKeyboard::enterAndSpaceActivateAsClick()
{
    QFETCH(QString, control);
    QFETCH(int, key);
    ViewerWindow& w = shown(WindowId::frmmain);
    FakePlayer& player = fake(*program, WindowId::frmmain);
    auto* label = w.findChild<LabelUni*>(control);
    label->setFocus(Qt::TabFocusReason);
    QTest::keyClick(label, Qt::Key(key));
    const QStringList byKey = player.calls;
    player.calls.clear();
    QTest::mouseClick(label, Qt::LeftButton);
    QCOMPARE(byKey, player.calls);
    QCOMPARE(byKey, QStringList{"url " + address("frmmain", control)});
    // A held key puts once.
    player.calls.clear();
    QTest::keyPress(label, Qt::Key(key));
    QKeyEvent repeat(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(label, &repeat);
    QTest::keyRelease(label, Qt::Key(key));
    QCOMPARE(player.calls.size(), 1);
}

// Clicked with the mouse, the keys that follow (Space, M, F, the arrows)
// are the player's, not the find box's; from the keyboard the focus stays
// on the entry, to go on to the next.
void TestKeyboard::clickGivesKeysToThePlayer()
{
    ViewerWindow& w = shown(WindowId::frmmain);
    QWidget* player = w.player().widget();
    auto* vtv1 = w.findChild<LabelUni*>(QStringLiteral("Image4"));
    auto* vtv3 = w.findChild<LabelUni*>(QStringLiteral("Image5"));
    vtv3->setFocus(Qt::TabFocusReason);
    QTest::mouseClick(vtv1, Qt::LeftButton);
    QCOMPARE(fake(*program, WindowId::frmmain).url, address("frmmain", "Image4"));
    QCOMPARE(QApplication::focusWidget(), player);

    vtv3->setFocus(Qt::TabFocusReason);
    QTest::keyClick(vtv3, Qt::Key_Return);
    QCOMPARE(fake(*program, WindowId::frmmain).url, address("frmmain", "Image5"));
    QCOMPARE(QApplication::focusWidget(), vtv3);
}

void TestKeyboard::onlyEntriesTakeFocus()
{
    ViewerWindow& w = program->viewer(WindowId::frmmain2);
    for (LabelUni* l : w.findChildren<LabelUni*>()) {
        const bool entry = l->use() == LabelUni::Use::Entry;
        QCOMPARE(bool(l->focusPolicy() & Qt::TabFocus), entry);
        if (l->objectName() == QLatin1String("A1_1")) // a country heading
            QCOMPARE(l->use(), LabelUni::Use::Heading);
    }
    QCOMPARE(w.status()->focusPolicy(), Qt::NoFocus);
    QCOMPARE(w.versionLabel()->focusPolicy(), Qt::NoFocus);
}

void TestKeyboard::chooserByKeyboard()
{
    shown(WindowId::frmmain);
    runMenuCommand(*program, WindowId::frmmain, QStringLiteral("thegioi"));
    ProgramWindow& chooser = program->window(WindowId::chonkenh);
    chooser.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&chooser));

    // Tab: the entries of the first page, its page button, the close button;
    // the count labels never, not even the one that acts as its line does
    // (LabelUni6 under Label8).
    auto* usa = chooser.findChild<LabelUni*>(QStringLiteral("LabelUni1"));
    usa->setFocus(Qt::TabFocusReason);
    QStringList order{usa->objectName()};
    for (int i = 0; i < 8; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order, (QStringList{"LabelUni1", "LabelUni2", "Label1", "Label5", "LabelUni5", "Label8", "LabelUni7",
                                 "Label11", "Label25"}));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("cont"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("ButtonUni1"));

    // Space on the page button turns the page, as a click does.
    chooser.findChild<ButtonUni*>(QStringLiteral("cont"))->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QVERIFY(chooser.findChild<FrameUni*>(QStringLiteral("qg2"))->isVisible());

    // Enter on the next page button turns the page too.
    chooser.findChild<ButtonUni*>(QStringLiteral("ButtonUni2"))->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(chooser.findChild<FrameUni*>(QStringLiteral("qg3"))->isVisible());
    runChooserControl(*program, QStringLiteral("ButtonUni3")); // back to the first page
    runChooserControl(*program, QStringLiteral("cont"));

    // Enter on a country opens its panel, as a click does.
    auto* france = chooser.findChild<LabelUni*>(QStringLiteral("LabelUni12"));
    france->setFocus(Qt::TabFocusReason);
    QTest::keyClick(france, Qt::Key_Return);
    QCOMPARE(program->viewer(WindowId::frmmain3).visiblePanels(), QStringList{"phap"});
    QVERIFY(program->viewer(WindowId::frmmain3).isVisible());

    // Esc hides the chooser as its close button does: still loaded.
    chooser.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&chooser));
    QTest::keyClick(&chooser, Qt::Key_Escape);
    QVERIFY(chooser.isHidden());
    QVERIFY(program->isLoaded(WindowId::chonkenh));
}

void TestKeyboard::escapeClosesInformationWindow()
{
    shown(WindowId::frmmain);
    runMenuCommand(*program, WindowId::frmmain, QStringLiteral("soft"));
    ProgramWindow* soft = program->loadedWindow(WindowId::frmsoft);
    QVERIFY(soft && soft->isVisible());
    QVERIFY(program->viewer(WindowId::frmmain).isHidden());
    soft->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(soft));
    QTest::keyClick(soft, Qt::Key_Escape);
    // Closed as from its title bar: unloaded, frmmain back.
    QTRY_VERIFY_WITH_TIMEOUT(!program->isLoaded(WindowId::frmsoft), 2000);
    QVERIFY(program->viewer(WindowId::frmmain).isVisible());
}

void TestKeyboard::menuBarOpensByKeyboard_data()
{
    QTest::addColumn<QList<int>>("keys"); // pressed in order, then released in reverse
    QTest::addColumn<bool>("opens");
    QTest::newRow("F10") << QList<int>{Qt::Key_F10} << true;
    QTest::newRow("Alt alone") << QList<int>{Qt::Key_Alt} << true;
    QTest::newRow("Alt+Z is no menu key") << QList<int>{Qt::Key_Alt, Qt::Key_Z} << false;
}

void TestKeyboard::menuBarOpensByKeyboard()
{
    QFETCH(QList<int>, keys);
    QFETCH(bool, opens);
    ViewerWindow& w = shown(WindowId::frmmain2);
    QWidget* entry = w.findChild<LabelUni*>(entriesOf("frmmain2", "A1_").first());
    entry->setFocus(Qt::TabFocusReason);
    Qt::KeyboardModifiers mods;
    for (int key : keys) {
        if (key == Qt::Key_Alt)
            mods |= Qt::AltModifier;
        QTest::keyPress(entry, Qt::Key(key), mods);
    }
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
        if (*it == Qt::Key_Alt)
            mods &= ~Qt::AltModifier;
        QTest::keyRelease(entry, Qt::Key(*it), *it == Qt::Key_Alt ? Qt::AltModifier : mods);
    }
    QMenu* file = w.menu()->item(QStringLiteral("file"))->menu();
    if (opens) {
        QTRY_VERIFY_WITH_TIMEOUT(file->isVisible(), 2000);
        QCOMPARE(w.menu()->bar()->activeAction(), w.menu()->item(QStringLiteral("file")));
        file->hide();
    } else {
        QTest::qWait(50); // nothing is expected to happen; give it a chance
        QVERIFY(!file->isVisible());
    }
}

void TestKeyboard::menuBarWalksWholeBar()
{
    // F10, then Right: every item of the bar in turn, its lists and its
    // commands alike, the flag of frmmain among them, and round again;
    // Left back. The keys never leave the bar for the panel.
    ViewerWindow& w = shown(WindowId::frmmain);
    auto* entry = w.findChild<LabelUni*>(QStringLiteral("Image1"));
    entry->setFocus(Qt::TabFocusReason);
    QTest::keyClick(entry, Qt::Key_F10);
    QStringList walked{w.menu()->walkedItem() ? w.menu()->walkedItem()->objectName() : QString()};
    for (int i = 0; i < 7; ++i) {
        QWidget* keys = QApplication::activePopupWidget() ? QApplication::activePopupWidget() : QApplication::focusWidget();
        QTest::keyClick(keys, Qt::Key_Right);
        walked << (w.menu()->walkedItem() ? w.menu()->walkedItem()->objectName() : QString());
    }
    QCOMPARE(walked, (QStringList{"file", "asdf_picture", "asdf", "thegioi", "phim", "ganday", "yeuthich", "file"}));
    QVERIFY(w.menu()->item(QStringLiteral("file"))->menu()->isVisible());
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Left);
    QCOMPARE(w.menu()->walkedItem()->objectName(), QStringLiteral("yeuthich"));
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Left);
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Left);
    QCOMPARE(w.menu()->walkedItem()->objectName(), QStringLiteral("phim"));
    QVERIFY(!QApplication::activePopupWidget());

    // Enter on a command runs it and gives the focus back.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
    QCOMPARE(w.menu()->walkedItem()->objectName(), QStringLiteral("thegioi"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(program->window(WindowId::chonkenh).isVisible());
    QVERIFY(!w.menu()->walkedItem());
    QCOMPARE(w.focusWidget(), entry);

    // Esc leaves the walk where it stands, back to the entry.
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(entry, Qt::Key_F10);
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Right);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!w.menu()->walkedItem());
    QCOMPARE(QApplication::focusWidget(), entry);
}

void TestKeyboard::altLetterRunsOnlyItsItem_data()
{
    QTest::addColumn<int>("letter");
    QTest::addColumn<QString>("opens");   // the list that opens, if any
    QTest::addColumn<bool>("chooser");    // the world-television command ran
    QTest::newRow("Alt+G: Truyền hình thế giới alone") << int(Qt::Key_G) << QString() << true;
    QTest::newRow("Alt+Y: Yêu thích alone") << int(Qt::Key_Y) << "yeuthich" << false;
    QTest::newRow("Alt+N: Gần đây alone") << int(Qt::Key_N) << "ganday" << false;
    QTest::newRow("Alt+T: Thực đơn") << int(Qt::Key_T) << "file" << false;
    QTest::newRow("Alt+K: nothing") << int(Qt::Key_K) << QString() << false;
}

void TestKeyboard::altLetterRunsOnlyItsItem()
{
    QFETCH(int, letter);
    QFETCH(QString, opens);
    QFETCH(bool, chooser);
    ViewerWindow& w = shown(WindowId::frmmain2);
    QWidget* entry = w.findChild<LabelUni*>(entriesOf("frmmain2", "A1_").first());
    entry->setFocus(Qt::TabFocusReason);
    // As the keyboard gives them: Alt down, the letter, Alt up.
    QTest::keyPress(entry, Qt::Key_Alt);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(letter), Qt::AltModifier);
    QWidget* now = QApplication::activePopupWidget() ? QApplication::activePopupWidget() : QApplication::focusWidget();
    QTest::keyRelease(now ? now : entry, Qt::Key_Alt, Qt::AltModifier);
    QTest::qWait(50); // anything else it set off has its chance to show
    for (const QString& name : {QStringLiteral("file"), QStringLiteral("ganday"), QStringLiteral("yeuthich")})
        QCOMPARE(w.menu()->item(name)->menu()->isVisible(), name == opens);
    QCOMPARE(program->isLoaded(WindowId::chonkenh) && program->window(WindowId::chonkenh).isVisible(), chooser);
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
}

void TestKeyboard::focusRingStandsAroundFocus()
{
    ViewerWindow& w = shown(WindowId::frmmain);
    auto* logo = w.findChild<LabelUni*>(QStringLiteral("Image1"));
    logo->setFocus(Qt::TabFocusReason);
    QCOMPARE(FocusRing::target(), logo);
    FocusRing* ring = FocusRing::instance();
    QVERIFY(ring->isVisible());
    QCOMPARE(ring->parentWidget(), logo->parentWidget());
    const int m = FocusRing::width;
    QCOMPARE(ring->geometry(), logo->geometry().adjusted(-m, -m, m, m));
    // The ring paints gold just outside the entry.
    const QImage shot = w.grab().toImage();
    const QPoint at = logo->mapTo(&w, QPoint(-2, logo->height() / 2));
    QCOMPARE(QColor(shot.pixel(at)), QColor(0xff, 0xd2, 0x00));

    // It follows the focus, and goes when the panel goes.
    QTest::keyClick(logo, Qt::Key_Down);
    auto* next = w.findChild<LabelUni*>(QStringLiteral("Image2"));
    QCOMPARE(FocusRing::target(), next);
    // Screen readers skip the ring.
    QVERIFY(QAccessible::queryAccessibleInterface(ring)->state().invisible);

    // A click gives the focus without a ring; the next key brings it back.
    // (A click on an entry plays it and gives the player the keys.)
    auto* entry = w.findChild<LabelUni*>(QStringLiteral("LabelUni5"));
    QTest::mouseClick(entry, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), w.player().widget());
    QVERIFY(!ring->isVisible());
    entry->setFocus(Qt::MouseFocusReason);
    QVERIFY(!ring->isVisible());
    QTest::keyClick(entry, Qt::Key_Up);
    QVERIFY(ring->isVisible());
    QCOMPARE(FocusRing::target(), w.findChild<LabelUni*>(QStringLiteral("Image7")));

    program->setPanelVisible(WindowId::frmmain, QStringLiteral("vn_"), false);
    QVERIFY(FocusRing::target() != next);
    QVERIFY(!ring->isVisible() || FocusRing::target() == QApplication::focusWidget());

    // A window shown after the mouse was last used rings nothing (the
    // player at start) until a key is pressed; shown while the keyboard
    // is in use, it rings its focus at once.
    QTest::mouseClick(entry, Qt::LeftButton);
    ViewerWindow& other = shown(WindowId::frmmain2);
    other.player().widget()->setFocus(Qt::ActiveWindowFocusReason);
    QCOMPARE(QApplication::focusWidget(), other.player().widget());
    QVERIFY(!ring->isVisible());
    QTest::keyClick(other.player().widget(), Qt::Key_Shift);
    QVERIFY(ring->isVisible());
    other.findChild<LabelUni*>(QStringLiteral("A1_2"))->setFocus(Qt::ActiveWindowFocusReason);
    QVERIFY(ring->isVisible());
}

void TestKeyboard::accessibleEntriesAndWindows()
{
    ViewerWindow& w = shown(WindowId::frmmain);
    auto iface = [](QObject* o) { return QAccessible::queryAccessibleInterface(o); };

    // The window: a frame named by its title.
    QAccessibleInterface* window = iface(&w);
    QCOMPARE(window->role(), QAccessible::Window);
    QCOMPARE(window->text(QAccessible::Name), w.windowTitle());

    // A logo: a button named by its channel, pressed through its action.
    auto* logo = w.findChild<LabelUni*>(QStringLiteral("Image4"));
    QAccessibleInterface* l = iface(logo);
    QCOMPARE(l->role(), QAccessible::Button);
    QCOMPARE(l->text(QAccessible::Name), QStringLiteral("VTV1"));
    QAccessibleActionInterface* actions = l->actionInterface();
    QVERIFY(actions);
    QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    actions->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(fake(*program, WindowId::frmmain).calls, QStringList{"url " + address("frmmain", "Image4")});

    // An entry: its caption as displayed.
    QCOMPARE(iface(w.findChild<LabelUni*>(QStringLiteral("LabelUni5")))->text(QAccessible::Name),
             QString(u8"Đài Truyền Hình hà Nội"));
    // A panel: a grouping named by its title.
    QAccessibleInterface* panel = iface(w.panel(QStringLiteral("vn_")));
    QCOMPARE(panel->role(), QAccessible::Grouping);
    QCOMPARE(panel->text(QAccessible::Name), QString(u8"Các kênh truyền hình Việt Nam"));

    // Headings, inert labels and the status line are not buttons and have no press.
    ViewerWindow& two = program->viewer(WindowId::frmmain2);
    QCOMPARE(iface(two.findChild<LabelUni*>(QStringLiteral("A1_1")))->role(), QAccessible::Heading);
    QAccessibleInterface* inert = iface(program->viewer(WindowId::frmmain).findChild<LabelUni*>("usa2_i11"));
    QCOMPARE(inert->role(), QAccessible::StaticText);
    QCOMPARE(inert->text(QAccessible::Name), QStringLiteral("EATV"));
    QVERIFY(!inert->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    QCOMPARE(iface(w.status())->role(), QAccessible::StaticText);

    // Page buttons are named by their captions.
    QCOMPARE(iface(w.findChild<ButtonUni*>(QStringLiteral("ButtonUni1")))->text(QAccessible::Name),
             QString(u8"Xem tiếp"));
}

void TestKeyboard::titlesReadWithTones_data()
{
    QTest::addColumn<int>("window");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("spoken");
    QTest::newRow("country chooser") << int(WindowId::chonkenh) << "Danh Sach Quoc Gia" << u8"Danh sách quốc gia";
    QTest::newRow("programme window") << int(WindowId::frmsoft) << "Chuong Trinh" << u8"Chương trình";
}

// Titles written without tones keep their visible text; a voice reads them
// with their tones.
void TestKeyboard::titlesReadWithTones()
{
    QFETCH(int, window);
    QFETCH(QString, title);
    QFETCH(QString, spoken);
    ProgramWindow& w = program->window(WindowId(window));
    QCOMPARE(w.windowTitle(), title);
    QCOMPARE(QAccessible::queryAccessibleInterface(&w)->text(QAccessible::Name), spoken);
}

// The chooser's lines each have a name of their own, never a count alone;
// a page button says where it leads.
void TestKeyboard::chooserLinesAndPageButtonsTellApart()
{
    shown(WindowId::frmmain);
    runMenuCommand(*program, WindowId::frmmain, QStringLiteral("thegioi"));
    ProgramWindow& chooser = program->window(WindowId::chonkenh);
    QStringList names;
    for (LabelUni* l : chooser.findChildren<LabelUni*>()) {
        if (l->use() != LabelUni::Use::Entry)
            continue;
        const QString name = QAccessible::queryAccessibleInterface(l)->text(QAccessible::Name);
        QVERIFY2(!name.startsWith(u'('), qPrintable(l->objectName() + u' ' + name));
        QVERIFY2(!names.contains(name), qPrintable(l->objectName() + u' ' + name));
        names << name;
    }
    QVERIFY(names.size() > 10);

    ViewerWindow& w = program->viewer(WindowId::frmmain);
    const QString where =
        QAccessible::queryAccessibleInterface(w.findChild<ButtonUni*>(QStringLiteral("ButtonUni1")))
            ->text(QAccessible::Description);
    QVERIFY2(where.startsWith(QStringLiteral("Đến trang ")) || where.startsWith(QStringLiteral("Sang cửa sổ ")),
             qPrintable(where));
}

QTEST_MAIN(TestKeyboard)
#include "test_keyboard.moc"
