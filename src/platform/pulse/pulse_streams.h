// SPDX-License-Identifier: GPL-3.0-or-later
// The sound card's output and input as wave devices on PulseAudio streams.
// Private to the PulseAudio backend.
#pragma once

#include <memory>

#include "platform/device_choice.h"
#include "platform/pulse/pulse_connection.h"
#include "platform/wave.h"

namespace zorvane::pulse {

using Choice = std::shared_ptr<const DeviceChoice>;

// The result of a call that needs a device the server no longer serves.
constexpr uint32_t kDeviceGone = MMSYSERR_NODRIVER;

std::unique_ptr<WaveOut> MakeOutput(std::shared_ptr<Connection> connection, Choice choice);
std::unique_ptr<WaveIn> MakeInput(std::shared_ptr<Connection> connection, Choice choice);

// The server's name of the device a choice names in that direction, or ""
// for the default (also when the chosen device is no longer known).
std::string ChosenName(Connection& connection, const Choice& choice, DeviceDirection direction);

// Hands a buffer back: no longer queued, done.
inline void MarkDone(WaveHeader* hdr) {
  hdr->Flags.fetch_and(~WHDR_INQUEUE, std::memory_order_relaxed);
  hdr->Flags.fetch_or(WHDR_DONE, std::memory_order_release);
}

// A stream's state as its state callback last saw it, for a caller that
// waits without the loop's lock.
struct StreamState {
  std::atomic<int> Now{PA_STREAM_UNCONNECTED};
  // Records the stream's state and wakes a waiting caller (loop's thread).
  void Seen(pa_stream* s, Connection& connection) {
    Now.store(pa_stream_get_state(s));
    connection.Wake();
  }
};

// Waits for a new stream to be ready: 0, or the wave result for why it is
// not (the server gone, or the device refused it).
uint32_t AwaitReady(Connection& connection, const StreamState& state);

}  // namespace zorvane::pulse
