// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/loopback/loopback.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>
#include <tuple>
#include <vector>

#include "platform/audio_option.h"
#include "platform/headless/headless_platform.h"

using namespace zorvane;

namespace {

WaveFormat Pcm(uint16_t channels, uint32_t rate = 44100) {
  return {WAVE_FORMAT_PCM, channels, rate, 2u * channels * rate, uint16_t(2 * channels), 16};
}

// A header over its own 16-bit samples.
struct Buffer : WaveHeader {
  explicit Buffer(size_t samples, int16_t fill = 0) : s(samples, fill) {
    Data = reinterpret_cast<uint8_t*>(s.data()), BufferLength = 2 * samples;
  }
  std::vector<int16_t> s;
};

struct Cable : ::testing::Test {
  explicit Cable(LoopbackOptions options = {}) : cable(platform, std::move(options)) {}
  HeadlessPlatform platform{true};
  LoopbackCable cable;
  Buffer tone{441};  // one cycle of 100 Hz

  // Plays a sine of amplitude 10000 (100 Hz, or a multiple) in a loop until reset.
  void StartTone(int cycles = 1) {
    for (int i = 0; i < 441; ++i)
      tone.s[i] = std::lround(10000 * std::sin(2 * M_PI * cycles * i / 441.0));
    tone.Flags = WHDR_BEGINLOOP | WHDR_ENDLOOP, tone.Loops = 0xFFFFFFFF;
    WaveHandle out = 0;
    ASSERT_TRUE(cable.Out().Open(&out, Pcm(1), 0) == 0 &&
                cable.Out().Prepare(out, &tone, 32) == 0 && cable.Out().Write(out, &tone, 32) == 0);
  }
  uint32_t Position(WaveHandle in) {
    WaveTime t;
    return cable.In().GetPosition(in, &t, 12) == 0 ? t.Bytes : ~0u;
  }
  // Opens the input, queues the buffers and starts recording.
  WaveHandle Record(const WaveFormat& f, std::initializer_list<Buffer*> buffers) {
    WaveHandle in = 0;
    EXPECT_EQ(cable.In().Open(&in, f, 0), 0u);
    for (Buffer* b : buffers)
      EXPECT_TRUE(cable.In().Prepare(in, b, 32) == 0 && cable.In().AddBuffer(in, b, 32) == 0);
    EXPECT_EQ(cable.In().Start(in), 0u);
    return in;
  }
};

}  // namespace

TEST_F(Cable, RecordsWhatTheOutputPlaysAtTheCaptureRate) {
  StartTone();  // at time 0
  // In stereo the right channel carries the signal at its own gain.
  for (const WaveFormat& f : {Pcm(2), Pcm(1), Pcm(1, 8000)}) {
    SCOPED_TRACE(::testing::Message() << f.Channels << " channels at " << f.SamplesPerSec);
    Buffer b(1000 * f.Channels);
    const WaveHandle in = Record(f, {&b});
    const double start = platform.NowUs() / 1e6;
    while (!b.Done()) platform.Sleep(1);
    for (int k = 0; k < 1000; k += 37) {
      const int16_t left = b.s[f.Channels * k];
      const double t = start + 1.0 * k / f.SamplesPerSec;  // when sample k was taken
      EXPECT_NEAR(left, 10000 * std::sin(2 * M_PI * 100.0 * t), 80.0) << "sample " << k;
      EXPECT_TRUE(f.Channels == 1 || std::abs(b.s[2 * k + 1] - left * 0.5) <= 1.0) << "right";
    }
    ASSERT_EQ(cable.In().Close(in), 0u);
  }
}

TEST_F(Cable, PositionOverrunsResetSilenceAndRefusals) {
  WaveHandle h = 0;  // the output plays mono only; the input takes 8 or 16 bits
  const WaveFormat bits24 = {WAVE_FORMAT_PCM, 1, 44100, 132300, 3, 24};
  EXPECT_TRUE(cable.Out().Open(&h, Pcm(2), WAVE_FORMAT_QUERY) == WAVERR_BADFORMAT &&
              cable.In().Open(&h, bits24, WAVE_FORMAT_QUERY) == WAVERR_BADFORMAT);
  Buffer a(441, 0x5555), b(441);
  const WaveHandle in = Record(Pcm(1), {&a, &b});
  EXPECT_EQ(cable.In().Open(&h, Pcm(1), 0), MMSYSERR_ALLOCATED);  // one input at a time
  platform.Sleep(15);                                             // 661 frames = 1322 bytes
  EXPECT_NEAR(Position(in), 1326.0, 4.0);
  EXPECT_TRUE(a.Done() && !b.Done() && cable.Overruns() == 0);
  EXPECT_EQ(a.s, std::vector<int16_t>(441, 0));  // nothing plays: silence
  // Frames arriving with no buffer queued are lost: overruns, not in the position.
  platform.Sleep(10);
  EXPECT_TRUE(b.Done() && cable.Overruns() >= 1);
  EXPECT_EQ(Position(in), 1764u);
  // Close refuses while a buffer is queued; reset hands it back done.
  ASSERT_TRUE(cable.In().AddBuffer(in, &a, 32) == 0 && cable.In().Close(in) != 0 &&
              cable.In().Reset(in) == 0);
  EXPECT_TRUE(a.Done() && Position(in) == 0 && cable.In().Close(in) == 0);
}

