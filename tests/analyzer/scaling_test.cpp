// Peak frequency, vertical scaling, averaging / peak hold and the mapping
// onto display points, on a whole form.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "analyzer/Graphicinterpolate.h"
#include "support/test_support.h"

namespace zorvane {
namespace {

using testing::Rig;

class Scaling : public ::testing::Test {
 protected:
  Rig rig;
  TZorvaneForm& f = rig.F();
  AppState& S = rig.S();

  // Uses the given transform size with its size factor.
  void UseSize(int n) {
    S.TransformSize = n;
    S.SizeFactor = n / 1024;
  }
  void FillSpectrum(float v) { std::fill(S.Spectrum + 1, S.Spectrum + kArrayLen, v); }
};

TEST_F(Scaling, DecibelsBottomOutAtPowerOne) {
  S.Spectrum[1] = 0.5f;
  S.Spectrum[2] = 1.0f;
  S.Spectrum[3] = 100.0f;
  S.Spectrum[4] = 0.0f;
  S.Spectrum[5] = 1e6f;
  f.ScaleSpectrum();
  EXPECT_EQ(S.HoldSpectrum[1], 0.0f);
  EXPECT_EQ(S.HoldSpectrum[2], 0.0f);
  EXPECT_NEAR(S.HoldSpectrum[3], 20.0f, 1e-5);
  EXPECT_EQ(S.HoldSpectrum[4], 0.0f);
  EXPECT_NEAR(S.HoldSpectrum[5], 60.0f, 1e-4);
}

TEST_F(Scaling, LogTwoAndLinearScales) {
  S.VerticalAxisMode = 1;
  S.Spectrum[1] = 0.25f;
  S.Spectrum[2] = std::exp(2.0f);
  f.ScaleSpectrum();
  EXPECT_EQ(S.HoldSpectrum[1], 0.0f);
  EXPECT_NEAR(S.HoldSpectrum[2], 16.0f, 1e-4) << "8 x ln in the frequency display";

  S.VerticalAxisMode = 0;
  S.Spectrum[1] = 0.25f;
  S.Spectrum[2] = 5000.0f;
  f.ScaleSpectrum();
  EXPECT_FLOAT_EQ(S.HoldSpectrum[1], 0.00025f);
  EXPECT_FLOAT_EQ(S.HoldSpectrum[2], 5.0f);

  // The time display uses 10 x ln and leaves linear values alone.
  S.VerticalAxisMode = 1;
  S.Spectrum[1] = std::exp(2.0f);
  f.ScaleTimeTrace();
  EXPECT_NEAR(S.HoldSpectrum[1], 20.0f, 1e-4);
  S.VerticalAxisMode = 0;
  S.Spectrum[1] = 5000.0f;
  f.ScaleTimeTrace();
  EXPECT_EQ(S.HoldSpectrum[1], 5000.0f);
}

TEST_F(Scaling, AverageStartsFromEmptyHistoryAndRunsOverTheLastBlocks) {
  S.HoldMode = 2;
  S.AverageCount = 2;
  const float levels[] = {30.0f, 60.0f, 90.0f, 0.0f};  // in dB
  const float expected[] = {10.0f, 30.0f, 60.0f, 50.0f};
  for (int b = 0; b < 4; ++b) {
    FillSpectrum(std::pow(10.0f, levels[b] / 10.0f));
    f.ScaleSpectrum();
    for (int k : {1, 2, 512, 1024})
      ASSERT_NEAR(S.HoldSpectrum[k], expected[b], 1e-3) << "block " << b << " bin " << k;
  }
  // History rows 1 and 2 hold the last two blocks; row 3 was never used.
  EXPECT_NEAR(S.AverageHistory[1][7], 0.0f, 1e-4);
  EXPECT_NEAR(S.AverageHistory[2][7], 90.0f, 1e-3);
  EXPECT_EQ(S.AverageHistory[3][7], 0.0f);
}

TEST_F(Scaling, PeakHoldKeepsTheMaximumUntilAPassThroughNormal) {
  S.HoldMode = 3;
  FillSpectrum(1e4f);  // 40 dB
  f.ScaleSpectrum();
  FillSpectrum(1.0f);  // the signal is gone
  f.ScaleSpectrum();
  f.ScaleSpectrum();
  EXPECT_NEAR(S.HoldSpectrum[100], 40.0f, 1e-4);
  S.Spectrum[100] = 1e5f;  // a higher level takes over
  f.ScaleSpectrum();
  EXPECT_NEAR(S.HoldSpectrum[100], 50.0f, 1e-4);
  EXPECT_NEAR(S.HoldSpectrum[101], 40.0f, 1e-4);

  S.HoldMode = 1;
  FillSpectrum(10.0f);
  f.ScaleSpectrum();
  EXPECT_NEAR(S.HoldSpectrum[100], 10.0f, 1e-5);
  S.HoldMode = 3;
  FillSpectrum(1.0f);
  f.ScaleSpectrum();
  EXPECT_NEAR(S.HoldSpectrum[100], 10.0f, 1e-5);
}

TEST_F(Scaling, PeakFrequencyEdgeCases) {
  const int n = 1024;
  FillSpectrum(0.0f);
  EXPECT_EQ(f.FindPeakFrequency(S.Spectrum, n, 1, 44100), 0.0f) << "no peak in zeros";

  // Zero frequency: the refinement has no left neighbour.
  f.LoFreqScrollBar->SetPosition(0);
  S.Spectrum[1] = 50.0f;
  EXPECT_EQ(f.FindPeakFrequency(S.Spectrum, n, 1, 44100), 0.0f);
  S.Spectrum[2] = 0.001f;  // refined to a fraction of a bin, still below 1 Hz
  EXPECT_EQ(f.FindPeakFrequency(S.Spectrum, n, 1, 44100), 0.0f);

  // Corrected rate: a lone peak at element 101 at 8000 Hz.
  FillSpectrum(0.0f);
  S.Spectrum[101] = 7.0f;
  EXPECT_FLOAT_EQ(f.FindPeakFrequency(S.Spectrum, n, 1, 8000), 100.0f * 8000.0f / n);
  S.NormalPcMode = 2;
  EXPECT_NEAR(f.FindPeakFrequency(S.Spectrum, n, 1, 8000), 100.0f * 8100.2f / n, 1e-3);
  EXPECT_NEAR(f.FindPeakFrequency(S.Spectrum, n, 1, 11025), 100.0f * 11100.0f / n, 1e-3);
  EXPECT_NEAR(f.FindPeakFrequency(S.Spectrum, n, 1, 22050), 100.0f * 22200.0f / n, 1e-3);
  EXPECT_NEAR(f.FindPeakFrequency(S.Spectrum, n, 1, 44100), 100.0f * 44100.0f / n, 1e-3);
  EXPECT_NEAR(f.FindPeakFrequency(S.Spectrum, n, 1, 48000), 100.0f * 48000.0f / n, 1e-3);
  S.NormalPcMode = 1;

  // Refinement towards the larger neighbour; equal maxima: the first wins.
  S.Spectrum[102] = 7.0f;
  const float twoPeaks = f.FindPeakFrequency(S.Spectrum, n, 1, 44100);
  EXPECT_NEAR(twoPeaks, (100.0f + 1.018602f * 7.0f / 14.0f) * 44100.0f / n, 1e-2);
}

TEST_F(Scaling, PeakSearchStaysInTheDisplayedWindow) {
  UseSize(2048);
  FillSpectrum(0.0f);
  S.Spectrum[50] = 100.0f;  // left of the window
  S.Spectrum[601] = 10.0f;  // inside
  f.LoFreqScrollBar->SetPosition(100);
  f.HiFreqScrollBar->SetPosition(400);  // bins 200..800 at size factor 2
  EXPECT_FLOAT_EQ(f.FindPeakFrequency(S.Spectrum, 2048, 2, 44100), 600.0f * 44100.0f / 2048);
  S.Spectrum[802] = 20.0f;  // just past the right end
  EXPECT_FLOAT_EQ(f.FindPeakFrequency(S.Spectrum, 2048, 2, 44100), 600.0f * 44100.0f / 2048);

  // A window up to the top bin stops at element n/2: above it the array holds
  // the block's weighted samples, not powers, neither as a peak nor as the
  // top bin's neighbour.
  f.HiFreqScrollBar->SetPosition(512);
  FillSpectrum(0.0f);
  S.Spectrum[601] = 10.0f;
  S.Spectrum[1025] = 5000.0f;
  S.Spectrum[1026] = 9000.0f;
  EXPECT_FLOAT_EQ(f.FindPeakFrequency(S.Spectrum, 2048, 2, 44100), 600.0f * 44100.0f / 2048);
  S.Spectrum[1024] = 30.0f;  // the top bin, with a weighted sample above it
  EXPECT_FLOAT_EQ(f.FindPeakFrequency(S.Spectrum, 2048, 2, 44100), 1023.0f * 44100.0f / 2048);
}

TEST_F(Scaling, LogAxisEndsAreOneBinAndHalfTheRate) {
  for (int n : {1024, 2048, 4096, 8192}) {
    UseSize(n);
    for (int rate : {8000, 44100, 48000}) {
      S.SampleRate = rate;
      EXPECT_EQ(f.LogAxisFrequency(0, 1), static_cast<int>(float(rate) / n)) << n << " " << rate;
      EXPECT_EQ(f.LogAxisFrequency(512, 3), rate / 2) << n << " " << rate;
    }
  }
  UseSize(1024);
  S.SampleRate = 44100;
  EXPECT_EQ(f.LogAxisFrequency(256, 1), static_cast<int>(std::sqrt(512.0) * 44100 / 1024));
  // Kind 2 measures inside the window: the left end of a window 256..512
  // is the middle of the whole axis.
  f.LoFreqScrollBar->SetPosition(256);
  EXPECT_EQ(f.LogAxisFrequency(0, 2), f.LogAxisFrequency(256, 1));
  EXPECT_EQ(S.DisplayedBins, 256);
}

TEST_F(Scaling, LinearMappingFollowsTheSpectrumAcrossTheWindow) {
  S.VerticalAxisMode = 0;  // linear, values x 0.001
  for (int n : {1024, 8192}) {
    UseSize(n);
    for (int k = 1; k < kArrayLen; ++k)
      S.Spectrum[k] = 1000.0f * (50.0f + 40.0f * std::sin(0.01f * k));
    f.LoFreqScrollBar->SetPosition(10);
    f.HiFreqScrollBar->SetPosition(300);
    f.ScaleSpectrum();
    const int lo = 10 * S.SizeFactor;
    const float span = 290.0f * S.SizeFactor;
    EXPECT_EQ(S.DisplayedBins, static_cast<int>(span));
    for (int i = 0; i < 512; ++i) {
      const float x = lo + i * span / 512.0f;
      ASSERT_NEAR(S.DisplayValues[i], 50.0f + 40.0f * std::sin(0.01f * x), 2e-3) << i;
    }
  }
}

TEST_F(Scaling, WidestWindowAtTheLargestSizeStaysInTheArrays) {
  UseSize(8192);
  f.LoFreqScrollBar->SetPosition(1);
  f.HiFreqScrollBar->SetPosition(512);
  FillSpectrum(100.0f);
  S.DisplayValues[2049] = -123.0f;
  f.ScaleSpectrum();
  for (int i = 0; i <= 2048; ++i) ASSERT_NEAR(S.DisplayValues[i], 20.0f, 1e-4) << i;
  EXPECT_EQ(S.DisplayValues[2049], -123.0f) << "2049 values in the frequency display";

  // The time display maps values up to index n - 1 for its trigger search.
  for (int k = 1; k < kArrayLen; ++k) S.Spectrum[k] = 120.0f;
  S.VerticalAxisMode = 0;
  S.DisplayValues[8192] = -5.0f;
  f.ScaleTimeTrace();
  for (int i = 0; i <= 8191; ++i) ASSERT_NEAR(S.DisplayValues[i], 120.0f, 1e-3) << i;
  EXPECT_EQ(S.DisplayValues[8192], -5.0f);
}

TEST_F(Scaling, TimeTraceStartsOneHundredSamplesIn) {
  S.VerticalAxisMode = 0;
  for (int k = 1; k < kArrayLen; ++k) S.Spectrum[k] = static_cast<float>(k);
  f.ScaleTimeTrace();  // window 1..512 at size 1024: one sample per point
  for (int i = 0; i < 800; ++i)
    ASSERT_NEAR(S.DisplayValues[i], 101.0f + i * 511.0f / 512.0f, 1e-2) << i;
}

TEST_F(Scaling, LogarithmicAxisPicksBins) {
  S.VerticalAxisMode = 0;
  S.HorizontalScale = 2;
  for (int k = 1; k < kArrayLen; ++k) S.Spectrum[k] = 1000.0f * k;
  f.LoFreqScrollBar->SetPosition(0);
  f.ScaleSpectrum();
  EXPECT_FLOAT_EQ(S.DisplayValues[0], 2.0f) << "point 1 lies in bin 1 (element 2)";
  EXPECT_FLOAT_EQ(S.DisplayValues[511], 513.0f) << "point 512 is the top bin";
  for (int c = 1; c < 512; ++c) ASSERT_LE(S.DisplayValues[c - 1], S.DisplayValues[c]);
  // Bins are never interpolated.
  for (int c = 0; c < 512; ++c) {
    const int bin = static_cast<int>(std::lround(S.DisplayValues[c]));
    ASSERT_EQ(S.DisplayValues[c], S.HoldSpectrum[bin]) << c;
  }
}

TEST(ResampleToColumns, ReproducesStraightLinesAndConsumesTheLimit) {
  std::vector<float> y(100), d2(kArrayLen), sweep(kArrayLen), out(kArrayLen, -1.0f);
  for (int i = 0; i < 100; ++i) y[i] = 3.0f + 0.5f * i;
  float limit = 40.0f;
  const int count = ResampleToColumns(y.data(), 100, limit, 512.0f, out.data(), kArrayLen, 10.0f,
                                      d2.data(), sweep.data(), kArrayLen);
  EXPECT_EQ(limit, 0.0f);
  EXPECT_EQ(count, 2049);
  for (int i = 0; i < 2049; ++i) ASSERT_NEAR(out[i], 3.0f + 0.5f * i * 10.0f / 512.0f, 2e-4) << i;
  EXPECT_EQ(out[2049], -1.0f);

  // A window of zero width gives the first value, bounded by the output size.
  limit = 0.0f;
  EXPECT_EQ(ResampleToColumns(y.data(), 100, limit, 512.0f, out.data(), 600, 0.0f, d2.data(),
                              sweep.data(), kArrayLen),
            600);
  EXPECT_EQ(out[599], 3.0f);
  limit = -1.0f;
  EXPECT_EQ(ResampleToColumns(y.data(), 100, limit, 512.0f, out.data(), 600, -2.0f, d2.data(),
                              sweep.data(), kArrayLen),
            0);
}

}  // namespace
}  // namespace zorvane
