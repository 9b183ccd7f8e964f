#include "playback.h"

#include <clocale>

#ifdef __GLIBC__
#include <malloc.h>
#endif

Q_LOGGING_CATEGORY(lcPlayer, "miravon.player", QtWarningMsg)

namespace miravon {

namespace {
PlaybackOutputs& outputs()
{
    static PlaybackOutputs value{qEnvironmentVariable("MIRAVON_VO"), qEnvironmentVariable("MIRAVON_AO")};
    return value;
}
} // namespace

void initPlayback()
{
    std::setlocale(LC_NUMERIC, "C");
    (void)outputs();
#ifdef __GLIBC__
    // An engine runs dozens of threads, and the allocator gives threads
    // arenas of their own (up to eight per core); what an engine frees in
    // them, and large blocks once the allocator has raised its mmap
    // threshold, stays with the process after the engine is gone. With
    // two arenas and a fixed threshold, a player that gives its engine back
    // gives its memory back too.
    mallopt(M_ARENA_MAX, 2);
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    mallopt(M_TRIM_THRESHOLD, 128 * 1024);
#endif
}

PlaybackOutputs playbackOutputs() { return outputs(); }

void setPlaybackOutputs(const PlaybackOutputs& value) { outputs() = value; }

} // namespace miravon
