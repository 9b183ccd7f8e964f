#include "fakeplayer.h"

#include "labeluni.h"
#include "menuxpuni.h"
#include "program.h"
#include "units.h"
#include "viewerwindow.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QtTest>

using namespace miravon;

Q_DECLARE_METATYPE(miravon::WindowId)

class TestFrame : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { useFakePlayers(); }
    void init();
    void cleanup() { program.reset(); }

    void geometry_data();
    void geometry();
    void menuBar_data();
    void menuBar();
    void windowsLoadOnceOnFirstReference();
    void placementFollowsFrmmainAtLoad();
    void closingAnyViewerEndsProgram_data();
    void closingAnyViewerEndsProgram();
    void statusLineFollowsOwnPlayerOnly();

private:
    std::unique_ptr<Program> program;
    int ends = 0;
};

void TestFrame::init()
{
    ends = 0;
    program = std::make_unique<Program>([this] { ++ends; });
}

void TestFrame::geometry_data()
{
    QTest::addColumn<WindowId>("id");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QSize>("client");
    QTest::addColumn<QRect>("manhinh");
    QTest::addColumn<QRect>("status");
    QTest::addColumn<QString>("versionName");
    QTest::addColumn<QPoint>("versionAt");

    const QString longTitle = QStringLiteral("MIRAVON ----- Kestrin --- kestrin@example.org");
    const QString shortTitle = QStringLiteral("Miravon v1.0");
    QTest::newRow("frmmain") << WindowId::frmmain << longTitle << QSize(10785, 7350)
                             << QRect(3960, 1440, 6735, 4695) << QRect(4080, 5160, 6375, 255)
                             << "LabelUni4" << QPoint(5040, 840);
    QTest::newRow("frmmain2") << WindowId::frmmain2 << longTitle << QSize(10860, 7200)
                              << QRect(4080, 1200, 6735, 4935) << QRect(4080, 5160, 6495, 255)
                              << "LabelUni4" << QPoint(4800, 720);
    QTest::newRow("frmmain3") << WindowId::frmmain3 << longTitle << QSize(10920, 7215)
                              << QRect(4080, 1200, 6735, 4935) << QRect(4080, 5160, 6495, 255)
                              << "LabelUni2" << QPoint(4920, 720);
    QTest::newRow("frmmain4") << WindowId::frmmain4 << shortTitle << QSize(10875, 7230)
                              << QRect(4080, 1200, 6735, 4935) << QRect(4080, 5160, 6495, 255)
                              << "LabelUni3" << QPoint(4920, 720);
    QTest::newRow("frmmain5") << WindowId::frmmain5 << shortTitle << QSize(10875, 7260)
                              << QRect(4080, 1200, 6735, 4935) << QRect(4080, 5160, 6495, 255)
                              << "LabelUni3" << QPoint(4920, 720);
    QTest::newRow("frmmain6") << WindowId::frmmain6 << shortTitle << QSize(10890, 7245)
                              << QRect(4080, 1200, 6735, 4935) << QRect(4080, 5160, 6495, 255)
                              << "LabelUni3" << QPoint(4920, 840);
    QTest::newRow("frmphim") << WindowId::frmphim << shortTitle << QSize(10890, 7245)
                             << QRect(3960, 1200, 6735, 4935) << QRect(3960, 5160, 6495, 255)
                             << "LabelUni3" << QPoint(4680, 840);
}

