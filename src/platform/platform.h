// SPDX-License-Identifier: GPL-3.0-or-later
// Services the instrument needs from its surroundings: message boxes, the
// message pump, sleeping, a monotonic clock, file dialogs, clipboard,
// printer, form images and starting other programs. The window implements
// them for real; the headless runtime implements them on a virtual clock.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/bitmap.h"

namespace zorvane {

class Control;
class AudioDevicesDialogModel;

class Platform {
 public:
  virtual ~Platform() = default;

  // A modal message with an OK button only.
  virtual void MessageBox(const std::string& text, const std::string& title) = 0;
  // The toolkit's plain message dialog (no title of the program's own).
  virtual void ShowMessage(const std::string& text) = 0;
  // Lets pending user events and timers run (nested in the caller).
  virtual void ProcessMessages() = 0;
  virtual void Sleep(int ms) = 0;
  // Monotonic time in microseconds since the platform started.
  virtual int64_t NowUs() = 0;
  // Asks the application to end once control is back in its message loop.
  virtual void Terminate() = 0;
  virtual bool Terminated() const = 0;

  // File dialogs: the chosen path, or nothing when cancelled. Filters are
  // offered in order, each as "Description (*.ext)"; a saved name without an
  // extension takes the chosen filter's, or else `defaultExt`.
  virtual std::optional<std::string> OpenFileDialog(
      const std::string& title, const std::vector<std::string>& filters = {}) = 0;
  virtual std::optional<std::string> SaveFileDialog(
      const std::string& title, const std::string& defaultExt,
      const std::vector<std::string>& filters = {}) = 0;
  virtual bool CopyImageToClipboard(const Bitmap& image) = 0;
  // The image on the clipboard, where the platform can read it back.
  virtual std::optional<Bitmap> ClipboardImage() { return std::nullopt; }
  // Answers given ahead for the next file dialogs (the remote control's
  // "dialog"): a dialog with one waiting takes it instead of asking the user;
  // an empty answer stands for Cancel.
  void QueueDialogAnswer(std::optional<std::string> answer) {
    dialogAnswers_.push_back(std::move(answer));
  }
  void ClearDialogAnswers() { dialogAnswers_.clear(); }
  // Told of every message box and plain message as it is shown (text, title;
  // the plain message has no title).
  std::function<void(const std::string& text, const std::string& title)> MessageShown;
  // The dialog of the sound devices, mirroring `model` (the view selects its
  // rows as the user does); true when the user confirmed the choice. Without
  // a screen there is no dialog.
  virtual bool ChooseAudioDevices(AudioDevicesDialogModel& /*model*/) { return false; }
  // Printer set-up dialog; false when the user cancelled it.
  virtual bool PrinterSetup() = 0;
  // Prints the image on one page of the printer chosen in the set-up,
  // scaled to the page; false when it could not be printed.
  virtual bool PrintImage(const Bitmap& image) = 0;
  // Starts the program at `path` with `args`, detached from the instrument
  // and never through a shell; false when it could not be started.
  virtual bool StartProgram(const std::string& path, const std::vector<std::string>& args) = 0;
  // Shows the HTML document at `path` in the platform's own help viewer;
  // false when there is none or the file cannot be read.
  virtual bool ShowHelpDocument(const std::string& /*path*/) { return false; }
  // The form's client area as its window shows it on screen; nothing when
  // the form has no window (the core then draws the image itself).
  virtual std::optional<Bitmap> GrabForm(const Control& /*form*/) { return std::nullopt; }

  // A device is being polled in a tight loop: on a virtual clock let a
  // little time pass so that the device can progress; real clocks move anyway.
  virtual void PollingDevice() {}

  // Blocks, without using the processor, until a device wakes the platform
  // (WakeUp), a user event or a timer is due, a clock-driven device has its
  // next event (see AddTicker) or the deadline (NowUs time) passes; returns
  // at once when one of them is already pending. The caller pumps messages
  // afterwards (a window may already have handled what woke it).
  virtual void WaitForEvents(int64_t deadlineUs) = 0;
  // Ends a WaitForEvents in progress, or the next one; callable from any
  // thread (a device's own thread when it has finished a buffer).
  virtual void WakeUp() = 0;

  // Called with the current time whenever the platform pumps messages or
  // sleeps; the loopback cable advances its devices from here. nextEvent, if
  // given, tells when the device will next have something to report (a
  // buffer full), kNoEvent when nothing is coming. Returns a number for
  // RemoveTicker, which its owner calls before it goes.
  static constexpr int64_t kNoEvent = INT64_MAX;
  int AddTicker(std::function<void(int64_t nowUs)> ticker,
                std::function<int64_t()> nextEvent = nullptr) {
    tickers_.push_back({++lastTicker_, std::move(ticker), std::move(nextEvent)});
    return lastTicker_;
  }
  void RemoveTicker(int id) {
    for (auto it = tickers_.begin(); it != tickers_.end(); ++it)
      if (it->Id == id) {
        tickers_.erase(it);
        return;
      }
  }

 protected:
  // The next answer given ahead; false when none waits.
  bool TakeDialogAnswer(std::optional<std::string>& answer) {
    if (dialogAnswers_.empty()) return false;
    answer = std::move(dialogAnswers_.front());
    dialogAnswers_.pop_front();
    return true;
  }
  void RunTickers() {
    const int64_t now = NowUs();
    for (auto& t : tickers_) t.Tick(now);
  }
  // The earliest next event of the clock-driven devices.
  int64_t NextDeviceEventUs() const {
    int64_t next = kNoEvent;
    for (const auto& t : tickers_)
      if (t.NextEvent) next = std::min(next, t.NextEvent());
    return next;
  }

 private:
  struct Ticker {
    int Id;
    std::function<void(int64_t)> Tick;
    std::function<int64_t()> NextEvent;
  };
  std::vector<Ticker> tickers_;
  int lastTicker_ = 0;
  std::deque<std::optional<std::string>> dialogAnswers_;
};

}  // namespace zorvane
