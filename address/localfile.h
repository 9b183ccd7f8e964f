#pragma once

#include <QByteArray>
#include <QString>

namespace miravon {

enum class ReadResult {
    Ok,
    Missing, // there is no such file: not an error
    Failed,  // `error` says why
};

// Reads a regular file of this computer without ever blocking on it: a FIFO,
// a device or a socket is refused without being opened for reading (a FIFO
// with no writer never hangs the caller, /dev/zero never fills memory).
// Whole: a file larger than `maxBytes` is refused, even one that grows past
// the limit while it is read (its size is not trusted). Head: at most the
// first `maxBytes` bytes are read. On Failed, `error` is a short English
// phrase ("is a FIFO, not a regular file", "larger than 64 MiB; not read").
enum class ReadExtent { Whole, Head };
ReadResult readRegularFile(const QString& path, qint64 maxBytes, QByteArray* out, QString* error,
                           ReadExtent extent = ReadExtent::Whole);

} // namespace miravon
