// Giving an entry or a film its own address from the window: the entry's
// menu, the address window (its checks, "Thử" and how it went, "Lưu" and
// its question, what screen readers read, a result line never cut), a link
// or a file dropped on an entry, and taking the address out again; the save
// made off the window's thread and never past the file's limit; what was
// wrong with the user's files at start, said in the first window.
#include "addressdialog.h"
#include "fakeplayer.h"
#include "settings.h"
#include "textfit.h"
#include "userfiles.h"
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
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <sys/stat.h>

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

// An address file 10 bytes short of the 16 MiB it is read up to: a row
// for the user's own VTV3, then notes.
QByteArray nearlyFull()
{
    QByteArray big = "window\tcontrol\taddress\nfrmmain\tImage5\thttp://mine.example/vtv3\n";
    while (big.size() < userdata::maxAddressFileBytes - 10)
        big += "# " + QByteArray(std::min<qsizetype>(4000, userdata::maxAddressFileBytes - 13 - big.size()), 'n') + '\n';
    return big;
}

// Answers the question "Lưu" asks: "Vẫn lưu" or "Không".
bool answer(AddressDialog* dialog, const char* button)
{
    QMessageBox* q = dialog->question();
    if (!q || !q->isVisible())
        return false;
    auto* b = q->findChild<QPushButton*>(QLatin1String(button));
    if (!b)
        return false;
    QTest::mouseClick(b, Qt::LeftButton);
    return true;
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
    void tryPlaysFromLoopbackWithoutWriting_data();
    void tryPlaysFromLoopbackWithoutWriting();
    void tryTellsHowItWent_data();
    void tryTellsHowItWent();
    void saveAsksUnlessSeenPlaying_data();
    void saveAsksUnlessSeenPlaying();
    void savedOffTheWindowsThread();
    void saveNeverCrossesTheLimit();
    void fieldStartsWithTheAddressInUse_data();
    void fieldStartsWithTheAddressInUse();
    void advancedTakesTheFocus();
    void resultIsNeverCut();
    void takenOutGivesTheFileBack();
    void unreadableFilesSaidAtStart_data();
    void unreadableFilesSaidAtStart();

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
    QVERIFY(answer(dialog, "saveAnyway")); // not tried: asked first
    QTRY_COMPARE_WITH_TIMEOUT(dialog->resultText(), QStringLiteral("Đã lưu. Từ giờ phim này dùng địa chỉ của bạn."), 5000);
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
    QTRY_COMPARE_WITH_TIMEOUT(film->origin, AddressOrigin::BuiltIn, 5000);
    QVERIFY(!QFile::exists(ownFile())); // the file it made, gone again
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
    QTest::newRow("a FIFO") << "HOME/pipe" << ""
                            << QStringLiteral("HOME/pipe là một ống dẫn có tên (FIFO), không phải một tệp thường.");
    QTest::newRow("a folder") << "HOME/Videos" << "" << QStringLiteral("HOME/Videos là một thư mục, không phải một tệp.");
}

// Bad input is refused in the window with the reason, by the file's own
// rules; nothing is written and nothing plays.
void TestOwnAddress::refusedWithTheReason()
{
    QFETCH(QString, address);
    QFETCH(QString, userAgent);
    QFETCH(QString, said);
    QVERIFY(QDir().mkpath(home_.filePath("Videos")));
    QCOMPARE(::mkfifo(QFile::encodeName(home_.filePath("pipe")).constData(), 0600), 0);
    address.replace(QStringLiteral("HOME"), home_.path());
    said.replace(QStringLiteral("HOME"), home_.path());
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
                     "window\tcontrol\taddress\treferrer\tuser_agent\nfrmmain\tImage4\thttps://live.tv-streams.net/vtv1.m3u8\t\t\n"));
    const QByteArray mine = "window\tcontrol\taddress\n# mine\nfrmmain\tImage4\thttp://mine.example/vtv1\n"
                            "frmmain\tImage5\thttp://mine.example/vtv3\n";
    QVERIFY(writeAll(ownFile(), mine));
    program_ = std::make_unique<Program>([] {});
    ViewerWindow& w = program_->viewer(WindowId::frmmain);
    const catalogue::Label* vtv1 = program_->catalogue().catalogue().label("frmmain", "Image4");
    QCOMPARE(vtv1->origin, AddressOrigin::Own);
    w.removeOwnAddress(vtv1->window, vtv1->control);
    QTRY_COMPARE_WITH_TIMEOUT(vtv1->origin, AddressOrigin::Imported, 5000);
    QCOMPARE(vtv1->address, QStringLiteral("https://live.tv-streams.net/vtv1.m3u8"));
    QCOMPARE(readAll(ownFile()), QByteArray("window\tcontrol\taddress\n# mine\nfrmmain\tImage5\thttp://mine.example/vtv3\n"));
}

