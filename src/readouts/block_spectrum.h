// SPDX-License-Identifier: GPL-3.0-or-later
// The power spectrum the readouts measure on: each block's raw samples under
// their own window (seven-term Blackman-Harris, side lobes below -180 dB, so
// far below a 16-bit floor), whatever window, gain and scale the display
// uses. Powers are in full-scale units, normalised for noise: a sine's
// power summed over its lobe is its power (a full-scale sine sums to 1, that
// is 0 dBFS), and the sum over any band is the power of the noise in it.
#pragma once

#include <cstdint>
#include <memory>

namespace zorvane::readouts {

constexpr int kMinBlock = 1024;
constexpr int kMaxBlock = 8192;
// A tone's power lies within this many bins either side of it (the
// window's main lobe; the bins beyond hold less than -180 dB of it).
constexpr int kLobeBins = 7;

class BlockSpectrum {
 public:
  BlockSpectrum();
  ~BlockSpectrum();
  BlockSpectrum(const BlockSpectrum&) = delete;
  BlockSpectrum& operator=(const BlockSpectrum&) = delete;

  // Windows and transforms samples[0..n-1], whose full scale (the amplitude
  // of a 0 dBFS sine) is fullScale. n is a power of two from kMinBlock to
  // kMaxBlock; false, and nothing computed, for any other. The block's
  // constant part (its offset) is removed, lobe and all. Allocates nothing.
  bool Compute(const int32_t* samples, int n, double fullScale);

  // Bins 0..n/2 of the last block (bin k at k * rate / n Hz).
  const float* Power() const { return power_; }
  int Size() const { return size_; }
  // The last block held a run of three or more samples at (within 1/8192
  // of) an end of the sample range: the signal was clipped, or its peaks
  // linger at full scale.
  bool Clipped() const { return clipped_; }

 private:
  struct Plans;
  std::unique_ptr<Plans> plans_;
  float* windowed_ = nullptr;   // the windowed block, read as n/2 complex values
  float* transform_ = nullptr;  // their transform, n/2 complex values
  float* power_ = nullptr;
  float* window_ = nullptr;      // for kMaxBlock; a size n takes every (kMaxBlock/n)-th
  float* twiddle_ = nullptr;     // exp(-2 pi i k / kMaxBlock), k < kMaxBlock / 2
  float* sizeWindow_ = nullptr;  // the window and twiddles of the last size
  float* sizeTwiddle_ = nullptr;
  double windowSquares_ = 0.0;  // sum of the squared window over kMaxBlock points
  int size_ = 0;
  bool clipped_ = false;
};

}  // namespace zorvane::readouts
