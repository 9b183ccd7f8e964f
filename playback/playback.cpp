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
    static PlaybackOutputs value{qEnvironmentVariable("MIRAVON_VO"), qEnvironmentVariable("MIRAVON_AO"), {},
                                 qEnvironmentVariable("MIRAVON_HWDEC") != QLatin1String("no")};
    return value;
}
// Memory an engine freed must go back to the system when the engine goes.
// The allocator's defaults keep it instead: after the first large buffer is
// freed they raise the size from which blocks are mapped on their own (up to
// 32 MiB) and the size a per-thread heap must reach before its top is
// returned (up to 64 MiB), so a decoder's frames and a demuxer's packets end
// up in heaps that are never trimmed; and each of the engine's threads may
// get a heap of its own (up to eight per core). Fixed thresholds and four
// heaps keep seven played-and-closed players within a few MiB of one idle
// one (bench_player_memory), at the price of a mapping per large buffer.
void tuneAllocator()
{
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    mallopt(M_TRIM_THRESHOLD, 128 * 1024);
    mallopt(M_ARENA_MAX, 4);
#endif
}
} // namespace

void initPlayback()
{
    std::setlocale(LC_NUMERIC, "C");
    tuneAllocator();
    (void)outputs();
}

void releaseFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

PlaybackOutputs playbackOutputs() { return outputs(); }

void setPlaybackOutputs(const PlaybackOutputs& value) { outputs() = value; }

} // namespace miravon
