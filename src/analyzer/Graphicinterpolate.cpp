// Sample conversion, window table, real transform and spline resampling.
#include "analyzer/Graphicinterpolate.h"

#include <algorithm>
#include <cmath>

#include "app/app_state.h"

namespace zorvane {

void ComputeWindowTable(int n, int code, float* table) {
  if (n < 1 || n > kMaxTransform || code < 1 || code > 7) return;  // 0 and >7: unchanged
  const double dn = n;
  for (int i = 1; i <= n; ++i) {
    const double x = 6.28318 * i / dn;
    double w = 0.0;
    switch (code) {
      case 1: w = 0.5 - 0.5 * std::cos(x); break;
      case 2: w = 0.54 - 0.46 * std::cos(x); break;
      case 3: {
        const double s = std::sin(3.14159 * i / dn);
        w = s * s;
        break;
      }
      case 4: w = (i <= n / 2) ? i / dn : 1.0 - i / dn; break;
      case 5:
        w = 0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2.0 * x) -
            0.01168 * std::cos(3.0 * x);
        break;
      case 6: w = 0.42 - 0.5 * std::cos(x) + 0.08 * std::cos(2.0 * x); break;
      case 7:
        // Three-term cosine window; the last term takes the second harmonic
        // (m = 2), the usual form of such windows, so the coefficients sum to
        // about 0 at both ends and 1.0 in the middle.
        w = 0.4896845 - 0.4873326 * std::cos(x) + 0.0229829 * std::cos(2.0 * x);
        break;
      default: break;
    }
    table[i] = static_cast<float>(w);
  }
}

namespace {

// Rotations of one stage or of the split step, produced by the recurrence
// w := w * (c + j s) from w = (1, 0). The recurrence runs in double and each
// value is stored as a float; the values are kept for the stage so that the
// butterflies can run over contiguous positions. The order and arithmetic of
// the recurrence are those of the group-by-group loop, so the factors are the
// same ones.
inline void RotationRun(int count, double c, double s, float* __restrict wr,
                        float* __restrict wi) {
  float r = 1.0f, i = 0.0f;
  for (int m = 0; m < count; ++m) {
    wr[m] = r;
    wi[m] = i;
    const double nr = static_cast<double>(r) * c - static_cast<double>(i) * s;
    const double ni = static_cast<double>(r) * s + static_cast<double>(i) * c;
    r = static_cast<float>(nr);
    i = static_cast<float>(ni);
  }
}

// One butterfly stage with half-span le >= 4 over the h complex points.
inline void Stage(float* __restrict re, float* __restrict im, int h, int le,
                  const float* __restrict wr, const float* __restrict wi) {
  for (int b = 0; b < h; b += 2 * le) {
    float* __restrict r0 = re + b;
    float* __restrict i0 = im + b;
    float* __restrict r1 = re + b + le;
    float* __restrict i1 = im + b + le;
    for (int m = 0; m < le; ++m) {
      const float tr = wr[m] * r1[m] + wi[m] * i1[m];
      const float ti = wr[m] * i1[m] - wi[m] * r1[m];
      const float ar = r0[m], ai = i0[m];
      r1[m] = ar - tr;
      i1[m] = ai - ti;
      r0[m] = ar + tr;
      i0[m] = ai + ti;
    }
  }
}

}  // namespace

