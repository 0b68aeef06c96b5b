// SPDX-License-Identifier: GPL-3.0-or-later
// What the sound-server backends do alike with the handles they give out and
// the headers they are handed: a table of open handles numbered from 1, and
// the checks and flag changes that come before each backend's own work.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "platform/wave.h"

namespace zorvane {

template <class Handle>
class HandleTable {
 public:
  WaveHandle Add(std::unique_ptr<Handle> h) {
    const WaveHandle id = next_++;
    handles_[id] = std::move(h);
    return id;
  }
  Handle* Find(WaveHandle id) const {
    auto it = handles_.find(id);
    return it == handles_.end() ? nullptr : it->second.get();
  }
  // Out of the table; the caller decides whether it is freed now or kept
  // for a callback that may still run.
  std::unique_ptr<Handle> Take(WaveHandle id) {
    auto it = handles_.find(id);
    if (it == handles_.end()) return nullptr;
    std::unique_ptr<Handle> h = std::move(it->second);
    handles_.erase(it);
    return h;
  }
  auto begin() { return handles_.begin(); }
  auto end() { return handles_.end(); }

 private:
  WaveHandle next_ = 1;
  std::map<WaveHandle, std::unique_ptr<Handle>> handles_;
};

inline uint32_t PrepareHeader(bool open, WaveHeader* hdr) {
  if (!open) return MMSYSERR_INVALHANDLE;
  if (!hdr) return MMSYSERR_INVALPARAM;
  hdr->Flags.fetch_or(WHDR_PREPARED);
  return 0;
}

// An output header may be unprepared unless it is the one still playing.
inline uint32_t UnprepareOutputHeader(bool open, WaveHeader* hdr, const WaveHeader* playing,
                                      bool finished) {
  if (!open) return MMSYSERR_INVALHANDLE;
  if (!hdr) return MMSYSERR_INVALPARAM;
  if (playing == hdr && !finished) return WAVERR_STILLPLAYING;
  hdr->Flags.fetch_and(~WHDR_PREPARED);
  return 0;
}

// The bytes an output plays of a header (whole frames), or 0 with the
// refusal in `error`.
inline uint32_t PlayableBytes(const WaveHeader* hdr, const WaveFormat& format, uint32_t& error) {
  error = 0;
  if (!hdr) {
    error = MMSYSERR_INVALPARAM;
    return 0;
  }
  if (!(hdr->Flags.load() & WHDR_PREPARED)) {
    error = WAVERR_UNPREPARED;
    return 0;
  }
  const uint32_t align = format.BlockAlign == 0 ? 1u : format.BlockAlign;
  const uint32_t bytes = hdr->BufferLength - hdr->BufferLength % align;
  if (!hdr->Data || bytes == 0) error = MMSYSERR_INVALPARAM;
  return error ? 0 : bytes;
}

// Whether an input may queue a header: prepared, not queued already, and
// room for at least one frame.
inline uint32_t QueueableInputHeader(const WaveHeader* hdr, const WaveFormat& format) {
  if (!hdr) return MMSYSERR_INVALPARAM;
  const uint32_t flags = hdr->Flags.load(std::memory_order_acquire);
  if (!(flags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
  if (flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  if (!hdr->Data || hdr->BufferLength < format.BlockAlign) return MMSYSERR_INVALPARAM;
  return 0;
}

// A header entering a recording queue: empty, not done, queued. The caller
// publishes it to the recording thread after this.
inline void MarkQueued(WaveHeader& hdr) {
  hdr.BytesRecorded.store(0, std::memory_order_relaxed);
  hdr.Flags.fetch_and(~WHDR_DONE, std::memory_order_relaxed);
  hdr.Flags.fetch_or(WHDR_INQUEUE, std::memory_order_relaxed);
}

}  // namespace zorvane
