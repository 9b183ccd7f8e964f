#pragma once

#include "importrunner.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace miravon {

// The sources window, in Vietnamese: where the channels' addresses come
// from (the public lists, each list the user added), when each was read and
// what it gave; updating now (with progress and cancel), adding a playlist
// file or address, taking back the last import, and the last import's
// report. Everything the import commands do, without a terminal. One window
// for the program; its jobs run on the shared ImportRunner.
class SourcesWindow : public QWidget {
    Q_OBJECT
public:
    SourcesWindow(ImportRunner& runner, QWidget* parent = nullptr);

    // The sources and the report, read again from the config folder.
    void refresh();
    // Where it reads from (tests); the user's config folder by default.
    void setConfigDir(const QString& dir);

    // Asks for a playlist address, then imports it (also used by tests
    // through addAddress()).
    void addAddress(const QString& address);
    void addFiles(const QStringList& files);

    QString message() const;
    // Adds a part of the window (the programme guides'), under the
    // sources' buttons; the window takes it.
    void addSection(QWidget* section);

private:
    void chooseFiles();
    void askAddress();
    void onStarted(ImportRunner::Job job);
    void onFinished(ImportRunner::Job job, const import::ImportOutcome& outcome);
    void onUndone(const import::UndoOutcome& outcome);
    void setBusy(bool busy);
    void say(const QString& text);

    ImportRunner& runner_;
    QString configDir_;
    QTreeWidget* sources_ = nullptr;
    QPlainTextEdit* report_ = nullptr;
    QLabel* message_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* update_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* addFile_ = nullptr;
    QPushButton* addAddress_ = nullptr;
    QPushButton* undo_ = nullptr;
};

// Opens (or raises) the program's one sources window.
SourcesWindow& showSourcesWindow(ImportRunner& runner);
// The window, if it is open (tests).
SourcesWindow* sourcesWindow();

} // namespace miravon
