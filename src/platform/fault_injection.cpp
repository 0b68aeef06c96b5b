// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/fault_injection.h"

namespace zorvane {

uint32_t FaultPlan::Check(const std::string& op) {
  if (Logging) Log.push_back(op);
  if (auto a = always_.find(op); a != always_.end()) return a->second;
  auto it = byOp_.find(op);
  if (it == byOp_.end() || it->second.empty()) return 0;
  auto& [skip, code] = it->second.front();
  if (skip > 0) {
    --skip;
    return 0;
  }
  const uint32_t c = code;
  it->second.erase(it->second.begin());
  return c;
}

#define ZV_FAULT(op, call)                     \
  do {                                         \
    if (uint32_t c = Plan.Check(op)) return c; \
    return call;                               \
  } while (0)

uint32_t FaultyWaveOut::Open(WaveHandle* h, const WaveFormat& f, uint32_t flags) {
  ZV_FAULT((flags & WAVE_FORMAT_QUERY) ? "query" : "open", inner_.Open(h, f, flags));
}
uint32_t FaultyWaveOut::Prepare(WaveHandle h, WaveHeader* hdr, uint32_t s) {
  ZV_FAULT("prepare", inner_.Prepare(h, hdr, s));
}
uint32_t FaultyWaveOut::Unprepare(WaveHandle h, WaveHeader* hdr, uint32_t s) {
  ZV_FAULT("unprepare", inner_.Unprepare(h, hdr, s));
}
uint32_t FaultyWaveOut::Write(WaveHandle h, WaveHeader* hdr, uint32_t s) {
  LastWriteFlags = hdr->Flags.load();
  LastWriteLoops = hdr->Loops;
  LastWriteLength = hdr->BufferLength;
  ++Writes;
  ZV_FAULT("write", inner_.Write(h, hdr, s));
}
uint32_t FaultyWaveOut::Reset(WaveHandle h) { ZV_FAULT("reset", inner_.Reset(h)); }
uint32_t FaultyWaveOut::Close(WaveHandle h) { ZV_FAULT("close", inner_.Close(h)); }

uint32_t FaultyWaveIn::Open(WaveHandle* h, const WaveFormat& f, uint32_t flags) {
  LastFormat = f;
  ZV_FAULT((flags & WAVE_FORMAT_QUERY) ? "query" : "open", inner_.Open(h, f, flags));
}
uint32_t FaultyWaveIn::Prepare(WaveHandle h, WaveHeader* hdr, uint32_t s) {
  ZV_FAULT("prepare", inner_.Prepare(h, hdr, s));
}
uint32_t FaultyWaveIn::Unprepare(WaveHandle h, WaveHeader* hdr, uint32_t s) {
  ZV_FAULT("unprepare", inner_.Unprepare(h, hdr, s));
}
uint32_t FaultyWaveIn::AddBuffer(WaveHandle h, WaveHeader* hdr, uint32_t s) {
  ZV_FAULT("add", inner_.AddBuffer(h, hdr, s));
}
uint32_t FaultyWaveIn::Start(WaveHandle h) { ZV_FAULT("start", inner_.Start(h)); }
uint32_t FaultyWaveIn::GetPosition(WaveHandle h, WaveTime* t, uint32_t s) {
  ZV_FAULT("position", inner_.GetPosition(h, t, s));
}
uint32_t FaultyWaveIn::Reset(WaveHandle h) { ZV_FAULT("reset", inner_.Reset(h)); }
uint32_t FaultyWaveIn::Close(WaveHandle h) { ZV_FAULT("close", inner_.Close(h)); }

#undef ZV_FAULT

}  // namespace zorvane
