// The playlist reader: what it keeps, what it refuses, and the limits.

#include "playlist.h"

#include <QStringEncoder>
#include <QTest>

using namespace miravon;

using Entries = QList<QStringList>;  // each entry: its alternatives; "@" prefix marks a playlist reference

Q_DECLARE_METATYPE(ParsedPlaylist::Kind)

namespace {
Entries flatten(const ParsedPlaylist& p)
{
    Entries out;
    for (const PlaylistEntry& e : p.entries) {
        QStringList alts;
        for (const QUrl& u : e.alternatives)
            alts << (e.isPlaylistRef ? QStringLiteral("@") : QString()) + u.toString();
        out << alts;
    }
    return out;
}

QByteArray utf16(const QString& text, QStringEncoder::Encoding enc, bool bom)
{
    QStringEncoder encoder(enc, bom ? QStringEncoder::Flag::WriteBom : QStringEncoder::Flag::Default);
    return encoder.encode(text);
}
} // namespace

class TestPlaylist : public QObject {
    Q_OBJECT
private slots:
    void parses_data();
    void parses();
    void limits();
    void playlistAddresses_data();
    void playlistAddresses();
};

void TestPlaylist::parses_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("base");
    QTest::addColumn<ParsedPlaylist::Kind>("kind");
    QTest::addColumn<Entries>("entries");
    QTest::addColumn<int>("refused");

    const QString base = QStringLiteral("http://tv.example/live/ch.asx");

    QTest::newRow("asx tidy") << QByteArray(
        "<asx version=\"3.0\"><title>X</title><entry><ref href=\"mms://tv.example/ch1\"/></entry></asx>")
        << base << ParsedPlaylist::Asx << Entries{{"mms://tv.example/ch1"}} << 0;

    QTest::newRow("asx sloppy: case, unescaped &, comment, unquoted, unclosed entry") << QByteArray(
        "\xEF\xBB\xBF  <!-- <ref href=\"http://hidden/x\"/> -->\r\n<ASX Version=3><Entry><REF HREF=http://a.example/s?x=1&y=2 >"
        "<Ref href='mms://b.example/s'></ENTRY><entry><ref href=\"http://c.example/v.wmv?a=1&amp;b=2\"></asx>")
        << base << ParsedPlaylist::Asx
        << Entries{{"http://a.example/s?x=1&y=2", "mms://b.example/s"}, {"http://c.example/v.wmv?a=1&b=2"}} << 0;

    QTest::newRow("asx relative refs and base") << QByteArray(
        "<asx><entry><ref href=\"stream.wmv\"/><ref href=\"/root.wmv\"/></entry>"
        "<base href=\"http://other.example/dir/\"/><entry><ref href=\"x.wmv\"/></entry></asx>")
        << base << ParsedPlaylist::Asx
        << Entries{{"http://tv.example/live/stream.wmv", "http://tv.example/root.wmv"}, {"http://other.example/dir/x.wmv"}} << 0;

    QTest::newRow("asx entryref and stray ref") << QByteArray(
        "<?xml version=\"1.0\"?><asx><ref href=\"rtsp://r.example:554/a?q=1\"/><entryref href=\"more.asx\"/></asx>")
        << base << ParsedPlaylist::Asx
        << Entries{{"rtsp://r.example:554/a?q=1"}, {"@http://tv.example/live/more.asx"}} << 0;

    QTest::newRow("asx refuses local and foreign schemes") << QByteArray(
        "<asx><entry><ref href=\"file:///etc/passwd\"/><ref href=\"C:\\media\\x.wmv\"/><ref href=\"data:video/x;base64,AA\"/>"
        "<ref href=\"ftp://f.example/x\"/><ref href=\"\\\\share\\x.wmv\"/><ref href=\"mmst://ok.example/s\"/></entry></asx>")
        << base << ParsedPlaylist::Asx << Entries{{"mmst://ok.example/s"}} << 5;

    QTest::newRow("asx only refused") << QByteArray("<asx><entry><ref href=\"file:///tmp/x.wmv\"/></entry></asx>")
        << base << ParsedPlaylist::Asx << Entries{} << 1;

    const QString asxText = QStringLiteral("<asx><entry><ref href=\"http://u.example/kênh.wmv\"/></entry></asx>");
    QTest::newRow("asx utf-16le with bom") << utf16(asxText, QStringEncoder::Utf16LE, true) << base
        << ParsedPlaylist::Asx << Entries{{"http://u.example/kênh.wmv"}} << 0;
    QTest::newRow("asx utf-16be with bom") << utf16(asxText, QStringEncoder::Utf16BE, true) << base
        << ParsedPlaylist::Asx << Entries{{"http://u.example/kênh.wmv"}} << 0;
    QTest::newRow("asx utf-16le without bom") << utf16(asxText, QStringEncoder::Utf16LE, false) << base
        << ParsedPlaylist::Asx << Entries{{"http://u.example/kênh.wmv"}} << 0;

    QTest::newRow("reference: refs are alternatives in number order") << QByteArray(
        "[Reference]\r\nRef2=mms://w.example/live\r\nRef1=http://w.example/live?MSWMExt=.asf\r\nBogus=x\r\nRef3=file:///x\r\n")
        << QStringLiteral("http://w.example/live") << ParsedPlaylist::Reference
        << Entries{{"http://w.example/live?MSWMExt=.asf", "mms://w.example/live"}} << 1;

    QTest::newRow("reference lower case") << QByteArray("\n[reference]\nref1=rtsp://r.example/a\n")
        << QStringLiteral("http://w.example/r") << ParsedPlaylist::Reference << Entries{{"rtsp://r.example/a"}} << 0;

    QTest::newRow("m3u") << QByteArray("#EXTM3U\n#EXTINF:-1,Channel\nhttp://m.example/a.wmv\n\nb.asx\nfile:///etc/x\n")
        << QStringLiteral("http://m.example/list/p.m3u") << ParsedPlaylist::M3u
        << Entries{{"http://m.example/a.wmv"}, {"@http://m.example/list/b.asx"}} << 1;

    QTest::newRow("hls is the engine's") << QByteArray("#EXTM3U\n#EXT-X-TARGETDURATION:10\nseg1.ts\n")
        << QStringLiteral("http://m.example/p.m3u") << ParsedPlaylist::NotPlaylist << Entries{} << 0;

    QTest::newRow("media bytes") << QByteArray("0\x26\xb2\x75\x8e\x66\xcf\x11\xa6\xd9\x00\xaa\x00\x62\xce\x6c", 16) << base << ParsedPlaylist::NotPlaylist << Entries{} << 0;
    QTest::newRow("html page") << QByteArray("<html><body>Not here</body></html>") << base
        << ParsedPlaylist::NotPlaylist << Entries{} << 0;
    QTest::newRow("empty") << QByteArray() << base << ParsedPlaylist::NotPlaylist << Entries{} << 0;
}

