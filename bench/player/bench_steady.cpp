// CPU cost of steady playback: the player beside the engine's own player
// (Debian's mpv) playing the same 1080p30 H.264 file from the same loopback
// server at the same size, in the same run.
//
//   bench_player_steady [--rounds N] [--seconds S]
//
// The file (40 s, made with ffmpeg into a temporary folder) is served by
// media_server.py. For each case and round, each side plays it for a warm-up
// of 4 s, then its CPU time (every thread: user + system) is taken over S
// seconds (default 10) and given as CPU seconds per minute. Sides alternate
// which goes first. Cases:
// - embedded, 449x313: the player's picture area at the windows' size;
//   reference: mpv --vo=x11 in a window of that size (and, on another row,
//   mpv --vo=gpu --gpu-sw=yes, the engine's OpenGL output on this machine's
//   software driver);
// - full screen: the player's full-screen window; mpv --fs likewise;
// - seven hidden players and one shown: the windows' players as they run
//   with six windows hidden and the movie window beside; reference: seven
//   mpv --vo=null (decoding only) and one mpv --vo=x11.
// Both sides decode with the same hardware-decoding choice (auto-copy-safe:
// on the processor here) and discard the sound. Run under X (bench/run.sh).
#include "common.h"
#include "subject.h"
#include "wait.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <vector>

using namespace miravon;
using namespace miravon::bench;

