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

bool ImportRunner::importLists(const QStringList& sources, bool addToSources)
{
    import::ImportOptions options;
    options.sources = sources;
    options.addToSources = addToSources;
    options.configDir = configDir_;
    options.cacheDir = cacheDir_;
    QPointer<ImportRunner> self(this);
    return run(Job::Import, [self, options] {
        const import::ImportOutcome outcome = import::importPlaylists(options);
        QMetaObject::invokeMethod(QCoreApplication::instance(), [self, outcome] {
            if (!self)
                return;
            self->job_ = Job::None;
            if (outcome.status == 0)
                emit self->layerChanged();
            emit self->finished(Job::Import, outcome);
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
    QPointer<ImportRunner> self(this);
    const std::shared_ptr<std::atomic_bool> cancel = cancel_;
    options.progress = [self](int done, int total) {
        QMetaObject::invokeMethod(QCoreApplication::instance(), [self, done, total] {
            if (self)
                emit self->progress(done, total);
        });
    };
    return run(Job::Update, [self, options, cancel]() mutable {
        options.cancel = cancel.get();
        const import::ImportOutcome outcome = import::updateChannels(options);
        QMetaObject::invokeMethod(QCoreApplication::instance(), [self, outcome] {
            if (!self)
                return;
            self->job_ = Job::None;
            if (outcome.status == 0)
                emit self->layerChanged();
            emit self->finished(Job::Update, outcome);
        });
    });
}

bool ImportRunner::undo()
{
    const QString dir = configDir_;
    QPointer<ImportRunner> self(this);
    return run(Job::Undo, [self, dir] {
        const import::UndoOutcome outcome = import::undoImport(dir);
        QMetaObject::invokeMethod(QCoreApplication::instance(), [self, outcome] {
            if (!self)
                return;
            self->job_ = Job::None;
            if (outcome.status == 0)
                emit self->layerChanged();
            emit self->undone(outcome);
        });
    });
}

void ImportRunner::cancel()
{
    if (cancel_)
        cancel_->store(true);
}

} // namespace miravon
