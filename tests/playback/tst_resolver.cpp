// The address resolver on its own, against the loopback HTTP fixture and
// with no engine: a script plays the engine's part, answering each
// candidate by the end of its address.

#include "httpfixture.h"
#include "resolver.h"

#include <QSignalSpy>
#include <QTest>

using namespace miravon;

namespace {

// What the stand-in engine does with a candidate whose address ends so.
struct Script {
    QList<QPair<QString, QString>> rules;  // suffix -> "end", "unreadable" or a reason name
    QString actionFor(const QUrl& url) const
    {
        const QString s = url.toString();
        for (const auto& [suffix, action] : rules) {
            if (s.endsWith(suffix))
                return action;
        }
        return QStringLiteral("NotMedia");
    }
};

PlayFailure reasonNamed(const QString& name)
{
    static const QHash<QString, PlayFailure> names = {
        {QStringLiteral("NotMedia"), PlayFailure::NotMedia},
        {QStringLiteral("NotFound"), PlayFailure::NotFound},
        {QStringLiteral("ConnectionRefused"), PlayFailure::ConnectionRefused},
        {QStringLiteral("TimedOut"), PlayFailure::TimedOut},
        {QStringLiteral("HostNotFound"), PlayFailure::HostNotFound},
    };
    return names.value(name, PlayFailure::NotMedia);
}

// Runs the resolver on `address` until it fails or finishes; returns the
// candidates it handed out (path and query only for loopback addresses)
// and the outcome ("finished" or the failure's number).
QStringList run(AddressResolver& resolver, const QString& address, const Script& script, QString* outcome)
{
    QStringList handed;
    bool done = false;
    QObject guard;
    QObject::connect(&resolver, &AddressResolver::candidate, &guard, [&](const QUrl& url) {
        handed << (url.host() == QLatin1String("127.0.0.1") ? url.scheme() + QLatin1Char(':') + url.path()
                                                             : url.toString());
        const QString action = script.actionFor(url);
        if (action == QLatin1String("end"))
            resolver.candidateEnded();
        else if (action == QLatin1String("unreadable"))
            resolver.candidateUnreadable();
        else
            resolver.candidateFailed(reasonNamed(action));
    });
    QObject::connect(&resolver, &AddressResolver::failed, &guard, [&](PlayFailure reason) {
        *outcome = QStringLiteral("failed %1").arg(int(reason));
        done = true;
    });
    QObject::connect(&resolver, &AddressResolver::finished, &guard, [&] {
        *outcome = QStringLiteral("finished");
        done = true;
    });
    resolver.start(address);
    if (!QTest::qWaitFor([&] { return done; }, 10000))
        *outcome = QStringLiteral("no outcome");
    return handed;
}

} // namespace

class TestResolver : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void resolves_data();
    void resolves();
    void signalsComeAfterTheCall();
    void playlistFoundLateIsFetchedFirstNextTime();

private:
    HttpFixture http_;
};

void TestResolver::initTestCase()
{
    HttpFixture::Route silent;
    silent.mode = HttpFixture::Mode::Silent;
    http_.route("/silent.asx", silent);
    http_.route("/two.asx", HttpFixture::asx({{QStringLiteral("/a.wmv")}, {QStringLiteral("/b.wmv")}}));
    http_.route("/alts.asx", HttpFixture::asx({{QStringLiteral("/silent.asx"), QStringLiteral("/a.wmv")}}));
    http_.route("/loop.asx", HttpFixture::asx({{QStringLiteral("/loop.asx")}}));
    http_.route("/mixed.asx", HttpFixture::asx({{QStringLiteral("file:///etc/passwd"), QStringLiteral("mms://127.0.0.1/m")}}));
    http_.route("/wms", "[Reference]\r\nRef1=" + http_.url("/a.wmv").toUtf8() + "\r\n");
    http_.route("/huge.asx", HttpFixture::asx({{QStringLiteral("/a.wmv")}}) + QByteArray(2 * 1024 * 1024, ' '));
}

