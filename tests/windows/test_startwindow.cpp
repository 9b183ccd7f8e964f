#include "fakeplayer.h"

#include "program.h"
#include "startwindow.h"
#include "units.h"
#include "viewerwindow.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QtTest>

using namespace miravon;

namespace {

// Drives the start window's timers on a simulated clock, one millisecond at
// a time, without the event loop: each enabled timer ticks every `interval`
// milliseconds from the moment it was enabled. The progress timer is left
// out; it has its own test.
class Clock {
public:
    explicit Clock(StartWindow& w) : w_(&w) {}

    // Advances to `t` ms after load; stops early once the window is gone.
    void runTo(int t)
    {
        for (; now_ < t && alive(); ) {
            ++now_;
            track(w_->timer1(), on1_);
            track(w_->timer2(), on2_);
            if (fires(w_->timer1(), on1_))
                w_->tickFadeIn();
            if (alive() && fires(w_->timer2(), on2_))
                w_->tickFadeOut();
            if (alive() && now_ % 2000 == 0 && w_->timer3().isActive())
                w_->tickHandOver();
            if (alive())
                alphas.append(w_->appliedAlpha());
        }
    }
    // A close request from outside, as the user closing the window.
    void requestClose() { w_->close(); track(w_->timer2(), on2_); }
    bool alive() const { return !gone_ && w_->isVisible(); }
    int now() const { return now_; }
    QList<int> alphas;

private:
    void track(const QTimer& t, int& since)
    {
        if (t.isActive() && since < 0)
            since = now_;
        if (!t.isActive())
            since = -1;
    }
    bool fires(const QTimer& t, int since) const
    {
        return t.isActive() && since >= 0 && now_ > since && (now_ - since) % t.interval() == 0;
    }

    QPointer<StartWindow> w_;
    int now_ = 0;
    int on1_ = 0;
    int on2_ = -1;
    bool gone_ = false;
};

} // namespace

class TestStartWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { useFakePlayers(); }
    void init();
    void cleanup();

    void loadPlacesAQuarterIn();
    void fadeInSteps();
    void handOverOnThirdTick();
    void closeRequest_data();
    void closeRequest();
    void secondCloseRequestChangesNothing();
    void progressBarGrows();
    void realTimeHandOver();
    void withoutOpacityTimingsHold();

private:
    StartWindow& startWindow() { return static_cast<StartWindow&>(program->window(WindowId::Form1)); }
    std::unique_ptr<Program> program;
    int ends = 0;
};

void TestStartWindow::init()
{
    ends = 0;
    program = std::make_unique<Program>([this] { ++ends; });
}

void TestStartWindow::cleanup()
{
    program.reset();
}

