#include "importrunner.h"

#include "logging.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>

namespace miravon {

ImportRunner::ImportRunner(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<import::ImportOutcome>();
    qRegisterMetaType<import::UndoOutcome>();
}

// A job still running goes on to its end on its own: its files are written
// as a whole or not at all, and nothing is told to an object that is gone.
ImportRunner::~ImportRunner()
{
    if (cancel_)
        cancel_->store(true);
}

void ImportRunner::setFolders(const QString& configDir, const QString& cacheDir)
{
    configDir_ = configDir;
    cacheDir_ = cacheDir;
}

bool ImportRunner::run(Job job, std::function<void()> work)
{
    if (job_ != Job::None) {
        qCDebug(lcWindows) << "an import is running; another one waits for it";
        return false;
    }
    job_ = job;
    QThread* worker = QThread::create(std::move(work));
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    emit started(job);
    worker->start();
    return true;
}

namespace {

// Hands a job's outcome to the runner on its own thread, if it is still
// there: the job is over, and the layer changed when the job says so.
template <typename Outcome, typename Tell>
void deliver(const QPointer<ImportRunner>& self, const Outcome& outcome, Tell tell)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), [self, outcome, tell] {
        if (self)
            tell(*self, outcome);
    });
}

} // namespace

void ImportRunner::done(Job job, bool changed)
{
    qCDebug(lcWindows) << "import job" << int(job) << "over; files changed:" << changed;
    job_ = Job::None;
    if (changed)
        emit layerChanged();
}

bool ImportRunner::importLists(const QStringList& sources, bool addToSources)
{
    import::ImportOptions options;
    options.sources = sources;
    options.addToSources = addToSources;
    options.configDir = configDir_;
    options.cacheDir = cacheDir_;
    QPointer<ImportRunner> self(this);
    return run(Job::Import, [self, options] {
        deliver(self, import::importPlaylists(options), [](ImportRunner& r, const import::ImportOutcome& o) {
            r.done(Job::Import, o.status == import::ImportOutcome::Done);
            emit r.finished(Job::Import, o);
        });
    });
}

bool ImportRunner::updateChannels(const QString& sourceTemplate)
{
    cancel_ = std::make_shared<std::atomic_bool>(false);
    import::UpdateOptions options;
    options.sourceTemplate = sourceTemplate;
    options.configDir = configDir_;
    options.cacheDir = cacheDir_;
    options.limits = limits_;
    options.totalMs = totalMs_;
    QPointer<ImportRunner> self(this);
    const std::shared_ptr<std::atomic_bool> cancel = cancel_;
    options.progress = [self](int done, int total) {
        deliver(self, std::pair(done, total),
                [](ImportRunner& r, const std::pair<int, int>& p) { emit r.progress(p.first, p.second); });
    };
    return run(Job::Update, [self, options, cancel]() mutable {
        options.cancel = cancel.get();
        deliver(self, import::updateChannels(options), [](ImportRunner& r, const import::ImportOutcome& o) {
            r.done(Job::Update, o.status == import::ImportOutcome::Done);
            emit r.finished(Job::Update, o);
        });
    });
}

bool ImportRunner::undo()
{
    const QString dir = configDir_;
    QPointer<ImportRunner> self(this);
    return run(Job::Undo, [self, dir] {
        deliver(self, import::undoImport(dir), [](ImportRunner& r, const import::UndoOutcome& o) {
            r.done(Job::Undo, o.status == import::UndoOutcome::Restored);
            emit r.undone(o);
        });
    });
}

void ImportRunner::cancel()
{
    if (cancel_)
        cancel_->store(true);
}

} // namespace miravon
