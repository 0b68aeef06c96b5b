#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

using namespace zorvane;
using namespace zorvane::testing;

namespace {

std::vector<std::string> Since(const std::vector<std::string>& log, size_t from) {
  return std::vector<std::string>(log.begin() + static_cast<long>(from), log.end());
}
using Calls = std::vector<std::string>;

}  // namespace

TEST(OutputSwitch, OnPlaysOneLoopingHeaderAndOffResetsUnpreparesCloses) {
  Rig rig;
  const size_t before = rig.out.Plan.Log.size();
  rig.F().OutputBtn->Click();
  EXPECT_EQ(Since(rig.out.Plan.Log, before), (Calls{"query", "open", "prepare", "write"}));
  EXPECT_EQ(rig.out.Writes, 1);
  EXPECT_EQ(rig.out.LastWriteFlags & (WHDR_BEGINLOOP | WHDR_ENDLOOP),
            WHDR_BEGINLOOP | WHDR_ENDLOOP);
  EXPECT_EQ(rig.out.LastWriteLoops, 0xFFFFFFFFu);
  EXPECT_EQ(rig.out.LastWriteLength, rig.S().OutputLoopBytes);
  EXPECT_EQ(rig.F().OutputBtn->Caption(), "ON");
  EXPECT_EQ(rig.F().OutputBtn->FontColor(), colors::Red);
  EXPECT_TRUE(rig.cable.OutputPlaying());
  EXPECT_EQ(rig.S().OutputOn, 1);
  EXPECT_EQ(rig.S().OutputPlaying, 1);

  const size_t on = rig.out.Plan.Log.size();
  rig.F().OutputBtn->Click();
  EXPECT_EQ(Since(rig.out.Plan.Log, on), (Calls{"reset", "unprepare", "close"}));
  EXPECT_EQ(rig.F().OutputBtn->Caption(), "OFF");
  EXPECT_EQ(rig.F().OutputBtn->FontColor(), colors::Blue);
  EXPECT_FALSE(rig.cable.OutputPlaying());
  EXPECT_EQ(rig.S().OutputOn, 0);
  EXPECT_TRUE(rig.platform.Messages.empty());
}

TEST(OutputSwitch, RefusedInSweepModeOrDuringASweep) {
  for (int which = 0; which < 2; ++which) {
    Rig rig;
    if (which == 0)
      rig.S().SweepMode = 1;
    else
      rig.S().SweepRunning = 1;
    const size_t before = rig.out.Plan.Log.size();
    rig.F().OutputBtnClick();
    EXPECT_EQ(
        rig.MessageLog(),
        "[Freq Mode Error] Freq Mode must be in 'Fixed' mode to generate audio with this button");
    EXPECT_EQ(rig.out.Plan.Log.size(), before);
    EXPECT_EQ(rig.S().OutputOn, 0);
    EXPECT_EQ(rig.F().OutputBtn->Caption(), "OFF");
  }
}

TEST(Waveform, FourPressesCycleBackToSineAndEachRestartsAPlayingOutput) {
  Rig rig;
  const std::pair<const char*, Color> cycle[] = {{"SQUARE", colors::Red},
                                                 {"TRIANGLE", colors::Fuchsia},
                                                 {"NOISE", colors::Green},
                                                 {"SINE", colors::Blue}};
  // Off: only the state changes.
  const size_t idle = rig.out.Plan.Log.size();
  for (int i = 0; i < 4; ++i) {
    rig.F().WaveformBtn->Click();
    EXPECT_EQ(rig.F().WaveformBtn->Caption(), cycle[i].first);
    EXPECT_EQ(rig.F().WaveformBtn->FontColor(), cycle[i].second);
    EXPECT_EQ(rig.S().Waveform, (i + 1) % 4);
  }
  EXPECT_EQ(rig.out.Plan.Log.size(), idle);

  rig.F().OutputBtn->Click();
  for (int i = 0; i < 4; ++i) {
    const size_t before = rig.out.Plan.Log.size();
    rig.F().WaveformBtn->Click();
    EXPECT_EQ(Since(rig.out.Plan.Log, before),
              (Calls{"reset", "unprepare", "close", "query", "open", "prepare", "write"}));
    // What the device plays is the new waveform's loop.
    EXPECT_EQ(rig.cable.PlayingLoopBytes(), rig.S().OutputLoopBytes);
    if (rig.S().Waveform == 3) {
      EXPECT_EQ(rig.cable.PlayingLoopBytes(), 45312u);
    }
    if (rig.S().Waveform == 1) {
      const uint8_t* p = rig.cable.PlayingData();
      const int16_t s = static_cast<int16_t>(p[20] | (p[21] << 8));
      EXPECT_EQ(std::abs(s), 32767);
    }
  }
  EXPECT_EQ(rig.S().Waveform, 0);
}

