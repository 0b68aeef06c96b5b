// SPDX-License-Identifier: GPL-3.0-or-later
// Frames drawn into DisplayBitmap and WaterfallBitmap.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "support/test_support.h"

namespace zorvane {
namespace {

namespace c = colors;

struct Rendering : testing::InstrumentTest {
  const Bitmap& b = f.DisplayBitmap;

  void SetData(float v, std::initializer_list<std::pair<int, float>> points = {}) {
    std::fill(S.DisplayValues, S.DisplayValues + kArrayLen, v);
    for (auto [x, value] : points) S.DisplayValues[x] = value;
  }
  int Count(Color k) const { return testing::CountPixels(b, k); }
  // Rows of column x painted in the colour.
  std::vector<int> RowsIn(int x, Color colour) const {
    std::vector<int> rows;
    for (int y = 0; y < b.Height(); ++y)
      if (b.Pixel(x, y) == colour) rows.push_back(y);
    return rows;
  }
};

TEST_F(Rendering, LineAndBarGraphsFromTheBaselineWithTheVerticalScale) {
  SetData(0.0f);
  Frame();
  for (int x = 1; x <= 509; ++x)
    ASSERT_TRUE(x % 64 == 0 || RowsIn(x, c::Yellow) == std::vector<int>{199}) << "column " << x;
  // Odd points at height trunc(2 x 40.5) = 81, even points at 60.
  for (int x = 0; x < kArrayLen; ++x) S.DisplayValues[x] = 30.0f + (x % 2) * 10.5f;
  S.VerticalScale = 2.0f;
  Frame();
  EXPECT_EQ(b.Pixel(101, 199 - 81), c::Yellow);
  EXPECT_EQ(b.Pixel(102, 199 - 60), c::Yellow);
  // Each bar rises from the baseline one column left of its point to just
  // below the point; with zero data nothing rises off the baseline.
  S.GraphType = 2;
  S.GridOn = 0;
  Frame();
  EXPECT_EQ(RowsIn(100, c::Yellow).front(), 199 - 60 + 1);
  EXPECT_EQ(RowsIn(100, c::Yellow).back(), 199);
  EXPECT_EQ(b.Pixel(101, 199 - 81), c::Black);
  SetData(0.0f);
  Frame();
  for (int x = 0; x <= 512; ++x)
    for (int y : RowsIn(x, c::Yellow)) ASSERT_EQ(y, 199) << "column " << x;
}

TEST_F(Rendering, WaterfallColoursAndOneRowScroll) {
  S.DisplayMode = 3;
  S.GridOn = 0;
  S.VerticalScale = 4.0f;  // waterfall scale 3
  f.ClearWaterfallBitmap();
  f.WaterfallBitmap.SetPixel(40, 202, c::Aqua);  // the bottom row is never rewritten
  SetData(0.0f, {{10, 88.5f}, {11, 93.5f}});     // levels 265 and 280
  Frame();
  const Bitmap& w = f.WaterfallBitmap;
  EXPECT_EQ(w.Pixel(10, 1), c::Black);
  EXPECT_EQ(w.Pixel(11, 1), c::White);
  EXPECT_EQ(b.Pixel(11, 1), c::White) << "the waterfall is shown";
  S.WaterfallColorMap = 6;  // red map: level 300 spills into green
  S.DisplayValues[11] = 100.0f;
  Frame();
  EXPECT_EQ(w.Pixel(11, 1), 0x00012Cu);
  EXPECT_EQ(w.Pixel(11, 2), c::White) << "the previous frame moved down one row";
  EXPECT_EQ(w.Pixel(40, 202), c::Aqua);
}

TEST_F(Rendering, TimeTraceWaitsForARisingTrigger) {
  S.DisplayMode = 2;
  SetData(50.0f);
  Frame();
  EXPECT_EQ(Count(c::Yellow), 0) << "no rising step into 91..109";
  // Falling into the band does not trigger; rising at sample 300 does, and
  // column x shows sample 299 + x.
  SetData(50.0f, {{99, 150.0f}, {100, 100.0f}, {299, 80.0f}, {300, 100.0f}, {700, 10.0f}});
  Frame();
  EXPECT_EQ(b.Pixel(1, 199 - 100), c::Yellow);
  EXPECT_EQ(b.Pixel(401, 199 - 10), c::Yellow);
  EXPECT_EQ(b.Pixel(510, 149), c::Yellow) << "511 segments";
  EXPECT_EQ(b.Pixel(511, 149), c::Black);
  // At the largest size a trigger late in the block runs to its end.
  S.TransformSize = 8192;
  SetData(20.0f, {{7800, 95.0f}});
  Frame();
  EXPECT_EQ(b.Pixel(1, 199 - 95), c::Yellow);
  EXPECT_EQ(b.Pixel(392, 179), c::Black) << "the trace stops at the end of the block";
}

TEST_F(Rendering, ReferenceLineMarkersAndCross) {
  SetData(-10.0f);  // keep the trace off the plot
  S.RefLevelY = 3;
  f.Mkr1Btn->Click();
  f.Mkr2Btn->Click();
  f.Mkr2ScrollBar->SetPosition(512);
  S.CrossState = 2;  // a cross at (100, 50)
  S.CrossX = 100;
  S.CrossY = 50;
  Frame();
  EXPECT_EQ(RowsIn(1, c::Silver), std::vector<int>{0});
  EXPECT_EQ(Count(c::Silver), 510) << "columns 1..510 of row 0";
  std::vector<int> rows;  // from row 198 up to row 0, which is not painted
  for (int y = 1; y <= 198; ++y) rows.push_back(y);
  EXPECT_EQ(RowsIn(0, c::Fuchsia), rows);
  EXPECT_EQ(RowsIn(512, c::Fuchsia), rows);
  // Two 16-pixel strokes crossing in one pixel, besides the centre line.
  EXPECT_EQ(Count(c::Red), 200 + 31);
  S.DisplayMode = 3;  // the waterfall: white markers and no cross
  Frame();
  EXPECT_EQ(RowsIn(512, c::White), rows);
  EXPECT_EQ(b.Pixel(92, 50), c::Black);
}

TEST_F(Rendering, SweepPointsTakeTheirOwnTonesHeightAndTheCalibration) {
  // A falling response, 128 points over the default window: each point has
  // the height at its own tone's display point, not the larger one of the
  // tone before it.
  S.SweepMode = 1;
  S.OutputFrequency = 2500.0f;
  S.SweepPointStep = 4;
  S.SweepPointIndex = 512;
  S.SweepStartBin = 1;
  S.SweepBinStep = 511.0f / 512.0f;
  for (int x = 0; x < kArrayLen; ++x) S.DisplayValues[x] = 600.0f - x;
  Frame();
  for (int d = 1; d <= 509; d += 4) {
    ASSERT_EQ(S.SweepTracePixels[d], 600 - f.SweepToneColumn(d)) << d;
    ASSERT_NEAR(f.SweepToneColumn(d), d + 4, 1) << d;
  }
  // Calibration flattens later passes to the value at point 1 + 8s.
  for (int x = 0; x < kArrayLen; ++x) S.DisplayValues[x] = static_cast<float>(x / 8);
  S.SweepCalibrating = 1;
  Frame();
  const int ref = S.SweepTracePixels[33];
  S.SweepCalibrating = 0;
  Frame();
  for (int d = 5; d <= 509; d += 4) ASSERT_EQ(S.SweepTracePixels[d], ref) << d;
  EXPECT_EQ(b.Pixel(300, 199), c::Lime) << "the empty previous pass";
}

}  // namespace
}  // namespace zorvane
