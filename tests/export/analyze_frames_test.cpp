// SPDX-License-Identifier: GPL-3.0-or-later
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

// A file cut short while it is read: the progress bar's first stroke (after
// the first block) cuts it; the run must fail with the message, not print a
// result.
TEST(Analyze, AFileCutShortWhileItIsReadIsAFailure) {
  TempDir dir;
  AnalyzeOptions o;
  o.File = GlideFile(dir);
  o.All = true;
  struct CutOnWrite : std::streambuf {
    std::string path, text;
    int overflow(int c) override {
      if (text.empty() && ::truncate(path.c_str(), 100) != 0) text = "truncate failed";
      return text.push_back(static_cast<char>(c)), c;
    }
  } cutter;
  cutter.path = o.File;
  std::ostream err(&cutter);
  std::ostringstream out;
  EXPECT_EQ(RunAnalyze(o, out, err, true), 1);
  EXPECT_NE(cutter.text.find("cannot read " + o.File + ": its data end after"), std::string::npos)
      << cutter.text;
  EXPECT_EQ(out.str(), "");
}
