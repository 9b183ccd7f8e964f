// The XMLTV reader: times and zones, languages, encodings and gzip as the
// bytes come in pieces, which channels are kept, sound programmes out of
// unsound ones, and hostile guides.
#include "guidetest.h"

#include <QTest>
#include <QTimeZone>

using namespace miravon::guide;
using namespace guidetest;

class TestXmltv : public QObject {
    Q_OBJECT
private slots:
    void times_data();
    void times();
    void languages_data();
    void languages();
    void encodings_data();
    void encodings();
    void matching();
    void soundProgrammes();
    void guideInThePast();
    void hostile_data();
    void hostile();
};

void TestXmltv::times_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("utc");   // empty: malformed
    QTest::addColumn<QString>("zone");
    QTest::addColumn<QString>("local"); // in that zone

    QTest::newRow("-0600, shown in Hà Nội") << "20080715003000 -0600" << "2008-07-15T06:30:00Z" << "Asia/Ho_Chi_Minh"
                                            << "2008-07-15 13:30";
    QTest::newRow("-0600, shown where it was written") << "20080715003000 -0600" << "2008-07-15T06:30:00Z"
                                                       << "America/Denver" << "2008-07-15 00:30";
    QTest::newRow("+0700 without a blank") << "20080715003000+0700" << "2008-07-14T17:30:00Z" << "Asia/Ho_Chi_Minh"
                                           << "2008-07-15 00:30";
    QTest::newRow("+05:30") << "20080715003000 +05:30" << "2008-07-14T19:00:00Z" << "Asia/Kolkata"
                            << "2008-07-15 00:30";
    QTest::newRow("no zone is UTC") << "20080715003000" << "2008-07-15T00:30:00Z" << "Asia/Ho_Chi_Minh"
                                    << "2008-07-15 07:30";
    QTest::newRow("+07") << "20080715003000 +07" << "2008-07-14T17:30:00Z" << "UTC" << "2008-07-14 17:30";
    QTest::newRow("GMT") << "20080715003000 GMT" << "2008-07-15T00:30:00Z" << "UTC" << "2008-07-15 00:30";
    QTest::newRow("to the minute") << "200807150030 +0100" << "2008-07-14T23:30:00Z" << "Europe/Berlin"
                                   << "2008-07-15 01:30";
    QTest::newRow("to the day") << "20080715" << "2008-07-15T00:00:00Z" << "UTC" << "2008-07-15 00:00";
    QTest::newRow("summer time begins in Berlin") << "20240331013000 +0000" << "2024-03-31T01:30:00Z"
                                                  << "Europe/Berlin" << "2024-03-31 03:30";
    QTest::newRow("29 February of a leap year") << "20240229235959 +0000" << "2024-02-29T23:59:59Z" << "UTC"
                                                << "2024-02-29 23:59";
    QTest::newRow("blanks around") << "  20080715003000 +0000 " << "2008-07-15T00:30:00Z" << "UTC"
                                   << "2008-07-15 00:30";
    for (const char* bad : {"20230229120000", "2008071500300", "200807", "20081301000000", "20080715250000",
                            "20080715006000", "20080715003000 -2500", "20080715003000 EST",
                            "20080715003000 +0600 x", "2008-07-15", "", "abc", "200807150030001"}) {
        QTest::newRow(qPrintable(QStringLiteral("malformed: \"%1\"").arg(QLatin1StringView(bad))))
            << QString::fromLatin1(bad) << QString() << "UTC" << QString();
    }
}

void TestXmltv::times()
{
    QFETCH(QString, text);
    QFETCH(QString, utc);
    QFETCH(QString, zone);
    QFETCH(QString, local);
    const std::optional<qint64> t = parseXmltvTime(text);
    if (utc.isEmpty()) {
        QVERIFY2(!t, qPrintable(QString::number(t.value_or(0))));
        return;
    }
    QVERIFY(t);
    QCOMPARE(QDateTime::fromSecsSinceEpoch(*t, Qt::UTC).toString(Qt::ISODate), utc);
    const QTimeZone tz(zone.toLatin1());
    QVERIFY(tz.isValid());
    QCOMPARE(QDateTime::fromSecsSinceEpoch(*t, tz).toString(QStringLiteral("yyyy-MM-dd HH:mm")), local);
}

