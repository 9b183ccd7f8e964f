#include "localfile.h"
#include "sizelimits.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace miravon {
namespace {

QString why(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("is a folder, not a regular file");
    if (S_ISFIFO(mode))
        return QStringLiteral("is a FIFO, not a regular file");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("is a device, not a regular file");
    if (S_ISSOCK(mode))
        return QStringLiteral("is a socket, not a regular file");
    return QStringLiteral("is not a regular file");
}

} // namespace

ReadResult readRegularFile(const QString& path, qint64 maxBytes, QByteArray* out, QString* error, ReadExtent extent)
{
    out->clear();
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    // Looked at before it is opened: opening a device may do something.
    if (::stat(name.constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return ReadResult::Missing;
        *error = QStringLiteral("cannot be read (%1)").arg(why(errno));
        return ReadResult::Failed;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = kindOf(st.st_mode);
        return ReadResult::Failed;
    }
    // Non-blocking, in case it was swapped for a FIFO since.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT)
            return ReadResult::Missing;
        *error = QStringLiteral("cannot be read (%1)").arg(why(errno));
        return ReadResult::Failed;
    }
    auto fail = [&](const QString& text) {
        ::close(fd);
        out->clear();
        *error = text;
        return ReadResult::Failed;
    };
    const QString tooLarge = QStringLiteral("larger than %1; not read").arg(sizeText(maxBytes));
    if (::fstat(fd, &st) != 0)
        return fail(QStringLiteral("cannot be read (%1)").arg(why(errno)));
    if (!S_ISREG(st.st_mode))
        return fail(kindOf(st.st_mode));
    const bool whole = extent == ReadExtent::Whole;
    if (whole && st.st_size > maxBytes)
        return fail(tooLarge);
    // A whole read goes one byte past the limit, to see a file that grew.
    const qint64 limit = whole ? maxBytes + 1 : maxBytes;
    out->resize(qsizetype(std::min<qint64>(std::max<qint64>(st.st_size, 0) + 1, limit)));
    qint64 got = 0;
    while (got < limit) {
        if (got == out->size())
            out->resize(qsizetype(std::min<qint64>(std::max<qint64>(got * 2, 4096), limit)));
        const ssize_t n = ::read(fd, out->data() + got, size_t(out->size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(QStringLiteral("cannot be read (%1)").arg(why(errno)));
        if (n == 0)
            break;
        got += n;
    }
    ::close(fd);
    if (whole && got > maxBytes) {
        out->clear();
        *error = tooLarge;
        return ReadResult::Failed;
    }
    out->resize(qsizetype(got));
    return ReadResult::Ok;
}

} // namespace miravon
