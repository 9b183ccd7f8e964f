#include "channelpolicy.h"

#include "addressfiles.h"
#include "settings.h"
#include "userfiles.h"

namespace miravon::import {
namespace {

// As the settings file keeps the answer.
constexpr QLatin1StringView agreed("yes");
constexpr QLatin1StringView refused("never");

} // namespace

ChannelListPolicy::ChannelListPolicy(QString configDir, Clock now, QObject* parent)
    : QObject(parent)
    , configDir_(std::move(configDir))
    , now_(now ? std::move(now) : Clock([] { return QDateTime::currentDateTimeUtc(); }))
{
}

ListConsent ChannelListPolicy::consent() const
{
    const QString value = Settings::load(configDir_).value(setting::channelConsent);
    if (value == agreed)
        return ListConsent::Agreed;
    if (value == refused)
        return ListConsent::Refused;
    return ListConsent::Unasked;
}

void ChannelListPolicy::answer(ListConsent consent, std::function<void(bool, const QString&)> done)
{
    if (consent == ListConsent::Unasked) {
        if (done)
            done(true, {});
        return;
    }
    Settings settings = Settings::load(configDir_);
    settings.set(setting::channelConsent, consent == ListConsent::Agreed ? QString(agreed) : QString(refused));
    saveInBackground(settings, configDir_, this, std::move(done));
}

bool ChannelListPolicy::offerDue() const
{
    if (consent() != ListConsent::Unasked)
        return false;
    return !files::existsCommitted(configDir_, userdata::importFileName())
        && !files::existsCommitted(configDir_, userdata::ownFileName());
}

ChannelListPolicy::Update ChannelListPolicy::update()
{
    const Settings settings = Settings::load(configDir_);
    if (settings.value(setting::channelConsent) != agreed)
        return Update::NotAgreed;
    const QDateTime now = now_().toUTC();
    const QDateTime last = QDateTime::fromString(settings.value(setting::channelsUpdated), Qt::ISODate);
    if (!last.isValid())
        return Update::Due;
    if (last > now) {
        Settings correction = settings;
        correction.set(setting::channelsUpdated, now.toString(Qt::ISODate));
        saveInBackground(correction, configDir_, this);
        return Update::NotDue;
    }
    return last.daysTo(now) >= updateDays ? Update::Due : Update::NotDue;
}

QList<SourceRecord> ChannelListPolicy::sourcesInUse() const { return import::sourcesInUse(configDir_); }

} // namespace miravon::import
