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

// Eight floats processed together (GCC/Clang vector extensions: one AVX
// register, or two SSE registers in the baseline build); loads and stores
// need only the alignment of a float. Vectors never cross a call: the helpers
// are always inlined and take pointers or references, and loads and stores
// are expressions, so the instruction set a build targets never changes how a
// vector is passed.
#define ZV_INLINE inline __attribute__((always_inline))

typedef float V8 __attribute__((vector_size(32)));
typedef float V8u __attribute__((vector_size(32), aligned(4), may_alias));

#define ZV_LOAD8(p) (V8(*reinterpret_cast<const V8u*>(p)))
#define ZV_STORE8(p, v) (*reinterpret_cast<V8u*>(p) = (v))
#define ZV_REVERSE8(v) __builtin_shufflevector((v), (v), 7, 6, 5, 4, 3, 2, 1, 0)

// Transposes the 8 x 8 block held in v[0..7] (v[t][l] becomes v[l][t]).
ZV_INLINE void Transpose8(V8* v) {
  V8 a[8], b[8];
  for (int k = 0; k < 8; k += 2) {
    a[k] = __builtin_shufflevector(v[k], v[k + 1], 0, 8, 1, 9, 2, 10, 3, 11);
    a[k + 1] = __builtin_shufflevector(v[k], v[k + 1], 4, 12, 5, 13, 6, 14, 7, 15);
  }
  // a[2m]: lanes 0..3 of rows 2m, 2m+1 interleaved; a[2m+1]: lanes 4..7.
  for (int k = 0; k < 8; k += 4) {
    for (int q = 0; q < 2; ++q) {
      b[k + 2 * q] = __builtin_shufflevector(a[k + q], a[k + 2 + q], 0, 1, 8, 9, 2, 3, 10, 11);
      b[k + 2 * q + 1] =
          __builtin_shufflevector(a[k + q], a[k + 2 + q], 4, 5, 12, 13, 6, 7, 14, 15);
    }
  }
  // b[0..3]: lanes 0, 1, 2, 3 of rows 0..3 (two lanes per vector), b[4..7]
  // the same for rows 4..7.
  for (int q = 0; q < 4; ++q) {
    v[2 * q] = __builtin_shufflevector(b[q], b[4 + q], 0, 1, 2, 3, 8, 9, 10, 11);
    v[2 * q + 1] = __builtin_shufflevector(b[q], b[4 + q], 4, 5, 6, 7, 12, 13, 14, 15);
  }
}

// Powers of a rotation: w[m] = (c + j s)^m for m = 0..count-1 (count a power
// of two). Each value comes from an earlier one by one complex
// multiplication: the first eight step by step, then block by block,
// w[b + m] = w[m] * r^b, with r^b carried in double by squaring. So no value
// is more than about log2(m) roundings away from the exact power (a product
// taken group by group would pile up one rounding per group), and the blocks
// run eight at a time.
ZV_INLINE void Powers(int count, double c, double s, float* __restrict wr, float* __restrict wi) {
  double pr = 1.0, pi = 0.0;
  const int seed = count < 8 ? count : 8;
  for (int m = 0; m < seed; ++m) {
    wr[m] = static_cast<float>(pr);
    wi[m] = static_cast<float>(pi);
    const double nr = pr * c - pi * s;
    pi = pr * s + pi * c;
    pr = nr;
  }
  // (pr, pi) = r^8 here.
  for (int b = 8; b < count; b *= 2) {
    const V8 vr = V8{} + static_cast<float>(pr);
    const V8 vi = V8{} + static_cast<float>(pi);
    for (int m = 0; m < b; m += 8) {
      const V8 ar = ZV_LOAD8(wr + m), ai = ZV_LOAD8(wi + m);
      ZV_STORE8(wr + b + m, ar * vr - ai * vi);
      ZV_STORE8(wi + b + m, ar * vi + ai * vr);
    }
    const double nr = pr * pr - pi * pi;
    pi = 2.0 * pr * pi;
    pr = nr;
  }
}

// One butterfly of eight lanes: t = conj(w) z(ip), z(ip) = z(i) - t,
// z(i) = z(i) + t.
#define ZV_BUTTERFLY(ar, ai, br, bi, cr, ci)  \
  do {                                        \
    const V8 tr_ = (cr) * (br) + (ci) * (bi); \
    const V8 ti_ = (cr) * (bi) - (ci) * (br); \
    (br) = (ar)-tr_;                          \
    (bi) = (ai)-ti_;                          \
    (ar) = (ar) + tr_;                        \
    (ai) = (ai) + ti_;                        \
  } while (0)

