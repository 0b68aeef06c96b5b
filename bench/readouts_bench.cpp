// SPDX-License-Identifier: GPL-3.0-or-later
// What the readouts add to a block: the distortion figures and the band
// levels of one block against the block's analysis as the processing cycle
// runs it in the frequency display (convert, window and transform, peak,
// scale and average, render), at every size. Both are timed in turns on the
// same block in the thread's processor time, so that a busy machine slows
// both alike; "ratio" is the readouts' time over the block's.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>

#include "analyzer/Graphicinterpolate.h"
#include "app/Zorvane.h"
#include "platform/headless/headless_platform.h"
#include "platform/loopback/loopback.h"
#include "readouts/readouts.h"

namespace zorvane {
namespace {

double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Args: transform size; bands (3 third, 12 twelfth); A weighting (0, 1).
void BM_ReadoutsOverBlock(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const auto fraction = static_cast<readouts::BandFraction>(state.range(1));
  const bool weighting = state.range(2) != 0;
  const auto folder =
      std::filesystem::temp_directory_path() / ("zorvane-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  HeadlessPlatform platform(true);
  LoopbackCable cable(platform);
  auto form = std::make_unique<TZorvaneForm>(platform, cable.Out(), cable.In(), folder.string());
  TZorvaneForm& f = *form;
  AppState& S = f.S;
  S.TransformSize = n;
  S.SizeFactor = n / 1024;
  S.HoldMode = 2;
  ComputeWindowTable(n, S.WindowType, S.WindowTable);
  f.Mkr1Btn->Click();
  f.Mkr2Btn->Click();
  f.Mkr2ScrollBar->SetPosition(300);
  // A tone with harmonics and noise, as a distortion measurement sees.
  std::mt19937 rng(3);
  std::normal_distribution<double> noise(0.0, 30.0);
  for (int j = 1; j <= n; ++j) {
    const double x = 0.2 * j;
    const auto v = static_cast<int16_t>(std::lround(20000.0 * std::sin(x) + 20.0 * std::sin(2 * x) +
                                                    6.0 * std::sin(3 * x) + noise(rng)));
    S.CaptureBufferA[120 + 2 * j] = static_cast<uint8_t>(v & 0xFF);
    S.CaptureBufferA[121 + 2 * j] = static_cast<uint8_t>((static_cast<uint16_t>(v) >> 8) & 0xFF);
  }
  readouts::BlockReadouts& r = *f.Readouts;
  r.SetAverage(20);
  r.SetBandFraction(fraction);
  r.SetWeighting(weighting);

  constexpr int kTurn = 16;
  double block = 0.0, readout = 0.0;
  for (auto _ : state) {
    const double t0 = ThreadSeconds();
    for (int i = 0; i < kTurn; ++i) {
      ConvertSamples(S.BytesPerSample, 2, n, S.ChannelSelect, S.SampleBlock, S.CaptureBufferA,
                     S.CaptureBufferB);
      WindowAndTransform(S.SampleBlock, S.Spectrum, n, S.WindowTable, S.InputGain, S.FftReal,
                         S.FftImag);
      S.PeakFrequency = f.FindPeakFrequency(S.Spectrum, n, S.SizeFactor, S.SampleRate);
      f.ScaleSpectrum();
      f.ClearPlot();
      f.RenderDisplay(S.GraphType, S.DisplayValues);
      benchmark::ClobberMemory();
    }
    const double t1 = ThreadSeconds();
    for (int i = 0; i < kTurn; ++i) {
      r.AnalyzeBlock(S.SampleBlock + 1, n, S.SampleRate, S.BytesPerSample);
      benchmark::ClobberMemory();
    }
    const double t2 = ThreadSeconds();
    block += t1 - t0;
    readout += t2 - t1;
  }
  if (!(r.Distortion().harmonicsUsed > 0)) state.SkipWithError("the tone was not measured");
  const double calls = static_cast<double>(state.iterations()) * kTurn;
  state.counters["block_us"] = block / calls * 1e6;
  state.counters["readouts_us"] = readout / calls * 1e6;
  state.counters["ratio"] = readout / block;
  form.reset();
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ReadoutsOverBlock)
    ->ArgNames({"n", "bands", "A"})
    ->ArgsProduct({{1024, 2048, 4096, 8192}, {3}, {0}})
    ->Args({8192, 12, 1})
    ->Args({1024, 12, 1});

}  // namespace
}  // namespace zorvane
