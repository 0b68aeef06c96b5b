// SPDX-License-Identifier: GPL-3.0-or-later
// One loop of the generator's tone, in the output device's format (16-bit
// signed little-endian mono at 44,100 samples per second).
#pragma once

#include <cstdint>

namespace zorvane {

constexpr uint16_t kNoiseLoopBytes = 45312;
constexpr int kNoiseDraws = 88200;

// The C library's portable pseudo-random generator: uniform 0..32767.
int NextRandom(uint32_t& seed);

// Writes the loop into buffer (at least 176,400 bytes) using work (at least
// 11,026 floats) as the reference sine, and its length in bytes into
// loopBytes. waveform: 0 sine, 1 square, 2 triangle, 3 noise; any other value
// (only a damaged settings file brings one) plays a sine.
void SynthesizeWaveform(uint8_t* buffer, float* work, float frequency, int waveform,
                        uint16_t& loopBytes, uint32_t& noiseSeed);

}  // namespace zorvane
