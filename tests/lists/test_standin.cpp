// The built-in stand-in addresses are told from the text alone.
#include "catalogue.h"
#include "standin.h"

#include <QTest>

using namespace miravon;

class TestStandIn : public QObject {
    Q_OBJECT
private slots:
    void addresses_data();
    void addresses();
    void everyBuiltInAddressIsAStandIn();
};

void TestStandIn::addresses_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("standIn");
    QTest::newRow(".example") << "http://tv-directory.example/play/10278.asx" << true;
    QTest::newRow(".test") << "rtsp://live.test:554/a" << true;
    QTest::newRow(".invalid, upper case") << "MMS://Stream.INVALID/x" << true;
    QTest::newRow("example.com") << "http://example.com/a.wmv" << true;
    QTest::newRow("subdomain of example.net") << "http://media.example.net/a" << true;
    QTest::newRow("example.org with a final dot") << "http://example.org./a" << true;
    QTest::newRow("192.0.2.0/24") << "mms://192.0.2.255/x" << true;
    QTest::newRow("198.51.100.0/24, port") << "http://198.51.100.7:8080/x" << true;
    QTest::newRow("203.0.113.0/24") << "rtsp://203.0.113.50/htv7" << true;
    QTest::newRow("2001:db8::/32") << "http://[2001:db8:1::5]/x" << true;
    QTest::newRow("mapped IPv4") << "http://[::ffff:192.0.2.1]/x" << true;
    QTest::newRow("a real-looking name") << "https://stream.example-tv.com/x" << false;
    QTest::newRow("notexample.com") << "http://notexample.com/x" << false;
    QTest::newRow("example.com.vn") << "http://example.com.vn/x" << false;
    QTest::newRow("a name ending in test") << "http://contest/x" << false;
    QTest::newRow("next to 192.0.2.0/24") << "http://192.0.3.1/x" << false;
    QTest::newRow("198.51.101.1") << "http://198.51.101.1/x" << false;
    QTest::newRow("2001:db9::1") << "http://[2001:db9::1]/x" << false;
    QTest::newRow("loopback") << "http://127.0.0.1:8080/x" << false;
    QTest::newRow("no host") << "file:///home/u/film.mkv" << false;
    QTest::newRow("not an address") << "example" << false;
}

void TestStandIn::addresses()
{
    QFETCH(QString, address);
    QFETCH(bool, standIn);
    QCOMPARE(isStandInAddress(address), standIn);
}

// Out of the box no channel or film plays: every built-in address is one.
void TestStandIn::everyBuiltInAddressIsAStandIn()
{
    const catalogue::Catalogue c = catalogue::parse(catalogue::builtInTables(), nullptr);
    for (const catalogue::Label& l : c.labels)
        if (!l.address.isEmpty())
            QVERIFY2(isStandInAddress(l.address), qPrintable(l.address));
}

QTEST_GUILESS_MAIN(TestStandIn)
#include "test_standin.moc"