void TestPlaylist::parses()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, base);
    QFETCH(ParsedPlaylist::Kind, kind);
    QFETCH(Entries, entries);
    QFETCH(int, refused);

    const ParsedPlaylist p = parsePlaylist(body, QUrl(base));
    QCOMPARE(p.kind, kind);
    QCOMPARE(flatten(p), entries);
    QCOMPARE(p.refused.size(), refused);
}

void TestPlaylist::limits()
{
    // Over the size limit nothing is read, even if the start looks right.
    QByteArray big = "<asx><entry><ref href=\"http://a.example/x.wmv\"/></entry>";
    big += QByteArray(maxPlaylistBytes, ' ') + "</asx>";
    QCOMPARE(parsePlaylist(big, QUrl("http://a.example/p.asx")).kind, ParsedPlaylist::NotPlaylist);

    // Unterminated tags and comments end the scan without running away.
    const ParsedPlaylist cut = parsePlaylist("<asx><entry><ref href=\"http://a.example/x.wmv\"/><!-- open <ref href=",
                                             QUrl("http://a.example/p.asx"));
    QCOMPARE(flatten(cut), Entries({{"http://a.example/x.wmv"}}));
    const ParsedPlaylist unclosedQuote = parsePlaylist("<asx><entry><ref href=\"http://a.example/x.wmv", QUrl("http://a.example/p.asx"));
    QVERIFY(unclosedQuote.entries.isEmpty());
}

void TestPlaylist::playlistAddresses_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("fetched");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("asx") << "http://a.example/x.ASX" << true << true;
    QTest::newRow("wvx with query") << "http://a.example/x.wvx?id=3" << true << true;
    QTest::newRow("m3u") << "http://a.example/x.m3u" << true << true;
    QTest::newRow("wmv") << "http://a.example/x.wmv" << false << true;
    QTest::newRow("mount point") << "http://a.example:8080/live" << false << true;
    QTest::newRow("asx over rtsp is not fetched") << "rtsp://a.example/x.asx" << false << true;
    QTest::newRow("mms") << "mms://a.example/live" << false << true;
    QTest::newRow("rtspu") << "rtspu://a.example/live" << false << true;
    QTest::newRow("file") << "file:///x.asx" << false << false;
    QTest::newRow("data") << "data:text/plain,x" << false << false;
    QTest::newRow("ftp") << "ftp://a.example/x.wmv" << false << false;
}

void TestPlaylist::playlistAddresses()
{
    QFETCH(QString, address);
    QFETCH(bool, fetched);
    QFETCH(bool, allowed);
    QCOMPARE(isPlaylistAddress(QUrl(address)), fetched);
    QCOMPARE(isAllowedScheme(QUrl(address)), allowed);
}

QTEST_APPLESS_MAIN(TestPlaylist)
#include "tst_playlist.moc"
