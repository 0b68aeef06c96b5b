// The instrument's window:
//   zorvane [--audio=system|loopback[:FILTER,...]] [--input-device=NAME] [--output-device=NAME]
//           [--listen ADDRESS:PORT [--allow-files DIR]]   also a SCPI server on the network
#include <QApplication>
#include <QStyleFactory>
#include <cstring>
#include <iostream>
#include <memory>
#include <utility>

#include "app/Zorvane.h"
#include "app/audio_devices.h"
#include "platform/audio_option.h"
#include "platform/loopback/loopback.h"
#include "platform/portaudio/portaudio_devices.h"
#include "ui/qt_main_window.h"
#include "ui/qt_platform.h"
#include "ui/qt_scpi.h"

using namespace zorvane;

int main(int argc, char** argv) {
  AudioOption option;
  std::string outputDevice, inputDevice, listen, allowFiles;
  for (int i = 1; i < argc; ++i) {
    // The network server's options, as --NAME=VALUE or --NAME VALUE.
    using Option = std::pair<const char*, std::string*>;
    for (auto [name, target] :
         {Option{"--listen", &listen}, Option{"--allow-files", &allowFiles}}) {
      const size_t n = std::strlen(name);
      if (std::strncmp(argv[i], name, n) == 0 && argv[i][n] == '=')
        *target = argv[i] + n + 1;
      else if (std::strcmp(argv[i], name) == 0 && i + 1 < argc)
        *target = argv[++i];
    }
    auto value = [&](const char* name) -> const char* {
      const size_t n = std::strlen(name);
      return std::strncmp(argv[i], name, n) == 0 ? argv[i] + n : nullptr;
    };
    if (const char* v = value("--output-device=")) outputDevice = v;
    if (const char* v = value("--input-device=")) inputDevice = v;
    const char* audio = value("--audio=");
    if (!audio) continue;
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
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QApplication::setApplicationDisplayName("Zorvane Function-Sweep Generator");

  std::string description;
  bool system = false;
  if (named) {
    system = true;
  } else if (option.Choice == AudioOption::Device::System) {
    if (!PortAudioHasDefaultDevices(&description)) {
      std::cerr << "zorvane: no sound card found (" << description << ")\n";
      return 2;
    }
    system = true;
  } else if (option.Choice == AudioOption::Device::Automatic) {
    system = PortAudioHasDefaultDevices(&description);
  }

  QtPlatform platform;
  std::unique_ptr<LoopbackCable> cable;
  AudioDevices devices;
  WaveOut* out;
  WaveIn* in;
  // The devices named on the command line, or else those chosen in the
  // window before (remembered beside the settings file).
  auto choice = std::make_shared<PortAudioDeviceChoice>();
  AudioDeviceChooser chooser(PortAudioDeviceList, SettingsFolder() + "/zorvane.conf",
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
    devices = OpenPortAudioDevices(choice);
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
    std::unique_ptr<QtScpiService> scpi;
    if (!listen.empty()) {
      std::string error;
      scpi = QtScpiService::Start(form, platform, listen, allowFiles, error);
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
