// SPDX-License-Identifier: GPL-3.0-or-later
// The sound card's input: buffers queued on a handle in order, filled by a
// PortAudio stream and flagged done. The caller's thread opens, starts,
// stops and closes the stream through the device worker; PortAudio's
// callback thread only copies samples into the queued buffers and publishes
// its progress through the headers' atomics and the handle's own. Nothing
// in the callback locks or allocates.
//
// A stream can die under a running input: the sound server is killed or
// stops answering. PortAudio then ends the stream's thread (the finished
// callback tells us), or the callbacks simply stop coming (the worker sees
// that). Either way the handle dies: every queued buffer is handed back
// done, as by a device that is unplugged, and the calls that need a live
// device fail from then on, so the instrument's next step reports it.
#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/portaudio/pa_streams.h"
#include "platform/wave_handles.h"

namespace zorvane::pa {

namespace {

// How long a started input may go without a callback before it counts as
// dead. Callbacks usually come every few milliseconds, but a PulseAudio null
// sink that no client asks for a short latency delivers its monitor in
// blocks of up to two seconds.
constexpr std::chrono::milliseconds kSilentLimit{5000};

// Queue slots per handle (the instrument queues at most two buffers).
constexpr uint32_t kQueueSlots = 64;

int64_t NowNs(Clock::time_point t = Clock::now()) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

PaStreamParameters InputParameters(PaDeviceIndex device, const WaveFormat& fmt) {
  PaStreamParameters p{};
  p.device = device;
  p.channelCount = fmt.Channels;
  p.sampleFormat = SampleFormatFor(fmt);
  const PaDeviceInfo* info = p.device == paNoDevice ? nullptr : Pa_GetDeviceInfo(p.device);
  p.suggestedLatency = info ? info->defaultLowInputLatency : 0.05;
  p.hostApiSpecificStreamInfo = nullptr;
  return p;
}

struct InputHandle;
void Die(InputHandle& h);

// The buffers queued on a handle, in order: the caller's thread pushes at
// the tail, the callback fills the front and pops it when full. Anyone else
// moves the head only under Handing, and only while the callback cannot run
// (the stream stopped, or the handle dead).
struct InputHandle : Worker::Watched {
  WaveFormat Format;
  PaStream* Stream = nullptr;
  bool Started = false;  // the caller's thread only
  std::array<WaveHeader*, kQueueSlots> Queue{};
  std::atomic<uint32_t> Head{0};      // next to fill
  std::atomic<uint32_t> Tail{0};      // next free slot
  std::atomic<uint64_t> Position{0};  // bytes delivered into buffers since start
  std::atomic<uint64_t>* Overruns = nullptr;
  // Told of every buffer completed or handed back by a death; set before the
  // stream runs.
  const std::function<void()>* Notify = nullptr;

  std::mutex Handing;
  std::atomic<bool> Dead{false};
  // The callback is running; with Dead, the two keep a dying handle's
  // queue from the callback without a lock in it.
  std::atomic<bool> InCallback{false};
  // Our own stop is under way: the stream's end is no death.
  std::atomic<bool> Stopping{true};
  std::atomic<int64_t> LastCallbackNs{0};

  bool Empty() const {
    return Head.load(std::memory_order_acquire) == Tail.load(std::memory_order_acquire);
  }

