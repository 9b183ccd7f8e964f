#pragma once

#include "fetcher.h"

#include <QString>
#include <QStringList>

namespace miravon::import {

// Bounds on a channel list fetched over http or https: the player's own
// for playlists (size), with a time bound on silence and on the whole fetch.
// A list on disk may be larger (maxPlaylistFileBytes).
inline constexpr FetchLimits listFetchLimits{maxPlaylistBytes, 20000, 60000};

struct ImportOptions {
    QStringList sources;  // files, file:// URLs, or http(s) URLs
    QString country;      // for streams that tell no country of their own
    bool dryRun = false;  // report only, write nothing
    QString configDir;    // where the files go; catalogue::configDir() when empty
};

struct ImportOutcome {
    // 0: done (even when nothing matched); 2: bad input, nothing written.
    int status = 0;
    // With status 2: one line naming the file or URL and what is wrong.
    QString error;
    QString report;   // as printed and saved beside the import file
    int written = 0;  // rows of the import file
};

// Reads every source (fetching http and https ones, within the bounds
// above; never anything the playlist points to), matches their streams to
// the catalogue's entries, and, unless a dry run, replaces
// addresses.import.tsv whole, keeping the previous one as
// addresses.import.tsv.bak, and saves the report as addresses.import.txt.
// Blocks until done; runs on any thread that has no other work (a local
// event loop serves the fetch). Needs a QCoreApplication.
ImportOutcome importPlaylists(const ImportOptions& options);

struct UndoOutcome {
    int status = 0; // 0: restored; 1: nothing to undo; 2: the files could not be changed
    QString message;
};

// Puts the import file (and its report) from before the last import back.
UndoOutcome undoImport(const QString& configDir = {});

} // namespace miravon::import
