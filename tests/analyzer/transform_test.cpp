// Window table, real transform (against FFTW) and sample conversion.
#include <fftw3.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>
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
  float* in = fftwf_alloc_real(n);
  fftwf_complex* out = fftwf_alloc_complex(n / 2 + 1);
  fftwf_plan plan = fftwf_plan_dft_r2c_1d(n, in, out, FFTW_ESTIMATE);
  std::copy(x.begin() + 1, x.begin() + 1 + n, in);
  fftwf_execute(plan);
  std::vector<std::complex<double>> ref(n / 2 + 1);
  ref[1] = {out[0][0] / double(n), out[n / 2][0] / double(n)};
  for (int k = 2; k <= n / 2; ++k) ref[k] = {out[k - 1][0] * 2.0 / n, out[k - 1][1] * 2.0 / n};
  fftwf_destroy_plan(plan);
  fftwf_free(in);
  fftwf_free(out);
  return ref;
}

// Largest deviation from FFTW relative to the block's largest magnitude.
double RelativeError(const std::vector<float>& x, int n) {
  std::vector<float> re(kArrayLen, -7.0f), im(kArrayLen, -7.0f);
  const std::vector<float> before = x;
  RealTransform(x.data(), re.data(), im.data(), n);
  EXPECT_EQ(x, before) << "the input must not change";
  const auto ref = Reference(x, n);
  double largest = 0.0, worst = 0.0;
  for (int k = 1; k <= n / 2; ++k) {
    largest = std::max(largest, std::abs(ref[k]));
    worst = std::max({worst, std::abs(ref[k].real() - re[k]), std::abs(ref[k].imag() - im[k])});
  }
  return worst / largest;
}

TEST(RealTransform, MatchesFftwOnRandomBlocksAtEverySize) {
  std::mt19937 rng(20240611);
  std::uniform_real_distribution<float> small(-1.0f, 1.0f);
  std::uniform_int_distribution<int> sample(-32768, 32767);
  for (int n : kSizes) {
    std::vector<float> x(kArrayLen, 0.0f);
    for (int i = 1; i <= n; ++i) x[i] = small(rng);
    EXPECT_LT(RelativeError(x, n), 1e-5) << "uniform block, n = " << n;
    for (int i = 1; i <= n; ++i) x[i] = 10.0f * static_cast<float>(sample(rng));
    EXPECT_LT(RelativeError(x, n), 1e-5) << "16-bit samples times 10, n = " << n;
  }
}

TEST(RealTransform, MatchesFftwOnPureTonesAtEverySize) {
  for (int n : kSizes) {
    // On a bin, between bins, near the top and with an offset.
    for (double bins : {1.0, 37.0, 100.37, n / 2.0 - 3.5, n / 3.0}) {
      std::vector<float> x(kArrayLen, 0.0f);
      for (int i = 1; i <= n; ++i)
        x[i] = static_cast<float>(0.25 + 1000.0 * std::cos(2.0 * kPi * bins * (i - 1) / n + 0.3));
      EXPECT_LT(RelativeError(x, n), 1e-5) << "tone at " << bins << " bins, n = " << n;
    }
  }
}

