// The catalogue on the built windows, and activation through real mouse
// clicks: every label of every panel is clicked where it shows, and the puts
// on the window's player are recorded by a test double.
#include "buttonuni.h"
#include "fakeplayer.h"
#include "catalogue.h"
#include "frameuni.h"
#include "labeluni.h"
#include "player.h"
#include "playerstates.h"
#include "program.h"
#include "statusline.h"
#include "units.h"
#include "viewerwindow.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace miravon;
namespace cat = miravon::catalogue;

Q_DECLARE_METATYPE(miravon::WindowId)

namespace {

FakePlayer& recorder(ViewerWindow& w)
{
    return static_cast<FakePlayer&>(w.player());
}

QRect tw(const QRect& r) { return twRect(r.x(), r.y(), r.width(), r.height()); }

// A real click: press and release through the window system, at `target`'s
// centre, so that the widget under the pointer (not necessarily `target`)
// receives it.
void clickOn(QWidget& window, QWidget* target, QPoint local = {-1, -1})
{
    if (local == QPoint(-1, -1))
        local = target->rect().center();
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, target->mapTo(&window, local));
}

const QString storedStatus = QStringLiteral("Miravon v1.0 Beta --- Ta5o bo73i Kestrin");

// A heading the user's address file turns into an entry (see initTestCase).
const QString userAddress = QStringLiteral("https://my.example/uk");

} // namespace

class TestActivation : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void windowsCarryTheCatalogue_data();
    void windowsCarryTheCatalogue();
    void everyLabelClickedWhereItShows_data();
    void everyLabelClickedWhereItShows();
    void sameStreamFromLogoAndLabelAndTwice();
    void clickTouchesOnlyItsOwnWindow();
    void userAddressReachesThePlayer();
    void statusLine_data();
    void statusLine();

private:
    QTemporaryDir config_;
    std::unique_ptr<Program> program_;
};