void TestOwnAddress::tryPlaysFromLoopbackWithoutWriting_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("said");
    QTest::newRow("a clip") << "/clip.wmv"
                            << QStringLiteral("Địa chỉ này phát được trong cửa sổ phát của kênh. Bấm Lưu để giữ nó; "
                                              "chưa lưu gì.");
    QTest::newRow("nothing there") << "/missing.wmv"
                                   << QStringLiteral("Địa chỉ này không phát được (lý do hiện trong cửa sổ phát của "
                                                     "kênh); chưa lưu gì.");
}

// "Thử" hands the address to the entry's own (real) player, on loopback,
// and the window tells how it went as the player does; nothing is written.
void TestOwnAddress::tryPlaysFromLoopbackWithoutWriting()
{
    QFETCH(QString, path);
    QFETCH(QString, said);
    playerFactory() = realPlayers_;
    HttpFixture http;
    http.route(QStringLiteral("/clip.wmv"), HttpFixture::media(QStringLiteral("clip.wmv")), "video/x-ms-wmv");
    program_ = std::make_unique<Program>([] {});
    ViewerWindow& w = program_->viewer(WindowId::frmmain);
    AddressDialog* dialog = w.openAddressDialog(addressTarget(*program_->catalogue().catalogue().label("frmmain", "Image4")));
    dialog->addressField()->setText(http.url(path));
    QTest::mouseClick(dialog->tryButton(), Qt::LeftButton);
    QCOMPARE(dialog->resultText(), QStringLiteral("Đang thử trong cửa sổ phát của kênh; chưa lưu gì."));
    QTRY_COMPARE_WITH_TIMEOUT(dialog->resultText(), said, 30000);
    QVERIFY(http.hits(path) > 0);
    QVERIFY(!QFile::exists(ownFile()));
    QCOMPARE(program_->catalogue().catalogue().label("frmmain", "Image4")->origin, AddressOrigin::BuiltIn);
}

void TestOwnAddress::tryTellsHowItWent_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("said");
    QTest::newRow("a channel plays") << "frmmain" << "Image4" << int(PlayState::Playing)
                                     << QStringLiteral("Địa chỉ này phát được trong cửa sổ phát của kênh. Bấm Lưu để "
                                                       "giữ nó; chưa lưu gì.");
    QTest::newRow("a film fails") << "frmphim" << "LabelUni184" << int(PlayState::Ready)
                                  << QStringLiteral("Địa chỉ này không phát được (lý do hiện trong cửa sổ phát của "
                                                    "phim); chưa lưu gì.");
    QTest::newRow("stopped before it told") << "frmmain" << "Image4" << int(PlayState::Stopped)
                                            << QStringLiteral("Đã dừng thử; chưa lưu gì.");
}

