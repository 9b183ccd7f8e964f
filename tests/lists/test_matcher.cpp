// Matching playlist streams to catalogue entries: the name rules, the
// country data shipped with the catalogue, and which stream each entry of
// the invented fixture lists gets.
#include "catalogue.h"
#include "m3u.h"
#include "matcher.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTest>

using namespace miravon;
using namespace miravon::import;

namespace {

Source fixture(const QString& name)
{
    QFile f(QStringLiteral(FIXTURES "/") + name);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("fixture %s missing", qPrintable(name));
    return {name, m3u::parse(f.readAll())};
}

} // namespace

class TestMatcher : public QObject {
    Q_OBJECT
private slots:
    void words_data();
    void words();
    void listNames_data();
    void listNames();
    void everyEntryHasACountry();
    void fixtures_data();
    void fixtures();
    void preferenceAndReport();
    void languageEditions();
    void inventedListsPrecision();
};

void TestMatcher::words_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("words");
    QTest::newRow("digits split, suffix dropped") << "Cerritos TV3" << QStringList{"cerritos", "3"};
    QTest::newRow("suffix kept when only digits remain") << "TV 5" << QStringList{"tv", "5"};
    QTest::newRow("ch. and channel") << "BCAT TV ch.2" << QStringList{"bcat", "2"};
    QTest::newRow("HD, case") << "VTV1 HD" << QStringList{"vtv", "1"};
    QTest::newRow("suffix glued in lower case") << "BYUtv" << QStringList{"byu"};
    QTest::newRow("a word ending in tv") << "Nuevatv" << QStringList{"nuevatv"};
    QTest::newRow("diacritics and đ") << QStringLiteral("Đài Hà Nội 1") << QStringList{"dai", "ha", "noi", "1"};
    QTest::newRow("punctuation and leading zeros") << "BBC_Parliament 01" << QStringList{"bbc", "parliament", "1"};
    QTest::newRow("apostrophe joins, & is and") << "Shepherd's Create & Craft"
                                                << QStringList{"shepherds", "create", "and", "craft"};
    QTest::newRow("only a suffix word") << "Television" << QStringList{"television"};
    QTest::newRow("empty") << "" << QStringList{};
}

void TestMatcher::words()
{
    QFETCH(QString, name);
    QFETCH(QStringList, words);
    QCOMPARE(nameWords(name), words);
}

void TestMatcher::listNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("country");
    QTest::addColumn<bool>("main");
    QTest::newRow("main list") << "vn.m3u" << "VN" << true;
    QTest::newRow("uk is GB") << "uk.m3u8" << "GB" << true;
    QTest::newRow("provider list of a country") << "us_pluto.m3u" << "US" << false;
    QTest::newRow("address with a query") << "https://lists.example/countries/vn.m3u?v=2" << "VN" << true;
    QTest::newRow("no country") << "playlist.m3u" << "" << false;
    QTest::newRow("three letters") << "usa.m3u" << "" << false;
}

void TestMatcher::listNames()
{
    QFETCH(QString, name);
    QFETCH(QString, country);
    QFETCH(bool, main);
    bool isMain = !main;
    QCOMPARE(countryOfListName(name, &isMain), country);
    QCOMPARE(isMain, main);
}

// The data file gives every channel entry its country; every row of it and
// of the names file names a real panel, heading or label.
void TestMatcher::everyEntryHasACountry()
{
    QStringList errors;
    QFile c(QStringLiteral(SOURCE_DIR "/catalogue/countries.tsv"));
    QFile n(QStringLiteral(SOURCE_DIR "/catalogue/names.tsv"));
    QVERIFY(c.open(QIODevice::ReadOnly) && n.open(QIODevice::ReadOnly));
    const MatchData data = parseMatchData(QString::fromUtf8(c.readAll()), QString::fromUtf8(n.readAll()), &errors);
    QCOMPARE(errors, QStringList{});
    QCOMPARE(builtInMatchData().names, data.names);

    const QList<Target> all = targets(catalogue::pristine(), data);
    QCOMPARE(all.size(), 925);
    for (const Target& t : all) {
        QVERIFY2(!t.countries.isEmpty(), qPrintable(t.window + u'/' + t.control));
        QVERIFY2(!t.caption.isEmpty(), qPrintable(t.window + u'/' + t.control));
    }
    for (auto it = data.headingCountries.cbegin(); it != data.headingCountries.cend(); ++it) {
        const catalogue::Label* l = catalogue::pristine().label(it.key().section(u'/', 0, 0), it.key().section(u'/', 1));
        QVERIFY2(l && l->kind == catalogue::Kind::Heading, qPrintable(it.key()));
    }
    int headings = 0;
    for (const catalogue::Label& l : catalogue::pristine().labels)
        if (l.kind == catalogue::Kind::Heading) {
            ++headings;
            QVERIFY2(data.headingCountries.contains(l.window + u'/' + l.control), qPrintable(l.control));
        }
    QCOMPARE(headings, 96);
    for (auto it = data.names.cbegin(); it != data.names.cend(); ++it)
        QVERIFY2(catalogue::pristine().label(it.key().section(u'/', 0, 0), it.key().section(u'/', 1)), qPrintable(it.key()));
    // The Vietnamese panel's logos are entries with their channel names.
    QCOMPARE(all.first().caption, QStringLiteral("HTV7"));
}

