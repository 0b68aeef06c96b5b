// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/log_sweep_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace zorvane {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Points of a frequency curve on the screen, spaced evenly in log frequency.
constexpr int kDisplayPoints = 800;
// The impulse plot: from the window's start to this many ms after the peak.
constexpr double kImpulseShownMs = 50.0, kImpulseLeadMs = 5.0;

std::string Format(const char* format, double v) { return FormatNumber(format, v); }

// A plain decimal number (no hexadecimal, infinities or not-a-numbers).
bool ParseNumber(const std::string& text, double& value) {
  if (text.empty() || text.size() > 32 ||
      text.find_first_not_of("0123456789.+-eE") != std::string::npos)
    return false;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && std::isfinite(value);
}

// Values at frequencies `at`, from values `v` at evenly spaced bins `hz`: the
// nearest bin's, or with `fraction` > 0 the mean over the 1/fraction octave
// around each frequency (of the power, when `power`; NaNs left out).
std::vector<double> Resample(const std::vector<double>& hz, const std::vector<double>& v,
                             const std::vector<double>& at, int fraction, bool power) {
  std::vector<double> out(at.size(), kNaN);
  if (hz.empty()) return out;
  std::vector<double> sum(hz.size() + 1, 0.0), count(hz.size() + 1, 0.0);
  for (size_t i = 0; i < hz.size(); ++i) {
    const bool ok = std::isfinite(v[i]);
    sum[i + 1] = sum[i] + (ok ? (power ? std::pow(10.0, v[i] / 10.0) : v[i]) : 0.0);
    count[i + 1] = count[i] + (ok ? 1.0 : 0.0);
  }
  const double half = fraction > 0 ? std::pow(2.0, 0.5 / fraction) : 1.0;
  for (size_t j = 0; j < at.size(); ++j) {
    const auto index = [&](double f) {
      return static_cast<size_t>(std::lower_bound(hz.begin(), hz.end(), f) - hz.begin());
    };
    size_t lo = index(at[j] / half), hi = index(at[j] * half);
    if (fraction == 0 || hi <= lo) {
      // Between the two nearest bins, on a straight line.
      const size_t i = std::min(std::max<size_t>(index(at[j]), 1), hz.size() - 1);
      const double a = v[i - 1], b = v[i];
      const double t = std::clamp((at[j] - hz[i - 1]) / (hz[i] - hz[i - 1]), 0.0, 1.0);
      if (std::isfinite(a) && std::isfinite(b)) out[j] = a + (b - a) * t;
      continue;
    }
    const double n = count[hi] - count[lo];
    if (n <= 0.0) continue;
    const double mean = (sum[hi] - sum[lo]) / n;
    out[j] = power ? 10.0 * std::log10(mean) : mean;
  }
  return out;
}

std::vector<double> LogGrid(double low, double high) {
  std::vector<double> grid;
  if (!(low > 0.0 && high > low)) return grid;
  for (int i = 0; i < kDisplayPoints; ++i)
    grid.push_back(low * std::pow(high / low, static_cast<double>(i) / (kDisplayPoints - 1)));
  return grid;
}

size_t Nearest(const std::vector<double>& x, double at) {
  if (x.empty()) return 0;
  size_t i = static_cast<size_t>(std::lower_bound(x.begin(), x.end(), at) - x.begin());
  if (i >= x.size()) return x.size() - 1;
  if (i > 0 && at - x[i - 1] < x[i] - at) --i;
  return i;
}

std::pair<double, double> Extent(const std::vector<double>& v) {
  double lo = INFINITY, hi = -INFINITY;
  for (double x : v)
    if (std::isfinite(x)) lo = std::min(lo, x), hi = std::max(hi, x);
  return {lo, hi};
}

const char* StateName(LogSweepModel::State s) {
  switch (s) {
    case LogSweepModel::State::Idle:
      return "idle";
    case LogSweepModel::State::Running:
      return "running";
    case LogSweepModel::State::Done:
      return "done";
    case LogSweepModel::State::Failed:
      return "failed";
    case LogSweepModel::State::Stopped:
      return "stopped";
  }
  return "?";
}

}  // namespace

// The display curves of the last result with the chosen smoothing.
struct LogSweepModel::Smoothed {
  std::vector<double> Hz, Magnitude, Phase, GroupDelay;
  std::vector<double> DistortionHz, H2, H3, Thd;
  std::vector<double> ImpulseMs, Impulse;
};

LogSweepModel::LogSweepModel(Platform& platform, FullDuplex& duplex)
    : platform_(platform), duplex_(duplex) {}

LogSweepModel::~LogSweepModel() = default;

const std::vector<int>& LogSweepModel::SmoothingChoices() {
  static const std::vector<int> choices = {0, 48, 24, 12, 6, 3};
  return choices;
}

