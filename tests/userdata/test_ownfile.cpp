// The user's own address file changed from the windows: one entry's row set
// or taken out with every other byte kept (comments, blank lines, CRLF,
// duplicates, a byte-order mark, a missing final line end), so that a row
// added and taken out gives the file back; the same rules as the file's
// rows; a write that fails at any step, finds the folder busy, would cross
// the readers' 16 MiB, or meets a read-only file leaving the file whole; a
// linked file written through.
#include "catalogue.h"
#include "ownfile.h"
#include "userfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

using namespace miravon;
using namespace miravon::catalogue;
using namespace miravon::userdata;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// A file written by hand: a note, a blank line, CRLF line ends, the
// film's row twice (the later counts), another row after it.
const QByteArray handWritten = "window\tcontrol\taddress\r\n"
                               "# my films\r\n"
                               "frmphim\tLabelUni184\thttp://old.example/a.wmv\r\n"
                               "\r\n"
                               "frmmain\tusa1_1\thttps://streams.example/3abn.m3u8\r\n"
                               "frmphim\tLabelUni184\thttp://old.example/b.wmv\r\n"
                               "frmmain2\tA1_2\trtsp://x.example/y\r\n";

} // namespace

class TestOwnFile : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { files::clearFault(); }
    void edits_data();
    void edits();
    void addedAndTakenOutGivesTheFileBack_data();
    void addedAndTakenOutGivesTheFileBack();
    void refusesAHeaderItCannotRead();
    void sameRulesAsTheFile_data();
    void sameRulesAsTheFile();
    void notesAreNoRows();
    void everyFaultKeepsTheOldFile_data();
    void everyFaultKeepsTheOldFile();
    void busyFolderChangesNothing();
    void neverPastTheReadersLimit();
    void linksAndPermissionsAreThePersons();
};

void TestOwnFile::edits_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("address"); // empty: take the entry's rows out
    QTest::addColumn<QString>("referrer");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("last of two rows replaced in place, CRLF kept")
        << handWritten << "frmphim" << "LabelUni184" << "file:///home/u/Videos/anaconda.mkv" << ""
        << QByteArray("window\tcontrol\taddress\r\n"
                      "# my films\r\n"
                      "frmphim\tLabelUni184\thttp://old.example/a.wmv\r\n"
                      "\r\n"
                      "frmmain\tusa1_1\thttps://streams.example/3abn.m3u8\r\n"
                      "frmphim\tLabelUni184\tfile:///home/u/Videos/anaconda.mkv\r\n"
                      "frmmain2\tA1_2\trtsp://x.example/y\r\n");
    QTest::newRow("a new row at the end, with the file's line ends")
        << handWritten << "frmmain" << "Image4" << "https://tv.example/vtv1.m3u8" << ""
        << handWritten + "frmmain\tImage4\thttps://tv.example/vtv1.m3u8\r\n";
    QTest::newRow("a file without a final line end stays so")
        << QByteArray("window\tcontrol\taddress\nfrmmain\tusa1_1\thttp://a.example/x") << "frmmain" << "Image4"
        << "http://b.example/y" << ""
        << QByteArray("window\tcontrol\taddress\nfrmmain\tusa1_1\thttp://a.example/x\nfrmmain\tImage4\thttp://b.example/y");
    QTest::newRow("no file: a header and the row")
        << QByteArray() << "frmphim" << "LabelUni5" << "rtsp://films.example/army.wmv" << ""
        << QByteArray("window\tcontrol\taddress\treferrer\tuser_agent\nfrmphim\tLabelUni5\trtsp://films.example/army.wmv\t\t\n");
    QTest::newRow("taken out: every row of the entry, nothing else")
        << handWritten << "frmphim" << "LabelUni184" << "" << ""
        << QByteArray("window\tcontrol\taddress\r\n"
                      "# my films\r\n"
                      "\r\n"
                      "frmmain\tusa1_1\thttps://streams.example/3abn.m3u8\r\n"
                      "frmmain2\tA1_2\trtsp://x.example/y\r\n");
    QTest::newRow("a referrer grows the header; other rows get empty columns")
        << QByteArray("\xEF\xBB\xBFwindow\tcontrol\taddress\n# note\tx\nfrmmain\tusa1_1\thttp://a.example/x\n")
        << "frmmain" << "Image4" << "https://tv.example/vtv1.m3u8" << "https://tv.example/"
        << QByteArray("\xEF\xBB\xBFwindow\tcontrol\taddress\treferrer\tuser_agent\n# note\tx\n"
                      "frmmain\tusa1_1\thttp://a.example/x\t\t\nfrmmain\tImage4\thttps://tv.example/vtv1.m3u8\thttps://tv.example/\t\n");
    QTest::newRow("taking out what is not there changes nothing")
        << handWritten << "frmmain" << "Image9" << "" << "" << handWritten;
}

