// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "app/configuration.h"
#include "support/test_support.h"

using namespace zorvane;
using namespace zorvane::testing;
using StartUp = InstrumentTest;

TEST_F(StartUp, DefaultsWithoutASettingsFileAndDesignTimeCheckMarks) {
  const AppState& s = rig.S();
  EXPECT_TRUE(s.ConfigPath.empty());
  EXPECT_EQ(s.Constructing, 0);
  // Values derived from the defaults by the constructor's steps.
  EXPECT_EQ(s.CaptureBufferBytes, 2176);
  EXPECT_EQ(s.SavedBoardFormat.BufferBytes, 2176);
  EXPECT_EQ(s.CaptureBytesPerSecond, 88200);
  EXPECT_FLOAT_EQ(s.InputGain, 10.0f);
  EXPECT_NEAR(s.WindowTable[512], 1.0f, 1e-6f);  // Blackman for the start-up size
  // The output device was opened idle: nothing is playing.
  EXPECT_EQ(rig.out.Plan.Log, (std::vector<std::string>{"query", "open"}));
  EXPECT_FALSE(rig.cable.OutputPlaying());
  EXPECT_TRUE(rig.platform.Messages.empty());
  // Check marks of the defaults.
  for (const char* checked : {"N512", "Off2", "SoundBoard1", "Frequency1", "N10241", "N441001"})
    EXPECT_TRUE(f.Find(checked)->Checked()) << checked;
}

TEST_F(StartUp, WindowIs786WideAndTheResizeRuleKeepsItSoOverAnEmptyGraticule) {
  Control* w = rig.F().Self;
  EXPECT_EQ(w->Width(), 786);
  EXPECT_NEAR(rig.F().BasePanel->Width(), 449 * 786 / 632, 1) << "controls scaled with it";
  w->SetBounds(0, 0, 500, 100);
  rig.F().FormResize();
  EXPECT_TRUE(w->Width() == 786 && w->Height() == 165) << w->Width() << "x" << w->Height();
  w->SetBounds(0, 0, 900, 600);
  rig.F().FormResize();
  EXPECT_TRUE(w->Width() == 900 && w->Height() == 600);
  const Bitmap& b = rig.F().DisplayBitmap;
  EXPECT_EQ(b.Pixel(1, 200), colors::Teal);
  EXPECT_EQ(b.Pixel(511, 20), colors::Black) << "line end point not painted";
  EXPECT_EQ(b.Pixel(512, 100), colors::Teal);
  EXPECT_EQ(b.Pixel(32, 10), colors::Black);
}

TEST(Shutdown, EveryWayOutWritesTheSettingsFile) {
  for (int way = 0; way < 3; ++way) {
    Rig rig({}, /*createConfig=*/true);
    ASSERT_EQ(rig.S().ConfigPath, rig.ConfigFile());
    rig.S().AverageCount = 8;
    rig.F().Mkr2ScrollBar->SetPosition(77);
    Bytes expected(kConfigurationBytes);
    rig.F().ConfigurationBytes(expected.data());
    if (way == 0)
      rig.F().QuitBtn->Click();
    else if (way == 1)
      rig.F().Find("Exit1")->Click();
    else
      rig.F().FormClose();
    EXPECT_TRUE(rig.platform.Terminated());
    const Bytes d = ReadFile(rig.ConfigFile());
    EXPECT_EQ(d, expected) << way;
    EXPECT_EQ(Field(d, 21), 77) << "marker 2's position from its scroll bar";
    EXPECT_EQ(Field(d, 26), 8);
    EXPECT_EQ(Field(d, 49), 1) << "corrected rates are never stored in force";
  }
}

TEST(Shutdown, ClosingWhilePlayingStopsTheSoundAndClosesTheDevice) {
  Rig rig({}, /*createConfig=*/true);
  rig.F().OutputBtn->Click();
  ASSERT_TRUE(rig.cable.OutputPlaying());
  const size_t before = rig.out.Plan.Log.size();
  rig.F().FormClose();
  EXPECT_FALSE(rig.cable.OutputPlaying());
  EXPECT_EQ(rig.S().OutputOn, 0);
  EXPECT_EQ(rig.S().OutputPlaying, 0);
  // Switched off, then the device cycled open and closed once more.
  const std::vector<std::string> tail(rig.out.Plan.Log.begin() + static_cast<long>(before),
                                      rig.out.Plan.Log.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"reset", "unprepare", "close", "query", "open", "reset",
                                            "unprepare", "close"}));
  EXPECT_EQ(std::filesystem::file_size(rig.ConfigFile()), 196u);
  EXPECT_TRUE(rig.platform.Messages.empty());
}

TEST(Shutdown, QuittingWhileTheAnalyzerRunsReleasesTheInputBeforeItsBuffers) {
  Rig rig({}, /*createConfig=*/true);
  rig.At(300, [&] { rig.F().QuitBtn->Click(); });
  rig.F().StartBtn->Click();
  // The loop saw the request and returned; the device is still recording
  // until the window goes.
  EXPECT_TRUE(rig.platform.Terminated());
  EXPECT_GT(std::filesystem::file_size(rig.ConfigFile()), 0u);
  EXPECT_TRUE(rig.cable.InputOpen());
  rig.in.Plan.Log.clear();
  rig.form.reset();
  EXPECT_FALSE(rig.cable.InputOpen());
  EXPECT_EQ(rig.in.Plan.Log,
            (std::vector<std::string>{"reset", "unprepare", "unprepare", "close"}));
  EXPECT_TRUE(rig.platform.Messages.empty()) << rig.MessageLog();
}

TEST(Shutdown, HelpFileIsFoundInTheSettingsFolder) {
  TempDir dir;
  { std::ofstream(dir.File("ZorvaneHelp.chm")) << "help"; }
  Rig rig({}, false, dir.Path());
  EXPECT_EQ(rig.S().HelpPath, dir.File("ZorvaneHelp.chm"));
  EXPECT_TRUE(rig.S().ConfigPath.empty());
}