void TestMatcher::fixtures_data()
{
    QTest::addColumn<QStringList>("lists");
    QTest::addColumn<QString>("country");
    // "window/control url" for every entry given a stream; all others get none.
    QTest::addColumn<QStringList>("expected");

    const QStringList vn = {
        "frmmain/Image1 http://stream.example/vn/htv7/index.m3u8",          // no [Not 24/7] beats https
        "frmmain/Image4 https://stream.example/vn/vtv1/index.m3u8",         // no [Geo-blocked]
        "frmmain/Image5 http://stream.example/vn/vtv3/index.m3u8",
        "frmmain/Image6 https://stream.example/vn/vtv4/index.m3u8",         // by tvg-id only
        "frmmain/Image7 https://stream.example/vn/hn1/index.m3u8",          // alias
        "frmmain/LabelUni5 https://stream.example/vn/hn1/index.m3u8",       // alias
        "frmmain/Image8 https://stream.example/vn/vtc1/index.m3u8",         // logo name
        "frmmain/LabelUni6 https://stream.example/vn/vtc1/index.m3u8",      // alias
    };
    const QStringList us = {
        "frmmain/usa1_3 http://stream.example/us/abcnews.m3u8",             // not the GB one
        "frmmain/usa1_21 https://stream.example/us/cerritos3.m3u8",
        "frmmain/usa1_32 https://stream.example/us/cspan2.m3u8",
        "frmmain/usa5_12 https://stream.example/us/whdh.m3u8",              // call sign in the tvg-id
    };
    const QStringList ve = {
        "frmmain6/khung6_9 https://stream.example/ve/telesur-1080.m3u8",    // the higher resolution
        "frmmain6/khung6_11 https://stream.example/ve/vtv.m3u8",            // alias; the VN "VTV" is not it
    };
    QTest::newRow("tidy list of one country") << QStringList{"vn.m3u"} << "" << vn;
    QTest::newRow("sloppy list, countries from tvg-country, tvg-id, file name")
        << QStringList{"us_sloppy.m3u"} << "" << us;
    QTest::newRow("two countries with a name in common") << QStringList{"vn.m3u", "ve.m3u"} << "" << vn + ve;
    QTest::newRow("names only, no country: nothing") << QStringList{"provider.m3u8"} << "" << QStringList{};
    QTest::newRow("names only, --country") << QStringList{"provider.m3u8"} << "VN"
                                            << QStringList{"frmmain/Image5 https://provider.example/live/1003.m3u8"};
    QTest::newRow("the country's main list wins") << QStringList{"provider.m3u8", "vn.m3u"} << "VN" << vn;
    QTest::newRow("the English edition before the list's first, Arabic")
        << QStringList{"de_dw.m3u"} << "" << QStringList{"frmmain3/duc1_19 https://stream.example/de/dw-english.m3u8"};
}

void TestMatcher::fixtures()
{
    QFETCH(QStringList, lists);
    QFETCH(QString, country);
    QFETCH(QStringList, expected);
    QList<Source> sources;
    for (const QString& l : lists)
        sources << fixture(l);
    const QList<Target> all = targets(catalogue::pristine(), builtInMatchData());
    const Result r = match(all, sources, country);
    QStringList got;
    for (const Match& m : r.matches)
        got << all.at(m.target).window + u'/' + all.at(m.target).control + u' '
                + r.streams.at(m.candidates.first().stream).entry->url;
    QCOMPARE(got, expected);
}

