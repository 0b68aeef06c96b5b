// The sound card through PortAudio. The caller's thread opens, starts, stops
// and closes streams; PortAudio's callback thread only copies samples between
// the stream and the caller's buffers and publishes its progress through the
// headers' atomics and a few atomics of its own. Nothing in a callback locks
// or allocates.
#include "platform/portaudio/portaudio_devices.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <functional>
#include <map>

#include "platform/portaudio/pa_library.h"

namespace zorvane {

namespace {

constexpr uint32_t kLoopForever = 0xFFFFFFFFu;

using Choice = std::shared_ptr<const PortAudioDeviceChoice>;

PaDeviceIndex OutputDevice(const Choice& choice) {
  return pa::ChosenDevice(choice ? choice->Output : PortAudioDeviceChoice::kDefault, false);
}

PaDeviceIndex InputDevice(const Choice& choice) {
  return pa::ChosenDevice(choice ? choice->Input : PortAudioDeviceChoice::kDefault, true);
}

PaStreamParameters OutputParameters(PaDeviceIndex device, const WaveFormat& fmt) {
  PaStreamParameters p{};
  p.device = device;
  p.channelCount = fmt.Channels;
  p.sampleFormat = pa::SampleFormatFor(fmt);
  const PaDeviceInfo* info = p.device == paNoDevice ? nullptr : Pa_GetDeviceInfo(p.device);
  // A tone played in a loop needs no quick reaction, only no gaps.
  p.suggestedLatency = info ? info->defaultHighOutputLatency : 0.1;
  p.hostApiSpecificStreamInfo = nullptr;
  return p;
}

PaStreamParameters InputParameters(PaDeviceIndex device, const WaveFormat& fmt) {
  PaStreamParameters p{};
  p.device = device;
  p.channelCount = fmt.Channels;
  p.sampleFormat = pa::SampleFormatFor(fmt);
  const PaDeviceInfo* info = p.device == paNoDevice ? nullptr : Pa_GetDeviceInfo(p.device);
  p.suggestedLatency = info ? info->defaultLowInputLatency : 0.05;
  p.hostApiSpecificStreamInfo = nullptr;
  return p;
}

// The answer to a format query: a device that is there but refuses the
// format, for whatever reason PortAudio gives, cannot handle the format.
uint32_t QueryResult(PaError e) {
  if (e == paFormatIsSupported) return 0;
  const uint32_t result = pa::ResultFor(e);
  return result == MMSYSERR_NODRIVER ? result : WAVERR_BADFORMAT;
}

// Closes a stream whatever state it is in; the callback has stopped running
// when this returns.
void CloseStream(PaStream*& stream) {
  if (!stream) return;
  if (Pa_IsStreamStopped(stream) == 0) Pa_AbortStream(stream);
  Pa_CloseStream(stream);
  stream = nullptr;
}

// The latency PortAudio reports for an open stream, in microseconds (0
// without a stream), held to at most five seconds.
int64_t StreamLatencyUs(PaStream* stream, bool input) {
  if (!stream) return 0;
  const PaStreamInfo* info = Pa_GetStreamInfo(stream);
  if (!info) return 0;
  const double seconds = input ? info->inputLatency : info->outputLatency;
  if (!(seconds > 0.0)) return 0;
  return static_cast<int64_t>(std::min(seconds, 5.0) * 1e6 + 0.5);
}

void MarkDone(WaveHeader* hdr) {
  hdr->Flags.fetch_and(~WHDR_INQUEUE, std::memory_order_relaxed);
  hdr->Flags.fetch_or(WHDR_DONE, std::memory_order_release);
}

// ---------------------------------------------------------------- output

// One open output handle. It holds no stream until a buffer is written, so
// an idle handle keeps the sound card free.
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
  PortAudioOut(std::shared_ptr<pa::Library> library, Choice choice)
      : library_(std::move(library)), choice_(std::move(choice)) {}
  ~PortAudioOut() override {
    for (auto& [handle, h] : handles_) CloseStream(h->Stream);
  }

