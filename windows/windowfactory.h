#pragma once

#include "windowid.h"

namespace miravon {

class Program;
class ProgramWindow;

// Creates (does not load) the window of that name. The program calls it on
// the first reference to the window.
ProgramWindow* createWindow(Program& program, WindowId id);

} // namespace miravon
