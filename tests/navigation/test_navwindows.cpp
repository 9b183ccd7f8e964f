// The chooser and information windows as windows, the exit confirmation, and
// the edge cases of moving around that the step tables alone do not show.

#include "navharness.h"

#include "units.h"
#include "vni.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using namespace miravon;
using namespace navtest;

Q_DECLARE_METATYPE(miravon::WindowId)

namespace {

QStringList names(const QSet<QString>& set)
{
    return sorted(QStringList(set.begin(), set.end()));
}

void showOnly(Harness& h, WindowId id, const QStringList& panels)
{
    for (const QString& name : h.viewer(id).panelNames())
        h.viewer(id).panel(name)->setVisible(panels.contains(name));
}

QRect tw(const QRect& r) { return twRect(r.x(), r.y(), r.width(), r.height()); }

struct ChooserControl {
    int page;
    const char* name;
    const char* caption; // UTF-8
    QRect rect;
};
const std::vector<ChooserControl>& layoutRows()
{
    static const std::vector<ChooserControl> rows = {
        {1, "LabelUni1", "USA - My4 ( 143 Ke6nh )", {435, 360, 1935, 375}},
        {1, "LabelUni2", "Anh Quo61c ( 41 Ke6nh )", {435, 720, 1935, 375}},
        {1, "Label1", "Brunei Daris    Burkina   Fasco    Bulgaria    Canada", {435, 1125, 2295, 750}},
        {1, "LabelUni3", "( 25 Ke6nh )", {1095, 1575, 1020, 330}},
        {1, "Label5", "Armenia  Australia  Austria  Azerbajjan  Belarus  Belgium  Belize  Benin  Bolivia", {450, 1860, 2295, 750}},
        {1, "LabelUni4", "( 22 Ke6nh )", {420, 2565, 1020, 330}},
        {1, "LabelUni5", "Brazil ( 35 Kênh)", {480, 2895, 1935, 375}},
        {1, "Label8", "Brunei Daris    Burkina   Fasco    Bulgaria    Canada", {480, 3240, 2295, 750}},
        {1, "LabelUni6", "( 21 Ke6nh )", {1155, 3720, 1020, 330}},
        {1, "LabelUni7", "Chile  Trung Quo61c(36 Kênh)", {510, 3990, 2415, 375}},
        {1, "Label11", "Colombia   CostaRica  CoteD'ivoire  Croatia  Cuba  CzechRep  Cyprus  Denmark", {495, 4335, 2295, 750}},
        {1, "LabelUni8", "( 20 Ke6nh )", {435, 5040, 1020, 330}},
        {1, "Label25", "DOM.REP  Ecuador  Egypt  Estonia  ELSalvador  Finland", {510, 5400, 2295, 750}},
        {1, "LabelUni11", "( 19 ke6nh )", {1230, 5865, 1020, 330}},
        {1, "cont", "Xem tie61p", {1800, 6360, 1455, 255}},
        {2, "LabelUni12", "Pha1p ( 20 Ke6nh )", {480, 240, 2220, 330}},
        {2, "LabelUni13", "Georgia  Greece  Honduras", {480, 495, 2415, 375}},
        {2, "LabelUni9", "( 14 ke6nh )", {480, 780, 1020, 330}},
        {2, "LabelUni10", "Germany ( D9u71c ) ( 66 Ke6nh )", {465, 1005, 2460, 330}},
        {2, "LabelUni17", "Hungary ( 22 Ke6nh )", {480, 1260, 2460, 330}},
        {2, "Label20", "IceLand  India  Indonesia  Iran", {480, 1560, 2295, 495}},
        {2, "LabelUni14", "( 35 Ke6nh )", {870, 1785, 1020, 330}},
        {2, "Label17", "IRAQ  Israel  Jamaica  Japan", {480, 2055, 2295, 495}},
        {2, "LabelUni18", "( 27 Ke6nh )", {960, 2280, 1020, 330}},
        {2, "LabelUni15", "Y1 - Italia (57 Kênh)", {480, 2535, 2415, 375}},
        {2, "Label23", "Jordan  Kurdistan  Kuwait  Latvia  Lebanon  Libya  Luxemburg  Macedonia  Malaysia", {480, 2925, 2295, 750}},
        {2, "LabelUni16", "( 21 Ke6nh )", {435, 3660, 1020, 330}},
        {2, "Label26", "Malta  Mauritius  Mexico  Mozambique  Net.Antilles", {480, 4020, 2295, 510}},
        {2, "LabelUni19", "( 29 Ke6nh )", {465, 4500, 1020, 330}},
        {2, "LabelUni20", "NetherLands (35 Kênh)", {480, 4800, 2415, 375}},
        {2, "Label30", "NewZealand  Nigeria  Oman  Palestinia  Panama  Peru  Philippines  Poland  Portugal", {555, 5160, 2295, 975}},
        {2, "LabelUni21", "( 27 Ke6nh )", {1320, 5880, 1020, 330}},
        {2, "ButtonUni2", "Tie61p tu5c", {1800, 6360, 1455, 255}},
        {3, "Label33", "PuertoRico  Oatar  Romania  RussianFed  SaudiArabia ", {435, 285, 2295, 750}},
        {3, "LabelUni24", "( 32 Ke6nh )", {1560, 735, 1020, 330}},
        {3, "Label32", "Senegal  Serbia&Mont  Slovakia  Slovenia  SouthAfrica  SouthKorea", {420, 1110, 2295, 750}},
        {3, "LabelUni22", "( 34 Ke6nh )", {360, 1800, 1020, 330}},
        {3, "LabelUni23", "Spain ( 45 Ke6nh )", {360, 2040, 1740, 330}},
        {3, "Label35", "Srilanka  Suriname  Sweden  Switzerland  Taiwan  Ukaraine", {420, 2310, 2295, 750}},
        {3, "LabelUni25", "( 32 Ke6nh )", {360, 3000, 1020, 330}},
        {3, "Label39", "Thailand  Uruguay  Uzbekistan  VaticanCity  Zimbabwe", {420, 3270, 2295, 750}},
        {3, "LabelUni26", "( 25 Ke6nh )", {1320, 3720, 1020, 330}},
        {3, "LabelUni27", "Turkey ( 29 Ke6nh )", {360, 3960, 1740, 330}},
        {3, "LabelUni28", "Venezuela (11 ke6nh)", {360, 4260, 1860, 330}},
        {3, "ButtonUni3", "Tro73 la5i", {1800, 6360, 1455, 255}},
    };
    return rows;
}

struct InfoText {
    WindowId window;
    const char* name;
    QRect rect;
    const char* text;
    bool valueFollows;
};
const std::vector<InfoText>& infoRows()
{
    static const std::vector<InfoText> rows = {
        {WindowId::frmsoft, "LabelUni8", {3840, 960, 2655, 375}, "Phie6n ba3n thu73 nghie65m 1.0", false},
        {WindowId::frmsoft, "LabelUni2", {240, 1320, 6375, 375}, "D9a6y la2 mo65t tie65n i1ch tie61ng Vie65t, giu1p ba5n xem d9u7o75c nhie62u ke6nh truye62n hi2nh", false},
        {WindowId::frmsoft, "LabelUni3", {240, 1680, 6375, 375}, "cu3a nhie62u quo61c gia tre6n the61 gio71i.", false},
        {WindowId::frmsoft, "LabelUni5", {240, 2040, 6375, 375}, "Ngoa2i ra, ba5n co2n co1 the63 xem d9u7o75c nhie62u bo65 phim le4 d9u7o75c su7u ta62m va2 ti1ch", false},
        {WindowId::frmsoft, "LabelUni6", {240, 2400, 6375, 375}, "ho71p sa84n trong chu7o7ng tri2nh na2y", false},
        {WindowId::frmsoft, "LabelUni4", {240, 2760, 6375, 375}, "Chu7o7ng  tri2nh d9u7o75c  chia  se4  mie64n phi1 cu2ng  ta61t ca3 ca1c ba5n  co1  nhu  ca62u", false},
        {WindowId::frmsoft, "LabelUni7", {240, 3120, 6255, 375}, "Download mie64n phi1 ta5i ", true},
        {WindowId::frmtacgia, "LabelUni6", {3120, 1080, 2655, 375}, "Phie6n ba3n thu73 nghie65m 1.0", false},
        {WindowId::frmtacgia, "LabelUni1", {360, 1440, 2175, 375}, "Ta1c gia3 : Kestrin", false},
        {WindowId::frmtacgia, "LabelUni2", {360, 1800, 3255, 375}, "Email: ", true},
        {WindowId::frmtacgia, "LabelUni3", {360, 2160, 3255, 375}, "Y!M  : ", true},
        {WindowId::frmtacgia, "LabelUni5", {360, 2520, 3735, 375}, "Website: ", true},
        {WindowId::frmtacgia, "LabelUni4", {360, 2880, 3255, 375}, "D9ie65n thoa5i : ", true},
        {WindowId::cauhinh, "LabelUni1", {480, 1080, 2655, 375}, "Phie6n ba3n thu73 nghie65m 1.0", false},
        {WindowId::cauhinh, "LabelUni2", {480, 1440, 4815, 375}, "* Chu7o7ng tri2nh tu7o7ng thi1ch vo71i mo5i phie6n ba3n Windows", false},
        {WindowId::cauhinh, "LabelUni3", {480, 1920, 4695, 375}, "* Co1 d9u7o72ng truye62n Internet to61c d9o65 cao ( ADSL,..)", false},
        {WindowId::cauhinh, "LabelUni4", {480, 2400, 4575, 375}, "* Ma1y ti1nh d9ang su73 du5ng pha3i co1 ca2i Windows Media", false},
        {WindowId::cauhinh, "LabelUni5", {480, 2880, 3735, 375}, "* Ca1c Plug-ins ho64 tro75 cho WMP ( Ne61u co1 )", false},
    };
    return rows;
}

} // namespace