  void Check(Clock::time_point now) override {
    if (Dead.load() || Stopping.load()) return;
    if (NowNs(now) - LastCallbackNs.load(std::memory_order_relaxed) >
        std::chrono::nanoseconds(kSilentLimit).count())
      Die(*this);
  }
};

// Hands every queued buffer back, done, in order (Handing held).
void HandBackLocked(InputHandle& h) {
  const uint32_t tail = h.Tail.load(std::memory_order_acquire);
  for (uint32_t i = h.Head.load(std::memory_order_acquire); i != tail; ++i)
    MarkDone(h.Queue[i % kQueueSlots]);
  h.Head.store(tail, std::memory_order_release);
}

void HandBack(InputHandle& h) {
  std::lock_guard<std::mutex> lock(h.Handing);
  HandBackLocked(h);
}

void Die(InputHandle& h) {
  {
    std::lock_guard<std::mutex> lock(h.Handing);
    if (h.Dead.exchange(true)) return;
    // A callback already past its test of Dead finishes first (it never
    // waits, and takes no lock).
    while (h.InCallback.load()) std::this_thread::yield();
    HandBackLocked(h);
  }
  if (*h.Notify) (*h.Notify)();
}

// Whether the handle is dead; a death in progress on another thread has
// handed every buffer back when this returns true.
bool Dead(InputHandle& h) {
  if (!h.Dead.load()) return false;
  std::lock_guard<std::mutex> lock(h.Handing);
  return true;
}

void Fill(InputHandle* h, const void* input, unsigned long frames) {
  const uint32_t frameBytes = h->Format.BlockAlign;
  const auto* src = static_cast<const uint8_t*>(input);
  size_t left = static_cast<size_t>(frames) * frameBytes;
  uint64_t delivered = 0;
  while (left > 0) {
    const uint32_t head = h->Head.load(std::memory_order_relaxed);
    if (head == h->Tail.load(std::memory_order_acquire)) {
      // No buffer queued: the frames are lost.
      h->Overruns->fetch_add(1, std::memory_order_relaxed);
      break;
    }
    WaveHeader* hdr = h->Queue[head % kQueueSlots];
    const uint32_t usable = hdr->BufferLength - hdr->BufferLength % frameBytes;
    uint32_t filled = hdr->BytesRecorded.load(std::memory_order_relaxed);
    const size_t n = std::min<size_t>(left, usable - filled);
    std::memcpy(hdr->Data + filled, src, n);
    src += n;
    left -= n;
    filled += static_cast<uint32_t>(n);
    delivered += n;
    hdr->BytesRecorded.store(filled, std::memory_order_release);
    if (filled == usable) {
      MarkDone(hdr);
      h->Head.store(head + 1, std::memory_order_release);
      if (*h->Notify) (*h->Notify)();
    }
  }
  h->Position.fetch_add(delivered, std::memory_order_release);
}

int InputCallback(const void* input, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
                  PaStreamCallbackFlags status, void* user) {
  auto* h = static_cast<InputHandle*>(user);
  h->InCallback.store(true);
  if (h->Dead.load()) {
    h->InCallback.store(false);
    return paAbort;
  }
  h->LastCallbackNs.store(NowNs(), std::memory_order_relaxed);
  // Samples the device itself lost before they reached us.
  if (status & paInputOverflow) h->Overruns->fetch_add(1, std::memory_order_relaxed);
  if (input) Fill(h, input, frames);
  h->InCallback.store(false);
  return paContinue;
}

// PortAudio ended the stream: by our stop, or because it failed.
void InputFinished(void* user) {
  auto* h = static_cast<InputHandle*>(user);
  if (!h->Stopping.load()) Die(*h);
}

class PortAudioIn : public WaveIn {
 public:
  PortAudioIn(std::shared_ptr<Library> library, Choice choice)
      : library_(std::move(library)), choice_(std::move(choice)) {}
  ~PortAudioIn() override {
    for (auto& [handle, h] : handles_) {
      Stop(*h);
      CloseStream(*h);
    }
    if (!library_->Ok())
      for (auto& [handle, h] : handles_) Forget(std::move(h));
  }

  std::string Name() const override { return "portaudio"; }

  uint32_t Open(WaveHandle* handle, const WaveFormat& fmt, uint32_t flags) override {
    if (!library_->Ok()) return MMSYSERR_NODRIVER;
    const PaDeviceIndex device = InputDevice(choice_);
    if (device == paNoDevice) return MMSYSERR_NODRIVER;
    if (!PcmLayoutValid(fmt)) return WAVERR_BADFORMAT;
    Job job;
    job.HasInput = true;
    job.Input = InputParameters(device, fmt);
    job.Rate = fmt.SamplesPerSec;
    if (flags & WAVE_FORMAT_QUERY) {
      job.Call = FormatQueryJob;
      return QueryResult(library_->Call(job));
    }
    if (!handle) return MMSYSERR_INVALPARAM;
    auto h = std::make_unique<InputHandle>();
    h->Format = fmt;
    h->Overruns = &overruns_;
    h->Notify = &notify_;
    job.Call = OpenStreamJob;
    job.Callback = InputCallback;
    job.Finished = InputFinished;
    job.User = h.get();
    const PaError e = library_->Call(job);
    if (e == paTimedOut) Forget(std::move(h));
    if (e != paNoError) return ResultFor(e);
    h->Stream = job.Stream;
    overruns_.store(0);
    *handle = handles_.Add(std::move(h));
    return 0;
  }

  uint32_t Prepare(WaveHandle handle, WaveHeader* hdr, uint32_t) override {
    return PrepareHeader(Find(handle) != nullptr, hdr);
  }

