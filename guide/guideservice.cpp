#include "guideservice.h"

#include "addresspolicy.h"
#include "boundarytimer.h"
#include "guideworker.h"
#include "folders.h"
#include "userfiles.h"

#include <QFileInfo>
#include <QUrl>

namespace miravon::guide {
namespace {

const QString userSourcesFile = QStringLiteral("guide-sources.txt");
const QByteArray userSourcesHeader = "# Miravon: các địa chỉ lịch phát sóng người dùng thêm, mỗi dòng một địa chỉ\n";
constexpr qint64 maxUserSourcesBytes = 256 * 1024;
constexpr qint64 readAgainSecs = 24 * 3600;
constexpr qint64 retrySecs = 3 * 3600;
// The user's file is written on this thread: a short wait only.
constexpr int userLockWaitMs = 200;

// A user's address as kept: http(s) as given, a file as its absolute path.
// Empty (with the reason) when it is neither.
QString acceptedAddress(const QString& given, QString* why)
{
    const QString address = given.trimmed();
    if (address.isEmpty()) {
        *why = QStringLiteral("Chưa nhập địa chỉ.");
        return {};
    }
    if (isWebAddress(address)) {
        const QUrl url(address, QUrl::StrictMode);
        if (url.isValid() && !url.host().isEmpty())
            return address;
        *why = QStringLiteral("“%1” không phải một địa chỉ hợp lệ.").arg(address);
        return {};
    }
    QString path = address;
    if (address.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        path = QUrl(address).toLocalFile();
    const QString lower = path.toLower();
    if (path.isEmpty() || !QFileInfo(path).isAbsolute()
        || !(lower.endsWith(QLatin1String(".xml")) || lower.endsWith(QLatin1String(".xml.gz")))) {
        *why = QStringLiteral("“%1” không phải địa chỉ http hoặc https, cũng không phải tệp .xml hay .xml.gz.")
                   .arg(address);
        return {};
    }
    if (!QFileInfo(path).isFile()) {
        *why = QStringLiteral("Không có tệp “%1”.").arg(path);
        return {};
    }
    return QFileInfo(path).absoluteFilePath();
}

QStringList parseUserSources(const QByteArray& bytes)
{
    QStringList out;
    for (const QByteArray& line : bytes.split('\n')) {
        const QString address = QString::fromUtf8(line).trimmed();
        // A file that is gone for now stays the user's.
        if ((isWebAddress(address) || address.startsWith(u'/')) && !out.contains(address))
            out << address;
    }
    return out;
}

} // namespace

QDateTime dueAt(const SourceState& state)
{
    const bool failed = state.tried.isValid() && (!state.read.isValid() || state.tried > state.read);
    if (failed)
        return state.tried.addSecs(retrySecs);
    return state.read.isValid() ? state.read.addSecs(readAgainSecs) : QDateTime();
}

GuideService::GuideService(Options options, QObject* parent)
    : QObject(parent)
    , options_(std::move(options))
    , clock_(options_.clock ? options_.clock : Clock([] { return QDateTime::currentDateTimeUtc(); }))
    , configDir_(options_.configDir.isEmpty() ? userdata::configDir() : options_.configDir)
{
    qRegisterMetaType<Guide>();
    qRegisterMetaType<SourceState>();
    qRegisterMetaType<QList<SourceState>>();

    QByteArray bytes;
    QString error;
    if (files::readCommitted(configDir_, userSourcesFile, maxUserSourcesBytes, &bytes, &error) == ReadResult::Ok)
        userSources_ = parseUserSources(bytes);

    GuideWorker::Settings settings;
    settings.cacheDir = options_.cacheDir.isEmpty() ? userdata::cacheDir() + QStringLiteral("/guide")
                                                    : options_.cacheDir;
    if (options_.maxBytes > 0)
        settings.maxBytes = options_.maxBytes;
    settings.stallMs = options_.stallMs;
    settings.totalMs = options_.totalMs;
    worker_ = new GuideWorker(settings);
    worker_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    connect(worker_, &GuideWorker::guideBuilt, this, &GuideService::onGuide);
    connect(worker_, &GuideWorker::statesChanged, this, &GuideService::onStates);
    connect(worker_, &GuideWorker::fetchEnded, this, &GuideService::onFetchEnded);
    thread_.setObjectName(QStringLiteral("guide"));
    thread_.start(QThread::LowPriority);

    boundary_ = new BoundaryTimer(clock_, this);
    connect(boundary_, &BoundaryTimer::passed, this, &GuideService::onAirChanged);
    checkTimer_.setSingleShot(true);
    connect(&checkTimer_, &QTimer::timeout, this, &GuideService::check);
}

GuideService::~GuideService()
{
    // The worker reads in slices and answers between them: quitting takes
    // a slice at most. A reading under way is dropped.
    thread_.quit();
    thread_.wait();
}

QList<GuideSource> GuideService::inUse() const
{
    QList<GuideSource> out;
    for (const QString& a : userSources_)
        out.append({a, true, {}});
    for (const GuideSource& s : listSources_) {
        if (std::none_of(out.cbegin(), out.cend(), [&](const GuideSource& o) { return o.address == s.address; }))
            out.append(s);
    }
    return out;
}

void GuideService::sendSources()
{
    const QList<GuideSource> sources = inUse();
    QMetaObject::invokeMethod(worker_, [w = worker_, sources] { w->setSources(sources); });
}

void GuideService::setChannels(QList<ListChannel> channels)
{
    QMetaObject::invokeMethod(worker_, [w = worker_, c = std::move(channels)] { w->setChannels(c); });
}

void GuideService::setListGuides(QList<GuideSource> guides)
{
    guides.removeIf([](const GuideSource& g) { return !isWebAddress(g.address); });
    QList<GuideSource> unique;
    for (GuideSource& g : guides) {
        g.byUser = false;
        if (std::none_of(unique.cbegin(), unique.cend(), [&](const GuideSource& u) { return u.address == g.address; }))
            unique << g;
    }
    if (unique == listSources_)
        return;
    listSources_ = unique;
    sendSources();
    if (loaded_)
        QTimer::singleShot(0, this, &GuideService::check);
}

bool GuideService::addSource(const QString& address, QString* why)
{
    const QString accepted = acceptedAddress(address, why);
    if (accepted.isEmpty())
        return false;
    if (userSources_.contains(accepted)) {
        *why = QStringLiteral("Đã có địa chỉ này.");
        return false;
    }
    userSources_ << accepted;
    if (!saveUserSources(why)) {
        userSources_.removeLast();
        return false;
    }
    sendSources();
    refresh(accepted);
    return true;
}

bool GuideService::removeSource(const QString& address)
{
    if (!userSources_.contains(address))
        return false;
    userSources_.removeAll(address);
    QString why;
    if (!saveUserSources(&why)) {
        userSources_ << address;
        return false;
    }
    queue_.removeAll(address);
    const bool stillListed = std::any_of(listSources_.cbegin(), listSources_.cend(),
                                         [&](const GuideSource& s) { return s.address == address; });
    if (stillListed)
        sendSources();
    else
        QMetaObject::invokeMethod(worker_, [w = worker_, address] { w->forget(address); });
    return true;
}

void GuideService::refresh(const QString& address)
{
    if (reading_ == address || queue_.contains(address))
        return;
    queue_.prepend(address);
    if (loaded_)
        next();
}

void GuideService::start()
{
    if (started_)
        return;
    started_ = true;
    sendSources();
    QMetaObject::invokeMethod(worker_, [w = worker_] { w->load(); });
}

bool GuideService::saveUserSources(QString* why)
{
    QByteArray bytes = userSourcesHeader;
    for (const QString& a : std::as_const(userSources_))
        bytes += a.toUtf8() + '\n';
    QString error;
    bool busy = false;
    const auto lock = files::FolderLock::take(configDir_, userLockWaitMs, &busy, &error);
    if (lock && files::recover(configDir_, &error)) {
        files::Transaction change(configDir_);
        change.replace(userSourcesFile, bytes);
        if (change.commit(&error) != files::Transaction::Outcome::Failed)
            return true;
    }
    *why = busy ? QStringLiteral("Thư mục cấu hình đang bận; xin thử lại.")
                : QStringLiteral("Không ghi được danh sách nguồn lịch: %1").arg(error);
    return false;
}

QList<SourceState> GuideService::sources() const
{
    QList<SourceState> out;
    for (const GuideSource& s : inUse()) {
        SourceState st;
        for (const SourceState& known : states_)
            if (known.source.address == s.address)
                st = known;
        st.source = s;
        st.busy = reading_ == s.address;
        out << st;
    }
    return out;
}

void GuideService::onStates(const QList<SourceState>& states)
{
    states_ = states;
    if (!loaded_) {
        loaded_ = true;
        checkTimer_.start(std::max(0, options_.firstCheckMs));
    }
    emit sourcesChanged(sources());
}

void GuideService::onGuide(const Guide& guide)
{
    guide_ = guide;
    boundary_->setGuide(guide_);
    emit guideChanged(guide_);
}

void GuideService::check()
{
    const QDateTime now = clock_();
    QMetaObject::invokeMethod(worker_, [w = worker_] { w->checkStores(); });
    for (const SourceState& st : sources()) {
        const QDateTime due = dueAt(st);
        const QString& a = st.source.address;
        if ((!due.isValid() || due <= now) && a != reading_ && !queue_.contains(a))
            queue_ << a;
    }
    next();
    checkTimer_.start(std::max(1000, options_.checkMs));
}

void GuideService::next()
{
    if (!reading_.isEmpty())
        return;
    const QList<GuideSource> sources = inUse();
    while (!queue_.isEmpty()) {
        const QString address = queue_.takeFirst();
        const auto it = std::find_if(sources.cbegin(), sources.cend(),
                                     [&](const GuideSource& s) { return s.address == address; });
        if (it == sources.cend())
            continue; // no longer in use
        reading_ = address;
        const qint64 now = clock_().toSecsSinceEpoch();
        QMetaObject::invokeMethod(worker_, [w = worker_, s = *it, now] { w->fetch(s, now); });
        emit sourcesChanged(this->sources());
        return;
    }
}

void GuideService::onFetchEnded(const QString& address)
{
    if (reading_ == address)
        reading_.clear();
    next();
    if (reading_.isEmpty())
        emit sourcesChanged(sources()); // none is busy now
}

} // namespace miravon::guide
