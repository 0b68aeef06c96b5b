// SPDX-License-Identifier: GPL-3.0-or-later
// One frame of the plot: the trace of the current display mode, then the
// graticule, centre line, reference line, markers and cross, composed in
// DisplayBitmap and handed to the plot; plus the fills and the repaint.
#include "analyzer/rendering.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/Zorvane.h"

namespace zorvane {

namespace {

// Pixel heights are kept within +-2^29 so that the sweep's sums and
// differences of heights stay inside 32 bits.
constexpr float kHeightLimit = 536870912.0f;
// Bound of the swept trace's corrected heights and of the correction.
constexpr int64_t kSweepSumLimit = 1 << 30;
// Lines are drawn with their rows limited to +-32768 around the plot: far
// outside the bitmap either way, so the visible part is the same, and the
// pixel walk of an absurd value stays short.
constexpr int kRowLimit = 32768;

int32_t PixelHeight(float scale, float v) {
  const float h = scale * v;
  if (!(h == h)) return 0;  // NaN
  return static_cast<int32_t>(std::clamp(h, -kHeightLimit, kHeightLimit));
}

int RowOf(int baseline, int32_t height) {
  return baseline - std::clamp<int32_t>(height, -kRowLimit, kRowLimit);
}

void Line(Canvas& c, int x0, int y0, int x1, int y1) {
  c.MoveTo(x0, y0);
  c.LineTo(x1, y1);
}

Color TraceColor(int index) {
  switch (index) {
    case 0:
      return colors::Black;
    case 1:
      return colors::Aqua;
    case 2:
      return colors::Lime;
    case 3:
      return colors::Red;
    case 5:
      return colors::White;
    default:
      return colors::Yellow;
  }
}

Color WaterfallColor(int map, int32_t level) {
  const uint32_t l =
      static_cast<uint32_t>(level);  // out-of-range levels wrap into the next component
  switch (map) {
    case 4:
      return PseudoColorOf(level);
    case 5:
      return l + 256u * l + 65536u * l;
    case 6:
      return l;
    case 7:
      return 256u * l;
    case 8:
      return 65536u * l;
    case 9:
      return 65536u * l + 256u * l;
    default:
      return colors::Black;
  }
}

void Fill(Bitmap& b, Color background, int width, int height) {
  Canvas c(b);
  c.BrushColor = background;
  c.PenColor = background;
  c.PenWidth = 1;
  c.Rectangle(0, 0, width, height);
}

}  // namespace

Color PseudoColorOf(int level) {
  if (level < 10) return colors::Black;
  if (level < 20) return colors::Maroon;
  if (level < 30) return colors::Purple;
  if (level < 40) return colors::Navy;
  if (level < 50) return colors::Blue;
  if (level < 60) return colors::Olive;
  if (level < 80) return colors::Green;
  if (level < 100) return colors::Gray;
  if (level < 120) return colors::Silver;
  if (level < 160) return colors::Teal;
  if (level < 180) return colors::Lime;
  if (level < 200) return colors::Red;
  if (level < 220) return colors::Fuchsia;
  if (level < 260) return colors::Yellow;
  if (level < 280) return colors::Black;
  return colors::White;
}

void TZorvaneForm::RenderDisplay(int graphType, const float* data) {
  Canvas c(DisplayBitmap);
  c.PenWidth = 1;
  const int base = S.PlotBaseline;
  const float vs = S.VerticalScale;
  int32_t* tp = S.TracePixels;
  const Color trace = TraceColor(S.TraceColorIndex);
  auto tracePen = [&] {
    c.PenColor = trace;
    c.BrushColor = trace;
  };

  if (S.DisplayMode == 1 && graphType == 1 && S.SweepMode != 1) {
    tracePen();
    for (int x = 1; x <= S.PlotWidth - 2; ++x) {
      tp[x] = PixelHeight(vs, data[x]);
      if (x == 1) tp[0] = tp[1];
      Line(c, x - 1, RowOf(base, tp[x - 1]), x, RowOf(base, tp[x]));
    }
  } else if (S.DisplayMode == 1 && graphType == 1) {
    // Swept response. s display points between sweep points, n the last
    // point measured.
    const int s = std::clamp(S.SweepPointStep, 1, 16);
    const int n = std::clamp(S.SweepPointIndex, 0, kPlotWidth);
    int32_t* prev = S.PreviousSweepPixels;
    int32_t* swp = S.SweepTracePixels;
    int32_t* cal = S.SweepCalCorrection;
    tp[0] = tp[1];
    // Heights are taken as far as a tone's display point can lie (beyond
    // point 512 by up to a step), from the display values there.
    for (int x = 1; x < kSweepPixelsLen; ++x) tp[x] = PixelHeight(vs, data[x]);
    // Each measured point is drawn where its tone stands, with its own
    // tone's height; the first segment starts left of the plot and takes its
    // height from entry 0.
    auto at = [](const int32_t* a, int i) { return a[std::max(i, 0)]; };
    auto column = [this](int d) { return d < 1 ? d : SweepToneColumn(d); };
    c.PenColor = colors::Lime;
    c.BrushColor = colors::Lime;
    for (int k = 1; k <= kPlotWidth; k += s)
      Line(c, column(k - s), RowOf(base, at(prev, k - s)), column(k), RowOf(base, prev[k]));
    tracePen();
    for (int d = 1; d <= n; d += s) {
      swp[d] = tp[SweepToneColumn(d)];
      if (d == 1) swp[0] = swp[1];
    }
    // Entries no pass of this setting measures are corrected again in every
    // frame; the sums saturate so that they can never wrap.
    auto sum = [](int64_t a, int64_t b) {
      return static_cast<int32_t>(std::clamp<int64_t>(a + b, -kSweepSumLimit, kSweepSumLimit));
    };
    if (S.SweepCalibrating == 1) {
      const int32_t ref = swp[1 + 8 * s];
      for (int i = 2; i <= kPlotWidth; ++i) cal[i] = sum(ref, -int64_t{swp[i]});
      for (int i = 2; i <= kPlotWidth - 1; ++i) swp[i] = sum(swp[i], cal[i]);
    } else {
      for (int i = 1; i <= kPlotWidth; ++i) swp[i] = sum(swp[i], cal[i]);
    }
    for (int d = 1; d <= n; d += s)
      Line(c, column(d - s), RowOf(base, at(swp, d - s)), column(d), RowOf(base, swp[d]));
  } else if (S.DisplayMode == 1 && graphType == 2) {
    tracePen();
    for (int x = 1; x <= S.PlotWidth - 2; ++x) {
      tp[x] = PixelHeight(vs, data[x]);
      Line(c, x - 1, base, x, RowOf(base, tp[x]));
    }
  } else if (S.DisplayMode == 3) {
    S.WaterfallScale = 3.0f * vs * 0.25f;
    Bitmap& wf = WaterfallBitmap;
    for (int x = 1; x <= S.PlotWidth - 2; ++x) {
      tp[x] = PixelHeight(S.WaterfallScale, data[x]);
      wf.SetPixel(x, 0, WaterfallColor(S.WaterfallColorMap, tp[x]));
    }
    // Scroll the history down by exactly one row: rows 0..200 move to 1..201;
    // the bottom row 202 is never rewritten. Then show rows 0..201.
    const int w = wf.Width(), h = wf.Height();
    if (h >= 3) {
      std::memmove(wf.Row(1), wf.Row(0), sizeof(Color) * static_cast<size_t>(w) * (h - 2));
      if (DisplayBitmap.Width() == w && DisplayBitmap.Height() == h)
        std::memcpy(DisplayBitmap.Row(0), wf.Row(0),
                    sizeof(Color) * static_cast<size_t>(w) * (h - 1));
    }
  } else if (S.DisplayMode == 2) {
    tracePen();
    const int n = std::clamp(S.TransformSize, 1, kTracePixelsLen);
    bool triggered = false;
    int x = 1;
    for (int i = 1; i <= n - 1; ++i) {
      tp[i] = PixelHeight(vs, data[i]);
      if (i == 1) tp[0] = tp[1];
      if (tp[i] > 90 && tp[i] < 110 && tp[i] > tp[i - 1]) triggered = true;
      if (triggered) {
        Line(c, x - 1, RowOf(base, tp[i - 1]), x, RowOf(base, tp[i]));
        ++x;
        if (x >= 512) break;
      }
    }
  }

  // Graticule and centre line.
  if (S.GridOn == 1) {
    c.PenColor = colors::Teal;
    for (int y = 0; y <= 200; y += 20) Line(c, 1, y, 511, y);
    for (int x = 0; x <= 512; x += 64) Line(c, x, S.PlotHeight - 3, x, 0);
    if (S.RefLineOn == 1) {
      c.PenColor = colors::Red;
      Line(c, 256, 200, 256, 0);
    }
  }
  // Reference level line.
  if (RefScrollBar->Position() >= 1 && S.DisplayMode != 2) {
    c.PenColor = S.BackgroundWhite == 0 ? colors::Silver : colors::Purple;
    Line(c, 1, S.RefLevelY - 3, 511, S.RefLevelY - 3);
  }
  // Markers.
  const int32_t markerOn[4] = {S.Marker1On, S.Marker2On, S.Marker3On, S.Marker4On};
  Control* const markerBar[4] = {Mkr1ScrollBar, Mkr2ScrollBar, Mkr3ScrollBar, Mkr4ScrollBar};
  c.PenColor = S.DisplayMode == 3 ? colors::White : colors::Fuchsia;
  for (int k = 0; k < 4; ++k) {
    if (markerOn[k] != 1) continue;
    const int p = markerBar[k]->Position();
    Line(c, p, S.PlotHeight - 5, p, 0);
  }
  // Cross at the last button release after a left-button press.
  if (S.CrossState == 2 && S.DisplayMode == 1) {
    c.PenColor = colors::Red;
    Line(c, S.CrossX - 8, S.CrossY, S.CrossX + 8, S.CrossY);
    Line(c, S.CrossX, S.CrossY + 8, S.CrossX, S.CrossY - 8);
  }

  SpectrumBoxPaint();

  if (S.DisplayMode == 2) {
    PeakFreq->SetCaption(" ");
  } else {
    char text[32];
    const float f = S.SweepMode == 1 ? S.OutputFrequency : S.PeakFrequency;
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(f));
    PeakFreq->SetCaption(text);
  }
}

void TZorvaneForm::ClearPlot() {
  if (S.DisplayMode == 1 || S.DisplayMode == 2) ClearDisplayBitmap();
}

void TZorvaneForm::ClearDisplayBitmap() {
  Fill(DisplayBitmap, S.BackgroundWhite == 0 ? colors::Black : colors::White, S.PlotWidth + 1,
       S.PlotHeight);
}

void TZorvaneForm::ClearWaterfallBitmap() {
  Fill(WaterfallBitmap, S.BackgroundWhite == 0 ? colors::Black : colors::White, S.PlotWidth + 1,
       S.PlotHeight);
}

// The plot shows DisplayBitmap. The core has no screen: it tells the view
// through SpectrumBox->OnPaint, which the view hooks to repaint the plot from
// DisplayBitmap (it must not call back into this routine).
void TZorvaneForm::SpectrumBoxPaint() {
  if (SpectrumBox->OnPaint) SpectrumBox->OnPaint();
}

}  // namespace zorvane
