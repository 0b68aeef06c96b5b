// SPDX-License-Identifier: GPL-3.0-or-later
// The decibel conversion, many levels at a time, equal bit for bit to the C
// library's log10 of a float.
//
// The GNU C library computes log10 of a float x = 2^k m (1 <= m < 2) in the
// classic form
//
//   log10(x) = (k * log10_2lo + ivln10 * logf(m)) + k * log10_2hi
//
// in float arithmetic, with logf its natural logarithm (correct to 0.818 of a
// unit in the last place). Here the natural logarithm of m is computed to
// about double precision instead, t, and rounded to the float r. When t lies
// within 0.17 of a unit of r, logf(m) can only be r (any other float is
// further than 0.83 of a unit from the true value); otherwise it is r or its
// neighbour on t's side, and when both give the same result, so does logf.
// Only for the rest (a few in a hundred levels, more just above a power of
// ten) is the library's logf called, one level at a time, and anything not
// finite is the library's log10 itself. The float steps round one by one as
// the library's do (the build contracts no multiply-add).
//
// The vector steps come in an AVX2 and an AVX-512 build. Whether the library
// computes log10 in this form is checked on first use, for each, against a
// few thousand levels across the whole range; on other processors, or where
// it does not, every level is the library's own call.
#include "analyzer/level_log.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
// GCC 12's AVX-512 intrinsics warn of the undefined vectors they start from
// (its bug 105593): not this file's doing.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#define ZV_LEVELS_VECTOR 1
#endif

