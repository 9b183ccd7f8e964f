#include "settings.h"

#include "userfiles.h"

#include <QStringList>

namespace miravon {
namespace {

constexpr qint64 maxSettingsBytes = 256 * 1024;

QMap<QString, QString> parse(const QByteArray& bytes, QStringList* order)
{
    QMap<QString, QString> values;
    for (const QByteArray& raw : bytes.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (order)
            *order << line;
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0)
            values.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return values;
}

QString oneLine(QString s)
{
    s.replace(u'\n', u' ');
    s.remove(u'\r');
    return s.trimmed();
}

} // namespace

Settings Settings::load(const QString& dir)
{
    Settings s;
    QByteArray bytes;
    QString error;
    if (files::readCommitted(dir, fileName(), maxSettingsBytes, &bytes, &error) == ReadResult::Ok)
        s.values_ = parse(bytes, nullptr);
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

bool Settings::save(const QString& dir, QString* error) const
{
    bool busy = false;
    const auto lock = files::FolderLock::take(dir, 5000, &busy, error);
    if (!lock) {
        if (busy)
            *error = QStringLiteral("%1: busy; the settings could not be saved").arg(dir);
        return false;
    }
    if (!files::recover(dir, error))
        return false;
    // The file as it is now, with this object's changes put in: lines of
    // other keys and comments stay where they are.
    QByteArray bytes;
    QString readError;
    files::readCommitted(dir, fileName(), maxSettingsBytes, &bytes, &readError);
    QStringList lines;
    parse(bytes, &lines);
    QMap<QString, bool> pending = changed_;
    QStringList out;
    for (const QString& line : std::as_const(lines)) {
        const qsizetype eq = line.indexOf(u'=');
        const QString key = eq > 0 && !line.startsWith(u'#') ? line.left(eq).trimmed() : QString();
        if (!key.isEmpty() && pending.contains(key)) {
            if (pending.value(key))
                out << key + u'=' + values_.value(key);
            pending.remove(key);
            continue;
        }
        out << line;
    }
    while (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    for (auto it = pending.cbegin(); it != pending.cend(); ++it)
        if (it.value())
            out << it.key() + u'=' + values_.value(it.key());
    files::Transaction change(dir);
    change.replace(fileName(), (out.join(u'\n') + u'\n').toUtf8());
    return change.commit(error) != files::Transaction::Outcome::Failed;
}

} // namespace miravon
