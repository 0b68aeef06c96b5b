// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/script.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "export/Basepanel2.h"
#include "platform/image_files.h"
#include "support/test_support.h"

using namespace zorvane;
using namespace zorvane::testing;

namespace {

struct Scripted {
  Rig rig;
  std::vector<std::string> out, err;
  ScriptRunner runner{rig.F(), rig.platform, [this](const std::string& l) { out.push_back(l); },
                      [this](const std::string& l) { err.push_back(l); }};
  Scripted() {
    rig.platform.Output = [this](const std::string& l) { out.push_back(l); };
  }
  int Run(const std::string& text) {
    std::istringstream in(text);
    return runner.Run(in);
  }
};

}  // namespace

TEST(Script, BadLinesAreReportedAndTheRestStillRuns) {
  Scripted s;
  const int errors = s.Run(
      "click NoSuchButton\n"
      "set OutputBtn 3\n"
      "set FreqScrollBar lots\n"
      "get OutputBtn.Flavour\n"
      "state NoSuchField\n"
      "wait -5\n"
      "mouse sideways SpectrumBox left 1 2\n"
      "frobnicate\n"
      "   # only a comment\n"
      "\n"
      "get OutputBtn.Caption  # trailing comment\n");
  EXPECT_EQ(errors, 8);
  ASSERT_EQ(s.err.size(), 8u);
  EXPECT_EQ(s.err[0], "error: line 1: no control named NoSuchButton");
  EXPECT_EQ(s.err[7], "error: line 8: unknown command frobnicate");
  EXPECT_EQ(s.out, (std::vector<std::string>{"OutputBtn.Caption = OFF"}));
}

TEST(Script, WaitLetsVirtualTimePassAndTimersFire) {
  Scripted s;
  const int64_t start = s.rig.platform.NowUs();
  s.rig.F().ChartTimer->SetEnabled(false);
  int fired = 0;
  s.rig.F().TimeoutTimer->OnTimer = [&] { ++fired; };
  s.Run("clock\nwait 1000\nstate SampleRate\nclock\n");
  EXPECT_EQ(s.rig.platform.NowUs() - start, 1000 * 1000);
  ASSERT_EQ(s.out.size(), 3u);
  EXPECT_EQ(std::stoll(s.out[2].substr(8)) - std::stoll(s.out[0].substr(8)), 1000) << s.out[2];
  // The 350 ms time-out timer fired twice in a second.
  EXPECT_EQ(fired, 2);
  EXPECT_EQ(s.out[1], "SampleRate = 44100");
}

TEST(Script, SetsClampNamesNestAndTheEndStopsWhatRunsAndWhatFollows) {
  Scripted s;
  s.Run(
      "set Mkr3ScrollBar 700\nget Mkr3ScrollBar.Position\nstate SavedBoardFormat.BufferBytes\n"
      "get BasePanel.Color\n");
  EXPECT_EQ(s.out, (std::vector<std::string>{"Mkr3ScrollBar.Position = 512",
                                             "SavedBoardFormat.BufferBytes = 2176",
                                             "BasePanel.Color = 0x0000FFFF"}));
  // START runs the acquisition loop inside its click; the commands that
  // follow arrive through its message pumping, and the end stops it.
  s.out.clear();
  s.Run("click StartBtn\nwait 500\nstate AnalyzerActive\n");
  EXPECT_EQ(s.out, (std::vector<std::string>{"AnalyzerActive = 1"}));
  EXPECT_EQ(s.rig.S().AnalyzerActive, 0);
  EXPECT_EQ(s.rig.F().StartBtn->Caption(), "START");
  // Nothing runs after quit.
  s.out.clear();
  s.Run("quit\nget OutputBtn.Caption\n");
  EXPECT_EQ(s.out, (std::vector<std::string>{"terminated"}));
}

TEST(Script, PixelRefusesPointsOutsideThePlotAndMalformedLines) {
  Scripted s;
  EXPECT_EQ(s.Run("pixel 513 0\npixel 0 -1\npixel 4\npixel 1 2 3\npixel 512 202\n"), 4);
  ASSERT_EQ(s.err.size(), 4u);
  EXPECT_EQ(s.err[1], "error: line 2: pixel outside the plot: 0 -1");
  EXPECT_EQ(s.err[3], "error: line 4: pixel X Y");
  ASSERT_EQ(s.out.size(), 1u) << "the far corner is inside";
}

TEST(Script, WaitsAboveOneDayAreRefusedWithoutLettingTimePass) {
  Scripted s;
  const int64_t start = s.rig.platform.NowUs();
  EXPECT_EQ(s.Run("wait 9223372036854775807\nwait 99999999999999999999\nwait 999999999999\n"
                  "wait 86400001\nwait -9223372036854775808\nstate SampleRate\n"),
            5);
  ASSERT_EQ(s.err.size(), 5u);
  EXPECT_EQ(s.err[0], "error: line 1: wait at most 86400000 ms (one day)");
  EXPECT_EQ(s.err[3], "error: line 4: wait at most 86400000 ms (one day)");
  EXPECT_EQ(s.err[4], "error: line 5: wait MS");
  EXPECT_EQ(s.rig.platform.NowUs(), start);
  EXPECT_EQ(s.out, (std::vector<std::string>{"SampleRate = 44100"}));
}

TEST(Script, StateReadsArrayElementsWithinTheirBounds) {
  Scripted s;
  s.rig.S().TracePixels[8192] = -7;
  s.rig.S().DisplayValues[3] = 1.5f;
  s.rig.S().SweepCalCorrection[17] = 4;
  EXPECT_EQ(s.Run("state TracePixels[8192]\nstate DisplayValues[3]\nstate SweepCalCorrection[17]\n"
                  "state TracePixels[8193]\nstate SweepTracePixels[99999999]\n"
                  "state DisplayValues[-1]\nstate DisplayValues[]\nstate Nothing[2]\n"),
            5);
  EXPECT_EQ(s.out, (std::vector<std::string>{"TracePixels[8192] = -7", "DisplayValues[3] = 1.5",
                                             "SweepCalCorrection[17] = 4"}));
  EXPECT_EQ(s.err[0], "error: line 4: index outside TracePixels[0..8192]: 8193");
  EXPECT_EQ(s.err[4], "error: line 8: no state array named Nothing");
}

TEST(Script, ExportsTakeTheirFileFromDialogAndCopiesAreSavedFromTheClipboard) {
  Scripted s;
  const std::string d = s.rig.dir.Path() + "/";
  std::string script =
      "clipboard @early.bmp\nclick StartBtn\nwait 500\ndialog @plot.bmp\nclick SaveBitmap1\n"
      "get StartBtn.Caption\nclick CopyGraphic1\nclipboard @graphic.bmp\ndialog @page.bmp\n"
      "click Print1\ndialog cancel\nclick SaveForm1\n";
  for (size_t at; (at = script.find('@')) != std::string::npos;) script.replace(at, 1, d);
  EXPECT_EQ(s.Run(script), 1);
  EXPECT_EQ(s.err, std::vector<std::string>{"error: line 1: the clipboard holds no image"});
  EXPECT_EQ(s.out, std::vector<std::string>{"StartBtn.Caption = START"});
  const auto plot = LoadBmpFile(d + "plot.bmp"), graphic = LoadBmpFile(d + "graphic.bmp");
  ASSERT_TRUE(plot && graphic && LoadBmpFile(d + "page.bmp"));
  EXPECT_EQ(plot->Pixels(), s.rig.F().DisplayBitmap.Pixels());
  EXPECT_EQ(graphic->Pixels(), s.rig.F().BaseForm->FormImage().Pixels());
}
