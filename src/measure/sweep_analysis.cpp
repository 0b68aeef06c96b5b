// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/sweep_analysis.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace zorvane {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// The corner of the inverse filter's low edge, in units of the start frequency.
double kLowEdge = 0.7;
// Where the sweep's product with its analytic inverse is smaller than
// this (squared), the correction of it gives way.
constexpr double kRegularization = 0.01;

size_t PowerOfTwoAtLeast(size_t n) {
  size_t p = 1;
  while (p < n) p <<= 1;
  return p;
}

size_t PowerOfTwoAtMost(size_t n) {
  size_t p = 1;
  while (p * 2 <= n) p <<= 1;
  return p;
}

// A window of `length` samples: a half-Hann rise over `rise`, flat, and a
// half-Hann fall over the last `fall`.
std::vector<double> Shape(size_t length, size_t rise, size_t fall) {
  std::vector<double> w(length, 1.0);
  rise = std::min(rise, length / 2);
  fall = std::min(fall, length - rise);
  for (size_t i = 0; i < rise; ++i) w[i] = 0.5 * (1.0 - std::cos(M_PI * (i + 0.5) / rise));
  for (size_t i = 0; i < fall; ++i)
    w[length - 1 - i] = 0.5 * (1.0 - std::cos(M_PI * (i + 0.5) / fall));
  return w;
}

// The inverse filter's band, where the sweep has energy; beyond it the
// filter would only lift noise. Below: a fourth-order Butterworth high-pass,
// causal, so that the band edge rings after the response's peak, inside the
// window, rather than before it. Above: a half-cosine from f2 down to zero a
// quarter higher (or at half the rate); that edge rings for a few samples.
std::complex<double> Band(double f, double f1, double f2, double nyquist) {
  const std::complex<double> s(0.0, f / (kLowEdge * f1));
  const std::complex<double> s2 = s * s;
  const std::complex<double> low =
      s2 * s2 / ((s2 + 0.7653668647301796 * s + 1.0) * (s2 + 1.8477590650225735 * s + 1.0));
  if (f <= f2) return low;
  const double top = std::min(nyquist, 1.25 * f2);
  if (f >= top) return 0.0;
  return low * (0.5 * (1.0 + std::cos(M_PI * (f - f2) / (top - f2))));
}

std::vector<double> Unwrap(const std::vector<double>& radians) {
  std::vector<double> out(radians.size());
  double offset = 0.0;
  for (size_t i = 0; i < radians.size(); ++i) {
    if (i > 0) {
      const double step = radians[i] + offset - out[i - 1];
      offset -= 2.0 * M_PI * std::round(step / (2.0 * M_PI));
    }
    out[i] = radians[i] + offset;
  }
  return out;
}

}  // namespace

struct SweepAnalyzer::Plans {
  Plans(size_t n, size_t m) {
    Time = fftw_alloc_real(n);
    Freq = fftw_alloc_complex(n / 2 + 1);
    WinTime = fftw_alloc_real(m);
    WinFreq = fftw_alloc_complex(m / 2 + 1);
    Forward = fftw_plan_dft_r2c_1d(static_cast<int>(n), Time, Freq, FFTW_ESTIMATE);
    Backward = fftw_plan_dft_c2r_1d(static_cast<int>(n), Freq, Time, FFTW_ESTIMATE);
    Window = fftw_plan_dft_r2c_1d(static_cast<int>(m), WinTime, WinFreq, FFTW_ESTIMATE);
  }
  ~Plans() {
    fftw_destroy_plan(Forward);
    fftw_destroy_plan(Backward);
    fftw_destroy_plan(Window);
    fftw_free(Time);
    fftw_free(Freq);
    fftw_free(WinTime);
    fftw_free(WinFreq);
  }
  double* Time;
  fftw_complex* Freq;
  double* WinTime;
  fftw_complex* WinFreq;
  fftw_plan Forward, Backward, Window;
};

