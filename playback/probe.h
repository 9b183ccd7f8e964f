#pragma once

#include "failure.h"

#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class QTcpSocket;

namespace miravon {

// Finds out why the engine could not play a stream address. The engine does
// not tell, so the probe asks the server itself, once and within a bound:
// an RTSP DESCRIBE, an MMS-over-HTTP request (which names its status), or a
// bare connection for MMS over TCP. The verdict is reported once, after
// run() has returned; a new run() or cancel() drops the one in flight.
class FailureProbe : public QObject {
    Q_OBJECT
public:
    explicit FailureProbe(QObject* parent = nullptr);
    ~FailureProbe() override;

    void run(const QUrl& url, int boundMs);
    void cancel();
    bool isRunning() const { return socket_ != nullptr; }

signals:
    void verdict(miravon::PlayFailure reason);

private:
    void finish(PlayFailure reason);
    void onConnected();
    void onReadyRead();

    QUrl url_;
    QTcpSocket* socket_ = nullptr;
    QTimer bound_;
    QByteArray answer_;
    bool asksStatus_ = false;
};

} // namespace miravon
