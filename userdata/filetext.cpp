#include "filetext.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringList>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace miravon::userdata {
namespace {

QString sizeText(qint64 bytes) { return QLocale::c().formattedDataSize(bytes, 0, QLocale::DataSizeIecFormat); }

QString lineNumbers(const QList<BadLine>& bad)
{
    QStringList n;
    for (const BadLine& b : bad)
        n << QString::number(b.line);
    return n.join(QStringLiteral(", "));
}

} // namespace

QString readProblemText(const QString& path, qint64 maxBytes, bool mustExist)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::stat(name.constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return mustExist ? QStringLiteral("Không có tệp %1 trên máy này.").arg(path) : QString();
        if (errno == EACCES)
            return QStringLiteral("Không có quyền tới tệp %1.").arg(path);
        return QStringLiteral("Không đọc được tệp %1 (%2).").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    }
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("%1 là một thư mục, không phải một tệp.").arg(path);
    if (S_ISFIFO(st.st_mode))
        return QStringLiteral("%1 là một ống dẫn có tên (FIFO), không phải một tệp thường.").arg(path);
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return QStringLiteral("%1 là một thiết bị, không phải một tệp thường.").arg(path);
    if (S_ISSOCK(st.st_mode))
        return QStringLiteral("%1 là một ổ cắm (socket), không phải một tệp thường.").arg(path);
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("%1 không phải một tệp thường.").arg(path);
    if (maxBytes >= 0 && st.st_size > maxBytes)
        return QStringLiteral("Tệp %1 lớn hơn %2, cỡ lớn nhất chương trình đọc.").arg(path, sizeText(maxBytes));
    if (::access(name.constData(), R_OK) != 0)
        return QStringLiteral("Không có quyền đọc tệp %1.").arg(path);
    return {};
}

QString editResultText(const files::EditResult& result, const QString& what, qint64 maxBytes)
{
    using Outcome = files::EditResult::Outcome;
    switch (result.outcome) {
    case Outcome::Written:
    case Outcome::Unchanged:
        return {};
    case Outcome::Busy:
        return QStringLiteral("Chưa ghi được %1: một thay đổi khác đang được ghi vào thư mục của nó (có thể là "
                              "một lần nhập danh sách). Hãy thử lại khi nó xong.")
            .arg(what);
    case Outcome::Unreadable: {
        QString why = readProblemText(result.path, maxBytes, true);
        if (why.isEmpty())
            why = QStringLiteral("Không đọc được tệp %1.").arg(result.path);
        return QStringLiteral("%1 Vì vậy %2 không được ghi đè; chưa ghi gì.").arg(why, what);
    }
    case Outcome::ReadOnly:
        return QStringLiteral("Không ghi %1: tệp %2 chỉ cho đọc (quyền ghi đã được bỏ), nên được để nguyên. "
                              "Muốn lưu thì hãy cho phép ghi tệp ấy.")
            .arg(what, result.path);
    case Outcome::TooLarge:
        return QStringLiteral("Không lưu: %1 (%2) sẽ lớn hơn %3, cỡ lớn nhất chương trình đọc, và khi ấy sẽ "
                              "không được đọc nữa. Tệp vẫn như trước.")
            .arg(what, result.path, sizeText(maxBytes));
    case Outcome::Refused:
        return result.error;
    case Outcome::Failed:
        break;
    }
    return QStringLiteral("Không ghi được %1 (%2); tệp vẫn như trước.").arg(what, result.error);
}

QString badLinesLog(const QString& path, const QList<BadLine>& bad)
{
    QStringList parts;
    for (const BadLine& b : bad)
        parts << (b.why == BadLine::Why::NotUtf8 ? QStringLiteral("line %1 is not UTF-8")
                                                 : QStringLiteral("line %1 is not a row of this file"))
                     .arg(b.line);
    return QStringLiteral("%1: %2; left out, the other rows are read (the file is kept as %3.damaged when it is "
                          "next written)")
        .arg(path, parts.join(QStringLiteral(", ")), QFileInfo(path).fileName());
}

QString badLinesText(const QString& what, const QString& fileName, const QList<BadLine>& bad)
{
    return QStringLiteral("%1 có %2 dòng hỏng (dòng %3): các dòng ấy bị bỏ qua, các dòng khác vẫn được dùng. "
                          "Lần ghi tới, tệp cũ được giữ lại ở %4.damaged.")
        .arg(what)
        .arg(bad.size())
        .arg(lineNumbers(bad), fileName);
}

} // namespace miravon::userdata
