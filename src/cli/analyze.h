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
  int Blocks = 0;                     // blocks to analyse; 0 with All false: one (SINGLE)
  bool All = false;                   // to the end of the data
  std::string Png, Bmp, Csv;
  bool Bins = false;            // CSV per transform bin
  bool DrawEveryFrame = false;  // draw every block's frame, as the window does
  ReadoutOptions Readouts;      // distortion figures and band levels
};

// Runs the file through the instrument's own handlers on a virtual clock
// (file source, SINGLE or START, the renderer), prints the peak frequency on
// out, writes the last frame's image and numbers. Messages the window would
// show go to err; returns the exit status (0, or 1 for a bad file or
// option). With progress, a progress bar is drawn on err while --all runs.
int RunAnalyze(const AnalyzeOptions& options, std::ostream& out, std::ostream& err, bool progress);

}  // namespace zorvane