void TestOwnFile::edits()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(QString, address);
    QFETCH(QString, referrer);
    QFETCH(QByteArray, after);
    QString error;
    const std::optional<OwnRow> row =
        address.isEmpty() ? std::nullopt : std::optional<OwnRow>(OwnRow{address, referrer, {}});
    const std::optional<QByteArray> edited = editOwnFile(before, window, control, row, &error);
    QVERIFY2(edited, qPrintable(error));
    QCOMPARE(*edited, after);

    // Read back with the file's own rules: the entry has the new address
    // (or none of the user's), and the other rows are as before.
    Catalogue cat = parse(builtInTables(), nullptr);
    QStringList reports;
    applyOverrides(cat, *edited, QStringLiteral("addresses.tsv"), AddressOrigin::Own,
                   [&](const QString& line) { reports << line; });
    QCOMPARE(reports, QStringList{});
    const Label* l = cat.label(window, control);
    QVERIFY(l);
    if (!address.isEmpty()) {
        QCOMPARE(l->address, address);
        QCOMPARE(l->referrer, referrer);
        QCOMPARE(l->origin, AddressOrigin::Own);
    } else {
        QVERIFY(l->origin != AddressOrigin::Own);
    }
}

void TestOwnFile::addedAndTakenOutGivesTheFileBack_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("no final line end") << QByteArray("window\tcontrol\taddress\nfrmmain\tusa1_1\thttp://a.example/x");
    QTest::newRow("CRLF") << handWritten;
    QTest::newRow("CRLF, no final line end") << handWritten.chopped(2);
    QTest::newRow("a header alone, no line end") << QByteArray("window\tcontrol\taddress");
    QTest::newRow("no file") << QByteArray();
}

// "Lưu" then "Bỏ địa chỉ của tôi": the file as it was, byte for byte, and
// no file where there was none.
void TestOwnFile::addedAndTakenOutGivesTheFileBack()
{
    QFETCH(QByteArray, file);
    QTemporaryDir dir;
    const QString path = dir.filePath(ownFileName());
    if (!file.isEmpty())
        QVERIFY(writeAll(path, file));
    QString error;
    QCOMPARE(saveOwnRow(dir.path(), "frmmain", "Image4", OwnRow{"http://b.example/", {}, {}}, &error),
             SaveOutcome::Saved);
    QVERIFY(readAll(path) != file);
    QCOMPARE(saveOwnRow(dir.path(), "frmmain", "Image4", std::nullopt, &error), SaveOutcome::Saved);
    QCOMPARE(readAll(path), file.isEmpty() ? QByteArray("<missing>") : file);
}

void TestOwnFile::refusesAHeaderItCannotRead()
{
    QString error;
    QVERIFY(!editOwnFile("frmmain\tusa1_1\thttp://a.example/x\n", "frmmain", "Image4",
                         OwnRow{"http://b.example/", {}, {}}, &error));
    QVERIFY(error.contains(QStringLiteral("tiêu đề")));
}

