// The user's files as transactions: a failure at any write, sync, rename or
// removal leaves the folder as it was or as it was meant to become, backups
// included; a killed change is finished or dropped by the next one; readers
// see only whole states; the folder's lock; reading files that are not
// regular files. A single file's change: through symbolic links into the
// target's folder, never over a file that could not be read or was made
// read-only, never past its readers' limit; a change of several files
// refuses a link.
#include "userfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <future>
#include <thread>

#include <sys/stat.h>

using namespace miravon;
using namespace miravon::files;

namespace {

using State = QMap<QString, QByteArray>; // file name -> content; absent files are not in the map

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

// Every file of the folder but the lock.
State onDisk(const QString& dir)
{
    State s;
    for (const QString& name : QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (name == QLatin1String(".lock"))
            continue;
        QFile f(dir + u'/' + name);
        s.insert(name, f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>"));
    }
    return s;
}

// The folder as a reader sees it, for the names that matter.
State committed(const QString& dir, const QStringList& names)
{
    State s;
    for (const QString& name : names) {
        QByteArray content;
        QString error;
        if (readCommitted(dir, name, 1 << 20, &content, &error) == ReadResult::Ok)
            s.insert(name, content);
    }
    return s;
}

QString describe(const State& s)
{
    QStringList out;
    for (auto it = s.cbegin(); it != s.cend(); ++it)
        out << it.key() + u'=' + QString::fromUtf8(it.value());
    return out.join(QStringLiteral(", "));
}

// One change and the states before and after it.
struct Case {
    State before;
    std::function<void(Transaction&)> change;
    State after;
};

Case importLike()
{
    return {{{"a.tsv", "old rows"}, {"a.tsv.bak", "older rows"}, {"a.txt", "old report"}},
            [](Transaction& t) {
                t.replace("a.tsv", "new rows", true);
                t.replace("a.txt", "new report", true);
            },
            {{"a.tsv", "new rows"}, {"a.tsv.bak", "old rows"}, {"a.txt", "new report"}, {"a.txt.bak", "old report"}}};
}

// The first import: no file before, so empty backups.
Case firstImportLike()
{
    return {{},
            [](Transaction& t) {
                t.replace("a.tsv", "new rows", true);
                t.replace("a.txt", "new report", true);
            },
            {{"a.tsv", "new rows"}, {"a.tsv.bak", ""}, {"a.txt", "new report"}, {"a.txt.bak", ""}}};
}

Case undoLike()
{
    return {{{"a.tsv", "new rows"}, {"a.tsv.bak", "old rows"}, {"a.txt", "new report"}, {"a.txt.bak", ""}},
            [](Transaction& t) {
                t.restoreBackup("a.tsv");
                t.restoreBackup("a.txt");
            },
            {{"a.tsv", "old rows"}}};
}

Case ownFileLike()
{
    return {{{"own.tsv", "mine"}, {"other", "untouched"}},
            [](Transaction& t) {
                t.replace("own.tsv", "mine, edited");
                t.remove("gone");
            },
            {{"own.tsv", "mine, edited"}, {"other", "untouched"}}};
}

const QStringList names = {"a.tsv", "a.tsv.bak", "a.txt", "a.txt.bak", "own.tsv", "other", "gone"};

} // namespace

Q_DECLARE_METATYPE(miravon::files::Op)

class TestUserFiles : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { clearFault(); }
    void changes_data();
    void changes();
    void everyFaultLeavesAWholeState_data();
    void everyFaultLeavesAWholeState();
    void killedChangeIsFinishedOrDropped();
    void lockWaitsThenGivesUp();
    void readsOnlyRegularFiles();
    void editsGoThroughLinks_data();
    void editsGoThroughLinks();
    void severalFilesRefuseALink();
    void neverWritten_data();
    void neverWritten();
    void damagedCopyInTheSameChange();
};

void TestUserFiles::changes_data()
{
    QTest::addColumn<int>("which");
    QTest::newRow("import: new files, old ones kept as .bak") << 0;
    QTest::newRow("undo: backups come back, an empty one removes") << 1;
    QTest::newRow("a plain replace and a removal") << 2;
    QTest::newRow("first import: empty backups") << 3;
}

