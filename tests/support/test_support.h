// A whole instrument for tests: the form on a virtual clock, the loopback
// cable behind fault-injecting wrappers, and a private settings folder.
#pragma once

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

struct Rig {
  explicit Rig(LoopbackOptions options = {}, bool createConfig = false);
  ~Rig();
  TempDir dir;
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

 private:
  struct Scheduled {
    int64_t AtUs;
    std::function<void()> Fn;
  };
  std::vector<Scheduled> schedule_;
};

}  // namespace zorvane::testing
