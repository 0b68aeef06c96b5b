// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <iosfwd>
#include <string>

#include "cli/analyze_readouts.h"

namespace zorvane {

// zorvane-cli analyze: a WAV file through the analyzer without a window.
struct AnalyzeOptions {
  std::string File;
  int Size = 0;                       // 1024..8192; 0 keeps the instrument's
  std::string Channel;                // "mono", "left", "right"; empty keeps the file's
  std::string Display = "frequency";  // "frequency", "waterfall", "time"
  std::string Hold = "normal";        // "normal", "average", "peak"
  int Average = 0;                    // blocks in the average (2, 4, 6, 8, 10, 20, 40); 0 keeps 20
  int Blocks = 0;                     // blocks to analyse; 0 with All false: one
  bool All = false;                   // to the end of the data
  int Overlap = 0;                    // percent of a block the next one shares: 0, 50 or 75
  std::string Png, Bmp, Csv;
  bool Bins = false;            // CSV per transform bin
  bool DrawEveryFrame = false;  // draw every block's frame, as the window does
  ReadoutOptions Readouts;      // distortion figures and band levels
};

// Opens the file through the instrument's own handlers and settings, then
// analyses its data in consecutive blocks of the transform size (sharing
// Overlap percent with the one before; a rest shorter than the step is
// taken by one more block that ends with the data), every block through the
// processing cycle's analysis; prints the peak frequency and the blocks and
// samples covered on out, writes the last frame's image and numbers.
// Messages the window would show, and a file that cannot be read to its
// end, go to err; returns the exit status (0, or 1 for a bad file or
// option). With progress, a progress bar is drawn on err while --all runs.
int RunAnalyze(const AnalyzeOptions& options, std::ostream& out, std::ostream& err, bool progress);

}  // namespace zorvane
