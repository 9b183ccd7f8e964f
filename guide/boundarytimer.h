#pragma once

#include "guide.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <functional>

namespace miravon::guide {

// Tells when what is on changes: armed to the guide's next programme
// boundary, so that what is shown follows without a restart. Waits at most
// a minute at a time and looks at the clock again, so that a changed clock
// or a machine waking from sleep is caught up with within a minute.
class BoundaryTimer : public QObject {
    Q_OBJECT
public:
    // UTC now; the system's clock when empty (tests give their own).
    using Clock = std::function<QDateTime()>;
    explicit BoundaryTimer(Clock clock = {}, QObject* parent = nullptr);

    void setGuide(const Guide& guide);
    // The boundary the timer waits for; invalid when none.
    QDateTime armedFor() const { return boundary_; }

signals:
    // A programme began or ended on some channel.
    void passed();

private:
    void arm();
    void check();

    Clock clock_;
    Guide guide_;
    QDateTime boundary_;
    QTimer timer_;
};

} // namespace miravon::guide
