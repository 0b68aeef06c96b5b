// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/test_support.h"

using namespace zorvane;
using namespace zorvane::testing;

// Every input failure: its message and title, the analyzer and a playing
// output stopped, and the program ended without saving the settings.
TEST(InputFaults, EachShowsItsMessageStopsEverythingAndEnds) {
  struct {
    const char* op;
    int skip;  // calls of that operation let through first
    const char* message;
    bool duringStop;  // the fault hits the shutdown of a STOP
  } const faults[] = {{"query", 0, "Could not open the input wave device", false},
                      {"open", 0, "Error Opening Input wave device", false},
                      {"prepare", 0, "Error preparing the header_a", false},
                      {"add", 0, "Error in sending a buffer_a", false},
                      {"prepare", 1, "Error preparing the header_b", false},
                      {"add", 1, "Error in sending a buffer_b", false},
                      {"start", 0, "Error starting the input wave device", false},
                      {"position", 0, "Error getting the byte position", false},
                      {"reset", 0, "Error Resetting the input wave device", false},
                      {"unprepare", 0, "Error unpreparing the Header a", false},
                      {"unprepare", 1, "Error unpreparing the Header b", false},
                      {"reset", 0, "Error Resetting the input wave device", true},
                      {"unprepare", 0, "Error unpreparing the _a Header", true},
                      {"unprepare", 1, "Error unpreparing the _b Header", true},
                      {"close", 0, "Error closing the input wave device", true}};
  for (const auto& fault : faults) {
    SCOPED_TRACE(std::string(fault.duringStop ? "stop: " : "run: ") + fault.message);
    Rig rig({}, /*createConfig=*/true);
    rig.F().OutputBtnClick();
    const std::string op = fault.op;
    if (fault.duringStop) {
      rig.At(300, [&] {
        rig.in.Plan.FailNext(op, 1, fault.skip);
        rig.F().StopBtn->Click();
      });
    } else {
      rig.in.Plan.FailNext(op, 1, fault.skip);
      // Only a timed-out wait resets outside a shutdown: stall the input.
      if (op == "reset") rig.At(150, [&] { rig.cable.SetInputStalled(true); });
      rig.At(2000, [&] { rig.F().StopBtn->Click(); });
    }
    rig.F().StartBtn->Click();
    ASSERT_FALSE(rig.platform.Messages.empty());
    EXPECT_EQ(rig.platform.Messages.front().Text, fault.message);
    EXPECT_EQ(rig.platform.Messages.front().Title, "Wave Device Message");
    EXPECT_TRUE(rig.platform.Terminated());
    // The loop has ended (a fault while opening lets the cycle set its running
    // flag after the stop, but no block follows and the program ends).
    EXPECT_EQ(rig.S().AnalyzerStopRequested, 1);
    EXPECT_EQ(rig.F().StartBtn->Caption(), "START");
    EXPECT_TRUE(rig.S().OutputPlaying == 0 && !rig.cable.OutputPlaying());
    EXPECT_EQ(std::filesystem::file_size(rig.ConfigFile()), 0u);
    // A refused format query still tries the real open.
    EXPECT_TRUE(op != "query" || rig.in.Plan.Log.at(1) == "open");
  }
}

TEST(InputFaults, AShutdownStepThatFailsStillRunsTheOthers) {
  Rig rig;
  rig.At(200, [&] {
    for (const char* op : {"reset", "unprepare", "close"}) rig.in.Plan.FailAlways(op, 1);
    rig.F().StopBtn->Click();
  });
  rig.F().StartBtn->Click();
  // Each of the four steps reported its own failure, in order (the failure
  // routine's own close attempts come in between), and the close that the
  // failure routine adds could not run the shutdown a second time.
  const char* steps[] = {"Error Resetting the input wave device", "Error unpreparing the _a Header",
                         "Error unpreparing the _b Header", "Error closing the input wave device"};
  size_t next = 0;
  for (const auto& m : rig.platform.Messages) {
    EXPECT_EQ(m.Title, "Wave Device Message");
    if (next < 4 && m.Text == steps[next]) ++next;
  }
  EXPECT_EQ(next, 4u) << rig.MessageLog();
  EXPECT_LT(rig.platform.Messages.size(), 12u);
  EXPECT_TRUE(rig.platform.Terminated());
}
