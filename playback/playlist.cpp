#include "playlist.h"

#include "addresspolicy.h"

#include <QMap>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>

namespace miravon {

namespace {

QString decodeEntities(QString s)
{
    // Only the few entities that appear in addresses; an unescaped '&' stays.
    s.replace(QLatin1String("&amp;"), QLatin1String("&"), Qt::CaseInsensitive);
    s.replace(QLatin1String("&lt;"), QLatin1String("<"), Qt::CaseInsensitive);
    s.replace(QLatin1String("&gt;"), QLatin1String(">"), Qt::CaseInsensitive);
    s.replace(QLatin1String("&quot;"), QLatin1String("\""), Qt::CaseInsensitive);
    s.replace(QLatin1String("&apos;"), QLatin1String("'"), Qt::CaseInsensitive);
    return s;
}

// Resolves one reference. Returns an empty URL and records the reference in
// `refused` when it may not be opened.
QUrl resolveRef(const QString& rawRef, const QUrl& base, QStringList& refused)
{
    const QString ref = decodeEntities(rawRef.trimmed());
    if (ref.isEmpty())
        return {};
    // Windows paths ("C:\x", "\\host\share") are local whatever QUrl makes of them.
    if (ref.startsWith(QLatin1String("\\\\")) || (ref.size() >= 2 && ref[1] == QLatin1Char(':') && ref[0].isLetter()
                                                   && (ref.size() == 2 || ref[2] == QLatin1Char('\\') || ref[2] == QLatin1Char('/')))) {
        refused << ref;
        return {};
    }
    const QUrl rel(ref, QUrl::TolerantMode);
    if (!rel.isValid()) {
        refused << ref;
        return {};
    }
    const QUrl url = rel.isRelative() ? base.resolved(rel) : rel;
    if (!isAllowedScheme(url) || url.host().isEmpty()) {
        refused << ref;
        return {};
    }
    return url;
}

struct Tag {
    QString name;  // lower case, without '/'
    bool closing = false;
    QMap<QString, QString> attrs;  // lower-case names
};

// Reads the attributes of a tag body (the text between the name and '>').
QMap<QString, QString> parseAttrs(QStringView body)
{
    QMap<QString, QString> attrs;
    qsizetype i = 0;
    const qsizetype n = body.size();
    while (i < n) {
        while (i < n && (body[i].isSpace() || body[i] == QLatin1Char('/')))
            ++i;
        const qsizetype nameStart = i;
        while (i < n && !body[i].isSpace() && body[i] != QLatin1Char('=') && body[i] != QLatin1Char('/'))
            ++i;
        const QString name = body.sliced(nameStart, i - nameStart).toString().toLower();
        while (i < n && body[i].isSpace())
            ++i;
        QString value;
        if (i < n && body[i] == QLatin1Char('=')) {
            ++i;
            while (i < n && body[i].isSpace())
                ++i;
            if (i < n && (body[i] == QLatin1Char('"') || body[i] == QLatin1Char('\''))) {
                const QChar quote = body[i++];
                const qsizetype start = i;
                while (i < n && body[i] != quote)
                    ++i;
                value = body.sliced(start, i - start).toString();
                if (i < n)
                    ++i;
            } else {
                const qsizetype start = i;
                while (i < n && !body[i].isSpace())
                    ++i;
                value = body.sliced(start, i - start).toString();
            }
        }
        if (!name.isEmpty())
            attrs.insert(name, value);
        else if (i == nameStart)
            ++i;
    }
    return attrs;
}

// Walks the tags of a markup text, skipping comments and processing
// instructions. Text between tags is ignored: ASX keeps addresses in attributes.
QList<Tag> scanTags(const QString& text)
{
    QList<Tag> tags;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (true) {
        i = text.indexOf(QLatin1Char('<'), i);
        if (i < 0)
            break;
        if (text.mid(i, 4) == QLatin1String("<!--")) {
            const qsizetype end = text.indexOf(QLatin1String("-->"), i + 4);
            if (end < 0)
                break;
            i = end + 3;
            continue;
        }
        qsizetype end = i + 1;
        QChar quote;
        while (end < n) {
            const QChar c = text[end];
            if (!quote.isNull()) {
                if (c == quote)
                    quote = QChar();
            } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
                quote = c;
            } else if (c == QLatin1Char('>')) {
                break;
            }
            ++end;
        }
        if (end >= n)
            break;
        QStringView inner = QStringView(text).sliced(i + 1, end - i - 1);
        i = end + 1;
        if (inner.isEmpty() || inner[0] == QLatin1Char('?') || inner[0] == QLatin1Char('!'))
            continue;
        Tag tag;
        if (inner[0] == QLatin1Char('/')) {
            tag.closing = true;
            inner = inner.sliced(1);
        }
        qsizetype nameEnd = 0;
        while (nameEnd < inner.size() && !inner[nameEnd].isSpace() && inner[nameEnd] != QLatin1Char('/'))
            ++nameEnd;
        tag.name = inner.first(nameEnd).toString().toLower();
        if (!tag.closing)
            tag.attrs = parseAttrs(inner.sliced(nameEnd));
        tags << tag;
    }
    return tags;
}

ParsedPlaylist parseAsx(const QString& text, const QUrl& documentUrl)
{
    ParsedPlaylist result;
    result.kind = ParsedPlaylist::Asx;
    QUrl base = documentUrl;
    bool inEntry = false;
    PlaylistEntry entry;
    auto finishEntry = [&] {
        if (!entry.alternatives.isEmpty())
            result.entries << entry;
        entry = {};
        inEntry = false;
    };
    for (const Tag& tag : scanTags(text)) {
        if (tag.name == QLatin1String("entry")) {
            if (tag.closing) {
                finishEntry();
            } else {
                if (inEntry)
                    finishEntry();  // an unclosed entry ends where the next begins
                inEntry = true;
            }
        } else if (!tag.closing && tag.name == QLatin1String("base") && !inEntry) {
            const QString href = decodeEntities(tag.attrs.value(QStringLiteral("href")).trimmed());
            const QUrl b(href, QUrl::TolerantMode);
            if (!href.isEmpty() && b.isValid() && isAllowedScheme(b.isRelative() ? documentUrl.resolved(b) : b))
                base = b.isRelative() ? documentUrl.resolved(b) : b;
        } else if (!tag.closing && tag.name == QLatin1String("ref")) {
            const QUrl url = resolveRef(tag.attrs.value(QStringLiteral("href")), base, result.refused);
            if (url.isEmpty())
                continue;
            if (inEntry) {
                entry.alternatives << url;
            } else {
                // A Ref outside any Entry: sloppy, but plainly meant as one.
                result.entries << PlaylistEntry{{url}, false};
            }
        } else if (!tag.closing && tag.name == QLatin1String("entryref")) {
            const QUrl url = resolveRef(tag.attrs.value(QStringLiteral("href")), base, result.refused);
            if (!url.isEmpty())
                result.entries << PlaylistEntry{{url}, true};
        }
    }
    finishEntry();
    return result;
}

ParsedPlaylist parseReference(const QString& text, const QUrl& base)
{
    ParsedPlaylist result;
    result.kind = ParsedPlaylist::Reference;
    QMap<int, QString> refs;
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("[\r\n]+")));
    for (const QString& rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (!line.startsWith(QLatin1String("ref"), Qt::CaseInsensitive))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        bool ok = false;
        const int n = line.mid(3, eq - 3).trimmed().toInt(&ok);
        if (!ok || refs.contains(n))
            continue;
        refs.insert(n, line.mid(eq + 1));
    }
    // Ref1, Ref2 ... are the same stream by different routes: alternatives.
    PlaylistEntry entry;
    for (const QString& ref : std::as_const(refs)) {
        const QUrl url = resolveRef(ref, base, result.refused);
        if (!url.isEmpty())
            entry.alternatives << url;
    }
    if (!entry.alternatives.isEmpty())
        result.entries << entry;
    return result;
}

