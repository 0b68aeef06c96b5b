#include "app/script.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "app/state_fields.h"
#include "export/image_files.h"
#include "measure/log_sweep_model.h"
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

// The longest wait a script may ask for.
constexpr long long kMaxWaitMs = 24LL * 60 * 60 * 1000;

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

}  // namespace

ScriptRunner::ScriptRunner(TZorvaneForm& form, HeadlessPlatform& platform,
                           std::function<void(const std::string&)> out,
                           std::function<void(const std::string&)> err)
    : form_(form), platform_(platform), out_(std::move(out)), err_(std::move(err)) {
  platform_.DeliverUserEvents = [this] { Deliver(); };
  // The next command is due when the running wait ends; once the script is
  // over and its last wait has passed, nothing more is coming.
  platform_.NextUserEventUs = [this] {
    return next_ < lines_.size() || platform_.NowUs() < resumeAtUs_ ? resumeAtUs_
                                                                    : Platform::kNoEvent;
  };
}

int ScriptRunner::Run(std::istream& in) {
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return Run(lines);
}

int ScriptRunner::Run(const std::vector<std::string>& lines) {
  lines_ = lines;
  next_ = 0;
  resumeAtUs_ = platform_.NowUs();
  // The message loop: deliver commands, let time pass while a wait runs.
  while (!platform_.Terminated() && (next_ < lines_.size() || platform_.NowUs() < resumeAtUs_)) {
    if (platform_.NowUs() < resumeAtUs_) platform_.WaitForEvents(resumeAtUs_);
    platform_.ProcessMessages();
  }
  return errors_;
}

void ScriptRunner::Deliver() {
  while (!platform_.Terminated() && platform_.NowUs() >= resumeAtUs_) {
    if (next_ >= lines_.size()) {
      // The script is over while a handler still pumps (an analyzer loop or
      // a sweep): stop it as STOP would, so the program can end.
      if (depth_ > 0) {
        if (form_.S.SweepRunning == 1) form_.S.SweepRunning = 0;
        if (form_.S.AnalyzerStopRequested == 0) form_.StopBtnClick();
        if (measure_ && measure_->Running()) measure_->Stop();
      }
      return;
    }
    const size_t index = next_++;
    ++depth_;
    Execute(lines_[index], static_cast<int>(index) + 1);
    --depth_;
  }
}

bool ScriptRunner::Error(int number, const std::string& what) {
  ++errors_;
  err_("error: line " + std::to_string(number) + ": " + what);
  return false;
}

