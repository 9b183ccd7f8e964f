// The player's video surface on a real X display: the engine renders its
// pictures on the surface's render thread and the window shows them.

#include "httpfixture.h"
#include "mpvplayer.h"
#include "playback.h"
#include "playerstates.h"
#include "videosurface.h"
#include "videopath.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <mpv/client.h>

#include <QLabel>
#include <QTemporaryFile>

#include <atomic>
#include <cstdio>
#include <thread>

#include <unistd.h>

using namespace miravon;

namespace {
// Sampled pixels of a picture that are not black.
int colouredIn(const QImage& image)
{
    int coloured = 0;
    for (int y = 0; y < image.height(); y += 8) {
        for (int x = 0; x < image.width(); x += 8)
            coloured += qGray(image.pixel(x, y)) > 40;
    }
    return coloured;
}

// The rectangle of a picture's pixels that are not black.
QRect pictureExtent(const QImage& image)
{
    QRect extent;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) {
            if (qGray(image.pixel(x, y)) > 40)
                extent |= QRect(x, y, 2, 2);
        }
    }
    return extent;
}

// Of the surface as it paints itself.
int colouredPixels(QWidget* surface) { return colouredIn(surface->grab().toImage()); }

// As the screen shows it: what the user sees.
int colouredOnScreen(QWidget* window, QWidget* surface)
{
    const QRect r(surface->mapTo(window, QPoint(0, 0)), surface->size());
    return colouredIn(
        QGuiApplication::primaryScreen()->grabWindow(window->winId(), r.x(), r.y(), r.width(), r.height()).toImage());
}

// A window of 320 x 280 filled by one player.
struct Stage {
    QWidget window;
    MpvPlayer player{&window};
    VideoSurface* surface = nullptr;

    Stage()
    {
        window.resize(320, 280);
        player.widget()->setGeometry(0, 0, 320, 280);
        surface = player.widget()->findChild<VideoSurface*>();
    }
    bool show()
    {
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }
    // Shown, and playing `url` up to its first frame.
    bool showPlaying(const QString& url)
    {
        if (!show())
            return false;
        QSignalSpy frame(&player, &MpvPlayer::firstFrame);
        player.setUrl(url);
        return frame.wait(20000);
    }
};
// An engine of the test's own, with the player's video output, for the
// surface alone. Destroyed on a thread of its own, as the player destroys
// its engines: the test can then see a destruction that never ends.
class RawEngine {
public:
    RawEngine()
    {
        handle_ = mpv_create();
        for (const auto& [name, value] : {std::pair{"vo", "libmpv"}, {"ao", "null"}, {"config", "no"},
                                          {"terminal", "no"}, {"idle", "yes"}})
            mpv_set_option_string(handle_, name, value);
        mpv_initialize(handle_);
    }
    ~RawEngine()
    {
        if (!destroyer_.joinable()) {
            mpv_terminate_destroy(handle_);
        } else if (destroyed_) {
            destroyer_.join();
        } else {
            // A destruction that never ends has failed the test already;
            // let the process end rather than hang.
            destroyer_.detach();
        }
    }
    mpv_handle* handle() const { return handle_; }
    void load(const QString& url)
    {
        const QByteArray u = url.toUtf8();
        const char* args[] = {"loadfile", u.constData(), nullptr};
        mpv_command(handle_, args);
    }
    void destroyInBackground()
    {
        destroyer_ = std::thread([this] {
            mpv_terminate_destroy(handle_);
            destroyed_ = true;
        });
    }
    bool destroyed() const { return destroyed_; }

private:
    mpv_handle* handle_ = nullptr;
    std::thread destroyer_;
    std::atomic_bool destroyed_{false};
};
} // namespace

class TestRender : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void rendersFirstFrame();
    void probeOfDecodersSaysNothing();
    void hiddenPlayerShowsVideoOnceShown();
    void fullScreenKeepsRendering();
    void fullScreenFillsTheScreen();
    void minimizedWindowDrawsNothing();
    void hardwareDecodingCopiesBack_data();
    void hardwareDecodingCopiesBack();
    void videoPathChoice_data();
    void videoPathChoice();
    void openGlFailureFallsBackToSoftware();
    void pictureAtDevicePixels();
    void pictureClearedWhenPlaybackEnds_data();
    void pictureClearedWhenPlaybackEnds();
    void switchShowsOnlyTheNewPicture();
    void windowKeepsItsNativeWindow();
    void idlePlayerGivesRenderResourcesBack();
    void surfaceLetsGoOfItsEngine_data();
    void surfaceLetsGoOfItsEngine();

