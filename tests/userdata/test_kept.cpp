// The kept lists (recent.tsv, favourites.tsv) read row by row: a bad row
// loses that row only, is named once, and the damaged file is kept aside
// before it is first written again; a file that cannot be read is never
// written over; a linked file is written through, a read-only one is not.
#include "kept.h"
#include "userfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

#include <sys/stat.h>

using namespace miravon;

namespace {

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QStringList controls(const QList<KeptEntries::Key>& keys)
{
    QStringList out;
    for (const KeptEntries::Key& k : keys)
        out << k.control;
    return out;
}

struct Reports {
    QStringList files, logs, said;
    KeptEntries::Report sink()
    {
        return [this](const QString& file, const QString& log, const QString& text) {
            files << file;
            logs << log;
            said << text;
        };
    }
};

const auto everyEntry = [](const KeptEntries::Key&) { return true; };

} // namespace

class TestKept : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { files::clearFault(); }
    void oneBadRowLosesOneRow_data();
    void oneBadRowLosesOneRow();
    void unreadableIsNeverWrittenOver_data();
    void unreadableIsNeverWrittenOver();
    void linksAndPermissionsAreThePersons();
};

void TestKept::oneBadRowLosesOneRow_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("kept");
    QTest::addColumn<QString>("lines"); // the bad lines named, "" for none
    const QByteArray five = "window\tcontrol\nfrmmain\tA1\nfrmmain\tA2\n";
    QTest::newRow("a byte that is not UTF-8")
        << five + "frmmain\tA\xff\nfrmmain\tA3\nfrmmain\tA4\nfrmmain\tA5\n" << QStringList{"A1", "A2", "A3", "A4", "A5"}
        << "4";
    QTest::newRow("three columns, one, an empty field")
        << five + "frmmain\tA3\textra\nfrmmain\nfrmmain\t\nfrmmain\tA4\n" << QStringList{"A1", "A2", "A4"} << "4, 5, 6";
    QTest::newRow("CRLF and no final line end are no damage")
        << QByteArray("window\tcontrol\r\nfrmmain\tA1\r\nfrmmain\tA2") << QStringList{"A1", "A2"} << "";
    QTest::newRow("no header: the rows still count") << QByteArray("frmmain\tA1\n\x01\x02\n") << QStringList{"A1"} << "2";
}

// Five good rows and bad ones: the good rows are kept, the bad ones named
// once by their lines; the next change writes the good rows and the new
// one, with the damaged file kept as favourites.tsv.damaged beside it.
void TestKept::oneBadRowLosesOneRow()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, kept);
    QFETCH(QString, lines);
    QTemporaryDir d;
    const QString path = d.filePath(KeptEntries::favouritesFile());
    QVERIFY(writeFile(path, file));
    KeptEntries k(d.path());
    Reports reports;
    k.load(everyEntry, reports.sink());
    QCOMPARE(controls(k.favourites()), kept);
    if (lines.isEmpty()) {
        QCOMPARE(reports.files, QStringList{});
    } else {
        QCOMPARE(reports.files, QStringList{KeptEntries::favouritesFile()});
        QVERIFY2(reports.said.first().contains(QStringLiteral("(dòng %1)").arg(lines)), qPrintable(reports.said.first()));
        QVERIFY(reports.said.first().contains(QLatin1String("favourites.tsv.damaged")));
        QVERIFY(reports.logs.first().contains(path));
    }

    QVERIFY2(k.setFavourite({"frmmain", "B1"}, true), qPrintable(k.lastError()));
    QByteArray expected = "window\tcontrol\n";
    for (const QString& c : kept + QStringList{"B1"})
        expected += "frmmain\t" + c.toUtf8() + '\n';
    QCOMPARE(readFile(path), expected);
    QCOMPARE(readFile(path + ".damaged"), lines.isEmpty() ? QByteArray("<missing>") : file);
    // Kept once: the file written since has no damage to keep.
    QVERIFY(k.setFavourite({"frmmain", "B2"}, true));
    QCOMPARE(readFile(path + ".damaged"), lines.isEmpty() ? QByteArray("<missing>") : file);
}

void TestKept::unreadableIsNeverWrittenOver_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("said");
    QTest::newRow("over its size") << "large" << "lớn hơn 256 KiB";
    QTest::newRow("a FIFO") << "fifo" << "FIFO";
    QTest::newRow("the read fails") << "read" << "Không đọc được";
}

// A file the program could not read is said once and kept as it is: the
// changes of this run stay in the run.
void TestKept::unreadableIsNeverWrittenOver()
{
    QFETCH(QString, fault);
    QFETCH(QString, said);
    QTemporaryDir d;
    const QString path = d.filePath(KeptEntries::recentFile());
    const QByteArray large = "window\tcontrol\n" + QByteArray(300 * 1024, 'x');
    if (fault == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else
        QVERIFY(writeFile(path, fault == QLatin1String("large") ? large : QByteArray("window\tcontrol\nfrmmain\tA1\n")));
    if (fault == QLatin1String("read"))
        files::injectFault(files::Op::Read, 1, EACCES);
    KeptEntries k(d.path());
    Reports reports;
    k.load(everyEntry, reports.sink());
    QCOMPARE(reports.files, QStringList{KeptEntries::recentFile()});
    QVERIFY2(reports.said.first().contains(said), qPrintable(reports.said.first()));
    QVERIFY(!k.played({"frmmain", "B1"}));
    QVERIFY(k.lastError().contains(QStringLiteral("không bị ghi đè")));
    QCOMPARE(controls(k.recent()), QStringList{"B1"}); // for this run
    if (fault == QLatin1String("fifo")) {
        struct stat st;
        QVERIFY(::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
    } else {
        QCOMPARE(readFile(path), fault == QLatin1String("large") ? large : QByteArray("window\tcontrol\nfrmmain\tA1\n"));
    }
}

// favourites.tsv linked to a file of another folder changes that file;
// one made read-only is left as it is, and the change says why.
void TestKept::linksAndPermissionsAreThePersons()
{
    QTemporaryDir d;
    QVERIFY(QDir().mkpath(d.filePath("data")) && QDir().mkpath(d.filePath("sync")));
    const QString target = d.filePath("sync/favourites.tsv");
    QVERIFY(writeFile(target, "window\tcontrol\nfrmmain\tA1\n"));
    QVERIFY(QFile::link("../sync/favourites.tsv", d.filePath("data/favourites.tsv")));
    KeptEntries k(d.filePath("data"));
    k.load(everyEntry, Reports().sink());
    QVERIFY2(k.setFavourite({"frmmain", "A2"}, true), qPrintable(k.lastError()));
    QVERIFY(QFileInfo(d.filePath("data/favourites.tsv")).isSymLink());
    QCOMPARE(readFile(target), QByteArray("window\tcontrol\nfrmmain\tA1\nfrmmain\tA2\n"));

    QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    QVERIFY(!k.setFavourite({"frmmain", "A3"}, true));
    QVERIFY2(k.lastError().contains(QStringLiteral("chỉ cho đọc")), qPrintable(k.lastError()));
    QCOMPARE(readFile(target), QByteArray("window\tcontrol\nfrmmain\tA1\nfrmmain\tA2\n"));
}

QTEST_GUILESS_MAIN(TestKept)
#include "test_kept.moc"
