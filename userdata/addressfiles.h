#pragma once

#include "folders.h"
#include "origin.h"

#include <QByteArray>
#include <QString>

// The address files of the config folder (folders.h): their names, the
// largest one a reader takes, and the rule every row of them is read by.
namespace miravon::userdata {

// The user's own addresses: addresses.tsv.
QString ownFileName();
// What an import wrote: addresses.import.tsv, each entry's first stream.
QString importFileName();
// Every stream an import matched, as rows under streamsHeader(); readers
// of the import file alone ignore it.
QString importStreamsFileName();
QString streamsHeader();
// Every channel of the lists an import read, whole (catalogue/listchannels.h).
QString listChannelsFileName();
// Their paths in configDir().
QString overridePath();
QString importPath();
// Address files larger than this are not read.
inline constexpr qint64 maxAddressFileBytes = 16 * 1024 * 1024;

// The grammar every address file is written in: a header naming its
// columns, window, control, address and optionally referrer and
// user_agent, in that order; then one row per line, its fields separated by
// tabs, as many as the header names. A byte-order mark before the header is
// ignored, a line may end in CR LF, and blank lines and notes (a line whose
// first non-blank character is '#') are the writer's own: skipped, and kept
// as they are when a file is edited.
inline constexpr int minAddressColumns = 3;
inline constexpr int maxAddressColumns = 5;
// The header naming the first `columns` columns, with its line break.
QByteArray addressHeader(int columns = maxAddressColumns);
// How many columns `line` names when it is a header (3 to 5), else 0.
int headerColumns(QStringView line);
bool isNoteLine(QStringView line);
// The length of the UTF-8 byte-order mark `bytes` begin with: 3 or 0.
qsizetype bomLength(QByteArrayView bytes);

// What is wrong with the address and headers of a row of an address file
// that `origin` gives, by the rules every address file is read with.
enum class RowProblem {
    None,
    NotAnAddress,        // not an absolute URL isAcceptedAddress() takes, nor a file
    LocalFileNotAllowed, // a file of this computer, from a file other than the user's own
    TooLong,             // longer than maxAddressChars
    ControlCharacter,    // a tab, a line break or another control character
};
RowProblem rowProblem(const QString& address, const QString& referrer, const QString& userAgent,
                      AddressOrigin origin);
// The same, said in Vietnamese for the windows; empty for None.
QString rowProblemText(RowProblem problem);


} // namespace miravon::userdata
