// CPU cost of steady playback: the player beside the engine's own player
// (Debian's mpv) playing the same 1080p30 H.264 file from the same loopback
// server at the same size, in the same run.
//
//   bench_player_steady [--rounds N] [--seconds S] [--cases embedded,fullscreen,hidden]
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
// Frames dropped, on another row: the engines' own counters (decoder and
// output, over the whole play), and for the player also the pictures its
// surfaces rendered and replaced by a newer one before showing.
// Both sides decode with the same hardware-decoding choice (auto-copy-safe:
// on the processor here) and discard the sound. Run under X (bench/run.sh,
// which runs the full-screen case again at QT_SCALE_FACTOR=2). Case names
// say the player's video path (MIRAVON_VIDEO) and scale.
#include "common.h"
#include "videopath.h"
#include "subject.h"
#include "videosurface.h"
#include "wait.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
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

// One integer property of an mpv process, through its IPC socket; -1 when
// it does not answer within the bound.
qint64 mpvProperty(const QString& socketPath, const char* name)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(2000))
        return -1;
    socket.write(QByteArrayLiteral("{\"command\":[\"get_property\",\"") + name + "\"]}\n");
    if (!socket.waitForBytesWritten(2000))
        return -1;
    while (socket.waitForReadyRead(2000)) {
        while (socket.canReadLine()) {
            const QJsonObject reply = QJsonDocument::fromJson(socket.readLine()).object();
            if (reply.contains(QStringLiteral("error")))
                return reply.value(QStringLiteral("error")).toString() == QLatin1String("success")
                    ? qint64(reply.value(QStringLiteral("data")).toDouble())
                    : -1;
        }
    }
    return -1;
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

