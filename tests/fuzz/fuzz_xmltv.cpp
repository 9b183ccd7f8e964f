// The XMLTV reader of the programme guides: any bytes, cut anywhere, read
// without a crash, a hang or undefined behaviour; a guide read gives sound
// programmes (in time order, none overlapping, none empty).
#include "fuzz.h"
#include "xmltv.h"

using namespace miravon::guide;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const auto matcher = std::make_shared<const ChannelMatcher>(QList<ListChannel>{
        {QStringLiteral("a"), QStringLiteral("a.vn"), {QStringLiteral("A")}, QStringLiteral("VN"), QStringLiteral("vi")},
        {QStringLiteral("b"), QString(), {QStringLiteral("B HD")}, QStringLiteral("VN"), QString()}});
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    // The first byte says where the bytes are cut in two, as a network cuts them.
    const qsizetype cut = size ? qsizetype(data[0]) % qsizetype(size) : 0;
    ReadOptions options;
    options.now = 1714564800; // 2024-05-01 12:00 UTC
    options.maxBytes = 1024 * 1024;
    XmltvReader reader(matcher, options);
    if (reader.feed(bytes.first(cut)) && reader.feed(bytes.sliced(cut)) && reader.finish()) {
        for (const ChannelRecord& c : reader.take().channels) {
            for (qsizetype i = 0; i < c.programmes.size(); ++i) {
                FUZZ_CHECK(c.programmes.at(i).start < c.programmes.at(i).stop);
                FUZZ_CHECK(i == 0 || c.programmes.at(i - 1).stop <= c.programmes.at(i).start);
            }
        }
    } else {
        FUZZ_CHECK(reader.failure() != ReadFailure::None);
    }
    return 0;
}
