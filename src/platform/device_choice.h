// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing a sound device by name or number: the devices the sound system
// offers, and the pure matcher both executables use for --input-device and
// --output-device (and the window for the device remembered in zorvane.conf).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zorvane {

struct AudioDeviceInfo {
  int Index = 0;        // the sound system's number for the device
  std::string HostApi;  // ALSA, JACK, OSS, ...
  std::string Name;
  int InputChannels = 0;
  int OutputChannels = 0;
  double DefaultRate = 0.0;
  bool DefaultInput = false;
  bool DefaultOutput = false;
};

enum class DeviceDirection { Input, Output };

// Which devices the WaveOut/WaveIn open: a device number from the sound
// library's list, or kDefault for the system's default. A change takes
// effect at the next Open (format queries included); streams already open
// stay on their device.
struct DeviceChoice {
  static constexpr int kDefault = -1;
  int Output = kDefault;
  int Input = kDefault;
};

// True when the device can be used in that direction.
bool HasDirection(const AudioDeviceInfo& device, DeviceDirection direction);

// Finds the device of that direction named by `text`: its number (decimal
// digits only), or a part of its name, compared without regard to case. A
// name equal to the text wins over names that merely contain it, so every
// device can be chosen however its name is nested in others. On success
// `index` is the device's number. On failure `error` says why and lists the
// candidates, one "NUMBER "NAME"" each.
bool MatchAudioDevice(std::string_view text, const std::vector<AudioDeviceInfo>& devices,
                      DeviceDirection direction, int& index, std::string& error);

// The listing `zorvane-cli devices` prints: a heading line, then a line per
// device with its number, host API, name, input and output channels, default
// rate and "default input" / "default output" marks.
std::string FormatDeviceList(const std::vector<AudioDeviceInfo>& devices);

}  // namespace zorvane
