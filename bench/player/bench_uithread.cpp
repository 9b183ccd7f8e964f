// How long the UI thread is held by the player: the longest stretch during
// which the UI thread handled no event, around the first click on a fresh
// player and around a channel switch, against a bare engine doing the same
// in a window of the same size (made, with its surface, on the first click).
// The idle window's own figure is what the machine itself costs.
//
//   bench_player_uithread [--rendered] [--rounds N]
//
// A probe thread posts a stamped event to the UI thread every millisecond;
// the longest delay from posting to handling is the longest hold (to within
// the probe's period). Each round watches from just before the put until
// 300 ms after the first frame. Also shown: the duration of the setUrl()
// call itself. With --rendered (under X) the player has its real video
// surface, where the first click also starts the render thread and its
// render context; the bare engine draws through the same surface.

#include "common.h"
#include "subject.h"
#include "wait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

using namespace miravon;
using namespace miravon::bench;

namespace {

constexpr int frameBoundMs = 20000;

// Measures the longest UI-thread hold between start() and stop().
class HoldProbe : public QObject {
public:
    HoldProbe()
    {
        clock_.start();
        thread_ = std::thread([this] {
            while (!quit_) {
                const qint64 sent = clock_.nsecsElapsed();
                QMetaObject::invokeMethod(this, [this, sent] { seen(sent); }, Qt::QueuedConnection);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    }
    ~HoldProbe() override
    {
        quit_ = true;
        thread_.join();
    }
    void start()
    {
        longest_ = 0;
        watching_ = true;
    }
    double stop()
    {
        watching_ = false;
        return longest_ / 1e6;
    }

private:
    void seen(qint64 sent)
    {
        if (watching_)
            longest_ = std::max(longest_, clock_.nsecsElapsed() - sent);
    }

    QElapsedTimer clock_;
    std::thread thread_;
    std::atomic_bool quit_{false};
    bool watching_ = false;
    qint64 longest_ = 0;
};

struct Sample {
    double hold;
    double call;
};

// Puts `url` into `p` and watches until 300 ms after its first frame.
Sample watchPut(HoldProbe& probe, Subject& p, const QString& url)
{
    probe.start();
    QElapsedTimer call;
    call.start();
    p.setUrl(url);
    const double callMs = call.nsecsElapsed() / 1e6;
    const bool ok = waitFor(&p, subjectFirstFrame, frameBoundMs);
    settle(300);
    const double hold = probe.stop();
    return ok ? Sample{hold, callMs} : Sample{failedSample, failedSample};
}

// The same for the bare engine: made, with its surface, and given `url` on
// the first click; given `url` again on a switch.
Sample watchBare(HoldProbe& probe, QWidget& window, std::unique_ptr<BareEngine>& engine, bool rendered, const QString& url)
{
    probe.start();
    QElapsedTimer call;
    call.start();
    if (!engine) {
        engine = std::make_unique<BareEngine>(rendered, &window);
        if (QWidget* s = engine->surface()) {
            window.layout()->addWidget(s);
            s->show();
        }
    }
    engine->load(url);
    const double callMs = call.nsecsElapsed() / 1e6;
    const bool ok = waitFor(engine.get(), &BareEngine::firstFrame, frameBoundMs);
    settle(300);
    const double hold = probe.stop();
    return ok ? Sample{hold, callMs} : Sample{failedSample, failedSample};
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    initPlayback();
    bool rendered = false;
    int rounds = 12;
    for (int i = 1; i < argc; ++i) {
        rendered = rendered || std::strcmp(argv[i], "--rendered") == 0;
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[i + 1]));
    }
    useOutputs(rendered);
    const QString outputs = rendered ? QStringLiteral("rendered") : QStringLiteral("null video");
    MediaServer server(0, false);
    if (!server.ok())
        return 2;
    const QString a = server.http(QStringLiteral("/clip.wmv"));
    const QString b = server.http(QStringLiteral("/clip.wmv?b"));
    HoldProbe probe;

    QList<double> idleHold, firstHold, firstCall, switchHold, switchCall, bareFirstHold, bareSwitchHold;
    for (int i = 0; i < rounds; ++i) {
        // A fresh window and player, shown and settled, as the user sees it
        // before the first click.
        QWidget window;
        auto* layout = new QHBoxLayout(&window);
        auto player = makeSubject(&window);
        layout->addWidget(player->widget());
        window.resize(480, 360);
        window.show();
        settle(300);
        // The idle reference: the same window, the same length of time as
        // the switch below is likely to take.
        probe.start();
        settle(400);
        idleHold << probe.stop();
        const Sample first = watchPut(probe, *player, a);
        firstHold << first.hold;
        firstCall << first.call;
        const Sample sw = watchPut(probe, *player, b);
        switchHold << sw.hold;
        switchCall << sw.call;
        player->close();
        settle(100);

        // The bare engine in a window of its own, the same size.
        QWidget bareWindow;
        new QHBoxLayout(&bareWindow);
        bareWindow.resize(480, 360);
        bareWindow.show();
        settle(300);
        std::unique_ptr<BareEngine> bare;
        bareFirstHold << watchBare(probe, bareWindow, bare, rendered, a).hold;
        bareSwitchHold << watchBare(probe, bareWindow, bare, rendered, b).hold;
        bare.reset();
    }
    const QString bench = QStringLiteral("UI thread held");
    printRow({bench, QStringLiteral("idle window, longest hold, %1").arg(outputs), QStringLiteral("ms"), stats(idleHold),
              {}, {}});
    printRow({bench, QStringLiteral("first click, longest hold, %1").arg(outputs), QStringLiteral("ms"), stats(firstHold),
              QStringLiteral("bare engine, made and loaded"), stats(bareFirstHold)});
    printRow({bench, QStringLiteral("first click, setUrl() call, %1").arg(outputs), QStringLiteral("ms"), stats(firstCall),
              {}, {}});
    printRow({bench, QStringLiteral("switch, longest hold, %1").arg(outputs), QStringLiteral("ms"), stats(switchHold),
              QStringLiteral("bare engine"), stats(bareSwitchHold)});
    printRow({bench, QStringLiteral("switch, setUrl() call, %1").arg(outputs), QStringLiteral("ms"), stats(switchCall),
              {}, {}});
    return 0;
}
