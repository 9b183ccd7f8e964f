#pragma once

#include "localfile.h"

#include <QByteArray>
#include <QList>
#include <QString>

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
// while that transaction's steps are still being carried out. Lock-free.
ReadResult readCommitted(const QString& dir, const QString& name, qint64 maxBytes, QByteArray* out, QString* error);
// Whether NAME exists in that state.
bool existsCommitted(const QString& dir, const QString& name);

// Test seam: the `nth` call (from 1) of `op` from now on fails with `error`
// (an errno value), once. Reset with clearFault().
enum class Op { Write, Sync, Rename, Remove };
void injectFault(Op op, int nth, int error);
void clearFault();

} // namespace miravon::files