class TestNavWindows : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();

    // Country chooser.
    void chooserControls_data();
    void chooserControls();
    void chooserFrame();
    void chooserPlacementAndLifecycle();
    void chosenPanelShowsOnFirstChoice();
    void bruneiLinesStopDifferentPlayers();

    // Information windows.
    void infoTexts_data();
    void infoTexts();
    void infoWindowFromFrmmain_data();
    void infoWindowFromFrmmain();
    void infoWindowFromAnotherWindow();
    void infoWindowsAreIndependent();
    void reopeningAnOpenInfoWindowOnlyRaisesIt();

    // Exit.
    void exitAnsweredNo_data();
    void exitAnsweredNo();
    void exitAnsweredYes_data();
    void exitAnsweredYes();
    void realConfirmationBox();
    void closingViewerWithInfoWindowOpen();

    // Panels over time.
    void movieRingAndRemembering();
    void firstLoadOfFrmmain3ResetsFrmmain2();
    void hiddenFrmmainKeepsBritishPanel();

private:
    ExitConfirmation realConfirmation;
};

void TestNavWindows::initTestCase()
{
    realConfirmation = exitConfirmation();
}

void TestNavWindows::chooserControls_data()
{
    QTest::addColumn<int>("row");
    for (size_t i = 0; i < layoutRows().size(); ++i)
        QTest::addRow("%s", layoutRows()[i].name) << int(i);
}

