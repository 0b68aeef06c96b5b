// SPDX-License-Identifier: GPL-3.0-or-later
// WAV files for tests, built chunk by chunk.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "wavefile/wave_header.h"

namespace zorvane::testing {

// A RIFF/WAVE file built chunk by chunk.
struct WavBytes {
  std::vector<uint8_t> b;
  WavBytes& Text(const char* s) {
    b.insert(b.end(), s, s + std::strlen(s));
    return *this;
  }
  WavBytes& U16(uint32_t v) {
    b.push_back(v & 0xFF), b.push_back((v >> 8) & 0xFF);
    return *this;
  }
  WavBytes& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  WavBytes& Zeros(size_t n) {
    b.insert(b.end(), n, 0);
    return *this;
  }
  // "RIFF" size "WAVE"
  static WavBytes Riff() { return WavBytes().Text("RIFF").U32(0).Text("WAVE"); }
  WavBytes& Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint32_t size = 16,
                int align = -1) {
    const uint16_t a = align >= 0 ? align : channels * bits / 8;
    Text("fmt ").U32(size).U16(tag).U16(channels).U32(rate).U32(rate * a).U16(a).U16(bits);
    return Zeros(size - 16);
  }
  WavBytes& Chunk(const char* id, uint32_t size) {
    Text(id).U32(size).Zeros(size);
    if (size & 1) Zeros(1);
    return *this;
  }
  // A data chunk whose size field says `stated` and that holds `held` bytes
  // of a rising ramp.
  WavBytes& Data(uint32_t stated, size_t held) {
    Text("data").U32(stated);
    for (size_t i = 0; i < held; ++i) b.push_back(static_cast<uint8_t>(i));
    return *this;
  }
  std::string Read(WaveFileInfo& info) const {
    MemoryByteSource source(b.data(), b.size());
    return ReadWaveFileInfo(source, info);
  }
  void Save(const std::string& path) const {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
  }
};

// A 16-bit file at `rate` of a sine at `hz`, `seconds` long (the right
// channel of a stereo file at a quarter of the left's amplitude).
inline std::string SineFile(TempDir& dir, const char* name, uint32_t rate, double hz,
                            double seconds, uint16_t channels = 1, double amplitude = 16000.0) {
  WavBytes w = WavBytes::Riff().Fmt(1, channels, rate, 16);
  const uint32_t frames = static_cast<uint32_t>(rate * seconds);
  w.Text("data").U32(frames * 2 * channels);
  for (uint32_t k = 0; k < frames; ++k)
    for (int c = 0; c < channels; ++c)
      w.U16(static_cast<uint16_t>(static_cast<int16_t>(
          std::lround((c == 0 ? 1.0 : 0.25) * amplitude * std::sin(2 * M_PI * hz * k / rate)))));
  const std::string path = dir.File(name);
  w.Save(path);
  return path;
}

}  // namespace zorvane::testing
