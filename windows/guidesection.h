#pragma once

#include "guideservice.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace miravon {

class Program;
class SourcesWindow;

// The sources window's part on programme guides: every guide in use (the
// user's own, then those the lists name), when each was read, how many of
// the lists' channels and programmes it gave, and why not when it failed;
// adding a guide address (http(s), or a .xml / .xml.gz file of this
// computer), removing one the user added, reading one again now.
class GuideSection : public QWidget {
    Q_OBJECT
public:
    explicit GuideSection(guide::GuideService& service, QWidget* parent = nullptr);

    // Adds what is typed (or given), saying why not when it cannot be.
    bool add(const QString& address);
    QString message() const;
    QTreeWidget* guides() const { return guides_; }

private:
    void showStates(const QList<guide::SourceState>& states);
    void chooseFile();
    void removeChosen();
    void refreshChosen();
    void say(const QString& text);

    guide::GuideService& service_;
    QTreeWidget* guides_ = nullptr;
    QLineEdit* address_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* refresh_ = nullptr;
    QLabel* message_ = nullptr;
};

// Opens (or raises) the sources window, with its guide section; the
// program's guide is begun if it was not.
SourcesWindow& openSourcesWindow(Program& program);

} // namespace miravon
