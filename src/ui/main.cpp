// The instrument's window: zorvane [--audio=system|loopback[:FILTER,...]]
#include <QApplication>
#include <QStyleFactory>
#include <cstring>
#include <iostream>
#include <memory>

#include "app/Zorvane.h"
#include "platform/audio_option.h"
#include "platform/loopback/loopback.h"
#include "platform/portaudio/portaudio_devices.h"
#include "ui/qt_main_window.h"
#include "ui/qt_platform.h"

using namespace zorvane;

int main(int argc, char** argv) {
  AudioOption option;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--audio=", 8) != 0) continue;
    std::string error;
    if (!ParseAudioOption(argv[i] + 8, option, error)) {
      std::cerr << "zorvane: " << error << "\n";
      return 1;
    }
  }
  QApplication app(argc, argv);
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QApplication::setApplicationDisplayName("Zorvane Function-Sweep Generator");

  std::string description;
  bool system = false;
  if (option.Choice == AudioOption::Device::System) {
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
  if (system) {
    devices = OpenPortAudioDevices();
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
    for (Control* t : {form.ChartTimer, form.SweepTimer, form.FileTimer, form.TimeoutTimer})
      platform.BindTimer(t);
    QtMainWindow window(form);
    platform.SetOwner(&window);
    window.show();
    // A device failure while starting up has already asked the program to end.
    if (!platform.Terminated()) result = app.exec();
  }
  (void)result;
  return 0;
}
