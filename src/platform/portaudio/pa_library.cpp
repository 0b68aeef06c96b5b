// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/portaudio/pa_library.h"

#include <dlfcn.h>

#include <mutex>

namespace zorvane::pa {

namespace {

// The host libraries' own printers, silenced: ALSA and JACK write their
// probing of the machine ("cannot find card", "cannot connect to server") to
// standard error. Both libraries come with PortAudio; their setters are
// looked up at run time so that neither is needed to build, and a missing
// one is simply left alone. Nothing else of the process's standard error is
// touched: other threads' messages and sanitizer reports still reach it.
void AlsaQuiet(const char*, int, const char*, int, const char*, ...) {}
void JackQuiet(const char*) {}

void SilenceHostLibraries() {
  using AlsaHandler = void (*)(const char*, int, const char*, int, const char*, ...);
  using AlsaSetter = int (*)(AlsaHandler);
  using JackPrinter = void (*)(const char*);
  using JackSetter = void (*)(JackPrinter);
  if (void* set = dlsym(RTLD_DEFAULT, "snd_lib_error_set_handler"))
    reinterpret_cast<AlsaSetter>(set)(&AlsaQuiet);
  for (const char* name : {"jack_set_error_function", "jack_set_info_function"})
    if (void* set = dlsym(RTLD_DEFAULT, name)) reinterpret_cast<JackSetter>(set)(&JackQuiet);
}

PaError InitializeJob(Job&) { return Pa_Initialize(); }
PaError TerminateJob(Job&) { return Pa_Terminate(); }

}  // namespace

Library::Library() {
  SilenceHostLibraries();
  Job job;
  job.Call = InitializeJob;
  error_ = Call(job, kStartLimit);
}

Library::~Library() {
  if (!Ok()) return;
  Job job;
  job.Call = TerminateJob;
  Call(job);
}

PaError Library::Call(Job& job, std::chrono::milliseconds limit) {
  PaError result = paNoError;
  return worker_.Run(job, result, limit) ? result : paTimedOut;
}

PaError OpenStreamJob(Job& j) {
  const PaError e = Pa_OpenStream(
      &j.Stream, j.HasInput ? &j.Input : nullptr, j.HasOutput ? &j.Output : nullptr, j.Rate,
      paFramesPerBufferUnspecified, paClipOff | paDitherOff, j.Callback, j.User);
  if (e != paNoError) {
    j.Stream = nullptr;
    return e;
  }
  if (j.Finished) Pa_SetStreamFinishedCallback(j.Stream, j.Finished);
  return e;
}

PaError StartStreamJob(Job& j) { return Pa_StartStream(j.Stream); }

PaError AbortStreamJob(Job& j) {
  return Pa_IsStreamStopped(j.Stream) == 0 ? Pa_AbortStream(j.Stream) : paNoError;
}

PaError CloseStreamJob(Job& j) {
  if (Pa_IsStreamStopped(j.Stream) == 0) Pa_AbortStream(j.Stream);
  return Pa_CloseStream(j.Stream);
}

PaError FormatQueryJob(Job& j) {
  return Pa_IsFormatSupported(j.HasInput ? &j.Input : nullptr, j.HasOutput ? &j.Output : nullptr,
                              j.Rate);
}

std::shared_ptr<Library> AcquireLibrary() {
  // Held here until the process ends, and by every device meanwhile, so that
  // PortAudio is initialised once and outlives the streams opened through it.
  static std::mutex guard;
  static std::shared_ptr<Library> library;
  std::lock_guard<std::mutex> lock(guard);
  if (!library) library = std::make_shared<Library>();
  return library;
}

PaDeviceIndex ChosenDevice(int chosen, bool input) {
  if (chosen >= 0 && chosen < Pa_GetDeviceCount()) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(chosen);
    if (info && (input ? info->maxInputChannels : info->maxOutputChannels) > 0) return chosen;
  }
  return input ? Pa_GetDefaultInputDevice() : Pa_GetDefaultOutputDevice();
}

uint32_t ResultFor(PaError error) {
  switch (error) {
    case paNoError:
      return MMSYSERR_NOERROR;
    case paInvalidChannelCount:
    case paInvalidSampleRate:
    case paSampleFormatNotSupported:
    case paIncompatibleHostApiSpecificStreamInfo:
      return WAVERR_BADFORMAT;
    case paNotInitialized:
    case paInvalidDevice:
    case paHostApiNotFound:
    case paInvalidHostApi:
      return MMSYSERR_NODRIVER;
    case paDeviceUnavailable:
      return MMSYSERR_ALLOCATED;
    case paInsufficientMemory:
      return MMSYSERR_NOMEM;
    case paBadStreamPtr:
      return MMSYSERR_INVALHANDLE;
    case paTimedOut:  // the sound server stopped answering
      return MMSYSERR_NODRIVER;
    default:
      return MMSYSERR_ERROR;
  }
}

bool PcmLayoutValid(const WaveFormat& fmt) {
  return fmt.FormatTag == WAVE_FORMAT_PCM && (fmt.Channels == 1 || fmt.Channels == 2) &&
         (fmt.BitsPerSample == 8 || fmt.BitsPerSample == 16) && fmt.SamplesPerSec > 0 &&
         fmt.BlockAlign == fmt.Channels * fmt.BitsPerSample / 8;
}

PaSampleFormat SampleFormatFor(const WaveFormat& fmt) {
  return fmt.BitsPerSample == 8 ? paUInt8 : paInt16;
}

}  // namespace zorvane::pa
