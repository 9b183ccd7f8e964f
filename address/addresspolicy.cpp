#include "addresspolicy.h"

#include <QDir>
#include <QStringList>

namespace miravon {
namespace {

// Every scheme the program knows, and what it is taken for: the one list
// the checks below, and the messages that name the schemes, read.
struct Scheme {
    const char* name;
    bool catalogue; // the built-in tables use it
    bool accepted;  // an address file or an import may give it
    bool played;    // the player opens it (a playlist may name it)
};
constexpr Scheme schemes[] = {
    {"http", true, true, true},   {"https", false, true, true}, {"rtsp", true, true, true},
    {"rtspt", false, false, true}, {"rtspu", false, false, true}, {"mms", true, true, true},
    {"mmsh", false, true, true},  {"mmst", false, true, true},
};

const Scheme* schemeNamed(QStringView name)
{
    for (const Scheme& s : schemes)
        if (name.compare(QLatin1StringView(s.name), Qt::CaseInsensitive) == 0)
            return &s;
    return nullptr;
}

} // namespace

bool isWebAddress(const QUrl& url)
{
    const QString scheme = url.scheme();
    return scheme.compare(QLatin1String("http"), Qt::CaseInsensitive) == 0
        || scheme.compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
}

bool isWebAddress(const QString& address)
{
    return address.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)
        || address.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

bool isAllowedScheme(const QUrl& url)
{
    const Scheme* s = schemeNamed(url.scheme());
    return s && s->played;
}

bool isCatalogueAddress(const QString& a)
{
    qsizetype rest = 0;
    for (const Scheme& s : schemes) {
        if (!s.catalogue)
            continue;
        const qsizetype n = qsizetype(qstrlen(s.name));
        if (a.startsWith(QLatin1StringView(s.name, n)) && QStringView(a).sliced(n).startsWith(u"://")) {
            rest = n + 3;
            break;
        }
    }
    if (rest == 0 || rest >= a.size() || a.at(rest) == QLatin1Char('/') || a.at(rest) == QLatin1Char(':'))
        return false;
    for (QChar c : a)
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7f)
            return false;
    return true;
}

bool isAcceptedAddress(const QString& address)
{
    if (address.isEmpty() || address.trimmed() != address)
        return false;
    const QUrl u(address, QUrl::StrictMode);
    const Scheme* s = u.isValid() && !u.isRelative() ? schemeNamed(u.scheme()) : nullptr;
    return s && s->accepted && !u.host().isEmpty();
}

QString acceptedSchemesText(QStringView lastJoin, QStringView after)
{
    QStringList names;
    for (const Scheme& s : schemes)
        if (s.accepted)
            names << QString::fromLatin1(s.name) + after.toString();
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + u' ' + lastJoin.toString() + u' ' + last;
}

bool isChannelListLink(const QUrl& url)
{
    const QString path = url.path();
    const bool m3u = path.endsWith(QLatin1String(".m3u"), Qt::CaseInsensitive);
    if (url.isLocalFile())
        return m3u || path.endsWith(QLatin1String(".m3u8"), Qt::CaseInsensitive);
    return m3u && isWebAddress(url) && !url.host().isEmpty();
}

bool isLocalFileAddress(const QString& address)
{
    if (address.isEmpty() || address.trimmed() != address)
        return false;
    const QUrl u(address, QUrl::StrictMode);
    return u.isValid() && u.isLocalFile() && u.host().isEmpty() && QDir::isAbsolutePath(u.toLocalFile())
        && !u.toLocalFile().endsWith(QLatin1Char('/'));
}

} // namespace miravon
