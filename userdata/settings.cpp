#include "settings.h"

#include "filetext.h"
#include "userfiles.h"

#include <QList>
#include <QStringDecoder>
#include <QStringList>

namespace miravon {
namespace {

constexpr qint64 maxSettingsBytes = 256 * 1024;

// One line of the file as it stands.
struct Line {
    QByteArray raw; // without its '\n'
    QString key;    // empty for a note, a blank line or a bad line
    QString value;
    bool bad = false;
};

QList<Line> parse(const QByteArray& bytes, QList<userdata::BadLine>* bad)
{
    QList<Line> lines;
    QList<QByteArray> raw = bytes.split('\n');
    if (!raw.isEmpty() && raw.last().isEmpty())
        raw.removeLast(); // after the final line end
    for (qsizetype i = 0; i < raw.size(); ++i) {
        Line l{raw.at(i), {}, {}, false};
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = QString(utf8.decode(raw.at(i))).trimmed();
        const qsizetype eq = text.indexOf(u'=');
        if (utf8.hasError()) {
            l.bad = true;
            bad->append({int(i + 1), userdata::BadLine::Why::NotUtf8});
        } else if (text.isEmpty() || text.startsWith(u'#') || text.startsWith(u';') || text.startsWith(u'[')) {
            // a note
        } else if (eq <= 0 || text.left(eq).trimmed().isEmpty()) {
            l.bad = true;
            bad->append({int(i + 1), userdata::BadLine::Why::NotARow});
        } else {
            l.key = text.left(eq).trimmed();
            l.value = text.mid(eq + 1).trimmed();
        }
        lines.append(l);
    }
    return lines;
}

QString oneLine(QString s)
{
    s.replace(u'\n', u' ');
    s.remove(u'\r');
    return s.trimmed();
}

const QString what = QStringLiteral("Tệp thiết lập");

} // namespace

Settings Settings::load(const QString& dir)
{
    Settings s;
    QByteArray bytes;
    QString error;
    const QString path = dir + u'/' + fileName();
    switch (files::readCommitted(dir, fileName(), maxSettingsBytes, &bytes, &error)) {
    case ReadResult::Missing:
        return s;
    case ReadResult::Failed: {
        s.state_ = State::Unreadable;
        s.problem_ = QStringLiteral("%1: %2; the settings in it are not used, and it is not written over")
                         .arg(path, error);
        QString why = userdata::readProblemText(path, maxSettingsBytes, true);
        if (why.isEmpty())
            why = QStringLiteral("Không đọc được tệp %1.").arg(path);
        s.problemText_ = QStringLiteral("%1 Các thiết lập trong tệp ấy (nguồn kênh, lựa chọn tải danh sách, giải mã "
                                        "bằng phần cứng) chưa được dùng, và tệp không bị ghi đè.")
                             .arg(why);
        return s;
    }
    case ReadResult::Ok:
        break;
    }
    s.state_ = State::Read;
    QList<userdata::BadLine> bad;
    for (const Line& l : parse(bytes, &bad))
        if (!l.key.isEmpty())
            s.values_.insert(l.key, l.value);
    if (!bad.isEmpty()) {
        s.problem_ = userdata::badLinesLog(path, bad);
        s.problemText_ = userdata::badLinesText(QStringLiteral("%1 %2").arg(what, path), fileName(), bad);
    }
    return s;
}

QString Settings::value(const QString& key, const QString& fallback) const { return values_.value(key, fallback); }

void Settings::set(const QString& key, const QString& value)
{
    values_.insert(key, oneLine(value));
    changed_.insert(key, true);
}

void Settings::remove(const QString& key)
{
    values_.remove(key);
    changed_.insert(key, false);
}

bool Settings::save(const QString& dir, QString* error, int waitMs) const
{
    if (state_ == State::Unreadable) {
        *error = QStringLiteral("%1/%2: could not be read when it was loaded; it is not written over")
                     .arg(dir, fileName());
        return false;
    }
    const files::EditResult result = files::editFile(
        dir, fileName(), maxSettingsBytes, waitMs < 0 ? files::lockWait() : waitMs,
        [this](ReadResult, const QByteArray& current) {
            // The file as it is now, with this object's changes put in: the
            // other lines stay where they are, byte for byte; a changed key
            // is written where it first stood, and its later lines go.
            QList<userdata::BadLine> bad;
            const QList<Line> lines = parse(current, &bad);
            QMap<QString, bool> pending = changed_;
            QByteArray out;
            for (const Line& l : lines) {
                if (l.bad)
                    continue;
                if (!l.key.isEmpty() && changed_.contains(l.key)) {
                    if (pending.contains(l.key) && pending.value(l.key))
                        out += (l.key + u'=' + values_.value(l.key)).toUtf8() + '\n';
                    pending.remove(l.key);
                    continue;
                }
                out += l.raw + '\n';
            }
            for (auto it = pending.cbegin(); it != pending.cend(); ++it)
                if (it.value())
                    out += (it.key() + u'=' + values_.value(it.key())).toUtf8() + '\n';
            return files::Edit{files::Edit::Action::Write, out, !bad.isEmpty(), {}};
        });
    if (!result.ok())
        *error = result.error;
    return result.ok();
}

void saveInBackground(const Settings& settings, const QString& dir, QObject* context,
                      std::function<void(bool saved, const QString& error)> done)
{
    using Result = std::pair<bool, QString>;
    files::inBackground<Result>(
        context,
        [settings, dir] {
            QString error;
            const bool saved = settings.save(dir, &error, files::backgroundWaitMs);
            return Result{saved, error};
        },
        [done = std::move(done)](const Result& r) {
            if (done)
                done(r.first, r.second);
        });
}

bool channelUpdateDue(const Settings& settings, const QDateTime& now, Settings* correction)
{
    const QDateTime last = QDateTime::fromString(settings.value(setting::channelsUpdated), Qt::ISODate);
    if (!last.isValid())
        return true;
    if (last > now) {
        *correction = settings;
        correction->set(setting::channelsUpdated, now.toUTC().toString(Qt::ISODate));
        return false;
    }
    return last.daysTo(now) >= 7;
}

} // namespace miravon
