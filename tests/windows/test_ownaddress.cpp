// Giving an entry or a film its own address from the window: the entry's
// menu, the address window (its checks, "Thử", "Lưu", what screen readers
// read), a link or a file dropped on an entry, and taking the address out
// again.
#include "addressdialog.h"
#include "fakeplayer.h"
#include "httpfixture.h"
#include "labeluni.h"
#include "ownfile.h"
#include "player.h"
#include "playerstates.h"
#include "program.h"
#include "testhome.h"
#include "viewerwindow.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace miravon;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// The entry's menu as the keyboard opens it (Shift+F10).
QMenu* entryMenu(ViewerWindow& w, const QString& control)
{
    auto* label = w.findChild<LabelUni*>(control);
    if (!label)
        return nullptr;
    label->setFocus(Qt::TabFocusReason);
    QTest::keyClick(label, Qt::Key_F10, Qt::ShiftModifier);
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

QStringList actionsOf(const QMenu* menu)
{
    QStringList out;
    for (const QAction* a : menu->actions())
        if (!a->isSeparator())
            out << a->objectName();
    return out;
}

} // namespace

class TestOwnAddress : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void filmGetsAFileOfItsOwn();
    void refusedWithTheReason_data();
    void refusedWithTheReason();
    void droppedOnAnEntry_data();
    void droppedOnAnEntry();
    void removingFallsBackToTheImport();
    void tryPlaysFromLoopbackWithoutWriting();

private:
    QString configDir() const { return home_.filePath("config/miravon"); }
    QString ownFile() const { return configDir() + u'/' + userdata::ownFileName(); }

    QTemporaryDir home_;
    PlayerFactory realPlayers_;
    std::unique_ptr<Program> program_;
};

void TestOwnAddress::initTestCase()
{
    realPlayers_ = playerFactory();
}

void TestOwnAddress::init()
{
    useEmptyHome(home_.path());
    useFakePlayers();
}

void TestOwnAddress::cleanup()
{
    program_.reset();
}

// A film with no working address gets a video file of this computer: by
// the keyboard, from its menu; the file is written, the film plays it as
// the user's own, its tooltip says so, and its menu now offers to take it
// out again.
void TestOwnAddress::filmGetsAFileOfItsOwn()
{
    const QString video = home_.filePath("Videos/anacondas.mkv");
    QVERIFY(writeAll(video, "not really a film"));
    program_ = std::make_unique<Program>([] {});
    program_->show(WindowId::frmphim);
    ViewerWindow& w = program_->viewer(WindowId::frmphim);
    QMenu* menu = entryMenu(w, QStringLiteral("LabelUni184"));
    QVERIFY(menu);
    QCOMPARE(actionsOf(menu), (QStringList{"favourite", "setAddress"}));
    menu->findChild<QAction*>(QStringLiteral("setAddress"))->trigger();
    menu->close();

    AddressDialog* dialog = w.addressDialog();
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->windowTitle(), QString(u8"Đặt địa chỉ — Rắn khủng lồ Anacondas"));
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), dialog->addressField(), 2000);
    // Screen readers: named fields, and the result is a status.
    QCOMPARE(QAccessible::queryAccessibleInterface(dialog->addressField())->text(QAccessible::Name),
             QStringLiteral("Địa chỉ"));
    QTest::keyClicks(dialog->addressField(), video); // a plain path becomes a file URL
    QVERIFY(QFile::exists(video));
    QVERIFY(dialog->save());
    QCOMPARE(dialog->resultText(), QStringLiteral("Đã lưu. Từ giờ mục này dùng địa chỉ của bạn."));
    QCOMPARE(QAccessible::queryAccessibleInterface(dialog->findChild<QWidget*>(QStringLiteral("result")))->role(),
             QAccessible::StatusBar);
    const QString url = QUrl::fromLocalFile(video).toString(QUrl::FullyEncoded);
    QCOMPARE(readAll(ownFile()), QByteArray("window\tcontrol\taddress\treferrer\tuser_agent\nfrmphim\tLabelUni184\t")
                                     + url.toUtf8() + "\t\t\n");

    const catalogue::Label* film = program_->catalogue().catalogue().label("frmphim", "LabelUni184");
    QCOMPARE(film->address, url);
    QCOMPARE(film->origin, AddressOrigin::Own);
    auto* label = w.findChild<LabelUni*>(QStringLiteral("LabelUni184"));
    QVERIFY(label->toolTip().contains(QStringLiteral("Địa chỉ riêng của bạn")));
    label->click();
    auto& player = static_cast<FakePlayer&>(w.player());
    QCOMPARE(player.url, url);
    QCOMPARE(player.options.origin, AddressOrigin::Own);

    dialog->close();
    menu = entryMenu(w, QStringLiteral("LabelUni184"));
    QVERIFY(menu);
    QCOMPARE(actionsOf(menu), (QStringList{"favourite", "setAddress", "removeAddress"}));
    menu->findChild<QAction*>(QStringLiteral("removeAddress"))->trigger();
    menu->close();
    QCOMPARE(film->origin, AddressOrigin::BuiltIn);
    QCOMPARE(readAll(ownFile()), QByteArray("window\tcontrol\taddress\treferrer\tuser_agent\n"));
}

