#include "commandline.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QProcessEnvironment>
#include <QTest>

using miravon::Invocation;
using Action = miravon::Invocation::Action;
Q_DECLARE_METATYPE(Action)

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void refused_data();
    void refused();
    void process_data();
    void process();
};

void TestCommandLine::parse_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QStringList>("sources");
    QTest::addColumn<QString>("country");
    QTest::addColumn<bool>("dryRun");
    QTest::addColumn<int>("jobs");

    const QStringList none;
    QTest::newRow("no arguments") << none << Action::Windows << none << QString() << false << 0;
    QTest::newRow("help") << QStringList{"--help"} << Action::Help << none << QString() << false << 0;
    QTest::newRow("help wins") << QStringList{"--check", "-h", "--bogus"} << Action::Help << none << QString()
                               << false << 0;
    QTest::newRow("version") << QStringList{"-V"} << Action::Version << none << QString() << false << 0;
    QTest::newRow("import many") << QStringList{"--import-m3u", "a.m3u", "http://h/b.m3u", "--country", "fr"}
                                 << Action::Import << QStringList{"a.m3u", "http://h/b.m3u"} << "fr" << false << 0;
    QTest::newRow("import options first") << QStringList{"--dry-run", "--country=de", "--import-m3u=x.m3u"}
                                          << Action::Import << QStringList{"x.m3u"} << "de" << true << 0;
    QTest::newRow("undo") << QStringList{"--undo-import"} << Action::UndoImport << none << QString() << false << 0;
    QTest::newRow("check") << QStringList{"--check"} << Action::Check << none << QString() << false << 0;
    QTest::newRow("check jobs") << QStringList{"--check", "--jobs", "8"} << Action::Check << none << QString()
                                << false << 8;
    QTest::newRow("jobs first") << QStringList{"--jobs=3", "--check"} << Action::Check << none << QString()
                                << false << 3;
    QTest::newRow("update") << QStringList{"--update-channels"} << Action::UpdateChannels << none << QString()
                            << false << 0;
    QTest::newRow("update, a source, a dry run")
        << QStringList{"--update-channels", "--source", "http://127.0.0.1/{code}.m3u", "--dry-run"}
        << Action::UpdateChannels << none << QString() << true << 0;
}

void TestCommandLine::parse()
{
    QFETCH(QStringList, args);
    QFETCH(Action, action);
    const Invocation inv = miravon::parseCommandLine(args);
    QCOMPARE(inv.error, QString());
    QCOMPARE(inv.action, action);
    QTEST(inv.import.sources, "sources");
    QTEST(inv.import.country, "country");
    QTEST(inv.import.dryRun, "dryRun");
    QTEST(inv.update.dryRun, "dryRun");
    QTEST(inv.jobs, "jobs");
    if (args.contains(QStringLiteral("--source")))
        QCOMPARE(inv.update.sourceTemplate, QStringLiteral("http://127.0.0.1/{code}.m3u"));
}

void TestCommandLine::refused_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("error");
    QTest::newRow("unknown") << QStringList{"--bogus"} << "unknown option '--bogus'";
    QTest::newRow("qt option") << QStringList{"-platform", "xcb"} << "unknown option '-platform'";
    QTest::newRow("argument") << QStringList{"file.m3u"} << "unexpected argument 'file.m3u'";
    QTest::newRow("import without source") << QStringList{"--import-m3u", "--dry-run"}
                                           << "--import-m3u needs at least one SOURCE";
    QTest::newRow("country alone") << QStringList{"--country", "fr"} << "--country goes with --import-m3u";
    QTest::newRow("country without code") << QStringList{"--import-m3u", "a", "--country"}
                                          << "--country needs a country code";
    QTest::newRow("dry run alone") << QStringList{"--dry-run"} << "--dry-run goes with --import-m3u or --update-channels";
    QTest::newRow("source alone") << QStringList{"--source", "http://h/{code}.m3u"}
                                  << "--source goes with --update-channels";
    QTest::newRow("source without template") << QStringList{"--update-channels", "--source"}
                                             << "--source needs an address with {code} in it";
    QTest::newRow("update and import") << QStringList{"--update-channels", "--import-m3u", "a.m3u"}
                                       << "--import-m3u cannot be combined with other commands";
    QTest::newRow("two commands") << QStringList{"--check", "--undo-import"}
                                  << "--undo-import cannot be combined with other commands";
    QTest::newRow("jobs not a number") << QStringList{"--check", "--jobs", "many"}
                                       << "--jobs needs a number from 1 to 64, not 'many'";
    QTest::newRow("jobs zero") << QStringList{"--check", "--jobs=0"} << "--jobs needs a number from 1 to 64, not '0'";
    QTest::newRow("jobs without check") << QStringList{"--jobs", "2"} << "--jobs goes with --check";
    QTest::newRow("version and command") << QStringList{"--check", "--version"}
                                         << "--version cannot be combined with other options";
}

void TestCommandLine::refused()
{
    QFETCH(QStringList, args);
    const Invocation inv = miravon::parseCommandLine(args);
    QCOMPARE(inv.action, Action::Error);
    QTEST(inv.error, "error");
}

// The executable itself, without any display: what it prints and how it ends.
void TestCommandLine::process_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("display"); // DISPLAY to set; empty unsets it
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");     // start of standard output
    QTest::addColumn<QString>("err");     // start of standard error
    QTest::addColumn<int>("errLines");    // -1: any

    const QString usage = QStringLiteral("Usage: miravon [OPTION]...");
    QTest::newRow("--help") << QStringList{"--help"} << "" << 0 << usage << "" << 0;
    QTest::newRow("--version") << QStringList{"--version"} << "" << 0 << "miravon 1.0\n" << "" << 0;
    QTest::newRow("unknown option") << QStringList{"--frobnicate"} << "" << 2 << ""
                                    << "miravon: unknown option '--frobnicate'\n" + usage << -1;
    QTest::newRow("no display") << QStringList{} << "" << 1 << "" << "miravon: no graphical display" << 1;
    QTest::newRow("unreachable display") << QStringList{} << ":97" << 1 << ""
                                         << "miravon: cannot connect to the display \":97\"" << 1;
    // Eight jobs unless told otherwise; the built-in stand-ins never work.
    QTest::newRow("--check without --jobs") << QStringList{"--check"} << "" << 1 << "frmmain\tvn_\t" << "" << 0;
}

void TestCommandLine::process()
{
    QFETCH(QStringList, args);
    QFETCH(QString, display);
    QFETCH(int, errLines);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XAUTHORITY"})
        env.remove(QLatin1String(name));
    if (!display.isEmpty())
        env.insert(QStringLiteral("DISPLAY"), display);
    // No address file of the user's: nothing is contacted.
    QTemporaryDir config;
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(MIRAVON_EXECUTABLE), args);
    QVERIFY(p.waitForFinished(30000));
    const QString stdOut = QString::fromUtf8(p.readAllStandardOutput());
    const QString stdErr = QString::fromUtf8(p.readAllStandardError());
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QTEST(p.exitCode(), "status");
    QFETCH(QString, out);
    QFETCH(QString, err);
    // Empty expectations mean the stream stays empty.
    if (out.isEmpty())
        QCOMPARE(stdOut, QString());
    else
        QVERIFY2(stdOut.startsWith(out), qPrintable(stdOut));
    if (err.isEmpty())
        QCOMPARE(stdErr, QString());
    else
        QVERIFY2(stdErr.startsWith(err), qPrintable(stdErr));
    if (errLines >= 0)
        QCOMPARE(stdErr.count(u'\n'), errLines);
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
