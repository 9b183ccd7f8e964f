#pragma once

#include "importrunner.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QNetworkAccessManager;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace miravon {

class Fetch;
class StatusText;

// The sources window, in Vietnamese: where the channels' addresses come
// from (the public lists, each list the user added), when each was read and
// what it gave; the public lists' address ({code} standing for a country's
// code), to see, change, try ("Thử" fetches one list) and set back to the
// default; updating now (with progress, what it waits for, and cancel), the
// last update tried and what it came to, even when it changed nothing;
// adding a playlist file or address, taking back the last import, and the
// last import's report. Everything the import commands do, without a
// terminal or a settings file edited by hand. One window for the program;
// its jobs run on the shared ImportRunner. Esc closes it; what it says is
// told to screen readers.
class SourcesWindow : public QWidget {
    Q_OBJECT
public:
    SourcesWindow(ImportRunner& runner, QWidget* parent = nullptr);
    ~SourcesWindow() override;

    // The sources and the report, read again from the config folder.
    void refresh();
    // Where it reads from (tests); the user's config folder by default.
    void setConfigDir(const QString& dir);

    // Imports a playlist address; an address with {code} in it is the
    // public lists' address instead: it is kept as such and the lists are
    // updated from it.
    void addAddress(const QString& address);
    void addFiles(const QStringList& files);

    QString message() const;
    // Adds a part of the window (the programme guides'), under the
    // sources' buttons; the window takes it.
    void addSection(QWidget* section);
    // The line about the last update tried.
    QString lastAttempt() const;
    QLineEdit* templateField() const { return template_; }
    QString templateResult() const;

    // "Thử", "Lưu địa chỉ" and "Mặc định" of the public lists' address.
    // False, and said, when the address cannot be used.
    bool tryTemplate();
    bool saveTemplate();
    void resetTemplate();

    // The code of the list "Thử" fetches.
    static QString tryCode();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void chooseFiles();
    void askAddress();
    void onStarted(ImportRunner::Job job);
    void onFinished(ImportRunner::Job job, const import::ImportOutcome& outcome);
    void onUndone(const import::UndoOutcome& outcome);
    void setBusy(bool busy);
    void say(const QString& text);
    void sayTemplate(const QString& text);
    // The typed template when it can be used; else says why and returns
    // an empty text.
    QString typedTemplate();
    void fitOnScreen();

    ImportRunner& runner_;
    QString configDir_;
    QTreeWidget* sources_ = nullptr;
    QPlainTextEdit* report_ = nullptr;
    StatusText* message_ = nullptr;
    QLabel* lastAttempt_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* waiting_ = nullptr;
    QLineEdit* template_ = nullptr;
    StatusText* templateResult_ = nullptr;
    QPushButton* tryTemplate_ = nullptr;
    QPushButton* saveTemplate_ = nullptr;
    QPushButton* defaultTemplate_ = nullptr;
    QPushButton* update_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* addFile_ = nullptr;
    QPushButton* addAddress_ = nullptr;
    QPushButton* undo_ = nullptr;
    QNetworkAccessManager* network_ = nullptr;
    Fetch* trying_ = nullptr;
    bool placed_ = false;
};

// Opens (or raises) the program's one sources window.
SourcesWindow& showSourcesWindow(ImportRunner& runner);
// The window, if it is open (tests).
SourcesWindow* sourcesWindow();

} // namespace miravon
