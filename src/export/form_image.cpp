// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/form_image.h"

#include <algorithm>

#include "export/form_font.h"

namespace zorvane {

namespace {

// The look of the parts a control model does not colour itself.
constexpr Color kFace = 0xE1E1E1;       // button face
constexpr Color kFrame = 0xADADAD;      // button and text box frame
constexpr Color kTrack = 0xF0F0F0;      // scroll bar track
constexpr Color kThumb = 0xCDCDCD;      // scroll and track bar thumb
constexpr Color kArrow = 0x606060;      // scroll bar arrows
constexpr Color kHighlight = 0xFFFFFF;  // raised edge, top and left
constexpr Color kShadow = 0x808080;     // raised edge, bottom and right
constexpr Color kGrayText = 0x808080;   // disabled captions

Rect Intersect(const Rect& a, const Rect& b) {
  return {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom)};
}

bool Empty(const Rect& r) { return r.Left >= r.Right || r.Top >= r.Bottom; }

Rect Offset(const Rect& r, int dx, int dy) {
  return {r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}

class Painter {
 public:
  Painter(Bitmap& target, const PaintBoxPicture& picture) : bmp_(target), picture_(picture) {}

  void Children(const Control& parent, int originX, int originY, const Rect& clip) {
    for (const Control* c : parent.Children()) {
      if (!c->Visible()) continue;
      Rect r{originX + c->Left(), originY + c->Top(), originX + c->Left() + c->Width(),
             originY + c->Top() + c->Height()};
      if (c->Kind() == ControlKind::Label) r = Offset(LabelBounds(*c), originX, originY);
      const Rect inner = Intersect(r, clip);
      if (Empty(inner)) continue;
      Paint(*c, r, inner);
      Children(*c, r.Left, r.Top, inner);
    }
  }

 private:
  void Fill(const Rect& r, const Rect& clip, Color c) {
    const Rect f = Intersect(Intersect(r, clip), {0, 0, bmp_.Width(), bmp_.Height()});
    for (int y = f.Top; y < f.Bottom; ++y)
      std::fill(bmp_.Row(y) + f.Left, bmp_.Row(y) + f.Right, c);
  }

  // A one-pixel edge: light on top and left, dark on the bottom and right
  // (swapped for a sunken edge).
  void Edge(const Rect& r, const Rect& clip, Color topLeft, Color bottomRight) {
    Fill({r.Left, r.Top, r.Right, r.Top + 1}, clip, topLeft);
    Fill({r.Left, r.Top, r.Left + 1, r.Bottom}, clip, topLeft);
    Fill({r.Left, r.Bottom - 1, r.Right, r.Bottom}, clip, bottomRight);
    Fill({r.Right - 1, r.Top, r.Right, r.Bottom}, clip, bottomRight);
  }

  void Text(const Control& c, int x, int y, const std::string& text, const Rect& clip) {
    const FontStyle font{c.FontHeight(), c.FontBold() || c.Kind() == ControlKind::Button};
    DrawText(bmp_, x, y, text, font, c.Enabled() ? c.FontColor() : kGrayText, clip);
  }

  int TextTop(const Control& c, const Rect& r) {
    const FontStyle font{c.FontHeight(), c.FontBold() || c.Kind() == ControlKind::Button};
    return r.Top + (r.Bottom - r.Top - LineHeight(font)) / 2;
  }

  // A small solid triangle pointing left or right, centred in r.
  void Arrow(const Rect& r, const Rect& clip, bool right) {
    const int cx = (r.Left + r.Right) / 2, cy = (r.Top + r.Bottom) / 2;
    const int size = std::max(2, (r.Bottom - r.Top) / 4);
    for (int i = 0; i < size; ++i) {
      const int x = right ? cx - size / 2 + i : cx + size / 2 - i;
      const int half = size - 1 - i;
      Fill({x, cy - half, x + 1, cy + half + 1}, clip, kArrow);
    }
  }

  void Paint(const Control& c, const Rect& r, const Rect& clip) {
    switch (c.Kind()) {
      case ControlKind::Panel:
        Fill(r, clip, c.BackColor());
        if (c.Bevel()) Edge(r, clip, kHighlight, kShadow);
        break;
      case ControlKind::Label: {
        Fill(r, clip, c.BackColor());
        const int x = c.AlignRight()
                          ? r.Right - TextWidth(c.Caption(), {c.FontHeight(), c.FontBold()})
                          : r.Left;
        Text(c, x, TextTop(c, r), c.Caption(), clip);
        break;
      }
      case ControlKind::Button: {
        Fill(r, clip, kFace);
        Edge(r, clip, kFrame, kFrame);
        const FontStyle font{c.FontHeight(), true};
        const int x = r.Left + (r.Right - r.Left - TextWidth(c.Caption(), font)) / 2;
        Text(c, x, TextTop(c, r), c.Caption(),
             Intersect(clip, {r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1}));
        break;
      }
      case ControlKind::Memo:
        Fill(r, clip, c.BackColor());
        Edge(r, clip, kShadow, kHighlight);
        Text(c, r.Left + 3, TextTop(c, r), c.Text(),
             Intersect(clip, {r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1}));
        break;
      case ControlKind::ScrollBar: {
        Fill(r, clip, kTrack);
        const int h = r.Bottom - r.Top;
        const Rect leftArrow{r.Left, r.Top, r.Left + h, r.Bottom};
        const Rect rightArrow{r.Right - h, r.Top, r.Right, r.Bottom};
        Arrow(leftArrow, clip, false);
        Arrow(rightArrow, clip, true);
        const int span = std::max(1, c.Max() - c.Min());
        const int travel = std::max(0, r.Right - r.Left - 3 * h);
        const int x = leftArrow.Right + travel * (c.Position() - c.Min()) / span;
        Fill({x, r.Top + 1, x + h, r.Bottom - 1}, clip, kThumb);
        break;
      }
      case ControlKind::TrackBar: {
        // On its parent's colour: a sunken groove, ticks below, the thumb.
        const int cy = r.Top + (r.Bottom - r.Top) / 3;
        Edge({r.Left + 4, cy - 2, r.Right - 4, cy + 2}, clip, kShadow, kHighlight);
        const int span = std::max(1, c.Max() - c.Min());
        const int travel = std::max(0, r.Right - r.Left - 18);
        for (int k = 0; k <= 10; ++k) {
          const int x = r.Left + 9 + travel * k / 10;
          Fill({x, r.Bottom - 6, x + 1, r.Bottom - 2}, clip, kHighlight);
        }
        const int x = r.Left + 9 + travel * (c.Position() - c.Min()) / span;
        Fill({x - 4, cy - 7, x + 5, cy + 7}, clip, kThumb);
        Edge({x - 4, cy - 7, x + 5, cy + 7}, clip, kHighlight, kShadow);
        break;
      }
      case ControlKind::PaintBox:
        if (const Bitmap* picture = picture_ ? picture_(c) : nullptr) {
          const Rect f = Intersect(Intersect(clip, {r.Left, r.Top, r.Left + picture->Width(),
                                                    r.Top + picture->Height()}),
                                   {0, 0, bmp_.Width(), bmp_.Height()});
          for (int y = f.Top; y < f.Bottom; ++y)
            std::copy(picture->Row(y - r.Top) + (f.Left - r.Left),
                      picture->Row(y - r.Top) + (f.Right - r.Left), bmp_.Row(y) + f.Left);
        }
        break;
      default:
        break;
    }
  }

  Bitmap& bmp_;
  const PaintBoxPicture& picture_;
};

}  // namespace

Rect LabelBounds(const Control& label) {
  const FontStyle font{label.FontHeight(), label.FontBold()};
  const int width = std::max(label.Width(), TextWidth(label.Caption(), font));
  const int right = label.AlignRight() ? label.Left() + label.Width() : label.Left() + width;
  return {right - width, label.Top(), right, label.Top() + label.Height()};
}

Bitmap PaintFormImage(const Control& form, const PaintBoxPicture& picture) {
  Bitmap image(std::max(0, form.Width()), std::max(0, form.Height()), form.BackColor());
  Painter p(image, picture);
  p.Children(form, 0, 0, {0, 0, image.Width(), image.Height()});
  return image;
}

}  // namespace zorvane
