#include <gtest/gtest.h>

#include "platform/bitmap.h"

using namespace zorvane;

namespace {
int CountColor(const Bitmap& b, Color c) {
  int n = 0;
  for (Color p : b.Pixels()) n += p == c;
  return n;
}
}  // namespace

TEST(Canvas, LineLeavesItsEndPointUnpainted) {
  Bitmap b(20, 20);
  Canvas c(b);
  c.PenColor = colors::Red;
  c.MoveTo(2, 5);
  c.LineTo(10, 5);
  EXPECT_EQ(b.Pixel(2, 5), colors::Red);
  EXPECT_EQ(b.Pixel(9, 5), colors::Red);
  EXPECT_EQ(b.Pixel(10, 5), colors::Black);
  EXPECT_EQ(CountColor(b, colors::Red), 8);
  // Joined segments paint every pixel once and continue from the end point.
  c.LineTo(10, 12);
  EXPECT_EQ(b.Pixel(10, 5), colors::Red);
  EXPECT_EQ(b.Pixel(10, 12), colors::Black);
  EXPECT_EQ(c.PenX(), 10);
  EXPECT_EQ(c.PenY(), 12);
}

TEST(Canvas, DiagonalAndReversedLines) {
  Bitmap b(10, 10);
  Canvas c(b);
  c.PenColor = colors::Lime;
  c.MoveTo(7, 7);
  c.LineTo(0, 0);
  for (int i = 1; i <= 7; ++i) EXPECT_EQ(b.Pixel(i, i), colors::Lime) << i;
  EXPECT_EQ(b.Pixel(0, 0), colors::Black);
  // A zero-length line paints nothing.
  Bitmap e(4, 4);
  Canvas d(e);
  d.PenColor = colors::White;
  d.MoveTo(1, 1);
  d.LineTo(1, 1);
  EXPECT_EQ(CountColor(e, colors::White), 0);
}

TEST(Canvas, DrawingOutsideTheBitmapIsClipped) {
  Bitmap b(8, 8);
  Canvas c(b);
  c.PenColor = colors::Aqua;
  c.MoveTo(-5, 3);
  c.LineTo(20, 3);
  EXPECT_EQ(CountColor(b, colors::Aqua), 8);
  c.MoveTo(0, -2000000000);
  c.LineTo(0, 2000000000);  // absurd heights cannot stall or overrun
  EXPECT_EQ(b.Pixel(0, 0), colors::Aqua);
  EXPECT_EQ(b.Pixel(-1, 0), 0u);
  b.SetPixel(100, 100, colors::Red);
  c.BrushColor = colors::Yellow;
  c.FillRect({-3, -3, 3, 3});
  EXPECT_EQ(CountColor(b, colors::Yellow), 9);
}

TEST(Canvas, RectangleCoversRightAndBottomExclusive) {
  Bitmap b(513, 203, colors::White);
  Canvas c(b);
  c.PenColor = colors::Black;
  c.BrushColor = colors::Black;
  c.Rectangle(0, 0, 513, 203);
  EXPECT_EQ(CountColor(b, colors::Black), 513 * 203);
  Bitmap s(6, 6);
  Canvas d(s);
  d.PenColor = colors::Red;
  d.BrushColor = colors::Blue;
  d.Rectangle(1, 1, 5, 5);
  EXPECT_EQ(s.Pixel(1, 1), colors::Red);
  EXPECT_EQ(s.Pixel(4, 4), colors::Red);
  EXPECT_EQ(s.Pixel(2, 2), colors::Blue);
  EXPECT_EQ(s.Pixel(5, 5), colors::Black);
}

TEST(Canvas, CopyWithinOneBitmapReadsTheOriginalPixels) {
  // Shifting rows down inside one bitmap must not smear the first row.
  Bitmap b(3, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 3; ++x) b.SetPixel(x, y, static_cast<Color>(y + 1));
  Canvas c(b);
  c.CopyRect({0, 1, 3, 4}, b, {0, 0, 3, 3});
  for (int x = 0; x < 3; ++x) {
    EXPECT_EQ(b.Pixel(x, 0), 1u);
    EXPECT_EQ(b.Pixel(x, 1), 1u);
    EXPECT_EQ(b.Pixel(x, 2), 2u);
    EXPECT_EQ(b.Pixel(x, 3), 3u);
  }
  // A stretching copy doubles each source pixel.
  Bitmap small(2, 1);
  small.SetPixel(0, 0, colors::Red);
  small.SetPixel(1, 0, colors::Blue);
  Bitmap big(4, 2);
  Canvas(big).CopyRect({0, 0, 4, 2}, small, {0, 0, 2, 1});
  EXPECT_EQ(big.Pixel(1, 1), colors::Red);
  EXPECT_EQ(big.Pixel(2, 0), colors::Blue);
}
