// SPDX-License-Identifier: GPL-3.0-or-later
// What the plot shows of real signals: levels that hold from frame to frame
// through the built-in cable and across transform sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "analyzer/Graphicinterpolate.h"
#include "support/test_support.h"

using namespace zorvane;
using namespace zorvane::testing;

namespace {

// The instrument on the cable, the generator playing `waveform` clicks of the
// waveform button away from the sine at `hz`, the analyzer at `rate`.
struct Bench {
  explicit Bench(float hz, int rate, int waveformClicks = 0) {
    rig.S().FunctionFrequency = rig.S().OutputFrequency = hz;
    for (int i = 0; i < waveformClicks; ++i) rig.F().WaveformBtn->Click();
    rig.F().OutputBtnClick();
    rig.F().ClickRateItem(rate);
    // Every frame drawn: its first 512 display values.
    rig.F().SpectrumBox->OnPaint = [this] {
      frames.emplace_back(rig.S().DisplayValues, rig.S().DisplayValues + 512);
    };
  }
  // Runs the analyzer until `count` frames were drawn.
  void Frames(size_t count) {
    for (int tick = 1; frames.size() < count && tick < 600; ++tick)
      rig.At(100 * tick, [this, count] {
        if (frames.size() >= count && rig.S().AnalyzerActive == 1) rig.F().StopBtn->Click();
      });
    rig.At(60000, [this] { rig.F().StopBtn->Click(); });
    rig.F().StartBtn->Click();
  }
  Rig rig;
  std::vector<std::vector<float>> frames;
};

float Median(std::vector<float> v) {
  std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
  return v[v.size() / 2];
}

// The root mean square of SampleBlock[from..to].
double Rms(const AppState& S, int from, int to) {
  double sum = 0.0;
  for (int j = from; j <= to; ++j) sum += static_cast<double>(S.SampleBlock[j]) * S.SampleBlock[j];
  return std::sqrt(sum / (to - from + 1));
}

}  // namespace

TEST(CableLevels, ASquareWaveAt8000HzShowsTheSameSpectrumInEveryFrame) {
  // Below half of 8000 Hz a 1000 Hz square wave has two harmonics, 1000 and
  // 3000 Hz (display points about 128 and 384). Every frame shows them at
  // the same level and nothing else within 30 dB of the fundamental: the
  // harmonics above 4000 Hz must not come back as a comb of lines.
  Bench b(1000.0f, 8000, 1);
  ASSERT_EQ(b.rig.S().Waveform, 1);
  b.Frames(50);
  ASSERT_GE(b.frames.size(), 50u);
  for (int centre : {128, 384}) {
    std::vector<float> peaks;
    for (size_t k = 0; k < 50; ++k)
      peaks.push_back(
          *std::max_element(b.frames[k].begin() + centre - 4, b.frames[k].begin() + centre + 5));
    const float median = Median(peaks);
    for (size_t k = 0; k < 50; ++k)
      EXPECT_NEAR(peaks[k], median, 2.0f) << "harmonic at " << centre << ", frame " << k;
  }
  for (size_t k = 0; k < 50; ++k) {
    const auto& f = b.frames[k];
    const float top = *std::max_element(f.begin(), f.end());
    for (int x = 0; x < 512; ++x) {
      if (std::abs(x - 128) <= 4 || std::abs(x - 384) <= 4) continue;
      ASSERT_LT(f[x], top - 60.0f) << "point " << x << " of frame " << k;
    }
  }
}

TEST(Levels, AToneReadsTheSameLevelAtEverySizeWhereverItFalls) {
  // Tones every 3.7 Hz from 900 to 1100 Hz, each analysed at the four sizes:
  // the highest trace point differs by no more than the window's loss
  // between two bins (1.1 dB) and one pixel (0.5 dB at 10 dB per division).
  Rig rig;
  TZorvaneForm& f = rig.F();
  AppState& S = rig.S();
  for (int rate : {44100, 8000}) {
    S.SampleRate = rate;
    for (double hz = 900.0; hz < 1100.0; hz += 3.7) {
      int lowest = 1 << 30, highest = -(1 << 30);
      for (int n : {1024, 2048, 4096, 8192}) {
        S.TransformSize = n;
        S.SizeFactor = n / 1024;
        ComputeWindowTable(n, S.WindowType, S.WindowTable);
        for (int j = 1; j <= n; ++j)
          S.SampleBlock[j] =
              static_cast<int32_t>(std::lround(3000.0 * std::sin(2 * M_PI * hz * j / rate + 0.3)));
        WindowAndTransform(S.SampleBlock, S.Spectrum, n, S.WindowTable, S.InputGain, S.FftReal,
                           S.FftImag);
        f.ScaleSpectrum();
        const int h = static_cast<int>(*std::max_element(S.DisplayValues, S.DisplayValues + 512));
        lowest = std::min(lowest, h);
        highest = std::max(highest, h);
      }
      ASSERT_LE(highest - lowest, 3) << hz << " Hz at " << rate << " Hz";
    }
  }
}

TEST(CableLevels, EveryAnalysedBlockIsRecordedToItsLastSample) {
  // Where the buffer holds just the block (the rate factor 1, and every sweep
  // point), the block's last 61 samples carry the tone as the whole block
  // does: recorded, not left silent.
  auto check = [](const AppState& S, const std::string& what) {
    const double whole = Rms(S, 1, S.TransformSize);
    EXPECT_GT(whole, 15000.0) << what;
    EXPECT_NEAR(Rms(S, S.TransformSize - 60, S.TransformSize), whole, 0.2 * whole) << what;
  };
  for (int rate : {8000, 11025}) {
    for (int size : {1024, 2048}) {
      Bench b(1000.0f, rate);
      b.rig.F().ClickSizeItem(size);
      b.Frames(3);
      check(b.rig.S(), std::to_string(rate) + " Hz, " + std::to_string(size));
    }
  }
  Rig rig;
  rig.F().ClickRateItem(8000);
  rig.F().N32Click();
  rig.F().SweepBtnClick();
  rig.At(600, [&rig] { rig.F().SweepStartBtnClick(); });
  rig.F().SweepStartBtnClick();
  check(rig.S(), "a sweep point");
}
