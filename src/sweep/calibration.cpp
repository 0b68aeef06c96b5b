// SPDX-License-Identifier: GPL-3.0-or-later
// Calibration of the sweep: a pass over the measuring chain alone records,
// per display point, how far its response lies from the level of the ninth
// sweep point; later passes add that correction (the arithmetic is in the
// renderer's swept-response trace). Kept in memory only.
#include <algorithm>

#include "app/Zorvane.h"

namespace zorvane {

void TZorvaneForm::SwpCalBtnClick() {
  if (S.SweepMode != 1) return;
  S.SweepCalibrating = S.SweepCalibrating == 0 ? 1 : 0;
  ShowCalibrating();
}

void TZorvaneForm::ZeroCalClick() {
  std::fill(S.SweepCalCorrection, S.SweepCalCorrection + S.PlotWidth + 1, 0);
  platform.MessageBox("All calibration points have been zeroized", "Calibration Zero");
}

// The "Calibrate" item carries a check mark while a calibration is requested
// or running.
void TZorvaneForm::ShowCalibrating() { Find("SwpCal1")->SetChecked(S.SweepCalibrating == 1); }

}  // namespace zorvane
