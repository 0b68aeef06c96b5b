#include "support/test_support.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>

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

Rig::Rig(LoopbackOptions options, bool createConfig)
    : cable(platform, options), out(cable.Out()), in(cable.In()) {
  if (createConfig) {
    std::FILE* f = std::fopen(dir.File("Zorvane.cfg").c_str(), "wb");
    if (f) std::fclose(f);
  }
  form = std::make_unique<TZorvaneForm>(platform, out, in, dir.Path());
  for (Control* t : {form->ChartTimer, form->SweepTimer, form->FileTimer, form->TimeoutTimer})
    platform.AddTimer(t);
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
