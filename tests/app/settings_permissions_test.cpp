// SPDX-License-Identifier: GPL-3.0-or-later
// zorvane.conf as an ordinary user finds it: a file of mode 000 or 0444 in a
// folder everyone may write keeps its contents and mode through a start and
// a choice of devices, which then is not remembered; and a file is kept
// line for line however long it or its lines are. (Zorvane.cfg's start and
// quit: settings_permissions.sh.)
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/audio_devices.h"
#include "support/test_support.h"

using namespace zorvane;
using namespace zorvane::testing;

namespace {

std::vector<AudioDeviceInfo> Devices() { return {{3, "ALSA", "USB Audio", 2, 2, 48000}}; }

// Starts a chooser on `conf` and accepts the dialog with the USB input:
// 1 when the choice was remembered, plus 2 when no line said why not.
int ChooseDevices(const std::string& conf) {
  AudioDeviceChooser chooser(Devices, conf, nullptr);
  std::string error;
  std::vector<std::string> notices;
  chooser.Start("", "", error, notices);
  chooser.OpenDialog().SelectRow(DeviceDirection::Input, 1);
  return chooser.AcceptDialog() ? 1 : notices.empty() ? 2 : 0;
}

}  // namespace

TEST(SettingsPermissions, AZorvaneConfTheUserMayNotReadOrWriteIsLeftAsItWas) {
  for (mode_t mode : {0000, 0444}) {
    TempDir dir;
    const std::string conf = dir.File("zorvane.conf");
    ::chmod(dir.Path().c_str(), 0777);  // the rename of a save would be allowed
    WriteFile(conf, Bytes{'#', '\n'});
    ::chmod(conf.c_str(), mode);
    const pid_t child = fork();  // as nobody when root: root reads and writes any file
    if (child == 0) {
      const passwd* nobody = getpwnam("nobody");
      if (geteuid() == 0 && (!nobody || setgid(nobody->pw_gid) || setuid(nobody->pw_uid))) _exit(9);
      // An unreadable file is said at start-up; a read-only one is only not written.
      const int result = ChooseDevices(conf);
      _exit(mode == 0 ? result : result & 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << mode << ": " << status;
    struct stat st {};
    EXPECT_TRUE(::stat(conf.c_str(), &st) == 0 && (st.st_mode & 07777) == mode);
    EXPECT_EQ(ReadFile(conf), (Bytes{'#', '\n'}));
  }
}

TEST(SettingsPermissions, ZorvaneConfKeepsEveryLineHoweverLong) {
  TempDir dir;
  const std::string conf = dir.File("zorvane.conf");
  std::string text;
  for (int i = 0; i < 10000; ++i) text += "key-" + std::to_string(i) + " = some value\n";
  text += "# " + std::string(1 << 20, 'x') + "\nlast-key = kept\n";
  WriteFile(conf, Bytes(text.begin(), text.end()));
  ASSERT_EQ(ChooseDevices(conf), 1);
  const Bytes written = ReadFile(conf);  // megabytes: not printed when it differs
  EXPECT_TRUE(std::string(written.begin(), written.end()) ==
              text + "output-device = \ninput-device = USB Audio\n")
      << written.size() << " bytes written of " << text.size();
}
