// SPDX-License-Identifier: GPL-3.0-or-later
// Off-screen bitmaps with a small drawing canvas: 32-bit pixels in the
// 0x00BBGGRR layout (red in the low byte), pens and brushes one pixel wide,
// move-to/line-to whose end point is not painted, filled rectangles, single
// pixels and a stretching block copy. Headless and pixel-exact, so frames can
// be checked and saved without a screen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zorvane {

using Color = uint32_t;  // 0x00BBGGRR

namespace colors {
constexpr Color Black = 0x000000, Maroon = 0x000080, Green = 0x008000, Olive = 0x008080,
                Navy = 0x800000, Purple = 0x800080, Teal = 0x808000, Gray = 0x808080,
                Silver = 0xC0C0C0, Red = 0x0000FF, Lime = 0x00FF00, Yellow = 0x00FFFF,
                Blue = 0xFF0000, Fuchsia = 0xFF00FF, Aqua = 0xFFFF00, White = 0xFFFFFF;
}

struct Rect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;  // right and bottom exclusive
};

class Bitmap {
 public:
  Bitmap() = default;
  Bitmap(int width, int height, Color fill = colors::Black);

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Out-of-range reads give 0 and writes are ignored.
  Color Pixel(int x, int y) const;
  void SetPixel(int x, int y, Color c);
  const std::vector<Color>& Pixels() const { return pixels_; }
  std::vector<Color>& Pixels() { return pixels_; }
  Color* Row(int y) { return pixels_.data() + static_cast<size_t>(y) * width_; }
  const Color* Row(int y) const { return pixels_.data() + static_cast<size_t>(y) * width_; }

 private:
  int width_ = 0, height_ = 0;
  std::vector<Color> pixels_;
};

class Canvas {
 public:
  explicit Canvas(Bitmap& bitmap) : bmp_(&bitmap) {}

  Color PenColor = colors::Black;
  Color BrushColor = colors::White;
  int PenWidth = 1;

  void MoveTo(int x, int y) {
    penX_ = x;
    penY_ = y;
  }
  // Draws from the pen position towards (x, y), leaving (x, y) itself unpainted.
  void LineTo(int x, int y);
  // Fills [Left, Right) x [Top, Bottom) with the brush.
  void FillRect(const Rect& r);
  // Outline in the pen colour and inside in the brush colour, covering
  // [Left, Right) x [Top, Bottom).
  void Rectangle(int left, int top, int right, int bottom);
  void SetPixel(int x, int y, Color c) { bmp_->SetPixel(x, y, c); }
  // Stretching copy (nearest source row/column) of src rectangle onto dst
  // rectangle of this canvas; works when source and target are the same bitmap.
  void CopyRect(const Rect& dst, const Bitmap& src, const Rect& srcRect);
  // Plain copy of a whole bitmap with its top-left corner at (x, y).
  void Draw(int x, int y, const Bitmap& src);

  int PenX() const { return penX_; }
  int PenY() const { return penY_; }
  Bitmap& Target() { return *bmp_; }

 private:
  Bitmap* bmp_;
  int penX_ = 0, penY_ = 0;
  std::vector<Color> scratch_;
};

}  // namespace zorvane
