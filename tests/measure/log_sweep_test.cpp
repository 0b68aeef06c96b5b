// SPDX-License-Identifier: GPL-3.0-or-later
// The log sweep measurement: what is refused, the sweep's own deconvolution,
// a measurement over the cable that fails, stops or is refused, and its
// files. The figures against independent references are
// tests/measure/log_sweep_cable.py's.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>

#include "measure/log_sweep_model.h"
#include "support/test_support.h"

using namespace zorvane;
using zorvane::testing::Rig;
using zorvane::testing::TempDir;

TEST(LogSweep, RefusesSettingsItCannotMeasureAndNamesTheProblem) {
  const struct {
    std::function<void(SweepSettings&)> Change;
    const char* Named;
  } cases[] = {
      {[](SweepSettings& s) { s.StartHz = s.EndHz = 1000; }, "below the end frequency"},
      {[](SweepSettings& s) { s.StartHz = 5000, s.EndHz = 100; }, "below the end frequency"},
      {[](SweepSettings& s) { s.EndHz = 22051; }, "half the rate (22050 Hz)"},
      {[](SweepSettings& s) { s.StartHz = 0.5; }, "at least 1 Hz"},
      {[](SweepSettings& s) { s.Seconds = 0.4; }, "length"},
      {[](SweepSettings& s) { s.Seconds = 31; }, "length"},
      {[](SweepSettings& s) { s.LevelDbfs = 0.5; }, "level"},
      {[](SweepSettings& s) { s.LevelDbfs = NAN; }, "level"},
      {[](SweepSettings& s) { s.Repeats = 0; }, "repeats"},
      {[](SweepSettings& s) { s.Repeats = 65; }, "repeats"},
      {[](SweepSettings& s) { s.Rate = 4000; }, "rate"},
      {[](SweepSettings& s) { s.StartHz = 1, s.Seconds = 0.5; }, "must last at least 4.96 s"},
  };
  for (const auto& c : cases) {
    SweepSettings s;
    c.Change(s);
    const std::string why = CheckSweepSettings(s);
    EXPECT_NE(why.find(c.Named), std::string::npos) << c.Named << " -> " << why;
  }
  EXPECT_EQ(CheckSweepSettings(SweepSettings{}), "");
}

TEST(LogSweep, DeconvolvesAScaledDelayedCopyOfItselfIntoThatGainAndDelay) {
  SweepSettings settings;
  settings.StartHz = 50, settings.EndHz = 16000, settings.Seconds = 1.0;
  const SyncSweep sweep = DesignSweep(settings);
  // f1 L whole: the k-th harmonic's advance is the time the frequency
  // takes to grow k times.
  EXPECT_EQ(std::fmod(sweep.L * settings.StartHz, 1.0), 0.0);
  const std::vector<float> x = SweepSamples(sweep);
  SweepAnalyzer analyzer(sweep);
  std::vector<double> peaks;
  for (const auto& [shift, gain] : {std::pair{0, 1.0}, {137, 0.5}}) {
    std::vector<float> segment(sweep.PeriodFrames(), 0.0f);
    for (size_t i = 0; i + shift < segment.size() && i < x.size(); ++i)
      segment[i + shift] = static_cast<float>(gain * x[i]);
    const SweepResult r = analyzer.Analyse(segment.data(), 1000.0);
    EXPECT_NEAR(r.DelayFrames, 1000.0 + shift, 0.01);
    ASSERT_FALSE(r.Hz.empty());
    EXPECT_NEAR(r.Hz.front(), settings.StartHz, r.Hz[1] - r.Hz[0]);
    EXPECT_NEAR(r.Hz.back(), settings.EndHz, r.Hz[1] - r.Hz[0]);
    for (size_t i = 0; i < r.Hz.size(); ++i) {
      ASSERT_NEAR(r.MagnitudeDb[i], 20 * std::log10(gain), 0.01) << r.Hz[i] << " Hz";
      ASSERT_NEAR(r.PhaseDeg[i], 0.0, 0.5) << r.Hz[i] << " Hz";
    }
    // A linear copy has no harmonics.
    for (double thd : r.ThdDb) ASSERT_LT(thd, -60.0);
    // The impulse response peaks where it says, in proportion to the gain.
    const auto peak = std::max_element(r.Impulse.begin(), r.Impulse.end(),
                                       [](float a, float b) { return std::abs(a) < std::abs(b); });
    EXPECT_EQ(peak - r.Impulse.begin(), static_cast<long>(r.ImpulsePeak));
    peaks.push_back(*peak);
  }
  EXPECT_NEAR(peaks[1] / peaks[0], 0.5, 1e-4);
}

