// SPDX-License-Identifier: GPL-3.0-or-later
// WAV files as the analyzer's source: the header reader, and the file source
// under the handlers that can run while it plays.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/wav_bytes.h"

using namespace zorvane;
using namespace zorvane::testing;

TEST(WaveHeader, ChunksAreFoundByTheirIdentifiers) {
  WaveFileInfo i;
  // The plain layout: data at offset 44.
  EXPECT_EQ(WavBytes::Riff().Fmt(1, 1, 44100, 16).Data(100, 100).Read(i), "");
  EXPECT_TRUE(i.DataOffset == 44 && i.DataBytes == 100 && i.SampleRate == 44100 &&
              i.Channels == 1 && i.BitsPerSample == 16 && i.BlockAlign == 2);
  // An 18-byte format chunk followed by a fact chunk.
  EXPECT_EQ(WavBytes::Riff().Fmt(1, 2, 22050, 16, 18).Chunk("fact", 4).Data(8, 8).Read(i), "");
  EXPECT_TRUE(i.DataOffset == 12 + 26 + 12 + 8 && i.DataBytes == 8 && i.Channels == 2);
  // What other tools write: 18 bytes without fact, LIST (odd size, padded)
  // before the data, JUNK before the format.
  EXPECT_EQ(WavBytes::Riff()
                .Chunk("JUNK", 28)
                .Fmt(1, 1, 8000, 8, 18)
                .Chunk("LIST", 27)
                .Data(4, 4)
                .Read(i),
            "");
  EXPECT_TRUE(i.DataOffset == 12 + 36 + 26 + 36 + 8 && i.BitsPerSample == 8 &&
              i.SampleRate == 8000);
  // WAVE_FORMAT_EXTENSIBLE carrying PCM is PCM.
  WavBytes ext = WavBytes::Riff();
  ext.Text("fmt ").U32(40).U16(0xFFFE).U16(2).U32(48000).U32(192000).U16(4).U16(16);
  ext.U16(22).U16(16).U32(3).U16(1);
  const uint8_t tail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  ext.b.insert(ext.b.end(), tail, tail + 14);
  EXPECT_EQ(ext.Data(16, 16).Read(i), "");
  EXPECT_EQ(i.FormatTag, 1);
  ext.b[12 + 8 + 24] = 3;  // the same with IEEE float inside
  EXPECT_EQ(ext.Read(i), "Unsupported WAV format: format tag 3 (not PCM)");
}

TEST(WaveHeader, DamagedAndUnreadableFilesAreNamed) {
  WaveFileInfo i;
  const std::pair<WavBytes, std::string> cases[] = {
      {WavBytes().Text("RI"), "Not a RIFF file"},
      {WavBytes().Text("RIFF").U32(0).Text("AVI "), "Not a WAVE file"},
      {WavBytes::Riff(), "The file ends inside its header"},
      {WavBytes::Riff().Chunk("LIST", 4), "fmt incorrect"},
      {WavBytes::Riff().Text("fmt ").U32(14).Zeros(14), "fmt incorrect"},
      {WavBytes::Riff().Text("fmt ").U32(16).Zeros(6), "The file ends inside its header"},
      {WavBytes::Riff().Fmt(1, 1, 44100, 16), "The file has no data chunk"},
      {WavBytes::Riff().Fmt(1, 1, 44100, 16).Text("da"), "The file ends inside its header"},
      {WavBytes::Riff().Fmt(1, 1, 44100, 16).Text("LIST").U32(1000),
       "The file ends inside its header"},
      // Formats the analyzer cannot read, refused at open.
      {WavBytes::Riff().Fmt(3, 1, 44100, 32), "Unsupported WAV format: format tag 3 (not PCM)"},
      {WavBytes::Riff().Fmt(1, 1, 44100, 24), "Unsupported WAV format: 24-bit samples"},
      {WavBytes::Riff().Fmt(1, 6, 44100, 16), "Unsupported WAV format: 6 channels"},
      {WavBytes::Riff().Fmt(1, 65535, 44100, 16), "Unsupported WAV format: 65535 channels"},
      {WavBytes::Riff().Fmt(1, 0, 44100, 16), "Unsupported WAV format: 0 channels"},
      {WavBytes::Riff().Fmt(1, 2, 44100, 8), "Unsupported WAV format: 8-bit stereo"},
      {WavBytes::Riff().Fmt(1, 1, 0, 16), "Unsupported WAV format: sample rate 0 Hz"},
      {WavBytes::Riff().Fmt(1, 1, 1u << 30, 16),
       "Unsupported WAV format: sample rate 1073741824 Hz"},
      {WavBytes::Riff().Fmt(1, 1, 0x80000000u, 16),
       "Unsupported WAV format: sample rate 2147483648 Hz"},
      {WavBytes::Riff().Fmt(1, 2, 44100, 16, 16, 3),
       "Unsupported WAV format: block align 3 (4 expected)"},
  };
  for (const auto& [bytes, message] : cases) EXPECT_EQ(bytes.Read(i), message) << message;
}

TEST(WaveHeader, AHugeDataSizeEndsWhereTheFileEnds) {
  WaveFileInfo i;
  EXPECT_EQ(WavBytes::Riff().Fmt(1, 1, 8000, 16).Data(0xFFFFFFFFu, 10).Read(i), "");
  EXPECT_TRUE(i.DataBytes == 10 && i.StatedDataBytes == 0xFFFFFFFFu);
}

