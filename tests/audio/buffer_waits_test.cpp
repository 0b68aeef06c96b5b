// The two buffer waits: a buffer that is already done costs nothing, and the
// time-out flag makes the wait for buffer A give up after one pass with the
// device reset and restarted. Buffer B has no time-out.
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
  EXPECT_EQ(rig.platform.NowUs() - before, 1000);  // one pass: one sleep of 1 ms
  EXPECT_EQ(rig.in.Plan.Log, (std::vector<std::string>{"reset", "start"}));
  // The reset handed the buffer back.
  EXPECT_TRUE(rig.S().CaptureHeaderA.Done());
  EXPECT_TRUE(rig.platform.Messages.empty()) << rig.MessageLog();
}

TEST(BufferWaits, WaitingForAPollsInMillisecondStepsUntilTheBufferIsFull) {
  Rig rig;
  OpenWithBufferAQueued(rig);
  const int64_t before = rig.platform.NowUs();
  const uint32_t bytes = rig.F().WaitBufferA();
  EXPECT_EQ(bytes, rig.S().CaptureBufferBytes);
  // The buffer lasts its duration at the capture rate; the wait ends within
  // a millisecond of it being filled.
  const double duration = rig.S().CaptureBufferBytes / 2.0 / rig.S().SampleRate * 1e6;
  EXPECT_NEAR(static_cast<double>(rig.platform.NowUs() - before), duration, 1000.0);
  EXPECT_EQ(std::count(rig.in.Plan.Log.begin(), rig.in.Plan.Log.end(), "reset"), 0);
}
