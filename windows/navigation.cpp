#include "navigation.h"

namespace miravon {

void runLoadSteps(Program&, WindowId) {}
void runMenuCommand(Program&, WindowId, const QString&) {}
void runPageButton(Program&, WindowId, const QString&) {}

} // namespace miravon
