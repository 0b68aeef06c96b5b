// SPDX-License-Identifier: GPL-3.0-or-later
// The wave-audio device interface the instrument drives: PCM formats, buffer
// headers with a done flag the caller polls, and output/input devices whose
// every call returns 0 or a non-zero error code. No callback reaches the
// caller; backends may use threads and publish progress through atomics.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace zorvane {

constexpr uint32_t WHDR_DONE = 0x01;
constexpr uint32_t WHDR_PREPARED = 0x02;
constexpr uint32_t WHDR_BEGINLOOP = 0x04;
constexpr uint32_t WHDR_ENDLOOP = 0x08;
constexpr uint32_t WHDR_INQUEUE = 0x10;

constexpr uint32_t WAVE_FORMAT_PCM = 1;
constexpr uint32_t WAVE_FORMAT_QUERY = 1;
constexpr uint32_t TIME_BYTES = 4;

// Result codes of the device calls (0 is success).
enum : uint32_t {
  MMSYSERR_NOERROR = 0,
  MMSYSERR_ERROR = 1,
  MMSYSERR_BADDEVICEID = 2,
  MMSYSERR_ALLOCATED = 4,
  MMSYSERR_INVALHANDLE = 5,
  MMSYSERR_NODRIVER = 6,
  MMSYSERR_NOMEM = 7,
  MMSYSERR_INVALPARAM = 11,
  WAVERR_BADFORMAT = 32,
  WAVERR_STILLPLAYING = 33,
  WAVERR_UNPREPARED = 34,
};

struct WaveFormat {
  uint16_t FormatTag = WAVE_FORMAT_PCM;
  uint16_t Channels = 1;
  uint32_t SamplesPerSec = 44100;
  uint32_t AvgBytesPerSec = 88200;
  uint16_t BlockAlign = 2;
  uint16_t BitsPerSample = 16;
  uint16_t ExtraSize = 0;
};

struct WaveHeader {
  uint8_t* Data = nullptr;
  uint32_t BufferLength = 0;
  std::atomic<uint32_t> BytesRecorded{0};
  uint32_t User = 0;
  std::atomic<uint32_t> Flags{0};
  uint32_t Loops = 0;

  bool Done() const { return (Flags.load(std::memory_order_acquire) & WHDR_DONE) != 0; }
};

constexpr uint32_t kWaveHeaderSize = 32;  // the size argument the calls are given
constexpr uint32_t kTimeRecordSize = 12;

struct WaveTime {
  uint32_t Type = TIME_BYTES;
  uint32_t Bytes = 0;
};

using WaveHandle = intptr_t;  // 0 is no handle

// Output: one looping buffer played until reset.
class WaveOut {
 public:
  virtual ~WaveOut() = default;
  virtual std::string Name() const = 0;
  // With WAVE_FORMAT_QUERY only asks whether the format can be played and
  // leaves *handle alone; with 0 opens a device into *handle.
  virtual uint32_t Open(WaveHandle* handle, const WaveFormat& fmt, uint32_t flags) = 0;
  virtual uint32_t Prepare(WaveHandle h, WaveHeader* hdr, uint32_t size) = 0;
  virtual uint32_t Unprepare(WaveHandle h, WaveHeader* hdr, uint32_t size) = 0;
  // Plays the header's buffer; with WHDR_BEGINLOOP|WHDR_ENDLOOP it repeats
  // Loops times (0xFFFFFFFF: until reset).
  virtual uint32_t Write(WaveHandle h, WaveHeader* hdr, uint32_t size) = 0;
  virtual uint32_t Reset(WaveHandle h) = 0;
  virtual uint32_t Close(WaveHandle h) = 0;
  // How long a sample written now takes to leave the device, in
  // microseconds, once a buffer plays on this handle (0 when unknown).
  virtual int64_t LatencyUs(WaveHandle) { return 0; }
};

// Input: buffers queued in order, filled and flagged done, byte position
// since start, reset returns every queued buffer marked done.
class WaveIn {
 public:
  virtual ~WaveIn() = default;
  virtual std::string Name() const = 0;
  virtual uint32_t Open(WaveHandle* handle, const WaveFormat& fmt, uint32_t flags) = 0;
  virtual uint32_t Prepare(WaveHandle h, WaveHeader* hdr, uint32_t size) = 0;
  virtual uint32_t Unprepare(WaveHandle h, WaveHeader* hdr, uint32_t size) = 0;
  virtual uint32_t AddBuffer(WaveHandle h, WaveHeader* hdr, uint32_t size) = 0;
  virtual uint32_t Start(WaveHandle h) = 0;
  virtual uint32_t GetPosition(WaveHandle h, WaveTime* t, uint32_t size) = 0;
  virtual uint32_t Reset(WaveHandle h) = 0;
  virtual uint32_t Close(WaveHandle h) = 0;
  // Buffers the backend could not fill in time since the last open.
  virtual uint64_t Overruns() const { return 0; }
  // Called, from whatever thread fills the buffers, each time a buffer is
  // marked done by recording (not by a reset), and by some backends each
  // time recorded bytes reach a buffer. Set while no device is open.
  virtual void SetBufferDoneNotify(std::function<void()> notify) { (void)notify; }
  // How long a sample takes from the device's input to a buffer, in
  // microseconds, on an open handle (0 when unknown).
  virtual int64_t LatencyUs(WaveHandle) { return 0; }
};

// A sound card: an output and an input device.
struct AudioDevices {
  std::unique_ptr<WaveOut> Out;
  std::unique_ptr<WaveIn> In;
  std::string Description;
};

}  // namespace zorvane
