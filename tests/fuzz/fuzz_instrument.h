// SPDX-License-Identifier: GPL-3.0-or-later
// One instrument for a fuzz target's whole run. Building one costs
// milliseconds under the sanitizers (megabytes of fresh arrays and bitmaps),
// far more than most inputs' own work, so a target builds it once and puts
// it back between inputs: whatever runs is stopped, the file closed, and the
// start-up settings replayed from the settings file the new instrument would
// have written, through the same handlers a start-up uses.
#pragma once

#include <cstdint>
#include <string>

#include "app/Zorvane.h"
#include "app/configuration.h"
#include "platform/headless/headless_platform.h"
#include "platform/loopback/loopback.h"

namespace zorvane {

struct FuzzInstrument {
  explicit FuzzInstrument(const std::string& settingsFolder = std::string())
      : form(platform, cable.Out(), cable.In(), settingsFolder) {
    for (Control* t : {form.ChartTimer, form.SweepTimer, form.FileTimer, form.TimeoutTimer})
      platform.AddTimer(t);
    form.ConfigurationBytes(startup);
  }

  // With `settings` false only the run is stopped and the file closed.
  void Reset(bool settings = true) {
    platform.DeliverUserEvents = nullptr;
    platform.NextUserEventUs = nullptr;
    form.S.SweepRunning = 0;
    if (form.S.AnalyzerActive == 1 || form.S.AnalyzerStopRequested == 0) form.StopBtnClick();
    form.CloseWavefile1Click();
    if (form.S.InputSource != 1) form.SoundBoard1Click();
    if (settings) form.ApplyConfiguration(startup, sizeof startup);  // FIXED mode among them
    if (form.S.OutputPlaying == 1) form.OutputBtnClick();
    platform.Messages.clear();
  }

  HeadlessPlatform platform{true};
  LoopbackCable cable{platform};
  TZorvaneForm form;
  uint8_t startup[kConfigurationBytes];
};

}  // namespace zorvane
