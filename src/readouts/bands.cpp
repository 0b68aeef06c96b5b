// SPDX-License-Identifier: GPL-3.0-or-later
#include "readouts/bands.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zorvane::readouts {

BinRange BinRange::Covering(double lowHz, double highHz, int n, int rate) {
  BinRange r;
  const double width = static_cast<double>(rate) / n;
  // The last whole bin below half the rate is the highest one counted.
  const double top = (n / 2 - 0.5) * width;
  lowHz = std::max(lowHz, 0.0);
  highHz = std::min(highHz, top);
  if (highHz <= lowHz) return r;
  r.first = static_cast<int>(std::floor(lowHz / width + 0.5));
  r.last = std::min(static_cast<int>(std::floor(highHz / width + 0.5)), n / 2 - 1);
  if (r.first == r.last) {
    r.firstPart = r.lastPart = static_cast<float>((highHz - lowHz) / width);
  } else {
    r.firstPart = static_cast<float>((r.first + 0.5) - lowHz / width);
    r.lastPart = static_cast<float>(highHz / width - (r.last - 0.5));
  }
  return r;
}

double BinRange::Sum(const float* power) const {
  if (last < first) return 0.0;
  if (first == last) return static_cast<double>(power[first]) * firstPart;
  // Four partial sums: the additions of one chain would wait for each other.
  double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
  int k = first + 1;
  for (; k + 3 < last; k += 4) {
    s0 += power[k];
    s1 += power[k + 1];
    s2 += power[k + 2];
    s3 += power[k + 3];
  }
  for (; k < last; ++k) s0 += power[k];
  return (s0 + s1) + (s2 + s3) + static_cast<double>(power[first]) * firstPart +
         static_cast<double>(power[last]) * lastPart;
}

double BinRange::WeightedSum(const float* power, const float* weight) const {
  if (last < first) return 0.0;
  auto at = [&](int k) { return static_cast<double>(power[k]) * weight[k]; };
  if (first == last) return at(first) * firstPart;
  double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
  int k = first + 1;
  for (; k + 3 < last; k += 4) {
    s0 += at(k);
    s1 += at(k + 1);
    s2 += at(k + 2);
    s3 += at(k + 3);
  }
  for (; k < last; ++k) s0 += at(k);
  return (s0 + s1) + (s2 + s3) + at(first) * firstPart + at(last) * lastPart;
}

bool ParseBandFraction(const std::string& word, BandFraction& fraction) {
  static const std::pair<const char*, BandFraction> names[] = {{"octave", BandFraction::Octave},
                                                               {"third", BandFraction::Third},
                                                               {"sixth", BandFraction::Sixth},
                                                               {"twelfth", BandFraction::Twelfth}};
  for (const auto& [name, value] : names)
    if (word == name) {
      fraction = value;
      return true;
    }
  return false;
}

const char* BandFractionName(BandFraction fraction) {
  switch (fraction) {
    case BandFraction::Octave:
      return "octave";
    case BandFraction::Sixth:
      return "sixth";
    case BandFraction::Twelfth:
      return "twelfth";
    default:
      return "third";
  }
}

std::string NominalBandLabel(double centerHz, BandFraction fraction) {
  if (!(centerHz > 0.0)) return "";
  const double decade = std::pow(10.0, std::floor(std::log10(centerHz)));
  double mantissa = centerHz / decade;
  if (fraction == BandFraction::Octave || fraction == BandFraction::Third) {
    static const double preferred[] = {1.0, 1.25, 1.6, 2.0, 2.5, 3.15, 4.0, 5.0, 6.3, 8.0, 10.0};
    double nearest = preferred[0];
    for (double p : preferred)
      if (std::abs(std::log(p / mantissa)) < std::abs(std::log(nearest / mantissa))) nearest = p;
    mantissa = nearest;
  } else {
    mantissa = std::round(mantissa * 100.0) / 100.0;
  }
  const double hz = mantissa * decade;
  char text[32];
  if (hz >= 1000.0)
    std::snprintf(text, sizeof text, "%gk", std::round(hz / 10.0) / 100.0);
  else
    std::snprintf(text, sizeof text, "%g", std::round(hz * 100.0) / 100.0);
  return text;
}

void BandLayout::Set(BandFraction fraction, int n, int rate) {
  fraction_ = fraction;
  count_ = 0;
  const int b = static_cast<int>(fraction);
  const double ratio = std::pow(10.0, 0.3);
  const double width = static_cast<double>(rate) / n;
  // Band x's middle, as an exponent of the octave ratio.
  auto middle = [b](int x) {
    return b % 2 ? static_cast<double>(x) / b : (2.0 * x + 1) / (2.0 * b);
  };
  // Upwards from below 10 Hz (x = -7 b is 1000 Hz / G^7, about 7.9 Hz).
  for (int x = -7 * b; count_ < kMaxBands; ++x) {
    const double center = 1000.0 * std::pow(ratio, middle(x));
    const double low = center * std::pow(ratio, -0.5 / b);
    const double high = center * std::pow(ratio, 0.5 / b);
    if (high > rate / 2.0) break;
    if (high <= 20.0 || high - low < width) continue;
    Band& band = bands_[count_++];
    band.centerHz = center;
    band.lowHz = low;
    band.highHz = high;
    band.bins = BinRange::Covering(low, high, n, rate);
  }
}

void BandLayout::Sum(const float* power, double* out) const {
  for (int i = 0; i < count_; ++i) out[i] = bands_[i].bins.Sum(power);
}

}  // namespace zorvane::readouts
