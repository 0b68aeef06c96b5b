// SPDX-License-Identifier: GPL-3.0-or-later
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
constexpr double kTwoPi = 6.283185307179586;
constexpr double kHalfPi = 1.5707963267948966;

// The triangle of unit slope in phase with sin(phase): phase itself up to
// the crest at pi/2, falling to -pi/2 at 3 pi/2, rising again to 2 pi.
double TrianglePhase(double phase) {
  const double p = std::fmod(phase, kTwoPi);
  if (p <= kHalfPi) return p;
  if (p <= 3.0 * kHalfPi) return 2.0 * kHalfPi - p;
  return p - kTwoPi;
}

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

  // The square's edges: a sample within half a step of a zero crossing of the
  // reference takes the share of its step that lies on either side of it
  // (the sine is a straight line there), so each half wave holds exactly its
  // share of the loop and the wave has no offset; everywhere else +-32767.
  const double edge = std::sin(0.5 * static_cast<double>(d));
  // The triangle: the ramp of step g per sample climbs while the reference
  // rises and falls while it falls. Taken as a function of the phase, it
  // turns at the crest and at the trough by the part of a step that lies
  // before the turn, as the sine it follows does; a ramp that adds whole
  // steps overshoots at every turn by a different amount and drifts.
  const double slope = 20000.0 * static_cast<double>(g) / static_cast<double>(d);
  for (int i = 0; i < kRefLast; ++i) {
    double v;
    switch (waveform) {
      case 1:
        v = edge > 0.0 ? std::clamp(static_cast<double>(work[i]) / edge, -32767.0, 32767.0)
                       : (work[i] > 0 ? 32767.0 : (work[i] < 0 ? -32767.0 : work[i]));
        break;
      case 2:
        v = slope * TrianglePhase((i + 1) * static_cast<double>(d));
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

  // The crests: the samples nearest the crest and the trough fall at other
  // phases, so the loop's highest and lowest samples differ by up to a few
  // LSB; both are held to the smaller of the two, so the wave's peaks are
  // symmetric.
  if (waveform == 2) {
    const auto* samples = reinterpret_cast<const uint8_t*>(buffer);
    auto at = [samples](int i) {
      return static_cast<int16_t>(
          static_cast<uint16_t>(samples[2 * i] | (samples[2 * i + 1] << 8)));
    };
    const int count = loopBytes / 2;
    int top = 0, bottom = 0;
    for (int i = 0; i < count; ++i)
      top = std::max<int>(top, at(i)), bottom = std::min<int>(bottom, at(i));
    const int crest = std::min(top, -bottom);
    for (int i = 0; i < kRefLast; ++i) Store(buffer, i, std::clamp<int>(at(i), -crest, crest));
  }
}

}  // namespace zorvane
