// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/remote_control.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "app/state_fields.h"
#include "measure/log_sweep_model.h"
#include "platform/headless/headless_platform.h"
#include "platform/image_files.h"
#include "readouts/readout_text.h"

namespace zorvane {

namespace {

std::string Trim(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
  return s.substr(a, b - a);
}

// Splits off the first word; rest receives what follows (trimmed).
std::string Word(const std::string& s, std::string& rest) {
  const std::string t = Trim(s);
  size_t i = 0;
  while (i < t.size() && !std::isspace(static_cast<unsigned char>(t[i]))) ++i;
  rest = Trim(t.substr(i));
  return t.substr(0, i);
}

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      const char n = s[++i];
      if (n == 'r')
        out += '\r';
      else if (n == 'b')
        out += '\b';
      else if (n == 'n')
        out += '\n';
      else if (n == 't')
        out += '\t';
      else
        out += n;
    } else {
      out += s[i];
    }
  }
  return out;
}

// A decimal integer; beyond the range of long long it saturates.
bool ParseInt(const std::string& s, long long& v) {
  if (s.empty()) return false;
  char* end = nullptr;
  v = std::strtoll(s.c_str(), &end, 10);
  return end && *end == '\0';
}

int VirtualKey(char c) {
  if (c == '\r') return 13;
  if (c == '\b') return 8;
  if (c == '.') return 190;
  if (std::isalpha(static_cast<unsigned char>(c)))
    return std::toupper(static_cast<unsigned char>(c));
  return static_cast<unsigned char>(c);
}

std::string Hex(Color c) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%08X", c);
  return b;
}

const char* Bool(bool b) { return b ? "true" : "false"; }

// A property of a control as "get" prints it; false for an unknown one.
bool PropertyText(const Control& c, const std::string& prop, std::string& v) {
  if (prop == "Caption")
    v = c.Caption();
  else if (prop == "Text")
    v = EscapeLine(c.Text());
  else if (prop == "Position")
    v = std::to_string(c.Position());
  else if (prop == "Min")
    v = std::to_string(c.Min());
  else if (prop == "Max")
    v = std::to_string(c.Max());
  else if (prop == "Checked")
    v = Bool(c.Checked());
  else if (prop == "Enabled")
    v = Bool(c.Enabled());
  else if (prop == "Visible")
    v = Bool(c.Visible());
  else if (prop == "ReadOnly")
    v = Bool(c.ReadOnly());
  else if (prop == "FontColor")
    v = Hex(c.FontColor());
  else if (prop == "Color")
    v = Hex(c.BackColor());
  else if (prop == "Interval")
    v = std::to_string(c.Interval());
  else if (prop == "Left")
    v = std::to_string(c.Left());
  else if (prop == "Top")
    v = std::to_string(c.Top());
  else if (prop == "Width")
    v = std::to_string(c.Width());
  else if (prop == "Height")
    v = std::to_string(c.Height());
  else if (prop == "Hint")
    v = c.Hint();
  else if (prop == "Cursor")
    v = std::to_string(c.Cursor());
  else
    return false;
  return true;
}

}  // namespace