void TestStartWindow::loadPlacesAQuarterIn()
{
    program->start();
    StartWindow& w = startWindow();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(w.pos(), QPoint(px(twips(screen.width()) / 4), px(twips(screen.height()) / 4)));
    QCOMPARE(w.size(), twSize(8205, 7215));
    QVERIFY(w.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(w.windowTitle(), QStringLiteral("Miravon"));
    QCOMPARE(w.appliedAlpha(), 0);
    QCOMPARE(w.timer1().interval(), 100);
    QVERIFY(w.timer1().isActive());
    QCOMPARE(w.timer2().interval(), 100);
    QVERIFY(!w.timer2().isActive());
    QCOMPARE(w.timer3().interval(), 2000);
    QCOMPARE(w.timer4().interval(), 1);
    QVERIFY(w.isVisible());
    QVERIFY(!program->isLoaded(WindowId::frmmain));
}

void TestStartWindow::fadeInSteps()
{
    program->start();
    StartWindow& w = startWindow();
    for (int tick = 1; tick <= 17; ++tick) {
        w.tickFadeIn();
        QCOMPARE(w.appliedAlpha(), 15 * tick);
        QVERIFY(w.timer1().isActive());
    }
    QCOMPARE(w.windowOpacity(), 1.0);
    w.tickFadeIn(); // the 18th stops the fade without another alpha call
    QVERIFY(!w.timer1().isActive());
    QCOMPARE(w.opacityValue(), 255);
    QCOMPARE(w.appliedAlpha(), 255);
}

void TestStartWindow::handOverOnThirdTick()
{
    program->start();
    QPointer<StartWindow> w = &startWindow();
    w->tickHandOver();
    QCOMPARE(w->tickCounter(), qint16(2));
    w->tickHandOver();
    QCOMPARE(w->tickCounter(), qint16(4));
    QVERIFY(!program->isLoaded(WindowId::frmmain));
    w->tickHandOver();
    QVERIFY(!program->isLoaded(WindowId::Form1));
    QVERIFY(!w->isVisible());
    QVERIFY(program->isLoaded(WindowId::frmmain));
    QVERIFY(program->window(WindowId::frmmain).isVisible());
    QCOMPARE(program->window(WindowId::frmmain).pos(), QPoint(0, 0));
    QCOMPARE(ends, 0);
}

void TestStartWindow::closeRequest_data()
{
    QTest::addColumn<int>("closeAt");
    QTest::addColumn<bool>("handsOver");
    QTest::addColumn<int>("minAlpha");
    QTest::addColumn<int>("maxAlpha");
    // Fade-out from 255 ends at 4.8 s, before the hand-over: the program
    // ends with no viewer window.
    QTest::newRow("at 3 s") << 3000 << false << 0 << 255;
    // Still fading out at 6 s: the hand-over wins.
    QTest::newRow("at 5 s") << 5000 << true << 105 << 255;
    // During the fade-in both fades run and cancel out, near 150.
    QTest::newRow("at 1 s, fading in") << 1000 << true << 135 << 165;
}

void TestStartWindow::closeRequest()
{
    QFETCH(int, closeAt);
    QFETCH(bool, handsOver);
    QFETCH(int, minAlpha);
    QFETCH(int, maxAlpha);
    program->start();
    QPointer<StartWindow> w = &startWindow();
    Clock clock(*w);
    clock.runTo(closeAt);
    clock.requestClose();
    QVERIFY2(w->isVisible(), "a close request from outside must not close the window");
    QVERIFY(w->timer2().isActive());
    clock.alphas.clear();
    clock.runTo(8000);

    if (handsOver) {
        QCOMPARE(clock.now(), 6000);
        QVERIFY(program->isLoaded(WindowId::frmmain));
        QVERIFY(program->window(WindowId::frmmain).isVisible());
        QCOMPARE(ends, 0);
    } else {
        QCOMPARE(clock.now(), closeAt + 1800);
        QCOMPARE(ends, 1);
        QVERIFY(program->ending());
        QVERIFY(!program->isLoaded(WindowId::frmmain));
    }
    QVERIFY(!w || !w->isVisible());
    for (int a : std::as_const(clock.alphas))
        QVERIFY2(a >= minAlpha && a <= maxAlpha, qPrintable(QString::number(a)));
}

void TestStartWindow::secondCloseRequestChangesNothing()
{
    program->start();
    StartWindow& w = startWindow();
    for (int i = 0; i < 17; ++i)
        w.tickFadeIn();
    w.close();
    w.tickFadeOut();
    w.tickFadeOut();
    QCOMPARE(w.appliedAlpha(), 225);
    w.close();
    QVERIFY(w.timer2().isActive());
    QCOMPARE(w.appliedAlpha(), 225);
    QCOMPARE(w.opacityValue(), 225);
    QVERIFY(w.isVisible());
}

void TestStartWindow::progressBarGrows()
{
    program->start();
    StartWindow& w = startWindow();
    auto* bar = w.findChild<QWidget*>(QStringLiteral("congluc"));
    QVERIFY(bar);
    QCOMPARE(bar->geometry(), twRect(2670, 4680, 15, 255));
    int ticks = 0;
    while (w.timer4().isActive() && ticks < 1000) {
        w.tickProgress();
        ++ticks;
    }
    // 15 + 17 n >= 6700 first at n = 394.
    QCOMPARE(ticks, 394);
    QCOMPARE(w.progressWidth(), 15 + 17 * 394);
    QCOMPARE(bar->geometry().left(), px(2670));
    QCOMPARE(bar->width(), px(15 + 17 * 394));
    QVERIFY(bar->geometry().right() > w.rect().right()); // clipped by the window
}

void TestStartWindow::realTimeHandOver()
{
    QElapsedTimer clock;
    clock.start();
    program->start();
    QTRY_VERIFY_WITH_TIMEOUT(program->isLoaded(WindowId::frmmain)
                                 && program->window(WindowId::frmmain).isVisible(),
                             10000);
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= 5900, qPrintable(QString::number(elapsed)));
    QVERIFY(!program->isLoaded(WindowId::Form1));
    QCOMPARE(program->window(WindowId::frmmain).pos(), QPoint(0, 0));
    QCOMPARE(ends, 0);
}

void TestStartWindow::withoutOpacityTimingsHold()
{
    // As under Wayland: the window stays opaque, says nothing per tick, and
    // the fades and the hand-over keep their timings.
    windowOpacitySupported() = [] { return false; };
    auto restore = qScopeGuard([] { windowOpacitySupported() = [] { return true; }; });
    // What a platform without opacity says on each call ("This plugin does
    // not support setting window opacity").
    QTest::failOnWarning(QRegularExpression(QStringLiteral("opacity"),
                                            QRegularExpression::CaseInsensitiveOption));
    program->start();
    QPointer<StartWindow> w = &startWindow();
    QVERIFY(!w->fades());
    Clock clock(*w);
    clock.runTo(800);
    QCOMPARE(w->appliedAlpha(), 120);
    QCOMPARE(w->windowOpacity(), 1.0);
    clock.runTo(1700);
    QCOMPARE(w->appliedAlpha(), 255);
    QVERIFY(w->timer1().isActive());
    clock.runTo(1800);
    QVERIFY(!w->timer1().isActive());
    QCOMPARE(w->windowOpacity(), 1.0);
    clock.runTo(5999);
    QVERIFY(!program->isLoaded(WindowId::frmmain));
    clock.runTo(8000);
    QCOMPARE(clock.now(), 6000);
    QVERIFY(program->window(WindowId::frmmain).isVisible());

    // A close request still runs the fade-out's 1.8 s before the program ends.
    init();
    program->start();
    QPointer<StartWindow> again = &startWindow();
    Clock second(*again);
    second.runTo(3000);
    second.requestClose();
    second.runTo(3900);
    QCOMPARE(again->appliedAlpha(), 120);
    QCOMPARE(again->windowOpacity(), 1.0);
    second.runTo(8000);
    QCOMPARE(second.now(), 4800);
    QCOMPARE(ends, 1);
}

QTEST_MAIN(TestStartWindow)
#include "test_startwindow.moc"
