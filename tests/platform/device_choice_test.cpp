// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing a sound device by a part of its name or by its number, against a
// made-up device list (no sound card needed).
#include "platform/device_choice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace zorvane;

namespace {

AudioDeviceInfo Device(int index, const char* name, int in, int out) {
  AudioDeviceInfo d;
  d.Index = index;
  d.HostApi = "ALSA";
  d.Name = name;
  d.InputChannels = in;
  d.OutputChannels = out;
  d.DefaultRate = 44100;
  return d;
}

// Numbers with gaps (PortAudio numbers every device of every host API).
const std::vector<AudioDeviceInfo> kDevices = {
    Device(0, "HDA Intel PCH: ALC892 Analog (hw:0,0)", 2, 8),
    Device(2, "HDA Intel PCH: HDMI 0 (hw:0,3)", 0, 8),
    Device(3, "Scarlett 2i2 USB: Audio (hw:1,0)", 2, 2),
    Device(5, "pulse", 32, 32),
    Device(6, "pulse-monitor", 2, 0),
    Device(7, "default", 32, 32),
};

struct Outcome {
  bool ok;
  int index;
  std::string error;
};

Outcome Match(const char* text, DeviceDirection direction) {
  Outcome o{false, -99, ""};
  o.ok = MatchAudioDevice(text, kDevices, direction, o.index, o.error);
  return o;
}

}  // namespace

TEST(DeviceChoice, APartOfTheNameInAnyCaseOrTheNumberFindsTheDevice) {
  EXPECT_EQ(Match("scarlett", DeviceDirection::Input).index, 3);
  EXPECT_EQ(Match("HDMI", DeviceDirection::Output).index, 2);
  EXPECT_EQ(Match("alc892", DeviceDirection::Output).index, 0);
  EXPECT_EQ(Match("3", DeviceDirection::Output).index, 3);
  EXPECT_EQ(Match("007", DeviceDirection::Input).index, 7);
  // "pulse" is part of "pulse-monitor" too: the exact name still picks it.
  EXPECT_EQ(Match("PULSE", DeviceDirection::Input).index, 5);
  EXPECT_EQ(Match("monitor", DeviceDirection::Input).index, 6);
}

TEST(DeviceChoice, OnlyDevicesOfTheWantedDirectionCount) {
  // HDMI has no input; "pulse-monitor" has no output, so "pulse" is then unique by part too.
  const Outcome hdmi = Match("HDMI", DeviceDirection::Input);
  EXPECT_FALSE(hdmi.ok);
  EXPECT_EQ(hdmi.error,
            "no input device matches 'HDMI'; the input devices are: 0 \"HDA Intel PCH: ALC892 "
            "Analog (hw:0,0)\", 3 \"Scarlett 2i2 USB: Audio (hw:1,0)\", 5 \"pulse\", 6 "
            "\"pulse-monitor\", 7 \"default\"");
  EXPECT_EQ(Match("puls", DeviceDirection::Output).index, 5);
  const Outcome number = Match("2", DeviceDirection::Input);
  EXPECT_FALSE(number.ok);
  EXPECT_EQ(number.error.rfind("there is no input device number 2; the input devices are: 0 ", 0),
            0u)
      << number.error;
  EXPECT_EQ(number.index, -99) << "the index is left alone on failure";
}

TEST(DeviceChoice, AnAmbiguousOrEmptyNameListsTheCandidates) {
  const Outcome intel = Match("intel", DeviceDirection::Output);
  EXPECT_FALSE(intel.ok);
  EXPECT_EQ(intel.error,
            "'intel' matches more than one output device: 0 \"HDA Intel PCH: ALC892 Analog "
            "(hw:0,0)\", 2 \"HDA Intel PCH: HDMI 0 (hw:0,3)\"; give more of the name, or the "
            "number");
  EXPECT_FALSE(Match("puls", DeviceDirection::Input).ok);
  const Outcome empty = Match("", DeviceDirection::Output);
  EXPECT_FALSE(empty.ok);
  EXPECT_NE(empty.error.find("7 \"default\""), std::string::npos) << empty.error;
  // Numbers too long for an int, signs and blanks are names, and match nothing.
  for (const char* text : {"99999999999999999999", "-1", " 3", "+3"})
    EXPECT_FALSE(Match(text, DeviceDirection::Output).ok) << text;
  int index = -1;
  std::string error;
  EXPECT_FALSE(MatchAudioDevice("pulse", {}, DeviceDirection::Input, index, error));
  EXPECT_EQ(error, "no input device matches 'pulse'; the input devices are: (none)");
}

TEST(DeviceChoice, TheListingMarksTheDefaultsAndKeepsLongNamesWhole) {
  std::vector<AudioDeviceInfo> devices = {kDevices[3], kDevices[5]};
  devices[1].DefaultInput = devices[1].DefaultOutput = true;
  devices[0].Name = std::string(300, 'x');
  devices[0].HostApi = "A very long host API name";
  const std::string text = FormatDeviceList(devices);
  EXPECT_EQ(text,
            "  #  host API  in  out  rate    name\n"
            "  5  A very l  32   32  44100   " +
                std::string(300, 'x') +
                "\n"
                "  7  ALSA      32   32  44100   default  [default input]  [default output]\n");
}
