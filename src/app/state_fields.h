#pragma once

#include <string>

#include "app/app_state.h"

namespace zorvane {

// The value of a state field by its name (floats with 9 significant digits;
// the two source records as "SavedBoardFormat.SampleRate" and so on).
// Returns false for an unknown name.
bool StateFieldText(const AppState& state, const std::string& name, std::string& out);

}  // namespace zorvane