RemoteControl::Outcome RemoteControl::Run(const std::string& line,
                                          const std::function<void(const std::string&)>& out) {
  Outcome result;
  auto fail = [&](const std::string& why) {
    result.Ok = false;
    result.Error = why;
    return result;
  };
  std::string rest;
  const std::string cmd = Word(line, rest);
  if (cmd.empty()) return result;

  Control* c = nullptr;
  auto control = [&](const std::string& name) {
    c = form_.Find(name);
    if (!c) fail("no control named " + name);
    return c != nullptr;
  };

  if (cmd == "click") {
    if (control(rest)) c->Click();
  } else if (cmd == "set") {
    std::string value;
    const std::string name = Word(rest, value);
    if (!control(name)) return result;
    if (c->Kind() == ControlKind::Memo) {
      c->SetText(Unescape(value));
    } else if (c->Kind() == ControlKind::ScrollBar || c->Kind() == ControlKind::TrackBar) {
      long long v;
      if (!ParseInt(value, v)) return fail("not a position: " + value);
      c->UserScroll(static_cast<int>(std::clamp<long long>(v, -1000000000, 1000000000)));
    } else {
      return fail(name + " has no position or text");
    }
  } else if (cmd == "key") {
    std::string text;
    const std::string name = Word(rest, text);
    if (!control(name)) return result;
    // Keep blanks that follow the name, except the one separating it.
    const size_t at = line.find(name);
    std::string typed = at == std::string::npos ? text : line.substr(at + name.size());
    if (!typed.empty() && typed[0] == ' ') typed.erase(0, 1);
    if (const size_t hash = typed.find('#'); hash != std::string::npos)
      typed = typed.substr(0, hash);
    while (!typed.empty() && (typed.back() == '\n' || typed.back() == '\r')) typed.pop_back();
    for (char ch : Unescape(typed)) {
      c->UserKey(ch);
      c->UserKeyUp(VirtualKey(ch));
    }
  } else if (cmd == "mouse") {
    std::istringstream is(rest);
    std::string action, name, button;
    long long x = 0, y = 0;
    if (!(is >> action >> name >> button >> x >> y))
      return fail("mouse down|move|up NAME left|right|middle X Y");
    if (!control(name)) return result;
    MouseButton b = button == "right"    ? MouseButton::Right
                    : button == "middle" ? MouseButton::Middle
                                         : MouseButton::Left;
    if (button != "left" && button != "right" && button != "middle")
      return fail("unknown mouse button " + button);
    const int ix = static_cast<int>(std::clamp<long long>(x, -100000, 100000));
    const int iy = static_cast<int>(std::clamp<long long>(y, -100000, 100000));
    if (!c->Enabled()) return result;
    if (action == "down") {
      if (c->OnMouseDown) c->OnMouseDown(b, ix, iy);
    } else if (action == "move") {
      if (c->OnMouseMove) c->OnMouseMove(ix, iy);
    } else if (action == "up") {
      if (c->OnMouseUp) c->OnMouseUp(b, ix, iy);
    } else {
      return fail("unknown mouse action " + action);
    }
  } else if (cmd == "get") {
    const size_t dot = rest.rfind('.');
    if (dot == std::string::npos) return fail("get NAME.Property");
    const std::string name = rest.substr(0, dot), prop = rest.substr(dot + 1);
    if (!control(name)) return result;
    std::string v;
    if (!PropertyText(*c, prop, v)) return fail("unknown property " + prop);
    out(name + "." + prop + " = " + v);
  } else if (cmd == "state") {
    std::string v, why;
    if (readouts::ReadoutStateText(*form_.Readouts, rest, v, why)) {
      // The readouts' names (snake case) are none of the record's.
    } else if (!why.empty()) {
      return fail(why);
    } else if (rest.find('[') != std::string::npos) {
      if (!StateArrayElementText(form_.S, rest, v, why)) return fail(why);
    } else if (!StateFieldText(form_.S, rest, v)) {
      return fail("no state field named " + rest);
    }
    out(rest + " = " + v);
  } else if (cmd == "readout") {
    std::string why;
    if (!readouts::ReadoutCommand(*form_.Readouts, rest, why)) return fail(why);
  } else if (cmd == "wait") {
    long long ms;
    if (!ParseInt(rest, ms) || ms < 0) return fail("wait MS");
    if (ms > kMaxWaitMs)
      return fail("wait at most " + std::to_string(kMaxWaitMs) + " ms (one day)");
    result.WaitMs = ms;
  } else if (cmd == "dialog") {
    if (rest == "cancel")
      platform_.QueueDialogAnswer(std::nullopt);
    else
      platform_.QueueDialogAnswer(rest);
  } else if (cmd == "bitmap") {
    if (rest.empty() || !SaveImageFile(form_.DisplayBitmap, rest))
      return fail("cannot write " + rest);
  } else if (cmd == "clipboard") {
    const std::optional<Bitmap> image = platform_.ClipboardImage();
    if (!image) return fail("the clipboard holds no image");
    if (rest.empty() || !SaveImageFile(*image, rest)) return fail("cannot write " + rest);
  } else if (cmd == "pixel") {
    std::istringstream is(rest);
    long long x = 0, y = 0;
    std::string extra;
    const Bitmap& plot = form_.DisplayBitmap;
    if (!(is >> x >> y) || (is >> extra)) return fail("pixel X Y");
    if (x < 0 || y < 0 || x >= plot.Width() || y >= plot.Height())
      return fail("pixel outside the plot: " + rest);
    out("pixel " + std::to_string(x) + " " + std::to_string(y) + " = " +
        Hex(plot.Pixel(static_cast<int>(x), static_cast<int>(y))));
  } else if (cmd == "clock") {
    out("clock = " + std::to_string(platform_.NowUs() / 1000));
  } else if (cmd == "quit") {
    form_.QuitBtnClick();
  } else if (cmd == "measure") {
    std::string why;
    if (!measure_) return fail("no measurement is attached");
    if (!MeasureCommand(*measure_, rest, out, why)) return fail(why);
  } else {
    return fail("unknown command " + cmd);
  }
  return result;
}

}  // namespace zorvane
