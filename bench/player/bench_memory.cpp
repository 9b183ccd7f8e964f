// Resident memory of the players as a user meets them, and its growth over
// many channel switches, against a bare engine doing the same.
//
//   bench_player_memory [--rendered] [--runs N] [--switches N]
//
// Each figure comes from a fresh child process (this program with a case
// name), so that no case inherits another's heap; each case runs N times
// (default 3) and the median is shown. Closed players are measured after a
// settling time (BENCH_SETTLE_MS, default 7000 ms), longer than the 5 s a
// player waits before it gives its engine back. With --rendered (under X)
// the players draw into their real video surface; otherwise outputs are
// null. BENCH_DUMP_SMAPS=FILE makes a case write its /proc/self/smaps there
// (a switch case also writes FILE.100 at its 100th switch), to see what
// holds the memory.

#include "common.h"
#include "subject.h"
#include "wait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGridLayout>
#include <QProcess>
#include <QWidget>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

using namespace miravon;
using namespace miravon::bench;

namespace {

constexpr int frameBoundMs = 20000;

int settleMs()
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue("BENCH_SETTLE_MS", &ok);
    return ok ? v : 7000;
}

void dumpMaps(const QString& suffix = {})
{
    const QString target = qEnvironmentVariable("BENCH_DUMP_SMAPS") + suffix;
    QFile maps(QStringLiteral("/proc/self/smaps"));
    QFile out(target);
    if (qEnvironmentVariableIsSet("BENCH_DUMP_SMAPS") && maps.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly))
        out.write(maps.readAll());
}

// One case in this process; prints "<KiB> <KiB> [<KiB>]" on stdout: for the
// switch cases RSS at the 100th switch and at the end; otherwise RSS, RSS
// after trimming the heap, and the private (anonymous) part of RSS.
int runCase(const QString& name, bool rendered, int switches)
{
    MediaServer server(0, false);
    if (!server.ok())
        return 2;
    const QString a = server.http(QStringLiteral("/clip.wmv"));
    const QString b = server.http(QStringLiteral("/clip.wmv?b"));
    QWidget window;
    auto* grid = new QGridLayout(&window);
    window.resize(960, 720);

    if (name.startsWith(QLatin1String("bare-switches"))) {
        BareEngine bare(rendered, &window);
        if (bare.surface())
            grid->addWidget(bare.surface(), 0, 0);
        window.show();
        settle(300);
        long at100 = 0;
        for (int i = 1; i <= switches; ++i) {
            bare.load(i % 2 ? a : b);
            if (!waitFor(&bare, &BareEngine::firstFrame, frameBoundMs))
                return 1;
            if (i == std::min(100, switches))
                at100 = residentKiB();
        }
        std::printf("%ld %ld\n", at100, residentKiB());
        return 0;
    }

    const int count = name == QLatin1String("idle1") || name == QLatin1String("closed1")
                          || name == QLatin1String("switches")
                      ? 1
                      : 7;
    std::vector<std::unique_ptr<Subject>> players;
    for (int i = 0; i < count; ++i) {
        players.push_back(makeSubject(&window));
        grid->addWidget(players.back()->widget(), i / 3, i % 3);
    }
    window.show();
    settle(300);
    auto play = [&](Subject& p, const QString& url) { p.setUrl(url); return waitFor(&p, subjectFirstFrame, frameBoundMs); };

    if (name == QLatin1String("switches")) {
        long at100 = 0;
        for (int i = 1; i <= switches; ++i) {
            if (!play(*players.front(), i % 2 ? a : b))
                return 1;
            if (i == std::min(100, switches)) {
                at100 = residentKiB();
                dumpMaps(QStringLiteral(".100"));
            }
        }
        dumpMaps();
        std::printf("%ld %ld\n", at100, residentKiB());
        return 0;
    }
    if (!name.startsWith(QLatin1String("idle"))) {
        for (auto& p : players) {
            if (!play(*p, a))
                return 1;
            settle(500);
            p->close();
        }
        settle(settleMs());
    }
    if (name == QLatin1String("closed7play1")) {
        if (!play(*players.front(), a))
            return 1;
        settle(1000);
    }
    const long rss = residentKiB();
    const long anon = statusKiB("RssAnon:");
    dumpMaps();
    trimHeap();
    std::printf("%ld %ld %ld\n", rss, residentKiB(), anon);
    return 0;
}