void TestOwnFile::sameRulesAsTheFile_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("userAgent");
    QTest::addColumn<int>("origin");
    QTest::addColumn<int>("problem");
    const int own = int(AddressOrigin::Own), imported = int(AddressOrigin::Imported);
    QTest::newRow("http") << "http://a.example/x" << "" << own << int(RowProblem::None);
    QTest::newRow("ftp") << "ftp://a.example/x" << "" << own << int(RowProblem::NotAnAddress);
    QTest::newRow("relative") << "videos/x.mp4" << "" << own << int(RowProblem::NotAnAddress);
    QTest::newRow("own file") << "file:///home/u/x.mp4" << "" << own << int(RowProblem::None);
    QTest::newRow("imported file") << "file:///home/u/x.mp4" << "" << imported << int(RowProblem::LocalFileNotAllowed);
    QTest::newRow("tab in the user agent") << "http://a.example/x" << "Mozilla\t5" << own << int(RowProblem::ControlCharacter);
    QTest::newRow("too long") << "http://a.example/" + QString(5000, u'a') << "" << own << int(RowProblem::TooLong);
}

void TestOwnFile::sameRulesAsTheFile()
{
    QFETCH(QString, address);
    QFETCH(QString, userAgent);
    QFETCH(int, origin);
    QFETCH(int, problem);
    QCOMPARE(int(rowProblem(address, {}, userAgent, AddressOrigin(origin))), problem);
    QCOMPARE(rowProblemText(RowProblem(problem)).isEmpty(), problem == int(RowProblem::None));
}

void TestOwnFile::notesAreNoRows()
{
    Catalogue cat = parse(builtInTables(), nullptr);
    QStringList reports;
    const int applied = applyOverrides(cat, handWritten, QStringLiteral("addresses.tsv"), AddressOrigin::Own,
                                       [&](const QString& line) { reports << line; });
    QCOMPARE(reports, QStringList{});
    QCOMPARE(applied, 4);
    QCOMPARE(cat.label("frmphim", "LabelUni184")->address, QStringLiteral("http://old.example/b.wmv"));
}

void TestOwnFile::everyFaultKeepsTheOldFile_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("nth");
    for (int nth = 1; nth <= 3; ++nth) {
        QTest::addRow("write %d", nth) << int(files::Op::Write) << nth;
        QTest::addRow("sync %d", nth) << int(files::Op::Sync) << nth;
        QTest::addRow("rename %d", nth) << int(files::Op::Rename) << nth;
    }
}

// A failure at any write step: the save says so and the file is whole,
// either as before or (a step after the commit) as meant.
void TestOwnFile::everyFaultKeepsTheOldFile()
{
    QFETCH(int, op);
    QFETCH(int, nth);
    QTemporaryDir dir;
    const QString path = dir.filePath(ownFileName());
    QVERIFY(writeAll(path, handWritten));
    const QByteArray meant = *editOwnFile(handWritten, "frmmain", "Image4", OwnRow{"http://b.example/", {}, {}}, nullptr);
    files::injectFault(files::Op(op), nth, EIO);
    QString error;
    const SaveOutcome outcome =
        saveOwnRow(dir.path(), "frmmain", "Image4", OwnRow{"http://b.example/", {}, {}}, &error, 100);
    files::clearFault();
    QByteArray now;
    QString readError;
    QCOMPARE(files::readCommitted(dir.path(), ownFileName(), 1 << 20, &now, &readError), ReadResult::Ok);
    if (outcome == SaveOutcome::Saved) {
        QCOMPARE(now, meant);
    } else {
        QCOMPARE(outcome, SaveOutcome::Failed);
        QVERIFY(!error.isEmpty());
        QCOMPARE(now, handWritten);
    }
    // The next save, without the fault, goes through and keeps the rest.
    QCOMPARE(saveOwnRow(dir.path(), "frmmain", "Image4", OwnRow{"http://b.example/", {}, {}}, &error, 100),
             SaveOutcome::Saved);
    QCOMPARE(readAll(path), meant);
}