void TestNavWindows::chooserControls()
{
    QFETCH(int, row);
    const ChooserControl& c = layoutRows()[size_t(row)];
    Harness h;
    ProgramWindow& chooser = h.p().window(WindowId::chonkenh);
    QWidget* w = chooser.findChild<QWidget*>(QLatin1String(c.name));
    QVERIFY(w);
    QCOMPARE(w->parentWidget()->objectName(), QStringLiteral("qg%1").arg(c.page));
    QCOMPARE(w->geometry(), tw(c.rect));
    const QString caption = QString::fromUtf8(c.caption);
    if (auto* b = qobject_cast<ButtonUni*>(w)) {
        QCOMPARE(b->tx(), caption);
        QVERIFY(b->setkieugotv());
    } else {
        auto* l = qobject_cast<LabelUni*>(w);
        QVERIFY(l);
        QCOMPARE(l->caption(), caption);
        // Plain labels list countries as stored; the others are in VNI notation.
        QCOMPARE(l->setkieugotv(), QByteArray(c.name).startsWith("LabelUni"));
        QCOMPARE(l->text(), l->setkieugotv() ? vniToUnicode(caption) : caption);
    }
}

void TestNavWindows::chooserFrame()
{
    Harness h;
    ProgramWindow& chooser = h.p().window(WindowId::chonkenh);
    QCOMPARE(chooser.windowTitle(), QStringLiteral("Danh Sach Quoc Gia"));
    QCOMPARE(chooser.size(), twSize(4005, 7305));
    QCOMPARE(h.visiblePages(), QStringList()); // stored hidden
    for (const char* name : {"qg1", "qg2", "qg3"}) {
        auto* page = chooser.findChild<FrameUni*>(QLatin1String(name));
        QVERIFY(page);
        QCOMPARE(page->geometry(), twRect(360, 120, 3255, 6615));
        QCOMPARE(page->displayedCaption(), vniToUnicode(u"Danh sa1ch ca1c Quo61c Gia"));
    }
    auto* close = chooser.findChild<ButtonUni*>(QStringLiteral("ButtonUni1"));
    QVERIFY(close);
    QCOMPARE(close->parentWidget(), &chooser);
    QCOMPARE(close->geometry(), twRect(1080, 6960, 1815, 255));
    QCOMPARE(close->tx(), QStringLiteral("D9o1ng"));

    const QList<int> tops[] = {{375, 735, 1110, 1845, 2910, 3255, 4005, 4320, 5415},
                               {240, 510, 990, 1320, 1620, 2070, 2580, 2925, 4035, 4800, 5175},
                               {255, 1080, 2040, 2280, 3240, 3960, 4260}};
    for (int page = 1; page <= 3; ++page) {
        QList<int> found;
        for (QLabel* mark : chooser.findChildren<QLabel*>(QStringLiteral("bullet"))) {
            if (mark->parentWidget()->objectName() != QStringLiteral("qg%1").arg(page))
                continue;
            found << mark->y();
            QCOMPARE(mark->text(), QString(QChar(0x262F)));
            QVERIFY(QFontMetrics(mark->font()).inFont(QChar(0x262F)));
            QCOMPARE(mark->size(), twSize(255, 255));
        }
        QList<int> expected;
        for (int t : tops[page - 1])
            expected << px(t);
        std::sort(found.begin(), found.end());
        QCOMPARE(found, expected);
    }
}

