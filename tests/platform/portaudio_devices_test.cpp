// The PortAudio backend against the machine's default devices (the test
// script's PulseAudio null sink and its monitor). Every test is skipped when
// there is no default output and input. What is recorded depends on whatever
// else plays, so these tests check the mechanics (codes, done flags, byte
// counts, order, position, overruns); the e2e tests check the samples.
#include "platform/portaudio/portaudio_devices.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace zorvane;
using Clock = std::chrono::steady_clock;

namespace {

WaveFormat Pcm(uint16_t channels, uint32_t rate, uint16_t bits) {
  WaveFormat f;
  f.Channels = channels;
  f.SamplesPerSec = rate;
  f.BitsPerSample = bits;
  f.BlockAlign = static_cast<uint16_t>(channels * bits / 8);
  f.AvgBytesPerSec = rate * f.BlockAlign;
  return f;
}

// Polls until the condition holds or the time is up; true when it held.
bool WaitFor(const std::function<bool()>& condition, double seconds = 5.0) {
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  while (!condition()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

struct Buffer {
  explicit Buffer(uint32_t bytes, uint8_t fill = 0) : data(bytes, fill) {
    header.Data = data.data();
    header.BufferLength = bytes;
  }
  std::vector<uint8_t> data;
  WaveHeader header;
  WaveHeader* operator->() { return &header; }
  WaveHeader* get() { return &header; }
};

class PortAudioDevices : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string description;
    if (!PortAudioHasDefaultDevices(&description))
      GTEST_SKIP() << "no default sound devices: " << description;
    devices = OpenPortAudioDevices();
  }
  WaveOut& Out() { return *devices.Out; }
  WaveIn& In() { return *devices.In; }
  AudioDevices devices;
};

// A 1000 Hz sine in 16-bit mono.
struct Tone : Buffer {
  explicit Tone(uint32_t frames) : Buffer(frames * 2) {
    for (uint32_t i = 0; i < frames; ++i) {
      const auto v = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 1000.0 * i / 44100.0));
      data[2 * i] = static_cast<uint8_t>(v & 0xFF);
      data[2 * i + 1] = static_cast<uint8_t>((static_cast<uint16_t>(v) >> 8) & 0xFF);
    }
  }
};

}  // namespace

TEST(PortAudioLibrary, ProbingLeavesStandardErrorWhereItWas) {
  struct stat before {
  }, after{};
  ASSERT_EQ(fstat(2, &before), 0);
  std::string description;
  const bool found = PortAudioHasDefaultDevices(&description);
  EXPECT_EQ(PortAudioHasDefaultDevices(), found);  // a second call gives the same answer
  ASSERT_EQ(fstat(2, &after), 0);
  EXPECT_EQ(before.st_dev, after.st_dev);
  EXPECT_EQ(before.st_ino, after.st_ino);
  EXPECT_FALSE(description.empty());
}

TEST_F(PortAudioDevices, FormatQueriesAcceptPcmAndRefuseOtherLayouts) {
  for (WaveFormat f : {Pcm(1, 44100, 16), Pcm(2, 44100, 16), Pcm(1, 22050, 16), Pcm(1, 44100, 8)}) {
    WaveHandle untouched = 77;
    EXPECT_EQ(Out().Open(&untouched, f, WAVE_FORMAT_QUERY), 0u)
        << f.Channels << "ch " << f.SamplesPerSec;
    EXPECT_EQ(In().Open(&untouched, f, WAVE_FORMAT_QUERY), 0u)
        << f.Channels << "ch " << f.SamplesPerSec;
    EXPECT_EQ(untouched, 77);
  }
  WaveFormat twelveBits = Pcm(1, 44100, 16);
  twelveBits.BitsPerSample = 12;
  WaveFormat threeChannels = Pcm(3, 44100, 16);
  WaveFormat wrongAlign = Pcm(2, 44100, 16);
  wrongAlign.BlockAlign = 2;
  WaveFormat notPcm = Pcm(1, 44100, 16);
  notPcm.FormatTag = 3;
  WaveFormat noRate = Pcm(1, 0, 16);
  for (const WaveFormat& f : {twelveBits, threeChannels, wrongAlign, notPcm, noRate}) {
    WaveHandle h = 0;
    EXPECT_EQ(Out().Open(&h, f, WAVE_FORMAT_QUERY), WAVERR_BADFORMAT);
    EXPECT_EQ(Out().Open(&h, f, 0), WAVERR_BADFORMAT);
    EXPECT_EQ(In().Open(&h, f, WAVE_FORMAT_QUERY), WAVERR_BADFORMAT);
    EXPECT_EQ(In().Open(&h, f, 0), WAVERR_BADFORMAT);
    EXPECT_EQ(h, 0);
  }
}

