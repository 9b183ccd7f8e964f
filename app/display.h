#pragma once

#include <QtGlobal>

namespace miravon {

// Watches the creation of the GUI application. While it is held, messages of
// the platform plugin are kept back; if no display can be opened the process
// prints one line saying what is missing and what to do, and exits with
// status 1. release() hands the kept messages on and stops watching.
class DisplayGuard {
public:
    DisplayGuard();
    ~DisplayGuard();
    void release();

    DisplayGuard(const DisplayGuard&) = delete;
    DisplayGuard& operator=(const DisplayGuard&) = delete;

private:
    bool held_ = true;
};

} // namespace miravon
