// SPDX-License-Identifier: GPL-3.0-or-later
// zorvane.conf as any text, and any device name: the remembered values read
// back the same after a rewrite, a value set cannot add or break a line, and
// the device matcher either finds a device of the right direction or says
// why.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/audio_devices.h"
#include "platform/device_choice.h"

using namespace zorvane;

namespace {

const std::vector<AudioDeviceInfo>& Devices() {
  static const std::vector<AudioDeviceInfo> devices = {
      {0, "ALSA", "HDA Intel PCH: ALC892 Analog (hw:0,0)", 2, 8, 48000, false, false},
      {2, "ALSA", "HDA Intel PCH: HDMI 0 (hw:0,3)", 0, 8, 48000, false, false},
      {5, "ALSA", "pulse", 32, 32, 44100, false, false},
      {6, "ALSA", "pulse-monitor", 2, 0, 44100, false, false},
      {7, "ALSA", "default", 32, 32, 44100, true, true},
  };
  return devices;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  KeyValueText conf;
  conf.Parse(text);
  const auto input = conf.Get(AudioDeviceChooser::kInputKey);
  const auto output = conf.Get(AudioDeviceChooser::kOutputKey);

  // Written out and read again, the values stay what they were.
  KeyValueText again;
  again.Parse(conf.Text());
  if (again.Get(AudioDeviceChooser::kInputKey) != input ||
      again.Get(AudioDeviceChooser::kOutputKey) != output)
    std::abort();

  // Any bytes as a value: one line, read back as set (blanks at the ends and
  // control characters aside), the other key untouched.
  conf.Set(AudioDeviceChooser::kInputKey, std::string(text));
  KeyValueText written;
  written.Parse(conf.Text());
  const auto value = written.Get(AudioDeviceChooser::kInputKey);
  if (!value || value->find('\n') != std::string::npos ||
      written.Get(AudioDeviceChooser::kOutputKey) != output)
    std::abort();

  for (DeviceDirection direction : {DeviceDirection::Input, DeviceDirection::Output}) {
    int index = -1;
    std::string error;
    if (MatchAudioDevice(text, Devices(), direction, index, error)) {
      bool listed = false;
      for (const AudioDeviceInfo& d : Devices())
        listed = listed || (d.Index == index && HasDirection(d, direction));
      if (!listed) std::abort();
    } else if (error.empty()) {
      std::abort();
    }
  }
  return 0;
}
