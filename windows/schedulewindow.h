#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QListWidget;
class QMenu;

namespace miravon {

class Program;
class ProgramGuide;

// "Lịch phát sóng": a small window with the programmes of one channel for
// today and tomorrow, a heading for each day, the one on now marked (in
// its text, so that a screen reader says it too) and made the current
// item. It follows the guide as programmes begin and end. One for the
// program: opened for another channel, it shows that one.
class ScheduleWindow : public QWidget {
    Q_OBJECT
public:
    ScheduleWindow(ProgramGuide& guide, QWidget* parent = nullptr);

    // The entry (or list channel, catalogue::listWindow()) shown.
    void setChannel(const QString& window, const QString& control, const QString& name);
    QListWidget* list() const { return list_; }

private:
    void refresh();

    ProgramGuide& guide_;
    QString window_;
    QString control_;
    QString name_;
    QLabel* title_ = nullptr;
    QListWidget* list_ = nullptr;
};

// Opens (or raises) the program's schedule window on an entry's channel.
ScheduleWindow& showScheduleWindow(Program& program, const QString& window, const QString& control,
                                   const QString& name);
// The window, if it is open (tests).
ScheduleWindow* scheduleWindow();

// Adds "Lịch phát sóng" to an entry's (or list channel's) menu when a list
// channel stands for it.
void addScheduleItem(QMenu& menu, Program& program, const QString& window, const QString& control);

} // namespace miravon