// The transform written out group by group on 1-based arrays, one value at a
// time: packing, exchange pass with the counter, stages with the half-angle
// rotations and the recurrence w = w (c + j s) per group, split, scaling.
// Every value is computed in double and stored as a float; only the rotation
// cosines and sines are kept in double.
void GroupByGroup(const std::vector<float>& x, std::vector<float>& re, std::vector<float>& im,
                  int n) {
  const int h = n / 2;
  for (int i = 1; i <= h; ++i) {
    re[i] = x[2 * i - 1];
    im[i] = x[2 * i];
  }
  for (int p = 1, j = 0; p <= h - 1; ++p) {
    int k = 2;
    while (j >= h / k) {
      j -= h / k;
      k *= 2;
    }
    j += h / k;
    if (p < j) {
      std::swap(re[p + 1], re[j + 1]);
      std::swap(im[p + 1], im[j + 1]);
    }
  }
  auto f = [](double v) { return static_cast<float>(v); };
  double c = 1.0;
  for (int le = 1; le < h; le *= 2) {
    const double s = std::sqrt((1.0 - c) / 2.0);
    c = (1.0 + c) / 2.0;
    if (c > 0.0) c = std::sqrt(c);
    if (le == 1) c = -c;
    float wr = 1.0f, wi = 0.0f;
    for (int m = 1; m <= le; ++m) {
      for (int i = m; i <= h; i += 2 * le) {
        const int ip = i + le;
        const float tr = f(double(wr) * re[ip] + double(wi) * im[ip]);
        const float ti = f(double(wr) * im[ip] - double(wi) * re[ip]);
        re[ip] = f(double(re[i]) - tr);
        im[ip] = f(double(im[i]) - ti);
        re[i] = f(double(re[i]) + tr);
        im[i] = f(double(im[i]) + ti);
      }
      const float nr = f(wr * c - wi * s);
      wi = f(wr * s + wi * c);
      wr = nr;
    }
  }
  const double theta = static_cast<float>(3.141593 / h);
  const double c2 = std::cos(theta), s2 = std::sin(theta);
  const float a0 = re[1], b0 = im[1];
  re[1] = f((double(a0) + b0) / 2.0);
  im[1] = f((double(a0) - b0) / 2.0);
  float wr = 1.0f, wi = 0.0f;
  for (int k = 1; k <= h / 2 - 1; ++k) {
    const float nr = f(wr * c2 - wi * s2);
    wi = f(wr * s2 + wi * c2);
    wr = nr;
    const double ar = re[k + 1], ai = im[k + 1], br = re[h - k + 1], bi = im[h - k + 1];
    const float A = f(ar + br), C = f(ai - bi);
    const float B = f((ai + bi) * wr - (ar - br) * wi);
    const float D = f((ai + bi) * wi + (ar - br) * wr);
    re[k + 1] = f((double(A) + B) / 2.0);
    im[k + 1] = f((double(C) - D) / 2.0);
    re[h - k + 1] = f((double(A) - B) / 2.0);
    im[h - k + 1] = f(-(double(C) + D) / 2.0);
  }
  im[h / 2 + 1] = -im[h / 2 + 1];
  for (int i = 1; i <= h; ++i) {
    re[i] /= static_cast<float>(h);
    im[i] /= static_cast<float>(h);
  }
}

// The fast transform may order its arithmetic differently, but it must stay
// within single-precision rounding of the group-by-group loop: both lie about
// 1e-6 of the largest magnitude from the exact transform at 8192 points.
TEST(RealTransform, StaysWithinRoundingOfTheGroupByGroupLoop) {
  std::mt19937 rng(99);
  std::uniform_int_distribution<int> sample(-32768, 32767);
  for (int n : {128, 256, 512, 1024, 2048, 4096, 8192}) {
    for (int trial = 0; trial < 3; ++trial) {
      std::vector<float> x(kArrayLen, 0.0f);
      for (int i = 1; i <= n; ++i)
        x[i] = trial == 2 ? static_cast<float>(9000.0 * std::sin(0.37 * i) + sample(rng) / 64)
                          : static_cast<float>(sample(rng));
      std::vector<float> re(kArrayLen), im(kArrayLen), lre(kArrayLen), lim(kArrayLen);
      RealTransform(x.data(), re.data(), im.data(), n);
      GroupByGroup(x, lre, lim, n);
      double largest = 0.0, worst = 0.0;
      for (int k = 1; k <= n / 2; ++k) {
        largest = std::max(largest, std::hypot(double(lre[k]), double(lim[k])));
        worst =
            std::max({worst, std::abs(double(re[k]) - lre[k]), std::abs(double(im[k]) - lim[k])});
      }
      ASSERT_LT(worst / largest, 2.5e-6) << "n = " << n << ", block " << trial;
    }
  }
}