// The texts of a programme in several languages: Vietnamese, then the
// channel's own language, then untagged, then the first of any.
void TestXmltv::languages_data()
{
    QTest::addColumn<QString>("elements");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("category");

    const QString all = QStringLiteral("<title lang=\"en\">News</title><title>Tin</title><title lang=\"fr\">Journal</title>"
                                       "<title lang=\"vi\">Thời sự</title><category lang=\"en\">News</category>"
                                       "<category lang=\"vi-VN\">Tin tức</category><category lang=\"vi\">Thời sự</category>"
                                       "<category lang=\"vi\">Tin tức</category>");
    QTest::newRow("Vietnamese first") << all << "fr" << QStringLiteral("Thời sự") << QStringLiteral("Tin tức, Thời sự");
    QTest::newRow("then the channel's language")
        << "<title lang=\"en\">News</title><title>Tin</title><title lang=\"FR-ca\">Journal</title>" << "fr"
        << "Journal" << "";
    QTest::newRow("then untagged") << "<title lang=\"en\">News</title><title>Tin</title>" << "fr" << "Tin" << "";
    QTest::newRow("then the first of any") << "<title lang=\"en\">News</title><title lang=\"de\">Nachrichten</title>"
                                           << "" << "News" << "";
    QTest::newRow("blanks folded; an empty one is none") << "<title lang=\"vi\">  </title><title>  A \n  B </title>"
                                                         << "" << "A B" << "";
}

void TestXmltv::languages()
{
    QFETCH(QString, elements);
    QFETCH(QString, hint);
    QFETCH(QString, title);
    QFETCH(QString, category);
    const QByteArray bytes = QStringLiteral("<tv><channel id=\"a.fr\"><display-name>A</display-name></channel>"
                                            "<programme start=\"20240501110000 +0000\" stop=\"20240501130000 +0000\" "
                                            "channel=\"a.fr\">%1<desc>x</desc></programme></tv>")
                                 .arg(elements)
                                 .toUtf8();
    const Guide g = read(bytes, {channel("k", "a.fr", {}, "FR", hint)});
    const Programme now = g.nowNext("k", utc(nowIso)).now;
    QCOMPARE(now.title, title);
    QCOMPARE(now.category, category);
    QCOMPARE(now.description, "x");
}

// One guide, however it is encoded or packed and however its bytes are cut.
void TestXmltv::encodings_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qsizetype>("piece");

    const QByteArray body = "<tv><channel id=\"c.fr\"><display-name>C</display-name></channel>"
                            "<programme start=\"20240501110000 +0000\" stop=\"20240501130000 +0000\" channel=\"c.fr\">"
                            "<title>Caf\xc3\xa9 No\xc3\xabl</title></programme></tv>";
    const QByteArray utf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + body;
    const QByteArray latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
        + QString::fromUtf8(body).toLatin1();
    QTest::newRow("UTF-8") << utf8 << qsizetype(0);
    QTest::newRow("UTF-8 with a BOM, a byte at a time") << "\xEF\xBB\xBF" + utf8 << qsizetype(1);
    QTest::newRow("ISO-8859-1") << latin1 << qsizetype(0);
    QTest::newRow("ISO-8859-1, a byte at a time") << latin1 << qsizetype(1);
    QTest::newRow("windows-1252") << "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n" + QString::fromUtf8(body).toLatin1()
                                  << qsizetype(7);
    QTest::newRow("gzip") << gzip(latin1) << qsizetype(0);
    QTest::newRow("gzip, a byte at a time") << gzip(utf8) << qsizetype(1);
    QTest::newRow("gzip of two members, then junk")
        << gzip(utf8.left(100)) + gzip(utf8.mid(100)) + QByteArray("junk") << qsizetype(13);
}

void TestXmltv::encodings()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qsizetype, piece);
    ReadFailure failure = ReadFailure::None;
    const Guide g = read(bytes, {channel("k", "c.fr", {}, "FR")}, piece, &failure);
    QCOMPARE(failure, ReadFailure::None);
    QCOMPARE(lines(g, "k"), QStringList{QStringLiteral("01 11:00-01 13:00 Café Noël")});
}

