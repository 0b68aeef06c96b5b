// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file: what a restart brings back, what a damaged file does,
// and that no crash or failed write ever loses the file.
#include "app/configuration.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "support/test_support.h"

using namespace zorvane;
using namespace zorvane::testing;

namespace {

void SetFloatField(Bytes& b, int n, float f) {
  int32_t v;
  std::memcpy(&v, &f, 4);
  SetField(b, n, v);
}

// Instruments started one after another on the same settings folder, as
// runs of the program are.
struct Runs {
  TempDir dir;
  std::unique_ptr<Rig> rig;
  std::string File() const { return dir.File("Zorvane.cfg"); }
  // Entries in the folder, but for `other`.
  int Entries(const std::string& other = {}) const {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) n += e.path() != other;
    return n;
  }
  // A new instrument on the folder; the previous one is gone.
  TZorvaneForm& Start() {
    rig.reset();
    rig = std::make_unique<Rig>(LoopbackOptions{}, false, dir.Path());
    return rig->F();
  }
  // Starts on a settings file holding exactly `bytes`.
  TZorvaneForm& StartWith(const Bytes& bytes) {
    WriteFile(File(), bytes);
    return Start();
  }
  // Quits from inside the loop a click runs, once `ms` have passed.
  void QuitDuring(int ms, void (TZorvaneForm::*click)()) {
    rig->At(ms, [this] { rig->F().QuitBtnClick(); });
    (rig->F().*click)();
  }
};

// The 196 bytes an instrument would write now.
Bytes Snapshot(TZorvaneForm& f) {
  Bytes b(kConfigurationBytes);
  f.ConfigurationBytes(b.data());
  return b;
}

}  // namespace

TEST(Settings, ARestartBringsEveryStoredSettingBack) {
  Runs runs;
  TZorvaneForm& f = runs.StartWith({});  // the empty file the installer leaves
  EXPECT_EQ(f.S.VerticalAxisMode, 2) << "an empty file changes nothing";
  // Every stored setting away from its default (marker 4 stays off, its position is kept too).
  for (auto [bar, position] : {std::pair{f.ProcessGainTrackBar, 9},
                               {f.RefScrollBar, 150},
                               {f.Mkr1ScrollBar, 100},
                               {f.Mkr3ScrollBar, 400},
                               {f.Mkr4ScrollBar, 250}})
    bar->UserScroll(position);
  for (const char* item :
       {"N220501",     "N40961",        "VerticalBtn", "VerticalResBtn", "VerticalResBtn",
        "NormalBtn",   "LineBarBtn",    "Right1",      "Mkr1Btn",        "Mkr3Btn",
        "N81",         "HorizontalBtn", "Red3",        "N200ms2",        "Lime1",
        "Magnify1",    "OFF1",          "White1",      "EOF_OFF",        "WaveformBtn",
        "WaveformBtn", "ModeBtn",       "NoteUpBtn",   "SweepBtn",       "N64",
        "On2",         "Waterfall1"})
    f.Find(item)->Click();
  const Bytes before = Snapshot(f);
  f.QuitBtnClick();
  ASSERT_EQ(ReadFile(runs.File()), before);

  // What is in force and what the controls show; the stored values
  // themselves are checked by writing them again.
  TZorvaneForm& g = runs.Start();
  const AppState& s = g.S;
  for (const char* item : {"Waterfall1", "Lime1", "N220501", "N40961"})
    EXPECT_TRUE(g.Find(item)->Checked()) << item;
  EXPECT_EQ(s.SampleRate, 22050);
  EXPECT_EQ(s.TransformSize, 4096);
  EXPECT_EQ(g.ProcessGainTrackBar->Position(), 9);
  EXPECT_EQ(s.HoldMode, 2) << "average kept: the sweep mode is on";
  EXPECT_EQ(g.Mkr4ScrollBar->Position(), 250);
  EXPECT_EQ(Snapshot(g), before) << "and saving again writes the same file";
}

