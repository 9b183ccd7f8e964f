#include "guideworker.h"

#include "addresspolicy.h"
#include "fetcher.h"
#include "userfiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcGuide, "miravon.guide", QtWarningMsg)

namespace miravon::guide {
namespace {

const QByteArray statesHeader = "miravon guide sources 1";
constexpr qint64 maxStatesBytes = 4 * 1024 * 1024;
// A file is read a slice at a time, so that the thread answers between.
constexpr qint64 fileSliceBytes = 1024 * 1024;
constexpr qint64 networkChunkBytes = 256 * 1024;
// The cache folder's lock is someone else's for at most this long (another
// run of the program writing its guide).
constexpr int lockWaitMs = 2000;

QString httpText(int status) { return QStringLiteral("máy chủ trả lời HTTP %1").arg(status); }

// The reason a person reads for a reading the network ended.
QString networkText(QNetworkReply::NetworkError error)
{
    switch (failureFromNetwork(error)) {
    case PlayFailure::HostNotFound: return QStringLiteral("không tìm thấy máy chủ");
    case PlayFailure::ConnectionRefused: return QStringLiteral("máy chủ từ chối kết nối");
    case PlayFailure::TimedOut: return QStringLiteral("quá thời gian chờ");
    case PlayFailure::NotFound: return QStringLiteral("máy chủ từ chối");
    case PlayFailure::ConnectionLost: return QStringLiteral("mất kết nối");
    case PlayFailure::UnsupportedAddress: return QStringLiteral("địa chỉ không dùng được");
    default: return QStringLiteral("lỗi mạng");
    }
}

QString stamp(const QDateTime& t) { return t.isValid() ? t.toUTC().toString(Qt::ISODate) : QString(); }
QDateTime unstamp(const QString& s)
{
    QDateTime t = QDateTime::fromString(s, Qt::ISODate);
    return t.isValid() ? t.toUTC() : QDateTime();
}

QString oneLine(QString s)
{
    s.replace(u'\t', u' ');
    s.replace(u'\n', u' ');
    s.replace(u'\r', u' ');
    return s;
}

} // namespace

// One reading of one source: the network's answer or the file's bytes, as
// they come, through the XMLTV reader; within the bounds of size, silence
// and time.
class GuideWorker::Reading : public QObject {
public:
    Reading(QNetworkAccessManager* network, GuideSource source, qint64 now,
            std::shared_ptr<const ChannelMatcher> matcher, const Settings& settings, std::function<void()> ended)
        : source_(std::move(source))
        , now_(now)
        , reader_(std::move(matcher), ReadOptions{now, settings.maxBytes, source_.country})
        , network_(network)
        , settings_(settings)
        , ended_(std::move(ended))
    {
        stall_.setSingleShot(true);
        total_.setSingleShot(true);
        connect(&stall_, &QTimer::timeout, this, [this] {
            end(ReadFailure::Stalled, QStringLiteral("%1 giây không nhận được gì").arg(settings_.stallMs / 1000.0));
        });
        connect(&total_, &QTimer::timeout, this, [this] { end(ReadFailure::TimedOut); });
    }
    ~Reading() override
    {
        closeInputs();
    }

    void start()
    {
        total_.start(std::max(1, settings_.totalMs));
        if (isWebAddress(source_.address)) {
            QNetworkRequest request = documentRequest(QUrl(source_.address));
            QNetworkReply* reply = network_->get(request);
            reply_ = reply;
            reply->setReadBufferSize(fileSliceBytes);
            connect(reply, &QNetworkReply::readyRead, this, &Reading::onReadyRead);
            connect(reply, &QNetworkReply::finished, this, &Reading::onFinished);
            stall_.start(std::max(1, settings_.stallMs));
            return;
        }
        const QString path = source_.address.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)
            ? QUrl(source_.address).toLocalFile()
            : source_.address;
        const QByteArray name = QFile::encodeName(path);
        struct stat st;
        if (::stat(name.constData(), &st) != 0)
            return end(ReadFailure::Unreachable, QStringLiteral("không có tệp này"));
        if (!S_ISREG(st.st_mode))
            return end(ReadFailure::Unreachable, QStringLiteral("không phải một tệp thường"));
        fd_ = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))
            return end(ReadFailure::Unreachable, QStringLiteral("không đọc được tệp"));
        QTimer::singleShot(0, this, &Reading::readSlice);
    }

    const GuideSource& source() const { return source_; }
    qint64 now() const { return now_; }
    ReadFailure failure() const { return failure_; }
    QString detail() const { return detail_; }
    ReadOutcome takeResult() { return std::move(result_); }

