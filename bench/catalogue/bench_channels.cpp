// What the channels of the user's lists cost: about 15,000 streams over
// every country, as the public per-country lists and their sub-lists give
// them, generated here into a config folder of the benchmark's own.
//
//   QT_QPA_PLATFORM=offscreen ./build/bench_channels [rounds]
//
// Rows (the figures with the lists against the same without them, same
// harness, same process unless said; first rounds warm up):
// - start-up: the program made and its twelve windows created and loaded,
//   on the UI thread, until its first event;
// - channels arriving, UI thread: what the UI thread does when the read
//   channels are handed over (the panels' links, the chooser's countries);
//   together with the row above, the start-up's whole extra cost (goal:
//   ≤ 50 ms more);
// - channels read, off the UI thread: from the program's making to the
//   channels handed over (the reading thread's wall time; the windows
//   answer meanwhile);
// - RSS: a fresh process for each sample, the windows loaded and the
//   channels arrived, freed heap given back (goal: ≤ 50 MiB more);
// - a 600-channel country list opened: from the link's action to the list
//   painted (goal: ≤ 50 ms);
// - one keystroke in the find box over every entry, film and channel,
//   answered and listed (goal: ≤ 16 ms).
#include "channellist.h"
#include "common.h"
#include "fakeplayer.h"
#include "findbox.h"
#include "listfixture.h"
#include "program.h"
#include "viewerwindow.h"
#include "windowid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <random>

using namespace miravon;

namespace {

// Every country the locale data knows, the catalogue's among them; the
// USA with 600 channels that match no entry, Vietnam with 63; the others
// between 12 and 71; one to three streams a channel; about 15,000 streams.
QList<catalogue::ListChannel> generate(qsizetype* streams)
{
    std::mt19937 random(20240611);
    QStringList codes;
    for (int t = 1; t <= int(QLocale::LastTerritory); ++t) {
        const QString code = QLocale::territoryToCode(QLocale::Territory(t));
        if (code.size() == 2 && !codes.contains(code))
            codes << code;
    }
    const QStringList groups = {"News", "Entertainment", "Music", "Sports", "Kids", "Religious", "General", ""};
    const QStringList words = {"TV", "Channel", "News", "Live", "One", "Plus", "Sport", "Music", "Kids", "Cinema",
                               "Radio", "24", "Info", "Star", "Nova", "City", "Prime", "Max", "Vision", "Sat"};
    QList<catalogue::ListChannel> out;
    *streams = 0;
    for (const QString& code : std::as_const(codes)) {
        const int channels = code == u"US" ? 600 : code == u"VN" ? 63 : int(12 + random() % 60);
        for (int i = 0; i < channels; ++i) {
            const QString name = QStringLiteral("%1 %2 %3")
                                     .arg(words.at(int(random() % words.size())), code)
                                     .arg(i + 1);
            // Most have one stream; one in four two or three.
            const int count = random() % 4 == 0 ? int(2 + random() % 2) : 1;
            catalogue::ListChannel c = fixture::channel(code, name, count, groups.at(int(random() % groups.size())),
                                                        random() % 3 == 0 ? QStringLiteral("1080p") : QString());
            c.tvgId = QStringLiteral("%1.%2@SD").arg(QString(name).remove(u' '), code.toLower());
            c.key = catalogue::channelKey(code, c.tvgId, name);
            c.logo = QStringLiteral("https://logos.example.org/channels/%1/%2.png").arg(code.toLower()).arg(i + 1);
            for (catalogue::ListStream& s : c.streams) {
                s.list = QStringLiteral("https://lists.example.org/iptv/countries/%1.m3u").arg(code.toLower());
                s.address.url = QStringLiteral("https://cdn%1.stream.example.net/live/%2/%3/index.m3u8?token=abc")
                                    .arg(random() % 9)
                                    .arg(code.toLower())
                                    .arg(random());
            }
            *streams += c.streams.size();
            out << c;
        }
    }
    return out;
}

void useFolders(const QString& home)
{
    qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_DATA_HOME", (home + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CACHE_HOME", (home + QStringLiteral("/cache")).toUtf8());
}

