// SPDX-License-Identifier: GPL-3.0-or-later
#include "scpi/scpi_instrument.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <exception>

#include "measure/log_sweep_model.h"

namespace zorvane::scpi {

namespace {

// How deep units that may pump for long can nest inside each other; beyond
// it only the others run until the inner ones return.
constexpr int kMaxDepth = 8;
// How soon to look again at a unit waiting for the instrument.
constexpr int64_t kRecheckUs = 5000;

}  // namespace

std::string Number(double v) {
  char b[40];
  std::snprintf(b, sizeof b, "%.9g", v);
  return b;
}

std::string QuotedString(const std::string& s) {
  std::string out = "\"";
  for (char c : s) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

std::string Block(const void* data, size_t size) {
  const std::string length = std::to_string(size);
  std::string out = "#" + std::to_string(length.size()) + length;
  out.append(static_cast<const char*>(data), size);
  return out;
}

std::string Values(const Instrument& in, const std::vector<double>& v, int decimals) {
  if (in.Real32) {
    std::string bytes(v.size() * 4, '\0');
    const bool big = !in.Swapped;
    for (size_t i = 0; i < v.size(); ++i) {
      uint32_t bits = std::bit_cast<uint32_t>(static_cast<float>(v[i]));
      for (int k = 0; k < 4; ++k)
        bytes[i * 4 + k] = static_cast<char>(bits >> (big ? 24 - 8 * k : 8 * k));
    }
    return Block(bytes.data(), bytes.size());
  }
  std::string out;
  char b[48];
  for (size_t i = 0; i < v.size(); ++i) {
    std::snprintf(b, sizeof b, "%s%.*f", i ? "," : "", decimals, v[i]);
    out += b;
  }
  return out;
}

Instrument::Instrument(TZorvaneForm& form, Platform& platform, FileAccess files)
    : Form(form), Plat(platform), Files(std::move(files)), remote_(form, platform) {
  AddCommonCommands(*this);
  AddInstrumentCommands(*this);
  AddControlCommands(*this);
  AddMeasureCommands(*this);
  // What the instrument says in a message box reaches the client as an
  // error: a device's failure as a hardware error.
  Plat.MessageShown = [this](const std::string& text, const std::string& title) {
    if (!sessionActive_) return;
    std::string detail = title.empty() ? text : title + ": " + text;
    while (!detail.empty() && (detail.back() == '\n' || detail.back() == '\r')) detail.pop_back();
    Errors.Push(title == "Wave Device Message" ? err::HardwareError : err::ExecutionError, detail);
  };
}

Instrument::~Instrument() { Plat.MessageShown = nullptr; }

void Instrument::AttachMeasurement(LogSweepModel* model) {
  measurement_ = model;
  remote_.AttachMeasurement(model);
}

void Instrument::Add(const char* header, int flags, std::function<Done(Call&)> run) {
  commands_.push_back({header, Pattern(header), flags, std::move(run)});
}

void Instrument::StartSession() {
  queue_.clear();
  response_.clear();
  responseOpen_ = false;
  Errors.Clear();
  Errors.Esr = Errors.Ese = Errors.Sre = 0;
  Real32 = Swapped = false;
  waitUntilUs_ = 0;
  Hold = false;
  sessionActive_ = true;
}

void Instrument::EndSession() {
  ++session_;
  queue_.clear();
  response_.clear();
  responseOpen_ = false;
  sessionActive_ = false;
  waitUntilUs_ = 0;
  Hold = false;
  // Answers the client gave for dialogs it never opened must not answer the
  // window's user.
  Plat.ClearDialogAnswers();
}

void Instrument::Receive(std::string_view line) {
  std::vector<Unit> units = ParseMessage(line);
  for (size_t i = 0; i < units.size(); ++i) {
    Unit& u = units[i];
    const Command* cmd = nullptr;
    if (u.Error == 0) {
      for (const Command& c : commands_)
        if (c.Match.Query() == u.Query && c.Match.Matches(u.Keywords)) {
          cmd = &c;
          break;
        }
      if (!cmd) {
        std::string header;
        for (const std::string& k : u.Keywords)
          header += (header.empty() || u.Common ? "" : ":") + k;
        u.Error = err::UndefinedHeader;
        u.Detail = header + (u.Query ? "?" : "");
      }
    }
    // A unit in error ends the message: what follows it is not run.
    const bool last = i + 1 == units.size() || u.Error != 0;
    queue_.push_back({std::move(u), cmd, last, session_});
    if (last) break;
  }
}

void Instrument::FinishResponse() {
  if (!responseOpen_) return;
  response_ += '\n';
  if (Respond) Respond(response_);
  response_.clear();
  responseOpen_ = false;
}

void Instrument::Run() {
  UpdateFreshBase();
  while (!queue_.empty() && !Hold && alone_ == 0 && Plat.NowUs() >= waitUntilUs_) {
    if (queue_.front().Cmd && (queue_.front().Cmd->Flags & Command::kMayNest) &&
        depth_ >= kMaxDepth)
      return;
    Pending p = std::move(queue_.front());
    queue_.pop_front();
    if (!p.Cmd) {
      Errors.Push(p.U.Error, p.U.Detail);
      if (p.LastInLine) FinishResponse();
      continue;
    }
    if (p.LastInLine && !p.U.Query) FinishResponse();
    if ((p.Cmd->Flags & Command::kDevices) && measurement_ && measurement_->Running()) {
      Errors.Push(err::SettingsConflict, "a log sweep measurement is running");
      if (p.LastInLine && p.U.Query) FinishResponse();
      continue;
    }
    Call call{*this, p.U, {}};
    const bool alone = p.Cmd->Flags & Command::kAlone;
    ++depth_;
    alone_ += alone;
    Done done = Done::Yes;
    try {
      done = p.Cmd->Run(call);
    } catch (const std::exception& e) {
      Errors.Push(err::ExecutionError, e.what());
    }
    --depth_;
    alone_ -= alone;
    if (p.Session != session_) continue;  // the client left while it ran
    if (done == Done::Later) {
      queue_.push_front(std::move(p));
      return;
    }
    if (p.U.Query && !call.Reply.empty()) {
      if (responseOpen_) response_ += ';';
      response_ += call.Reply;
      responseOpen_ = true;
    }
    if (p.LastInLine && p.U.Query) FinishResponse();
  }
}

int64_t Instrument::NextRunUs() {
  if (queue_.empty()) return Platform::kNoEvent;
  const int64_t now = Plat.NowUs();
  return now < waitUntilUs_ ? waitUntilUs_ : now + kRecheckUs;
}

bool Instrument::Remote(const std::string& line, std::string* out) {
  const RemoteControl::Outcome done = remote_.Run(line, [out](const std::string& printed) {
    if (out) *out = printed;
  });
  if (!done.Ok) Errors.Push(err::ExecutionError, done.Error);
  if (done.WaitMs >= 0) WaitFor(done.WaitMs);
  return done.Ok;
}

void Instrument::MarkChange() {
  changeUs_ = Plat.NowUs();
  freshBase_.reset();
}

void Instrument::UpdateFreshBase() {
  if (freshBase_) return;
  if (Plat.NowUs() < changeUs_ + static_cast<int64_t>(Form.SweepSettleMs()) * 1000) return;
  // A block in progress now began before the change had settled.
  freshBase_ = Form.S.BlocksAnalysed + (Form.S.AnalyzerActive == 1 ? 1 : 0);
}

uint64_t Instrument::FreshBlocks() {
  UpdateFreshBase();
  return freshBase_ && Form.S.BlocksAnalysed > *freshBase_ ? Form.S.BlocksAnalysed - *freshBase_
                                                           : 0;
}

bool Instrument::OperationPending() const {
  const AppState& S = Form.S;
  return (S.SweepRunning == 1 && S.SweepLoop == 0) || (S.AnalyzerActive == 1 && S.RunMode == 2) ||
         (measurement_ && measurement_->Running());
}

}  // namespace zorvane::scpi
