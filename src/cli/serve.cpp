// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/serve.h"

#include <iostream>
#include <memory>

#include "cli/audio_choice.h"
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

  AudioChoice audioChoice;
  if (const int status =
          ChooseAudio(o.Audio, o.OutputDevice, o.InputDevice, audioChoice, std::cerr))
    return status;
  const bool system = audioChoice.System;

  std::unique_ptr<Listener> listener = ListenTcp(host, port, error);
  if (!listener) return fail(error, 1);

  // Clients work in real time, whatever the audio: the clock is real.
  HeadlessPlatform platform(false);
  OpenedAudio opened;
  OpenAudio(audioChoice, platform, opened, std::cerr);
  WaveOut* out = opened.Out;
  WaveIn* in = opened.In;
  platform.Output = [](const std::string& line) { std::cout << line << std::endl; };

  TZorvaneForm form(platform, *out, *in);
  for (Control* t : {form.ChartTimer, form.SweepTimer, form.FileTimer, form.TimeoutTimer})
    platform.AddTimer(t);
  // The log sweep measurement on the same devices, through full duplex.
  std::unique_ptr<FullDuplex> duplex;
  if (system) duplex = audioChoice.Card->Duplex(audioChoice.Devices);
  LogSweepModel measurement(platform, system ? *duplex : opened.Cable->Duplexer());
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