void ScriptRunner::Execute(const std::string& raw, int number) {
  std::string line = raw;
  if (const size_t hash = line.find('#'); hash != std::string::npos) {
    // A "#" inside the text of key/set/dialog is still a comment: scripts
    // never need to type one.
    line = line.substr(0, hash);
  }
  std::string rest;
  const std::string cmd = Word(line, rest);
  if (cmd.empty()) return;

  auto control = [&](const std::string& name) -> Control* {
    Control* c = form_.Find(name);
    if (!c) Error(number, "no control named " + name);
    return c;
  };

  if (cmd == "click") {
    if (Control* c = control(rest)) c->Click();
  } else if (cmd == "set") {
    std::string value;
    const std::string name = Word(rest, value);
    Control* c = control(name);
    if (!c) return;
    if (c->Kind() == ControlKind::Memo) {
      c->SetText(Unescape(value));
    } else if (c->Kind() == ControlKind::ScrollBar || c->Kind() == ControlKind::TrackBar) {
      long long v;
      if (!ParseInt(value, v)) {
        Error(number, "not a position: " + value);
        return;
      }
      c->UserScroll(static_cast<int>(std::clamp<long long>(v, -1000000000, 1000000000)));
    } else {
      Error(number, name + " has no position or text");
    }
  } else if (cmd == "key") {
    std::string text;
    const std::string name = Word(rest, text);
    Control* c = control(name);
    if (!c) return;
    // Keep blanks that follow the name, except the one separating it.
    const size_t at = raw.find(name);
    std::string typed = at == std::string::npos ? text : raw.substr(at + name.size());
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
    if (!(is >> action >> name >> button >> x >> y)) {
      Error(number, "mouse down|move|up NAME left|right|middle X Y");
      return;
    }
    Control* c = control(name);
    if (!c) return;
    MouseButton b = button == "right"    ? MouseButton::Right
                    : button == "middle" ? MouseButton::Middle
                                         : MouseButton::Left;
    if (button != "left" && button != "right" && button != "middle") {
      Error(number, "unknown mouse button " + button);
      return;
    }
    const int ix = static_cast<int>(std::clamp<long long>(x, -100000, 100000));
    const int iy = static_cast<int>(std::clamp<long long>(y, -100000, 100000));
    if (!c->Enabled()) return;
    if (action == "down") {
      if (c->OnMouseDown) c->OnMouseDown(b, ix, iy);
    } else if (action == "move") {
      if (c->OnMouseMove) c->OnMouseMove(ix, iy);
    } else if (action == "up") {
      if (c->OnMouseUp) c->OnMouseUp(b, ix, iy);
    } else {
      Error(number, "unknown mouse action " + action);
    }
  } else if (cmd == "get") {
    const size_t dot = rest.rfind('.');
    if (dot == std::string::npos) {
      Error(number, "get NAME.Property");
      return;
    }
    const std::string name = rest.substr(0, dot), prop = rest.substr(dot + 1);
    Control* c = control(name);
    if (!c) return;
    std::string v;
    if (prop == "Caption")
      v = c->Caption();
    else if (prop == "Text")
      v = EscapeLine(c->Text());
    else if (prop == "Position")
      v = std::to_string(c->Position());
    else if (prop == "Min")
      v = std::to_string(c->Min());
    else if (prop == "Max")
      v = std::to_string(c->Max());
    else if (prop == "Checked")
      v = Bool(c->Checked());
    else if (prop == "Enabled")
      v = Bool(c->Enabled());
    else if (prop == "Visible")
      v = Bool(c->Visible());
    else if (prop == "ReadOnly")
      v = Bool(c->ReadOnly());
    else if (prop == "FontColor")
      v = Hex(c->FontColor());
    else if (prop == "Color")
      v = Hex(c->BackColor());
    else if (prop == "Interval")
      v = std::to_string(c->Interval());
    else if (prop == "Left")
      v = std::to_string(c->Left());
    else if (prop == "Top")
      v = std::to_string(c->Top());
    else if (prop == "Width")
      v = std::to_string(c->Width());
    else if (prop == "Height")
      v = std::to_string(c->Height());
    else if (prop == "Hint")
      v = c->Hint();
    else if (prop == "Cursor")
      v = std::to_string(c->Cursor());
    else {
      Error(number, "unknown property " + prop);
      return;
    }
    out_(name + "." + prop + " = " + v);
  } else if (cmd == "state") {
    std::string v, why;
    if (readouts::ReadoutStateText(*form_.Readouts, rest, v, why)) {
      // The readouts' names (snake case) are none of the record's.
    } else if (!why.empty()) {
      Error(number, why);
      return;
    } else if (rest.find('[') != std::string::npos) {
      if (!StateArrayElementText(form_.S, rest, v, why)) {
        Error(number, why);
        return;
      }
    } else if (!StateFieldText(form_.S, rest, v)) {
      Error(number, "no state field named " + rest);
      return;
    }
    out_(rest + " = " + v);
  } else if (cmd == "readout") {
    std::string why;
    if (!readouts::ReadoutCommand(*form_.Readouts, rest, why)) Error(number, why);
  } else if (cmd == "wait") {
    long long ms;
    if (!ParseInt(rest, ms) || ms < 0) {
      Error(number, "wait MS");
      return;
    }
    if (ms > kMaxWaitMs) {
      Error(number, "wait at most " + std::to_string(kMaxWaitMs) + " ms (one day)");
      return;
    }
    resumeAtUs_ = platform_.NowUs() + ms * 1000;
  } else if (cmd == "dialog") {
    if (rest == "cancel")
      platform_.QueueDialogAnswer(std::nullopt);
    else
      platform_.QueueDialogAnswer(rest);
  } else if (cmd == "bitmap") {
    if (rest.empty() || !SaveImageFile(form_.DisplayBitmap, rest))
      Error(number, "cannot write " + rest);
  } else if (cmd == "clipboard") {
    if (!platform_.Clipboard)
      Error(number, "the clipboard holds no image");
    else if (rest.empty() || !SaveImageFile(*platform_.Clipboard, rest))
      Error(number, "cannot write " + rest);
  } else if (cmd == "pixel") {
    std::istringstream is(rest);
    long long x = 0, y = 0;
    std::string extra;
    const Bitmap& plot = form_.DisplayBitmap;
    if (!(is >> x >> y) || (is >> extra)) {
      Error(number, "pixel X Y");
      return;
    }
    if (x < 0 || y < 0 || x >= plot.Width() || y >= plot.Height()) {
      Error(number, "pixel outside the plot: " + rest);
      return;
    }
    out_("pixel " + std::to_string(x) + " " + std::to_string(y) + " = " +
         Hex(plot.Pixel(static_cast<int>(x), static_cast<int>(y))));
  } else if (cmd == "clock") {
    out_("clock = " + std::to_string(platform_.NowUs() / 1000));
  } else if (cmd == "quit") {
    form_.QuitBtnClick();
  } else if (cmd == "measure") {
    std::string why;
    if (!measure_)
      Error(number, "no measurement is attached");
    else if (!MeasureCommand(*measure_, rest, out_, why))
      Error(number, why);
  } else {
    Error(number, "unknown command " + cmd);
  }
}

}  // namespace zorvane
