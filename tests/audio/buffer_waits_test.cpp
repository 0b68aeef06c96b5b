// SPDX-License-Identifier: GPL-3.0-or-later
// The two buffer waits: a buffer that is already done costs nothing, the
// time-out flag makes the wait for buffer A give up after one pass with the
// device reset and restarted, and a wait sleeps until the buffer is full
// rather than polling. Buffer B has no time-out.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/test_support.h"

using namespace zorvane;
using namespace zorvane::testing;

namespace {

// Opens the input and queues buffer A, as the cycle does before its first wait.
void OpenWithBufferAQueued(Rig& rig) {
  TZorvaneForm& f = rig.F();
  f.BuildCaptureFormat();
  f.OpenCaptureDevice();
  f.ResetHeaderA();
  f.PrepareHeaderA();
  f.QueueBufferA();
  f.StartCapture();
  ASSERT_TRUE(rig.platform.Messages.empty()) << rig.MessageLog();
  rig.in.Plan.Log.clear();
}

}  // namespace

TEST(BufferWaits, ABufferAlreadyDoneReturnsWithoutSleeping) {
  Rig rig;
  for (WaveHeader* h : {&rig.S().CaptureHeaderA, &rig.S().CaptureHeaderB}) {
    h->Flags = WHDR_DONE;
    h->BytesRecorded = 1234;
  }
  const int64_t before = rig.platform.NowUs();
  EXPECT_EQ(rig.F().WaitBufferA(), 1234u);
  EXPECT_EQ(rig.F().WaitBufferB(), 1234u);
  EXPECT_EQ(rig.platform.NowUs(), before);
  EXPECT_TRUE(rig.in.Plan.Log.empty());
}

TEST(BufferWaits, TheTimeOutFlagEndsTheWaitForAAfterOnePassWithAReset) {
  Rig rig;
  OpenWithBufferAQueued(rig);
  rig.cable.SetInputStalled(true);
  rig.S().AnalyzerStopRequested = 0;  // a run waiting for its buffer
  rig.S().CaptureTimedOut = 1;
  const int64_t before = rig.platform.NowUs();
  rig.F().WaitBufferA();
  EXPECT_EQ(rig.platform.NowUs() - before, 0);  // one pass, no sleep
  EXPECT_EQ(rig.in.Plan.Log, (std::vector<std::string>{"reset", "start"}));
  // The reset handed the buffer back.
  EXPECT_TRUE(rig.S().CaptureHeaderA.Done());
  EXPECT_TRUE(rig.platform.Messages.empty()) << rig.MessageLog();
}

TEST(BufferWaits, AWaitSleepsUntilTheBufferIsFullAndPumpsOnlyForEvents) {
  Rig rig;
  OpenWithBufferAQueued(rig);
  int pumps = 0, clicks = 0;
  auto deliver = rig.platform.DeliverUserEvents;
  rig.platform.DeliverUserEvents = [&] {
    ++pumps;
    deliver();
  };
  rig.F().TimeoutTimer->SetEnabled(false);
  rig.At(7, [&] { ++clicks; });  // a user event in the middle of the wait
  const int64_t before = rig.platform.NowUs();
  const uint32_t bytes = rig.F().WaitBufferA();
  EXPECT_EQ(bytes, rig.S().CaptureBufferBytes);
  // The wait ends when the buffer's last frame has been recorded (within a
  // frame of the cable's input rate of its duration), and it pumps when it
  // starts, when the event is due and a few times as the buffer fills: not
  // every millisecond of the 25 ms it lasts.
  const double duration = rig.S().CaptureBufferBytes / 2.0 / rig.S().SampleRate * 1e6;
  EXPECT_NEAR(static_cast<double>(rig.platform.NowUs() - before), duration, 1e6 / 44100);
  EXPECT_EQ(clicks, 1);
  EXPECT_LE(pumps, 5);
  EXPECT_EQ(std::count(rig.in.Plan.Log.begin(), rig.in.Plan.Log.end(), "reset"), 0);
}
