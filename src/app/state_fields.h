// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "app/app_state.h"

namespace zorvane {

// The value of a state field by its name (floats with 9 significant digits;
// the two source records as "SavedBoardFormat.SampleRate" and so on).
// Returns false for an unknown name.
bool StateFieldText(const AppState& state, const std::string& name, std::string& out);

// One element of a work array of the state record, named "NAME[INDEX]"
// (DisplayValues, HoldSpectrum, Spectrum, TracePixels, SweepTracePixels,
// PreviousSweepPixels, SweepCalCorrection). Returns false with `error` set
// for an unknown array or an index outside it.
bool StateArrayElementText(const AppState& state, const std::string& expression, std::string& out,
                           std::string& error);

}  // namespace zorvane