void TestNavWindows::chooserPlacementAndLifecycle()
{
    Harness h;
    h.p().show(WindowId::frmmain);
    ProgramWindow& main = h.p().window(WindowId::frmmain);
    main.move(40, 30);
    h.choose(WindowId::frmmain, QStringLiteral("thegioi"));
    ProgramWindow* chooser = h.p().loadedWindow(WindowId::chonkenh);
    QVERIFY(chooser && chooser->isVisible());
    const QPoint placed(main.frameGeometry().right() + 1, main.frameGeometry().top());
    QCOMPARE(chooser->pos(), placed);
    QCOMPARE(h.visiblePages(), QStringList{"qg1"});

    // The close button hides it, keeping page and place; an opening starts on page 1.
    h.clickChooser(QStringLiteral("cont"));
    h.clickChooser(QStringLiteral("ButtonUni2"));
    h.clickChooser(QStringLiteral("ButtonUni1"));
    QVERIFY(!chooser->isVisible());
    QCOMPARE(h.p().loadedWindow(WindowId::chonkenh), chooser);
    QCOMPARE(h.visiblePages(), QStringList{"qg3"});
    main.move(200, 100);
    h.choose(WindowId::frmmain, QStringLiteral("thegioi"));
    QCOMPARE(chooser->pos(), placed);
    QCOMPARE(h.visiblePages(), QStringList{"qg1"});

    // Closed from its title bar it is unloaded; the next opening places it afresh.
    QSignalSpy unloaded(&h.p(), &Program::windowUnloaded);
    QVERIFY(chooser->close());
    QCOMPARE(unloaded.count(), 1);
    QVERIFY(!h.p().isLoaded(WindowId::chonkenh));
    QVERIFY(h.visibleWindows().contains("frmmain"));
    h.choose(WindowId::frmmain, QStringLiteral("thegioi"));
    chooser = h.p().loadedWindow(WindowId::chonkenh);
    QVERIFY(chooser && chooser->isVisible());
    QCOMPARE(chooser->pos(), QPoint(main.frameGeometry().right() + 1, main.frameGeometry().top()));
    QCOMPARE(h.visiblePages(), QStringList{"qg1"});

    // Opened over a window a few pixels wider than frmmain, at frmmain's
    // corner: it stands beside that one, not under its edge.
    ProgramWindow& second = h.p().window(WindowId::frmmain2);
    second.move(main.pos());
    h.p().show(WindowId::frmmain2);
    QVERIFY(second.frameGeometry().width() > main.frameGeometry().width());
    h.choose(WindowId::frmmain2, QStringLiteral("thegioi"));
    QCOMPARE(chooser->pos().x(), second.frameGeometry().right() + 1);
    QCOMPARE(h.ends, 0);
}

