// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "support/test_support.h"

using namespace zorvane;
using namespace zorvane::testing;
using Settings = InstrumentTest;
using SourceRecords = InstrumentTest;

namespace {

std::vector<std::string> Checked(TZorvaneForm& f, const std::vector<const char*>& items) {
  std::vector<std::string> on;
  for (const char* i : items)
    if (f.Find(i)->Checked()) on.push_back(i);
  return on;
}

const std::vector<const char*> kRates = {"N80001", "N110251", "N220501", "N441001", "N480001"};
const std::vector<const char*> kSizes = {"N10241", "N20481", "N40961", "N81921"};

}  // namespace

TEST_F(Settings, MenuGroupsKeepOneCheckMark) {
  const std::pair<const char*, std::vector<const char*>> picks[] = {
      {"N480001", kRates},
      {"N80001", kRates},
      {"N61", {"N21", "N41", "N61", "N81", "N102", "N201", "N401"}},
      {"Left1", {"Mic1", "Left1", "Right1"}},
      {"N750ms2", {"N50ms2", "N100ms2", "N200ms2", "N300ms2", "N500ms2", "N750ms2", "N1000ms2"}},
      {"EOF_OFF", {"EOF_ON", "EOF_OFF"}}};
  for (const auto& [item, group] : picks) {
    f.Find(item)->Click();
    EXPECT_EQ(Checked(f, group), (std::vector<std::string>{item}));
  }
  EXPECT_EQ(rig.S().AverageCount, 6);
  EXPECT_EQ(f.FileTimer->Interval(), 750);
  EXPECT_EQ(rig.S().EofNotify, 0);
}

TEST_F(Settings, BufferLengthFollowsSizeRateAndChannel) {
  // Items clicked in turn: the buffer's length and bytes per second after each.
  const std::tuple<const char*, uint32_t, int> steps[] = {
      {"N20481", 2048 * 2 * 1 * 2, 88200},  // 44100 Hz: factor 2
      {"N80001", 8192, 16000},              // the 8000 item keeps the length
      {"N10241", 2048, 16000},              // 8000 Hz: factor 1
      {"N220501", 4096, 44100},             // 22050 at 1024: factor 2
      {"N480001", 8192, 96000},             // 48000 at 1024: factor 4
      {"N81921", 16384, 96000},
      {"N441001", 16384, 88200},             // large sizes: rate items leave the length alone
      {"Right1", 8192 * 2 * 2, 44100 * 4}};  // channel items: factor 1, stereo
  for (auto [item, bytes, perSecond] : steps) {
    rig.F().Find(item)->Click();
    EXPECT_EQ(rig.S().CaptureBufferBytes, bytes) << item;
    EXPECT_EQ(rig.S().CaptureBytesPerSecond, perSecond) << item;
  }
  EXPECT_EQ(rig.S().CaptureBlockAlign, 4);
  // The capture time-out follows the buffer's length.
  for (const char* item : {"N80001", "Left1"}) rig.F().Find(item)->Click();
  EXPECT_EQ(rig.F().TimeoutTimer->Interval(), 2457);
}

TEST_F(Settings, ChannelRateAndSizeWhileRunningRequestAReopen) {
  for (const char* item : {"Left1", "N20481", "N220501", "N10241"}) {
    const bool running = std::string(item) != "N10241";
    rig.S().AnalyzerActive = running;  // as inside a running cycle, or stopped
    rig.S().CaptureReopenRequested = 0;
    rig.F().Find(item)->Click();
    EXPECT_EQ(rig.S().CaptureReopenRequested, running ? 1 : 0) << item;
    if (std::string(item) == "Left1") {
      EXPECT_EQ(rig.S().CaptureBufferBytes, 4096);
    }
  }
}

TEST_F(Settings, GainTablesOfBothDisplaysAndTheHoldCycle) {
  // The lowest, the unity and the highest step of each display's table.
  Control* bar = rig.F().ProcessGainTrackBar;
  for (auto [p, g] : {std::pair{1, 1e-6f}, {6, 1.0f}, {18, 1e12f}}) {
    bar->SetPosition(p);
    EXPECT_FLOAT_EQ(rig.S().InputGain, g) << p;
  }
  rig.S().DisplayMode = 2;
  for (auto [p, g] : {std::pair{1, 3.90625e-5f}, {18, 5.12f}}) {
    bar->SetPosition(p);
    EXPECT_FLOAT_EQ(rig.S().InputGain, g) << p;
    EXPECT_EQ(rig.S().TimeViewGain, p);
  }
  EXPECT_EQ(rig.S().FreqViewGain, 18) << "each display keeps its own position";
  for (int i = 0; i < 3; ++i) f.NormalBtn->Click();
  EXPECT_EQ(rig.S().HoldMode, 1);
  rig.S().HoldMode = 9;  // outside the cycle: left as it is
  f.NormalBtn->Click();
  EXPECT_EQ(rig.S().HoldMode, 9);
}

TEST_F(SourceRecords, TheSoundCardKeepsItsRateAndSizeAcrossASourceSwitch) {
  f.Find("N220501")->Click();
  f.Find("N20481")->Click();
  f.Find("WaveFile1")->Click();
  EXPECT_EQ(rig.S().InputSource, 2);
  EXPECT_EQ(rig.S().SampleRate, 44100);  // the file record's start-up settings
  EXPECT_EQ(rig.S().TransformSize, 1024);
  f.Find("SoundBoard1")->Click();
  EXPECT_EQ(rig.S().SampleRate, 22050);
  EXPECT_EQ(rig.S().TransformSize, 2048);
  EXPECT_EQ(Checked(f, kRates), (std::vector<std::string>{"N220501"}));
}

TEST_F(SourceRecords, FileHeadersSteerChannelRateAndSampleSize) {
  SourceFormat& file = rig.S().SavedFileFormat;
  // 16-bit stereo with the channel at Mic: the Left item is applied.
  file.Channels = 2;
  file.BlockAlign = 4;
  file.BitsPerSample = 16;
  file.ChannelSelect = 1;
  rig.F().WaveFile1Click();
  EXPECT_EQ(rig.S().ChannelSelect, 2);
  EXPECT_TRUE(rig.F().Find("Left1")->Checked());
  // A rate no item offers is kept, and no rate item is checked.
  file.SampleRate = 16000;
  file.Channels = 1;
  file.BlockAlign = 1;
  file.BitsPerSample = 8;
  rig.F().WaveFile1Click();
  EXPECT_EQ(rig.S().SampleRate, 16000);
  EXPECT_TRUE(Checked(rig.F(), kRates).empty());
  EXPECT_EQ(rig.S().BytesPerSample, 1);
  EXPECT_EQ(rig.S().ChannelSelect, 1);
  EXPECT_EQ(rig.S().CaptureBufferBytes, 1024);
  // The sound card's record was not touched by any of this.
  EXPECT_EQ(rig.S().SavedBoardFormat.SampleRate, 44100);
  EXPECT_EQ(rig.S().SavedBoardFormat.ChannelSelect, 1);
}
