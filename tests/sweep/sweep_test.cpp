// SPDX-License-Identifier: GPL-3.0-or-later
// The stepped sweep on the loopback cable in virtual time: where its tones
// lie, how it stops, loops and calibrates, and what it gives back when done.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "support/test_support.h"
#include "support/wav_bytes.h"

using namespace zorvane;
using namespace zorvane::testing;

namespace {

constexpr float kHzPerBin = 44100.0f / 1024.0f;  // 43.06640625

struct Sweep : ::testing::Test {
  explicit Sweep(LoopbackOptions options = {}) : rig(options) {}
  Rig rig;
  TZorvaneForm& F = rig.F();
  AppState& S = rig.S();

  // The tone of every point of the sweep, seen from inside its capture wait.
  std::map<int, float> tones;
  void RecordTones() {
    rig.EachPump = [this] {
      if (S.SweepRunning == 1) tones[S.SweepPointIndex] = S.OutputFrequency;
    };
  }
  // Starts a sweep in SWP mode, with the trace kept on the plot.
  void Run() {
    if (S.SweepMode == 0) F.SweepBtnClick();
    F.ProcessGainTrackBar->UserScroll(6);
    F.SweepStartBtnClick();
  }
  // Pixels between the lowest and the highest sweep point from display point
  // `from` on, short of the points that play half the rate (nothing there
  // can be measured).
  int Spread(int from = 1) const {
    int lo = 1 << 30, hi = -(1 << 30);
    for (int c = from; c <= 512 && F.SweepToneBin(c) < S.TransformSize / 2; c += S.SweepPointStep)
      lo = std::min(lo, S.SweepTracePixels[c]), hi = std::max(hi, S.SweepTracePixels[c]);
    return hi - lo;
  }
};

}  // namespace

TEST_F(Sweep, TonesLieOnBinCentresOnePerPointAtTheirDisplayPoints) {
  RecordTones();
  Run();
  ASSERT_EQ(tones.size(), 512u);
  EXPECT_EQ(tones.begin()->second, 86.1328125f);
  EXPECT_EQ(tones.rbegin()->second, 22050.0f);
  for (auto [point, hz] : tones) {
    const float bins = hz / kHzPerBin;
    EXPECT_EQ(bins, std::floor(bins)) << "point " << point;
  }
  EXPECT_EQ(S.OutputFrequency, 200.01f);  // the generator's own frequency is back

  // 32 points: c = 1, 17, ..., 497, each tone within a bin of display point c + 16.
  tones.clear();
  F.N32Click();
  F.SweepStartBtnClick();
  ASSERT_EQ(tones.size(), 32u);
  int expected = 1;
  for (auto [point, hz] : tones) {
    EXPECT_EQ(point, expected);
    EXPECT_NEAR(hz, (point + 16) * kHzPerBin, kHzPerBin) << "point " << point;
    expected += 16;
  }
}

TEST_F(Sweep, AStraightCableReadsFlatAtEveryNumberOfPoints) {
  // Each point shows its own tone's level wherever its bin falls between the
  // display points.
  F.SweepBtnClick();
  for (auto item : {&TZorvaneForm::N32Click, &TZorvaneForm::N128Click, &TZorvaneForm::N512Click}) {
    (F.*item)();
    Run();
    EXPECT_LE(Spread(), 1) << S.SweepPoints << " points";
    EXPECT_GT(S.SweepTracePixels[1], 100);
  }
}

TEST_F(Sweep, AStopOrLeavingSwpEndsThePassAfterItsCurrentPoint) {
  F.On2Click();
  F.N64Click();
  int pointAtStop = 0;
  rig.At(2000, [&] {
    pointAtStop = S.SweepPointIndex;
    F.SweepStartBtn->Click();
    EXPECT_TRUE(F.StartBtn->Enabled()) << "the request itself gives the controls back";
  });
  Run();
  EXPECT_GT(pointAtStop, 1);
  EXPECT_EQ(S.SweepPointIndex, pointAtStop);
  EXPECT_EQ(S.SweepRunning, 0);
  EXPECT_TRUE(S.SweepLoop == 1 && F.Find("On2")->Checked()) << "the loop survives the stop";
  EXPECT_FALSE(rig.cable.InputOpen());
  EXPECT_FALSE(rig.cable.OutputPlaying());

  rig.At(1000, [&] {
    pointAtStop = S.SweepPointIndex;
    F.SweepBtn->Click();
  });
  F.SweepStartBtnClick();
  EXPECT_EQ(S.SweepPointIndex, pointAtStop);
  EXPECT_EQ(S.SweepRunning, 0);
  EXPECT_EQ(S.SweepMode, 0);
  EXPECT_EQ(rig.MessageLog(), "");
}

