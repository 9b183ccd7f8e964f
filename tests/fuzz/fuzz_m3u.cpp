// The M3U reader of the import: any bytes must parse without a crash, a hang
// or undefined behaviour, and every entry must carry an address and the
// line it came from; relative addresses are only taken from a list read over
// http(s), resolved to absolute ones.
#include "fuzz.h"
#include "m3u.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    static const QUrl base(QStringLiteral("https://lists.example/tv/list.m3u"));
    for (const QUrl& from : {QUrl(), base}) {
        const miravon::m3u::Playlist p = miravon::m3u::parse(bytes, from);
        for (const miravon::m3u::Entry& e : p.entries)
            FUZZ_CHECK(e.url.contains(QLatin1String("://")) && e.line >= 1);
        FUZZ_CHECK(from.isEmpty() || p.refusedRelative == 0);
    }
    return 0;
}
