// SPDX-License-Identifier: GPL-3.0-or-later
// The platform services on Qt: modal message boxes, the event loop, file
// dialogs, clipboard, printer and starting other programs; and a QTimer for
// every timer model of the form.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <vector>

#include "app/controls.h"
#include "platform/platform.h"

class QAbstractEventDispatcher;
class QTextBrowser;
class QWidget;
class QPrinter;

namespace zorvane {

class QtPlatform : public Platform {
 public:
  QtPlatform();
  ~QtPlatform() override;

  // The window that owns message boxes and dialogs.
  void SetOwner(QWidget* owner) { owner_ = owner; }
  // Runs the timer model with a QTimer while it is enabled.
  void BindTimer(Control* timer);

  void MessageBox(const std::string& text, const std::string& title) override;
  void ShowMessage(const std::string& text) override;
  void ProcessMessages() override;
  void Sleep(int ms) override;
  // Blocks in Qt's event dispatcher until an event arrives (input, paint, a
  // timer, a deadline timer set here) or a device thread calls WakeUp.
  void WaitForEvents(int64_t deadlineUs) override;
  void WakeUp() override;
  int64_t NowUs() override;
  void Terminate() override;
  bool Terminated() const override { return terminated_; }
  std::optional<std::string> OpenFileDialog(const std::string& title,
                                            const std::vector<std::string>& filters = {}) override;
  std::optional<std::string> SaveFileDialog(const std::string& title, const std::string& defaultExt,
                                            const std::vector<std::string>& filters) override;
  bool CopyImageToClipboard(const Bitmap& image) override;
  std::optional<Bitmap> ClipboardImage() override;
  bool ChooseAudioDevices(AudioDevicesDialogModel& model) override;
  bool PrinterSetup() override;
  bool PrintImage(const Bitmap& image) override;
  bool StartProgram(const std::string& path, const std::vector<std::string>& args) override;
  // A window of its own with a text browser over the document.
  bool ShowHelpDocument(const std::string& path) override;
  // The main window's client area, grabbed from the screen.
  std::optional<Bitmap> GrabForm(const Control& form) override;

  // The printer the set-up dialog configures, kept for the session.
  QPrinter& Printer();

 private:
  QWidget* owner_ = nullptr;
  // Where the last file dialog was confirmed; the next one starts there.
  QString lastFolder_;
  QPointer<QTextBrowser> help_;
  std::unique_ptr<QPrinter> printer_;
  QElapsedTimer clock_;
  bool terminated_ = false;
  std::vector<std::unique_ptr<QTimer>> timers_;
  QTimer deadline_;  // ends a wait at its deadline
  QAbstractEventDispatcher* dispatcher_ = nullptr;
};

// A bitmap as a Qt image (colours converted from 0x00BBGGRR), and back.
QImage ToQImage(const Bitmap& bitmap);
Bitmap FromQImage(const QImage& image);

}  // namespace zorvane