void TestResolver::resolves_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("rules");  // suffix=action pairs
    QTest::addColumn<QStringList>("candidates");
    QTest::addColumn<QString>("outcome");
    const QString failed = QStringLiteral("failed %1");
    QTest::newRow("mms rolls over, most informative reason")
        << "mms://127.0.0.1:9/x" << QStringList{"x", "NotFound"} << QStringList{"mmsh:/x", "mmst:/x"}
        << failed.arg(int(PlayFailure::NotFound));
    QTest::newRow("refused after a 404 still reads 404")
        << "mms://127.0.0.1:9/x" << QStringList{"mmsh://127.0.0.1:9/x", "NotFound", "x", "ConnectionRefused"}
        << QStringList{"mmsh:/x", "mmst:/x"} << failed.arg(int(PlayFailure::NotFound));
    QTest::newRow("entries play in turn") << http_.url("/two.asx") << QStringList{"wmv", "end"}
                                          << QStringList{"http:/a.wmv", "http:/b.wmv"} << "finished";
    QTest::newRow("failed entry, next entry")
        << http_.url("/two.asx") << QStringList{"a.wmv", "TimedOut", "b.wmv", "end"}
        << QStringList{"http:/a.wmv", "http:/b.wmv"} << "finished";
    QTest::newRow("silent playlist alternative bounded alone")
        << http_.url("/alts.asx") << QStringList{"a.wmv", "end"} << QStringList{"http:/a.wmv"} << "finished";
    QTest::newRow("loop refused") << http_.url("/loop.asx") << QStringList{} << QStringList{}
                                  << failed.arg(int(PlayFailure::PlaylistRefused));
    QTest::newRow("oversized playlist refused") << http_.url("/huge.asx") << QStringList{} << QStringList{}
                                                << failed.arg(int(PlayFailure::PlaylistRefused));
    QTest::newRow("local reference dropped, mms kept")
        << http_.url("/mixed.asx") << QStringList{"m", "ConnectionRefused"} << QStringList{"mmsh:/m", "mmst:/m"}
        << failed.arg(int(PlayFailure::NoPlayableEntry));
    QTest::newRow("[Reference] on a mount point the engine cannot read")
        << http_.url("/wms") << QStringList{"/wms", "unreadable", "a.wmv", "end"}
        << QStringList{"http:/wms", "http:/a.wmv"} << "finished";
    QTest::newRow("unsupported scheme") << "file:///etc/passwd" << QStringList{} << QStringList{}
                                        << failed.arg(int(PlayFailure::UnsupportedAddress));
}

void TestResolver::resolves()
{
    QFETCH(QString, address);
    QFETCH(QStringList, rules);
    QFETCH(QStringList, candidates);
    QFETCH(QString, outcome);
    Script script;
    for (int i = 0; i + 1 < rules.size(); i += 2)
        script.rules.append({rules.at(i), rules.at(i + 1)});
    AddressResolver resolver;
    resolver.setFetchBound(300);
    QString got;
    const QStringList handed = run(resolver, address, script, &got);
    QCOMPARE(handed, candidates);
    QCOMPARE(got, outcome);
}

// Nothing is reported from inside start(): the player raises its own
// events first.
void TestResolver::signalsComeAfterTheCall()
{
    AddressResolver resolver;
    QSignalSpy candidate(&resolver, &AddressResolver::candidate);
    QSignalSpy failed(&resolver, &AddressResolver::failed);
    resolver.start(QStringLiteral("gopher://127.0.0.1/"));
    resolver.start(QStringLiteral("http://127.0.0.1:9/a.wmv"));
    QCOMPARE(candidate.count() + failed.count(), 0);
    QVERIFY(candidate.wait(5000));
    QCOMPARE(failed.count(), 0);  // the first, dropped address says nothing
}

// A mount point with no playlist's name that answered with a [Reference]
// is fetched first the next time, not handed to the engine to fail on again.
void TestResolver::playlistFoundLateIsFetchedFirstNextTime()
{
    http_.route("/wms2", "[Reference]\r\nRef1=" + http_.url("/b.wmv").toUtf8() + "\r\n");
    const Script script{{{QStringLiteral("/wms2"), QStringLiteral("unreadable")}, {QStringLiteral("b.wmv"), QStringLiteral("end")}}};
    AddressResolver first;
    QString got;
    QCOMPARE(run(first, http_.url("/wms2"), script, &got), (QStringList{"http:/wms2", "http:/b.wmv"}));
    QCOMPARE(got, QStringLiteral("finished"));
    QCOMPARE(http_.hits("/wms2"), 1);  // the engine's own fetch is not seen here

    AddressResolver again;
    QCOMPARE(run(again, http_.url("/wms2"), script, &got), QStringList{"http:/b.wmv"});
    QCOMPARE(got, QStringLiteral("finished"));
    QCOMPARE(http_.hits("/wms2"), 2);

    // Once it serves media again, the engine gets it again.
    http_.route("/wms2", QByteArray(4096, 'x'));
    QCOMPARE(run(again, http_.url("/wms2"), script, &got), QStringList{"http:/wms2"});
    AddressResolver third;
    QCOMPARE(run(third, http_.url("/wms2"), script, &got).value(0), QStringLiteral("http:/wms2"));
    QCOMPARE(http_.hits("/wms2"), 4);
}

QTEST_MAIN(TestResolver)
#include "tst_resolver.moc"