// The first choice of a frmmain2 country, with frmmain3 never loaded, shows
// that country and not frmmain2's first panel; loading ahead shows nothing.
void TestNavWindows::chosenPanelShowsOnFirstChoice()
{
    Harness h;
    h.p().show(WindowId::frmmain);
    h.openChooserOn(1);
    QVERIFY(!h.p().isLoaded(WindowId::frmmain3));
    h.clickChooser(QStringLiteral("LabelUni5"));
    QVERIFY(h.p().isLoaded(WindowId::frmmain3));
    QCOMPARE(h.visiblePanels(WindowId::frmmain2), QStringList{"bra_"});
    QCOMPARE(names(h.visibleWindows()), (QStringList{"chonkenh", "frmmain2"}));
}

void TestNavWindows::bruneiLinesStopDifferentPlayers()
{
    Harness h;
    h.loadAndShowAllViewers();
    for (WindowId id : {WindowId::frmmain, WindowId::frmmain2})
        h.player(id).setUrl(QStringLiteral("http://stream.example/a"));
    h.openChooserOn(1);
    h.clickChooser(QStringLiteral("Label1"));
    QVERIFY(!h.player(WindowId::frmmain).playing());
    QVERIFY(h.player(WindowId::frmmain2).playing());
    h.player(WindowId::frmmain).setUrl(QStringLiteral("http://stream.example/b"));
    h.clickChooser(QStringLiteral("Label8"));
    QVERIFY(h.player(WindowId::frmmain).playing());
    QVERIFY(!h.player(WindowId::frmmain2).playing());
    QCOMPARE(h.visiblePanels(WindowId::frmmain2), QStringList{"bc1"});
}

void TestNavWindows::infoTexts_data()
{
    QTest::addColumn<int>("row");
    for (size_t i = 0; i < infoRows().size(); ++i)
        QTest::addRow("%s %s", qPrintable(windowName(infoRows()[i].window)), infoRows()[i].name) << int(i);
}

