// SPDX-License-Identifier: GPL-3.0-or-later
// PortAudio's callback thread copies the caller's buffer to the output and
// the input into the caller's recording, and publishes how far it got; it
// neither locks nor allocates. Opening, starting and closing the stream run
// on the device worker with its time limits: a sound server that dies under
// a measurement gives a failed measurement, never a hang. Once Close has
// returned the callback no longer touches the caller's buffers, even when
// PortAudio could not be made to stop the stream.
#include "platform/portaudio/portaudio_duplex.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>

#include "platform/portaudio/pa_library.h"

namespace zorvane {

namespace {

struct Run {
  const float* Play = nullptr;
  size_t PlayFrames = 0;
  float* Record = nullptr;
  size_t RecordFrames = 0;
  int OutChannels = 1, InChannels = 1;
  size_t Played = 0;     // the callback's own
  bool Flowing = false;  // the callback's own
  std::atomic<size_t> Recorded{0};
  // Callbacks that found samples lost or made up: an input that overflowed,
  // an output that ran dry. Either shifts the recording against the play.
  std::atomic<uint32_t> Lost{0};
  // PortAudio ended the stream (finished callback): by our stop, because the
  // recording is complete, or because the device failed.
  std::atomic<bool> Ended{false};
  // Set by Close: the callback leaves the buffers alone from then on. With
  // InCallback, this keeps a closing run's buffers from the callback without
  // a lock in it.
  std::atomic<bool> Dead{false};
  std::atomic<bool> InCallback{false};
};

// Keeps the callback off the buffers for good; a callback already past its
// test finishes first (it never waits).
void Kill(Run& run) {
  run.Dead.store(true);
  while (run.InCallback.load()) std::this_thread::yield();
}

void DuplexFinished(void* user) { static_cast<Run*>(user)->Ended.store(true); }

// What the caller is told when a call on the worker failed.
std::string DeviceFailure(const char* what, PaError e) {
  if (e == paTimedOut) return std::string("the sound card stopped answering (") + what + ")";
  return std::string(what) + ": " + Pa_GetErrorText(e);
}

int DuplexCallback(const void* input, void* output, unsigned long frames,
                   const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags status, void* user) {
  auto* run = static_cast<Run*>(user);
  run->InCallback.store(true);
  if (run->Dead.load()) {
    run->InCallback.store(false);
    return paAbort;
  }
  // Until the input delivers, a duplex stream hands zeros in its place
  // (flagged as an underflow): that only shifts the whole recording. Once
  // both directions flow, any loss counts.
  const PaStreamCallbackFlags losses = paInputOverflow | paInputUnderflow | paOutputUnderflow;
  if (!(status & losses)) run->Flowing = true;
  if ((status & losses) && run->Flowing) run->Lost.fetch_add(1, std::memory_order_relaxed);
  auto* out = static_cast<float*>(output);
  for (unsigned long k = 0; k < frames; ++k) {
    float v = 0.0f;
    if (run->Played < run->PlayFrames) v = run->Play[run->Played++];
    for (int c = 0; c < run->OutChannels; ++c) out[k * run->OutChannels + c] = v;
  }
  const size_t done = run->Recorded.load(std::memory_order_relaxed);
  const size_t n = std::min<size_t>(frames, run->RecordFrames - done);
  const auto* in = static_cast<const float*>(input);
  for (size_t k = 0; k < n; ++k) run->Record[done + k] = in ? in[k * run->InChannels] : 0.0f;
  run->Recorded.store(done + n, std::memory_order_release);
  run->InCallback.store(false);
  return done + n >= run->RecordFrames ? paComplete : paContinue;
}

class PortAudioDuplex : public FullDuplex {
 public:
  PortAudioDuplex(std::shared_ptr<pa::Library> library,
                  std::shared_ptr<const PortAudioDeviceChoice> choice)
      : library_(std::move(library)), choice_(std::move(choice)) {}
  ~PortAudioDuplex() override { Close(); }

  std::string Name() const override { return "portaudio"; }

