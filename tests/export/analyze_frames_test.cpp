// Batch analysis draws only the frame it shows: whatever the display, hold
// and length of the run, its printout, image and numbers must be those of a
// run that draws every block as the window does.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "cli/analyze.h"
#include "support/test_support.h"

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
  const std::string path = dir.File("glide.wav");
  std::ofstream f(path, std::ios::binary);
  const uint32_t rate = 44100, frames = 2 * rate, bytes = frames * 2;
  auto u32 = [&](uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&](uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
  f.write("RIFF", 4), u32(36 + bytes), f.write("WAVEfmt ", 8), u32(16), u16(1), u16(1), u32(rate),
      u32(rate * 2), u16(2), u16(16), f.write("data", 4), u32(bytes);
  double phase = 0.0;
  uint32_t noise = 12345;
  for (uint32_t k = 0; k < frames; ++k) {
    const double t = static_cast<double>(k) / rate;
    phase += 2 * M_PI * (300.0 + 2850.0 * t) / rate;
    noise = noise * 1664525u + 1013904223u;
    const double level = 4000.0 + 3000.0 * std::sin(2 * M_PI * 1.5 * t);
    const double v = level * std::sin(phase) + static_cast<double>(noise >> 24) - 128.0;
    u16(static_cast<uint16_t>(static_cast<int16_t>(std::lround(v))));
  }
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
