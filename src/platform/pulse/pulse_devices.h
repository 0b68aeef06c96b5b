// SPDX-License-Identifier: GPL-3.0-or-later
// The sound card through a PulseAudio server (or PipeWire's PulseAudio
// service): its sinks and sources, the choice among them, and the output and
// input built on them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/device_choice.h"
#include "platform/wave.h"

namespace zorvane {

// Connects to the server the environment names (PULSE_SERVER, else the
// user's), once per process, and reports whether one answered; the
// description names it, or says why not.
bool PulseServerAnswers(std::string* description = nullptr);

// Every sink (an output) and source (an input, monitors included), the ones
// streams go to by default marked; empty without a server.
std::vector<AudioDeviceInfo> PulseDeviceList();

// The devices as WaveOut/WaveIn, opening what `choice` names (the defaults
// without one). Call only after PulseServerAnswers returned true.
AudioDevices OpenPulseDevices(std::shared_ptr<const DeviceChoice> choice = nullptr);

}  // namespace zorvane
