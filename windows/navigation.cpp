#include "navigation.h"

#include "steps.h"

#include "chooserwindow.h"
#include "program.h"

namespace miravon {

void runLoadSteps(Program& program, WindowId window)
{
    if (const StepList* steps = findSteps(StepTable::Load, window, QString()))
        runSteps(program, *steps);
}

void runMenuCommand(Program& program, WindowId window, const QString& item)
{
    const StepList* steps = findSteps(StepTable::Menu, window, item);
    if (!steps)
        return;
    qCDebug(lcNavigation) << "menu" << windowName(window) << item;
    // The chooser is placed from the window it is opened over.
    const bool chooser = item == QLatin1String("thegioi");
    if (chooser)
        program.setChooserOpener(window);
    runSteps(program, *steps);
    if (chooser && program.isLoaded(WindowId::chonkenh))
        static_cast<ChooserWindow&>(program.window(WindowId::chonkenh)).standBeside(window);
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
