// The device worker: a call that returns in time gives its result, one that
// blocks is given up within its limit and leaves every later call refused at
// once, and watched streams are looked at while the worker idles.
#include "platform/portaudio/pa_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace zorvane::pa;
using std::chrono::milliseconds;

namespace {

std::atomic<bool> released{false};

PaError Opens(Job& job) {
  job.Stream = &job;  // what an open leaves in the job comes back
  return paNoError;
}

PaError Blocks(Job&) {
  while (!released.load()) std::this_thread::sleep_for(milliseconds(1));
  return paInternalError;
}

struct Counter : Worker::Watched {
  std::atomic<int> checks{0};
  void Check(Clock::time_point) override { ++checks; }
};

double SecondsSince(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

}  // namespace

TEST(DeviceWorker, ABlockedCallIsGivenUpWithinItsLimitAndLaterCallsFailAtOnce) {
  Worker worker;
  Counter watched;
  worker.Watch(&watched);
  Job job;
  job.Call = Opens;
  PaError result = paInternalError;
  ASSERT_TRUE(worker.Run(job, result, milliseconds(1000)));
  EXPECT_TRUE(result == paNoError && job.Stream != nullptr);

  std::this_thread::sleep_for(Worker::kWatchPeriod * 4);
  const int seen = watched.checks.load();
  EXPECT_GE(seen, 2);
  worker.Unwatch(&watched);
  std::this_thread::sleep_for(Worker::kWatchPeriod * 3);
  EXPECT_EQ(watched.checks.load(), seen);

  job.Call = Blocks;
  auto start = Clock::now();
  EXPECT_FALSE(worker.Run(job, result, milliseconds(200)));
  EXPECT_LT(SecondsSince(start), 1.0);
  EXPECT_TRUE(worker.Stuck());
  job.Call = Opens;
  start = Clock::now();
  EXPECT_FALSE(worker.Run(job, result, milliseconds(1000)));
  EXPECT_LT(SecondsSince(start), 0.1);
  released = true;  // the stuck call ends, and the worker's thread with it
}
