// SPDX-License-Identifier: GPL-3.0-or-later
// Peak frequency, vertical scales, average / peak hold and the mapping onto display points.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <random>
#include <tuple>
#include <vector>

#include "analyzer/level_log.h"
#include "support/test_support.h"

namespace zorvane {
namespace {

struct Scaling : testing::InstrumentTest {
  void UseSize(int n) { S.SizeFactor = (S.TransformSize = n) / 1024; }
  void FillSpectrum(float v) { std::fill(S.Spectrum + 1, S.Spectrum + kArrayLen, v); }
  // The level shown for one bin of the given power on a vertical axis.
  float Level(int axis, float power, bool time = false) {
    S.VerticalAxisMode = axis;
    S.Spectrum[1] = power;
    time ? f.ScaleTimeTrace() : f.ScaleSpectrum();
    return S.HoldSpectrum[1];
  }
  float Peak(int rate, int n = 1024) {
    return f.FindPeakFrequency(S.Spectrum, n, S.SizeFactor, rate);
  }
};

TEST_F(Scaling, VerticalScalesAverageAndPeakHold) {
  EXPECT_NEAR(Level(1, std::exp(2.0f), true), 20.0f, 1e-4) << "10 x ln in the time display";
  EXPECT_EQ(Level(2, 0.5f), 0.0f) << "decibels bottom out at power 1";
  EXPECT_NEAR(Level(2, 1e3f), 60.0f, 1e-4) << "two units per decibel, as the labels count";
  EXPECT_NEAR(Level(2, 1e3f, true), 30.0f, 1e-4) << "one per decibel in the time display";
  S.HoldMode = 2;
  S.AverageCount = 2;
  // Blocks of 30, 60, 90 and 0 dB (60, 120, 180 and 0 units), each shown as
  // the mean with the two before.
  const std::pair<float, float> blocks[] = {{30, 20}, {60, 60}, {90, 120}, {0, 100}};
  for (auto [level, shown] : blocks) {
    FillSpectrum(std::pow(10.0f, level / 10.0f));
    f.ScaleSpectrum();
    ASSERT_NEAR(S.HoldSpectrum[1024], shown, 1e-3) << level << " dB";
  }
  S.HoldMode = 3;      // peak hold keeps the 50 dB shown last
  FillSpectrum(1.0f);  // the signal is gone, but for a higher level in bin 100
  S.Spectrum[100] = 1e6f;
  f.ScaleSpectrum();
  EXPECT_NEAR(S.HoldSpectrum[100], 120.0f, 1e-4);
  EXPECT_NEAR(S.HoldSpectrum[101], 100.0f, 1e-3);
  S.HoldMode = 1;  // a pass through NORM takes the current block
  FillSpectrum(10.0f);
  f.ScaleSpectrum();
  S.HoldMode = 3;
  FillSpectrum(1.0f);
  f.ScaleSpectrum();
  EXPECT_NEAR(S.HoldSpectrum[100], 20.0f, 1e-5);
}

// The history is kept as a ring; the means must be those of a history that
// moves every row down each block, bit for bit, also when the number of
// rows averaged and the transform size change on the way (the elements and
// rows a block does not use keep what they held).
TEST_F(Scaling, AveragingHistoryAsARingGivesTheMeansOfAMovingHistory) {
  std::vector<std::vector<float>> shifted(kHistoryRows, std::vector<float>(kArrayLen, 0.0f));
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> power(0.0f, 1.0e7f);
  S.HoldMode = 2;
  S.VerticalAxisMode = 0;  // levels scaled by 0.001, read back from Spectrum
  const int steps[][3] = {{30, 20, 1024}, {7, 5, 1024},  {9, 40, 2048}, {3, 0, 1024},
                          {6, 1, 4096},   {4, 45, 1024}, {11, 17, 8192}};
  for (auto [blocks, m, n] : steps) {
    S.AverageCount = m;
    UseSize(n);
    const int rows = std::clamp(m, 0, kHistoryRows - 1);
    for (int b = 0; b < blocks; ++b) {
      for (int k = 1; k <= n; ++k) S.Spectrum[k] = power(rng);
      f.ScaleSpectrum();
      for (int k = 1; k <= n; ++k) {
        float mean = S.Spectrum[k];
        for (int r = 1; r <= rows; ++r) mean += shifted[r][k];
        mean = mean / static_cast<float>(rows + 1);
        ASSERT_EQ(S.HoldSpectrum[k], mean) << "m " << m << ", n " << n << ", block " << b;
      }
      for (int r = rows; r >= 2; --r)
        std::copy(shifted[r - 1].begin() + 1, shifted[r - 1].begin() + 1 + n,
                  shifted[r].begin() + 1);
      if (rows >= 1) std::copy(S.Spectrum + 1, S.Spectrum + 1 + n, shifted[1].begin() + 1);
    }
  }
}

TEST_F(Scaling, PeakFrequency) {
  EXPECT_EQ(Peak(44100), 0.0f) << "no peak in the zeros of a fresh spectrum";
  // Corrected rates: a lone peak at element 101.
  S.Spectrum[101] = 7.0f;
  EXPECT_FLOAT_EQ(Peak(8000), 100.0f * 8000.0f / 1024);
  S.NormalPcMode = 2;
  EXPECT_NEAR(Peak(11025), 100.0f * 11100.0f / 1024, 1e-3);
  EXPECT_NEAR(Peak(48000), 100.0f * 48000.0f / 1024, 1e-3);
  // Refinement towards the larger neighbour; equal maxima: the first wins.
  S.Spectrum[102] = 7.0f;
  EXPECT_NEAR(Peak(44100), (100.0f + 1.018602f * 7.0f / 14.0f) * 44100.0f / 1024, 1e-2);
  // The search stays in the displayed window, right of the peak at 101.
  UseSize(2048);
  S.Spectrum[601] = 5.0f;
  S.Spectrum[802] = 20.0f;  // just past the right end
  f.LoFreqScrollBar->SetPosition(100);
  f.HiFreqScrollBar->SetPosition(400);  // bins 200..800 at size factor 2
  EXPECT_FLOAT_EQ(Peak(44100, 2048), 600.0f * 44100.0f / 2048);
  // It stops at element n/2: the weighted samples above are no peak or neighbour.
  f.HiFreqScrollBar->SetPosition(512);
  S.Spectrum[1024] = 30.0f;  // the top bin
  S.Spectrum[1025] = 5000.0f;
  EXPECT_FLOAT_EQ(Peak(44100, 2048), 1023.0f * 44100.0f / 2048);
  // Zero frequency, refined by a fraction of a bin: still below 1 Hz.
  f.LoFreqScrollBar->SetPosition(0);
  S.Spectrum[1] = 50.0f;
  S.Spectrum[2] = 0.001f;
  EXPECT_EQ(Peak(44100, 2048), 0.0f);
}

// The search takes the first of the largest values above 0 in the window, as
// a scan that keeps only a value exceeding everything before it does: peaks
// planted with equal neighbours (no refinement) among random values, NaNs
// and an equal later maximum, at the window's ends and anywhere between.
TEST_F(Scaling, PeakSearchTakesTheFirstOfTheLargestValues) {
  UseSize(4096);
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> u(0.0f, 1.0f);
  for (int round = 0; round < 400; ++round) {
    const int lo = static_cast<int>(rng() % 512);
    const int hi = std::min(lo + 1 + static_cast<int>(rng() % 4), 512);
    f.LoFreqScrollBar->SetPosition(lo);
    f.HiFreqScrollBar->SetPosition(hi);
    const int first = lo * 4 + 1, last = std::min(hi * 4 + 1, 2048);  // powers end at n/2
    const bool none = round % 7 == 0;  // nothing above 0 in the window
    for (int k = 1; k <= 2048; ++k) S.Spectrum[k] = none || round % 3 == 0 ? -u(rng) : u(rng);
    if (round % 5 == 0) S.Spectrum[first + static_cast<int>(rng() % (last - first + 1))] = NAN;
    const int p = round % 4 == 0   ? first
                  : round % 4 == 1 ? last
                                   : first + static_cast<int>(rng() % (last - first + 1));
    if (none) {
      EXPECT_EQ(Peak(44100, 4096), 0.0f) << "nothing above 0 (or NaN)";
      continue;
    }
    S.Spectrum[p] = 2.0f;
    // Equal neighbours (element 0 and the one above n/2 read as 0).
    S.Spectrum[p - 1] = S.Spectrum[p + 1] = p == 1 || p == 2048 ? 0.0f : 0.5f;
    if (p + 3 <= last) S.Spectrum[p + 2 + static_cast<int>(rng() % (last - p - 1))] = 2.0f;
    EXPECT_FLOAT_EQ(Peak(44100, 4096), (p - 1) * 44100.0f / 4096) << first << ".." << last;
  }
}

// Each way of converting levels to decibels gives the library's log10 bit for
// bit: every mantissa above 1 and 2, a spread of them in every binade above,
// and what is not above 1 or not finite; counts that leave a part vector.
TEST(DecibelConversion, EveryPathGivesTheLibrarysLog10BitForBit) {
  std::vector<float> x;
  for (uint32_t m = 0; m < (1u << 24); ++m) x.push_back(std::bit_cast<float>((127u << 23) + m));
  for (uint32_t e = 129; e < 255; ++e)
    for (uint32_t m = e; m < (1u << 23); m += 1021) x.push_back(std::bit_cast<float>(e << 23 | m));
  for (float v : {0.0f, -0.0f, -3.0f, 0.5f, 0.99999994f, 1e-40f, INFINITY, -INFINITY, NAN, -NAN})
    x.push_back(v);
  for (LevelPath path : {LevelPath::Library, LevelPath::Avx2, LevelPath::Avx512}) {
    if (!LevelPathAvailable(path)) continue;
    for (float factor : {20.0f, 10.0f}) {
      // With 10, the levels also go to a copy, which must hold the same.
      std::vector<float> v = x, copy(x.size(), -1.0f);
      Log10Levels(path, v.data(), static_cast<int>(v.size()) - 3, factor,
                  factor == 10.0f ? copy.data() : nullptr);
      for (size_t i = 0; i + 3 < x.size(); ++i) {
        ASSERT_EQ(std::bit_cast<uint32_t>(v[i]),
                  std::bit_cast<uint32_t>(factor * std::log10(std::max(x[i], 1.0f))))
            << "path " << static_cast<int>(path) << ", level " << x[i];
        if (factor == 10.0f) {
          ASSERT_EQ(std::bit_cast<uint32_t>(copy[i]), std::bit_cast<uint32_t>(v[i]));
        }
      }
      EXPECT_EQ(copy.back(), -1.0f) << "nothing written past the count";
    }
  }
}

TEST_F(Scaling, LogAxisEndsAndBinPicking) {
  UseSize(8192);
  S.SampleRate = 48000;
  EXPECT_EQ(f.LogAxisFrequency(0, 1), 5);  // one bin up to half the rate
  EXPECT_EQ(f.LogAxisFrequency(256, 1), 375);
  EXPECT_EQ(f.LogAxisFrequency(512, 3), 24000);
  UseSize(1024);
  S.SampleRate = 44100;
  f.LoFreqScrollBar->SetPosition(256);  // kind 2 measures inside the window 256..512
  EXPECT_EQ(f.LogAxisFrequency(0, 2), f.LogAxisFrequency(256, 1));
  // The mapping picks whole bins without interpolation.
  S.VerticalAxisMode = 0;
  S.HorizontalScale = 2;
  for (int k = 1; k < kArrayLen; ++k) S.Spectrum[k] = 1000.0f * k;
  f.LoFreqScrollBar->SetPosition(0);
  f.ScaleSpectrum();
  EXPECT_FLOAT_EQ(S.DisplayValues[0], 2.0f) << "point 0 lies in bin 1 (element 2)";
  // Each point shows the bin a marker there names (element k holds bin k - 1).
  for (int c = 0; c < 512; ++c)
    ASSERT_NEAR(S.DisplayValues[c] - 1.0f, f.LogAxisFrequency(c, 2) / (44100.0f / 1024), 1.0f) << c;
}

TEST_F(Scaling, MappingsFollowTheDataAcrossTheWindowAndStayInTheArrays) {
  S.VerticalAxisMode = 0;  // linear: values x 0.001, time samples unchanged
  for (int k = 1; k < kArrayLen; ++k) S.Spectrum[k] = static_cast<float>(k);
  f.ScaleTimeTrace();  // window 1..512 at size 1024: the trace starts 100 samples in
  for (int i = 0; i < 800; ++i)
    ASSERT_NEAR(S.DisplayValues[i], 101.0f + i * 511.0f / 512.0f, 1e-2) << i;
  UseSize(8192);  // the widest window
  FillSpectrum(100.0f);
  S.DisplayValues[2049] = -123.0f;
  f.ScaleSpectrum();
  for (int i = 0; i <= 2048; ++i) ASSERT_NEAR(S.DisplayValues[i], 0.1f, 1e-6) << i;
  EXPECT_EQ(S.DisplayValues[2049], -123.0f) << "2049 values in the frequency display";
  // The time display maps values up to index n - 1 for its trigger search.
  FillSpectrum(120.0f);  // the frequency display converted the spectrum in place
  S.DisplayValues[8192] = -5.0f;
  f.ScaleTimeTrace();
  for (int i = 0; i <= 8191; ++i) ASSERT_NEAR(S.DisplayValues[i], 120.0f, 1e-3) << i;
  EXPECT_EQ(S.DisplayValues[8192], -5.0f);
  f.LoFreqScrollBar->SetPosition(512);  // a window of no width shows its one bin
  f.ScaleSpectrum();
  EXPECT_NEAR(S.DisplayValues[511], 0.12f, 1e-6);
  // Up to one bin per point the spline follows the data between the bins;
  // point i stands at bin 40 + i x 440 / 512, in element 41 + i x 440 / 512.
  auto curve = [](float x) { return 50.0f + 40.0f * std::sin(0.01f * x); };
  UseSize(4096);  // window 10..120: bins 40..480
  for (int k = 1; k < kArrayLen; ++k) S.Spectrum[k] = 1000.0f * curve(k);
  f.LoFreqScrollBar->SetPosition(10);
  f.HiFreqScrollBar->SetPosition(120);
  f.ScaleSpectrum();
  for (int i = 0; i < 512; ++i)
    ASSERT_NEAR(S.DisplayValues[i], curve(41 + i * 440.0f / 512.0f), 2e-3) << i;
}

TEST_F(Scaling, AToneKeepsItsHeightWhereverItFallsBetweenThePoints) {
  // With several bins per point a lone bin shows at full height on the point
  // nearest to it, wherever it lies; the spline would show most of them far
  // lower, or not at all.
  S.VerticalAxisMode = 2;
  for (auto [size, lo, hi] : {std::tuple{8192, 1, 512}, {2048, 0, 512}, {4096, 10, 300}}) {
    UseSize(size);
    f.LoFreqScrollBar->SetPosition(lo);
    f.HiFreqScrollBar->SetPosition(hi);
    const int first = lo * S.SizeFactor;
    const float step = (hi - lo) * S.SizeFactor / 512.0f;
    for (int k = first + 200; k < first + 200 + 2 * S.SizeFactor + 3; ++k) {
      FillSpectrum(1.0f);
      S.Spectrum[k] = 1e8f;  // 80 dB
      f.ScaleSpectrum();
      const int nearest = static_cast<int>(std::lround((k - 1 - first) / step));
      const float* shown = S.DisplayValues;
      ASSERT_NEAR(shown[nearest], 160.0f, 1e-3) << size << " bin " << k;
      ASSERT_EQ(*std::max_element(shown, shown + 512), shown[nearest]) << size << " bin " << k;
      ASSERT_EQ(std::count(shown, shown + 512, shown[nearest]), 1) << "on one point only";
    }
  }
}

}  // namespace
}  // namespace zorvane
