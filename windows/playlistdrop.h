#pragma once

#include <QStringList>

class QMimeData;
class QWidget;

namespace miravon {

// Lets `window` take M3U playlists dropped on it (.m3u and .m3u8 files, or
// http/https addresses of such files): the import runs off the user-interface
// thread, its addresses apply at once (catalogue::reloadAddresses()), and
// its report shows in a small window of its own. One import at a time.
void acceptPlaylistDrops(QWidget& window);

// The playlists a drag carries; empty when it carries none.
QStringList droppedPlaylists(const QMimeData* mime);

// The report window of the last drop, if it is open (for tests).
QWidget* importReportWindow();

} // namespace miravon
