// SPDX-License-Identifier: GPL-3.0-or-later
// The one connection to the PulseAudio server (or PipeWire's PulseAudio
// service) that the sound card's devices share: a threaded main loop of
// libpulse and its context. Private to the PulseAudio backend.
//
// Nothing the caller does can hang on the server. Every request is sent
// without blocking and answered on the main loop's thread; the caller waits
// for the answer on a condition of its own, at most a time limit. A server
// that does not answer in time counts as gone, and so does one whose
// connection breaks (it was killed): from then on every call fails at once,
// and the streams hand their buffers back, as an unplugged device would.
#pragma once

#include <pulse/pulseaudio.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/device_choice.h"

namespace zorvane::pulse {

using Clock = std::chrono::steady_clock;

// How long a request (open a stream, list the devices) may take before the
// server counts as gone. Healthy answers take a millisecond or two.
constexpr std::chrono::milliseconds kCallLimit{800};
// Connecting: a server that is there answers at once; none refuses at once.
constexpr std::chrono::milliseconds kConnectLimit{1500};

class Connection;

// Holds the main loop's lock: callbacks do not run meanwhile.
class LoopLock {
 public:
  explicit LoopLock(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
  ~LoopLock() { pa_threaded_mainloop_unlock(loop_); }
  LoopLock(const LoopLock&) = delete;
  LoopLock& operator=(const LoopLock&) = delete;

 private:
  pa_threaded_mainloop* loop_;
};

// Told when the connection breaks, on the main loop's thread (lock held).
class Listener {
 public:
  virtual ~Listener() = default;
  virtual void ConnectionLost() = 0;
  // About every kWatchPeriod while the connection lives (lock held).
  virtual void Watch(Clock::time_point now) = 0;
};

// The sinks and sources, numbered for this process: a device keeps its number
// for as long as the process runs, whatever comes and goes meanwhile.
struct DeviceList {
  std::vector<AudioDeviceInfo> Devices;
  std::vector<std::string> Names;  // the server's name of each, same order
};

class Connection {
 public:
  static constexpr std::chrono::milliseconds kWatchPeriod{250};

  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Connected, and neither broken nor given up since.
  bool Ok() const { return ready_.load() && !lost_.load(); }
  // What went wrong, once something did.
  std::string Error() const;
  // The server's name and version ("pulseaudio 16.1").
  const std::string& ServerName() const { return serverName_; }

  pa_threaded_mainloop* Loop() const { return loop_; }
  pa_context* Context() const { return context_; }

  // Waits, without the loop's lock, until `done` holds (it is tested under
  // the condition's own lock; callbacks change what it reads and then call
  // Wake) or `limit` has passed. A request that is not answered in time
  // gives the connection up. False then, or when it broke meanwhile.
  bool Await(const std::function<bool()>& done, std::chrono::milliseconds limit = kCallLimit);
  // Ends an Await; callable from callbacks.
  void Wake();
  // Gives the connection up: the server no longer answers.
  void GiveUp(const std::string& why);

  // Streams that want to hear of a broken connection, and to be looked at
  // now and then. Call with the loop's lock held.
  void AddListener(Listener* l);
  void RemoveListener(Listener* l);

  // The sinks and sources now; empty when the server does not answer.
  DeviceList Devices();
  // The server's name of device `number` in that direction, "" for none.
  std::string DeviceName(int number, DeviceDirection direction);

 private:
  static void ContextState(pa_context* c, void* self);
  static void Tick(pa_mainloop_api* api, pa_time_event* e, const struct timeval* tv, void* self);
  void Lost(const std::string& why);  // loop's lock held

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_time_event* tick_ = nullptr;
  std::atomic<bool> ready_{false};
  std::atomic<bool> lost_{false};
  std::string serverName_;
  mutable std::mutex lock_;  // error_, the numbering, and Await's condition
  std::condition_variable changed_;
  std::string error_;
  std::vector<Listener*> listeners_;  // loop's lock
  // Every device seen so far, by direction and name; a number is its index.
  std::vector<std::pair<DeviceDirection, std::string>> numbered_;
};

// The process's connection, made on first use (Ok() tells whether a server
// answered; one that did not is not asked again).
std::shared_ptr<Connection> AcquireConnection();

// Frees an operation the caller does not wait for.
inline void Forget(pa_operation* op) {
  if (op) pa_operation_unref(op);
}

// libpulse's sample layout for a PCM wave format: false when it is none the
// backend can move (1 or 2 channels of 8-bit unsigned or 16-bit signed).
bool SampleSpecFor(uint16_t channels, uint16_t bits, uint32_t rate, uint16_t blockAlign,
                   pa_sample_spec& spec);

// Bytes of `usec` microseconds of the layout, in whole frames (at least one).
uint32_t BytesFor(const pa_sample_spec& spec, uint64_t usec);

}  // namespace zorvane::pulse
