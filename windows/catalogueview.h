#pragma once

namespace miravon {

class ViewerWindow;

// Builds the panels of a viewer window (or the pages of the movie window)
// with their labels, logos, headings, page buttons and separator lines, from
// the catalogue data. Entries put their address into the window's own
// player when clicked; page buttons run their navigation steps.
void populateCatalogue(ViewerWindow& window);

} // namespace miravon
