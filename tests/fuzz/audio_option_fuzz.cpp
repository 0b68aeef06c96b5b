// SPDX-License-Identifier: GPL-3.0-or-later
// The --audio option's text, loopback:FILTER,... above all: any text is
// either refused with a message or gives a cable whose filters can be
// designed and run. A recording through the chain must not crash or read out
// of bounds, whatever values the text brought.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/audio_option.h"
#include "platform/headless/headless_platform.h"

using namespace zorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  AudioOption option;
  std::string error;
  if (!ParseAudioOption(text, option, error)) {
    if (error.empty()) std::abort();  // a refusal always says why
    return 0;
  }
  const LoopbackOptions& cable = option.Cable;
  if (!std::isfinite(cable.Gain) || !(cable.Gain > 0.0) || !std::isfinite(cable.NoiseRms))
    std::abort();
  for (const LoopbackFilter& f : cable.Filters) {
    const BiquadCoefficients c = DesignBiquad(f, 44100.0);
    for (double v : {c.B0, c.B1, c.B2, c.A1, c.A2})
      if (!std::isfinite(v)) std::abort();
  }
  if (option.Choice != AudioOption::Device::Loopback) return 0;

  // A tone through the chain into a short recording at a rate the cable
  // converts to.
  HeadlessPlatform platform(true);
  LoopbackCable line(platform, cable);
  std::vector<int16_t> tone(441), recorded(1103);
  for (size_t i = 0; i < tone.size(); ++i)
    tone[i] = static_cast<int16_t>(std::lround(20000.0 * std::sin(6.283185307179586 * i / 441.0)));
  WaveHeader out, in;
  out.Data = reinterpret_cast<uint8_t*>(tone.data());
  out.BufferLength = static_cast<uint32_t>(2 * tone.size());
  out.Flags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
  out.Loops = 0xFFFFFFFF;
  in.Data = reinterpret_cast<uint8_t*>(recorded.data());
  in.BufferLength = static_cast<uint32_t>(2 * recorded.size());
  const WaveFormat play{WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16};
  const WaveFormat record{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16};
  WaveHandle o = 0, i = 0;
  if (line.Out().Open(&o, play, 0) || line.Out().Prepare(o, &out, kWaveHeaderSize) ||
      line.Out().Write(o, &out, kWaveHeaderSize) || line.In().Open(&i, record, 0) ||
      line.In().Prepare(i, &in, kWaveHeaderSize) || line.In().AddBuffer(i, &in, kWaveHeaderSize) ||
      line.In().Start(i))
    std::abort();
  for (int step = 0; step < 200 && !in.Done(); ++step) platform.Sleep(1);
  if (!in.Done()) std::abort();
  line.In().Reset(i);
  line.In().Close(i);
  line.Out().Reset(o);
  line.Out().Close(o);
  return 0;
}
