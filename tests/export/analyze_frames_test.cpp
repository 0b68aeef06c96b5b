// Batch analysis draws only the frame it shows: whatever the display, hold
// and length of the run, its printout, image and numbers must be those of a
// run that draws every block as the window does.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>
#include <streambuf>
#include <string>

#include "cli/analyze.h"
#include "support/wav_bytes.h"

using namespace zorvane;
using namespace zorvane::testing;

namespace {

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Two seconds of a tone gliding from 300 Hz to 6 kHz whose level rises and
// falls, with a little noise: every block differs, so a hold or an average
// that lost a block would show.
std::string GlideFile(TempDir& dir) {
  const uint32_t rate = 44100, frames = 2 * rate;
  WavBytes w = WavBytes::Riff().Fmt(1, 1, rate, 16);
  w.Text("data").U32(frames * 2);
  double phase = 0.0;
  uint32_t noise = 12345;
  for (uint32_t k = 0; k < frames; ++k) {
    const double t = static_cast<double>(k) / rate;
    phase += 2 * M_PI * (300.0 + 2850.0 * t) / rate;
    noise = noise * 1664525u + 1013904223u;
    const double level = 4000.0 + 3000.0 * std::sin(2 * M_PI * 1.5 * t);
    const double v = level * std::sin(phase) + static_cast<double>(noise >> 24) - 128.0;
    w.U16(static_cast<uint16_t>(static_cast<int16_t>(std::lround(v))));
  }
  const std::string path = dir.File("glide.wav");
  w.Save(path);
  return path;
}

}  // namespace

TEST(Analyze, DrawingOnlyTheLastFrameChangesNoResult) {
  TempDir dir;
  const std::string wav = GlideFile(dir);
  for (const char* display : {"frequency", "time", "waterfall"}) {
    for (const char* hold : {"normal", "average", "peak"}) {
      for (int size : {1024, 4096}) {
        for (int blocks : {0, 1, 7}) {
          std::string result[2];
          for (int every = 0; every < 2; ++every) {
            AnalyzeOptions o;
            o.File = wav;
            o.Display = display;
            o.Hold = hold;
            o.Average = 4;
            o.Size = size;
            o.All = blocks == 0;
            o.Blocks = blocks;
            o.Png = dir.File("frame.png");
            o.Csv = dir.File("frame.csv");
            o.DrawEveryFrame = every == 1;
            std::ostringstream out, err;
            ASSERT_EQ(RunAnalyze(o, out, err, false), 0) << err.str();
            result[every] = out.str() + Contents(o.Png) + Contents(o.Csv);
          }
          EXPECT_EQ(result[0], result[1])
              << display << " " << hold << " size " << size << " blocks " << blocks;
        }
      }
    }
  }
}

namespace {

// Three seconds of silence but for a 10 ms burst of 5 kHz at 1.000 s.
std::string BurstFile(TempDir& dir) {
  const uint32_t rate = 44100, frames = 3 * rate;
  WavBytes w = WavBytes::Riff().Fmt(1, 1, rate, 16);
  w.Text("data").U32(frames * 2);
  for (uint32_t k = 0; k < frames; ++k) {
    const bool on = k >= rate && k < rate + rate / 100;
    w.U16(static_cast<uint16_t>(static_cast<int16_t>(
        on ? std::lround(16000.0 * std::sin(2 * M_PI * 5000.0 * k / rate)) : 0)));
  }
  const std::string path = dir.File("burst.wav");
  w.Save(path);
  return path;
}

// The number after `name = ` in the printout.
long long Printed(const std::string& out, const std::string& name) {
  const size_t at = out.find(name + " = ");
  return at == std::string::npos ? -1 : std::stoll(out.substr(at + name.size() + 3));
}

// Keeps what is written to it, and cuts a file short at the first write:
// the progress bar's first stroke comes once the run has read its first
// block.
struct CutOnWrite : std::streambuf {
  std::string path, text;
  bool cut = false;
  int overflow(int c) override {
    if (!cut) cut = ::truncate(path.c_str(), 100) == 0;
    text.push_back(static_cast<char>(c));
    return c;
  }
};

}  // namespace

TEST(Analyze, EverySampleIsAnalysedSoABurstShowsAtEverySizeAndOverlap) {
  TempDir dir;
  const std::string wav = BurstFile(dir);
  const long long total = 3 * 44100;
  for (int size : {1024, 2048, 4096, 8192}) {
    for (int overlap : {0, 50, 75}) {
      AnalyzeOptions o;
      o.File = wav;
      o.Size = size;
      o.Overlap = overlap;
      o.All = true;
      o.Hold = "peak";
      o.Csv = dir.File("burst.csv");
      std::ostringstream out, err;
      ASSERT_EQ(RunAnalyze(o, out, err, false), 0) << err.str();
      const std::string where = std::to_string(size) + " at " + std::to_string(overlap) + " %";
      // The blocks step by the hop and the last one ends with the data.
      const long long hop = size * (100 - overlap) / 100;
      EXPECT_EQ(Printed(out.str(), "Blocks analysed"), 1 + (total - size + hop - 1) / hop) << where;
      EXPECT_NE(out.str().find("Samples analysed = 132300 of 132300"), std::string::npos)
          << where << "\n"
          << out.str();
      // The burst held at 5 kHz, far above where only its edges splatter.
      std::ifstream csv(o.Csv);
      std::string line;
      double burst = -1e9, elsewhere = -1e9;
      std::getline(csv, line);
      while (std::getline(csv, line)) {
        const double hz = std::stod(line), db = std::stod(line.substr(line.find(',') + 1));
        if (std::abs(hz - 5000.0) < 100.0) burst = std::max(burst, db);
        if (std::abs(hz - 15000.0) < 100.0) elsewhere = std::max(elsewhere, db);
      }
      EXPECT_GT(burst - elsewhere, 40.0) << where;
    }
  }
}

TEST(Analyze, AFileCutShortWhileItIsReadIsAFailure) {
  TempDir dir;
  AnalyzeOptions o;
  o.File = BurstFile(dir);
  o.All = true;
  CutOnWrite cutter;
  cutter.path = o.File;
  std::ostream err(&cutter);
  std::ostringstream out;
  EXPECT_EQ(RunAnalyze(o, out, err, true), 1);
  EXPECT_TRUE(cutter.cut);
  EXPECT_NE(cutter.text.find("cannot read " + o.File + ": its data end after"), std::string::npos)
      << cutter.text;
  EXPECT_EQ(out.str(), "");
}
