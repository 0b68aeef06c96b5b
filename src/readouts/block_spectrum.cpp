// SPDX-License-Identifier: GPL-3.0-or-later
#include "readouts/block_spectrum.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zorvane::readouts {

namespace {

// Seven-term Blackman-Harris: the cosine sum a0 - a1 cos x + a2 cos 2x - ...
// whose highest side lobe is about -180 dB below the main lobe, which spans
// +-7 bins.
constexpr double kTerms[kLobeBins] = {0.27105140069342, 0.43329793923448, 0.21812299954311,
                                      0.06592544638803, 0.01081174209837, 0.00077658482522,
                                      0.00001388721735};

constexpr int kSizes = 4;  // 1024, 2048, 4096, 8192

int SizeIndex(int n) {
  for (int i = 0, s = kMinBlock; i < kSizes; ++i, s *= 2)
    if (s == n) return i;
  return -1;
}

}  // namespace

// One complex transform of n/2 points per size, all planned with the
// readouts, so that no block plans (or allocates). Planning by estimate
// takes about a millisecond for the four and gives the same results from
// run to run.
struct BlockSpectrum::Plans {
  fftwf_plan plan[kSizes] = {};
  ~Plans() {
    for (fftwf_plan& p : plan)
      if (p) fftwf_destroy_plan(p);
  }
};

BlockSpectrum::BlockSpectrum() : plans_(std::make_unique<Plans>()) {
  windowed_ = fftwf_alloc_real(kMaxBlock);
  transform_ = fftwf_alloc_real(kMaxBlock);
  power_ = fftwf_alloc_real(kMaxBlock / 2 + 1);
  window_ = fftwf_alloc_real(kMaxBlock);
  twiddle_ = fftwf_alloc_real(kMaxBlock);
  sizeWindow_ = fftwf_alloc_real(kMaxBlock);
  sizeTwiddle_ = fftwf_alloc_real(kMaxBlock);
  for (int i = 0; i < kMaxBlock; ++i) {
    double w = 0.0;
    for (int m = 0; m < kLobeBins; ++m)
      w += (m % 2 ? -kTerms[m] : kTerms[m]) * std::cos(2.0 * std::numbers::pi * m * i / kMaxBlock);
    window_[i] = static_cast<float>(w);
  }
  for (int k = 0; k < kMaxBlock / 2; ++k) {
    const double angle = -2.0 * std::numbers::pi * k / kMaxBlock;
    twiddle_[2 * k] = static_cast<float>(std::cos(angle));
    twiddle_[2 * k + 1] = static_cast<float>(std::sin(angle));
  }
  // The sum of a cosine-sum window's squares over a whole period, per point.
  windowSquares_ = kTerms[0] * kTerms[0];
  for (int m = 1; m < kLobeBins; ++m) windowSquares_ += 0.5 * kTerms[m] * kTerms[m];
  std::fill(power_, power_ + kMaxBlock / 2 + 1, 0.0f);
  for (int i = 0, n = kMinBlock; i < kSizes; ++i, n *= 2)
    plans_->plan[i] = fftwf_plan_dft_1d(n / 2, reinterpret_cast<fftwf_complex*>(windowed_),
                                        reinterpret_cast<fftwf_complex*>(transform_), FFTW_FORWARD,
                                        FFTW_ESTIMATE);
}

BlockSpectrum::~BlockSpectrum() {
  plans_.reset();
  for (float* p : {windowed_, transform_, power_, window_, twiddle_, sizeWindow_, sizeTwiddle_})
    fftwf_free(p);
}

namespace {

// Four floats at a time (GCC/Clang vector extensions: one SSE register);
// loads and stores need only a float's alignment.
typedef float V4 __attribute__((vector_size(16)));
typedef float V4u __attribute__((vector_size(16), aligned(4), may_alias));
typedef int32_t I4 __attribute__((vector_size(16)));
typedef int32_t I4u __attribute__((vector_size(16), aligned(4), may_alias));
#define RV_LOAD(p) (V4(*reinterpret_cast<const V4u*>(p)))
#define RV_STORE(p, v) (*reinterpret_cast<V4u*>(p) = (v))

// Power of X[k], X[k + 1] and of X[half - k], X[half - k - 1]: X[k] =
// E[k] - i t^k O[k], with E and O from Z[k] and conj Z[half - k]; X[half - k]
// takes the same terms with E conjugated and the twisted O swapped. What is
// computed is 2 X, so a quarter goes into the scale.
inline __attribute__((always_inline)) void SplitTwo(const float* z, const float* tw, int k,
                                                    int half, V4 scale, float* power) {
  const V4 conj = {1, -1, 1, -1};
  const V4 a = RV_LOAD(z + 2 * k);
  const V4 upper = RV_LOAD(z + 2 * (half - k - 1));
  const V4 b = __builtin_shufflevector(upper, upper, 2, 3, 0, 1) * conj;
  const V4 even = a + b, odd = a - b;
  const V4 t = RV_LOAD(tw + 2 * k);
  const V4 tr = __builtin_shufflevector(t, t, 0, 0, 2, 2);
  const V4 ti = __builtin_shufflevector(t, t, 1, 1, 3, 3);
  const V4 oddSwapped = __builtin_shufflevector(odd, odd, 1, 0, 3, 2);
  const V4 twisted = tr * odd - ti * oddSwapped * conj;  // t * odd
  const V4 swapped = __builtin_shufflevector(twisted, twisted, 1, 0, 3, 2);
  const V4 lower = even + swapped * conj;   // 2 X[k], 2 X[k + 1]
  const V4 mirror = even * conj - swapped;  // 2 X[half - k], 2 X[half - k - 1]
  const V4 sl = lower * lower, sm = mirror * mirror;
  // X[k], X[k + 1], X[half - k - 1], X[half - k].
  const V4 sums =
      __builtin_shufflevector(sl, sm, 0, 2, 6, 4) + __builtin_shufflevector(sl, sm, 1, 3, 7, 5);
  const V4 p = sums * scale;
  power[k] = p[0];
  power[k + 1] = p[1];
  power[half - k - 1] = p[2];
  power[half - k] = p[3];
}

}  // namespace

