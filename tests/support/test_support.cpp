// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/test_support.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace zorvane::testing {

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  path_ = (std::filesystem::temp_directory_path() /
           ("zorvane-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++)))
              .string();
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

Bytes ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), {});
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

int32_t Field(const Bytes& b, int n) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v |= static_cast<uint32_t>(b.at(4 * (n - 1) + i)) << (8 * i);
  return static_cast<int32_t>(v);
}

void SetField(Bytes& b, int n, int32_t v) {
  for (size_t i = 0; i < 4; ++i)
    b.at(4 * (n - 1) + i) = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
}

Rig::Rig(LoopbackOptions options, bool createConfig, std::string folder_)
    : folder(folder_.empty() ? dir.Path() : folder_),
      cable(platform, options),
      out(cable.Out()),
      in(cable.In()) {
  if (createConfig) WriteFile(ConfigFile(), {});
  form = std::make_unique<TZorvaneForm>(platform, out, in, folder);
  for (Control* t : {form->ChartTimer, form->SweepTimer, form->FileTimer, form->TimeoutTimer})
    platform.AddTimer(t);
  platform.NextUserEventUs = [this] {
    int64_t next = Platform::kNoEvent;
    for (const Scheduled& s : schedule_) next = std::min(next, s.AtUs);
    return next;
  };
  platform.DeliverUserEvents = [this] {
    if (EachPump) EachPump();
    const int64_t now = platform.NowUs();
    for (size_t i = 0; i < schedule_.size();) {
      if (schedule_[i].AtUs <= now) {
        auto fn = std::move(schedule_[i].Fn);
        schedule_.erase(schedule_.begin() + static_cast<long>(i));
        fn();
        i = 0;
      } else {
        ++i;
      }
    }
  };
}

void Rig::At(int ms, std::function<void()> fn) {
  schedule_.push_back({platform.NowUs() + static_cast<int64_t>(ms) * 1000, std::move(fn)});
}

Rig::~Rig() = default;

std::string Rig::MessageLog() const {
  std::string s;
  for (const auto& m : platform.Messages) {
    if (!s.empty()) s += " | ";
    s += "[" + m.Title + "] " + m.Text;
  }
  return s;
}

}  // namespace zorvane::testing