void TestNavWindows::infoTexts()
{
    QFETCH(int, row);
    const InfoText& t = infoRows()[size_t(row)];
    Harness h;
    ProgramWindow& w = h.p().window(t.window);
    auto* label = w.findChild<LabelUni*>(QLatin1String(t.name));
    QVERIFY(label);
    QCOMPARE(label->geometry(), tw(t.rect));
    QVERIFY(label->setkieugotv());
    const QString text = QLatin1String(t.text);
    if (t.valueFollows) {
        QVERIFY(label->caption().startsWith(text));
        const QString value = label->caption().mid(text.size());
        QVERIFY2(!value.trimmed().isEmpty(), qPrintable(label->caption()));
        // Made-up values only: reserved names, a fictional number.
        QVERIFY2(value.contains(QLatin1String("example.")) || value.contains(QLatin1String("555"))
                     || !value.contains(QLatin1Char('.')),
                 qPrintable(value));
    } else {
        QCOMPARE(label->caption(), text);
    }
}

void TestNavWindows::infoWindowFromFrmmain_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<WindowId>("window");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QSize>("size");
    QTest::newRow("soft") << "soft" << WindowId::frmsoft << "Chuong Trinh" << twSize(6870, 3810);
    QTest::newRow("tacgia") << "tacgia" << WindowId::frmtacgia << "Tac Gia" << twSize(6255, 3465);
    QTest::newRow("yeucau") << "yeucau" << WindowId::cauhinh << "Cau Hinh Yeu Cau" << twSize(6225, 3510);
}

// frmmain goes while the window is open and comes back when it is closed;
// closed means unloaded, and the next opening builds the window anew.
void TestNavWindows::infoWindowFromFrmmain()
{
    QFETCH(QString, item);
    QFETCH(WindowId, window);
    QFETCH(QString, title);
    QFETCH(QSize, size);
    Harness h;
    h.p().show(WindowId::frmmain);
    QSignalSpy loaded(&h.p(), &Program::windowLoaded);
    for (int round = 1; round <= 2; ++round) {
        h.choose(WindowId::frmmain, item);
        ProgramWindow* w = h.p().loadedWindow(window);
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), title);
        QCOMPARE(w->size(), size);
        QCOMPARE(names(h.visibleWindows()), QStringList{windowName(window)});
        trace().clear();
        QVERIFY(w->close());
        QCOMPARE(trace().filter(QStringLiteral("frmmain")), QStringList{"show frmmain"});
        QVERIFY(!h.p().isLoaded(window));
        QCOMPARE(names(h.visibleWindows()), QStringList{"frmmain"});
    }
    int loads = 0;
    for (const QList<QVariant>& args : loaded)
        loads += args.at(0).value<WindowId>() == window;
    QCOMPARE(loads, 2);
}

void TestNavWindows::infoWindowFromAnotherWindow()
{
    Harness h;
    h.p().show(WindowId::frmmain2);
    h.choose(WindowId::frmmain2, QStringLiteral("soft"));
    QCOMPARE(names(h.visibleWindows()), (QStringList{"frmmain2", "frmsoft"}));
    QVERIFY(h.p().loadedWindow(WindowId::frmsoft)->close());
    QCOMPARE(names(h.visibleWindows()), (QStringList{"frmmain", "frmmain2"}));
}

void TestNavWindows::infoWindowsAreIndependent()
{
    Harness h;
    h.p().show(WindowId::frmmain);
    h.choose(WindowId::frmmain, QStringLiteral("soft"));
    h.choose(WindowId::frmmain2, QStringLiteral("tacgia"));
    QCOMPARE(names(h.visibleWindows()), (QStringList{"frmsoft", "frmtacgia"}));
    QVERIFY(h.p().loadedWindow(WindowId::frmsoft)->close());
    QCOMPARE(names(h.visibleWindows()), (QStringList{"frmmain", "frmtacgia"}));
    QVERIFY(h.p().loadedWindow(WindowId::frmtacgia)->close());
    QCOMPARE(names(h.visibleWindows()), QStringList{"frmmain"});
}

