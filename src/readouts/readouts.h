// SPDX-License-Identifier: GPL-3.0-or-later
// The readouts of the live analyzer: distortion and noise figures and
// fractional-octave band levels, measured on every block the processing
// cycle converts (its raw samples, before the display's gain and window)
// and averaged over the last N blocks (or over every block since the
// averages last started). The form owns one; the views, the command line
// and the remote control read it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "readouts/bands.h"
#include "readouts/distortion.h"

namespace zorvane::readouts {

constexpr int kMaxAverage = 100;

enum class Readout { Distortion, Bands };

class BlockReadouts {
 public:
  BlockReadouts();
  ~BlockReadouts();
  BlockReadouts(const BlockReadouts&) = delete;
  BlockReadouts& operator=(const BlockReadouts&) = delete;

  // One block: samples[0..n-1] at `rate`, 8- or 16-bit (bytesPerSample 1
  // or 2: full scale 128 or 32768). A block of another size or rate than
  // the last starts the averages afresh. Allocates nothing.
  void AnalyzeBlock(const int32_t* samples, int n, int rate, int bytesPerSample);

  // Off, blocks are not measured at all (nor listeners called): for a run
  // that reads no readout. On by default.
  void SetMeasuring(bool on) { measuring_ = on; }
  bool Measuring() const { return measuring_; }

  // Settings; each change starts the averages afresh.
  // Blocks in the average, 1..kMaxAverage, or 0 for every block since the
  // averages started (values beyond are clamped).
  void SetAverage(int blocks);
  int Average() const { return average_; }
  // The tone to measure near this frequency; 0 for the strongest one.
  void SetFundamental(double hz);
  double Fundamental() const { return fundamentalHz_; }
  // A weighting of the noise and distortion (THD+N, SINAD, SNR, noise floor).
  void SetWeighting(bool aWeighting);
  bool Weighting() const { return weighting_; }
  void SetBandFraction(BandFraction fraction);
  BandFraction Fraction() const { return layout_.Fraction(); }
  void Clear();

  // A held readout keeps showing what it showed when the hold began.
  void SetHold(Readout which, bool hold);
  bool Held(Readout which) const { return Shown(which).held; }
  // The blocks in what a readout shows: the most recent ones analysed.
  long Blocks(Readout which) const { return Shown(which).sums.blocks; }

  // What the distortion readout shows.
  DistortionFigures Distortion() const;
  // The bands the band readout shows, and the level of band i in dBFS.
  int BandCount() const { return Shown(Readout::Bands).layout.Count(); }
  const Band& BandAt(int i) const { return Shown(Readout::Bands).layout[i]; }
  double BandLevelDbfs(int i) const;

  // Called after every block, held or not (a listener must not unlisten
  // from inside the call).
  int Listen(std::function<void()> listener);
  void Unlisten(int id);

 private:
  // Running sums over the blocks in the average.
  struct Sums {
    long blocks = 0, toneBlocks = 0;
    double frequencyHz = 0.0, fundamental = 0.0, noise = 0.0, residual = 0.0, total = 0.0;
    double harmonic[kHarmonics] = {};
    long harmonicBlocks[kHarmonics] = {};
    long flagBlocks[4] = {};
    double bands[kMaxBands] = {};
    void Add(const ToneComponents& c, const double* bands, int bandCount, int sign);
  };
  // What a readout shows: live, or a copy taken when its hold began.
  struct View {
    bool held = false;
    Sums sums;
    BandLayout layout;
  };
  const View& Shown(Readout which) const {
    const View& v = which == Readout::Distortion ? distortionHold_ : bandsHold_;
    return v.held ? v : live_;
  }
  void Reconfigure();

  struct Work;
  std::unique_ptr<Work> work_;
  View live_, distortionHold_, bandsHold_;
  BandLayout& layout_ = live_.layout;
  int average_ = 1;
  double fundamentalHz_ = 0.0;
  bool weighting_ = false;
  bool measuring_ = true;
  int n_ = 0, rate_ = 0, bytesPerSample_ = 0;
  int next_ = 0;  // ring slot the next block goes to
  std::map<int, std::function<void()>> listeners_;
  int nextListener_ = 1;
};

}  // namespace zorvane::readouts
