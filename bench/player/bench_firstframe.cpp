// Time from setUrl() to the first video frame, against the bare engine (a
// plain libmpv handle loading the already-resolved address), for a loopback
// .wmv, an .asx pointing at it, and an RTSP mount.
//
//   QT_QPA_PLATFORM=offscreen ./bench_player_firstframe [rounds]
//
// Both sides use null outputs and a warm engine (the handle exists before the
// clock starts); the first, cold open of the player is reported apart.

#include "httpfixture.h"
#include "mpvplayer.h"
#include "playback.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <mpv/client.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <cstdio>

using namespace miravon;

namespace {

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v.at(v.size() / 2);
}

// Milliseconds from loadfile to the first frame on a plain handle, or -1.
double bareEngine(mpv_handle* h, const QByteArray& url)
{
    QElapsedTimer clock;
    clock.start();
    const char* args[] = {"loadfile", url.constData(), "replace", nullptr};
    mpv_command(h, args);
    while (clock.elapsed() < 20000) {
        mpv_event* e = mpv_wait_event(h, 1.0);
        if (e->event_id == MPV_EVENT_PLAYBACK_RESTART) {
            const double ms = clock.nsecsElapsed() / 1e6;
            const char* stop[] = {"stop", nullptr};
            mpv_command(h, stop);
            return ms;
        }
        if (e->event_id == MPV_EVENT_END_FILE) {
            auto* end = static_cast<mpv_event_end_file*>(e->data);
            if (end->reason == MPV_END_FILE_REASON_ERROR)
                return -1;
        }
    }
    return -1;
}

double player(MpvPlayer& p, const QString& url)
{
    QSignalSpy frame(&p, &MpvPlayer::firstFrame);
    QElapsedTimer clock;
    clock.start();
    p.setUrl(url);
    if (!frame.wait(20000))
        return -1;
    const double ms = clock.nsecsElapsed() / 1e6;
    p.close();
    QTest::qWait(50);
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    initPlayback();
    setPlaybackOutputs({QStringLiteral("null"), QStringLiteral("null")});
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 9;

    HttpFixture http;
    http.route("/clip.wmv", HttpFixture::media(QStringLiteral("clip.wmv")), "video/x-ms-wmv");
    http.route("/clip.asx", "<asx version=\"3.0\"><entry><ref href=\"" + http.url("/clip.wmv").toUtf8() + "\"/></entry></asx>",
               "video/x-ms-asf");

    QProcess rtsp;
    rtsp.start(QStringLiteral("/usr/bin/python3"),
               {QStringLiteral(SOURCE_DIR "/rtsp_server.py"), QStringLiteral(MEDIA_DIR "/clip.mp4")});
    QString rtspUrl;
    if (rtsp.waitForStarted(5000) && rtsp.waitForReadyRead(15000)) {
        const QByteArray line = rtsp.readLine().trimmed();
        if (line.startsWith("PORT "))
            rtspUrl = QStringLiteral("rtsp://127.0.0.1:%1/vod").arg(QString::fromLatin1(line.mid(5)));
    }

    // The bare engine, in a worker thread so the loopback servers, which
    // live on this thread's event loop, keep answering.
    mpv_handle* bare = mpv_create();
    for (auto [k, v] : {std::pair{"vo", "null"}, {"ao", "null"}, {"config", "no"}, {"terminal", "no"}, {"idle", "yes"},
                        {"ytdl", "no"}, {"load-scripts", "no"}})
        mpv_set_option_string(bare, k, v);
    mpv_initialize(bare);
    auto runBare = [&](const QString& url) {
        double result = -1;
        std::atomic_bool done{false};
        std::thread worker([&] { result = bareEngine(bare, url.toUtf8()); done = true; });
        while (!done)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        worker.join();
        return result;
    };

    MpvPlayer p(nullptr);
    const double cold = player(p, http.url("/clip.wmv"));

    struct Row { const char* name; QString playerUrl; QString bareUrl; };
    QList<Row> rows = {{"wmv (http)", http.url("/clip.wmv"), http.url("/clip.wmv")},
                       {"asx -> wmv", http.url("/clip.asx"), http.url("/clip.wmv")}};
    if (!rtspUrl.isEmpty())
        rows.append({"rtsp vod", rtspUrl, rtspUrl});

    std::printf("first frame, median of %d rounds (ms); player's cold first open: %.1f ms\n", rounds, cold);
    std::printf("%-12s %10s %10s %7s\n", "address", "bare", "player", "ratio");
    for (const Row& row : rows) {
        QList<double> b, m;
        for (int i = 0; i < rounds; ++i) {
            b << runBare(row.bareUrl);
            m << player(p, row.playerUrl);
        }
        const double mb = median(b), mm = median(m);
        std::printf("%-12s %10.1f %10.1f %7.2f\n", row.name, mb, mm, mb > 0 ? mm / mb : 0.0);
    }
    mpv_terminate_destroy(bare);
    rtsp.closeWriteChannel();
    if (!rtsp.waitForFinished(5000))
        rtsp.kill();
    return 0;
}
