// SPDX-License-Identifier: GPL-3.0-or-later
// Both sound libraries' backends (PortAudio's and the PulseAudio one) against the default
// devices (a PulseAudio null sink in CI; skipped without them). Only the mechanics are
// checked here; the e2e tests check the samples.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/portaudio/portaudio_devices.h"
#include "platform/soundcard/sound_card.h"

using namespace zorvane;
using Clock = std::chrono::steady_clock;
using Codes = std::vector<uint32_t>;

namespace {

WaveFormat Pcm(uint16_t channels, uint32_t rate, uint16_t bits) {
  const auto align = static_cast<uint16_t>(channels * bits / 8);
  return {WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits};
}

template <class Condition>
bool WaitFor(Condition condition, double seconds = 5.0) {
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  while (!condition() && Clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return condition();
}

// A header over its own bytes (silence: what the sink gets is not checked).
struct Buffer {
  Buffer(uint32_t n, uint8_t fill = 0) : data(n, fill) { h.Data = data.data(), h.BufferLength = n; }
  std::vector<uint8_t> data;
  WaveHeader h;
};

class SoundCardDevices : public ::testing::TestWithParam<SoundLibrary> {
 protected:
  void SetUp() override {
    std::string description;
    const SoundCard card(GetParam());
    if (!card.HasDefaultDevices(&description))
      GTEST_SKIP() << "no default sound devices: " << description;
    devices = card.Open(nullptr);
  }
  WaveOut& Out() { return *devices.Out; }
  WaveIn& In() { return *devices.In; }
  uint32_t Position(WaveHandle h) {
    WaveTime t;
    EXPECT_EQ(In().GetPosition(h, &t, 12), 0u);
    return t.Bytes;
  }
  AudioDevices devices;
};

}  // namespace

// Starting PortAudio and playing through it keeps the host libraries' own
// messages off the terminal without taking standard error from the rest of
// the process: a line another thread writes meanwhile is never lost.
TEST(PortAudioStderr, HostLibrariesAreSilencedAndOtherThreadsStillHeard) {
  ::testing::internal::CaptureStderr();  // the whole process's file descriptor 2
  std::atomic<bool> done{false};
  int written = 0;
  std::thread writer([&] {
    while (!done.load()) {
      if (write(2, "mark\n", 5) == 5) ++written;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  std::string description;
  if (PortAudioHasDefaultDevices(&description)) {
    AudioDevices devices = OpenPortAudioDevices();
    WaveHandle h = 0;
    Buffer once(4410);
    for (uint16_t channels : {1, 2})
      devices.In->Open(&h, Pcm(channels, 44100, 16), WAVE_FORMAT_QUERY);
    EXPECT_EQ(Codes({devices.Out->Open(&h, Pcm(1, 44100, 16), 0),
                     devices.Out->Prepare(h, &once.h, 32), devices.Out->Write(h, &once.h, 32)}),
              Codes(3, 0));
    EXPECT_TRUE(WaitFor([&] { return once.h.Done(); }));
    EXPECT_EQ(Codes({devices.Out->Unprepare(h, &once.h, 32), devices.Out->Close(h)}), Codes(2, 0));
  }
  done = true;
  writer.join();
  std::string text = ::testing::internal::GetCapturedStderr(), others;
  int marks = 0;
  for (size_t at = 0, end; at < text.size(); at = end + 1) {
    end = std::min(text.find('\n', at), text.size());
    if (text.compare(at, end - at, "mark") == 0)
      ++marks;
    else
      others += text.substr(at, end - at) + "\n";
  }
  EXPECT_EQ(marks, written);
  EXPECT_EQ(others, "") << "PortAudio: " << description;
}

TEST_P(SoundCardDevices, FormatQueriesAcceptPcmAndRefuseOtherLayouts) {
  WaveHandle h = 77;  // a query leaves the handle alone
  for (WaveFormat f : {Pcm(1, 44100, 16), Pcm(2, 44100, 16), Pcm(1, 22050, 16), Pcm(1, 44100, 8)})
    for (uint32_t c : {Out().Open(&h, f, WAVE_FORMAT_QUERY), In().Open(&h, f, WAVE_FORMAT_QUERY)})
      EXPECT_EQ(c, 0u) << f.Channels << "ch " << f.BitsPerSample;
  // 12 bits, three channels, a wrong block size, not PCM, no rate.
  WaveFormat twelveBits = Pcm(1, 44100, 16), badAlign = Pcm(2, 44100, 16), notPcm = twelveBits;
  twelveBits.BitsPerSample = 12, badAlign.BlockAlign = 2, notPcm.FormatTag = 3;
  for (const WaveFormat& f : {twelveBits, Pcm(3, 44100, 16), badAlign, notPcm, Pcm(1, 0, 16)})
    for (uint32_t flags : {WAVE_FORMAT_QUERY, 0u})
      EXPECT_EQ(Codes({Out().Open(&h, f, flags), In().Open(&h, f, flags)}),
                Codes(2, WAVERR_BADFORMAT));
  EXPECT_EQ(h, 77);
}

TEST_P(SoundCardDevices, OutputLoopsUntilResetOrPlaysOnceAndChecksHandleAndHeader) {
  // An idle handle holds no device: a second one opens and plays meanwhile.
  WaveHandle idle = 0, h = 0;
  ASSERT_EQ(Codes({Out().Open(&idle, Pcm(1, 44100, 16), 0), Out().Open(&h, Pcm(1, 44100, 16), 0)}),
            Codes(2, 0));

  Buffer loop(882), once(44100);  // 10 ms looped until reset; half a second played once
  loop.h.Flags = WHDR_BEGINLOOP | WHDR_ENDLOOP, loop.h.Loops = 0xFFFFFFFF;
  once.h.Loops = 5;  // ignored without the loop flags
  ASSERT_EQ(Codes({Out().Write(h, &loop.h, 32), Out().Prepare(h, &loop.h, 32),
                   Out().Write(h, &loop.h, 32)}),
            Codes({WAVERR_UNPREPARED, 0, 0}));
  EXPECT_FALSE(WaitFor([&] { return loop.h.Done(); }, 0.3));  // long after one pass
  // Playing: neither unprepared nor closed (the idle handle closes) until reset.
  EXPECT_EQ(
      Codes({Out().Unprepare(h, &loop.h, 32), Out().Close(h), Out().Close(idle), Out().Reset(h)}),
      Codes({WAVERR_STILLPLAYING, WAVERR_STILLPLAYING, 0, 0}));
  EXPECT_EQ(loop.h.Flags.load() & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
  EXPECT_EQ(Codes({Out().Unprepare(h, &loop.h, 32), Out().Reset(h)}), Codes(2, 0));

  // One pass, done on its own, after which the buffer no longer counts as playing.
  const auto start = Clock::now();
  ASSERT_EQ(Codes({Out().Prepare(h, &once.h, 32), Out().Write(h, &once.h, 32)}), Codes(2, 0));
  ASSERT_TRUE(WaitFor([&] { return once.h.Done(); }, 10.0));
  const double took = std::chrono::duration<double>(Clock::now() - start).count();
  // Done once heard, so not before the half second has played; five more
  // passes would take 3 s.
  EXPECT_TRUE(took >= 0.5 && took < 2.5) << took;
  EXPECT_EQ(Codes({Out().Unprepare(h, &once.h, 32), Out().Close(h)}), Codes(2, 0));

  for (WaveHandle gone : {idle, h, WaveHandle{0}})
    EXPECT_EQ(Codes({Out().Prepare(gone, &loop.h, 32), Out().Write(gone, &loop.h, 32),
                     Out().Reset(gone), Out().Unprepare(gone, &loop.h, 32), Out().Close(gone)}),
              Codes(5, MMSYSERR_INVALHANDLE));
}

TEST_P(SoundCardDevices, InputFillsQueuedBuffersInOrderResetsAndChecksHandleAndHeader) {
  for (auto [format, length] : {std::pair{Pcm(2, 22050, 16), 4411u}, {Pcm(2, 44100, 8), 2205u}}) {
    SCOPED_TRACE(length);  // not always a whole number of frames
    WaveHandle h = 0;
    ASSERT_EQ(In().Open(&h, format, 0), 0u);
    EXPECT_EQ(In().Overruns(), 0u);  // counted afresh from every open
    const uint32_t whole = length - length % format.BlockAlign;
    Buffer a(length, 0xEE), b(length, 0xEE), second(format.AvgBytesPerSec), empty(0),
        tiny(format.BlockAlign - 1u);
    EXPECT_EQ(In().AddBuffer(h, &a.h, 32), WAVERR_UNPREPARED);
    EXPECT_EQ(In().Unprepare(h, &a.h, 32), 0u);  // not prepared: nothing to undo
    for (Buffer* x : {&a, &b, &second, &empty, &tiny}) ASSERT_EQ(In().Prepare(h, &x->h, 32), 0u);
    EXPECT_EQ(Codes({In().AddBuffer(h, &empty.h, 32), In().AddBuffer(h, &tiny.h, 32)}),
              Codes(2, MMSYSERR_INVALPARAM));  // less than one frame
    for (Buffer* x : {&a, &b}) ASSERT_EQ(In().AddBuffer(h, &x->h, 32), 0u);
    // Queued: not queued again, not unprepared, not closed.
    EXPECT_EQ(Codes({In().AddBuffer(h, &a.h, 32), In().Unprepare(h, &a.h, 32), In().Close(h)}),
              Codes(3, WAVERR_STILLPLAYING));
    // No position before the start; a second start finds it running.
    EXPECT_EQ(Codes({Position(h), In().Start(h), In().Start(h)}), Codes(3, 0));
    bool orderKept = true;  // B is only ever done after A: out of order, the wait fails
    ASSERT_TRUE(WaitFor([&] { return (orderKept &= !b.h.Done() || a.h.Done()) && b.h.Done(); }))
        << (orderKept ? "timed out" : "B was done before A");
    // Whole frames only: the bytes after the last one are not written.
    for (Buffer* x : {&a, &b}) {
      EXPECT_EQ(x->h.BytesRecorded.load(), whole);
      for (uint32_t i = whole; i < length; ++i) EXPECT_EQ(x->data[i], 0xEE);
    }

    // With nothing queued the position stands still; the frames arriving are lost, which
    // counts once the recording goes on into another buffer.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(Position(h), 2 * whole);
    ASSERT_EQ(In().AddBuffer(h, &a.h, 32), 0u);  // queued again, A goes on from there
    EXPECT_GT(In().Overruns(), 0u);
    ASSERT_TRUE(WaitFor([&] { return a.h.Done(); }));
    EXPECT_EQ(Position(h), 3 * whole);

    // Reset hands a second-long buffer back part-filled and done, stops, forgets the position.
    ASSERT_EQ(In().AddBuffer(h, &second.h, 32), 0u);
    ASSERT_TRUE(WaitFor([&] { return second.h.BytesRecorded.load() > 0; }));
    ASSERT_EQ(In().Reset(h), 0u);
    const uint32_t partial = second.h.BytesRecorded.load();
    EXPECT_TRUE(second.h.Done() && partial < format.AvgBytesPerSec) << partial;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(Codes({second.h.BytesRecorded.load(), Position(h)}), Codes({partial, 0}));
    // Queued before the restart, like the analyzer after a time-out.
    ASSERT_EQ(Codes({In().AddBuffer(h, &a.h, 32), In().Start(h)}), Codes(2, 0));
    ASSERT_TRUE(WaitFor([&] { return a.h.Done(); }));
    EXPECT_EQ(Position(h), whole);

    // A reset with the device stopped hands a queued buffer back empty.
    ASSERT_EQ(Codes({In().Reset(h), In().AddBuffer(h, &b.h, 32), In().Reset(h)}), Codes(3, 0));
    EXPECT_TRUE(b.h.Done() && b.h.BytesRecorded.load() == 0);
    for (Buffer* x : {&a, &b, &second}) EXPECT_EQ(In().Unprepare(h, &x->h, 32), 0u);
    EXPECT_EQ(In().Close(h), 0u);

    // Closed: only an unprepared header (A, not the still prepared tiny one) can be unprepared.
    WaveTime t;
    const uint32_t bad = MMSYSERR_INVALHANDLE;
    for (WaveHandle gone : {h, WaveHandle{0}})
      EXPECT_EQ(
          Codes({In().Prepare(gone, &a.h, 32), In().AddBuffer(gone, &a.h, 32), In().Start(gone),
                 In().GetPosition(gone, &t, 12), In().Reset(gone), In().Close(gone),
                 In().Unprepare(gone, &tiny.h, 32), In().Unprepare(gone, &a.h, 32)}),
          Codes({bad, bad, bad, bad, bad, bad, bad, 0}));
  }
}

INSTANTIATE_TEST_SUITE_P(Libraries, SoundCardDevices,
                         ::testing::Values(SoundLibrary::PortAudio, SoundLibrary::Pulse),
                         [](const auto& info) {
                           return info.param == SoundLibrary::Pulse ? "Pulse" : "PortAudio";
                         });