namespace {

constexpr int warmUpMs = 4000;
constexpr QSize embedded(449, 313);

double selfCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// User + system time of a child process, from /proc.
double childCpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return failedSample;
    const QByteArray line = stat.readAll();
    // Fields after the command name, which is in parentheses.
    const QList<QByteArray> f = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (f.size() < 13)
        return failedSample;
    return (f.at(11).toDouble() + f.at(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

// The test file: 1080p30 H.264, 40 s, a moving pattern.
QString makeMedia(const QString& dir)
{
    const QString out = dir + QStringLiteral("/steady1080.mp4");
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-nostdin", "-loglevel", "error", "-f", "lavfi", "-i", "testsrc2=size=1920x1080:rate=30:duration=40",
                  "-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", "-g", "60", "-movflags", "+faststart",
                  "-y", out});
    if (!ffmpeg.waitForFinished(300000) || ffmpeg.exitCode() != 0)
        return {};
    return out;
}

// mpv with the player's choices that bear on the cost.
std::unique_ptr<QProcess> startMpv(const QString& url, const QString& vo, const QStringList& more)
{
    auto p = std::make_unique<QProcess>();
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->setStandardOutputFile(QProcess::nullDevice());
    QStringList args = {"--no-config", "--really-quiet", "--no-terminal", "--ao=null", "--vo=" + vo,
                        "--hwdec=auto-copy-safe", "--loop-file=inf", "--keepaspect=yes", "--osc=no"};
    args << more << url;
    p->start(QStringLiteral("mpv"), args);
    if (!p->waitForStarted(5000))
        return nullptr;
    return p;
}

struct Side {
    QString name;
    QList<double> perMinute;
};

// CPU seconds per minute of `measure()` over `seconds`, after the warm-up.
template <typename Now>
double sample(int seconds, Now now)
{
    settle(warmUpMs);
    const double t0 = now();
    settle(seconds * 1000);
    const double t1 = now();
    return std::isnan(t0) || std::isnan(t1) ? failedSample : (t1 - t0) * 60.0 / seconds;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    initPlayback();
    useOutputs(true);
    int rounds = 3;
    int seconds = 10;
    const QStringList args = app.arguments();
    if (int i = int(args.indexOf(QStringLiteral("--rounds"))); i > 0 && i + 1 < args.size())
        rounds = std::max(1, args.at(i + 1).toInt());
    if (int i = int(args.indexOf(QStringLiteral("--seconds"))); i > 0 && i + 1 < args.size())
        seconds = std::max(2, args.at(i + 1).toInt());

    QTemporaryDir dir;
    const QString file = makeMedia(dir.path());
    if (file.isEmpty()) {
        std::fprintf(stderr, "bench_player_steady: ffmpeg could not make the test file\n");
        return 1;
    }
    MediaServer server(dir.path(), 0, false);
    if (!server.ok())
        return 1;
    const QString url = server.http(QStringLiteral("/steady1080.mp4"));
    const QSize screen = QGuiApplication::primaryScreen()->size();
    const QString geometry = QStringLiteral("--geometry=%1x%2+0+0").arg(embedded.width()).arg(embedded.height());

    auto playerCase = [&](int shownCount, int hiddenCount, bool fullScreen) {
        std::vector<std::unique_ptr<QWidget>> windows;
        std::vector<std::unique_ptr<Subject>> players;
        for (int i = 0; i < shownCount + hiddenCount; ++i) {
            auto w = std::make_unique<QWidget>();
            w->resize(embedded);
            auto p = makeSubject(w.get());
            p->widget()->setGeometry(QRect(QPoint(0, 0), embedded));
            if (i < shownCount)
                w->show();
            p->setUrl(url);
            windows.push_back(std::move(w));
            players.push_back(std::move(p));
        }
        if (!waitFor(players.front().get(), subjectFirstFrame, 20000))
            return failedSample;
        if (fullScreen) {
            players.front()->setFullScreen(true);
            if (!players.front()->isFullScreen())
                return failedSample;
        }
        const double v = sample(seconds, selfCpuSeconds);
        players.clear();
        windows.clear();
        settle(500);
        return v;
    };
    auto mpvCase = [&](const QList<QStringList>& instances) {
        std::vector<std::unique_ptr<QProcess>> procs;
        for (const QStringList& i : instances)
            if (auto p = startMpv(url, i.first(), i.mid(1)))
                procs.push_back(std::move(p));
        if (procs.size() != std::size_t(instances.size()))
            return failedSample;
        const double v = sample(seconds, [&] {
            double sum = 0;
            for (const auto& p : procs)
                sum += childCpuSeconds(p->processId());
            return sum;
        });
        for (const auto& p : procs) {
            p->terminate();
            p->waitForFinished(5000);
        }
        return v;
    };

    struct Case {
        QString name;
        std::function<double()> player;
        QList<std::pair<QString, std::function<double()>>> references;
    };
    const QList<QStringList> eightHidden = [&] {
        QList<QStringList> l{{QStringLiteral("x11"), geometry}};
        for (int i = 0; i < 7; ++i)
            l << QStringList{QStringLiteral("null")};
        return l;
    }();
    const QList<Case> cases = {
        {QStringLiteral("embedded %1x%2, 1080p30 H.264").arg(embedded.width()).arg(embedded.height()),
         [&] { return playerCase(1, 0, false); },
         {{QStringLiteral("mpv --vo=x11"), [&] { return mpvCase({{QStringLiteral("x11"), geometry}}); }},
          {QStringLiteral("mpv --vo=gpu --gpu-sw=yes"),
           [&] { return mpvCase({{QStringLiteral("gpu"), QStringLiteral("--gpu-sw=yes"), geometry}}); }}}},
        {QStringLiteral("full screen %1x%2, 1080p30 H.264").arg(screen.width()).arg(screen.height()),
         [&] { return playerCase(1, 0, true); },
         {{QStringLiteral("mpv --vo=x11 --fs"), [&] { return mpvCase({{QStringLiteral("x11"), QStringLiteral("--fs")}}); }},
          {QStringLiteral("mpv --vo=gpu --gpu-sw=yes --fs"),
           [&] { return mpvCase({{QStringLiteral("gpu"), QStringLiteral("--gpu-sw=yes"), QStringLiteral("--fs")}}); }}}},
        {QStringLiteral("1 shown + 7 hidden players, 1080p30 H.264"), [&] { return playerCase(1, 7, false); },
         {{QStringLiteral("1 mpv --vo=x11 + 7 mpv --vo=null"), [&] { return mpvCase(eightHidden); }}}},
    };

    for (const Case& c : cases) {
        QList<double> subject;
        QList<QList<double>> refs(c.references.size());
        for (int round = 0; round < rounds; ++round) {
            // Alternate which side goes first.
            if (round % 2 == 0)
                subject << c.player();
            for (qsizetype r = 0; r < c.references.size(); ++r)
                refs[r] << c.references.at(r).second();
            if (round % 2 == 1)
                subject << c.player();
        }
        for (qsizetype r = 0; r < c.references.size(); ++r)
            printRow({QStringLiteral("steady playback, CPU s/min"), c.name, QStringLiteral("s"), stats(subject),
                      c.references.at(r).first, stats(refs.at(r))});
    }
    return 0;
}
