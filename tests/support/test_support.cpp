#include "support/test_support.h"

#include <atomic>
#include <cstdio>
#include <unistd.h>

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
