// SPDX-License-Identifier: GPL-3.0-or-later
// PortAudio's process-wide state: initialised once on first use and
// terminated after the last device that uses it is gone, with the device
// worker every blocking call goes through. Private to the PortAudio backend.
#pragma once

#include <portaudio.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/portaudio/pa_worker.h"
#include "platform/wave.h"

namespace zorvane::pa {

// How long a stream call (open, start, stop, close, a format query) may take
// before the sound server counts as gone. Healthy calls take milliseconds.
constexpr std::chrono::milliseconds kCallLimit{800};
// PortAudio's own start probes every device and may take longer.
constexpr std::chrono::milliseconds kStartLimit{10000};

class Library {
 public:
  Library();
  // Terminates PortAudio unless a call is stuck in it.
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  // Started, and no call has been given up since.
  bool Ok() const { return error_ == paNoError && !worker_.Stuck(); }
  PaError Error() const { return error_; }

  // Runs job.Call on the device worker within `limit`; paTimedOut when it
  // did not return in time or an earlier call was given up.
  PaError Call(Job& job, std::chrono::milliseconds limit = kCallLimit);
  Worker& Devices() { return worker_; }

 private:
  Worker worker_;
  PaError error_;
};

// The one library object, shared by everything that needs PortAudio running;
// the last holder to let go terminates PortAudio.
std::shared_ptr<Library> AcquireLibrary();

// The device a choice names (its number, or -1 for the default), when
// PortAudio still knows it with channels in that direction; otherwise the
// default device of that direction.
PaDeviceIndex ChosenDevice(int chosen, bool input);

// The blocking calls, as jobs for Library::Call.
PaError OpenStreamJob(Job& job);   // Pa_OpenStream, then the finished callback if any
PaError StartStreamJob(Job& job);  // Pa_StartStream
PaError AbortStreamJob(Job& job);  // Pa_AbortStream when the stream is not stopped
PaError CloseStreamJob(Job& job);  // aborts when running, then Pa_CloseStream
PaError FormatQueryJob(Job& job);  // Pa_IsFormatSupported

// A wave-device result code for a PortAudio error.
uint32_t ResultFor(PaError error);

// True when the format is PCM that the backend can move: 1 or 2 channels of
// 8-bit unsigned or 16-bit signed samples, frames of channels x bytes.
bool PcmLayoutValid(const WaveFormat& fmt);

// PortAudio's sample format for the bits of a PCM format.
PaSampleFormat SampleFormatFor(const WaveFormat& fmt);

}  // namespace zorvane::pa