SweepAnalyzer::SweepAnalyzer(const SyncSweep& sweep) : sweep_(sweep) {
  const double rate = sweep.Rate();
  const size_t period = sweep.PeriodFrames();
  // The linear window: as long as the period allows, at most 32768 samples
  // (1.3 Hz bins at 44,100 Hz), at least 4096.
  m_ = std::clamp<size_t>(PowerOfTwoAtMost(period * 4 / 5), 4096, 32768);
  // Room for the positive times (the period and the linear window) and the
  // negative ones (the harmonics, at most a sweep's length early) without
  // the circular transform folding one onto the other.
  n_ = PowerOfTwoAtLeast(period + sweep.Frames + m_);
  // Before each peak: a quarter of the closest spacing of two harmonic
  // responses, at most 20 ms.
  double spacing = sweep.Frames;
  for (int k = 2; k <= kHighestHarmonic; ++k)
    if (sweep.HasHarmonic(k))
      spacing = std::min(spacing, sweep.AdvanceFrames(k) - sweep.AdvanceFrames(k - 1));
  pre_ = std::clamp<size_t>(static_cast<size_t>(std::min(spacing / 4, 0.02 * rate)), 8, m_ / 8);
  plans_ = std::make_unique<Plans>(n_, m_);

  const double f1 = sweep.Settings.StartHz, f2 = sweep.Settings.EndHz, L = sweep.L;
  // 2 sqrt(f / L) exp(-j (2 pi f L (1 - ln(f / f1)) - pi / 4)): the inverse
  // of the sweep's spectrum for a unit amplitude, in the band.
  inverse_.assign(n_ / 2 + 1, 0.0);
  std::vector<std::complex<double>> band(n_ / 2 + 1, 0.0);
  for (size_t k = 1; k <= n_ / 2; ++k) {
    const double f = k * rate / static_cast<double>(n_);
    band[k] = Band(f, f1, f2, rate / 2);
    if (band[k] == 0.0) continue;
    const double cycles = f * L * (1.0 - std::log(f / f1));
    const double phase = 2.0 * M_PI * (cycles - std::floor(cycles)) - M_PI / 4;
    inverse_[k] = std::polar(2.0 * std::sqrt(f / L), -phase);
  }
  // The analytic inverse is the stationary-phase approximation of an endless
  // sweep: at the lowest frequencies (a few cycles per L) and at the faded
  // ends it misses the sweep's true spectrum by up to several per cent, and
  // the error rings for as long as the sweep takes to cross those
  // frequencies, beyond any window. So the filter is corrected by the
  // sweep's own product with it, R = X X~ (1 where the approximation is
  // exact), regularized where R is small.
  std::vector<float> alone = SweepSamples(sweep);
  alone.resize(period, 0.0f);
  for (size_t i = 0; i < n_; ++i) plans_->Time[i] = i < period ? alone[i] : 0.0;
  fftw_execute(plans_->Forward);
  const auto* x = reinterpret_cast<const std::complex<double>*>(plans_->Freq);
  // With the transforms' scale and the amplitude: a unit gain deconvolves
  // into a unit impulse.
  const double scale = 1.0 / (static_cast<double>(n_) * rate * sweep.Amplitude);
  for (size_t k = 1; k <= n_ / 2; ++k) {
    const std::complex<double> r = x[k] * inverse_[k] / (rate * sweep.Amplitude);
    inverse_[k] *= band[k] * std::conj(r) / (std::norm(r) + kRegularization) * scale;
  }
  // The linear window reaches back half way to the second harmonic's
  // response: the band edges make the response ring on both sides of its
  // peak, longest at the lowest frequencies, and what the window cuts off
  // there it cuts off the reference's ringing differently.
  lead_ = sweep.HasHarmonic(2) ? static_cast<size_t>(sweep.AdvanceFrames(2) / 2) : m_ / 4;
  lead_ = std::clamp(lead_, pre_, m_ / 4);
  linearShape_ = Shape(m_, lead_ / 2, m_ / 4);
  for (int k = 2; k <= kHighestHarmonic; ++k) {
    if (!sweep.HasHarmonic(k)) continue;
    // From pre_ before its peak to pre_ before the next one's, or for the
    // second harmonic to where the linear window begins: the two never
    // share a sample.
    const long length = std::lround(sweep.AdvanceFrames(k)) -
                        (k == 2 ? static_cast<long>(lead_) - static_cast<long>(pre_)
                                : std::lround(sweep.AdvanceFrames(k - 1)));
    harmonicShape_[k] = Shape(std::min<size_t>(std::max(length, 2L), m_), pre_, pre_);
  }
  // The sweep's own deconvolution, cut as a response at delay 0 would be.
  // Its peak lies a little off 0 (the low band edge is causal, not
  // symmetric): a response's delay is counted from there.
  Deconvolve(alone.data());
  CutSpectrum(-static_cast<long>(lead_), linearShape_, reference_);
  referencePeak_ = RefinePeak(reference_, static_cast<double>(lead_), 1.0);
}

