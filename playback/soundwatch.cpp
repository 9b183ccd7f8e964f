#include "soundwatch.h"

#include "playback.h"

namespace miravon {

SoundWatch::SoundWatch(QObject* parent)
    : QObject(parent)
{
    look_.setSingleShot(true);
    look_.setInterval(1000);
    connect(&look_, &QTimer::timeout, this, [this] {
        // Playing with a sound track but no audio output: the device could
        // not be opened.
        if (track_ && !output_)
            tell();
    });
}

void SoundWatch::started()
{
    if (!told_)
        look_.start();
}

void SoundWatch::tell()
{
    if (told_)
        return;
    told_ = true;
    qCDebug(lcPlayer) << "no audio output: playing without sound";
    emit noSound();
}

} // namespace miravon