std::string LogSweepModel::ReadEntries(SweepSettings& s) const {
  const struct {
    const std::string& Text;
    double* Value;
    const char* What;
  } entries[] = {{From, &s.StartHz, "start frequency"},
                 {To, &s.EndHz, "end frequency"},
                 {Seconds, &s.Seconds, "length"},
                 {Level, &s.LevelDbfs, "level"}};
  for (const auto& e : entries)
    if (!ParseNumber(e.Text, *e.Value))
      return std::string("the ") + e.What + " '" + e.Text + "' is not a number";
  double repeats = 0;
  if (!ParseNumber(Repeats, repeats) || repeats != std::floor(repeats) || std::abs(repeats) > 1e6)
    return "the repeats '" + Repeats + "' are not a whole number";
  s.Repeats = static_cast<int>(repeats);
  s.Rate = Rate;
  return CheckSweepSettings(s);
}

void LogSweepModel::StartStopClick() {
  if (Running()) {
    stopRequested_ = true;
    return;
  }
  SweepSettings settings;
  std::string why = ReadEntries(settings);
  if (why.empty() && DevicesBusy) why = DevicesBusy();
  if (!why.empty()) {
    platform_.MessageBox(why, kTitle);
    return;
  }
  state_ = State::Running;
  stopRequested_ = false;
  progress_ = 0.0;
  status_ = "Measuring\u2026";
  Changed();
  MeasureHooks hooks;
  hooks.StopRequested = [this] { return stopRequested_; };
  hooks.Progress = [this](double fraction) {
    progress_ = fraction;
    Changed();
  };
  SweepResult result;
  std::string error;
  const MeasureOutcome outcome = MeasureSweep(platform_, duplex_, settings, hooks, result, error);
  if (outcome == MeasureOutcome::Done) {
    result_ = std::make_unique<SweepResult>(std::move(result));
    state_ = State::Done;
    progress_ = 1.0;
    char b[160];
    std::snprintf(b, sizeof b, "%g to %g Hz in %.3f s, %d repeat(s); delay %.3f ms",
                  settings.StartHz, settings.EndHz, result_->Sweep.Seconds, settings.Repeats,
                  result_->DelayMs());
    status_ = b;
    if (!result_->Note.empty()) status_ += "; " + result_->Note;
    Smooth();
  } else if (outcome == MeasureOutcome::Stopped) {
    state_ = State::Stopped;
    status_ = "Stopped";
  } else {
    state_ = State::Failed;
    status_ = "Failed: " + error;
  }
  Changed();
  if (outcome == MeasureOutcome::Failed)
    platform_.MessageBox("The measurement failed: " + error, kTitle);
}

void LogSweepModel::SetSmoothing(int fraction) {
  const auto& c = SmoothingChoices();
  if (std::find(c.begin(), c.end(), fraction) == c.end() || fraction == smoothing_) return;
  smoothing_ = fraction;
  Smooth();
  Changed();
}

void LogSweepModel::Smooth() {
  if (!result_) return;
  const SweepResult& r = *result_;
  auto s = std::make_unique<Smoothed>();
  if (!r.Hz.empty()) {
    s->Hz = LogGrid(r.Hz.front(), r.Hz.back());
    s->Magnitude = Resample(r.Hz, r.MagnitudeDb, s->Hz, smoothing_, true);
    s->Phase = Resample(r.Hz, r.PhaseDeg, s->Hz, smoothing_, false);
    s->GroupDelay = Resample(r.Hz, r.GroupDelayMs, s->Hz, smoothing_, false);
  }
  if (!r.DistortionHz.empty()) {
    s->DistortionHz = LogGrid(r.DistortionHz.front(), r.DistortionHz.back());
    s->H2 = Resample(r.DistortionHz, r.HarmonicDb[0], s->DistortionHz, smoothing_, true);
    s->H3 = Resample(r.DistortionHz, r.HarmonicDb[1], s->DistortionHz, smoothing_, true);
    s->Thd = Resample(r.DistortionHz, r.ThdDb, s->DistortionHz, smoothing_, true);
  }
  const double rate = r.Sweep.Rate();
  for (size_t i = 0; i < r.Impulse.size(); ++i) {
    const double ms = (static_cast<double>(i) - static_cast<double>(r.ImpulsePeak)) * 1000.0 / rate;
    if (ms > kImpulseShownMs) break;
    s->ImpulseMs.push_back(ms);
    s->Impulse.push_back(r.Impulse[i]);
  }
  smoothed_ = std::move(s);
}

