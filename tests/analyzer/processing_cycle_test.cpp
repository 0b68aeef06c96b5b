// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "app/script.h"
#include "support/test_support.h"

using namespace zorvane;
using namespace zorvane::testing;

namespace {

// The generator at a frequency, switched on.
void PlayTone(Rig& rig, float hz) {
  rig.S().FunctionFrequency = hz;
  rig.S().OutputFrequency = hz;
  rig.F().OutputBtnClick();
  ASSERT_TRUE(rig.cable.OutputPlaying());
}

// START, let the loop run for ms of virtual time, then STOP from inside it.
void RunFor(Rig& rig, int ms) {
  rig.At(ms, [&rig] { rig.F().StopBtn->Click(); });
  rig.F().StartBtn->Click();
}

size_t Count(const std::vector<std::string>& log, const std::string& op) {
  return static_cast<size_t>(std::count(log.begin(), log.end(), op));
}

}  // namespace

TEST(Cycle, StartStopSingleAndTheRefusalInSweepMode) {
  Rig rig;
  // START again while running stops too.
  rig.At(300, [&rig] { rig.F().StartBtn->Click(); });
  rig.F().StartBtn->Click();
  EXPECT_EQ(rig.S().AnalyzerActive, 0);
  // Stopped from inside the first wait: the device is shut down in full.
  rig.in.Plan.Log.clear();
  RunFor(rig, 0);
  const auto& log = rig.in.Plan.Log;
  const std::vector<std::string> shutdown{"reset", "unprepare", "unprepare", "close"};
  EXPECT_NE(std::search(log.begin(), log.end(), shutdown.begin(), shutdown.end()), log.end());
  // SINGLE: one buffer queued at the start and one for every one of its eight blocks.
  rig.in.Plan.Log.clear();
  rig.F().SingleBtn->Click();
  EXPECT_EQ(Count(rig.in.Plan.Log, "add"), 9u);
  EXPECT_EQ(rig.S().AnalyzerStopRequested, 1);
  EXPECT_TRUE(rig.platform.Messages.empty()) << rig.MessageLog();
  rig.in.Plan.Log.clear();
  rig.S().SweepMode = 1;
  rig.F().StartBtn->Click();
  rig.F().SingleBtn->Click();
  EXPECT_EQ(rig.MessageLog(),
            "[Error Message] Cannot run while in the Sweep mode\n | "
            "[Error Message] Cannot run while in the Sweep mode\n");
  EXPECT_TRUE(rig.S().AnalyzerActive == 0 && rig.in.Plan.Log.empty());
}

TEST(Cycle, RateChangeWhileRunningReopensAtTheNextBufferBoundary) {
  Rig rig;
  int64_t changedAt = 0, reopenedAt = 0;
  size_t opensBefore = 0;
  rig.At(500, [&] {
    opensBefore = Count(rig.in.Plan.Log, "open");
    changedAt = rig.platform.NowUs();
    rig.F().Find("N220501")->Click();
    // Not reopened yet: the device keeps its old format until the boundary.
    EXPECT_EQ(Count(rig.in.Plan.Log, "open"), opensBefore);
  });
  rig.At(900, [&] {
    EXPECT_EQ(Count(rig.in.Plan.Log, "open"), opensBefore + 1);
    EXPECT_EQ(rig.in.LastFormat.SamplesPerSec, 22050u);
    reopenedAt = rig.platform.NowUs();
  });
  RunFor(rig, 1500);
  EXPECT_GE(reopenedAt - changedAt, 100000);
  EXPECT_TRUE(rig.platform.Messages.empty()) << rig.MessageLog();
}

TEST(Cycle, AStalledBufferTimesOutAndTheCycleGoesOn) {
  Rig rig;
  PlayTone(rig, 1000.0f);
  rig.At(200, [&rig] { rig.cable.SetInputStalled(true); });
  rig.At(600, [&rig] { rig.cable.SetInputStalled(false); });
  rig.At(700, [&rig] { rig.S().PeakFrequency = 0; });
  RunFor(rig, 1500);
  EXPECT_TRUE(rig.platform.Messages.empty()) << rig.MessageLog();
  // The wait gave up and restarted the device, and blocks came again.
  EXPECT_GE(Count(rig.in.Plan.Log, "reset"), 2u);
  EXPECT_NEAR(rig.S().PeakFrequency, 1000.0, 44100.0 / 1024);
}

