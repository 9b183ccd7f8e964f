#include "kept.h"

#include "filetext.h"
#include "folders.h"
#include "userfiles.h"

#include <QMutex>
#include <QStringDecoder>
#include <QThreadPool>

namespace miravon {
namespace {

const QByteArray header = "window\tcontrol";
constexpr qint64 maxKeptBytes = 256 * 1024;

// The rows of a kept file, read one by one: a row that is not UTF-8 or not
// two fields is left out and named in `bad`, the others are kept.
QList<KeptEntries::Key> parse(const QByteArray& bytes, QList<userdata::BadLine>* bad)
{
    QList<KeptEntries::Key> keys;
    const QList<QByteArray> lines = bytes.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines.at(i);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty() || (i == 0 && line == header))
            continue;
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8.decode(line);
        if (utf8.hasError()) {
            bad->append({int(i + 1), userdata::BadLine::Why::NotUtf8});
            continue;
        }
        const QStringList f = text.split(u'\t');
        if (f.size() != 2 || f.at(0).isEmpty() || f.at(1).isEmpty()) {
            bad->append({int(i + 1), userdata::BadLine::Why::NotARow});
            continue;
        }
        const KeptEntries::Key key{f.at(0), f.at(1)};
        if (!keys.contains(key))
            keys.append(key);
    }
    return keys;
}

QString whatIs(const QString& name)
{
    return name == KeptEntries::recentFile() ? QStringLiteral("Danh sách kênh xem gần đây")
                                             : QStringLiteral("Danh sách kênh yêu thích");
}

// Writes one small file of the program's own, whatever it holds now; the
// damaged rows of what it holds are kept aside first (NAME.damaged).
files::EditResult replaceSmallFile(const QString& dir, const QString& name, const QByteArray& bytes, int waitMs)
{
    return files::editFile(dir, name, maxKeptBytes, waitMs, [&](ReadResult read, const QByteArray& current) {
        QList<userdata::BadLine> bad;
        if (read == ReadResult::Ok)
            parse(current, &bad);
        return files::Edit{files::Edit::Action::Write, bytes, !bad.isEmpty(), {}};
    });
}

} // namespace

// The newest rows of each file not yet taken by the writer; a file is
// queued once however many changes come before the writer takes it.
struct KeptEntries::Pending {
    QMutex mutex;
    QHash<QString, QByteArray> bytes;
};

KeptEntries::KeptEntries(QString dataDir)
    : dir_(dataDir.isEmpty() ? userdata::dataDir() : std::move(dataDir))
{
}

void KeptEntries::load(const std::function<bool(const Key&)>& exists,
                       const Report& report)
{
    unreadable_.clear();
    for (const auto& [name, list] : {std::pair{recentFile(), &recent_}, std::pair{favouritesFile(), &favourites_}}) {
        list->clear();
        QByteArray bytes;
        QString error;
        const QString path = dir_ + u'/' + name;
        const ReadResult read = files::readCommitted(dir_, name, maxKeptBytes, &bytes, &error);
        if (read == ReadResult::Failed) {
            // Never written over in this run: its rows are the person's.
            unreadable_.insert(name);
            QString why = userdata::readProblemText(path, maxKeptBytes, true);
            if (why.isEmpty())
                why = QStringLiteral("Không đọc được tệp %1.").arg(path);
            report(name, QStringLiteral("%1: %2; it is left as it is and not written in this run").arg(path, error),
                   QStringLiteral("%1 Vì vậy %2 để nguyên tệp ấy và không được ghi lại trong lần chạy này.")
                       .arg(why, whatIs(name).toLower()));
            continue;
        }
        QList<userdata::BadLine> bad;
        const QList<Key> keys = parse(bytes, &bad);
        if (!bad.isEmpty())
            report(name, userdata::badLinesLog(path, bad), userdata::badLinesText(whatIs(name), name, bad));
        for (const Key& k : keys)
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
    error_.clear();
    if (unreadable_.contains(name)) {
        error_ = QStringLiteral("%1 không đọc được khi chương trình mở nó, nên không bị ghi đè; thay đổi chỉ giữ "
                                "trong lần chạy này.")
                     .arg(dir_ + u'/' + name);
        return false;
    }
    QByteArray bytes = header + '\n';
    for (const Key& k : keys)
        bytes += (k.window + u'\t' + k.control + u'\n').toUtf8();
    if (context_) {
        {
            QMutexLocker lock(&pending_->mutex);
            const bool queued = pending_->bytes.contains(name);
            pending_->bytes.insert(name, bytes);
            if (queued)
                return true;
        }
        files::inBackground<files::EditResult>(
            context_,
            [pending = pending_, dir = dir_, name] {
                QByteArray newest;
                {
                    QMutexLocker lock(&pending->mutex);
                    newest = pending->bytes.take(name);
                }
                return replaceSmallFile(dir, name, newest, files::backgroundWaitMs);
            },
            [failed = failed_, name](const files::EditResult& r) {
                if (!r.ok() && failed)
                    failed(name, userdata::editResultText(r, whatIs(name).toLower(), maxKeptBytes));
            });
        return true;
    }
    // A short wait only: this may be the user-interface thread, and another
    // run of the program writes these files in a moment.
    const files::EditResult result = replaceSmallFile(dir_, name, bytes, files::lockWait());
    if (result.ok())
        return true;
    error_ = userdata::editResultText(result, whatIs(name).toLower(), maxKeptBytes);
    return false;
}

void KeptEntries::writeInBackground(QObject* context, Failed failed)
{
    context_ = context;
    failed_ = std::move(failed);
    if (!pending_)
        pending_ = std::make_shared<Pending>();
}

bool KeptEntries::flush(int ms) const
{
    return !context_ || files::writerThread().waitForDone(ms);
}

struct PlayedStreams::Pending {
    QMutex mutex;
    QByteArray bytes;
    bool queued = false;
};

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
    // A cache: what it held is not kept aside, but a file that could not be
    // read is not written over either.
    const auto write = [](const QString& dir, const QByteArray& newest, int waitMs) {
        return files::editFile(dir, fileName(), maxKeptBytes * 8, waitMs, [&](ReadResult, const QByteArray&) {
            return files::Edit{files::Edit::Action::Write, newest, false, {}};
        });
    };
    if (!context_)
        return write(dir_, bytes, files::lockWait()).ok();
    {
        QMutexLocker lock(&pending_->mutex);
        const bool queued = pending_->queued;
        pending_->bytes = bytes;
        pending_->queued = true;
        if (queued)
            return true;
    }
    files::inBackground<bool>(
        context_,
        [pending = pending_, dir = dir_, write] {
            QByteArray newest;
            {
                QMutexLocker lock(&pending->mutex);
                newest = std::exchange(pending->bytes, {});
                pending->queued = false;
            }
            return write(dir, newest, files::backgroundWaitMs).ok();
        },
        {});
    return true;
}

void PlayedStreams::writeInBackground(QObject* context)
{
    context_ = context;
    if (!pending_)
        pending_ = std::make_shared<Pending>();
}

} // namespace miravon
