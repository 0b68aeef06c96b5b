// SPDX-License-Identifier: GPL-3.0-or-later
// From a recorded sweep to the device's responses: deconvolution by the
// sweep's analytic inverse filter in the frequency domain (FFTW), the
// linear impulse response found at its peak and cut out, the harmonic
// responses cut out at their known advances, and each divided by the same
// cut of the sweep's own deconvolution, so that what the sweep's band
// edges, fades and the inverse filter's approximation do cancels.
#pragma once

#include <array>
#include <complex>
#include <memory>
#include <string>
#include <vector>

#include "measure/log_sweep.h"

namespace zorvane {

constexpr int kHighestHarmonic = 5;

struct SweepResult {
  SyncSweep Sweep;
  // From a played sample to its recording, in samples (fractional).
  double DelayFrames = 0.0;
  double DelayMs() const { return DelayFrames * 1000.0 / Sweep.Rate(); }
  // The linear response on the bins of the impulse window between the
  // sweep's start and end: magnitude in dB re the stimulus, phase unwrapped
  // in degrees and group delay in milliseconds, both with the delay removed.
  std::vector<double> Hz, MagnitudeDb, PhaseDeg, GroupDelayMs;
  // Per fundamental frequency (the bins where the sweep plays at full
  // level, up to where the second harmonic leaves it): the level of
  // harmonics 2..5 in dB re the fundamental, NaN where the harmonic lies
  // beyond; THD of those that do not.
  std::vector<double> DistortionHz;
  std::array<std::vector<double>, kHighestHarmonic - 1> HarmonicDb;
  std::vector<double> ThdDb;
  // The linear impulse response as deconvolved (1 for a unit gain), from
  // ImpulsePeak samples before its peak.
  std::vector<float> Impulse;
  size_t ImpulsePeak = 0;
  // Something the user should know about the result (empty when nothing).
  std::string Note;
};

class SweepAnalyzer {
 public:
  // Plans the transforms and deconvolves the sweep itself once, as the
  // reference the responses are divided by.
  explicit SweepAnalyzer(const SyncSweep& sweep);
  ~SweepAnalyzer();
  SweepAnalyzer(const SweepAnalyzer&) = delete;
  SweepAnalyzer& operator=(const SweepAnalyzer&) = delete;

  // `segment` holds PeriodFrames samples of the recording, beginning
  // `offsetFrames` after the sweep began to play.
  SweepResult Analyse(const float* segment, double offsetFrames);

  size_t TransformFrames() const { return n_; }
  size_t WindowFrames() const { return m_; }

 private:
  struct Plans;
  // Deconvolves PeriodFrames samples into response_ (n_ samples, circular:
  // negative times at the end).
  void Deconvolve(const float* segment);
  // The window of m_ samples starting at circular index `from`, shaped by
  // `shape`, `length` long (zeros after), into the spectrum `out`.
  void CutSpectrum(long from, const std::vector<double>& shape,
                   std::vector<std::complex<double>>& out);
  double RefinePeak(const std::vector<std::complex<double>>& spectrum, double start,
                    double sign) const;

  SyncSweep sweep_;
  size_t n_ = 0, m_ = 0, pre_ = 0, lead_ = 0;
  double referencePeak_ = 0.0;  // where the reference peaks in its window
  std::unique_ptr<Plans> plans_;
  std::vector<std::complex<double>> inverse_;  // the inverse filter per bin, scaled
  std::vector<double> response_;
  std::vector<double> linearShape_;
  std::array<std::vector<double>, kHighestHarmonic + 1> harmonicShape_;
  std::vector<std::complex<double>> reference_, spectrum_, harmonic_;
};

}  // namespace zorvane
