// SPDX-License-Identifier: GPL-3.0-or-later
// The form's side of the log sweep measurement: the menu item that shows
// its window, and the check that the devices are free before it starts.
#include "app/Zorvane.h"

namespace zorvane {

void TZorvaneForm::AttachLogSweep(std::function<void()> show) {
  showLogSweep_ = std::move(show);
  Control* item = Find("LogSweep1");
  item->SetEnabled(static_cast<bool>(showLogSweep_));
  item->OnClick = [this] { LogSweep1Click(); };
}

void TZorvaneForm::LogSweep1Click() {
  if (showLogSweep_) showLogSweep_();
}

std::string TZorvaneForm::DevicesInUse() const {
  if (S.SweepRunning == 1) return "Stop the sweep before measuring";
  // The analyzer reading a WAV file leaves the devices alone.
  if (S.AnalyzerActive == 1 && S.InputSource == 1) return "Stop the analyzer before measuring";
  if (S.OutputPlaying == 1) return "Switch the output off before measuring";
  return "";
}

}  // namespace zorvane
