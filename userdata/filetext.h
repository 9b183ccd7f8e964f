#pragma once

#include "userfiles.h"

#include <QList>
#include <QString>

// What went wrong with a file of the user's, said for a person (in
// Vietnamese, for the windows) and for the log (in English, for standard
// error), in one place for every file the program reads and writes.
namespace miravon::userdata {

// What keeps the file at `path` from being read as a file, said for a
// person: a folder, a FIFO, a device or a socket named as such, a file
// larger than `maxBytes` (none when negative), one that cannot be read; a
// missing file too when `mustExist`. Empty when nothing is wrong that can
// be seen without reading it.
QString readProblemText(const QString& path, qint64 maxBytes, bool mustExist);

// How a change of a file went, for a person: `what` names the file as
// they know it ("tệp địa chỉ của bạn"), `maxBytes` is the limit it is
// read up to. Empty when it was written or needed no change.
QString editResultText(const files::EditResult& result, const QString& what, qint64 maxBytes);

// A line of a file read row by row that could not be read: the other rows
// are kept, this one is left out and named.
struct BadLine {
    enum class Why { NotUtf8, NotARow };
    int line = 0; // from 1
    Why why = Why::NotARow;
};
// "PATH: line 3 is not UTF-8, line 6 is not a row of this file; left out".
QString badLinesLog(const QString& path, const QList<BadLine>& bad);
// The same for a person, `what` naming the file ("Danh sách kênh yêu
// thích"), with where the damaged original is kept (NAME.damaged beside
// it) when the file is next written.
QString badLinesText(const QString& what, const QString& fileName, const QList<BadLine>& bad);

} // namespace miravon::userdata
