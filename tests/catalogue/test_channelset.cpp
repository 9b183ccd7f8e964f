// The channels of the user's lists in the running catalogue: read on a
// thread of their own and handed over whole; looked up by key and by the
// entry they gave an address; a country's other channels by name; read
// again only when their file changed; the user's own address for a list
// channel first among its streams; a damaged file gives nothing and says
// so; a catalogue that goes while it reads goes cleanly.
#include "catalogue.h"
#include "listfixture.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace miravon;
using namespace miravon::catalogue;

namespace {

QList<ListChannel> lists()
{
    return {fixture::channel("FR", "TV5Monde", 2), fixture::channel("FR", "arte", 1),
            fixture::channel("FR", "BFM TV", 1, {}, {}, "frmmain3/phap_2"), fixture::channel("FR", "Échos TV"),
            fixture::channel("KE", "KTN News", 3)};
}

QStringList names(const QList<const ListChannel*>& channels)
{
    QStringList out;
    for (const ListChannel* c : channels)
        out << c->name;
    return out;
}

bool writeOwn(const QString& dir, const QByteArray& rows)
{
    QFile f(dir + QStringLiteral("/addresses.tsv"));
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && f.write("window\tcontrol\taddress\n" + rows) >= 0;
}

} // namespace

class TestChannelSet : public QObject {
    Q_OBJECT
private slots:
    void init();
    void readOffTheThreadAndLookedUp();
    void readAgainOnlyWhenChanged();
    void ownAddressComesFirst();
    void damagedFileGivesNothing();
    void goesWhileReading();

private:
    QTemporaryDir home_;
    QString dir_;
};

void TestChannelSet::init()
{
    QVERIFY(home_.isValid());
    dir_ = home_.filePath(QStringLiteral("config%1").arg(QTest::currentTestFunction()));
    QDir().mkpath(dir_);
}

void TestChannelSet::readOffTheThreadAndLookedUp()
{
    QVERIFY(fixture::writeChannels(lists(), dir_));
    RunningCatalogue running(dir_);
    QVERIFY(!running.channelsRead());
    QVERIFY(running.listChannels()->channels().isEmpty()); // nothing yet, never null
    QSignalSpy arrived(&running, &RunningCatalogue::channelsChanged);
    QVERIFY(arrived.wait(10000));
    QVERIFY(running.channelsRead());
    const auto set = running.listChannels();
    QCOMPARE(set->channels().size(), 5);
    // Other channels by name, diacritics and case aside; not the one an entry stands for.
    QCOMPARE(names(set->others("FR")), (QStringList{"arte", "Échos TV", "TV5Monde"}));
    QCOMPARE(set->otherCount("FR"), 3);
    QCOMPARE(set->otherCount("DE"), 0);
    QStringList countries = set->countries();
    countries.sort();
    QCOMPARE(countries, (QStringList{"FR", "KE"}));
    QCOMPARE(set->ofEntry("frmmain3", "phap_2")->name, QStringLiteral("BFM TV"));
    QVERIFY(!set->ofEntry("frmmain3", "phap_3"));
    QCOMPARE(set->channel(channelKey("KE", {}, "KTN News"))->streams.size(), 3);
    QVERIFY(!set->channel("KE/nothing"));
    // The finder's share: the other channels, each a list channel that plays.
    QCOMPARE(set->found()->size(), 4);
    for (qsizetype i = 0; i < set->found()->size(); ++i) {
        QVERIFY(set->found()->entry(i).listChannel);
        QCOMPARE(set->found()->entry(i).window, listWindow());
    }
}