void RealTransform(const float* x, float* real, float* imag, int n) {
  if (n < 8 || n > kMaxTransform || (n & (n - 1)) != 0) return;
  const int h = n / 2;
  // Work on 0-based views: position p of the complex sequence is element p+1.
  float* __restrict re = real + 1;
  float* __restrict im = imag + 1;
  const float* __restrict xs = x + 1;

  // Pack the real values into h complex points and put them in bit-reversed
  // order in one pass: the counter walks j through the bit-reversed positions
  // (with kk = h/k of the classic counter loop), so position p receives the
  // point that the exchange pass would bring there.
  {
    int j = 0;
    re[0] = xs[0];
    im[0] = xs[1];
    for (int p = 1; p < h; ++p) {
      int kk = h / 2;
      while (kk > 0 && j >= kk) {
        j -= kk;
        kk /= 2;
      }
      j += kk;
      re[p] = xs[2 * j];
      im[p] = xs[2 * j + 1];
    }
  }

  // The half-angle rule gives the stage rotations: stage 1 uses (-1, 0),
  // stage 2 (0, 1), stage 3 (sqrt 1/2, sqrt 1/2), ... With w = (1, 0) and
  // (0, 1) the first two stages need no multiplications: t = z(ip) in stage 1
  // and t = conj(w) z(ip) = (im, -re) for the second group of stage 2. They
  // run together, four points at a time.
  for (int b = 0; b + 3 < h; b += 4) {
    const float r0 = re[b] + re[b + 1], i0 = im[b] + im[b + 1];
    const float r1 = re[b] - re[b + 1], i1 = im[b] - im[b + 1];
    const float r2 = re[b + 2] + re[b + 3], i2 = im[b + 2] + im[b + 3];
    const float r3 = re[b + 2] - re[b + 3], i3 = im[b + 2] - im[b + 3];
    re[b] = r0 + r2;
    im[b] = i0 + i2;
    re[b + 2] = r0 - r2;
    im[b + 2] = i0 - i2;
    re[b + 1] = r1 + i3;
    im[b + 1] = i1 - r3;
    re[b + 3] = r1 - i3;
    im[b + 3] = i1 + r3;
  }

  // Remaining stages. c follows the half-angle rule from the cosine of the
  // previous stage (stage 2 ended with c = 0).
  float wr[kMaxTransform / 4];
  float wi[kMaxTransform / 4];
  double c = 0.0;
  for (int le = 4; le < h; le *= 2) {
    const double s = std::sqrt((1.0 - c) / 2.0);
    c = (1.0 + c) / 2.0;
    if (c > 0.0) c = std::sqrt(c);
    RotationRun(le, c, s, wr, wi);
    Stage(re, im, h, le, wr, wi);
  }

  // Split the transform of the packed sequence into the transform of the N
  // real values, and scale by 1/h (folded into the halving).
  const float theta = static_cast<float>(3.141593 / h);
  const double sc = std::cos(static_cast<double>(theta));
  const double ss = std::sin(static_cast<double>(theta));
  const float half = 0.5f / static_cast<float>(h);
  const float scale = 1.0f / static_cast<float>(h);
  const int q = h / 2;
  // w for n = 1..q-1 is the recurrence applied n times; RotationRun stores
  // the value before each application, so run it q times and skip entry 0.
  RotationRun(q, sc, ss, wr, wi);
  {
    const float ar = re[0], ai = im[0];
    re[0] = (ar + ai) * half;
    im[0] = (ar - ai) * half;
  }
  for (int k = 1; k < q; ++k) {
    const float wrk = wr[k], wik = wi[k];
    const float ar = re[k], ai = im[k];
    const float br = re[h - k], bi = im[h - k];
    const float A = ar + br;
    const float B = (ai + bi) * wrk - (ar - br) * wik;
    const float C = ai - bi;
    const float D = (ai + bi) * wik + (ar - br) * wrk;
    re[k] = (A + B) * half;
    im[k] = (C - D) * half;
    re[h - k] = (A - B) * half;
    im[h - k] = -(C + D) * half;
  }
  re[q] = re[q] * scale;
  im[q] = -im[q] * scale;
}

void WindowAndTransform(const int32_t* samples, float* spectrum, int n, const float* window,
                        float gain, float* re, float* im) {
  if (n < 8 || n > kMaxTransform || (n & (n - 1)) != 0) return;
  {
    float* __restrict sp = spectrum;
    const float* __restrict w = window;
    const int32_t* __restrict x = samples;
    for (int j = 1; j <= n; ++j) sp[j] = gain * w[j] * static_cast<float>(x[j]);
  }
  RealTransform(spectrum, re, im, n);
  float* __restrict sp = spectrum;
  const float* __restrict r = re;
  const float* __restrict i = im;
  for (int k = 1; k <= n / 2; ++k) sp[k] = r[k] * r[k] + i[k] * i[k];
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
  if (bytesPerSample == 2 && channelSelect == 1) {
    const int last = std::min(n, (kCaptureBufferBytes - 122) / 2);  // 120 + 2j + 1 <= 65589
    for (int j = 1; j <= last; ++j) dest[j] = s16(120 + 2 * j);
  } else if (bytesPerSample == 2 && (channelSelect == 2 || channelSelect == 3)) {
    const int second = channelSelect == 3 ? 2 : 0;
    const int last = std::min(n, (kCaptureBufferBytes - 124) / 4);  // 120 + 4j + 3 <= 65589
    for (int j = 1; j <= last; ++j) dest[j] = s16(120 + 4 * j + second);
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
                      int destCount, float span, float* secondDerivs, float* sweep,
                      int workLen) {
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
  U[0] = 0.0f;
  for (int i = 1; i <= n - 2; ++i)
    U[i] = -0.25f * (U[i - 1] - 6.0f * (Y(i + 1) - 2.0f * Y(i) + Y(i - 1)));
  Y2[n - 1] = (-3.0f * (Y(n - 1) - Y(n - 2)) - 0.5f * U[n - 2]) / 0.875f;
  for (int i = n - 2; i >= 0; --i) Y2[i] = -0.25f * Y2[i + 1] + U[i];

  const float step = span / columns;
  int count = 0;
  for (; count < destCount; ++count) {
    const float x = static_cast<float>(count) * step;
    if (!(x <= lim)) break;
    int i = static_cast<int>(x);
    if (i < 0) i = 0;
    if (i + 1 > n - 1) {
      dest[count] = Y(i);
      continue;
    }
    const float a = static_cast<float>(i + 1) - x;
    const float b = x - static_cast<float>(i);
    dest[count] = a * Y(i) + b * Y(i + 1) +
                  ((a * a * a - a) * Y2[i] + (b * b * b - b) * Y2[i + 1]) * 0.16666667f;
  }
  return count;
}

}  // namespace zorvane
