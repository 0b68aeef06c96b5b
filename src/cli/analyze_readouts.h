// SPDX-License-Identifier: GPL-3.0-or-later
// zorvane-cli analyze's readouts: --distortion [--fundamental HZ]
// [--weighting A] prints the distortion and noise figures averaged over every
// block analysed, and --bands KIND --csv OUT.csv writes the fractional-octave
// band levels (power-averaged over the same blocks) instead of the plot's
// numbers.
#pragma once

#include <iosfwd>
#include <string>

namespace CLI {
class App;
}

namespace zorvane {

class TZorvaneForm;

struct ReadoutOptions {
  bool Distortion = false;
  double FundamentalHz = 0.0;  // 0: the strongest tone
  std::string Weighting;       // "A", or empty for none
  std::string Bands;           // "octave", "third", "sixth", "twelfth", or empty
};

// Adds the options to the analyze command (after its --csv).
void AddReadoutOptions(CLI::App& analyze, ReadoutOptions& options);

// Before the run: the readouts average every block, with the options'
// fundamental, weighting and bands; without --distortion or --bands they
// measure nothing.
void PrepareReadouts(TZorvaneForm& form, const ReadoutOptions& options);

// After the run: the figures as NAME = VALUE lines on out (with a line on
// err when they cannot be trusted, saying why), the bands into csvPath.
// False, after saying why on err, when the file cannot be written.
bool ReportReadouts(TZorvaneForm& form, const ReadoutOptions& options, const std::string& csvPath,
                    std::ostream& out, std::ostream& err);

}  // namespace zorvane
