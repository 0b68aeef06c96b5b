#include "platform/headless/headless_platform.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "export/image_files.h"
#include "platform/programs.h"

namespace zorvane {

namespace {
int64_t SteadyUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
constexpr int64_t kPollStepUs = 100;
}  // namespace

std::string EscapeLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else
      out += c;
  }
  return out;
}

HeadlessPlatform::HeadlessPlatform(bool virtualClock)
    : virtual_(virtualClock), realStartUs_(SteadyUs()) {}

int64_t HeadlessPlatform::NowUs() { return virtual_ ? nowUs_ : SteadyUs() - realStartUs_; }

void HeadlessPlatform::MessageBox(const std::string& text, const std::string& title) {
  Messages.push_back({text, title, false});
  if (Output) Output("message [" + title + "] " + EscapeLine(text));
}

void HeadlessPlatform::ShowMessage(const std::string& text) {
  Messages.push_back({text, "", true});
  if (Output) Output("message [] " + EscapeLine(text));
}

void HeadlessPlatform::FireTimers() {
  const int64_t now = NowUs();
  for (size_t i = 0; i < timers_.size(); ++i) {
    TimerSlot& t = timers_[i];
    Control* c = t.Timer;
    if (!c->Enabled() || c->Interval() <= 0) {
      t.Generation = c->TimerGeneration() - 1;  // re-arm on the next enable
      continue;
    }
    if (t.Generation != c->TimerGeneration()) {
      t.Generation = c->TimerGeneration();
      t.DueUs = now + static_cast<int64_t>(c->Interval()) * 1000;
      continue;
    }
    if (t.Busy || now < t.DueUs) continue;
    t.DueUs = now + static_cast<int64_t>(c->Interval()) * 1000;
    if (c->OnTimer) {
      timers_[i].Busy = true;
      c->OnTimer();
      timers_[i].Busy = false;
    }
  }
}

void HeadlessPlatform::ProcessMessages() {
  RunTickers();
  if (terminated_) return;
  ++pumpDepth_;
  FireTimers();
  if (DeliverUserEvents && !terminated_) DeliverUserEvents();
  --pumpDepth_;
}

void HeadlessPlatform::Sleep(int ms) {
  if (ms < 0) ms = 0;
  if (virtual_)
    nowUs_ += static_cast<int64_t>(ms) * 1000;
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  RunTickers();
}

void HeadlessPlatform::PollingDevice() {
  if (virtual_) nowUs_ += kPollStepUs;
  RunTickers();
}

void HeadlessPlatform::Idle(int ms) {
  // The message loop with nothing to do: time passes a millisecond at a
  // time and timers fire when due.
  for (int i = 0; i < ms && !terminated_; ++i) {
    Sleep(1);
    ProcessMessages();
  }
}

void HeadlessPlatform::Terminate() {
  if (terminated_) return;
  terminated_ = true;
  if (Output) Output("terminated");
}

std::optional<std::string> HeadlessPlatform::NextDialogAnswer() {
  if (dialogAnswers_.empty()) return std::nullopt;
  auto a = dialogAnswers_.front();
  dialogAnswers_.pop_front();
  return a;
}

std::optional<std::string> HeadlessPlatform::OpenFileDialog(const std::string&,
                                                            const std::vector<std::string>&) {
  return NextDialogAnswer();
}

std::optional<std::string> HeadlessPlatform::SaveFileDialog(const std::string&,
                                                            const std::string& ext) {
  auto a = NextDialogAnswer();
  if (a && !ext.empty() &&
      a->find('.', a->find_last_of('/') == std::string::npos ? 0 : a->find_last_of('/')) ==
          std::string::npos)
    *a += "." + ext;
  return a;
}

bool HeadlessPlatform::CopyImageToClipboard(const Bitmap& image) {
  Clipboard = image;
  return true;
}

bool HeadlessPlatform::PrinterSetup() {
  const auto answer = NextDialogAnswer();
  if (!answer) return false;
  printFile_ = *answer;
  return true;
}

bool HeadlessPlatform::PrintImage(const Bitmap& image) {
  ++PrintedPages;
  LastPrinted = image;
  return printFile_.empty() || SaveImageFile(image, printFile_);
}

bool HeadlessPlatform::StartProgram(const std::string& path, const std::vector<std::string>& args) {
  StartedPrograms.push_back({path, args});
  return StartDetached(path, args);
}

}  // namespace zorvane
