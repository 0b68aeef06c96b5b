// SPDX-License-Identifier: GPL-3.0-or-later
// The device worker: the one thread on which every PortAudio call that can
// block runs (opening, starting, stopping and closing streams, format
// queries, PortAudio's start and end). The caller waits for each call only
// up to a time limit. A sound server that dies or stops answering can leave
// such a call blocked for ever (ALSA's plug-in waits for a reply that never
// comes); the caller then gives the call up and the worker with it: from
// then on every call fails at once, so the instrument reports a failed
// device instead of hanging. Between calls the worker also looks at the
// streams that should be running (Watched), so that a stream that stops
// delivering is noticed even while nobody calls PortAudio.
//
// Private to the PortAudio backend.
#pragma once

#include <portaudio.h>

#include <chrono>
#include <memory>
#include <thread>

namespace zorvane::pa {

using Clock = std::chrono::steady_clock;

// One blocking call and everything it needs, copied to the worker: a call
// given up keeps working on its own copy, never on the caller's stack.
struct Job {
  PaError (*Call)(Job&) = nullptr;
  PaStream* Stream = nullptr;  // the stream acted on, or the one opened
  bool HasInput = false, HasOutput = false;
  PaStreamParameters Input{}, Output{};
  double Rate = 0.0;
  PaStreamCallback* Callback = nullptr;
  PaStreamFinishedCallback* Finished = nullptr;
  void* User = nullptr;
};

class Worker {
 public:
  // Looked at about every kWatchPeriod between calls, on the worker thread
  // (never while a call runs there); Check must not call Run.
  class Watched {
   public:
    virtual ~Watched() = default;
    virtual void Check(Clock::time_point now) = 0;
  };
  static constexpr std::chrono::milliseconds kWatchPeriod{100};

  Worker();
  // Joins the thread, or leaves a stuck one behind (it ends with the process).
  ~Worker();
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  // Runs job.Call(job) on the worker and waits for it at most `limit`; the
  // job then holds what the call left in it and `result` its result. False
  // when the call did not return in time: the worker is stuck for good, and
  // this and every later Run return false at once. One call at a time.
  bool Run(Job& job, PaError& result, std::chrono::milliseconds limit);
  bool Stuck() const;

  // Adds or removes a watched object; after Unwatch returns, its Check is
  // not running and will not run again.
  void Watch(Watched* watched);
  void Unwatch(Watched* watched);

  // Keeps an object that a stuck call or a stream PortAudio could not stop
  // may still use, until the process ends.
  void Keep(std::shared_ptr<void> object);

 private:
  struct State;
  static void Loop(std::shared_ptr<State> state);
  std::shared_ptr<State> state_;
  std::thread thread_;
};

}  // namespace zorvane::pa