// The try's outcome comes from the player's own signals; a film is spoken
// of as a film.
void TestOwnAddress::tryTellsHowItWent()
{
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(int, state);
    QFETCH(QString, said);
    program_ = std::make_unique<Program>([] {});
    const bool film = window == QLatin1String("frmphim");
    ViewerWindow& w = program_->viewer(film ? WindowId::frmphim : WindowId::frmmain);
    AddressDialog* dialog = w.openAddressDialog(addressTarget(*program_->catalogue().catalogue().label(window, control)));
    QVERIFY(dialog->findChild<QLabel*>()->text().startsWith(film ? QStringLiteral("Địa chỉ của riêng bạn cho phim")
                                                                 : QStringLiteral("Địa chỉ của riêng bạn cho kênh")));
    dialog->addressField()->setText(QStringLiteral("http://tv.example/live"));
    QVERIFY(dialog->tryIt());
    auto& player = static_cast<FakePlayer&>(w.player());
    QCOMPARE(player.url, QStringLiteral("http://tv.example/live"));
    QCOMPARE(dialog->resultText(), QStringLiteral("Đang thử trong cửa sổ phát của %1; chưa lưu gì.")
                                       .arg(film ? QStringLiteral("phim") : QStringLiteral("kênh")));
    player.raisePlayState(PlayState::Transitioning);
    player.raisePlayState(PlayState::Buffering);
    player.raisePlayState(state);
    QCOMPARE(dialog->resultText(), said);
    // What the player does after the try is no longer the window's to tell.
    player.raisePlayState(PlayState::Ready);
    QCOMPARE(dialog->resultText(), said);
}

void TestOwnAddress::saveAsksUnlessSeenPlaying_data()
{
    QTest::addColumn<QString>("before"); // "", "played", "failed", "played, then changed"
    QTest::addColumn<QString>("asked");  // empty: no question
    QTest::addColumn<QString>("answer");
    QTest::newRow("not tried, no") << "" << "chưa được thử" << "dontSave";
    QTest::newRow("failed, saved anyway") << "failed" << "không phát được" << "saveAnyway";
    QTest::newRow("seen playing") << "played" << "" << "";
    QTest::newRow("played, then changed") << "played, then changed" << "chưa được thử" << "saveAnyway";
}

