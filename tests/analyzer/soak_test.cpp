// SPDX-License-Identifier: GPL-3.0-or-later
// An hour of the analyzer running at 44,100 Hz with 1024-point blocks, in
// virtual time: every buffer the device fills is analysed (none is lost for
// want of a queued buffer) and the heap does not grow while it runs.
#include <gtest/gtest.h>
#include <malloc.h>

#include <cmath>
#include <cstdint>

#include "support/test_support.h"

using namespace zorvane;
using namespace zorvane::testing;

namespace {

size_t HeapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

}  // namespace

TEST(Soak, AnHourAtFortyFourKiloHertzLosesNoBlockAndDoesNotGrow) {
  Rig rig;
  rig.in.Plan.Logging = false;
  rig.out.Plan.Logging = false;
  rig.S().FunctionFrequency = 1000.0f;
  rig.S().OutputFrequency = 1000.0f;
  rig.F().OutputBtnClick();
  rig.F().Find("N441001")->Click();
  rig.F().Find("N10241")->Click();

  constexpr int kHourMs = 3600 * 1000;
  size_t heapAfterStart = 0, heapBeforeEnd = 0;
  uint64_t filledAtStart = 0, filledBeforeEnd = 0;
  int64_t startUs = 0, endUs = 0;
  rig.At(1000, [&] {
    heapAfterStart = HeapInUse();
    filledAtStart = rig.cable.BuffersFilled();
    startUs = rig.platform.NowUs();
  });
  rig.At(kHourMs - 1000, [&] {
    heapBeforeEnd = HeapInUse();
    filledBeforeEnd = rig.cable.BuffersFilled();
    endUs = rig.platform.NowUs();
  });
  rig.At(kHourMs, [&] { rig.F().StopBtn->Click(); });
  rig.F().StartBtn->Click();

  EXPECT_TRUE(rig.platform.Messages.empty()) << rig.MessageLog();
  EXPECT_EQ(rig.cable.Overruns(), 0u);
  // The device filled one buffer per buffer duration the whole time.
  const double bufferSeconds = rig.S().CaptureBufferBytes / 2.0 / 44100.0;
  const double expected = (endUs - startUs) / 1e6 / bufferSeconds;
  EXPECT_NEAR(static_cast<double>(filledBeforeEnd - filledAtStart), expected, 2.0);
  EXPECT_GT(expected, 30000.0);
  EXPECT_LE(heapBeforeEnd, heapAfterStart);
  EXPECT_NEAR(rig.S().PeakFrequency, 1000.0, 44100.0 / 1024);
}
