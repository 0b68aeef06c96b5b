// SPDX-License-Identifier: GPL-3.0-or-later
// The synchronized exponential sine sweep: x(t) = A sin(2 pi f1 L (e^(t/L) - 1))
// with f1 L a whole number, so that the k-th harmonic of every instant is the
// sweep itself L ln k seconds later, in phase. Deconvolved, a device's
// response to it holds its linear impulse response at its delay and the
// response of each harmonic L ln k earlier.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zorvane {

struct SweepSettings {
  double StartHz = 20.0;
  double EndHz = 20000.0;
  double Seconds = 2.0;     // wanted length; the synchronized sweep's is near it
  double LevelDbfs = -6.0;  // a full-scale sine is 0 dBFS
  int Repeats = 1;          // sweeps averaged
  uint32_t Rate = 44100;
};

// The limits the settings are checked against.
constexpr double kMinSweepSeconds = 0.5, kMaxSweepSeconds = 30.0;
constexpr double kMinSweepDbfs = -80.0, kMaxSweepDbfs = 0.0;
constexpr double kMinSweepHz = 1.0;
constexpr int kMaxSweepRepeats = 64;
constexpr uint32_t kMinSweepRate = 8000, kMaxSweepRate = 192000;
// Silence after each sweep, for the device's delay and decay.
constexpr double kSweepGapSeconds = 0.35;

// Empty when the settings can be measured; otherwise one line naming what is
// wrong with them.
std::string CheckSweepSettings(const SweepSettings& settings);

struct SyncSweep {
  SweepSettings Settings;
  double L = 0.0;        // seconds for the frequency to grow by e
  double Seconds = 0.0;  // L ln(f2 / f1): the sweep's true length
  double Amplitude = 0.0;
  size_t Frames = 0;     // samples of one sweep
  size_t GapFrames = 0;  // samples of silence after it
  size_t FadeInFrames = 0, FadeOutFrames = 0;
  size_t PeriodFrames() const { return Frames + GapFrames; }
  double Rate() const { return Settings.Rate; }
  // How much earlier than the linear response the k-th harmonic's lies, in
  // samples.
  double AdvanceFrames(int k) const;
  // Whether any of harmonic k's band lies within the sweep (k f1 < f2).
  bool HasHarmonic(int k) const { return k * Settings.StartHz < Settings.EndHz; }
};

// The sweep for checked settings.
SyncSweep DesignSweep(const SweepSettings& settings);

// One sweep, Frames samples, with half-Hann fades at both ends.
std::vector<float> SweepSamples(const SyncSweep& sweep);

// What is played: Repeats sweeps, each followed by its gap.
std::vector<float> SweepTrain(const SyncSweep& sweep);

}  // namespace zorvane
