// SPDX-License-Identifier: GPL-3.0-or-later
// zorvane-cli measure: one log sweep measurement, its numbers in files; and
// zorvane-cli playrec: a WAV file played through the same full duplex while
// the input records (for measuring with other tools).
#pragma once

#include <ostream>
#include <string>

#include "measure/log_sweep.h"

namespace zorvane {

struct DuplexChoice {
  std::string Audio;  // the --audio option ("" when not given)
  std::string OutputDevice, InputDevice;
};

struct MeasureCliOptions {
  DuplexChoice Devices;
  SweepSettings Settings;
  std::string Csv, Frd, Impulse, Distortion;
};

// Exit status: 0 measured and written, 1 refused or failed, 2 no sound card.
// With `terminal`, a progress bar on `err`.
int RunMeasure(const MeasureCliOptions& options, std::ostream& out, std::ostream& err,
               bool terminal);

// Plays the mono (or first) channel of `in` at its rate and writes what the
// input records meanwhile, as long plus the devices' latency, to `out` as a
// 32-bit float WAV.
int RunPlayRecord(const DuplexChoice& devices, const std::string& in, const std::string& out,
                  std::ostream& report, std::ostream& err);

}  // namespace zorvane