  uint32_t Unprepare(WaveHandle handle, WaveHeader* hdr, uint32_t) override {
    if (!hdr) return MMSYSERR_INVALPARAM;
    // A header that is not prepared needs nothing from the device: this
    // succeeds even after the device was shut down under a waiting loop.
    if (!(hdr->Flags.load(std::memory_order_acquire) & WHDR_PREPARED)) return 0;
    InputHandle* h = Find(handle);
    if (!h) return MMSYSERR_INVALHANDLE;
    Dead(*h);  // a buffer a death is handing back is no longer queued
    if (hdr->Flags.load(std::memory_order_acquire) & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    hdr->Flags.fetch_and(~WHDR_PREPARED);
    return 0;
  }

  uint32_t AddBuffer(WaveHandle handle, WaveHeader* hdr, uint32_t) override {
    InputHandle* h = Find(handle);
    if (!h) return MMSYSERR_INVALHANDLE;
    if (const uint32_t refused = QueueableInputHeader(hdr, h->Format)) return refused;
    // Under the lock a dying handle takes: a buffer is either refused here
    // or handed back by the death.
    std::lock_guard<std::mutex> lock(h->Handing);
    if (h->Dead.load()) return kDeviceGone;
    const uint32_t tail = h->Tail.load(std::memory_order_relaxed);
    if (tail - h->Head.load(std::memory_order_acquire) >= kQueueSlots) return MMSYSERR_NOMEM;
    MarkQueued(*hdr);
    h->Queue[tail % kQueueSlots] = hdr;
    h->Tail.store(tail + 1, std::memory_order_release);
    return 0;
  }

  uint32_t Start(WaveHandle handle) override {
    InputHandle* h = Find(handle);
    if (!h) return MMSYSERR_INVALHANDLE;
    if (Dead(*h)) return kDeviceGone;
    if (h->Started) return 0;
    h->Position.store(0);
    h->LastCallbackNs.store(NowNs());
    h->Stopping.store(false);
    Job job;
    job.Call = StartStreamJob;
    job.Stream = h->Stream;
    const PaError e = library_->Call(job);
    if (e == paTimedOut) Die(*h);
    if (e != paNoError && e != paStreamIsNotStopped) {
      h->Stopping.store(true);
      return ResultFor(e);
    }
    h->Started = true;
    library_->Devices().Watch(h);
    return 0;
  }

  uint32_t GetPosition(WaveHandle handle, WaveTime* t, uint32_t) override {
    InputHandle* h = Find(handle);
    if (!h) return MMSYSERR_INVALHANDLE;
    if (!t) return MMSYSERR_INVALPARAM;
    if (Dead(*h)) return kDeviceGone;
    t->Type = TIME_BYTES;
    t->Bytes = static_cast<uint32_t>(h->Position.load(std::memory_order_acquire));
    return 0;
  }

  uint32_t Reset(WaveHandle handle) override {
    InputHandle* h = Find(handle);
    if (!h) return MMSYSERR_INVALHANDLE;
    const uint32_t result = Stop(*h);
    // The callback no longer runs: hand every queued buffer back, in order.
    HandBack(*h);
    h->Position.store(0);
    return result;
  }

  uint32_t Close(WaveHandle handle) override {
    InputHandle* h = Find(handle);
    if (!h) return MMSYSERR_INVALHANDLE;
    Dead(*h);
    if (!h->Empty()) return WAVERR_STILLPLAYING;
    Stop(*h);
    const bool released = CloseStream(*h);
    std::unique_ptr<InputHandle> closed = handles_.Take(handle);
    if (!released || !library_->Ok()) Forget(std::move(closed));
    return released ? 0 : kDeviceGone;
  }

  uint64_t Overruns() const override { return overruns_.load(std::memory_order_relaxed); }
  void SetBufferDoneNotify(std::function<void()> notify) override { notify_ = std::move(notify); }

  int64_t LatencyUs(WaveHandle handle) override {
    InputHandle* h = Find(handle);
    return h ? StreamLatencyUs(h->Stream, true) : 0;
  }

 private:
  InputHandle* Find(WaveHandle handle) { return handles_.Find(handle); }

  // Stops the stream (the callback no longer runs when this returns); a
  // stop PortAudio does not finish in time kills the handle instead.
  uint32_t Stop(InputHandle& h) {
    h.Stopping.store(true);
    library_->Devices().Unwatch(&h);
    h.Started = false;
    if (!h.Stream) return 0;
    Job job;
    job.Call = AbortStreamJob;
    job.Stream = h.Stream;
    const PaError e = library_->Call(job);
    if (e == paTimedOut) Die(h);
    return ResultFor(e);
  }

  // True when PortAudio let go of the stream.
  bool CloseStream(InputHandle& h) {
    if (!h.Stream) return true;
    Job job;
    job.Call = CloseStreamJob;
    job.Stream = h.Stream;
    h.Stream = nullptr;
    return library_->Call(job) != paTimedOut;
  }

  // A handle PortAudio may still call back into outlives the backend.
  void Forget(std::unique_ptr<InputHandle> h) {
    h->Dead.store(true);
    library_->Devices().Keep(std::shared_ptr<InputHandle>(std::move(h)));
  }

  std::shared_ptr<Library> library_;
  Choice choice_;
  HandleTable<InputHandle> handles_;
  std::atomic<uint64_t> overruns_{0};
  std::function<void()> notify_;
};

}  // namespace

std::unique_ptr<WaveIn> MakeInput(std::shared_ptr<Library> library, Choice choice) {
  return std::make_unique<PortAudioIn>(std::move(library), std::move(choice));
}

}  // namespace zorvane::pa
