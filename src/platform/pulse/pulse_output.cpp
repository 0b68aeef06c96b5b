// SPDX-License-Identifier: GPL-3.0-or-later
// The sound card's output on PulseAudio: one looping buffer per handle,
// played by a playback stream that exists only while a buffer plays. The
// stream's write callback copies the loop straight into the server's
// memory; a buffer played a given number of times is drained, and done once
// its last frame has been heard. Everything the callbacks and the caller's
// calls share is kept under the main loop's lock, except the flag that says
// the buffer has been played out.
#include <algorithm>
#include <cstring>

#include "platform/pulse/pulse_streams.h"
#include "platform/wave_handles.h"

namespace zorvane::pulse {

namespace {

constexpr uint32_t kLoopForever = 0xFFFFFFFFu;
// The server's buffer for the tone: short enough that a new tone reaches the
// input well within a sweep point's settling time, long enough to ride out a
// busy machine; refilled every quarter of it.
constexpr uint64_t kTargetUs = 30000, kRefillUs = 10000;

struct OutputHandle : Listener {
  Connection* Conn = nullptr;
  WaveFormat Format;
  pa_sample_spec Spec{};
  std::string Device;  // the device chosen when the handle was opened; "" the default
  pa_stream* Stream = nullptr;
  StreamState State;
  pa_operation* Drain = nullptr;
  WaveHeader* Header = nullptr;  // the buffer written and not yet reset

  // The loop's lock guards these while a stream plays.
  const uint8_t* Data = nullptr;
  uint32_t LoopBytes = 0;
  uint32_t Plays = 0;  // kLoopForever: until reset
  uint32_t Played = 0;
  uint32_t Offset = 0;
  bool Handed = false;  // the last pass has gone to the server
  // The last pass has been heard (the header is then done), or a reset came.
  std::atomic<bool> Finished{true};

  void Finish() {
    if (Finished.exchange(true)) return;
    if (Header) MarkDone(Header);
  }
  void ConnectionLost() override { Finish(); }
  void Watch(Clock::time_point) override {}
};

void DrainCallback(pa_stream*, int, void* user) { static_cast<OutputHandle*>(user)->Finish(); }

void WriteCallback(pa_stream* s, size_t wanted, void* user) {
  auto& h = *static_cast<OutputHandle*>(user);
  if (h.Handed) return;
  while (wanted > 0 && !h.Handed) {
    void* buffer = nullptr;
    size_t n = wanted;
    if (pa_stream_begin_write(s, &buffer, &n) < 0 || !buffer || n == 0) return;
    n -= n % h.Format.BlockAlign;
    auto* dst = static_cast<uint8_t*>(buffer);
    size_t filled = 0;
    while (filled < n) {
      const size_t piece = std::min<size_t>(n - filled, h.LoopBytes - h.Offset);
      std::memcpy(dst + filled, h.Data + h.Offset, piece);
      filled += piece;
      h.Offset += static_cast<uint32_t>(piece);
      if (h.Offset == h.LoopBytes) {
        h.Offset = 0;
        if (h.Plays != kLoopForever && ++h.Played >= h.Plays) {
          h.Handed = true;
          break;
        }
      }
    }
    if (filled == 0) {
      pa_stream_cancel_write(s);
      return;
    }
    pa_stream_write(s, dst, filled, nullptr, 0, PA_SEEK_RELATIVE);
    wanted -= std::min(wanted, filled);
  }
  // The last pass is with the server: done once it has been played out.
  if (h.Handed && !h.Drain) h.Drain = pa_stream_drain(s, DrainCallback, &h);
}

void StateCallback(pa_stream* s, void* user) {
  auto& h = *static_cast<OutputHandle*>(user);
  h.State.Seen(s, *h.Conn);
  const pa_stream_state_t state = pa_stream_get_state(s);
  if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) h.Finish();
}

class PulseOut : public WaveOut {
 public:
  PulseOut(std::shared_ptr<Connection> connection, Choice choice)
      : conn_(std::move(connection)), choice_(std::move(choice)) {}
  ~PulseOut() override {
    for (auto& [handle, h] : handles_) StopPlaying(*h);
  }

  std::string Name() const override { return "pulse"; }

  uint32_t Open(WaveHandle* handle, const WaveFormat& fmt, uint32_t flags) override {
    if (!conn_->Ok()) return MMSYSERR_NODRIVER;
    pa_sample_spec spec;
    if (fmt.FormatTag != WAVE_FORMAT_PCM ||
        !SampleSpecFor(fmt.Channels, fmt.BitsPerSample, fmt.SamplesPerSec, fmt.BlockAlign, spec))
      return WAVERR_BADFORMAT;
    // The server plays any such layout on any sink, converting.
    if (flags & WAVE_FORMAT_QUERY) return 0;
    if (!handle) return MMSYSERR_INVALPARAM;
    auto h = std::make_unique<OutputHandle>();
    h->Conn = conn_.get();
    h->Format = fmt;
    h->Spec = spec;
    h->Device = ChosenName(*conn_, choice_, DeviceDirection::Output);
    *handle = handles_.Add(std::move(h));
    return 0;
  }

  uint32_t Prepare(WaveHandle handle, WaveHeader* hdr, uint32_t) override {
    return PrepareHeader(Find(handle) != nullptr, hdr);
  }

  uint32_t Unprepare(WaveHandle handle, WaveHeader* hdr, uint32_t) override {
    OutputHandle* h = Find(handle);
    return UnprepareOutputHeader(h != nullptr, hdr, h ? h->Header : nullptr,
                                 h && h->Finished.load(std::memory_order_acquire));
  }

