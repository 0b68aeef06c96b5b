// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/portaudio/pa_worker.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace zorvane::pa {

// Shared by the caller's side and the thread, so that a thread left stuck
// in a call still has it when the call returns (and then simply ends).
struct Worker::State {
  std::mutex Lock;
  std::condition_variable Wake;  // a job or the end, for the thread
  std::condition_variable Done;  // the job's end, for the caller
  Job Pending;
  PaError Result = paNoError;
  bool HasJob = false;
  bool Finished = false;
  bool Stuck = false;
  bool Ending = false;
  std::vector<Watched*> Watching;
  std::vector<std::shared_ptr<void>> Kept;
  std::mutex Callers;  // one Run at a time
};

Worker::Worker() : state_(std::make_shared<State>()), thread_(Loop, state_) {}

Worker::~Worker() {
  bool stuck;
  {
    std::lock_guard<std::mutex> lock(state_->Lock);
    state_->Ending = true;
    stuck = state_->Stuck;
  }
  state_->Wake.notify_all();
  if (stuck)
    thread_.detach();
  else
    thread_.join();
}

void Worker::Loop(std::shared_ptr<State> s) {
  std::unique_lock<std::mutex> lock(s->Lock);
  Clock::time_point nextCheck = Clock::now() + kWatchPeriod;
  for (;;) {
    s->Wake.wait_until(lock, nextCheck, [&] { return s->HasJob || s->Ending; });
    if (s->Ending || s->Stuck) return;
    // Calls in quick succession do not keep the watched streams unchecked.
    const Clock::time_point now = Clock::now();
    if (now >= nextCheck) {
      for (Watched* w : s->Watching) w->Check(now);
      nextCheck = now + kWatchPeriod;
    }
    if (s->HasJob) {
      Job job = s->Pending;
      s->HasJob = false;
      lock.unlock();
      const PaError result = job.Call(job);
      lock.lock();
      // The caller gave this call up: nothing may run here any more.
      if (s->Stuck) return;
      s->Pending = job;
      s->Result = result;
      s->Finished = true;
      s->Done.notify_all();
    }
  }
}

bool Worker::Run(Job& job, PaError& result, std::chrono::milliseconds limit) {
  std::lock_guard<std::mutex> caller(state_->Callers);
  std::unique_lock<std::mutex> lock(state_->Lock);
  if (state_->Stuck) return false;
  state_->Pending = job;
  state_->HasJob = true;
  state_->Finished = false;
  state_->Wake.notify_all();
  if (!state_->Done.wait_for(lock, limit, [&] { return state_->Finished; })) {
    state_->Stuck = true;
    state_->HasJob = false;
    return false;
  }
  job = state_->Pending;
  result = state_->Result;
  return true;
}

bool Worker::Stuck() const {
  std::lock_guard<std::mutex> lock(state_->Lock);
  return state_->Stuck;
}

void Worker::Watch(Watched* watched) {
  std::lock_guard<std::mutex> lock(state_->Lock);
  state_->Watching.push_back(watched);
}

void Worker::Unwatch(Watched* watched) {
  std::lock_guard<std::mutex> lock(state_->Lock);
  auto& w = state_->Watching;
  w.erase(std::remove(w.begin(), w.end(), watched), w.end());
}

void Worker::Keep(std::shared_ptr<void> object) {
  std::lock_guard<std::mutex> lock(state_->Lock);
  state_->Kept.push_back(std::move(object));
}

}  // namespace zorvane::pa
