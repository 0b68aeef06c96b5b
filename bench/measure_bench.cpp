// SPDX-License-Identifier: GPL-3.0-or-later
// The log sweep measurement of a 2 s sweep (20 Hz to 20 kHz at 44,100 Hz),
// each figure also as a ratio to the sweep's length (ratio_to_sweep):
//  - the analysis alone: the 2^18-point deconvolution, the impulse window,
//    the harmonic cuts and the figures, once the transforms are planned and
//    the sweep's reference is made (as for every measurement after the
//    first with the same settings);
//  - the same with the planning and the reference (the first measurement);
//  - the whole measurement on the cable on the real clock: playing and
//    recording in real time, averaging and analysing.
#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "measure/measurement.h"
#include "platform/headless/headless_platform.h"
#include "platform/loopback/loopback.h"

namespace zorvane {
namespace {

SyncSweep TwoSeconds() { return DesignSweep(SweepSettings{}); }

std::vector<float> Recorded(const SyncSweep& sweep) {
  std::vector<float> segment = SweepSamples(sweep);
  segment.resize(sweep.PeriodFrames(), 0.0f);
  return segment;
}

// Runs `body` for every iteration and reports its mean wall time over the
// sweep's length.
template <typename Body>
void Timed(benchmark::State& state, const SyncSweep& sweep, Body body) {
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) body();
  const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
  state.counters["ratio_to_sweep"] =
      spent.count() / static_cast<double>(state.iterations()) / sweep.Seconds;
}

void BM_LogSweepAnalysis(benchmark::State& state) {
  const SyncSweep sweep = TwoSeconds();
  const std::vector<float> segment = Recorded(sweep);
  SweepAnalyzer analyzer(sweep);
  Timed(state, sweep, [&] { benchmark::DoNotOptimize(analyzer.Analyse(segment.data(), 0.0)); });
  state.counters["transform"] = static_cast<double>(analyzer.TransformFrames());
}
BENCHMARK(BM_LogSweepAnalysis)->Unit(benchmark::kMillisecond);

void BM_LogSweepAnalysisFirst(benchmark::State& state) {
  const SyncSweep sweep = TwoSeconds();
  const std::vector<float> segment = Recorded(sweep);
  Timed(state, sweep, [&] {
    SweepAnalyzer analyzer(sweep);
    benchmark::DoNotOptimize(analyzer.Analyse(segment.data(), 0.0));
  });
}
BENCHMARK(BM_LogSweepAnalysisFirst)->Unit(benchmark::kMillisecond);

void BM_LogSweepWholeOnCable(benchmark::State& state) {
  HeadlessPlatform platform(false);
  LoopbackCable cable(platform);
  SweepResult result;
  std::string error;
  Timed(state, TwoSeconds(), [&] {
    if (MeasureSweep(platform, cable.Duplexer(), SweepSettings{}, {}, result, error) !=
        MeasureOutcome::Done)
      state.SkipWithError(error.c_str());
  });
}
BENCHMARK(BM_LogSweepWholeOnCable)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
}  // namespace zorvane
