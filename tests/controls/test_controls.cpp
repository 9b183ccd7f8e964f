#include "buttonuni.h"
#include "frameuni.h"
#include "labeluni.h"
#include "look.h"
#include "menuxpuni.h"
#include "units.h"
#include "vni.h"

#include <QAction>
#include <QFontDatabase>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QtTest>

using namespace miravon;

class TestControls : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { installFontSubstitutions(); }
    void labelShowsConvertedOnlyWhenFlagged_data();
    void labelShowsConvertedOnlyWhenFlagged();
    void labelClick();
    void frameAndButtonCaptions();
    void oleColours_data();
    void oleColours();
    void twipsToPixels();
    void designedFontsCoverVietnamese_data();
    void designedFontsCoverVietnamese();
    void menuItemsByName();
};

void TestControls::labelShowsConvertedOnlyWhenFlagged_data()
{
    QTest::addColumn<bool>("flag");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("flagged") << true << "NOA4" << u8"NOÃ";
    QTest::newRow("unflagged") << false << "NOA4" << "NOA4";
    QTest::newRow("unflagged non-ASCII") << false << u8"Esküvö TV" << u8"Esküvö TV";
    QTest::newRow("markup stays text") << true << "<b>a1</b>" << u8"<b>á</b>";
}

void TestControls::labelShowsConvertedOnlyWhenFlagged()
{
    QFETCH(bool, flag);
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    LabelUni label;
    label.setSetkieugotv(flag);
    label.setCaption(stored);
    QCOMPARE(label.text(), shown);
    QCOMPARE(label.caption(), stored);
    QCOMPARE(label.textFormat(), Qt::PlainText);
    // Turning the flag on later converts the text already stored.
    label.setSetkieugotv(true);
    QCOMPARE(label.text(), vniToUnicode(stored));
}

void TestControls::labelClick()
{
    QWidget host;
    auto* label = new LabelUni(&host);
    label->setGeometry(10, 10, 100, 17);
    host.show();
    QSignalSpy clicked(label, &LabelUni::clicked);
    QTest::mouseClick(label, Qt::LeftButton);
    QCOMPARE(clicked.size(), 1);
    // Right button, and a release off the label, are no clicks.
    QTest::mouseClick(label, Qt::RightButton);
    QTest::mousePress(label, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(500, 5));
    QCOMPARE(clicked.size(), 1);
}

void TestControls::frameAndButtonCaptions()
{
    FrameUni frame;
    frame.setSetkieugotv(true);
    frame.setCaption(QStringLiteral("Ca1c ke6nh truye62n hi2nh Pha1p"));
    QCOMPARE(frame.displayedCaption(), QString(u8"Các kênh truyền hình Pháp"));
    frame.setSetkieugotv(false);
    QCOMPARE(frame.displayedCaption(), QStringLiteral("Ca1c ke6nh truye62n hi2nh Pha1p"));
    QVERIFY(frame.autoFillBackground());

    ButtonUni button;
    button.setSetkieugotv(true);
    button.setTx(QStringLiteral("Tro73 la5i"));
    QCOMPARE(button.text(), QString(u8"Trở lại"));
    QCOMPARE(button.tx(), QStringLiteral("Tro73 la5i"));
    QSignalSpy clicked(&button, &ButtonUni::clicked);
    button.resize(90, 17);
    button.show();
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(clicked.size(), 1);
}

void TestControls::oleColours_data()
{
    QTest::addColumn<qint64>("ole");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("red in the low byte") << qint64(0x0000FF) << QColor(255, 0, 0);
    QTest::newRow("blue in the high byte") << qint64(16711680) << QColor(0, 0, 255);
    QTest::newRow("white") << qint64(16777215) << QColor(255, 255, 255);
    QTest::newRow("menu back") << qint64(16761765) << QColor(0xA5, 0xC3, 0xFF);
    QTest::newRow("highlight text") << sysHighlightText << QColor(Qt::white);
    QTest::newRow("button text") << sysButtonText << QColor(Qt::black);
    QTest::newRow("menu text") << sysMenuText << QColor(Qt::black);
    QTest::newRow("unknown system index") << qint64(-2147483600) << QColor(Qt::black);
}

void TestControls::oleColours()
{
    QFETCH(qint64, ole);
    QFETCH(QColor, colour);
    QCOMPARE(oleColor(ole), colour);
}

void TestControls::twipsToPixels()
{
    QCOMPARE(px(15), 1);
    QCOMPARE(px(10785), 719);
    QCOMPARE(px(-120), -8);
    QCOMPARE(px(8205), 547);
    QCOMPARE(twRect(3960, 1440, 6735, 4695), QRect(264, 96, 449, 313));
}

void TestControls::designedFontsCoverVietnamese_data()
{
    QTest::addColumn<QString>("designed");
    QTest::newRow("Tahoma") << "Tahoma";
    QTest::newRow("Verdana") << "Verdana";
    QTest::newRow("Arial") << "Arial";
}

void TestControls::designedFontsCoverVietnamese()
{
    QFETCH(QString, designed);
    const QFont font = designFont(designed, 9.75);
    const QFontInfo info(font);
    QVERIFY2(QFontDatabase::families().contains(fontFamilyFor(designed)),
             qPrintable(fontFamilyFor(designed) + " is not installed"));
    QCOMPARE(info.family(), fontFamilyFor(designed));
    const QFontMetrics fm(font);
    const QString letters = QString::fromUtf8(
        u8"ĐđÂâĂăÊêÔôƠơƯư"
        u8"áàảãạấầẩẫậắằẳẵặéèẻẽẹếềểễệíìỉĩịóòỏõọốồổỗộớờởỡợúùủũụứừửữựýỳỷỹỵ"
        u8"ÁÀẢÃẠẤẦẨẪẬẮẰẲẴẶÉÈẺẼẸẾỀỂỄỆÍÌỈĨỊÓÒỎÕỌỐỒỔỖỘỚỜỞỠỢÚÙỦŨỤỨỪỬỮỰÝỲỶỸỴ");
    for (QChar c : letters)
        QVERIFY2(fm.inFont(c), qPrintable(QStringLiteral("missing %1 in %2").arg(c).arg(info.family())));
}

void TestControls::menuItemsByName()
{
    QMenuBar bar;
    MenuXpUni menu(&bar);
    QMenu* file = menu.addMenu(QStringLiteral("file"), QStringLiteral("Thu75c d9o7n"));
    QAction* thoat = menu.addItem(file, QStringLiteral("thoat"), QStringLiteral("Thoa1t"));
    QAction* asdf = menu.addCommand(QStringLiteral("asdf"), QStringLiteral("Truye62n Hi2nh Vie65t Nam"));
    // Captions as displayed, with their mnemonic letters marked.
    QCOMPARE(menu.item(QStringLiteral("file"))->text(), QString(u8"&Thực đơn"));
    QCOMPARE(thoat->text(), QString(u8"T&hoát"));
    QCOMPARE(asdf->text(), QString(u8"Truyền Hình &Việt Nam"));
    QCOMPARE(asdf->objectName(), QStringLiteral("asdf"));

    QSignalSpy chosen(&menu, &MenuXpUni::chosen);
    thoat->trigger();
    asdf->trigger();
    QCOMPARE(chosen.size(), 2);
    QCOMPARE(chosen.at(0).at(0).toString(), QStringLiteral("thoat"));
    QCOMPARE(chosen.at(1).at(0).toString(), QStringLiteral("asdf"));
}

QTEST_MAIN(TestControls)
#include "test_controls.moc"
