#include "boundarytimer.h"

namespace miravon::guide {
namespace {
constexpr qint64 longestWaitMs = 60 * 1000;
}

BoundaryTimer::BoundaryTimer(Clock clock, QObject* parent)
    : QObject(parent)
    , clock_(clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTimeUtc(); }))
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &BoundaryTimer::check);
}

void BoundaryTimer::setGuide(const Guide& guide)
{
    guide_ = guide;
    arm();
}

void BoundaryTimer::arm()
{
    const QDateTime now = clock_();
    boundary_ = guide_.nextBoundary(now);
    if (!boundary_.isValid()) {
        timer_.stop();
        return;
    }
    timer_.start(int(std::clamp<qint64>(now.msecsTo(boundary_), 0, longestWaitMs)));
}

void BoundaryTimer::check()
{
    if (boundary_.isValid() && clock_() >= boundary_) {
        arm();
        emit passed();
        return;
    }
    arm();
}

} // namespace miravon::guide
