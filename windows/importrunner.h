#pragma once

#include "importer.h"

#include <QObject>
#include <QStringList>

#include <atomic>
#include <memory>

namespace miravon {

// Runs the program's imports off the user-interface thread, one at a time:
// lists dropped on a window or added in the sources window, updates of the
// public channel lists, and undo. Its signals come on the thread that made
// it (the UI thread); a change of the import layer is followed by
// layerChanged(), after which the running catalogue is to be read again.
class ImportRunner : public QObject {
    Q_OBJECT
public:
    enum class Job { None, Import, Update, Undo };

    explicit ImportRunner(QObject* parent = nullptr);
    ~ImportRunner() override;

    // The folders the jobs work in (tests); the user's by default.
    void setFolders(const QString& configDir, const QString& cacheDir);
    // How each list of an update is fetched (tests shorten it).
    void setUpdateLimits(const FetchLimits& limits) { limits_ = limits; }
    // How long an update waits for its lists, all together (tests shorten it).
    void setUpdateTimeLimit(int ms) { totalMs_ = ms; }

    Job busy() const { return job_; }
    // False when another job is running: nothing is started then.
    bool importLists(const QStringList& sources, bool addToSources);
    bool updateChannels(const QString& sourceTemplate = {});
    bool undo();
    // Stops an update: nothing is changed by it.
    void cancel();

    // A job is over (its worker's outcome is here): the next may start.
    void done(Job job, bool layerChanged);

signals:
    void started(miravon::ImportRunner::Job job);
    void progress(int done, int total);
    void finished(miravon::ImportRunner::Job job, const miravon::import::ImportOutcome& outcome);
    void undone(const miravon::import::UndoOutcome& outcome);
    void layerChanged();

private:
    bool run(Job job, std::function<void()> work);

    Job job_ = Job::None;
    QString configDir_;
    QString cacheDir_;
    FetchLimits limits_ = import::listFetchLimits;
    int totalMs_ = import::updateTimeLimitMs;
    std::shared_ptr<std::atomic_bool> cancel_;
};

} // namespace miravon
