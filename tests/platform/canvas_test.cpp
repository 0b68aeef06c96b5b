// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/bitmap.h"
#include "support/test_support.h"

using namespace zorvane;

using zorvane::testing::CountPixels;

TEST(Canvas, LineLeavesItsEndPointUnpainted) {
  Bitmap b(20, 20);
  Canvas c(b);
  c.PenColor = colors::Red;
  c.MoveTo(2, 5);
  c.LineTo(10, 5);
  EXPECT_EQ(b.Pixel(10, 5), colors::Black);
  EXPECT_EQ(CountPixels(b, colors::Red), 8);
  // Joined segments paint every pixel once and continue from the end point.
  c.LineTo(10, 12);
  EXPECT_EQ(b.Pixel(10, 5), colors::Red);
  EXPECT_EQ(b.Pixel(10, 12), colors::Black);
  EXPECT_EQ(std::pair(c.PenX(), c.PenY()), std::pair(10, 12));
  // The same drawn backwards along a diagonal; a zero-length line paints nothing.
  c.PenColor = colors::Lime;
  c.MoveTo(9, 19);
  c.LineTo(2, 12);
  EXPECT_EQ(b.Pixel(9, 19), colors::Lime);
  EXPECT_EQ(b.Pixel(2, 12), colors::Black);
  EXPECT_EQ(CountPixels(b, colors::Lime), 7);
  c.PenColor = colors::White;
  c.LineTo(2, 12);
  EXPECT_EQ(CountPixels(b, colors::White), 0);
}

TEST(Canvas, DrawingOutsideTheBitmapIsClipped) {
  Bitmap b(8, 8);
  Canvas c(b);
  c.PenColor = colors::Aqua;
  c.MoveTo(-5, 3);
  c.LineTo(20, 3);
  EXPECT_EQ(CountPixels(b, colors::Aqua), 8);
  c.MoveTo(0, -2000000000);
  c.LineTo(0, 2000000000);  // absurd heights cannot stall or overrun
  EXPECT_EQ(b.Pixel(0, 0), colors::Aqua);
  EXPECT_EQ(b.Pixel(-1, 0), 0u);
  b.SetPixel(100, 100, colors::Red);
  c.BrushColor = colors::Yellow;
  c.FillRect({-3, -3, 3, 3});
  EXPECT_EQ(CountPixels(b, colors::Yellow), 9);
}

TEST(Canvas, RectangleCoversRightAndBottomExclusive) {
  Bitmap b(513, 203, colors::White);
  Canvas c(b);
  c.PenColor = c.BrushColor = colors::Black;
  c.Rectangle(0, 0, 513, 203);
  EXPECT_EQ(CountPixels(b, colors::Black), 513 * 203);
  Bitmap s(6, 6);
  Canvas d(s);
  d.PenColor = colors::Red;
  d.BrushColor = colors::Blue;
  d.Rectangle(1, 1, 5, 5);
  EXPECT_EQ(CountPixels(s, colors::Red), 12);  // the outline of [1, 5) x [1, 5)
  EXPECT_EQ(CountPixels(s, colors::Blue), 4);
  EXPECT_EQ(s.Pixel(4, 4), colors::Red);
}

TEST(Canvas, CopyWithinOneBitmapReadsTheOriginalPixelsAndStretches) {
  // Shifting rows down inside one bitmap must not smear the first row.
  Bitmap b(3, 4);
  b.Pixels() = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};  // row y holds y + 1
  Canvas(b).CopyRect({0, 1, 3, 4}, b, {0, 0, 3, 3});
  EXPECT_EQ(b.Pixels(), (std::vector<Color>{1, 1, 1, 1, 1, 1, 2, 2, 2, 3, 3, 3}));
  // A stretching copy doubles each source pixel.
  Bitmap small(2, 1), big(4, 2);
  small.Pixels() = {colors::Red, colors::Blue};
  Canvas(big).CopyRect({0, 0, 4, 2}, small, {0, 0, 2, 1});
  EXPECT_EQ(big.Pixel(1, 1), colors::Red);
  EXPECT_EQ(big.Pixel(2, 0), colors::Blue);
}
