// The M3U reader: what each line form gives (inline, and a small fixture
// per form other players read), and which bytes are no playlist at all.
#include "m3u.h"

#include <QFile>
#include <QTest>

using namespace miravon;

namespace {
// One entry as "title|tvg-id|tvg-name|tvg-country|group|url|referrer|user agent|line".
QString flat(const m3u::Entry& e)
{
    return QStringList{e.title, e.tvgId, e.tvgName, e.tvgCountry, e.groupTitle, e.url, e.referrer, e.userAgent,
                       QString::number(e.line)}
        .join(u'|');
}

// An entry as "title|group|url|referrer|user agent|line".
QString headersAndGroup(const m3u::Entry& e)
{
    return QStringList{e.title, e.groupTitle, e.url, e.referrer, e.userAgent, QString::number(e.line)}.join(u'|');
}
} // namespace

class TestM3u : public QObject {
    Q_OBJECT
private slots:
    void entries_data();
    void entries();
    void guides_data();
    void guides();
    void formsOtherPlayersRead_data();
    void formsOtherPlayersRead();
    void arbitraryBytesAreSafe();
};

void TestM3u::entries_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("isPlaylist");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("tidy, every attribute")
        << QByteArray("#EXTM3U\n#EXTINF:-1 tvg-id=\"VTV1.vn\" tvg-name=\"VTV1\" tvg-country=\"VN\" "
                      "group-title=\"News\",VTV1 HD\nhttps://s.example/1.m3u8\n")
        << true << QStringList{"VTV1 HD|VTV1.vn|VTV1|VN|News|https://s.example/1.m3u8|||3"};
    QTest::newRow("BOM, CRLF, blank lines, comments, keys in any case, ' and bare values")
        << QByteArray("\xEF\xBB\xBF#EXTM3U\r\n\r\n# note\r\n#EXTINF:-1 TVG-ID='a.us' Group-Title=Fun,A\r\n"
                      "\r\nhttp://s.example/a\r\n")
        << true << QStringList{"A|a.us|||Fun|http://s.example/a|||6"};
    QTest::newRow("comma and quotes inside a value; commas in the title")
        << QByteArray("#EXTM3U\n#EXTINF:-1 tvg-name=\"Rock, Pop\" group-title=\"a \\\"b\",Rock, Pop & More\n"
                      "http://s.example/r\n")
        << true << QStringList{"Rock, Pop & More||Rock, Pop||a \\|http://s.example/r|||3"};
    QTest::newRow("no duration, no attributes, UTF-8 title")
        << QByteArray("#EXTM3U\n#EXTINF:,Hà Nội 1\nhttp://s.example/h\n") << true
        << QStringList{QStringLiteral("Hà Nội 1|||||http://s.example/h|||3")};
    QTest::newRow("headers from #EXTVLCOPT apply to the next address only")
        << QByteArray("#EXTM3U\n#EXTINF:-1,A\n#EXTVLCOPT:http-referrer=https://r.example/\n"
                      "#EXTVLCOPT:http-user-agent=Agent/1 (X)\nhttp://s.example/a\n#EXTINF:-1,B\nhttp://s.example/b\n")
        << true
        << QStringList{"A|||||http://s.example/a|https://r.example/|Agent/1 (X)|5", "B|||||http://s.example/b|||7"};
    QTest::newRow("headers after the address")
        << QByteArray("#EXTM3U\n#EXTINF:-1,A\nhttp://s.example/a|Referer=https://r.example/&User-Agent=UA\n")
        << true << QStringList{"A|||||http://s.example/a|https://r.example/|UA|3"};
    QTest::newRow("no header, but #EXTINF entries")
        << QByteArray("#EXTINF:-1,A\nhttp://s.example/a\n") << true << QStringList{"A|||||http://s.example/a|||2"};
    QTest::newRow("a stray line between #EXTINF and its address is skipped; a bare address has no title")
        << QByteArray("#EXTM3U\n#EXTINF:-1,Kept\nnot an address\nhttp://s.example/b\nhttp://s.example/c\n") << true
        << QStringList{"Kept|||||http://s.example/b|||4", "|||||http://s.example/c|||5"};
    QTest::newRow("old Mac line ends") << QByteArray("#EXTM3U\r#EXTINF:-1,A\rhttp://s.example/a\r") << true
                                       << QStringList{"A|||||http://s.example/a|||1"};
    QTest::newRow("header only") << QByteArray("#EXTM3U\n") << true << QStringList{};
    QTest::newRow("a web page") << QByteArray("<html><body>http://s.example/a</body></html>\n") << false
                                << QStringList{};
    QTest::newRow("addresses without #EXTINF or header") << QByteArray("http://s.example/a\nhttp://s.example/b\n")
                                                         << false << QStringList{};
    QTest::newRow("binary") << QByteArray("#EXTM3U\n\0\x01\x02", 11) << false << QStringList{};
    QTest::newRow("empty") << QByteArray() << false << QStringList{};
}

void TestM3u::entries()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, isPlaylist);
    QFETCH(QStringList, expected);
    const m3u::Playlist p = m3u::parse(bytes);
    QCOMPARE(p.isPlaylist, isPlaylist);
    QStringList got;
    for (const m3u::Entry& e : p.entries)
        got << flat(e);
    QCOMPARE(got, expected);
}

