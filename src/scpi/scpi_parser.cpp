// SPDX-License-Identifier: GPL-3.0-or-later
#include "scpi/scpi_parser.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "scpi/scpi_errors.h"

namespace zorvane::scpi {

namespace {

bool Alpha(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool Digit(char c) { return c >= '0' && c <= '9'; }
bool Space(char c) { return c == ' ' || c == '\t' || c == '\r'; }
char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

std::string UpperCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = Upper(c);
  return out;
}

// Reads one unit from line[i...] up to its ";" or the end of the line.
class UnitReader {
 public:
  UnitReader(std::string_view line, size_t& i) : s_(line), i_(i) {}

  bool Fail(Unit& u, int code, std::string detail = "") {
    u.Error = code;
    u.Detail = std::move(detail);
    return false;
  }

  void SkipSpace() {
    while (i_ < s_.size() && Space(s_[i_])) ++i_;
  }
  bool AtEnd() const { return i_ >= s_.size() || s_[i_] == ';'; }

  bool Header(Unit& u, const std::vector<std::string>& path, bool& absolute) {
    SkipSpace();
    absolute = false;
    if (i_ < s_.size() && s_[i_] == '*') {
      u.Common = true;
      const size_t start = i_++;
      while (i_ < s_.size() && Alpha(s_[i_])) ++i_;
      if (i_ - start < 2) return Fail(u, err::CommandError, "no command after *");
      u.Keywords.push_back(UpperCase(s_.substr(start, i_ - start)));
    } else {
      if (i_ < s_.size() && s_[i_] == ':') {
        absolute = true;
        ++i_;
      }
      if (!absolute) u.Keywords = path;
      for (;;) {
        const size_t start = i_;
        if (i_ >= s_.size() || !Alpha(s_[i_])) {
          if (start >= s_.size() || s_[start] == ';')
            return Fail(u, err::CommandError, "no header");
          return Fail(u, err::InvalidCharacter, "in the header");
        }
        while (i_ < s_.size() && (Alpha(s_[i_]) || Digit(s_[i_]) || s_[i_] == '_')) ++i_;
        if (i_ - start > kMaxMnemonic) return Fail(u, err::MnemonicTooLong);
        u.Keywords.push_back(UpperCase(s_.substr(start, i_ - start)));
        if (i_ < s_.size() && s_[i_] == ':') {
          ++i_;
          continue;
        }
        break;
      }
    }
    if (i_ < s_.size() && s_[i_] == '?') {
      u.Query = true;
      ++i_;
    }
    if (i_ < s_.size() && !Space(s_[i_]) && s_[i_] != ';')
      return Fail(u, err::InvalidCharacter, "in the header");
    return true;
  }

  bool Number(Unit& u, Param& p) {
    const size_t start = i_;
    if (s_[i_] == '+' || s_[i_] == '-') ++i_;
    size_t digits = 0;
    while (i_ < s_.size() && Digit(s_[i_])) ++i_, ++digits;
    if (i_ < s_.size() && s_[i_] == '.') {
      ++i_;
      while (i_ < s_.size() && Digit(s_[i_])) ++i_, ++digits;
    }
    if (digits == 0) return Fail(u, err::NumericDataError);
    size_t end = i_;
    // An exponent: "E" with digits; an "E" without them starts a unit.
    if (i_ < s_.size() && Upper(s_[i_]) == 'E') {
      size_t j = i_ + 1;
      while (j < s_.size() && Space(s_[j])) ++j;
      if (j < s_.size() && (s_[j] == '+' || s_[j] == '-')) ++j;
      if (j < s_.size() && Digit(s_[j])) {
        while (j < s_.size() && Digit(s_[j])) ++j;
        end = i_ = j;
      }
    }
    p.Type = Param::Kind::Number;
    p.Text = std::string(s_.substr(start, end - start));
    std::string compact;
    for (char c : p.Text)
      if (!Space(c) && c != '+') compact += c;
    const char* first = compact.data();
    const auto [ptr, ec] = std::from_chars(first, first + compact.size(), p.Value);
    if (ec != std::errc() || ptr != first + compact.size() || !std::isfinite(p.Value))
      return Fail(u, err::NumericDataError);
    // A unit, after optional blanks: letters, with a multiplier prefix.
    size_t j = i_;
    while (j < s_.size() && Space(s_[j])) ++j;
    if (j < s_.size() && Alpha(s_[j])) {
      const size_t us = j;
      while (j < s_.size() && Alpha(s_[j])) ++j;
      std::string unit = UpperCase(s_.substr(us, j - us));
      i_ = j;
      if (unit.size() > 2 && unit.compare(unit.size() - 2, 2, "HZ") == 0) {
        const std::string prefix = unit.substr(0, unit.size() - 2);
        // For hertz, M and MA both mean mega (there is no millihertz).
        if (prefix == "K")
          p.Value *= 1e3;
        else if (prefix == "M" || prefix == "MA")
          p.Value *= 1e6;
        else
          return Fail(u, err::InvalidSuffix, unit);
        unit = "HZ";
      } else if (unit == "MS") {
        p.Value *= 1e-3;
        unit = "S";
      }
      p.Unit = unit;
    }
    return true;
  }