// One core kept busy, in a process of its own (its time is not the
// player's), for the length of a case.
class BusyCore {
public:
    explicit BusyCore(const QString& self)
    {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(self, {QStringLiteral("--spin")});
        process_.waitForStarted(5000);
    }
    ~BusyCore()
    {
        process_.kill();
        process_.waitForFinished(5000);
    }

private:
    QProcess process_;
};

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--spin") == 0) {
        std::atomic<unsigned long> n{0};
        for (;;)
            n.fetch_add(1, std::memory_order_relaxed);
    }
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
    QStringList only = {QStringLiteral("embedded"), QStringLiteral("fullscreen"), QStringLiteral("embedded-busy"),
                        QStringLiteral("fullscreen-busy"), QStringLiteral("hidden")};
    const QString self = QCoreApplication::applicationFilePath();
    if (int i = int(args.indexOf(QStringLiteral("--cases"))); i > 0 && i + 1 < args.size())
        only = args.at(i + 1).split(u',');

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

    // Frames dropped by the side measured last.
    double dropped = failedSample;
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
            // The window manager gives the window the screen; the engine
            // then draws for its whole width (the transport bar keeps a
            // row at the bottom).
            auto* surface = players.front()->widget()->findChild<VideoSurface*>();
            const QSize whole = (QSizeF(screen) * QGuiApplication::primaryScreen()->devicePixelRatio()).toSize();
            auto filled = [&] {
                return surface && surface->targetPixels().width() == whole.width()
                    && surface->targetPixels().height() >= whole.height() * 9 / 10;
            };
            for (int waited = 0; !filled() && waited < 5000; waited += 50)
                settle(50);
            if (!players.front()->isFullScreen() || !filled()) {
                std::fprintf(stderr, "bench_player_steady: the player did not get the whole screen\n");
                return failedSample;
            }
        }
        const double v = sample(seconds, selfCpuSeconds);
        dropped = 0;
        double byEngine = 0;
        for (const auto& p : players) {
            const qint64 engine = p->droppedFrames();
            auto* surface = p->widget()->findChild<VideoSurface*>();
            byEngine += double(std::max<qint64>(engine, 0));
            dropped += double(std::max<qint64>(engine, 0)) + (surface ? double(surface->replacedPictures()) : 0.0);
        }
        // Where they were lost: in the engine (late frames, decoder), or in
        // the surface's mailbox (rendered, replaced before painted).
        std::fprintf(stderr, "   player: %g frames dropped by the engine, %g replaced in the mailbox\n", byEngine,
                     dropped - byEngine);
        players.clear();
        windows.clear();
        settle(500);
        return v;
    };
    auto mpvCase = [&](const QList<QStringList>& instances) {
        std::vector<std::unique_ptr<QProcess>> procs;
        QStringList sockets;
        for (const QStringList& i : instances) {
            const QString socket = dir.filePath(QStringLiteral("mpv%1.socket").arg(sockets.size()));
            sockets << socket;
            if (auto p = startMpv(url, i.first(), i.mid(1) << QStringLiteral("--input-ipc-server=") + socket))
                procs.push_back(std::move(p));
        }
        if (procs.size() != std::size_t(instances.size()))
            return failedSample;
        const double v = sample(seconds, [&] {
            double sum = 0;
            for (const auto& p : procs)
                sum += childCpuSeconds(p->processId());
            return sum;
        });
        dropped = 0;
        for (const QString& socket : std::as_const(sockets))
            for (const char* name : {"frame-drop-count", "decoder-frame-drop-count"})
                dropped += double(std::max<qint64>(mpvProperty(socket, name), 0));
        for (const auto& p : procs) {
            p->terminate();
            p->waitForFinished(5000);
        }
        return v;
    };

    struct Case {
        QString key;
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
        {QStringLiteral("embedded"), QStringLiteral("embedded %1x%2, 1080p30 H.264").arg(embedded.width()).arg(embedded.height()),
         [&] { return playerCase(1, 0, false); },
         {{QStringLiteral("mpv --vo=x11"), [&] { return mpvCase({{QStringLiteral("x11"), geometry}}); }},
          {QStringLiteral("mpv --vo=gpu --gpu-sw=yes"),
           [&] { return mpvCase({{QStringLiteral("gpu"), QStringLiteral("--gpu-sw=yes"), geometry}}); }}}},
        {QStringLiteral("fullscreen"), QStringLiteral("full screen %1x%2, 1080p30 H.264").arg(screen.width()).arg(screen.height()),
         [&] { return playerCase(1, 0, true); },
         {{QStringLiteral("mpv --vo=x11 --fs"), [&] { return mpvCase({{QStringLiteral("x11"), QStringLiteral("--fs")}}); }},
          {QStringLiteral("mpv --vo=gpu --gpu-sw=yes --fs"),
           [&] { return mpvCase({{QStringLiteral("gpu"), QStringLiteral("--gpu-sw=yes"), QStringLiteral("--fs")}}); }}}},
        {QStringLiteral("embedded-busy"),
         QStringLiteral("embedded %1x%2, 1080p30 H.264, one core busy").arg(embedded.width()).arg(embedded.height()),
         [&] {
             BusyCore busy(self);
             return playerCase(1, 0, false);
         },
         {{QStringLiteral("mpv --vo=x11"),
           [&] {
               BusyCore busy(self);
               return mpvCase({{QStringLiteral("x11"), geometry}});
           }},
          {QStringLiteral("mpv --vo=gpu --gpu-sw=yes"),
           [&] {
               BusyCore busy(self);
               return mpvCase({{QStringLiteral("gpu"), QStringLiteral("--gpu-sw=yes"), geometry}});
           }}}},
        {QStringLiteral("fullscreen-busy"),
         QStringLiteral("full screen %1x%2, 1080p30 H.264, one core busy").arg(screen.width()).arg(screen.height()),
         [&] {
             BusyCore busy(self);
             return playerCase(1, 0, true);
         },
         {{QStringLiteral("mpv --vo=x11 --fs"),
           [&] {
               BusyCore busy(self);
               return mpvCase({{QStringLiteral("x11"), QStringLiteral("--fs")}});
           }},
          {QStringLiteral("mpv --vo=gpu --gpu-sw=yes --fs"),
           [&] {
               BusyCore busy(self);
               return mpvCase({{QStringLiteral("gpu"), QStringLiteral("--gpu-sw=yes"), QStringLiteral("--fs")}});
           }}}},
        {QStringLiteral("hidden"), QStringLiteral("1 shown + 7 hidden players, 1080p30 H.264"),
         [&] { return playerCase(1, 7, false); },
         {{QStringLiteral("1 mpv --vo=x11 + 7 mpv --vo=null"), [&] { return mpvCase(eightHidden); }}}},
    };

    // Which player: its video path and the screen's scale.
    const qreal scale = QGuiApplication::primaryScreen()->devicePixelRatio();
    const QString how = QStringLiteral(" [%1%2]")
                            .arg(videoPath() == VideoPath::OpenGL ? QStringLiteral("opengl") : QStringLiteral("software"))
                            .arg(scale != 1.0 ? QStringLiteral(", scale %1").arg(scale) : QString());
    for (const Case& c : cases) {
        if (!only.contains(c.key))
            continue;
        QList<double> subject, subjectDrops;
        QList<QList<double>> refs(c.references.size()), refDrops(c.references.size());
        auto runPlayer = [&] {
            subject << c.player();
            subjectDrops << dropped;
        };
        for (int round = 0; round < rounds; ++round) {
            // Alternate which side goes first.
            if (round % 2 == 0)
                runPlayer();
            for (qsizetype r = 0; r < c.references.size(); ++r) {
                refs[r] << c.references.at(r).second();
                refDrops[r] << dropped;
            }
            if (round % 2 == 1)
                runPlayer();
        }
        for (qsizetype r = 0; r < c.references.size(); ++r) {
            printRow({QStringLiteral("steady playback, CPU s/min"), c.name + how, QStringLiteral("s"), stats(subject),
                      c.references.at(r).first, stats(refs.at(r))});
            printRow({QStringLiteral("steady playback, frames dropped"), c.name + how, QStringLiteral("frames"),
                      stats(subjectDrops), c.references.at(r).first, stats(refDrops.at(r))});
        }
    }
    return 0;
}