void TestActivation::initTestCase()
{
    // The catalogue reads the user's address file once, at first use: give it
    // one of our own, never the developer's.
    QVERIFY(config_.isValid());
    QVERIFY(QDir(config_.path()).mkpath(QStringLiteral("miravon")));
    QFile f(config_.filePath(QStringLiteral("miravon/addresses.tsv")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("window\tcontrol\taddress\nfrmmain2\tA1_1\t" + userAddress.toUtf8() + "\n");
    f.close();
    qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());

    useFakePlayers();
}

void TestActivation::init()
{
    program_ = std::make_unique<Program>([] {});
}

void TestActivation::cleanup()
{
    program_.reset();
}

void TestActivation::windowsCarryTheCatalogue_data()
{
    QTest::addColumn<WindowId>("id");
    QTest::addColumn<bool>("storedVisibility"); // false where the load changes panels
    QTest::newRow("frmmain") << WindowId::frmmain << true;
    QTest::newRow("frmmain2") << WindowId::frmmain2 << false;
    QTest::newRow("frmmain3") << WindowId::frmmain3 << false;
    QTest::newRow("frmmain4") << WindowId::frmmain4 << true;
    QTest::newRow("frmmain5") << WindowId::frmmain5 << true;
    QTest::newRow("frmmain6") << WindowId::frmmain6 << true;
    QTest::newRow("frmphim") << WindowId::frmphim << true;
}

void TestActivation::windowsCarryTheCatalogue()
{
    QFETCH(WindowId, id);
    QFETCH(bool, storedVisibility);
    ViewerWindow& w = program_->viewer(id);
    const QString name = windowName(id);
    const cat::Catalogue& c = program_->catalogue().catalogue();

    QStringList expectedPanels;
    for (const cat::Panel* p : c.panelsOf(name)) {
        expectedPanels << p->name;
        FrameUni* frame = w.panel(p->name);
        QVERIFY2(frame, qPrintable(p->name));
        QCOMPARE(frame->geometry(), tw(p->rect));
        QCOMPARE(frame->caption(), p->title);
        QCOMPARE(frame->setkieugotv(), p->vni);
        if (storedVisibility)
            QCOMPARE(!frame->isHidden(), p->visible);
    }
    QCOMPARE(w.panelNames(), expectedPanels);
    if (id == WindowId::frmphim)
        QCOMPARE(w.visiblePanels(), QStringList{QStringLiteral("trang1")});

    for (const cat::Label* l : c.labelsOf(name)) {
        auto* label = w.findChild<LabelUni*>(l->control);
        QVERIFY2(label, qPrintable(l->control));
        QCOMPARE(label->parentWidget(), w.panel(l->panel));
        QCOMPARE(label->geometry(), tw(l->rect));
        QCOMPARE(label->caption(), l->caption);
        QCOMPARE(label->setkieugotv(), l->vni);
        QCOMPARE(label->font().bold(), l->bold);
        if (l->kind == cat::Kind::Logo)
            QVERIFY(!label->pixmap().isNull());
    }
    int buttons = 0;
    for (const cat::Button& b : c.buttons) {
        if (b.window != name)
            continue;
        ++buttons;
        auto* button = w.findChild<ButtonUni*>(b.control);
        QVERIFY2(button, qPrintable(b.control));
        QCOMPARE(button->parentWidget(), w.panel(b.panel));
        QCOMPARE(button->tx(), b.tx);
        QVERIFY(button->setkieugotv());
        QCOMPARE(button->geometry(), tw(b.rect));
    }
    QCOMPARE(w.findChildren<ButtonUni*>().size(), buttons);
    int lines = 0;
    for (const cat::Line& l : c.lines)
        lines += l.window == name;
    QCOMPARE(w.findChildren<QWidget*>(QRegularExpression(QStringLiteral("^Line[0-9]+$"))).size(), lines);
}

void TestActivation::everyLabelClickedWhereItShows_data()
{
    QTest::addColumn<WindowId>("id");
    QTest::addColumn<int>("entries");
    QTest::newRow("frmmain") << WindowId::frmmain << 184 + 9;
    QTest::newRow("frmmain2") << WindowId::frmmain2 << 157 + 1; // and the heading given an address
    QTest::newRow("frmmain3") << WindowId::frmmain3 << 176;
    QTest::newRow("frmmain4") << WindowId::frmmain4 << 194;
    QTest::newRow("frmmain5") << WindowId::frmmain5 << 194;
    QTest::newRow("frmmain6") << WindowId::frmmain6 << 11;
    QTest::newRow("frmphim") << WindowId::frmphim << 119;
}

// Each panel in turn is made the visible one and every label on it clicked at
// its centre: an entry puts its own address into its window's player, once;
// a heading, inert label or film title puts nothing; so does the panel's
// empty margin. Clicks never write the status line or close the player.
void TestActivation::everyLabelClickedWhereItShows()
{
    QFETCH(WindowId, id);
    QFETCH(int, entries);
    ViewerWindow& w = program_->viewer(id);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    FakePlayer& player = recorder(w);
    const QString name = windowName(id);
    const cat::Catalogue& c = program_->catalogue().catalogue();

    int clicked = 0;
    for (const cat::Panel* p : c.panelsOf(name)) {
        for (const QString& other : w.panelNames())
            w.panel(other)->setVisible(other == p->name);
        for (const cat::Label* l : c.labelsOf(name)) {
            if (l->panel != p->name || l->kind == cat::Kind::Hidden)
                continue;
            const QString where = p->name + QLatin1Char('/') + l->control;
            clickOn(w, w.findChild<LabelUni*>(l->control));
            if (l->clickable()) {
                QVERIFY2(player.urls == QStringList{l->address}, qPrintable(where + QLatin1Char(' ') + player.urls.join(QLatin1Char(' '))));
                ++clicked;
            } else {
                QVERIFY2(player.urls.isEmpty(), qPrintable(where));
            }
            player.urls.clear();
        }
        FrameUni* frame = w.panel(p->name);
        clickOn(w, frame, QPoint(frame->width() - 4, frame->height() / 2));
        QVERIFY2(player.urls.isEmpty(), qPrintable(p->name + QStringLiteral(" margin")));
    }
    QCOMPARE(clicked, entries);
    QCOMPARE(player.closes, 0);
    QCOMPARE(w.status()->caption(), storedStatus);
}

void TestActivation::sameStreamFromLogoAndLabelAndTwice()
{
    ViewerWindow& w = program_->viewer(WindowId::frmmain);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(!w.panel(QStringLiteral("vn_"))->isHidden());
    FakePlayer& player = recorder(w);
    clickOn(w, w.findChild<LabelUni*>(QStringLiteral("Image7")));
    clickOn(w, w.findChild<LabelUni*>(QStringLiteral("LabelUni5")));
    clickOn(w, w.findChild<LabelUni*>(QStringLiteral("LabelUni5")));
    QCOMPARE(player.urls.size(), 3);
    QCOMPARE(player.urls.at(1), player.urls.at(0));
    QCOMPARE(player.urls.at(2), player.urls.at(0));
}

void TestActivation::clickTouchesOnlyItsOwnWindow()
{
    ViewerWindow& main = program_->viewer(WindowId::frmmain);
    ViewerWindow& third = program_->viewer(WindowId::frmmain3);
    ViewerWindow& films = program_->viewer(WindowId::frmphim);
    third.show();
    QVERIFY(QTest::qWaitForWindowExposed(&third));
    for (const QString& p : third.panelNames())
        third.panel(p)->setVisible(p == QLatin1String("duc1"));
    auto* munchen = third.findChild<LabelUni*>(QStringLiteral("duc1_32"));
    QCOMPARE(munchen->caption(), QStringLiteral("Munchen TV"));
    clickOn(third, munchen);
    QCOMPARE(recorder(third).urls,
             QStringList{program_->catalogue().catalogue().label(QStringLiteral("frmmain3"), QStringLiteral("duc1_32"))->address});
    QCOMPARE(recorder(third).options.origin, AddressOrigin::BuiltIn);
    for (ViewerWindow* other : {&main, &films}) {
        QVERIFY(recorder(*other).urls.isEmpty());
        QCOMPARE(recorder(*other).closes, 0);
        QCOMPARE(other->status()->caption(), storedStatus);
    }
    QCOMPARE(third.status()->caption(), storedStatus);
    QCOMPARE(third.visiblePanels(), QStringList{QStringLiteral("duc1")});
}

void TestActivation::userAddressReachesThePlayer()
{
    ViewerWindow& w = program_->viewer(WindowId::frmmain2);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    for (const QString& p : w.panelNames())
        w.panel(p)->setVisible(p == QLatin1String("A1_"));
    auto* heading = w.findChild<LabelUni*>(QStringLiteral("A1_1"));
    QCOMPARE(heading->caption(), QStringLiteral("Anh Quo61c"));
    QVERIFY(heading->font().bold()); // still looks like the heading it is
    clickOn(w, heading);
    QCOMPARE(recorder(w).urls, QStringList{userAddress});
    // Its origin goes with it: only the user's own address may name a file.
    QCOMPARE(recorder(w).options.origin, AddressOrigin::Own);
}

void TestActivation::statusLine_data()
{
    QTest::addColumn<WindowId>("id");
    QTest::addColumn<QString>("events"); // o: open-state change, p: play-state change, f: failed
    QTest::addColumn<QString>("shown");
    const QString connecting = QString::fromLatin1(connectingMessage);
    const QString loading = QString::fromLatin1(loadingMessage);
    QTest::newRow("no event") << WindowId::frmmain << "" << storedStatus;
    QTest::newRow("open") << WindowId::frmmain2 << "o" << connecting;
    QTest::newRow("play") << WindowId::frmmain3 << "p" << loading;
    QTest::newRow("open then plays") << WindowId::frmmain4 << "oppp" << loading;
    QTest::newRow("back to connecting") << WindowId::frmmain5 << "opo" << connecting;
    QTest::newRow("play, open, play") << WindowId::frmmain6 << "pop" << loading;
    QTest::newRow("films") << WindowId::frmphim << "op" << loading;
    // A failure puts back the text of the start, never "loading".
    QTest::newRow("failed") << WindowId::frmmain2 << "opof" << storedStatus;
    QTest::newRow("failed, then a new try") << WindowId::frmmain3 << "opfo" << connecting;
}

// The status line shows the message of the last event its own player raised,
// never the stored text again, whether the window is shown or not; the
// other windows' lines stay as they are.
void TestActivation::statusLine()
{
    QFETCH(WindowId, id);
    QFETCH(QString, events);
    QFETCH(QString, shown);
    const WindowId neighbour = id == WindowId::frmphim ? WindowId::frmmain : WindowId::frmphim;
    ViewerWindow& w = program_->viewer(id);
    ViewerWindow& other = program_->viewer(neighbour);
    int state = 0;
    for (QChar e : events) {
        if (e == QLatin1Char('o'))
            recorder(w).raiseOpenState(++state);
        else if (e == QLatin1Char('f'))
            recorder(w).raisePlayState(PlayState::Ready);
        else
            recorder(w).raisePlayState(++state);
    }
    QCOMPARE(w.status()->caption(), shown);
    QCOMPARE(other.status()->caption(), storedStatus);
    QVERIFY(recorder(w).urls.isEmpty());
}

QTEST_MAIN(TestActivation)
#include "test_activation.moc"
