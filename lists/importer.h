#pragma once

#include "failure.h"
#include "fetcher.h"
#include "listchannels.h"

#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

namespace miravon::import {

// Bounds on a channel list fetched over http or https: the player's own
// for playlists (size), with a time bound on silence and on the whole fetch.
// A list on disk may be larger (maxPlaylistFileBytes).
inline constexpr FetchLimits listFetchLimits{maxPlaylistBytes, noProgressBoundMs, 60000};

// The public per-country channel lists, "{code}" standing for a country's
// code in the index (lower case; the United Kingdom is "uk").
QString defaultSourceTemplate();
// The index's codes of every country and territory (ISO 3166-1, and Kosovo
// as "xk"), from catalogue/countrynames.tsv, each once, sorted.
QStringList listCodes();
// The template's address for one code; empty when the template is no
// http(s) address with "{code}" in it.
QString listAddress(const QString& sourceTemplate, const QString& code);

// Where the last good copy of a list read over the network is kept in
// `cacheDir`: adding a file to the sources reads the others again from it,
// and the guides a list names are read from its first line.
QString listCachePath(const QString& cacheDir, const QString& address);

// One source of the import layer: what the user named (or the public
// lists), when it was last read and what it gave.
struct SourceRecord {
    enum class Kind { Public, File, Address };
    Kind kind = Kind::File;
    QString location;  // the file's path or the list's address
    QDateTime read;    // when it was last read (UTC)
    int streams = 0;   // streams it held
    int entries = 0;   // entries whose first stream came from it
    QString error;     // why it was skipped, when it was
};
// The sources of the current import layer, as its last change recorded
// them (empty before the first import).
QList<SourceRecord> sourcesInUse(const QString& configDir = {});

struct ImportOptions {
    QStringList sources;  // files, file:// URLs, or http(s) URLs
    QString country;      // for streams that tell no country of their own
    bool dryRun = false;  // report only, write nothing
    QString configDir;    // where the files go; userdata::configDir() when empty
    // Add these sources to the ones in use (a playlist dropped on a window,
    // the sources window); without, they replace them (the command line).
    // The other sources are read again: files from disk, lists from the
    // network from their last copy in the cache folder.
    bool addToSources = false;
    QString cacheDir;     // cacheDir() when empty
    // The channels' file is never larger: channels past it are left out
    // and the report says how many.
    qint64 channelsFileLimit = catalogue::maxListChannelsFileBytes;
};

struct ImportOutcome {
    // Also the import command's exit status.
    enum Status {
        Done = 0,   // even when nothing matched
        Failed = 2, // bad input, or nothing could be written (nothing was changed then)
    };
    int status = Done;
    // With status 2: one line naming the file or URL and what is wrong, in
    // English for the terminal; `message` says the same in Vietnamese for
    // the windows.
    QString error;
    QString message;
    QString report;   // as printed and saved beside the import file
    int written = 0;  // entries of the import file
    int channels = 0; // channels of the channels' file
    int listsRead = 0;
    QStringList skipped; // "source: why", lists that could not be read or held no usable stream
    bool cancelled = false;
    // With status 2, why nothing was changed, for the windows to say in
    // their own words: the input, no list read (each list's reason in
    // fetchFailures), too few entries to replace the layer in use, the
    // files, or a cancel.
    enum class Stop { None, BadInput, NothingRead, TooFew, Files, Cancelled };
    Stop stop = Stop::None;
    QList<PlayFailure> fetchFailures;
};

// Reads every source (fetching http and https ones, within the bounds
// above; never anything the playlist points to), matches their streams to
// the catalogue's entries, gathers them into whole channels, and, unless a
// dry run, replaces the import layer whole, keeping the previous one as
// .bak: addresses.import.tsv (each entry's first stream),
// addresses.import.streams.tsv (all its streams, in order, with their lists
// and names), addresses.import.channels.tsv (every channel of the lists,
// listchannels.h), the report addresses.import.txt and the sources
// addresses.import.sources.tsv. A source that cannot be read is bad input
// (status 2, nothing changed); one that holds no usable stream is named in
// the report and skipped, unless no source has one (status 2). Nothing is
// changed either when the streams kept, after matching and after every
// stream skipped, give no entry an address and make no channel. Blocks
// until done; runs on any thread that has no other work (a local event loop
// serves the fetch). Needs a QCoreApplication.
ImportOutcome importPlaylists(const ImportOptions& options);

// How long an update waits for its lists, all together.
inline constexpr int updateTimeLimitMs = 3 * 60 * 1000;

struct UpdateOptions {
    QString sourceTemplate; // empty: the setting, else the default
    bool dryRun = false;
    QString configDir;      // userdata::configDir() when empty
    QString cacheDir;       // cacheDir() when empty
    int parallel = 6;       // lists fetched at once
    FetchLimits limits = listFetchLimits; // for each list
    // The whole update's bound, its lists fetched within it (0: none): a
    // list still coming then is skipped, named with what it waited for.
    int totalMs = updateTimeLimitMs;
    // Told on the worker thread as each list is done: lists done, in all.
    std::function<void(int done, int total)> progress;
    // Set from another thread to stop: nothing is changed then.
    const std::atomic_bool* cancel = nullptr;
};

// Fetches the public list of every country (listCodes(): one request per
// code) and the lists the user added by address, at most `parallel` at
// once and all within `totalMs`, reads the user's files in use again,
// and replaces the import layer with what they give together, as
// importPlaylists() does. A list that fails or holds no stream is named in
// the report and skipped. Nothing is changed when no list could be read
// (status 2), when cancelled, when what is kept gives nothing, or when the
// new layer would give fewer than half the entries of the one it replaces
// (the report says so; status 2). A cancel is heeded at every step up to
// the commit's rename; nothing is written by a dry run, nor by a cancelled
// or failed update (the lists' copies in the cache folder included).
ImportOutcome updateChannels(const UpdateOptions& options);

struct UndoOutcome {
    // Also the undo command's exit status.
    enum Status {
        Restored = 0,
        NothingToUndo = 1,
        Failed = 2, // the files could not be changed
    };
    int status = Restored;
    QString message;
};

// Puts the import layer (addresses, other streams, channels, report,
// sources) from before the last import back.
UndoOutcome undoImport(const QString& configDir = {});
// Whether there is an import to undo (its addresses from before are kept).
bool canUndoImport(const QString& configDir = {});
// The last import's report, as saved beside its files; empty when none.
QString lastImportReport(const QString& configDir = {});

} // namespace miravon::import

Q_DECLARE_METATYPE(miravon::import::ImportOutcome)
Q_DECLARE_METATYPE(miravon::import::UndoOutcome)
