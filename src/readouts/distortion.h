// SPDX-License-Identifier: GPL-3.0-or-later
// Distortion and noise of a tone, from one block's power spectrum
// (BlockSpectrum: powers in full-scale units, a full-scale sine = 1):
//
//   - the fundamental: the strongest bin (or the strongest near a given
//     frequency), its frequency refined between bins as the centre of power
//     of its lobe, its power the sum over the lobe;
//   - H2..H10: the power summed over each harmonic's lobe, for every
//     harmonic whose lobe lies below half the rate;
//   - THD (IEC 60268-3): the harmonics' total power against the
//     fundamental's, as an amplitude ratio;
//   - THD+N (AES17): everything in the measurement band (20 Hz to 20 kHz)
//     but the fundamental, against everything in it; the fundamental is
//     notched out over its lobe and the noise under the notch is put back at
//     the density of the band's noise; optionally A-weighted;
//   - SINAD: the inverse of THD+N; SNR: the fundamental against the band's
//     noise alone (the harmonics' lobes left out and filled in at the noise
//     density, as the notch is); ENOB from SINAD, referred to full scale.
#pragma once

#include <cstdint>

#include "readouts/bands.h"

namespace zorvane::readouts {

constexpr int kHighestHarmonic = 10;
constexpr int kHarmonics = kHighestHarmonic - 1;  // H2..H10

// Why a readout cannot be trusted (flags).
enum Trust : unsigned {
  kClipping = 1,     // samples at full scale: the distortion is the clipping's
  kNoTone = 2,       // no tone stands out of the noise
  kTooLow = 4,       // the tone lies too few bins above zero for its lobe and harmonics
  kNearHalfRate = 8  // not even the second harmonic lies below half the rate
};

// The lowest bin a tone may stand on: its lobe clear of zero frequency and of
// its second harmonic's.
constexpr int kLowestToneBin = 2 * 7 + 2;

// The measurement band of the noise readouts, and the A weighting.
struct ToneSetup {
  int n = 0, rate = 0;
  bool weighted = false;
  BinRange band;                  // 20 Hz .. 20 kHz (or half the rate)
  const float* weight = nullptr;  // per bin: the A weighting's power gain, or 1
  double bandWeight = 0.0;        // the sum of the band's parts, weighted
  // Fills the band and weight[0..n/2] (which must hold n/2 + 1 values).
  void Set(int n, int rate, bool aWeighting, float* weight);
};

// The A weighting's power gain at f (1 at 1 kHz).
double AWeightingPower(double hz);

// One block's components, powers in full-scale units.
struct ToneComponents {
  double frequencyHz = 0.0;
  double fundamental = 0.0;
  double harmonic[kHarmonics] = {};  // 0 beyond harmonicsUsed
  int harmonicsUsed = 0;
  double noise = 0.0;     // the band's noise without the tone and its harmonics (weighted)
  double residual = 0.0;  // the band without the tone: distortion and noise (weighted)
  double total = 0.0;     // the band, unweighted
  unsigned flags = 0;
};

// Measures the tone in power[0..n/2]: the strongest one, or with
// fundamentalHz > 0 the strongest within two bins of that frequency.
void MeasureTone(const float* power, const ToneSetup& setup, double fundamentalHz,
                 ToneComponents& out);

// The figures, in decibels and percent; NaN where the tone (or a harmonic)
// gives none.
struct DistortionFigures {
  unsigned flags = kNoTone;
  long blocks = 0;
  int harmonicsUsed = 0;
  double fundamentalHz, fundamentalDbfs, thdDb, thdPercent, thdnDb, thdnPercent, sinadDb, snrDb,
      enobBits, noiseFloorDbfs;
  double harmonicDbc[kHarmonics];
};

// The figures of (averaged) components.
DistortionFigures FiguresOf(const ToneComponents& c, long blocks);

}  // namespace zorvane::readouts