private:
    HttpFixture http_;
};

void TestRender::initTestCase()
{
    initPlayback();
    setPlaybackOutputs({QString(), QStringLiteral("null")});
    http_.route("/clip.wmv", HttpFixture::media(QStringLiteral("clip.wmv")), "video/x-ms-wmv");
    http_.route("/clip.mp4", HttpFixture::media(QStringLiteral("clip.mp4")), "video/mp4");
    // All blue: told apart from the test pattern of the others.
    http_.route("/blue.wmv", HttpFixture::media(QStringLiteral("blue.wmv")), "video/x-ms-wmv");
    HttpFixture::Route live;
    live.body = HttpFixture::media(QStringLiteral("live.asf"));
    live.contentType = "video/x-ms-asf";
    live.mode = HttpFixture::Mode::Stream;
    live.slice = 4096;
    http_.route("/livemount", live);
}

void TestRender::rendersFirstFrame()
{
    Stage stage;
    auto& [window, player, surface] = stage;
    QVERIFY(stage.show());
    QVERIFY(!player.hasEngine());

    QSignalSpy frame(&player, &MpvPlayer::firstFrame);
    player.setUrl(http_.url("/clip.wmv"));
    QVERIFY(frame.wait(20000));
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(PlayState::Playing), 10000);

    // The surface shows the test pattern, not just black.
    QVERIFY(surface);
    const int coloured = colouredPixels(surface);
    QVERIFY2(coloured > 20, qPrintable(QString::number(coloured)));
    player.close();
    QCOMPARE(player.playState(), int(PlayState::Stopped));
}

// The engine probes the machine's decoders when a file it could decode on
// them starts (H.264 here): no library it tries writes on the program's
// standard error where it finds nothing to use.
void TestRender::probeOfDecodersSaysNothing()
{
    std::fflush(stderr);
    QTemporaryFile said;
    QVERIFY(said.open());
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(said.handle(), STDERR_FILENO);
    bool played = false;
    {
        Stage stage;
        played = stage.showPlaying(http_.url("/clip.mp4"));
        if (played)
            QTest::qWait(500); // the copy-back path may probe again once the first picture is out
    }
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    QVERIFY(played);
    said.seek(0);
    const QByteArray text = said.readAll();
    QVERIFY2(!text.contains("VDPAU"), text.constData());
}

void TestRender::hiddenPlayerShowsVideoOnceShown()
{
    // The player of a hidden window plays; its picture appears when the
    // window is shown.
    Stage stage;
    auto& [window, player, surface] = stage;
    QSignalSpy frame(&player, &MpvPlayer::firstFrame);
    player.setUrl(http_.url("/clip.wmv"));
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(PlayState::Playing), 20000);
    QCOMPARE(frame.count(), 0);
    window.show();
    QVERIFY(frame.count() > 0 || frame.wait(20000));
}

void TestRender::fullScreenKeepsRendering()
{
    Stage stage;
    auto& [window, player, surface] = stage;
    QVERIFY(stage.showPlaying(http_.url("/livemount")));

    // The view moves to a window of its own, at the screen's size.
    QVERIFY(surface);
    QSignalSpy rendered(surface, &VideoSurface::frameRendered);
    player.setFullScreen(true);
    QVERIFY(player.isFullScreen());
    QVERIFY(rendered.wait(10000));
    player.setFullScreen(false);
    QCOMPARE(player.widget()->parentWidget(), &window);
    rendered.clear();
    QVERIFY(rendered.wait(10000));
}