void waitForChannels(Program& program)
{
    while (!program.catalogue().channelsRead())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// The CPU time of the calling thread, in ms: what the UI thread itself
// spent, whatever else the machine ran meanwhile.
double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct StartUp {
    double windows = 0;    // ms, wall, UI thread
    double windowsCpu = 0; // ms, the UI thread's CPU time
    double arriving = 0;
    double read = 0; // ms, wall, until handed over
};

StartUp startUp()
{
    QElapsedTimer t;
    t.start();
    const double cpu = threadCpuMs();
    StartUp s;
    {
        Program program([] {});
        QElapsedTimer handling;
        QObject::connect(&program.catalogue(), &catalogue::RunningCatalogue::channelsChanged, &program,
                         [&] { handling.start(); });
        for (WindowId id : allWindows)
            (void)program.window(id);
        s.windows = t.nsecsElapsed() / 1e6;
        s.windowsCpu = threadCpuMs() - cpu;
        QObject::connect(&program.catalogue(), &catalogue::RunningCatalogue::channelsChanged, &program, [&] {
            s.arriving = handling.nsecsElapsed() / 1e6;
            s.read = t.nsecsElapsed() / 1e6;
        });
        waitForChannels(program);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return s;
}

// The child of one RSS sample: prints its RSS in KiB.
int rssChild()
{
    Program program([] {});
    for (WindowId id : allWindows)
        (void)program.window(id);
    waitForChannels(program);
    QCoreApplication::processEvents();
    bench::trimHeap();
    std::printf("%ld\n", bench::residentKiB());
    return 0;
}

double rssSample(const QString& home)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--rss")});
    if (!child.waitForFinished(120000))
        return bench::failedSample;
    return child.readAllStandardOutput().trimmed().toLong() / 1024.0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    useFakePlayers();
    if (app.arguments().contains(QStringLiteral("--rss")))
        return rssChild();
    const int rounds = argc > 1 ? std::max(3, atoi(argv[1])) : 12;

    QTemporaryDir dir;
    const QString none = dir.filePath(QStringLiteral("none"));
    const QString lists = dir.filePath(QStringLiteral("lists"));
    qsizetype streams = 0;
    const QList<catalogue::ListChannel> channels = generate(&streams);
    if (!fixture::writeChannels(channels, lists + QStringLiteral("/config/miravon"))) {
        std::fprintf(stderr, "could not write the channels\n");
        return 1;
    }
    std::printf("%lld channels, %lld streams, over every country\n", qint64(channels.size()), qint64(streams));

    // Start-up, alternating, the first round of each a warm-up.
    QList<double> windowsNone, windowsLists, cpuNone, cpuLists, arriving, read;
    for (int round = 0; round <= rounds; ++round) {
        for (bool withLists : {round % 2 == 0, round % 2 != 0}) {
            useFolders(withLists ? lists : none);
            const StartUp s = startUp();
            if (round == 0)
                continue;
            (withLists ? windowsLists : windowsNone) << s.windows;
            (withLists ? cpuLists : cpuNone) << s.windowsCpu;
            if (withLists) {
                arriving << s.arriving;
                read << s.read;
            }
        }
    }
    const QString withCase = QStringLiteral("%1 list streams").arg(streams);
    bench::printRow({QStringLiteral("channels"), QStringLiteral("start-up: program and twelve windows, ") + withCase,
                     QStringLiteral("ms"), bench::stats(windowsLists), QStringLiteral("no lists"),
                     bench::stats(windowsNone)});
    bench::printRow({QStringLiteral("channels"), QStringLiteral("start-up, the UI thread's CPU time, ") + withCase,
                     QStringLiteral("ms"), bench::stats(cpuLists), QStringLiteral("no lists"), bench::stats(cpuNone)});
    bench::printRow({QStringLiteral("channels"), QStringLiteral("channels arriving, UI thread"), QStringLiteral("ms"),
                     bench::stats(arriving), {}, {}});
    bench::printRow({QStringLiteral("channels"), QStringLiteral("channels read, off the UI thread (wall)"),
                     QStringLiteral("ms"), bench::stats(read), {}, {}});

    // RSS, fresh processes, alternating.
    const int rssRuns = std::max(3, qEnvironmentVariableIntValue("BENCH_RUNS"));
    QList<double> rssNone, rssLists;
    for (int i = 0; i < rssRuns; ++i) {
        rssNone << rssSample(none);
        rssLists << rssSample(lists);
    }
    bench::printRow({QStringLiteral("channels"), QStringLiteral("RSS, windows loaded, ") + withCase,
                     QStringLiteral("MiB"), bench::stats(rssLists), QStringLiteral("no lists"), bench::stats(rssNone)});

    // The USA's 600 other channels, opened from usa1_'s link and painted.
    useFolders(lists);
    QList<double> opens, keys;
    {
        Program program([] {});
        waitForChannels(program);
        program.show(WindowId::frmmain);
        for (const QString& p : program.viewer(WindowId::frmmain).panelNames())
            program.setPanelVisible(WindowId::frmmain, p, p == QLatin1String("usa1_"));
        ViewerWindow& viewer = program.viewer(WindowId::frmmain);
        QCoreApplication::processEvents();
        OtherChannelsLink* link = viewer.otherChannelsLink(QStringLiteral("usa1_"));
        std::printf("the USA's link: %s\n", qPrintable(link->text()));
        for (int round = 0; round <= rounds; ++round) {
            QElapsedTimer t;
            t.start();
            link->click();
            (void)viewer.channelList()->grab();
            if (round > 0)
                opens << t.nsecsElapsed() / 1e6;
            viewer.closeChannelList();
            QCoreApplication::processEvents();
        }

        // One keystroke at a time, as typed; a letter taken back too.
        viewer.openFind();
        QLineEdit* field = viewer.findBox()->field();
        const QStringList queries = {QStringLiteral("germany"), QStringLiteral("news 24"), QStringLiteral("rai news"),
                                     QStringLiteral("vtv"), QStringLiteral("channel us 5"), QStringLiteral("a"),
                                     QStringLiteral("kenya"), QStringLiteral("zzqx")};
        for (int round = 0; round <= rounds; ++round) {
            for (const QString& q : queries) {
                for (qsizetype n = 1; n <= q.size(); ++n) {
                    QElapsedTimer t;
                    t.start();
                    field->setText(q.left(n));
                    if (round > 0)
                        keys << t.nsecsElapsed() / 1e6;
                }
                QElapsedTimer t;
                t.start();
                field->setText(q.left(q.size() - 1));
                if (round > 0)
                    keys << t.nsecsElapsed() / 1e6;
                field->clear();
            }
        }
    }
    bench::printRow({QStringLiteral("channels"), QStringLiteral("a 600-channel country list opened and painted"),
                     QStringLiteral("ms"), bench::stats(opens), {}, {}});
    bench::printRow({QStringLiteral("channels"),
                     QStringLiteral("one keystroke in the find box over every entry and channel"),
                     QStringLiteral("ms"), bench::stats(keys), {}, {}});
    return 0;
}
