// The user's own address file: which rows replace addresses, how each kind
// of bad row is reported and skipped, and where the file is looked for.
#include "catalogue.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using namespace miravon::catalogue;

namespace {

const QString header = QStringLiteral("window\tcontrol\taddress\n");

struct Change {
    QString window;
    QString control;
    QString address;
};

} // namespace

Q_DECLARE_METATYPE(QList<Change>)

class TestOverrides : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void rows_data();
    void rows();
    void missingFileChangesNothing();
    void pathFollowsXdgConfigHome();
    void startUpCatalogueAppliesTheUserFile();

private:
    QTemporaryDir dir_;
    QString write(const QString& name, const QByteArray& content);
};

void TestOverrides::initTestCase()
{
    QVERIFY(dir_.isValid());
}

QString TestOverrides::write(const QString& name, const QByteArray& content)
{
    const QString path = dir_.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    f.write(content);
    return path;
}

void TestOverrides::rows_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QList<Change>>("changes");
    QTest::addColumn<QStringList>("reports"); // "<line>: <part of the message>"
    QTest::addColumn<int>("applied");

    QTest::newRow("entry, logo, heading, inert, film title")
        << (header
            + QStringLiteral("frmmain\tusa1_1\thttps://my.example/3abn\n"
                             "frmmain\tImage1\tmmsh://192.0.2.7/htv7\n"
                             "frmmain2\tA1_1\trtsp://my.example/uk\n"
                             "frmmain\tusa2_i11\tmmst://my.example/eatv\n"
                             "frmphim\tLabelUni28\thttp://my.example/kingkong.wmv\n"
                             "frmmain3\tLabelUni101\tHTTP://my.example/aktuell\n"))
               .toUtf8()
        << QList<Change>{{"frmmain", "usa1_1", "https://my.example/3abn"},
                         {"frmmain", "Image1", "mmsh://192.0.2.7/htv7"},
                         {"frmmain2", "A1_1", "rtsp://my.example/uk"},
                         {"frmmain", "usa2_i11", "mmst://my.example/eatv"},
                         {"frmphim", "LabelUni28", "http://my.example/kingkong.wmv"},
                         {"frmmain3", "LabelUni101", "HTTP://my.example/aktuell"}}
        << QStringList{} << 6;

    QTest::newRow("windows line ends, byte-order mark, blank lines, later row wins")
        << QByteArray("\xEF\xBB\xBFwindow\tcontrol\taddress\r\n"
                      "frmmain\tusa1_1\thttp://my.example/first\r\n"
                      "\r\n"
                      "frmmain\tusa1_1\thttp://my.example/second\r\n")
        << QList<Change>{{"frmmain", "usa1_1", "http://my.example/second"}} << QStringList{} << 2;

    QTest::newRow("each bad row skipped, good rows kept")
        << (header
            + QStringLiteral("frmmain9\tusa1_1\thttp://my.example/a\n"          // 2 unknown window
                             "frmmain\tusa1_999\thttp://my.example/a\n"         // 3 unknown control
                             "frmmain\tButtonUni1\thttp://my.example/a\n"       // 4 a page button is no label
                             "frmmain4\tusa1_1\thttp://my.example/a\n"          // 5 control of another window
                             "frmmain\tusa1_2\tmy.example/a\n"                  // 6 not absolute
                             "frmmain\tusa1_3\tftp://my.example/a\n"            // 7 other scheme
                             "frmmain\tusa1_4\t http://my.example/a\n"          // 8 blank before
                             "frmmain\tusa1_5\thttp://\n"                       // 9 no host
                             "frmmain\tusa1_6\t\n"                              // 10 empty
                             "frmmain\tusa1_7\n"                                // 11 two columns
                             "frmmain\tusa1_8\thttp://my.example/a\textra\n"    // 12 four columns
                             "frmmain usa1_9 http://my.example/a\n"             // 13 blanks, not tabs
                             "frmmain2\tbra_1\thttp://my.example/aiitv\n"))     // 14 good
               .toUtf8()
        << QList<Change>{{"frmmain2", "bra_1", "http://my.example/aiitv"}}
        << QStringList{QStringLiteral("2: unknown window \"frmmain9\""),
                       QStringLiteral("3: no label \"usa1_999\" on window frmmain"),
                       QStringLiteral("4: no label \"ButtonUni1\""),
                       QStringLiteral("5: no label \"usa1_1\" on window frmmain4"),
                       QStringLiteral("6: \"my.example/a\" is not an absolute"),
                       QStringLiteral("7: \"ftp://my.example/a\" is not an absolute"),
                       QStringLiteral("8: \" http://my.example/a\" is not an absolute"),
                       QStringLiteral("9: \"http://\" is not an absolute"),
                       QStringLiteral("10: \"\" is not an absolute"),
                       QStringLiteral("11: 2 columns, expected 3"),
                       QStringLiteral("12: 4 columns, expected 3"),
                       QStringLiteral("13: 1 columns, expected 3")}
        << 1;

    // A row of a list channel is the running catalogue's, checked by the
    // same rule; it changes no label.
    QTest::newRow("list channels")
        << (header
            + QStringLiteral("danhsach\tVN/VTV5.vn\thttp://my.example/vtv5\n" // 2 good
                             "danhsach\tvtv5\thttp://my.example/x\n"          // 3 no country
                             "danhsach\tVN/ \thttp://my.example/x\n"          // 4 no id
                             "danhsach\tVN/VTV6\tftp://my.example/x\n"        // 5 the row rule
                             "frmmain2\tbra_1\thttp://my.example/aiitv\n"))   // 6 good
               .toUtf8()
        << QList<Change>{{"frmmain2", "bra_1", "http://my.example/aiitv"}}
        << QStringList{QStringLiteral("3: \"vtv5\" is not the key of a list channel"),
                       QStringLiteral("4: \"VN/ \" is not the key of a list channel"),
                       QStringLiteral("5: \"ftp://my.example/x\" is not an absolute")}
        << 1;

    QTest::newRow("no header: the file is ignored")
        << QByteArray("frmmain\tusa1_1\thttp://my.example/a\n") << QList<Change>{}
        << QStringList{QStringLiteral("1: the first line must be the header")} << 0;

    QTest::newRow("header only") << header.toUtf8() << QList<Change>{} << QStringList{} << 0;

    // The user's own file may name a file of this computer, by its absolute
    // path only.
    QTest::newRow("local files")
        << (header
            + QStringLiteral("frmmain\tusa1_1\tfile:///home/user/Videos/tin%20tuc.ts\n"   // 2 good
                             "frmmain\tusa1_2\tfile:relative/clip.ts\n"                   // 3 relative
                             "frmmain\tusa1_3\tfile://server/share/clip.ts\n"             // 4 another host
                             "frmmain\tusa1_4\tfile:///home/user/Videos/\n"))             // 5 a folder
               .toUtf8()
        << QList<Change>{{"frmmain", "usa1_1", "file:///home/user/Videos/tin%20tuc.ts"}}
        << QStringList{QStringLiteral("3: \"file:relative/clip.ts\" is not an absolute"),
                       QStringLiteral("4: \"file://server/share/clip.ts\" is not an absolute"),
                       QStringLiteral("5: \"file:///home/user/Videos/\" is not an absolute")}
        << 1;
}

