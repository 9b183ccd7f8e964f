#pragma once

#include "windowid.h"

#include <QMargins>
#include <QPointer>
#include <QStringList>
#include <QWindow>
#include <QTimer>
#include <QWidget>
#include <optional>

namespace miravon {

class Program;

// Base of the twelve windows: knows its name and its program, runs its load
// code once, and sorts close requests into the program's own unload (always
// passes) and any other (the window may refuse it).
class ProgramWindow : public QWidget {
    Q_OBJECT
public:
    ProgramWindow(Program& program, WindowId id);

    WindowId id() const { return id_; }
    Program& program() const { return program_; }

    // Load code: runs once, right after creation, before the step that
    // referred to the window.
    virtual void load() {}

    // The panels the window shows now (a viewer window's); none by default.
    virtual QStringList visiblePanels() const { return {}; }

    // Closes the window as the program's own unload.
    void unloadByProgram();

    // Places the whole window, frame included, with its top-left corner at
    // `at` on the screen. The window manager is asked to put the frame
    // there; once the window is first on screen, where its frame really
    // stands is checked and put right (a window manager may have placed the
    // client area there, or the frame may have been unknown until mapping).
    void placeOuter(const QPoint& at);
    // The whole window, frame included: where it stands while shown, where it
    // last stood once hidden, and where it will stand before it was ever shown
    // (with the frame the window manager drew around earlier windows).
    QRect outerGeometry() const;

    void setVisible(bool visible) override;

protected:
    // A close request that is not the program's own unload (the user, the
    // window manager, the session). Return false to refuse it.
    virtual bool queryUnload() { return true; }
    // The window's unload code, run once its close went through.
    virtual void unloaded() {}

    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    // Reads the window's place from the window system and finishes a pending
    // placement.
    void settle();
    // Starts checking that the frame's corner comes to stand at `at`.
    void arm(const QPoint& at);
    // Follows the window's native window, which Qt may make anew.
    void watch();

    // A pending placement gives up after this many corrections, so that a
    // window manager that refuses the position cannot keep the window moving.
    static constexpr int maxCorrections = 3;

    // Where the frame's corner must go, while that is not yet checked.
    std::optional<QPoint> target_;
    // Where the frame stood when the last correction was asked for: the next
    // one waits until the window system has answered that one.
    std::optional<QPoint> correctedFrom_;
    int corrections_ = 0;
    // A correction the window system never carries out is given up after a
    // while, so that a later move by the user is never undone.
    QTimer giveUp_;
    bool onScreenOnce_ = false;
    bool placed_ = false;
    QPointer<QWindow> watched_;
    QRect lastOuter_;
    Program& program_;
    WindowId id_;
    bool programUnload_ = false;
};

} // namespace miravon