// Embedded, a picture smaller than the player is shown at its own size
// (not stretched); full screen, it fills the screen with its aspect kept;
// back in the window, its own size again.
void TestRender::fullScreenFillsTheScreen()
{
    // The screen is the window manager's to give (tst_render_openbox).
    if (qEnvironmentVariableIntValue("MIRAVON_EXPECT_WM") != 1)
        QSKIP("only under a window manager");
    Stage stage;
    auto& [window, player, surface] = stage;
    QVERIFY(stage.showPlaying(http_.url("/livemount")));
    const auto drawn = [surface = surface] { return pictureExtent(surface->grab().toImage()).size(); };
    const QSize own = QSize(160, 120) * surface->devicePixelRatioF(); // the clip's size
    QTRY_COMPARE_WITH_TIMEOUT(drawn(), own, 10000);

    player.setFullScreen(true);
    QVERIFY(player.isFullScreen());
    const QSize screen = surface->screen()->size();
    QTRY_VERIFY_WITH_TIMEOUT(surface->width() == screen.width() && surface->height() > screen.height() * 9 / 10,
                             10000);
    // 4:3 in the picture area: as wide as the screen, or as high.
    const QSize fitted = QSize(4, 3).scaled(surface->targetPixels(), Qt::KeepAspectRatio);
    QTRY_VERIFY2_WITH_TIMEOUT(qAbs(drawn().width() - fitted.width()) <= 4 && qAbs(drawn().height() - fitted.height()) <= 4,
                              qPrintable(QStringLiteral("drawn %1x%2, fitted %3x%4")
                                             .arg(drawn().width()).arg(drawn().height())
                                             .arg(fitted.width()).arg(fitted.height())),
                              10000);

    player.setFullScreen(false);
    QTRY_COMPARE_WITH_TIMEOUT(drawn(), own, 10000);
}

// A minimized window's player plays on (its time goes on) but draws no
// picture; restored, it shows the current picture at once.
void TestRender::minimizedWindowDrawsNothing()
{
    Stage stage;
    auto& [window, player, surface] = stage;
    QVERIFY(stage.showPlaying(http_.url("/clip.wmv")));
    QVERIFY(surface->isDrawing());
    auto* time = player.widget()->findChild<QLabel*>(QStringLiteral("time"));
    QVERIFY(time);

    window.showMinimized();
    QVERIFY(!surface->isDrawing());
    QSignalSpy rendered(surface, &VideoSurface::frameRendered);
    const QString before = time->text();
    QTRY_VERIFY_WITH_TIMEOUT(time->text() != before, 10000); // playback goes on
    QCOMPARE(player.playState(), int(PlayState::Playing));
    QCOMPARE(rendered.count(), 0);

    window.showNormal();
    QVERIFY(surface->isDrawing());
    QVERIFY(rendered.count() > 0 || rendered.wait(2000));
    QTRY_VERIFY_WITH_TIMEOUT(colouredPixels(surface) > 20, 2000);
}

void TestRender::hardwareDecodingCopiesBack_data()
{
    QTest::addColumn<bool>("on");
    QTest::addColumn<QByteArrayList>("hwdec"); // one of
    const bool gl = videoPath() == VideoPath::OpenGL;
    // The decoders the engine trusts, or VA-API's where VDPAU has no
    // backend to open.
    QTest::newRow("by default") << true
                                << (gl ? QByteArrayList{"auto-safe", "vaapi"}
                                       : QByteArrayList{"auto-copy-safe", "vaapi-copy"});
    QTest::newRow("turned off") << false << QByteArrayList{"no"};
}

// The software drawing takes the copy-back decoders only, the OpenGL path
// the direct ones, and the engine decodes on the processor where none
// works (here: every test plays).
void TestRender::hardwareDecodingCopiesBack()
{
    QFETCH(bool, on);
    QFETCH(QByteArrayList, hwdec);
    PlaybackOutputs outputs;
    outputs.hardwareDecoding = on;
    const EngineOptions options = engineOptions(outputs, 10);
    const auto given = std::find_if(options.begin(), options.end(), [](const EngineOption& o) { return o.name == "hwdec"; });
    QVERIFY(given != options.end());
    QVERIFY2(hwdec.contains(given->value), given->value.constData());
    QVERIFY(options.contains(
        EngineOption{"gpu-hwdec-interop", videoPath() == VideoPath::OpenGL ? QByteArray("auto") : QByteArray("no")}));
}

void TestRender::videoPathChoice_data()
{
    QTest::addColumn<QString>("forced");
    QTest::addColumn<QString>("renderer");
    QTest::addColumn<bool>("opengl");
    QTest::newRow("a hardware renderer") << "" << "Mesa Intel(R) UHD Graphics 620 (KBL GT2)" << true;
    QTest::newRow("a discrete card") << "" << "NVIDIA GeForce GTX 1060/PCIe/SSE2" << true;
    QTest::newRow("llvmpipe") << "" << "llvmpipe (LLVM 15.0.6, 256 bits)" << false;
    QTest::newRow("softpipe") << "" << "softpipe" << false;
    QTest::newRow("no context") << "" << "" << false;
    QTest::newRow("forced software") << "software" << "NVIDIA GeForce GTX 1060/PCIe/SSE2" << false;
    QTest::newRow("forced opengl") << "opengl" << "llvmpipe (LLVM 15.0.6, 256 bits)" << true;
}

