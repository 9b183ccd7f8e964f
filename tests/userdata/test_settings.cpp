// settings.ini: never written over when it could not be read (so an update
// of the channel lists cannot wipe it), read line by line (a bad line is
// dropped and named, the file kept aside before it is written again),
// written through a link and never when read-only, saved off the caller's
// thread for the windows; an update time in the future counts as now.
#include "settings.h"
#include "userfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
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

const QByteArray handWritten = "# my settings\n"
                               "channels/source=http://127.0.0.1:8801/lists/{code}.m3u\n"
                               "channels/consent=yes\n"
                               "player/hardware-decoding=no\n";

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { files::clearFault(); }
    void unreadableIsNeverWrittenOver_data();
    void unreadableIsNeverWrittenOver();
    void oneBadLineLosesOneLine();
    void changedKeysOnlyWhereTheyStood();
    void linksAndPermissionsAreThePersons();
    void savedOffTheCallersThread();
    void updateTimeInTheFuture_data();
    void updateTimeInTheFuture();
};

void TestSettings::unreadableIsNeverWrittenOver_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("said");
    QTest::newRow("over its size") << "large" << "lớn hơn 256 KiB";
    QTest::newRow("a FIFO") << "fifo" << "FIFO";
    QTest::newRow("the read fails") << "read" << "Không đọc được";
    QTest::newRow("unreadable only when saved") << "later" << "";
}

