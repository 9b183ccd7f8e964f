#include "navigation.h"

#include "steps.h"

namespace miravon {

void runLoadSteps(Program& program, WindowId window)
{
    if (const StepList* steps = findSteps(StepTable::Load, window, QString()))
        runSteps(program, *steps);
}

void runMenuCommand(Program& program, WindowId window, const QString& item)
{
    if (const StepList* steps = findSteps(StepTable::Menu, window, item)) {
        qCDebug(lcNavigation) << "menu" << windowName(window) << item;
        runSteps(program, *steps);
    }
}

void runPageButton(Program& program, WindowId window, const QString& button)
{
    if (window == WindowId::chonkenh) {
        runChooserControl(program, button);
        return;
    }
    if (const StepList* steps = findSteps(StepTable::PageButton, window, button)) {
        qCDebug(lcNavigation) << "page button" << windowName(window) << button;
        runSteps(program, *steps);
    }
}

} // namespace miravon
