#pragma once

#include "failure.h"
#include "probe.h"
#include "resolver.h"
#include "streamaddress.h"

#include <QObject>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;

namespace miravon {

// Checks one address as the player opens it, within a bound: the player's
// own resolver walks its playlists and alternatives, and each candidate is
// looked at (CandidateLook) instead of played. So a failing address gets
// the reason the player would give. finished(None) when it works.
class StreamCheck : public QObject {
    Q_OBJECT
public:
    StreamCheck(QNetworkAccessManager* network, int boundMs, QObject* parent = nullptr);

    void start(const StreamAddress& address);
    // More for a human about the outcome ("HTTP 403", "text/html"), when
    // the last look that failed gave the final reason.
    QString detail() const { return detail_; }

signals:
    void finished(miravon::PlayFailure result);

private:
    void done(PlayFailure result);

    AddressResolver resolver_;
    CandidateLook look_;
    QTimer bound_;
    int boundMs_;
    StreamOptions options_;
    PlayFailure lastLook_ = PlayFailure::None;
    bool lookPending_ = false; // a look ended; the walk has not moved on yet
    QString lookDetail_;
    QString detail_;
    bool finished_ = false;
};

} // namespace miravon