namespace zorvane {
namespace {

// The conversion of v[0..count-1] in place, and into copy[0..count-1] too
// where copy is not null.
using Levels = void(float* v, int count, float factor, float* copy);

void LibraryLevels(float* v, int count, float factor, float* copy) {
  for (int i = 0; i < count; ++i) {
    v[i] = factor * std::log10(std::max(v[i], 1.0f));
    if (copy != nullptr) copy[i] = v[i];
  }
}

#ifdef ZV_LEVELS_VECTOR

// The library's split of log10(2) and its 1 / ln(10), as floats.
constexpr float kLog10TwoHi = 3.0102920532e-01f;  // 0x3e9a2080
constexpr float kLog10TwoLo = 7.9034151668e-07f;  // 0x355427db
constexpr float kInvLn10 = 4.3429449201e-01f;     // 0x3ede5bd9

// log10(x) for x >= 1 as the library forms it from its logf of the mantissa
// (where the vector steps could not tell which of two values logf gives);
// anything not finite is the library's log10 itself.
float LibraryLog10(float x) {
  if (!std::isfinite(x)) return std::log10(x);
  const uint32_t bits = std::bit_cast<uint32_t>(x);
  const float y = static_cast<float>(static_cast<int>(bits >> 23) - 127);
  const float L = std::log(std::bit_cast<float>((bits & 0x007fffffu) | 0x3f800000u));
  const float a = y * kLog10TwoLo;
  const float b = kInvLn10 * L;
  const float c = y * kLog10TwoHi;
  return (a + b) + c;
}

#define ZV_AVX2 inline __attribute__((always_inline, target("avx2")))

// The library's steps from the exponent y = k and the natural logarithm L
// of the mantissa, each rounded to float in turn.
ZV_AVX2 __m256 Combine(__m256 y, __m256 L) {
  const __m256 a = _mm256_mul_ps(y, _mm256_set1_ps(kLog10TwoLo));
  const __m256 b = _mm256_mul_ps(_mm256_set1_ps(kInvLn10), L);
  const __m256 c = _mm256_mul_ps(y, _mm256_set1_ps(kLog10TwoHi));
  return _mm256_add_ps(_mm256_add_ps(a, b), c);
}

// a + b s2
ZV_AVX2 __m256d Pair(__m256d s2, double a, double b) {
  return _mm256_add_pd(_mm256_set1_pd(a), _mm256_mul_pd(s2, _mm256_set1_pd(b)));
}

// The natural logarithm of four mantissas 1 <= m < 2, given as mr, which
// is m / 2 above sqrt 2 (where j = 1) and m below (j = 0): with
// s = (mr - 1) / (mr + 1), mr = (1 + s) / (1 - s) and ln m = 2 atanh(s) +
// j ln 2, |s| < 0.1716, and the series to s^11 leaves out less than 5e-11 of
// the result. The logarithm t is rounded to the float r; d = t - r (as a
// float) says how far the true value lies from r.
ZV_AVX2 void RoundedLn(__m128 mr, __m128 j, __m128& r, __m128& d) {
  const __m256d one = _mm256_set1_pd(1.0);
  const __m256d x = _mm256_cvtps_pd(mr);
  const __m256d s = _mm256_div_pd(_mm256_sub_pd(x, one), _mm256_add_pd(x, one));  // both exact
  const __m256d s2 = _mm256_mul_pd(s, s);
  const __m256d s4 = _mm256_mul_pd(s2, s2);
  // 1 + s2/3 + s4 (1/5 + s2/7) + s8 (1/9 + s2/11), in pairs.
  const __m256d p = _mm256_add_pd(
      _mm256_add_pd(Pair(s2, 1.0, 1.0 / 3.0), _mm256_mul_pd(s4, Pair(s2, 0.2, 1.0 / 7.0))),
      _mm256_mul_pd(_mm256_mul_pd(s4, s4), Pair(s2, 1.0 / 9.0, 1.0 / 11.0)));
  const __m256d ln2 = _mm256_mul_pd(_mm256_cvtps_pd(j), _mm256_set1_pd(0.69314718055994530942));
  const __m256d t = _mm256_add_pd(_mm256_mul_pd(_mm256_add_pd(s, s), p), ln2);
  r = _mm256_cvtpd_ps(t);
  d = _mm256_cvtpd_ps(_mm256_sub_pd(t, _mm256_cvtps_pd(r)));
}

// Eight levels in place, v = factor * log10(max(v, 1)), except in the lanes
// whose result must come from the library (returned as bits 0..7; their
// operands max(v, 1) go to operands[0..7]).
ZV_AVX2 unsigned EightLevels(float* v, float* copy, float* operands, __m256 factor) {
  const __m256 one = _mm256_set1_ps(1.0f);
  const __m256 in = _mm256_loadu_ps(v);
  const __m256 low = _mm256_cmp_ps(in, one, _CMP_LE_OQ);
  if (_mm256_movemask_ps(low) == 0xff) {  // all at most 1: log10(1) = 0
    const __m256 zero = _mm256_mul_ps(factor, _mm256_setzero_ps());
    _mm256_storeu_ps(v, zero);
    if (copy != nullptr) _mm256_storeu_ps(copy, zero);
    return 0;
  }
  // As std::max(v, 1.0f): the second operand where either is NaN, so a NaN
  // stays.
  const __m256 x = _mm256_max_ps(one, in);
  _mm256_storeu_ps(operands, x);
  const __m256i bits = _mm256_castps_si256(x);
  // The exponent field (with the sign bit, which only a NaN can have here):
  // above 254 for what is not finite.
  const __m256i exponent = _mm256_srli_epi32(bits, 23);
  const __m256i special = _mm256_cmpgt_epi32(exponent, _mm256_set1_epi32(254));
  const __m256 y = _mm256_cvtepi32_ps(_mm256_sub_epi32(exponent, _mm256_set1_epi32(127)));
  const __m256i m = _mm256_or_si256(_mm256_and_si256(bits, _mm256_set1_epi32(0x007fffff)),
                                    _mm256_set1_epi32(0x3f800000));
  const __m256 above =
      _mm256_cmp_ps(_mm256_castsi256_ps(m), _mm256_set1_ps(1.41421356f), _CMP_GT_OQ);
  // m / 2 above sqrt 2: one off the exponent.
  const __m256 mr = _mm256_castsi256_ps(_mm256_sub_epi32(
      m, _mm256_and_si256(_mm256_castps_si256(above), _mm256_set1_epi32(1 << 23))));
  const __m256 j = _mm256_and_ps(above, one);
  __m128 r0, r1, d0, d1;
  RoundedLn(_mm256_castps256_ps128(mr), _mm256_castps256_ps128(j), r0, d0);
  RoundedLn(_mm256_extractf128_ps(mr, 1), _mm256_extractf128_ps(j, 1), r1, d1);
  const __m256 r = _mm256_insertf128_ps(_mm256_castps128_ps256(r0), r1, 1);
  const __m256 d = _mm256_insertf128_ps(_mm256_castps128_ps256(d0), d1, 1);
  const __m256i rBits = _mm256_castps_si256(r);
  // The spacing of the floats just below r (half the one above at a power of
  // two): the smaller of the two, so that the test errs on the side of doubt.
  const __m256 q = _mm256_castsi256_ps(
      _mm256_sub_epi32(_mm256_and_si256(_mm256_sub_epi32(rBits, _mm256_set1_epi32(1)),
                                        _mm256_set1_epi32(0x7f800000)),
                       _mm256_set1_epi32(23 << 23)));
  const __m256 absD = _mm256_and_ps(d, _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff)));
  const __m256 sure = _mm256_cmp_ps(absD, _mm256_mul_ps(q, _mm256_set1_ps(0.17f)), _CMP_LE_OQ);
  // r's neighbour on the true logarithm's side: r + 1 unit where d > 0
  // (the mask is -1 there), r - 1 unit where not.
  const __m256i up = _mm256_castps_si256(_mm256_cmp_ps(d, _mm256_setzero_ps(), _CMP_GT_OQ));
  const __m256 other = _mm256_castsi256_ps(
      _mm256_sub_epi32(_mm256_sub_epi32(rBits, _mm256_set1_epi32(1)), _mm256_add_epi32(up, up)));
  const __m256 g = Combine(y, r);
  const __m256 differ = _mm256_cmp_ps(g, Combine(y, other), _CMP_NEQ_UQ);
  const __m256 doubt = _mm256_or_ps(_mm256_castsi256_ps(special), _mm256_andnot_ps(sure, differ));
  const __m256 level = _mm256_mul_ps(factor, g);
  _mm256_storeu_ps(v, level);
  if (copy != nullptr) _mm256_storeu_ps(copy, level);
  return static_cast<unsigned>(_mm256_movemask_ps(doubt));
}

