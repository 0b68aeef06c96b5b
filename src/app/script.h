// SPDX-License-Identifier: GPL-3.0-or-later
// The remote control: a script of commands, one a line, delivered to the
// form as user events through the platform's message pump, so that a command
// given while a handler pumps messages runs nested inside it, as a click in
// the window would.
//
//   click NAME                    OnClick of a button or menu item
//   set NAME VALUE                position of a scroll or track bar, or text of a text box
//   key NAME TEXT                 one key press and release per character (\r Enter, \b Backspace)
//   mouse down|move|up NAME left|right|middle X Y
//   get NAME.Property             prints "NAME.Property = VALUE"
//   state FIELD                   prints "FIELD = VALUE" (the readouts' names too)
//   readout SETTING VALUE         the readouts' averaging, fundamental, weighting, bands, hold
//   wait MS                       lets that much time pass
//   dialog PATH | dialog cancel   the answer to the next file dialog
//   bitmap PATH                   saves the plot bitmap (BMP, or PNG by extension)
//   clipboard PATH                saves the image on the clipboard (BMP, or PNG by extension)
//   pixel X Y                     prints "pixel X Y = 0x00BBGGRR" from the plot bitmap
//   clock                         prints "clock = MS", the milliseconds the clock has run
//   quit                          the QUIT button
//   measure ...                   the log sweep measurement (see MeasureCommand)
//
// File dialogs, the printer set-up included, take the answers given by
// "dialog"; a printer answered with a path prints into that file.
// "#" starts a comment. Message boxes print "message [TITLE] TEXT"; the
// program's own ending prints "terminated". At the end of the script a
// running analyzer or sweep is stopped, as STOP would.
#pragma once

#include <functional>
#include <istream>
#include <string>
#include <vector>

#include "app/Zorvane.h"
#include "app/remote_control.h"
#include "platform/headless/headless_platform.h"

namespace zorvane {

class LogSweepModel;

class ScriptRunner {
 public:
  ScriptRunner(TZorvaneForm& form, HeadlessPlatform& platform,
               std::function<void(const std::string&)> out,
               std::function<void(const std::string&)> err);
  // Runs the whole script; returns the number of lines that failed.
  int Run(std::istream& in);
  int Run(const std::vector<std::string>& lines);
  // The measurement the "measure" commands drive (none: they are refused).
  void AttachMeasurement(LogSweepModel* model) {
    measure_ = model;
    remote_.AttachMeasurement(model);
  }

 private:
  void Deliver();
  void Execute(const std::string& line, int number);
  bool Error(int number, const std::string& what);

  TZorvaneForm& form_;
  HeadlessPlatform& platform_;
  RemoteControl remote_;
  std::function<void(const std::string&)> out_, err_;
  std::vector<std::string> lines_;
  size_t next_ = 0;
  int64_t resumeAtUs_ = 0;
  int depth_ = 0;
  int errors_ = 0;
  LogSweepModel* measure_ = nullptr;
};

}  // namespace zorvane
