// SPDX-License-Identifier: GPL-3.0-or-later
// Colour of a waterfall level in the pseudo-colour map.
#pragma once

#include "platform/bitmap.h"

namespace zorvane {

// Bands of ten or more levels from black through the named colours to white;
// levels 260..279 are black, 280 and above white, below 10 black.
Color PseudoColorOf(int level);

}  // namespace zorvane