  std::string Name() const override { return "portaudio"; }

  uint32_t Open(WaveHandle* handle, const WaveFormat& fmt, uint32_t flags) override {
    if (!library_->Ok()) return MMSYSERR_NODRIVER;
    const PaDeviceIndex device = OutputDevice(choice_);
    if (device == paNoDevice) return MMSYSERR_NODRIVER;
    if (!pa::PcmLayoutValid(fmt)) return WAVERR_BADFORMAT;
    if (flags & WAVE_FORMAT_QUERY) {
      const PaStreamParameters out = OutputParameters(device, fmt);
      const PaError e = Pa_IsFormatSupported(nullptr, &out, fmt.SamplesPerSec);
      return QueryResult(e);
    }
    if (!handle) return MMSYSERR_INVALPARAM;
    auto h = std::make_unique<OutputHandle>();
    h->Format = fmt;
    h->Device = device;
    *handle = next_++;
    handles_[*handle] = std::move(h);
    return 0;
  }

  uint32_t Prepare(WaveHandle handle, WaveHeader* hdr, uint32_t) override {
    if (!Find(handle)) return MMSYSERR_INVALHANDLE;
    if (!hdr) return MMSYSERR_INVALPARAM;
    hdr->Flags.fetch_or(WHDR_PREPARED);
    return 0;
  }

  uint32_t Unprepare(WaveHandle handle, WaveHeader* hdr, uint32_t) override {
    OutputHandle* h = Find(handle);
    if (!h) return MMSYSERR_INVALHANDLE;
    if (!hdr) return MMSYSERR_INVALPARAM;
    if (h->Header == hdr && !h->Finished.load(std::memory_order_acquire))
      return WAVERR_STILLPLAYING;
    hdr->Flags.fetch_and(~WHDR_PREPARED);
    return 0;
  }