namespace {

void Open(Rig& rig, const std::string& path) {
  rig.platform.QueueDialogAnswer(path);
  rig.F().OpenWavefile1Click();
}

}  // namespace

TEST(WaveSource, HandlersThatCloseOrReplaceTheFileMidRunLeaveNoReadOfIt) {
  // Each of these runs inside the playback, between two blocks.
  const std::pair<const char*, std::function<void(Rig&)>> actions[] = {
      {"close", [](Rig& r) { r.F().CloseWavefile1Click(); }},
      {"open and cancel",
       [](Rig& r) {
         r.platform.QueueDialogAnswer(std::nullopt);
         r.F().OpenWavefile1Click();
       }},
      {"quit", [](Rig& r) { r.F().QuitBtnClick(); }},
      {"sound card", [](Rig& r) { r.F().SoundBoard1Click(); }},
  };
  for (const auto& [name, action] : actions) {
    SCOPED_TRACE(name);
    Rig rig;
    Open(rig, SineFile(rig.dir, "a.wav", 22050, 1000, 3.0));
    rig.F().WaveFile1Click();
    rig.F().StartBtnClick();
    int frames = 0;
    rig.F().SpectrumBox->OnPaint = [&] { ++frames; };
    rig.At(1200, [&rig, &act = action] { act(rig); });
    rig.Idle(3000);
    EXPECT_GE(frames, 1);
    if (std::string(name) == "quit") {
      EXPECT_TRUE(rig.platform.Terminated());
    } else {
      EXPECT_EQ(rig.S().AnalyzerActive, 0);
      EXPECT_FALSE(rig.F().FileTimer->Enabled());
    }
    EXPECT_TRUE(rig.S().WaveFile == nullptr || std::string(name) == "sound card");
    EXPECT_TRUE(rig.platform.Messages.empty()) << rig.MessageLog();
  }
}

TEST(WaveSource, OpeningAFileWhileTheSoundCardRunsStopsItCleanly) {
  // In the window the file dialog is open for a while, so the capture's
  // time-out fires in the same pump that opens the file: the wait must not
  // restart the device the stop has just closed.
  Rig rig;
  const std::string path = SineFile(rig.dir, "b.wav", 16000, 500, 1.0);
  rig.F().N220501Click();
  rig.F().N20481Click();
  rig.At(400, [&] {
    rig.F().TimeoutTimerTimer();
    Open(rig, path);
  });
  rig.At(900, [&] { rig.F().StopBtnClick(); });
  rig.F().StartBtnClick();
  EXPECT_TRUE(rig.platform.Messages.empty()) << rig.MessageLog();
  EXPECT_FALSE(rig.platform.Terminated());
  EXPECT_EQ(rig.S().WaveFileOpen, 1);
  EXPECT_EQ(rig.F().Self->Caption(), "Zorvane Function-Sweep Generator - b.wav");
  // The file's settings are live; the sound card keeps its own.
  EXPECT_EQ(rig.S().SampleRate, 16000);
  EXPECT_EQ(rig.S().SavedBoardFormat.SampleRate, 22050);
  EXPECT_EQ(rig.S().SavedBoardFormat.TransformSize, 2048);
  rig.At(300, [&] { rig.F().StopBtnClick(); });
  rig.F().StartBtnClick();
  EXPECT_EQ(rig.S().SampleRate, 22050) << "START with the sound card takes its own rate back";
}

TEST(WaveSource, ChoicesMadeForTheFileStayWithIt) {
  Rig rig;
  Open(rig, SineFile(rig.dir, "s.wav", 16000, 1000, 2.0, 2));
  rig.F().WaveFile1Click();
  EXPECT_EQ(rig.S().ChannelSelect, 2) << "a stereo file starts on its left channel";
  rig.F().Right1Click();
  rig.F().N40961Click();
  rig.F().SingleBtnClick();
  EXPECT_EQ(rig.S().SampleRate, 16000);
  EXPECT_NEAR(rig.S().PeakFrequency, 1000.0, 16000.0 / 4096 / 4);
  rig.F().SoundBoard1Click();
  EXPECT_EQ(rig.S().TransformSize, 1024) << "the sound card keeps its own size";
  rig.F().WaveFile1Click();
  EXPECT_EQ(rig.S().TransformSize, 4096);
  EXPECT_EQ(rig.S().ChannelSelect, 3);
}

TEST(WaveSource, TheDataEndWhereTheFileEndsAndABlockOnTheEndIsAnalysed) {
  // At 8000 Hz and 1024 points a block is 2048 bytes. A file of exactly
  // three blocks whose data size claims ten gives three blocks, then the end.
  for (const uint32_t blocks : {3u, 0u}) {
    Rig rig;
    const std::string path = rig.dir.File("short.wav");
    WavBytes::Riff().Fmt(1, 1, 8000, 16).Data(10 * 2048, blocks * 2048).Save(path);
    Open(rig, path);
    rig.F().WaveFile1Click();
    int frames = 0;
    rig.F().SpectrumBox->OnPaint = [&] { ++frames; };
    rig.F().StartBtnClick();
    rig.Idle(10000);
    EXPECT_EQ(frames, static_cast<int>(blocks));
    EXPECT_EQ(rig.S().AnalyzerActive, 0);
    EXPECT_EQ(rig.S().WaveFileEnded, 1);
    EXPECT_EQ(rig.MessageLog(), "[File Message] End of the file data");
  }
}
