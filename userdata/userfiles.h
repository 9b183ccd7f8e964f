#pragma once

#include "localfile.h"

#include <QByteArray>
#include <QFutureWatcher>
#include <QList>
#include <QPromise>
#include <QString>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <optional>

// The user's files in one of the program's folders (the config folder with
// the address files, the data folder with what the user keeps), written as
// transactions: whatever fails or kills the process at any moment, a later
// reader finds either everything as it was or everything as it was meant to
// become, backups included.
//
// How: every new file is written whole under "NAME.new" and synced, and the
// folder synced; then a journal (".transaction") naming every step is put in
// place by one rename: that rename is the commit. The steps are renames and
// removals that can be done again after a kill (recover() finishes them);
// without a journal, left-over ".new" files are dropped. Readers go through
// readCommitted(), which follows a journal that is still being carried out,
// so they never see a half-applied change and never need the lock.
namespace miravon::files {

using miravon::ReadResult;
using miravon::readRegularFile;

// How long a change waits for a folder's lock, written here only. The
// user-interface thread waits briefly, so that the window never freezes (a
// change that finds the folder busy says so); any other thread waits as long
// as an import's commit may hold the folder.
inline constexpr int userInterfaceWaitMs = 200;
inline constexpr int backgroundWaitMs = 5000;
// The one of the two for the calling thread (the windows' thread of a
// graphical application, or any other).
int lockWait();

// Where NAME of `dir` is really kept: when it is a symbolic link, the file
// the link leads to (through a chain of links, relative ones read from the
// folder they are in), as that file's folder and name, whether or not the
// file exists yet; NAME of `dir` otherwise. A loop or a chain longer than
// 40 links gives an empty place.
struct Place {
    QString dir;
    QString name;
    QString path() const { return dir + u'/' + name; }
    bool isEmpty() const { return name.isEmpty(); }
};
Place resolve(const QString& dir, const QString& name);

// Whether the file at `path` exists and the person took its write
// permission away (no write bit at all, or none for this process): the
// program then never rewrites, replaces or removes it.
bool isReadOnly(const QString& path);

// The lock of one folder (".lock" inside it), held by whoever changes the
// folder's files; released when the object goes (or the process dies).
class FolderLock {
public:
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Takes the lock, waiting at most `waitMs` for another holder (another
    // process, or another thread of this one) to let go. Null when the wait
    // ran out (`busy` set) or the folder cannot be made (`error` set).
    static std::unique_ptr<FolderLock> take(const QString& dir, int waitMs, bool* busy, QString* error);

private:
    explicit FolderLock(int fd);
    int fd_ = -1;
};

// One change of several files of a folder, applied all at once or not at all.
// Its names are files of that folder: a name that is a symbolic link is
// refused (the rename would replace the link, and a change that crosses
// folders cannot be made at once), and so is a file made read-only; single
// files are written through a link by editFile(), which resolves it first.
class Transaction {
public:
    explicit Transaction(QString dir);

    // NAME gets `content`. With `keepBackup`, what NAME held before is kept
    // as NAME.bak, replacing any older one; an empty NAME.bak records that
    // there was no NAME.
    void replace(const QString& name, const QByteArray& content, bool keepBackup = false);
    // NAME.bak comes back as NAME and is used up; an empty NAME.bak (there
    // was no NAME before) removes NAME. Nothing happens without a NAME.bak.
    void restoreBackup(const QString& name);
    void remove(const QString& name);

    bool isEmpty() const { return steps_.isEmpty(); }

    enum class Outcome {
        Done,
        // Nothing changed; `error` names the file and what went wrong.
        Failed,
        // Committed, but a step after the commit failed: readers already see
        // the new state, and the next recover() finishes the steps.
        DoneLater,
    };
    // Writes and applies the change. The caller holds the folder's lock and
    // has run recover() under it.
    Outcome commit(QString* error);

private:
    struct Step {
        enum Kind { Replace, ReplaceKeepingBackup, Restore, Remove } kind;
        QString name;
        QByteArray content;
    };
    QString dir_;
    QList<Step> steps_;
};

// Finishes the transaction a killed process committed, or drops the new
// files of one it had not committed. The caller holds the folder's lock.
// False (with `error`) when a step cannot be done now.
bool recover(const QString& dir, QString* error);

// Reads NAME of `dir` as the last committed transaction leaves it, even
// while that transaction's steps are still being carried out; through a
// symbolic link, as the transactions of the target's folder leave it.
// Lock-free.
ReadResult readCommitted(const QString& dir, const QString& name, qint64 maxBytes, QByteArray* out, QString* error);
// Whether NAME exists in that state.
bool existsCommitted(const QString& dir, const QString& name);

// One file of the user's changed from what it holds now, the way every
// single-file change is made: the folder the file is really kept in (a
// symbolic link followed, resolve()) is locked, waiting at most `waitMs`;
// the file is read there as committed and handed to the editor; what the
// editor gives back is written as a transaction of that folder. Never
// written: a file that could not be read (`Unreadable`: it is never written
// over), a file made read-only, and content larger than `maxBytes`, the
// limit the file's readers read it with (`TooLarge`: no write lands past a
// reader's limit).
struct Edit {
    // Write `content`, Remove the file, Leave it as it is, or Refuse. A
    // file reached through a symbolic link is not removed (the file the
    // link leads to is the person's): `content` is written instead.
    enum class Action { Write, Remove, Leave, Refuse } action = Action::Leave;
    QByteArray content;
    // The bytes read are kept as NAME.damaged in the same change, replacing
    // an older copy: `content` leaves out rows of them that could not be read.
    bool keepDamaged = false;
    QString refusal; // with Refuse: why, for the caller to say
};
// `read` is Ok (with `current`) or Missing (no such file yet).
using Editor = std::function<Edit(ReadResult read, const QByteArray& current)>;

struct EditResult {
    enum class Outcome { Written, Unchanged, Busy, Unreadable, ReadOnly, TooLarge, Refused, Failed };
    Outcome outcome = Outcome::Failed;
    QString path;  // the file itself (a link's target)
    QString error; // what went wrong, in English; the refusal for Refused
    bool ok() const { return outcome == Outcome::Written || outcome == Outcome::Unchanged; }
};
EditResult editFile(const QString& dir, const QString& name, qint64 maxBytes, int waitMs, const Editor& edit);

// Runs `work` on the thread that writes the user's files for the windows
// (one thread, so changes are made in the order asked), never on the
// caller's; `done` hears its result on `context`'s thread, unless `context`
// is gone by then. Nothing `work` touches may belong to `context`.
QThreadPool& writerThread();
template <typename Result>
void inBackground(QObject* context, std::function<Result()> work, std::function<void(const Result&)> done)
{
    auto promise = std::make_shared<QPromise<Result>>();
    auto* watcher = new QFutureWatcher<Result>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, watcher, [watcher, done = std::move(done)] {
        if (done && watcher->future().resultCount() > 0)
            done(watcher->result());
        watcher->deleteLater();
    });
    watcher->setFuture(promise->future());
    promise->start();
    writerThread().start([promise, work = std::move(work)] {
        promise->addResult(work());
        promise->finish();
    });
}

// Test seam: the `nth` call (from 1) of `op` from now on fails with `error`
// (an errno value), once. Reset with clearFault(). Read is a read of
// readCommitted() or editFile().
enum class Op { Write, Sync, Rename, Remove, Read };
void injectFault(Op op, int nth, int error);
void clearFault();

} // namespace miravon::files
