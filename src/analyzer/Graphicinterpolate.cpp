// SPDX-License-Identifier: GPL-3.0-or-later
// Window table, the windowed block's power per bin, sample conversion and
// spline resampling (the real transform itself is in real_transform.cpp).
#include "analyzer/Graphicinterpolate.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "analyzer/lanes.h"
#include "app/app_state.h"

namespace zorvane {

void ComputeWindowTable(int n, int code, float* table) {
  if (n < 1 || n > kMaxTransform || code < 1 || code > 7) return;  // 0 and >7: unchanged
  const double dn = n;
  for (int i = 1; i <= n; ++i) {
    const double x = 6.28318 * i / dn;
    double w = 0.0;
    switch (code) {
      case 1:
        w = 0.5 - 0.5 * std::cos(x);
        break;
      case 2:
        w = 0.54 - 0.46 * std::cos(x);
        break;
      case 3: {
        const double s = std::sin(3.14159 * i / dn);
        w = s * s;
        break;
      }
      case 4:
        w = (i <= n / 2) ? i / dn : 1.0 - i / dn;
        break;
      case 5:
        w = 0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2.0 * x) -
            0.01168 * std::cos(3.0 * x);
        break;
      case 6:
        w = 0.42 - 0.5 * std::cos(x) + 0.08 * std::cos(2.0 * x);
        break;
      case 7:
        // Three-term cosine window; the last term takes the second harmonic
        // (m = 2), the usual form of such windows, so the coefficients sum to
        // about 0 at both ends and 1.0 in the middle.
        w = 0.4896845 - 0.4873326 * std::cos(x) + 0.0229829 * std::cos(2.0 * x);
        break;
      default:
        break;
    }
    table[i] = static_cast<float>(w);
  }
}

namespace {

#define ZV_INLINE inline __attribute__((always_inline))

// The per-block loops, W elements at a time: the same operations on every
// element as one at a time, in a baseline build (W = 4) and an AVX2 one
// (W = 8).

// spectrum[j] = (gain * window[j]) * samples[j] for j = 1..n (n a multiple of
// W).
template <int W>
ZV_INLINE void Weigh(const int32_t* samples, const float* window, float gain, float* spectrum,
                     int n) {
  using F = typename lanes::Lanes<W>::F;
  using I = typename lanes::Lanes<W>::I;
  const F g = F{} + gain;
  for (int j = 1; j <= n; j += W)
    lanes::Store(spectrum + j,
                 g * ZV_LOAD(F, window + j) * __builtin_convertvector(ZV_LOAD(I, samples + j), F));
}

// spectrum[k] = re[k] * re[k] + im[k] * im[k] for k = 1..half (a multiple of
// W).
template <int W>
ZV_INLINE void Powers(const float* re, const float* im, float* spectrum, int half) {
  using F = typename lanes::Lanes<W>::F;
  for (int k = 1; k <= half; k += W) {
    const F r = ZV_LOAD(F, re + k), i = ZV_LOAD(F, im + k);
    lanes::Store(spectrum + k, r * r + i * i);
  }
}

// dest[j] for j = 1.. while the W values from j lie within 1..last: the
// 16-bit little-endian values at buf + 120 + 2j (mono), or the first (second
// = 0) or second value of the frames at buf + 120 + 4j (stereo). Returns the
// first j not done.
template <int W>
ZV_INLINE int Sixteen(const uint8_t* buf, int32_t* dest, int last, bool stereo, int second) {
  using I = typename lanes::Lanes<W>::I;
  using S = typename lanes::Lanes<W>::S;
  using Frames = typename lanes::Lanes<W>::Frames;
  int j = 1;
  if (!stereo) {
    for (; j + W - 1 <= last; j += W)
      lanes::Store(dest + j, __builtin_convertvector(ZV_LOAD(S, buf + 120 + 2 * j), I));
    return j;
  }
  for (; j + W - 1 <= last; j += W) {
    const Frames f = ZV_LOAD(Frames, buf + 120 + 4 * j);
    S v;
    if constexpr (W == 4)
      v = second == 0 ? __builtin_shufflevector(f, f, 0, 2, 4, 6)
                      : __builtin_shufflevector(f, f, 1, 3, 5, 7);
    else
      v = second == 0 ? __builtin_shufflevector(f, f, 0, 2, 4, 6, 8, 10, 12, 14)
                      : __builtin_shufflevector(f, f, 1, 3, 5, 7, 9, 11, 13, 15);
    lanes::Store(dest + j, __builtin_convertvector(v, I));
  }
  return j;
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) void WeighAvx2(const int32_t* x, const float* w, float gain,
                                               float* sp, int n) {
  Weigh<8>(x, w, gain, sp, n);
}
__attribute__((target("avx2"))) void PowersAvx2(const float* re, const float* im, float* sp,
                                                int half) {
  Powers<8>(re, im, sp, half);
}
__attribute__((target("avx2"))) int SixteenAvx2(const uint8_t* buf, int32_t* dest, int last,
                                                bool stereo, int second) {
  return Sixteen<8>(buf, dest, last, stereo, second);
}
bool HaveAvx2() {
  static const bool have = __builtin_cpu_supports("avx2");
  return have;
}
#else
void WeighAvx2(const int32_t*, const float*, float, float*, int) {}
void PowersAvx2(const float*, const float*, float*, int) {}
int SixteenAvx2(const uint8_t*, int32_t*, int, bool, int) { return 1; }
bool HaveAvx2() { return false; }
#endif

}  // namespace

