// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/device_choice.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace zorvane {

namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

const char* DirectionName(DeviceDirection direction) {
  return direction == DeviceDirection::Input ? "input" : "output";
}

std::string Entry(const AudioDeviceInfo& d) {
  return std::to_string(d.Index) + " \"" + d.Name + "\"";
}

std::string Listed(const std::vector<const AudioDeviceInfo*>& devices) {
  if (devices.empty()) return "(none)";
  std::string text;
  for (const AudioDeviceInfo* d : devices) {
    if (!text.empty()) text += ", ";
    text += Entry(*d);
  }
  return text;
}

}  // namespace

bool HasDirection(const AudioDeviceInfo& device, DeviceDirection direction) {
  return (direction == DeviceDirection::Input ? device.InputChannels : device.OutputChannels) > 0;
}

bool MatchAudioDevice(std::string_view text, const std::vector<AudioDeviceInfo>& devices,
                      DeviceDirection direction, int& index, std::string& error) {
  std::vector<const AudioDeviceInfo*> usable;
  for (const AudioDeviceInfo& d : devices)
    if (HasDirection(d, direction)) usable.push_back(&d);
  const std::string kind = DirectionName(direction);
  const std::string all = "; the " + kind + " devices are: " + Listed(usable);

  if (text.empty()) {
    error = "no " + kind + " device named" + all;
    return false;
  }
  const bool number = text.size() <= 9 && std::all_of(text.begin(), text.end(),
                                                      [](char c) { return c >= '0' && c <= '9'; });
  if (number) {
    const int wanted = std::stoi(std::string(text));
    for (const AudioDeviceInfo* d : usable)
      if (d->Index == wanted) {
        index = d->Index;
        return true;
      }
    error = "there is no " + kind + " device number " + std::string(text) + all;
    return false;
  }

  const std::string wanted = Lower(text);
  std::vector<const AudioDeviceInfo*> exact, partial;
  for (const AudioDeviceInfo* d : usable) {
    const std::string name = Lower(d->Name);
    if (name == wanted) exact.push_back(d);
    if (name.find(wanted) != std::string::npos) partial.push_back(d);
  }
  const std::vector<const AudioDeviceInfo*>& found = exact.empty() ? partial : exact;
  if (found.size() == 1) {
    index = found.front()->Index;
    return true;
  }
  if (found.empty()) {
    error = "no " + kind + " device matches '" + std::string(text) + "'" + all;
  } else {
    error = "'" + std::string(text) + "' matches more than one " + kind +
            " device: " + Listed(found) + "; give more of the name, or the number";
  }
  return false;
}

std::string FormatDeviceList(const std::vector<AudioDeviceInfo>& devices) {
  std::string text = "  #  host API  in  out  rate    name\n";
  char line[64];
  for (const AudioDeviceInfo& d : devices) {
    std::snprintf(line, sizeof line, "%3d  %-8.8s %3d  %3d  %-6.0f  ", d.Index, d.HostApi.c_str(),
                  d.InputChannels, d.OutputChannels, d.DefaultRate);
    text += line;
    text += d.Name;
    if (d.DefaultInput) text += "  [default input]";
    if (d.DefaultOutput) text += "  [default output]";
    text += "\n";
  }
  return text;
}

}  // namespace zorvane
