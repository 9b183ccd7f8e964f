// What screen readers get from the controls, seen through Qt's
// accessibility layer (the source of AT-SPI; the events themselves are
// checked over AT-SPI and with Orca, tests/a11y): announcements as
// notifications inside a hidden status bar, a status text that announces
// where it settles, an entry's own short description, and Return on a
// focused button.
#include "accessible.h"
#include "announcer.h"
#include "labeluni.h"
#include "statustext.h"

#include <QAccessible>
#include <QCheckBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

using namespace miravon;


namespace {

// The notifications of a window, as screen readers find them: the
// children of its hidden status bar.
QList<QAccessibleInterface*> notices(QWidget* window)
{
    QList<QAccessibleInterface*> out;
    QAccessibleInterface* w = QAccessible::queryAccessibleInterface(window);
    for (int i = 0; i < w->childCount(); ++i) {
        QAccessibleInterface* child = w->child(i);
        if (child->role() != QAccessible::StatusBar || !child->state().invisible)
            continue;
        for (int j = 0; j < child->childCount(); ++j)
            out << child->child(j);
    }
    return out;
}

QStringList names(const QList<QAccessibleInterface*>& ifaces)
{
    QStringList out;
    for (QAccessibleInterface* i : ifaces)
        out << (i->state().invisible ? QStringLiteral("(hidden)") : i->text(QAccessible::Name));
    return out;
}

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void announcementsAppearAsNotifications();
    void statusTextAnnouncesWhereItSettles();
    void entriesReadTheirOwnShortDescription();
    void returnPressesTheFocusedButton_data();
    void returnPressesTheFocusedButton();
};

void TestAccessibility::initTestCase()
{
    qRegisterMetaType<QWidget*>();
    installAccessibility();
}

void TestAccessibility::announcementsAppearAsNotifications()
{
    QWidget window;
    auto* inside = new QWidget(&window);
    window.show();
    QSignalSpy said(&Announcer::instance(), &Announcer::announced);
    QVERIFY(notices(&window).isEmpty());

    // Each announcement names and shows the next of a few notifications
    // of the window, so that one a screen reader has not read yet keeps
    // its own text.
    announce(inside, QStringLiteral("Đang mở VTV1…"));
    QCOMPARE(names(notices(&window)), (QStringList{"Đang mở VTV1…", "(hidden)", "(hidden)"}));
    announce(inside, QStringLiteral("Đang phát VTV1"));
    announce(inside, QStringLiteral("Tạm dừng"));
    QCOMPARE(names(notices(&window)), (QStringList{"Đang mở VTV1…", "Đang phát VTV1", "Tạm dừng"}));
    announce(inside, QStringLiteral("Đã tắt tiếng"));
    QCOMPARE(names(notices(&window)), (QStringList{"Đã tắt tiếng", "Đang phát VTV1", "Tạm dừng"}));
    announce(inside, QString()); // nothing to tell
    QCOMPARE(said.size(), 4);
    QCOMPARE(said.last().at(0).value<QWidget*>(), &window);
    QCOMPARE(said.last().at(1).toString(), QStringLiteral("Đã tắt tiếng"));
    QCOMPARE(Announcer::instance().lastAnnounced(inside), QStringLiteral("Đã tắt tiếng"));

    // Notifications, read by their text alone inside a status bar that
    // screen readers see as none to read, and that takes no room, no key
    // and no click.
    const QList<QAccessibleInterface*> all = notices(&window);
    for (QAccessibleInterface* n : all) {
        QCOMPARE(n->role(), QAccessible::Notification);
        QCOMPARE(n->text(QAccessible::Description), QString());
    }
    auto* bar = static_cast<QWidget*>(all.first()->parent()->object());
    QCOMPARE(bar->parentWidget(), &window);
    QVERIFY(!bar->isVisible());
    QCOMPARE(bar->focusPolicy(), Qt::NoFocus);
    QVERIFY(bar->testAttribute(Qt::WA_TransparentForMouseEvents));
}