void WindowAndTransform(const int32_t* samples, float* spectrum, int n, const float* window,
                        float gain, float* re, float* im) {
  if (n < 128 || n > kMaxTransform || (n & (n - 1)) != 0) return;
  if (HaveAvx2())
    WeighAvx2(samples, window, gain, spectrum, n);
  else
    Weigh<4>(samples, window, gain, spectrum, n);
  RealTransform(spectrum, re, im, n);
  if (HaveAvx2())
    PowersAvx2(re, im, spectrum, n / 2);
  else
    Powers<4>(re, im, spectrum, n / 2);
}

void ConvertSamples(int bytesPerSample, int bufferChoice, int n, int channelSelect, int32_t* dest,
                    const uint8_t* bufferA, const uint8_t* bufferB) {
  const uint8_t* buf = bufferChoice == 2 ? bufferA : bufferChoice == 1 ? bufferB : nullptr;
  if (buf == nullptr || dest == nullptr || n < 1) return;
  n = std::min(n, kSampleBlockLen - 1);
  // Never read past the capture buffer: the last sample j whose bytes lie
  // inside it bounds the count.
  auto s16 = [buf](int offset) {
    return static_cast<int32_t>(static_cast<int16_t>(
        static_cast<uint16_t>(buf[offset] | (static_cast<uint16_t>(buf[offset + 1]) << 8))));
  };
  // On a little-endian machine the 16-bit values are read many at a time as
  // they lie in the buffer; the rest one at a time.
  constexpr bool kWhole = std::endian::native == std::endian::little;
  auto whole = [&](int last, bool stereo, int second) {
    if constexpr (!kWhole) return 1;
    return HaveAvx2() ? SixteenAvx2(buf, dest, last, stereo, second)
                      : Sixteen<4>(buf, dest, last, stereo, second);
  };
  if (bytesPerSample == 2 && channelSelect == 1) {
    const int last = std::min(n, (kCaptureBufferBytes - 122) / 2);  // 120 + 2j + 1 <= 65589
    for (int j = whole(last, false, 0); j <= last; ++j) dest[j] = s16(120 + 2 * j);
  } else if (bytesPerSample == 2 && (channelSelect == 2 || channelSelect == 3)) {
    const int second = channelSelect == 3 ? 2 : 0;
    const int last = std::min(n, (kCaptureBufferBytes - 124) / 4);  // 120 + 4j + 3 <= 65589
    for (int j = whole(last, true, second / 2); j <= last; ++j) dest[j] = s16(120 + 4 * j + second);
  } else if (bytesPerSample == 1 && channelSelect == 1) {
    const int last = std::min(n, kCaptureBufferBytes - 1);
    for (int j = 1; j <= last; ++j) dest[j] = static_cast<int32_t>(buf[j]) - 128;
  } else if (bytesPerSample == 1 && (channelSelect == 2 || channelSelect == 3)) {
    const int second = channelSelect == 3 ? 1 : 0;
    const int last = std::min(n, (kCaptureBufferBytes - 2) / 2);  // 2j + 1 <= 65589
    for (int j = 1; j <= last; ++j) dest[j] = static_cast<int32_t>(buf[2 * j + second]) - 128;
  }
}

