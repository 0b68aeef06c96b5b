#include "platform/bitmap.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zorvane {

Bitmap::Bitmap(int width, int height, Color fill)
    : width_(std::max(0, width)),
      height_(std::max(0, height)),
      pixels_(static_cast<size_t>(width_) * height_, fill) {}

Color Bitmap::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return pixels_[static_cast<size_t>(y) * width_ + x];
}

void Bitmap::SetPixel(int x, int y, Color c) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  pixels_[static_cast<size_t>(y) * width_ + x] = c & 0x00FFFFFF;
}

namespace {

// Pulls an end point that lies absurdly far away back onto the segment, to
// within a box around the bitmap, so that the walk below stays short.
// Exactness does not matter there: those pixels are all off the bitmap.
void PullIn(double& x0, double& y0, double x1, double y1, double limit) {
  double t = 0.0;
  auto need = [&](double p, double q) {
    // Smallest t in [0, 1] that brings p + t (q - p) inside [-limit, limit].
    if (p < -limit && q != p) t = std::max(t, (-limit - p) / (q - p));
    if (p > limit && q != p) t = std::max(t, (p - limit) / (p - q));
  };
  need(x0, x1);
  need(y0, y1);
  t = std::min(t, 1.0);
  x0 += t * (x1 - x0);
  y0 += t * (y1 - y0);
}

}  // namespace

void Canvas::LineTo(int x, int y) {
  // Bresenham from the pen position; the end point is excluded, as the
  // toolkit's line-to does, so joined segments never paint a pixel twice.
  constexpr double kLimit = 1 << 16;
  long long x0 = penX_, y0 = penY_, x1 = x, y1 = y;
  if (std::llabs(x0) > kLimit || std::llabs(y0) > kLimit || std::llabs(x1) > kLimit ||
      std::llabs(y1) > kLimit) {
    double ax = static_cast<double>(x0), ay = static_cast<double>(y0);
    double bx = static_cast<double>(x1), by = static_cast<double>(y1);
    PullIn(ax, ay, bx, by, kLimit);
    PullIn(bx, by, ax, ay, kLimit);
    x0 = std::llround(ax);
    y0 = std::llround(ay);
    x1 = std::llround(bx);
    y1 = std::llround(by);
  }
  const long long dx = std::llabs(x1 - x0), dy = -std::llabs(y1 - y0);
  const long long sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  long long err = dx + dy;
  const long long steps = std::max(dx, -dy);
  const int w = bmp_->Width(), h = bmp_->Height();
  for (long long i = 0; i < steps; ++i) {
    if (x0 >= 0 && y0 >= 0 && x0 < w && y0 < h)
      bmp_->SetPixel(static_cast<int>(x0), static_cast<int>(y0), PenColor);
    const long long e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
  penX_ = x;
  penY_ = y;
}

void Canvas::FillRect(const Rect& r) {
  const int l = std::max(0, r.Left), t = std::max(0, r.Top);
  const int rr = std::min(bmp_->Width(), r.Right), b = std::min(bmp_->Height(), r.Bottom);
  for (int y = t; y < b; ++y)
    std::fill(bmp_->Row(y) + l, bmp_->Row(y) + std::max(l, rr), BrushColor);
}

void Canvas::Rectangle(int left, int top, int right, int bottom) {
  FillRect({left, top, right, bottom});
  if (right - left < 1 || bottom - top < 1) return;
  const Color keep = PenColor;
  for (int x = left; x < right; ++x) {
    bmp_->SetPixel(x, top, keep);
    bmp_->SetPixel(x, bottom - 1, keep);
  }
  for (int y = top; y < bottom; ++y) {
    bmp_->SetPixel(left, y, keep);
    bmp_->SetPixel(right - 1, y, keep);
  }
}

void Canvas::CopyRect(const Rect& dst, const Bitmap& src, const Rect& s) {
  const int dw = dst.Right - dst.Left, dh = dst.Bottom - dst.Top;
  const int sw = s.Right - s.Left, sh = s.Bottom - s.Top;
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  // Gather the source first so that a copy within one bitmap reads the
  // original pixels, then write the destination.
  scratch_.resize(static_cast<size_t>(dw) * dh);
  for (int y = 0; y < dh; ++y) {
    const int sy = s.Top + static_cast<int>(static_cast<long long>(y) * sh / dh);
    for (int x = 0; x < dw; ++x) {
      const int sx = s.Left + static_cast<int>(static_cast<long long>(x) * sw / dw);
      scratch_[static_cast<size_t>(y) * dw + x] = src.Pixel(sx, sy);
    }
  }
  for (int y = 0; y < dh; ++y)
    for (int x = 0; x < dw; ++x)
      bmp_->SetPixel(dst.Left + x, dst.Top + y, scratch_[static_cast<size_t>(y) * dw + x]);
}

void Canvas::Draw(int x, int y, const Bitmap& src) {
  for (int r = 0; r < src.Height(); ++r)
    for (int c = 0; c < src.Width(); ++c) bmp_->SetPixel(x + c, y + r, src.Pixel(c, r));
}

}  // namespace zorvane
