// SPDX-License-Identifier: GPL-3.0-or-later
// The device worker: a call that returns in time gives its result, one that
// blocks is given up within its limit and leaves every later call refused at
// once, and watched streams are looked at while the worker idles.
#include "platform/portaudio/pa_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace zorvane::pa;
using std::chrono::milliseconds;

namespace {

std::atomic<bool> released{false};
PaError Opens(Job& job) { return job.Stream = &released, paNoError; }
PaError Blocks(Job&) {
  while (!released) std::this_thread::sleep_for(milliseconds(1));
  return paInternalError;
}
struct Counter : Worker::Watched {
  std::atomic<int> checks{0};
  void Check(Clock::time_point) override { ++checks; }
};

}  // namespace

TEST(DeviceWorker, ABlockedCallIsGivenUpWithinItsLimitAndLaterCallsFailAtOnce) {
  Worker worker;
  Counter watched;
  worker.Watch(&watched);
  Job job{Opens};
  PaError result = paInternalError;
  ASSERT_TRUE(worker.Run(job, result, milliseconds(1000)));
  EXPECT_TRUE(result == paNoError && job.Stream == &released);  // what the call left in its copy
  std::this_thread::sleep_for(Worker::kWatchPeriod * 4);
  worker.Unwatch(&watched);
  const int seen = watched.checks;
  EXPECT_GE(seen, 2);
  std::this_thread::sleep_for(Worker::kWatchPeriod * 3);
  EXPECT_EQ(watched.checks, seen);

  for (auto call : {Blocks, Opens}) {  // the second is refused without waiting
    job.Call = call;
    const auto start = Clock::now();
    EXPECT_FALSE(worker.Run(job, result, milliseconds(call == Blocks ? 200 : 1000)));
    EXPECT_LT(Clock::now() - start, milliseconds(call == Blocks ? 900 : 100));
    EXPECT_TRUE(worker.Stuck());
  }
  released = true;  // the stuck call ends, and the worker's thread with it
}