SweepAnalyzer::~SweepAnalyzer() = default;

void SweepAnalyzer::Deconvolve(const float* segment) {
  const size_t period = sweep_.PeriodFrames();
  for (size_t i = 0; i < n_; ++i) plans_->Time[i] = i < period ? segment[i] : 0.0;
  fftw_execute(plans_->Forward);
  auto* bins = reinterpret_cast<std::complex<double>*>(plans_->Freq);
  for (size_t k = 0; k <= n_ / 2; ++k) bins[k] *= inverse_[k];
  fftw_execute(plans_->Backward);
}

void SweepAnalyzer::CutSpectrum(long from, const std::vector<double>& shape,
                                std::vector<std::complex<double>>& out) {
  const long n = static_cast<long>(n_);
  for (size_t i = 0; i < m_; ++i) {
    const long at = ((from + static_cast<long>(i)) % n + n) % n;
    plans_->WinTime[i] = i < shape.size() ? plans_->Time[at] * shape[i] : 0.0;
  }
  fftw_execute(plans_->Window);
  const auto* bins = reinterpret_cast<const std::complex<double>*>(plans_->WinFreq);
  out.assign(bins, bins + m_ / 2 + 1);
}

// The peak of the band-limited signal whose spectrum is given, near `start`
// (in samples of the window): Newton's method on the interpolating sum.
double SweepAnalyzer::RefinePeak(const std::vector<std::complex<double>>& spectrum, double start,
                                 double sign) const {
  const size_t half = m_ / 2;
  const double w = 2.0 * M_PI / static_cast<double>(m_);
  double tau = start;
  for (int iteration = 0; iteration < 8; ++iteration) {
    double slope = 0.0, curvature = 0.0;
    for (size_t k = 1; k <= half; ++k) {
      const double c = k == half ? 1.0 : 2.0, wk = w * static_cast<double>(k);
      const std::complex<double> z = spectrum[k] * std::polar(1.0, wk * tau);
      slope -= c * wk * z.imag();
      curvature -= c * wk * wk * z.real();
    }
    slope *= sign, curvature *= sign;
    if (!(curvature < 0.0)) break;
    const double step = std::clamp(-slope / curvature, -0.5, 0.5);
    tau += step;
    if (std::abs(step) < 1e-9) break;
  }
  return std::abs(tau - start) <= 1.0 ? tau : start;
}

