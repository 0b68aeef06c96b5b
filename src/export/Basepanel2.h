// SPDX-License-Identifier: GPL-3.0-or-later
// The companion window: a second copy of the plot panel with its frequency
// labels, marker readouts and vertical scale labels on a plain panel, never
// shown, on which the exported graphic is composed. Client area 553 x 253;
// its controls keep their design places (only colours and texts are copied
// from the main window).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/controls.h"
#include "platform/bitmap.h"

namespace zorvane {

class TZorvaneForm;

class TBaseForm {
 public:
  TBaseForm();
  TBaseForm(const TBaseForm&) = delete;
  TBaseForm& operator=(const TBaseForm&) = delete;

  Control* Find(const std::string& name) const;

  Control* Self = nullptr;  // the window's client area
  Control *BasePanel, *ImagePanel, *SpectrumBox, *FreqPanel, *LowerFreqDisplay, *UpperFreqDisplay,
      *Mkr1AmplLabel, *PeakFreq, *AmplitudePanel, *Mkr1Freq, *Mkr1Label, *Mkr2Label, *Mkr2Freq,
      *Mkr3Label, *Mkr3Freq, *Mkr4Label, *Mkr4Freq, *LeftPanel;
  Control* Ref[11];

  // The plot image the paint box shows: the main window's DisplayBitmap once
  // composed (shared, not copied); nothing before.
  const Bitmap* PlotImage = nullptr;
  // What SpectrumBox paints at its top-left corner.
  const Bitmap* SpectrumBoxPaint() const { return PlotImage; }

  // The form image: the client area as the window would show it.
  Bitmap FormImage() const;

 private:
  Control* Add(const std::string& name, ControlKind kind, Control* parent);
  std::vector<std::unique_ptr<Control>> controls_;
};

// Prepares the companion window for the graphic commands: the main window's
// plot, then the colours and texts of its panels and labels.
void ComposeExportImage(TZorvaneForm& form);

}  // namespace zorvane
