// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/record.h"

#include <sndfile.h>

#include <array>
#include <cmath>
#include <memory>
#include <vector>

namespace zorvane {

namespace {

constexpr int kBuffers = 2;
constexpr int64_t kBufferTimeoutUs = 2'000'000;

std::string Failed(const char* call, uint32_t code) {
  return std::string(call) + " failed with code " + std::to_string(code);
}

}  // namespace

bool RecordToFile(WaveIn& in, Platform& platform, const RecordSettings& settings,
                  const std::string& path, std::ostream& report, std::string* error) {
  WaveFormat fmt;
  fmt.FormatTag = WAVE_FORMAT_PCM;
  fmt.Channels = settings.Channels;
  fmt.SamplesPerSec = settings.Rate;
  fmt.BlockAlign = static_cast<uint16_t>(settings.Channels * settings.BitsPerSample / 8);
  fmt.AvgBytesPerSec = settings.Rate * fmt.BlockAlign;
  fmt.BitsPerSample = settings.BitsPerSample;

  WaveHandle probe = 0, device = 0;
  // The waits below sleep until the device finishes a buffer.
  in.SetBufferDoneNotify([&platform] { platform.WakeUp(); });
  struct Unhook {
    WaveIn& in;
    ~Unhook() { in.SetBufferDoneNotify(nullptr); }
  } unhook{in};
  if (uint32_t r = in.Open(&probe, fmt, WAVE_FORMAT_QUERY)) {
    *error = Failed("format query", r);
    return false;
  }
  if (uint32_t r = in.Open(&device, fmt, 0)) {
    *error = Failed("open", r);
    return false;
  }

  SF_INFO info{};
  info.samplerate = static_cast<int>(settings.Rate);
  info.channels = settings.Channels;
  info.format = SF_FORMAT_WAV | (settings.BitsPerSample == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) {
    *error = "cannot write " + path + ": " + sf_strerror(nullptr);
    in.Close(device);
    return false;
  }

  // 50 ms a buffer, so that a recording of a second passes many hand-overs.
  const uint32_t frameBytes = fmt.BlockAlign;
  const uint32_t bufferBytes = std::max<uint32_t>(1, settings.Rate / 20) * frameBytes;
  std::array<std::vector<uint8_t>, kBuffers> data;
  std::array<WaveHeader, kBuffers> headers;
  for (int i = 0; i < kBuffers; ++i) {
    data[i].resize(bufferBytes);
    headers[i].Data = data[i].data();
    headers[i].BufferLength = bufferBytes;
  }

  auto fail = [&](std::string message) {
    in.Reset(device);
    for (WaveHeader& h : headers) in.Unprepare(device, &h, kWaveHeaderSize);
    in.Close(device);
    sf_close(file);
    *error = std::move(message);
    return false;
  };

  for (WaveHeader& h : headers) {
    if (uint32_t r = in.Prepare(device, &h, kWaveHeaderSize)) return fail(Failed("prepare", r));
    if (uint32_t r = in.AddBuffer(device, &h, kWaveHeaderSize))
      return fail(Failed("add buffer", r));
  }
  if (uint32_t r = in.Start(device)) return fail(Failed("start", r));

  const int64_t wanted = std::llround(settings.Seconds * settings.Rate);
  int64_t written = 0;
  for (int next = 0; written < wanted; next = (next + 1) % kBuffers) {
    WaveHeader& h = headers[next];
    const int64_t since = platform.NowUs();
    while (!h.Done()) {
      if (platform.NowUs() - since > kBufferTimeoutUs)
        return fail("no buffer came back from the device");
      platform.WaitForEvents(since + kBufferTimeoutUs + 1);
    }
    const int64_t frames = std::min<int64_t>(h.BytesRecorded.load() / frameBytes, wanted - written);
    if (sf_write_raw(file, h.Data, frames * frameBytes) != frames * frameBytes)
      return fail("writing " + path + " failed");
    written += frames;
    if (written < wanted) {
      if (uint32_t r = in.AddBuffer(device, &h, kWaveHeaderSize))
        return fail(Failed("add buffer", r));
    }
  }

  const uint64_t overruns = in.Overruns();
  uint32_t r = in.Reset(device);
  if (r) return fail(Failed("reset", r));
  for (WaveHeader& h : headers) {
    if ((r = in.Unprepare(device, &h, kWaveHeaderSize))) return fail(Failed("unprepare", r));
  }
  if ((r = in.Close(device))) {
    sf_close(file);
    *error = Failed("close", r);
    return false;
  }
  if (sf_close(file) != 0) {
    *error = "writing " + path + " failed";
    return false;
  }
  report << "recorded " << written << " frames at " << settings.Rate << " Hz, " << settings.Channels
         << (settings.Channels == 1 ? " channel, " : " channels, ") << settings.BitsPerSample
         << " bits; overruns " << overruns << "\n";
  return true;
}

}  // namespace zorvane
