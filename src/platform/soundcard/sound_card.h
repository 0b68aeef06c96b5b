// SPDX-License-Identifier: GPL-3.0-or-later
// The real sound card, through whichever library reaches it: the PulseAudio
// server (or PipeWire's PulseAudio service) when one answers, PortAudio
// otherwise, or the one --audio names. Both executables pick their devices
// here: the device list, the choice by name, the wave devices and full
// duplex.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/audio_option.h"
#include "platform/device_choice.h"
#include "platform/duplex.h"
#include "platform/wave.h"

namespace zorvane {

class SoundCard {
 public:
  // Settles the library: the one wanted, or with Automatic PulseAudio when a
  // server answers and PortAudio otherwise. Starts nothing else.
  explicit SoundCard(SoundLibrary wanted);

  SoundLibrary Library() const { return library_; }
  // Whether there are a default output and a default input; the description
  // names the library and its devices, or says why there are none.
  bool HasDefaultDevices(std::string* description = nullptr) const;
  // Every device the library offers, the defaults marked.
  std::vector<AudioDeviceInfo> Devices() const;
  // Picks the devices the --output-device and --input-device texts name
  // (empty: the default). False with the matcher's message in error when a
  // text names no device or more than one.
  bool Choose(const std::string& output, const std::string& input, DeviceChoice& choice,
              std::string& error) const;
  // The devices `choice` names (the defaults without one) as WaveOut/WaveIn.
  AudioDevices Open(std::shared_ptr<const DeviceChoice> choice) const;
  // Full duplex on them. Nothing is started before its first Open.
  std::unique_ptr<FullDuplex> Duplex(std::shared_ptr<const DeviceChoice> choice) const;

 private:
  SoundLibrary library_;
};

}  // namespace zorvane
