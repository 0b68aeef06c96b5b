// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/measure.h"

#include <sndfile.h>

#include <cmath>
#include <memory>
#include <vector>

#include "cli/audio_choice.h"
#include "measure/measure_files.h"
#include "measure/measurement.h"
#include "platform/audio_option.h"
#include "platform/headless/headless_platform.h"
#include "platform/loopback/loopback.h"
#include "platform/soundcard/sound_card.h"

namespace zorvane {

namespace {

// The full duplex --audio and the device names choose, and the platform it
// runs on: a virtual clock for the cable, the real one for the sound card.
struct Duplex {
  std::unique_ptr<HeadlessPlatform> Platform;
  std::unique_ptr<LoopbackCable> Cable;
  std::unique_ptr<FullDuplex> Card;
  FullDuplex* Device = nullptr;
};

// 0, or the exit status after saying why on `err`.
int OpenDuplex(const DuplexChoice& choice, Duplex& d, std::ostream& err) {
  AudioChoice audio;
  if (const int status =
          ChooseAudio(choice.Audio, choice.OutputDevice, choice.InputDevice, audio, err))
    return status;
  const bool system = audio.System;
  d.Platform = std::make_unique<HeadlessPlatform>(!system);
  if (system) {
    d.Card = audio.Card->Duplex(audio.Devices);
    d.Device = d.Card.get();
    err << "zorvane-cli: audio: sound card\n";
  } else {
    d.Cable = std::make_unique<LoopbackCable>(*d.Platform, audio.Option.Cable);
    d.Device = &d.Cable->Duplexer();
    err << "zorvane-cli: audio: built-in loopback\n";
  }
  return 0;
}

// A bar that redraws itself on a terminal, a whole percent at a time.
struct ProgressBar {
  std::ostream& Err;
  bool Terminal;
  int Shown = -1;
  void Show(double fraction) {
    const int percent = static_cast<int>(std::floor(fraction * 100.0));
    if (!Terminal || percent == Shown) return;
    Shown = percent;
    const int filled = percent * 30 / 100;
    Err << "\rmeasuring [" << std::string(filled, '#') << std::string(30 - filled, '.') << "] "
        << percent << " %" << std::flush;
  }
  void End() {
    if (Terminal && Shown >= 0) Err << "\n";
  }
};

std::string Number(const char* format, double v) { return FormatNumber(format, v); }

}  // namespace

int RunMeasure(const MeasureCliOptions& o, std::ostream& out, std::ostream& err, bool terminal) {
  // Bad settings are refused before any device is touched.
  const std::string bad = CheckSweepSettings(o.Settings);
  if (!bad.empty()) {
    err << "zorvane-cli: " << bad << "\n";
    return 1;
  }
  Duplex d;
  if (const int status = OpenDuplex(o.Devices, d, err)) return status;
  ProgressBar bar{err, terminal};
  MeasureHooks hooks;
  hooks.Progress = [&bar](double f) { bar.Show(f); };
  SweepResult r;
  std::string error;
  const int64_t startUs = d.Platform->NowUs();
  const MeasureOutcome outcome = MeasureSweep(*d.Platform, *d.Device, o.Settings, hooks, r, error);
  const double seconds = static_cast<double>(d.Platform->NowUs() - startUs) / 1e6;
  bar.End();
  if (outcome != MeasureOutcome::Done) {
    err << "zorvane-cli: the measurement failed: " << error << "\n";
    return 1;
  }
  const SweepSettings& s = o.Settings;
  out << "sweep: " << s.StartHz << " Hz to " << s.EndHz << " Hz in "
      << Number("%.3f", r.Sweep.Seconds) << " s, " << Number("%.1f", s.LevelDbfs) << " dBFS, "
      << s.Repeats << (s.Repeats == 1 ? " repeat" : " repeats") << ", " << s.Rate << " Hz\n";
  out << "delay: " << Number("%.4f", r.DelayMs()) << " ms (" << Number("%.2f", r.DelayFrames)
      << " samples)\n";
  if (!r.Hz.empty())
    out << "response: " << r.Hz.size() << " points, " << Number("%.3f", r.Hz.front()) << " to "
        << Number("%.3f", r.Hz.back()) << " Hz\n";
  // Opening the devices, playing, recording and analysing (on the cable's
  // virtual clock: the time the sound would take).
  out << "time: " << Number("%.3f", seconds) << " s\n";
  if (!r.Note.empty()) err << "zorvane-cli: note: " << r.Note << "\n";
  const struct {
    const std::string& Path;
    MeasureFile Kind;
  } files[] = {{o.Csv, MeasureFile::Csv},
               {o.Distortion, MeasureFile::Distortion},
               {o.Frd, MeasureFile::Frd},
               {o.Impulse, MeasureFile::Impulse}};
  int status = 0;
  for (const auto& f : files) {
    if (f.Path.empty()) continue;
    if (WriteMeasureFile(r, f.Kind, f.Path, error)) {
      out << "wrote " << f.Path << "\n";
    } else {
      err << "zorvane-cli: " << error << "\n";
      status = 1;
    }
  }
  return status;
}

int RunPlayRecord(const DuplexChoice& devices, const std::string& in, const std::string& out,
                  std::ostream& report, std::ostream& err) {
  SF_INFO info{};
  SNDFILE* file = sf_open(in.c_str(), SFM_READ, &info);
  if (!file) {
    err << "zorvane-cli: cannot read " << in << ": " << sf_strerror(nullptr) << "\n";
    return 1;
  }
  constexpr sf_count_t kMaxFrames = 3600LL * 192000;
  if (info.frames <= 0 || info.frames > kMaxFrames || info.channels < 1) {
    sf_close(file);
    err << "zorvane-cli: " << in << " holds no sound of a usable length\n";
    return 1;
  }
  std::vector<float> frames(static_cast<size_t>(info.frames) * info.channels);
  const sf_count_t got = sf_readf_float(file, frames.data(), info.frames);
  sf_close(file);
  std::vector<float> play(static_cast<size_t>(got));
  for (size_t i = 0; i < play.size(); ++i) play[i] = frames[i * info.channels];

  Duplex d;
  if (const int status = OpenDuplex(devices, d, err)) return status;
  std::vector<float> record;
  size_t latency = 0;
  std::string error;
  const MeasureOutcome outcome =
      PlayAndRecord(*d.Platform, *d.Device, static_cast<uint32_t>(info.samplerate), play,
                    MeasureHooks{}, record, latency, error);
  if (outcome != MeasureOutcome::Done) {
    err << "zorvane-cli: " << error << "\n";
    return 1;
  }
  SF_INFO outInfo{};
  outInfo.samplerate = info.samplerate;
  outInfo.channels = 1;
  outInfo.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* written = sf_open(out.c_str(), SFM_WRITE, &outInfo);
  const sf_count_t n = static_cast<sf_count_t>(record.size());
  if (!written || sf_writef_float(written, record.data(), n) != n) {
    err << "zorvane-cli: cannot write " << out << ": " << sf_strerror(written) << "\n";
    if (written) sf_close(written);
    std::remove(out.c_str());
    return 1;
  }
  sf_close(written);
  report << "recorded " << record.size() << " frames (" << latency << " of reported latency)\n";
  return 0;
}

}  // namespace zorvane
