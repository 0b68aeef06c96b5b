#include "platform/loopback/loopback.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

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
  HeadlessPlatform platform{true};
  LoopbackCable cable{platform};
  Buffer tone{441};  // one cycle of 100 Hz

  // Plays a 100 Hz sine of amplitude 10000 in a loop until reset.
  void StartTone() {
    for (int i = 0; i < 441; ++i) tone.s[i] = std::lround(10000 * std::sin(2 * M_PI * i / 441.0));
    tone.Flags = WHDR_BEGINLOOP | WHDR_ENDLOOP, tone.Loops = 0xFFFFFFFF;
    WaveHandle out = 0;
    ASSERT_EQ(cable.Out().Open(&out, Pcm(1), 0), 0u);
    ASSERT_EQ(cable.Out().Prepare(out, &tone, 32), 0u);
    ASSERT_EQ(cable.Out().Write(out, &tone, 32), 0u);
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
  Buffer stereo(200);
  WaveHandle in = Record(Pcm(2), {&stereo});
  while (!stereo.Done()) platform.Sleep(1);
  int nonzero = 0;
  for (int k = 0; k < 100; ++k) {
    EXPECT_NEAR(stereo.s[2 * k + 1], stereo.s[2 * k] * 0.5, 1.0);
    nonzero += stereo.s[2 * k] != 0;
  }
  EXPECT_GT(nonzero, 90);
  ASSERT_EQ(cable.In().Close(in), 0u);

  for (uint32_t rate : {44100u, 22050u, 8000u}) {
    Buffer b(1000);
    in = Record(Pcm(1, rate), {&b});
    const double start = platform.NowUs() / 1e6;
    while (!b.Done()) platform.Sleep(1);
    EXPECT_EQ(b.BytesRecorded.load(), 2000u);
    // Sample k was taken k/rate seconds after the start: the tone at that time.
    for (int k = 0; k < 1000; k += 37)
      EXPECT_NEAR(b.s[k], 10000 * std::sin(2 * M_PI * 100.0 * (start + 1.0 * k / rate)), 80.0)
          << "rate " << rate << " sample " << k;
    ASSERT_EQ(cable.In().Close(in), 0u);
  }
}

TEST_F(Cable, PositionOverrunsResetSilenceAndRefusals) {
  WaveFormat bits24 = Pcm(1);
  bits24.BitsPerSample = 24, bits24.BlockAlign = 3;
  WaveHandle h = 0;
  EXPECT_EQ(cable.Out().Open(&h, Pcm(2), WAVE_FORMAT_QUERY), WAVERR_BADFORMAT);  // output is mono
  EXPECT_EQ(cable.In().Open(&h, bits24, WAVE_FORMAT_QUERY), WAVERR_BADFORMAT);

  Buffer a(441, 0x5555), b(441);
  const WaveHandle in = Record(Pcm(1), {&a, &b});
  EXPECT_EQ(cable.In().Open(&h, Pcm(1), 0), MMSYSERR_ALLOCATED);  // one input at a time
  WaveTime t;
  const auto position = [&] {
    EXPECT_EQ(cable.In().GetPosition(in, &t, 12), 0u);
    return t.Bytes;
  };
  platform.Sleep(15);  // 661 frames = 1322 bytes
  EXPECT_TRUE(position() >= 1322u && t.Bytes <= 1330u) << t.Bytes;
  EXPECT_TRUE(a.Done() && !b.Done());
  EXPECT_EQ(a.s, std::vector<int16_t>(441, 0));  // nothing plays: silence
  EXPECT_EQ(cable.Overruns(), 0u);
  // Frames arriving with no buffer queued are lost: overruns, not in the position.
  platform.Sleep(10);
  EXPECT_TRUE(b.Done());
  EXPECT_GE(cable.Overruns(), 1u);
  EXPECT_EQ(position(), 1764u);
  // Close refuses while a buffer is queued; reset hands it back done.
  ASSERT_EQ(cable.In().AddBuffer(in, &a, 32), 0u);
  EXPECT_NE(cable.In().Close(in), 0u);
  ASSERT_EQ(cable.In().Reset(in), 0u);
  EXPECT_TRUE(a.Done());
  EXPECT_EQ(position(), 0u);
  EXPECT_EQ(cable.In().Close(in), 0u);
}
