// SPDX-License-Identifier: GPL-3.0-or-later
// Window table, real transform (against FFTW) and sample conversion.
#include <fftw3.h>
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "analyzer/Graphicinterpolate.h"
#include "app/app_state.h"

namespace zorvane {
namespace {

constexpr int kSizes[] = {1024, 2048, 4096, 8192};
constexpr double kPi = 3.14159265358979323846;

// FFTW's single-precision real transform of x[1..n], scaled the way the
// analyzer keeps it: element 1 = (X(0)/n, X(n/2)/n), element k = X(k-1)*2/n.
std::vector<std::complex<double>> Reference(const std::vector<float>& x, int n) {
  std::vector<float> in(x.begin() + 1, x.begin() + 1 + n);
  std::vector<std::complex<float>> out(n / 2 + 1);
  fftwf_plan plan = fftwf_plan_dft_r2c_1d(
      n, in.data(), reinterpret_cast<fftwf_complex*>(out.data()), FFTW_ESTIMATE);
  fftwf_execute(plan);
  fftwf_destroy_plan(plan);
  std::vector<std::complex<double>> ref(n / 2 + 1);
  ref[1] = {out[0].real() / double(n), out[n / 2].real() / double(n)};
  for (int k = 2; k <= n / 2; ++k) ref[k] = std::complex<double>(out[k - 1]) * 2.0 / double(n);
  return ref;
}

// Largest deviation from FFTW relative to the block's largest magnitude; the
// block itself must come back unchanged.
double RelativeError(const std::vector<float>& x, int n) {
  std::vector<float> re(kArrayLen), im(kArrayLen);
  const std::vector<float> before = x;
  RealTransform(x.data(), re.data(), im.data(), n);
  EXPECT_EQ(x, before) << "the input was changed, n = " << n;
  const auto ref = Reference(x, n);
  double largest = 0.0, worst = 0.0;
  for (int k = 1; k <= n / 2; ++k) {
    largest = std::max(largest, std::abs(ref[k]));
    worst = std::max({worst, std::abs(ref[k].real() - re[k]), std::abs(ref[k].imag() - im[k])});
  }
  return worst / largest;
}

// Within a few roundings of single precision at every size the transform
// takes (the analyzer's four and the two below them), so a twiddle that is
// off, even only in its last digits, shows.
TEST(RealTransform, MatchesFftwOnRandomBlocksAndPureTonesAtEverySize) {
  std::mt19937 rng(20240611);
  std::uniform_int_distribution<int> sample(-32768, 32767);
  for (int n = 128; n <= kMaxTransform; n *= 2) {
    std::vector<float> x(kArrayLen, 0.0f);
    for (int i = 1; i <= n; ++i) x[i] = 10.0f * static_cast<float>(sample(rng));
    EXPECT_LT(RelativeError(x, n), 1e-6) << "16-bit samples times 10, n = " << n;
    // On a bin, between bins, near the top, all with an offset.
    for (double bins : {1.0, 100.37, n / 2.0 - 3.5, n / 3.0}) {
      for (int i = 1; i <= n; ++i)
        x[i] = static_cast<float>(0.25 + 1000.0 * std::cos(2.0 * kPi * bins * (i - 1) / n + 0.3));
      EXPECT_LT(RelativeError(x, n), 1e-6) << "tone at " << bins << " bins, n = " << n;
    }
  }
}

// The AVX2 build and the baseline build must not differ in a single bit, at
// every size the transform takes (the smallest ones run only the scalar
// ends of the split step).
TEST(RealTransform, BaselineAndAvx2BuildsAgreeBitForBit) {
  if (!RealTransformAvx2Available()) GTEST_SKIP() << "no AVX2 on this processor";
  std::mt19937 rng(99);
  std::uniform_real_distribution<float> sample(-40000.0f, 40000.0f);
  for (int n = 128; n <= kMaxTransform; n *= 2) {
    std::vector<float> x(kArrayLen, 0.0f);
    for (int i = 1; i <= n; ++i) x[i] = sample(rng);
    std::vector<float> re1(kArrayLen), im1(kArrayLen), re2(kArrayLen), im2(kArrayLen);
    RealTransformBaseline(x.data(), re1.data(), im1.data(), n);
    RealTransformAvx2(x.data(), re2.data(), im2.data(), n);
    ASSERT_EQ(0, std::memcmp(re1.data(), re2.data(), sizeof(float) * kArrayLen)) << n;
    ASSERT_EQ(0, std::memcmp(im1.data(), im2.data(), sizeof(float) * kArrayLen)) << n;
  }
}

TEST(RealTransform, SizesItCannotHoldChangeNothing) {
  std::vector<float> ones(kArrayLen, 1.0f), re(kArrayLen, -3.0f), im = re, spectrum = re;
  std::vector<int32_t> samples(kSampleBlockLen, 100);
  for (int n : {0, -1024, 64, 1000, 16384}) {
    RealTransform(ones.data(), re.data(), im.data(), n);
    WindowAndTransform(samples.data(), spectrum.data(), n, ones.data(), 1.0f, re.data(), im.data());
    for (const auto* v : {&re, &im, &spectrum})
      ASSERT_EQ(std::count(v->begin(), v->end(), -3.0f), kArrayLen) << "n = " << n;
  }
}

std::vector<float> PowerSpectrum(const std::vector<int32_t>& samples, int n,
                                 const std::vector<float>& table, float gain) {
  std::vector<float> spectrum(kArrayLen), re(kArrayLen), im(kArrayLen);
  WindowAndTransform(samples.data(), spectrum.data(), n, table.data(), gain, re.data(), im.data());
  return spectrum;
}

TEST(WindowAndTransform, ConstantBlockAndWeighting) {
  for (int n : kSizes) {
    std::vector<float> table(kArrayLen, 1.0f);
    std::vector<int32_t> samples(kSampleBlockLen, 123);
    auto spectrum = PowerSpectrum(samples, n, table, 1.0f);
    EXPECT_NEAR(spectrum[1], 123.0f * 123.0f, 123.0f * 123.0f * 1e-6) << "n = " << n;
    for (int k = 2; k <= n / 2; ++k) ASSERT_LT(spectrum[k], 1e-6f) << "bin " << k << ", n = " << n;
    // The upper half keeps the samples weighted by gain and window.
    ComputeWindowTable(n, 6, table.data());
    for (int i = 1; i <= n; ++i) samples[i] = (i * 7919) % 2001 - 1000;
    spectrum = PowerSpectrum(samples, n, table, 10.0f);
    for (int j = n / 2 + 1; j <= n; ++j)
      ASSERT_FLOAT_EQ(spectrum[j], 10.0f * table[j] * static_cast<float>(samples[j])) << j;
    // ... and the lower half is the power of that weighted block.
    std::vector<float> weighted(n + 1);
    for (int i = 1; i <= n; ++i) weighted[i] = 10.0f * table[i] * static_cast<float>(samples[i]);
    const auto ref = Reference(weighted, n);
    const double peak = std::norm(*std::max_element(
        ref.begin() + 2, ref.end(), [](auto a, auto b) { return std::norm(a) < std::norm(b); }));
    for (int k = 2; k <= n / 2; ++k) ASSERT_NEAR(spectrum[k], std::norm(ref[k]), 1e-5 * peak) << k;
  }
}

TEST(WindowTable, ValuesPerCode) {
  std::vector<float> t(kArrayLen, -1.0f);
  ComputeWindowTable(1024, 6, t.data());  // Blackman, the window in use
  EXPECT_NEAR(t[1], 3.3885e-6, 1e-9);
  EXPECT_EQ(t[0] + t[1025], -2.0f) << "only elements 1..n are written";
  for (int i = 2; i <= 512; ++i) ASSERT_GT(t[i], t[i - 1]) << "rising at " << i;
  // Every cosine window reaches 1.0 in the middle; the ends show the family.
  const std::pair<int, float> ends[] = {{1, 0.0f},     {2, 0.08f}, {3, 0.0f},
                                        {5, 0.00006f}, {6, 0.0f},  {7, 0.0253348f}};
  for (int n : {1024, 8192}) {
    for (auto [code, end] : ends) {
      ComputeWindowTable(n, code, t.data());
      EXPECT_NEAR(t[n / 2], 1.0f, 2e-5) << "code " << code << ", n = " << n;
      EXPECT_NEAR(t[n], end, 1e-5) << "code " << code << ", n = " << n;
      EXPECT_NEAR(t[n / 4], t[3 * n / 4], 1e-4) << "symmetric, code " << code;
    }
  }
  std::fill(t.begin(), t.end(), 2.5f);
  for (int code : {0, 8, -1}) ComputeWindowTable(1024, code, t.data());
  EXPECT_EQ(std::count(t.begin(), t.end(), 2.5f), kArrayLen) << "codes without a window";
}

// A capture buffer whose last byte sits right before an inaccessible page, so
// any read past its 65,590 bytes faults. The sizes suit pages up to 64 KiB.
struct GuardedBuffer {
  static constexpr size_t kBody = 1 << 17, kGuard = 1 << 16;
  explicit GuardedBuffer(uint8_t fill)
      : base(static_cast<uint8_t*>(mmap(nullptr, kBody + kGuard, PROT_READ | PROT_WRITE,
                                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0))),
        data(base + kBody - kCaptureBufferBytes) {
    mprotect(base + kBody, kGuard, PROT_NONE);
    std::fill(data, data + kCaptureBufferBytes, fill);
  }
  ~GuardedBuffer() { munmap(base, kBody + kGuard); }
  void Put16(int offset, int v) {
    data[offset] = static_cast<uint8_t>(v & 0xFF);
    data[offset + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
  }
  uint8_t* const base;
  uint8_t* const data;
};

TEST(ConvertSamples, FramesOfSixteenAndEightBitsWithinTheBuffer) {
  GuardedBuffer a(0x11), b(0x22);
  const int n = 1024;
  for (int j = 1; j <= n; ++j) {
    a.Put16(120 + 2 * j, j * 31 - 20000);  // 16-bit mono after the lead-in
    b.Put16(120 + 4 * j, -j);              // stereo frames: left first
    b.Put16(122 + 4 * j, j + 30000);
  }
  std::vector<int32_t> dest(kSampleBlockLen, 77);
  auto check = [&](int bytes, int buffer, int channel, auto expected) {
    ConvertSamples(bytes, buffer, n, channel, dest.data(), a.data, b.data);
    for (int j = 1; j <= n; ++j)
      ASSERT_EQ(dest[j], expected(j)) << bytes << " bytes, channel " << channel << ", " << j;
  };
  check(2, 2, 1, [](int j) { return j * 31 - 20000; });
  EXPECT_EQ(dest[0] + dest[n + 1], 2 * 77) << "only elements 1..n are written";
  check(2, 1, 2, [](int j) { return -j; });
  check(2, 1, 3, [](int j) { return j + 30000; });
  // 8-bit samples are offset binary bytes from the start: mono, left, right.
  const uint8_t* bytes = b.data;
  check(1, 1, 1, [&](int j) { return bytes[j] - 128; });
  check(1, 1, 2, [&](int j) { return bytes[2 * j] - 128; });
  check(1, 1, 3, [&](int j) { return bytes[2 * j + 1] - 128; });

  const auto before = dest;  // other combinations write nothing
  const int combinations[][3] = {{2, 0, 1}, {2, 3, 1}, {3, 2, 1}, {2, 2, 4}, {1, 2, 0}};
  for (const auto& c : combinations)
    ConvertSamples(c[0], c[1], n, c[2], dest.data(), a.data, b.data);
  EXPECT_EQ(dest, before);
  // Counts far beyond the buffer read up to its last byte and no further (a
  // read past it would fault on the guard page).
  for (int bytes : {1, 2})
    for (int channel : {3, 2, 1})
      ConvertSamples(bytes, 2, 65536, channel, dest.data(), a.data, b.data);
  EXPECT_EQ(dest[32734], 0x1111);  // the last 16-bit mono sample inside the buffer
  EXPECT_EQ(dest[65536], 0x11 - 128);
}

}  // namespace
}  // namespace zorvane
