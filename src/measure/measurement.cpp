// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/measurement.h"

#include <algorithm>

namespace zorvane {

namespace {
// How long one wait for the devices lasts before messages are pumped again.
constexpr int64_t kWaitUs = 20'000;
}  // namespace

MeasureOutcome PlayAndRecord(Platform& platform, FullDuplex& duplex, uint32_t rate,
                             const std::vector<float>& play, const MeasureHooks& hooks,
                             std::vector<float>& record, size_t& latency, std::string& error) {
  if (!duplex.Open(rate, error)) return MeasureOutcome::Failed;
  latency = duplex.LatencyFrames();
  record.assign(play.size() + latency, 0.0f);
  if (!duplex.Start(play.data(), play.size(), record.data(), record.size(), error)) {
    duplex.Close();
    return MeasureOutcome::Failed;
  }
  size_t seen = 0;
  int64_t movedUs = platform.NowUs();
  for (;;) {
    platform.WaitForEvents(platform.NowUs() + kWaitUs);
    platform.ProcessMessages();
    if (platform.Terminated() || (hooks.StopRequested && hooks.StopRequested())) {
      duplex.Close();
      return MeasureOutcome::Stopped;
    }
    error = duplex.Failure();
    if (!error.empty()) {
      duplex.Close();
      return MeasureOutcome::Failed;
    }
    const size_t recorded = duplex.Recorded();
    const int64_t now = platform.NowUs();
    if (recorded != seen) {
      seen = recorded;
      movedUs = now;
      if (hooks.Progress) hooks.Progress(static_cast<double>(recorded) / record.size());
    } else if (now - movedUs > kDuplexStallUs) {
      duplex.Close();
      error = "the sound input delivered nothing for " + std::to_string(kDuplexStallUs / 1000000) +
              " s";
      return MeasureOutcome::Failed;
    }
    if (recorded >= record.size()) break;
  }
  duplex.Close();
  return MeasureOutcome::Done;
}

std::vector<float> AverageRepeats(const std::vector<float>& record, size_t start, size_t period,
                                  int repeats) {
  std::vector<double> sum(period, 0.0);
  for (int r = 0; r < repeats; ++r)
    for (size_t i = 0; i < period; ++i) {
      const size_t at = start + static_cast<size_t>(r) * period + i;
      if (at < record.size()) sum[i] += record[at];
    }
  std::vector<float> mean(period);
  for (size_t i = 0; i < period; ++i) mean[i] = static_cast<float>(sum[i] / repeats);
  return mean;
}

MeasureOutcome MeasureSweep(Platform& platform, FullDuplex& duplex, const SweepSettings& settings,
                            const MeasureHooks& hooks, SweepResult& result, std::string& error) {
  error = CheckSweepSettings(settings);
  if (!error.empty()) return MeasureOutcome::Failed;
  const SyncSweep sweep = DesignSweep(settings);
  std::vector<float> record;
  size_t latency = 0;
  const MeasureOutcome outcome = PlayAndRecord(platform, duplex, settings.Rate, SweepTrain(sweep),
                                               hooks, record, latency, error);
  if (outcome != MeasureOutcome::Done) return outcome;
  // The repeats are cut a little before the devices' reported latency, so
  // that a latency a little shorter than reported loses nothing.
  const size_t start = latency - latency / 4;
  const std::vector<float> mean =
      AverageRepeats(record, start, sweep.PeriodFrames(), settings.Repeats);
  SweepAnalyzer analyzer(sweep);
  result = analyzer.Analyse(mean.data(), static_cast<double>(start));
  return MeasureOutcome::Done;
}

}  // namespace zorvane
