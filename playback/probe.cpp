#include "probe.h"

#include "playback.h"

#include <QTcpSocket>

namespace miravon {

FailureProbe::FailureProbe(QObject* parent)
    : QObject(parent)
{
    bound_.setSingleShot(true);
    // No connection, or a server that takes it and never answers.
    connect(&bound_, &QTimer::timeout, this, [this] { finish(PlayFailure::TimedOut); });
}

FailureProbe::~FailureProbe() { cancel(); }

void FailureProbe::run(const QUrl& url, int boundMs)
{
    cancel();
    url_ = url;
    answer_.clear();
    const QString scheme = url.scheme().toLower();
    asksStatus_ = scheme == QLatin1String("mmsh") || scheme.startsWith(QLatin1String("rtsp"));
    const int defaultPort = scheme == QLatin1String("mmst") ? 1755 : scheme == QLatin1String("mmsh") ? 80 : 554;
    socket_ = new QTcpSocket(this);
    connect(socket_, &QTcpSocket::connected, this, &FailureProbe::onConnected);
    connect(socket_, &QTcpSocket::readyRead, this, &FailureProbe::onReadyRead);
    connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        switch (error) {
        case QAbstractSocket::HostNotFoundError:
            finish(PlayFailure::HostNotFound);
            break;
        case QAbstractSocket::ConnectionRefusedError:
            finish(PlayFailure::ConnectionRefused);
            break;
        case QAbstractSocket::SocketTimeoutError:
            finish(PlayFailure::TimedOut);
            break;
        default:
            // Closed by the server before a status line: it was there, and
            // what it said was no stream.
            onReadyRead();
            finish(PlayFailure::NotMedia);
            break;
        }
    });
    bound_.start(std::max(1, boundMs));
    socket_->connectToHost(url.host(), static_cast<quint16>(url.port(defaultPort)));
}

void FailureProbe::cancel()
{
    bound_.stop();
    if (socket_) {
        socket_->disconnect(this);
        socket_->abort();
        socket_->deleteLater();
        socket_ = nullptr;
    }
}

void FailureProbe::onConnected()
{
    if (!asksStatus_) {
        finish(PlayFailure::NotMedia);
        return;
    }
    QUrl target = url_;
    const QString scheme = url_.scheme().toLower();
    QByteArray request;
    if (scheme == QLatin1String("mmsh")) {
        const QByteArray path = url_.path(QUrl::FullyEncoded).toUtf8()
            + (url_.hasQuery() ? "?" + url_.query(QUrl::FullyEncoded).toUtf8() : QByteArray());
        request = "GET " + (path.isEmpty() ? QByteArray("/") : path) + " HTTP/1.0\r\nHost: " + url_.host().toUtf8()
            + "\r\nUser-Agent: NSPlayer/4.1.0.3856\r\nAccept: */*\r\nPragma: no-cache\r\nConnection: Close\r\n\r\n";
    } else {
        target.setScheme(QStringLiteral("rtsp"));
        request = "DESCRIBE " + target.toString(QUrl::FullyEncoded).toUtf8()
            + " RTSP/1.0\r\nCSeq: 1\r\nAccept: application/sdp\r\nUser-Agent: Miravon/1.0\r\n\r\n";
    }
    socket_->write(request);
}

void FailureProbe::onReadyRead()
{
    if (!socket_)
        return;
    answer_ += socket_->readAll();
    const qsizetype eol = answer_.indexOf("\r\n");
    if (eol < 0 && answer_.size() < 256)
        return;
    // "HTTP/1.0 404 Not Found", "RTSP/1.0 404 Not Found"
    const QList<QByteArray> words = answer_.left(eol < 0 ? 256 : eol).split(' ');
    bool ok = false;
    const int status = words.value(1).toInt(&ok);
    qCDebug(lcPlayer) << "probe answer" << url_ << answer_.left(eol);
    finish(ok ? failureFromStatus(status) : PlayFailure::NotMedia);
}

void FailureProbe::finish(PlayFailure reason)
{
    if (!socket_)
        return;
    cancel();
    emit verdict(reason);
}

} // namespace miravon