static Case caseAt(int which)
{
    switch (which) {
    case 0: return importLike();
    case 1: return undoLike();
    case 2: return ownFileLike();
    default: return firstImportLike();
    }
}

void TestUserFiles::changes()
{
    QFETCH(int, which);
    const Case c = caseAt(which);
    QTemporaryDir d;
    for (auto it = c.before.cbegin(); it != c.before.cend(); ++it)
        QVERIFY(writeFile(d.filePath(it.key()), it.value()));
    Transaction t(d.path());
    c.change(t);
    QString error;
    QCOMPARE(t.commit(&error), Transaction::Outcome::Done);
    QCOMPARE(describe(onDisk(d.path())), describe(c.after));
}

void TestUserFiles::everyFaultLeavesAWholeState_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<Op>("op");
    const std::pair<const char*, Op> ops[] = {
        {"write", Op::Write}, {"sync", Op::Sync}, {"rename", Op::Rename}, {"remove", Op::Remove}};
    const char* cases[] = {"import", "undo", "own file", "first import"};
    for (int which = 0; which < 4; ++which)
        for (const auto& [name, op] : ops)
            QTest::addRow("%s, %s fails", cases[which], name) << which << op;
}

// The nth call of one kind fails, for every n until the change goes through
// untouched: the folder is then as before (the change says it failed) or
// as after (it says done, or done later), and the next recover() leaves
// exactly that state with nothing left over.
void TestUserFiles::everyFaultLeavesAWholeState()
{
    QFETCH(int, which);
    QFETCH(Op, op);
    const Case c = caseAt(which);
    for (int nth = 1; nth < 50; ++nth) {
        QTemporaryDir d;
        for (auto it = c.before.cbegin(); it != c.before.cend(); ++it)
            QVERIFY(writeFile(d.filePath(it.key()), it.value()));
        injectFault(op, nth, EIO);
        Transaction t(d.path());
        c.change(t);
        QString error;
        const Transaction::Outcome outcome = t.commit(&error);
        const bool faulted = !error.isEmpty();
        clearFault();
        const State seen = committed(d.path(), names);
        const State expected = outcome == Transaction::Outcome::Failed ? c.before : c.after;
        QVERIFY2(seen == expected, qPrintable(QStringLiteral("fault %1: %2; readers see %3, expected %4")
                                                  .arg(nth)
                                                  .arg(error, describe(seen), describe(expected))));
        if (outcome == Transaction::Outcome::Failed)
            QVERIFY2(!error.isEmpty() && !error.contains(u'\n'), qPrintable(error));
        QVERIFY2(recover(d.path(), &error), qPrintable(error));
        QCOMPARE(describe(onDisk(d.path())), describe(expected));
        if (!faulted)
            return; // the nth call never came: every earlier one was tried
    }
    QFAIL("the change never went through");
}

// A process killed between the commit and the end of its steps: the reader
// already sees the new state; recover() finishes it. One killed before the
// commit left only ".new" files: recover() drops them.
void TestUserFiles::killedChangeIsFinishedOrDropped()
{
    const Case c = importLike();
    QTemporaryDir d;
    for (auto it = c.before.cbegin(); it != c.before.cend(); ++it)
        QVERIFY(writeFile(d.filePath(it.key()), it.value()));
    // Committed, then stopped after moving a.tsv to a.tsv.bak.
    QVERIFY(writeFile(d.filePath("a.tsv.new"), "new rows"));
    QVERIFY(writeFile(d.filePath("a.txt.new"), "new report"));
    QVERIFY(QFile::remove(d.filePath("a.tsv.bak")));
    QVERIFY(QFile::rename(d.filePath("a.tsv"), d.filePath("a.tsv.bak")));
    QVERIFY(writeFile(d.filePath(".transaction"), "miravon transaction 1\nbackup a.tsv\ninstall a.tsv\n"
                                                   "backup a.txt\ninstall a.txt\n"));
    QCOMPARE(describe(committed(d.path(), names)), describe(c.after));
    QString error;
    QVERIFY(recover(d.path(), &error));
    QCOMPARE(describe(onDisk(d.path())), describe(c.after));

    // Not committed: the old state stays, the new files go.
    QTemporaryDir e;
    for (auto it = c.before.cbegin(); it != c.before.cend(); ++it)
        QVERIFY(writeFile(e.filePath(it.key()), it.value()));
    QVERIFY(writeFile(e.filePath("a.tsv.new"), "new ro"));
    QVERIFY(writeFile(e.filePath(".transaction.new"), "miravon transaction 1\nbackup a.tsv\n"));
    QCOMPARE(describe(committed(e.path(), names)), describe(c.before));
    QVERIFY(recover(e.path(), &error));
    QCOMPARE(describe(onDisk(e.path())), describe(c.before));
}

