// SPDX-License-Identifier: GPL-3.0-or-later
// The sound card's output and input as wave devices, and what the two share.
// Private to the PortAudio backend.
#pragma once

#include <portaudio.h>

#include <cstdint>
#include <memory>

#include "platform/portaudio/pa_library.h"
#include "platform/portaudio/portaudio_devices.h"
#include "platform/wave.h"

namespace zorvane::pa {

using Choice = std::shared_ptr<const PortAudioDeviceChoice>;

// The result of a call that needs a device the sound server no longer serves.
constexpr uint32_t kDeviceGone = MMSYSERR_NODRIVER;

std::unique_ptr<WaveOut> MakeOutput(std::shared_ptr<Library> library, Choice choice);
std::unique_ptr<WaveIn> MakeInput(std::shared_ptr<Library> library, Choice choice);

// The device a choice names for that direction, when PortAudio still knows
// it with channels in that direction; otherwise the default.
PaDeviceIndex OutputDevice(const Choice& choice);
PaDeviceIndex InputDevice(const Choice& choice);

// The answer to a format query: a device that is there but refuses the
// format, for whatever reason PortAudio gives, cannot handle the format.
uint32_t QueryResult(PaError e);

// The latency PortAudio reports for an open stream, in microseconds (0
// without a stream), held to at most five seconds.
int64_t StreamLatencyUs(PaStream* stream, bool input);

// Hands a buffer back: no longer queued, done.
inline void MarkDone(WaveHeader* hdr) {
  hdr->Flags.fetch_and(~WHDR_INQUEUE, std::memory_order_relaxed);
  hdr->Flags.fetch_or(WHDR_DONE, std::memory_order_release);
}

}  // namespace zorvane::pa