__attribute__((target("avx2"))) void Avx2Levels(float* v, int count, float factor, float* copy) {
  const __m256 f = _mm256_set1_ps(factor);
  constexpr int kGroups = 64;  // eight levels each
  uint8_t redo[kGroups];
  float operands[8 * kGroups];
  int i = 0;
  while (i + 8 <= count) {
    const int groups = std::min(kGroups, (count - i) / 8);
    for (int g = 0; g < groups; ++g)
      redo[g] = static_cast<uint8_t>(
          EightLevels(v + i + 8 * g, copy ? copy + i + 8 * g : nullptr, operands + 8 * g, f));
    for (int g = 0; g < groups; ++g)
      for (unsigned lanes = redo[g]; lanes != 0; lanes &= lanes - 1) {
        const int l = 8 * g + std::countr_zero(lanes);
        v[i + l] = factor * LibraryLog10(operands[l]);
        if (copy != nullptr) copy[i + l] = v[i + l];
      }
    i += 8 * groups;
  }
  LibraryLevels(v + i, count - i, factor, copy ? copy + i : nullptr);
}

#define ZV_AVX512 inline __attribute__((always_inline, target("avx512f")))

// The same steps, sixteen levels at a time.
ZV_AVX512 __m512 Combine(__m512 y, __m512 L) {
  const __m512 a = _mm512_mul_ps(y, _mm512_set1_ps(kLog10TwoLo));
  const __m512 b = _mm512_mul_ps(_mm512_set1_ps(kInvLn10), L);
  const __m512 c = _mm512_mul_ps(y, _mm512_set1_ps(kLog10TwoHi));
  return _mm512_add_ps(_mm512_add_ps(a, b), c);
}

ZV_AVX512 __m512d Pair(__m512d s2, double a, double b) {
  return _mm512_add_pd(_mm512_set1_pd(a), _mm512_mul_pd(s2, _mm512_set1_pd(b)));
}

