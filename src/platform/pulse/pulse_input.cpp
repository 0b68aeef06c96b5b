// SPDX-License-Identifier: GPL-3.0-or-later
// The sound card's input on a PulseAudio record stream: buffers queued on a
// handle in order, filled from the stream and flagged done.
//
// The stream runs from the open to the close, and the server sends it
// fragments of half the buffer queued last (within bounds): one wake-up per
// half buffer on each side, whatever the buffer holds. A stopped handle
// (before its start, after a reset) lets what arrives go by, so that a start
// needs nothing of the server: the next fragment fills the first buffer, as
// soon as it comes.
//
// Everything the stream's callbacks and the caller's calls share (the queue,
// the started flag) is kept under the main loop's lock; done flags, the
// position and the overrun count are atomics the caller reads without it.
// A broken connection, a failed stream or a stream that stops delivering
// kills the handle: every queued buffer is handed back done, and the calls
// that need a live device fail from then on.
#include <algorithm>
#include <array>
#include <cstring>
#include <functional>

#include "platform/pulse/pulse_streams.h"
#include "platform/wave_handles.h"

namespace zorvane::pulse {

namespace {

constexpr uint32_t kQueueSlots = 64;
// How long a started input may go without data before it counts as dead.
constexpr std::chrono::milliseconds kSilentLimit{3000};
// Fragments: half the buffer queued last, within these; until a buffer is
// queued, the first.
constexpr uint64_t kShortestFragmentUs = 2000, kLongestFragmentUs = 250000;
constexpr uint64_t kFirstFragmentUs = 20000;

struct InputHandle : Listener {
  Connection* Conn = nullptr;
  WaveFormat Format;
  pa_sample_spec Spec{};
  pa_stream* Stream = nullptr;
  StreamState State;
  uint32_t Fragment = 0;  // bytes asked of the server

  // The loop's lock guards these.
  std::array<WaveHeader*, kQueueSlots> Queue{};
  uint32_t Head = 0, Tail = 0;
  bool Started = false;
  // Recording went on with no buffer queued; a loss once a buffer follows
  // without a reset in between (a gap in one recording, not the pause of a
  // device nobody is listening to).
  bool Gap = false;
  Clock::time_point LastData;

  std::atomic<uint64_t> Position{0};  // bytes delivered into buffers since the start
  std::atomic<bool> Dead{false};
  std::atomic<uint64_t>* Overruns = nullptr;
  const std::function<void()>* Notify = nullptr;

  bool Empty() const { return Head == Tail; }

  // Hands every queued buffer back, done, in order.
  void HandBack() {
    for (; Head != Tail; ++Head) MarkDone(Queue[Head % kQueueSlots]);
  }

  void Die() {
    if (Dead.exchange(true)) return;
    HandBack();
    if (*Notify) (*Notify)();
  }

  void ConnectionLost() override { Die(); }
  void Watch(Clock::time_point now) override {
    if (Started && !Dead.load() && now - LastData > kSilentLimit) Die();
  }

