#include "platform/loopback/loopback.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/headless/headless_platform.h"

using namespace zorvane;

namespace {

struct Cable : ::testing::Test {
  HeadlessPlatform platform{true};
  LoopbackCable cable{platform};
  std::vector<uint8_t> tone = std::vector<uint8_t>(2 * 441);  // 100 Hz, 441 samples
  WaveHeader play;
  WaveHandle out = 0;

  void StartTone() {
    for (int i = 0; i < 441; ++i) {
      const auto v = static_cast<int16_t>(std::lround(10000 * std::sin(2 * M_PI * i / 441.0)));
      tone[2 * i] = static_cast<uint8_t>(v & 0xFF);
      tone[2 * i + 1] = static_cast<uint8_t>((static_cast<uint16_t>(v) >> 8) & 0xFF);
    }
    WaveFormat f;
    ASSERT_EQ(cable.Out().Open(&out, f, 0), 0u);
    play.Data = tone.data();
    play.BufferLength = static_cast<uint32_t>(tone.size());
    play.Flags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    play.Loops = 0xFFFFFFFF;
    ASSERT_EQ(cable.Out().Prepare(out, &play, 32), 0u);
    ASSERT_EQ(cable.Out().Write(out, &play, 32), 0u);
  }

  static int16_t Sample(const uint8_t* p) { return static_cast<int16_t>(p[0] | (p[1] << 8)); }
};

}  // namespace

TEST_F(Cable, RecordsWhatTheOutputPlaysAtTheCaptureRate) {
  StartTone();
  for (int rate : {44100, 22050, 8000}) {
    WaveFormat f;
    f.SamplesPerSec = static_cast<uint32_t>(rate);
    f.AvgBytesPerSec = static_cast<uint32_t>(rate * 2);
    WaveHandle in = 0;
    ASSERT_EQ(cable.In().Open(&in, f, 0), 0u);
    std::vector<uint8_t> buf(2000);
    WaveHeader h;
    h.Data = buf.data();
    h.BufferLength = 2000;
    ASSERT_EQ(cable.In().Prepare(in, &h, 32), 0u);
    ASSERT_EQ(cable.In().AddBuffer(in, &h, 32), 0u);
    ASSERT_EQ(cable.In().Start(in), 0u);
    const int64_t start = platform.NowUs();
    while (!h.Done()) platform.Sleep(1);
    EXPECT_EQ(h.BytesRecorded.load(), 2000u);
    // Sample k was taken k/rate seconds after the start: the tone at that time.
    for (int k = 0; k < 1000; k += 37) {
      const double t = static_cast<double>(start - 0) / 1e6 + static_cast<double>(k) / rate;
      const double expected = 10000 * std::sin(2 * M_PI * 100.0 * t);
      EXPECT_NEAR(Sample(&buf[2 * k]), expected, 80.0) << "rate " << rate << " sample " << k;
    }
    ASSERT_EQ(cable.In().Reset(in), 0u);
    ASSERT_EQ(cable.In().Unprepare(in, &h, 32), 0u);
    ASSERT_EQ(cable.In().Close(in), 0u);
  }
}

TEST_F(Cable, SilenceWhenNothingPlaysAndRightChannelAtItsGain) {
  WaveFormat f;
  f.Channels = 2;
  f.BlockAlign = 4;
  f.AvgBytesPerSec = 44100 * 4;
  WaveHandle in = 0;
  ASSERT_EQ(cable.In().Open(&in, f, 0), 0u);
  std::vector<uint8_t> a(400, 0xAA), b(400);
  WaveHeader ha, hb;
  ha.Data = a.data();
  ha.BufferLength = 400;
  hb.Data = b.data();
  hb.BufferLength = 400;
  cable.In().Prepare(in, &ha, 32);
  cable.In().AddBuffer(in, &ha, 32);
  cable.In().Start(in);
  while (!ha.Done()) platform.Sleep(1);
  for (uint8_t v : a) EXPECT_EQ(v, 0);
  StartTone();
  cable.In().Prepare(in, &hb, 32);
  cable.In().AddBuffer(in, &hb, 32);
  while (!hb.Done()) platform.Sleep(1);
  int nonzero = 0;
  for (int k = 0; k < 100; ++k) {
    const int left = Sample(&b[4 * k]), right = Sample(&b[4 * k + 2]);
    EXPECT_NEAR(right, left * 0.5, 1.0);
    nonzero += left != 0;
  }
  EXPECT_GT(nonzero, 90);
}

