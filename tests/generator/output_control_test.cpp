// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

using namespace zorvane;
using namespace zorvane::testing;

namespace {

using Calls = std::vector<std::string>;

// The device calls a click makes.
Calls CallsOf(Rig& rig, Control* button) {
  const size_t before = rig.out.Plan.Log.size();
  button->Click();
  return Calls(rig.out.Plan.Log.begin() + static_cast<long>(before), rig.out.Plan.Log.end());
}

// Every call of the output device and the message its failure shows.
const std::pair<std::string, std::string> kFaults[] = {
    {"query", "Could not handle the output WAVE format"},
    {"open", "Error Opening Output wave device"},
    {"prepare", "Error preparing the header"},
    {"write", "Error writing to the output device"},
    {"reset", "Error Resetting the output wave device"},
    {"unprepare", "Error unpreparing the _a Header"},
    {"close", "Error closing the output wave device"}};

}  // namespace

TEST(OutputSwitch, OnPlaysOneLoopingHeaderAndOffResetsUnpreparesCloses) {
  Rig rig;
  EXPECT_EQ(CallsOf(rig, rig.F().OutputBtn), (Calls{"query", "open", "prepare", "write"}));
  const uint32_t loop = WHDR_BEGINLOOP | WHDR_ENDLOOP;  // played until reset
  EXPECT_TRUE((rig.out.LastWriteFlags & loop) == loop && rig.out.LastWriteLoops == 0xFFFFFFFF);
  EXPECT_TRUE(rig.cable.OutputPlaying() && rig.S().OutputOn == 1);
  EXPECT_EQ(CallsOf(rig, rig.F().OutputBtn), (Calls{"reset", "unprepare", "close"}));
  EXPECT_TRUE(!rig.cable.OutputPlaying() && rig.S().OutputOn == 0 && rig.platform.Messages.empty());
}

TEST(OutputSwitch, RefusedDuringASweep) {
  Rig rig;
  rig.S().SweepRunning = 1;
  EXPECT_EQ(CallsOf(rig, rig.F().OutputBtn), Calls{});
  EXPECT_TRUE(rig.S().OutputOn == 0 && rig.MessageLog().starts_with("[Freq Mode Error]"));
}

TEST(Waveform, FourPressesCycleBackToSineAndEachRestartsAPlayingOutput) {
  Rig rig;
  const std::string cycle[] = {"SQUARE", "TRIANGLE", "NOISE", "SINE"};
  const Calls restart = {"reset", "unprepare", "close", "query", "open", "prepare", "write"};
  // Off, a press only changes the state; on, it restarts the device with the new loop.
  for (int i = 0; i < 8; ++i) {
    if (i == 4) rig.F().OutputBtn->Click();
    EXPECT_EQ(CallsOf(rig, rig.F().WaveformBtn), i < 4 ? Calls{} : restart);
    EXPECT_EQ(rig.F().WaveformBtn->Caption(), cycle[i % 4]);
    const auto* playing = reinterpret_cast<const int16_t*>(rig.cable.PlayingData());
    EXPECT_TRUE(i != 4 || std::abs(playing[10]) == 32767);  // full scale: the square plays
  }
  rig.S().Waveform = 7;  // out of range: kept, and so is the caption
  rig.F().WaveformBtnClick();
  EXPECT_TRUE(rig.S().Waveform == 7 && rig.F().WaveformBtn->Caption() == "SINE");
}

TEST(OutputFaults, EachShowsItsMessageStopsAndEndsWithoutSavingAndNoneLoopsForever) {
  for (const auto& [op, message] : kFaults) {
    Rig rig({}, /*createConfig=*/true);
    rig.F().OutputBtn->Click();
    rig.out.Plan.FailNext(op, 1);
    // Switching off resets, unprepares, closes; a restart (new waveform) also reopens.
    (op == "reset" || op == "unprepare" || op == "close" ? rig.F().OutputBtn : rig.F().WaveformBtn)
        ->Click();
    EXPECT_TRUE(rig.platform.Terminated() &&
                rig.MessageLog().starts_with("[Wave Device Message] " + message))
        << op << ": " << rig.MessageLog();
    // A device that failed while playing is switched off; one not opened only ends the program.
    EXPECT_TRUE(op == "query" || op == "open" || rig.S().OutputPlaying == 0) << op;
    EXPECT_EQ(std::filesystem::file_size(rig.dir.File("Zorvane.cfg")), 0u) << op;
  }
  Rig rig;  // a device that fails every call
  rig.F().OutputBtn->Click();
  for (const auto& fault : kFaults) rig.out.Plan.FailAlways(fault.first, 1);
  rig.F().WaveformBtn->Click();
  EXPECT_TRUE(rig.platform.Terminated() && rig.platform.Messages.size() < 20);
}

TEST(OutputFaults, FailingFormatQueryAtStartUpStillTriesTheRealOpen) {
  HeadlessPlatform platform;
  LoopbackCable cable(platform);
  FaultyWaveOut out(cable.Out());
  FaultyWaveIn in(cable.In());
  out.Plan.FailNext("query", WAVERR_BADFORMAT);
  TempDir dir;
  TZorvaneForm form(platform, out, in, dir.Path());
  EXPECT_EQ(out.Plan.Log.at(0) + ", " + out.Plan.Log.at(1), "query, open");
  ASSERT_EQ(platform.Messages.size(), 1u);
  EXPECT_EQ(platform.Messages[0].Text, kFaults[0].second);
  // The program ends, but construction runs to its end all the same.
  EXPECT_TRUE(platform.Terminated() && form.S.Constructing == 0 &&
              form.DisplayBitmap.Width() == 513);
}
