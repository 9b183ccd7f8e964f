// An address file of the import layer, applied to the built-in catalogue.
#include "addresspolicy.h"
#include "catalogue.h"
#include "fuzz.h"

using namespace miravon::catalogue;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const Catalogue pristine = parse(builtInTables(), nullptr);
    Catalogue c = pristine;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    int reports = 0;
    const int applied = applyOverrides(c, bytes, QStringLiteral("addresses.import.tsv"), miravon::AddressOrigin::Imported, [&](const QString& line) {
        ++reports;
        // One report is one line of the terminal.
        FUZZ_CHECK(!line.contains(QLatin1Char('\n')));
    });
    const qsizetype rows = bytes.count('\n') + 1;
    FUZZ_CHECK(applied >= 0 && applied + reports <= rows);
    // Rows replace addresses; they never add or remove a label. A label that
    // changes kind becomes an entry; a hidden one takes the address and stays
    // out of reach. No file of this computer comes in through this layer.
    FUZZ_CHECK(c.labels.size() == pristine.labels.size());
    for (qsizetype i = 0; i < c.labels.size(); ++i) {
        const Label& a = c.labels.at(i);
        const Label& before = pristine.labels.at(i);
        if (a.address != before.address)
            FUZZ_CHECK(miravon::isAcceptedAddress(a.address) && !miravon::isLocalFileAddress(a.address)
                       && a.origin == miravon::AddressOrigin::Imported && (a.clickable() || a.kind == Kind::Hidden));
        if (a.kind != before.kind)
            FUZZ_CHECK(a.kind == Kind::Entry);
    }
    return 0;
}
