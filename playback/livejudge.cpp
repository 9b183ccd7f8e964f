#include "livejudge.h"

namespace miravon {

bool judgeLive(const LiveFacts& f)
{
    if (f.segmented)
        return f.manifestLive;
    const bool lengthHolds = !f.durationGrew && f.position - f.durationSeenAt >= kLengthHoldsSeconds;
    return !(f.duration > 0 && (f.sized || (f.seekable && lengthHolds)));
}

void LiveTracker::setDuration(double duration)
{
    facts_.duration = duration;
    if (duration > 0 && facts_.firstDuration <= 0) {
        facts_.firstDuration = duration;
        facts_.durationSeenAt = facts_.position;
    } else if (facts_.firstDuration > 0 && duration > facts_.firstDuration + 0.5) {
        facts_.durationGrew = true;
    }
}

} // namespace miravon
