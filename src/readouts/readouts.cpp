// SPDX-License-Identifier: GPL-3.0-or-later
#include "readouts/readouts.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "readouts/block_spectrum.h"

namespace zorvane::readouts {

// Everything a block needs, allocated once with the readouts.
struct BlockReadouts::Work {
  BlockSpectrum spectrum;
  ToneSetup setup;
  float weight[kMaxBlock / 2 + 1] = {};
  ToneComponents block;
  double blockBands[kMaxBands] = {};
  // The last kMaxAverage blocks, for taking the oldest out of the sums.
  ToneComponents ring[kMaxAverage];
  double ringBands[kMaxAverage][kMaxBands] = {};
  long inRing = 0;
};

void BlockReadouts::Sums::Add(const ToneComponents& c, const double* blockBands, int bandCount,
                              int sign) {
  blocks += sign;
  if (!(c.flags & kNoTone)) {
    toneBlocks += sign;
    frequencyHz += sign * c.frequencyHz;
  }
  fundamental += sign * c.fundamental;
  noise += sign * c.noise;
  residual += sign * c.residual;
  total += sign * c.total;
  for (int i = 0; i < c.harmonicsUsed; ++i) {
    harmonic[i] += sign * c.harmonic[i];
    harmonicBlocks[i] += sign;
  }
  for (int bit = 0; bit < 4; ++bit)
    if (c.flags & (1u << bit)) flagBlocks[bit] += sign;
  for (int i = 0; i < bandCount; ++i) bands[i] += sign * blockBands[i];
}

BlockReadouts::BlockReadouts() : work_(std::make_unique<Work>()) {}
BlockReadouts::~BlockReadouts() = default;

void BlockReadouts::AnalyzeBlock(const int32_t* samples, int n, int rate, int bytesPerSample) {
  if (!measuring_ || n < kMinBlock || n > kMaxBlock || rate <= 0) return;
  Work& w = *work_;
  if (n != n_ || rate != rate_ || bytesPerSample != bytesPerSample_) {
    n_ = n;
    rate_ = rate;
    bytesPerSample_ = bytesPerSample;
    Reconfigure();
  }
  const double fullScale = bytesPerSample == 1 ? 128.0 : 32768.0;
  if (!w.spectrum.Compute(samples, n, fullScale)) return;
  const float* power = w.spectrum.Power();
  MeasureTone(power, w.setup, fundamentalHz_, w.block);
  if (w.spectrum.Clipped()) w.block.flags |= kClipping;
  layout_.Sum(power, w.blockBands);

  const int bands = layout_.Count();
  Sums& sums = live_.sums;
  if (average_ == 0) {
    sums.Add(w.block, w.blockBands, bands, 1);
  } else {
    if (w.inRing == average_) sums.Add(w.ring[next_], w.ringBands[next_], bands, -1);
    w.ring[next_] = w.block;
    std::copy(w.blockBands, w.blockBands + bands, w.ringBands[next_]);
    sums.Add(w.block, w.blockBands, bands, 1);
    w.inRing = std::min<long>(w.inRing + 1, average_);
    if (++next_ == average_) {
      // Once per turn of the ring the sums are made afresh, so that what
      // taking blocks out leaves of rounding cannot build up.
      next_ = 0;
      Sums fresh;
      for (int i = 0; i < average_; ++i) fresh.Add(w.ring[i], w.ringBands[i], bands, 1);
      sums = fresh;
    }
  }
  for (auto& [id, listener] : listeners_) listener();
}

void BlockReadouts::Reconfigure() {
  Work& w = *work_;
  if (n_ > 0) {
    w.setup.Set(n_, rate_, weighting_, w.weight);
    layout_.Set(layout_.Fraction(), n_, rate_);
  }
  Clear();
}

void BlockReadouts::Clear() {
  live_.sums = Sums{};
  work_->inRing = 0;
  next_ = 0;
}

void BlockReadouts::SetAverage(int blocks) {
  average_ = std::clamp(blocks, 0, kMaxAverage);
  Clear();
}

void BlockReadouts::SetFundamental(double hz) {
  fundamentalHz_ = hz > 0.0 ? hz : 0.0;
  Clear();
}

void BlockReadouts::SetWeighting(bool aWeighting) {
  weighting_ = aWeighting;
  Reconfigure();
}

void BlockReadouts::SetBandFraction(BandFraction fraction) {
  layout_.Set(fraction, n_ > 0 ? n_ : kMinBlock, rate_ > 0 ? rate_ : 44100);
  Reconfigure();
}

void BlockReadouts::SetHold(Readout which, bool hold) {
  View& v = which == Readout::Distortion ? distortionHold_ : bandsHold_;
  if (hold && !v.held) {
    v.sums = live_.sums;
    v.layout = live_.layout;
  }
  v.held = hold;
}

DistortionFigures BlockReadouts::Distortion() const {
  const Sums& s = Shown(Readout::Distortion).sums;
  if (s.blocks == 0) return FiguresOf(ToneComponents{.flags = kNoTone}, 0);
  const double blocks = static_cast<double>(s.blocks);
  ToneComponents mean;
  mean.frequencyHz = s.toneBlocks > 0 ? s.frequencyHz / s.toneBlocks : 0.0;
  mean.fundamental = s.fundamental / blocks;
  mean.noise = s.noise / blocks;
  mean.residual = s.residual / blocks;
  mean.total = s.total / blocks;
  while (mean.harmonicsUsed < kHarmonics && s.harmonicBlocks[mean.harmonicsUsed] > 0) {
    const int i = mean.harmonicsUsed++;
    mean.harmonic[i] = s.harmonic[i] / static_cast<double>(s.harmonicBlocks[i]);
  }
  for (int bit = 0; bit < 4; ++bit)
    if (s.flagBlocks[bit] > 0) mean.flags |= 1u << bit;
  return FiguresOf(mean, s.blocks);
}

double BlockReadouts::BandLevelDbfs(int i) const {
  const View& v = Shown(Readout::Bands);
  if (i < 0 || i >= v.layout.Count() || v.sums.blocks == 0)
    return -std::numeric_limits<double>::infinity();
  return 10.0 * std::log10(v.sums.bands[i] / static_cast<double>(v.sums.blocks));
}

int BlockReadouts::Listen(std::function<void()> listener) {
  listeners_[nextListener_] = std::move(listener);
  return nextListener_++;
}

void BlockReadouts::Unlisten(int id) { listeners_.erase(id); }

}  // namespace zorvane::readouts
