#include "importrunner.h"

#include "logging.h"

#include "playerview.h"
#include "folders.h"
#include "settings.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QPointer>
#include <QThread>
#include <QUrl>

#include <algorithm>

namespace miravon {

ImportRunner::ImportRunner(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<import::ImportOutcome>();
    qRegisterMetaType<import::UndoOutcome>();
    progressTimer_.setSingleShot(true);
    progressTimer_.setInterval(progressMs);
    connect(&progressTimer_, &QTimer::timeout, this, [this] {
        if (!progressPending_)
            return;
        progressPending_ = false;
        emit progress(progress_.first, progress_.second);
        progressTimer_.start();
    });
}

void ImportRunner::tellProgress(int done, int total)
{
    // The first step at once, then the latest one every progressMs.
    progress_ = {done, total};
    if (progressTimer_.isActive()) {
        progressPending_ = true;
        return;
    }
    emit progress(done, total);
    progressTimer_.start();
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

QString ImportRunner::configDir() const { return configDir_.isEmpty() ? userdata::configDir() : configDir_; }

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
    progressTimer_.stop();
    progressPending_ = false;
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
                [](ImportRunner& r, const std::pair<int, int>& p) { r.tellProgress(p.first, p.second); });
    };
    const QString dir = configDir();
    return run(Job::Update, [self, options, cancel, dir]() mutable {
        options.cancel = cancel.get();
        const import::ImportOutcome outcome = import::updateChannels(options);
        // Kept for the sources window, here off the UI thread: the last
        // attempt, with its time and what it came to; a cancel leaves the
        // files as they were.
        if (!outcome.cancelled) {
            Settings settings = Settings::load(dir);
            settings.set(setting::channelsAttempt, QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
            settings.set(setting::channelsAttemptResult, updateOutcomeText(outcome));
            QString error;
            if (!settings.save(dir, &error))
                qCWarning(lcWindows, "%s", qUtf8Printable(error));
        }
        deliver(self, outcome, [](ImportRunner& r, const import::ImportOutcome& o) {
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

QString ImportRunner::updateOutcomeText(const import::ImportOutcome& o)
{
    using Stop = import::ImportOutcome::Stop;
    if (o.status == 0) {
        QString text = QStringLiteral("Đã cập nhật: %1 kênh có địa chỉ, từ %2 danh sách.").arg(o.written).arg(o.listsRead);
        if (!o.skipped.isEmpty())
            text += QStringLiteral(" %1 danh sách không tải được (xem báo cáo).").arg(o.skipped.size());
        return text;
    }
    const QString kept = QStringLiteral("Các địa chỉ đã nhập vẫn giữ nguyên.");
    switch (o.stop) {
    case Stop::Cancelled:
        return QStringLiteral("Đã hủy cập nhật; các địa chỉ đã nhập vẫn giữ nguyên.");
    case Stop::BadInput:
        return QStringLiteral("Địa chỉ các danh sách không dùng được (cần một địa chỉ http hoặc https có chỗ cho "
                              "mã quốc gia). ")
            + kept;
    case Stop::NothingRead: {
        // The reason most lists failed for: offline, every one is the same.
        PlayFailure most = PlayFailure::None;
        qsizetype count = 0;
        for (PlayFailure f : o.fetchFailures) {
            const qsizetype n = std::count(o.fetchFailures.cbegin(), o.fetchFailures.cend(), f);
            if (n > count) {
                most = f;
                count = n;
            }
        }
        QString why;
        switch (most) {
        case PlayFailure::HostNotFound:
            why = QStringLiteral("không tìm thấy máy chủ; có thể máy chưa nối mạng");
            break;
        case PlayFailure::ConnectionRefused:
            why = QStringLiteral("máy chủ từ chối kết nối");
            break;
        case PlayFailure::TimedOut:
            why = QStringLiteral("máy chủ không trả lời kịp; có thể mạng chậm hoặc chưa nối mạng");
            break;
        case PlayFailure::None:
            why = QStringLiteral("không danh sách nào đọc được");
            break;
        default:
            why = failureText(most).toLower();
            break;
        }
        return QStringLiteral("Không tải được danh sách kênh nào (%1). ").arg(why) + kept;
    }
    case Stop::TooFew:
        return QStringLiteral("Các danh sách tải về cho ít kênh hơn một nửa so với lần trước, nên không dùng "
                              "(xem báo cáo). ")
            + kept;
    case Stop::Files:
        return QStringLiteral("Không ghi được các tệp địa chỉ vào thư mục cấu hình. ") + kept;
    case Stop::None:
        break;
    }
    return QStringLiteral("Không cập nhật được. ") + kept;
}

QString ImportRunner::sourceTemplate(const QString& configDir)
{
    return Settings::load(configDir).value(setting::channelSource, import::defaultSourceTemplate());
}

QString ImportRunner::sourceName(const QString& sourceTemplate)
{
    if (sourceTemplate.isEmpty() || sourceTemplate == import::defaultSourceTemplate())
        return QStringLiteral("iptv-org");
    QString address = sourceTemplate;
    address.replace(QLatin1String("{code}"), QLatin1String("vn"));
    const QUrl url(address);
    if (url.host().isEmpty())
        return QStringLiteral("địa chỉ bạn đặt");
    return url.port() > 0 ? QStringLiteral("%1:%2").arg(url.host()).arg(url.port()) : url.host();
}

QString ImportRunner::waitingText(int done, int total) const
{
    if (total <= 0)
        return QStringLiteral("Đang bắt đầu tải…");
    if (done >= total)
        return QStringLiteral("Đã tải %1 danh sách; đang ghi các địa chỉ…").arg(total);
    // The last few lists are the slow ones: a server that does not answer
    // is waited for up to the fetch's bounds.
    const int seconds = (limits_.totalMs > 0 ? limits_.totalMs : limits_.noProgressMs) / 1000;
    return QStringLiteral("Đã tải %1 trên %2 danh sách; đang chờ %3 danh sách còn lại trả lời "
                          "(mỗi danh sách chờ tối đa %4 giây).")
        .arg(done)
        .arg(total)
        .arg(total - done)
        .arg(seconds);
}

} // namespace miravon
