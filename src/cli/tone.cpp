// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/tone.h"

#include <sndfile.h>

#include <cmath>
#include <memory>
#include <vector>

#include "app/app_state.h"
#include "generator/synthesis.h"

namespace zorvane {

bool WriteToneFile(const std::string& waveform, float freq, double seconds, const std::string& path,
                   std::string* error) {
  int code = 0;
  if (waveform == "square")
    code = 1;
  else if (waveform == "triangle")
    code = 2;
  else if (waveform == "noise")
    code = 3;
  else if (waveform != "sine") {
    *error = "unknown waveform " + waveform;
    return false;
  }
  auto buffer = std::make_unique<uint8_t[]>(kOutputBufferBytes);
  auto work = std::make_unique<float[]>(kSynthesisWorkLen);
  uint16_t loopBytes = 0;
  uint32_t seed = 1;
  SynthesizeWaveform(buffer.get(), work.get(), freq, code, loopBytes, seed);
  const int loopFrames = loopBytes / 2;

  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!f) {
    *error = "cannot write " + path + ": " + sf_strerror(nullptr);
    return false;
  }
  const long long total = std::llround(seconds * 44100.0);
  std::vector<short> loop(static_cast<size_t>(loopFrames));
  for (int i = 0; i < loopFrames; ++i)
    loop[static_cast<size_t>(i)] = static_cast<short>(buffer[2 * i] | (buffer[2 * i + 1] << 8));
  long long written = 0;
  bool ok = loopFrames > 0;
  while (ok && written < total) {
    const sf_count_t n = static_cast<sf_count_t>(std::min<long long>(loopFrames, total - written));
    ok = sf_write_short(f, loop.data(), n) == n;
    written += n;
  }
  if (sf_close(f) != 0) ok = false;
  if (!ok) *error = "writing " + path + " failed";
  return ok;
}

}  // namespace zorvane