void TestUserFiles::lockWaitsThenGivesUp()
{
    QTemporaryDir d;
    bool busy = false;
    QString error;
    auto first = FolderLock::take(d.path(), 0, &busy, &error);
    QVERIFY2(first, qPrintable(error));
    // Another taker (another thread here; another process alike) waits, then
    // gives up and says the folder is busy.
    auto other = std::async(std::launch::async, [&d] {
        bool b = false;
        QString e;
        const bool got = FolderLock::take(d.path(), 200, &b, &e) != nullptr;
        return std::make_pair(got, b);
    });
    const auto [got, wasBusy] = other.get();
    QVERIFY(!got);
    QVERIFY(wasBusy);
    // Once let go, the next one gets it while waiting.
    auto waiter = std::async(std::launch::async, [&d] {
        bool b = false;
        QString e;
        return FolderLock::take(d.path(), 10000, &b, &e) != nullptr;
    });
    first.reset();
    QVERIFY(waiter.get());
}

void TestUserFiles::readsOnlyRegularFiles()
{
    QTemporaryDir d;
    const QString fifo = d.filePath("fifo");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QVERIFY(writeFile(d.filePath("big"), QByteArray(2048, 'x')));
    struct Row {
        QString path;
        qint64 max;
        ReadExtent extent;
        ReadResult result;
        const char* says;
        qsizetype size;
    };
    const Row rows[] = {
        {fifo, 1024, ReadExtent::Whole, ReadResult::Failed, "is a FIFO", 0},
        {"/dev/zero", 1024, ReadExtent::Whole, ReadResult::Failed, "is a device", 0},
        {"/dev/zero", 1024, ReadExtent::Head, ReadResult::Failed, "is a device", 0},
        {d.path(), 1024, ReadExtent::Whole, ReadResult::Failed, "is a folder", 0},
        {d.filePath("none"), 1024, ReadExtent::Whole, ReadResult::Missing, "", 0},
        {d.filePath("big"), 1024, ReadExtent::Whole, ReadResult::Failed, "larger than 1 KiB", 0},
        {d.filePath("big"), 2048, ReadExtent::Whole, ReadResult::Ok, "", 2048},
        {d.filePath("big"), 1024, ReadExtent::Head, ReadResult::Ok, "", 1024},
    };
    for (const Row& r : rows) {
        QByteArray out;
        QString error;
        QCOMPARE(readRegularFile(r.path, r.max, &out, &error, r.extent), r.result);
        QVERIFY2(error.contains(QLatin1String(r.says)), qPrintable(r.path + u' ' + error));
        QCOMPARE(out.size(), r.size);
    }
}

void TestUserFiles::editsGoThroughLinks_data()
{
    // Where the link (own/addresses.tsv) leads, relative to the test's
    // folder; "" makes no link.
    QTest::addColumn<QString>("linkTo");
    QTest::addColumn<QString>("target"); // the file that holds the content, relative to the test's folder
    QTest::newRow("no link") << "" << "own/addresses.tsv";
    QTest::newRow("into the same folder") << "mine.tsv" << "own/mine.tsv";
    QTest::newRow("relative, into another folder") << "../shared/addresses.tsv" << "shared/addresses.tsv";
    QTest::newRow("absolute") << "ABS/shared/addresses.tsv" << "shared/addresses.tsv";
    QTest::newRow("a chain of two") << "../chain/step.tsv" << "shared/addresses.tsv";
    QTest::newRow("to a file not made yet") << "../shared/new.tsv" << "shared/new.tsv";
}