  // Copies one piece of the recording into the queued buffers; true when it
  // went into one.
  bool Fill(const uint8_t* src, size_t bytes) {
    const uint32_t frameBytes = Format.BlockAlign;
    uint64_t delivered = 0;
    while (bytes > 0) {
      if (Empty()) {
        Gap = true;
        break;
      }
      WaveHeader* hdr = Queue[Head % kQueueSlots];
      const uint32_t usable = hdr->BufferLength - hdr->BufferLength % frameBytes;
      uint32_t filled = hdr->BytesRecorded.load(std::memory_order_relaxed);
      const size_t n = std::min<size_t>(bytes, usable - filled);
      if (src) {
        std::memcpy(hdr->Data + filled, src, n);
        src += n;
      } else {  // a hole in the recording: silence
        std::memset(hdr->Data + filled, Format.BitsPerSample == 8 ? 0x80 : 0, n);
      }
      bytes -= n;
      filled += static_cast<uint32_t>(n);
      delivered += n;
      hdr->BytesRecorded.store(filled, std::memory_order_release);
      if (filled == usable) {
        MarkDone(hdr);
        ++Head;
      }
    }
    Position.fetch_add(delivered, std::memory_order_release);
    return delivered > 0;
  }
};

void ReadCallback(pa_stream* s, size_t, void* user) {
  auto& h = *static_cast<InputHandle*>(user);
  bool progressed = false;
  while (pa_stream_readable_size(s) > 0) {
    const void* data = nullptr;
    size_t bytes = 0;
    if (pa_stream_peek(s, &data, &bytes) < 0 || bytes == 0) break;
    if (h.Started && !h.Dead.load()) {
      h.LastData = Clock::now();
      progressed |= h.Fill(static_cast<const uint8_t*>(data), bytes);
    }
    pa_stream_drop(s);
  }
  if (progressed && *h.Notify) (*h.Notify)();
}

void OverflowCallback(pa_stream*, void* user) {
  auto& h = *static_cast<InputHandle*>(user);
  if (h.Started) h.Overruns->fetch_add(1, std::memory_order_relaxed);
}

void StateCallback(pa_stream* s, void* user) {
  auto& h = *static_cast<InputHandle*>(user);
  h.State.Seen(s, *h.Conn);
  const pa_stream_state_t state = pa_stream_get_state(s);
  if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) h.Die();
}

// Half of a buffer of `bufferBytes`, in whole frames, within the bounds.
uint32_t FragmentFor(const InputHandle& h, uint32_t bufferBytes) {
  const uint32_t frame = static_cast<uint32_t>(pa_frame_size(&h.Spec));
  const uint32_t half = std::max(frame, bufferBytes / 2 / frame * frame);
  return std::clamp(half, BytesFor(h.Spec, kShortestFragmentUs),
                    BytesFor(h.Spec, kLongestFragmentUs));
}

pa_buffer_attr RecordAttributes(uint32_t fragment) {
  pa_buffer_attr a;
  a.maxlength = static_cast<uint32_t>(-1);
  a.tlength = a.prebuf = a.minreq = static_cast<uint32_t>(-1);
  a.fragsize = fragment;
  return a;
}

class PulseIn : public WaveIn {
 public:
  PulseIn(std::shared_ptr<Connection> connection, Choice choice)
      : conn_(std::move(connection)), choice_(std::move(choice)) {}
  ~PulseIn() override {
    for (auto& [handle, h] : handles_) Release(*h);
  }

  std::string Name() const override { return "pulse"; }

