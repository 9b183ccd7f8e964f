// Live or finished, from what the engine and the manifest say, without an
// engine: a table of the kinds of stream the program meets. (The rounds of
// reconnection of a dropped live stream: tst_playerstate.)
#include "livejudge.h"

#include <QTest>

using namespace miravon;

namespace {

// One report of the engine, in order: "d120" a length, "p2.5" a position,
// "s" a known size, "k" seekable, "h" segmented (HLS or DASH), "m0"/"m1"
// what the manifest said.
LiveTracker replay(const QString& reports)
{
    LiveTracker t;
    for (const QString& r : reports.split(u' ', Qt::SkipEmptyParts)) {
        const double v = r.mid(1).toDouble();
        switch (r.at(0).unicode()) {
        case 'd': t.setDuration(v); break;
        case 'p': t.setPosition(v); break;
        case 's': t.setSized(true); break;
        case 'k': t.setSeekable(true); break;
        case 'h': t.setSegmented(true); break;
        case 'm': t.setManifestLive(v != 0); break;
        }
    }
    return t;
}

} // namespace

class TestLiveJudge : public QObject {
    Q_OBJECT
private slots:
    void judges_data();
    void judges();
};

void TestLiveJudge::judges_data()
{
    QTest::addColumn<QString>("reports");
    QTest::addColumn<bool>("live");
    QTest::newRow("nothing said yet") << "" << true;
    QTest::newRow("a film: a length and a size") << "d600 s k p0" << false;
    QTest::newRow("a streaming server's film: a length that holds") << "d600 k p0 p1 p2.5" << false;
    QTest::newRow("the same, not played long enough yet") << "d600 k p0 p1" << true;
    QTest::newRow("a live mount: its length grows") << "d10 k p0 d12 p1 d15 p3" << true;
    QTest::newRow("an RTSP broadcast: no length") << "p0 p5 p10" << true;
    QTest::newRow("an MMS broadcast: a made-up length, growing") << "p0 d4 p2 d6 p4" << true;
    QTest::newRow("a length, not seekable, no size") << "d600 p0 p5" << true;
    QTest::newRow("HLS, manifest not read: live") << "h d30 k p0 p5" << true;
    QTest::newRow("HLS VOD by its manifest") << "h m0 d30 k p0" << false;
    QTest::newRow("HLS live by its manifest, though it has a length") << "h m1 d30 s k p0 p5" << true;
    QTest::newRow("DASH static") << "h m0" << false;
}

void TestLiveJudge::judges()
{
    QFETCH(QString, reports);
    QTEST(replay(reports).isLive(), "live");
}

QTEST_GUILESS_MAIN(TestLiveJudge)
#include "tst_livejudge.moc"
