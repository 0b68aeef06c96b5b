// SPDX-License-Identifier: GPL-3.0-or-later
// Frequency bands over a block's bins: the fractional-octave bands (base-ten
// octave ratio G = 10^(3/10), mid-band frequencies 1000 Hz x G^(x/b) for an
// odd number b of bands per octave and 1000 Hz x G^((2x+1)/(2b)) for an even
// one, edges G^(+-1/(2b)) from the middle) and the measurement band of the
// noise readouts.
//
// A band's power is the sum of the bins' powers, each bin standing for the
// band of frequencies (k +- 1/2) x rate / n and counted by the part of it
// the band covers. The bands are therefore brick-wall filters on the
// spectrum's own resolution: adjacent bands share their edge bins, so the
// bands' powers add up to the power of the range they cover, and a tone
// whose lobe lies inside one band is counted there in full. A band needs
// at least one bin's width: narrower ones at the low end are left out
// (they would only repeat parts of one bin).
#pragma once

#include <array>
#include <string>

namespace zorvane::readouts {

// The bins k = first..last, the first and last counted by these fractions.
struct BinRange {
  int first = 0, last = -1;
  float firstPart = 1.0f, lastPart = 1.0f;
  // The bins covering lowHz..highHz of an n-point block at rate (empty when
  // the range lies above half the rate).
  static BinRange Covering(double lowHz, double highHz, int n, int rate);
  // Its share of bin k (0 outside).
  float Part(int k) const {
    if (k < first || k > last) return 0.0f;
    return k == first ? firstPart : k == last ? lastPart : 1.0f;
  }
  // sum of Part(k) * power[k], and with weight[k] as a further factor.
  double Sum(const float* power) const;
  double WeightedSum(const float* power, const float* weight) const;
};

enum class BandFraction { Octave = 1, Third = 3, Sixth = 6, Twelfth = 12 };

// "octave", "third", "sixth", "twelfth"; false for another word.
bool ParseBandFraction(const std::string& word, BandFraction& fraction);
const char* BandFractionName(BandFraction fraction);

// The band's name as band charts label it: the nominal mid-band frequency
// (the preferred numbers 1, 1.25, 1.6, 2, 2.5, 3.15, 4, 5, 6.3, 8 for
// octaves and thirds, three figures for finer bands), "k" for thousands:
// "31.5", "1k", "12.5k".
std::string NominalBandLabel(double centerHz, BandFraction fraction);

constexpr int kMaxBands = 160;  // twelfth-octave bands from 20 Hz to 24 kHz number 123

struct Band {
  double centerHz = 0.0, lowHz = 0.0, highHz = 0.0;
  BinRange bins;
};

class BandLayout {
 public:
  // The bands of the fraction whose upper edge lies above 20 Hz and at or
  // below half the rate, at least one bin wide.
  void Set(BandFraction fraction, int n, int rate);
  BandFraction Fraction() const { return fraction_; }
  int Count() const { return count_; }
  const Band& operator[](int i) const { return bands_[i]; }
  // out[i] = power of band i.
  void Sum(const float* power, double* out) const;

 private:
  std::array<Band, kMaxBands> bands_{};
  int count_ = 0;
  BandFraction fraction_ = BandFraction::Third;
};

}  // namespace zorvane::readouts
