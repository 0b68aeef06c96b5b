// SPDX-License-Identifier: GPL-3.0-or-later
// The remote control's commands, one line at a time, run on the form: what
// the script (zorvane-cli script) and the network's control commands share.
//
//   click NAME                    OnClick of a button or menu item
//   set NAME VALUE                position of a scroll or track bar, or text of a text box
//   key NAME TEXT                 one key press and release per character (\r Enter, \b Backspace)
//   mouse down|move|up NAME left|right|middle X Y
//   get NAME.Property             prints "NAME.Property = VALUE"
//   state FIELD                   prints "FIELD = VALUE" (the readouts' names too)
//   readout SETTING VALUE         the readouts' averaging, fundamental, weighting, bands, hold
//   wait MS                       asks for that much time to pass (the caller lets it)
//   dialog PATH | dialog cancel   the answer to the next file dialog
//   bitmap PATH                   saves the plot bitmap (BMP, or PNG by extension)
//   clipboard PATH                saves the image on the clipboard (BMP, or PNG by extension)
//   pixel X Y                     prints "pixel X Y = 0x00BBGGRR" from the plot bitmap
//   clock                         prints "clock = MS", the milliseconds the clock has run
//   quit                          the QUIT button
//   measure ...                   the log sweep measurement (see MeasureCommand)
#pragma once

#include <functional>
#include <string>

#include "app/Zorvane.h"

namespace zorvane {

class LogSweepModel;

class RemoteControl {
 public:
  RemoteControl(TZorvaneForm& form, Platform& platform) : form_(form), platform_(platform) {}

  struct Outcome {
    bool Ok = true;
    std::string Error;      // why the command failed
    long long WaitMs = -1;  // the time a "wait" asks for
  };
  // Runs one command (no comment in it). What it prints goes to `out`, one
  // line per call; it may run handlers that pump messages.
  Outcome Run(const std::string& line, const std::function<void(const std::string&)>& out);

  // The measurement the "measure" commands drive (none: they are refused).
  void AttachMeasurement(LogSweepModel* model) { measure_ = model; }

  // The longest wait a command may ask for: one day.
  static constexpr long long kMaxWaitMs = 24LL * 60 * 60 * 1000;

 private:
  TZorvaneForm& form_;
  Platform& platform_;
  LogSweepModel* measure_ = nullptr;
};

}  // namespace zorvane
