// SPDX-License-Identifier: GPL-3.0-or-later
// A measurement's numbers as files other programs read. Each file is written
// beside its final name and renamed into place once complete, so a failure
// leaves no partial file (and an older file of that name as it was).
//
//   CSV          frequency_hz,magnitude_db,phase_deg
//   distortion   frequency_hz,h2_db,h3_db,h4_db,h5_db,thd_db ("nan" where a
//                harmonic lies above the sweep's end)
//   FRD          frequency, magnitude (dB), phase (degrees), "*" comments
//   impulse      32-bit float WAV, mono, at the measurement's rate
#pragma once

#include <string>

#include "measure/sweep_analysis.h"

namespace zorvane {

enum class MeasureFile { Csv, Distortion, Frd, Impulse };

// False with a message naming the file and the problem.
bool WriteMeasureFile(const SweepResult& result, MeasureFile kind, const std::string& path,
                      std::string& error);

// A number printed with a printf format for one double: "nan" for a
// not-a-number, and no minus sign on a value that prints as zero.
std::string FormatNumber(const char* format, double v);

// The kind named by a word: csv, distortion, frd or ir; false for others.
bool MeasureFileFromName(const std::string& word, MeasureFile& kind);

}  // namespace zorvane
