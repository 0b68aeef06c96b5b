// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace zorvane {

// Writes the generator's loop for the waveform ("sine", "square", "triangle",
// "noise") at freq Hz, repeated to fill the given seconds, as a 16-bit mono
// 44,100 Hz WAV file. On failure returns false with a message in *error.
bool WriteToneFile(const std::string& waveform, float freq, double seconds, const std::string& path,
                   std::string* error);

}  // namespace zorvane
