// SPDX-License-Identifier: GPL-3.0-or-later
// The platform without a screen: a virtual (or real) clock, message boxes
// written to a sink, file dialogs answered from a queue, timers fired while
// messages are pumped, and user events delivered through the message pump
// so that they run nested inside whatever loop is pumping, as clicks in a
// window would.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/timer.h"

namespace zorvane {

class HeadlessPlatform : public Platform {
 public:
  // virtualClock: time moves only by Sleep, PollingDevice and Idle, so runs
  // are repeatable; otherwise the steady clock is used and Sleep really sleeps.
  explicit HeadlessPlatform(bool virtualClock = true);
  ~HeadlessPlatform() override;

  // Where message boxes and the program's ending are reported (one line each).
  std::function<void(const std::string& line)> Output;
  // Called by ProcessMessages to deliver pending user events; it may run
  // handlers (nested). Returns nothing; pumping goes on regardless.
  std::function<void()> DeliverUserEvents;
  // When the next user event is due (Platform::kNoEvent when none is
  // coming); WaitForEvents waits no longer than that.
  std::function<int64_t()> NextUserEventUs;

  void MessageBox(const std::string& text, const std::string& title) override;
  void ShowMessage(const std::string& text) override;
  void ProcessMessages() override;
  void Sleep(int ms) override;
  int64_t NowUs() override;
  void Terminate() override;
  bool Terminated() const override { return terminated_; }
  void PollingDevice() override;
  // On the virtual clock: time jumps to the earliest of the deadline, the
  // next timer, the next user event and the devices' next event. On the real
  // clock: sleeps until then or until WakeUp.
  void WaitForEvents(int64_t deadlineUs) override;
  void WakeUp() override;

  std::optional<std::string> OpenFileDialog(const std::string& title,
                                            const std::vector<std::string>& filters = {}) override;
  std::optional<std::string> SaveFileDialog(const std::string& title, const std::string& defaultExt,
                                            const std::vector<std::string>& filters) override;
  bool CopyImageToClipboard(const Bitmap& image) override;
  std::optional<Bitmap> ClipboardImage() override { return Clipboard; }
  bool PrinterSetup() override;
  bool PrintImage(const Bitmap& image) override;
  bool StartProgram(const std::string& path, const std::vector<std::string>& args) override;

  // Timers of the form that this platform fires while pumping.
  void AddTimer(TimerModel* timer) { timers_.push_back({timer, 0, ~0ull, false}); }
  // Lets time pass with nothing else running (the message loop idling).
  void Idle(int ms);

  // On the real clock, WaitForEvents also ends when this descriptor becomes
  // readable (a network listener's); -1 for none.
  void WatchDescriptor(int fd) { watchedFd_ = fd; }

  // What the program did.
  struct Message {
    std::string Text, Title;
    bool Plain = false;
  };
  std::vector<Message> Messages;
  // Programs started (really started: by path, detached), in order.
  struct Started {
    std::string Path;
    std::vector<std::string> Args;
  };
  std::vector<Started> StartedPrograms;
  std::optional<Bitmap> Clipboard;
  // The printer: the set-up dialog's answer names the file the pages are
  // printed into (BMP, or PNG by extension); an empty answer prints nowhere.
  int PrintedPages = 0;
  std::optional<Bitmap> LastPrinted;
  bool VirtualClock() const { return virtual_; }

 private:
  struct TimerSlot {
    TimerModel* Timer;
    int64_t DueUs;
    uint64_t Generation;
    bool Busy;
  };
  void FireTimers();
  // Starts the period of every timer enabled since the last pump; returns
  // when the first enabled timer is due.
  int64_t ArmTimers();
  std::optional<std::string> NextDialogAnswer();

  bool virtual_;
  int64_t nowUs_ = 0;
  int64_t realStartUs_ = 0;
  bool terminated_ = false;
  int pumpDepth_ = 0;
  std::vector<TimerSlot> timers_;
  int wakeFd_ = -1;  // an eventfd a device thread writes to
  int watchedFd_ = -1;
  std::string printFile_;
};

// One line of text with line breaks written as \n.
std::string EscapeLine(const std::string& text);

}  // namespace zorvane