// "Lưu" of an address not seen playing asks first; "Không" writes nothing.
void TestOwnAddress::saveAsksUnlessSeenPlaying()
{
    QFETCH(QString, before);
    QFETCH(QString, asked);
    QFETCH(QString, answer);
    program_ = std::make_unique<Program>([] {});
    ViewerWindow& w = program_->viewer(WindowId::frmmain);
    AddressDialog* dialog = w.openAddressDialog(addressTarget(*program_->catalogue().catalogue().label("frmmain", "Image4")));
    dialog->addressField()->setText(QStringLiteral("http://tv.example/live"));
    auto& player = static_cast<FakePlayer&>(w.player());
    if (!before.isEmpty()) {
        QVERIFY(dialog->tryIt());
        player.raisePlayState(before == QLatin1String("failed") ? PlayState::Ready : PlayState::Playing);
    }
    if (before.endsWith(QLatin1String("changed")))
        dialog->addressField()->setText(QStringLiteral("http://tv.example/other"));
    QTest::mouseClick(dialog->saveButton(), Qt::LeftButton);
    if (asked.isEmpty()) {
        QVERIFY(!dialog->question());
    } else {
        QVERIFY(dialog->question());
        QVERIFY2(dialog->question()->text().contains(asked), qPrintable(dialog->question()->text()));
        QVERIFY(!QFile::exists(ownFile())); // nothing before the answer
        QVERIFY(::answer(dialog, qPrintable(answer)));
    }
    if (answer == QLatin1String("dontSave")) {
        QCOMPARE(dialog->resultText(), QStringLiteral("Chưa lưu gì."));
        QTest::qWait(50);
        QVERIFY(!QFile::exists(ownFile()));
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(dialog->resultText(), QStringLiteral("Đã lưu. Từ giờ kênh này dùng địa chỉ của bạn."), 5000);
    QCOMPARE(program_->catalogue().catalogue().label("frmmain", "Image4")->origin, AddressOrigin::Own);
}

// The file is written off the window's thread: while another change holds
// the folder, the window goes on answering and says it is saving; the save
// ends when the folder is let go.
void TestOwnAddress::savedOffTheWindowsThread()
{
    QCOMPARE(files::lockWait(), files::userInterfaceWaitMs); // this thread's own bound
    program_ = std::make_unique<Program>([] {});
    ViewerWindow& w = program_->viewer(WindowId::frmmain);
    AddressDialog* dialog = w.openAddressDialog(addressTarget(*program_->catalogue().catalogue().label("frmmain", "Image4")));
    dialog->addressField()->setText(QStringLiteral("http://tv.example/live"));
    QVERIFY(dialog->tryIt());
    static_cast<FakePlayer&>(w.player()).raisePlayState(PlayState::Playing);
    bool busy = false;
    QString error;
    auto held = files::FolderLock::take(configDir(), 0, &busy, &error);
    QVERIFY2(held, qPrintable(error));
    QSignalSpy finished(dialog, &AddressDialog::finished);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(dialog->save());
    QVERIFY(clock.elapsed() < files::userInterfaceWaitMs); // it did not wait for the folder
    QVERIFY(dialog->saving());
    QCOMPARE(dialog->resultText(), QStringLiteral("Đang lưu…"));
    QVERIFY(!dialog->saveButton()->isEnabled());
    QTest::qWait(files::userInterfaceWaitMs + 200); // longer than the window's thread would wait
    QCOMPARE(finished.count(), 0);
    held.reset();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
    QCOMPARE(finished.first().first().toBool(), true);
    QCOMPARE(dialog->resultText(), QStringLiteral("Đã lưu. Từ giờ kênh này dùng địa chỉ của bạn."));
    QVERIFY(dialog->saveButton()->isEnabled());
}

// Near the 16 MiB the address files are read up to, a save that would cross
// it is refused with the reason: the file and the catalogue stay as they
// were (it used to say "Đã lưu" and leave a file no longer read).
void TestOwnAddress::saveNeverCrossesTheLimit()
{
    const QByteArray big = nearlyFull();
    QCOMPARE(big.size(), userdata::maxAddressFileBytes - 10);
    QVERIFY(writeAll(ownFile(), big));
    program_ = std::make_unique<Program>([] {});
    ViewerWindow& w = program_->viewer(WindowId::frmmain);
    QCOMPARE(program_->catalogue().catalogue().label("frmmain", "Image5")->origin, AddressOrigin::Own);
    AddressDialog* dialog = w.openAddressDialog(addressTarget(*program_->catalogue().catalogue().label("frmmain", "Image4")));
    dialog->addressField()->setText(QStringLiteral("http://tv.example/a-rather-long-address-for-vtv1/index.m3u8"));
    QVERIFY(dialog->tryIt());
    static_cast<FakePlayer&>(w.player()).raisePlayState(PlayState::Playing);
    QSignalSpy finished(dialog, &AddressDialog::finished);
    QVERIFY(dialog->save());
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
    QCOMPARE(finished.first().first().toBool(), false);
    QVERIFY2(dialog->resultText().startsWith(QStringLiteral("Không lưu: tệp địa chỉ của bạn"))
                 && dialog->resultText().contains(QStringLiteral("16 MiB")),
             qPrintable(dialog->resultText()));
    QCOMPARE(readAll(ownFile()), big);
    QCOMPARE(program_->catalogue().catalogue().label("frmmain", "Image4")->origin, AddressOrigin::BuiltIn);
    QCOMPARE(program_->catalogue().catalogue().label("frmmain", "Image5")->origin, AddressOrigin::Own);
}

void TestOwnAddress::fieldStartsWithTheAddressInUse_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("referrer");
    QTest::newRow("the user's own") << "Image1" << "https://mine.example/htv7" << "";
    QTest::newRow("imported, with its referrer") << "Image4" << "https://live.tv-streams.net/vtv1.m3u8"
                                                 << "https://tv-streams.net/";
    QTest::newRow("a built-in stand-in: empty") << "Image5" << "" << "";
}