void TestOverrides::rows()
{
    QFETCH(QByteArray, content);
    QFETCH(QList<Change>, changes);
    QFETCH(QStringList, reports);
    QFETCH(int, applied);

    const QString path = write(QStringLiteral("addresses.tsv"), content);
    QVERIFY(!path.isEmpty());
    Catalogue c = pristine();
    QStringList reported;
    QCOMPARE(applyOverrides(c, path, miravon::AddressOrigin::Own, [&](const QString& line) { reported << line; }), applied);

    QCOMPARE(reported.size(), reports.size());
    for (int i = 0; i < reports.size(); ++i) {
        const QString& r = reported.at(i);
        QVERIFY2(r.startsWith(path + QLatin1Char(':') + reports.at(i).section(QLatin1Char(':'), 0, 0) + QLatin1Char(':')),
                 qPrintable(r));
        QVERIFY2(r.contains(reports.at(i).section(QStringLiteral(": "), 1)), qPrintable(r));
        QVERIFY2(!r.contains(QLatin1Char('\n')), qPrintable(r));
    }

    // Exactly the named labels changed; a label without an address became an
    // entry, every other field stayed.
    QSet<QString> changed;
    for (const Change& ch : changes) {
        const Label* before = pristine().label(ch.window, ch.control);
        const Label* after = c.label(ch.window, ch.control);
        QVERIFY(before && after);
        QCOMPARE(after->address, ch.address);
        QCOMPARE(after->caption, before->caption);
        QCOMPARE(after->rect, before->rect);
        const bool hadNone = before->kind == Kind::Heading || before->kind == Kind::Inert;
        QCOMPARE(after->kind, hadNone ? Kind::Entry : before->kind);
        changed.insert(ch.window + QLatin1Char('/') + ch.control);
    }
    QCOMPARE(c.labels.size(), pristine().labels.size());
    for (int i = 0; i < c.labels.size(); ++i) {
        const Label& a = c.labels.at(i);
        if (changed.contains(a.window + QLatin1Char('/') + a.control))
            continue;
        QCOMPARE(a.address, pristine().labels.at(i).address);
        QCOMPARE(a.kind, pristine().labels.at(i).kind);
    }
}