SweepResult SweepAnalyzer::Analyse(const float* segment, double offsetFrames) {
  SweepResult r;
  r.Sweep = sweep_;
  Deconvolve(segment);
  const double* h = plans_->Time;
  const long n = static_cast<long>(n_);
  long p = 0;
  for (long i = 1; i < n; ++i)
    if (std::abs(h[i]) > std::abs(h[p])) p = i;
  const double sign = h[p] >= 0.0 ? 1.0 : -1.0;
  // The linear response, and its peak between samples.
  const long from = p - static_cast<long>(lead_);
  CutSpectrum(from, linearShape_, spectrum_);
  const double a = h[(p + n - 1) % n], b = h[p], c = h[(p + 1) % n];
  const double bend = a - 2.0 * b + c;
  const double guess = bend != 0.0 ? std::clamp(0.5 * (a - c) / bend, -0.5, 0.5) : 0.0;
  const double tau = RefinePeak(spectrum_, static_cast<double>(lead_) + guess, sign);
  const long signedPeak = p > n / 2 ? p - n : p;
  r.DelayFrames = offsetFrames + static_cast<double>(signedPeak) + (tau - referencePeak_);

  const double rate = sweep_.Rate(), binHz = rate / static_cast<double>(m_);
  const double f1 = sweep_.Settings.StartHz, f2 = sweep_.Settings.EndHz;
  const size_t first = std::max<size_t>(1, static_cast<size_t>(std::ceil(f1 / binHz)));
  const size_t last = std::min(m_ / 2, static_cast<size_t>(std::floor(f2 / binHz)));
  // The window starts `tau` samples before the peak, the reference's
  // referencePeak_ before its own.
  const double shift = 2.0 * M_PI * (tau - referencePeak_) / static_cast<double>(m_);
  std::vector<double> radians, magnitude(m_ / 2 + 1, kNaN);
  for (size_t i = first; i <= last; ++i) {
    const std::complex<double> ref = reference_[i];
    const std::complex<double> v =
        std::abs(ref) > 0.0 ? spectrum_[i] / ref * std::polar(1.0, shift * static_cast<double>(i))
                            : std::complex<double>(kNaN, kNaN);
    magnitude[i] = std::abs(v);
    r.Hz.push_back(static_cast<double>(i) * binHz);
    r.MagnitudeDb.push_back(20.0 * std::log10(magnitude[i]));
    radians.push_back(std::arg(v));
  }
  const std::vector<double> phase = Unwrap(radians);
  const size_t count = phase.size();
  for (size_t i = 0; i < count; ++i) {
    r.PhaseDeg.push_back(phase[i] * 180.0 / M_PI);
    const size_t lo = i > 0 ? i - 1 : i, hi = i + 1 < count ? i + 1 : i;
    r.GroupDelayMs.push_back(
        hi > lo ? -(phase[hi] - phase[lo]) / (2.0 * M_PI * (r.Hz[hi] - r.Hz[lo])) * 1000.0 : kNaN);
  }

  // The harmonics: each cut at its advance, its level per bin re the sweep.
  std::array<std::vector<double>, kHighestHarmonic + 1> level;
  for (int k = 2; k <= kHighestHarmonic; ++k) {
    if (!sweep_.HasHarmonic(k)) continue;
    CutSpectrum(p - std::lround(sweep_.AdvanceFrames(k)) - static_cast<long>(pre_),
                harmonicShape_[k], harmonic_);
    level[k].resize(m_ / 2 + 1);
    for (size_t i = 0; i <= m_ / 2; ++i)
      level[k][i] = std::abs(reference_[i]) > 0.0 ? std::abs(harmonic_[i] / reference_[i]) : kNaN;
  }
  // Harmonic levels only where the sweep plays at full level: while it fades
  // in or out a harmonic falls with a power of the fade, the fundamental
  // with the fade alone.
  const double fullFrom = f1 * std::exp(sweep_.FadeInFrames / rate / sweep_.L);
  const double fullTo =
      f1 * std::exp((static_cast<double>(sweep_.Frames) - sweep_.FadeOutFrames) / rate / sweep_.L);
  const size_t top = std::min(last, static_cast<size_t>(std::floor(fullTo / binHz)));
  const size_t lastFundamental = top / 2;
  for (size_t i = std::max(first, static_cast<size_t>(std::ceil(fullFrom / binHz)));
       i <= lastFundamental; ++i) {
    r.DistortionHz.push_back(static_cast<double>(i) * binHz);
    double power = 0.0;
    bool any = false;
    for (int k = 2; k <= kHighestHarmonic; ++k) {
      const size_t j = static_cast<size_t>(k) * i;
      double db = kNaN;
      if (!level[k].empty() && j <= top) {
        const double ratio = level[k][j] / magnitude[i];
        db = 20.0 * std::log10(ratio);
        power += ratio * ratio;
        any = true;
      }
      r.HarmonicDb[k - 2].push_back(db);
    }
    r.ThdDb.push_back(any ? 10.0 * std::log10(power) : kNaN);
  }

  r.Impulse.resize(m_);
  for (size_t i = 0; i < m_; ++i)
    r.Impulse[i] = static_cast<float>(h[((from + static_cast<long>(i)) % n + n) % n]);
  r.ImpulsePeak = lead_;
  if (signedPeak < 0 || signedPeak > static_cast<long>(sweep_.GapFrames / 2))
    r.Note =
        "the delay leaves little of the recording after the sweep: the highest "
        "frequencies may be cut off";
  return r;
}

}  // namespace zorvane