// The OpenGL path where the context's renderer is hardware, or when forced.
void TestRender::videoPathChoice()
{
    QFETCH(QString, forced);
    QFETCH(QString, renderer);
    QFETCH(bool, opengl);
    QCOMPARE(chooseVideoPath(forced, renderer) == VideoPath::OpenGL, opengl);
}

// The OpenGL path forced where the driver cannot serve the engine
// (tst_render_opengl_fallback): the picture shows all the same, drawn in
// software, and so do the surfaces attached after it, with no restart.
void TestRender::openGlFailureFallsBackToSoftware()
{
    if (!qEnvironmentVariableIsSet("MIRAVON_EXPECT_FALLBACK"))
        QSKIP("only where the OpenGL path is made to fail");
    Stage stage;
    auto& [window, player, surface] = stage;
    QVERIFY(stage.showPlaying(http_.url("/clip.wmv")));
    QCOMPARE(videoPath(), VideoPath::Software);
    QTRY_VERIFY_WITH_TIMEOUT(colouredPixels(surface) > 20, 5000);
}

// The engine draws for the surface's device pixels, and the picture is
// copied as it is (at scale 2 too: tst_render_2x).
void TestRender::pictureAtDevicePixels()
{
    Stage stage;
    auto& [window, player, surface] = stage;
    QVERIFY(stage.showPlaying(http_.url("/clip.wmv")));
    const qreal ratio = surface->devicePixelRatioF();
    QCOMPARE(surface->targetPixels(), (QSizeF(surface->size()) * ratio).toSize());
    const QImage painted = surface->grab().toImage();
    QCOMPARE(painted.size(), surface->targetPixels());
    QVERIFY(colouredIn(painted) > 20);
}

void TestRender::pictureClearedWhenPlaybackEnds_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("stop") << "stop";
    QTest::newRow("close") << "close";
    QTest::newRow("failure") << "failure";
}

// The last picture of what was playing does not stay in the picture area.
void TestRender::pictureClearedWhenPlaybackEnds()
{
    QFETCH(QString, how);
    Stage stage;
    auto& [window, player, surface] = stage;
    player.setNoProgressTimeout(3000);
    QVERIFY(stage.showPlaying(http_.url("/livemount")));
    QVERIFY(surface);
    QTRY_VERIFY_WITH_TIMEOUT(colouredOnScreen(&window, surface) > 20, 10000);

    if (how == QLatin1String("stop")) {
        player.stop();
    } else if (how == QLatin1String("close")) {
        player.close();
    } else {
        QSignalSpy failed(&player, &MpvPlayer::failed);
        player.setUrl(http_.url("/missing.wmv"));
        QVERIFY(failed.wait(10000));
    }
    // Nothing more comes from the engine once it stops: the surface must
    // repaint by itself, in black.
    QTRY_COMPARE_WITH_TIMEOUT(colouredOnScreen(&window, surface), 0, 5000);
}

// After a switch, the first picture shown is the new stream's, never one
// of the stream before that the render thread finished late.
void TestRender::switchShowsOnlyTheNewPicture()
{
    Stage stage;
    auto& [window, player, surface] = stage;
    QVERIFY(stage.show());
    QVERIFY(surface);
    QSignalSpy frame(&player, &MpvPlayer::firstFrame);
    player.setUrl(http_.url("/livemount"));
    QVERIFY(frame.wait(20000));
    QTRY_VERIFY_WITH_TIMEOUT(colouredOnScreen(&window, surface) > 20, 10000);

    // What the surface shows right after its first frame: the picture that
    // frame brought, or a later one of the same stream.
    QImage first;
    connect(&player, &MpvPlayer::firstFrame, &window, [&] {
        QTimer::singleShot(0, &window, [&] { first = surface->grab().toImage(); });
    });
    player.setUrl(http_.url("/blue.wmv"));
    QTRY_VERIFY_WITH_TIMEOUT(!first.isNull(), 20000);
    int blue = 0;
    int other = 0;
    for (int y = 0; y < first.height(); y += 4) {
        for (int x = 0; x < first.width(); x += 4) {
            const QRgb p = first.pixel(x, y);
            if (qBlue(p) > 150 && qRed(p) < 90 && qGreen(p) < 90)
                ++blue;
            else if (qGray(p) > 40)
                ++other;
        }
    }
    QVERIFY2(blue > 100 && other == 0, qPrintable(QStringLiteral("blue %1, other %2").arg(blue).arg(other)));
}

