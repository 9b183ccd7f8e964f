#pragma once

#include <QLabel>
#include <QString>

namespace miravon {

class ProgramGuide;

// The line of a viewer window that says what is on the channel playing
// ("Đang phát 20:00–21:00 Thời sự · Tiếp theo 21:00 Phim truyện"). It lies
// under the status line, never over it: what the status line says of a
// failure or of the player's state stays readable. Shown only while a
// channel with a guide plays, and follows the guide as programmes begin
// and end.
class OnAirLine : public QLabel {
    Q_OBJECT
public:
    OnAirLine(ProgramGuide& guide, QWidget* parent);

    // The entry (or list channel) given to the player; it is not yet
    // playing.
    void follow(const QString& window, const QString& control);
    // Whether it plays now (a stream began; it failed or ended).
    void setPlaying(bool playing);

private:
    void refresh();

    ProgramGuide& guide_;
    QString window_;
    QString control_;
    bool playing_ = false;
};

} // namespace miravon
