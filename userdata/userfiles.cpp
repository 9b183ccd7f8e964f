#include "userfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <mutex>

#include <climits>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace miravon::files {
namespace {

const QString journalName = QStringLiteral(".transaction");
const QString lockName = QStringLiteral(".lock");
const QByteArray journalMagic = "miravon transaction 1";

// The test seam: one pending fault at a time.
struct Fault {
    Op op = Op::Write;
    int remaining = 0;
    int error = 0;
};
std::mutex faultMutex;
std::optional<Fault> pendingFault;

bool injected(Op op)
{
    const std::lock_guard lock(faultMutex);
    if (!pendingFault || pendingFault->op != op || --pendingFault->remaining > 0)
        return false;
    errno = pendingFault->error;
    pendingFault.reset();
    return true;
}

QByteArray native(const QString& path) { return QFile::encodeName(path); }

QString why(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// The calls every change goes through, so that a test can fail any of them.
bool writeAll(int fd, const QByteArray& data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        if (injected(Op::Write))
            return false;
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

bool syncFd(int fd)
{
    if (injected(Op::Sync))
        return false;
    return ::fsync(fd) == 0;
}

bool syncFolder(const QString& dir)
{
    const int fd = ::open(native(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = syncFd(fd);
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return ok;
}

bool renameFile(const QString& from, const QString& to)
{
    if (injected(Op::Rename))
        return false;
    return ::rename(native(from).constData(), native(to).constData()) == 0;
}

// Removing what is not there is no failure.
bool removeFile(const QString& path)
{
    if (injected(Op::Remove))
        return false;
    return ::unlink(native(path).constData()) == 0 || errno == ENOENT;
}

bool exists(const QString& path)
{
    struct stat st;
    return ::lstat(native(path).constData(), &st) == 0;
}

bool isLink(const QString& path)
{
    struct stat st;
    return ::lstat(native(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

QString sizeText(qint64 bytes) { return QLocale::c().formattedDataSize(bytes, 0, QLocale::DataSizeIecFormat); }

// Writes `path` whole and syncs it; the mode of `modelPath` is kept when that
// file exists (a file the user made private stays private).
bool writeSynced(const QString& path, const QByteArray& data, const QString& modelPath, QString* error)
{
    const int fd = ::open(native(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        *error = QStringLiteral("%1: cannot be written (%2)").arg(path, why(errno));
        return false;
    }
    struct stat model;
    if (!modelPath.isEmpty() && ::stat(native(modelPath).constData(), &model) == 0)
        (void)::fchmod(fd, model.st_mode & 07777);
    const bool ok = writeAll(fd, data) && syncFd(fd);
    const int saved = errno;
    if (::close(fd) != 0 && ok) {
        *error = QStringLiteral("%1: cannot be written (%2)").arg(path, why(errno));
        return false;
    }
    if (!ok)
        *error = QStringLiteral("%1: cannot be written (%2)").arg(path, why(saved));
    return ok;
}

// One step of a journal.
struct JournalStep {
    QByteArray verb; // backup, emptybackup, install, restore, drop, remove
    QString name;
};

QList<JournalStep> parseJournal(const QByteArray& text, bool* ok)
{
    QList<JournalStep> steps;
    const QList<QByteArray> lines = text.split('\n');
    *ok = !lines.isEmpty() && lines.first() == journalMagic;
    for (qsizetype i = 1; *ok && i < lines.size(); ++i) {
        const QByteArray& line = lines.at(i);
        if (line.isEmpty())
            continue;
        const qsizetype blank = line.indexOf(' ');
        const QString name = QString::fromUtf8(line.mid(blank + 1));
        if (blank <= 0 || name.isEmpty() || name.contains(u'/')) {
            *ok = false;
            break;
        }
        steps.append({line.left(blank), name});
    }
    return steps;
}

// The journal of `dir`, if one is there. A journal that cannot be read as
// one is no commit (the rename that makes it is atomic, so this is only a
// file someone else put there).
std::optional<QList<JournalStep>> journalOf(const QString& dir)
{
    QByteArray text;
    QString error;
    if (readRegularFile(dir + u'/' + journalName, 64 * 1024, &text, &error) != ReadResult::Ok)
        return std::nullopt;
    bool ok = false;
    const QList<JournalStep> steps = parseJournal(text, &ok);
    return ok ? std::optional(steps) : std::nullopt;
}

// Carries out the steps of a committed journal; each can be done again.
bool rollForward(const QString& dir, const QList<JournalStep>& steps, QString* error)
{
    for (const JournalStep& s : steps) {
        const QString path = dir + u'/' + s.name;
        const QString bak = path + QStringLiteral(".bak");
        const QString fresh = path + QStringLiteral(".new");
        bool ok = true;
        if (s.verb == "backup") {
            if (exists(fresh) && exists(path))
                ok = renameFile(path, bak);
        } else if (s.verb == "emptybackup") {
            if (exists(bak + QStringLiteral(".new")))
                ok = renameFile(bak + QStringLiteral(".new"), bak);
        } else if (s.verb == "install") {
            if (exists(fresh))
                ok = renameFile(fresh, path);
        } else if (s.verb == "restore") {
            if (exists(bak))
                ok = renameFile(bak, path);
        } else if (s.verb == "drop") {
            if (exists(bak))
                ok = removeFile(path) && removeFile(bak);
        } else if (s.verb == "remove") {
            ok = removeFile(path);
        }
        if (!ok) {
            *error = QStringLiteral("%1: cannot be changed (%2)").arg(path, why(errno));
            return false;
        }
    }
    if (!syncFolder(dir) || !removeFile(dir + u'/' + journalName) || !syncFolder(dir)) {
        *error = QStringLiteral("%1: cannot be synced (%2)").arg(dir, why(errno));
        return false;
    }
    return true;
}

// Where NAME (or NAME.bak) of `dir` is to be read while `steps` are carried
// out; empty when it is gone in the committed state.
QString committedPath(const QString& dir, const QString& name, const QList<JournalStep>& steps)
{
    const QString path = dir + u'/' + name;
    for (const JournalStep& s : steps) {
        const QString target = dir + u'/' + s.name;
        const QString bak = target + QStringLiteral(".bak");
        if (name == s.name) {
            if (s.verb == "install" && exists(target + QStringLiteral(".new")))
                return target + QStringLiteral(".new");
            if (s.verb == "restore" && exists(bak))
                return bak;
            if ((s.verb == "drop" && exists(bak)) || s.verb == "remove")
                return {};
        } else if (name == s.name + QStringLiteral(".bak")) {
            // The old NAME becomes NAME.bak while NAME.new is still waiting.
            if (s.verb == "backup" && exists(target + QStringLiteral(".new")) && exists(target))
                return target;
            if (s.verb == "emptybackup" && exists(bak + QStringLiteral(".new")))
                return bak + QStringLiteral(".new");
            if (s.verb == "restore" || s.verb == "drop")
                return {};
        }
    }
    return path;
}

} // namespace

FolderLock::FolderLock(int fd)
    : fd_(fd)
{
}

FolderLock::~FolderLock()
{
    if (fd_ >= 0)
        ::close(fd_); // releases the flock
}

std::unique_ptr<FolderLock> FolderLock::take(const QString& dir, int waitMs, bool* busy, QString* error)
{
    *busy = false;
    if (!QDir().mkpath(dir)) {
        *error = QStringLiteral("%1: cannot be created").arg(dir);
        return nullptr;
    }
    const QString path = dir + u'/' + lockName;
    const int fd = ::open(native(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        *error = QStringLiteral("%1: cannot be opened (%2)").arg(path, why(errno));
        return nullptr;
    }
    // flock() belongs to the open file: a second thread of this process
    // with its own descriptor waits like another process would.
    QDeadlineTimer deadline(std::max(0, waitMs));
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return std::unique_ptr<FolderLock>(new FolderLock(fd));
        if (errno != EWOULDBLOCK && errno != EINTR) {
            *error = QStringLiteral("%1: cannot be locked (%2)").arg(path, why(errno));
            ::close(fd);
            return nullptr;
        }
        if (deadline.hasExpired()) {
            *busy = true;
            ::close(fd);
            return nullptr;
        }
        QThread::msleep(std::min<qint64>(50, std::max<qint64>(1, deadline.remainingTime())));
    }
}

Transaction::Transaction(QString dir)
    : dir_(std::move(dir))
{
}

void Transaction::replace(const QString& name, const QByteArray& content, bool keepBackup)
{
    steps_.append({keepBackup ? Step::ReplaceKeepingBackup : Step::Replace, name, content});
}

void Transaction::restoreBackup(const QString& name) { steps_.append({Step::Restore, name, {}}); }

void Transaction::remove(const QString& name) { steps_.append({Step::Remove, name, {}}); }

Transaction::Outcome Transaction::commit(QString* error)
{
    QList<QString> written; // dropped again if the commit does not happen
    auto abandon = [&] {
        for (const QString& p : std::as_const(written))
            (void)::unlink(native(p).constData());
        return Outcome::Failed;
    };
    // Checked before anything is written: the change is then refused whole.
    for (const Step& s : std::as_const(steps_)) {
        const QString path = dir_ + u'/' + s.name;
        if (isLink(path)) {
            *error = QStringLiteral("%1: is a symbolic link; a change of several files is made only in one folder, "
                                    "so it is not written (put the file itself in the link's place)")
                         .arg(path);
            return Outcome::Failed;
        }
        if (isReadOnly(path)) {
            *error = QStringLiteral("%1: is read-only; not written").arg(path);
            return Outcome::Failed;
        }
    }
    QByteArray journal = journalMagic + '\n';
    for (const Step& s : std::as_const(steps_)) {
        const QString path = dir_ + u'/' + s.name;
        const QString bak = path + QStringLiteral(".bak");
        switch (s.kind) {
        case Step::Replace:
        case Step::ReplaceKeepingBackup:
            written << path + QStringLiteral(".new");
            if (!writeSynced(path + QStringLiteral(".new"), s.content, path, error))
                return abandon();
            if (s.kind == Step::ReplaceKeepingBackup) {
                if (exists(path)) {
                    journal += "backup " + s.name.toUtf8() + '\n';
                } else {
                    written << bak + QStringLiteral(".new");
                    if (!writeSynced(bak + QStringLiteral(".new"), {}, {}, error))
                        return abandon();
                    journal += "emptybackup " + s.name.toUtf8() + '\n';
                }
            }
            journal += "install " + s.name.toUtf8() + '\n';
            break;
        case Step::Restore: {
            struct stat st;
            if (::stat(native(bak).constData(), &st) != 0)
                break;
            journal += (st.st_size == 0 ? "drop " : "restore ") + s.name.toUtf8() + '\n';
            break;
        }
        case Step::Remove:
            journal += "remove " + s.name.toUtf8() + '\n';
            break;
        }
    }
    const QString journalPath = dir_ + u'/' + journalName;
    written << journalPath + QStringLiteral(".new");
    if (!writeSynced(journalPath + QStringLiteral(".new"), journal, {}, error))
        return abandon();
    if (!syncFolder(dir_)) {
        *error = QStringLiteral("%1: cannot be synced (%2)").arg(dir_, why(errno));
        return abandon();
    }
    // The commit.
    if (!renameFile(journalPath + QStringLiteral(".new"), journalPath)) {
        *error = QStringLiteral("%1: cannot be written (%2)").arg(journalPath, why(errno));
        return abandon();
    }
    bool ok = false;
    const QList<JournalStep> steps = parseJournal(journal, &ok);
    return rollForward(dir_, steps, error) ? Outcome::Done : Outcome::DoneLater;
}

bool recover(const QString& dir, QString* error)
{
    if (const auto steps = journalOf(dir))
        return rollForward(dir, *steps, error);
    // No commit: whatever a killed writer left under ".new" goes.
    const QStringList leftovers = QDir(dir).entryList({QStringLiteral("*.new"), journalName + QStringLiteral(".new")},
                                                      QDir::Files | QDir::Hidden | QDir::System);
    bool ok = true;
    for (const QString& name : leftovers)
        ok = removeFile(dir + u'/' + name) && ok;
    if (!ok)
        *error = QStringLiteral("%1: left-over files cannot be removed (%2)").arg(dir, why(errno));
    (void)::unlink(native(dir + u'/' + journalName).constData()); // a journal that is none
    return ok;
}

ReadResult readCommitted(const QString& dir, const QString& name, qint64 maxBytes, QByteArray* out, QString* error)
{
    // A writer may move the file between the look at the journal and the
    // read: look again.
    ReadResult result = ReadResult::Missing;
    for (int attempt = 0; attempt < 5; ++attempt) {
        const auto steps = journalOf(dir);
        const QString path = steps ? committedPath(dir, name, *steps) : dir + u'/' + name;
        if (path.isEmpty())
            return ReadResult::Missing;
        if (path == dir + u'/' + name && isLink(path)) {
            // Read as the target's own folder has it committed.
            const Place target = resolve(dir, name);
            if (target.isEmpty()) {
                out->clear();
                *error = QStringLiteral("is a symbolic link in a loop; not read");
                return ReadResult::Failed;
            }
            return readCommitted(target.dir, target.name, maxBytes, out, error);
        }
        if (injected(Op::Read)) {
            out->clear();
            *error = QStringLiteral("cannot be read (%1)").arg(why(errno));
            return ReadResult::Failed;
        }
        result = readRegularFile(path, maxBytes, out, error);
        if (result != ReadResult::Missing || !steps)
            return result;
    }
    return result;
}

bool existsCommitted(const QString& dir, const QString& name)
{
    const auto steps = journalOf(dir);
    const QString path = steps ? committedPath(dir, name, *steps) : dir + u'/' + name;
    return !path.isEmpty() && exists(path);
}

int lockWait()
{
    // The windows' thread is the thread of a graphical application; a
    // command's main thread has no window to freeze.
    const QCoreApplication* app = QCoreApplication::instance();
    const bool windows = app && app->inherits("QGuiApplication") && QThread::currentThread() == app->thread();
    return windows ? userInterfaceWaitMs : backgroundWaitMs;
}

Place resolve(const QString& dir, const QString& name)
{
    QString path = dir + u'/' + name;
    if (!isLink(path))
        return {dir, name};
    for (int hops = 0; hops < 40; ++hops) {
        char target[PATH_MAX];
        const ssize_t n = ::readlink(native(path).constData(), target, sizeof target - 1);
        if (n <= 0)
            return {};
        const QString next = QFile::decodeName(QByteArray(target, n));
        // The kernel reads ".." after a linked folder physically: the path
        // is joined, not cleaned, until the end.
        path = next.startsWith(u'/') ? next : QFileInfo(path).path() + u'/' + next;
        if (isLink(path))
            continue;
        const QFileInfo file(path);
        const QString folder = QFileInfo(file.path()).canonicalFilePath();
        return {folder.isEmpty() ? QDir::cleanPath(file.path()) : folder, file.fileName()};
    }
    return {};
}

bool isReadOnly(const QString& path)
{
    struct stat st;
    if (::stat(native(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    // The write bits first: the superuser may write any file, but a file
    // without them was still made read-only by its owner.
    if ((st.st_mode & 0222) == 0)
        return true;
    return ::access(native(path).constData(), W_OK) != 0 && errno == EACCES;
}

EditResult editFile(const QString& dir, const QString& name, qint64 maxBytes, int waitMs, const Editor& edit)
{
    using Outcome = EditResult::Outcome;
    EditResult r;
    const Place place = resolve(dir, name);
    r.path = place.isEmpty() ? dir + u'/' + name : place.path();
    if (place.isEmpty()) {
        r.error = QStringLiteral("%1: is a symbolic link in a loop; not written").arg(r.path);
        return r;
    }
    bool busy = false;
    QString why;
    const auto lock = FolderLock::take(place.dir, waitMs, &busy, &why);
    if (!lock) {
        r.outcome = busy ? Outcome::Busy : Outcome::Failed;
        r.error = busy ? QStringLiteral("%1: another change of this folder is being written").arg(place.dir) : why;
        return r;
    }
    if (!recover(place.dir, &why)) {
        r.error = why;
        return r;
    }
    QByteArray current;
    const ReadResult read = readCommitted(place.dir, place.name, maxBytes, &current, &why);
    if (read == ReadResult::Failed) {
        r.outcome = Outcome::Unreadable;
        r.error = QStringLiteral("%1: %2; it is not written over").arg(r.path, why);
        return r;
    }
    Edit e = edit(read, current);
    if (e.action == Edit::Action::Remove && place.path() != dir + u'/' + name)
        e.action = Edit::Action::Write;
    if (e.action == Edit::Action::Leave || (e.action == Edit::Action::Remove && read == ReadResult::Missing)
        || (e.action == Edit::Action::Write && read == ReadResult::Ok && e.content == current && !e.keepDamaged)) {
        r.outcome = Outcome::Unchanged;
        return r;
    }
    if (e.action == Edit::Action::Refuse) {
        r.outcome = Outcome::Refused;
        r.error = e.refusal;
        return r;
    }
    if (e.content.size() > maxBytes) {
        r.outcome = Outcome::TooLarge;
        r.error = QStringLiteral("%1: would be larger than %2, the most it is read up to; not written")
                      .arg(r.path, sizeText(maxBytes));
        return r;
    }
    if (isReadOnly(r.path)) {
        r.outcome = Outcome::ReadOnly;
        r.error = QStringLiteral("%1: is read-only; not written").arg(r.path);
        return r;
    }
    Transaction change(place.dir);
    if (e.keepDamaged && read == ReadResult::Ok)
        change.replace(place.name + QStringLiteral(".damaged"), current);
    if (e.action == Edit::Action::Remove)
        change.remove(place.name);
    else
        change.replace(place.name, e.content);
    if (change.commit(&r.error) == Transaction::Outcome::Failed)
        return r;
    // Done later still counts: every reader already sees the new content.
    r.error.clear();
    r.outcome = Outcome::Written;
    return r;
}

QThreadPool& writerThread()
{
    // Made with the application and ended with it: its destructor waits for
    // a write still being made.
    static QPointer<QThreadPool> pool;
    if (!pool) {
        pool = new QThreadPool(QCoreApplication::instance());
        pool->setMaxThreadCount(1);
    }
    return *pool;
}

void injectFault(Op op, int nth, int error)
{
    const std::lock_guard lock(faultMutex);
    pendingFault = Fault{op, std::max(1, nth), error};
}

void clearFault()
{
    const std::lock_guard lock(faultMutex);
    pendingFault.reset();
}

} // namespace miravon::files