private:
    void readSlice()
    {
        if (done_)
            return;
        QByteArray buffer(fileSliceBytes, Qt::Uninitialized);
        ssize_t n;
        do
            n = ::read(fd_, buffer.data(), size_t(buffer.size()));
        while (n < 0 && errno == EINTR);
        if (n < 0)
            return end(ReadFailure::Unreachable, QStringLiteral("không đọc được tệp"));
        if (n == 0)
            return conclude();
        if (!reader_.feed(QByteArrayView(buffer.constData(), n)))
            return end(reader_.failure(), reader_.detail());
        QTimer::singleShot(0, this, &Reading::readSlice);
    }

    bool statusRefused()
    {
        const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status < 400)
            return false;
        end(ReadFailure::Unreachable, httpText(status));
        return true;
    }

    void onReadyRead()
    {
        if (done_ || !reply_ || statusRefused())
            return;
        stall_.start();
        while (!done_ && reply_ && reply_->bytesAvailable() > 0) {
            const QByteArray chunk = reply_->read(networkChunkBytes);
            if (!reader_.feed(chunk))
                return end(reader_.failure(), reader_.detail());
        }
    }

    void onFinished()
    {
        if (done_ || !reply_ || statusRefused())
            return;
        onReadyRead();
        if (done_)
            return;
        if (reply_->error() != QNetworkReply::NoError)
            return end(ReadFailure::Unreachable, networkText(reply_->error()));
        conclude();
    }

    void conclude()
    {
        if (!reader_.finish())
            return end(reader_.failure(), reader_.detail());
        result_ = reader_.take();
        end(ReadFailure::None);
    }

    void closeInputs()
    {
        stall_.stop();
        total_.stop();
        if (reply_) {
            // Deleting it stops it; no abort(), which would race the error
            // the network thread may have posted already (a refusal).
            reply_->disconnect(this);
            reply_->deleteLater();
            reply_ = nullptr;
        }
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

    void end(ReadFailure failure, const QString& detail = {})
    {
        if (done_)
            return;
        done_ = true;
        failure_ = failure;
        detail_ = detail;
        closeInputs();
        // Told from the event loop: the worker deletes this reading then.
        QTimer::singleShot(0, this, [this] { ended_(); });
    }

    GuideSource source_;
    qint64 now_;
    XmltvReader reader_;
    QNetworkAccessManager* network_;
    Settings settings_;
    std::function<void()> ended_;
    QPointer<QNetworkReply> reply_;
    int fd_ = -1;
    QTimer stall_;
    QTimer total_;
    bool done_ = false;
    ReadFailure failure_ = ReadFailure::None;
    QString detail_;
    ReadOutcome result_;
};

GuideWorker::GuideWorker(Settings settings)
    : settings_(std::move(settings))
{
}

GuideWorker::~GuideWorker() { delete reading_; }

QString GuideWorker::storeFile(const QString& address)
{
    return QString::fromLatin1(QCryptographicHash::hash(address.toUtf8(), QCryptographicHash::Sha1).toHex().left(20))
        + QStringLiteral(".guide");
}

void GuideWorker::setChannels(const QList<ListChannel>& channels)
{
    matcher_ = std::make_shared<const ChannelMatcher>(channels);
    if (loaded_)
        rebuild();
}

