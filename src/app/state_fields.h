#pragma once

#include <string>

#include "app/app_state.h"

namespace zorvane {

// The value of a state field by its name (floats with 9 significant digits;
// the two source records as "SavedBoardFormat.SampleRate" and so on).
// Returns false for an unknown name.
bool StateFieldText(const AppState& state, const std::string& name, std::string& out);

// One element of a work array of the state record, named "NAME[INDEX]"
// (SweepTracePixels, PreviousSweepPixels, SweepCalCorrection, DisplayValues,
// HoldSpectrum). Returns false with the reason in error for an unknown array,
// an index that is not a number or lies outside the array.
bool StateElementText(const AppState& state, const std::string& name, std::string& out,
                      std::string& error);

}  // namespace zorvane
