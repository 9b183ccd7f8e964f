// The M3U reader: what each line form gives, and which bytes are no
// playlist at all.
#include "m3u.h"

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
} // namespace

class TestM3u : public QObject {
    Q_OBJECT
private slots:
    void entries_data();
    void entries();
    void guides_data();
    void guides();
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
    QTest::newRow("a stray line ends its entry; a bare address has no title")
        << QByteArray("#EXTM3U\n#EXTINF:-1,Lost\nnot an address\nhttp://s.example/b\n") << true
        << QStringList{"|||||http://s.example/b|||4"};
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
