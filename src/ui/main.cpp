// SPDX-License-Identifier: GPL-3.0-or-later
// The instrument's window:
//   zorvane [--audio=system|pulse|portaudio|loopback[:FILTER,...]] [--input-device=NAME]
//           [--output-device=NAME]
//           [--listen ADDRESS:PORT [--allow-files DIR]]   also a SCPI server on the network
#include <time.h>

#include <CLI/CLI.hpp>
#include <QApplication>
#include <QStyleFactory>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <utility>

#include "app/Zorvane.h"
#include "app/audio_devices.h"
#include "app/version.h"
#include "measure/log_sweep_model.h"
#include "platform/audio_option.h"
#include "platform/loopback/loopback.h"
#include "platform/soundcard/sound_card.h"
#include "ui/qt_log_sweep_window.h"
#include "ui/qt_main_window.h"
#include "ui/qt_platform.h"
#include "ui/qt_scpi.h"

using namespace zorvane;

namespace {

// With ZORVANE_REPORT_FIRST_PAINT set, the wall-clock time at which the
// window's first paint has been handled goes to standard error as
// "first paint at SECONDS" (CLOCK_REALTIME), for bench/startup_time.sh.
class FirstPaintReporter : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !seen_) {
      seen_ = true;
      // Once the paint in progress has been handled.
      QTimer::singleShot(0, [] {
        timespec now;
        clock_gettime(CLOCK_REALTIME, &now);
        std::fprintf(stderr, "first paint at %lld.%09ld\n", static_cast<long long>(now.tv_sec),
                     now.tv_nsec);
      });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool seen_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  // Options are read before Qt starts, so that --help and --version need no
  // screen; Qt's own options (-platform, -style, ...) are left to Qt.
  CLI::App cli{"Zorvane function-sweep generator and spectrum analyzer: the window"};
  cli.allow_extras();
  cli.set_version_flag("--version", VersionText("zorvane"),
                       "Print the version and the license and exit");
  AudioOption option;
  std::string audio, outputDevice, inputDevice, listen, allowFiles;
  cli.add_option("--audio", audio,
                 "system (the sound card: PulseAudio when a server answers, else PortAudio), "
                 "pulse or portaudio (the sound card through that library), loopback (built-in "
                 "cable) or loopback:FILTER[,FILTER...] with gain=DB, lowpass=HZ[/Q], "
                 "highpass=HZ[/Q], peak=HZ/Q/DB, noise=DBFS; without it the sound card when "
                 "there is one");
  const char* deviceHelp =
      "a unique part of the device's name, or its number (zorvane-cli devices)";
  cli.add_option("--output-device", outputDevice, std::string("sound card output: ") + deviceHelp);
  cli.add_option("--input-device", inputDevice, std::string("sound card input: ") + deviceHelp);
  cli.add_option("--listen", listen, "also serve SCPI on ADDRESS:PORT (e.g. 127.0.0.1:5025)");
  cli.add_option("--allow-files", allowFiles,
                 "with --listen: the folder that file-writing commands are confined to");
  try {
    cli.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return cli.exit(e);
  }
  if (!audio.empty()) {
    std::string error;
    if (!ParseAudioOption(audio, option, error)) {
      std::cerr << "zorvane: " << error << "\n";
      return 1;
    }
  }
  const bool named = !outputDevice.empty() || !inputDevice.empty();
  if (named && option.Choice == AudioOption::Device::Loopback) {
    std::cerr << "zorvane: --input-device and --output-device choose sound card devices, "
                 "not the built-in loopback\n";
    return 1;
  }
  QApplication app(argc, argv);
  FirstPaintReporter firstPaint;
  if (std::getenv("ZORVANE_REPORT_FIRST_PAINT")) app.installEventFilter(&firstPaint);
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  // No display name: Qt would add it to every window title, and the
  // window's caption already names the program.
  QApplication::setApplicationName("Zorvane");
  QGuiApplication::setDesktopFileName("zorvane");

  std::string description;
  bool system = false;
  std::unique_ptr<SoundCard> soundCard;
  if (option.Choice != AudioOption::Device::Loopback)
    soundCard = std::make_unique<SoundCard>(option.Library);
  if (named) {
    system = true;
  } else if (option.Choice == AudioOption::Device::System) {
    if (!soundCard->HasDefaultDevices(&description)) {
      std::cerr << "zorvane: no sound card found (" << description << ")\n";
      return 2;
    }
    system = true;
  } else if (option.Choice == AudioOption::Device::Automatic) {
    system = soundCard->HasDefaultDevices(&description);
  }

  QtPlatform platform;
  std::unique_ptr<LoopbackCable> cable;
  AudioDevices devices;
  WaveOut* out;
  WaveIn* in;
  // The devices named on the command line, or else those chosen in the
  // window before (remembered beside the settings file).
  auto choice = std::make_shared<DeviceChoice>();
  SoundCard* card = soundCard.get();
  AudioDeviceChooser chooser(
      [card] { return card ? card->Devices() : std::vector<AudioDeviceInfo>{}; },
      SettingsFolder() + "/zorvane.conf",
      [choice](int output, int input) {
        choice->Output = output;
        choice->Input = input;
      });
  if (system) {
    std::string error;
    std::vector<std::string> notices;
    if (!chooser.Start(outputDevice, inputDevice, error, notices)) {
      std::cerr << "zorvane: " << error << "\n";
      return 1;
    }
    for (const std::string& notice : notices) std::cerr << "zorvane: " << notice << "\n";
    devices = soundCard->Open(choice);
    out = devices.Out.get();
    in = devices.In.get();
    std::cerr << "zorvane: audio: sound card (" << devices.Description << ")\n";
  } else {
    cable = std::make_unique<LoopbackCable>(platform, option.Cable);
    out = &cable->Out();
    in = &cable->In();
    std::cerr << "zorvane: audio: built-in loopback\n";
  }

  int result = 0;
  {
    TZorvaneForm form(platform, *out, *in);
    if (system) form.AttachAudioDevices(&chooser);
    for (Control* t : {form.ChartTimer, form.SweepTimer, form.FileTimer, form.TimeoutTimer})
      platform.BindTimer(t);
    QtMainWindow window(form);
    platform.SetOwner(&window);
    // The log sweep measurement: its own window on the same devices.
    std::unique_ptr<FullDuplex> duplex;
    if (system) duplex = soundCard->Duplex(choice);
    LogSweepModel measurement(platform, system ? *duplex : cable->Duplexer());
    measurement.DevicesBusy = [&form] { return form.DevicesInUse(); };
    QtLogSweepWindow measurementWindow(measurement);
    form.AttachLogSweep([&measurementWindow] { measurementWindow.Present(); });
    std::unique_ptr<QtScpiService> scpi;
    if (!listen.empty()) {
      std::string error;
      scpi = QtScpiService::Start(form, platform, measurement, listen, allowFiles, error);
      if (!scpi) {
        std::cerr << "zorvane: " << error << "\n";
        return 1;
      }
      std::cerr << "zorvane: listening on " << scpi->Address() << std::endl;
    }
    window.show();
    // A device failure while starting up has already asked the program to end.
    if (!platform.Terminated()) result = app.exec();
  }
  (void)result;
  return 0;
}
