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

PlayFailure failureFromNetwork(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::NoError:
        return PlayFailure::None;
    case QNetworkReply::HostNotFoundError:
        return PlayFailure::HostNotFound;
    case QNetworkReply::ConnectionRefusedError:
        return PlayFailure::ConnectionRefused;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return PlayFailure::TimedOut;
    case QNetworkReply::ContentNotFoundError:
    case QNetworkReply::ContentGoneError:
    case QNetworkReply::ContentAccessDenied:
    case QNetworkReply::AuthenticationRequiredError:
    case QNetworkReply::InternalServerError:
    case QNetworkReply::ServiceUnavailableError:
    case QNetworkReply::UnknownContentError:
    case QNetworkReply::UnknownServerError:
    // A server that will not make a secure connection refuses the stream
    // as surely as one that answers 403.
    case QNetworkReply::SslHandshakeFailedError:
        return PlayFailure::NotFound;
    case QNetworkReply::ProtocolUnknownError:
    case QNetworkReply::InsecureRedirectError:
    case QNetworkReply::TooManyRedirectsError:
        return PlayFailure::PlaylistRefused;
    default:
        return PlayFailure::NotMedia;
    }
}

PlayFailure failureFromSocket(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::HostNotFoundError:
        return PlayFailure::HostNotFound;
    case QAbstractSocket::ConnectionRefusedError:
        return PlayFailure::ConnectionRefused;
    case QAbstractSocket::SocketTimeoutError:
        return PlayFailure::TimedOut;
    case QAbstractSocket::SslHandshakeFailedError:
        return PlayFailure::NotFound;
    default:
        // Closed by the server before it said anything useful: it was
        // there, and what it said was no stream.
        return PlayFailure::NotMedia;
    }
}

PlayFailure failureFromStatus(int status)
{
    return status >= 400 && status <= 599 ? PlayFailure::NotFound : PlayFailure::NotMedia;
}

QString failureCheckText(PlayFailure reason)
{
    switch (reason) {
    case PlayFailure::None:
        return QStringLiteral("works");
    case PlayFailure::NoAddressYet:
        return QStringLiteral("no working address yet");
    case PlayFailure::UnsupportedAddress:
        return QStringLiteral("not an address the player opens");
    case PlayFailure::HostNotFound:
        return QStringLiteral("host not found");
    case PlayFailure::ConnectionRefused:
        return QStringLiteral("connection refused");
    case PlayFailure::TimedOut:
        return QStringLiteral("timed out");
    case PlayFailure::NotFound:
        return QStringLiteral("refused by the server");
    case PlayFailure::NotMedia:
        return QStringLiteral("not a media stream");
    case PlayFailure::PlaylistRefused:
        return QStringLiteral("playlist refused");
    case PlayFailure::NoPlayableEntry:
        return QStringLiteral("no playable entry");
    case PlayFailure::ConnectionLost:
        return QStringLiteral("connection lost");
    }
    return {};
}

} // namespace miravon
