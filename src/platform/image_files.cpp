// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/image_files.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <vector>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace zorvane {

namespace {

void Put16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(x & 0xFF);
  v.push_back((x >> 8) & 0xFF);
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}

bool EndsWithPng(const std::string& path) {
  if (path.size() < 4) return false;
  std::string ext = path.substr(path.size() - 4);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  return ext == ".png";
}

}  // namespace

std::vector<uint8_t> EncodeImage(const Bitmap& image, bool png) {
  const int w = image.Width(), h = image.Height();
  std::vector<uint8_t> file;
  if (png) {
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const Color c = image.Pixel(x, y);
        uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
        p[0] = c & 0xFF;
        p[1] = (c >> 8) & 0xFF;
        p[2] = (c >> 16) & 0xFF;
      }
    auto append = [](void* context, void* data, int size) {
      auto* out = static_cast<std::vector<uint8_t>*>(context);
      out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
    };
    if (!stbi_write_png_to_func(append, &file, w, h, 3, rgb.data(), w * 3)) file.clear();
    return file;
  }
  const uint32_t rowBytes = (static_cast<uint32_t>(w) * 3 + 3) & ~3u;
  const uint32_t dataBytes = rowBytes * static_cast<uint32_t>(h);
  file.reserve(54 + dataBytes);
  file.push_back('B');
  file.push_back('M');
  Put32(file, 54 + dataBytes);
  Put32(file, 0);
  Put32(file, 54);
  Put32(file, 40);
  Put32(file, static_cast<uint32_t>(w));
  Put32(file, static_cast<uint32_t>(h));
  Put16(file, 1);
  Put16(file, 24);
  Put32(file, 0);
  Put32(file, dataBytes);
  Put32(file, 3780);
  Put32(file, 3780);
  Put32(file, 0);
  Put32(file, 0);
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) {
      const Color c = image.Pixel(x, y);
      file.push_back((c >> 16) & 0xFF);  // blue
      file.push_back((c >> 8) & 0xFF);   // green
      file.push_back(c & 0xFF);          // red
    }
    for (uint32_t pad = static_cast<uint32_t>(w) * 3; pad < rowBytes; ++pad) file.push_back(0);
  }
  return file;
}

bool SaveImageFile(const Bitmap& image, const std::string& path) {
  const std::vector<uint8_t> file = EncodeImage(image, EndsWithPng(path));
  if (file.empty()) return false;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
  return std::fclose(f) == 0 && ok;
}

std::optional<Bitmap> LoadBmpFile(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return std::nullopt;
  std::vector<uint8_t> d;
  uint8_t buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) d.insert(d.end(), buf, buf + n);
  std::fclose(f);
  auto u32 = [&](size_t o) {
    return o + 4 <= d.size() ? static_cast<uint32_t>(d[o] | (d[o + 1] << 8) | (d[o + 2] << 16) |
                                                     (static_cast<uint32_t>(d[o + 3]) << 24))
                             : 0u;
  };
  if (d.size() < 54 || d[0] != 'B' || d[1] != 'M') return std::nullopt;
  const uint32_t offset = u32(10);
  const int w = static_cast<int>(u32(18));
  const int hRaw = static_cast<int>(u32(22));
  const int bpp = d[28] | (d[29] << 8);
  if (w <= 0 || w > 100000 || hRaw == 0 || (bpp != 24 && bpp != 32) || u32(30) != 0)
    return std::nullopt;
  const bool topDown = hRaw < 0;
  const int h = topDown ? -hRaw : hRaw;
  const size_t bytesPer = static_cast<size_t>(bpp / 8);
  const size_t rowBytes = (static_cast<size_t>(w) * bytesPer + 3) & ~size_t{3};
  if (offset + rowBytes * static_cast<size_t>(h) > d.size()) return std::nullopt;
  Bitmap b(w, h);
  for (int y = 0; y < h; ++y) {
    const size_t row = offset + rowBytes * static_cast<size_t>(topDown ? y : h - 1 - y);
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = &d[row + static_cast<size_t>(x) * bytesPer];
      b.SetPixel(x, y,
                 static_cast<Color>(p[2]) | (static_cast<Color>(p[1]) << 8) |
                     (static_cast<Color>(p[0]) << 16));
    }
  }
  return b;
}

}  // namespace zorvane