// Runs a case `runs` times in fresh processes; the figures of each, in MiB.
struct Figures {
    QList<double> first, second, third;
};
Figures measure(const QString& name, bool rendered, int runs, int switches)
{
    QList<double> first, second, third;
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QStringList args = {QStringLiteral("--case"), name, QStringLiteral("--switches"), QString::number(switches)};
        if (rendered)
            args << QStringLiteral("--rendered");
        child.start(QCoreApplication::applicationFilePath(), args);
        if (!child.waitForFinished(600000) || child.exitCode() != 0) {
            std::fprintf(stderr, "case %s failed (exit %d)\n", qPrintable(name), child.exitCode());
            first << failedSample;
            second << failedSample;
            third << failedSample;
            continue;
        }
        const QList<QByteArray> v = child.readAllStandardOutput().trimmed().split(' ');
        first << v.value(0).toLong() / 1024.0;
        second << v.value(1).toLong() / 1024.0;
        third << (v.size() > 2 ? v.value(2).toLong() / 1024.0 : failedSample);
    }
    return {first, second, third};
}

QString argText(int argc, char** argv, const char* name)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return QString::fromLocal8Bit(argv[i + 1]);
    return {};
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    initPlayback();
    bool rendered = false;
    for (int i = 1; i < argc; ++i)
        rendered = rendered || std::strcmp(argv[i], "--rendered") == 0;
    useOutputs(rendered);
    const QString runsText = argText(argc, argv, "--runs");
    const QString switchesText = argText(argc, argv, "--switches");
    const int runs = runsText.isEmpty() ? 3 : std::max(1, runsText.toInt());
    const int switches = switchesText.isEmpty() ? 1000 : std::max(1, switchesText.toInt());
    if (const QString c = argText(argc, argv, "--case"); !c.isEmpty())
        return runCase(c, rendered, switches);

    const QString outputs = rendered ? QStringLiteral("rendered") : QStringLiteral("null outputs");
    const QString memory = QStringLiteral("memory");
    const Figures idleFigures = measure(QStringLiteral("idle1"), rendered, runs, switches);
    const Stats idle = stats(idleFigures.first);
    const Stats idlePrivate = stats(idleFigures.third);
    printRow({memory, QStringLiteral("one idle player, %1").arg(outputs), QStringLiteral("MiB"), idle, {}, {}});
    const QString vsIdle = QStringLiteral("one idle player");
    for (auto [name, label] : {std::pair{"closed1", "one played-and-closed"}, {"closed7", "seven played-and-closed"},
                               {"closed7play1", "seven played-and-closed, one playing again"}}) {
        const Figures f = measure(QString::fromLatin1(name), rendered, runs, switches);
        printRow({memory, QStringLiteral("%1, %2").arg(QLatin1String(label), outputs), QStringLiteral("MiB"),
                  stats(f.first), vsIdle, idle});
        if (QLatin1String(name) == QLatin1String("closed7")) {
            printRow({memory, QStringLiteral("%1, heap trimmed, %2").arg(QLatin1String(label), outputs),
                      QStringLiteral("MiB"), stats(f.second), vsIdle, idle});
            printRow({memory, QStringLiteral("%1, private (RssAnon), %2").arg(QLatin1String(label), outputs),
                      QStringLiteral("MiB"), stats(f.third), vsIdle, idlePrivate});
        }
    }
    // Growth from switch 100 to the last, the player against the bare engine.
    auto growth = [&](const QString& name) {
        const Figures f = measure(name, rendered, 1, switches);
        QList<double> g;
        for (int i = 0; i < f.first.size(); ++i)
            g << f.second.at(i) - f.first.at(i); // NaN stays NaN
        return g;
    };
    const QList<double> player = growth(QStringLiteral("switches"));
    const QList<double> bare = growth(QStringLiteral("bare-switches"));
    printRow({memory, QStringLiteral("RSS growth, switch 100 -> %1, %2").arg(switches).arg(outputs), QStringLiteral("MiB"),
              stats(player), QStringLiteral("bare engine"), stats(bare)});
    return 0;
}