void TestOwnAddress::refusedWithTheReason_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("userAgent");
    QTest::addColumn<QString>("said");
    QTest::newRow("nothing typed") << "" << "" << QStringLiteral("Hãy nhập một địa chỉ hoặc chọn một tệp video.");
    QTest::newRow("not a scheme of the file")
        << "ftp://films.example/a.wmv" << "" << userdata::rowProblemText(userdata::RowProblem::NotAnAddress);
    QTest::newRow("a file that is not there") << "/no/such/film.mkv" << ""
                                              << QStringLiteral("Không có tệp /no/such/film.mkv trên máy này.");
    QTest::newRow("a line break in the user agent")
        << "http://films.example/a.wmv" << "Mozilla\n5" << userdata::rowProblemText(userdata::RowProblem::ControlCharacter);
}

// Bad input is refused in the window with the reason, by the file's own
// rules; nothing is written and nothing plays.
void TestOwnAddress::refusedWithTheReason()
{
    QFETCH(QString, address);
    QFETCH(QString, userAgent);
    QFETCH(QString, said);
    program_ = std::make_unique<Program>([] {});
    ViewerWindow& w = program_->viewer(WindowId::frmmain);
    AddressDialog* dialog = w.openAddressDialog(addressTarget(*program_->catalogue().catalogue().label("frmmain", "Image4")));
    dialog->addressField()->setText(address);
    dialog->userAgentField()->setText(userAgent);
    QVERIFY(!dialog->save());
    QCOMPARE(dialog->resultText(), said);
    QVERIFY(!dialog->tryIt());
    QVERIFY(!QFile::exists(ownFile()));
    QVERIFY(static_cast<FakePlayer&>(w.player()).urls.isEmpty());
}

void TestOwnAddress::droppedOnAnEntry_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("kind"); // "uri" or "text"
    QTest::addColumn<QString>("dropped");
    QTest::addColumn<QString>("filled"); // empty: no window opens
    QTest::newRow("a link as a URI list") << "usa1_3" << "uri" << "https://live.example/abc/index.m3u8?token=1"
                                          << "https://live.example/abc/index.m3u8?token=1";
    QTest::newRow("a link as a browser's text") << "Image4" << "text" << "  rtsp://tv.example/vtv1  "
                                                << "rtsp://tv.example/vtv1";
    QTest::newRow("a video file") << "usa1_3" << "uri" << "FILE" << "FILE";
    QTest::newRow("a playlist is the import's") << "usa1_3" << "uri" << "https://lists.example/us.m3u" << "";
    QTest::newRow("text that is no address") << "usa1_3" << "text" << "ABC News" << "";
    QTest::newRow("on no entry") << "" << "uri" << "https://live.example/abc.m3u8" << "";
}

