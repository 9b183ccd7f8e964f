#pragma once

#include "windowid.h"

#include <QString>

namespace miravon {

class Program;

// The fixed step lists of the program's commands, run against the lazily
// created windows of `program`.

// Load code of a window beyond its placement (panel changes at load).
void runLoadSteps(Program& program, WindowId window);
// A menu item of a window's menu bar, by item name (`soft`, `thegioi`, ...).
void runMenuCommand(Program& program, WindowId window, const QString& item);
// A page button inside a panel, by control name (unique within its window).
void runPageButton(Program& program, WindowId window, const QString& button);

} // namespace miravon