void TestFrame::geometry()
{
    QFETCH(WindowId, id);
    QFETCH(QString, title);
    QFETCH(QSize, client);
    QFETCH(QRect, manhinh);
    QFETCH(QRect, status);
    QFETCH(QString, versionName);
    QFETCH(QPoint, versionAt);

    ViewerWindow& w = program->viewer(id);
    w.show();
    QCOMPARE(w.windowTitle(), title);
    QCOMPARE(w.clientArea()->size(), twSize(client.width(), client.height()));
    // Fixed size: the client area and the menu bar, and nothing can resize it.
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QCOMPARE(w.height(), w.clientArea()->height() + w.menu()->bar()->height());
    QVERIFY(!w.windowIcon().isNull());

    auto* screen = w.clientArea()->findChild<QWidget*>(QStringLiteral("manhinh"));
    QVERIFY(screen);
    QCOMPARE(screen, w.player().widget());
    QCOMPARE(screen->geometry(), twRect(manhinh.x(), manhinh.y(), manhinh.width(), manhinh.height()));

    QCOMPARE(w.status()->objectName(), QStringLiteral("status"));
    QCOMPARE(w.status()->geometry(), twRect(status.x(), status.y(), status.width(), status.height()));
    QCOMPARE(w.status()->caption(), QStringLiteral("Miravon v1.0 Beta --- Ta5o bo73i Kestrin"));
    QCOMPARE(w.status()->text(), QString(u8"Miravon v1.0 Beta --- Tạo bởi Kestrin"));

    auto* version = w.clientArea()->findChild<LabelUni*>(versionName);
    QVERIFY(version);
    QCOMPARE(version->geometry(), twRect(versionAt.x(), versionAt.y(), 2655, 375));
    QCOMPARE(version->text(), QString(u8"Phiên bản thử nghiệm 1.0"));
    QVERIFY(version->font().bold());
}

void TestFrame::menuBar_data()
{
    QTest::addColumn<WindowId>("id");
    QTest::addColumn<QString>("filmItem");
    QTest::addColumn<QString>("filmCaption");
    QTest::newRow("frmmain") << WindowId::frmmain << "phim" << u8"Xem phim";
    QTest::newRow("frmmain2") << WindowId::frmmain2 << "phim" << u8"Xem phim";
    QTest::newRow("frmmain3") << WindowId::frmmain3 << "phim" << u8"Xem Phim";
    QTest::newRow("frmmain4") << WindowId::frmmain4 << "phim" << u8"Xem Phim";
    QTest::newRow("frmmain5") << WindowId::frmmain5 << "Phim" << u8"Xem Phim";
    QTest::newRow("frmmain6") << WindowId::frmmain6 << "phim" << u8"Xem phim";
    QTest::newRow("frmphim") << WindowId::frmphim << "" << "";
}

void TestFrame::menuBar()
{
    QFETCH(WindowId, id);
    QFETCH(QString, filmItem);
    QFETCH(QString, filmCaption);
    MenuXpUni* menu = program->viewer(id).menu();
    const QList<std::pair<QString, QString>> common = {
        {"file", u8"Thực đơn"}, {"soft", u8"Chương trình"}, {"tacgia", u8"Tác giả"},
        {"yeucau", u8"Yêu Cầu"}, {"thoat", u8"Thoát"}, {"asdf", u8"Truyền Hình Việt Nam"},
        {"thegioi", u8"Truyền hình thế giới"},
    };
    // The caption as displayed: the text without its mnemonic mark.
    auto shown = [](const QAction* a) { return QString(a->text()).remove(u'&'); };
    for (const auto& [name, caption] : common) {
        QVERIFY2(menu->item(name), qPrintable(name));
        QCOMPARE(shown(menu->item(name)), caption);
    }
    QStringList onBar;
    for (QAction* a : menu->bar()->actions())
        if (!a->objectName().endsWith(QLatin1String("_picture")))
            onBar << a->objectName();
    QStringList expected = {"file", "asdf", "thegioi"};
    if (!filmItem.isEmpty())
        expected << filmItem;
    QCOMPARE(onBar, expected);
    if (!filmItem.isEmpty())
        QCOMPARE(shown(menu->item(filmItem)), filmCaption);

    // Every item has a mnemonic, unique on the bar and within the list.
    auto mnemonics = [](const QList<QAction*>& actions) {
        QStringList letters;
        for (const QAction* a : actions) {
            if (a->objectName().endsWith(QLatin1String("_picture")))
                continue;
            const QKeySequence key = QKeySequence::mnemonic(a->text());
            letters << (key.isEmpty() ? QString() : key.toString());
        }
        return letters;
    };
    for (const QList<QAction*>& level : {menu->bar()->actions(), menu->item("file")->menu()->actions()}) {
        const QStringList letters = mnemonics(level);
        QVERIFY2(!letters.contains(QString()), qPrintable(letters.join(u' ')));
        QCOMPARE(QSet<QString>(letters.begin(), letters.end()).size(), letters.size());
    }
    QCOMPARE(menu->item("phim") != nullptr || menu->item("Phim") != nullptr, !filmItem.isEmpty());
    // Only frmmain shows the picture beside the Vietnamese-television item.
    const QAction* picture = menu->bar()->findChild<QAction*>(QStringLiteral("asdf_picture"));
    QCOMPARE(picture != nullptr, id == WindowId::frmmain);
    // Screen readers hear what the picture chooses.
    if (picture)
        QCOMPARE(picture->text(), QString(u8"Truyền Hình Việt Nam"));
}

