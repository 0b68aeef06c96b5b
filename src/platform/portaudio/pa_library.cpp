#include "platform/portaudio/pa_library.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>

namespace zorvane::pa {

Library::Library() {
  QuietStderr quiet;
  error_ = Pa_Initialize();
}

Library::~Library() {
  if (error_ == paNoError) {
    QuietStderr quiet;
    Pa_Terminate();
  }
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

QuietStderr::QuietStderr() {
  std::fflush(stderr);
  const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (devNull < 0) return;
  saved_ = fcntl(2, F_DUPFD_CLOEXEC, 3);
  if (saved_ >= 0) dup2(devNull, 2);
  close(devNull);
}

QuietStderr::~QuietStderr() {
  if (saved_ < 0) return;
  std::fflush(stderr);
  dup2(saved_, 2);
  close(saved_);
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
