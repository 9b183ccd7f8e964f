#pragma once

#include <QString>

namespace miravon {

namespace catalogue {
struct Label;
}
class ViewerWindow;

// What an entry's tooltip says: its channel, where its address comes from
// (none yet; the list and stream name of an import, with how many other
// streams it has; the user's own file), how it went in this run, and what
// is on its channel now and next (`onAir`, ProgramGuide::nowNextText()).
QString entryToolTip(const catalogue::Label& label, const QString& lastRun, const QString& onAir = {});
// The same, short, for screen readers after the entry's name: where its
// address comes from in a few words, and how it went in this run.
QString entryDescription(const catalogue::Label& label, const QString& lastRun);
// Why an entry or film with no address in any layer plays nothing, and what
// to do about it.
QString withoutAddressText(const catalogue::Label& label);

// Builds the panels of a viewer window (or the pages of the movie window)
// with their labels, logos, headings, page buttons and separator lines, from
// the catalogue data. Entries put their address into the window's own
// player when clicked; page buttons run their navigation steps.
void populateCatalogue(ViewerWindow& window);

} // namespace miravon
