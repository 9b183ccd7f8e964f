#include "sizelimits.h"

namespace miravon {

QString sizeText(qint64 bytes)
{
    constexpr qint64 kib = 1024;
    constexpr qint64 mib = 1024 * kib;
    if (bytes >= mib && bytes % mib == 0)
        return QStringLiteral("%1 MiB").arg(bytes / mib);
    if (bytes >= kib && bytes % kib == 0)
        return QStringLiteral("%1 KiB").arg(bytes / kib);
    return QStringLiteral("%1 byte").arg(bytes);
}

} // namespace miravon
