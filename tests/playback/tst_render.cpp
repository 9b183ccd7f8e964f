// The player's video surface on a real X display: the engine renders the
// first frame into the window through OpenGL.

#include "httpfixture.h"
#include "mpvplayer.h"
#include "playback.h"
#include "playerstates.h"

#include <QOpenGLWidget>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

using namespace miravon;

class TestRender : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void rendersFirstFrame();

private:
    HttpFixture http_;
};

void TestRender::initTestCase()
{
    initPlayback();
    setPlaybackOutputs({QString(), QStringLiteral("null")});
    http_.route("/clip.wmv", HttpFixture::media(QStringLiteral("clip.wmv")), "video/x-ms-wmv");
}

void TestRender::rendersFirstFrame()
{
    QWidget window;
    window.resize(320, 280);
    MpvPlayer player(&window);
    player.widget()->setGeometry(0, 0, 320, 280);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!player.hasEngine());

    QSignalSpy frame(&player, &MpvPlayer::firstFrame);
    player.setUrl(http_.url("/clip.wmv"));
    QVERIFY(frame.wait(20000));
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(PlayState::Playing), 10000);

    // The surface shows the test pattern, not just black.
    auto* surface = player.widget()->findChild<QOpenGLWidget*>();
    QVERIFY(surface);
    const QImage image = surface->grabFramebuffer();
    QVERIFY(!image.isNull());
    int coloured = 0;
    for (int y = 0; y < image.height(); y += 8) {
        for (int x = 0; x < image.width(); x += 8)
            coloured += qGray(image.pixel(x, y)) > 40;
    }
    QVERIFY2(coloured > 20, qPrintable(QString::number(coloured)));
    player.close();
    QCOMPARE(player.playState(), int(PlayState::Stopped));
}

QTEST_MAIN(TestRender)
#include "tst_render.moc"
