#pragma once

#include <QObject>
#include <QTimer>

namespace miravon {

// Tells, once per player, that the engine could not open a sound device:
// a stream with a sound track that plays a moment without an audio output,
// or a file end that says the output failed.
class SoundWatch : public QObject {
    Q_OBJECT
public:
    explicit SoundWatch(QObject* parent = nullptr);

    void setTrack(bool hasAudio) { track_ = hasAudio; }
    void setOutput(bool open) { output_ = open; }
    // Playback (re)started: look a moment later.
    void started();
    void stop() { look_.stop(); }
    // The engine said the output could not be opened.
    void outputFailed() { tell(); }

signals:
    void noSound();

private:
    void tell();

    QTimer look_;
    bool track_ = false;
    bool output_ = false;
    bool told_ = false;
};

} // namespace miravon