TEST(Cycle, ABlockNeverReachesAnOldRecordingPastTheBuffersEnd) {
  // At 8000 Hz the buffer holds exactly one block, whose end lies past the
  // recorded bytes: what an earlier, longer recording left there must not
  // reach the display.
  Rig rig;
  std::fill(rig.S().CaptureBufferA, rig.S().CaptureBufferA + kCaptureBufferBytes, uint8_t{0x55});
  std::fill(rig.S().CaptureBufferB, rig.S().CaptureBufferB + kCaptureBufferBytes, uint8_t{0x55});
  rig.F().Find("N80001")->Click();
  rig.F().Find("N10241")->Click();
  ASSERT_EQ(rig.S().CaptureBufferBytes, 2048u);
  RunFor(rig, 1500);  // nothing plays: the cable records silence
  const int32_t* block = rig.S().SampleBlock;
  EXPECT_TRUE(std::all_of(block + 1, block + 1025, [](int32_t v) { return v == 0; }))
      << "last sample " << block[1024];
}

TEST(Channels, LeftTakesTheFirstValueOfEachFrameAndRightTheSecond) {
  // The loopback carries the right channel at half the level of the left.
  float level[2] = {0, 0};
  for (int side = 0; side < 2; ++side) {
    Rig rig;
    PlayTone(rig, 1500.0f);
    rig.F().Find(side == 0 ? "Left1" : "Right1")->Click();
    rig.S().VerticalAxisMode = 2;
    RunFor(rig, 800);
    EXPECT_EQ(rig.in.LastFormat.Channels, 2u);
    level[side] = *std::max_element(rig.S().Spectrum + 1, rig.S().Spectrum + 513);
  }
  // Half the amplitude is 6 dB less power: 12 display units.
  EXPECT_NEAR(level[0] - level[1], 12.04f, 0.4f);
}

TEST(Channels, AChannelChosenWhileStoppedSurvivesTheNextStart) {
  Rig rig;
  rig.F().Find("Right1")->Click();
  EXPECT_EQ(rig.S().SavedBoardFormat.ChannelSelect, 3);
  RunFor(rig, 200);
  EXPECT_EQ(rig.S().ChannelSelect, 3);
  EXPECT_TRUE(rig.F().Find("Right1")->Checked());
  EXPECT_EQ(rig.in.LastFormat.Channels, 2u);
}

// SINGLE given in the same instant as STOP: the new run must show only what
// it records. The tone stops with the first run, so every block of the
// second one is silence; a buffer left over from the first run would show
// the tone again.
TEST(Cycle, SingleRightAfterStopAnalysesOnlyWhatItRecords) {
  Rig rig;
  PlayTone(rig, 1000.0f);
  std::vector<float> peaks;  // each new peak while the second run is on
  bool second = false;
  float last = 0.0f;
  auto pump = rig.platform.DeliverUserEvents;
  rig.platform.DeliverUserEvents = [&] {
    if (second && rig.S().PeakFrequency != last) peaks.push_back(last = rig.S().PeakFrequency);
    pump();
  };
  for (int stopAt : {300, 310, 320, 330}) {
    rig.At(stopAt, [&] {
      rig.F().StopBtn->Click();
      rig.F().OutputBtnClick();  // silence from now on
      last = rig.S().PeakFrequency;
      ASSERT_NEAR(last, 1000.0f, 50.0f);
      second = true;
      rig.F().SingleBtn->Click();
      second = false;
      rig.F().OutputBtnClick();  // the tone again for the next round
    });
    rig.F().StartBtn->Click();
    EXPECT_EQ(rig.S().PeakFrequency, 0.0f) << "stopped at " << stopAt;
    EXPECT_EQ(peaks, std::vector<float>{0.0f}) << "stopped at " << stopAt;
    peaks.clear();
  }
}

// Switching the output on while the analyzer runs restarts the analyzer from
// inside the running loop's wait; once that new run is stopped, the wait it
// interrupted must end too, although its buffer will never come back. Run as
// the remote control runs it, in a child process that a hang cannot outlive.
TEST(Cycle, ARunRestartedFromInsideAWaitLeavesNoWaitBehind) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        alarm(20);
        HeadlessPlatform platform(true);
        LoopbackCable cable(platform);
        TZorvaneForm form(platform, cable.Out(), cable.In(), std::string());
        for (Control* t : {form.ChartTimer, form.SweepTimer, form.FileTimer, form.TimeoutTimer})
          platform.AddTimer(t);
        auto ignore = [](const std::string&) {};
        ScriptRunner runner(form, platform, ignore, ignore);
        const int errors =
            runner.Run({"click StartBtn", "click TimeDisplay", "click OutputBtn", "wait 100"});
        std::exit(errors == 0 && form.S.AnalyzerActive == 0 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}
