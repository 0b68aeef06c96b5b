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
std::string Look(Control* c) { return c->Caption() + "/" + std::to_string(c->FontColor()); }
std::string Look(const char* caption, Color c) { return caption + ("/" + std::to_string(c)); }

}  // namespace

TEST(OutputSwitch, OnPlaysOneLoopingHeaderAndOffResetsUnpreparesCloses) {
  Rig rig;
  EXPECT_EQ(CallsOf(rig, rig.F().OutputBtn), (Calls{"query", "open", "prepare", "write"}));
  constexpr uint32_t kLoop = WHDR_BEGINLOOP | WHDR_ENDLOOP;
  EXPECT_EQ(std::pair(rig.out.LastWriteFlags & kLoop, rig.out.LastWriteLoops),
            std::pair(kLoop, 0xFFFFFFFFu));
  EXPECT_EQ(rig.out.LastWriteLength, rig.S().OutputLoopBytes);
  EXPECT_EQ(Look(rig.F().OutputBtn), Look("ON", colors::Red));
  EXPECT_TRUE(rig.cable.OutputPlaying() && rig.S().OutputOn == 1 && rig.S().OutputPlaying == 1);

  EXPECT_EQ(CallsOf(rig, rig.F().OutputBtn), (Calls{"reset", "unprepare", "close"}));
  EXPECT_EQ(Look(rig.F().OutputBtn), Look("OFF", colors::Blue));
  EXPECT_FALSE(rig.cable.OutputPlaying() || rig.S().OutputOn);
  EXPECT_TRUE(rig.platform.Messages.empty());
}

TEST(OutputSwitch, RefusedInSweepModeOrDuringASweep) {
  for (int32_t AppState::*sweep : {&AppState::SweepMode, &AppState::SweepRunning}) {
    Rig rig;
    rig.S().*sweep = 1;
    EXPECT_EQ(CallsOf(rig, rig.F().OutputBtn), Calls{});
    EXPECT_EQ(
        rig.MessageLog(),
        "[Freq Mode Error] Freq Mode must be in 'Fixed' mode to generate audio with this button");
    EXPECT_TRUE(rig.S().OutputOn == 0 && rig.F().OutputBtn->Caption() == "OFF");
  }
}

TEST(Waveform, FourPressesCycleBackToSineAndEachRestartsAPlayingOutput) {
  Rig rig;
  const std::string cycle[] = {Look("SQUARE", colors::Red), Look("TRIANGLE", colors::Fuchsia),
                               Look("NOISE", colors::Green), Look("SINE", colors::Blue)};
  const Calls restart = {"reset", "unprepare", "close", "query", "open", "prepare", "write"};
  int16_t square = 0;
  // Off, a press only changes the state; on, it restarts the device with the new loop.
  for (int i = 0; i < 8; ++i) {
    if (i == 4) rig.F().OutputBtn->Click();
    EXPECT_EQ(CallsOf(rig, rig.F().WaveformBtn), i < 4 ? Calls{} : restart);
    EXPECT_EQ(Look(rig.F().WaveformBtn), cycle[i % 4]);
    EXPECT_EQ(rig.S().Waveform, (i + 1) % 4);
    EXPECT_EQ(rig.cable.PlayingLoopBytes(), i < 4 ? 0u : rig.S().OutputLoopBytes);
    if (i == 4) square = reinterpret_cast<const int16_t*>(rig.cable.PlayingData())[10];
  }
  EXPECT_EQ(std::abs(square), 32767);  // full scale: the square reached the device
  // A value out of range keeps its caption.
  rig.S().Waveform = 7;
  rig.F().WaveformBtnClick();
  EXPECT_EQ(rig.S().Waveform, 7);
  EXPECT_EQ(rig.F().WaveformBtn->Caption(), "SINE");
}

// Every output failure: its message and title, the program's end without saving the settings.
using OutputFault = std::pair<const char*, const char*>;  // the call and its message
class OutputFaults : public ::testing::TestWithParam<OutputFault> {};

TEST_P(OutputFaults, ShowsItsMessageStopsAndEndsWithoutSaving) {
  const std::string op = GetParam().first;
  Rig rig({}, /*createConfig=*/true);
  rig.F().OutputBtn->Click();
  ASSERT_FALSE(rig.platform.Terminated());
  rig.out.Plan.FailNext(op, 1);
  // Switching off resets, unprepares, closes; a restart (new waveform) also reopens.
  (op == "reset" || op == "unprepare" || op == "close" ? rig.F().OutputBtn : rig.F().WaveformBtn)
      ->Click();
  const std::string first = "[Wave Device Message] " + std::string(GetParam().second);
  EXPECT_EQ(rig.MessageLog().substr(0, first.size()), first);
  EXPECT_TRUE(rig.platform.Terminated());
  // A device that failed while playing is switched off; one that could not
  // be opened only ends the program.
  EXPECT_TRUE(op == "query" || op == "open" || rig.S().OutputPlaying == 0);
  EXPECT_EQ(std::filesystem::file_size(rig.dir.File("Zorvane.cfg")), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    EveryCode, OutputFaults,
    ::testing::Values(OutputFault{"query", "Could not handle the output WAVE format"},
                      OutputFault{"open", "Error Opening Output wave device"},
                      OutputFault{"prepare", "Error preparing the header"},
                      OutputFault{"write", "Error writing to the output device"},
                      OutputFault{"reset", "Error Resetting the output wave device"},
                      OutputFault{"unprepare", "Error unpreparing the _a Header"},
                      OutputFault{"close", "Error closing the output wave device"}));

TEST(OutputFaults, FailingFormatQueryAtStartUpStillTriesTheRealOpen) {
  HeadlessPlatform platform;
  LoopbackCable cable(platform);
  FaultyWaveOut out(cable.Out());
  FaultyWaveIn in(cable.In());
  out.Plan.FailNext("query", WAVERR_BADFORMAT);
  TempDir dir;
  TZorvaneForm form(platform, out, in, dir.Path());
  EXPECT_EQ(out.Plan.Log.at(0) + ", " + out.Plan.Log.at(1), "query, open");
  EXPECT_EQ(platform.Messages.size(), 1u);
  EXPECT_EQ(platform.Messages.at(0).Text, "Could not handle the output WAVE format");
  EXPECT_TRUE(platform.Terminated());
  // Construction ran to its end all the same.
  EXPECT_EQ(form.S.Constructing, 0);
  EXPECT_EQ(form.DisplayBitmap.Width(), 513);
}

TEST(OutputFaults, ADeviceThatFailsEverythingCannotLoopForever) {
  Rig rig;
  rig.F().OutputBtn->Click();
  for (const char* op : {"query", "open", "prepare", "write", "reset", "unprepare", "close"})
    rig.out.Plan.FailAlways(op, 1);
  rig.F().WaveformBtn->Click();
  EXPECT_TRUE(rig.platform.Terminated());
  EXPECT_LT(rig.platform.Messages.size(), 20u);
}
