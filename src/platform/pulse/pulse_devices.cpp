// SPDX-License-Identifier: GPL-3.0-or-later
// The PulseAudio backend's parts:
//   pulse_connection   the server connection, its main loop, the device list;
//   pulse_output, pulse_input   the two wave devices.
#include "platform/pulse/pulse_devices.h"

#include "platform/pulse/pulse_streams.h"

namespace zorvane {

namespace pulse {

std::string ChosenName(Connection& connection, const Choice& choice, DeviceDirection direction) {
  if (!choice) return "";
  const int number = direction == DeviceDirection::Output ? choice->Output : choice->Input;
  return number == DeviceChoice::kDefault ? "" : connection.DeviceName(number, direction);
}

uint32_t AwaitReady(Connection& connection, const StreamState& state) {
  auto settled = [&] {
    const int now = state.Now.load();
    return now == PA_STREAM_READY || now == PA_STREAM_FAILED || now == PA_STREAM_TERMINATED;
  };
  if (!connection.Await(settled)) return MMSYSERR_NODRIVER;
  return state.Now.load() == PA_STREAM_READY ? 0u : MMSYSERR_BADDEVICEID;
}

}  // namespace pulse

namespace {

std::string Named(const std::string& name) { return name.empty() ? "default" : "\"" + name + "\""; }

}  // namespace

bool PulseServerAnswers(std::string* description) {
  auto connection = pulse::AcquireConnection();
  if (description)
    *description = connection->Ok() ? "PulseAudio server " + connection->ServerName()
                                    : "PulseAudio: " + connection->Error();
  return connection->Ok();
}

std::vector<AudioDeviceInfo> PulseDeviceList() {
  auto connection = pulse::AcquireConnection();
  return connection->Devices().Devices;
}

AudioDevices OpenPulseDevices(std::shared_ptr<const DeviceChoice> choice) {
  auto connection = pulse::AcquireConnection();
  AudioDevices devices;
  devices.Description =
      connection->Ok()
          ? "PulseAudio server " + connection->ServerName() + "; output " +
                Named(pulse::ChosenName(*connection, choice, DeviceDirection::Output)) +
                ", input " + Named(pulse::ChosenName(*connection, choice, DeviceDirection::Input))
          : "PulseAudio: " + connection->Error();
  devices.Out = pulse::MakeOutput(connection, choice);
  devices.In = pulse::MakeInput(connection, choice);
  return devices;
}

}  // namespace zorvane
