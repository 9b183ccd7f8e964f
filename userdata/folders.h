#pragma once

#include <QString>

// The program's three folders, after the XDG base directories: each is
// "miravon" inside $XDG_CONFIG_HOME, $XDG_DATA_HOME or $XDG_CACHE_HOME, or
// inside ~/.config, ~/.local/share or ~/.cache when the variable is unset or
// not an absolute path.
namespace miravon::userdata {

// The address files and settings.ini.
QString configDir();
// What the user keeps: the recent and favourite lists.
QString dataDir();
// What can be fetched or worked out again: copies of lists, played streams.
QString cacheDir();

} // namespace miravon::userdata
