// One analyzer block, from the captured bytes to the drawn frame, must not
// touch the heap. The test program's operator new counts the allocations
// made on the test's own thread while counting is switched on.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>

#include "analyzer/Graphicinterpolate.h"
#include "support/test_support.h"

namespace {
thread_local bool countAllocations = false;
std::atomic<long> allocations{0};
}  // namespace

// The replacements pair malloc with free; the compiler's check for matching
// new and delete does not know that.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  if (countAllocations) allocations.fetch_add(1);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  if (countAllocations) allocations.fetch_add(1);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace zorvane {
namespace {

class CountedScope {
 public:
  CountedScope() {
    allocations = 0;
    countAllocations = true;
  }
  ~CountedScope() { countAllocations = false; }
  long Count() const { return allocations.load(); }
};

TEST(BlockAllocations, CountingHookSeesAllocations) {
  CountedScope scope;
  void* p = ::operator new(16);
  ::operator delete(p);
  EXPECT_EQ(scope.Count(), 1);
}

TEST(BlockAllocations, ConvertTransformScaleAndRenderAllocateNothing) {
  testing::Rig rig;
  TZorvaneForm& f = rig.F();
  AppState& S = rig.S();
  // A tone in buffer A, 16-bit mono after the lead-in.
  for (int j = 1; j <= 8192; ++j) {
    const auto v = static_cast<int16_t>(8000.0 * std::sin(0.05 * j) + 100.0 * std::sin(0.9 * j));
    S.CaptureBufferA[120 + 2 * j] = static_cast<uint8_t>(v & 0xFF);
    S.CaptureBufferA[121 + 2 * j] = static_cast<uint8_t>((static_cast<uint16_t>(v) >> 8) & 0xFF);
  }
  f.Mkr1Btn->Click();
  f.Mkr3Btn->Click();
  S.CrossState = 2;

  auto block = [&] {
    const int n = S.TransformSize;
    ConvertSamples(S.BytesPerSample, 2, n, S.ChannelSelect, S.SampleBlock, S.CaptureBufferA,
                   S.CaptureBufferB);
    if (S.DisplayMode == 2) {
      for (int j = 1; j <= n - 1; ++j)
        S.Spectrum[j] = static_cast<float>(S.TimeDcOffset) + S.SampleBlock[j] * S.InputGain;
      f.ScaleTimeTrace();
    } else {
      WindowAndTransform(S.SampleBlock, S.Spectrum, n, S.WindowTable, S.InputGain, S.FftReal,
                         S.FftImag);
      S.PeakFrequency = f.FindPeakFrequency(S.Spectrum, n, S.SizeFactor, S.SampleRate);
      f.ScaleSpectrum();
    }
    f.ClearPlot();
    f.RenderDisplay(S.GraphType, S.DisplayValues);
  };

  for (int n : {1024, 2048, 4096, 8192}) {
    S.TransformSize = n;
    S.SizeFactor = n / 1024;
    ComputeWindowTable(n, 6, S.WindowTable);
    for (int mode : {1, 2, 3}) {
      for (int hold : {1, 2, 3}) {
        for (int axis : {0, 2}) {
          for (int graph : {1, 2}) {
            S.DisplayMode = mode;
            S.HoldMode = hold;
            S.HorizontalScale = axis;
            S.GraphType = graph;
            S.AverageCount = 40;
            CountedScope scope;
            block();
            S.SweepMode = 1;  // the swept-response path of the line graph
            S.SweepPointIndex = 300;
            block();
            S.SweepMode = 0;
            ASSERT_EQ(scope.Count(), 0) << "n " << n << " mode " << mode << " hold " << hold
                                        << " axis " << axis << " graph " << graph;
          }
        }
      }
    }
  }
  EXPECT_GT(S.PeakFrequency, 0.0f);
}

}  // namespace
}  // namespace zorvane
