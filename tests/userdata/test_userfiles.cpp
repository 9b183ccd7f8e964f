// The user's files as transactions: a failure at any write, sync, rename or
// removal leaves the folder as it was or as it was meant to become, backups
// included; a killed change is finished or dropped by the next one; readers
// see only whole states; the folder's lock; reading files that are not
// regular files.
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

QTEST_GUILESS_MAIN(TestUserFiles)
#include "test_userfiles.moc"
