#pragma once

#include "failure.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

namespace miravon {

class Player;
class LabelUni;

// The two messages a window's status line receives from its own player.
// Stored in VNI notation; the flagged status label shows them converted.
inline constexpr char connectingMessage[] =
    "D9ang ke61t no61i d9e61n ke6nh ba5n ye6u ca62u .. vui lo2ng d9o75i gia6y la1t";
inline constexpr char loadingMessage[] =
    "(^_^)::: D9ang ta3i hi2nh a3nh tu72 ke6nh na2y -- Vui lo2ng d9o75i gia6y la1t d9e63 tri2nh chie61u ::: (^_^)";

// Every open-state event writes the connecting message, every play-state
// event the loading message; but a failure (the play state Ready a failed
// player falls back to) puts back the text the line had at start, so that
// the line never says "loading" while the picture says the channel failed.
// Nothing else writes it.
void bindStatusLine(Player& player, LabelUni& status);

// What a window's player does, told to screen readers as it happens
// (announcer.h), so that the outcome of every click and key is heard: the
// entry being opened, playing, or failing and why (an entry without an
// address says where it gets one, a film as a film); the player paused,
// playing again, stopped, at its end; its sound off or back, its volume,
// full screen. Made by the window, which tells it what it hands the player.
class PlayerOutcomes : public QObject {
    Q_OBJECT
public:
    PlayerOutcomes(Player& player, QWidget& window);

    // The entry about to be handed to the player: its caption as the user
    // reads it, whether it is a film, how many of its streams can play
    // (none: it has no address yet).
    void opening(const QString& caption, bool film, int playable);

    // The texts said.
    static QString openingText(const QString& caption);
    static QString playingText(const QString& caption, int stream, int streams);
    static QString failedText(const QString& caption, bool film, PlayFailure reason);
    static QString noAddressText(const QString& caption, bool film);

private:
    void say(const QString& text);
    void onPlayState(int state);

    QPointer<QWidget> window_;
    QString caption_;
    bool film_ = false;
    int streams_ = 1;
    bool paused_ = false;
    bool playing_ = false;
};

} // namespace miravon
