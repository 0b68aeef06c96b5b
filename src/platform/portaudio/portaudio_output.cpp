// SPDX-License-Identifier: GPL-3.0-or-later
// The sound card's output: one looping buffer per handle, played by a
// PortAudio stream that exists only while a buffer plays, so that an idle
// handle keeps the sound card free. The caller's thread opens, starts and
// closes the stream through the device worker; PortAudio's callback thread
// only copies the loop into the stream and publishes its progress through
// atomics. Nothing in the callback locks or allocates.
#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/portaudio/pa_streams.h"
#include "platform/wave_handles.h"

namespace zorvane::pa {

namespace {

constexpr uint32_t kLoopForever = 0xFFFFFFFFu;

PaStreamParameters OutputParameters(PaDeviceIndex device, const WaveFormat& fmt) {
  PaStreamParameters p{};
  p.device = device;
  p.channelCount = fmt.Channels;
  p.sampleFormat = SampleFormatFor(fmt);
  const PaDeviceInfo* info = p.device == paNoDevice ? nullptr : Pa_GetDeviceInfo(p.device);
  // A tone played in a loop needs no quick reaction, only no gaps.
  p.suggestedLatency = info ? info->defaultHighOutputLatency : 0.1;
  p.hostApiSpecificStreamInfo = nullptr;
  return p;
}

// One open output handle.
struct OutputHandle {
  WaveFormat Format;
  PaDeviceIndex Device = paNoDevice;  // the device chosen when the handle was opened
  PaStream* Stream = nullptr;
  WaveHeader* Header = nullptr;  // the buffer written and not yet reset

  // Read by the callback; set by the caller's thread before the stream
  // starts and not changed while it runs.
  const uint8_t* Data = nullptr;
  uint32_t LoopBytes = 0;
  uint32_t Plays = 0;  // kLoopForever: until reset
  uint8_t Silence = 0;
  // Frames of the stream's output latency, for a host that gives no times.
  double LatencyFrames = 0.0;
  // The callback's own position.
  uint32_t Offset = 0;
  uint32_t Played = 0;
  // The last pass has been handed to the stream; from then on only silence.
  bool Handed = false;
  // When the last frame leaves the converter, in the stream's time; or, where
  // the host gives no times, the silent frames handed since it.
  double HeardAt = 0.0;
  double SilenceSince = 0.0;
  // Set by the callback once the last pass has been played (the header is
  // then done), or by a reset.
  std::atomic<bool> Finished{false};
};

// Where the host reports times, the last frame handed at frame `at` of this
// callback's buffer is heard at the buffer's converter time plus `at`
// frames; otherwise it is heard once the latency's worth of frames has
// followed it.
void NoteLastFrame(OutputHandle& h, const PaStreamCallbackTimeInfo* time, unsigned long at) {
  const double rate = h.Format.SamplesPerSec;
  h.Handed = true;
  h.SilenceSince = 0.0;
  h.HeardAt = 0.0;
  if (time && time->outputBufferDacTime > 0.0)
    h.HeardAt = time->outputBufferDacTime + at / rate;
  else if (time && time->currentTime > 0.0)
    h.HeardAt = time->currentTime + (h.LatencyFrames + at) / rate;
}

bool LastFrameHeard(OutputHandle& h, const PaStreamCallbackTimeInfo* time) {
  if (h.HeardAt > 0.0 && time && time->currentTime > 0.0) return time->currentTime >= h.HeardAt;
  return h.SilenceSince >= h.LatencyFrames;
}

int OutputCallback(const void*, void* output, unsigned long frames,
                   const PaStreamCallbackTimeInfo* time, PaStreamCallbackFlags, void* user) {
  auto* h = static_cast<OutputHandle*>(user);
  auto* dst = static_cast<uint8_t*>(output);
  const uint32_t frameBytes = h->Format.BlockAlign;
  size_t want = static_cast<size_t>(frames) * frameBytes;
  if (h->Handed) {
    std::memset(dst, h->Silence, want);
    if (LastFrameHeard(*h, time)) {
      h->Finished.store(true, std::memory_order_release);
      MarkDone(h->Header);
      return paComplete;
    }
    h->SilenceSince += static_cast<double>(frames);
    return paContinue;
  }
  while (want > 0) {
    const size_t n = std::min<size_t>(want, h->LoopBytes - h->Offset);
    std::memcpy(dst, h->Data + h->Offset, n);
    dst += n;
    want -= n;
    h->Offset += static_cast<uint32_t>(n);
    if (h->Offset == h->LoopBytes) {
      h->Offset = 0;
      if (h->Plays != kLoopForever && ++h->Played >= h->Plays) {
        NoteLastFrame(*h, time, frames - want / frameBytes);
        std::memset(dst, h->Silence, want);
        h->SilenceSince = static_cast<double>(want / frameBytes);
        break;
      }
    }
  }
  return paContinue;
}

class PortAudioOut : public WaveOut {
 public:
  PortAudioOut(std::shared_ptr<Library> library, Choice choice)
      : library_(std::move(library)), choice_(std::move(choice)) {}
  ~PortAudioOut() override {
    for (auto& [handle, h] : handles_) StopPlaying(*h);
    KeepIfStuck();
  }

