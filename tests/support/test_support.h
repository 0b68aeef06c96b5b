// SPDX-License-Identifier: GPL-3.0-or-later
// A whole instrument for tests: the form on a virtual clock, the loopback
// cable behind fault-injecting wrappers, and a private settings folder.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Zorvane.h"
#include "platform/fault_injection.h"
#include "platform/headless/headless_platform.h"
#include "platform/loopback/loopback.h"

namespace zorvane::testing {

// A fresh empty folder under the system's temporary directory, removed with
// the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// A whole file's bytes, and a file holding exactly these bytes.
using Bytes = std::vector<uint8_t>;
Bytes ReadFile(const std::string& path);
void WriteFile(const std::string& path, const Bytes& bytes);
// Field n (from 1) of a settings file: a little-endian 32-bit value.
int32_t Field(const Bytes& b, int n);
void SetField(Bytes& b, int n, int32_t v);

struct Rig {
  // The settings folder is `folder`, or a fresh one of the rig's own; with
  // createConfig an empty settings file is put there first.
  explicit Rig(LoopbackOptions options = {}, bool createConfig = false, std::string folder = {});
  ~Rig();
  TempDir dir;
  std::string folder;
  HeadlessPlatform platform{true};
  LoopbackCable cable;
  FaultyWaveOut out;
  FaultyWaveIn in;
  std::unique_ptr<TZorvaneForm> form;
  TZorvaneForm& F() { return *form; }
  AppState& S() { return form->S; }
  // Lets virtual time pass with the message loop idling.
  void Idle(int ms) { platform.Idle(ms); }
  // Runs fn through the message pump once `ms` of virtual time have passed
  // from now: inside whatever loop is pumping then, as a user's click would.
  void At(int ms, std::function<void()> fn);
  // Runs at every pump of the message loop (before the scheduled calls).
  std::function<void()> EachPump;
  // Messages shown so far as "[title] text", joined by " | ".
  std::string MessageLog() const;
  std::string ConfigFile() const { return folder + "/Zorvane.cfg"; }

 private:
  struct Scheduled {
    int64_t AtUs;
    std::function<void()> Fn;
  };
  std::vector<Scheduled> schedule_;
};

// A test on a fresh instrument, its form and state by short names.
struct InstrumentTest : ::testing::Test {
  Rig rig;
  TZorvaneForm& f = rig.F();
  AppState& S = rig.S();
  // Draws a frame of the display values on a cleared plot.
  void Frame() {
    f.ClearPlot();
    f.RenderDisplay(S.GraphType, S.DisplayValues);
  }
};

inline int CountPixels(const Bitmap& b, Color colour) {
  return static_cast<int>(std::count(b.Pixels().begin(), b.Pixels().end(), colour));
}

}  // namespace zorvane::testing
