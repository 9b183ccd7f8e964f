// One folding for every place names meet: the finder, the import's matching,
// a list channel's key and a programme guide's display names. Each row is a
// name and a spelling of it another list or a person would write; every
// user of the folding must take the two for the same name.
#include "channelmatch.h"
#include "listchannels.h"
#include "m3u.h"
#include "matcher.h"
#include "namefold.h"
#include "search.h"

#include <QTest>

using namespace miravon;

class TestNameFold : public QObject {
    Q_OBJECT
private slots:
    void sameEverywhere_data();
    void sameEverywhere();
};

void TestNameFold::sameEverywhere_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("spelling");
    QTest::addColumn<QStringList>("words"); // foldWords() of both
    QTest::addColumn<QStringList>("matched"); // nameWords() of both
    QTest::newRow("apostrophe") << "CNN Int'l" << "CNN INTL" << QStringList{"cnn", "intl"}
                                << QStringList{"cnn", "intl"};
    QTest::newRow("ø, glued digits") << QStringLiteral("TV 2 Sørlandet") << "TV2 Sorlandet"
                                      << QStringList{"tv", "2", "sorlandet"} << QStringList{"2", "sorlandet"};
    QTest::newRow("ß") << QStringLiteral("Straßen TV") << "STRASSEN TV" << QStringList{"strassen", "tv"}
                       << QStringList{"strassen"};
    QTest::newRow("&") << "AT&T SportsNet" << "AT and T SportsNet" << QStringList{"at", "and", "t", "sportsnet"}
                       << QStringList{"at", "and", "t", "sportsnet"};
    QTest::newRow("+") << "Canal+ Sport" << "canal plus sport" << QStringList{"canal", "plus", "sport"}
                       << QStringList{"canal", "plus", "sport"};
    QTest::newRow("æ, œ") << QStringLiteral("Kanal Æbleœuvre") << "kanal aebleoeuvre"
                          << QStringList{"kanal", "aebleoeuvre"} << QStringList{"kanal", "aebleoeuvre"};
    QTest::newRow("đ and marks") << QStringLiteral("Đài Hà Nội") << "dai ha noi" << QStringList{"dai", "ha", "noi"}
                                 << QStringList{"dai", "ha", "noi"};
    QTest::newRow("leading zeros") << "VTV01 HD" << "vtv 1 hd" << QStringList{"vtv", "1", "hd"}
                                   << QStringList{"vtv", "1"};
}

void TestNameFold::sameEverywhere()
{
    QFETCH(QString, name);
    QFETCH(QString, spelling);
    QFETCH(QStringList, words);
    QFETCH(QStringList, matched);

    QCOMPARE(text::foldWords(name), words);
    QCOMPARE(text::foldWords(spelling), words);
    QCOMPARE(text::nameWords(name), matched);
    QCOMPARE(text::nameWords(spelling), matched);

    // The finder: the spelling typed finds the entry by its caption.
    QCOMPARE(search::fold(name), words.join(u' '));
    const search::Index index({search::Entry{"w", "p", "c", name, {}, {}, "", true}});
    const auto hits = index.find(spelling);
    QCOMPARE(hits.size(), 1);

    // A list channel without a tvg-id keeps its key whichever way its name
    // is spelled from one import to the next.
    QCOMPARE(catalogue::channelKey("NO", {}, spelling), catalogue::channelKey("NO", {}, name));

    // The guide: a display name spelled either way names the channel.
    QCOMPARE(guide::foldName(spelling), guide::foldName(name));
    QCOMPARE(guide::foldName(name), matched.join(u' '));

    // The import: a stream named one way gives its address to the entry
    // captioned the other way.
    import::Target target{"frmmain", "p", "c", name, {}, {name}, {"NO"}};
    const QByteArray list = "#EXTM3U\n#EXTINF:-1 tvg-country=\"NO\"," + spelling.toUtf8()
        + "\nhttp://127.0.0.1/live.m3u8\n";
    const import::Result r = import::match({target}, {import::Source{"list.m3u", m3u::parse(list)}}, {});
    QCOMPARE(r.matches.size(), 1);
    QCOMPARE(r.matches.first().candidates.size(), 1);
}

QTEST_GUILESS_MAIN(TestNameFold)
#include "test_namefold.moc"
