// The guide's store in the cache folder: whatever its bytes, opening it and
// asking it everything never reads out of bounds. The checksum is mended
// before each run, so that the fuzzer reaches the tables' own checks and the
// texts rather than the checksum alone.
#include "fuzz.h"
#include "store.h"

#include <cstring>

#include <zlib.h>

using namespace miravon::guide;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (bytes.size() >= 64) {
        quint64 textsAt = 0;
        std::memcpy(&textsAt, bytes.constData() + 48, 8);
        if (textsAt >= 64 && textsAt <= quint64(bytes.size())) {
            uLong crc = crc32(0, reinterpret_cast<const Bytef*>(bytes.constData()), 28);
            crc = crc32_z(crc, reinterpret_cast<const Bytef*>(bytes.constData() + 64), size_t(textsAt - 64));
            const quint32 v = quint32(crc);
            std::memcpy(bytes.data() + 28, &v, 4);
        }
    }
    QString why;
    const auto store = Store::fromBytes(bytes, &why);
    if (!store) {
        FUZZ_CHECK(!why.isEmpty());
        return 0;
    }
    for (int c = 0; c < store->channelCount(); ++c) {
        (void)store->channel(c);
        const int first = store->firstProgramme(c), count = store->programmeCountOf(c);
        FUZZ_CHECK(first >= 0 && count >= 0 && first + count <= store->programmeCount());
        const int at = store->firstEndingAfter(c, 1714564800);
        FUZZ_CHECK(at >= first && at <= first + count);
        for (int p = first; p < first + count && p < first + 64; ++p) {
            Texts t;
            if (!store->texts(c, p, &t))
                FUZZ_CHECK(store->damaged());
        }
    }
    return 0;
}
