// SPDX-License-Identifier: GPL-3.0-or-later
// The sound card through PortAudio: the devices it offers, the choice among
// them, and the output and input built on them. The backend's parts:
//   pa_library    PortAudio's start and end, and the blocking calls as jobs;
//   pa_worker     the thread those calls run on, each within a time limit;
//   portaudio_output, portaudio_input   the two wave devices.
#include "platform/portaudio/portaudio_devices.h"

#include <algorithm>

#include "platform/portaudio/pa_streams.h"

namespace zorvane {

namespace pa {

PaDeviceIndex OutputDevice(const Choice& choice) {
  return pa::ChosenDevice(choice ? choice->Output : PortAudioDeviceChoice::kDefault, false);
}

PaDeviceIndex InputDevice(const Choice& choice) {
  return pa::ChosenDevice(choice ? choice->Input : PortAudioDeviceChoice::kDefault, true);
}

uint32_t QueryResult(PaError e) {
  if (e == paFormatIsSupported) return 0;
  const uint32_t result = ResultFor(e);
  return result == MMSYSERR_NODRIVER ? result : WAVERR_BADFORMAT;
}

int64_t StreamLatencyUs(PaStream* stream, bool input) {
  if (!stream) return 0;
  const PaStreamInfo* info = Pa_GetStreamInfo(stream);
  if (!info) return 0;
  const double seconds = input ? info->inputLatency : info->outputLatency;
  if (!(seconds > 0.0)) return 0;
  return static_cast<int64_t>(std::min(seconds, 5.0) * 1e6 + 0.5);
}

}  // namespace pa

namespace {

std::string DeviceName(PaDeviceIndex device) {
  const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
  if (!info) return "?";
  const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
  return std::string(api ? api->name : "?") + " \"" + (info->name ? info->name : "?") + "\"";
}

std::string Description(PaDeviceIndex out, PaDeviceIndex in) {
  return std::string(Pa_GetVersionText()) + "; output " +
         (out == paNoDevice ? std::string("none") : DeviceName(out)) + ", input " +
         (in == paNoDevice ? std::string("none") : DeviceName(in));
}

}  // namespace

bool PortAudioHasDefaultDevices(std::string* description) {
  auto library = pa::AcquireLibrary();
  if (!library->Ok()) {
    if (description) *description = std::string("PortAudio: ") + Pa_GetErrorText(library->Error());
    return false;
  }
  const PaDeviceIndex out = Pa_GetDefaultOutputDevice();
  const PaDeviceIndex in = Pa_GetDefaultInputDevice();
  if (description) *description = Description(out, in);
  return out != paNoDevice && in != paNoDevice;
}

std::vector<AudioDeviceInfo> PortAudioDeviceList() {
  auto library = pa::AcquireLibrary();
  std::vector<AudioDeviceInfo> devices;
  if (!library->Ok()) return devices;
  const PaDeviceIndex defaultIn = Pa_GetDefaultInputDevice();
  const PaDeviceIndex defaultOut = Pa_GetDefaultOutputDevice();
  const PaDeviceIndex count = Pa_GetDeviceCount();
  for (PaDeviceIndex i = 0; i < count; ++i) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
    if (!info) continue;
    const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
    AudioDeviceInfo d;
    d.Index = i;
    d.HostApi = api && api->name ? api->name : "?";
    d.Name = info->name ? info->name : "?";
    d.InputChannels = info->maxInputChannels;
    d.OutputChannels = info->maxOutputChannels;
    d.DefaultRate = info->defaultSampleRate;
    d.DefaultInput = i == defaultIn;
    d.DefaultOutput = i == defaultOut;
    devices.push_back(std::move(d));
  }
  return devices;
}

bool ChoosePortAudioDevices(const std::string& output, const std::string& input,
                            PortAudioDeviceChoice& choice, std::string& error) {
  if (output.empty() && input.empty()) return true;
  const std::vector<AudioDeviceInfo> devices = PortAudioDeviceList();
  if (!output.empty() &&
      !MatchAudioDevice(output, devices, DeviceDirection::Output, choice.Output, error))
    return false;
  if (!input.empty() &&
      !MatchAudioDevice(input, devices, DeviceDirection::Input, choice.Input, error))
    return false;
  return true;
}

AudioDevices OpenPortAudioDevices(std::shared_ptr<const PortAudioDeviceChoice> choice) {
  auto library = pa::AcquireLibrary();
  AudioDevices devices;
  devices.Description = library->Ok()
                            ? Description(pa::OutputDevice(choice), pa::InputDevice(choice))
                            : std::string("PortAudio: ") + Pa_GetErrorText(library->Error());
  devices.Out = pa::MakeOutput(library, choice);
  devices.In = pa::MakeInput(library, choice);
  return devices;
}

}  // namespace zorvane
