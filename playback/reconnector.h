#pragma once

#include <QObject>
#include <QTimer>

namespace miravon {

// Reconnection of a dropped live stream: a few attempts per outage, the
// delay doubling at each; a stream that plays again for a while counts as
// won back, and a later drop starts a new round.
class Reconnector : public QObject {
    Q_OBJECT
public:
    explicit Reconnector(QObject* parent = nullptr);

    // Attempts per outage, and the first delay.
    void setPolicy(int attempts, int firstDelayMs);
    // How long a stream must play again to count as won back.
    void setSteadyAfter(int ms) { steady_.setInterval(ms); }

    // A new address: no outage, no attempt made.
    void reset();
    // The stream dropped: true when an attempt follows (attempt() after the
    // delay), false when this outage has used its attempts up.
    bool dropped();
    // The stream plays: an outage is over; a live one that plays on for
    // the steady time is won back, and a later drop starts a new round.
    void playing(bool live);
    bool inOutage() const { return outage_; }

signals:
    void attempt();
    // A live stream played on for the steady time after a drop: the next
    // drop starts a new round.
    void wonBack();

private:
    QTimer retry_;
    QTimer steady_;
    int attempts_ = 3;
    int firstDelayMs_ = 1000;
    int made_ = 0;
    bool outage_ = false;
};

} // namespace miravon