  uint32_t Write(WaveHandle handle, WaveHeader* hdr, uint32_t) override {
    OutputHandle* h = Find(handle);
    if (!h) return MMSYSERR_INVALHANDLE;
    if (!hdr) return MMSYSERR_INVALPARAM;
    if (!(hdr->Flags.load() & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    const uint32_t loopBytes = hdr->BufferLength - hdr->BufferLength % h->Format.BlockAlign;
    if (!hdr->Data || loopBytes == 0) return MMSYSERR_INVALPARAM;
    // A second write replaces whatever this handle was playing.
    StopPlaying(*h);

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

    const PaStreamParameters out = OutputParameters(h->Device, h->Format);
    PaError e;
    {
      e = Pa_OpenStream(&h->Stream, nullptr, &out, h->Format.SamplesPerSec,
                        paFramesPerBufferUnspecified, paClipOff | paDitherOff, OutputCallback, h);
      if (e == paNoError) {
        const PaStreamInfo* info = Pa_GetStreamInfo(h->Stream);
        h->LatencyFrames = info ? info->outputLatency * h->Format.SamplesPerSec : 0.0;
        e = Pa_StartStream(h->Stream);
        if (e != paNoError) CloseStream(h->Stream);
      } else {
        h->Stream = nullptr;
      }
    }
    if (e != paNoError) {
      h->Header = nullptr;
      hdr->Flags.fetch_and(~WHDR_INQUEUE);
      hdr->Flags.fetch_or(WHDR_DONE);
      return pa::ResultFor(e);
    }
    return 0;
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
    handles_.erase(handle);
    return 0;
  }

  int64_t LatencyUs(WaveHandle handle) override {
    OutputHandle* h = Find(handle);
    return h ? StreamLatencyUs(h->Stream, false) : 0;
  }

 private:
  OutputHandle* Find(WaveHandle handle) {
    auto it = handles_.find(handle);
    return it == handles_.end() ? nullptr : it->second.get();
  }

  // Stops the stream at once and hands the buffer back marked done.
  static void StopPlaying(OutputHandle& h) {
    if (h.Stream) {
      CloseStream(h.Stream);
    }
    if (h.Header) {
      MarkDone(h.Header);
      h.Header = nullptr;
    }
    h.Finished.store(true);
  }

  std::shared_ptr<pa::Library> library_;
  Choice choice_;
  WaveHandle next_ = 1;
  std::map<WaveHandle, std::unique_ptr<OutputHandle>> handles_;
};

// ----------------------------------------------------------------- input

// The buffers queued on an input handle, in order: the caller's thread pushes
// at the tail, the callback fills the front and pops it when full. The caller
// drains it itself only while the stream is stopped.
constexpr uint32_t kQueueSlots = 64;

struct InputHandle {
  WaveFormat Format;
  PaStream* Stream = nullptr;
  bool Started = false;
  std::array<WaveHeader*, kQueueSlots> Queue{};
  std::atomic<uint32_t> Head{0};      // next to fill; advanced by the consumer
  std::atomic<uint32_t> Tail{0};      // next free slot; advanced by the caller
  std::atomic<uint64_t> Position{0};  // bytes delivered into buffers since start
  std::atomic<uint64_t>* Overruns = nullptr;
  // Told of every buffer the callback completes; set before the stream runs.
  const std::function<void()>* Notify = nullptr;

  bool Empty() const {
    return Head.load(std::memory_order_acquire) == Tail.load(std::memory_order_acquire);
  }
};

int InputCallback(const void* input, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
                  PaStreamCallbackFlags status, void* user) {
  auto* h = static_cast<InputHandle*>(user);
  // Samples the device itself lost before they reached us.
  if (status & paInputOverflow) h->Overruns->fetch_add(1, std::memory_order_relaxed);
  if (!input) return paContinue;
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
  return paContinue;
}

class PortAudioIn : public WaveIn {
 public:
  PortAudioIn(std::shared_ptr<pa::Library> library, Choice choice)
      : library_(std::move(library)), choice_(std::move(choice)) {}
  ~PortAudioIn() override {
    for (auto& [handle, h] : handles_) CloseStream(h->Stream);
  }

  std::string Name() const override { return "portaudio"; }

  uint32_t Open(WaveHandle* handle, const WaveFormat& fmt, uint32_t flags) override {
    if (!library_->Ok()) return MMSYSERR_NODRIVER;
    const PaDeviceIndex device = InputDevice(choice_);
    if (device == paNoDevice) return MMSYSERR_NODRIVER;
    if (!pa::PcmLayoutValid(fmt)) return WAVERR_BADFORMAT;
    const PaStreamParameters in = InputParameters(device, fmt);
    if (flags & WAVE_FORMAT_QUERY) {
      const PaError e = Pa_IsFormatSupported(&in, nullptr, fmt.SamplesPerSec);
      return QueryResult(e);
    }
    if (!handle) return MMSYSERR_INVALPARAM;
    auto h = std::make_unique<InputHandle>();
    h->Format = fmt;
    h->Overruns = &overruns_;
    h->Notify = &notify_;
    PaError e;
    {
      e = Pa_OpenStream(&h->Stream, &in, nullptr, fmt.SamplesPerSec, paFramesPerBufferUnspecified,
                        paClipOff | paDitherOff, InputCallback, h.get());
    }
    if (e != paNoError) return pa::ResultFor(e);
    overruns_.store(0);
    *handle = next_++;
    handles_[*handle] = std::move(h);
    return 0;
  }

  uint32_t Prepare(WaveHandle handle, WaveHeader* hdr, uint32_t) override {
    if (!Find(handle)) return MMSYSERR_INVALHANDLE;
    if (!hdr) return MMSYSERR_INVALPARAM;
    hdr->Flags.fetch_or(WHDR_PREPARED);
    return 0;
  }

  uint32_t Unprepare(WaveHandle handle, WaveHeader* hdr, uint32_t) override {
    if (!hdr) return MMSYSERR_INVALPARAM;
    // A header that is not prepared needs nothing from the device: this
    // succeeds even after the device was shut down under a waiting loop.
    if (!(hdr->Flags.load(std::memory_order_acquire) & WHDR_PREPARED)) return 0;
    if (!Find(handle)) return MMSYSERR_INVALHANDLE;
    if (hdr->Flags.load(std::memory_order_acquire) & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    hdr->Flags.fetch_and(~WHDR_PREPARED);
    return 0;
  }

  uint32_t AddBuffer(WaveHandle handle, WaveHeader* hdr, uint32_t) override {
    InputHandle* h = Find(handle);
    if (!h) return MMSYSERR_INVALHANDLE;
    if (!hdr) return MMSYSERR_INVALPARAM;
    const uint32_t flags = hdr->Flags.load(std::memory_order_acquire);
    if (!(flags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    if (flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    if (!hdr->Data || hdr->BufferLength < h->Format.BlockAlign) return MMSYSERR_INVALPARAM;
    const uint32_t tail = h->Tail.load(std::memory_order_relaxed);
    if (tail - h->Head.load(std::memory_order_acquire) >= kQueueSlots) return MMSYSERR_NOMEM;
    hdr->BytesRecorded.store(0, std::memory_order_relaxed);
    hdr->Flags.fetch_and(~WHDR_DONE, std::memory_order_relaxed);
    hdr->Flags.fetch_or(WHDR_INQUEUE, std::memory_order_relaxed);
    h->Queue[tail % kQueueSlots] = hdr;
    h->Tail.store(tail + 1, std::memory_order_release);
    return 0;
  }

  uint32_t Start(WaveHandle handle) override {
    InputHandle* h = Find(handle);
    if (!h) return MMSYSERR_INVALHANDLE;
    if (h->Started) return 0;
    h->Position.store(0);
    PaError e;
    { e = Pa_StartStream(h->Stream); }
    if (e != paNoError && e != paStreamIsNotStopped) return pa::ResultFor(e);
    h->Started = true;
    return 0;
  }

  uint32_t GetPosition(WaveHandle handle, WaveTime* t, uint32_t) override {
    InputHandle* h = Find(handle);
    if (!h) return MMSYSERR_INVALHANDLE;
    if (!t) return MMSYSERR_INVALPARAM;
    t->Type = TIME_BYTES;
    t->Bytes = static_cast<uint32_t>(h->Position.load(std::memory_order_acquire));
    return 0;
  }

  uint32_t Reset(WaveHandle handle) override {
    InputHandle* h = Find(handle);
    if (!h) return MMSYSERR_INVALHANDLE;
    const uint32_t result = Stop(*h);
    // The callback no longer runs: hand every queued buffer back, in order.
    const uint32_t tail = h->Tail.load(std::memory_order_acquire);
    for (uint32_t i = h->Head.load(std::memory_order_acquire); i != tail; ++i)
      MarkDone(h->Queue[i % kQueueSlots]);
    h->Head.store(tail, std::memory_order_release);
    h->Position.store(0);
    return result;
  }

  uint32_t Close(WaveHandle handle) override {
    InputHandle* h = Find(handle);
    if (!h) return MMSYSERR_INVALHANDLE;
    if (!h->Empty()) return WAVERR_STILLPLAYING;
    { CloseStream(h->Stream); }
    handles_.erase(handle);
    return 0;
  }

  uint64_t Overruns() const override { return overruns_.load(std::memory_order_relaxed); }
  void SetBufferDoneNotify(std::function<void()> notify) override { notify_ = std::move(notify); }

  int64_t LatencyUs(WaveHandle handle) override {
    InputHandle* h = Find(handle);
    return h ? StreamLatencyUs(h->Stream, true) : 0;
  }

 private:
  InputHandle* Find(WaveHandle handle) {
    auto it = handles_.find(handle);
    return it == handles_.end() ? nullptr : it->second.get();
  }

  static uint32_t Stop(InputHandle& h) {
    h.Started = false;
    if (Pa_IsStreamStopped(h.Stream) != 0) return 0;
    return pa::ResultFor(Pa_AbortStream(h.Stream));
  }

  std::shared_ptr<pa::Library> library_;
  Choice choice_;
  WaveHandle next_ = 1;
  std::map<WaveHandle, std::unique_ptr<InputHandle>> handles_;
  std::atomic<uint64_t> overruns_{0};
  std::function<void()> notify_;
};

std::string DeviceName(PaDeviceIndex device) {
  const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
  if (!info) return "?";
  const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
  return std::string(api ? api->name : "?") + " \"" + (info->name ? info->name : "?") + "\"";
}

std::string Description(PaDeviceIndex out, PaDeviceIndex in) {
  return std::string(Pa_GetVersionText()) + "; output " +
         (out == paNoDevice ? std::string("none") : DeviceName(out)) + ", input " +
         (in == paNoDevice ? std::string("none") : DeviceName(in));
}

}  // namespace

bool PortAudioHasDefaultDevices(std::string* description) {
  auto library = pa::AcquireLibrary();
  if (!library->Ok()) {
    if (description) *description = std::string("PortAudio: ") + Pa_GetErrorText(library->Error());
    return false;
  }
  const PaDeviceIndex out = Pa_GetDefaultOutputDevice();
  const PaDeviceIndex in = Pa_GetDefaultInputDevice();
  if (description) *description = Description(out, in);
  return out != paNoDevice && in != paNoDevice;
}

std::vector<AudioDeviceInfo> PortAudioDeviceList() {
  auto library = pa::AcquireLibrary();
  std::vector<AudioDeviceInfo> devices;
  if (!library->Ok()) return devices;
  const PaDeviceIndex defaultIn = Pa_GetDefaultInputDevice();
  const PaDeviceIndex defaultOut = Pa_GetDefaultOutputDevice();
  const PaDeviceIndex count = Pa_GetDeviceCount();
  for (PaDeviceIndex i = 0; i < count; ++i) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
    if (!info) continue;
    const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
    AudioDeviceInfo d;
    d.Index = i;
    d.HostApi = api && api->name ? api->name : "?";
    d.Name = info->name ? info->name : "?";
    d.InputChannels = info->maxInputChannels;
    d.OutputChannels = info->maxOutputChannels;
    d.DefaultRate = info->defaultSampleRate;
    d.DefaultInput = i == defaultIn;
    d.DefaultOutput = i == defaultOut;
    devices.push_back(std::move(d));
  }
  return devices;
}

bool ChoosePortAudioDevices(const std::string& output, const std::string& input,
                            PortAudioDeviceChoice& choice, std::string& error) {
  if (output.empty() && input.empty()) return true;
  const std::vector<AudioDeviceInfo> devices = PortAudioDeviceList();
  if (!output.empty() &&
      !MatchAudioDevice(output, devices, DeviceDirection::Output, choice.Output, error))
    return false;
  if (!input.empty() &&
      !MatchAudioDevice(input, devices, DeviceDirection::Input, choice.Input, error))
    return false;
  return true;
}

AudioDevices OpenPortAudioDevices(std::shared_ptr<const PortAudioDeviceChoice> choice) {
  auto library = pa::AcquireLibrary();
  AudioDevices devices;
  devices.Description = library->Ok()
                            ? Description(OutputDevice(choice), InputDevice(choice))
                            : std::string("PortAudio: ") + Pa_GetErrorText(library->Error());
  devices.Out = std::make_unique<PortAudioOut>(library, choice);
  devices.In = std::make_unique<PortAudioIn>(library, choice);
  return devices;
}

}  // namespace zorvane
