// SPDX-License-Identifier: GPL-3.0-or-later
// One analyzer block, from the captured bytes to the drawn frame and the readouts, must not
// touch the heap; typing into a text box must not copy its whole text for every key.
// The test program's operator new counts allocations on this thread while counting is on.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>

#include "analyzer/Graphicinterpolate.h"
#include "readouts/readouts.h"
#include "support/test_support.h"

static thread_local bool countAllocations = false;
static std::atomic<long> allocations{0};
// The array forms forward to these. GCC's new/delete check does not see the malloc/free pairing.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  if (countAllocations) allocations.fetch_add(1);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace zorvane {
namespace {

void Counting(bool on) {
  if (on) allocations = 0;
  countAllocations = on;
}

TEST(BlockAllocations, CountingHookSeesAllocations) {
  Counting(true);
  ::operator delete(::operator new(16));
  Counting(false);
  EXPECT_EQ(allocations, 1);
}

TEST(BlockAllocations, ConvertTransformScaleRenderAndReadoutsAllocateNothing) {
  testing::Rig rig;
  TZorvaneForm& f = rig.F();
  AppState& S = rig.S();
  for (int i = 0; i < kCaptureBufferBytes; ++i)  // a tone, read as 16-bit mono
    S.CaptureBufferA[i] = static_cast<uint8_t>(std::lround(100.0 * std::sin(0.05 * i)));
  f.Mkr1Btn->Click();  // a marker and the cross take part in the frame
  S.CrossState = 2;
  auto block = [&] {
    const int n = S.TransformSize;
    ConvertSamples(S.BytesPerSample, 2, n, S.ChannelSelect, S.SampleBlock, S.CaptureBufferA,
                   S.CaptureBufferB);
    if (S.DisplayMode == 2) {
      std::copy(S.SampleBlock + 1, S.SampleBlock + n, S.Spectrum + 1);
      f.ScaleTimeTrace();
    } else {
      WindowAndTransform(S.SampleBlock, S.Spectrum, n, S.WindowTable, S.InputGain, S.FftReal,
                         S.FftImag);
      S.PeakFrequency = f.FindPeakFrequency(S.Spectrum, n, S.SizeFactor, S.SampleRate);
      f.ScaleSpectrum();
    }
    f.ClearPlot();
    f.RenderDisplay(S.GraphType, S.DisplayValues);
    f.Readouts->AnalyzeBlock(S.SampleBlock + 1, n, S.SampleRate, S.BytesPerSample);
  };
  S.AverageCount = 40;
  S.SweepPointIndex = 300;
  for (int n : {1024, 2048, 4096, 8192}) {
    S.TransformSize = n;
    S.SizeFactor = n / 1024;
    ComputeWindowTable(n, 6, S.WindowTable);
    // Each display and hold mode, both axes and graph types, and the swept trace.
    for (int c = 0; c < 9; ++c) {
      S.DisplayMode = 1 + c / 3;
      S.HoldMode = 1 + c % 3;
      S.HorizontalScale = S.HoldMode == 2 ? 2 : 0;
      S.GraphType = S.HoldMode == 3 ? 2 : 1;
      S.SweepMode = c % 2;
      Counting(true);
      block();
      Counting(false);
      ASSERT_EQ(allocations, 0) << "n " << n << " mode " << S.DisplayMode << " hold " << S.HoldMode;
    }
  }
  EXPECT_GT(S.PeakFrequency, 0.0f);
}

// A key appends to the text in place: allocations grow with the logarithm of
// the length (the string doubling its room), not one per key as when every
// key builds a new copy of the whole text.
TEST(KeyAllocations, TypingALongTextGrowsTheTextInPlace) {
  testing::Rig rig;
  Control* box = rig.F().FrequencyDisplay;
  box->SetText("");
  Counting(true);
  for (int i = 0; i < 20000; ++i) box->UserKey('7');
  box->UserKey('\b');
  Counting(false);
  EXPECT_EQ(box->Text(), std::string(19999, '7'));
  EXPECT_LT(allocations, 64);
}

}  // namespace
}  // namespace zorvane
