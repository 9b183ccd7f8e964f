#include "ownfile.h"

#include "filetext.h"
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

// The header of a file this program makes.
const QByteArray newFileHeader = "window\tcontrol\taddress\treferrer\tuser_agent\n";

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
        return newFileHeader + rowText(5) + '\n';
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
        // The file's end is the file's: when its last line goes, the line
        // that is now last ends as that one did (a file without a final
        // line end, given a row and then rid of it, is as it was).
        const QByteArray lastEnd = lines.last().end;
        const bool lastGoes = !ours.isEmpty() && ours.last() == lines.size() - 1;
        for (qsizetype k = ours.size() - 1; k >= 0; --k)
            lines.removeAt(ours.at(k));
        if (lastGoes)
            lines.last().end = lastEnd;
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
            // After the last line, which ends as the file did: a file
            // without a final line end stays without one.
            const QByteArray lastEnd = lines.last().end;
            if (lastEnd.isEmpty())
                lines.last().end = lineEnd;
            lines.append({rowText(width), lastEnd});
        }
    }
    QByteArray out;
    for (const TextLine& l : std::as_const(lines))
        out += l.text + l.end;
    // Only the header a new file gets is left: the file this program made
    // goes again.
    if (!row && out == newFileHeader)
        return QByteArray();
    return out;
}

SaveOutcome saveOwnRow(const QString& dir, const QString& window, const QString& control,
                       const std::optional<OwnRow>& row, QString* error, int waitMs)
{
    const files::EditResult result = files::editFile(
        dir, ownFileName(), maxAddressFileBytes, waitMs < 0 ? files::lockWait() : waitMs,
        [&](ReadResult, const QByteArray& current) {
            files::Edit e;
            const std::optional<QByteArray> edited = editOwnFile(current, window, control, row, &e.refusal);
            if (!edited)
                e.action = files::Edit::Action::Refuse;
            else if (*edited == current)
                e.action = files::Edit::Action::Leave;
            else if (edited->isEmpty())
                e = {files::Edit::Action::Remove, newFileHeader, false, {}};
            else
                e = {files::Edit::Action::Write, *edited, false, {}};
            return e;
        });
    if (result.ok())
        return SaveOutcome::Saved;
    if (error)
        *error = editResultText(result, QStringLiteral("tệp địa chỉ của bạn"), maxAddressFileBytes);
    switch (result.outcome) {
    case files::EditResult::Outcome::Busy:
        return SaveOutcome::Busy;
    case files::EditResult::Outcome::TooLarge:
        return SaveOutcome::TooLarge;
    default:
        return SaveOutcome::Failed;
    }
}

} // namespace miravon::userdata
