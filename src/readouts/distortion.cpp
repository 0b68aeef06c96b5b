// SPDX-License-Identifier: GPL-3.0-or-later
#include "readouts/distortion.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "readouts/block_spectrum.h"

namespace zorvane::readouts {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// A tone must stand this far (in power) above the noise within its lobe.
constexpr double kToneOverNoise = 100.0;

double Db(double ratio) { return 10.0 * std::log10(ratio); }

// What the band holds within bins a..b: the sum of the (weighted) power and
// of the bins' (weighted) parts.
struct Share {
  double power = 0.0, bins = 0.0;
  void Add(const float* p, const ToneSetup& s, int a, int b) {
    for (int k = std::max(a, s.band.first); k <= std::min(b, s.band.last); ++k) {
      const double part = s.band.Part(k) * static_cast<double>(s.weight[k]);
      power += part * p[k];
      bins += part;
    }
  }
};

// Sum of power[k] over the lobe around bin `centre` (clipped to the bins).
double LobeSum(const float* power, int half, int centre) {
  double s = 0.0;
  for (int k = std::max(0, centre - kLobeBins); k <= std::min(half, centre + kLobeBins); ++k)
    s += power[k];
  return s;
}

// The first of the strongest bins lo..hi with a power above 0, or -1: the
// largest value four lanes at a time, then where it is.
int StrongestBin(const float* power, int lo, int hi) {
  typedef float V4 __attribute__((vector_size(16)));
  typedef float V4u __attribute__((vector_size(16), aligned(4), may_alias));
  V4 lanes = {}, more = {};
  int k = lo;
  for (; k + 7 <= hi; k += 8) {
    const V4 p = *reinterpret_cast<const V4u*>(power + k);
    const V4 q = *reinterpret_cast<const V4u*>(power + k + 4);
    lanes = p > lanes ? p : lanes;
    more = q > more ? q : more;
  }
  float best = 0.0f;
  for (int j = 0; j < 4; ++j) best = std::max({best, lanes[j], more[j]});
  for (; k <= hi; ++k) best = std::max(best, power[k]);
  if (!(best > 0.0f)) return -1;
  for (k = lo; power[k] != best; ++k) {
  }
  return k;
}

}  // namespace

double AWeightingPower(double hz) {
  auto gain = [](double f) {
    const double f2 = f * f;
    const double c1 = 20.598997 * 20.598997, c2 = 107.65265 * 107.65265, c3 = 737.86223 * 737.86223,
                 c4 = 12194.217 * 12194.217;
    return c4 * f2 * f2 / ((f2 + c1) * std::sqrt((f2 + c2) * (f2 + c3)) * (f2 + c4));
  };
  const double r = gain(hz) / gain(1000.0);
  return r * r;
}

void ToneSetup::Set(int size, int sampleRate, bool aWeighting, float* weights) {
  n = size;
  rate = sampleRate;
  weighted = aWeighting;
  weight = weights;
  band = BinRange::Covering(20.0, 20000.0, n, rate);
  bandWeight = 0.0;
  for (int k = 0; k <= n / 2; ++k) {
    weights[k] =
        aWeighting ? static_cast<float>(AWeightingPower(static_cast<double>(k) * rate / n)) : 1.0f;
    bandWeight += band.Part(k) * static_cast<double>(weights[k]);
  }
}

