// SPDX-License-Identifier: GPL-3.0-or-later
// A measurement on the sound devices: the sweep train played through full
// duplex while the recording runs, the platform's messages pumped meanwhile
// (so that a STOP, a script command or a repaint runs nested, as in every
// other long loop of the instrument), then the repeats averaged and analysed.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "measure/log_sweep.h"
#include "measure/sweep_analysis.h"
#include "platform/duplex.h"
#include "platform/platform.h"

namespace zorvane {

enum class MeasureOutcome { Done, Stopped, Failed };

struct MeasureHooks {
  std::function<bool()> StopRequested;   // polled after every wait
  std::function<void(double)> Progress;  // the fraction recorded, 0..1
};

// How long the recording may stand still before the device counts as failed.
constexpr int64_t kDuplexStallUs = 3'000'000;

// Plays `play` and records it plus the devices' reported latency (returned
// in `latency`) into `record`. Failed with a message naming the problem.
MeasureOutcome PlayAndRecord(Platform& platform, FullDuplex& duplex, uint32_t rate,
                             const std::vector<float>& play, const MeasureHooks& hooks,
                             std::vector<float>& record, size_t& latency, std::string& error);

// The whole measurement with checked or unchecked settings (bad ones fail
// with the check's message before any sound is made).
MeasureOutcome MeasureSweep(Platform& platform, FullDuplex& duplex, const SweepSettings& settings,
                            const MeasureHooks& hooks, SweepResult& result, std::string& error);

// The repeats of a recording averaged into one period: repeat r starts at
// `start` + r periods.
std::vector<float> AverageRepeats(const std::vector<float>& record, size_t start, size_t period,
                                  int repeats);

}  // namespace zorvane
