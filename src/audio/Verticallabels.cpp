// SPDX-License-Identifier: GPL-3.0-or-later
// Vertical scale labels of the plot for the time and waterfall displays.
#include "app/Zorvane.h"

namespace zorvane {

void TZorvaneForm::SetScaleLabels(int mode) {
  if (mode == 2) {
    static constexpr const char* kTime[11] = {" 50",   "   40", "   30", "   20", "   10", "    0",
                                              "  -10", "  -20", "  -30", "  -40", "  -50"};
    for (int i = 0; i < 11; ++i) Ref[i]->SetCaption(kTime[i]);
    for (int i = 1; i <= 10; ++i) Ref[i]->SetLeft(2);
  } else if (mode == 3) {
    Ref[0]->SetCaption("---");
    for (int i = 1; i <= 10; ++i) Ref[i]->SetCaption("  ---");
    for (int i = 1; i <= 9; ++i) Ref[i]->SetLeft(2);
    Ref[10]->SetLeft(0);
  }
}

}  // namespace zorvane