// The field starts with the address the entry plays now, headers and all,
// unless that is a stand-in that never plays.
void TestOwnAddress::fieldStartsWithTheAddressInUse()
{
    QFETCH(QString, control);
    QFETCH(QString, address);
    QFETCH(QString, referrer);
    QVERIFY(writeAll(configDir() + u'/' + userdata::importFileName(),
                     "window\tcontrol\taddress\treferrer\tuser_agent\n"
                     "frmmain\tImage4\thttps://live.tv-streams.net/vtv1.m3u8\thttps://tv-streams.net/\t\n"));
    QVERIFY(writeAll(ownFile(), "window\tcontrol\taddress\nfrmmain\tImage1\thttps://mine.example/htv7\n"));
    program_ = std::make_unique<Program>([] {});
    ViewerWindow& w = program_->viewer(WindowId::frmmain);
    AddressDialog* dialog = w.openAddressDialog(addressTarget(*program_->catalogue().catalogue().label("frmmain", control)));
    QCOMPARE(dialog->addressField()->text(), address);
    QCOMPARE(dialog->addressField()->selectedText(), address); // typing replaces it
    QCOMPARE(dialog->referrerField()->text(), referrer);
    QCOMPARE(dialog->advancedButton()->isChecked(), !referrer.isEmpty());
}

// Opening "Nâng cao" by the keyboard puts the focus on its first field,
// once it is shown, and the accessible tree says so.
void TestOwnAddress::advancedTakesTheFocus()
{
    program_ = std::make_unique<Program>([] {});
    program_->show(WindowId::frmmain);
    ViewerWindow& w = program_->viewer(WindowId::frmmain);
    AddressDialog* dialog = w.openAddressDialog(addressTarget(*program_->catalogue().catalogue().label("frmmain", "Image4")));
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    QVERIFY(!dialog->referrerField()->isVisible());
    dialog->advancedButton()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(dialog->advancedButton(), Qt::Key_Space);
    QVERIFY(dialog->referrerField()->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), dialog->referrerField(), 2000);
    QAccessibleInterface* field = QAccessible::queryAccessibleInterface(dialog->referrerField());
    QVERIFY(field->state().focused);
    QCOMPARE(field->text(QAccessible::Name), QStringLiteral("Trang giới thiệu (Referer)"));
}

// The result line is shown whole, marks above the capitals included, at
// this scale and at twice it (test_ownaddress_2x): the window grows to fit
// the longest things it says.
void TestOwnAddress::resultIsNeverCut()
{
    // A file near its limit, for the longest refusal.
    QVERIFY(writeAll(ownFile(), nearlyFull()));
    program_ = std::make_unique<Program>([] {});
    program_->show(WindowId::frmmain);
    ViewerWindow& w = program_->viewer(WindowId::frmmain);
    AddressDialog* dialog = w.openAddressDialog(addressTarget(*program_->catalogue().catalogue().label("frmmain", "Image4")));
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    auto* result = dialog->findChild<QLabel*>(QStringLiteral("result"));
    QSignalSpy finished(dialog, &AddressDialog::finished);
    const QString typed[] = {QStringLiteral("ftp://x"), QStringLiteral("http://x/") + QChar(1),
                             QStringLiteral("http://tv.example/vtv1")};
    for (const QString& address : typed) {
        dialog->addressField()->setText(address);
        if (!dialog->save()) {
            QVERIFY(result->text().contains(QStringLiteral("Địa chỉ")));
        } else {
            QVERIFY(answer(dialog, "saveAnyway"));
            QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
            QVERIFY2(result->text().contains(QStringLiteral("16 MiB")), qPrintable(result->text()));
        }
        QApplication::processEvents();
        const QRectF box(result->mapTo(dialog, QPoint()), result->size());
        bool found = false;
        for (const textfit::Text& t : textfit::textsOf(dialog)) {
            if (t.owner != result)
                continue;
            found = true;
            for (const QRectF& line : t.lines)
                QVERIFY2(box.contains(line), qPrintable(result->text()));
            for (const QRectF& ink : t.ink)
                QVERIFY2(box.contains(ink), qPrintable(QStringLiteral("marks cut: ") + result->text()));
        }
        QVERIFY(found);
        QVERIFY(QRectF(dialog->rect()).contains(box));
    }
}