  bool Param1(Unit& u) {
    Param p;
    const char c = s_[i_];
    if (c == '"' || c == '\'') {
      p.Type = Param::Kind::String;
      ++i_;
      for (;;) {
        if (i_ >= s_.size()) return Fail(u, err::InvalidStringData, "no closing quote");
        if (s_[i_] == c) {
          if (i_ + 1 < s_.size() && s_[i_ + 1] == c) {
            p.Text += c;
            i_ += 2;
            continue;
          }
          ++i_;
          break;
        }
        p.Text += s_[i_++];
      }
    } else if (Digit(c) || c == '+' || c == '-' || c == '.') {
      if (!Number(u, p)) return false;
    } else if (Alpha(c)) {
      const size_t start = i_;
      while (i_ < s_.size() && (Alpha(s_[i_]) || Digit(s_[i_]) || s_[i_] == '_')) ++i_;
      p.Type = Param::Kind::Word;
      p.Text = UpperCase(s_.substr(start, i_ - start));
    } else if (c == '#') {
      // Non-decimal numbers; block data is not taken in a line.
      const char base = i_ + 1 < s_.size() ? Upper(s_[i_ + 1]) : 0;
      const int radix = base == 'H' ? 16 : base == 'Q' ? 8 : base == 'B' ? 2 : 0;
      if (radix == 0) return Fail(u, err::DataTypeError, "block data is not accepted");
      i_ += 2;
      const size_t start = i_;
      while (i_ < s_.size() && std::isalnum(static_cast<unsigned char>(s_[i_]))) ++i_;
      long long v = 0;
      const auto [ptr, ec] = std::from_chars(s_.data() + start, s_.data() + i_, v, radix);
      if (i_ == start || ec != std::errc() || ptr != s_.data() + i_)
        return Fail(u, err::NumericDataError);
      p.Type = Param::Kind::Number;
      p.Value = static_cast<double>(v);
      p.Text = std::to_string(v);
    } else {
      return Fail(u, err::InvalidCharacter, "in a parameter");
    }
    u.Params.push_back(std::move(p));
    SkipSpace();
    if (!AtEnd() && s_[i_] != ',') return Fail(u, err::InvalidSeparator);
    return true;
  }

  bool Params(Unit& u) {
    SkipSpace();
    if (AtEnd()) return true;
    for (;;) {
      SkipSpace();
      if (AtEnd() || s_[i_] == ',') return Fail(u, err::MissingParameter);
      if (!Param1(u)) return false;
      if (AtEnd()) return true;
      ++i_;  // the ","
    }
  }

 private:
  std::string_view s_;
  size_t& i_;
};

}  // namespace

std::vector<Unit> ParseMessage(std::string_view line) {
  std::vector<Unit> units;
  std::vector<std::string> path;
  size_t i = 0;
  for (;;) {
    UnitReader r(line, i);
    r.SkipSpace();
    if (i >= line.size()) break;  // an empty message, or a trailing ";"
    Unit u;
    bool absolute = false;
    const bool ok = r.Header(u, path, absolute) && r.Params(u);
    units.push_back(std::move(u));
    if (!ok) break;
    const Unit& done = units.back();
    if (!done.Common) path.assign(done.Keywords.begin(), done.Keywords.end() - 1);
    if (i >= line.size()) break;
    ++i;  // the ";"
  }
  return units;
}

Pattern::Pattern(std::string_view text) {
  if (!text.empty() && text.back() == '?') {
    query_ = true;
    text.remove_suffix(1);
  }
  size_t i = 0;
  while (i < text.size()) {
    bool optional = false;
    if (text[i] == '[') {
      optional = true;
      ++i;
    }
    if (i < text.size() && text[i] == ':') ++i;
    const size_t start = i;
    while (i < text.size() && text[i] != ':' && text[i] != '[' && text[i] != ']') ++i;
    Node n{UpperCase(text.substr(start, i - start)), "", optional};
    for (char c : text.substr(start, i - start))
      if (!std::islower(static_cast<unsigned char>(c))) n.Short += c;
    nodes_.push_back(std::move(n));
    if (i + 1 < text.size() && text[i] == ':' && text[i + 1] == ']') ++i;  // "[SOURce:]"
    if (i < text.size() && text[i] == ']') ++i;
  }
}

bool Pattern::MatchFrom(size_t node, const std::vector<std::string>& keywords, size_t at) const {
  if (node == nodes_.size()) return at == keywords.size();
  const Node& n = nodes_[node];
  if (at < keywords.size() && (keywords[at] == n.Long || keywords[at] == n.Short) &&
      MatchFrom(node + 1, keywords, at + 1))
    return true;
  return n.Optional && MatchFrom(node + 1, keywords, at);
}

bool Pattern::Matches(const std::vector<std::string>& keywords) const {
  return MatchFrom(0, keywords, 0);
}

}  // namespace zorvane::scpi