// One butterfly stage with half-span le >= 8 over the h complex points.
ZV_INLINE void Stage(float* __restrict re, float* __restrict im, int h, int le,
                     const float* __restrict wr, const float* __restrict wi) {
  for (int b = 0; b < h; b += 2 * le) {
    float* r0 = re + b;
    float* i0 = im + b;
    float* r1 = re + b + le;
    float* i1 = im + b + le;
    for (int m = 0; m < le; m += 8) {
      V8 ar = ZV_LOAD8(r0 + m), ai = ZV_LOAD8(i0 + m), br = ZV_LOAD8(r1 + m), bi = ZV_LOAD8(i1 + m);
      ZV_BUTTERFLY(ar, ai, br, bi, ZV_LOAD8(wr + m), ZV_LOAD8(wi + m));
      ZV_STORE8(r0 + m, ar);
      ZV_STORE8(i0 + m, ai);
      ZV_STORE8(r1 + m, br);
      ZV_STORE8(i1 + m, bi);
    }
  }
}

// Two consecutive stages, half-spans le >= 8 and 2 le, in one pass: each
// group of four points goes through both stages in registers, with the same
// operations as two separate passes. w1 holds the le rotations of the first
// stage, w2 the 2 le rotations of the second.
ZV_INLINE void StagePair(float* __restrict re, float* __restrict im, int h, int le,
                         const float* __restrict w1r, const float* __restrict w1i,
                         const float* __restrict w2r, const float* __restrict w2i) {
  for (int b = 0; b < h; b += 4 * le) {
    float* r0 = re + b;
    float* i0 = im + b;
    float* r1 = r0 + le;
    float* i1 = i0 + le;
    float* r2 = r1 + le;
    float* i2 = i1 + le;
    float* r3 = r2 + le;
    float* i3 = i2 + le;
    for (int m = 0; m < le; m += 8) {
      V8 ar = ZV_LOAD8(r0 + m), ai = ZV_LOAD8(i0 + m), br = ZV_LOAD8(r1 + m), bi = ZV_LOAD8(i1 + m);
      V8 cr = ZV_LOAD8(r2 + m), ci = ZV_LOAD8(i2 + m), dr = ZV_LOAD8(r3 + m), di = ZV_LOAD8(i3 + m);
      const V8 ur = ZV_LOAD8(w1r + m), ui = ZV_LOAD8(w1i + m);
      ZV_BUTTERFLY(ar, ai, br, bi, ur, ui);
      ZV_BUTTERFLY(cr, ci, dr, di, ur, ui);
      ZV_BUTTERFLY(ar, ai, cr, ci, ZV_LOAD8(w2r + m), ZV_LOAD8(w2i + m));
      ZV_BUTTERFLY(br, bi, dr, di, ZV_LOAD8(w2r + le + m), ZV_LOAD8(w2i + le + m));
      ZV_STORE8(r0 + m, ar);
      ZV_STORE8(i0 + m, ai);
      ZV_STORE8(r1 + m, br);
      ZV_STORE8(i1 + m, bi);
      ZV_STORE8(r2 + m, cr);
      ZV_STORE8(i2 + m, ci);
      ZV_STORE8(r3 + m, dr);
      ZV_STORE8(i3 + m, di);
    }
  }
}

#undef ZV_BUTTERFLY

