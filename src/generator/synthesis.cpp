#include "generator/synthesis.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zorvane {

namespace {
constexpr long double kSamplePeriod = 2.2675736961451248e-05L;  // 1 / 44100
constexpr long double kPi = 3.14159L;
constexpr int kRefLast = 11025;
constexpr int kLowestTrim = 16;
constexpr float kRampCrest = static_cast<float>(0.635 * 3.14159 / 2.0);

void Store(uint8_t* buffer, int i, double v) {
  // Truncation toward zero, kept inside the 16-bit range for any frequency.
  long t = static_cast<long>(std::clamp(v, -32768.0, 32767.0));
  const auto s = static_cast<uint16_t>(static_cast<int16_t>(t));
  buffer[2 * i] = static_cast<uint8_t>(s & 0xFF);
  buffer[2 * i + 1] = static_cast<uint8_t>(s >> 8);
}
}  // namespace

int NextRandom(uint32_t& seed) {
  seed = seed * 1103515245u + 12345u;
  return static_cast<int>((seed / 65536u) % 32768u);
}

void SynthesizeWaveform(uint8_t* buffer, float* work, float frequency, int waveform,
                        uint16_t& loopBytes, uint32_t& noiseSeed) {
  if (waveform == 3) {
    loopBytes = kNoiseLoopBytes;
    for (int i = 0; i < kNoiseDraws; ++i) Store(buffer, i, NextRandom(noiseSeed) - 16384);
    return;
  }

  const float d =
      static_cast<float>(static_cast<long double>(frequency) * 2.0L * kPi * kSamplePeriod);
  const float g = static_cast<float>(127.0 * static_cast<double>(d) * 0.005);
  for (int n = 0; n <= kRefLast; ++n)
    work[n] =
        static_cast<float>(32767.0 * std::sin(static_cast<double>(n) * static_cast<double>(d)));

  float r = 0.0f;
  for (int i = 0; i < kRefLast; ++i) {
    double v;
    switch (waveform) {
      case 1:
        v = work[i] > 0 ? 32767.0 : (work[i] < 0 ? -32767.0 : work[i]);
        break;
      case 2:
        if (work[i + 1] > work[i])
          r = r + g;
        else if (work[i + 1] < work[i])
          r = r - g;
        // The ramp is held to the crest value it reaches in theory
        // (0.635 x pi/2): at high frequencies the coarse steps would
        // otherwise overshoot near the crests and the ramp would drift.
        r = std::clamp(r, -kRampCrest, kRampCrest);
        v = 20000.0 * static_cast<double>(r);
        break;
      default:
        v = work[i];
        break;
    }
    Store(buffer, i, v);
  }

  // End the loop just before a rising zero crossing of the reference sine.
  int n = kRefLast;
  int length = 2 * kRefLast;
  bool found = false;
  do {
    if (std::abs(static_cast<long>(work[n])) < 32 && work[n] > work[n - 1]) {
      found = true;
      break;
    }
    length -= 2;
    n -= 1;
  } while (n >= kLowestTrim);
  loopBytes = static_cast<uint16_t>(found ? length : 30);
}

}  // namespace zorvane
