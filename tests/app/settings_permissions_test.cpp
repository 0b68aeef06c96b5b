// The settings file and zorvane.conf as an ordinary user finds them: a file
// the user may not read, or may not write, keeps its contents and mode
// through a start, a choice of devices and a quit, although the folder is
// open to everyone; and zorvane.conf keeps every line however long.
#include <grp.h>
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

std::vector<AudioDeviceInfo> Devices() {
  return {{3, "ALSA", "USB Audio", 2, 2, 48000, false, false}};
}

std::string Text(const std::string& path) {
  const Bytes b = ReadFile(path);
  return std::string(b.begin(), b.end());
}

// Runs `fn` in a child process as the user nobody (as this user when not
// root); its exit status.
int AsNobody(const std::function<int()>& fn) {
  const pid_t pid = fork();
  if (pid == 0) {
    const passwd* nobody = getpwnam("nobody");
    if (geteuid() == 0 && (!nobody || setgroups(0, nullptr) != 0 ||
                           setresgid(nobody->pw_gid, nobody->pw_gid, nobody->pw_gid) != 0 ||
                           setresuid(nobody->pw_uid, nobody->pw_uid, nobody->pw_uid) != 0))
      _exit(100);
    _exit(fn());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

}  // namespace

TEST(SettingsPermissions, AFileTheUserMayNotReadOrWriteIsLeftAsItWas) {
  for (mode_t mode : {0000, 0444}) {
    SCOPED_TRACE(mode);
    TempDir dir;
    const std::string folder = dir.File("zorvane"), conf = folder + "/zorvane.conf";
    ASSERT_EQ(::mkdir(folder.c_str(), 0777), 0);
    ::chmod(dir.Path().c_str(), 0755);
    ::chmod(folder.c_str(), 0777);  // the rename of a save would be allowed
    {
      Rig rig({}, true, folder);  // a waterfall at 8192 points
      rig.F().Waterfall1Click();
      rig.F().N81921Click();
      rig.F().QuitBtnClick();
    }
    const std::string cfg = folder + "/Zorvane.cfg";
    WriteFile(conf, Bytes{'#', ' ', 'k', 'e', 'p', 't', '\n'});
    const Bytes before = ReadFile(cfg), conf_before = ReadFile(conf);
    for (const std::string& f : {cfg, conf}) ::chmod(f.c_str(), mode);

    const int status = AsNobody([&] {
      Rig rig({}, false, folder);
      AudioDeviceChooser chooser(Devices, conf, nullptr);
      std::string error;
      std::vector<std::string> notices;
      chooser.Start("", "", error, notices);
      chooser.OpenDialog().SelectRow(DeviceDirection::Input, 1);
      const bool remembered = chooser.AcceptDialog();
      const bool loaded = rig.S().DisplayMode == 3 && rig.S().TransformSize == 8192;
      rig.F().Mic1Click();
      rig.F().QuitBtnClick();
      return (remembered ? 1 : 0) | (mode != 0 && !loaded ? 2 : 0) |
             (mode == 0 && notices.size() != 1 ? 4 : 0);
    });
    EXPECT_EQ(status, 0);
    for (const std::string& f : {cfg, conf}) {
      struct stat st {};
      ASSERT_EQ(::stat(f.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, mode) << f;
    }
    EXPECT_EQ(ReadFile(cfg), before);
    EXPECT_EQ(ReadFile(conf), conf_before);
  }
}

TEST(SettingsPermissions, ZorvaneConfKeepsEveryLineHoweverLong) {
  TempDir dir;
  const std::string conf = dir.File("zorvane.conf");
  std::string text;
  for (int i = 0; i < 10000; ++i) text += "key-" + std::to_string(i) + " = some value\n";
  text += "# " + std::string(1 << 20, 'x') + "\nlast-key = kept\n";
  WriteFile(conf, Bytes(text.begin(), text.end()));
  AudioDeviceChooser chooser(Devices, conf, nullptr);
  chooser.OpenDialog().SelectRow(DeviceDirection::Input, 1);
  ASSERT_TRUE(chooser.AcceptDialog());
  const std::string written = Text(conf);  // megabytes: not printed when it differs
  EXPECT_TRUE(written == text + "output-device = \ninput-device = USB Audio\n")
      << written.size() << " bytes written of " << text.size();
}
