// The catalogue's own tables: the input is the five tables in the order
// panels, channels, films, buttons, lines, separated by form feeds.
#include "catalogue.h"
#include "fuzz.h"

using namespace miravon::catalogue;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList parts = text.split(QLatin1Char('\f'));
    Tables t;
    QString* fields[] = {&t.panels, &t.channels, &t.films, &t.buttons, &t.lines};
    for (qsizetype i = 0; i < std::min<qsizetype>(parts.size(), std::size(fields)); ++i)
        *fields[i] = parts.at(i);

    QStringList errors;
    const Catalogue c = parse(t, &errors);

    // Every row yields at most one item, and every label sits on a known panel.
    const qsizetype rows = text.count(QLatin1Char('\n')) + 5;
    FUZZ_CHECK(c.panels.size() + c.labels.size() + c.buttons.size() + c.lines.size() <= rows);
    for (const Label& l : c.labels) {
        bool found = false;
        for (const Panel& p : c.panels)
            found = found || (p.window == l.window && p.name == l.panel);
        FUZZ_CHECK(found);
        FUZZ_CHECK(!l.clickable() || !l.address.isEmpty());
        FUZZ_CHECK(c.label(l.window, l.control) == &l);
    }
    return 0;
}
