#include "programguide.h"

#include "logging.h"

#include "listchannels.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThreadPool>

namespace miravon {

ProgramGuide::ProgramGuide(guide::ServiceOptions options, QObject* parent)
    : QObject(parent)
    , options_(std::move(options))
{
}

ProgramGuide::~ProgramGuide() = default;

void ProgramGuide::start()
{
    if (service_)
        return;
    service_ = new guide::GuideService(options_, this);
    connect(service_, &guide::GuideService::guideChanged, this, &ProgramGuide::changed);
    connect(service_, &guide::GuideService::onAirChanged, this, &ProgramGuide::changed);
    readFeed();
}

void ProgramGuide::reload()
{
    if (service_)
        readFeed();
}

guide::GuideService& ProgramGuide::service()
{
    start();
    return *service_;
}

void ProgramGuide::readFeed()
{
    // One reading at a time; a change while one runs reads again after it.
    if (reading_) {
        readAgain_ = true;
        return;
    }
    reading_ = true;
    const QString config = options_.configDir;
    // The service's folder is the guide's own, in the cache folder that
    // keeps the lists' copies.
    const QString cache = options_.cacheDir.isEmpty() ? QString() : QFileInfo(options_.cacheDir).absolutePath();
    QPointer<ProgramGuide> self(this);
    QThreadPool::globalInstance()->start([self, config, cache] {
        guide::Feed feed = guide::readFeed(config, cache);
        // Handed over on the application's thread, where `self` is looked
        // at: a guide gone meanwhile takes nothing.
        QMetaObject::invokeMethod(QCoreApplication::instance(), [self, feed = std::move(feed)]() mutable {
            if (self)
                self->takeFeed(std::move(feed));
        });
    });
}

void ProgramGuide::takeFeed(guide::Feed feed)
{
    reading_ = false;
    qCDebug(lcWindows) << "guide: " << feed.channels.size() << "list channels," << feed.guides.size()
                       << "guides named by the lists";
    feed_ = std::move(feed);
    service_->setChannels(feed_.channels);
    service_->setListGuides(feed_.guides);
    service_->start();
    emit changed();
    if (readAgain_) {
        readAgain_ = false;
        readFeed();
    }
}

QString ProgramGuide::keyOf(const QString& window, const QString& control) const
{
    if (window == catalogue::listWindow())
        return feed_.nameOfKey.contains(control) ? control : QString();
    return feed_.keyOfEntry.value(window + u'/' + control);
}

QDateTime ProgramGuide::now() const
{
    return service_ ? service_->now() : QDateTime::currentDateTimeUtc();
}

guide::NowNext ProgramGuide::nowNext(const QString& key) const
{
    if (!service_ || key.isEmpty())
        return {};
    return service_->guide().nowNext(key, service_->now());
}

QList<guide::Programme> ProgramGuide::schedule(const QString& key) const
{
    if (!service_ || key.isEmpty())
        return {};
    return service_->guide().schedule(key, service_->now().toTimeZone(zone_).date(), zone_);
}

QString ProgramGuide::nowNextText(const QString& window, const QString& control) const
{
    const QString key = keyOf(window, control);
    return key.isEmpty() ? QString() : miravon::nowNextText(nowNext(key), zone_);
}

guide::ServiceOptions& programGuideOptions()
{
    static guide::ServiceOptions options;
    return options;
}

QString timeSpan(const guide::Programme& p, const QTimeZone& zone)
{
    return QStringLiteral("%1–%2").arg(p.start.toTimeZone(zone).toString(QStringLiteral("HH:mm")),
                                       p.stop.toTimeZone(zone).toString(QStringLiteral("HH:mm")));
}

QString nowNextText(const guide::NowNext& nn, const QTimeZone& zone)
{
    QStringList parts;
    if (nn.now.isValid())
        parts << QStringLiteral("Đang phát %1 %2").arg(timeSpan(nn.now, zone), nn.now.title);
    if (nn.next.isValid())
        parts << QStringLiteral("Tiếp theo %1 %2")
                     .arg(nn.next.start.toTimeZone(zone).toString(QStringLiteral("HH:mm")), nn.next.title);
    return parts.join(QStringLiteral(" · "));
}

QString programmeText(const guide::Programme& p, const QTimeZone& zone)
{
    QString text = QStringLiteral("%1 %2").arg(timeSpan(p, zone), p.title);
    if (!p.subTitle.isEmpty())
        text += QStringLiteral(": ") + p.subTitle;
    return text;
}

} // namespace miravon
