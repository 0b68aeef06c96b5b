// SPDX-License-Identifier: GPL-3.0-or-later
// The image of a form's client area, drawn from its control models the way
// the window shows them: panels in their colour (with a raised edge unless
// told otherwise), labels with their text in their font colour on their own
// background (growing to fit their text), buttons with their caption, text
// boxes, scroll and track bars, and paint boxes with their picture. Every
// control is clipped to its parent. Used where no window exists (the
// companion window always, the main window without a screen), so that a
// form image can be saved, copied and checked pixel for pixel.
#pragma once

#include <functional>

#include "app/controls.h"
#include "platform/bitmap.h"

namespace zorvane {

// The picture a paint box shows at its top-left corner; nullptr for none.
using PaintBoxPicture = std::function<const Bitmap*(const Control& box)>;

// A new bitmap of the form's client size (its Width x Height) with every
// visible control drawn in.
Bitmap PaintFormImage(const Control& form, const PaintBoxPicture& picture);

// Where a label stands, relative to its parent: labels grow to fit their
// text, keeping their left edge, or their right edge when right-aligned.
Rect LabelBounds(const Control& label);

}  // namespace zorvane