  uint32_t Write(WaveHandle handle, WaveHeader* hdr, uint32_t) override {
    OutputHandle* h = Find(handle);
    if (!h) return MMSYSERR_INVALHANDLE;
    uint32_t refused = 0;
    const uint32_t loopBytes = PlayableBytes(hdr, h->Format, refused);
    if (refused) return refused;
    // A second write replaces whatever this handle was playing.
    StopPlaying(*h);
    if (!conn_->Ok()) return kDeviceGone;

    const uint32_t flags = hdr->Flags.load();
    const bool looped = (flags & WHDR_BEGINLOOP) && (flags & WHDR_ENDLOOP);
    h->Data = hdr->Data;
    h->LoopBytes = loopBytes;
    h->Plays = looped
                   ? (hdr->Loops == kLoopForever ? kLoopForever : std::max<uint32_t>(hdr->Loops, 1))
                   : 1;
    h->Offset = 0;
    h->Played = 0;
    h->Handed = false;
    h->Finished.store(false);
    h->Header = hdr;
    hdr->Flags.fetch_and(~WHDR_DONE);
    hdr->Flags.fetch_or(WHDR_INQUEUE);
    bool connected;
    {
      LoopLock lock(conn_->Loop());
      pa_channel_map map;
      pa_channel_map_init_auto(&map, h->Spec.channels, PA_CHANNEL_MAP_DEFAULT);
      h->Stream = pa_stream_new(conn_->Context(), "Zorvane tone", &h->Spec, &map);
      if (!h->Stream) {
        h->Finish();
        h->Header = nullptr;
        return MMSYSERR_NOMEM;
      }
      h->State.Now.store(PA_STREAM_UNCONNECTED);
      pa_stream_set_state_callback(h->Stream, StateCallback, h);
      pa_stream_set_write_callback(h->Stream, WriteCallback, h);
      pa_buffer_attr attr;
      attr.maxlength = static_cast<uint32_t>(-1);
      attr.tlength = BytesFor(h->Spec, kTargetUs);
      attr.minreq = BytesFor(h->Spec, kRefillUs);
      attr.prebuf = static_cast<uint32_t>(-1);
      attr.fragsize = static_cast<uint32_t>(-1);
      pa_stream_flags_t streamFlags = PA_STREAM_ADJUST_LATENCY;
      if (!h->Device.empty())
        streamFlags = static_cast<pa_stream_flags_t>(streamFlags | PA_STREAM_DONT_MOVE);
      conn_->AddListener(h);
      connected =
          pa_stream_connect_playback(h->Stream, h->Device.empty() ? nullptr : h->Device.c_str(),
                                     &attr, streamFlags, nullptr, nullptr) == 0;
    }
    const uint32_t result = connected ? AwaitReady(*conn_, h->State) : MMSYSERR_BADDEVICEID;
    if (result != 0) StopPlaying(*h);
    return result;
  }

  uint32_t Reset(WaveHandle handle) override {
    OutputHandle* h = Find(handle);
    if (!h) return MMSYSERR_INVALHANDLE;
    StopPlaying(*h);
    return 0;
  }

  uint32_t Close(WaveHandle handle) override {
    OutputHandle* h = Find(handle);
    if (!h) return MMSYSERR_INVALHANDLE;
    if (h->Header && !h->Finished.load(std::memory_order_acquire)) return WAVERR_STILLPLAYING;
    StopPlaying(*h);
    handles_.Take(handle);
    return 0;
  }

  int64_t LatencyUs(WaveHandle handle) override {
    OutputHandle* h = Find(handle);
    if (!h) return 0;
    LoopLock lock(conn_->Loop());
    if (!h->Stream || pa_stream_get_state(h->Stream) != PA_STREAM_READY)
      return static_cast<int64_t>(kTargetUs);
    const pa_buffer_attr* attr = pa_stream_get_buffer_attr(h->Stream);
    return attr ? static_cast<int64_t>(pa_bytes_to_usec(attr->tlength, &h->Spec))
                : static_cast<int64_t>(kTargetUs);
  }

 private:
  OutputHandle* Find(WaveHandle handle) { return handles_.Find(handle); }

  // Stops the stream at once and hands the buffer back marked done; once
  // this returns, the stream's callbacks never run again.
  void StopPlaying(OutputHandle& h) {
    {
      LoopLock lock(conn_->Loop());
      Disconnect(h);
      h.Finish();
    }
    h.Header = nullptr;
  }

  void Disconnect(OutputHandle& h) {
    conn_->RemoveListener(&h);
    if (h.Drain) {
      pa_operation_cancel(h.Drain);
      pa_operation_unref(h.Drain);
      h.Drain = nullptr;
    }
    if (!h.Stream) return;
    pa_stream_set_state_callback(h.Stream, nullptr, nullptr);
    pa_stream_set_write_callback(h.Stream, nullptr, nullptr);
    if (pa_stream_get_state(h.Stream) == PA_STREAM_READY ||
        pa_stream_get_state(h.Stream) == PA_STREAM_CREATING)
      pa_stream_disconnect(h.Stream);
    pa_stream_unref(h.Stream);
    h.Stream = nullptr;
  }

  std::shared_ptr<Connection> conn_;
  Choice choice_;
  HandleTable<OutputHandle> handles_;
};

}  // namespace

std::unique_ptr<WaveOut> MakeOutput(std::shared_ptr<Connection> connection, Choice choice) {
  return std::make_unique<PulseOut>(std::move(connection), std::move(choice));
}

}  // namespace zorvane::pulse