TEST(Waveform, OutOfRangeValueKeepsItsCaption) {
  Rig rig;
  rig.S().Waveform = 7;
  rig.F().WaveformBtnClick();
  EXPECT_EQ(rig.S().Waveform, 7);
  EXPECT_EQ(rig.F().WaveformBtn->Caption(), "SINE");
}

// Every output failure: its message, its title, and the program's end
// without the settings file being written.
struct OutputFault {
  const char* op;
  int skip;  // calls of that operation to let through first
  const char* message;
  bool whileSwitchingOff;
};

class OutputFaults : public ::testing::TestWithParam<OutputFault> {};

TEST_P(OutputFaults, ShowsItsMessageStopsAndEndsWithoutSaving) {
  const OutputFault fault = GetParam();
  Rig rig({}, /*createConfig=*/true);
  rig.F().OutputBtn->Click();
  ASSERT_FALSE(rig.platform.Terminated());
  rig.out.Plan.FailNext(fault.op, 1, fault.skip);
  if (fault.whileSwitchingOff)
    rig.F().OutputBtn->Click();
  else
    rig.F().WaveformBtn->Click();  // a restart: close, then open, prepare, write
  ASSERT_FALSE(rig.platform.Messages.empty());
  EXPECT_EQ(rig.platform.Messages.front().Text, fault.message);
  EXPECT_EQ(rig.platform.Messages.front().Title, "Wave Device Message");
  EXPECT_TRUE(rig.platform.Terminated());
  // A device that failed while playing is switched off; one that could not
  // be opened only ends the program.
  if (std::string(fault.op) != "query" && std::string(fault.op) != "open") {
    EXPECT_EQ(rig.S().OutputPlaying, 0);
  }
  EXPECT_EQ(std::filesystem::file_size(rig.dir.File("Zorvane.cfg")), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    EveryCode, OutputFaults,
    ::testing::Values(OutputFault{"query", 0, "Could not handle the output WAVE format", false},
                      OutputFault{"open", 0, "Error Opening Output wave device", false},
                      OutputFault{"prepare", 0, "Error preparing the header", false},
                      OutputFault{"write", 0, "Error writing to the output device", false},
                      OutputFault{"reset", 0, "Error Resetting the output wave device", true},
                      OutputFault{"unprepare", 0, "Error unpreparing the _a Header", true},
                      OutputFault{"close", 0, "Error closing the output wave device", true}));

TEST(OutputFaults, FailingFormatQueryAtStartUpStillTriesTheRealOpen) {
  HeadlessPlatform platform;
  LoopbackCable cable(platform);
  FaultyWaveOut out(cable.Out());
  FaultyWaveIn in(cable.In());
  out.Plan.FailNext("query", WAVERR_BADFORMAT);
  TempDir dir;
  TZorvaneForm form(platform, out, in, dir.Path());
  ASSERT_GE(out.Plan.Log.size(), 2u);
  EXPECT_EQ(out.Plan.Log[0], "query");
  EXPECT_EQ(out.Plan.Log[1], "open");
  ASSERT_EQ(platform.Messages.size(), 1u);
  EXPECT_EQ(platform.Messages[0].Text, "Could not handle the output WAVE format");
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
