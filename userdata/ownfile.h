#pragma once

#include "addressfiles.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The user's own address file (addresses.tsv) changed from the windows: one
// entry's row set or taken out, every other byte of the file kept.
namespace miravon::userdata {

// A row of the user's own file, for one entry.
struct OwnRow {
    QString address;
    QString referrer;
    QString userAgent;
};

// The file `current` (empty: there is none) with the row of `window`/
// `control` set to `row`: in place of the entry's row where the file names
// it (its last row, the one that counts), else added at the end with the
// file's own line ends; a new file gets a header first. Without `row`,
// every row of the entry is taken out. Comments, blank lines, the other
// rows and their order stay byte for byte, and so does the file's end (a
// last line without a line end stays without one), so that a row added and
// taken out again leaves the file as it was; a file that then holds only
// the header a new file gets is no file (empty), and saveOwnRow() removes it
// (but a file a symbolic link leads to keeps that header). Only when the row needs a
// referrer or a user agent and the header has no such columns are those
// columns added to the header and, empty, to the rows. Null, with `error`,
// when the file's first line is not a header this program reads (the file
// is then left to its owner).
std::optional<QByteArray> editOwnFile(const QByteArray& current, const QString& window, const QString& control,
                                      const std::optional<OwnRow>& row, QString* error);

// Reads the user's file in `dir`, edits it as above and writes it back, as
// every single file is changed (files::editFile(): through a symbolic link,
// under the lock of the folder it is in, never over a file that could not
// be read or was made read-only, never past maxAddressFileBytes), waiting
// at most `waitMs` for the lock (by default the calling thread's bound,
// files::lockWait()). `error` says, in Vietnamese, what stopped it; the
// file is then as it was.
enum class SaveOutcome { Saved, Busy, TooLarge, Failed };
SaveOutcome saveOwnRow(const QString& dir, const QString& window, const QString& control,
                       const std::optional<OwnRow>& row, QString* error, int waitMs = -1);

} // namespace miravon::userdata