// The channel lists' update stores its time as load, set, save: with a file
// that could not be read, that must change nothing (it used to leave the
// file holding that one line).
void TestSettings::unreadableIsNeverWrittenOver()
{
    QFETCH(QString, fault);
    QFETCH(QString, said);
    QTemporaryDir d;
    const QString path = d.filePath(Settings::fileName());
    const QByteArray large = handWritten + "# " + QByteArray(300 * 1024, 'x') + '\n';
    if (fault == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else
        QVERIFY(writeFile(path, fault == QLatin1String("large") ? large : handWritten));
    if (fault == QLatin1String("read"))
        files::injectFault(files::Op::Read, 1, EACCES);

    Settings s = Settings::load(d.path());
    if (fault == QLatin1String("later")) {
        // Read whole at first, then grown past its size before the save.
        QCOMPARE(s.state(), Settings::State::Read);
        QVERIFY(writeFile(path, large));
    } else {
        QCOMPARE(s.state(), Settings::State::Unreadable);
        QVERIFY(s.problem().contains(path));
        QVERIFY2(s.problemText().contains(said), qPrintable(s.problemText()));
        QVERIFY(s.problemText().contains(QStringLiteral("không bị ghi đè")));
    }
    s.set(setting::channelsUpdated, QStringLiteral("2026-12-11T00:00:00Z"));
    QString error;
    QVERIFY(!s.save(d.path(), &error));
    QVERIFY2(error.contains(QLatin1String("not written over")), qPrintable(error));
    if (fault == QLatin1String("fifo")) {
        struct stat st;
        QVERIFY(::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
    } else {
        QCOMPARE(readFile(path), fault == QLatin1String("read") ? handWritten : large);
    }
}

// A line that is not UTF-8, and one that is no "key=value", are dropped
// and named; the others are read; the next save keeps every other line
// byte for byte and keeps the file as it was as settings.ini.damaged.
void TestSettings::oneBadLineLosesOneLine()
{
    QTemporaryDir d;
    const QString path = d.filePath(Settings::fileName());
    const QByteArray file = "# my settings\r\n"
                            "channels/source = http://127.0.0.1:8801/{code}.m3u\r\n"
                            "channels/consent=y\xe9s\n"
                            "[player]\n"
                            "just words\n"
                            "player/hardware-decoding=no\n";
    QVERIFY(writeFile(path, file));
    Settings s = Settings::load(d.path());
    QCOMPARE(s.state(), Settings::State::Read);
    QCOMPARE(s.value(setting::channelSource), QStringLiteral("http://127.0.0.1:8801/{code}.m3u"));
    QCOMPARE(s.value(setting::channelConsent), QString());
    QCOMPARE(s.value(setting::hardwareDecoding), QStringLiteral("no"));
    QVERIFY2(s.problemText().contains(QStringLiteral("(dòng 3, 5)")), qPrintable(s.problemText()));
    QVERIFY2(s.problem().contains(QLatin1String("line 3 is not UTF-8, line 5 is not a row")), qPrintable(s.problem()));
    s.set(setting::channelConsent, QStringLiteral("yes"));
    QString error;
    QVERIFY2(s.save(d.path(), &error), qPrintable(error));
    QCOMPARE(readFile(path), QByteArray("# my settings\r\n"
                                        "channels/source = http://127.0.0.1:8801/{code}.m3u\r\n"
                                        "[player]\n"
                                        "player/hardware-decoding=no\n"
                                        "channels/consent=yes\n"));
    QCOMPARE(readFile(path + ".damaged"), file);
}

// Two writers of different keys keep each other's; a changed key goes
// where it first stood, and a later line of it (which would win) goes.
void TestSettings::changedKeysOnlyWhereTheyStood()
{
    QTemporaryDir d;
    const QString path = d.filePath(Settings::fileName());
    QVERIFY(writeFile(path, "a=1\n# note\nb=2\na=3"));
    Settings first = Settings::load(d.path());
    Settings second = Settings::load(d.path());
    first.set("a", "one");
    second.set("c", "new");
    second.remove("b");
    QString error;
    QVERIFY(first.save(d.path(), &error));
    QVERIFY(second.save(d.path(), &error));
    QCOMPARE(readFile(path), QByteArray("a=one\n# note\nc=new\n"));
    QCOMPARE(Settings::load(d.path()).value("a"), QStringLiteral("one"));
    QVERIFY(!QFile::exists(path + ".damaged"));
}

void TestSettings::linksAndPermissionsAreThePersons()
{
    QTemporaryDir d;
    QVERIFY(QDir().mkpath(d.filePath("config")) && QDir().mkpath(d.filePath("dotfiles")));
    const QString target = d.filePath("dotfiles/miravon.ini");
    QVERIFY(writeFile(target, handWritten));
    QVERIFY(QFile::link(target, d.filePath("config/settings.ini")));
    Settings s = Settings::load(d.filePath("config"));
    QCOMPARE(s.value(setting::hardwareDecoding), QStringLiteral("no"));
    s.set(setting::channelsUpdated, QStringLiteral("2026-12-11T00:00:00Z"));
    QString error;
    QVERIFY2(s.save(d.filePath("config"), &error), qPrintable(error));
    QVERIFY(QFileInfo(d.filePath("config/settings.ini")).isSymLink());
    QCOMPARE(readFile(target), handWritten + "channels/updated=2026-12-11T00:00:00Z\n");

    QVERIFY(QFile::setPermissions(target, QFile::ReadOwner));
    s.set(setting::channelConsent, QStringLiteral("never"));
    QVERIFY(!s.save(d.filePath("config"), &error));
    QVERIFY2(error.contains(QLatin1String("read-only")), qPrintable(error));
    QCOMPARE(readFile(target), handWritten + "channels/updated=2026-12-11T00:00:00Z\n");
}

// Saved for a window: the caller's thread goes on at once, even while the
// folder is held; the save ends when the holder lets go, and says so on
// the caller's thread.
void TestSettings::savedOffTheCallersThread()
{
    QTemporaryDir d;
    bool busy = false;
    QString error;
    auto held = files::FolderLock::take(d.path(), 0, &busy, &error);
    QVERIFY(held);
    Settings s;
    s.set(setting::channelConsent, QStringLiteral("never"));
    QObject context;
    int calls = 0;
    bool saved = false;
    QThread* heardOn = nullptr;
    saveInBackground(s, d.path(), &context, [&](bool ok, const QString&) {
        ++calls;
        saved = ok;
        heardOn = QThread::currentThread();
    });
    QCOMPARE(calls, 0);
    QTest::qWait(300); // the loop turns while the writer waits
    QCOMPARE(calls, 0);
    held.reset();
    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 5000);
    QVERIFY(saved);
    QCOMPARE(heardOn, QThread::currentThread());
    QCOMPARE(Settings::load(d.path()).value(setting::channelConsent), QStringLiteral("never"));
}

void TestSettings::updateTimeInTheFuture_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("due");
    QTest::addColumn<bool>("corrected");
    const QDateTime now = QDateTime(QDate(2026, 12, 11), QTime(9, 0), Qt::UTC);
    QTest::newRow("none yet") << QString() << true << false;
    QTest::newRow("eight days ago") << now.addDays(-8).toString(Qt::ISODate) << true << false;
    QTest::newRow("yesterday") << now.addDays(-1).toString(Qt::ISODate) << false << false;
    QTest::newRow("three years ahead") << now.addYears(3).toString(Qt::ISODate) << false << true;
}

// A time stored in the future (a clock set wrong) counts as now and is
// stored as now, so the week counts from today instead of holding the
// update back for years.
void TestSettings::updateTimeInTheFuture()
{
    QFETCH(QString, stored);
    QFETCH(bool, due);
    QFETCH(bool, corrected);
    const QDateTime now = QDateTime(QDate(2026, 12, 11), QTime(9, 0), Qt::UTC);
    Settings s;
    if (!stored.isEmpty())
        s.set(setting::channelsUpdated, stored);
    Settings correction;
    QCOMPARE(channelUpdateDue(s, now, &correction), due);
    QCOMPARE(correction.value(setting::channelsUpdated), corrected ? now.toString(Qt::ISODate) : QString());
    if (corrected) {
        QCOMPARE(channelUpdateDue(correction, now.addDays(6), &correction), false);
        QCOMPARE(channelUpdateDue(correction, now.addDays(7), &correction), true);
    }
}

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
