// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/form_font.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace zorvane {

namespace {

constexpr int kFirstChar = 32, kLastChar = 126, kGlyphRows = 20;

struct GlyphData {
  uint8_t Advance;
  int8_t Left;
  uint8_t Width;
  uint32_t Rows[kGlyphRows];
};

struct GlyphFace {
  int Pixels, LineHeight, Ascent;
  GlyphData Glyphs[kLastChar - kFirstChar + 1];
};

#include "export/form_font_data.inc"

constexpr const GlyphFace* kFaces[] = {&kFace13, &kFace14, &kFace17};

struct Scaled {
  const GlyphFace* Face;
  int Scale;
};

Scaled Pick(const FontStyle& font) {
  const int scale = font.Pixels >= 26 ? 2 : 1;
  const int want = font.Pixels / scale;
  const GlyphFace* best = kFaces[0];
  for (const GlyphFace* f : kFaces)
    if (std::abs(f->Pixels - want) < std::abs(best->Pixels - want)) best = f;
  return {best, scale};
}

const GlyphData& Glyph(const GlyphFace& face, char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  const int index = (u < kFirstChar || u > kLastChar) ? '?' : u;
  return face.Glyphs[index - kFirstChar];
}

}  // namespace

int TextWidth(const std::string& text, const FontStyle& font) {
  const Scaled s = Pick(font);
  int w = 0;
  for (char c : text) w += (Glyph(*s.Face, c).Advance + (font.Bold ? 1 : 0)) * s.Scale;
  return w;
}

int LineHeight(const FontStyle& font) {
  const Scaled s = Pick(font);
  return s.Face->LineHeight * s.Scale;
}

void DrawText(Bitmap& target, int x, int y, const std::string& text, const FontStyle& font,
              Color color, const Rect& clip) {
  const Scaled s = Pick(font);
  const int left = std::max(clip.Left, 0), top = std::max(clip.Top, 0);
  const int right = std::min(clip.Right, target.Width());
  const int bottom = std::min(clip.Bottom, target.Height());
  if (left >= right || top >= bottom) return;
  auto plot = [&](int px, int py) {
    for (int dy = 0; dy < s.Scale; ++dy)
      for (int dx = 0; dx < s.Scale; ++dx) {
        const int tx = px + dx, ty = py + dy;
        if (tx >= left && tx < right && ty >= top && ty < bottom) target.Row(ty)[tx] = color;
      }
  };
  int penX = x;
  for (char c : text) {
    const GlyphData& g = Glyph(*s.Face, c);
    for (int row = 0; row < kGlyphRows; ++row) {
      const uint32_t bits = g.Rows[row];
      if (bits == 0) continue;
      for (int col = 0; col < g.Width; ++col) {
        if (!(bits & (1u << col))) continue;
        const int px = penX + (g.Left + col) * s.Scale, py = y + row * s.Scale;
        plot(px, py);
        if (font.Bold) plot(px + s.Scale, py);
      }
    }
    penX += (g.Advance + (font.Bold ? 1 : 0)) * s.Scale;
  }
}

}  // namespace zorvane
