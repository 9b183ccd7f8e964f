#pragma once

// The player tests' one way to make a real player: in a host widget of the
// test, with the test's no-progress bound (short, so that a silent server
// fails the test's case in time rather than after the default 20 s).

#include "mpvplayer.h"

#include <QWidget>

#include <memory>

inline std::unique_ptr<miravon::MpvPlayer> makePlayer(QWidget* host, int noProgressMs)
{
    auto p = std::make_unique<miravon::MpvPlayer>(host);
    p->setNoProgressTimeout(noProgressMs);
    return p;
}