void TestNavWindows::reopeningAnOpenInfoWindowOnlyRaisesIt()
{
    Harness h;
    h.p().show(WindowId::frmmain2);
    h.choose(WindowId::frmmain2, QStringLiteral("soft"));
    ProgramWindow* soft = h.p().loadedWindow(WindowId::frmsoft);
    h.choose(WindowId::frmmain2, QStringLiteral("asdf")); // frmmain back, frmmain2 away
    QCOMPARE(names(h.visibleWindows()), (QStringList{"frmmain", "frmsoft"}));
    trace().clear();
    h.choose(WindowId::frmmain, QStringLiteral("soft"));
    QCOMPARE(trace(), QStringList());
    QCOMPARE(h.p().loadedWindow(WindowId::frmsoft), soft);
    QCOMPARE(names(h.visibleWindows()), (QStringList{"frmmain", "frmsoft"}));
}

void TestNavWindows::exitAnsweredNo_data()
{
    QTest::addColumn<WindowId>("on");
    for (WindowId id : playerWindows)
        QTest::newRow(qPrintable(windowName(id))) << id;
}

void TestNavWindows::exitAnsweredNo()
{
    QFETCH(WindowId, on);
    Harness h;
    h.loadAndShowAllViewers();
    h.p().show(on);
    h.player(on).setUrl(QStringLiteral("http://stream.example/a"));
    const QSet<QString> before = h.visibleWindows();
    const QStringList panels = h.visiblePanels(on);
    trace().clear();
    h.answer = false;
    h.choose(on, QStringLiteral("thoat"));
    QCOMPARE(h.confirmations, 1);
    QCOMPARE(trace(), QStringList());
    QCOMPARE(names(h.visibleWindows()), names(before));
    QCOMPARE(h.visiblePanels(on), panels);
    QVERIFY(h.player(on).playing());
    QCOMPARE(h.ends, 0);
}

void TestNavWindows::exitAnsweredYes_data()
{
    exitAnsweredNo_data();
}

// Yes ends the program at once: an open information window does not bring
// frmmain back on the way out.
void TestNavWindows::exitAnsweredYes()
{
    QFETCH(WindowId, on);
    Harness h;
    h.p().show(on);
    h.choose(on, QStringLiteral("tacgia"));
    h.p().show(on);
    trace().clear();
    h.answer = true;
    h.choose(on, QStringLiteral("thoat"));
    QCOMPARE(h.confirmations, 1);
    QCOMPARE(h.ends, 1);
    QVERIFY(!trace().contains("show frmmain"));
    QVERIFY(h.visibleWindows().isEmpty());
}

void TestNavWindows::realConfirmationBox()
{
    Harness h;
    exitConfirmation() = realConfirmation;
    h.p().show(WindowId::frmmain);
    for (auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        QString seen;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            poll.stop();
            seen = box->windowTitle() + QLatin1Char('|') + box->text() + QLatin1Char('|')
                   + QString::number(int(box->icon())) + QLatin1Char('|')
                   + QString::number(int(box->standardButtons())) + QLatin1Char('|')
                   + box->button(QMessageBox::Yes)->text() + QLatin1Char('/')
                   + box->button(QMessageBox::No)->text();
            box->button(answer)->click();
        });
        poll.start(10);
        h.choose(WindowId::frmmain, QStringLiteral("thoat"));
        QCOMPARE(seen, QStringLiteral("Khoan da ban oi !|Ban co that su muon thoat khoi chuong trinh ?|%1|%2|"
                                      "C\u00f3/Kh\u00f4ng")
                           .arg(int(QMessageBox::NoIcon))
                           .arg(int(QMessageBox::Yes | QMessageBox::No)));
        QCOMPARE(h.ends, answer == QMessageBox::Yes ? 1 : 0);
    }
}

