// SPDX-License-Identifier: GPL-3.0-or-later
// The analyzer's transform against FFTW's single-precision real transform
// (MEASURE and PATIENT plans, in thread processor time); one whole block
// (convert, window and transform, peak, scale, render) and one block of the
// running processing cycle at every size and rate, each measured against its
// real-time duration; one block as batch analysis runs it, and the decibel
// conversion by each of its paths.
#include <benchmark/benchmark.h>
#include <fftw3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "analyzer/Graphicinterpolate.h"
#include "analyzer/level_log.h"
#include "app/Zorvane.h"
#include "platform/headless/headless_platform.h"
#include "platform/loopback/loopback.h"
#include "readouts/readouts.h"

namespace zorvane {
namespace {

std::vector<float> RandomBlock(int n) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> u(-32768.0f, 32767.0f);
  std::vector<float> x(kArrayLen, 0.0f);
  for (int i = 1; i <= n; ++i) x[i] = u(rng);
  return x;
}

// Shows the cost of a block against the time the block covers, as a
// percentage in the label (the counters print it with unit prefixes).
void LabelAgainstDuration(benchmark::State& state, double seconds, double blocks, double duration) {
  char text[96];
  std::snprintf(text, sizeof text, "%.1f us per block = %.3f%% of its %.2f ms",
                seconds / blocks * 1e6, 100.0 * seconds / (blocks * duration), duration * 1e3);
  state.SetLabel(text);
}

// Processor time of the calling thread, in seconds: what a block costs the
// thread that runs it, whatever else the machine is doing at the time.
double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// FFTW's single-precision real transform of one block, planned with the given
// rigour on its own arrays (planning may overwrite them, so the block is
// copied in afterwards).
struct FftwPlan {
  FftwPlan(int n, unsigned flags, const std::vector<float>& x)
      : in(fftwf_alloc_real(n)), out(fftwf_alloc_complex(n / 2 + 1)) {
    plan = fftwf_plan_dft_r2c_1d(n, in, out, flags);
    std::copy(x.begin() + 1, x.begin() + 1 + n, in);
  }
  ~FftwPlan() {
    fftwf_destroy_plan(plan);
    fftwf_free(in);
    fftwf_free(out);
  }
  FftwPlan(const FftwPlan&) = delete;
  FftwPlan& operator=(const FftwPlan&) = delete;
  void Run() {
    fftwf_execute(plan);
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
  }
  float* in;
  fftwf_complex* out;
  fftwf_plan plan;
};

// The analyzer's transform against FFTW's MEASURE and PATIENT plans on the
// same block, in the thread's processor time. Each benchmark iteration is
// one round: kCalls calls of each side in turn, the order rotating from round
// to round so that neither side always runs first. A side's time is its
// fastest round (the one the rest of the machine disturbed least); the
// reported time per iteration is the analyzer's round, per call.
void BM_TransformOverFftw(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<float> x = RandomBlock(n);
  std::vector<float> re(kArrayLen), im(kArrayLen);
  FftwPlan measure(n, FFTW_MEASURE, x), patient(n, FFTW_PATIENT, x);
  constexpr int kCalls = 64;
  auto ours = [&] {
    RealTransform(x.data(), re.data(), im.data(), n);
    benchmark::DoNotOptimize(re.data());
    benchmark::DoNotOptimize(im.data());
    benchmark::ClobberMemory();
  };
  auto round = [](auto&& call) {
    const double t0 = ThreadSeconds();
    for (int i = 0; i < kCalls; ++i) call();
    return (ThreadSeconds() - t0) / kCalls;
  };
  for (int i = 0; i < kCalls; ++i) ours(), measure.Run(), patient.Run();  // warm the caches
  double best[3] = {1e9, 1e9, 1e9};
  long rounds = 0;
  for (auto _ : state) {
    double t[3];
    for (int k = 0; k < 3; ++k) {
      const int side = static_cast<int>((rounds + k) % 3);
      t[side] = side == 0   ? round(ours)
                : side == 1 ? round([&] { measure.Run(); })
                            : round([&] { patient.Run(); });
    }
    for (int side = 0; side < 3; ++side) best[side] = std::min(best[side], t[side]);
    state.SetIterationTime(t[0]);
    ++rounds;
  }
  state.counters["ours_us"] = best[0] * 1e6;
  state.counters["measure_us"] = best[1] * 1e6;
  state.counters["patient_us"] = best[2] * 1e6;
  state.counters["x_measure"] = best[0] / best[1];
  state.counters["x_patient"] = best[0] / best[2];
  // The build RealTransform takes on this processor is named with the times.
  char text[128];
  std::snprintf(text, sizeof text, "thread CPU time, fastest of %ld rounds of %d calls, %s build",
                rounds, kCalls, RealTransformAvx2Available() ? "AVX2" : "baseline");
  state.SetLabel(text);
}
BENCHMARK(BM_TransformOverFftw)
    ->Arg(1024)
    ->Arg(2048)
    ->Arg(4096)
    ->Arg(8192)
    ->UseManualTime()
    ->Iterations(400)
    ->Unit(benchmark::kMicrosecond);

// A whole instrument on the loopback cable and a virtual clock, with no
// configuration file.
struct Instrument {
  Instrument()
      : folder(std::filesystem::temp_directory_path() /
               ("zorvane-bench-" + std::to_string(::getpid()))),
        cable(platform) {
    std::filesystem::create_directories(folder);
    form = std::make_unique<TZorvaneForm>(platform, cable.Out(), cable.In(), folder.string());
  }
  ~Instrument() {
    form.reset();
    std::filesystem::remove_all(folder);
  }
  std::filesystem::path folder;
  HeadlessPlatform platform{true};
  LoopbackCable cable;
  std::unique_ptr<TZorvaneForm> form;
};

// 16-bit mono samples of a tone in noise, into capture buffer A where the
// conversion takes block samples 1..n from: loud enough that every bin stands
// above the decibel scale's floor, so each level needs its logarithm.
void FillToneInNoise(AppState& S, int n) {
  std::mt19937 rng(3);
  std::normal_distribution<double> noise(0.0, 30.0);
  for (int j = 1; j <= n; ++j) {
    const auto v = static_cast<int16_t>(std::lround(6000.0 * std::sin(0.2 * j) + noise(rng)));
    S.CaptureBufferA[120 + 2 * j] = static_cast<uint8_t>(v & 0xFF);
    S.CaptureBufferA[121 + 2 * j] = static_cast<uint8_t>((static_cast<uint16_t>(v) >> 8) & 0xFF);
  }
}

// One block as the processing cycle runs it in the frequency display:
// 16-bit mono capture of a tone with noise, Blackman window, gain 10, dB,
// average over 20 blocks, linear axis, line graph with two markers.
void BM_WholeBlock(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const int mode = static_cast<int>(state.range(1));
  Instrument inst;
  TZorvaneForm& f = *inst.form;
  AppState& S = f.S;
  S.TransformSize = n;
  S.SizeFactor = n / 1024;
  S.DisplayMode = mode;
  S.HoldMode = 2;
  ComputeWindowTable(n, S.WindowType, S.WindowTable);
  f.Mkr1Btn->Click();
  f.Mkr2Btn->Click();
  f.Mkr2ScrollBar->SetPosition(300);
  FillToneInNoise(S, n);
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    ConvertSamples(S.BytesPerSample, 2, n, S.ChannelSelect, S.SampleBlock, S.CaptureBufferA,
                   S.CaptureBufferB);
    if (S.DisplayMode == 2) {
      for (int j = 1; j <= n - 1; ++j)
        S.Spectrum[j] = static_cast<float>(S.TimeDcOffset) + S.SampleBlock[j] * S.InputGain;
      f.ScaleTimeTrace();
    } else {
      WindowAndTransform(S.SampleBlock, S.Spectrum, n, S.WindowTable, S.InputGain, S.FftReal,
                         S.FftImag);
      S.PeakFrequency = f.FindPeakFrequency(S.Spectrum, n, S.SizeFactor, S.SampleRate);
      f.ScaleSpectrum();
    }
    f.ClearPlot();
    f.RenderDisplay(S.GraphType, S.DisplayValues);
    benchmark::ClobberMemory();
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  LabelAgainstDuration(state, elapsed.count(), static_cast<double>(state.iterations()),
                       n / 44100.0);
}
BENCHMARK(BM_WholeBlock)
    ->ArgNames({"n", "mode"})
    ->ArgsProduct({{1024, 2048, 4096, 8192}, {1, 2, 3}});

// One block of the processing cycle as batch analysis runs it, where only the
// last frame is drawn: conversion, window and transform, peak, decibels and
// hold (normal, average over 20 blocks or peak: the hold argument), with the
// readouts measuring or not (as analyze runs them without and with
// --distortion), in the thread's processor time. The label gives the time
// per block and per sample, and the decibel conversion's path.
void BM_BatchBlock(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Instrument inst;
  TZorvaneForm& f = *inst.form;
  AppState& S = f.S;
  char item[16];
  std::snprintf(item, sizeof item, "N%d1", n);
  f.Find(item)->Click();
  for (int click = 1; click < state.range(1); ++click) f.NormalBtn->Click();
  f.Readouts->SetMeasuring(state.range(2) != 0);
  S.DrawLastFrameOnly = 1;
  FillToneInNoise(S, n);
  if (S.TransformSize != n || S.HoldMode != state.range(1)) {
    state.SkipWithError("size or hold not taken");
    return;
  }
  const double t0 = ThreadSeconds();
  for (auto _ : state) {
    ConvertSamples(S.BytesPerSample, 2, n, S.ChannelSelect, S.SampleBlock, S.CaptureBufferA,
                   S.CaptureBufferB);
    f.AnalyseSampleBlock();
    benchmark::ClobberMemory();
  }
  const double perBlock = (ThreadSeconds() - t0) / static_cast<double>(state.iterations());
  static const char* const kPaths[] = {"library", "AVX2", "AVX-512"};
  char text[128];
  std::snprintf(text, sizeof text, "%.2f us per block, %.2f ns per sample (thread CPU), %s dB",
                perBlock * 1e6, perBlock * 1e9 / n, kPaths[static_cast<int>(ChosenLevelPath())]);
  state.SetLabel(text);
  state.counters["us_per_block"] = perBlock * 1e6;
}
BENCHMARK(BM_BatchBlock)
    ->ArgNames({"n", "hold", "readouts"})
    ->ArgsProduct({{1024, 2048, 4096, 8192}, {1, 2, 3}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

// The decibel conversion of one block's levels by each path against the C
// library's log10 per level, in the thread's processor time: levels spread
// over nine decades above 1 (as a spectrum's bins are), and a block that is
// half below 1 (the floor of a quiet recording).
void BM_DecibelLevels(benchmark::State& state) {
  const auto path = static_cast<LevelPath>(state.range(0));
  if (!LevelPathAvailable(path)) {
    state.SkipWithError("path not available here");
    return;
  }
  constexpr int kN = 8192;
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> decades(0.0, 9.0);
  std::vector<float> levels(kN);
  for (int i = 0; i < kN; ++i)
    levels[i] =
        static_cast<float>(std::pow(10.0, decades(rng)) * (state.range(1) && i % 2 ? 0.1 : 1));
  std::vector<float> v(kN);
  double seconds = 0.0;
  for (auto _ : state) {
    std::copy(levels.begin(), levels.end(), v.begin());
    const double t0 = ThreadSeconds();
    Log10Levels(path, v.data(), kN, 20.0f);
    seconds += ThreadSeconds() - t0;
    benchmark::DoNotOptimize(v.data());
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.2f ns per level (thread CPU)",
                seconds * 1e9 / (static_cast<double>(state.iterations()) * kN));
  state.SetLabel(text);
}
BENCHMARK(BM_DecibelLevels)
    ->ArgNames({"path", "half_below_1"})
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

// The processing cycle itself: SINGLE with the sound card as source runs the
// acquisition loop for eight blocks (capture waits on the virtual clock,
// buffer queueing, conversion, transform, peak, scaling and drawing) on the
// loopback cable while the generator plays a tone; the simulated cable's
// recording is included. The cycle analyses one block per capture buffer,
// and a buffer lasts longer than its block (2 to 4 blocks' worth at 1024 and
// 2048 points at the high rates), so the label gives the time per block
// against the buffer's duration: the real time each block has.
void BM_CycleBlock(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const int rate = static_cast<int>(state.range(1));
  Instrument inst;
  TZorvaneForm& f = *inst.form;
  char item[16];
  std::snprintf(item, sizeof item, "N%d1", rate);  // the rate and size menu items
  f.Find(item)->Click();
  std::snprintf(item, sizeof item, "N%d1", n);
  f.Find(item)->Click();
  f.NormalBtn->Click();  // running average over the last 20 blocks
  f.Mkr1Btn->Click();
  f.S.FunctionFrequency = 1000.0f;
  f.S.OutputFrequency = 1000.0f;
  f.OutputBtnClick();
  if (f.S.TransformSize != n || f.S.SampleRate != rate) {
    state.SkipWithError("rate or size not taken");
    return;
  }
  constexpr int kBlocksPerRun = 8;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    f.SingleBtn->Click();
    benchmark::ClobberMemory();
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  if (std::abs(f.S.PeakFrequency - 1000.0f) > static_cast<float>(rate) / n)
    state.SkipWithError("the tone was not measured");
  const double blocks = static_cast<double>(state.iterations()) * kBlocksPerRun;
  const double bufferSeconds =
      static_cast<double>(f.S.CaptureBufferBytes) / f.S.CaptureBytesPerSecond;
  LabelAgainstDuration(state, elapsed.count(), blocks, bufferSeconds);
  state.counters["block_s"] =
      benchmark::Counter(blocks, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CycleBlock)
    ->ArgNames({"n", "rate"})
    ->ArgsProduct({{1024, 2048, 4096, 8192}, {8000, 11025, 22050, 44100, 48000}})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zorvane