// A linked file is read and written through the link: the link stays, the
// file it leads to changes, under the lock and by a transaction of its own
// folder, and nothing is left beside the link.
void TestUserFiles::editsGoThroughLinks()
{
    QFETCH(QString, linkTo);
    QFETCH(QString, target);
    QTemporaryDir d;
    for (const char* folder : {"own", "shared", "chain"})
        QVERIFY(QDir().mkpath(d.filePath(folder)));
    linkTo.replace(QStringLiteral("ABS"), d.path());
    const QString link = d.filePath("own/addresses.tsv");
    const QString file = d.filePath(target);
    if (!target.endsWith(QLatin1String("new.tsv")))
        QVERIFY(writeFile(file, "old"));
    if (!linkTo.isEmpty())
        QVERIFY(QFile::link(linkTo, link));
    if (linkTo.contains(QLatin1String("chain")))
        QVERIFY(QFile::link(QStringLiteral("../shared/addresses.tsv"), d.filePath("chain/step.tsv")));

    QByteArray seen;
    QString error;
    const ReadResult before = readCommitted(d.filePath("own"), "addresses.tsv", 1024, &seen, &error);
    QCOMPARE(before, target.endsWith(QLatin1String("new.tsv")) ? ReadResult::Missing : ReadResult::Ok);
    const EditResult r = editFile(d.filePath("own"), "addresses.tsv", 1024, 100, [](ReadResult, const QByteArray& now) {
        return Edit{Edit::Action::Write, now + "+new", false, {}};
    });
    QVERIFY2(r.outcome == EditResult::Outcome::Written, qPrintable(r.error));
    QCOMPARE(QFileInfo(r.path).canonicalFilePath(), QFileInfo(file).canonicalFilePath());
    QCOMPARE(QFileInfo(link).isSymLink(), !linkTo.isEmpty());
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray written = f.readAll();
    QCOMPARE(written, seen + "+new");
    QCOMPARE(readCommitted(d.filePath("own"), "addresses.tsv", 1024, &seen, &error), ReadResult::Ok);
    QCOMPARE(seen, written);
    // The lock was the target folder's; only the link is beside it.
    QVERIFY(QFile::exists(QFileInfo(file).absolutePath() + "/.lock"));
    if (QFileInfo(file).absolutePath() != d.filePath("own"))
        QCOMPARE(QDir(d.filePath("own")).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{"addresses.tsv"});

    // A loop is refused, and changes nothing.
    QVERIFY(QFile::link("loop2", d.filePath("own/loop1")));
    QVERIFY(QFile::link("loop1", d.filePath("own/loop2")));
    QCOMPARE(editFile(d.filePath("own"), "loop1", 1024, 100, [](ReadResult, const QByteArray&) {
                 return Edit{Edit::Action::Write, "x", false, {}};
             }).outcome,
             EditResult::Outcome::Failed);
    QVERIFY(QFileInfo(d.filePath("own/loop1")).isSymLink());
}

