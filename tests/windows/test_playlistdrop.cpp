// A playlist dropped on a viewer window: the import runs, its report shows in
// a window of its own, and the window's entries play the new addresses at
// once, without a restart.
#include "fakeplayer.h"

#include "catalogue.h"
#include "labeluni.h"
#include "playlistdrop.h"
#include "program.h"
#include "viewerwindow.h"

#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QTemporaryDir>
#include <QtTest>

using namespace miravon;

class TestPlaylistDrop : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void recognisesPlaylists_data();
    void recognisesPlaylists();
    void dropImportsAndAppliesAtOnce();

private:
    QTemporaryDir xdg_;
};

void TestPlaylistDrop::initTestCase()
{
    QVERIFY(xdg_.isValid());
    qputenv("XDG_CONFIG_HOME", xdg_.path().toUtf8());
    useFakePlayers();
}

void TestPlaylistDrop::recognisesPlaylists_data()
{
    QTest::addColumn<QList<QUrl>>("urls");
    QTest::addColumn<QStringList>("sources");
    QTest::newRow("files") << QList<QUrl>{QUrl::fromLocalFile("/tmp/vn.m3u"), QUrl::fromLocalFile("/tmp/b.M3U8")}
                           << QStringList{"/tmp/vn.m3u", "/tmp/b.M3U8"};
    QTest::newRow("web address") << QList<QUrl>{QUrl("https://lists.example/vn.m3u")}
                                 << QStringList{"https://lists.example/vn.m3u"};
    // The rule a drop on an entry follows (test_ownaddress): such a link
    // is a live stream, which an entry plays, not a list.
    QTest::newRow("a .m3u8 link is a stream") << QList<QUrl>{QUrl("https://live.example/abc/index.m3u8")}
                                              << QStringList{};
    QTest::newRow("other files are left alone")
        << QList<QUrl>{QUrl::fromLocalFile("/tmp/film.mkv"), QUrl("ftp://lists.example/vn.m3u")} << QStringList{};
}

void TestPlaylistDrop::recognisesPlaylists()
{
    QFETCH(QList<QUrl>, urls);
    QFETCH(QStringList, sources);
    QMimeData mime;
    mime.setUrls(urls);
    QCOMPARE(droppedPlaylists(&mime), sources);
}

void TestPlaylistDrop::dropImportsAndAppliesAtOnce()
{
    Program program([] {});
    ViewerWindow& w = program.viewer(WindowId::frmmain);
    w.show();
    auto* vtv3 = w.findChild<LabelUni*>(QStringLiteral("Image5"));
    QVERIFY(vtv3);

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QStringLiteral(FIXTURES "/vn.m3u"))});
    const QPoint at = w.rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &drop);
    QVERIFY(drop.isAccepted());

    QTRY_VERIFY_WITH_TIMEOUT(importReportWindow() && importReportWindow()->isVisible(), 20000);
    const QString summary = importReportWindow()->findChild<QLabel*>(QStringLiteral("summary"))->text();
    QVERIFY2(summary.startsWith(QStringLiteral("Đã nhập 8 địa chỉ")), qPrintable(summary));

    emit vtv3->clicked();
    auto& player = static_cast<FakePlayer&>(w.player());
    QCOMPARE(player.calls.last(), QStringLiteral("url http://stream.example/vn/vtv3/index.m3u8"));

    // A file that is no playlist: the window says so, addresses stay.
    mime.setUrls({QUrl::fromLocalFile(QStringLiteral(FIXTURES "/broken.m3u"))});
    QDragEnterEvent enterAgain(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enterAgain);
    QDropEvent bad(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &bad);
    QTRY_VERIFY_WITH_TIMEOUT(importReportWindow()
                                 && importReportWindow()->findChild<QLabel*>(QStringLiteral("summary"))->text().startsWith(
                                     QStringLiteral("Không nhập được")),
                             20000);
    emit vtv3->clicked();
    QCOMPARE(player.calls.last(), QStringLiteral("url http://stream.example/vn/vtv3/index.m3u8"));
    importReportWindow()->close();
}

QTEST_MAIN(TestPlaylistDrop)
#include "test_playlistdrop.moc"