void TestNavWindows::closingViewerWithInfoWindowOpen()
{
    Harness h;
    h.p().show(WindowId::frmmain2);
    h.choose(WindowId::frmmain2, QStringLiteral("yeucau"));
    trace().clear();
    QVERIFY(h.p().loadedWindow(WindowId::frmmain2)->close());
    QCOMPARE(h.ends, 1);
    QCOMPARE(h.confirmations, 0);
    QVERIFY(!trace().contains("show frmmain"));
}

// The movie window opens on page 1, steps through its ring, and comes back
// on the page it was left on, with its player stopped by the chooser.
void TestNavWindows::movieRingAndRemembering()
{
    Harness h;
    h.p().show(WindowId::frmmain);
    h.choose(WindowId::frmmain, QStringLiteral("phim"));
    auto pages = [&] { return h.visiblePanels(WindowId::frmphim); };
    QCOMPARE(pages(), QStringList{"trang1"});
    const char* ring[] = {"ButtonUni1", "ButtonUni4", "ButtonUni3", "ButtonUni2",
                          "ButtonUni5", "ButtonUni6", "ButtonUni7"};
    for (int i = 0; i < 7; ++i) {
        h.pressPageButton(WindowId::frmphim, QLatin1String(ring[i]));
        QCOMPARE(pages(), QStringList{QStringLiteral("trang%1").arg((i + 1) % 7 + 1)});
    }
    for (int i = 0; i < 3; ++i)
        h.pressPageButton(WindowId::frmphim, QLatin1String(ring[i]));
    QCOMPARE(pages(), QStringList{"trang4"});
    h.player(WindowId::frmphim).setUrl(QStringLiteral("http://films.example/a.wmv"));
    h.choose(WindowId::frmphim, QStringLiteral("thegioi"));
    h.clickChooser(QStringLiteral("LabelUni1"));
    QVERIFY(!h.visibleWindows().contains("frmphim"));
    h.choose(WindowId::frmmain, QStringLiteral("phim"));
    QVERIFY(h.visibleWindows().contains("frmphim"));
    QCOMPARE(pages(), QStringList{"trang4"});
    QVERIFY(!h.player(WindowId::frmphim).playing());
}

// Loading frmmain3 the first time puts frmmain2 back on A1_; later commands
// that reach frmmain3 leave frmmain2's panel alone.
void TestNavWindows::firstLoadOfFrmmain3ResetsFrmmain2()
{
    Harness h;
    h.p().show(WindowId::frmmain2);
    QCOMPARE(h.visiblePanels(WindowId::frmmain2), QStringList{"A1_"});
    showOnly(h, WindowId::frmmain2, {"bra_"});
    h.choose(WindowId::frmmain2, QStringLiteral("asdf"));
    QCOMPARE(h.visiblePanels(WindowId::frmmain2), QStringList{"A1_"});
    showOnly(h, WindowId::frmmain2, {"bra_"});
    h.choose(WindowId::frmmain2, QStringLiteral("asdf"));
    QCOMPARE(h.visiblePanels(WindowId::frmmain2), QStringList{"bra_"});
}

void TestNavWindows::hiddenFrmmainKeepsBritishPanel()
{
    Harness h;
    h.p().show(WindowId::frmmain);
    h.openChooserOn(1);
    h.clickChooser(QStringLiteral("LabelUni2"));
    h.pressPageButton(WindowId::frmmain, QStringLiteral("ButtonUni6"));
    QCOMPARE(names(h.visibleWindows()), (QStringList{"chonkenh", "frmmain2"}));
    h.choose(WindowId::frmmain2, QStringLiteral("soft"));
    QVERIFY(h.p().loadedWindow(WindowId::frmsoft)->close());
    QVERIFY(h.visibleWindows().contains("frmmain"));
    QCOMPARE(h.visiblePanels(WindowId::frmmain), QStringList{"anh1_"});
}

QTEST_MAIN(TestNavWindows)
#include "test_navwindows.moc"
