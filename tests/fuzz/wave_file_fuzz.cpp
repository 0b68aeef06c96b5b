// WAV files as the analyzer's source: any bytes are either refused at open
// with a message or read block by block to the end of their data, without
// reading out of bounds and without a block the file does not hold.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/Zorvane.h"
#include "platform/headless/headless_platform.h"
#include "platform/loopback/loopback.h"
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

  // The same bytes as a file the instrument opens and plays to its end.
  static const std::string path =
      std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/zorvane-fuzz-" +
      std::to_string(::getpid()) + ".wav";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  HeadlessPlatform platform(true);
  LoopbackCable cable(platform);
  TZorvaneForm form(platform, cable.Out(), cable.In(), std::string());
  for (Control* t : {form.ChartTimer, form.SweepTimer, form.FileTimer, form.TimeoutTimer})
    platform.AddTimer(t);
  platform.QueueDialogAnswer(path);
  form.OpenWavefile1Click();
  if (problem.empty() != (form.S.WaveFileOpen == 1)) std::abort();  // the same verdict
  if (form.S.WaveFileOpen == 1) {
    form.WaveFile1Click();
    form.N50ms2Click();
    long frames = 0;
    form.SpectrumBox->OnPaint = [&frames] { ++frames; };
    form.StartBtnClick();
    platform.Idle(2000);
    const long bytes = form.S.CaptureBufferBytes;
    if (bytes > 0 && frames > static_cast<long>(info.DataBytes) / bytes) std::abort();
    form.CloseWavefile1Click();
  }
  form.QuitBtnClick();
  return 0;
}