// The first address played does not re-create the window's native window
// (a click in the gap would be lost, and the window flickers): the surface
// is there from the start.
void TestRender::windowKeepsItsNativeWindow()
{
    Stage stage;
    auto& [window, player, surface] = stage;
    player.setIdleRelease(0);
    QVERIFY(stage.show());
    const WId before = window.winId();
    QWindow* handle = window.windowHandle();
    QSignalSpy frame(&player, &MpvPlayer::firstFrame);
    player.setUrl(http_.url("/livemount"));
    QVERIFY(frame.wait(20000));
    QCOMPARE(window.windowHandle(), handle);
    QCOMPARE(window.winId(), before);

    // Given back while frames are rendered, then played again at once in
    // the same window: the picture comes back, the window stays.
    player.close();
    QTRY_VERIFY_WITH_TIMEOUT(!player.hasEngine(), 10000);
    frame.clear();
    player.setUrl(http_.url("/livemount"));
    QVERIFY(frame.wait(20000));
    QVERIFY(surface);
    QTRY_VERIFY_WITH_TIMEOUT(colouredOnScreen(&window, surface) > 20, 10000);
    QCOMPARE(window.windowHandle(), handle);
    QCOMPARE(window.winId(), before);
}

// A closed player frees its render context and engine after the idle
// delay, and plays again afterwards.
void TestRender::idlePlayerGivesRenderResourcesBack()
{
    Stage stage;
    auto& [window, player, surface] = stage;
    player.setIdleRelease(200);
    QVERIFY(stage.showPlaying(http_.url("/clip.wmv")));
    QVERIFY(surface && surface->hasRenderContext());
    player.close();
    QTRY_VERIFY_WITH_TIMEOUT(!player.hasEngine(), 10000);
    QVERIFY(!surface->hasRenderContext());
    QVERIFY(stage.showPlaying(http_.url("/clip.wmv")));
    QVERIFY(surface->hasRenderContext());
}

void TestRender::surfaceLetsGoOfItsEngine_data()
{
    QTest::addColumn<bool>("detachFirst");
    // As the player gives an engine back: the surface is detached, and the
    // engine destroyed at once, while frames are being rendered.
    QTest::newRow("detach, then destroy") << true;
    // The engine goes while the surface still renders it.
    QTest::newRow("destroy while attached") << false;
}

// The render context is freed before the engine, whichever goes first, with
// no wait on the UI thread; nothing of the old engine shows afterwards.
void TestRender::surfaceLetsGoOfItsEngine()
{
    QFETCH(bool, detachFirst);
    QWidget window;
    window.resize(320, 240);
    auto* surface = new VideoSurface(&window);
    surface->setGeometry(0, 0, 320, 240);
    surface->setBlank(false);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    RawEngine engine;
    QSignalSpy ready(surface, &VideoSurface::renderContextReady);
    QSignalSpy frames(surface, &VideoSurface::frameRendered);
    surface->attach(engine.handle());
    QVERIFY(surface->isAttached());
    QVERIFY(ready.wait(10000));
    QVERIFY(surface->hasRenderContext());
    engine.load(http_.url("/livemount"));
    QTRY_VERIFY_WITH_TIMEOUT(frames.count() >= 3, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(colouredOnScreen(&window, surface) > 20, 10000);

    const int framesAtDetach = detachFirst ? int(frames.count()) : -1;
    if (detachFirst) {
        // The render thread is not waited for (it frees its render context
        // on its own): detached as the call returns.
        surface->detach();
        QVERIFY(!surface->isAttached());
        QVERIFY(!surface->hasRenderContext());
    }
    engine.destroyInBackground();
    // The engine's destruction waits for the render thread to free its
    // render context; it must end.
    QTRY_VERIFY_WITH_TIMEOUT(engine.destroyed(), 10000);
    // Notices of the old engine still queued are dropped; an engine that
    // went while attached leaves the surface detached.
    QTRY_VERIFY_WITH_TIMEOUT(!surface->isAttached(), 5000);
    QVERIFY(!surface->hasRenderContext());
    const int seen = frames.count();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QCOMPARE(frames.count(), seen);
    // Detached first: no picture of the engine reached the surface after.
    if (detachFirst)
        QCOMPARE(frames.count(), framesAtDetach);
    QCOMPARE(ready.count(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(colouredOnScreen(&window, surface), 0, 5000);
}

QTEST_MAIN(TestRender)
#include "tst_render.moc"