void TestFrame::windowsLoadOnceOnFirstReference()
{
    QSignalSpy loaded(program.get(), &Program::windowLoaded);
    QVERIFY(!program->isLoaded(WindowId::frmmain4));
    program->hide(WindowId::frmmain4); // hiding counts as a reference
    QVERIFY(program->isLoaded(WindowId::frmmain4));
    program->closePlayer(WindowId::frmmain4);
    program->position(WindowId::frmmain4);
    QCOMPARE(program->loadedWindow(WindowId::frmmain4)->isVisible(), false);
    // frmmain4 needed frmmain's position: frmmain loaded first, then itself.
    QStringList order;
    for (const auto& args : loaded)
        order << windowName(args.at(0).value<WindowId>());
    QCOMPARE(order, QStringList({"frmmain", "frmmain4"}));
}

void TestFrame::placementFollowsFrmmainAtLoad()
{
    ProgramWindow& main = program->window(WindowId::frmmain);
    QCOMPARE(main.pos(), QPoint(0, 0));
    ProgramWindow& early = program->window(WindowId::frmmain5);
    QCOMPARE(early.pos(), QPoint(0, 0));

    main.move(120, 45);
    ProgramWindow& late = program->window(WindowId::frmphim);
    QCOMPARE(late.pos(), QPoint(120, 45));
    QCOMPARE(early.pos(), QPoint(0, 0)); // loaded earlier: stays

    // A window first referred to only by closing its player is placed too.
    program->closePlayer(WindowId::frmmain6);
    QCOMPARE(program->window(WindowId::frmmain6).pos(), QPoint(120, 45));
    QVERIFY(!program->window(WindowId::frmmain6).isVisible());
}

void TestFrame::closingAnyViewerEndsProgram_data()
{
    QTest::addColumn<WindowId>("id");
    for (WindowId id : playerWindows)
        QTest::newRow(qPrintable(windowName(id))) << id;
}

void TestFrame::closingAnyViewerEndsProgram()
{
    QFETCH(WindowId, id);
    program->show(WindowId::frmmain);
    program->show(id);
    program->show(WindowId::frmmain3);
    QSignalSpy ended(program.get(), &Program::ended);
    QVERIFY(program->window(id).close());
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ends, 1);
    for (WindowId w : playerWindows)
        if (ProgramWindow* loaded = program->loadedWindow(w))
            QVERIFY2(!loaded->isVisible(), qPrintable(windowName(w)));
    // The others go without their own close handling: no second end.
    QVERIFY(program->window(WindowId::frmmain).close());
    QCOMPARE(ends, 1);
}

void TestFrame::statusLineFollowsOwnPlayerOnly()
{
    ViewerWindow& one = program->viewer(WindowId::frmmain);
    ViewerWindow& two = program->viewer(WindowId::frmmain2);
    const QString start = two.status()->text();
    emit one.player().openStateChange(6);
    QCOMPARE(one.status()->text(),
             QString(u8"Đang kết nối đến kênh bạn yêu cầu .. vui lòng đợi giây lát"));
    emit one.player().playStateChange(3);
    QCOMPARE(one.status()->text(),
             QString(u8"(^_^)::: Đang tải hình ảnh từ kênh này -- Vui lòng đợi giây lát để trình chiếu ::: (^_^)"));
    QCOMPARE(two.status()->text(), start);
}

QTEST_MAIN(TestFrame)
#include "test_frame.moc"
