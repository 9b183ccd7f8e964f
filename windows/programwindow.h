#pragma once

#include "windowid.h"

#include <QWidget>

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

    // Closes the window as the program's own unload.
    void unloadByProgram();

protected:
    // A close request that is not the program's own unload (the user, the
    // window manager, the session). Return false to refuse it.
    virtual bool queryUnload() { return true; }
    // The window's unload code, run once its close went through.
    virtual void unloaded() {}

    void closeEvent(QCloseEvent* event) override;

private:
    Program& program_;
    WindowId id_;
    bool programUnload_ = false;
};

} // namespace miravon
