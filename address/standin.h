#pragma once

#include <QString>
#include <QUrl>

namespace miravon {

// Whether an address is one of the built-in stand-ins: its host is a name
// reserved for examples and tests (".example", ".test", ".invalid",
// "example.com", "example.net", "example.org" and their subdomains) or an
// address of the documentation ranges 192.0.2.0/24, 198.51.100.0/24,
// 203.0.113.0/24 or 2001:db8::/32. Such an address can never play; the
// answer comes from the text alone, without any lookup.
bool isStandInAddress(const QUrl& address);
bool isStandInAddress(const QString& address);

} // namespace miravon
