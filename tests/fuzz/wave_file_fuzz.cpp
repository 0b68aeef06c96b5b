// SPDX-License-Identifier: GPL-3.0-or-later
// WAV files as the analyzer's source: any bytes are either refused at open
// with a message or read block by block to the end of their data, without
// reading out of bounds and without a block the file does not hold.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "fuzz/fuzz_instrument.h"
#include "wavefile/wave_header.h"

using namespace zorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The header reader alone.
  MemoryByteSource source(data, size);
  WaveFileInfo info;
  const std::string problem = ReadWaveFileInfo(source, info);
  if (problem.empty()) {
    if (info.DataOffset > size || info.DataBytes > size - info.DataOffset) std::abort();
    if ((info.Channels != 1 && info.Channels != 2) ||
        (info.BitsPerSample != 8 && info.BitsPerSample != 16) || info.SampleRate == 0 ||
        info.SampleRate > kMaxWaveRate || info.BlockAlign != info.Channels * info.BitsPerSample / 8)
      std::abort();
  }

  // The same bytes as a file the instrument opens and plays to its end, one
  // block per 50 ms, each block analysed (only the last frame is drawn). The
  // file's own format is put in force at each open; nothing else is reset.
  static const std::string path = [] {
    const char* tmp = std::getenv("TMPDIR");
    const std::string folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : tmp ? tmp : "/tmp";
    return folder + "/zorvane-fuzz-" + std::to_string(::getpid()) + ".wav";
  }();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  static FuzzInstrument instrument;
  TZorvaneForm& form = instrument.form;
  instrument.Reset(false);
  form.S.DrawLastFrameOnly = 1;
  instrument.platform.QueueDialogAnswer(path);
  form.OpenWavefile1Click();
  if (problem.empty() != (form.S.WaveFileOpen == 1)) std::abort();  // the same verdict
  if (form.S.WaveFileOpen == 1) {
    form.WaveFile1Click();
    form.N50ms2Click();
    long paints = 0;
    const std::function<void()> paint = form.SpectrumBox->OnPaint;
    form.SpectrumBox->OnPaint = [&paints, &paint] {
      ++paints;
      if (paint) paint();
    };
    form.S.FramesNotDrawn = 0;
    form.StartBtnClick();
    instrument.platform.Idle(2000);
    const long bytes = form.S.CaptureBufferBytes;
    if (bytes > 0 && paints + form.S.FramesNotDrawn > static_cast<long>(info.DataBytes) / bytes)
      std::abort();
    form.SpectrumBox->OnPaint = paint;
  }
  return 0;
}