TEST_F(Cable, PositionCountsDeliveredBytesAndResetReturnsQueuedBuffers) {
  WaveFormat f;
  WaveHandle in = 0;
  ASSERT_EQ(cable.In().Open(&in, f, 0), 0u);
  std::vector<uint8_t> a(882), b(882);
  WaveHeader ha, hb;
  ha.Data = a.data();
  ha.BufferLength = 882;
  hb.Data = b.data();
  hb.BufferLength = 882;
  cable.In().Prepare(in, &ha, 32);
  cable.In().Prepare(in, &hb, 32);
  cable.In().AddBuffer(in, &ha, 32);
  cable.In().AddBuffer(in, &hb, 32);
  cable.In().Start(in);
  platform.Sleep(15);  // 661 frames = 1322 bytes
  WaveTime t;
  ASSERT_EQ(cable.In().GetPosition(in, &t, 12), 0u);
  EXPECT_GE(t.Bytes, 1322u);
  EXPECT_LE(t.Bytes, 1330u);
  EXPECT_TRUE(ha.Done());
  EXPECT_FALSE(hb.Done());
  // Close refuses while a buffer is queued; reset hands it back done.
  EXPECT_NE(cable.In().Close(in), 0u);
  ASSERT_EQ(cable.In().Reset(in), 0u);
  EXPECT_TRUE(hb.Done());
  ASSERT_EQ(cable.In().GetPosition(in, &t, 12), 0u);
  EXPECT_EQ(t.Bytes, 0u);
  EXPECT_EQ(cable.In().Close(in), 0u);
}

TEST_F(Cable, FramesWithNoQueuedBufferAreCountedAsOverruns) {
  WaveFormat f;
  WaveHandle in = 0;
  ASSERT_EQ(cable.In().Open(&in, f, 0), 0u);
  std::vector<uint8_t> a(200);
  WaveHeader ha;
  ha.Data = a.data();
  ha.BufferLength = 200;
  cable.In().Prepare(in, &ha, 32);
  cable.In().AddBuffer(in, &ha, 32);
  cable.In().Start(in);
  EXPECT_EQ(cable.Overruns(), 0u);
  platform.Sleep(10);
  EXPECT_TRUE(ha.Done());
  EXPECT_GE(cable.Overruns(), 1u);
}

TEST_F(Cable, RefusesFormatsItCannotCarry) {
  WaveHandle h = 0;
  WaveFormat stereoOut;
  stereoOut.Channels = 2;
  stereoOut.BlockAlign = 4;
  EXPECT_EQ(cable.Out().Open(&h, stereoOut, WAVE_FORMAT_QUERY),
            static_cast<uint32_t>(WAVERR_BADFORMAT));
  WaveFormat badIn;
  badIn.BitsPerSample = 24;
  badIn.BlockAlign = 3;
  EXPECT_EQ(cable.In().Open(&h, badIn, WAVE_FORMAT_QUERY), static_cast<uint32_t>(WAVERR_BADFORMAT));
  WaveFormat ok;
  EXPECT_EQ(cable.In().Open(&h, ok, 0), 0u);
  WaveHandle second = 0;
  EXPECT_EQ(cable.In().Open(&second, ok, 0), static_cast<uint32_t>(MMSYSERR_ALLOCATED));
}