// The transform itself, expanded into each build below.
ZV_INLINE void TransformBody(const float* x, float* real, float* imag, int n) {
  if (n < 128 || n > kMaxTransform || (n & (n - 1)) != 0) return;
  const int h = n / 2;
  // Work on 0-based views: position p of the complex sequence is element p+1.
  float* __restrict re = real + 1;
  float* __restrict im = imag + 1;
  const float* __restrict xs = x + 1;

  // The half-angle rule gives the stage rotations from the previous stage's
  // cosine: s' = sqrt((1 - c)/2), c = sqrt((1 + c)/2) (when positive), with
  // c = 1 before stage 1 and c negated after stage 1: stage 1 rotates by
  // (-1, 0), stage 2 by (0, 1), stage 3 by (sqrt 1/2, sqrt 1/2), ... c and s'
  // are kept in double precision, since a float cosine this close to 1 would
  // lose most of the sine's digits.
  double c = 1.0;
  auto nextRotation = [&c](bool first) {
    const double s = std::sqrt((1.0 - c) / 2.0);
    c = (1.0 + c) / 2.0;
    if (c > 0.0) c = std::sqrt(c);
    if (first) c = -c;
    return s;
  };
  nextRotation(true);   // stage 1: (-1, 0)
  nextRotation(false);  // stage 2: (0, 1)
  const double s3 = nextRotation(false);
  alignas(64) float w1r[kMaxTransform / 4], w1i[kMaxTransform / 4];
  alignas(64) float w2r[kMaxTransform / 4], w2i[kMaxTransform / 4];
  Powers(4, c, s3, w1r, w1i);

  // Pack the N real values into h complex points (z(i) = x[2i+1] + j x[2i+2])
  // in bit-reversed order, and run the first three butterfly stages on the
  // way. In bit-reversed order the eight points of a group p..p+7 (p a
  // multiple of 8) are the points i + k h/8, k = 0, 4, 2, 6, 1, 5, 3, 7, of
  // one i < h/8, with p/8 the bit reversal of i over log2(h/8) bits; eight
  // consecutive i are handled together, one per lane, so every load is
  // contiguous. The counter method gives the reversed position: r walks
  // through the bit-reversed values of i (kk = e/k of the classic counter
  // loop). Within a group w = (1, 0) makes conj(w) z = z and w = (0, 1)
  // makes it (im, -re), so stages 1 and 2 need no multiplications.
  {
    const int e = h / 8;
    const V8 u1r = V8{} + w1r[1], u1i = V8{} + w1i[1];
    const V8 u2r = V8{} + w1r[2], u2i = V8{} + w1i[2];
    const V8 u3r = V8{} + w1r[3], u3i = V8{} + w1i[3];
    static constexpr int kPart[8] = {0, 4, 2, 6, 1, 5, 3, 7};  // in eighths of h
    int r = 0;
    int rows[8];
    for (int i0 = 0; i0 < e; i0 += 8) {
      V8 zr[8], zi[8];
      for (int t = 0; t < 8; ++t) {
        const float* z = xs + 2 * (i0 + kPart[t] * e);
        const V8 lo = ZV_LOAD8(z), hi = ZV_LOAD8(z + 8);
        zr[t] = __builtin_shufflevector(lo, hi, 0, 2, 4, 6, 8, 10, 12, 14);
        zi[t] = __builtin_shufflevector(lo, hi, 1, 3, 5, 7, 9, 11, 13, 15);
      }
      for (int g = 0; g < 8; g += 4) {
        const V8 r0 = zr[g] + zr[g + 1], i0v = zi[g] + zi[g + 1];
        const V8 r1 = zr[g] - zr[g + 1], i1 = zi[g] - zi[g + 1];
        const V8 r2 = zr[g + 2] + zr[g + 3], i2 = zi[g + 2] + zi[g + 3];
        const V8 r3 = zr[g + 2] - zr[g + 3], i3 = zi[g + 2] - zi[g + 3];
        zr[g] = r0 + r2;
        zi[g] = i0v + i2;
        zr[g + 2] = r0 - r2;
        zi[g + 2] = i0v - i2;
        zr[g + 1] = r1 + i3;
        zi[g + 1] = i1 - r3;
        zr[g + 3] = r1 - i3;
        zi[g + 3] = i1 + r3;
      }
      // Stage 3 (half-span 4): w = (1, 0), u1, u2, u3.
      V8 outR[8], outI[8];
      outR[0] = zr[0] + zr[4];
      outI[0] = zi[0] + zi[4];
      outR[4] = zr[0] - zr[4];
      outI[4] = zi[0] - zi[4];
      const V8 ur[3] = {u1r, u2r, u3r}, ui[3] = {u1i, u2i, u3i};
      for (int m = 1; m < 4; ++m) {
        const V8 tr = ur[m - 1] * zr[4 + m] + ui[m - 1] * zi[4 + m];
        const V8 ti = ur[m - 1] * zi[4 + m] - ui[m - 1] * zr[4 + m];
        outR[m] = zr[m] + tr;
        outI[m] = zi[m] + ti;
        outR[4 + m] = zr[m] - tr;
        outI[4 + m] = zi[m] - ti;
      }
      // Lane l holds the group of i0 + l; its eight points go to 8 r.
      for (int l = 0; l < 8; ++l) {
        if (i0 + l > 0) {
          int kk = e / 2;
          while (kk > 0 && r >= kk) {
            r -= kk;
            kk /= 2;
          }
          r += kk;
        }
        rows[l] = 8 * r;
      }
      Transpose8(outR);
      Transpose8(outI);
      for (int l = 0; l < 8; ++l) {
        ZV_STORE8(re + rows[l], outR[l]);
        ZV_STORE8(im + rows[l], outI[l]);
      }
    }
  }

  // The remaining stages, two at a time where possible.
  int le = 8;
  for (; le * 2 < h; le *= 4) {
    const double sa = nextRotation(false);
    Powers(le, c, sa, w1r, w1i);
    const double sb = nextRotation(false);
    Powers(2 * le, c, sb, w2r, w2i);
    StagePair(re, im, h, le, w1r, w1i, w2r, w2i);
  }
  if (le < h) {
    const double sa = nextRotation(false);
    Powers(le, c, sa, w1r, w1i);
    Stage(re, im, h, le, w1r, w1i);
  }

  // Split the transform of the packed sequence into the transform of the N
  // real values, and scale by 1/h (folded into the halving): with
  // w = e^(j n theta), a = Z(n), b = Z(h-n) for n = 1..h/2-1.
  const float theta = static_cast<float>(3.141593 / h);
  const int q = h / 2;
  float* wr = w1r;
  float* wi = w1i;
  Powers(q, std::cos(static_cast<double>(theta)), std::sin(static_cast<double>(theta)), wr, wi);
  const float half = 0.5f / static_cast<float>(h);
  const float scale = 1.0f / static_cast<float>(h);
  {
    const float ar = re[0], ai = im[0];
    re[0] = (ar + ai) * half;
    im[0] = (ar - ai) * half;
  }
  auto splitOne = [&](int k) {
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
  };
  int k = 1;
  for (; k < 8 && k < q; ++k) splitOne(k);
  {
    const V8 vh = V8{} + half;
    for (; k + 8 <= q; k += 8) {
      // Elements h-k-7 .. h-k, reversed so that lane l pairs k+l with h-k-l.
      const V8 wrk = ZV_LOAD8(wr + k), wik = ZV_LOAD8(wi + k);
      const V8 ar = ZV_LOAD8(re + k), ai = ZV_LOAD8(im + k);
      const V8 br = ZV_REVERSE8(ZV_LOAD8(re + h - k - 7));
      const V8 bi = ZV_REVERSE8(ZV_LOAD8(im + h - k - 7));
      const V8 A = ar + br;
      const V8 B = (ai + bi) * wrk - (ar - br) * wik;
      const V8 C = ai - bi;
      const V8 D = (ai + bi) * wik + (ar - br) * wrk;
      ZV_STORE8(re + k, (A + B) * vh);
      ZV_STORE8(im + k, (C - D) * vh);
      const V8 upperR = (A - B) * vh, upperI = -(C + D) * vh;
      ZV_STORE8(re + h - k - 7, ZV_REVERSE8(upperR));
      ZV_STORE8(im + h - k - 7, ZV_REVERSE8(upperI));
    }
  }
  for (; k < q; ++k) splitOne(k);
  re[q] = re[q] * scale;
  im[q] = -im[q] * scale;
}

}  // namespace

// Built twice, for the baseline x86-64 instruction set and for AVX2, and
// chosen once by what the processor has. Both give the same results: the
// same operations in the same order, without fused multiply-add in either.
void RealTransformBaseline(const float* x, float* real, float* imag, int n) {
  TransformBody(x, real, imag, n);
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) void RealTransformAvx2(const float* x, float* real, float* imag,
                                                       int n) {
  TransformBody(x, real, imag, n);
}

bool RealTransformAvx2Available() { return __builtin_cpu_supports("avx2"); }
#else
void RealTransformAvx2(const float* x, float* real, float* imag, int n) {
  TransformBody(x, real, imag, n);
}

bool RealTransformAvx2Available() { return false; }
#endif

void RealTransform(const float* x, float* real, float* imag, int n) {
  static const auto build =
      RealTransformAvx2Available() ? RealTransformAvx2 : RealTransformBaseline;
  build(x, real, imag, n);
}

void WindowAndTransform(const int32_t* samples, float* spectrum, int n, const float* window,
                        float gain, float* re, float* im) {
  if (n < 128 || n > kMaxTransform || (n & (n - 1)) != 0) return;
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
