// SPDX-License-Identifier: GPL-3.0-or-later
// The remote control's script reader and the instrument behind it: any text
// read as a script must neither crash nor read or write out of bounds.
// Commands that reach the file system (bitmap, clipboard, dialog) and the end of the
// program are left out, and the time a script may let pass is bounded so
// that every input runs quickly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/script.h"
#include "fuzz/fuzz_instrument.h"

using namespace zorvane;

namespace {

constexpr size_t kMaxLines = 24;
constexpr size_t kMaxLineLength = 256;
constexpr long long kMaxWaitMs = 30;  // over the whole script

bool StartsWith(const std::string& s, const char* word) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  return s.compare(i, std::char_traits<char>::length(word), word) == 0;
}

// The lines to run: at most kMaxLines, no file commands, no quit (the
// instrument would have to be built anew for the next input), waits within
// the budget (a longer wait stays in, shortened, so its parsing is still
// read).
std::vector<std::string> Lines(const uint8_t* data, size_t size) {
  std::vector<std::string> lines;
  std::string line;
  long long waited = 0;
  auto take = [&] {
    if (line.size() > kMaxLineLength) line.resize(kMaxLineLength);
    for (const char* left : {"bitmap", "clipboard", "dialog", "quit"})
      if (StartsWith(line, left)) return;
    if (StartsWith(line, "wait")) {
      const long long ms = std::strtoll(line.c_str() + line.find("wait") + 4, nullptr, 10);
      if (ms > kMaxWaitMs - waited || ms < 0) line = "wait " + std::to_string(kMaxWaitMs - waited);
      waited += std::strtoll(line.c_str() + line.find("wait") + 4, nullptr, 10);
    }
    lines.push_back(line);
  };
  for (size_t i = 0; i < size && lines.size() < kMaxLines; ++i) {
    if (data[i] == '\n') {
      take();
      line.clear();
    } else {
      line += static_cast<char>(data[i]);
    }
  }
  if (!line.empty() && lines.size() < kMaxLines) take();
  return lines;
}

const std::string& FuzzSettingsFolder() {
  static const std::string folder = [] {
    auto dir = std::filesystem::temp_directory_path() / "zorvane-fuzz-script";
    std::filesystem::create_directories(dir);
    return dir.string();
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> lines = Lines(data, size);
  // A script that ended the program (quit, a device failure) leaves an
  // instrument that cannot go on: the next input gets a new one.
  static std::unique_ptr<FuzzInstrument> instrument;
  if (!instrument || instrument->platform.Terminated())
    instrument = std::make_unique<FuzzInstrument>(FuzzSettingsFolder());
  else
    instrument->Reset();
  auto ignore = [](const std::string&) {};
  ScriptRunner runner(instrument->form, instrument->platform, ignore, ignore);
  runner.Run(lines);
  return 0;
}