ParsedPlaylist parseM3u(const QString& text, const QUrl& base)
{
    ParsedPlaylist result;
    result.kind = ParsedPlaylist::M3u;
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("[\r\n]+")));
    for (const QString& rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QUrl url = resolveRef(line, base, result.refused);
        if (!url.isEmpty())
            result.entries << PlaylistEntry{{url}, isPlaylistAddress(url)};
    }
    return result;
}

} // namespace

bool isPlaylistAddress(const QUrl& url)
{
    if (!isWebAddress(url))
        return false;
    const QString path = url.path().toLower();
    for (const char* ext : {".asx", ".wax", ".wvx", ".wmx", ".m3u"}) {
        if (path.endsWith(QLatin1String(ext)))
            return true;
    }
    return false;
}

QString decodePlaylistText(const QByteArray& body)
{
    if (body.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(body.sliced(3));
    if (body.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringDecoder::Utf16LE).decode(body.sliced(2));
    if (body.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringDecoder::Utf16BE).decode(body.sliced(2));
    // Unmarked UTF-16: ASCII markup leaves every other byte NUL.
    const qsizetype probe = std::min<qsizetype>(body.size(), 256);
    int evenNuls = 0;
    int oddNuls = 0;
    for (qsizetype i = 0; i < probe; ++i) {
        if (body[i] == '\0')
            (i % 2 ? oddNuls : evenNuls)++;
    }
    if (probe >= 4 && oddNuls > probe / 4 && evenNuls == 0)
        return QStringDecoder(QStringDecoder::Utf16LE).decode(body);
    if (probe >= 4 && evenNuls > probe / 4 && oddNuls == 0)
        return QStringDecoder(QStringDecoder::Utf16BE).decode(body);
    return QString::fromUtf8(body);
}

ParsedPlaylist parsePlaylist(const QByteArray& body, const QUrl& base)
{
    if (body.size() > maxPlaylistBytes)
        return {};
    const QString text = decodePlaylistText(body);
    const QString head = text.left(4096).trimmed();
    if (head.startsWith(QLatin1String("[reference]"), Qt::CaseInsensitive))
        return parseReference(text, base);
    // An ASX document may open with an XML declaration or comments.
    static const QRegularExpression asxStart(QStringLiteral("^(\\s|<\\?[^>]*\\?>|<!--.*?-->)*<asx[\\s>]"),
                                             QRegularExpression::CaseInsensitiveOption
                                                 | QRegularExpression::DotMatchesEverythingOption);
    if (asxStart.match(text.left(65536)).hasMatch())
        return parseAsx(text, base);
    const bool isM3uName = base.path().endsWith(QLatin1String(".m3u"), Qt::CaseInsensitive);
    if (head.startsWith(QLatin1String("#EXTM3U")) || isM3uName) {
        // HLS is the engine's business.
        if (text.contains(QLatin1String("#EXT-X-")))
            return {};
        // Binary media misnamed .m3u is not a playlist.
        if (text.contains(QChar::Null) || text.contains(QChar::ReplacementCharacter))
            return {};
        return parseM3u(text, base);
    }
    return {};
}

} // namespace miravon
