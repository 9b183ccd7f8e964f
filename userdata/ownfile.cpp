#include "ownfile.h"

#include "userfiles.h"

#include <QList>

namespace miravon::userdata {
namespace {

// One line of a file as it stands: its text, and the line end that
// followed it ("\n", "\r\n", or nothing for an unfinished last line).
struct TextLine {
    QByteArray text;
    QByteArray end;
};

QList<TextLine> splitLines(const QByteArray& bytes)
{
    QList<TextLine> lines;
    qsizetype from = 0;
    while (from < bytes.size()) {
        const qsizetype nl = bytes.indexOf('\n', from);
        if (nl < 0) {
            lines.append({bytes.mid(from), {}});
            break;
        }
        const bool cr = nl > from && bytes.at(nl - 1) == '\r';
        lines.append({bytes.mid(from, nl - from - (cr ? 1 : 0)), cr ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n")});
        from = nl + 1;
    }
    return lines;
}

bool isNote(const QByteArray& text)
{
    const QByteArray t = text.trimmed();
    return t.isEmpty() || t.startsWith('#');
}

} // namespace

std::optional<QByteArray> editOwnFile(const QByteArray& current, const QString& window, const QString& control,
                                      const std::optional<OwnRow>& row, QString* error)
{
    const bool wantsHeaders = row && (!row->referrer.isEmpty() || !row->userAgent.isEmpty());
    auto rowText = [&](int columns) {
        QStringList f{window, control, row->address};
        if (columns >= 4)
            f << row->referrer;
        if (columns >= 5)
            f << row->userAgent;
        return f.join(u'\t').toUtf8();
    };
    if (current.isEmpty()) {
        if (!row)
            return QByteArray();
        return QByteArrayLiteral("window\tcontrol\taddress\treferrer\tuser_agent\n") + rowText(5) + '\n';
    }

    QList<TextLine> lines = splitLines(current);
    // The header: the first line, without a byte-order mark.
    QByteArray header = lines.first().text;
    const QByteArray bom = header.startsWith("\xEF\xBB\xBF") ? QByteArrayLiteral("\xEF\xBB\xBF") : QByteArray();
    header.remove(0, bom.size());
    const QList<QByteArray> names = header.split('\t');
    static const QList<QByteArray> known = {"window", "control", "address", "referrer", "user_agent"};
    const int columns = int(names.size());
    if (columns < 3 || columns > 5 || names != known.first(columns)) {
        if (error)
            *error = QStringLiteral("Dòng đầu của tệp không phải là dòng tiêu đề \"window<TAB>control<TAB>address\"; "
                                    "hãy sửa hoặc xóa tệp rồi thử lại.");
        return std::nullopt;
    }
    const QByteArray lineEnd = lines.first().end.isEmpty() ? QByteArrayLiteral("\n") : lines.first().end;

    // The entry's rows, by their first two fields.
    QList<qsizetype> ours;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (isNote(lines.at(i).text))
            continue;
        const QList<QByteArray> f = lines.at(i).text.split('\t');
        if (f.size() >= 2 && QString::fromUtf8(f.at(0)) == window && QString::fromUtf8(f.at(1)) == control)
            ours << i;
    }

    if (!row) {
        for (qsizetype k = ours.size() - 1; k >= 0; --k)
            lines.removeAt(ours.at(k));
    } else {
        int width = columns;
        if (wantsHeaders && columns < 5) {
            // The referrer and user agent need their columns: every row of
            // the old width gets them, empty, so that it still reads the same.
            const QByteArray pad(5 - columns, '\t');
            QByteArray grown = header;
            for (int c = columns; c < 5; ++c)
                grown += '\t' + known.at(c);
            lines.first().text = bom + grown;
            for (qsizetype i = 1; i < lines.size(); ++i)
                if (!isNote(lines.at(i).text) && lines.at(i).text.count('\t') + 1 == columns)
                    lines[i].text += pad;
            width = 5;
        }
        if (!ours.isEmpty()) {
            lines[ours.last()].text = rowText(width);
        } else {
            if (!lines.last().end.size())
                lines.last().end = lineEnd;
            lines.append({rowText(width), lineEnd});
        }
    }
    QByteArray out;
    for (const TextLine& l : std::as_const(lines))
        out += l.text + l.end;
    return out;
}

SaveOutcome saveOwnRow(const QString& dir, const QString& window, const QString& control,
                       const std::optional<OwnRow>& row, QString* error, int waitMs)
{
    QString why;
    bool busy = false;
    const auto lock = files::FolderLock::take(dir, waitMs, &busy, &why);
    if (!lock) {
        if (error)
            *error = busy ? QStringLiteral("Một lần nhập danh sách đang ghi vào thư mục cấu hình; hãy lưu lại khi nó xong.")
                          : QStringLiteral("Không mở được thư mục cấu hình: %1").arg(why);
        return busy ? SaveOutcome::Busy : SaveOutcome::Failed;
    }
    if (!files::recover(dir, &why)) {
        if (error)
            *error = QStringLiteral("Không ghi được vào thư mục cấu hình: %1").arg(why);
        return SaveOutcome::Failed;
    }
    QByteArray current;
    switch (files::readCommitted(dir, ownFileName(), maxAddressFileBytes, &current, &why)) {
    case ReadResult::Missing:
        current.clear();
        break;
    case ReadResult::Failed:
        if (error)
            *error = QStringLiteral("Không đọc được tệp địa chỉ của bạn: %1").arg(why);
        return SaveOutcome::Failed;
    case ReadResult::Ok:
        break;
    }
    const std::optional<QByteArray> edited = editOwnFile(current, window, control, row, error);
    if (!edited)
        return SaveOutcome::Failed;
    if (*edited == current)
        return SaveOutcome::Saved;
    files::Transaction change(dir);
    change.replace(ownFileName(), *edited);
    if (change.commit(&why) == files::Transaction::Outcome::Failed) {
        if (error)
            *error = QStringLiteral("Không ghi được tệp địa chỉ của bạn (%1); tệp vẫn như trước.").arg(why);
        return SaveOutcome::Failed;
    }
    return SaveOutcome::Saved;
}

} // namespace miravon::userdata
