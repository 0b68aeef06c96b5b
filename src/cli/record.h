// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "platform/platform.h"
#include "platform/wave.h"

namespace zorvane {

struct RecordSettings {
  double Seconds = 1.0;
  uint32_t Rate = 44100;
  uint16_t Channels = 1;
  uint16_t BitsPerSample = 16;
};

// Records from an input device into a PCM WAV file the way the analyzer
// feeds on it: two buffers handed to the device in turn, each taken when it
// is done and handed back at once, until the wanted length is in the file.
// Reports the frames written and the device's overruns on `report`. On
// failure returns false with a message in *error (the failing call and its
// result code); the device is left closed either way.
bool RecordToFile(WaveIn& in, Platform& platform, const RecordSettings& settings,
                  const std::string& path, std::ostream& report, std::string* error);

}  // namespace zorvane
