// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/log_sweep.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zorvane {

namespace {

std::string Number(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%g", v);
  return b;
}

// f1 L, the whole number of cycles that synchronizes the sweep.
double SyncCycles(const SweepSettings& s) {
  return std::round(s.StartHz * s.Seconds / std::log(s.EndHz / s.StartHz));
}

}  // namespace

std::string CheckSweepSettings(const SweepSettings& s) {
  if (!(s.Rate >= kMinSweepRate && s.Rate <= kMaxSweepRate))
    return "the rate must lie between " + std::to_string(kMinSweepRate) + " and " +
           std::to_string(kMaxSweepRate) + " Hz";
  if (!(s.StartHz >= kMinSweepHz)) return "the start frequency must be at least 1 Hz";
  if (!(s.StartHz < s.EndHz)) return "the start frequency must lie below the end frequency";
  if (!(s.EndHz <= s.Rate / 2.0))
    return "the end frequency must not lie above half the rate (" + Number(s.Rate / 2.0) + " Hz)";
  if (!(s.Seconds >= kMinSweepSeconds && s.Seconds <= kMaxSweepSeconds))
    return "the length must lie between " + Number(kMinSweepSeconds) + " and " +
           Number(kMaxSweepSeconds) + " s";
  if (!(s.LevelDbfs >= kMinSweepDbfs && s.LevelDbfs <= kMaxSweepDbfs))
    return "the level must lie between " + Number(kMinSweepDbfs) + " and " + Number(kMaxSweepDbfs) +
           " dBFS";
  if (!(s.Repeats >= 1 && s.Repeats <= kMaxSweepRepeats))
    return "the repeats must lie between 1 and " + std::to_string(kMaxSweepRepeats);
  if (SyncCycles(s) < 1.0)
    return "a sweep from " + Number(s.StartHz) + " Hz to " + Number(s.EndHz) +
           " Hz must last at least " +
           Number(std::ceil(50.0 * std::log(s.EndHz / s.StartHz) / s.StartHz) / 100.0) + " s";
  return "";
}

double SyncSweep::AdvanceFrames(int k) const { return L * std::log(k) * Rate(); }

SyncSweep DesignSweep(const SweepSettings& s) {
  SyncSweep w;
  w.Settings = s;
  w.L = SyncCycles(s) / s.StartHz;
  w.Seconds = w.L * std::log(s.EndHz / s.StartHz);
  w.Amplitude = std::pow(10.0, s.LevelDbfs / 20.0);
  w.Frames = static_cast<size_t>(std::ceil(w.Seconds * s.Rate));
  w.GapFrames = static_cast<size_t>(std::ceil(kSweepGapSeconds * s.Rate));
  // In over one period of the start frequency, out over a 24th of an octave
  // of the end: short enough to leave the band alone, long enough not to click.
  const double tenth = w.Seconds / 10.0;
  w.FadeInFrames = static_cast<size_t>(std::min(1.0 / s.StartHz, tenth) * s.Rate);
  w.FadeOutFrames = static_cast<size_t>(std::min(w.L * std::log(2.0) / 24.0, tenth) * s.Rate);
  return w;
}

std::vector<float> SweepSamples(const SyncSweep& w) {
  std::vector<float> x(w.Frames);
  const double rate = w.Rate(), f1L = w.Settings.StartHz * w.L;
  for (size_t n = 0; n < w.Frames; ++n) {
    const double t = static_cast<double>(n) / rate;
    // The phase modulo whole cycles keeps its precision late in long sweeps.
    const double cycles = f1L * std::expm1(t / w.L);
    const double phase = 2.0 * M_PI * (cycles - std::floor(cycles));
    double gain = w.Amplitude;
    if (n < w.FadeInFrames)
      gain *= 0.5 * (1.0 - std::cos(M_PI * static_cast<double>(n) / w.FadeInFrames));
    const size_t fromEnd = w.Frames - 1 - n;
    if (fromEnd < w.FadeOutFrames)
      gain *= 0.5 * (1.0 - std::cos(M_PI * static_cast<double>(fromEnd) / w.FadeOutFrames));
    x[n] = static_cast<float>(gain * std::sin(phase));
  }
  return x;
}

std::vector<float> SweepTrain(const SyncSweep& w) {
  const std::vector<float> one = SweepSamples(w);
  std::vector<float> train(w.PeriodFrames() * static_cast<size_t>(w.Settings.Repeats), 0.0f);
  for (int r = 0; r < w.Settings.Repeats; ++r)
    std::copy(one.begin(), one.end(), train.begin() + static_cast<long>(r * w.PeriodFrames()));
  return train;
}

}  // namespace zorvane
