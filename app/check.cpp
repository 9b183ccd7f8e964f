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
        targets.append({label.window, label.panel, catalogue::shownCaption(label).simplified(), label.address,
                        StreamOptions{label.referrer, label.userAgent, label.origin}});
    }
    return targets;
}

int checkTargets(const QList<CheckTarget>& targets, int jobs, int boundMs, QTextStream& out)
{
    jobs = std::max(1, jobs);
    // Each distinct address (with its headers) is probed once.
    struct Job {
        QString address;
        StreamOptions options;
        bool done = false;
        PlayFailure result = PlayFailure::TimedOut;
        QString detail;
    };
    QList<Job> work;
    QList<int> jobOf;
    QHash<QString, int> seen;
    for (const CheckTarget& t : targets) {
        const QString key = t.address + QLatin1Char('\n') + t.options.referrer + QLatin1Char('\n') + t.options.userAgent;
        auto it = seen.constFind(key);
        if (it == seen.cend()) {
            it = seen.insert(key, static_cast<int>(work.size()));
            Job job;
            job.address = t.address;
            job.options = t.options;
            work.append(job);
        }
        jobOf.append(*it);
    }

    QNetworkAccessManager network;
    QEventLoop loop;
    int next = 0;
    int running = 0;
    int printed = 0;
    int working = 0;
    int standIns = 0;
    // Lines go out in the order of the targets, as soon as they are known.
    auto flush = [&] {
        while (printed < targets.size() && work[jobOf[printed]].done) {
            const CheckTarget& t = targets[printed];
            const Job& j = work[jobOf[printed]];
            QString outcome = failureCheckText(j.result);
            if (j.result != PlayFailure::None && !j.detail.isEmpty())
                outcome += QStringLiteral(" (%1)").arg(j.detail);
            working += j.result == PlayFailure::None;
            standIns += j.result == PlayFailure::NoAddressYet;
            out << oneLine(t.window) << '\t' << oneLine(t.panel) << '\t' << oneLine(t.caption) << '\t'
                << oneLine(t.address) << '\t' << oneLine(outcome) << '\n';
            printed++;
        }
        out.flush();
    };
    std::function<void()> launch = [&] {
        while (running < jobs && next < work.size()) {
            const int index = next++;
            auto* probe = new StreamCheck(&network, boundMs, &loop);
            running++;
            QObject::connect(probe, &StreamCheck::finished, &loop, [&, index, probe](PlayFailure result) {
                work[index].done = true;
                work[index].result = result;
                work[index].detail = probe->detail();
                probe->deleteLater();
                running--;
                flush();
                launch();
                if (running == 0 && next >= work.size())
                    loop.quit();
            });
            probe->start(StreamAddress{work[index].address, work[index].options});
        }
    };
    if (!work.isEmpty()) {
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
