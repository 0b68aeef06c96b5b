// SPDX-License-Identifier: GPL-3.0-or-later
// The volume mixer, the help document and the About box: other programs are
// found on PATH and started by path with their arguments as a list, never
// through a shell. Fake programs record how they were started.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/programs.h"
#include "support/fake_programs.h"
#include "support/test_support.h"

using namespace zorvane;
using namespace zorvane::testing;
using About = InstrumentTest;

namespace {

std::vector<std::string> StartedPaths(const HeadlessPlatform& p) {
  std::vector<std::string> paths;
  for (const auto& s : p.StartedPrograms) paths.push_back(s.Path);
  return paths;
}

}  // namespace

TEST(VolumeControl, EveryMixerOnThePathIsStartedInOrderByTheButtonAndTheMenuAlike) {
  FakePrograms fakes;
  Rig rig;
  // Nothing installed: nothing happens, nothing is said.
  rig.F().SetVolumeBtn->Click();
  EXPECT_TRUE(rig.platform.StartedPrograms.empty());

  // Two of the four present; a file that is not executable and a folder
  // under the other two names are not programs.
  const std::string qasmixer = fakes.Add("qasmixer");
  const std::string pavucontrol = fakes.Add("pavucontrol");
  std::ofstream(fakes.bin + "/pwvucontrol") << "#!/bin/sh\n";
  std::filesystem::create_directories(fakes.bin + "/alsamixergui");
  for (const char* item : {"SetVolumeBtn", "N7"}) {
    rig.platform.StartedPrograms.clear();
    std::filesystem::remove(fakes.Log("pavucontrol"));
    std::filesystem::remove(fakes.Log("qasmixer"));
    rig.F().Find(item)->Click();
    EXPECT_EQ(StartedPaths(rig.platform), (std::vector<std::string>{pavucontrol, qasmixer}))
        << item;
    for (const auto& [name, path] :
         {std::pair{"pavucontrol", pavucontrol}, {"qasmixer", qasmixer}}) {
      const auto run = fakes.Recorded(name);
      EXPECT_EQ(run.Path, path) << item << ": started by its path, intact";
      EXPECT_TRUE(run.Args.empty()) << item;
      EXPECT_NE(run.Parent, std::to_string(::getpid())) << item << ": detached from the instrument";
    }
  }
  EXPECT_FALSE(std::filesystem::exists("pwned"));
  EXPECT_TRUE(rig.platform.Messages.empty()) << rig.MessageLog();
}

// Without a viewer of the platform's own the document goes to a browser,
// always under a name that says HTML: the desktop's opener hands a ".chm"
// name to a compiled-help viewer, or to nothing.
TEST(Help, TheBrowserGetsTheDocumentUnderAnHtmlNameOrTheFailureIsShown) {
  FakePrograms fakes;
  Rig rig;
  TempDir docs, tmp;
  ::setenv("TMPDIR", tmp.Path().c_str(), 1);  // where a copy goes
  const std::string folder = docs.File("it's \"my\" help; $HOME `id`");
  std::filesystem::create_directories(folder);
  const std::string html = folder + "/help.html", link = folder + "/ZorvaneHelp.chm";
  std::ofstream(html) << "<html>help</html>";
  std::filesystem::create_symlink("help.html", link);
  const std::string own = docs.File("ZorvaneHelp.chm");  // a user's copy under the old name
  std::ofstream(own) << "<html>mine</html>";
  auto open = [&](const std::string& path) {
    rig.S().HelpPath = path;
    rig.F().Find("HelpMenu1")->Click();
  };

  open(link);  // no browser on the path
  fakes.Add("xdg-open");
  open(link);
  EXPECT_EQ(fakes.Recorded("xdg-open").Args, std::vector<std::string>{html}) << "the link's target";
  std::filesystem::remove(fakes.Log("xdg-open"));
  open(own);
  const auto copy = fakes.Recorded("xdg-open").Args;
  ASSERT_EQ(copy.size(), 1u);
  EXPECT_EQ(copy[0].substr(copy[0].size() - 5), ".html");
  EXPECT_EQ(ReadFile(copy[0]), ReadFile(own)) << "a private copy under an HTML name";
  fakes.Add("x-www-browser");  // the system's browser comes first
  open(link);
  EXPECT_EQ(fakes.Recorded("x-www-browser").Args, std::vector<std::string>{html});

  // A help file gone, none found at start-up.
  std::filesystem::remove(html);
  open(link);
  open("");
  EXPECT_EQ(rig.platform.Messages.size(), 3u) << rig.MessageLog();
  for (const auto& m : rig.platform.Messages) {
    EXPECT_EQ(m.Text, "Could not run the help application");
    EXPECT_TRUE(m.Plain) << "the toolkit's plain message dialog";
  }
  ::unsetenv("TMPDIR");
}

TEST_F(About, TitleAndTheVersionOnTheSecondLine) {
  rig.F().Find("About1")->Click();
  ASSERT_EQ(rig.platform.Messages.size(), 1u);
  EXPECT_EQ(rig.platform.Messages[0].Title, "About Zorvane");
  const std::string& text = rig.platform.Messages[0].Text;
  const size_t second = text.find('\n') + 1, third = text.find('\n', second) + 1;
  EXPECT_EQ(text.substr(second, third - second), std::string(18, ' ') + "Version 1.20\n");
  EXPECT_EQ(text.find_first_not_of(' ', third), third + 13);
  EXPECT_EQ(text.find('\n', third), std::string::npos) << "three lines";
}

TEST(Programs, ArgumentsArriveAsGivenAndNoChildIsLeftBehind) {
  FakePrograms fakes;
  const std::string prog = fakes.Add("fake");
  ASSERT_TRUE(StartDetached(prog, {"a b", "", "'\"$x"}));
  EXPECT_EQ(fakes.Recorded("fake").Args, (std::vector<std::string>{"a b", "", "'\"$x"}));
  int status;
  EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1) << "no child of ours is left to reap";
  EXPECT_FALSE(StartDetached(fakes.bin + "/missing", {}));
  EXPECT_EQ(errno, ENOENT);
}
