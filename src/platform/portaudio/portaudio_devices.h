// SPDX-License-Identifier: GPL-3.0-or-later
// The real sound card through PortAudio: the default input and output
// devices, or the ones the user chose.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/device_choice.h"
#include "platform/wave.h"

namespace zorvane {

// Initialises PortAudio (quietly: ALSA's and JACK's own printers are
// silenced) and reports whether a default output and a default input
// device exist. Safe to call more than once.
bool PortAudioHasDefaultDevices(std::string* description = nullptr);

// Every device PortAudio offers, the defaults marked; empty when PortAudio
// cannot start.
std::vector<AudioDeviceInfo> PortAudioDeviceList();

// Device numbers from PortAudioDeviceList.
using PortAudioDeviceChoice = DeviceChoice;

// Picks the devices named by the --output-device and --input-device texts
// (empty: the default) from PortAudioDeviceList. False with the matcher's
// message in error when a text names no device or more than one.
bool ChoosePortAudioDevices(const std::string& output, const std::string& input,
                            PortAudioDeviceChoice& choice, std::string& error);

// The devices as WaveOut/WaveIn, opening what `choice` names (the defaults
// without one). Call only after PortAudioHasDefaultDevices returned true or
// a choice was made.
AudioDevices OpenPortAudioDevices(std::shared_ptr<const PortAudioDeviceChoice> choice = nullptr);

}  // namespace zorvane
