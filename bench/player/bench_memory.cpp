// Resident memory of a process with one idle player, seven idle players,
// and seven players of which one plays (null outputs, loopback .wmv).
//
//   QT_QPA_PLATFORM=offscreen ./bench_player_memory
//
// Each figure comes from a fresh child process, so that one case's freed
// memory does not flatter the next.

#include "httpfixture.h"
#include "mpvplayer.h"
#include "playback.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>

using namespace miravon;

namespace {
long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

int measure(const QString& mode)
{
    HttpFixture http;
    http.route("/clip.wmv", HttpFixture::media(QStringLiteral("clip.wmv")), "video/x-ms-wmv");
    QWidget window;
    window.resize(800, 600);
    const int count = mode == QLatin1String("idle1") ? 1 : 7;
    std::vector<std::unique_ptr<MpvPlayer>> players;
    for (int i = 0; i < count; ++i)
        players.push_back(std::make_unique<MpvPlayer>(&window));
    window.show();
    QTest::qWait(200);
    if (mode == QLatin1String("play1")) {
        QSignalSpy frame(players.front().get(), &MpvPlayer::firstFrame);
        players.front()->setUrl(http.url("/clip.wmv"));
        if (!frame.wait(20000))
            return 1;
        QTest::qWait(1000);
    }
    std::printf("%ld\n", residentKiB());
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    initPlayback();
    setPlaybackOutputs({QStringLiteral("null"), QStringLiteral("null")});
    if (argc > 1)
        return measure(QString::fromLatin1(argv[1]));

    std::printf("%-28s %10s\n", "case", "RSS (MiB)");
    double idle1 = 0;
    for (const char* mode : {"idle1", "idle7", "play1"}) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(mode)});
        child.waitForFinished(60000);
        const double mib = child.readAllStandardOutput().trimmed().toLong() / 1024.0;
        if (QLatin1String(mode) == QLatin1String("idle1"))
            idle1 = mib;
        const char* label = QLatin1String(mode) == QLatin1String("idle1") ? "one idle player"
            : QLatin1String(mode) == QLatin1String("idle7")                ? "seven idle players"
                                                                           : "seven players, one playing";
        std::printf("%-28s %10.1f  (%+.1f vs one idle)\n", label, mib, mib - idle1);
    }
    return 0;
}