void TestAccessibility::statusTextAnnouncesWhereItSettles()
{
    QWidget window;
    auto* count = new StatusText(&window);
    window.show();
    QSignalSpy said(&Announcer::instance(), &Announcer::announced);

    // A status bar by its text; announced only when asked.
    count->say(QStringLiteral("3 kết quả"));
    QCOMPARE(QAccessible::queryAccessibleInterface(count)->role(), QAccessible::StatusBar);
    QCOMPARE(QAccessible::queryAccessibleInterface(count)->text(QAccessible::Name), QStringLiteral("3 kết quả"));
    QCOMPARE(said.size(), 0);

    count->setAnnounced(true);
    count->say(QStringLiteral("4 kết quả"));
    QCOMPARE(said.size(), 1);
    QCOMPARE(said.last().at(1).toString(), QStringLiteral("4 kết quả"));
    count->say(QStringLiteral("4 kết quả")); // no change, nothing said
    QCOMPARE(said.size(), 1);

    // As the user types: once, where it settles.
    count->setAnnounced(true, 100);
    for (const char* text : {"66 kết quả", "12 kết quả", "1 kết quả"})
        count->say(QString::fromUtf8(text));
    QCOMPARE(said.size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(said.size(), 2, 2000);
    QCOMPARE(said.last().at(1).toString(), QStringLiteral("1 kết quả"));
    QTest::qWait(150);
    QCOMPARE(said.size(), 2);
}

void TestAccessibility::entriesReadTheirOwnShortDescription()
{
    QWidget window;
    auto* entry = new LabelUni(&window);
    entry->setCaption(QStringLiteral("VTV1"));
    entry->setUse(LabelUni::Use::Entry);
    entry->setToolTip(QStringLiteral("VTV1\nChưa có địa chỉ xem được (Thực đơn › Nguồn kênh, hoặc chuột phải › "
                                     "Đặt địa chỉ…)"));
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(entry);
    // Not its tooltip: that would read the caption a second time, and the
    // whole hint on every entry passed.
    QCOMPARE(iface->text(QAccessible::Description), QString());
    entry->setAccessibleDescription(QStringLiteral("chưa có địa chỉ"));
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("VTV1"));
    QCOMPARE(iface->text(QAccessible::Description), QStringLiteral("chưa có địa chỉ"));
    // No key to read out after it: Enter and Space are what every button takes.
    QAccessibleActionInterface* actions = iface->actionInterface();
    QVERIFY(actions->keyBindingsForAction(QAccessibleActionInterface::pressAction()).isEmpty());
}

void TestAccessibility::returnPressesTheFocusedButton_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("pressed");
    QTest::newRow("push button, Return") << "push" << int(Qt::Key_Return) << int(Qt::NoModifier) << true;
    QTest::newRow("push button, keypad Enter") << "push" << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << true;
    QTest::newRow("tool button, Return") << "tool" << int(Qt::Key_Return) << int(Qt::NoModifier) << true;
    QTest::newRow("push button, Ctrl+Return") << "push" << int(Qt::Key_Return) << int(Qt::ControlModifier) << false;
    QTest::newRow("check box, Return") << "check" << int(Qt::Key_Return) << int(Qt::NoModifier) << false;
    QTest::newRow("disabled push button") << "disabled" << int(Qt::Key_Return) << int(Qt::NoModifier) << false;
}

void TestAccessibility::returnPressesTheFocusedButton()
{
    QFETCH(QString, button);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, pressed);
    // A plain window, not a dialog: Qt itself presses a button by Return
    // only in dialogs.
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* push = new QPushButton(QStringLiteral("Có"), &window);
    auto* tool = new QToolButton(&window);
    auto* check = new QCheckBox(QStringLiteral("Không hỏi lại"), &window);
    auto* disabled = new QPushButton(QStringLiteral("Hủy"), &window);
    tool->setFocusPolicy(Qt::StrongFocus);
    for (QWidget* w : std::initializer_list<QWidget*>{push, tool, check, disabled})
        layout->addWidget(w);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QAbstractButton* target = button == QLatin1String("push") ? static_cast<QAbstractButton*>(push)
        : button == QLatin1String("tool")                     ? static_cast<QAbstractButton*>(tool)
        : button == QLatin1String("check")                    ? static_cast<QAbstractButton*>(check)
                                                              : disabled;
    target->setFocus(Qt::TabFocusReason);
    disabled->setEnabled(false);
    QSignalSpy clicked(target, &QAbstractButton::clicked);
    QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : &window;
    QTest::keyClick(focus, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(clicked.size(), pressed ? 1 : 0);

    // Held down, it presses once.
    if (pressed) {
        QKeyEvent repeat(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), QString(), true);
        QApplication::sendEvent(target, &repeat);
        QCOMPARE(clicked.size(), 1);
    }
}

QTEST_MAIN(TestAccessibility)
#include "test_accessibility.moc"
