// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/bitmap.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cwchar>

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

// Sets count pixels from p to c. wchar_t is a 32-bit unit here, so the C
// library's vectorised wide fill does the work.
static_assert(sizeof(wchar_t) == sizeof(Color), "pixels are filled as wide characters");
void FillPixels(Color* p, size_t count, Color c) {
  if (count > 0) std::wmemset(reinterpret_cast<wchar_t*>(p), static_cast<wchar_t>(c), count);
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
  const int w = bmp_->Width(), h = bmp_->Height();
  const Color pen = PenColor & 0x00FFFFFF;
  penX_ = x;
  penY_ = y;
  if (dy == 0) {
    // Horizontal: the pixels from x0 towards x1, x1 excluded, as one span.
    if (y0 < 0 || y0 >= h || dx == 0) return;
    const long long first = std::max(0LL, sx > 0 ? x0 : x1 + 1);
    const long long last = std::min<long long>(w - 1, sx > 0 ? x1 - 1 : x0);
    if (first <= last) FillPixels(bmp_->Row(static_cast<int>(y0)) + first, last - first + 1, pen);
    return;
  }
  if (dx == 0) {
    // Vertical: one pixel a row, y1 excluded.
    if (x0 < 0 || x0 >= w) return;
    const long long first = std::max(0LL, sy > 0 ? y0 : y1 + 1);
    const long long last = std::min<long long>(h - 1, sy > 0 ? y1 - 1 : y0);
    for (long long r = first; r <= last; ++r) bmp_->Row(static_cast<int>(r))[x0] = pen;
    return;
  }
  long long err = dx + dy;
  const long long steps = std::max(dx, -dy);
  if (std::min(x0, x1) >= 0 && std::min(y0, y1) >= 0 && std::max(x0, x1) < w &&
      std::max(y0, y1) < h) {
    // Wholly on the bitmap: the same walk without a check per pixel.
    Color* p = bmp_->Row(static_cast<int>(y0)) + x0;
    const long long stride = sy * static_cast<long long>(w);
    for (long long i = 0; i < steps; ++i) {
      *p = pen;
      const long long e2 = 2 * err;
      if (e2 >= dy) {
        err += dy;
        p += sx;
      }
      if (e2 <= dx) {
        err += dx;
        p += stride;
      }
    }
    return;
  }
  for (long long i = 0; i < steps; ++i) {
    if (x0 >= 0 && y0 >= 0 && x0 < w && y0 < h) bmp_->Row(static_cast<int>(y0))[x0] = pen;
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
}

void Canvas::FillRect(const Rect& r) {
  const int l = std::max(0, r.Left), t = std::max(0, r.Top);
  const int rr = std::min(bmp_->Width(), r.Right), b = std::min(bmp_->Height(), r.Bottom);
  if (l >= rr || t >= b) return;
  const Color brush = BrushColor;
  if (l == 0 && rr == bmp_->Width()) {
    // Whole rows lie next to each other: one fill.
    FillPixels(bmp_->Row(t), static_cast<size_t>(b - t) * rr, brush);
    return;
  }
  for (int y = t; y < b; ++y) FillPixels(bmp_->Row(y) + l, static_cast<size_t>(rr - l), brush);
}

void Canvas::Rectangle(int left, int top, int right, int bottom) {
  FillRect({left, top, right, bottom});
  if (right - left < 1 || bottom - top < 1) return;
  // The outline in the pen's colour: the two rows, then the two columns.
  const Color keep = PenColor & 0x00FFFFFF;
  const int l = std::max(0, left), r = std::min(bmp_->Width(), right);
  for (const int y : {top, bottom - 1})
    if (y >= 0 && y < bmp_->Height() && l < r) FillPixels(bmp_->Row(y) + l, r - l, keep);
  const int t = std::max(0, top), b = std::min(bmp_->Height(), bottom);
  for (const int x : {left, right - 1})
    if (x >= 0 && x < bmp_->Width())
      for (int y = t; y < b; ++y) bmp_->Row(y)[x] = keep;
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