// A drop on an entry opens its address window filled in; nothing is written
// until "Lưu".
void TestOwnAddress::droppedOnAnEntry()
{
    QFETCH(QString, control);
    QFETCH(QString, kind);
    QFETCH(QString, dropped);
    QFETCH(QString, filled);
    const QString video = home_.filePath("clip.mp4");
    QVERIFY(writeAll(video, "x"));
    const QString videoUrl = QUrl::fromLocalFile(video).toString(QUrl::FullyEncoded);
    if (dropped == QLatin1String("FILE"))
        dropped = videoUrl;
    if (filled == QLatin1String("FILE"))
        filled = videoUrl;

    program_ = std::make_unique<Program>([] {});
    program_->show(WindowId::frmmain);
    ViewerWindow& w = program_->viewer(WindowId::frmmain);
    if (control == QLatin1String("usa1_3"))
        program_->setPanelVisible(WindowId::frmmain, QStringLiteral("usa1_"), true);
    QPoint at(w.width() - 5, w.height() - 5); // the bottom banner: no entry
    if (!control.isEmpty()) {
        auto* label = w.findChild<LabelUni*>(control);
        QVERIFY(label && label->isVisible());
        at = label->mapTo(&w, label->rect().center());
    }
    QMimeData mime;
    if (kind == QLatin1String("uri"))
        mime.setUrls({QUrl(dropped)});
    else
        mime.setText(dropped);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &drop);

    AddressDialog* dialog = w.addressDialog();
    if (filled.isEmpty()) {
        QVERIFY(!dialog);
        return;
    }
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->control(), control);
    QCOMPARE(dialog->addressField()->text(), filled);
    QVERIFY(!QFile::exists(ownFile()));
}

// The user's row taken out: the entry goes back to the import's address,
// and the user's other rows stay.
void TestOwnAddress::removingFallsBackToTheImport()
{
    QVERIFY(writeAll(configDir() + u'/' + userdata::importFileName(),
                     "window\tcontrol\taddress\treferrer\tuser_agent\nfrmmain\tImage4\thttps://import.example/vtv1.m3u8\t\t\n"));
    const QByteArray mine = "window\tcontrol\taddress\n# mine\nfrmmain\tImage4\thttp://mine.example/vtv1\n"
                            "frmmain\tImage5\thttp://mine.example/vtv3\n";
    QVERIFY(writeAll(ownFile(), mine));
    program_ = std::make_unique<Program>([] {});
    ViewerWindow& w = program_->viewer(WindowId::frmmain);
    const catalogue::Label* vtv1 = program_->catalogue().catalogue().label("frmmain", "Image4");
    QCOMPARE(vtv1->origin, AddressOrigin::Own);
    QVERIFY(w.removeOwnAddress(vtv1->window, vtv1->control));
    QCOMPARE(vtv1->origin, AddressOrigin::Imported);
    QCOMPARE(vtv1->address, QStringLiteral("https://import.example/vtv1.m3u8"));
    QCOMPARE(readAll(ownFile()), QByteArray("window\tcontrol\taddress\n# mine\nfrmmain\tImage5\thttp://mine.example/vtv3\n"));
}

// "Thử" hands the address to the entry's own (real) player, which plays it
// from a loopback server; nothing is written.
void TestOwnAddress::tryPlaysFromLoopbackWithoutWriting()
{
    playerFactory() = realPlayers_;
    HttpFixture http;
    http.route(QStringLiteral("/clip.wmv"), HttpFixture::media(QStringLiteral("clip.wmv")), "video/x-ms-wmv");
    program_ = std::make_unique<Program>([] {});
    ViewerWindow& w = program_->viewer(WindowId::frmmain);
    QSignalSpy states(&w.player(), &Player::playStateChange);
    AddressDialog* dialog = w.openAddressDialog(addressTarget(*program_->catalogue().catalogue().label("frmmain", "Image4")));
    dialog->addressField()->setText(http.url(QStringLiteral("/clip.wmv")));
    QTest::mouseClick(dialog->tryButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(states.contains(QVariantList{int(PlayState::Playing)}), 20000);
    QVERIFY(http.hits(QStringLiteral("/clip.wmv")) > 0);
    QCOMPARE(dialog->resultText(), QStringLiteral("Đang thử trong cửa sổ phát của kênh; chưa lưu gì."));
    QVERIFY(!QFile::exists(ownFile()));
    QCOMPARE(program_->catalogue().catalogue().label("frmmain", "Image4")->origin, AddressOrigin::BuiltIn);
}

QTEST_MAIN(TestOwnAddress)
#include "test_ownaddress.moc"