void TestOverrides::missingFileChangesNothing()
{
    Catalogue c = pristine();
    int reports = 0;
    QCOMPARE(applyOverrides(c, dir_.filePath(QStringLiteral("none/addresses.tsv")), miravon::AddressOrigin::Own, [&](const QString&) { ++reports; }), 0);
    QCOMPARE(reports, 0);
    for (int i = 0; i < c.labels.size(); ++i)
        QCOMPARE(c.labels.at(i).address, pristine().labels.at(i).address);
}

void TestOverrides::pathFollowsXdgConfigHome()
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/somewhere/config");
    QCOMPARE(miravon::userdata::overridePath(), QStringLiteral("/somewhere/config/miravon/addresses.tsv"));
    qputenv("XDG_CONFIG_HOME", "relative/config"); // not absolute: ignored, as the XDG rules say
    QCOMPARE(miravon::userdata::overridePath(), QDir::homePath() + QStringLiteral("/.config/miravon/addresses.tsv"));
    qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(miravon::userdata::overridePath(), QDir::homePath() + QStringLiteral("/.config/miravon/addresses.tsv"));
    if (!saved.isNull())
        qputenv("XDG_CONFIG_HOME", saved);
}

// The running catalogue applies the file as it is made (in the user's
// config folder unless told another), and tells about each bad row on
// standard error.
void TestOverrides::startUpCatalogueAppliesTheUserFile()
{
    QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("xdg/miravon")));
    const QString path = write(QStringLiteral("xdg/miravon/addresses.tsv"),
                               (header + QStringLiteral("frmmain6\tkhung6_1\thttps://my.example/venezuela\n"
                                                        "frmmain7\tkhung6_2\thttps://my.example/am\n"))
                                   .toUtf8());
    QVERIFY(!path.isEmpty());
    qputenv("XDG_CONFIG_HOME", dir_.filePath(QStringLiteral("xdg")).toUtf8());

    // Standard error goes to a file while the catalogue loads.
    const QString errPath = dir_.filePath(QStringLiteral("stderr.txt"));
    std::fflush(stderr);
    const int saved = ::dup(2);
    const int fd = ::open(QFile::encodeName(errPath).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    QVERIFY(saved >= 0 && fd >= 0);
    ::dup2(fd, 2);
    const RunningCatalogue running;
    const Label* heading = running.catalogue().label(QStringLiteral("frmmain6"), QStringLiteral("khung6_1"));
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(fd);
    ::close(saved);

    QVERIFY(heading);
    QCOMPARE(heading->caption, QStringLiteral("Venezuela"));
    QCOMPARE(heading->kind, Kind::Entry);
    QCOMPARE(heading->address, QStringLiteral("https://my.example/venezuela"));
    QCOMPARE(running.configDir(), dir_.filePath(QStringLiteral("xdg/miravon")));

    QFile err(errPath);
    QVERIFY(err.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(err.readAll()),
             path + QStringLiteral(":3: unknown window \"frmmain7\"; row skipped\n"));
}

QTEST_GUILESS_MAIN(TestOverrides)
#include "test_overrides.moc"
