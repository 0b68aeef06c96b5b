// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/headless/headless_platform.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/image_files.h"
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
    : virtual_(virtualClock), realStartUs_(SteadyUs()) {
  if (!virtual_) wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

HeadlessPlatform::~HeadlessPlatform() {
  if (wakeFd_ >= 0) close(wakeFd_);
}

int64_t HeadlessPlatform::NowUs() { return virtual_ ? nowUs_ : SteadyUs() - realStartUs_; }

void HeadlessPlatform::MessageBox(const std::string& text, const std::string& title) {
  Messages.push_back({text, title, false});
  if (MessageShown) MessageShown(text, title);
  if (Output) Output("message [" + title + "] " + EscapeLine(text));
}

void HeadlessPlatform::ShowMessage(const std::string& text) {
  Messages.push_back({text, "", true});
  if (MessageShown) MessageShown(text, "");
  if (Output) Output("message [] " + EscapeLine(text));
}

void HeadlessPlatform::FireTimers() {
  const int64_t now = NowUs();
  for (size_t i = 0; i < timers_.size(); ++i) {
    TimerSlot& t = timers_[i];
    TimerModel* c = t.Timer;
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
    timers_[i].Busy = true;
    c->Fire();
    timers_[i].Busy = false;
  }
}

int64_t HeadlessPlatform::ArmTimers() {
  const int64_t now = NowUs();
  int64_t next = kNoEvent;
  for (TimerSlot& t : timers_) {
    TimerModel* c = t.Timer;
    if (!c->Enabled() || c->Interval() <= 0) continue;
    if (t.Generation != c->TimerGeneration()) {
      t.Generation = c->TimerGeneration();
      t.DueUs = now + static_cast<int64_t>(c->Interval()) * 1000;
    }
    if (!t.Busy) next = std::min(next, t.DueUs);
  }
  return next;
}

void HeadlessPlatform::WaitForEvents(int64_t deadlineUs) {
  if (terminated_) return;
  int64_t until = std::min(deadlineUs, ArmTimers());
  until = std::min(until, NextDeviceEventUs());
  if (NextUserEventUs) until = std::min(until, NextUserEventUs());
  const int64_t now = NowUs();
  if (virtual_) {
    // Nothing at all to wait for would wait for ever: let a millisecond
    // pass, as an idle loop would.
    if (until == kNoEvent) until = now + 1000;
    if (until > now) nowUs_ = until;
    RunTickers();
    return;
  }
  if (wakeFd_ < 0) {
    Sleep(1);
    return;
  }
  const int64_t waitUs = until == kNoEvent ? 1'000'000 : std::max<int64_t>(until - now, 0);
  pollfd p[2] = {{wakeFd_, POLLIN, 0}, {watchedFd_, POLLIN, 0}};
  // Whole milliseconds, rounded up, so that the deadline has passed on return.
  const int timeoutMs = static_cast<int>(std::min<int64_t>((waitUs + 999) / 1000, 1000));
  if (poll(p, watchedFd_ >= 0 ? 2 : 1, timeoutMs) > 0 && (p[0].revents & POLLIN)) {
    uint64_t count;
    if (read(wakeFd_, &count, sizeof count) < 0) count = 0;
  }
  RunTickers();
}

void HeadlessPlatform::WakeUp() {
  if (wakeFd_ < 0) return;
  const uint64_t one = 1;
  if (write(wakeFd_, &one, sizeof one) < 0) return;  // the counter is full: already awake
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
  // The message loop with nothing to do: it sleeps until the next timer or
  // user event is due, handles it, and so on until the time is up.
  const int64_t until = NowUs() + static_cast<int64_t>(ms) * 1000;
  while (NowUs() < until && !terminated_) {
    WaitForEvents(until);
    ProcessMessages();
  }
}

void HeadlessPlatform::Terminate() {
  if (terminated_) return;
  terminated_ = true;
  if (Output) Output("terminated");
}

std::optional<std::string> HeadlessPlatform::NextDialogAnswer() {
  std::optional<std::string> answer;
  TakeDialogAnswer(answer);  // none given: the dialog is cancelled
  return answer;
}

std::optional<std::string> HeadlessPlatform::OpenFileDialog(const std::string&,
                                                            const std::vector<std::string>&) {
  return NextDialogAnswer();
}

std::optional<std::string> HeadlessPlatform::SaveFileDialog(const std::string&,
                                                            const std::string& ext,
                                                            const std::vector<std::string>&) {
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
