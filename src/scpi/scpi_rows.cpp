// SPDX-License-Identifier: GPL-3.0-or-later
// Parameter helpers and row makers shared by the command tables.
#include "scpi/scpi_rows.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "platform/image_files.h"

namespace zorvane::scpi {

// ---- Parameters ----

bool Count(Call& c, size_t min, size_t max) {
  const size_t n = c.U.Params.size();
  if (n < min) c.In.Errors.Push(err::MissingParameter);
  if (n > max) c.In.Errors.Push(err::ParameterNotAllowed);
  return n >= min && n <= max;
}

bool NumberAt(Call& c, size_t i, double& v, const char* unit) {
  const Param& p = c.U.Params[i];
  if (p.Type != Param::Kind::Number) {
    c.In.Errors.Push(err::DataTypeError, "a number is expected");
    return false;
  }
  if (!p.Unit.empty() && p.Unit != unit) {
    c.In.Errors.Push(err::InvalidSuffix, p.Unit);
    return false;
  }
  v = p.Value;
  return true;
}

// Text of a word, a string or a number as written.
std::string TextAt(Call& c, size_t i) { return c.U.Params[i].Text; }

// A control's name: letters, digits and "_".
bool NameAt(Call& c, size_t i, std::string& name) {
  const Param& p = c.U.Params[i];
  name = p.Text;
  if (p.Type == Param::Kind::Word) {
    // Words arrive in upper case: take the control's own spelling.
    for (const auto& control : c.In.Form.AllControls()) {
      std::string upper = control->Name();
      for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      if (upper == name) name = control->Name();
    }
  }
  const bool ok = !name.empty() && std::all_of(name.begin(), name.end(), [](char ch) {
    return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_';
  });
  if (!ok) c.In.Errors.Push(err::IllegalParameterValue, "not a control name: " + name);
  return ok;
}

namespace {

std::string ShortForm(const char* word) {
  std::string s;
  for (const char* p = word; *p; ++p)
    if (!std::islower(static_cast<unsigned char>(*p))) s += *p;
  return s;
}

}  // namespace

const Choice* ChoiceAt(Call& c, size_t i, const std::vector<Choice>& choices) {
  const Param& p = c.U.Params[i];
  for (const Choice& ch : choices) {
    if (p.Type == Param::Kind::Number && p.Unit.empty() && p.Value == ch.Value) return &ch;
    if (p.Type == Param::Kind::Word && ch.Word && Pattern(ch.Word).Matches({p.Text})) return &ch;
  }
  std::string allowed;
  for (const Choice& ch : choices)
    allowed += (allowed.empty() ? "" : ", ") + (ch.Word ? ShortForm(ch.Word) : Number(ch.Value));
  c.In.Errors.Push(err::IllegalParameterValue, "one of " + allowed);
  return nullptr;
}

namespace {

// What a choice's query answers: its short form, or its number.
std::string ChoiceReply(const std::vector<Choice>& choices, int32_t value, bool numeric) {
  for (const Choice& ch : choices)
    if (ch.Value == value) return numeric || !ch.Word ? Number(ch.Value) : ShortForm(ch.Word);
  return Number(value);
}

}  // namespace

const std::vector<Choice> kOnOff = {{"OFF", 0, nullptr}, {"ON", 1, nullptr}};

// ---- Row makers ----

// A setting chosen by a menu item; the state field holds the choice's value.
void MenuChoice(Instrument& in, const char* header, int32_t AppState::*field,
                std::vector<Choice> choices, bool numericReply) {
  in.Add(header, Command::kNone, [=](Call& c) {
    if (!Count(c, 1, 1)) return Done::Yes;
    if (const Choice* ch = ChoiceAt(c, 0, choices)) {
      c.In.MarkChange();
      c.In.Remote(std::string("click ") + ch->Item);
    }
    return Done::Yes;
  });
  in.Add((std::string(header) + "?").c_str(), Command::kNone, [=](Call& c) {
    c.Reply = ChoiceReply(choices, c.In.Form.S.*field, numericReply);
    return Done::Yes;
  });
}

// A setting a button cycles through: clicked until the field holds the
// choice (a click the instrument refuses ends it with its message).
void ButtonCycle(Instrument& in, const char* header, const char* button, int32_t AppState::*field,
                 std::vector<Choice> choices, bool numericReply, int flags) {
  in.Add(header, flags, [=](Call& c) {
    if (!Count(c, 1, 1)) return Done::Yes;
    const Choice* ch = ChoiceAt(c, 0, choices);
    if (!ch) return Done::Yes;
    const size_t errors = c.In.Errors.Count();
    c.In.MarkChange();
    for (size_t i = 0; i < choices.size() && c.In.Form.S.*field != ch->Value; ++i) {
      const int32_t before = c.In.Form.S.*field;
      if (!c.In.Remote(std::string("click ") + button) || c.In.Form.S.*field == before) break;
    }
    if (c.In.Form.S.*field != ch->Value && c.In.Errors.Count() == errors)
      c.In.Errors.Push(err::SettingsConflict, std::string(button) + " did not take it");
    return Done::Yes;
  });
  in.Add((std::string(header) + "?").c_str(), Command::kNone, [=](Call& c) {
    c.Reply = ChoiceReply(choices, c.In.Form.S.*field, numericReply);
    return Done::Yes;
  });
}

// A query of numbers, or -230 while there are none.
using Series = std::function<bool(Call&, std::vector<double>&)>;
void DataQuery(Instrument& in, const char* header, int decimals, Series series) {
  in.Add(header, Command::kNone, [=](Call& c) {
    if (!Count(c, 0, 0)) return Done::Yes;
    std::vector<double> v;
    if (series(c, v)) c.Reply = Values(c.In, v, decimals);
    return Done::Yes;
  });
}

void ImageReply(Call& c, const Bitmap& image) {
  bool png = true;
  if (c.U.Params.size() == 1) {
    static const std::vector<Choice> kinds = {{"PNG", 0, nullptr}, {"BMP", 1, nullptr}};
    const Choice* ch = ChoiceAt(c, 0, kinds);
    if (!ch) return;
    png = ch->Value == 0;
  }
  const std::vector<uint8_t> bytes = EncodeImage(image, png);
  c.Reply = Block(bytes.data(), bytes.size());
}

bool FileAt(Call& c, size_t i, std::string& path) {
  int code = 0;
  std::string why;
  if (c.In.Files.Resolve(TextAt(c, i), path, code, why)) return true;
  c.In.Errors.Push(code, why);
  return false;
}

std::string Printed(const std::string& line) {
  const size_t at = line.find(" = ");
  return at == std::string::npos ? line : line.substr(at + 3);
}

}  // namespace zorvane::scpi
