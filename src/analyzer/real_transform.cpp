// SPDX-License-Identifier: GPL-3.0-or-later
// The real transform: the N real values as h = N/2 complex points, one
// complex transform of length h and a split step that turns it into the
// transform of the N real values.
//
// The complex transform runs on rows of eight points, one point per vector
// lane. With h = 8m, point z(8 r + l) is lane l of row r, and
//
//   Z(k1 + m k2) = sum_l W8^(l k2) Wh^(l k1) sum_r z(8 r + l) Wm^(r k1)
//
// (Wq = e^(-2 pi j / q)): eight transforms of length m, one per lane, run
// side by side over whole rows (radix-2 and radix-4 passes that decimate in
// frequency, so each needs only one twiddle per row, the same in every lane);
// then every row is turned by its twiddles Wh^(l k1), and the eight-point
// transforms across the lanes finish the job after an 8 x 8 transposition.
// Their results land in natural order, eight consecutive k1 at a time, so the
// split step reads them as they are. Every twiddle comes from a table made
// once, on first use, in double precision; the 1/N of the result is folded
// into the row twiddles (a power of two, so exactly).
#include <cmath>
#include <cstdint>

#include "analyzer/Graphicinterpolate.h"
#include "app/app_state.h"

namespace zorvane {
namespace {

constexpr int kLanes = 8;
constexpr int kMaxPoints = kMaxTransform / 2;  // h
constexpr int kMaxRows = kMaxPoints / kLanes;  // m
constexpr int kMinLog = 6;                     // h = 64 (N = 128)
constexpr int kMaxLog = 12;                    // h = 4096
constexpr double kTwoPi = 6.283185307179586476925;

// Lane l of a row holds point kLanePoint[l] of its eight: the rows are read
// from the interleaved input with shuffles that stay within 128-bit halves.
// The order is its own inverse.
constexpr int kLanePoint[kLanes] = {0, 1, 4, 5, 2, 3, 6, 7};

int BitReverse(int v, int bits) {
  int r = 0;
  for (int b = 0; b < bits; ++b) r |= ((v >> b) & 1) << (bits - 1 - b);
  return r;
}

// Twiddles of the passes over whole rows, one complex value per row and the
// same for every lane. A radix-4 pass of span s takes W^j, W^2j and W^3j with
// W = W(4s) for j = 0..s-1, six floats per j; a radix-2 pass of span s takes
// W(2s)^j, two floats per j.
struct PassTables {
  float radix4[6 * 2 * (kMaxRows / 4)];
  float radix2[2 * kMaxRows];
  int radix4At[kMaxLog];  // offset of span 2^b in radix4
  int radix2At[kMaxLog];
};

// What one size needs besides: the row twiddles by row position (eight lanes
// of real parts, then eight of imaginary parts per row), the split step's
// rotations e^(j pi k / h) for k = 0..h/2 and the position of the first row of
// every group of eight consecutive k1.
struct SizeTables {
  const float* row;
  const float* splitRe;
  const float* splitIm;
  const uint16_t* groupRow;
};

struct Tables {
  PassTables pass;
  SizeTables size[kMaxLog + 1];
  // Storage for every size from h = 64 to h = 4096 together: per size 2h
  // floats of row twiddles, twice h/2 + 8 floats of split rotations and m/8
  // group rows (the sums over the sizes stay below twice the largest).
  static constexpr int kSizes = kMaxLog - kMinLog + 1;
  alignas(64) float rows[2 * (2 * kMaxPoints)];
  alignas(64) float split[2 * (kMaxPoints + 2 * kSizes * kLanes)];
  uint16_t groups[2 * kMaxRows / kLanes];
};

void FillPassTables(PassTables& p) {
  int at = 0;
  for (int b = 0; (1 << b) <= kMaxRows / 4; ++b) {
    const int s = 1 << b;
    p.radix4At[b] = at;
    for (int j = 0; j < s; ++j)
      for (int e = 1; e <= 3; ++e) {
        const double a = -kTwoPi * e * j / (4.0 * s);
        p.radix4[at++] = static_cast<float>(std::cos(a));
        p.radix4[at++] = static_cast<float>(std::sin(a));
      }
  }
  at = 0;
  for (int b = 0; (1 << b) <= kMaxRows / 2; ++b) {
    const int s = 1 << b;
    p.radix2At[b] = at;
    for (int j = 0; j < s; ++j) {
      const double a = -kTwoPi * j / (2.0 * s);
      p.radix2[at++] = static_cast<float>(std::cos(a));
      p.radix2[at++] = static_cast<float>(std::sin(a));
    }
  }
}

__attribute__((noinline)) const Tables& GetTables() {
  static const Tables* const tables = [] {
    static Tables t;
    FillPassTables(t.pass);
    float* row = t.rows;
    float* split = t.split;
    uint16_t* groups = t.groups;
    for (int log = kMinLog; log <= kMaxLog; ++log) {
      const int h = 1 << log, m = h / kLanes, rowBits = log - 3;
      SizeTables& s = t.size[log];
      // Row twiddles, with the 1/(2h) that makes the split step's sums the
      // scaled result.
      s.row = row;
      for (int p = 0; p < m; ++p) {
        const int k1 = BitReverse(p, rowBits);
        for (int l = 0; l < kLanes; ++l) {
          const int e = (kLanePoint[l] * k1) % h;
          const double a = -kTwoPi * e / h;
          row[16 * p + l] = static_cast<float>(std::cos(a) / (2.0 * h));
          row[16 * p + 8 + l] = static_cast<float>(std::sin(a) / (2.0 * h));
        }
      }
      row += 2 * h;
      // Split rotations; the one of k = h/2 is exactly (0, 1).
      const int q = h / 2;
      s.splitRe = split;
      s.splitIm = split + q + kLanes;
      for (int k = 0; k <= q; ++k) {
        const double a = kTwoPi * k / (2.0 * h);
        split[k] = k == q ? 0.0f : static_cast<float>(std::cos(a));
        split[q + kLanes + k] = k == q ? 1.0f : static_cast<float>(std::sin(a));
      }
      split += 2 * (q + kLanes);
      // Eight consecutive k1 = 8g..8g+7 sit at rows groupRow[g] + rev3(i) m/8.
      s.groupRow = groups;
      for (int g = 0; g < m / kLanes; ++g)
        groups[g] = static_cast<uint16_t>(BitReverse(g, rowBits - 3));
      groups += m / kLanes;
    }
    return &t;
  }();
  return *tables;
}

// Eight floats processed together (GCC/Clang vector extensions: one AVX
// register, or two SSE registers in the baseline build); loads and stores
// need only the alignment of a float. Vectors never cross a call: the helpers
// are always inlined and take pointers or references, and loads and stores
// are expressions, so the instruction set a build targets never changes how a
// vector is passed.
#define ZV_INLINE inline __attribute__((always_inline))
// Small loops over the rows of a butterfly run unrolled, so that the rows
// stay in registers.
#define ZV_UNROLL _Pragma("GCC unroll 8")

typedef float V8 __attribute__((vector_size(32)));
typedef float V8u __attribute__((vector_size(32), aligned(4), may_alias));
typedef float V4 __attribute__((vector_size(16)));
typedef float V4u __attribute__((vector_size(16), aligned(4), may_alias));

#define ZV_LOAD8(p) (V8(*reinterpret_cast<const V8u*>(p)))
#define ZV_STORE8(p, v) (*reinterpret_cast<V8u*>(p) = (v))
#define ZV_LOAD4(p) (V4(*reinterpret_cast<const V4u*>(p)))
#define ZV_SPLAT(x)                     \
  __extension__({                       \
    const float s_ = (x);               \
    V8{s_, s_, s_, s_, s_, s_, s_, s_}; \
  })
#define ZV_REVERSE8(v) __builtin_shufflevector((v), (v), 7, 6, 5, 4, 3, 2, 1, 0)

// (r, i) *= (wr, wi).
ZV_INLINE void Rotate(V8& r, V8& i, const V8& wr, const V8& wi) {
  const V8 t = r * wr - i * wi;
  i = r * wi + i * wr;
  r = t;
}

// A row from the interleaved input: real and imaginary parts of eight
// consecutive points, lanes in kLanePoint order.
ZV_INLINE void LoadInputRow(const float* z, V8& r, V8& i) {
  const V8 lo = ZV_LOAD8(z), hi = ZV_LOAD8(z + 8);
  r = __builtin_shufflevector(lo, hi, 0, 2, 8, 10, 4, 6, 12, 14);
  i = __builtin_shufflevector(lo, hi, 1, 3, 9, 11, 5, 7, 13, 15);
}

// Radix-4 butterfly in frequency decimation on rows a0..a3 (span s apart):
// outputs in bit-reversed order, t0 + t2, (t0 - t2) W^2j, (t1 - j t3) W^j,
// (t1 + j t3) W^3j.
ZV_INLINE void Butterfly4(V8* r, V8* i) {
  const V8 t0r = r[0] + r[2], t0i = i[0] + i[2];
  const V8 t1r = r[0] - r[2], t1i = i[0] - i[2];
  const V8 t2r = r[1] + r[3], t2i = i[1] + i[3];
  const V8 t3r = r[1] - r[3], t3i = i[1] - i[3];
  r[0] = t0r + t2r;
  i[0] = t0i + t2i;
  r[1] = t0r - t2r;
  i[1] = t0i - t2i;
  r[2] = t1r + t3i;
  i[2] = t1i - t3r;
  r[3] = t1r - t3i;
  i[3] = t1i + t3r;
}

ZV_INLINE void TwiddleRows4(V8* r, V8* i, const float* w) {
  Rotate(r[1], i[1], ZV_SPLAT(w[2]), ZV_SPLAT(w[3]));
  Rotate(r[2], i[2], ZV_SPLAT(w[0]), ZV_SPLAT(w[1]));
  Rotate(r[3], i[3], ZV_SPLAT(w[4]), ZV_SPLAT(w[5]));
}

// Eight-point transform of rows y0..y7 in place, natural order in and out:
// the halves' sums and differences, the differences turned by W8^k, then a
// four-point transform of each.
ZV_INLINE void Dft8(V8* r, V8* i) {
  const V8 rsqrt2 = ZV_SPLAT(0.70710678118654752440f);
  V8 ar[4], ai[4], br[4], bi[4];
  ZV_UNROLL
  for (int k = 0; k < 4; ++k) {
    ar[k] = r[k] + r[k + 4];
    ai[k] = i[k] + i[k + 4];
    br[k] = r[k] - r[k + 4];
    bi[k] = i[k] - i[k + 4];
  }
  // b1 *= W8 = (1 - j)/sqrt 2, b2 *= -j, b3 *= W8^3 = -(1 + j)/sqrt 2.
  const V8 r1 = (br[1] + bi[1]) * rsqrt2, i1 = (bi[1] - br[1]) * rsqrt2;
  const V8 r3 = (bi[3] - br[3]) * rsqrt2, i3 = (br[3] + bi[3]) * rsqrt2;
  const V8 r2 = bi[2], i2 = br[2];
  br[1] = r1;
  bi[1] = i1;
  br[2] = r2;
  bi[2] = -i2;
  br[3] = r3;
  bi[3] = -i3;
  // Four-point transforms: evens from a, odds from b, in the order
  // Butterfly4 leaves them (0, 2, 1, 3).
  Butterfly4(ar, ai);
  Butterfly4(br, bi);
  static constexpr int kAt[4] = {0, 4, 2, 6};
  ZV_UNROLL
  for (int k = 0; k < 4; ++k) {
    r[kAt[k]] = ar[k];
    i[kAt[k]] = ai[k];
    r[kAt[k] + 1] = br[k];
    i[kAt[k] + 1] = bi[k];
  }
}

// The first pass, reading the input: radix 2 over span m/2 when log2 m is
// odd, otherwise radix 4 over span m/4.
ZV_INLINE void FirstPass(const float* __restrict xs, float* __restrict sr, float* __restrict si,
                         int m, const PassTables& pt) {
  if ((__builtin_ctz(m) & 1) != 0) {
    const int s = m / 2;
    const float* w = pt.radix2 + pt.radix2At[__builtin_ctz(s)];
    for (int j = 0; j < s; ++j) {
      V8 ar, ai, br, bi;
      LoadInputRow(xs + 16 * j, ar, ai);
      LoadInputRow(xs + 16 * (j + s), br, bi);
      V8 dr = ar - br, di = ai - bi;
      Rotate(dr, di, ZV_SPLAT(w[2 * j]), ZV_SPLAT(w[2 * j + 1]));
      ZV_STORE8(sr + 8 * j, ar + br);
      ZV_STORE8(si + 8 * j, ai + bi);
      ZV_STORE8(sr + 8 * (j + s), dr);
      ZV_STORE8(si + 8 * (j + s), di);
    }
  } else {
    const int s = m / 4;
    const float* w = pt.radix4 + pt.radix4At[__builtin_ctz(s)];
    for (int j = 0; j < s; ++j) {
      V8 r[4], i[4];
      ZV_UNROLL
      for (int t = 0; t < 4; ++t) LoadInputRow(xs + 16 * (j + t * s), r[t], i[t]);
      Butterfly4(r, i);
      TwiddleRows4(r, i, w + 6 * j);
      ZV_UNROLL
      for (int t = 0; t < 4; ++t) {
        ZV_STORE8(sr + 8 * (j + t * s), r[t]);
        ZV_STORE8(si + 8 * (j + t * s), i[t]);
      }
    }
  }
}

// A radix-4 pass of span s >= 4 over the m rows, in place.
ZV_INLINE void MiddlePass(float* __restrict sr, float* __restrict si, int m, int s,
                          const PassTables& pt) {
  const float* w = pt.radix4 + pt.radix4At[__builtin_ctz(s)];
  for (int b = 0; b < m; b += 4 * s) {
    float* br = sr + 8 * b;
    float* bi = si + 8 * b;
    for (int j = 0; j < s; ++j) {
      V8 r[4], i[4];
      ZV_UNROLL
      for (int t = 0; t < 4; ++t) {
        r[t] = ZV_LOAD8(br + 8 * (j + t * s));
        i[t] = ZV_LOAD8(bi + 8 * (j + t * s));
      }
      Butterfly4(r, i);
      TwiddleRows4(r, i, w + 6 * j);
      ZV_UNROLL
      for (int t = 0; t < 4; ++t) {
        ZV_STORE8(br + 8 * (j + t * s), r[t]);
        ZV_STORE8(bi + 8 * (j + t * s), i[t]);
      }
    }
  }
}

// The last pass over rows (span 1, no twiddles of its own), then each row
// turned by its row twiddles.
ZV_INLINE void LastPass(float* __restrict sr, float* __restrict si, int m,
                        const float* __restrict tw) {
  for (int p = 0; p < m; p += 4) {
    V8 r[4], i[4];
    ZV_UNROLL
    for (int t = 0; t < 4; ++t) {
      r[t] = ZV_LOAD8(sr + 8 * (p + t));
      i[t] = ZV_LOAD8(si + 8 * (p + t));
    }
    Butterfly4(r, i);
    ZV_UNROLL
    for (int t = 0; t < 4; ++t) {
      const float* w = tw + 16 * (p + t);
      Rotate(r[t], i[t], ZV_LOAD8(w), ZV_LOAD8(w + 8));
      ZV_STORE8(sr + 8 * (p + t), r[t]);
      ZV_STORE8(si + 8 * (p + t), i[t]);
    }
  }
}

// Columns of the 8 x 8 block whose rows start at row[0..7]: c[l][t] is
// row[t][l]. The halves are loaded separately, so the transposition needs
// only shuffles within 128-bit halves.
ZV_INLINE void Transpose(const float* const* row, V8* c) {
  V8 t[4], u[4];
  ZV_UNROLL
  for (int k = 0; k < 4; ++k) {
    t[k] = __builtin_shufflevector(ZV_LOAD4(row[k]), ZV_LOAD4(row[k + 4]), 0, 1, 2, 3, 4, 5, 6, 7);
    u[k] = __builtin_shufflevector(ZV_LOAD4(row[k] + 4), ZV_LOAD4(row[k + 4] + 4), 0, 1, 2, 3, 4, 5,
                                   6, 7);
  }
  V8* in[2] = {t, u};
  ZV_UNROLL
  for (int g = 0; g < 2; ++g) {
    const V8* v = in[g];
    const V8 a0 = __builtin_shufflevector(v[0], v[1], 0, 8, 1, 9, 4, 12, 5, 13);
    const V8 a1 = __builtin_shufflevector(v[0], v[1], 2, 10, 3, 11, 6, 14, 7, 15);
    const V8 a2 = __builtin_shufflevector(v[2], v[3], 0, 8, 1, 9, 4, 12, 5, 13);
    const V8 a3 = __builtin_shufflevector(v[2], v[3], 2, 10, 3, 11, 6, 14, 7, 15);
    c[4 * g + 0] = __builtin_shufflevector(a0, a2, 0, 1, 8, 9, 4, 5, 12, 13);
    c[4 * g + 1] = __builtin_shufflevector(a0, a2, 2, 3, 10, 11, 6, 7, 14, 15);
    c[4 * g + 2] = __builtin_shufflevector(a1, a3, 0, 1, 8, 9, 4, 5, 12, 13);
    c[4 * g + 3] = __builtin_shufflevector(a1, a3, 2, 3, 10, 11, 6, 7, 14, 15);
  }
}

// Eight-point transforms across the lanes, eight consecutive k1 at a time,
// into Z(k1 + m k2) in natural order.
ZV_INLINE void LanePass(const float* __restrict sr, const float* __restrict si,
                        float* __restrict zr, float* __restrict zi, int m,
                        const uint16_t* groupRow) {
  const int step = m / kLanes;
  static constexpr int kRev3[kLanes] = {0, 4, 2, 6, 1, 5, 3, 7};
  for (int g = 0; g < step; ++g) {
    const float* rowR[kLanes];
    const float* rowI[kLanes];
    ZV_UNROLL
    for (int t = 0; t < kLanes; ++t) {
      const int p = groupRow[g] + kRev3[t] * step;
      rowR[t] = sr + 8 * p;
      rowI[t] = si + 8 * p;
    }
    V8 cr[kLanes], ci[kLanes];
    Transpose(rowR, cr);
    Transpose(rowI, ci);
    // Column c holds lane point kLanePoint[c] for the eight k1.
    V8 r[kLanes], i[kLanes];
    ZV_UNROLL
    for (int t = 0; t < kLanes; ++t) {
      r[t] = cr[kLanePoint[t]];
      i[t] = ci[kLanePoint[t]];
    }
    Dft8(r, i);
    ZV_UNROLL
    for (int k = 0; k < kLanes; ++k) {
      ZV_STORE8(zr + 8 * g + k * m, r[k]);
      ZV_STORE8(zi + 8 * g + k * m, i[k]);
    }
  }
}

// The split step on the scaled transform Z/(2h) of the packed points, in
// place: element 0, then k = 1..h/2 paired with h - k, eight pairs at a time
// (the last group meets itself at k = h/2, where both halves give the same).
ZV_INLINE void Split(float* __restrict re, float* __restrict im, int h, const SizeTables& st) {
  {
    const float ar = re[0], ai = im[0];
    re[0] = ar + ai;
    im[0] = ar - ai;
  }
  const int q = h / 2;
  const float* __restrict splitRe = st.splitRe;
  const float* __restrict splitIm = st.splitIm;
  for (int k = 1; k <= q; k += 8) {
    const V8 wr = ZV_LOAD8(splitRe + k), wi = ZV_LOAD8(splitIm + k);
    const V8 ar = ZV_LOAD8(re + k), ai = ZV_LOAD8(im + k);
    const V8 br = ZV_REVERSE8(ZV_LOAD8(re + h - k - 7));
    const V8 bi = ZV_REVERSE8(ZV_LOAD8(im + h - k - 7));
    const V8 A = ar + br, C = ai - bi, sum = ai + bi, diff = ar - br;
    const V8 B = sum * wr - diff * wi;
    const V8 D = sum * wi + diff * wr;
    ZV_STORE8(re + k, A + B);
    ZV_STORE8(im + k, C - D);
    ZV_STORE8(re + h - k - 7, ZV_REVERSE8(A - B));
    ZV_STORE8(im + h - k - 7, ZV_REVERSE8(-(C + D)));
  }
}

// The transform itself, expanded into each build below.
ZV_INLINE void TransformBody(const float* x, float* real, float* imag, int n) {
  if (n < 128 || n > kMaxTransform || (n & (n - 1)) != 0) return;
  const Tables& tables = GetTables();
  const int h = n / 2, m = h / kLanes;
  const SizeTables& st = tables.size[__builtin_ctz(h)];
  alignas(64) float sr[kMaxPoints];
  alignas(64) float si[kMaxPoints];
  // 0-based views: point p of the result is element p + 1.
  float* __restrict re = real + 1;
  float* __restrict im = imag + 1;

  FirstPass(x + 1, sr, si, m, tables.pass);
  int s = (__builtin_ctz(m) & 1) != 0 ? m / 8 : m / 16;
  for (; s >= 4; s /= 4) MiddlePass(sr, si, m, s, tables.pass);
  LastPass(sr, si, m, st.row);
  LanePass(sr, si, re, im, m, st.groupRow);
  Split(re, im, h, st);
}

}  // namespace

// Built twice, for the baseline x86-64 instruction set and for AVX2, and
// chosen once by what the processor has. Both give the same results: the
// same operations in the same order, without fused multiply-add in either,
// and the same tables.
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

}  // namespace zorvane
