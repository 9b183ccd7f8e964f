#pragma once

#include "engineoptions.h"

#include <QLoggingCategory>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(lcPlayer)

namespace miravon {

// Call once, right after the QApplication exists and before any player
// opens an address: the engine needs the C numeric locale, and Qt resets the
// locale when the application object is made. It also sets how the heap
// gives freed memory back (see playback.cpp).
void initPlayback();

// Returns the free pages of every heap to the system. It walks the whole
// heap: call it off the UI thread, after something large has gone.
void releaseFreedMemory();

// Video and audio outputs handed to the engine. Empty means the default:
// video rendered into the player's own video surface, audio on the
// system's default device. "null" discards the output (headless runs).
// The environment variables MIRAVON_VO and MIRAVON_AO set them at start-up;
// the setters override them for players made afterwards. `extra` options
// are appended to every new engine's option list (tests use it to make an
// audio output that cannot open, for one).
//
// `hardwareDecoding`: decode on the machine's video hardware where it has
// any that works (copying the pictures back for the software drawing,
// keeping them on the GPU on the OpenGL path, videopath.h), and on the
// processor otherwise, as the engine decides for each file. The
// player setting player/hardware-decoding=no (settings.ini) or
// MIRAVON_HWDEC=no turns it off.
struct PlaybackOutputs {
    QString video;
    QString audio;
    EngineOptions extra = {};
    bool hardwareDecoding = true;
};
PlaybackOutputs playbackOutputs();
void setPlaybackOutputs(const PlaybackOutputs& outputs);

} // namespace miravon
