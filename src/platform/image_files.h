// SPDX-License-Identifier: GPL-3.0-or-later
// Writing and reading plot images as files: Windows BMP (24-bit) or PNG,
// chosen by the file name's extension.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/bitmap.h"

namespace zorvane {

// The bytes of the image as a PNG or a 24-bit BMP file.
std::vector<uint8_t> EncodeImage(const Bitmap& image, bool png);

// Writes a BMP unless the name ends in ".png" (any case). Returns false when
// the file cannot be written.
bool SaveImageFile(const Bitmap& image, const std::string& path);

// Reads a 24- or 32-bit uncompressed BMP as written by SaveImageFile.
std::optional<Bitmap> LoadBmpFile(const std::string& path);

}  // namespace zorvane
