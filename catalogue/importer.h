#pragma once

#include <QString>
#include <QStringList>

namespace miravon::import {

// Bounds on a playlist fetched over http or https: the same as the player's
// own playlists (size), with a time bound on silence and on the whole fetch.
inline constexpr qint64 maxFetchBytes = 1024 * 1024;
inline constexpr int fetchNoProgressMs = 20000;
inline constexpr int fetchTotalMs = 60000;
inline constexpr int maxFetchRedirects = 5;
// A playlist file on disk may be larger: a provider's whole list.
inline constexpr qint64 maxFileBytes = 64 * 1024 * 1024;

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
