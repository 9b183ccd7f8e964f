#include "reconnector.h"

#include "playback.h"

namespace miravon {

Reconnector::Reconnector(QObject* parent)
    : QObject(parent)
{
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &Reconnector::attempt);
    steady_.setSingleShot(true);
    steady_.setInterval(30000);
    connect(&steady_, &QTimer::timeout, this, [this] {
        made_ = 0;
        emit wonBack();
    });
}

void Reconnector::setPolicy(int attempts, int firstDelayMs)
{
    attempts_ = std::max(0, attempts);
    firstDelayMs_ = std::max(1, firstDelayMs);
}

void Reconnector::reset()
{
    retry_.stop();
    steady_.stop();
    made_ = 0;
    outage_ = false;
}

bool Reconnector::dropped()
{
    steady_.stop();
    if (made_ >= attempts_) {
        outage_ = false;
        return false;
    }
    made_++;
    // Until it plays again, whatever happens to an attempt is part of this
    // outage: a refused or silent attempt waits for the next one.
    outage_ = true;
    retry_.start(firstDelayMs_ << std::min(made_ - 1, 10));
    return true;
}

void Reconnector::playing(bool live)
{
    if (outage_) {
        outage_ = false;
        qCDebug(lcPlayer) << "live stream won back";
    }
    if (live && !steady_.isActive())
        steady_.start();
}

} // namespace miravon
