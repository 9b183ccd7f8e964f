#include "kept.h"

#include "folders.h"
#include "userfiles.h"

#include <QDir>
#include <QStringDecoder>

namespace miravon {
namespace {

const QByteArray header = "window\tcontrol\n";
constexpr qint64 maxKeptBytes = 256 * 1024;

// The rows of a kept file; false when it is damaged (not what this program
// writes).
bool parse(const QByteArray& bytes, QList<KeptEntries::Key>* out)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    if (utf8.hasError() || !bytes.startsWith(header))
        return false;
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines.at(i).isEmpty())
            continue;
        const QStringList f = lines.at(i).split(u'\t');
        if (f.size() != 2 || f.at(0).isEmpty() || f.at(1).isEmpty())
            return false;
        const KeptEntries::Key key{f.at(0), f.at(1)};
        if (!out->contains(key))
            out->append(key);
    }
    return true;
}

// Writes one small file of the program's own as a transaction. A short
// wait only: this is the user-interface thread, and another run of the
// program writes these files in a moment. `busy` when the wait ran out.
bool replaceSmallFile(const QString& dir, const QString& name, const QByteArray& bytes, bool* busy, QString* error)
{
    *busy = false;
    const auto lock = files::FolderLock::take(dir, 200, busy, error);
    if (!lock || !files::recover(dir, error))
        return false;
    files::Transaction change(dir);
    change.replace(name, bytes);
    return change.commit(error) != files::Transaction::Outcome::Failed;
}

} // namespace

KeptEntries::KeptEntries(QString dataDir)
    : dir_(dataDir.isEmpty() ? userdata::dataDir() : std::move(dataDir))
{
}

void KeptEntries::load(const std::function<bool(const Key&)>& exists,
                       const Report& report)
{
    for (const auto& [name, list] : {std::pair{recentFile(), &recent_}, std::pair{favouritesFile(), &favourites_}}) {
        list->clear();
        QByteArray bytes;
        QString error;
        const ReadResult read = files::readCommitted(dir_, name, maxKeptBytes, &bytes, &error);
        QList<Key> keys;
        if (read == ReadResult::Failed || (read == ReadResult::Ok && !parse(bytes, &keys))) {
            report(name, QStringLiteral("%1/%2: %3; it is started anew")
                       .arg(dir_, name, error.isEmpty() ? QStringLiteral("damaged") : error));
            keys.clear();
        }
        for (const Key& k : std::as_const(keys))
            if (exists(k))
                list->append(k);
    }
    if (recent_.size() > recentCount)
        recent_.resize(recentCount);
}

bool KeptEntries::played(const Key& key)
{
    recent_.removeAll(key);
    recent_.prepend(key);
    if (recent_.size() > recentCount)
        recent_.resize(recentCount);
    return save(recentFile(), recent_);
}

bool KeptEntries::setFavourite(const Key& key, bool favourite)
{
    if (favourite == isFavourite(key))
        return true;
    if (favourite)
        favourites_.append(key);
    else
        favourites_.removeAll(key);
    return save(favouritesFile(), favourites_);
}

bool KeptEntries::save(const QString& name, const QList<Key>& keys)
{
    QByteArray bytes = header;
    for (const Key& k : keys)
        bytes += (k.window + u'\t' + k.control + u'\n').toUtf8();
    error_.clear();
    bool busy = false;
    if (replaceSmallFile(dir_, name, bytes, &busy, &error_))
        return true;
    if (busy)
        error_ = QStringLiteral("%1: busy; %2 is written at the next change").arg(dir_, name);
    return false;
}

PlayedStreams::PlayedStreams(QString cacheDir)
    : dir_(cacheDir.isEmpty() ? userdata::cacheDir() : std::move(cacheDir))
{
    QByteArray bytes;
    QString error;
    if (files::readCommitted(dir_, fileName(), maxKeptBytes * 8, &bytes, &error) != ReadResult::Ok)
        return;
    for (const QByteArray& line : bytes.split('\n')) {
        const QStringList f = QString::fromUtf8(line).split(u'\t');
        if (f.size() == 3 && !f.at(2).isEmpty())
            last_.insert(f.at(0) + u'/' + f.at(1), f.at(2));
    }
}

QString PlayedStreams::lastFor(const QString& window, const QString& control) const
{
    return last_.value(window + u'/' + control);
}

bool PlayedStreams::played(const QString& window, const QString& control, const QString& address)
{
    QString& slot = last_[window + u'/' + control];
    if (slot == address)
        return true;
    slot = address;
    QByteArray bytes;
    for (auto it = last_.cbegin(); it != last_.cend(); ++it)
        bytes += (it.key().section(u'/', 0, 0) + u'\t' + it.key().section(u'/', 1) + u'\t' + it.value() + u'\n').toUtf8();
    QString error;
    bool busy = false;
    return replaceSmallFile(dir_, fileName(), bytes, &busy, &error);
}

} // namespace miravon
