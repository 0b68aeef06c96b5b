// SPDX-License-Identifier: GPL-3.0-or-later
// zorvane-cli: the instrument without a window.
//   zorvane-cli script [--audio=system|pulse|portaudio|loopback[:FILTER,...]] [--input-device=NAME]
//                      [--output-device=NAME] [FILE]
//       the remote control (standard input without FILE)
//   zorvane-cli serve [--audio=...] [--listen ADDRESS:PORT] [--allow-files DIR]
//       the instrument as a SCPI server on the network
//   zorvane-cli devices [--audio=system|pulse|portaudio]  the sound devices on offer
//   zorvane-cli tone --waveform W --freq HZ --seconds S OUT.wav
//   zorvane-cli record [--audio=system|pulse|portaudio] --seconds S --rate HZ --channels C
//                      [--bits B] OUT.wav
//   zorvane-cli analyze FILE.wav [options]                a WAV file through the analyzer
//       (--distortion, --bands: the readouts, analyze_readouts.h)
//   zorvane-cli measure [--audio=...] [--from HZ] [--to HZ] [--seconds S] [--level DBFS]
//                       [--repeat N] [--csv F] [--frd F] [--ir F.wav] [--distortion F]
//   zorvane-cli playrec [--audio=...] IN.wav OUT.wav      play a file while recording
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <fstream>
#include <iostream>
#include <memory>

#include "app/script.h"
#include "app/version.h"
#include "cli/analyze.h"
#include "cli/audio_choice.h"
#include "cli/measure.h"
#include "cli/record.h"
#include "cli/serve.h"
#include "cli/tone.h"
#include "measure/log_sweep_model.h"
#include "platform/audio_option.h"
#include "platform/headless/headless_platform.h"
#include "platform/loopback/loopback.h"
#include "platform/soundcard/sound_card.h"

using namespace zorvane;

