#pragma once

#include "windowid.h"

#include "catalogue.h"
#include "kept.h"

#include <QHash>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <functional>
#include <optional>

namespace miravon {

namespace import {
class ChannelListPolicy;
}

class EntryIndex;
class ImportRunner;
class ProgramGuide;
class ProgramWindow;
class ViewerWindow;

// The program's twelve windows. Each is a single instance, created and
// loaded the first time anything refers to it (showing or hiding it, setting
// one of its panels, closing its player, reading its position); its load code
// runs then, once, before the referring step takes effect.
//
// Every step that names a window goes through here, so the load-before-step
// rule holds everywhere.
class Program : public QObject {
    Q_OBJECT
public:
    // `onEnd` is called once when the program ends; by default it quits the
    // application's event loop. Tests pass their own.
    using EndHook = std::function<void()>;
    explicit Program(EndHook onEnd = {}, QObject* parent = nullptr);
    ~Program() override;

    // The catalogue of this run, read as the program is made: every window
    // builds its entries from it, and an import changes it in place.
    catalogue::RunningCatalogue& catalogue() { return catalogue_; }
    // The program's imports, one at a time; an import that changes the
    // address files has the catalogue read again.
    ImportRunner& imports() { return *imports_; }
    // What is done about the public channel lists: the offer, the user's
    // answer, the weekly update.
    import::ChannelListPolicy& channelLists() { return *channelLists_; }
    // What is on the channels that have a programme guide; begun with the
    // first viewer window shown after start().
    ProgramGuide& guide() { return *guide_; }
    // The stream that last played for each entry, across runs.
    PlayedStreams& playedStreams() { return playedStreams_; }
    // What the find box searches: every entry and film, made at the first
    // find and kept up to date with the catalogue.
    EntryIndex& entryIndex();
    // The entries played last and the favourites, across runs; read at the
    // first use. An entry the catalogue no longer has is dropped.
    KeptEntries& kept();
    // What went wrong reading one of the kept files (`file` is
    // KeptEntries::recentFile() or favouritesFile()), told once: empty
    // after the first call, and when nothing did.
    QString takeKeptNotice(const QString& file);
    // True for the first viewer window shown after start() (the
    // hand-over), once: it is the one to offer the public lists; the weekly
    // update of the lists, once the user said yes, is started then too,
    // and what start() found wrong with the user's files is said over
    // `shown`. Windows shown without start() (tests) offer nothing.
    bool firstViewerShown(QWidget* shown = nullptr);

    // The window the country chooser is opened over (its menu command's).
    WindowId chooserOpener() const { return chooserOpener_; }
    void setChooserOpener(WindowId id) { chooserOpener_ = id; }

    // The window, created and loaded on this first reference.
    ProgramWindow& window(WindowId id);
    // The seven windows with a player.
    ViewerWindow& viewer(WindowId id);
    // The window if it is loaded now; never loads it.
    ProgramWindow* loadedWindow(WindowId id) const;
    bool isLoaded(WindowId id) const { return loadedWindow(id) != nullptr; }

    // Steps on named windows; each loads the window first.
    void show(WindowId id);
    void hide(WindowId id);
    void closePlayer(WindowId id);
    void setPanelVisible(WindowId id, const QString& panel, bool visible);
    // The whole window, frame included (ProgramWindow::outerGeometry()).
    QRect outerGeometry(WindowId id);
    QPoint position(WindowId id) { return outerGeometry(id).topLeft(); }

    // The program's own unload of a window: its close request passes and its
    // unload code runs. The next reference creates it anew.
    void unload(WindowId id);

    // Loads and shows the start window.
    void start();

    // Ends the whole program at once: every window goes, no close handling of
    // any window runs, and `onEnd` is called.
    void endProgram();
    bool ending() const { return ending_; }

signals:
    void windowLoaded(miravon::WindowId id);
    void windowUnloaded(miravon::WindowId id);
    void ended();

private:
    friend class ProgramWindow;
    // Called by a window whose close went through.
    void forget(ProgramWindow* window);

    catalogue::RunningCatalogue catalogue_;
    ImportRunner* imports_;
    import::ChannelListPolicy* channelLists_;
    ProgramGuide* guide_;
    PlayedStreams playedStreams_;
    EntryIndex* entryIndex_ = nullptr;
    std::optional<KeptEntries> kept_;
    QHash<QString, QString> keptNotices_;
    // What start() found wrong with the settings and the user's address
    // file, said once in the first viewer window.
    QStringList startNotices_;
    bool started_ = false;
    WindowId chooserOpener_ = WindowId::frmmain;
    bool viewerShown_ = false;
    QHash<WindowId, ProgramWindow*> windows_;
    EndHook onEnd_;
    bool ending_ = false;
};

} // namespace miravon