// By tvg-id exactly; else by a display name folded as channel names are,
// within the channel's country; only the channels the lists name are kept.
void TestXmltv::matching()
{
    const QString t0 = QStringLiteral("20240501110000 +0000"), t1 = QStringLiteral("20240501130000 +0000");
    const QByteArray bytes = xmltv(
        {{"VTV1.vn", {"VTV1 HD"}},
         {"vtv3", {QStringLiteral("VTV3")}},
         {"BBCOne.uk", {"BBC One"}},
         {"kplus", {"K+ 1"}},
         {"five", {"Channel 5"}},
         {"Y.vn", {"Shared"}},
         {"X.vn", {"Other name"}},
         {"Unwanted.fr", {"Nobody"}}},
        {{"VTV1.vn", t0, t1, "by id"},
         {"vtv3", t0, t1, "by name, the guide's country"},
         {"BBCOne.uk", t0, t1, "by name, the id's country"},
         {"kplus", t0, t1, "by a name of one country"},
         {"five", t0, t1, "by a name of two countries"},
         {"Y.vn", t0, t1, "Y by name"},
         {"X.vn", t0, t1, "X by id"},
         {"HTV7.vn", t0, t1, "undeclared, by id"},
         {"Unwanted.fr", t0, t1, "nobody's"}});
    const QList<ListChannel> channels = {
        channel("vtv1", "VTV1.vn", {"VTV 1"}, "VN"),
        channel("vtv3", "", {"VTV3 HD"}, "VN"),
        channel("bbc-us", "", {"BBC One"}, "US"),
        channel("bbc-gb", "", {QStringLiteral("BBC ONE (1080p)"), "BBC One HD"}, "GB"),
        channel("kplus", "", {"K+1"}, "VN"),
        channel("five-gb", "", {"Channel 5"}, "GB"),
        channel("five-sg", "", {"Channel 5"}, "SG"),
        channel("shared", "X.vn", {"Shared"}, "VN"),
        channel("htv7", "HTV7.vn", {"HTV7"}, "VN"),
        channel("missing", "Missing.vn", {"Missing"}, "VN"),
    };
    ReadOutcome outcome;
    ReadOptions options;
    options.country = QStringLiteral("VN");
    const Guide g = read(bytes, channels, 0, nullptr, &outcome, options);
    auto title = [&](const char* key) { return g.nowNext(QString::fromLatin1(key), utc(nowIso)).now.title; };
    QCOMPARE(title("vtv1"), "by id");
    QCOMPARE(title("vtv3"), "by name, the guide's country");
    QCOMPARE(title("bbc-gb"), "by name, the id's country");
    QVERIFY(!g.has("bbc-us"));
    QCOMPARE(title("kplus"), "by a name of one country");
    QVERIFY(!g.has("five-gb"));
    QVERIFY(!g.has("five-sg"));
    QCOMPARE(title("shared"), "X by id");
    QCOMPARE(title("htv7"), "undeclared, by id");
    QVERIFY(!g.has("missing"));
    QCOMPARE(g.channelCount(), 6);
    QStringList kept;
    for (const ChannelRecord& c : outcome.channels)
        kept << c.id;
    kept.sort();
    QCOMPARE(kept, (QStringList{"BBCOne.uk", "HTV7.vn", "VTV1.vn", "X.vn", "Y.vn", "kplus", "vtv3"}));
}