// A row added by "Lưu" and taken out by "Bỏ địa chỉ của tôi" gives the
// file back byte for byte, its missing final line end included.
void TestOwnAddress::takenOutGivesTheFileBack()
{
    const QByteArray mine = "window\tcontrol\taddress\n# mine\nfrmmain\tImage5\thttp://mine.example/vtv3";
    QVERIFY(writeAll(ownFile(), mine));
    program_ = std::make_unique<Program>([] {});
    ViewerWindow& w = program_->viewer(WindowId::frmmain);
    AddressDialog* dialog = w.openAddressDialog(addressTarget(*program_->catalogue().catalogue().label("frmmain", "Image4")));
    dialog->addressField()->setText(QStringLiteral("http://tv.example/vtv1"));
    QVERIFY(dialog->tryIt());
    static_cast<FakePlayer&>(w.player()).raisePlayState(PlayState::Playing);
    QVERIFY(dialog->save());
    const catalogue::Label* vtv1 = program_->catalogue().catalogue().label("frmmain", "Image4");
    QTRY_COMPARE_WITH_TIMEOUT(vtv1->origin, AddressOrigin::Own, 5000);
    QVERIFY(readAll(ownFile()) != mine);
    w.removeOwnAddress(vtv1->window, vtv1->control);
    QTRY_COMPARE_WITH_TIMEOUT(vtv1->origin, AddressOrigin::BuiltIn, 5000);
    QCOMPARE(readAll(ownFile()), mine);
}

void TestOwnAddress::unreadableFilesSaidAtStart_data()
{
    QTest::addColumn<QString>("file");  // in the config folder
    QTest::addColumn<QString>("fault"); // "fifo", "folder", "large"
    QTest::addColumn<QString>("said");
    QTest::newRow("settings over their size") << "settings.ini" << "large" << "lớn hơn 256 KiB";
    QTest::newRow("settings, a FIFO") << "settings.ini" << "fifo" << "FIFO";
    QTest::newRow("settings, a bad line") << "settings.ini" << "badline" << "có 1 dòng hỏng (dòng 2)";
    QTest::newRow("own addresses, a FIFO") << "addresses.tsv" << "fifo" << "Các địa chỉ riêng của bạn";
    QTest::newRow("own addresses, a folder") << "addresses.tsv" << "folder" << "là một thư mục";
}

// A settings or address file the program could not read at start is said
// once, in the first viewer window, without stopping anything; the file is
// left as it is.
void TestOwnAddress::unreadableFilesSaidAtStart()
{
    QFETCH(QString, file);
    QFETCH(QString, fault);
    QFETCH(QString, said);
    const QString path = configDir() + u'/' + file;
    QVERIFY(QDir().mkpath(configDir()));
    if (fault == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (fault == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(path));
    else if (fault == QLatin1String("large"))
        QVERIFY(writeAll(path, "channels/consent=never\n# " + QByteArray(300 * 1024, 'x') + '\n'));
    else
        QVERIFY(writeAll(path, "channels/consent=never\n\xff\n"));
    program_ = std::make_unique<Program>([] {});
    program_->start();
    program_->show(WindowId::frmmain);
    ViewerWindow& w = program_->viewer(WindowId::frmmain);
    auto* notice = w.findChild<QMessageBox*>(QStringLiteral("startNotice"));
    QVERIFY(notice);
    QTRY_VERIFY_WITH_TIMEOUT(notice->isVisible(), 2000);
    QVERIFY(notice->windowModality() == Qt::NonModal);
    QVERIFY2(notice->text().contains(said), qPrintable(notice->text()));
    notice->close();
    program_->show(WindowId::frmmain2);
    QVERIFY(!program_->viewer(WindowId::frmmain2).findChild<QMessageBox*>(QStringLiteral("startNotice")));
    QVERIFY(fault == QLatin1String("fifo") || fault == QLatin1String("folder") || QFileInfo(path).size() > 20);
}

QTEST_MAIN(TestOwnAddress)
#include "test_ownaddress.moc"
