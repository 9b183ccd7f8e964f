#pragma once

#include <QFrame>

class QLabel;
class QPushButton;

namespace miravon {

// Over the movie window's picture, when a film without an address was
// chosen: films are not channels, so it says so as a film and offers
// "Đặt địa chỉ…" (the film's own address), not the channel lists. It goes
// when another film is chosen, or by "Đóng".
class FilmNotice : public QFrame {
    Q_OBJECT
public:
    // Covers `picture` (a sibling: the player's face), under `above`
    // (the status line, which stays readable).
    FilmNotice(QWidget* picture, QWidget* above);

    void showFor(const QString& film);
    QString text() const;
    static QString textFor(const QString& film);

signals:
    // "Đặt địa chỉ…" was pressed.
    void setAddressRequested();

private:
    QWidget* picture_;
    QWidget* above_;
    QLabel* text_;
    QPushButton* setAddress_;
};

} // namespace miravon
