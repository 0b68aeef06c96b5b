// SPDX-License-Identifier: GPL-3.0-or-later
// What --audio, --output-device and --input-device choose for the commands
// that play and record: the sound card (default or named devices) or the
// built-in loopback cable, with the same refusals and exit statuses for all.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "platform/audio_option.h"
#include "platform/device_choice.h"
#include "platform/loopback/loopback.h"
#include "platform/soundcard/sound_card.h"

namespace zorvane {

struct AudioChoice {
  AudioOption Option;
  std::unique_ptr<SoundCard> Card;  // none when the loopback was asked for
  std::shared_ptr<DeviceChoice> Devices = std::make_shared<DeviceChoice>();
  bool System = false;  // the sound card; else the cable
};

// 0, or the exit status after saying why on `err`: 1 for an option or a
// device name that cannot be used, 2 when the sound card was asked for and
// there is none.
int ChooseAudio(const std::string& audio, const std::string& outputDevice,
                const std::string& inputDevice, AudioChoice& choice, std::ostream& err);

// The output and input the choice opens, on `platform` for the cable.
struct OpenedAudio {
  std::unique_ptr<LoopbackCable> Cable;
  AudioDevices Devices;
  WaveOut* Out = nullptr;
  WaveIn* In = nullptr;
};

// Opens them and says which on `err`.
void OpenAudio(AudioChoice& choice, Platform& platform, OpenedAudio& opened, std::ostream& err);

}  // namespace zorvane
