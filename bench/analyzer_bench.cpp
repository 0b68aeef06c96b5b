// The analyzer's transform against FFTW's single-precision real transform,
// and one whole block of the processing cycle (convert, window and
// transform, peak, scale, render) measured against its real-time duration.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <vector>

#include "analyzer/Graphicinterpolate.h"
#include "app/Zorvane.h"
#include "platform/headless/headless_platform.h"
#include "platform/loopback/loopback.h"

namespace zorvane {
namespace {

std::vector<float> RandomBlock(int n) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> u(-32768.0f, 32767.0f);
  std::vector<float> x(kArrayLen, 0.0f);
  for (int i = 1; i <= n; ++i) x[i] = u(rng);
  return x;
}

void BM_RealTransform(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<float> x = RandomBlock(n);
  std::vector<float> re(kArrayLen), im(kArrayLen);
  for (auto _ : state) {
    RealTransform(x.data(), re.data(), im.data(), n);
    benchmark::DoNotOptimize(re.data());
    benchmark::DoNotOptimize(im.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_RealTransform)->Arg(1024)->Arg(2048)->Arg(4096)->Arg(8192);

void BM_FftwR2c(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  float* in = fftwf_alloc_real(n);
  fftwf_complex* out = fftwf_alloc_complex(n / 2 + 1);
  fftwf_plan plan = fftwf_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE);  // may overwrite `in`
  const std::vector<float> x = RandomBlock(n);
  std::copy(x.begin() + 1, x.begin() + 1 + n, in);
  for (auto _ : state) {
    fftwf_execute(plan);
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
  fftwf_destroy_plan(plan);
  fftwf_free(in);
  fftwf_free(out);
}
BENCHMARK(BM_FftwR2c)->Arg(1024)->Arg(2048)->Arg(4096)->Arg(8192);

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
  std::mt19937 rng(3);
  std::normal_distribution<double> noise(0.0, 30.0);
  for (int j = 1; j <= n; ++j) {
    const auto v = static_cast<int16_t>(std::lround(6000.0 * std::sin(0.2 * j) + noise(rng)));
    S.CaptureBufferA[120 + 2 * j] = static_cast<uint8_t>(v & 0xFF);
    S.CaptureBufferA[121 + 2 * j] = static_cast<uint8_t>((static_cast<uint16_t>(v) >> 8) & 0xFF);
  }
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
  // Cost of a block as a fraction of the time it covers at 44,100 Hz.
  state.counters["rt_fraction"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * n / 44100.0,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_WholeBlock)
    ->ArgNames({"n", "mode"})
    ->ArgsProduct({{1024, 2048, 4096, 8192}, {1, 2, 3}});

}  // namespace
}  // namespace zorvane
