// What the guide is fed from the user's lists: their channels with the
// entries they gave an address, and the guides named in the first line of
// the lists in use (a file read where it is, a list from the network from
// its copy in the cache), each once, with the country most of that list's
// channels are of.
#include "guidefeed.h"

#include "importer.h"
#include "listchannels.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace miravon;

namespace {

bool writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

catalogue::ListChannel channel(const QString& country, const QString& tvgId, const QString& name, const QString& list,
                               const QString& entry = {})
{
    catalogue::ListChannel c;
    c.key = catalogue::channelKey(country, tvgId.section(u'@', 0, 0), name);
    c.name = name;
    c.tvgId = tvgId;
    c.country = country;
    c.entry = entry;
    catalogue::ListStream s;
    s.address = StreamAddress{QStringLiteral("http://s.example/") + QString(name).replace(u' ', u'-'), {}};
    s.address.options.origin = AddressOrigin::Imported;
    s.list = list;
    s.title = name + QStringLiteral(" HD");
    c.streams << s;
    return c;
}

} // namespace

class TestGuideFeed : public QObject {
    Q_OBJECT
private slots:
    void guidesOfList_data();
    void guidesOfList();
    void feedFromTheListsInUse();
    void nothingToReadGivesNothing();
};

void TestGuideFeed::guidesOfList_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QStringList>("guides");
    QTest::newRow("x-tvg-url, several") << QByteArray("#EXTM3U x-tvg-url=\"https://a.example/1.xml.gz,https://b.example/2.xml\"\n#EXTINF:-1,A\nhttp://a\n")
                                        << QStringList{"https://a.example/1.xml.gz", "https://b.example/2.xml"};
    QTest::newRow("url-tvg, BOM, CRLF") << QByteArray("\xEF\xBB\xBF#EXTM3U url-tvg='https://c.example/g.xml'\r\n")
                                        << QStringList{"https://c.example/g.xml"};
    QTest::newRow("no guide") << QByteArray("#EXTM3U\n#EXTINF:-1 x-tvg-url=\"https://no.example\",A\nhttp://a\n")
                              << QStringList{};
    QTest::newRow("no header") << QByteArray("#EXTINF:-1,A\nhttp://a\n#EXTM3U x-tvg-url=\"https://late.example\"\n")
                               << QStringList{};
    QTest::newRow("cut in its first line") << QByteArray("#EXTM3U x-tvg-url=\"https://d.example/g.xml\"")
                                           << QStringList{"https://d.example/g.xml"};
}

void TestGuideFeed::guidesOfList()
{
    QFETCH(QByteArray, head);
    QFETCH(QStringList, guides);
    QCOMPARE(guide::guidesOfList(head), guides);
}

void TestGuideFeed::feedFromTheListsInUse()
{
    QTemporaryDir dir;
    const QString config = dir.filePath("config");
    const QString cache = dir.filePath("cache");
    const QString localList = dir.filePath("mine.m3u");
    const QString fr = QStringLiteral("https://lists.example/fr.m3u");
    const QString failed = QStringLiteral("https://lists.example/broken.m3u");
    QVERIFY(writeFile(localList, "#EXTM3U x-tvg-url=\"https://epg.example/vn.xml\"\n#EXTINF:-1,VTV1\nhttp://a\n"));
    // A list from the network is read from its copy in the cache; one that
    // failed names nothing, whatever its old copy says.
    QVERIFY(writeFile(import::listCachePath(cache, fr),
                      "#EXTM3U url-tvg=\"https://epg.example/fr.xml.gz,https://epg.example/vn.xml\"\n"));
    QVERIFY(writeFile(import::listCachePath(cache, failed), "#EXTM3U url-tvg=\"https://epg.example/old.xml\"\n"));
    QVERIFY(writeFile(config + "/addresses.import.sources.tsv",
                      "kind\tlocation\tread\tstreams\tentries\terror\n"
                      "file\t" + localList.toUtf8() + "\t2026-12-01T10:00:00Z\t2\t1\t\n"
                      "public\t" + fr.toUtf8() + "\t2026-12-01T10:00:00Z\t2\t0\t\n"
                      "address\t" + failed.toUtf8() + "\t\t0\t0\tHTTP 404\n"));
    const QList<catalogue::ListChannel> channels{
        channel("VN", "VTV1.vn@HD", "VTV1", "mine.m3u", "frmmain/Image4"),
        channel("VN", "", "HTV7", "mine.m3u"),
        channel("FR", "France2.fr", "France 2", fr),
        channel("FR", "TF1.fr", "TF1", fr),
        channel("BE", "", "La Une", fr),
    };
    QVERIFY(writeFile(config + "/addresses.import.channels.tsv", catalogue::writeListChannels(channels)));

    const guide::Feed feed = guide::readFeed(config, cache);
    QCOMPARE(feed.channels.size(), 5);
    const guide::ListChannel& vtv1 = feed.channels.at(0);
    QCOMPARE(vtv1.key, channels.at(0).key);
    QCOMPARE(vtv1.tvgId, QStringLiteral("VTV1.vn")); // the feed is no part of a guide's id
    QCOMPARE(vtv1.country, QStringLiteral("VN"));
    QVERIFY(vtv1.names.contains("VTV1") && vtv1.names.contains("VTV1 HD"));
    QCOMPARE(feed.keyOfEntry, (QHash<QString, QString>{{"frmmain/Image4", channels.at(0).key}}));
    QCOMPARE(feed.nameOfKey.value(channels.at(2).key), QStringLiteral("France 2"));

    QCOMPARE(feed.guides.size(), 2);
    QCOMPARE(feed.guides.at(0), (guide::GuideSource{"https://epg.example/vn.xml", false, "VN"}));
    QCOMPARE(feed.guides.at(1), (guide::GuideSource{"https://epg.example/fr.xml.gz", false, "FR"}));
}

void TestGuideFeed::nothingToReadGivesNothing()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("config/addresses.import.channels.tsv"), "not the channels' header\n"));
    const guide::Feed feed = guide::readFeed(dir.filePath("config"), dir.filePath("cache"));
    QVERIFY(feed.channels.isEmpty());
    QVERIFY(feed.guides.isEmpty());
    QVERIFY(feed.keyOfEntry.isEmpty());
}

QTEST_GUILESS_MAIN(TestGuideFeed)
#include "test_guidefeed.moc"
