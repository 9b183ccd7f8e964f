// Time from the address put to the first shown frame: the player against the
// bare engine opening the address the player ends up playing.
//
//   bench_player_firstframe [--rendered] [--rounds N] [--warmup N]
//
// Fair by construction: the server is another process (bench/media_server.py),
// answering after a fixed delay of 0 or 50 ms; both sides start their engine
// with the same options (the player's own list, subject.h) and run the same thread model
// (commands and events on the UI thread, nothing spinning); both are warm
// (warm-up rounds first); the order alternates every round. With
// --rendered (under X) the first frame is the first one shown by the
// player's video surface (rendered in software on the surface's render
// thread, painted on the UI thread; the bare engine draws through the same
// surface), otherwise the first one decoded with null video output.

#include "common.h"
#include "subject.h"
#include "wait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QWidget>

#include <cstdio>
#include <cstring>

using namespace miravon;
using namespace miravon::bench;

namespace {

constexpr int frameBoundMs = 20000;

double timePlayer(Subject& p, const QString& url)
{
    QElapsedTimer clock;
    clock.start();
    p.setUrl(url);
    const bool ok = waitFor(&p, subjectFirstFrame, frameBoundMs);
    const double ms = clock.nsecsElapsed() / 1e6;
    p.close();
    settle(150);
    return ok ? ms : failedSample;
}

double timeBare(BareEngine& e, const QString& url)
{
    QElapsedTimer clock;
    clock.start();
    e.load(url);
    const bool ok = waitFor(&e, &BareEngine::firstFrame, frameBoundMs);
    const double ms = clock.nsecsElapsed() / 1e6;
    e.stop();
    settle(150);
    return ok ? ms : failedSample;
}

int argValue(int argc, char** argv, const char* name, int fallback)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return std::atoi(argv[i + 1]);
    return fallback;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    initPlayback();
    bool rendered = false;
    for (int i = 1; i < argc; ++i)
        rendered = rendered || std::strcmp(argv[i], "--rendered") == 0;
    const int rounds = std::max(1, argValue(argc, argv, "--rounds", 12));
    const int warmup = std::max(1, argValue(argc, argv, "--warmup", 2));
    useOutputs(rendered);
    const QString outputs = rendered ? QStringLiteral("rendered") : QStringLiteral("null video");

    // Both sides in one window, the same size. The player plays once before
    // the bare engine's surface joins the window, so that both sides are
    // warm.
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto player = makeSubject(&window);
    layout->addWidget(player->widget());
    const QSize each(460, 340);
    player->widget()->setFixedSize(each);
    window.resize(rendered ? 960 : 480, 360);
    window.show();
    settle(300);
    {
        MediaServer server(0, false);
        timePlayer(*player, server.http(QStringLiteral("/clip.wmv")));
    }
    BareEngine bare(rendered, &window);
    if (bare.surface()) {
        bare.surface()->setFixedSize(each);
        layout->addWidget(bare.surface());
        bare.surface()->show();
    }
    settle(300);

    struct Case {
        QString name;
        int delayMs;
        bool rtsp;
        QString playerPath; // what the player is given
        QString barePath;   // what the engine ends up playing
    };
    const QList<Case> cases = {
        {QStringLiteral("wmv over http"), 0, false, QStringLiteral("/clip.wmv"), QStringLiteral("/clip.wmv")},
        {QStringLiteral("asx -> wmv"), 0, false, QStringLiteral("/clip.wmv.asx"), QStringLiteral("/clip.wmv")},
        {QStringLiteral("wmv over http"), 50, false, QStringLiteral("/clip.wmv"), QStringLiteral("/clip.wmv")},
        {QStringLiteral("asx -> wmv"), 50, false, QStringLiteral("/clip.wmv.asx"), QStringLiteral("/clip.wmv")},
        {QStringLiteral("rtsp live, running"), 0, true, QStringLiteral("/live"), QStringLiteral("/live")},
    };
    for (const Case& c : cases) {
        MediaServer server(c.delayMs, c.rtsp);
        if (!server.ok()) {
            std::fprintf(stderr, "%s: the server did not start\n", qPrintable(c.name));
            continue;
        }
        const QString playerUrl = c.rtsp ? server.rtsp(c.playerPath) : server.http(c.playerPath);
        const QString bareUrl = c.rtsp ? server.rtsp(c.barePath) : server.http(c.barePath);
        for (int i = 0; i < warmup; ++i) {
            timeBare(bare, bareUrl);
            timePlayer(*player, playerUrl);
        }
        QList<double> b, p;
        for (int i = 0; i < rounds; ++i) {
            if (i % 2 == 0) {
                b << timeBare(bare, bareUrl);
                p << timePlayer(*player, playerUrl);
            } else {
                p << timePlayer(*player, playerUrl);
                b << timeBare(bare, bareUrl);
            }
        }
        const QString name = c.rtsp ? QStringLiteral("%1, %2").arg(c.name, outputs)
                                    : QStringLiteral("%1, %2 ms, %3").arg(c.name).arg(c.delayMs).arg(outputs);
        printRow({QStringLiteral("first frame"), name, QStringLiteral("ms"), stats(p), QStringLiteral("bare engine"),
                  stats(b)});
    }
    return 0;
}
