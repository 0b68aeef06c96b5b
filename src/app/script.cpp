// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/script.h"

#include "measure/log_sweep_model.h"

namespace zorvane {

ScriptRunner::ScriptRunner(TZorvaneForm& form, HeadlessPlatform& platform,
                           std::function<void(const std::string&)> out,
                           std::function<void(const std::string&)> err)
    : form_(form),
      platform_(platform),
      remote_(form, platform),
      out_(std::move(out)),
      err_(std::move(err)) {
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
  // A "#" inside the text of key/set/dialog is still a comment: scripts
  // never need to type one.
  const std::string line = raw.substr(0, raw.find('#'));
  const RemoteControl::Outcome done = remote_.Run(line, out_);
  if (!done.Ok) Error(number, done.Error);
  if (done.WaitMs >= 0) resumeAtUs_ = platform_.NowUs() + done.WaitMs * 1000;
}

}  // namespace zorvane
