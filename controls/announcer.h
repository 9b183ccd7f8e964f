#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace miravon {

// What the program tells screen readers without being asked: the outcome of
// a key or a click (a channel opening, playing or failing and why, the
// player paused, muted or full screen, a list updated, the number found).
//
// Screen readers speak a status bar's change only when the user asks for
// the status bar; what they do speak unasked is a notification that
// appears. So each window that announces holds, in a hidden status bar of
// its own, a few notifications: announce() gives the next one the text and
// shows it to the accessibility layer, which tells the screen reader (on
// Linux, AT-SPI's showing state). A notification inside a status bar is
// read by its text alone, without the word "notification". Each
// announcement takes the next notification, so that one not yet read keeps
// its own text; a screen reader that falls behind reads the latest.
//
// Every outcome goes through here; tests watch announced().
class Announcer : public QObject {
    Q_OBJECT
public:
    static Announcer& instance();

    // Tells screen readers `text` now, from the window `context` lies in.
    // An empty text tells nothing.
    void announce(QWidget* context, const QString& text);

    // The last text announced from the window of `context`; empty when none.
    QString lastAnnounced(QWidget* context) const;

    // How many notifications a window keeps in turn.
    static constexpr int ring = 3;

signals:
    // After each announcement: the window it came from and what it said.
    void announced(QWidget* window, const QString& text);

private:
    Announcer() = default;
};

// Announcer::instance().announce(context, text).
void announce(QWidget* context, const QString& text);

} // namespace miravon