namespace {

// The model over the cable of a whole instrument, on a virtual clock.
struct Measurement : ::testing::Test {
  Rig rig;
  LogSweepModel model{rig.platform, rig.cable.Duplexer()};
  Measurement() {
    model.DevicesBusy = [this] { return rig.F().DevicesInUse(); };
    model.Seconds = "0.5";
  }
};

}  // namespace

TEST_F(Measurement, AStalledInputFailsWithAMessageAndTheNextMeasurementWorks) {
  rig.At(300, [this] { rig.cable.SetInputStalled(true); });
  model.StartStopClick();
  EXPECT_EQ(model.GetState(), LogSweepModel::State::Failed);
  EXPECT_EQ(model.Result(), nullptr);
  EXPECT_NE(rig.MessageLog().find("[Log Sweep Measurement] The measurement failed: the sound "
                                  "input delivered nothing for 3 s"),
            std::string::npos)
      << rig.MessageLog();
  rig.cable.SetInputStalled(false);
  model.StartStopClick();
  EXPECT_EQ(model.GetState(), LogSweepModel::State::Done);
  ASSERT_NE(model.Result(), nullptr);
  EXPECT_NEAR(model.Result()->DelayFrames, 0.0, 0.01);
}

TEST_F(Measurement, StopEndsItAndBusyDevicesOrBadEntriesRefuseIt) {
  rig.At(200, [this] { model.StartStopClick(); });  // STOP
  model.StartStopClick();
  EXPECT_EQ(model.GetState(), LogSweepModel::State::Stopped);
  EXPECT_EQ(model.Result(), nullptr);

  rig.F().OutputBtnClick();
  model.StartStopClick();
  rig.F().OutputBtnClick();
  model.Repeats = "2.5";
  model.StartStopClick();
  model.Repeats = "1";
  model.To = "30000";
  model.StartStopClick();
  EXPECT_EQ(rig.MessageLog(),
            "[Log Sweep Measurement] Switch the output off before measuring | "
            "[Log Sweep Measurement] the repeats '2.5' are not a whole number | "
            "[Log Sweep Measurement] the end frequency must not lie above half the rate "
            "(22050 Hz)");
  EXPECT_EQ(model.GetState(), LogSweepModel::State::Stopped);
}

TEST_F(Measurement, FilesHoldTheResultAndAFailedWriteLeavesNone) {
  TempDir dir;
  std::string error;
  EXPECT_FALSE(model.Export(MeasureFile::Csv, dir.File("r.csv"), error));
  model.StartStopClick();
  ASSERT_NE(model.Result(), nullptr);
  const SweepResult& r = *model.Result();
  auto lines = [](const std::string& path, std::string& first) {
    std::ifstream in(path);
    int n = 0;
    for (std::string line; std::getline(in, line); ++n)
      if (n == 0) first = line;
    return n;
  };
  std::string header;
  ASSERT_TRUE(model.Export(MeasureFile::Csv, dir.File("r.csv"), error)) << error;
  EXPECT_EQ(lines(dir.File("r.csv"), header), static_cast<int>(r.Hz.size()) + 1);
  EXPECT_EQ(header, "frequency_hz,magnitude_db,phase_deg");
  ASSERT_TRUE(model.Export(MeasureFile::Distortion, dir.File("d.csv"), error)) << error;
  EXPECT_EQ(lines(dir.File("d.csv"), header), static_cast<int>(r.DistortionHz.size()) + 1);
  EXPECT_EQ(header, "frequency_hz,h2_db,h3_db,h4_db,h5_db,thd_db");
  ASSERT_TRUE(model.Export(MeasureFile::Frd, dir.File("r.frd"), error)) << error;
  EXPECT_EQ(lines(dir.File("r.frd"), header), static_cast<int>(r.Hz.size()) + 2);
  ASSERT_TRUE(model.Export(MeasureFile::Impulse, dir.File("ir.wav"), error)) << error;
  SF_INFO info{};
  SNDFILE* wav = sf_open(dir.File("ir.wav").c_str(), SFM_READ, &info);
  ASSERT_NE(wav, nullptr);
  EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  EXPECT_EQ(info.frames, static_cast<sf_count_t>(r.Impulse.size()));
  sf_close(wav);

  // A folder that is not there, or a name that is one: the error names it
  // and nothing is left behind.
  EXPECT_FALSE(model.Export(MeasureFile::Csv, dir.File("none/r.csv"), error));
  EXPECT_NE(error.find(dir.File("none/r.csv")), std::string::npos) << error;
  std::filesystem::create_directory(dir.File("taken.wav"));
  EXPECT_FALSE(model.Export(MeasureFile::Impulse, dir.File("taken.wav"), error));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 5);
}