// An import changes several files at once, which only one folder can do: a
// link among them, or a file made read-only, refuses the whole change.
void TestUserFiles::severalFilesRefuseALink()
{
    QTemporaryDir d;
    QVERIFY(QDir().mkpath(d.filePath("elsewhere")));
    QVERIFY(writeFile(d.filePath("elsewhere/a.tsv"), "linked rows"));
    QVERIFY(writeFile(d.filePath("a.txt"), "old report"));
    QVERIFY(QFile::link(d.filePath("elsewhere/a.tsv"), d.filePath("a.tsv")));
    auto change = [&] {
        Transaction t(d.path());
        t.replace("a.txt", "new report", true);
        t.replace("a.tsv", "new rows", true);
        QString error;
        const Transaction::Outcome o = t.commit(&error);
        return std::make_pair(o, error);
    };
    const State before = onDisk(d.path());
    auto [outcome, error] = change();
    QCOMPARE(outcome, Transaction::Outcome::Failed);
    QVERIFY2(error.contains(QLatin1String("symbolic link")), qPrintable(error));
    QCOMPARE(describe(onDisk(d.path())), describe(before));
    QVERIFY(QFileInfo(d.filePath("a.tsv")).isSymLink());

    QVERIFY(QFile::remove(d.filePath("a.tsv")));
    QVERIFY(writeFile(d.filePath("a.tsv"), "rows"));
    QVERIFY(QFile::setPermissions(d.filePath("a.tsv"), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const State plain = onDisk(d.path());
    std::tie(outcome, error) = change();
    QCOMPARE(outcome, Transaction::Outcome::Failed);
    QVERIFY2(error.contains(QLatin1String("read-only")), qPrintable(error));
    QCOMPARE(describe(onDisk(d.path())), describe(plain));
}

void TestUserFiles::neverWritten_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("outcome");
    QTest::newRow("a FIFO") << "fifo" << int(EditResult::Outcome::Unreadable);
    QTest::newRow("a folder") << "folder" << int(EditResult::Outcome::Unreadable);
    QTest::newRow("over the limit") << "large" << int(EditResult::Outcome::Unreadable);
    QTest::newRow("the read fails") << "read" << int(EditResult::Outcome::Unreadable);
    QTest::newRow("made read-only") << "readonly" << int(EditResult::Outcome::ReadOnly);
    QTest::newRow("would cross the limit") << "grows" << int(EditResult::Outcome::TooLarge);
    QTest::newRow("a link to a read-only file") << "linkreadonly" << int(EditResult::Outcome::ReadOnly);
}

// What could not be read is never written over; a read-only file is never
// rewritten; nothing is written past the limit its readers read up to. The
// file stays as it was, and the editor is not asked when there is nothing
// to edit.
void TestUserFiles::neverWritten()
{
    QFETCH(QString, fault);
    QFETCH(int, outcome);
    QTemporaryDir d;
    const QString path = d.filePath("f.tsv");
    QByteArray content = "rows\n";
    if (fault == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (fault == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(path));
    } else {
        if (fault == QLatin1String("large"))
            content = QByteArray(2000, 'x');
        const QString file = fault == QLatin1String("linkreadonly") ? d.filePath("target.tsv") : path;
        QVERIFY(writeFile(file, content));
        if (fault.contains(QLatin1String("readonly")))
            QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup));
        if (file != path)
            QVERIFY(QFile::link("target.tsv", path));
        if (fault == QLatin1String("read"))
            injectFault(Op::Read, 1, EACCES);
    }
    bool asked = false;
    const EditResult r = editFile(d.path(), "f.tsv", 1024, 100, [&](ReadResult, const QByteArray& now) {
        asked = true;
        return Edit{Edit::Action::Write, now + QByteArray(fault == QLatin1String("grows") ? 1100 : 1, 'y'), false, {}};
    });
    QCOMPARE(int(r.outcome), outcome);
    QVERIFY(!r.error.isEmpty() && !r.ok());
    QCOMPARE(asked, r.outcome != EditResult::Outcome::Unreadable);
    const QFileInfo after(path);
    if (fault == QLatin1String("fifo")) {
        struct stat st;
        QVERIFY(::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
    } else if (fault == QLatin1String("folder")) {
        QVERIFY(after.isDir());
    } else {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), content);
    }
    QCOMPARE(QDir(d.path()).entryList({"*.new", ".transaction*"}, QDir::Files | QDir::Hidden), QStringList{});
}

// A file kept aside (NAME.damaged) is written in the same change as the
// file, so neither can be seen without the other.
void TestUserFiles::damagedCopyInTheSameChange()
{
    QTemporaryDir d;
    QVERIFY(writeFile(d.filePath("f.tsv"), "good\n\xff bad\n"));
    for (int nth = 1; nth < 20; ++nth) {
        injectFault(Op::Rename, nth, EIO);
        const EditResult r = editFile(d.path(), "f.tsv", 1024, 100, [](ReadResult, const QByteArray&) {
            return Edit{Edit::Action::Write, "good\n", true, {}};
        });
        clearFault();
        const State seen = committed(d.path(), {"f.tsv", "f.tsv.damaged"});
        if (r.ok()) {
            QCOMPARE(describe(seen), describe({{"f.tsv", "good\n"}, {"f.tsv.damaged", "good\n\xff bad\n"}}));
            return;
        }
        QCOMPARE(describe(seen), describe({{"f.tsv", "good\n\xff bad\n"}}));
    }
    QFAIL("the change never went through");
}

QTEST_GUILESS_MAIN(TestUserFiles)
#include "test_userfiles.moc"