ZV_AVX512 void RoundedLn(__m256 mr, __mmask8 j, __m256& r, __m256& d) {
  const __m512d one = _mm512_set1_pd(1.0);
  const __m512d x = _mm512_cvtps_pd(mr);
  const __m512d s = _mm512_div_pd(_mm512_sub_pd(x, one), _mm512_add_pd(x, one));
  const __m512d s2 = _mm512_mul_pd(s, s);
  const __m512d s4 = _mm512_mul_pd(s2, s2);
  const __m512d p = _mm512_add_pd(
      _mm512_add_pd(Pair(s2, 1.0, 1.0 / 3.0), _mm512_mul_pd(s4, Pair(s2, 0.2, 1.0 / 7.0))),
      _mm512_mul_pd(_mm512_mul_pd(s4, s4), Pair(s2, 1.0 / 9.0, 1.0 / 11.0)));
  const __m512d ln2 = _mm512_maskz_mov_pd(j, _mm512_set1_pd(0.69314718055994530942));
  const __m512d t = _mm512_add_pd(_mm512_mul_pd(_mm512_add_pd(s, s), p), ln2);
  r = _mm512_cvtpd_ps(t);
  d = _mm512_cvtpd_ps(_mm512_sub_pd(t, _mm512_cvtps_pd(r)));
}

ZV_AVX512 __m256 High(__m512 v) {
  return _mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(v), 1));
}

ZV_AVX512 __m512 Join(__m256 lo, __m256 hi) {
  return _mm512_castpd_ps(
      _mm512_insertf64x4(_mm512_castps_pd(_mm512_castps256_ps512(lo)), _mm256_castps_pd(hi), 1));
}

// Sixteen levels, as EightLevels.
ZV_AVX512 unsigned SixteenLevels(float* v, float* copy, float* operands, __m512 factor) {
  const __m512 one = _mm512_set1_ps(1.0f);
  const __m512 in = _mm512_loadu_ps(v);
  if (_mm512_cmp_ps_mask(in, one, _CMP_LE_OQ) == 0xffff) {
    const __m512 zero = _mm512_mul_ps(factor, _mm512_setzero_ps());
    _mm512_storeu_ps(v, zero);
    if (copy != nullptr) _mm512_storeu_ps(copy, zero);
    return 0;
  }
  const __m512 x = _mm512_max_ps(one, in);
  _mm512_storeu_ps(operands, x);
  const __m512i bits = _mm512_castps_si512(x);
  const __m512i exponent = _mm512_srli_epi32(bits, 23);
  const __mmask16 special = _mm512_cmpgt_epi32_mask(exponent, _mm512_set1_epi32(254));
  const __m512 y = _mm512_cvtepi32_ps(_mm512_sub_epi32(exponent, _mm512_set1_epi32(127)));
  const __m512i m = _mm512_or_si512(_mm512_and_si512(bits, _mm512_set1_epi32(0x007fffff)),
                                    _mm512_set1_epi32(0x3f800000));
  const __mmask16 above =
      _mm512_cmp_ps_mask(_mm512_castsi512_ps(m), _mm512_set1_ps(1.41421356f), _CMP_GT_OQ);
  const __m512 mr =
      _mm512_castsi512_ps(_mm512_mask_sub_epi32(m, above, m, _mm512_set1_epi32(1 << 23)));
  __m256 r0, r1, d0, d1;
  RoundedLn(_mm512_castps512_ps256(mr), static_cast<__mmask8>(above), r0, d0);
  RoundedLn(High(mr), static_cast<__mmask8>(above >> 8), r1, d1);
  const __m512 r = Join(r0, r1), d = Join(d0, d1);
  const __m512i rBits = _mm512_castps_si512(r);
  const __m512i below = _mm512_sub_epi32(rBits, _mm512_set1_epi32(1));
  const __m512 q = _mm512_castsi512_ps(_mm512_sub_epi32(
      _mm512_and_si512(below, _mm512_set1_epi32(0x7f800000)), _mm512_set1_epi32(23 << 23)));
  const __m512 absD =
      _mm512_castsi512_ps(_mm512_and_si512(_mm512_castps_si512(d), _mm512_set1_epi32(0x7fffffff)));
  const __mmask16 sure =
      _mm512_cmp_ps_mask(absD, _mm512_mul_ps(q, _mm512_set1_ps(0.17f)), _CMP_LE_OQ);
  const __mmask16 up = _mm512_cmp_ps_mask(d, _mm512_setzero_ps(), _CMP_GT_OQ);
  const __m512 other =
      _mm512_castsi512_ps(_mm512_mask_add_epi32(below, up, rBits, _mm512_set1_epi32(1)));
  const __m512 g = Combine(y, r);
  const __mmask16 differ = _mm512_cmp_ps_mask(g, Combine(y, other), _CMP_NEQ_UQ);
  const __m512 level = _mm512_mul_ps(factor, g);
  _mm512_storeu_ps(v, level);
  if (copy != nullptr) _mm512_storeu_ps(copy, level);
  return special | (differ & ~sure);
}

