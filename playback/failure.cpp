#include "failure.h"

namespace miravon {

int informativeness(PlayFailure reason)
{
    switch (reason) {
    case PlayFailure::None:
        return 0;
    case PlayFailure::HostNotFound:
        return 1;
    case PlayFailure::ConnectionRefused:
        return 2;
    case PlayFailure::TimedOut:
        return 3;
    case PlayFailure::ConnectionLost:
        return 4;
    case PlayFailure::NotMedia:
        return 5;
    case PlayFailure::NotFound:
        return 6;
    case PlayFailure::UnsupportedAddress:
    case PlayFailure::NoAddressYet:
    case PlayFailure::PlaylistRefused:
    case PlayFailure::NoPlayableEntry:
        return 7;
    }
    return 0;
}

PlayFailure moreInformative(PlayFailure current, PlayFailure candidate)
{
    return informativeness(candidate) > informativeness(current) ? candidate : current;
}

} // namespace miravon