  uint32_t Open(WaveHandle* handle, const WaveFormat& fmt, uint32_t flags) override {
    if (!conn_->Ok()) return MMSYSERR_NODRIVER;
    pa_sample_spec spec;
    if (fmt.FormatTag != WAVE_FORMAT_PCM ||
        !SampleSpecFor(fmt.Channels, fmt.BitsPerSample, fmt.SamplesPerSec, fmt.BlockAlign, spec))
      return WAVERR_BADFORMAT;
    // The server records any such layout from any source, converting.
    if (flags & WAVE_FORMAT_QUERY) return 0;
    if (!handle) return MMSYSERR_INVALPARAM;
    const std::string device = ChosenName(*conn_, choice_, DeviceDirection::Input);

    auto h = std::make_unique<InputHandle>();
    h->Conn = conn_.get();
    h->Format = fmt;
    h->Spec = spec;
    h->Overruns = &overruns_;
    h->Notify = &notify_;
    h->Fragment = BytesFor(spec, kFirstFragmentUs);
    {
      LoopLock lock(conn_->Loop());
      pa_channel_map map;
      pa_channel_map_init_auto(&map, spec.channels, PA_CHANNEL_MAP_DEFAULT);
      h->Stream = pa_stream_new(conn_->Context(), "Zorvane input", &spec, &map);
      if (!h->Stream) return MMSYSERR_NOMEM;
      pa_stream_set_state_callback(h->Stream, StateCallback, h.get());
      pa_stream_set_read_callback(h->Stream, ReadCallback, h.get());
      pa_stream_set_overflow_callback(h->Stream, OverflowCallback, h.get());
      const pa_buffer_attr attr = RecordAttributes(h->Fragment);
      // The server sizes the source's latency to the fragments; a device
      // chosen by name is not exchanged for another when it goes.
      pa_stream_flags_t streamFlags = PA_STREAM_ADJUST_LATENCY;
      if (!device.empty())
        streamFlags = static_cast<pa_stream_flags_t>(streamFlags | PA_STREAM_DONT_MOVE);
      if (pa_stream_connect_record(h->Stream, device.empty() ? nullptr : device.c_str(), &attr,
                                   streamFlags) < 0) {
        Disconnect(*h);
        return MMSYSERR_BADDEVICEID;
      }
      conn_->AddListener(h.get());
    }
    const uint32_t result = AwaitReady(*conn_, h->State);
    if (result != 0) {
      Release(*h);
      return result;
    }
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
    if (!Find(handle)) return MMSYSERR_INVALHANDLE;
    LoopLock lock(conn_->Loop());
    if (hdr->Flags.load(std::memory_order_acquire) & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    hdr->Flags.fetch_and(~WHDR_PREPARED);
    return 0;
  }

  uint32_t AddBuffer(WaveHandle handle, WaveHeader* hdr, uint32_t) override {
    InputHandle* h = Find(handle);
    if (!h) return MMSYSERR_INVALHANDLE;
    if (const uint32_t refused = QueueableInputHeader(hdr, h->Format)) return refused;
    LoopLock lock(conn_->Loop());
    if (h->Dead.load()) return kDeviceGone;
    if (h->Tail - h->Head >= kQueueSlots) return MMSYSERR_NOMEM;
    MarkQueued(*hdr);
    h->Queue[h->Tail++ % kQueueSlots] = hdr;
    if (h->Gap) overruns_.fetch_add(1, std::memory_order_relaxed);
    h->Gap = false;
    // Fragments of half this buffer from now on.
    const uint32_t fragment = FragmentFor(*h, hdr->BufferLength);
    if (fragment != h->Fragment) {
      h->Fragment = fragment;
      const pa_buffer_attr attr = RecordAttributes(fragment);
      Forget(pa_stream_set_buffer_attr(h->Stream, &attr, nullptr, nullptr));
    }
    return 0;
  }

  uint32_t Start(WaveHandle handle) override {
    InputHandle* h = Find(handle);
    if (!h) return MMSYSERR_INVALHANDLE;
    LoopLock lock(conn_->Loop());
    if (h->Dead.load()) return kDeviceGone;
    if (!h->Started) {
      h->Started = true;
      h->LastData = Clock::now();
    }
    return 0;
  }

  uint32_t GetPosition(WaveHandle handle, WaveTime* t, uint32_t) override {
    InputHandle* h = Find(handle);
    if (!h) return MMSYSERR_INVALHANDLE;
    if (!t) return MMSYSERR_INVALPARAM;
    if (h->Dead.load()) return kDeviceGone;
    t->Type = TIME_BYTES;
    t->Bytes = static_cast<uint32_t>(h->Position.load(std::memory_order_acquire));
    return 0;
  }

  uint32_t Reset(WaveHandle handle) override {
    InputHandle* h = Find(handle);
    if (!h) return MMSYSERR_INVALHANDLE;
    LoopLock lock(conn_->Loop());
    h->Started = false;
    h->Gap = false;
    h->HandBack();
    h->Position.store(0);
    return 0;
  }

  uint32_t Close(WaveHandle handle) override {
    InputHandle* h = Find(handle);
    if (!h) return MMSYSERR_INVALHANDLE;
    {
      LoopLock lock(conn_->Loop());
      if (!h->Empty()) return WAVERR_STILLPLAYING;
    }
    Release(*h);
    handles_.Take(handle);
    return 0;
  }

  uint64_t Overruns() const override { return overruns_.load(std::memory_order_relaxed); }
  void SetBufferDoneNotify(std::function<void()> notify) override { notify_ = std::move(notify); }

  int64_t LatencyUs(WaveHandle handle) override {
    InputHandle* h = Find(handle);
    if (!h) return 0;
    LoopLock lock(conn_->Loop());
    return static_cast<int64_t>(pa_bytes_to_usec(h->Fragment, &h->Spec));
  }

 private:
  InputHandle* Find(WaveHandle handle) { return handles_.Find(handle); }

  // Lets go of the stream: once this returns, its callbacks never run again.
  void Release(InputHandle& h) {
    LoopLock lock(conn_->Loop());
    conn_->RemoveListener(&h);
    Disconnect(h);
  }

  static void Disconnect(InputHandle& h) {
    if (!h.Stream) return;
    pa_stream_set_state_callback(h.Stream, nullptr, nullptr);
    pa_stream_set_read_callback(h.Stream, nullptr, nullptr);
    pa_stream_set_overflow_callback(h.Stream, nullptr, nullptr);
    if (pa_stream_get_state(h.Stream) == PA_STREAM_READY ||
        pa_stream_get_state(h.Stream) == PA_STREAM_CREATING)
      pa_stream_disconnect(h.Stream);
    pa_stream_unref(h.Stream);
    h.Stream = nullptr;
  }

  std::shared_ptr<Connection> conn_;
  Choice choice_;
  HandleTable<InputHandle> handles_;
  std::atomic<uint64_t> overruns_{0};
  std::function<void()> notify_;
};

}  // namespace

std::unique_ptr<WaveIn> MakeInput(std::shared_ptr<Connection> connection, Choice choice) {
  return std::make_unique<PulseIn>(std::move(connection), std::move(choice));
}

}  // namespace zorvane::pulse