void TestChannelSet::readAgainOnlyWhenChanged()
{
    QVERIFY(fixture::writeChannels(lists(), dir_));
    RunningCatalogue running(dir_);
    QSignalSpy changed(&running, &RunningCatalogue::channelsChanged);
    QVERIFY(changed.wait(10000));
    const auto first = running.listChannels();
    // An address changed, the lists did not: the same set, no read.
    QVERIFY(writeOwn(dir_, "frmmain3\tphap_3\thttp://127.0.0.1:9/b.m3u8\n"));
    running.reload();
    QVERIFY(running.channelsRead());
    QCOMPARE(running.listChannels(), first);
    QCOMPARE(changed.size(), 1);
    // New lists: read again.
    QVERIFY(fixture::writeChannels(lists().first(2), dir_));
    running.reload();
    QVERIFY(changed.wait(10000));
    QCOMPARE(running.listChannels()->channels().size(), 2);
    // Gone: none, said at once.
    QVERIFY(QFile::remove(dir_ + u'/' + userdata::listChannelsFileName()));
    running.reload();
    QCOMPARE(changed.size(), 3);
    QVERIFY(running.channelsRead());
    QVERIFY(running.listChannels()->channels().isEmpty());
}

void TestChannelSet::ownAddressComesFirst()
{
    QVERIFY(fixture::writeChannels(lists(), dir_));
    const QString ktn = channelKey("KE", {}, "KTN News");
    QVERIFY(writeOwn(dir_, ("danhsach\t" + ktn + "\thttp://127.0.0.1:9/mine.m3u8\n").toUtf8()));
    RunningCatalogue running(dir_);
    QSignalSpy arrived(&running, &RunningCatalogue::channelsChanged);
    QVERIFY(arrived.wait(10000));
    const ListChannel* channel = running.listChannels()->channel(ktn);
    QVERIFY(channel);
    const QList<StreamAddress> streams = running.streams(*channel);
    QCOMPARE(streams.size(), 4);
    QCOMPARE(streams.first().url, QStringLiteral("http://127.0.0.1:9/mine.m3u8"));
    QCOMPARE(streams.first().options.origin, AddressOrigin::Own);
    for (int i = 1; i < 4; ++i) {
        QCOMPARE(streams.at(i), channel->streams.at(i - 1).address);
        QCOMPARE(streams.at(i).options.origin, AddressOrigin::Imported);
    }
    // No label of the catalogue took the row.
    for (const Label& l : running.catalogue().labels)
        QVERIFY(l.origin != AddressOrigin::Own);
    QVERIFY(writeOwn(dir_, {}));
    running.reload();
    QVERIFY(!running.ownAddress(ktn));
    QCOMPARE(running.streams(*running.listChannels()->channel(ktn)).size(), 3);
}

void TestChannelSet::damagedFileGivesNothing()
{
    QFile f(dir_ + u'/' + userdata::listChannelsFileName());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("window\tcontrol\taddress\nfrmmain\tImage4\thttp://a.example/\n");
    f.close();
    const auto set = readListChannelSet(dir_);
    QVERIFY(set->channels().isEmpty());
    QCOMPARE(set->problems().size(), 1);
    QCOMPARE(readListChannelSet(home_.filePath(QStringLiteral("none")))->channels().size(), 0);
}

// Made and gone at once, many times, with thousands of channels to read:
// what the read finds goes nowhere (the sanitizers watch).
void TestChannelSet::goesWhileReading()
{
    QList<ListChannel> many;
    for (int i = 0; i < 5000; ++i)
        many << fixture::channel("US", QStringLiteral("Channel %1").arg(i), 2);
    QVERIFY(fixture::writeChannels(many, dir_));
    for (int i = 0; i < 5; ++i) {
        auto running = std::make_unique<RunningCatalogue>(dir_);
        running.reset();
        QCoreApplication::processEvents();
    }
    RunningCatalogue running(dir_);
    QSignalSpy arrived(&running, &RunningCatalogue::channelsChanged);
    QVERIFY(arrived.wait(20000));
    QCOMPARE(running.listChannels()->otherCount("US"), 5000);
}

QTEST_GUILESS_MAIN(TestChannelSet)
#include "test_channelset.moc"
