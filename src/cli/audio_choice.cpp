// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/audio_choice.h"

namespace zorvane {

int ChooseAudio(const std::string& audio, const std::string& outputDevice,
                const std::string& inputDevice, AudioChoice& c, std::ostream& err) {
  std::string error;
  if (!audio.empty() && !ParseAudioOption(audio, c.Option, error)) {
    err << "zorvane-cli: " << error << "\n";
    return 1;
  }
  const bool named = !outputDevice.empty() || !inputDevice.empty();
  if (named && c.Option.Choice == AudioOption::Device::Loopback) {
    err << "zorvane-cli: --input-device and --output-device choose sound card devices, not the "
           "built-in loopback\n";
    return 1;
  }
  if (c.Option.Choice != AudioOption::Device::Loopback)
    c.Card = std::make_unique<SoundCard>(c.Option.Library);
  std::string description;
  c.System = named;
  if (named) {
    if (!c.Card->Choose(outputDevice, inputDevice, *c.Devices, error)) {
      err << "zorvane-cli: " << error << "\n";
      return 1;
    }
  } else if (c.Option.Choice == AudioOption::Device::System) {
    if (!c.Card->HasDefaultDevices(&description)) {
      err << "zorvane-cli: no sound card found (" << description << ")\n";
      return 2;
    }
    c.System = true;
  } else if (c.Option.Choice == AudioOption::Device::Automatic) {
    c.System = c.Card->HasDefaultDevices(&description);
  }
  return 0;
}

void OpenAudio(AudioChoice& c, Platform& platform, OpenedAudio& o, std::ostream& err) {
  if (c.System) {
    o.Devices = c.Card->Open(c.Devices);
    o.Out = o.Devices.Out.get();
    o.In = o.Devices.In.get();
    err << "zorvane-cli: audio: sound card (" << o.Devices.Description << ")\n";
  } else {
    o.Cable = std::make_unique<LoopbackCable>(platform, c.Option.Cable);
    o.Out = &o.Cable->Out();
    o.In = &o.Cable->In();
    err << "zorvane-cli: audio: built-in loopback\n";
  }
}

}  // namespace zorvane
