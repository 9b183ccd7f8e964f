// Start-up cost of the catalogues.
//
//   cmake -S . -B build-rel -DMIRAVON_WERROR=ON -DCMAKE_BUILD_TYPE=Release && cmake --build build-rel --target bench_catalogue
//   QT_QPA_PLATFORM=offscreen ./build-rel/bench_catalogue [runs]
//
// Prints, in milliseconds (minimum and median over the runs):
// - parse: reading the five built-in tables into the catalogue (goal < 5 ms);
// - windows: creating and loading all twelve windows, with the 1,226 labels
//   and pictures of the panels and pages (goal < 150 ms). The players are
//   stand-ins that draw nothing, so that the figure is the windows' own.
// - find: one keystroke in the find box, from the key to the results
//   listed, over every entry and film (goal < 16 ms, one frame); each
//   query typed a letter at a time, as a user types it, on a box that has
//   answered before.
#include "catalogue.h"
#include "findbox.h"
#include "finder.h"
#include "viewerwindow.h"
#include "fakeplayer.h"
#include "player.h"
#include "program.h"
#include "windowid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Figures {
    double first; // the cold run, as at a real start-up
    double min;
    double median;
    double p90;
};

Figures summarise(std::vector<double> ms)
{
    const double first = ms.front();
    std::sort(ms.begin(), ms.end());
    const std::size_t n = ms.size();
    const double median = n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2;
    return {first, ms.front(), median, ms[std::min(n - 1, (9 * n + 9) / 10 - 1)]};
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Keep the user's own address file out of the measurement.
    qputenv("XDG_CONFIG_HOME", "/nonexistent");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 20;

    useFakePlayers();

    QElapsedTimer t;
    t.start();
    const miravon::catalogue::Tables tables = miravon::catalogue::builtInTables();
    const double read = t.nsecsElapsed() / 1e6;

    std::vector<double> parse;
    qsizetype labels = 0;
    for (int i = 0; i < runs; ++i) {
        t.restart();
        QStringList errors;
        const auto c = miravon::catalogue::parse(tables, &errors);
        parse.push_back(t.nsecsElapsed() / 1e6);
        labels = c.labels.size();
        if (!errors.isEmpty()) {
            std::fprintf(stderr, "catalogue errors: %s\n", qUtf8Printable(errors.join(QLatin1Char('\n'))));
            return 1;
        }
    }

    std::vector<double> windows;
    for (int i = 0; i < runs; ++i) {
        t.restart();
        {
            miravon::Program program([] {});
            for (miravon::WindowId id : miravon::allWindows)
                (void)program.window(id);
            windows.push_back(t.nsecsElapsed() / 1e6);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // One keystroke at a time, as typed; a letter is also taken back.
    std::vector<double> keys;
    {
        miravon::Program program([] {});
        miravon::ViewerWindow& viewer = program.viewer(miravon::WindowId::frmmain);
        viewer.openFind();
        QLineEdit* field = viewer.findBox()->field();
        const QStringList queries = {QStringLiteral("germany"), QStringLiteral("duc"), QStringLiteral("rai news"),
                                     QStringLiteral("tham tu lung danh"), QStringLiteral("vtv1"),
                                     QStringLiteral("cnn"), QStringLiteral("a"), QStringLiteral("zzqx")};
        for (int round = 0; round <= runs; ++round) {
            for (const QString& q : queries) {
                for (qsizetype n = 1; n <= q.size(); ++n) {
                    t.restart();
                    field->setText(q.left(n));
                    if (round > 0) // the first round warms up
                        keys.push_back(t.nsecsElapsed() / 1e6);
                }
                t.restart();
                field->setText(q.left(q.size() - 1));
                if (round > 0)
                    keys.push_back(t.nsecsElapsed() / 1e6);
                field->clear();
            }
        }
    }

    const Figures p = summarise(parse), w = summarise(windows), k = summarise(keys);
    std::printf("tables read from resources: %.2f ms\n", read);
    std::printf("parse (%lld labels): first %.2f ms, min %.2f ms, median %.2f ms over %d runs (goal < 5 ms)\n",
                static_cast<long long>(labels), p.first, p.min, p.median, runs);
    std::printf("all twelve windows created and loaded: first %.1f ms, min %.1f ms, median %.1f ms over %d runs "
                "(goal < 150 ms)\n",
                w.first, w.min, w.median, runs);
    std::printf("one keystroke in the find box, answered and listed: min %.2f ms, median %.2f ms, p90 %.2f ms "
                "over %zu keystrokes (goal < 16 ms)\n",
                k.min, k.median, k.p90, keys.size());
    // The same, as rows of the table `make bench` prints (bench/run.sh).
    auto row = [runs](const char* name, const Figures& f) {
        std::printf("ROW\tcatalogue\t%s (first %.1f)\tms\t%d\t%.1f / %.1f / %.1f\t-\t-\t-\n", name, f.first, runs,
                    f.min, f.median, f.p90);
    };
    row("parse the built-in tables", p);
    row("create and load all twelve windows", w);
    std::printf("ROW\tcatalogue\tone keystroke in the find box, answered and listed\tms\t%zu\t%.2f / %.2f / %.2f\t-\t-\t-\n",
                keys.size(), k.min, k.median, k.p90);
    return 0;
}