// The programme guides the header names.
void TestM3u::guides_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("x-tvg-url, several comma-separated, and url-tvg; each once")
        << QByteArray("#EXTM3U x-tvg-url=\"https://g.example/a.xml.gz, https://g.example/b.xml\" "
                      "url-tvg='https://g.example/a.xml.gz,https://g.example/c.xml' refresh=3600\n"
                      "#EXTINF:-1,A\nhttp://s.example/a\n")
        << QStringList{"https://g.example/a.xml.gz", "https://g.example/b.xml", "https://g.example/c.xml"};
    QTest::newRow("unquoted, any case, after a BOM, CRLF")
        << QByteArray("\xEF\xBB\xBF#EXTM3U URL-TVG=https://g.example/x.xml\r\n") << QStringList{"https://g.example/x.xml"};
    QTest::newRow("none named") << QByteArray("#EXTM3U\n#EXTINF:-1 tvg-url=\"x\",A\nhttp://s.example/a\n")
                                << QStringList{};
    QTest::newRow("no header line: none") << QByteArray("#EXTINF:-1,A\nhttp://s.example/a\n") << QStringList{};
    QTest::newRow("no playlist: none") << QByteArray("#EXTM3U x-tvg-url=\"https://g.example/a.xml\"\n\0", 45)
                                       << QStringList{};
}

void TestM3u::guides()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    QCOMPARE(m3u::parse(bytes).guides, expected);
}

// Each form a small fixture of its own (fixtures/forms/), read as other
// players read it; `base` is the address the list was fetched from (none:
// a file of this computer).
void TestM3u::formsOtherPlayersRead_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QStringList>("expected"); // headersAndGroup() of each entry
    QTest::addColumn<int>("refused");

    QTest::newRow("#EXTINF http-referrer, http-user-agent, user-agent; #EXTVLCOPT after them wins")
        << "extinf-headers.m3u" << ""
        << QStringList{"A||https://s.example/a.m3u8|https://a.example/|Agent A/1.0 (X11, Linux)|3",
                       "B||https://s.example/b.m3u8||Agent B/2.0|5", "C||https://s.example/c.m3u8||Agent D|8"}
        << 0;
    QTest::newRow("#EXTVLCOPT values in double quotes")
        << "vlcopt-quoted.m3u" << ""
        << QStringList{"A||https://s.example/a.m3u8|https://r.example/page|Mozilla/5.0 (Windows NT 10.0; Win64; x64)|5",
                       "B||https://s.example/b.m3u8||Bare \"quoted\" inside|8"}
        << 0;
    QTest::newRow("|Header=value& after the address, over #EXTVLCOPT")
        << "pipe-headers.m3u" << ""
        << QStringList{"A||https://s.example/a.m3u8|https://r.example/|Agent/1|3", "B||https://s.example/b.m3u8||Pipe|6"}
        << 0;
    QTest::newRow("group-title, #EXTGRP after or before #EXTINF, for the next address only")
        << "groups.m3u" << ""
        << QStringList{"A|News|https://s.example/a.m3u8|||3", "B|Sport|https://s.example/b.m3u8|||6",
                       "C|Music|https://s.example/c.m3u8|||9", "D|News|https://s.example/d.m3u8|||12",
                       "E||https://s.example/e.m3u8|||14"}
        << 0;
    QTest::newRow("relative addresses resolved against the list's address")
        << "relative.m3u" << "http://lists.example/tv/list.m3u"
        << QStringList{"A||http://lists.example/tv/live/a.m3u8|||3", "B||http://lists.example/hls/b.m3u8|||5",
                       "C||http://lists.example/c.ts?token=1||Agent R|7", "D||https://other.example/d.m3u8|||9"}
        << 0;
    QTest::newRow("relative addresses refused in a file of this computer")
        << "relative.m3u" << "" << QStringList{"D||https://other.example/d.m3u8|||9"} << 3;
    QTest::newRow("relative addresses refused under a file: address")
        << "relative.m3u" << "file:///home/user/relative.m3u" << QStringList{"D||https://other.example/d.m3u8|||9"}
        << 3;
    QTest::newRow("blank, comment, directive and junk lines between #EXTINF and its address")
        << "junk-between.m3u" << ""
        << QStringList{"A||https://s.example/a.m3u8|||10", "B||https://s.example/b.m3u8|||14"} << 0;
    QTest::newRow("CRLF line ends and indented lines")
        << "crlf-indented.m3u" << ""
        << QStringList{"A|News|https://s.example/a.m3u8|||3", "B||https://s.example/b.m3u8|||6"} << 0;
}

void TestM3u::formsOtherPlayersRead()
{
    QFETCH(QString, fixture);
    QFETCH(QString, base);
    QFETCH(QStringList, expected);
    QFETCH(int, refused);
    QFile f(QStringLiteral(FIXTURES "/forms/") + fixture);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const m3u::Playlist p = m3u::parse(f.readAll(), QUrl(base));
    QVERIFY(p.isPlaylist);
    QStringList got;
    for (const m3u::Entry& e : p.entries)
        got << headersAndGroup(e);
    QCOMPARE(got, expected);
    QCOMPARE(p.refusedRelative, refused);
}

// The reader takes any bytes: truncations of a real list and broken quoting
// never crash or loop.
void TestM3u::arbitraryBytesAreSafe()
{
    const QByteArray list("\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:-1 tvg-id=\"x\" a=\"b,c\" 'q=,Name\r\n"
                          "#EXTVLCOPT:http-referrer=\r\nhttp://s.example/a|Referer\r\n#EXTINF:\xff\xfe,\r\n");
    for (qsizetype n = 0; n <= list.size(); ++n)
        (void)m3u::parse(QByteArrayView(list).first(n));
    QVERIFY(m3u::parse(list).isPlaylist);
}

QTEST_GUILESS_MAIN(TestM3u)
#include "test_m3u.moc"