TEST(Settings, TheTimeDisplayComesBackWithItsOffsetAndTheSpectrumsSettingsStayApart) {
  Runs runs;
  TZorvaneForm& f = runs.StartWith({});
  f.TimeDisplayClick();
  f.N80001Click();
  f.RefScrollBar->UserScroll(260);
  f.QuitBtnClick();
  TZorvaneForm& g = runs.Start();
  EXPECT_EQ(g.S.TimeDcOffset, 4 * 260 - 700);
  g.Frequency1Click();
  EXPECT_EQ(g.S.SampleRate, 44100);
  EXPECT_EQ(g.ProcessGainTrackBar->Position(), 7);
}

TEST(Settings, FixedFrequencyLoadsWithNormalHoldAndTheAnalyzerNeverRunning) {
  Runs runs;
  TZorvaneForm& f = runs.StartWith({});
  f.NormalBtnClick();
  f.NormalBtnClick();  // peak
  runs.QuitDuring(300, &TZorvaneForm::StartBtnClick);
  Bytes b = ReadFile(runs.File());
  ASSERT_EQ(b.size(), kConfigurationBytes);
  EXPECT_EQ(Field(b, 14), 0);
  EXPECT_EQ(Field(b, 15), 3);
  SetField(b, 14, 1);           // even a file that says running
  SetField(b, 46, 0x7A7A7A7A);  // and reserved bytes with anything in them
  TZorvaneForm& g = runs.StartWith(b);
  EXPECT_EQ(g.S.AnalyzerActive, 0);
  EXPECT_EQ(g.StartBtn->Caption(), "START");
  EXPECT_EQ(g.S.HoldMode, 1) << "leaving the sweep mode resets the hold";
  // Taken before the next start, which ends the instrument g refers to.
  const Bytes withReserved = Snapshot(g);
  SetField(b, 46, 0);
  EXPECT_EQ(Snapshot(runs.StartWith(b)), withReserved) << "field 46 changes nothing";
}

TEST(Settings, DamagedShortAndLongFilesStartNormally) {
  Runs runs;
  Bytes good = Snapshot(runs.StartWith({}));
  SetField(good, 3, 2048);  // FreqViewTransformSize
  SetField(good, 30, 2);    // lime
  SetField(good, 9, 10);    // gain position
  // Values the instrument cannot use: each is its default, the rest applies.
  Bytes bad = good;
  SetField(bad, 2, 12345);         // rate
  SetField(bad, 1, 7);             // display mode
  SetField(bad, 43, -4);           // waveform
  SetField(bad, 41, 500);          // note index
  SetField(bad, 19, 9999);         // marker 1 position
  SetFloatField(bad, 39, NAN);     // function frequency
  SetFloatField(bad, 40, 1.0e9f);  // note frequency
  TZorvaneForm& f = runs.StartWith(bad);
  EXPECT_TRUE(runs.rig->platform.Messages.empty());
  EXPECT_EQ(f.S.SampleRate, 44100);
  EXPECT_EQ(f.S.DisplayMode, 1);
  EXPECT_EQ(f.S.Waveform, 0);
  EXPECT_EQ(f.S.NoteIndex, 10);
  EXPECT_EQ(f.Mkr1ScrollBar->Position(), 0);
  EXPECT_FLOAT_EQ(f.S.FunctionFrequency, 200.01f);
  EXPECT_FLOAT_EQ(f.S.NoteFrequency, 261.63f);
  EXPECT_EQ(f.S.TransformSize, 2048);
  EXPECT_EQ(f.S.TraceColorIndex, 2);
  EXPECT_EQ(f.ProcessGainTrackBar->Position(), 10);
  // A gain position outside the track bar leaves it where it stands.
  SetField(good, 9, 0);
  EXPECT_EQ(runs.StartWith(good).ProcessGainTrackBar->Position(), 7);
  SetField(good, 9, 10);
  // A short file: the fields it holds apply; the rest, the markers too, keep
  // their defaults.
  Bytes withMarker = good;
  SetField(withMarker, 18, 1);
  SetField(withMarker, 19, 300);
  TZorvaneForm& s = runs.StartWith(Bytes(withMarker.begin(), withMarker.begin() + 68));
  EXPECT_EQ(s.S.TransformSize, 2048);
  EXPECT_EQ(s.ProcessGainTrackBar->Position(), 10);
  EXPECT_EQ(s.S.Marker1On, 0);
  EXPECT_EQ(s.Mkr1ScrollBar->Position(), 0);
  EXPECT_EQ(s.S.TraceColorIndex, 4);
  // A long file: its first 196 bytes.
  Bytes longer = withMarker;
  longer.resize(400, 0xFF);
  TZorvaneForm& l = runs.StartWith(longer);
  EXPECT_EQ(l.S.Marker1On, 1);
  EXPECT_EQ(l.Mkr1ScrollBar->Position(), 300);
  EXPECT_EQ(l.S.TraceColorIndex, 2);
  l.QuitBtnClick();
  EXPECT_EQ(ReadFile(runs.File()).size(), kConfigurationBytes) << "written back at 196 bytes";
}