TEST(RealTransform, SizesItCannotHoldChangeNothing) {
  std::vector<float> x(kArrayLen, 1.0f), re(kArrayLen, -3.0f), im(kArrayLen, -3.0f);
  std::vector<float> spectrum(kArrayLen, -3.0f), table(kArrayLen, 1.0f);
  std::vector<int32_t> samples(kSampleBlockLen, 100);
  for (int n : {0, -1024, 64, 96, 1000, 3072, 16384, 65536}) {
    RealTransform(x.data(), re.data(), im.data(), n);
    WindowAndTransform(samples.data(), spectrum.data(), n, table.data(), 1.0f, re.data(),
                       im.data());
    for (const auto* v : {&re, &im, &spectrum})
      ASSERT_TRUE(std::all_of(v->begin(), v->end(), [](float e) { return e == -3.0f; }))
          << "n = " << n;
  }
}

TEST(RealTransform, BinCentredSineHasUnitPowerInItsBinOnly) {
  for (int n : kSizes) {
    std::vector<float> x(kArrayLen, 0.0f), re(kArrayLen), im(kArrayLen);
    for (int i = 1; i <= n; ++i) x[i] = static_cast<float>(std::sin(2.0 * kPi * 5.0 * (i - 1) / n));
    RealTransform(x.data(), re.data(), im.data(), n);
    for (int k = 1; k <= n / 2; ++k) {
      const double power = double(re[k]) * re[k] + double(im[k]) * im[k];
      if (k == 6)
        EXPECT_NEAR(power, 1.0, 1e-5) << "n = " << n;
      else
        EXPECT_LT(power, 1e-9) << "bin " << k << ", n = " << n;
    }
  }
}

TEST(WindowAndTransform, ConstantBlockHasPowerOnlyInElementOne) {
  for (int n : kSizes) {
    std::vector<float> table(kArrayLen, 1.0f), spectrum(kArrayLen), re(kArrayLen), im(kArrayLen);
    ComputeWindowTable(n, 0, table.data());  // code 0 keeps the table of ones
    std::vector<int32_t> samples(kSampleBlockLen, 0);
    std::fill(samples.begin() + 1, samples.begin() + 1 + n, 123);
    WindowAndTransform(samples.data(), spectrum.data(), n, table.data(), 1.0f, re.data(),
                       im.data());
    EXPECT_NEAR(spectrum[1], 123.0f * 123.0f, 123.0f * 123.0f * 1e-6) << "n = " << n;
    for (int k = 2; k <= n / 2; ++k) ASSERT_LT(spectrum[k], 1e-6f) << "bin " << k << ", n = " << n;
  }
}

TEST(WindowAndTransform, ScaledSineGivesItsAmplitudeSquaredAndKeepsTheUpperHalf) {
  for (int n : kSizes) {
    std::vector<float> table(kArrayLen, 1.0f), spectrum(kArrayLen), re(kArrayLen), im(kArrayLen);
    std::vector<int32_t> samples(kSampleBlockLen, 0);
    const double amplitude = 30000.0;
    for (int i = 1; i <= n; ++i)
      samples[i] =
          static_cast<int32_t>(std::lround(amplitude * std::sin(2.0 * kPi * 5.0 * (i - 1) / n)));
    const float gain = static_cast<float>(1.0 / amplitude);
    WindowAndTransform(samples.data(), spectrum.data(), n, table.data(), gain, re.data(),
                       im.data());
    EXPECT_NEAR(spectrum[6], 1.0, 1e-4) << "n = " << n;
    EXPECT_LT(spectrum[7], 1e-8);
    // The upper half still holds the weighted samples.
    for (int j = n / 2 + 1; j <= n; ++j)
      ASSERT_NEAR(spectrum[j], samples[j] / amplitude, 1e-6) << "element " << j;
  }
}

TEST(WindowAndTransform, AppliesGainAndWindowBeforeTheTransform) {
  const int n = 1024;
  std::vector<float> table(kArrayLen), spectrum(kArrayLen), re(kArrayLen), im(kArrayLen);
  ComputeWindowTable(n, 6, table.data());
  std::vector<int32_t> samples(kSampleBlockLen, 0);
  for (int i = 1; i <= n; ++i) samples[i] = (i * 7919) % 2001 - 1000;
  WindowAndTransform(samples.data(), spectrum.data(), n, table.data(), 10.0f, re.data(), im.data());
  std::vector<float> weighted(kArrayLen, 0.0f);
  for (int i = 1; i <= n; ++i) weighted[i] = static_cast<float>(10.0 * table[i] * samples[i]);
  const auto ref = Reference(weighted, n);
  for (int k = 2; k <= n / 2; ++k)
    ASSERT_NEAR(spectrum[k], std::norm(ref[k]), 1e-4 * std::norm(ref[k]) + 1e-3) << "bin " << k;
}