bool BlockSpectrum::Compute(const int32_t* samples, int n, double fullScale) {
  const int index = SizeIndex(n);
  if (index < 0 || fullScale <= 0.0) return false;
  const int half = n / 2;
  if (n != size_) {
    // The window and twiddles of this size, every (kMaxBlock / n)-th of the
    // largest size's, side by side.
    const int stride = kMaxBlock / n;
    for (int i = 0; i < n; ++i) sizeWindow_[i] = window_[i * stride];
    for (int k = 0; k < half; ++k) {
      sizeTwiddle_[2 * k] = twiddle_[2 * k * stride];
      sizeTwiddle_[2 * k + 1] = twiddle_[2 * k * stride + 1];
    }
    size_ = n;
  }

  // Window, and the clipping test: the largest and smallest sample first,
  // the runs only when a sample reached an end of the range. A sample
  // counts as at the end within 1/8192 of full scale (4 steps at 16 bits):
  // a converter's dither or a filter's ripple keeps clipped samples from
  // sitting exactly on it.
  const auto range = static_cast<int32_t>(std::lround(fullScale));
  const int32_t top = range - std::max<int32_t>(1, range / 8192), bottom = -top - 1;
  I4 lo = I4{} + samples[0], hi = lo;
  for (int i = 0; i < n; i += 4) {
    const I4 x = *reinterpret_cast<const I4u*>(samples + i);
    lo = x < lo ? x : lo;
    hi = x > hi ? x : hi;
    RV_STORE(windowed_ + i, RV_LOAD(sizeWindow_ + i) * __builtin_convertvector(x, V4));
  }
  int32_t lowest = lo[0], highest = hi[0];
  for (int j = 1; j < 4; ++j) {
    lowest = std::min(lowest, lo[j]);
    highest = std::max(highest, hi[j]);
  }
  clipped_ = false;
  if (highest >= top || lowest <= bottom) {
    int run = 0;
    for (int i = 0; i < n && !clipped_; ++i) {
      run = samples[i] >= top || samples[i] <= bottom ? run + 1 : 0;
      clipped_ = run >= 3;
    }
  }

  fftwf_execute(plans_->plan[index]);

  // The real block's spectrum from the complex transform of its even and odd
  // samples, X[k] and X[half - k] together, two k at a time.
  const float* z = transform_;
  const double norm = 4.0 / (static_cast<double>(n) * n * windowSquares_ * fullScale * fullScale);
  const auto scale = static_cast<float>(0.25 * norm);
  int k = 1;
  for (; k + 1 < half - k - 1; k += 2) SplitTwo(z, sizeTwiddle_, k, half, V4{} + scale, power_);
  for (; k <= half - k; ++k) {
    const float ar = z[2 * k], ai = z[2 * k + 1];
    const float br = z[2 * (half - k)], bi = -z[2 * (half - k) + 1];
    const float er = ar + br, ei = ai + bi, orr = ar - br, oi = ai - bi;
    const float c = sizeTwiddle_[2 * k], s = sizeTwiddle_[2 * k + 1];
    const float tr = c * orr - s * oi, ti = c * oi + s * orr;
    power_[k] = ((er + ti) * (er + ti) + (ei - tr) * (ei - tr)) * scale;
    power_[half - k] = ((er - ti) * (er - ti) + (ei + tr) * (ei + tr)) * scale;
  }
  const double dc = static_cast<double>(z[0]) + z[1];
  const double nyquist = static_cast<double>(z[0]) - z[1];
  power_[half] = static_cast<float>(nyquist * nyquist * 0.5 * norm);
  // The offset: the zero-frequency value is the window's own transform
  // times the offset, spread over the first bins; take it away from them.
  power_[0] = 0.0f;
  for (k = 1; k < kLobeBins; ++k) {
    const double ar = z[2 * k], ai = z[2 * k + 1];
    const double br = z[2 * (half - k)], bi = -z[2 * (half - k) + 1];
    const double er = ar + br, ei = ai + bi, orr = ar - br, oi = ai - bi;
    const double c = sizeTwiddle_[2 * k], s = sizeTwiddle_[2 * k + 1];
    const double tr = c * orr - s * oi, ti = c * oi + s * orr;
    const double leak = (k % 2 ? -kTerms[k] : kTerms[k]) / (2.0 * kTerms[0]) * dc;
    const double re = 0.5 * (er + ti) - leak, im = 0.5 * (ei - tr);
    power_[k] = static_cast<float>((re * re + im * im) * norm);
  }
  return true;
}

}  // namespace zorvane::readouts
