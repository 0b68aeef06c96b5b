// SPDX-License-Identifier: GPL-3.0-or-later
// One 512-point sweep pass on the loopback cable in virtual time: every point
// synthesises its tone, opens and closes the output, settles, captures,
// transforms, scales and draws. The settle and the capture cost no wall time
// on the virtual clock, so the time per point is what a point costs beyond
// them (the cable's own recording and filtering included).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "app/Zorvane.h"
#include "platform/audio_option.h"
#include "platform/headless/headless_platform.h"
#include "platform/loopback/loopback.h"

namespace zorvane {
namespace {

// size: the transform size; chain: 0 a straight cable, 1 a low-pass and a
// peaking section between output and input.
void BM_SweepPass(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  AudioOption option;
  std::string error;
  ParseAudioOption(state.range(1) ? "loopback:lowpass=5000,peak=2000/2/6,gain=-12" : "loopback",
                   option, error);
  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("zorvane-bench-sweep-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  HeadlessPlatform platform(true);
  LoopbackCable cable(platform, option.Cable);
  auto form = std::make_unique<TZorvaneForm>(platform, cable.Out(), cable.In(), folder.string());
  TZorvaneForm& f = *form;
  f.ClickSizeItem(size);
  f.SweepBtnClick();
  int points = 0;
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    f.SweepStartBtnClick();
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    points += f.S.SweepPoints;
  }
  if (f.S.SweepPointIndex != 512 || f.S.TransformSize != size)
    state.SkipWithError("the pass did not run to its end");
  char text[64];
  std::snprintf(text, sizeof text, "%.3f ms per point", seconds * 1e3 / points);
  state.SetLabel(text);
  form.reset();
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_SweepPass)
    ->ArgNames({"n", "chain"})
    ->ArgsProduct({{1024, 8192}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zorvane