TEST(WindowTable, BlackmanRisesToOneInTheMiddleAndFallsToZero) {
  std::vector<float> t(kArrayLen, -1.0f);
  ComputeWindowTable(1024, 6, t.data());
  EXPECT_NEAR(t[1], 3.3885e-6, 1e-9);
  EXPECT_NEAR(t[512], 1.0f, 1e-6);
  EXPECT_NEAR(t[1024], 0.0f, 1e-9);
  EXPECT_EQ(t[0], -1.0f) << "element 0 is not part of the table";
  EXPECT_EQ(t[1025], -1.0f) << "nothing beyond n is written";
  for (int i = 2; i <= 512; ++i) ASSERT_GT(t[i], t[i - 1]) << "rising at " << i;
}

TEST(WindowTable, TriangleAndCosineWindowsHaveTheirPeaksAndEnds) {
  for (int n : kSizes) {
    std::vector<float> t(kArrayLen);
    ComputeWindowTable(n, 4, t.data());
    EXPECT_FLOAT_EQ(t[n / 2], 0.5f) << "triangle peak";
    EXPECT_FLOAT_EQ(*std::max_element(t.begin() + 1, t.begin() + 1 + n), 0.5f);
    EXPECT_FLOAT_EQ(t[1], 1.0f / n);
    EXPECT_FLOAT_EQ(t[n], 0.0f);
    // Every cosine window reaches 1.0 in the middle; the ends show the family.
    const struct {
      int code;
      float end;
    } windows[] = {{1, 0.0f}, {2, 0.08f}, {3, 0.0f}, {5, 0.00006f}, {6, 0.0f}, {7, 0.0253348f}};
    for (const auto& w : windows) {
      ComputeWindowTable(n, w.code, t.data());
      EXPECT_NEAR(t[n / 2], 1.0f, 2e-5) << "code " << w.code << ", n = " << n;
      EXPECT_NEAR(t[n], w.end, 1e-5) << "code " << w.code << ", n = " << n;
      EXPECT_NEAR(t[n / 4], t[3 * n / 4], 1e-4) << "symmetric, code " << w.code;
    }
  }
}

TEST(WindowTable, CodesWithoutAWindowLeaveTheTableAlone) {
  for (int code : {0, 8, 99, -1}) {
    std::vector<float> t(kArrayLen, 2.5f);
    ComputeWindowTable(1024, code, t.data());
    EXPECT_TRUE(std::all_of(t.begin(), t.end(), [](float v) { return v == 2.5f; })) << code;
  }
}

