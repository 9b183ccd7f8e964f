#include "m3u.h"

#include <QRegularExpression>
#include <QStringView>

namespace miravon::m3u {
namespace {

bool startsWithCi(QStringView s, QLatin1StringView prefix)
{
    return s.startsWith(prefix, Qt::CaseInsensitive);
}

// Whether a line is an address: "scheme://" with a letter-led scheme.
bool isAddress(QStringView s)
{
    const qsizetype colon = s.indexOf(u"://");
    if (colon <= 0 || colon > 16 || !s.at(0).isLetter())
        return false;
    for (qsizetype i = 0; i < colon; ++i) {
        const QChar c = s.at(i);
        if (!(c.isLetterOrNumber() || c == u'+' || c == u'-' || c == u'.'))
            return false;
    }
    return s.size() > colon + 3;
}

// A line that can only be a stream address relative to the list's own: no
// blank, no scheme, and a path or a file name ("live/a.m3u8", "/hls/a.m3u8",
// "../a.ts", "//cdn.example/a.m3u8", "stream.php?id=3"). Any other line
// that is no address and no directive is junk, and skipped.
bool isRelativeAddress(QStringView s)
{
    for (QChar c : s)
        if (c.isSpace() || c.unicode() < 0x20)
            return false;
    const qsizetype colon = s.indexOf(u':');
    const qsizetype slash = s.indexOf(u'/');
    if (colon >= 0 && (slash < 0 || colon < slash))
        return false; // "mailto:", "C:\\", "rtmp:/"
    if (slash >= 0)
        return true;
    static const QRegularExpression fileName(QStringLiteral("^[^?#]+\\.[A-Za-z0-9]{2,5}(?:[?#].*)?$"));
    return fileName.match(s).hasMatch();
}

bool isWeb(const QUrl& url)
{
    return url.isValid() && !url.host().isEmpty()
        && (url.scheme().compare(u"http", Qt::CaseInsensitive) == 0
            || url.scheme().compare(u"https", Qt::CaseInsensitive) == 0);
}

// A value written in quotes (#EXTVLCOPT:http-user-agent="Agent 1.0"): the
// quotes are not part of it.
QStringView unquoted(QStringView v)
{
    v = v.trimmed();
    if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
        return v.mid(1, v.size() - 2);
    return v;
}

struct Info {
    QString title, tvgId, tvgName, tvgCountry, groupTitle, logo, referrer, userAgent;
    bool seen = false;
};

bool isReferrerKey(QStringView key)
{
    for (const char16_t* k : {u"http-referrer", u"http-referer", u"referrer", u"referer"})
        if (key.compare(k, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool isUserAgentKey(QStringView key)
{
    return key.compare(u"http-user-agent", Qt::CaseInsensitive) == 0
        || key.compare(u"user-agent", Qt::CaseInsensitive) == 0;
}

// "#EXTINF:-1 key="value" key2='v' key3=v,Display name"
Info parseExtinf(QStringView rest)
{
    Info info;
    info.seen = true;
    qsizetype i = 0;
    const qsizetype n = rest.size();
    // Duration: everything up to the first blank or comma.
    while (i < n && !rest.at(i).isSpace() && rest.at(i) != u',')
        ++i;
    while (i < n) {
        while (i < n && rest.at(i).isSpace())
            ++i;
        if (i >= n)
            break;
        if (rest.at(i) == u',') {
            info.title = rest.mid(i + 1).trimmed().toString();
            break;
        }
        const qsizetype keyStart = i;
        while (i < n && rest.at(i) != u'=' && rest.at(i) != u',' && !rest.at(i).isSpace())
            ++i;
        const QStringView key = rest.mid(keyStart, i - keyStart);
        qsizetype j = i;
        while (j < n && rest.at(j).isSpace())
            ++j;
        if (j >= n || rest.at(j) != u'=') {
            i = j; // a bare word: skipped
            if (i < n && rest.at(i) != u',' && i == keyStart)
                ++i;
            continue;
        }
        i = j + 1;
        while (i < n && rest.at(i).isSpace())
            ++i;
        QStringView value;
        if (i < n && (rest.at(i) == u'"' || rest.at(i) == u'\'')) {
            const QChar quote = rest.at(i++);
            const qsizetype end = rest.indexOf(quote, i);
            const qsizetype stop = end < 0 ? n : end;
            value = rest.mid(i, stop - i);
            i = end < 0 ? n : end + 1;
        } else {
            const qsizetype start = i;
            while (i < n && !rest.at(i).isSpace() && rest.at(i) != u',')
                ++i;
            value = rest.mid(start, i - start);
        }
        const QString v = value.trimmed().toString();
        if (key.compare(u"tvg-id", Qt::CaseInsensitive) == 0)
            info.tvgId = v;
        else if (key.compare(u"tvg-name", Qt::CaseInsensitive) == 0)
            info.tvgName = v;
        else if (key.compare(u"tvg-country", Qt::CaseInsensitive) == 0)
            info.tvgCountry = v;
        else if (key.compare(u"group-title", Qt::CaseInsensitive) == 0)
            info.groupTitle = v;
        else if (key.compare(u"tvg-logo", Qt::CaseInsensitive) == 0)
            info.logo = v;
        else if (isReferrerKey(key))
            info.referrer = v;
        else if (isUserAgentKey(key))
            info.userAgent = v;
    }
    return info;
}

// "key=value" of #EXTVLCOPT and of the "|Referer=...&User-Agent=..." tail.
void applyHeader(QStringView key, QStringView value, QString& referrer, QString& userAgent)
{
    key = key.trimmed();
    const QString v = value.trimmed().toString();
    if (isReferrerKey(key))
        referrer = v;
    else if (isUserAgentKey(key))
        userAgent = v;
}

// The guide addresses of the header's attributes:
// `#EXTM3U x-tvg-url="https://a/1.xml.gz,https://b/2.xml" url-tvg='...'`.
QStringList guideAddresses(QStringView rest)
{
    QStringList out;
    qsizetype i = 0;
    const qsizetype n = rest.size();
    while (i < n) {
        while (i < n && (rest.at(i).isSpace() || rest.at(i) == u','))
            ++i;
        const qsizetype keyStart = i;
        while (i < n && rest.at(i) != u'=' && !rest.at(i).isSpace())
            ++i;
        const QStringView key = rest.mid(keyStart, i - keyStart);
        if (i >= n || rest.at(i) != u'=')
            continue;
        ++i;
        QStringView value;
        if (i < n && (rest.at(i) == u'"' || rest.at(i) == u'\'')) {
            const QChar quote = rest.at(i++);
            const qsizetype end = rest.indexOf(quote, i);
            value = rest.mid(i, (end < 0 ? n : end) - i);
            i = end < 0 ? n : end + 1;
        } else {
            const qsizetype start = i;
            while (i < n && !rest.at(i).isSpace())
                ++i;
            value = rest.mid(start, i - start);
        }
        if (key.compare(u"x-tvg-url", Qt::CaseInsensitive) != 0 && key.compare(u"url-tvg", Qt::CaseInsensitive) != 0
            && key.compare(u"tvg-url", Qt::CaseInsensitive) != 0)
            continue;
        for (QStringView address : value.tokenize(u',')) {
            const QString a = address.trimmed().toString();
            if (!a.isEmpty() && !out.contains(a))
                out << a;
        }
    }
    return out;
}

} // namespace

Playlist parse(QByteArrayView bytes, const QUrl& base)
{
    Playlist out;
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    // A NUL byte never occurs in a text playlist.
    if (text.contains(QChar(0)))
        return out;
    const bool resolvable = isWeb(base);

    Info pending;
    QString referrer, userAgent, group;
    auto endEntry = [&] {
        pending = Info();
        referrer.clear();
        userAgent.clear();
        group.clear();
    };
    bool first = true;
    int lineNo = 0;
    for (QStringView raw : QStringView(text).tokenize(u'\n')) {
        ++lineNo;
        // CR alone also ends a line (old Mac files): split further.
        for (QStringView part : raw.tokenize(u'\r')) {
            const QStringView line = part.trimmed();
            if (line.isEmpty())
                continue;
            if (first) {
                first = false;
                if (startsWithCi(line, QLatin1StringView("#EXTM3U"))) {
                    out.isPlaylist = true;
                    out.guides = guideAddresses(line.mid(7));
                    continue;
                }
            }
            if (line.startsWith(u'#')) {
                if (startsWithCi(line, QLatin1StringView("#EXTINF:"))) {
                    pending = parseExtinf(line.mid(8));
                } else if (startsWithCi(line, QLatin1StringView("#EXTVLCOPT:"))) {
                    const QStringView opt = line.mid(11);
                    const qsizetype eq = opt.indexOf(u'=');
                    if (eq > 0)
                        applyHeader(opt.left(eq), unquoted(opt.mid(eq + 1)), referrer, userAgent);
                } else if (startsWithCi(line, QLatin1StringView("#EXTGRP:"))) {
                    group = line.mid(8).trimmed().toString();
                }
                continue; // comments and other directives
            }
            // Headers written after the address: "url|Referer=a&User-Agent=b".
            QStringView address = line;
            QStringView headers;
            const qsizetype bar = line.indexOf(u'|');
            if (bar > 0) {
                address = line.left(bar).trimmed();
                headers = line.mid(bar + 1);
            }
            QString url;
            if (isAddress(address)) {
                url = address.toString();
            } else if (isRelativeAddress(address)) {
                if (!resolvable) {
                    // The entry's address, but nothing to resolve it by.
                    ++out.refusedRelative;
                    endEntry();
                    continue;
                }
                url = base.resolved(QUrl(address.toString())).toString(QUrl::FullyEncoded);
                if (!isAddress(url))
                    continue; // "//" and the like: nothing to play
            } else {
                continue; // junk between an #EXTINF and its address
            }
            for (QStringView kv : headers.tokenize(u'&')) {
                const qsizetype eq = kv.indexOf(u'=');
                if (eq > 0)
                    applyHeader(kv.left(eq), kv.mid(eq + 1), referrer, userAgent);
            }
            Entry e;
            e.url = url;
            e.title = pending.title;
            e.tvgId = pending.tvgId;
            e.tvgName = pending.tvgName;
            e.tvgCountry = pending.tvgCountry;
            e.groupTitle = pending.groupTitle.isEmpty() ? group : pending.groupTitle;
            e.tvgLogo = pending.logo;
            e.referrer = referrer.isEmpty() ? pending.referrer : referrer;
            e.userAgent = userAgent.isEmpty() ? pending.userAgent : userAgent;
            e.line = lineNo;
            if (pending.seen)
                out.isPlaylist = true;
            out.entries.append(e);
            endEntry();
        }
    }
    if (!out.isPlaylist) {
        out.entries.clear();
        out.guides.clear();
        out.refusedRelative = 0;
    }
    return out;
}

} // namespace miravon::m3u
