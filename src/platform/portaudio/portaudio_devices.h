// The real sound card through PortAudio's default input and output devices.
#pragma once

#include <memory>
#include <string>

#include "platform/wave.h"

namespace zorvane {

// Initialises PortAudio (quietly: ALSA's and JACK's own printers are
// silenced) and reports whether a default output and a default input
// device exist. Safe to call more than once.
bool PortAudioHasDefaultDevices(std::string* description = nullptr);

// The default devices as WaveOut/WaveIn. Call only after
// PortAudioHasDefaultDevices returned true.
AudioDevices OpenPortAudioDevices();

}  // namespace zorvane
