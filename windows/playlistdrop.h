#pragma once

#include <QStringList>

class QMimeData;
class QWidget;

namespace miravon {

class ImportRunner;

// Lets `window` take M3U playlists dropped on it (what isChannelListLink()
// calls a channel list, the same rule a drop on an entry follows): they are added to the lists in use
// by `runner` (off the user-interface thread, one import at a time), the
// new addresses apply at once, and the report shows in a small window of
// its own.
void acceptPlaylistDrops(QWidget& window, ImportRunner& runner);

// The playlists a drag carries; empty when it carries none.
QStringList droppedPlaylists(const QMimeData* mime);

// The report window of the last drop, if it is open (for tests).
QWidget* importReportWindow();

} // namespace miravon