TEST_F(Cable, ConversionToTheCaptureRateIsBandLimited) {
  // 5000 Hz lies above half of 8000 Hz: a real input's filter removes it,
  // where sampling the output at the capture rate folds it to 3000 Hz. Below
  // half the rate it passes at its level.
  StartTone(50);
  platform.Sleep(50);  // already playing when the recording starts
  for (auto [rate, low, high] : {std::tuple{8000u, 0.0, 10.0}, {22050u, 9800.0, 10100.0}}) {
    SCOPED_TRACE(rate);
    Buffer b(2000);
    const WaveHandle in = Record(Pcm(1, rate), {&b});
    while (!b.Done()) platform.Sleep(1);
    const int16_t peak = *std::max_element(
        b.s.begin(), b.s.end(), [](int16_t x, int16_t y) { return std::abs(x) < std::abs(y); });
    EXPECT_GE(std::abs(peak), low);
    EXPECT_LE(std::abs(peak), high);
    ASSERT_EQ(cable.In().Close(in), 0u);
  }
}

namespace {

LoopbackOptions Parsed(const char* text) {
  AudioOption option;
  std::string error;
  EXPECT_TRUE(ParseAudioOption(text, option, error)) << error;
  return option.Cable;
}
struct NoisyCable : Cable {
  NoisyCable() : Cable(Parsed("loopback:noise=-40")) {}
};
struct FilteredCable : Cable {
  FilteredCable() : Cable(Parsed("loopback:lowpass=1000")) {}
};
struct LoudCable : Cable {  // five times 60 dB, beyond what a rounding can take
  LoudCable()
      : Cable([] {
          LoopbackOptions o;
          o.Gain = 1e15;
          return o;
        }()) {}
};

}  // namespace

TEST_F(NoisyCable, AddsANoiseFloorOfItsLevel) {
  // -40 dB of a full-scale sine, nothing playing.
  Buffer silence(44100);
  Record(Pcm(1), {&silence});
  while (!silence.Done()) platform.Sleep(10);
  double sum = 0, squares = 0;
  for (int16_t v : silence.s) sum += v, squares += double(v) * v;
  EXPECT_NEAR(sum / 44100, 0.0, 5.0);
  EXPECT_NEAR(std::sqrt(squares / 44100), 32767 / std::sqrt(2.0) / 100, 7.0);
}

TEST_F(FilteredCable, FiltersTheLineAllAlong) {
  // A Butterworth low-pass at 1000 Hz. 2000 Hz plays from t0; the recording
  // starts 300 ms later and holds the filter's steady state from its first
  // sample: a sine at the analog prototype's level, 1 / |1 - W^2 + j sqrt2 W|
  // at W = 2 (-12.3 dB).
  StartTone(20);
  platform.Sleep(300);
  Buffer b(2205);  // 100 periods
  Record(Pcm(1), {&b});
  while (!b.Done()) platform.Sleep(1);
  // The recording's sine and cosine parts at 2000 Hz, and what is left.
  auto part = [&](double (*f)(double), int k) { return f(2 * M_PI * 2000 * k / 44100.0); };
  double c = 0, d = 0;
  for (int k = 0; k < 2205; ++k) {
    c += b.s[k] * part(std::cos, k) * 2 / 2205;
    d += b.s[k] * part(std::sin, k) * 2 / 2205;
  }
  EXPECT_NEAR(20 * std::log10(std::hypot(c, d) / 10000), -10 * std::log10(17.0), 0.1);
  for (int k = 0; k < 2205; ++k)
    ASSERT_NEAR(b.s[k], c * part(std::cos, k) + d * part(std::sin, k), 3.0) << "sample " << k;
}

TEST(CableUnderTest, SectionsFollowTheirAnalogPrototypesUpToTheTopOfTheBand) {
  // |H| of a section at f, in dB, against the analog prototype's.
  auto digital = [](const BiquadCoefficients& c, double f) {
    const std::complex<double> z = std::polar(1.0, -2 * M_PI * f / 44100);
    return 20 *
           std::log10(std::abs((c.B0 + c.B1 * z + c.B2 * z * z) / (1.0 + c.A1 * z + c.A2 * z * z)));
  };
  auto analog = [](LoopbackFilter::Type t, double f0, double q, double f) {
    const std::complex<double> s(0, f / f0), den = s * s + s / q + 1.0;
    return 20 * std::log10(std::abs((t == LoopbackFilter::Type::LowPass ? 1.0 : s * s) / den));
  };
  using T = LoopbackFilter::Type;
  for (auto [type, f0, q] : {std::tuple{T::LowPass, 5000.0, 0.7071},
                             {T::LowPass, 1000.0, 2.0},
                             {T::HighPass, 5000.0, 0.7071},
                             {T::HighPass, 100.0, 0.5}}) {
    const BiquadCoefficients c = DesignBiquad({type, f0, q, 0.0}, 44100);
    for (double f : {50.0, 500.0, 1000.0, 5000.0, 10000.0, 15000.0, 20000.0})
      EXPECT_NEAR(digital(c, f), analog(type, f0, q, f), 0.5) << f0 << " Hz section at " << f;
  }
  // The peaking section: +6 dB at its centre, nothing far from it.
  const BiquadCoefficients peak = DesignBiquad({T::Peak, 2000.0, 2.0, 6.0}, 44100);
  EXPECT_NEAR(digital(peak, 2000), 6.0, 0.01);
  EXPECT_NEAR(digital(peak, 20000), 0.0, 0.05);
}

TEST_F(LoudCable, ClipsAtFullScaleBeforeRounding) {
  StartTone(10);  // 1 kHz: a square wave, not a constant
  Buffer b(2000);
  Record(Pcm(1), {&b});
  while (!b.Done()) platform.Sleep(1);
  const auto top = std::count(b.s.begin(), b.s.end(), int16_t{32767});
  const auto bottom = std::count(b.s.begin(), b.s.end(), int16_t{-32768});
  EXPECT_GT(top + bottom, 1900);
  EXPECT_NEAR(top, bottom, 100);
}
