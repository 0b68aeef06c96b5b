// SPDX-License-Identifier: GPL-3.0-or-later
// The log sweep measurement as its window shows it: the entries, START/STOP,
// progress and status, the plots' curves (smoothed for display only), the
// cursor readouts and the exports. The window and the remote control drive
// this model; neither holds logic of its own.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "measure/measure_files.h"
#include "measure/measurement.h"

namespace zorvane {

class LogSweepModel {
 public:
  enum class State { Idle, Running, Done, Failed, Stopped };
  enum class Plot { Magnitude, Phase, Distortion, Impulse };
  static constexpr const char* kTitle = "Log Sweep Measurement";

  // The platform and the devices must outlive the model.
  LogSweepModel(Platform& platform, FullDuplex& duplex);
  ~LogSweepModel();

  // Why the sound devices cannot be lent to a measurement now (empty: they
  // can); asked at every start.
  std::function<std::string()> DevicesBusy;
  // Called after every change the window shows.
  std::function<void()> OnChange;

  // The entries as typed, and the rate (the instrument's output rate).
  std::string From = "20", To = "20000", Seconds = "2", Level = "-6", Repeats = "1";
  uint32_t Rate = 44100;

  // START/STOP: measures with the entries, pumping messages until done
  // (refusals and failures are message boxes); while a measurement runs,
  // asks it to stop.
  void StartStopClick();
  // Why the entries cannot be measured (empty when they can), and the
  // settings they give.
  std::string ReadEntries(SweepSettings& settings) const;
  void Stop() { stopRequested_ = true; }

  State GetState() const { return state_; }
  bool Running() const { return state_ == State::Running; }
  double Progress() const { return progress_; }
  const std::string& Status() const { return status_; }
  std::string ButtonCaption() const { return Running() ? "STOP" : "START"; }
  // The last complete measurement (nullptr before the first).
  const SweepResult* Result() const { return result_.get(); }

  // Display smoothing in fractions of an octave (0: none); the exports and
  // the remote control's numbers stay raw.
  static const std::vector<int>& SmoothingChoices();
  void SetSmoothing(int fraction);
  int Smoothing() const { return smoothing_; }

  struct Series {
    std::string Name;
    std::vector<double> X, Y;
  };
  // The curves of a plot (frequency in Hz, or time in ms for the impulse);
  // empty before the first result.
  std::vector<Series> Curves(Plot plot) const;
  struct Range {
    double Low = 0, High = 1;
    double Step = 0;  // between grid lines (0: the plot's choice)
  };
  Range XRange(Plot plot) const;
  Range YRange(Plot plot) const;
  // What the cursor reads at horizontal position x of a plot.
  std::string Readout(Plot plot, double x) const;

  // Writes a file of the last result; false with a message when there is none
  // or it cannot be written.
  bool Export(MeasureFile kind, const std::string& path, std::string& error) const;
  // The export buttons: a name from the save dialog, a failure as a message.
  void ExportClick(MeasureFile kind);

 private:
  struct Smoothed;
  void Changed() {
    if (OnChange) OnChange();
  }
  void Smooth();

  Platform& platform_;
  FullDuplex& duplex_;
  State state_ = State::Idle;
  double progress_ = 0.0;
  std::string status_ = "Ready";
  bool stopRequested_ = false;
  std::unique_ptr<SweepResult> result_;
  int smoothing_ = 0;
  std::unique_ptr<Smoothed> smoothed_;
};

// One remote-control command "measure ARGS" (see README): false with the
// reason when the command is malformed. Lines go to `out`.
bool MeasureCommand(LogSweepModel& model, const std::string& args,
                    const std::function<void(const std::string&)>& out, std::string& error);

}  // namespace zorvane
