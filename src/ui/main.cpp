// The instrument's window: zorvane [--audio=system|loopback]
#include <QApplication>
#include <QStyleFactory>
#include <cstring>
#include <iostream>
#include <memory>

#include "app/Zorvane.h"
#include "platform/loopback/loopback.h"
#include "platform/portaudio/portaudio_devices.h"
#include "ui/qt_main_window.h"
#include "ui/qt_platform.h"

using namespace zorvane;

int main(int argc, char** argv) {
  std::string audio;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--audio=", 8) == 0) audio = argv[i] + 8;
  }
  if (!audio.empty() && audio != "system" && audio != "loopback") {
    std::cerr << "zorvane: --audio must be system or loopback\n";
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QApplication::setApplicationDisplayName("Zorvane Function-Sweep Generator");

  std::string description;
  bool system = false;
  if (audio == "system") {
    if (!PortAudioHasDefaultDevices(&description)) {
      std::cerr << "zorvane: no sound card found (" << description << ")\n";
      return 2;
    }
    system = true;
  } else if (audio.empty()) {
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
    cable = std::make_unique<LoopbackCable>(platform);
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
