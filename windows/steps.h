#pragma once

#include "windowid.h"

#include <QLoggingCategory>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

Q_DECLARE_LOGGING_CATEGORY(lcNavigation)

namespace miravon {

class Program;

// Every command that moves the user around (menu commands, page buttons,
// chooser entries, the load and close code of some windows) is a fixed list
// of steps on named windows, kept as data in steptables.cpp and run here.
//
// Step notation, one step per comma-separated item:
//   "P on" / "P off"   set the Visible flag of panel P of the row's target window
//   "show W"           show window W (modeless, in front)
//   "hide W"           hide window W, keeping everything in it
//   "close W"          close the player of window W
//   "unload W"         close window W the program's own way; its close code runs
//   "confirm exit"     ask the exit confirmation; on No the rest of the row is skipped
//   "end"              end the program at once
// W is 1 to 6 for frmmain to frmmain6, M for frmphim, or a window's name.
// Any step that names a window not yet loaded loads it first.
struct Step {
    enum class Op { PanelOn, PanelOff, Show, Hide, ClosePlayer, Unload, ConfirmExit, End };
    Op op;
    WindowId window;
    QString panel; // PanelOn / PanelOff only
};
using StepList = std::vector<Step>;

// Parses `text` in the notation above; panels belong to `target`. Returns
// false and sets `error` on the first item it cannot read.
bool parseSteps(WindowId target, const QString& text, StepList& out, QString* error = nullptr);
QString describe(const Step& step);

enum class LoadFirst {
    No,
    // Load every window the list names, in order of first mention, before
    // the first step: the steps then meet no load-time change halfway.
    NamedWindows,
};

// Runs the steps in order. Stops when the program ends or the exit
// confirmation is answered No.
void runSteps(Program& program, const StepList& steps, LoadFirst loadFirst = LoadFirst::No);

// The step tables.
enum class StepTable {
    Load,       // window's load code, keyed by window ("" control)
    Close,      // window's close code, keyed by window ("" control)
    PageButton, // page buttons inside panels, keyed by window and button
    Chooser,    // controls of the country chooser, keyed by control
    Menu,       // menu commands, keyed by window and item
};

// The steps of a row, or nullptr if the table has no such row (the control
// then does nothing).
const StepList* findSteps(StepTable table, WindowId window, const QString& control);

struct RowKey {
    WindowId window;
    QString control;
};
// Every row of a table, in table order.
std::vector<RowKey> tableRows(StepTable table);
// Rows that could not be read, one message each; empty when every table is sound.
QStringList tableErrors();

// Where a page button (StepTable::PageButton, or the chooser's own page
// buttons) leads, as screen readers tell it after its caption: "Đến trang 2
// trên 5 (Mỹ)" within the pages it turns, or "Sang cửa sổ 2". Empty for a
// control that turns no page.
QString pageButtonDestination(WindowId window, const QString& control);

// Country chooser controls (`chonkenh`): country entries, its page buttons
// and its own close button. Unknown controls do nothing.
void runChooserControl(Program& program, const QString& control);
// Close code of a window, if its table row exists.
void runCloseSteps(Program& program, WindowId window);

// Asks the exit confirmation; true on Yes. The default shows the modal
// Yes/No message box; tests put their own answer here.
using ExitConfirmation = std::function<bool()>;
ExitConfirmation& exitConfirmation();

} // namespace miravon
