#pragma once

#include "streamaddress.h"

#include <QList>
#include <QString>

class QTextStream;

namespace miravon {

// One entry to check: where it is and what it plays: the streams the player
// tries for it, in the order it tries them (catalogue::Label::streams()).
struct CheckTarget {
    QString window;
    QString panel;
    QString caption;  // as the user reads it (converted from VNI)
    QList<StreamAddress> streams; // never empty
};

namespace catalogue {
struct Catalogue;
}

// Every clickable entry of a catalogue with an address, in catalogue order.
QList<CheckTarget> catalogueTargets(const catalogue::Catalogue& catalogue);

// Probes every target's streams as the player tries them: the next only
// when the one before failed, each distinct stream (address and headers)
// once, at most `jobs` at a time, each within `boundMs`. A target works when
// one of its streams does; else its outcome is the most informative reason
// its streams gave, as the player tells it. Writes one line per target, in
// the order given, "window<TAB>panel<TAB>caption<TAB>address<TAB>outcome"
// (the address that worked, else the first), and a summary line. Runs its own event loop; needs a QCoreApplication.
// Returns 0 when every target works, 1 otherwise.
int checkTargets(const QList<CheckTarget>& targets, int jobs, int boundMs, QTextStream& out);

} // namespace miravon
