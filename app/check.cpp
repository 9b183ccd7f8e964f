#include "check.h"

#include "catalogue.h"
#include "commands.h"
#include "streamcheck.h"
#include "waits.h"

#include <QEventLoop>
#include <QHash>
#include <QNetworkAccessManager>
#include <QTextStream>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <functional>

namespace miravon {

namespace {

constexpr int kDefaultJobs = 8;

QString oneLine(QString text)
{
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.remove(QLatin1Char('\r'));
    return text;
}

} // namespace

QList<CheckTarget> catalogueTargets(const catalogue::Catalogue& c)
{
    QList<CheckTarget> targets;
    for (const catalogue::Label& label : c.labels) {
        if (!label.clickable() || label.address.isEmpty())
            continue;
        targets.append({label.window, label.panel, catalogue::shownCaption(label).simplified(), label.streams()});
    }
    return targets;
}

int checkTargets(const QList<CheckTarget>& targets, int jobs, int boundMs, QTextStream& out)
{
    jobs = std::max(1, jobs);
    // Each distinct stream (with its headers) is probed once, when a target
    // first needs it.
    struct Job {
        StreamAddress stream;
        bool started = false;
        bool done = false;
        PlayFailure result = PlayFailure::TimedOut;
        QString detail;
    };
    struct Walk {
        QList<int> jobs;  // one per stream of the target, in order
        int at = 0;       // the stream being tried
        bool done = false;
        PlayFailure result = PlayFailure::None;
        QString detail;
        int worked = -1;  // the stream that worked
    };
    QList<Job> work;
    QList<Walk> walks;
    QHash<QString, int> seen;
    for (const CheckTarget& t : targets) {
        Walk w;
        for (const StreamAddress& s : t.streams) {
            const QString key = s.url + u'\n' + s.options.referrer + u'\n' + s.options.userAgent;
            auto it = seen.constFind(key);
            if (it == seen.cend()) {
                it = seen.insert(key, int(work.size()));
                Job job;
                job.stream = s;
                work.append(job);
            }
            w.jobs << *it;
        }
        w.done = w.jobs.isEmpty();
        w.result = w.done ? PlayFailure::NoAddressYet : PlayFailure::None;
        walks << w;
    }

    QNetworkAccessManager network;
    QEventLoop loop;
    QList<int> queue; // jobs a target waits for, in the order they were wanted
    int running = 0;
    int printed = 0;
    int working = 0;
    int standIns = 0;
    // Moves every target on past the streams already known: the next when
    // one failed, as the player does; wanted streams not yet probed queued.
    auto advance = [&] {
        for (Walk& w : walks) {
            while (!w.done) {
                const Job& j = work[w.jobs[w.at]];
                if (!j.done) {
                    if (!j.started && !queue.contains(w.jobs[w.at]))
                        queue << w.jobs[w.at];
                    break;
                }
                if (j.result == PlayFailure::None) {
                    w = Walk{w.jobs, w.at, true, PlayFailure::None, {}, w.at};
                    break;
                }
                // The reasons folded as the player folds them: the last
                // stream's, unless an earlier one's says more.
                if (++w.at < w.jobs.size()) {
                    const PlayFailure earlier = w.result;
                    w.result = moreInformative(w.result, j.result);
                    if (w.result != earlier)
                        w.detail = j.detail;
                    continue;
                }
                w.result = w.jobs.size() > 1 ? moreInformative(j.result, w.result) : j.result;
                if (w.result == j.result)
                    w.detail = j.detail;
                w.done = true;
            }
        }
    };
    // Lines go out in the order of the targets, as soon as they are known.
    auto flush = [&] {
        while (printed < targets.size() && walks[printed].done) {
            const CheckTarget& t = targets[printed];
            const Walk& w = walks[printed];
            QString outcome = failureCheckText(w.result);
            if (w.result != PlayFailure::None && !w.detail.isEmpty())
                outcome += QStringLiteral(" (%1)").arg(w.detail);
            working += w.result == PlayFailure::None;
            standIns += w.result == PlayFailure::NoAddressYet;
            const QString address = t.streams.value(std::max(w.worked, 0)).url;
            out << oneLine(t.window) << '\t' << oneLine(t.panel) << '\t' << oneLine(t.caption) << '\t'
                << oneLine(address) << '\t' << oneLine(outcome) << '\n';
            printed++;
        }
        out.flush();
    };
    std::function<void()> launch = [&] {
        while (running < jobs && !queue.isEmpty()) {
            const int index = queue.takeFirst();
            work[index].started = true;
            auto* probe = new StreamCheck(&network, boundMs, &loop);
            running++;
            QObject::connect(probe, &StreamCheck::finished, &loop, [&, index, probe](PlayFailure result) {
                work[index].done = true;
                work[index].result = result;
                work[index].detail = probe->detail();
                probe->deleteLater();
                running--;
                advance();
                flush();
                launch();
                if (running == 0 && queue.isEmpty())
                    loop.quit();
            });
            probe->start(work[index].stream);
        }
    };
    advance();
    if (!queue.isEmpty()) {
        QTimer::singleShot(0, &loop, launch);
        // Every probe has its bound; this one only guards against a probe
        // that never reports.
        const qint64 waves = (work.size() + jobs - 1) / jobs;
        QTimer::singleShot(std::chrono::milliseconds((waves + 1) * (boundMs + 2000)), &loop, &QEventLoop::quit);
        loop.exec();
    }
    // Anything still unknown (only if the guard fired) counts as timed out.
    for (Job& j : work)
        j.done = true;
    advance();
    flush();
    const qsizetype failing = targets.size() - working;
    out << QStringLiteral("%1 entries: %2 work, %3 do not").arg(targets.size()).arg(working).arg(failing);
    if (standIns > 0)
        out << QStringLiteral(" (%1 with no working address yet)").arg(standIns);
    out << '\n';
    out.flush();
    return failing == 0 ? 0 : 1;
}

int runCheck(int jobs)
{
    if (jobs < 1)
        jobs = kDefaultJobs;
    QTextStream out(stdout);
    const catalogue::RunningCatalogue running;
    return checkTargets(catalogueTargets(running.catalogue()), jobs, failureReasonWaitMs, out);
}

} // namespace miravon