std::vector<LogSweepModel::Series> LogSweepModel::Curves(Plot plot) const {
  if (!smoothed_) return {};
  const Smoothed& s = *smoothed_;
  switch (plot) {
    case Plot::Magnitude:
      return {{"Magnitude (dB)", s.Hz, s.Magnitude}};
    case Plot::Phase:
      return {{"Phase (\u00b0)", s.Hz, s.Phase}};
    case Plot::Distortion:
      return {{"H2 (dB)", s.DistortionHz, s.H2},
              {"H3 (dB)", s.DistortionHz, s.H3},
              {"THD (dB)", s.DistortionHz, s.Thd}};
    case Plot::Impulse:
      return {{"Impulse", s.ImpulseMs, s.Impulse}};
  }
  return {};
}

LogSweepModel::Range LogSweepModel::XRange(Plot plot) const {
  const double f1 = result_ ? result_->Sweep.Settings.StartHz : 20.0;
  const double f2 = result_ ? result_->Sweep.Settings.EndHz : 20000.0;
  if (plot == Plot::Distortion) return {f1, std::max(f1 * 2, f2 / 2)};
  if (plot == Plot::Impulse) return {-kImpulseLeadMs, kImpulseShownMs, 5.0};
  return {f1, f2};
}

LogSweepModel::Range LogSweepModel::YRange(Plot plot) const {
  if (!smoothed_) {
    if (plot == Plot::Impulse) return {-1, 1, 0.5};
    return plot == Plot::Phase ? Range{-180, 180, 90} : Range{-60, 6, 6};
  }
  const Smoothed& s = *smoothed_;
  if (plot == Plot::Magnitude) {
    const auto [lo, hi] = Extent(s.Magnitude);
    const double top = std::isfinite(hi) ? 6.0 * std::ceil(hi / 6.0) + 6.0 : 6.0;
    const double bottom =
        std::max(std::isfinite(lo) ? 6.0 * std::floor(lo / 6.0) : top - 60, top - 90);
    return {bottom, top, top - bottom > 48 ? 12.0 : 6.0};
  }
  if (plot == Plot::Phase) {
    const auto [lo, hi] = Extent(s.Phase);
    if (!std::isfinite(lo)) return {-180, 180, 90};
    const double bottom = 90.0 * std::floor(lo / 90.0) - 90, top = 90.0 * std::ceil(hi / 90.0) + 90;
    return {bottom, top, 90.0 * std::ceil((top - bottom) / 90.0 / 8.0)};
  }
  if (plot == Plot::Distortion) {
    std::vector<double> all = s.H2;
    all.insert(all.end(), s.H3.begin(), s.H3.end());
    all.insert(all.end(), s.Thd.begin(), s.Thd.end());
    const auto [lo, hi] = Extent(all);
    if (!std::isfinite(lo)) return {-120, 0, 20};
    const double bottom = std::max(10.0 * std::floor(lo / 10.0), -160.0);
    const double top = 10.0 * std::ceil(hi / 10.0) + 10;
    return {bottom, top, top - bottom > 80 ? 20.0 : 10.0};
  }
  const auto [lo, hi] = Extent(s.Impulse);
  const double peak = std::isfinite(lo) ? std::max(std::abs(lo), std::abs(hi)) : 1.0;
  return {-1.1 * peak, 1.1 * peak};
}

std::string LogSweepModel::Readout(Plot plot, double x) const {
  if (!smoothed_) return "";
  const Smoothed& s = *smoothed_;
  auto db = [](double v) { return std::isfinite(v) ? Format("%.2f dB", v) : std::string("-"); };
  if (plot == Plot::Impulse) {
    if (s.ImpulseMs.empty()) return "";
    const size_t i = Nearest(s.ImpulseMs, x);
    return Format("%.3f ms", s.ImpulseMs[i]) + "   " + Format("%.5f", s.Impulse[i]);
  }
  if (plot == Plot::Distortion) {
    if (s.DistortionHz.empty()) return "";
    const size_t i = Nearest(s.DistortionHz, x);
    return Format("%.1f Hz", s.DistortionHz[i]) + "   H2 " + db(s.H2[i]) + "   H3 " + db(s.H3[i]) +
           "   THD " + db(s.Thd[i]);
  }
  if (s.Hz.empty()) return "";
  const size_t i = Nearest(s.Hz, x);
  return Format("%.1f Hz", s.Hz[i]) + "   " + db(s.Magnitude[i]) + "   " +
         Format("%.1f\u00b0", s.Phase[i]) + "   group delay " + Format("%.3f ms", s.GroupDelay[i]);
}

bool LogSweepModel::Export(MeasureFile kind, const std::string& path, std::string& error) const {
  if (!result_) {
    error = "there is no measurement to save yet";
    return false;
  }
  return WriteMeasureFile(*result_, kind, path, error);
}

