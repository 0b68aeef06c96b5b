// SPDX-License-Identifier: GPL-3.0-or-later
// zorvane.conf and the choice of devices it remembers.
#include "app/audio_devices.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "support/test_support.h"

using namespace zorvane;
using namespace zorvane::testing;

namespace {

std::string Read(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::vector<AudioDeviceInfo> Devices() {
  std::vector<AudioDeviceInfo> d(3);
  d[0] = {0, "ALSA", "pulse", 32, 32, 44100, false, false};
  d[1] = {3, "ALSA", "USB Audio", 2, 2, 48000, false, false};
  d[2] = {7, "ALSA", "default", 32, 32, 44100, true, true};
  return d;
}

struct Chooser : ::testing::Test {
  TempDir dir;
  std::string conf = dir.File("zorvane/zorvane.conf");
  std::vector<AudioDeviceInfo> devices = Devices();
  std::vector<std::pair<int, int>> applied;
  AudioDeviceChooser chooser{[this] { return devices; }, conf,
                             [this](int out, int in) { applied.emplace_back(out, in); }};
  std::string error;
  std::vector<std::string> notices;
};

}  // namespace

TEST(KeyValueText, KeepsWhatItDoesNotKnowIgnoresDamageAndReplacesInPlace) {
  KeyValueText text;
  text.Parse(
      "# devices\n"
      "window-size = 2\n"
      "input-device = first\n"
      "this line has no equals sign\n"
      " = no key\n"
      "two words = x\n"
      "bell\a = 1\n"
      "input-device=  USB Audio  \n"
      "\n"
      "output-device = a = b\n");
  EXPECT_EQ(text.Get("input-device"), "USB Audio") << "the last line of a key counts";
  EXPECT_EQ(text.Get("output-device"), "a = b");
  EXPECT_EQ(text.Get("window-size"), "2");
  EXPECT_FALSE(text.Get("two words").has_value());
  EXPECT_FALSE(text.Get("bell\a").has_value());
  EXPECT_FALSE(text.Get("").has_value());

  text.Set("input-device", "pulse\nx = injected");
  text.Set("theme", "dark");
  EXPECT_EQ(text.Text(),
            "# devices\n"
            "window-size = 2\n"
            "input-device = pulse x = injected\n"
            "this line has no equals sign\n"
            " = no key\n"
            "two words = x\n"
            "bell\a = 1\n"
            "\n"
            "output-device = a = b\n"
            "theme = dark\n");
  EXPECT_FALSE(text.Get("x").has_value()) << "a value cannot add a line";
}

TEST_F(Chooser, TheCommandLineWinsOverTheRememberedDevices) {
  ::mkdir(dir.File("zorvane").c_str(), 0755);
  Write(conf, "output-device = USB Audio\ninput-device = pulse\n");
  ASSERT_TRUE(chooser.Start("", "", error, notices));
  EXPECT_EQ(applied.back(), std::make_pair(3, 0));
  EXPECT_TRUE(notices.empty());

  AudioDeviceChooser named([this] { return devices; }, conf, nullptr);
  ASSERT_TRUE(named.Start("7", "usb", error, notices)) << error;
  EXPECT_EQ(named.Output(), 7);
  EXPECT_EQ(named.Input(), 3);
  EXPECT_FALSE(named.Start("", "nothing", error, notices));
  EXPECT_EQ(error.rfind("no input device matches 'nothing'", 0), 0u) << error;
}

TEST_F(Chooser, ARememberedDeviceThatIsGoneFallsBackWithOneNotice) {
  ::mkdir(dir.File("zorvane").c_str(), 0755);
  // Only the exact name counts: "USB" is part of a device's name but was not the device.
  Write(conf, "input-device = USB\noutput-device = default\n");
  ASSERT_TRUE(chooser.Start("", "", error, notices));
  EXPECT_EQ(chooser.Input(), -1);
  EXPECT_EQ(chooser.Output(), 7);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0], "the input device \"USB\" remembered in " + conf +
                            " is gone; using the default device");
}

TEST_F(Chooser, TheDialogsChoiceIsAppliedAndWrittenBesideTheOtherKeys) {
  ASSERT_TRUE(chooser.Start("", "", error, notices)) << "no file: the defaults";
  EXPECT_EQ(applied.back(), std::make_pair(-1, -1));
  AudioDevicesDialogModel& dialog = chooser.OpenDialog();
  ASSERT_EQ(dialog.Entries(DeviceDirection::Input).size(), 4u);
  dialog.SelectRow(DeviceDirection::Input, 2);
  dialog.SelectRow(DeviceDirection::Output, 9);  // out of range: ignored
  ASSERT_TRUE(chooser.AcceptDialog()) << "the missing folder is created";
  EXPECT_EQ(applied.back(), std::make_pair(-1, 3));
  EXPECT_EQ(Read(conf), "output-device = \ninput-device = USB Audio\n");

  Write(conf, "future-key = 1\ninput-device = USB Audio\n");
  chooser.OpenDialog().SelectRow(DeviceDirection::Output, 1);
  ASSERT_TRUE(chooser.AcceptDialog());
  EXPECT_EQ(Read(conf), "future-key = 1\ninput-device = USB Audio\noutput-device = pulse\n");

  // A device that went away since: the dialog shows the default selected.
  devices.erase(devices.begin() + 1);
  EXPECT_EQ(chooser.OpenDialog().Row(DeviceDirection::Input), 0);

  // Where the file cannot be written the choice is still in force.
  AudioDeviceChooser blocked([this] { return devices; }, dir.File("zorvane/zorvane.conf/x"),
                             [this](int out, int in) { applied.emplace_back(out, in); });
  blocked.OpenDialog().SelectRow(DeviceDirection::Output, 1);
  EXPECT_FALSE(blocked.AcceptDialog());
  EXPECT_EQ(applied.back(), std::make_pair(0, -1));
}