TEST_F(PortAudioDevices, OutputCallsCheckTheHandleAndTheHeaderState) {
  WaveHandle first = 0, second = 0;
  ASSERT_EQ(Out().Open(&first, Pcm(1, 44100, 16), 0), 0u);
  // An idle handle holds no device: a second one opens and plays meanwhile.
  ASSERT_EQ(Out().Open(&second, Pcm(1, 44100, 16), 0), 0u);
  EXPECT_NE(first, 0);
  EXPECT_NE(first, second);

  Tone tone(441);
  tone->Flags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
  tone->Loops = 0xFFFFFFFF;
  EXPECT_EQ(Out().Write(second, tone.get(), 32), WAVERR_UNPREPARED);
  ASSERT_EQ(Out().Prepare(second, tone.get(), 32), 0u);
  EXPECT_TRUE(tone->Flags.load() & WHDR_PREPARED);
  ASSERT_EQ(Out().Write(second, tone.get(), 32), 0u);
  EXPECT_FALSE(tone->Done());
  EXPECT_EQ(Out().Unprepare(second, tone.get(), 32), WAVERR_STILLPLAYING);
  EXPECT_EQ(Out().Close(second), WAVERR_STILLPLAYING);
  EXPECT_EQ(Out().Close(first), 0u);

  EXPECT_EQ(Out().Reset(second), 0u);
  EXPECT_TRUE(tone->Done());
  EXPECT_FALSE(tone->Flags.load() & WHDR_INQUEUE);
  EXPECT_EQ(Out().Unprepare(second, tone.get(), 32), 0u);
  EXPECT_FALSE(tone->Flags.load() & WHDR_PREPARED);
  EXPECT_EQ(Out().Reset(second), 0u);  // nothing playing: nothing to do
  EXPECT_EQ(Out().Close(second), 0u);

  for (WaveHandle gone : {first, second, WaveHandle{0}}) {
    EXPECT_EQ(Out().Prepare(gone, tone.get(), 32), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(Out().Write(gone, tone.get(), 32), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(Out().Reset(gone), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(Out().Unprepare(gone, tone.get(), 32), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(Out().Close(gone), MMSYSERR_INVALHANDLE);
  }
}

TEST_F(PortAudioDevices, OutputLoopsUntilResetAndCountedPassesEnd) {
  WaveHandle h = 0;
  ASSERT_EQ(Out().Open(&h, Pcm(1, 44100, 16), 0), 0u);

  // 10 ms looped without end: still playing long after one pass.
  Tone endless(441);
  endless->Flags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
  endless->Loops = 0xFFFFFFFF;
  ASSERT_EQ(Out().Prepare(h, endless.get(), 32), 0u);
  ASSERT_EQ(Out().Write(h, endless.get(), 32), 0u);
  EXPECT_FALSE(WaitFor([&] { return endless->Done(); }, 0.3));
  ASSERT_EQ(Out().Reset(h), 0u);
  EXPECT_TRUE(endless->Done());
  ASSERT_EQ(Out().Unprepare(h, endless.get(), 32), 0u);

  // Three passes of 200 ms: done on its own, not before most of it played.
  Tone counted(8820);
  counted->Flags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
  counted->Loops = 3;
  ASSERT_EQ(Out().Prepare(h, counted.get(), 32), 0u);
  const auto start = Clock::now();
  ASSERT_EQ(Out().Write(h, counted.get(), 32), 0u);
  ASSERT_TRUE(WaitFor([&] { return counted->Done(); }, 10.0));
  EXPECT_GE(std::chrono::duration<double>(Clock::now() - start).count(), 0.4);
  // A finished buffer no longer counts as playing.
  EXPECT_EQ(Out().Unprepare(h, counted.get(), 32), 0u);
  EXPECT_EQ(Out().Close(h), 0u);
}

TEST_F(PortAudioDevices, OutputWithoutLoopFlagsPlaysOnce) {
  WaveHandle h = 0;
  ASSERT_EQ(Out().Open(&h, Pcm(1, 44100, 16), 0), 0u);
  Tone once(22050);  // half a second
  once->Loops = 5;   // ignored without the loop flags
  ASSERT_EQ(Out().Prepare(h, once.get(), 32), 0u);
  const auto start = Clock::now();
  ASSERT_EQ(Out().Write(h, once.get(), 32), 0u);
  ASSERT_TRUE(WaitFor([&] { return once->Done(); }, 10.0));
  const double took = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_GE(took, 0.3);
  EXPECT_LT(took, 2.5);  // five more passes would take 3 s
  EXPECT_EQ(Out().Reset(h), 0u);
  EXPECT_EQ(Out().Unprepare(h, once.get(), 32), 0u);
  EXPECT_EQ(Out().Close(h), 0u);
}

TEST_F(PortAudioDevices, InputFillsQueuedBuffersInOrderAndCountsPosition) {
  struct Case {
    WaveFormat format;
    uint32_t length;  // not always a whole number of frames
  };
  for (const Case& c : {Case{Pcm(1, 44100, 16), 4410}, Case{Pcm(2, 22050, 16), 4411},
                        Case{Pcm(1, 44100, 8), 2205}, Case{Pcm(2, 44100, 8), 2205}}) {
    SCOPED_TRACE(std::to_string(c.format.Channels) + "ch " +
                 std::to_string(c.format.SamplesPerSec) + " Hz " +
                 std::to_string(c.format.BitsPerSample) + " bits");
    WaveHandle h = 0;
    ASSERT_EQ(In().Open(&h, c.format, 0), 0u);
    EXPECT_EQ(In().Overruns(), 0u);  // counted afresh from every open
    const uint32_t whole = c.length - c.length % c.format.BlockAlign;
    Buffer a(c.length, 0xEE), b(c.length, 0xEE);
    for (Buffer* x : {&a, &b}) {
      ASSERT_EQ(In().Prepare(h, x->get(), 32), 0u);
      ASSERT_EQ(In().AddBuffer(h, x->get(), 32), 0u);
      EXPECT_TRUE((*x)->Flags.load() & WHDR_INQUEUE);
    }
    WaveTime t;
    ASSERT_EQ(In().GetPosition(h, &t, 12), 0u);
    EXPECT_EQ(t.Bytes, 0u);  // nothing before the start
    EXPECT_FALSE(a->Done());
    ASSERT_EQ(In().Start(h), 0u);

    // B is only ever done after A.
    bool orderKept = true;
    ASSERT_TRUE(WaitFor([&] {
      if (b->Done() && !a->Done()) orderKept = false;
      return b->Done();
    }));
    EXPECT_TRUE(orderKept);
    EXPECT_TRUE(a->Done());
    for (Buffer* x : {&a, &b}) {
      EXPECT_EQ((*x)->BytesRecorded.load(), whole);
      EXPECT_FALSE((*x)->Flags.load() & WHDR_INQUEUE);
      // The bytes after the last whole frame are not written.
      for (uint32_t i = whole; i < c.length; ++i) EXPECT_EQ(x->data[i], 0xEE);
    }

    // With nothing queued the position stands at what the buffers took, and
    // the frames arriving meanwhile are counted as lost.
    ASSERT_TRUE(WaitFor([&] { return In().Overruns() > 0; }));
    ASSERT_EQ(In().GetPosition(h, &t, 12), 0u);
    EXPECT_EQ(t.Type, TIME_BYTES);
    EXPECT_EQ(t.Bytes, 2 * whole);

    // Queued again, A goes on from there.
    ASSERT_EQ(In().AddBuffer(h, a.get(), 32), 0u);
    EXPECT_FALSE(a->Done());
    ASSERT_TRUE(WaitFor([&] { return a->Done(); }));
    ASSERT_EQ(In().GetPosition(h, &t, 12), 0u);
    EXPECT_EQ(t.Bytes, 3 * whole);

    EXPECT_EQ(In().Reset(h), 0u);
    EXPECT_EQ(In().Unprepare(h, a.get(), 32), 0u);
    EXPECT_EQ(In().Unprepare(h, b.get(), 32), 0u);
    EXPECT_EQ(In().Close(h), 0u);
  }
}

TEST_F(PortAudioDevices, InputResetReturnsQueuedBuffersAndRestarts) {
  const WaveFormat f = Pcm(1, 44100, 16);
  WaveHandle h = 0;
  ASSERT_EQ(In().Open(&h, f, 0), 0u);
  Buffer a(882), b(88200);  // 10 ms, then a whole second
  for (Buffer* x : {&a, &b}) {
    ASSERT_EQ(In().Prepare(h, x->get(), 32), 0u);
    ASSERT_EQ(In().AddBuffer(h, x->get(), 32), 0u);
  }
  ASSERT_EQ(In().Start(h), 0u);
  EXPECT_EQ(In().Start(h), 0u);  // already running
  ASSERT_TRUE(WaitFor([&] { return a->Done() && b->BytesRecorded.load() > 0; }));
  EXPECT_FALSE(b->Done());

  // Reset hands B back part-filled, marked done, and forgets the position.
  ASSERT_EQ(In().Reset(h), 0u);
  EXPECT_TRUE(b->Done());
  EXPECT_FALSE(b->Flags.load() & WHDR_INQUEUE);
  const uint32_t partial = b->BytesRecorded.load();
  EXPECT_GT(partial, 0u);
  EXPECT_LT(partial, 88200u);
  WaveTime t;
  ASSERT_EQ(In().GetPosition(h, &t, 12), 0u);
  EXPECT_EQ(t.Bytes, 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(b->BytesRecorded.load(), partial);  // stopped: nothing more arrives
  ASSERT_EQ(In().GetPosition(h, &t, 12), 0u);
  EXPECT_EQ(t.Bytes, 0u);

  // Queued before the restart, like the analyzer after a time-out.
  ASSERT_EQ(In().AddBuffer(h, a.get(), 32), 0u);
  EXPECT_EQ(a->BytesRecorded.load(), 0u);
  ASSERT_EQ(In().Start(h), 0u);
  ASSERT_TRUE(WaitFor([&] { return a->Done(); }));
  ASSERT_EQ(In().GetPosition(h, &t, 12), 0u);
  EXPECT_EQ(t.Bytes, 882u);

  // Reset with buffers queued but the device stopped.
  ASSERT_EQ(In().Reset(h), 0u);
  ASSERT_EQ(In().AddBuffer(h, a.get(), 32), 0u);
  ASSERT_EQ(In().AddBuffer(h, b.get(), 32), 0u);
  ASSERT_EQ(In().Reset(h), 0u);
  for (Buffer* x : {&a, &b}) {
    EXPECT_TRUE((*x)->Done());
    EXPECT_EQ((*x)->BytesRecorded.load(), 0u);
  }
  EXPECT_EQ(In().Unprepare(h, a.get(), 32), 0u);
  EXPECT_EQ(In().Unprepare(h, b.get(), 32), 0u);
  EXPECT_EQ(In().Close(h), 0u);
}

TEST_F(PortAudioDevices, InputCallsCheckTheHandleAndTheHeaderState) {
  WaveHandle h = 0;
  ASSERT_EQ(In().Open(&h, Pcm(2, 44100, 16), 0), 0u);
  Buffer a(4096), empty(0), tiny(3);
  EXPECT_EQ(In().AddBuffer(h, a.get(), 32), WAVERR_UNPREPARED);
  EXPECT_EQ(In().Unprepare(h, a.get(), 32), 0u);  // not prepared: nothing to undo
  ASSERT_EQ(In().Prepare(h, a.get(), 32), 0u);
  ASSERT_EQ(In().Prepare(h, empty.get(), 32), 0u);
  ASSERT_EQ(In().Prepare(h, tiny.get(), 32), 0u);
  EXPECT_EQ(In().AddBuffer(h, empty.get(), 32), MMSYSERR_INVALPARAM);
  EXPECT_EQ(In().AddBuffer(h, tiny.get(), 32), MMSYSERR_INVALPARAM);  // less than one frame
  ASSERT_EQ(In().AddBuffer(h, a.get(), 32), 0u);
  EXPECT_EQ(In().AddBuffer(h, a.get(), 32), WAVERR_STILLPLAYING);  // already queued
  EXPECT_EQ(In().Unprepare(h, a.get(), 32), WAVERR_STILLPLAYING);
  EXPECT_EQ(In().Close(h), WAVERR_STILLPLAYING);
  ASSERT_EQ(In().Reset(h), 0u);
  EXPECT_EQ(In().Unprepare(h, a.get(), 32), 0u);
  EXPECT_EQ(In().Close(h), 0u);

  WaveTime t;
  for (WaveHandle gone : {h, WaveHandle{0}}) {
    EXPECT_EQ(In().Prepare(gone, a.get(), 32), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(In().AddBuffer(gone, a.get(), 32), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(In().Start(gone), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(In().GetPosition(gone, &t, 12), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(In().Reset(gone), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(In().Close(gone), MMSYSERR_INVALHANDLE);
    // A header that is no longer prepared needs no device to be unprepared
    // (a stop can shut the device down under a waiting loop); one still
    // marked prepared does.
    EXPECT_EQ(In().Unprepare(gone, a.get(), 32), 0u);
    EXPECT_EQ(In().Unprepare(gone, tiny.get(), 32), MMSYSERR_INVALHANDLE);
    EXPECT_TRUE(tiny->Flags.load() & WHDR_PREPARED);
  }
}
