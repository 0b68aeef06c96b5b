// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/serve.h"

#include <iostream>
#include <memory>

#include "measure/log_sweep_model.h"
#include "platform/audio_option.h"
#include "platform/headless/headless_platform.h"
#include "platform/listener.h"
#include "platform/loopback/loopback.h"
#include "platform/soundcard/sound_card.h"
#include "scpi/scpi_server.h"

namespace zorvane {

int RunServe(const ServeOptions& o) {
  auto fail = [](const std::string& why, int status) {
    std::cerr << "zorvane-cli: " << why << "\n";
    return status;
  };
  std::string host, error;
  uint16_t port = 0;
  if (!ParseListenAddress(o.Listen, host, port, error)) return fail(error, 1);
  scpi::FileAccess files;
  if (!o.AllowFiles.empty() && !files.Allow(o.AllowFiles, error)) return fail(error, 1);

  AudioOption option;
  if (!o.Audio.empty() && !ParseAudioOption(o.Audio, option, error)) return fail(error, 1);
  const bool named = !o.OutputDevice.empty() || !o.InputDevice.empty();
  if (named && option.Choice == AudioOption::Device::Loopback)
    return fail(
        "--input-device and --output-device choose sound card devices, not the built-in loopback",
        1);
  std::unique_ptr<SoundCard> card;
  if (option.Choice != AudioOption::Device::Loopback)
    card = std::make_unique<SoundCard>(option.Library);
  auto choice = std::make_shared<DeviceChoice>();
  if (named && !card->Choose(o.OutputDevice, o.InputDevice, *choice, error)) return fail(error, 1);
  std::string description;
  bool system = named;
  if (!named && option.Choice == AudioOption::Device::System) {
    if (!card->HasDefaultDevices(&description))
      return fail("no sound card found (" + description + ")", 2);
    system = true;
  } else if (!named && option.Choice == AudioOption::Device::Automatic) {
    system = card->HasDefaultDevices(&description);
  }

  std::unique_ptr<Listener> listener = ListenTcp(host, port, error);
  if (!listener) return fail(error, 1);

  // Clients work in real time, whatever the audio: the clock is real.
  HeadlessPlatform platform(false);
  std::unique_ptr<LoopbackCable> cable;
  AudioDevices devices;
  WaveOut* out;
  WaveIn* in;
  if (system) {
    devices = card->Open(choice);
    out = devices.Out.get();
    in = devices.In.get();
    std::cerr << "zorvane-cli: audio: sound card (" << devices.Description << ")\n";
  } else {
    cable = std::make_unique<LoopbackCable>(platform, option.Cable);
    out = &cable->Out();
    in = &cable->In();
    std::cerr << "zorvane-cli: audio: built-in loopback\n";
  }
  platform.Output = [](const std::string& line) { std::cout << line << std::endl; };

  TZorvaneForm form(platform, *out, *in);
  for (Control* t : {form.ChartTimer, form.SweepTimer, form.FileTimer, form.TimeoutTimer})
    platform.AddTimer(t);
  // The log sweep measurement on the same devices, through full duplex.
  std::unique_ptr<FullDuplex> duplex;
  if (system) duplex = card->Duplex(choice);
  LogSweepModel measurement(platform, system ? *duplex : cable->Duplexer());
  measurement.DevicesBusy = [&form] { return form.DevicesInUse(); };
  scpi::Instrument instrument(form, platform, files);
  instrument.AttachMeasurement(&measurement);
  scpi::ServerLimits limits;
  limits.IdleTimeoutUs = static_cast<int64_t>(o.IdleTimeoutS * 1e6);
  scpi::Server server(*listener, instrument, platform, limits, [](const std::string& line) {
    std::cerr << "zorvane-cli: " << line << "\n";
  });
  platform.DeliverUserEvents = [&server] { server.Poll(); };
  platform.NextUserEventUs = [&server] { return server.NextPollUs(); };
  platform.WatchDescriptor(listener->ReadyHandle());

  if (!IsLoopbackHost(host))
    std::cerr << "zorvane-cli: warning: " << host
              << " is not a loopback address: other machines can control the instrument\n";
  std::cerr << "zorvane-cli: listening on " << listener->LocalAddress()
            << (files.Enabled() ? ", files in " + files.Folder() : std::string()) << std::endl;
  // The message loop: wait for the network, a timer or a device, then pump.
  while (!platform.Terminated()) {
    platform.WaitForEvents(Platform::kNoEvent);
    platform.ProcessMessages();
  }
  server.Flush();
  if (system) std::cerr << "zorvane-cli: input overruns: " << in->Overruns() << "\n";
  return 0;
}

}  // namespace zorvane