  std::string Name() const override { return "portaudio"; }

  uint32_t Open(WaveHandle* handle, const WaveFormat& fmt, uint32_t flags) override {
    if (!library_->Ok()) return MMSYSERR_NODRIVER;
    const PaDeviceIndex device = OutputDevice(choice_);
    if (device == paNoDevice) return MMSYSERR_NODRIVER;
    if (!PcmLayoutValid(fmt)) return WAVERR_BADFORMAT;
    if (flags & WAVE_FORMAT_QUERY) {
      Job job;
      job.Call = FormatQueryJob;
      job.HasOutput = true;
      job.Output = OutputParameters(device, fmt);
      job.Rate = fmt.SamplesPerSec;
      return QueryResult(library_->Call(job));
    }
    if (!handle) return MMSYSERR_INVALPARAM;
    auto h = std::make_unique<OutputHandle>();
    h->Format = fmt;
    h->Device = device;
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
    if (!StopPlaying(*h)) return kDeviceGone;

    const uint32_t flags = hdr->Flags.load();
    const bool looped = (flags & WHDR_BEGINLOOP) && (flags & WHDR_ENDLOOP);
    h->Data = hdr->Data;
    h->LoopBytes = loopBytes;
    h->Plays = looped
                   ? (hdr->Loops == kLoopForever ? kLoopForever : std::max<uint32_t>(hdr->Loops, 1))
                   : 1;
    h->Silence = h->Format.BitsPerSample == 8 ? 0x80 : 0;
    h->Offset = 0;
    h->Played = 0;
    h->Handed = false;
    h->HeardAt = 0.0;
    h->SilenceSince = 0.0;
    h->Finished.store(false);
    h->Header = hdr;
    hdr->Flags.fetch_and(~WHDR_DONE);
    hdr->Flags.fetch_or(WHDR_INQUEUE);

    Job job;
    job.Call = OpenStreamJob;
    job.HasOutput = true;
    job.Output = OutputParameters(h->Device, h->Format);
    job.Rate = h->Format.SamplesPerSec;
    job.Callback = OutputCallback;
    job.User = h;
    PaError e = library_->Call(job);
    if (e == paNoError) {
      h->Stream = job.Stream;
      const PaStreamInfo* info = Pa_GetStreamInfo(h->Stream);
      h->LatencyFrames = info ? info->outputLatency * h->Format.SamplesPerSec : 0.0;
      job.Call = StartStreamJob;
      e = library_->Call(job);
    }
    if (e != paNoError) {
      StopPlaying(*h);
      return ResultFor(e);
    }
    return 0;
  }

  uint32_t Reset(WaveHandle handle) override {
    OutputHandle* h = Find(handle);
    if (!h) return MMSYSERR_INVALHANDLE;
    return StopPlaying(*h) ? 0 : kDeviceGone;
  }

  uint32_t Close(WaveHandle handle) override {
    OutputHandle* h = Find(handle);
    if (!h) return MMSYSERR_INVALHANDLE;
    if (h->Header && !h->Finished.load(std::memory_order_acquire)) return WAVERR_STILLPLAYING;
    const bool released = StopPlaying(*h);
    std::unique_ptr<OutputHandle> closed = handles_.Take(handle);
    if (!released || !library_->Ok())
      library_->Devices().Keep(std::shared_ptr<OutputHandle>(std::move(closed)));
    return released ? 0 : kDeviceGone;
  }

  int64_t LatencyUs(WaveHandle handle) override {
    OutputHandle* h = Find(handle);
    return h ? StreamLatencyUs(h->Stream, false) : 0;
  }

 private:
  OutputHandle* Find(WaveHandle handle) { return handles_.Find(handle); }

  // Stops the stream at once and hands the buffer back marked done. False
  // when PortAudio did not let go of the stream in time: its callback may
  // still run, so the handle must outlive it.
  bool StopPlaying(OutputHandle& h) {
    bool released = true;
    if (h.Stream) {
      Job job;
      job.Call = CloseStreamJob;
      job.Stream = h.Stream;
      released = library_->Call(job) != paTimedOut;
      h.Stream = nullptr;
    }
    if (h.Header) {
      MarkDone(h.Header);
      h.Header = nullptr;
    }
    h.Finished.store(true);
    return released;
  }

  // Once a call is stuck in PortAudio, no handle is freed: a stream it
  // could not stop may still call back into one.
  void KeepIfStuck() {
    if (library_->Ok()) return;
    for (auto& [handle, h] : handles_)
      library_->Devices().Keep(std::shared_ptr<OutputHandle>(std::move(h)));
  }

  std::shared_ptr<Library> library_;
  Choice choice_;
  HandleTable<OutputHandle> handles_;
};

}  // namespace

std::unique_ptr<WaveOut> MakeOutput(std::shared_ptr<Library> library, Choice choice) {
  return std::make_unique<PortAudioOut>(std::move(library), std::move(choice));
}

}  // namespace zorvane::pa
