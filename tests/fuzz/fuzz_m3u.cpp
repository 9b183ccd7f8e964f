// The M3U reader of the import: any bytes must parse without a crash, a hang
// or undefined behaviour, and every entry must carry an address and the
// line it came from.
#include "fuzz.h"
#include "m3u.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const miravon::m3u::Playlist p =
        miravon::m3u::parse(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    for (const miravon::m3u::Entry& e : p.entries)
        FUZZ_CHECK(!e.url.isEmpty() && e.line >= 1);
    return 0;
}
