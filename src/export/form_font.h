// SPDX-License-Identifier: GPL-3.0-or-later
// Text in form images: a sans-serif bitmap font, one pixel per bit, drawn
// without smoothing so that an image of a form is the same on every machine.
// Faces of 13, 14 and 17 pixels; other heights take the nearest face, twice
// its size from 26 pixels up. Bold is the face drawn twice, one pixel apart.
// Characters outside printable ASCII are drawn as "?".
#pragma once

#include <string>

#include "platform/bitmap.h"

namespace zorvane {

struct FontStyle {
  int Pixels = 14;  // character height
  bool Bold = false;
};

// Width of the text in pixels (the sum of the advances).
int TextWidth(const std::string& text, const FontStyle& font);
// Height of one line of text: the box DrawText fills from its top.
int LineHeight(const FontStyle& font);
// Draws the text with the top of its line at y; only pixels inside clip
// (and the bitmap) are painted.
void DrawText(Bitmap& target, int x, int y, const std::string& text, const FontStyle& font,
              Color color, const Rect& clip);

}  // namespace zorvane
