// SPDX-License-Identifier: GPL-3.0-or-later
// Wrappers that pass every device call through to a real backend, log it by
// name, and make chosen calls fail with a chosen code: for tests of every
// failure path.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/wave.h"

namespace zorvane {

class FaultPlan {
 public:
  // The (skip + 1)-th next call of this operation fails with code.
  // Operations: "query", "open", "prepare", "unprepare", "write", "add",
  // "start", "position", "reset", "close".
  void FailNext(const std::string& op, uint32_t code, int skip = 0) {
    byOp_[op].push_back({skip, code});
  }
  // Every call of this operation fails from now on.
  void FailAlways(const std::string& op, uint32_t code) { always_[op] = code; }
  void Clear() {
    byOp_.clear();
    always_.clear();
  }
  std::vector<std::string> Log;
  // Long runs switch the log off so that it does not grow without bound.
  bool Logging = true;
  // Returns the injected code for this call (0: pass through).
  uint32_t Check(const std::string& op);

 private:
  std::map<std::string, std::vector<std::pair<int, uint32_t>>> byOp_;
  std::map<std::string, uint32_t> always_;
};

class FaultyWaveOut : public WaveOut {
 public:
  explicit FaultyWaveOut(WaveOut& inner) : inner_(inner) {}
  FaultPlan Plan;
  std::string Name() const override { return inner_.Name(); }
  uint32_t Open(WaveHandle* h, const WaveFormat& f, uint32_t flags) override;
  uint32_t Prepare(WaveHandle h, WaveHeader* hdr, uint32_t size) override;
  uint32_t Unprepare(WaveHandle h, WaveHeader* hdr, uint32_t size) override;
  uint32_t Write(WaveHandle h, WaveHeader* hdr, uint32_t size) override;
  uint32_t Reset(WaveHandle h) override;
  uint32_t Close(WaveHandle h) override;
  // The sound path's delay reported in place of the device's, when set.
  int64_t LatencyOverrideUs = -1;
  int64_t LatencyUs(WaveHandle h) override {
    return LatencyOverrideUs >= 0 ? LatencyOverrideUs : inner_.LatencyUs(h);
  }
  // The last header written: flags, loops and length as the device saw them.
  uint32_t LastWriteFlags = 0, LastWriteLoops = 0, LastWriteLength = 0;
  int Writes = 0;

 private:
  WaveOut& inner_;
};

class FaultyWaveIn : public WaveIn {
 public:
  explicit FaultyWaveIn(WaveIn& inner) : inner_(inner) {}
  FaultPlan Plan;
  std::string Name() const override { return inner_.Name(); }
  uint32_t Open(WaveHandle* h, const WaveFormat& f, uint32_t flags) override;
  uint32_t Prepare(WaveHandle h, WaveHeader* hdr, uint32_t size) override;
  uint32_t Unprepare(WaveHandle h, WaveHeader* hdr, uint32_t size) override;
  uint32_t AddBuffer(WaveHandle h, WaveHeader* hdr, uint32_t size) override;
  uint32_t Start(WaveHandle h) override;
  uint32_t GetPosition(WaveHandle h, WaveTime* t, uint32_t size) override;
  uint32_t Reset(WaveHandle h) override;
  uint32_t Close(WaveHandle h) override;
  uint64_t Overruns() const override { return inner_.Overruns(); }
  void SetBufferDoneNotify(std::function<void()> notify) override {
    inner_.SetBufferDoneNotify(std::move(notify));
  }
  int64_t LatencyUs(WaveHandle h) override { return inner_.LatencyUs(h); }
  WaveFormat LastFormat;

 private:
  WaveIn& inner_;
};

}  // namespace zorvane
