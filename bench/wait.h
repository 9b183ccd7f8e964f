#pragma once
// Waits on the event loop (no spinning) for a signal, with a bound.

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace miravon::bench {

// Runs the event loop until `signal` of `sender` or `ms` pass; true on the signal.
template <typename Sender, typename Signal>
bool waitFor(Sender* sender, Signal signal, int ms)
{
    QEventLoop loop;
    bool fired = false;
    const auto c = QObject::connect(sender, signal, &loop, [&] { fired = true; loop.quit(); });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(c);
    return fired;
}

// Runs the event loop for `ms`.
inline void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace miravon::bench
