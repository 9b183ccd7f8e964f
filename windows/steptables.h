#pragma once

#include "steps.h"

#include <span>

namespace miravon {

// One row of a step table as written: the control it belongs to, the window
// whose panels its panel steps set, then its panel steps and its window steps
// in the notation of steps.h, each in the order they run.
struct StepRow {
    WindowId window;     // window the control lives on (chonkenh for the chooser)
    const char* control; // "" for a window's load or close code
    WindowId target;     // window of the panel steps
    const char* panels;  // panel steps only
    const char* windows; // window steps only
};

std::span<const StepRow> stepRows(StepTable table);

} // namespace miravon
