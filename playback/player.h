#pragma once

#include <QObject>
#include <QString>
#include "failure.h"
#include "streamaddress.h"

#include <functional>
#include <memory>

class QWidget;

namespace miravon {

// The media player control `manhinh` as every window uses it: one put, one
// call and two events. Windows know nothing else about playback; the engine's
// types never appear here.
//
// Contract:
// - setUrl() returns at once. The player drops what it was playing, opens the
//   address and plays it (auto-start is always on). Putting the same address
//   again opens it again.
// - close() stops playback and releases the stream; on an idle player it
//   changes nothing.
// - openStateChange / playStateChange are raised on every change of the open
//   and play state, with the classic control's state codes (see
//   playerstates.h). They are always delivered on the UI thread.
// - The signals after them tell the window what it may tell the user: which
//   stream plays, why playing failed, and what the user changed on the
//   player's own face (sound, volume, full screen).
class Player : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Player() override = default;

    // The player's face, to be placed in the window at the `manhinh`
    // rectangle. Owned by the player's parent widget once reparented.
    virtual QWidget* widget() = 0;

    virtual void setUrl(const QString& address) = 0;
    // As setUrl(address), asking for this address with `options` (a
    // referrer, a user agent); they apply to this address only, and the next
    // put without them asks plainly again. A player that cannot send them
    // opens the address plainly.
    virtual void setUrl(const QString& address, const StreamOptions& options)
    {
        (void)options;
        setUrl(address);
    }
    // Plays the first of `streams` that works, in order: when one fails,
    // the next is tried, and only when all have failed does the player fail,
    // with the most informative reason. streamPlaying() tells which plays.
    // A player that knows one stream only plays the first.
    virtual void play(const QList<StreamAddress>& streams)
    {
        if (!streams.isEmpty())
            setUrl(streams.first().url, streams.first().options);
    }
    virtual void close() = 0;

signals:
    void openStateChange(int newState);
    void playStateChange(int newState);
    // Of the streams given to play() (or the one of setUrl()), this one
    // plays.
    void streamPlaying(int index);
    // Playing failed for good (every stream was tried), for this reason.
    void playFailed(miravon::PlayFailure reason);
    // Changed on the player's face (its keys, bar or menu): the sound
    // muted or back, the volume (0 to 100), full screen entered or left.
    void mutedChanged(bool muted);
    void volumeChanged(int volume);
    void fullScreenChanged(bool fullScreen);
    // The user asked for the channel sources, from the player's face.
    void sourcesRequested();
};

// Makes the player of one window; `parent` is the window's client area.
using PlayerFactory = std::function<std::unique_ptr<Player>(QWidget* parent)>;

// The factory the windows use. Defaults to the real player; tests replace it
// with a recording double.
PlayerFactory& playerFactory();

} // namespace miravon
