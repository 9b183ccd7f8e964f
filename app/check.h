#pragma once

#include "streamaddress.h"

#include <QList>
#include <QString>

class QTextStream;

namespace miravon {

// One entry to check: where it is and what it plays.
struct CheckTarget {
    QString window;
    QString panel;
    QString caption;  // as the user reads it (converted from VNI)
    QString address;
    StreamOptions options;
};

namespace catalogue {
struct Catalogue;
}

// Every clickable entry of a catalogue with an address, in catalogue order.
QList<CheckTarget> catalogueTargets(const catalogue::Catalogue& catalogue);

// Probes every target's address (each distinct address once), at most
// `jobs` at a time, each within `boundMs`; writes one line per target, in
// the order given, "window<TAB>panel<TAB>caption<TAB>address<TAB>outcome",
// and a summary line. Runs its own event loop; needs a QCoreApplication.
// Returns 0 when every target works, 1 otherwise.
int checkTargets(const QList<CheckTarget>& targets, int jobs, int boundMs, QTextStream& out);

} // namespace miravon
