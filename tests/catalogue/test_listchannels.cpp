// The file of the lists' channels: what is written reads back the same, a
// row that cannot be read loses only itself, and keys stay put across the
// forms a list writes a channel in.
#include "listchannels.h"

#include <QTest>

using namespace miravon;
using namespace miravon::catalogue;

class TestListChannels : public QObject {
    Q_OBJECT
private slots:
    void roundTrip()
    {
        ListChannel vtv5{QStringLiteral("VN/VTV5.vn"), QStringLiteral("VTV5"), QStringLiteral("Tin tức\tvà"),
                         QStringLiteral("1080p"), QStringLiteral("VTV5.vn@HD"), QStringLiteral("VN"),
                         QStringLiteral("https://logo.example/vtv5.png"), {}, {}};
        vtv5.streams << ListStream{{QStringLiteral("https://a.example/vtv5.m3u8"),
                                    {QStringLiteral("https://vtv.example/"), QStringLiteral("UA/1"),
                                     AddressOrigin::Imported}},
                                   QStringLiteral("vn.m3u"), QStringLiteral("VTV5 (1080p)")}
                     << ListStream{{QStringLiteral("http://b.example/vtv5.ts"), {{}, {}, AddressOrigin::Imported}},
                                   QStringLiteral("vn.m3u"), QStringLiteral("VTV5 (720p)")};
        ListChannel vtv1 = vtv5;
        vtv1.key = QStringLiteral("VN/VTV1.vn");
        vtv1.entry = QStringLiteral("frmmain/Image4");
        vtv1.streams.removeLast();
        const QList<ListChannel> read = readListChannels(writeListChannels({vtv5, vtv1}));
        QCOMPARE(read.size(), 2);
        vtv5.group = vtv1.group = QStringLiteral("Tin tức và"); // a tab is written as a blank
        QCOMPARE(read.at(0), vtv5);
        QCOMPARE(read.at(1), vtv1);
    }

    void badRowsLoseOnlyThemselves_data()
    {
        QTest::addColumn<QByteArray>("row");
        QTest::newRow("too few columns") << QByteArray("VN/X\tVN\tX\n");
        QTest::newRow("too many columns") << QByteArray("VN/X\tVN\tX\t\t\t\t\t\thttp://x.example/\t\t\tl\tt\textra\n");
        QTest::newRow("no country") << QByteArray("VN/X\t\tX\t\t\t\t\t\thttp://x.example/\t\t\tl\tt\n");
        QTest::newRow("local file") << QByteArray("VN/X\tVN\tX\t\t\t\t\t\tfile:///etc/passwd\t\t\tl\tt\n");
        QTest::newRow("not an address") << QByteArray("VN/X\tVN\tX\t\t\t\t\t\tjavascript:alert(1)\t\t\tl\tt\n");
    }
    void badRowsLoseOnlyThemselves()
    {
        QFETCH(QByteArray, row);
        QByteArray file = writeListChannels({});
        file += "VN/A\tVN\tA\t\t\t\t\t\thttp://a.example/\t\t\tl\tA\n" + row
            + "VN/B\tVN\tB\t\t\t\t\t\thttp://b.example/\t\t\tl\tB\n";
        QStringList problems;
        const QList<ListChannel> read = readListChannels(file, &problems);
        QCOMPARE(read.size(), 2);
        QCOMPARE(read.at(1).key, QStringLiteral("VN/B"));
        QCOMPARE(problems.size(), 1);
        QVERIFY2(problems.first().startsWith(u"3: "), qPrintable(problems.first()));
    }

    void foreignHeaderGivesNothing()
    {
        QStringList problems;
        QVERIFY(readListChannels("window\tcontrol\taddress\nfrmmain\tImage1\thttp://a.example/\n", &problems)
                    .isEmpty());
        QCOMPARE(problems.size(), 1);
    }

    void keys_data()
    {
        QTest::addColumn<QString>("tvgId");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("key");
        QTest::newRow("feed dropped") << "VTV5.vn@HD" << "VTV5" << "VN/VTV5.vn";
        QTest::newRow("no feed") << "VTV5.vn" << "whatever" << "VN/VTV5.vn";
        QTest::newRow("name folded") << "" << "Truyền hình Vĩnh Long 1" << "VN/truyen hinh vinh long 1";
    }
    void keys()
    {
        QFETCH(QString, tvgId);
        QFETCH(QString, name);
        QFETCH(QString, key);
        QCOMPARE(channelKey(QStringLiteral("VN"), tvgId, name), key);
    }
};

QTEST_GUILESS_MAIN(TestListChannels)
#include "test_listchannels.moc"