int ResampleToColumns(const float* y, int available, float& limit, float columns, float* dest,
                      int destCount, float span, float* secondDerivs, float* sweep, int workLen) {
  const float lim = std::min(limit, 1.0e9f);
  limit = 0.0f;  // the caller's limit is consumed: one pass per call
  if (!(lim >= 0.0f) || available < 1 || destCount < 1 || workLen < 2 || !(columns > 0.0f))
    return 0;
  // Source values beyond the available ones repeat the last one.
  auto Y = [y, available](int i) { return y[std::min(i, available - 1)]; };
  // The spline is fitted over the whole evaluated range (positions
  // 0..trunc(limit) + 1) and a few positions more, so that the zero-slope end
  // condition does not bend the last values, as far as the work arrays and the
  // source reach; beyond the fitted range the output is the (clamped) source
  // value.
  constexpr long kEndMargin = 16;
  const long want = static_cast<long>(lim) + 2 + kEndMargin;
  const int n = static_cast<int>(std::max(2L, std::min<long>({want, workLen, available + 1L})));
  float* __restrict Y2 = secondDerivs;
  float* __restrict U = sweep;
  // Positions up to `direct` read the source without the clamp (n is at
  // most available + 1, so only the last position or two can need it).
  const int direct = std::min(n - 2, available - 2);
  U[0] = 0.0f;
  int i = 1;
  for (; i <= direct; ++i) U[i] = -0.25f * (U[i - 1] - 6.0f * (y[i + 1] - 2.0f * y[i] + y[i - 1]));
  for (; i <= n - 2; ++i) U[i] = -0.25f * (U[i - 1] - 6.0f * (Y(i + 1) - 2.0f * Y(i) + Y(i - 1)));
  Y2[n - 1] = (-3.0f * (Y(n - 1) - Y(n - 2)) - 0.5f * U[n - 2]) / 0.875f;
  for (int k = n - 2; k >= 0; --k) Y2[k] = -0.25f * Y2[k + 1] + U[k];

  const float step = span / columns;
  int count = 0;
  for (; count < destCount; ++count) {
    const float x = static_cast<float>(count) * step;
    if (!(x <= lim)) break;
    int k = static_cast<int>(x);
    if (k < 0) k = 0;
    if (k + 1 > n - 1) break;  // past the fitted range: the source values below
    const float a = static_cast<float>(k + 1) - x;
    const float b = x - static_cast<float>(k);
    const float yk = k + 1 < available ? y[k] : Y(k), yk1 = k + 1 < available ? y[k + 1] : Y(k + 1);
    dest[count] =
        a * yk + b * yk1 + ((a * a * a - a) * Y2[k] + (b * b * b - b) * Y2[k + 1]) * 0.16666667f;
  }
  for (; count < destCount; ++count) {
    const float x = static_cast<float>(count) * step;
    if (!(x <= lim)) break;
    dest[count] = Y(std::max(0, static_cast<int>(x)));
  }
  return count;
}

}  // namespace zorvane