void GuideWorker::setSources(const QList<GuideSource>& sources)
{
    sources_ = sources;
    if (!loaded_)
        return;
    QStringList inUse;
    for (const GuideSource& s : sources_) {
        inUse << s.address;
        if (!stores_.contains(s.address)) {
            QString why;
            if (auto store = Store::open(settings_.cacheDir + u'/' + storeFile(s.address), &why))
                stores_.insert(s.address, store);
        }
    }
    stores_.removeIf([&](const auto& it) { return !inUse.contains(it.key()); });
    rebuild();
    emitStates();
}

void GuideWorker::load()
{
    QByteArray bytes;
    QString error;
    if (QFile::exists(settings_.cacheDir + QStringLiteral("/.transaction"))) {
        // A change a killed run left is finished (or dropped) before any
        // store is mapped.
        bool busy = false;
        if (const auto lock = files::FolderLock::take(settings_.cacheDir, lockWaitMs, &busy, &error))
            files::recover(settings_.cacheDir, &error);
    }
    if (files::readCommitted(settings_.cacheDir, statesFile(), maxStatesBytes, &bytes, &error) == miravon::ReadResult::Ok
        && bytes.startsWith(statesHeader + '\n')) {
        const QList<QByteArray> lines = bytes.split('\n');
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QStringList f = QString::fromUtf8(lines.at(i)).split(u'\t');
            if (f.size() != 8 || f.at(0).isEmpty())
                continue; // one bad row loses that row
            SourceState s;
            s.source = {f.at(0), f.at(1) == QLatin1String("1"), f.at(2)};
            s.read = unstamp(f.at(3));
            s.tried = unstamp(f.at(4));
            s.channels = f.at(5).toInt();
            s.programmes = f.at(6).toInt();
            s.error = f.at(7);
            states_.insert(s.source.address, s);
        }
    }
    // Only what is also in the store is believed read: a store that is
    // gone or damaged (a cache) is read again from its source.
    for (const GuideSource& s : std::as_const(sources_)) {
        const QString path = settings_.cacheDir + u'/' + storeFile(s.address);
        QString why;
        if (auto store = Store::open(path, &why)) {
            stores_.insert(s.address, store);
            continue;
        }
        if (QFile::exists(path)) {
            qCDebug(lcGuide) << "dropping the store of" << s.address << ":" << why;
            QFile::remove(path);
        }
        if (states_.contains(s.address))
            states_[s.address] = {s, {}, {}, 0, 0, {}, false}; // due now
    }
    loaded_ = true;
    rebuild();
    emitStates();
}

void GuideWorker::fetch(const GuideSource& source, qint64 now)
{
    if (reading_) {
        emit fetchEnded(source.address);
        return;
    }
    if (!network_)
        network_ = new QNetworkAccessManager(this);
    reading_ = new Reading(network_, source, now, matcher_, settings_, [this] { readingEnded(); });
    reading_->start();
}

void GuideWorker::readingEnded()
{
    // Deleted later: this is called from the reading's own event.
    Reading* reading = std::exchange(reading_, nullptr);
    reading->deleteLater();
    const GuideSource source = reading->source();
    const auto inUse = [&](const GuideSource& s) { return s.address == source.address; };
    if (std::none_of(sources_.cbegin(), sources_.cend(), inUse)) {
        // Removed while it was being read: nothing of it is kept.
        emit fetchEnded(source.address);
        return;
    }
    const QDateTime now = QDateTime::fromSecsSinceEpoch(reading->now(), Qt::UTC);
    SourceState& st = states_[source.address];
    st.source = source;
    st.tried = now;
    st.busy = false;
    QByteArray store;
    if (reading->failure() == ReadFailure::None) {
        ReadOutcome result = reading->takeResult();
        result.channels.removeIf([](const ChannelRecord& c) { return c.programmes.isEmpty(); });
        st.read = now;
        if (result.programmes == 0) {
            // Nothing for the lists' channels now (a guide wholly in the
            // past, or of other channels): what the source gave before stays.
            st.error = failureText(ReadFailure::NoProgrammes);
        } else {
            st.error.clear();
            st.channels = int(result.channels.size());
            st.programmes = result.programmes;
            store = Store::encode(result.channels);
        }
        qCDebug(lcGuide) << source.address << ":" << result.bytes << "bytes," << result.channels.size()
                         << "channels," << result.programmes << "programmes," << result.malformed << "malformed";
    } else {
        st.error = failureText(reading->failure(), reading->detail());
        qCDebug(lcGuide) << source.address << "not read:" << st.error;
    }
    const bool written = commit(source.address, store.isEmpty() ? nullptr : &store);
    if (!store.isEmpty()) {
        QString why;
        std::shared_ptr<const Store> s;
        if (written)
            s = Store::open(settings_.cacheDir + u'/' + storeFile(source.address), &why);
        if (!s)
            s = Store::fromBytes(store, &why); // not kept: this run still has it
        if (s)
            stores_.insert(source.address, s);
    }
    rebuild();
    emitStates();
    emit fetchEnded(source.address);
}

