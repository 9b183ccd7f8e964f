// Every window in every panel state, as laid out in the fonts the program
// selects: each text fits its control, stays inside its containers, lies over
// no other text and under no opaque control, and is drawn from its own face
// alone. Plus the frame behaviour shared by the viewer windows.

#include "fakeplayer.h"
#include "textfit.h"

#include "chooserwindow.h"
#include "frameuni.h"
#include "labeluni.h"
#include "look.h"
#include "menuxpuni.h"
#include "program.h"
#include "units.h"
#include "viewerwindow.h"

#include <QAction>
#include <QFontMetricsF>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QtTest>

using namespace miravon;

Q_DECLARE_METATYPE(miravon::WindowId)

class TestLayout : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup() { program.reset(); }

    void textsFit_data();
    void textsFit();
    void chooserBullets();
    void picturesCrisp_data();
    void picturesCrisp();

    void menuBar_data();
    void menuBar();
    void windowsLoadOnceOnFirstReference();
    void placementFollowsFrmmainAtLoad();
    void closingAnyViewerEndsProgram_data();
    void closingAnyViewerEndsProgram();
    void statusLineFollowsOwnPlayerOnly();

private:
    // Shows the window with only `panel` of its panels (or pages) visible,
    // and its status line, if it has one, with the longer player message.
    QWidget* windowInState(WindowId id, const QString& panel);

    std::unique_ptr<Program> program;
    int ends = 0;
};

void TestLayout::initTestCase()
{
    useFakePlayers();
    installFontSubstitutions();
}

void TestLayout::init()
{
    ends = 0;
    program = std::make_unique<Program>([this] { ++ends; });
}

QWidget* TestLayout::windowInState(WindowId id, const QString& panel)
{
    ProgramWindow& w = program->window(id);
    QStringList panels;
    if (auto* v = qobject_cast<ViewerWindow*>(&w)) {
        panels = v->panelNames();
        // The status line with the longer of the player's two messages.
        emit v->player().playStateChange(3);
    } else if (id == WindowId::chonkenh)
        panels = {QStringLiteral("qg1"), QStringLiteral("qg2"), QStringLiteral("qg3")};
    for (const QString& p : panels)
        program->setPanelVisible(id, p, p == panel);
    w.show();
    return &w;
}

void TestLayout::textsFit_data()
{
    QTest::addColumn<WindowId>("id");
    QTest::addColumn<QString>("panel");
    // The panel names of a viewer window come from the window itself.
    Program names([] {});
    for (WindowId id : allWindows) {
        const QString window = windowName(id);
        QStringList panels;
        if (hasPlayer(id))
            panels = names.viewer(id).panelNames();
        else if (id == WindowId::chonkenh)
            panels = {QStringLiteral("qg1"), QStringLiteral("qg2"), QStringLiteral("qg3")};
        if (panels.isEmpty())
            QTest::newRow(qPrintable(window)) << id << QString();
        for (const QString& p : panels)
            QTest::newRow(qPrintable(window + u'/' + p)) << id << p;
    }
}

void TestLayout::textsFit()
{
    QFETCH(WindowId, id);
    QFETCH(QString, panel);
    QWidget* window = windowInState(id, panel);

    const QList<textfit::Text> texts = textfit::textsOf(window);
    QVERIFY(!texts.isEmpty());
    // The measure itself: the lines found here are the ones Qt paints.
    for (const textfit::Text& t : texts) {
        QRectF all;
        for (const QRectF& l : t.lines)
            all |= l;
        const QRectF qt = QFontMetricsF(t.owner->font()).boundingRect(t.box, t.flags, t.text);
        QVERIFY2(qAbs(all.width() - qt.width()) < 1 && qAbs(all.height() - qt.height()) < 1
                     && qAbs(all.top() - qt.top()) < 1,
                 qPrintable(QStringLiteral("%1: %2 x %3 at %4, Qt %5 x %6 at %7")
                                .arg(t.text)
                                .arg(all.width())
                                .arg(all.height())
                                .arg(all.top())
                                .arg(qt.width())
                                .arg(qt.height())
                                .arg(qt.top())));
    }

    QStringList report;
    for (const textfit::Fault& f : textfit::faultsOf(window)) {
        const QString line = QStringLiteral("%1 %2: %3").arg(textfit::kindName(f.kind),
                                                             windowName(id), f.what);
        qWarning().noquote() << "FAULT" << line;
        report << line;
    }
    QVERIFY2(report.isEmpty(), qPrintable(report.join(u'\n')));
}

