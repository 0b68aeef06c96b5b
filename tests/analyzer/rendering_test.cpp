// Frames drawn into DisplayBitmap and WaterfallBitmap.
#include "analyzer/rendering.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/test_support.h"

namespace zorvane {
namespace {

using testing::Rig;
namespace c = colors;

class Rendering : public ::testing::Test {
 protected:
  Rig rig;
  TZorvaneForm& f = rig.F();
  AppState& S = rig.S();

  void SetData(float v) { std::fill(S.DisplayValues, S.DisplayValues + kArrayLen, v); }
  void Frame() {
    f.ClearPlot();
    f.RenderDisplay(S.GraphType, S.DisplayValues);
  }
  int Count(const Bitmap& b, Color colour) const {
    return static_cast<int>(std::count(b.Pixels().begin(), b.Pixels().end(), colour));
  }
  // Rows of column x painted in the colour.
  std::vector<int> RowsIn(const Bitmap& b, int x, Color colour) const {
    std::vector<int> rows;
    for (int y = 0; y < b.Height(); ++y)
      if (b.Pixel(x, y) == colour) rows.push_back(y);
    return rows;
  }
  static bool OnGrid(int x) { return x % 64 == 0 || x == 256; }
};

TEST_F(Rendering, ZeroDataDrawsAFlatLineOnTheBaseline) {
  SetData(0.0f);
  Frame();
  const Bitmap& b = f.DisplayBitmap;
  for (int x = 0; x <= 509; ++x) {
    if (OnGrid(x)) continue;
    ASSERT_EQ(RowsIn(b, x, c::Yellow), std::vector<int>{199}) << "column " << x;
  }
  EXPECT_EQ(b.Pixel(510, 199), c::Black) << "the last line-to end point is not painted";
  EXPECT_EQ(b.Pixel(100, 0), c::Teal);
  EXPECT_EQ(b.Pixel(256, 100), c::Red) << "centre line";
  EXPECT_EQ(b.Pixel(100, 201), c::Black);

  // In the bar graph every stroke has zero height: nothing rises off the
  // baseline (each stroke is at most its start pixel on row 199).
  S.GraphType = 2;
  S.GridOn = 0;
  Frame();
  for (int x = 0; x <= 512; ++x)
    for (int y : RowsIn(b, x, c::Yellow)) ASSERT_EQ(y, 199) << "column " << x;
  EXPECT_LE(Count(b, c::Yellow), 510);
}

TEST_F(Rendering, LineAndBarGraphsFollowTheDataWithTheVerticalScale) {
  for (int x = 0; x < kArrayLen; ++x) S.DisplayValues[x] = 30.0f + (x % 2) * 10.5f;
  S.VerticalScale = 2.0f;
  S.TraceColorIndex = 2;
  Frame();
  // Odd points at height trunc(2 x 40.5) = 81, even points at 60.
  EXPECT_EQ(f.DisplayBitmap.Pixel(101, 199 - 81), c::Lime);
  EXPECT_EQ(S.TracePixels[101], 81);
  EXPECT_EQ(S.TracePixels[102], 60);
  EXPECT_EQ(S.TracePixels[0], S.TracePixels[1]);

  S.GraphType = 2;
  S.GridOn = 0;
  Frame();
  // Each stroke rises from the baseline one column left of its point to just
  // below the point.
  EXPECT_EQ(RowsIn(f.DisplayBitmap, 100, c::Lime).front(), 199 - 60 + 1);
  EXPECT_EQ(RowsIn(f.DisplayBitmap, 100, c::Lime).back(), 199);
  EXPECT_EQ(f.DisplayBitmap.Pixel(101, 199 - 81 + 1), c::Lime);
  EXPECT_EQ(f.DisplayBitmap.Pixel(101, 199 - 81), c::Black);
  EXPECT_EQ(Count(f.DisplayBitmap, c::Teal), 0) << "graticule off";
}

TEST_F(Rendering, WaterfallColoursAndOneRowScroll) {
  S.DisplayMode = 3;
  S.GridOn = 0;
  S.VerticalScale = 4.0f;  // waterfall scale 3
  f.ClearWaterfallBitmap();
  f.WaterfallBitmap.SetPixel(40, 202, c::Aqua);  // the bottom row is never rewritten
  SetData(0.0f);
  S.DisplayValues[10] = 88.5f;  // level 265: black, not white
  S.DisplayValues[11] = 93.5f;  // level 280: white
  S.DisplayValues[12] = 40.0f;  // level 120: teal
  S.DisplayValues[13] = 3.0f;   // level 9: black
  Frame();
  EXPECT_FLOAT_EQ(S.WaterfallScale, 3.0f);
  const Bitmap& w = f.WaterfallBitmap;
  EXPECT_EQ(w.Pixel(10, 1), c::Black);
  EXPECT_EQ(w.Pixel(11, 1), c::White);
  EXPECT_EQ(w.Pixel(12, 1), c::Teal);
  EXPECT_EQ(f.DisplayBitmap.Pixel(11, 1), c::White) << "the waterfall is shown";
  EXPECT_EQ(f.DisplayBitmap.Pixel(11, 2), c::Black);

  S.WaterfallColorMap = 6;  // red map: level 300 spills into green
  SetData(0.0f);
  S.DisplayValues[11] = 100.0f;
  S.DisplayValues[20] = 85.0f / 3.0f;
  Frame();
  EXPECT_EQ(w.Pixel(11, 1), 0x00012Cu);
  EXPECT_EQ(w.Pixel(20, 0), 85u);
  EXPECT_EQ(w.Pixel(11, 2), c::White) << "the previous frame moved down one row";
  EXPECT_EQ(w.Pixel(40, 202), c::Aqua);
  EXPECT_EQ(w.Pixel(0, 0), c::Black) << "columns 0, 511 and 512 stay unwritten";

  for (int map : {5, 7, 8, 9}) {
    S.WaterfallColorMap = map;
    S.DisplayValues[11] = 2.0f;  // level 6
    Frame();
    const Color expected = map == 5   ? 0x060606
                           : map == 7 ? 0x000600
                           : map == 8 ? 0x060000
                                      : 0x060600;
    EXPECT_EQ(w.Pixel(11, 0), expected) << "map " << map;
  }
  // After 201 more frames the first frame has left the visible rows but row
  // 202 still holds what it held.
  for (int i = 0; i < 201; ++i) Frame();
  EXPECT_EQ(w.Pixel(40, 202), c::Aqua);
  EXPECT_NE(w.Pixel(12, 201), c::Teal);
}

TEST_F(Rendering, PseudoColourBands) {
  const struct {
    int level;
    Color colour;
  } bands[] = {{-5, c::Black},  {9, c::Black},     {10, c::Maroon},   {29, c::Purple},
               {30, c::Navy},   {45, c::Blue},     {59, c::Olive},    {60, c::Green},
               {99, c::Gray},   {100, c::Silver},  {159, c::Teal},    {160, c::Lime},
               {199, c::Red},   {200, c::Fuchsia}, {259, c::Yellow},  {260, c::Black},
               {279, c::Black}, {280, c::White},   {100000, c::White}};
  for (const auto& b : bands) EXPECT_EQ(PseudoColorOf(b.level), b.colour) << b.level;
}

TEST_F(Rendering, TimeTraceWaitsForItsTrigger) {
  S.DisplayMode = 2;
  S.TraceColorIndex = 1;
  SetData(50.0f);
  Frame();
  EXPECT_EQ(Count(f.DisplayBitmap, c::Aqua), 0) << "no rising step into 91..109";
  EXPECT_EQ(f.PeakFreq->Caption(), " ");

  // Falling into the band does not trigger; rising at sample 300 does.
  S.DisplayValues[99] = 150.0f;
  S.DisplayValues[100] = 100.0f;
  S.DisplayValues[299] = 80.0f;
  S.DisplayValues[300] = 100.0f;
  S.DisplayValues[700] = 10.0f;
  Frame();
  // Column x shows sample 299 + x: sample 300 in column 1, sample 700 in
  // column 401.
  EXPECT_EQ(f.DisplayBitmap.Pixel(1, 199 - 100), c::Aqua);
  EXPECT_EQ(f.DisplayBitmap.Pixel(401, 199 - 10), c::Aqua);
  EXPECT_EQ(f.DisplayBitmap.Pixel(400, 199 - 10), c::Black);
  EXPECT_EQ(f.DisplayBitmap.Pixel(5, 149), c::Aqua);
  EXPECT_EQ(f.DisplayBitmap.Pixel(510, 149), c::Aqua) << "511 segments";
  EXPECT_EQ(f.DisplayBitmap.Pixel(511, 149), c::Black);
}

TEST_F(Rendering, TimeTraceAtTheLargestSizeTriggersLateInTheBlock) {
  S.DisplayMode = 2;
  S.TransformSize = 8192;
  SetData(20.0f);
  S.DisplayValues[7800] = 95.0f;
  Frame();
  EXPECT_EQ(f.DisplayBitmap.Pixel(1, 199 - 95), c::Yellow);
  EXPECT_EQ(f.DisplayBitmap.Pixel(390, 179), c::Yellow) << "runs to the end of the block";
  EXPECT_EQ(f.DisplayBitmap.Pixel(392, 179), c::Black) << "and stops there";
  EXPECT_EQ(S.TracePixels[8191], 20);
}

TEST_F(Rendering, ReferenceLineRowsAndColours) {
  SetData(-10.0f);  // keep the trace off the plot
  f.RefScrollBar->SetRange(0, 201);
  f.RefScrollBar->SetPosition(0);
  S.RefLevelY = 3;
  Frame();
  EXPECT_EQ(Count(f.DisplayBitmap, c::Silver), 0) << "position 0 hides the line";

  f.RefScrollBar->SetPosition(201);
  S.RefLevelY = 204 - 201;
  Frame();
  EXPECT_EQ(f.DisplayBitmap.Pixel(1, 0), c::Silver);
  EXPECT_EQ(f.DisplayBitmap.Pixel(300, 0), c::Silver);
  EXPECT_EQ(f.DisplayBitmap.Pixel(510, 0), c::Silver);
  EXPECT_EQ(f.DisplayBitmap.Pixel(511, 0), c::Black);
  EXPECT_EQ(Count(f.DisplayBitmap, c::Silver), 510);

  S.BackgroundWhite = 5;
  S.RefLevelY = 204 - 150;
  Frame();
  EXPECT_EQ(f.DisplayBitmap.Pixel(300, 51), c::Purple) << "purple on a white background";
  EXPECT_EQ(f.DisplayBitmap.Pixel(300, 52), c::White);

  S.DisplayMode = 2;
  Frame();
  EXPECT_EQ(Count(f.DisplayBitmap, c::Purple), 0) << "not in the time display";
}

TEST_F(Rendering, MarkersOnTheFirstAndLastColumns) {
  SetData(-10.0f);
  f.Mkr1Btn->Click();
  f.Mkr2Btn->Click();
  f.Mkr2ScrollBar->SetPosition(512);
  f.Mkr3ScrollBar->SetPosition(100);  // off: not drawn
  Frame();
  std::vector<int> rows;  // from row 198 up to row 0, which is not painted
  for (int y = 1; y <= 198; ++y) rows.push_back(y);
  EXPECT_EQ(RowsIn(f.DisplayBitmap, 0, c::Fuchsia), rows);
  EXPECT_EQ(RowsIn(f.DisplayBitmap, 512, c::Fuchsia), rows);
  EXPECT_TRUE(RowsIn(f.DisplayBitmap, 100, c::Fuchsia).empty());

  S.DisplayMode = 3;
  S.GridOn = 0;
  f.ClearWaterfallBitmap();
  Frame();
  EXPECT_EQ(RowsIn(f.DisplayBitmap, 0, c::White), rows);
  EXPECT_EQ(RowsIn(f.DisplayBitmap, 512, c::White), rows);
  EXPECT_EQ(Count(f.DisplayBitmap, c::Fuchsia), 0);
}

TEST_F(Rendering, CrossOnlyInTheFrequencyDisplayAfterALeftPress) {
  SetData(-10.0f);
  S.CrossState = 2;
  S.CrossX = 100;
  S.CrossY = 50;
  Frame();
  // Two 16-pixel strokes crossing in one pixel, besides the 200-pixel centre
  // line.
  EXPECT_EQ(Count(f.DisplayBitmap, c::Red), 200 + 31);
  EXPECT_EQ(f.DisplayBitmap.Pixel(92, 50), c::Red);
  EXPECT_EQ(f.DisplayBitmap.Pixel(108, 50), c::Black);
  EXPECT_EQ(f.DisplayBitmap.Pixel(100, 58), c::Red);
  EXPECT_EQ(f.DisplayBitmap.Pixel(100, 42), c::Black);
  S.CrossState = 1;
  Frame();
  EXPECT_EQ(f.DisplayBitmap.Pixel(92, 50), c::Black);
  S.CrossState = 2;
  S.DisplayMode = 2;
  Frame();
  EXPECT_EQ(f.DisplayBitmap.Pixel(92, 50), c::Black);
}

TEST_F(Rendering, PeakFrequencyCaption) {
  SetData(0.0f);
  S.PeakFrequency = 1000.06f;
  Frame();
  EXPECT_EQ(f.PeakFreq->Caption(), "1000.1");
  S.SweepMode = 1;
  S.OutputFrequency = 2500.0f;
  Frame();
  EXPECT_EQ(f.PeakFreq->Caption(), "2500.0");
  S.DisplayMode = 3;
  Frame();
  EXPECT_EQ(f.PeakFreq->Caption(), "2500.0");
}

TEST_F(Rendering, SweepTraceDecimatesByMaximumAndAppliesTheCalibration) {
  S.SweepMode = 1;
  S.SweepPointStep = 4;
  S.SweepPointIndex = 512;
  for (int x = 0; x < kArrayLen; ++x) S.DisplayValues[x] = static_cast<float>(x % 4 == 3 ? 50 : 10);
  Frame();
  // Window d..d+4 contains the value 50 at d+2 (d = 1, 5, 9, ...).
  for (int d = 1; d <= 509; d += 4) ASSERT_EQ(S.SweepTracePixels[d], 50) << d;
  EXPECT_EQ(S.SweepTracePixels[0], 50);
  EXPECT_EQ(f.DisplayBitmap.Pixel(300, 199 - 50), c::Yellow);

  // Calibration flattens the response to its value at point 1 + 8s.
  for (int x = 0; x < kArrayLen; ++x) S.DisplayValues[x] = static_cast<float>(x / 8);
  S.SweepCalibrating = 1;
  Frame();
  const int ref = S.SweepTracePixels[33];
  for (int d = 5; d <= 509; d += 4) ASSERT_EQ(S.SweepTracePixels[d], ref) << d;
  EXPECT_EQ(S.SweepCalCorrection[101], (33 + 4) / 8 - (101 + 4) / 8);

  // Later passes add the stored correction.
  S.SweepCalibrating = 0;
  Frame();
  for (int d = 5; d <= 509; d += 4) ASSERT_EQ(S.SweepTracePixels[d], ref) << d;
  EXPECT_EQ(f.DisplayBitmap.Pixel(300, 199), c::Lime) << "the empty previous pass";
}

}  // namespace
}  // namespace zorvane
