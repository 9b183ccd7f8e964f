#include "addresspolicy.h"

#include <QDir>
#include <QStringList>

namespace miravon {

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
    static const QStringList allowed = {
        QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("rtsp"), QStringLiteral("rtspt"),
        QStringLiteral("rtspu"), QStringLiteral("mms"), QStringLiteral("mmsh"), QStringLiteral("mmst"),
    };
    return allowed.contains(url.scheme().toLower());
}

bool isCatalogueAddress(const QString& a)
{
    qsizetype rest = 0;
    for (const char* scheme : {"http://", "rtsp://", "mms://"}) {
        if (a.startsWith(QLatin1String(scheme))) {
            rest = qsizetype(qstrlen(scheme));
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
    static const QStringList schemes = {QStringLiteral("http"), QStringLiteral("https"),
                                        QStringLiteral("rtsp"), QStringLiteral("mms"),
                                        QStringLiteral("mmsh"), QStringLiteral("mmst")};
    if (address.isEmpty() || address.trimmed() != address)
        return false;
    const QUrl u(address, QUrl::StrictMode);
    return u.isValid() && !u.isRelative() && schemes.contains(u.scheme(), Qt::CaseInsensitive)
        && !u.host().isEmpty();
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