void TestOwnFile::busyFolderChangesNothing()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(ownFileName());
    QVERIFY(writeAll(path, handWritten));
    bool busy = false;
    QString error;
    const auto held = files::FolderLock::take(dir.path(), 100, &busy, &error);
    QVERIFY(held);
    QCOMPARE(saveOwnRow(dir.path(), "frmmain", "Image4", OwnRow{"http://b.example/", {}, {}}, &error, 50),
             SaveOutcome::Busy);
    QVERIFY(error.contains(QStringLiteral("đang")));
    QCOMPARE(readAll(path), handWritten);
}

// A file near the 16 MiB its readers read up to: a save that would cross
// it is refused with the reason and changes nothing (it used to be written,
// and then no own address at all was read).
void TestOwnFile::neverPastTheReadersLimit()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(ownFileName());
    QByteArray big = "window\tcontrol\taddress\n";
    const QByteArray note = "# " + QByteArray(1000, 'n') + '\n';
    while (big.size() + note.size() < maxAddressFileBytes - 20)
        big += note;
    big += "# " + QByteArray(maxAddressFileBytes - 20 - big.size() - 3, 'n') + '\n'; // 20 bytes left
    QVERIFY(writeAll(path, big));
    QString error;
    QCOMPARE(saveOwnRow(dir.path(), "frmmain", "Image4", OwnRow{"http://b.example/vtv1", {}, {}}, &error),
             SaveOutcome::TooLarge);
    QVERIFY2(error.contains(QStringLiteral("16 MiB")) && error.contains(QStringLiteral("Tệp vẫn như trước")),
             qPrintable(error));
    QCOMPARE(readAll(path), big);
    // What fits to the byte is still saved.
    QCOMPARE(saveOwnRow(dir.path(), "frmmain", "A", OwnRow{"http://b/", {}, {}}, &error), SaveOutcome::Saved);
    QCOMPARE(readAll(path).size(), maxAddressFileBytes);
}

void TestOwnFile::linksAndPermissionsAreThePersons()
{
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath("config")) && QDir().mkpath(dir.filePath("shared")));
    const QString target = dir.filePath("shared/tv.tsv");
    QVERIFY(writeAll(target, handWritten));
    QVERIFY(QFile::link("../shared/tv.tsv", dir.filePath("config/" + ownFileName())));
    QString error;
    QCOMPARE(saveOwnRow(dir.filePath("config"), "frmmain", "Image4", OwnRow{"http://b.example/", {}, {}}, &error),
             SaveOutcome::Saved);
    QVERIFY(QFileInfo(dir.filePath("config/" + ownFileName())).isSymLink());
    const QByteArray meant = *editOwnFile(handWritten, "frmmain", "Image4", OwnRow{"http://b.example/", {}, {}}, nullptr);
    QCOMPARE(readAll(target), meant);

    // A file the link leads to is the person's: taking the last row out
    // leaves it, with its header.
    QVERIFY(writeAll(target, "window\tcontrol\taddress\treferrer\tuser_agent\n"));
    QCOMPARE(saveOwnRow(dir.filePath("config"), "frmmain", "Image4", OwnRow{"http://b.example/", {}, {}}, &error),
             SaveOutcome::Saved);
    QCOMPARE(saveOwnRow(dir.filePath("config"), "frmmain", "Image4", std::nullopt, &error), SaveOutcome::Saved);
    QCOMPARE(readAll(target), QByteArray("window\tcontrol\taddress\treferrer\tuser_agent\n"));

    QVERIFY(writeAll(target, meant));
    QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    QCOMPARE(saveOwnRow(dir.filePath("config"), "frmmain", "Image4", std::nullopt, &error), SaveOutcome::Failed);
    QVERIFY2(error.contains(QStringLiteral("chỉ cho đọc")), qPrintable(error));
    QCOMPARE(readAll(target), meant);
}

QTEST_GUILESS_MAIN(TestOwnFile)
#include "test_ownfile.moc"