TEST_F(Sweep, TheSweepLocksItsSettingsAndGivesThemBack) {
  F.LineBarBtnClick();  // bar graph
  F.NormalBtnClick();   // AVRG
  F.N128Click();
  bool checked = false;
  Control* const locked[] = {F.LoFreqScrollBar, F.HiFreqScrollBar, F.NormalBtn,
                             F.StartBtn,        F.SingleBtn,       F.LineBarBtn};
  rig.EachPump = [&] {
    if (checked || S.SweepRunning == 0) return;
    checked = true;
    EXPECT_TRUE(S.GraphType == 1 && S.HoldMode == 3) << "line and peak while sweeping";
    for (Control* c : locked) EXPECT_FALSE(c->Enabled()) << c->Name();
    F.N80001Click();  // refused while sweeping, with nothing changed
    F.N81921Click();
  };
  Run();
  EXPECT_TRUE(checked);
  EXPECT_TRUE(S.SampleRate == 44100 && S.TransformSize == 1024) << S.SampleRate;
  EXPECT_TRUE(S.GraphType == 2 && S.HoldMode == 2) << "bar and average given back";
  for (Control* c : locked) EXPECT_TRUE(c->Enabled()) << c->Name();
}

TEST_F(Sweep, NoEarlierBlockOrPeakEntersThePass) {
  // A loud stale block in buffer B and a stale peak in the hold: neither is
  // part of the response, at the largest transform size either.
  F.N81921Click();
  F.N32Click();
  for (int i = 0; i < 65536 / 2; ++i) {
    const auto v = static_cast<int16_t>(30000 * std::sin(2 * M_PI * 5000.0 * i / 44100));
    S.CaptureBufferB[2 * i] = static_cast<uint8_t>(v & 0xFF);
    S.CaptureBufferB[2 * i + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
  }
  const int staleElement = static_cast<int>(5000.0 / (44100.0 / 8192)) + 1;
  S.HoldSpectrum[3000] = 1e9f;
  float staleAfterFirstPoint = -1, toneAfterFirstPoint = -1;
  rig.EachPump = [&] {
    if (S.SweepPointIndex == 17 && staleAfterFirstPoint < 0) {
      staleAfterFirstPoint = std::max(S.HoldSpectrum[staleElement], S.HoldSpectrum[3000]);
      toneAfterFirstPoint = *std::max_element(S.HoldSpectrum + 1, S.HoldSpectrum + 4097);
    }
  };
  Run();
  EXPECT_GT(toneAfterFirstPoint, 100.0f);
  EXPECT_LT(staleAfterFirstPoint, toneAfterFirstPoint - 60.0f);
  // After the pass nothing is held for the next one, up to the top of the window.
  for (int k = 0; k <= 513 * 8; ++k) ASSERT_EQ(S.HoldSpectrum[k], 0.0f) << "element " << k;
}

namespace {

// Virtual time from one point's tone to the next, for a reported output
// latency.
int64_t PointPeriodUs(int64_t outputLatencyUs) {
  Rig rig;
  rig.out.LatencyOverrideUs = outputLatencyUs;
  std::map<int, int64_t> starts;
  rig.EachPump = [&] { starts.emplace(rig.S().SweepPointIndex, rig.platform.NowUs()); };
  rig.F().SweepBtnClick();
  rig.F().N32Click();
  rig.F().SweepStartBtnClick();
  return (starts.rbegin()->second - starts.begin()->second) /
         (static_cast<int64_t>(starts.size()) - 1);
}

}  // namespace

TEST(SweepSettle, EachToneSoundsAtLeast50MsAndAsLongAsTheSoundPathTakes) {
  const int64_t block = 1024 * 1000000LL / 44100;  // 23.2 ms of capture
  EXPECT_NEAR(PointPeriodUs(0) - block, 50000, 3000);
  EXPECT_NEAR(PointPeriodUs(30000) - block, 50000, 3000);
  EXPECT_NEAR(PointPeriodUs(300000) - block, 300000, 3000);
}

namespace {

// A device under test whose response falls 20 dB towards the top.
LoopbackOptions Chain() {
  LoopbackOptions o;
  o.Gain = 0.5;
  LoopbackFilter f;
  f.Hz = 8000;
  o.Filters = {f};
  return o;
}

struct Calibration : Sweep {
  Calibration() : Sweep(Chain()) {}
};

}  // namespace

TEST_F(Calibration, ACalibratedChainReadsFlatUntilTheTableIsCleared) {
  F.N64Click();
  Run();
  EXPECT_GT(Spread(), 30);  // uncorrected: the chain's own response

  F.SwpCalBtnClick();
  EXPECT_TRUE(F.Find("SwpCal1")->Checked());
  F.SweepStartBtnClick();
  EXPECT_EQ(S.SweepCalibrating, 0);  // one pass only
  EXPECT_FALSE(F.Find("SwpCal1")->Checked());
  F.SweepStartBtnClick();
  EXPECT_LE(Spread(2), 1);  // point 1 is drawn as measured

  F.ZeroCalClick();
  F.SweepStartBtnClick();
  EXPECT_GT(Spread(), 30);

  // Re-entering SWP discards a table just as well.
  F.SwpCalBtnClick();
  F.SweepStartBtnClick();
  F.SweepBtnClick();
  F.SweepBtnClick();
  F.SweepStartBtnClick();
  EXPECT_GT(Spread(), 30);
}

TEST_F(Calibration, InALoopTheFirstPassCalibratesAndStaysOnThePlotInLime) {
  F.N32Click();
  F.On2Click();
  F.SweepBtnClick();
  F.SwpCalBtnClick();
  std::vector<std::pair<int, int>> calibrating;  // (pass, flag) seen in the waits
  int pass = 0, last = 1 << 30;
  std::vector<int32_t> firstPass;
  rig.EachPump = [&] {
    if (S.SweepRunning == 0) return;
    if (S.SweepPointIndex < last) ++pass;
    last = S.SweepPointIndex;
    calibrating.push_back({pass, S.SweepCalibrating});
    if (pass == 2 && firstPass.empty())
      firstPass.assign(S.PreviousSweepPixels, S.PreviousSweepPixels + 513);
    if (pass == 2 && S.SweepPointIndex == 129) F.SweepStartBtn->Click();
  };
  Run();
  ASSERT_FALSE(firstPass.empty());
  for (auto [p, flag] : calibrating) EXPECT_EQ(flag, p == 1 ? 1 : 0) << "pass " << p;
  // The first pass was drawn flat at the ninth point's level; the second,
  // corrected by it, measures flat too.
  const int level = firstPass[1 + 8 * 16];
  for (int c = 17; c <= 497; c += 16) EXPECT_EQ(firstPass[c], level) << "point " << c;
  for (int c = 17; c <= 129; c += 16) EXPECT_NEAR(S.SweepTracePixels[c], level, 1) << c;
  // Beyond the point the second pass reached, only the first pass is drawn.
  EXPECT_EQ(F.DisplayBitmap.Pixel(400, 199 - level), colors::Lime);
}

// A sound-card run that the file source took over leaves the card's input
// open; switching to SWP stops the run, and the sweep then opens the input
// for itself (the cable refuses a second open).
TEST_F(Sweep, RunsAfterTheFileSourceTookOverARun) {
  TempDir dir;
  rig.platform.QueueDialogAnswer(SineFile(dir, "tone.wav", 44100, 1000.0, 3.0));
  F.OpenWavefile1Click();
  rig.At(300, [&] { F.WaveFile1Click(); });
  F.StartBtnClick();
  rig.At(100, [&] {
    F.SweepBtnClick();
    F.N32Click();
    Run();
  });
  rig.Idle(200);
  EXPECT_EQ(rig.MessageLog(), "");
  EXPECT_FALSE(rig.platform.Terminated());
  EXPECT_TRUE(S.SweepRunning == 0 && S.SweepPointIndex == 497);
  EXPECT_LE(Spread(), 1);
  EXPECT_GT(S.SweepTracePixels[1], 100);
}
