// libFuzzer entry for the M3U reader: any bytes must parse without a crash,
// a hang or undefined behaviour, and every entry must carry an address.
#include "m3u.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const miravon::m3u::Playlist p =
        miravon::m3u::parse(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    for (const miravon::m3u::Entry& e : p.entries)
        if (e.url.isEmpty() || e.line < 1)
            std::abort();
    return 0;
}