// Out of order, overlapping, without a stop, malformed, outside the window:
// a sound schedule, and a sound "now".
void TestXmltv::soundProgrammes()
{
    const QByteArray bytes = xmltv(
        {{"a.vn", {"A"}}},
        {{"a.vn", "20240501000000 +0000", "20240501040000 +0000", "ended before 06:00"},
         {"a.vn", "20240501050000 +0000", "20240501070000 +0000", "reaches past 06:00"},
         {"a.vn", "20240501070000 +0000", "20240501090000 +0000", "cut short"},
         {"a.vn", "20240501083000 +0000", "20240501100000 +0000", "cuts"},
         {"a.vn", "20240501110000 +0000", "20240501120000 +0000", "given before the one it follows"},
         {"a.vn", "20240501100000 +0000", QString(), "no stop: until the next"},
         {"a.vn", "20240501120000 +0000", "20240501130000 +0000", "now"},
         {"a.vn", "20240501120000 +0000", "20240501123000 +0000", "same start, given later"},
         {"a.vn", "20240501140000 +0000", "20240501133000 +0000", "reversed"},
         {"a.vn", "2024050114", "garbage", "bad stop"},
         {"a.vn", "garbage", "20240501150000 +0000", "bad start"},
         {"a.vn", "20240501150000 -0700", "20240501140000 +0000", "reversed once the zone is counted"},
         {"a.vn", "20240501140000 +0000", "20240501150000 +0000", "after a gap"},
         {"a.vn", "20240503110000 +0000", "20240503130000 +0000", "starts 47 hours on"},
         {"a.vn", "20240503120000 +0000", "20240503130000 +0000", "starts 48 hours on"},
         {"a.vn", "20240503140000 +0000", QString(), "last, no stop"}});
    ReadOutcome outcome;
    const Guide g = read(bytes, {channel("k", "a.vn", {}, "VN")}, 0, nullptr, &outcome);
    QCOMPARE(lines(g, "k"), (QStringList{"01 05:00-01 07:00 reaches past 06:00",
                                         "01 07:00-01 08:30 cut short",
                                         "01 08:30-01 10:00 cuts",
                                         "01 10:00-01 11:00 no stop: until the next",
                                         "01 11:00-01 12:00 given before the one it follows",
                                         "01 12:00-01 13:00 now",
                                         "01 14:00-01 15:00 after a gap",
                                         "03 11:00-03 13:00 starts 47 hours on"}));
    QCOMPARE(outcome.malformed, 4);

    auto nowNext = [&](const char* t) {
        const NowNext n = g.nowNext("k", utc(t));
        return n.now.title + u'|' + n.next.title;
    };
    QCOMPARE(nowNext("2024-05-01T12:00:00Z"), "now|after a gap");
    QCOMPARE(nowNext("2024-05-01T12:59:59Z"), "now|after a gap");
    QCOMPARE(nowNext("2024-05-01T13:00:00Z"), "|after a gap"); // a gap: nothing on
    QCOMPARE(nowNext("2024-05-01T08:29:59Z"), "cut short|cuts");
    QCOMPARE(nowNext("2024-05-03T13:00:00Z"), "|");
    QCOMPARE(g.nextBoundary(utc("2024-05-01T12:10:00Z")), utc("2024-05-01T13:00:00Z"));
    QCOMPARE(g.nextBoundary(utc("2024-05-01T13:00:00Z")), utc("2024-05-01T14:00:00Z"));
    QVERIFY(!g.nextBoundary(utc("2024-05-03T13:00:00Z")).isValid());
}

void TestXmltv::guideInThePast()
{
    const QByteArray bytes = xmltv({{"a.vn", {"A"}}}, {{"a.vn", "20240420120000 +0000", "20240420130000 +0000", "old"},
                                                      {"a.vn", "20240501020000 +0000", "20240501055959 +0000", "old"}});
    ReadFailure failure = ReadFailure::None;
    ReadOutcome outcome;
    const Guide g = read(bytes, {channel("k", "a.vn", {}, "VN")}, 0, &failure, &outcome);
    QCOMPARE(failure, ReadFailure::None);
    QCOMPARE(outcome.programmes, 0);
    const NowNext n = g.nowNext("k", utc(nowIso));
    QVERIFY(!n.now.isValid());
    QVERIFY(!n.next.isValid());
    QVERIFY(!g.nextBoundary(utc(nowIso)).isValid());
}

