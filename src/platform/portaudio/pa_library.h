// PortAudio's process-wide state: initialised once on first use and
// terminated after the last device that uses it is gone. Private to the
// PortAudio backend.
#pragma once

#include <portaudio.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/wave.h"

namespace zorvane::pa {

class Library {
 public:
  Library();
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  bool Ok() const { return error_ == paNoError; }
  PaError Error() const { return error_; }

 private:
  PaError error_;
};

// The one library object, shared by everything that needs PortAudio running;
// the last holder to let go terminates PortAudio.
std::shared_ptr<Library> AcquireLibrary();

// The device a choice names (its number, or -1 for the default), when
// PortAudio still knows it with channels in that direction; otherwise the
// default device of that direction.
PaDeviceIndex ChosenDevice(int chosen, bool input);

// A wave-device result code for a PortAudio error.
uint32_t ResultFor(PaError error);

// True when the format is PCM that the backend can move: 1 or 2 channels of
// 8-bit unsigned or 16-bit signed samples, frames of channels x bytes.
bool PcmLayoutValid(const WaveFormat& fmt);

// PortAudio's sample format for the bits of a PCM format.
PaSampleFormat SampleFormatFor(const WaveFormat& fmt);

}  // namespace zorvane::pa
