// SPDX-License-Identifier: GPL-3.0-or-later
// The numbers behind the plot: File > Export Data in the window and the CSV
// of zorvane-cli analyze.
#include "export/data_export.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/analyze.h"
#include "support/wav_bytes.h"

using namespace zorvane;
using namespace zorvane::testing;

namespace {

std::vector<std::pair<double, double>> ReadCsv(const std::string& path, std::string* header) {
  std::ifstream in(path);
  std::vector<std::pair<double, double>> rows;
  std::string line;
  if (!std::getline(in, *header)) return rows;
  while (std::getline(in, line)) {
    const size_t comma = line.find(',');
    rows.emplace_back(std::stod(line.substr(0, comma)), std::stod(line.substr(comma + 1)));
  }
  return rows;
}

// A 16-bit mono WAV of a sine at `hz`.
std::string ToneFile(TempDir& dir, double hz, double seconds, uint32_t rate = 44100) {
  return SineFile(dir, "tone.wav", rate, hz, seconds, 1, 8000.0);
}

}  // namespace

TEST(ExportData, TheMenuCommandStopsTheAnalyzerAndWritesWhatThePlotShows) {
  Rig rig;
  rig.S().FunctionFrequency = rig.S().OutputFrequency = 3000.0f;
  rig.F().OutputBtnClick();
  const std::string csv = rig.dir.File("plot.csv");
  // Cancelled while the analyzer runs: stopped, nothing written.
  rig.At(300, [&] {
    rig.platform.QueueDialogAnswer(std::nullopt);
    rig.F().Find("ExportData1")->Click();
  });
  rig.F().StartBtnClick();
  EXPECT_EQ(rig.S().AnalyzerActive, 0);
  EXPECT_FALSE(std::ifstream(csv).good());
  rig.platform.QueueDialogAnswer(csv);
  rig.F().Find("ExportData1")->Click();
  std::string header;
  const auto rows = ReadCsv(csv, &header);
  EXPECT_EQ(header, "frequency_hz,level_db");
  ASSERT_EQ(rows.size(), 512u);
  const auto top = std::max_element(rows.begin(), rows.end(),
                                    [](auto& a, auto& b) { return a.second < b.second; });
  EXPECT_NEAR(top->first, 3000.0, 44100.0 / 1024);
  // The level as the scale reads it: the trace's height at that point, half
  // a decibel per pixel below the top line.
  const int point = static_cast<int>(top - rows.begin());
  EXPECT_NEAR(top->second, -(199.0 - rig.S().DisplayValues[point]) / 2.0, 0.01);
  EXPECT_TRUE(rig.platform.Messages.empty()) << rig.MessageLog();
}

TEST(ExportData, AnalyzeWritesPointsBinsAndTheTimeTrace) {
  TempDir dir;
  const std::string wav = ToneFile(dir, 1000.0, 1.0);
  std::ostringstream out, err;
  AnalyzeOptions o;
  o.File = wav;
  o.Size = 2048;
  o.Csv = dir.File("bins.csv");
  o.Bins = true;
  ASSERT_EQ(RunAnalyze(o, out, err, false), 0) << err.str();
  EXPECT_EQ(out.str(),
            "Peak Frequency = 998.7\nBlocks analysed = 1\nSamples analysed = 2048 of 44100\n");
  std::string header;
  auto rows = ReadCsv(o.Csv, &header);
  ASSERT_EQ(rows.size(), 1024u) << "one row per bin";
  EXPECT_NEAR(rows[1].first, 44100.0 / 2048, 0.001);
  const auto top = std::max_element(rows.begin(), rows.end(),
                                    [](auto& a, auto& b) { return a.second < b.second; });
  EXPECT_NEAR(top->first, 1000.0, 44100.0 / 2048);

  o.Display = "time";
  o.Bins = false;
  o.Size = 0;
  o.Csv = dir.File("time.csv");
  out.str("");
  ASSERT_EQ(RunAnalyze(o, out, err, false), 0) << err.str();
  EXPECT_EQ(out.str(),
            "Peak Frequency = -\nBlocks analysed = 1\nSamples analysed = 1024 of 44100\n");
  rows = ReadCsv(o.Csv, &header);
  EXPECT_EQ(header, "time_ms,value");
  ASSERT_EQ(rows.size(), 1023u);
  // One period of 1000 Hz is 1 ms: the values repeat a millisecond later.
  const size_t period = 44;  // samples, 0.998 ms
  for (size_t i = 0; i + period < 600; i += 37)
    EXPECT_NEAR(rows[i + period].second, rows[i].second, 0.05 * 8000 * 10) << i;
  EXPECT_NEAR(rows[period].first - rows[0].first, period / 44.1, 0.05);
}

TEST(ExportData, AnalyzeRefusesWhatTheWindowRefuses) {
  TempDir dir;
  std::ostringstream out, err;
  AnalyzeOptions o;
  o.File = dir.File("missing.wav");
  EXPECT_EQ(RunAnalyze(o, out, err, false), 1);
  EXPECT_EQ(err.str(), "zorvane-cli: File Open Error Message: Could not open the file\\n" + o.File +
                           ": No such file or directory\n");
  o.File = ToneFile(dir, 500.0, 0.05, 8000);  // 400 samples: no block of 1024
  err.str("");
  EXPECT_EQ(RunAnalyze(o, out, err, false), 1);
  EXPECT_NE(err.str().find("holds no whole block"), std::string::npos) << err.str();
  o.File = ToneFile(dir, 500.0, 1.0, 8000);
  o.Channel = "left";
  err.str("");
  EXPECT_EQ(RunAnalyze(o, out, err, false), 1);
  EXPECT_NE(err.str().find("needs a stereo file"), std::string::npos) << err.str();
}
