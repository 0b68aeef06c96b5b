// SPDX-License-Identifier: GPL-3.0-or-later
// The SCPI parser and the command table behind it: any bytes a client sends,
// cut into lines as the server cuts them, must neither crash nor read or
// write out of bounds; every unit is looked up in the table and its error
// (if any) formatted as SYSTem:ERRor? would answer it.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/headless/headless_platform.h"
#include "platform/loopback/loopback.h"
#include "scpi/scpi_instrument.h"

using namespace zorvane;
using namespace zorvane::scpi;

namespace {

struct Setup {
  Setup()
      : folder([] {
          auto dir = std::filesystem::temp_directory_path() / "zorvane-fuzz-scpi";
          std::filesystem::create_directories(dir);
          return dir.string();
        }()),
        cable(platform),
        form(platform, cable.Out(), cable.In(), folder),
        instrument(form, platform) {}
  std::string folder;
  HeadlessPlatform platform{true};
  LoopbackCable cable;
  TZorvaneForm form;
  Instrument instrument;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Setup setup;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  ErrorQueue errors;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    for (const Unit& u : ParseMessage(line)) {
      if (u.Error != 0) {
        errors.Push(u.Error, u.Detail);
        continue;
      }
      bool known = false;
      for (const Command& c : setup.instrument.Commands())
        known = known || (c.Match.Query() == u.Query && c.Match.Matches(u.Keywords));
      if (!known) errors.Push(err::UndefinedHeader);
      std::vector<double> numbers;
      for (const Param& p : u.Params) numbers.push_back(p.Value);
      Values(setup.instrument, numbers, 3);
      for (const Param& p : u.Params) QuotedString(p.Text);
    }
    start = end + 1;
  }
  while (errors.Count() > 0) errors.Pop();
  return 0;
}
