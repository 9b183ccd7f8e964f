// VNI text: the input read as UTF-8 and, separately, as raw UTF-16 code units
// (lone surrogates included).
#include "fuzz.h"
#include "vni.h"

#include <QString>

using namespace miravon;

namespace {
void check(const QString& stored)
{
    const QString shown = vniToUnicode(stored);
    // A mark digit is absorbed into its letter: the text never grows.
    FUZZ_CHECK(shown.size() <= stored.size());
    // Every mark the text holds is taken in one pass: a second changes nothing.
    FUZZ_CHECK(vniToUnicode(shown) == shown);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    check(QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)));
    check(QString(reinterpret_cast<const QChar*>(data), qsizetype(size / 2)));
    return 0;
}
