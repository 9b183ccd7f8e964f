#include "standin.h"

#include <QHostAddress>

namespace miravon {

bool isStandInAddress(const QUrl& address)
{
    // QUrl lower-cases the host and drops the brackets of an IPv6 literal.
    QString host = address.host(QUrl::FullyDecoded);
    while (host.endsWith(QLatin1Char('.')))
        host.chop(1); // "example.com." is the same name
    if (host.isEmpty())
        return false;

    QHostAddress ip;
    if (ip.setAddress(host)) {
        static const QList<QPair<QHostAddress, int>> ranges = {
            QHostAddress::parseSubnet(QStringLiteral("192.0.2.0/24")),
            QHostAddress::parseSubnet(QStringLiteral("198.51.100.0/24")),
            QHostAddress::parseSubnet(QStringLiteral("203.0.113.0/24")),
            QHostAddress::parseSubnet(QStringLiteral("2001:db8::/32")),
        };
        // An IPv4 address written as IPv6 (::ffff:192.0.2.1) counts as IPv4.
        bool mapped = false;
        const quint32 v4 = ip.toIPv4Address(&mapped);
        if (mapped)
            ip = QHostAddress(v4);
        for (const auto& r : ranges)
            if (ip.isInSubnet(r))
                return true;
        return false;
    }

    for (const char* tld : {".example", ".test", ".invalid"}) {
        const QLatin1StringView t(tld);
        if (host.endsWith(t) || host == t.sliced(1))
            return true;
    }
    for (const char* domain : {"example.com", "example.net", "example.org"}) {
        const QLatin1StringView d(domain);
        if (host == d || (host.endsWith(d) && host.at(host.size() - d.size() - 1) == QLatin1Char('.')))
            return true;
    }
    return false;
}

bool isStandInAddress(const QString& address)
{
    return isStandInAddress(QUrl(address));
}

} // namespace miravon