namespace {

int RunScript(const std::string& audio, const std::string& file, const std::string& outputDevice,
              const std::string& inputDevice) {
  AudioChoice audioChoice;
  if (const int status = ChooseAudio(audio, outputDevice, inputDevice, audioChoice, std::cerr))
    return status;
  const bool system = audioChoice.System;
  HeadlessPlatform platform(!system);
  OpenedAudio opened;
  OpenAudio(audioChoice, platform, opened, std::cerr);
  WaveOut* out = opened.Out;
  WaveIn* in = opened.In;
  platform.Output = [](const std::string& line) { std::cout << line << std::endl; };

  std::ifstream fileStream;
  std::istream* input = &std::cin;
  if (!file.empty()) {
    fileStream.open(file);
    if (!fileStream) {
      std::cerr << "zorvane-cli: cannot read " << file << "\n";
      return 2;
    }
    input = &fileStream;
  }

  TZorvaneForm form(platform, *out, *in);
  for (Control* t : {form.ChartTimer, form.SweepTimer, form.FileTimer, form.TimeoutTimer})
    platform.AddTimer(t);
  ScriptRunner runner(
      form, platform, [](const std::string& line) { std::cout << line << std::endl; },
      [](const std::string& line) { std::cerr << line << std::endl; });
  // The log sweep measurement on the same devices, through full duplex.
  std::unique_ptr<FullDuplex> duplex;
  if (system) duplex = audioChoice.Card->Duplex(audioChoice.Devices);
  LogSweepModel measurement(platform, system ? *duplex : opened.Cable->Duplexer());
  measurement.DevicesBusy = [&form] { return form.DevicesInUse(); };
  runner.AttachMeasurement(&measurement);
  const int errors = runner.Run(*input);
  // How often the sound card's input lost frames since it was last opened:
  // frames that arrived while no capture buffer was queued, or that the
  // device itself dropped. On standard error, so that the script's own
  // output keeps its format.
  if (system) std::cerr << "zorvane-cli: input overruns: " << in->Overruns() << "\n";
  return errors == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Zorvane function-sweep generator and spectrum analyzer, without a window"};
  app.require_subcommand(1);
  app.set_version_flag("--version", VersionText("zorvane-cli"),
                       "Print the version and the license and exit");

  std::string audio, file;
  CLI::App* script = app.add_subcommand("script", "Drive the instrument with a script of commands");
  script->add_option("--audio", audio,
                     "system (the sound card: PulseAudio when a server answers, else PortAudio), "
                     "pulse or portaudio (the sound card through that library), loopback "
                     "(built-in cable) or loopback:FILTER[,FILTER...] with gain=DB, "
                     "lowpass=HZ[/Q], highpass=HZ[/Q], peak=HZ/Q/DB, delay=MS, poly=A2/A3, "
                     "noise=DBFS");
  std::string outputDevice, inputDevice;
  const char* deviceHelp = "a unique part of the device's name, or its number (see devices)";
  script->add_option("--output-device", outputDevice,
                     std::string("sound card output: ") + deviceHelp);
  script->add_option("--input-device", inputDevice, std::string("sound card input: ") + deviceHelp);
  script->add_option("FILE", file, "script file (standard input when absent)");

  ServeOptions so;
  CLI::App* serve = app.add_subcommand("serve", "Serve the instrument over the network (SCPI)");
  serve->add_option("--audio", so.Audio, "as for script");
  serve->add_option("--output-device", so.OutputDevice,
                    std::string("sound card output: ") + deviceHelp);
  serve->add_option("--input-device", so.InputDevice,
                    std::string("sound card input: ") + deviceHelp);
  serve->add_option("--listen", so.Listen, "ADDRESS:PORT to listen on ([IPV6]:PORT)")
      ->capture_default_str();
  serve->add_option("--allow-files", so.AllowFiles,
                    "the folder network clients may have files written in (none without it)");
  serve
      ->add_option("--idle-timeout", so.IdleTimeoutS,
                   "seconds before an idle client is dropped (0: never)")
      ->check(CLI::Range(0.0, 86400.0))
      ->capture_default_str();

  CLI::App* devicesCommand =
      app.add_subcommand("devices", "List the sound devices on offer, the defaults marked");
  std::string devicesAudio = "system";
  const auto cardLibraries = CLI::IsMember({"system", "pulse", "portaudio"});
  devicesCommand
      ->add_option("--audio", devicesAudio,
                   "system (PulseAudio when a server answers, else PortAudio), pulse or portaudio")
      ->check(cardLibraries);

  std::string waveform = "sine", outPath;
  double freq = 1000.0, seconds = 1.0;
  CLI::App* tone = app.add_subcommand("tone", "Write the generator's tone as a WAV file");
  tone->add_option("--waveform", waveform, "sine, square, triangle or noise")
      ->check(CLI::IsMember({"sine", "square", "triangle", "noise"}));
  tone->add_option("--freq", freq, "frequency in Hz")->check(CLI::Range(1.0, 22050.0));
  tone->add_option("--seconds", seconds, "length in seconds")->check(CLI::Range(0.0, 3600.0));
  tone->add_option("OUT", outPath, "output WAV file")->required();

  RecordSettings rec;
  std::string recordAudio = "system", recordPath;
  CLI::App* record = app.add_subcommand("record", "Record the sound card's input into a WAV file");
  record
      ->add_option("--audio", recordAudio,
                   "system, pulse or portaudio (the sound card; the only recording source)")
      ->check(cardLibraries);
  record->add_option("--seconds", rec.Seconds, "length in seconds")->check(CLI::Range(0.0, 3600.0));
  record->add_option("--rate", rec.Rate, "samples per second")->check(CLI::Range(1000, 192000));
  record->add_option("--channels", rec.Channels, "1 or 2")->check(CLI::IsMember({1, 2}));
  record->add_option("--bits", rec.BitsPerSample, "8 or 16")->check(CLI::IsMember({8, 16}));
  record->add_option("--input-device", inputDevice, std::string("sound card input: ") + deviceHelp);
  record->add_option("OUT", recordPath, "output WAV file")->required();

  AnalyzeOptions an;
  CLI::App* analyze = app.add_subcommand(
      "analyze",
      "Analyze a WAV file: print the peak frequency, write the last frame and its numbers");
  analyze->add_option("FILE", an.File, "the WAV file")->required();
  analyze->add_option("--size", an.Size, "transform size")
      ->check(CLI::IsMember({1024, 2048, 4096, 8192}));
  analyze->add_option("--channel", an.Channel, "mono, left or right")
      ->check(CLI::IsMember({"mono", "left", "right"}));
  analyze->add_option("--display", an.Display, "frequency, waterfall or time")
      ->check(CLI::IsMember({"frequency", "waterfall", "time"}));
  analyze->add_option("--hold", an.Hold, "normal, average or peak")
      ->check(CLI::IsMember({"normal", "average", "peak"}));
  analyze->add_option("--average", an.Average, "blocks in the average")
      ->check(CLI::IsMember({2, 4, 6, 8, 10, 20, 40}));
  auto* blocksOption = analyze->add_option("--blocks", an.Blocks, "blocks to analyse")
                           ->check(CLI::Range(1, 100000000));
  analyze->add_flag("--all", an.All, "run to the end of the data")->excludes(blocksOption);
  analyze->add_option("--overlap", an.Overlap, "percent of a block the next one shares")
      ->check(CLI::IsMember({0, 50, 75}));
  auto* pngOption = analyze->add_option("--png", an.Png, "the last frame as a PNG file");
  analyze->add_option("--bmp", an.Bmp, "the last frame as a BMP file")->excludes(pngOption);
  analyze->add_option("--csv", an.Csv, "the last frame's numbers as CSV");
  analyze->add_flag("--bins", an.Bins, "CSV rows per transform bin instead of per display point");
  AddReadoutOptions(*analyze, an.Readouts);

  MeasureCliOptions me;
  CLI::App* measure = app.add_subcommand(
      "measure", "Measure response, impulse response and distortion with a log sweep");
  const char* audioHelp = "system (the sound card), loopback or loopback:FILTER[,FILTER...]";
  measure->add_option("--audio", me.Devices.Audio, audioHelp);
  measure->add_option("--output-device", me.Devices.OutputDevice,
                      std::string("sound card output: ") + deviceHelp);
  measure->add_option("--input-device", me.Devices.InputDevice,
                      std::string("sound card input: ") + deviceHelp);
  measure->add_option("--from", me.Settings.StartHz, "start frequency in Hz (20)");
  measure->add_option("--to", me.Settings.EndHz, "end frequency in Hz (20000)");
  measure->add_option("--seconds", me.Settings.Seconds, "sweep length, 0.5 to 30 s (2)");
  measure->add_option("--level", me.Settings.LevelDbfs, "sweep level, -80 to 0 dBFS (-6)");
  measure->add_option("--repeat", me.Settings.Repeats, "sweeps averaged, 1 to 64 (1)");
  measure->add_option("--rate", me.Settings.Rate, "sample rate in Hz (44100)");
  measure->add_option("--csv", me.Csv, "frequency response: frequency_hz,magnitude_db,phase_deg");
  measure->add_option("--frd", me.Frd, "frequency response as FRD text");
  measure->add_option("--ir", me.Impulse, "impulse response as a 32-bit float WAV");
  measure->add_option("--distortion", me.Distortion,
                      "harmonics: frequency_hz,h2_db,h3_db,h4_db,h5_db,thd_db");

  DuplexChoice pr;
  std::string playPath, capturePath;
  CLI::App* playrec = app.add_subcommand(
      "playrec", "Play a WAV file through full duplex and record the input meanwhile");
  playrec->add_option("--audio", pr.Audio, audioHelp);
  playrec->add_option("--output-device", pr.OutputDevice,
                      std::string("sound card output: ") + deviceHelp);
  playrec->add_option("--input-device", pr.InputDevice,
                      std::string("sound card input: ") + deviceHelp);
  playrec->add_option("IN", playPath, "the WAV file to play (its first channel)")->required();
  playrec->add_option("OUT", capturePath, "the recording, a 32-bit float WAV")->required();

  try {
    app.parse(argc, argv);
    auto endsWith = [](const std::string& s, const std::string& tail) {
      return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
    };
    if (analyze->parsed() && !an.Png.empty() && !endsWith(an.Png, ".png"))
      throw CLI::ValidationError("--png", "the name must end in .png");
    if (analyze->parsed() && !an.Bmp.empty() && endsWith(an.Bmp, ".png"))
      throw CLI::ValidationError("--bmp", "the name ends in .png");
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    // Bad arguments to analyze and measure end with status 1, as bad input does.
    return (analyze->parsed() || measure->parsed()) && code != 0 ? 1 : code;
  }

  if (analyze->parsed()) return RunAnalyze(an, std::cout, std::cerr, ::isatty(2) != 0);
  if (measure->parsed()) return RunMeasure(me, std::cout, std::cerr, ::isatty(2) != 0);
  if (playrec->parsed()) return RunPlayRecord(pr, playPath, capturePath, std::cout, std::cerr);
  if (script->parsed()) return RunScript(audio, file, outputDevice, inputDevice);
  if (serve->parsed()) return RunServe(so);
  // The library --audio names for the commands that only take the sound card.
  auto library = [](const std::string& audio) {
    AudioOption option;
    std::string error;
    ParseAudioOption(audio, option, error);
    return option.Library;
  };
  if (devicesCommand->parsed()) {
    const SoundCard card(library(devicesAudio));
    const std::vector<AudioDeviceInfo> list = card.Devices();
    if (list.empty()) {
      std::string description;
      card.HasDefaultDevices(&description);
      std::cerr << "zorvane-cli: no sound devices (" << description << ")\n";
      return 2;
    }
    std::cout << FormatDeviceList(list);
    return 0;
  }
  if (record->parsed()) {
    std::string description, error;
    const SoundCard card(library(recordAudio));
    auto choice = std::make_shared<DeviceChoice>();
    if (!inputDevice.empty()) {
      if (!card.Choose("", inputDevice, *choice, error)) {
        std::cerr << "zorvane-cli: " << error << "\n";
        return 1;
      }
    } else if (!card.HasDefaultDevices(&description)) {
      std::cerr << "zorvane-cli: no sound card found (" << description << ")\n";
      return 2;
    }
    AudioDevices devices = card.Open(choice);
    HeadlessPlatform platform(false);
    if (!RecordToFile(*devices.In, platform, rec, recordPath, std::cout, &error)) {
      std::cerr << "zorvane-cli: " << error << "\n";
      return 1;
    }
    return 0;
  }
  if (tone->parsed()) {
    std::string error;
    if (!WriteToneFile(waveform, static_cast<float>(freq), seconds, outPath, &error)) {
      std::cerr << "zorvane-cli: " << error << "\n";
      return 1;
    }
    return 0;
  }
  return 0;
}
