// SPDX-License-Identifier: GPL-3.0-or-later
// The numbers behind the plot as CSV: one row per display point (frequency
// in Hz and level in dB as the scale shows it), per transform bin, per sweep
// point, or, in the time display, time in ms and value.
#pragma once

#include <string>

namespace zorvane {

class TZorvaneForm;
struct AppState;

// The level in dB that a height in plot pixels above the baseline, or a
// display value, reads on the vertical scale (as the labels count it).
double PlotLevelOfHeight(const AppState& state, double pixels);
double PlotLevelOfValue(const AppState& state, float value);

// The CSV of what the plot shows now; with perBin, one row per transform
// bin of the spectrum instead of per display point.
std::string PlotDataCsv(TZorvaneForm& form, bool perBin);

// Writes PlotDataCsv to path; false (and why in *error) when it cannot.
bool WritePlotDataCsv(TZorvaneForm& form, const std::string& path, bool perBin, std::string* error);

}  // namespace zorvane