void TestXmltv::hostile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("maxBytes");
    QTest::addColumn<ReadFailure>("failure");
    QTest::addColumn<QString>("detail"); // what the reason says, in part

    QByteArray laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE tv [\n<!ENTITY l0 \"lol\">\n";
    for (int i = 1; i < 10; ++i) {
        laughs += "<!ENTITY l" + QByteArray::number(i) + " \"";
        for (int k = 0; k < 10; ++k)
            laughs += "&l" + QByteArray::number(i - 1) + ';';
        laughs += "\">\n";
    }
    laughs += "]>\n<tv><channel id=\"a.vn\"><display-name>&l9;</display-name></channel></tv>";
    const qint64 cap = maxGuideBytes;
    QTest::newRow("entity bomb") << laughs << cap << ReadFailure::Entities << QString();
    QTest::newRow("external entity")
        << QByteArray("<?xml version=\"1.0\"?><!DOCTYPE tv [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
                      "<tv><channel id=\"a.vn\"><display-name>&x;</display-name></channel></tv>")
        << cap << ReadFailure::Entities << QString();
    QTest::newRow("parameter entities")
        << QByteArray("<?xml version=\"1.0\"?><!DOCTYPE tv [<!ENTITY % p \"<!ENTITY q 'x'>\"> %p; ]><tv/>") << cap
        << ReadFailure::Entities << QString();

    QByteArray endless = "<tv><channel id=\"a.vn\"><display-name>A</display-name></channel>"
                         "<programme start=\"20240501110000\" stop=\"20240501130000\" channel=\"a.vn\"><desc>";
    endless += QByteArray(6 * 1024 * 1024, 'A');
    QTest::newRow("a text that never ends") << endless << cap << ReadFailure::Malformed << "4 MiB";
    QByteArray many = "<tv>";
    while (many.size() < 2 * 1024 * 1024)
        many += "<programme start=\"20240501110000\" stop=\"20240501130000\" channel=\"a.vn\"><title>A</title></programme>";
    QTest::newRow("past the size bound") << many + "</tv>" << qint64(1024 * 1024) << ReadFailure::TooLarge << QString();
    QTest::newRow("gzip past the size bound")
        << gzip("<tv>" + QByteArray(3 * 1024 * 1024, ' ') + "</tv>") << qint64(1024 * 1024) << ReadFailure::TooLarge << QString();
    QTest::newRow("cut short") << xmltv({{"a.vn", {"A"}}}, {}).left(150) << cap << ReadFailure::Malformed
                               << QStringLiteral("cắt ngắn");
    QTest::newRow("gzip cut short") << gzip(xmltv({{"a.vn", {"A"}}}, {})).chopped(9) << cap << ReadFailure::Malformed << QString();
    QTest::newRow("gzip damaged") << gzip(xmltv({{"a.vn", {"A"}}}, {})).replace(12, 6, "\xff\xff\xff\xff\xff\xff")
                                  << cap << ReadFailure::Malformed << QString();
    QTest::newRow("a bad byte in the first piece")
        << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><tv><channel id=\"a.vn\"><display-name>\xe1\xbb"
                      "</display-name></channel></tv>")
        << cap << ReadFailure::Malformed << QString();
    QTest::newRow("a web page") << QByteArray("<!DOCTYPE html><html><body>Not found</body></html>") << cap
                                << ReadFailure::NotXmltv << QString();
    QTest::newRow("another root") << QByteArray("<?xml version=\"1.0\"?><rss><channel/></rss>") << cap
                                  << ReadFailure::NotXmltv << QString();
    QTest::newRow("no XML") << QByteArray("\x00\x01\x02 binary \xff\xfe", 13) << cap << ReadFailure::NotXmltv << QString();
    QTest::newRow("nothing") << QByteArray() << cap << ReadFailure::NotXmltv << QString();
}

void TestXmltv::hostile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, maxBytes);
    QFETCH(ReadFailure, failure);
    QFETCH(QString, detail);
    ReadOptions options;
    options.maxBytes = maxBytes;
    ReadFailure got = ReadFailure::None;
    QString why;
    const Guide g = read(bytes, {channel("k", "a.vn", {}, "VN")}, 64 * 1024, &got, nullptr, options, &why);
    QCOMPARE(got, failure);
    QVERIFY2(why.contains(detail), qPrintable(why));
    QVERIFY(g.isEmpty());
    QVERIFY(!failureText(got).isEmpty());
}

QTEST_GUILESS_MAIN(TestXmltv)
#include "test_xmltv.moc"