void GuideWorker::forget(const QString& address)
{
    stores_.remove(address);
    states_.remove(address);
    sources_.removeIf([&](const GuideSource& s) { return s.address == address; });
    commit({}, nullptr); // drops its store with the sources no longer in use
    rebuild();
    emitStates();
}

void GuideWorker::checkStores()
{
    QStringList damaged;
    for (auto it = stores_.cbegin(); it != stores_.cend(); ++it)
        if (it.value()->damaged())
            damaged << it.key();
    if (damaged.isEmpty())
        return;
    for (const QString& address : std::as_const(damaged))
        dropStore(address);
    commit({}, nullptr);
    rebuild();
    emitStates();
}

void GuideWorker::dropStore(const QString& address)
{
    stores_.remove(address);
    QFile::remove(settings_.cacheDir + u'/' + storeFile(address));
    if (states_.contains(address))
        states_[address] = {states_.value(address).source, {}, {}, 0, 0, {}, false}; // due now
}

QByteArray GuideWorker::statesText() const
{
    QByteArray out = statesHeader + '\n';
    for (const GuideSource& s : sources_) {
        const auto it = states_.constFind(s.address);
        if (it == states_.cend())
            continue;
        const SourceState& st = *it;
        out += QStringList{oneLine(s.address), s.byUser ? QStringLiteral("1") : QStringLiteral("0"), oneLine(s.country),
                           stamp(st.read), stamp(st.tried), QString::number(st.channels),
                           QString::number(st.programmes), oneLine(st.error)}
                   .join(u'\t')
                   .toUtf8()
            + '\n';
    }
    return out;
}

bool GuideWorker::commit(const QString& address, const QByteArray* store)
{
    QString error;
    bool busy = false;
    const auto lock = files::FolderLock::take(settings_.cacheDir, lockWaitMs, &busy, &error);
    if (!lock || !files::recover(settings_.cacheDir, &error)) {
        qCDebug(lcGuide) << "guide not kept:" << (busy ? QStringLiteral("folder busy") : error);
        return false;
    }
    files::Transaction change(settings_.cacheDir);
    if (store)
        change.replace(storeFile(address), *store);
    QStringList inUse;
    for (const GuideSource& s : std::as_const(sources_))
        inUse << storeFile(s.address);
    const QStringList kept = QDir(settings_.cacheDir).entryList({QStringLiteral("*.guide")}, QDir::Files);
    for (const QString& name : kept)
        if (!inUse.contains(name))
            change.remove(name);
    change.replace(statesFile(), statesText());
    if (change.commit(&error) == files::Transaction::Outcome::Failed) {
        qCDebug(lcGuide) << "guide not kept:" << error;
        return false;
    }
    return true;
}

void GuideWorker::rebuild()
{
    QList<std::shared_ptr<const Store>> stores;
    for (const GuideSource& s : std::as_const(sources_))
        if (const auto store = stores_.value(s.address))
            stores << store;
    emit guideBuilt(Guide::build(stores, *matcher_));
}

void GuideWorker::emitStates()
{
    QList<SourceState> out;
    for (const GuideSource& s : std::as_const(sources_)) {
        SourceState st = states_.value(s.address);
        st.source = s;
        st.busy = reading_ && reading_->source().address == s.address;
        out << st;
    }
    emit statesChanged(out);
}

} // namespace miravon::guide