void TestLayout::chooserBullets()
{
    // The bullet marks stand beside the underlined page title's lines but are
    // drawn plain and whole.
    auto& chooser = static_cast<ChooserWindow&>(program->window(WindowId::chonkenh));
    const QList<QLabel*> bullets = chooser.findChildren<QLabel*>(QStringLiteral("bullet"));
    QCOMPARE(bullets.size(), 9 + 11 + 7);
    for (QLabel* b : bullets) {
        QVERIFY(!b->font().underline());
        QVERIFY(!b->font().bold());
        const QRectF ink = QFontMetricsF(b->font()).tightBoundingRect(b->text());
        QVERIFY(ink.width() > b->width() / 2);
        QVERIFY(ink.width() <= b->width() && ink.height() <= b->height());
    }
}

void TestLayout::picturesCrisp_data()
{
    QTest::addColumn<WindowId>("id");
    for (WindowId id : allWindows)
        QTest::newRow(qPrintable(windowName(id))) << id;
}

void TestLayout::picturesCrisp()
{
    // Every picture is drawn for the pixels it covers on this screen, so it
    // is neither stretched nor blurred when painted, and no pixel of a
    // picture with transparent parts blends the old magenta key.
    QFETCH(WindowId, id);
    QWidget* window = windowInState(id, QString());
    int pictures = 0;
    for (QLabel* label : window->findChildren<QLabel*>()) {
        const QPixmap pix = label->pixmap();
        if (pix.isNull())
            continue;
        ++pictures;
        const QString name = label->objectName();
        QVERIFY2(!label->hasScaledContents(), qPrintable(name));
        QCOMPARE(pix.devicePixelRatio(), label->devicePixelRatioF());
        const QSizeF shown = pix.deviceIndependentSize();
        QVERIFY2(shown.width() <= label->width() && shown.height() <= label->height(), qPrintable(name));
        if (!name.startsWith(QLatin1String("Image")) || id != WindowId::frmmain)
            QCOMPARE(shown, QSizeF(label->size()));
        const QImage image = pix.toImage().convertToFormat(QImage::Format_ARGB32);
        bool transparent = false;
        for (int y = 0; y < image.height() && !transparent; ++y)
            for (int x = 0; x < image.width() && !transparent; ++x)
                transparent = qAlpha(image.pixel(x, y)) < 255;
        if (!transparent)
            continue;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                const int redBlue = std::min(c.red(), c.blue());
                const bool magenta = redBlue > 120 && c.green() < redBlue * 6 / 10;
                QVERIFY2(c.alpha() == 0 || !magenta,
                         qPrintable(QStringLiteral("%1 at %2,%3").arg(name).arg(x).arg(y)));
            }
        }
    }
    QVERIFY(pictures > 0);
}

void TestLayout::menuBar_data()
{
    QTest::addColumn<WindowId>("id");
    QTest::addColumn<QString>("filmItem");
    QTest::newRow("frmmain") << WindowId::frmmain << "phim";
    QTest::newRow("frmmain5") << WindowId::frmmain5 << "Phim";
    QTest::newRow("frmphim") << WindowId::frmphim << "";
}

void TestLayout::menuBar()
{
    QFETCH(WindowId, id);
    QFETCH(QString, filmItem);
    MenuXpUni* menu = program->viewer(id).menu();
    QStringList onBar;
    for (QAction* a : menu->bar()->actions())
        if (!a->objectName().endsWith(QLatin1String("_picture")))
            onBar << a->objectName();
    QStringList expected = {"file", "asdf", "thegioi"};
    if (!filmItem.isEmpty())
        expected << filmItem;
    expected << "ganday" << "yeuthich"; // after the stored items, which stay where they were
    QCOMPARE(onBar, expected);
    QCOMPARE(menu->item("ganday")->text().remove(u'&'), QString(u8"Gần đây"));
    QCOMPARE(menu->item("yeuthich")->text().remove(u'&'), QString(u8"Yêu thích"));
    // One row: the client area below the bar is where it always was.
    for (QAction* a : menu->bar()->actions())
        QCOMPARE(menu->bar()->actionGeometry(a).top(), menu->bar()->actionGeometry(menu->item("file")).top());

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
    // Only frmmain shows the picture beside the Vietnamese-television item,
    // and screen readers hear what it chooses.
    const QAction* picture = menu->bar()->findChild<QAction*>(QStringLiteral("asdf_picture"));
    QCOMPARE(picture != nullptr, id == WindowId::frmmain);
    if (picture)
        QCOMPARE(picture->text(), QString(u8"Truyền Hình Việt Nam"));
}

void TestLayout::windowsLoadOnceOnFirstReference()
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

void TestLayout::placementFollowsFrmmainAtLoad()
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

void TestLayout::closingAnyViewerEndsProgram_data()
{
    QTest::addColumn<WindowId>("id");
    for (WindowId id : playerWindows)
        QTest::newRow(qPrintable(windowName(id))) << id;
}

void TestLayout::closingAnyViewerEndsProgram()
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

void TestLayout::statusLineFollowsOwnPlayerOnly()
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

QTEST_MAIN(TestLayout)
#include "test_layout.moc"