  bool Open(uint32_t rate, std::string& error) override {
    Close();
    if (!library_->Ok()) {
      error = library_->Error() != paNoError
                  ? std::string("PortAudio: ") + Pa_GetErrorText(library_->Error())
                  : DeviceFailure("an earlier call never returned", paTimedOut);
      return false;
    }
    const int none = PortAudioDeviceChoice::kDefault;
    const PaDeviceIndex outDevice = pa::ChosenDevice(choice_ ? choice_->Output : none, false);
    const PaDeviceIndex inDevice = pa::ChosenDevice(choice_ ? choice_->Input : none, true);
    if (outDevice == paNoDevice || inDevice == paNoDevice) {
      error = "no sound card output or input device";
      return false;
    }
    // Mono where the devices take it; otherwise the left channel of two.
    PaError e = paInvalidChannelCount;
    for (int channels : {1, 2}) {
      pa::Job job;
      job.HasInput = job.HasOutput = true;
      job.Input = Parameters(inDevice, channels, true);
      job.Output = Parameters(outDevice, channels, false);
      job.Rate = rate;
      job.Call = pa::FormatQueryJob;
      e = library_->Call(job);
      if (e == paTimedOut) break;
      if (e != paFormatIsSupported) continue;
      auto run = std::make_unique<Run>();
      run->OutChannels = run->InChannels = channels;
      job.Call = pa::OpenStreamJob;
      job.Callback = DuplexCallback;
      job.Finished = DuplexFinished;
      job.User = run.get();
      e = library_->Call(job);
      if (e == paTimedOut) {
        Forget(std::move(run));
        break;
      }
      if (e != paNoError) continue;
      stream_ = job.Stream;
      run_ = std::move(run);
      break;
    }
    if (!stream_) {
      error = e == paTimedOut
                  ? DeviceFailure("opening the devices", e)
                  : "the sound card cannot play and record mono or stereo at " +
                        std::to_string(rate) + " Hz together (" + Pa_GetErrorText(e) + ")";
      return false;
    }
    const PaStreamInfo* info = Pa_GetStreamInfo(stream_);
    latency_ = info ? static_cast<size_t>(
                          std::clamp(info->inputLatency + info->outputLatency, 0.0, 5.0) * rate)
                    : 0;
    return true;
  }

  size_t LatencyFrames() const override { return latency_; }

  bool Start(const float* play, size_t playFrames, float* record, size_t recordFrames,
             std::string& error) override {
    if (!stream_ || started_) {
      error = stream_ ? "the sound card is already playing a run" : "the sound card is not open";
      return false;
    }
    run_->Play = play, run_->PlayFrames = playFrames;
    run_->Record = record, run_->RecordFrames = recordFrames;
    pa::Job job;
    job.Call = pa::StartStreamJob;
    job.Stream = stream_;
    const PaError e = library_->Call(job);
    if (e != paNoError) {
      error = DeviceFailure("the sound card did not start", e);
      return false;
    }
    started_ = true;
    return true;
  }

  size_t Recorded() const override {
    return run_ ? run_->Recorded.load(std::memory_order_acquire) : 0;
  }

  std::string Failure() const override {
    if (!run_ || !started_) return "";
    if (const uint32_t lost = run_->Lost.load(std::memory_order_relaxed))
      return "the sound card lost or inserted samples (" + std::to_string(lost) +
             (lost == 1 ? " time" : " times") + ")";
    if (run_->Ended.load() && Recorded() < run_->RecordFrames) return "the sound card stopped";
    return "";
  }

  void Close() override {
    if (run_) Kill(*run_);
    if (stream_) {
      pa::Job job;
      job.Call = pa::CloseStreamJob;
      job.Stream = stream_;
      stream_ = nullptr;
      // PortAudio may still call back into a stream it did not close.
      if (library_->Call(job) == paTimedOut && run_) Forget(std::move(run_));
    }
    started_ = false;
    run_.reset();
  }

 private:
  // A run PortAudio may still call back into outlives the duplex.
  void Forget(std::unique_ptr<Run> run) {
    Kill(*run);
    library_->Devices().Keep(std::shared_ptr<Run>(std::move(run)));
  }

  static PaStreamParameters Parameters(PaDeviceIndex device, int channels, bool input) {
    PaStreamParameters p{};
    p.device = device;
    p.channelCount = channels;
    p.sampleFormat = paFloat32;
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
    // A measurement needs no quick reaction, only no gaps.
    p.suggestedLatency =
        info ? (input ? info->defaultHighInputLatency : info->defaultHighOutputLatency) : 0.1;
    return p;
  }

  std::shared_ptr<pa::Library> library_;
  std::shared_ptr<const PortAudioDeviceChoice> choice_;
  PaStream* stream_ = nullptr;
  std::unique_ptr<Run> run_;
  bool started_ = false;
  size_t latency_ = 0;
};

}  // namespace

std::unique_ptr<FullDuplex> MakePortAudioDuplex(
    std::shared_ptr<const PortAudioDeviceChoice> choice) {
  return std::make_unique<PortAudioDuplex>(pa::AcquireLibrary(), std::move(choice));
}

}  // namespace zorvane