void LogSweepModel::ExportClick(MeasureFile kind) {
  static const char* const titles[] = {"Save Response (CSV)", "Save Distortion (CSV)",
                                       "Save Response (FRD)", "Save Impulse Response (WAV)"};
  static const char* const extensions[] = {"csv", "csv", "frd", "wav"};
  const int k = static_cast<int>(kind);
  const std::optional<std::string> path = platform_.SaveFileDialog(titles[k], extensions[k]);
  if (!path) return;
  std::string error;
  if (!Export(kind, *path, error)) platform_.MessageBox(error, kTitle);
}

bool MeasureCommand(LogSweepModel& model, const std::string& args,
                    const std::function<void(const std::string&)>& out, std::string& error) {
  std::vector<std::string> w;
  for (size_t i = 0; i < args.size();) {
    const size_t a = args.find_first_not_of(" \t", i);
    if (a == std::string::npos) break;
    const size_t b = std::min(args.find_first_of(" \t", a), args.size());
    w.push_back(args.substr(a, b - a));
    i = b;
  }
  auto fail = [&](std::string why) {
    error = std::move(why);
    return false;
  };
  if (w.empty()) return fail("measure start|stop|get|at|distortion|save ...");
  const SweepResult* r = model.Result();
  auto frequency = [&](double& hz) {
    if (w.size() != 2 || !ParseNumber(w[1], hz)) return fail("measure " + w[0] + " HZ");
    if (!r) return fail("there is no measurement yet");
    return true;
  };
  if (w[0] == "start") {
    for (size_t i = 1; i < w.size(); i += 2) {
      std::string* entry = w[i] == "--from"      ? &model.From
                           : w[i] == "--to"      ? &model.To
                           : w[i] == "--seconds" ? &model.Seconds
                           : w[i] == "--level"   ? &model.Level
                           : w[i] == "--repeat"  ? &model.Repeats
                                                 : nullptr;
      if (!entry || i + 1 >= w.size())
        return fail(
            "measure start [--from HZ] [--to HZ] [--seconds S] [--level DBFS] [--repeat N]");
      *entry = w[i + 1];
    }
    if (!model.Running()) model.StartStopClick();
    return true;
  }
  if (w[0] == "stop" && w.size() == 1) {
    if (model.Running()) model.Stop();
    return true;
  }
  if (w[0] == "get" && w.size() == 2) {
    std::string v;
    if (w[1] == "State")
      v = StateName(model.GetState());
    else if (w[1] == "Progress")
      v = Format("%.3f", model.Progress());
    else if (w[1] == "Status")
      v = model.Status();
    else if (!r && (w[1] == "DelayMs" || w[1] == "Seconds" || w[1] == "Points"))
      return fail("there is no measurement yet");
    else if (w[1] == "DelayMs")
      v = Format("%.4f", r->DelayMs());
    else if (w[1] == "Seconds")
      v = Format("%.4f", r->Sweep.Seconds);
    else if (w[1] == "Points")
      v = std::to_string(r->Hz.size());
    else
      return fail("measure get State|Progress|Status|DelayMs|Seconds|Points");
    out("measure." + w[1] + " = " + v);
    return true;
  }
  if (w[0] == "at") {
    double hz;
    if (!frequency(hz)) return false;
    if (r->Hz.empty()) return fail("the measurement has no frequencies");
    const size_t i = Nearest(r->Hz, hz);
    out("measure at " + w[1] + " = " + Format("%.4f", r->Hz[i]) + " " +
        Format("%.4f", r->MagnitudeDb[i]) + " " + Format("%.3f", r->PhaseDeg[i]) + " " +
        Format("%.4f", r->GroupDelayMs[i]));
    return true;
  }
  if (w[0] == "distortion") {
    double hz;
    if (!frequency(hz)) return false;
    if (r->DistortionHz.empty()) return fail("the measurement has no distortion figures");
    const size_t i = Nearest(r->DistortionHz, hz);
    std::string line = "measure distortion " + w[1] + " = " + Format("%.4f", r->DistortionHz[i]);
    for (const auto& h : r->HarmonicDb) line += " " + Format("%.4f", h[i]);
    out(line + " " + Format("%.4f", r->ThdDb[i]));
    return true;
  }
  if (w[0] == "save" && w.size() >= 3) {
    MeasureFile kind;
    if (!MeasureFileFromName(w[1], kind)) return fail("measure save csv|distortion|frd|ir PATH");
    // The path is the rest of the line, blanks and all.
    const size_t at = args.find(w[1], args.find("save") + 4) + w[1].size();
    const size_t from = args.find_first_not_of(" \t", at);
    const size_t to = args.find_last_not_of(" \t");
    return model.Export(kind, args.substr(from, to + 1 - from), error);
  }
  return fail("unknown measure command '" + args + "'");
}

}  // namespace zorvane
