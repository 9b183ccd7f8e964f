#include "playback.h"

#include <clocale>

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
}

PlaybackOutputs playbackOutputs() { return outputs(); }

void setPlaybackOutputs(const PlaybackOutputs& value) { outputs() = value; }

} // namespace miravon
