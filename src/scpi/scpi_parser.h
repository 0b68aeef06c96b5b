// SPDX-License-Identifier: GPL-3.0-or-later
// Reading SCPI program messages: one line holds message units separated by
// ";", each a header (a common command "*IDN?" or keywords joined by ":",
// "?" for a query) and parameters separated by ",". Keywords match a
// command's long or short form in any case. A header without a leading ":"
// continues the path of the unit before it in the same line (after
// "SOUR:FREQ 1000;" the header "FUNC" means "SOUR:FUNC").
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zorvane::scpi {

struct Param {
  enum class Kind { Number, Word, String };
  Kind Type = Kind::Word;
  std::string Text;    // the word (upper case), the string's content, or the number as written
  double Value = 0.0;  // a number's value, its unit prefix applied (KHZ: * 1000)
  std::string Unit;    // a number's unit without prefix, upper case ("HZ"), or empty
};

struct Unit {
  bool Common = false;  // *XXX
  bool Query = false;
  std::vector<std::string> Keywords;  // upper case, the path resolved
  std::vector<Param> Params;
  int Error = 0;  // a command error found in this unit; it ends the message
  std::string Detail;
};

// The units of one line, up to and including the first one in error.
std::vector<Unit> ParseMessage(std::string_view line);

// A command's header as written in the table: keywords with their short
// form in upper case and optional parts in brackets, e.g.
// "[SOURce:]FREQuency[:CW]" or "*IDN"; a trailing "?" makes it a query.
class Pattern {
 public:
  explicit Pattern(std::string_view text);
  bool Query() const { return query_; }
  // Whether the keywords (upper case) name this command.
  bool Matches(const std::vector<std::string>& keywords) const;

 private:
  struct Node {
    std::string Long, Short;
    bool Optional;
  };
  bool MatchFrom(size_t node, const std::vector<std::string>& keywords, size_t at) const;
  std::vector<Node> nodes_;
  bool query_ = false;
};

// The longest keyword a header may have.
constexpr size_t kMaxMnemonic = 12;

}  // namespace zorvane::scpi
