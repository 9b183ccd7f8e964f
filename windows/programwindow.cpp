#include "programwindow.h"

#include "program.h"

#include <QCloseEvent>

namespace miravon {

ProgramWindow::ProgramWindow(Program& program, WindowId id)
    : QWidget(nullptr, Qt::Window)
    , program_(program)
    , id_(id)
{
    setObjectName(windowName(id));
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void ProgramWindow::unloadByProgram()
{
    programUnload_ = true;
    close();
    programUnload_ = false;
}

void ProgramWindow::closeEvent(QCloseEvent* event)
{
    // While the program ends, windows go without their close handling.
    if (program_.ending()) {
        event->accept();
        return;
    }
    if (!programUnload_ && !queryUnload()) {
        event->ignore();
        return;
    }
    event->accept();
    unloaded();
    // Unload code that ends the program keeps the window until the end.
    if (!program_.ending())
        program_.forget(this);
}

} // namespace miravon