// What the ranking keeps besides the pick, and what is only suggested.
void TestMatcher::preferenceAndReport()
{
    const QList<Source> sources = {fixture("us_sloppy.m3u"), fixture("vn.m3u")};
    const QList<Target> all = targets(catalogue::pristine(), builtInMatchData());
    const Result r = match(all, sources, {});
    QHash<QString, Match> by;
    for (const Match& m : r.matches)
        by.insert(all.at(m.target).control, m);

    const Match vtv1 = by.value("Image4");
    QCOMPARE(vtv1.candidates.size(), 2);
    QCOMPARE(r.streams.at(vtv1.candidates.at(1).stream).markers, QStringList{"[Geo-blocked]"});
    QCOMPARE(vtv1.candidates.at(0).how, How::Name);
    QCOMPARE(by.value("Image6").candidates.at(0).how, How::TvgId);
    QCOMPARE(by.value("Image7").candidates.at(0).how, How::Alias);
    QCOMPARE(by.value("usa5_12").candidates.at(0).how, How::CallSign);

    const m3u::Entry& vtc1 = *r.streams.at(by.value("Image8").candidates.at(0).stream).entry;
    QCOMPARE(vtc1.referrer, QStringLiteral("https://player.example/"));
    QCOMPARE(vtc1.userAgent, QStringLiteral("Mozilla/5.0 (X11; Linux x86_64)"));

    // An rtmp address is not used; a near name is only suggested.
    QCOMPARE(r.unusable, 1);
    QCOMPARE(r.suggestions.size(), 1);
    QCOMPARE(all.at(r.suggestions.first().target).caption, QStringLiteral("Mizpa TV"));
    QVERIFY(!by.contains("usa2_18"));
}

// Of a channel's language editions a viewer here expects English (or the
// edition that names no language) first, then the country's own language,
// then the others in the list's order.
void TestMatcher::languageEditions()
{
    const QList<Target> all = targets(catalogue::pristine(), builtInMatchData());
    const Result r = match(all, {fixture("de_dw.m3u")}, {});
    QCOMPARE(r.matches.size(), 1);
    QStringList order;
    for (const Candidate& c : r.matches.first().candidates)
        order << r.streams.at(c.stream).name;
    QCOMPARE(order, (QStringList{"DW English", "DW Deutsch", "DW Arabic", "DW Español"}));
}

// Invented per-country lists in which each stream is marked with the entry
// it truly is ("# expect window/panel/caption") or "-" for none. Every row
// written must be right; how many of the marked entries are found is
// printed, and must stay at four in five or better.
void TestMatcher::inventedListsPrecision()
{
    const QDir dir(QStringLiteral(FIXTURES "/mixed"));
    QList<Source> sources;
    QHash<QString, QString> truth; // url -> "window/panel/caption" or "-"
    for (const QString& name : dir.entryList({QStringLiteral("*.m3u")}, QDir::Files, QDir::Name)) {
        Source s = fixture(QStringLiteral("mixed/") + name);
        s.name = name;
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QString expect;
        for (const QString& line : QString::fromUtf8(f.readAll()).split(u'\n')) {
            if (line.startsWith(QLatin1String("# expect ")))
                expect = line.mid(9);
            else if (!line.isEmpty() && !line.startsWith(u'#'))
                truth.insert(line, expect);
        }
        sources << s;
    }
    const QList<Target> all = targets(catalogue::pristine(), builtInMatchData());
    const Result r = match(all, sources, {});
    QSet<QString> expected;
    for (const QString& t : std::as_const(truth))
        if (t != QLatin1String("-"))
            expected.insert(t);
    int right = 0;
    QStringList wrong;
    for (const Match& m : r.matches) {
        const Target& t = all.at(m.target);
        const QString entry = t.window + u'/' + t.panel + u'/' + t.caption;
        const QString url = r.streams.at(m.candidates.first().stream).entry->url;
        if (truth.value(url) == entry)
            ++right;
        else
            wrong << entry + QStringLiteral(" <- ") + url;
    }
    QStringList missed;
    for (const QString& e : std::as_const(expected)) {
        bool found = false;
        for (const Match& m : r.matches) {
            const Target& t = all.at(m.target);
            found = found || t.window + u'/' + t.panel + u'/' + t.caption == e;
        }
        if (!found)
            missed << e;
    }
    missed.sort();
    qInfo("invented lists: %lld streams, %lld entries marked, %lld rows written, %d right; missed: %s",
          qint64(truth.size()), qint64(expected.size()), qint64(r.matches.size()), right,
          qPrintable(missed.join(QStringLiteral(", "))));
    QCOMPARE(wrong, QStringList{});
    QVERIFY(right * 5 >= expected.size() * 4);
}

QTEST_GUILESS_MAIN(TestMatcher)
#include "test_matcher.moc"