void MeasureTone(const float* power, const ToneSetup& s, double fundamentalHz,
                 ToneComponents& out) {
  out = ToneComponents{};
  const int half = s.n / 2;
  const double bin = static_cast<double>(s.rate) / s.n;
  out.total = s.band.Sum(power);
  const double weightedTotal = s.weighted ? s.band.WeightedSum(power, s.weight) : out.total;

  // The fundamental: the strongest bin above the offset's lobe.
  int lo = kLobeBins + 1, hi = half - 1;
  if (fundamentalHz > 0.0) {
    const long near = std::lround(fundamentalHz / bin);
    lo = static_cast<int>(std::max<long>(lo, near - 2));
    hi = static_cast<int>(std::min<long>(hi, near + 2));
  }
  const int peak = StrongestBin(power, lo, hi);
  if (peak < 0) {
    out.flags = kNoTone;
    out.noise = out.residual = weightedTotal;
    return;
  }
  double moment = 0.0;
  for (int k = std::max(0, peak - kLobeBins); k <= std::min(half, peak + kLobeBins); ++k) {
    out.fundamental += power[k];
    moment += static_cast<double>(k) * power[k];
  }
  const double centre = moment / out.fundamental;
  out.frequencyHz = centre * bin;

  Share tone, harmonics;
  tone.Add(power, s, peak - kLobeBins, peak + kLobeBins);
  if (centre < kLowestToneBin) {
    out.flags |= kTooLow;
  } else {
    for (int m = 2; m <= kHighestHarmonic; ++m) {
      const long at = std::lround(m * centre);
      if (at + kLobeBins > half - 1) break;
      const int c = static_cast<int>(at);
      out.harmonic[m - 2] = LobeSum(power, half, c);
      harmonics.Add(power, s, c - kLobeBins, c + kLobeBins);
      ++out.harmonicsUsed;
    }
    if (out.harmonicsUsed == 0) out.flags |= kNearHalfRate;
  }

  // The (weighted) noise density of the band outside the tone's and the
  // harmonics' lobes.
  const double noiseBins = s.bandWeight - tone.bins - harmonics.bins;
  const double density =
      noiseBins > 0.0 ? std::max(0.0, weightedTotal - tone.power - harmonics.power) / noiseBins
                      : 0.0;
  out.noise = density * s.bandWeight;
  out.residual = std::max(0.0, weightedTotal - tone.power) + density * tone.bins;
  // A tone stands out of the noise beside it (the bins next to its lobe on
  // either side): other tones elsewhere, louder ones too, do not hide it.
  double beside = 0.0;
  int besideBins = 0;
  for (int k = std::max(1, peak - 3 * kLobeBins - 1); k <= std::min(half, peak + 3 * kLobeBins + 1);
       ++k)
    if (std::abs(k - peak) > kLobeBins) {
      beside += power[k];
      ++besideBins;
    }
  if (!(out.fundamental * besideBins > kToneOverNoise * beside * (2 * kLobeBins + 1)))
    out.flags |= kNoTone;
}

DistortionFigures FiguresOf(const ToneComponents& c, long blocks) {
  DistortionFigures f;
  f.flags = c.flags;
  f.blocks = blocks;
  f.harmonicsUsed = (c.flags & (kNoTone | kTooLow)) ? 0 : c.harmonicsUsed;
  const bool tone = !(c.flags & kNoTone);
  f.fundamentalHz = tone ? c.frequencyHz : kNaN;
  f.fundamentalDbfs = tone ? Db(c.fundamental) : kNaN;
  double harmonics = 0.0;
  for (int i = 0; i < kHarmonics; ++i) {
    f.harmonicDbc[i] = i < f.harmonicsUsed ? Db(c.harmonic[i] / c.fundamental) : kNaN;
    if (i < f.harmonicsUsed) harmonics += c.harmonic[i];
  }
  const bool thd = f.harmonicsUsed > 0;
  f.thdDb = thd ? Db(harmonics / c.fundamental) : kNaN;
  f.thdPercent = thd ? 100.0 * std::sqrt(harmonics / c.fundamental) : kNaN;
  f.thdnDb = tone ? Db(c.residual / c.total) : kNaN;
  f.thdnPercent = tone ? 100.0 * std::sqrt(c.residual / c.total) : kNaN;
  f.sinadDb = -f.thdnDb;
  f.snrDb = tone && !(c.flags & kTooLow) ? Db(c.fundamental / c.noise) : kNaN;
  f.enobBits = (f.sinadDb - 1.76 - f.fundamentalDbfs) / 6.02;
  f.noiseFloorDbfs = Db(c.noise);
  return f;
}

}  // namespace zorvane::readouts