TEST(Settings, OnlyARegularFileIsReadOrReplacedAndItKeepsItsPermissions) {
  Runs runs;
  // No file: none is created.
  runs.Start().QuitBtnClick();
  EXPECT_FALSE(std::filesystem::exists(runs.File()));
  // A folder of that name.
  std::filesystem::create_directory(runs.File());
  TZorvaneForm& f = runs.Start();
  EXPECT_TRUE(f.S.ConfigPath.empty());
  f.QuitBtnClick();
  EXPECT_TRUE(std::filesystem::is_directory(runs.File()));
  std::filesystem::remove(runs.File());
  // A link to a file elsewhere: neither followed nor replaced.
  const std::string target = runs.dir.File("elsewhere");
  WriteFile(target, Bytes(10, 7));
  std::filesystem::create_symlink(target, runs.File());
  runs.Start().QuitBtnClick();
  EXPECT_EQ(ReadFile(target), Bytes(10, 7));
  EXPECT_TRUE(std::filesystem::is_symlink(runs.File()));
  std::filesystem::remove(runs.File());
  // A private file stays private.
  WriteFile(runs.File(), {});
  ::chmod(runs.File().c_str(), 0600);
  runs.Start().QuitBtnClick();
  struct stat st {};
  ASSERT_EQ(::stat(runs.File().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(st.st_size, 196);
  EXPECT_EQ(runs.Entries(target), 1) << "nothing else is left in the folder";
}

TEST(Settings, NoCrashOrFailedWriteLosesTheFile) {
  Runs runs;
  TZorvaneForm& f = runs.StartWith({});
  const Bytes a = Snapshot(f);
  f.N40961Click();
  const Bytes b = Snapshot(f);
  f.N10241Click();
  WriteFile(runs.File(), a);
  // A process killed at random moments while it saves, over and over,
  // leaves the old settings or the new, never a short or empty file.
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int i = 0;; ++i) {
        (i % 2 ? f.N10241Click() : f.N40961Click());
        f.SaveConfiguration(runs.File());
      }
    }
    ::usleep(std::uniform_int_distribution<int>(0, 3000)(random));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    const Bytes now = ReadFile(runs.File());
    ASSERT_TRUE(now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
  }
  // The next start clears what the killed saves left half written.
  TZorvaneForm& g = runs.Start();
  EXPECT_EQ(runs.Entries(), 1);
  // A write that fails (the file system full, or past the size allowed)
  // leaves the old file whole and nothing else behind.
  WriteFile(runs.File(), a);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{100, 100};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    g.N40961Click();
    g.SaveConfiguration(runs.File());
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_EQ(ReadFile(runs.File()), a);
  EXPECT_EQ(runs.Entries(), 1);
}

TEST(Settings, QuittingDuringASweepKeepsTheUsersHoldAndGraph) {
  Runs runs;
  TZorvaneForm& f = runs.StartWith({});
  f.LineBarBtnClick();  // bar graph
  f.NormalBtnClick();   // average
  f.SweepBtnClick();
  runs.QuitDuring(400, &TZorvaneForm::SweepStartBtnClick);
  const Bytes b = ReadFile(runs.File());
  ASSERT_EQ(b.size(), kConfigurationBytes);
  EXPECT_EQ(Field(b, 15), 2) << "average, not the sweep's peak hold";
  EXPECT_EQ(Field(b, 16), 2) << "bar, not the sweep's line";
}
