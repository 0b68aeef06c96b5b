// SPDX-License-Identifier: GPL-3.0-or-later
// The readouts' own arithmetic where the end-to-end checks (readouts_files.py,
// e2e/pulse_readouts.sh) cannot reach it: every part of the spectrum's
// assembly, the offset's removal, the clipping test's edges, the choice of
// the tone, the harmonics that end at half the rate, the averaging ring, the
// holds and the remote control's refusals.
#include "readouts/readouts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "readouts/block_spectrum.h"
#include "readouts/readout_text.h"

namespace zorvane::readouts {
namespace {

std::vector<int32_t> Tones(int n, std::initializer_list<std::pair<double, double>> tones,
                           int32_t offset = 0) {
  std::vector<int32_t> x(n);
  for (int i = 0; i < n; ++i) {
    double v = offset;
    for (auto [cycles, amplitude] : tones)
      v += amplitude * std::sin(2 * std::numbers::pi * cycles * i / n + 0.3);
    x[i] = static_cast<int32_t>(std::lround(v));
  }
  return x;
}

// Tones at the low end, on both sides of the quarter where the assembly's
// pairs meet, and near half the rate: the tone's power lies in its lobe
// whatever part of the assembly made the bins, and an offset changes none.
TEST(BlockSpectrum, AToneStaysInItsLobeAndAnOffsetLeavesNoTrace) {
  BlockSpectrum s;
  struct Case {
    int n;
    double bin;
  };
  for (auto [n, bin] : {Case{1024, 20.3}, Case{1024, 255.5}, Case{1024, 257.25}, Case{1024, 500.7},
                        Case{8192, 16.0}, Case{8192, 2047.6}, Case{8192, 4080.2}}) {
    const double amplitude = 20000.0;
    ASSERT_TRUE(s.Compute(Tones(n, {{bin, amplitude}}).data(), n, 32768.0));
    const std::vector<float> plain(s.Power(), s.Power() + n / 2 + 1);
    double lobe = 0.0, rest = 0.0;
    for (int k = 0; k <= n / 2; ++k)
      (std::abs(k - bin) <= kLobeBins + 0.5 ? lobe : rest) += plain[k];
    EXPECT_NEAR(lobe, std::pow(amplitude / 32768.0, 2), 1e-5) << n << " points, bin " << bin;
    EXPECT_LT(rest, 1e-8 * lobe) << n << " points, bin " << bin;
    ASSERT_TRUE(s.Compute(Tones(n, {{bin, amplitude}}, 5000).data(), n, 32768.0));
    for (int k = 0; k <= n / 2; ++k)
      ASSERT_NEAR(s.Power()[k], plain[k], 1e-6 * lobe) << n << " points, bin " << k;
  }
  EXPECT_FALSE(s.Compute(Tones(512, {}).data(), 512, 32768.0));
}

TEST(BlockSpectrum, ClippingIsARunOfThreeSamplesWithinAnEighthousandthOfFullScale) {
  BlockSpectrum s;
  struct Case {
    double fullScale;
    std::vector<int32_t> run;
    bool clipped;
  };
  for (const Case& c :
       {Case{32768, {32767, 32767, 32767}, true}, Case{32768, {32764, 32766, 32764}, true},
        Case{32768, {32763, 32767, 32767}, false}, Case{32768, {-32765, -32768, -32766}, true},
        Case{32768, {32767, 32767, 0, 32767}, false}, Case{128, {127, 127, 127}, true},
        Case{128, {126, 127, 127}, false}}) {
    std::vector<int32_t> x(1024, 0);
    std::copy(c.run.begin(), c.run.end(), x.begin() + 1021 - c.run.size());
    s.Compute(x.data(), 1024, c.fullScale);
    EXPECT_EQ(s.Clipped(), c.clipped) << c.run[0] << " .. at full scale " << c.fullScale;
  }
}

// 8192-point blocks at 44,100 Hz of a 3 kHz tone (-6 dBFS) and a 1.1 kHz one
// (-20 dBFS).
struct ReadoutsTest : ::testing::Test {
  BlockReadouts r;
  static constexpr int kN = 8192;
  void Feed(double level, int blocks = 1, int n = kN) {
    const auto x = Tones(n, {{3000.0 * n / 44100, 16384.0 * level}, {1100.0 * n / 44100, 3277.0}});
    for (int i = 0; i < blocks; ++i) r.AnalyzeBlock(x.data(), n, 44100, 2);
  }
};

TEST_F(ReadoutsTest, TheStrongestToneOrTheOneAskedForWithItsHarmonicsBelowHalfTheRate) {
  Feed(1.0);
  DistortionFigures f = r.Distortion();
  EXPECT_NEAR(f.fundamentalHz, 3000.0, 0.01);
  EXPECT_NEAR(f.fundamentalDbfs, -6.02, 0.01);
  // H7 (21 kHz) lies below 22,050 Hz less the lobe; H8 does not.
  EXPECT_EQ(f.harmonicsUsed, 6);
  EXPECT_TRUE(std::isfinite(f.harmonicDbc[5]) && std::isnan(f.harmonicDbc[6]));
  EXPECT_EQ(f.flags, 0u);
  r.SetFundamental(1103.0);
  Feed(1.0);
  f = r.Distortion();
  EXPECT_NEAR(f.fundamentalHz, 1100.0, 0.01);
  EXPECT_NEAR(f.fundamentalDbfs, -20.0, 0.01);
  EXPECT_EQ(f.harmonicsUsed, 9);
  EXPECT_EQ(f.flags, 0u) << "a louder tone elsewhere does not hide this one";
  // Everything but the fundamental: the 3 kHz tone, 14 dB above it (the
  // notch, filled in at the band's mean density, adds 15 / 3700 of it).
  EXPECT_NEAR(f.thdnDb, -10 * std::log10(1 + std::pow(10.0, -1.398)), 0.03);
}

TEST_F(ReadoutsTest, TheAverageTakesTheLastBlocksAndAHoldKeepsWhatItShowed) {
  auto level = [this] { return r.Distortion().fundamentalDbfs; };
  r.SetAverage(2);
  Feed(1.0, 3);
  Feed(0.5);
  EXPECT_NEAR(level(), 10 * std::log10((0.25 + 0.0625) / 2), 0.01);
  EXPECT_EQ(r.Distortion().blocks, 2);
  Feed(0.5);
  EXPECT_NEAR(level(), -12.04, 0.01) << "the louder blocks have left the average";
  const double band = r.BandLevelDbfs(16);
  r.SetHold(Readout::Distortion, true);
  Feed(1.0, 2);
  EXPECT_NEAR(level(), -12.04, 0.01) << "held";
  EXPECT_NEAR(r.BandLevelDbfs(16), band, 0.01) << "the 1 kHz band: the tone that stays";
  EXPECT_GT(r.BandLevelDbfs(21), -7.0) << "the bands are not held: the 3 kHz band rose";
  r.SetHold(Readout::Distortion, false);
  EXPECT_NEAR(level(), -6.02, 0.01);
  r.SetAverage(0);
  Feed(1.0, 3);
  Feed(0.5, 1);
  EXPECT_EQ(r.Distortion().blocks, 4);
  EXPECT_NEAR(level(), 10 * std::log10((3 * 0.25 + 0.0625) / 4), 0.01);
  Feed(1.0, 1, 2048);
  EXPECT_EQ(r.Distortion().blocks, 1) << "another size starts afresh";
  r.SetMeasuring(false);
  Feed(1.0, 2, 2048);
  EXPECT_EQ(r.Distortion().blocks, 1) << "not measuring: the blocks pass unseen";
  r.SetMeasuring(true);
  Feed(1.0, 1, 2048);
  EXPECT_EQ(r.Distortion().blocks, 2);
}

TEST(ReadoutText, TheRemoteControlRefusesWhatItCannotSetOrShow) {
  BlockReadouts r;
  std::string error, out;
  for (const char* bad :
       {"average 101", "average -1", "average 2.5", "average", "fundamental 0", "fundamental x",
        "weighting B", "bands half", "hold maybe", "clear now", "louder"}) {
    EXPECT_FALSE(ReadoutCommand(r, bad, error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
  EXPECT_FALSE(ReadoutStateText(r, "band_level_dbfs[0]", out, error)) << "no bands yet";
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(ReadoutCommand(r, "bands octave", error));
  EXPECT_EQ(r.Fraction(), BandFraction::Octave);
  EXPECT_FALSE(ReadoutStateText(r, "Spectrum[3]", out, error));
  EXPECT_TRUE(error.empty()) << "not a readout: the state record's to answer";
  EXPECT_TRUE(ReadoutStateText(r, "distortion_status", out, error));
  EXPECT_EQ(out, "no_tone");
}

}  // namespace
}  // namespace zorvane::readouts