// A capture buffer whose last byte sits right before an inaccessible page, so
// any read past its 65,590 bytes faults.
class GuardedBuffer {
 public:
  GuardedBuffer() {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t body = (kCaptureBufferBytes + page - 1) / page * page;
    size_ = body + page;
    base_ = static_cast<uint8_t*>(
        mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    mprotect(base_ + body, page, PROT_NONE);
    data_ = base_ + body - kCaptureBufferBytes;
  }
  ~GuardedBuffer() { munmap(base_, size_); }
  uint8_t* data() { return data_; }

 private:
  uint8_t* base_;
  uint8_t* data_;
  size_t size_;
};

void Put16(uint8_t* b, int offset, int16_t v) {
  b[offset] = static_cast<uint8_t>(v & 0xFF);
  b[offset + 1] = static_cast<uint8_t>((static_cast<uint16_t>(v) >> 8) & 0xFF);
}

TEST(ConvertSamples, SixteenBitMonoAndStereoFramesAfterTheLeadIn) {
  GuardedBuffer a, b;
  std::fill(a.data(), a.data() + kCaptureBufferBytes, 0);
  std::fill(b.data(), b.data() + kCaptureBufferBytes, 0);
  const int n = 1024;
  for (int j = 1; j <= n; ++j) Put16(a.data(), 120 + 2 * j, static_cast<int16_t>(j * 31 - 20000));
  std::vector<int32_t> dest(kSampleBlockLen, 77);
  ConvertSamples(2, 2, n, 1, dest.data(), a.data(), b.data());
  EXPECT_EQ(dest[0], 77);
  for (int j = 1; j <= n; ++j) ASSERT_EQ(dest[j], j * 31 - 20000) << j;
  EXPECT_EQ(dest[n + 1], 77);

  // Stereo frames in buffer B: left first, right second.
  for (int j = 1; j <= n; ++j) {
    Put16(b.data(), 120 + 4 * j, static_cast<int16_t>(-j));
    Put16(b.data(), 122 + 4 * j, static_cast<int16_t>(j + 30000));
  }
  ConvertSamples(2, 1, n, 2, dest.data(), a.data(), b.data());
  for (int j = 1; j <= n; ++j) ASSERT_EQ(dest[j], -j) << "left " << j;
  ConvertSamples(2, 1, n, 3, dest.data(), a.data(), b.data());
  for (int j = 1; j <= n; ++j) ASSERT_EQ(dest[j], j + 30000) << "right " << j;
}

TEST(ConvertSamples, EightBitSamplesAreOffsetBinary) {
  GuardedBuffer a, b;
  for (int i = 0; i < kCaptureBufferBytes; ++i) a.data()[i] = static_cast<uint8_t>(i * 7);
  std::vector<int32_t> dest(kSampleBlockLen, 0);
  ConvertSamples(1, 2, 2048, 1, dest.data(), a.data(), b.data());
  for (int j = 1; j <= 2048; ++j) ASSERT_EQ(dest[j], static_cast<uint8_t>(j * 7) - 128) << j;
  ConvertSamples(1, 2, 2048, 2, dest.data(), a.data(), b.data());
  for (int j = 1; j <= 2048; ++j) ASSERT_EQ(dest[j], static_cast<uint8_t>(2 * j * 7) - 128) << j;
  ConvertSamples(1, 2, 2048, 3, dest.data(), a.data(), b.data());
  for (int j = 1; j <= 2048; ++j)
    ASSERT_EQ(dest[j], static_cast<uint8_t>((2 * j + 1) * 7) - 128) << j;
}

TEST(ConvertSamples, OtherCombinationsWriteNothingAndLargeCountsStayInTheBuffer) {
  GuardedBuffer a, b;
  std::fill(a.data(), a.data() + kCaptureBufferBytes, 0x11);
  std::fill(b.data(), b.data() + kCaptureBufferBytes, 0x22);
  std::vector<int32_t> dest(kSampleBlockLen, 5);
  ConvertSamples(2, 0, 1024, 1, dest.data(), a.data(), b.data());
  ConvertSamples(2, 3, 1024, 1, dest.data(), a.data(), b.data());
  ConvertSamples(3, 2, 1024, 1, dest.data(), a.data(), b.data());
  ConvertSamples(2, 2, 1024, 4, dest.data(), a.data(), b.data());
  ConvertSamples(1, 2, 1024, 0, dest.data(), a.data(), b.data());
  EXPECT_TRUE(std::all_of(dest.begin(), dest.end(), [](int32_t v) { return v == 5; }));
  // Counts far beyond the buffer read up to its last byte and no further (a
  // read past it would fault on the guard page).
  for (int bytes : {1, 2})
    for (int channel : {1, 2, 3})
      ConvertSamples(bytes, 2, 65536, channel, dest.data(), a.data(), b.data());
  ConvertSamples(2, 2, 65536, 1, dest.data(), a.data(), b.data());
  EXPECT_EQ(dest[32734], 0x1111);  // the last mono sample inside the buffer
  ConvertSamples(1, 1, 65536, 1, dest.data(), a.data(), b.data());
  EXPECT_EQ(dest[65536], 0x22 - 128);
}

}  // namespace
}  // namespace zorvane