__attribute__((target("avx512f"))) void Avx512Levels(float* v, int count, float factor,
                                                     float* copy) {
  const __m512 f = _mm512_set1_ps(factor);
  constexpr int kGroups = 32;  // sixteen levels each
  uint16_t redo[kGroups];
  float operands[16 * kGroups];
  int i = 0;
  while (i + 16 <= count) {
    const int groups = std::min(kGroups, (count - i) / 16);
    for (int g = 0; g < groups; ++g)
      redo[g] = static_cast<uint16_t>(
          SixteenLevels(v + i + 16 * g, copy ? copy + i + 16 * g : nullptr, operands + 16 * g, f));
    for (int g = 0; g < groups; ++g)
      for (unsigned lanes = redo[g]; lanes != 0; lanes &= lanes - 1) {
        const int l = 16 * g + std::countr_zero(lanes);
        v[i + l] = factor * LibraryLog10(operands[l]);
        if (copy != nullptr) copy[i + l] = v[i + l];
      }
    i += 16 * groups;
  }
  LibraryLevels(v + i, count - i, factor, copy ? copy + i : nullptr);
}

// Whether a vector path gives the library's results: levels from 1 to 2^41
// with pseudo-random mantissas, and the ends of every binade.
bool AgreesWithLibrary(Levels* levels) {
  constexpr int kCount = 4096;
  float probe[kCount], mine[kCount];
  uint32_t seed = 0x9e3779b9u;
  for (int i = 0; i < kCount; ++i) {
    seed ^= seed << 13;
    seed ^= seed >> 17;
    seed ^= seed << 5;
    const uint32_t k = static_cast<uint32_t>(i) % 41u;
    const uint32_t mantissa = i % 97 == 0 ? 0u : i % 89 == 0 ? 0x7fffffu : seed & 0x7fffffu;
    probe[i] = std::bit_cast<float>(((127u + k) << 23) | mantissa);
    mine[i] = probe[i];
  }
  levels(mine, kCount, 1.0f, nullptr);
  for (int i = 0; i < kCount; ++i)
    if (std::bit_cast<uint32_t>(mine[i]) != std::bit_cast<uint32_t>(std::log10(probe[i])))
      return false;
  return true;
}

struct Availability {
  bool avx2 = false, avx512 = false;
};

const Availability& Available() {
  static const Availability available = [] {
    __builtin_cpu_init();
    Availability a;
    a.avx2 = __builtin_cpu_supports("avx2") && AgreesWithLibrary(Avx2Levels);
    a.avx512 = __builtin_cpu_supports("avx512f") && AgreesWithLibrary(Avx512Levels);
    return a;
  }();
  return available;
}

Levels* PathLevels(LevelPath path) {
  return path == LevelPath::Avx512 ? Avx512Levels
         : path == LevelPath::Avx2 ? Avx2Levels
                                   : LibraryLevels;
}

#else

struct Availability {
  bool avx2 = false, avx512 = false;
};
const Availability& Available() {
  static const Availability none;
  return none;
}
Levels* PathLevels(LevelPath) { return LibraryLevels; }

#endif

}  // namespace

bool LevelPathAvailable(LevelPath path) {
  return path == LevelPath::Library || (path == LevelPath::Avx2 && Available().avx2) ||
         (path == LevelPath::Avx512 && Available().avx512);
}

LevelPath ChosenLevelPath() {
  static const LevelPath chosen = Available().avx512 ? LevelPath::Avx512
                                  : Available().avx2 ? LevelPath::Avx2
                                                     : LevelPath::Library;
  return chosen;
}

void Log10Levels(LevelPath path, float* v, int count, float factor, float* copy) {
  PathLevels(path)(v, count, factor, copy);
}

void Log10Levels(float* v, int count, float factor, float* copy) {
  static Levels* const levels = PathLevels(ChosenLevelPath());
  levels(v, count, factor, copy);
}

}  // namespace zorvane
