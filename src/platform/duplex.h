// SPDX-License-Identifier: GPL-3.0-or-later
// Full duplex: one buffer played on the output while the input records
// another, both at one rate and started together, so that recorded frame n
// and played frame n are a fixed latency apart for the whole run. Samples
// are mono floats, full scale +-1 (a full-scale sine has amplitude 1).
//
// The caller polls: no callback reaches it. Backends may fill the recording
// from a thread of their own and publish progress with atomics.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zorvane {

class FullDuplex {
 public:
  virtual ~FullDuplex() = default;
  virtual std::string Name() const = 0;
  // Opens the devices at `rate`; false with a message naming the problem.
  virtual bool Open(uint32_t rate, std::string& error) = 0;
  // Frames from a sample played to its recording that the devices report
  // (their buffers; not what lies between output and input). Known once
  // open; 0 when the devices cannot tell.
  virtual size_t LatencyFrames() const = 0;
  // Plays `play` (then silence) while recording `recordFrames` frames into
  // `record`. Both buffers stay the caller's and must be left alone until
  // Close. False with a message when the run cannot start.
  virtual bool Start(const float* play, size_t playFrames, float* record, size_t recordFrames,
                     std::string& error) = 0;
  // Frames recorded so far; the run is complete when this reaches
  // recordFrames.
  virtual size_t Recorded() const = 0;
  // Empty while the run goes well; otherwise what went wrong (the device
  // stopped or lost samples).
  virtual std::string Failure() const = 0;
  // Stops at once and closes the devices; safe in any state. After it
  // returns the buffers are no longer touched.
  virtual void Close() = 0;
};

}  // namespace zorvane
