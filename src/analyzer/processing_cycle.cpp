// SPDX-License-Identifier: GPL-3.0-or-later
// START, SINGLE and STOP, the analyzer's timers, and the acquisition loop:
// with the sound card a double-buffered loop that keeps the window alive by
// pumping messages; with a WAV file one block per tick of the file timer.
#include <algorithm>
#include <cstdio>

#include "analyzer/Graphicinterpolate.h"
#include "app/Zorvane.h"
#include "readouts/readouts.h"

namespace zorvane {

namespace {

void ProcessBlock(TZorvaneForm& f, int bufferChoice) {
  AppState& S = f.S;
  ConvertSamples(S.BytesPerSample, bufferChoice, S.TransformSize, S.ChannelSelect, S.SampleBlock,
                 S.CaptureBufferA, S.CaptureBufferB);
  f.AnalyseSampleBlock();
}

// One block of the file into buffer A: CaptureBufferBytes bytes, and after
// them the bytes that follow in the file (up to the lead-in's length, and
// within the data), which the block's last samples reach into; the file stays
// at the start of the next block. False when the file gives fewer bytes than
// its data should hold (a read error): no block is made up.
bool ReadFileBlock(AppState& S) {
  const uint32_t bytes = S.CaptureBufferBytes;
  if (std::fread(S.CaptureBufferA, 1, bytes, S.WaveFile) != bytes) return false;
  const int64_t after = S.WaveDataRemaining - static_cast<int64_t>(bytes);
  const size_t extra = static_cast<size_t>(std::clamp<int64_t>(
      std::min<int64_t>(after, kCaptureBufferBytes - static_cast<int64_t>(bytes)), 0,
      kLeadInBytes));
  const size_t got = extra ? std::fread(S.CaptureBufferA + bytes, 1, extra, S.WaveFile) : 0;
  std::fill(S.CaptureBufferA + bytes + got,
            S.CaptureBufferA + std::min<size_t>(bytes + kLeadInBytes, kCaptureBufferBytes),
            uint8_t{0});
  if (got > 0) std::fseek(S.WaveFile, -static_cast<long>(got), SEEK_CUR);
  return true;
}

// The end of the file's data: the run stops and, when asked for, says so.
void EndOfFileData(TZorvaneForm& f) {
  f.StartBtnClick();
  f.S.WaveFileEnded = 1;
  if (f.S.EofNotify == 1) f.platform.MessageBox("End of the file data", "File Message");
}

// The file gave fewer bytes than its data should hold: it was cut short, or
// could no longer be read, while it played. The run ends as at the end of
// the data, and this is said whatever "EOF Notify" says.
void FileCutShort(TZorvaneForm& f) {
  f.StartBtnClick();
  f.S.WaveFileEnded = 1;
  f.platform.MessageBox("Could not read the file\n" + f.S.WaveFileName +
                            " ends before its data: it was cut short or cannot be read",
                        "File Error Message");
}

}  // namespace

void TZorvaneForm::AnalyseSampleBlock() {
  Readouts->AnalyzeBlock(S.SampleBlock + 1, S.TransformSize, S.SampleRate, S.BytesPerSample);
  const bool draw = S.DrawLastFrameOnly != 1 || S.DisplayMode == 3 || S.SweepMode == 1;
  if (S.DisplayMode == 1 || S.DisplayMode == 3) {
    WindowAndTransform(S.SampleBlock, S.Spectrum, S.TransformSize, S.WindowTable, S.InputGain,
                       S.FftReal, S.FftImag);
    S.PeakFrequency = FindPeakFrequency(S.Spectrum, S.TransformSize, S.SizeFactor, S.SampleRate);
    ScaleSpectrumLevels();
    if (draw) MapSpectrumToDisplay();
  } else if (S.DisplayMode == 2) {
    for (int j = 1; j <= S.TransformSize - 1; ++j)
      S.Spectrum[j] =
          static_cast<float>(S.TimeDcOffset) + static_cast<float>(S.SampleBlock[j]) * S.InputGain;
    ScaleTimeLevels();
    if (draw) MapTimeTraceToDisplay();
  }
  ++S.BlocksAnalysed;
  if (!draw) {
    ++S.FramesNotDrawn;
    S.FramePending = 1;
    return;
  }
  S.FramePending = 0;
  ClearPlot();
  RenderDisplay(S.GraphType, S.DisplayValues);
}

void TZorvaneForm::DrawPendingFrame() {
  if (S.FramePending != 1) return;
  S.FramePending = 0;
  if (S.DisplayMode == 2)
    MapTimeTraceToDisplay();
  else
    MapSpectrumToDisplay();
  ClearPlot();
  RenderDisplay(S.GraphType, S.DisplayValues);
}

void TZorvaneForm::ProcessBlocks() {
  if (S.AnalyzerActive == 1 && S.InputSource == 1) return;
  S.AnalyzerStopRequested = 0;
  if (S.InputSource == 1) {
    OpenCaptureForRun();
    S.AnalyzerActive = 1;
    // A continuous run started by a handler that ran in the pump of a loop
    // further up the stack (a generator change restarts the analyzer) is
    // carried on by that loop from its next check, instead of a second loop
    // running inside the first until the first is stopped. A single run
    // keeps its own loop: SINGLE returns once its blocks are analysed, and
    // a loop below it has been stopped and ends when it returns.
    if (S.AnalyzerLoopDepth == 0 || S.RunMode != 1) {
      if (!RunCaptureLoop()) return;
    } else if (S.AnalyzerStopRequested == 0) {
      S.AnalyzerRestartRequested = 1;
      return;
    }
  } else {
    S.AnalyzerActive = 1;
  }

  if (S.InputSource == 2) {
    const int slot = 2;
    const uint32_t bytes = S.CaptureBufferBytes;
    if (S.WaveFileOpen != 1 || S.WaveFile == nullptr) {
      FileTimer->SetEnabled(false);
      StopBtnClick();
      platform.MessageBox("No file has been opened", "File Message");
    } else if (bytes > 0 && static_cast<int64_t>(bytes) <= S.WaveDataRemaining) {
      // A last block of exactly one buffer is analysed too; only a shorter
      // rest ends the file.
      platform.ProcessMessages();
      // A handler that ran just now may have closed the file, chosen the
      // sound card, stopped the run or changed the block length.
      if (S.WaveFileOpen != 1 || S.WaveFile == nullptr || S.InputSource != 2 ||
          S.AnalyzerActive != 1 || S.CaptureBufferBytes != bytes)
        return;
      if (!ReadFileBlock(S)) {
        FileCutShort(*this);
        return;
      }
      if (S.DisplayMode == 1 || S.DisplayMode == 3) RefreshWindowTable(false);
      S.WaveDataRemaining -= static_cast<int32_t>(bytes);
      ProcessBlock(*this, slot);
    } else {
      EndOfFileData(*this);
    }
  }
  if (S.RunMode == 2) StopBtnClick();
}

void TZorvaneForm::OpenCaptureForRun() {
  S.CapturePosition.Bytes = 1;
  BuildCaptureFormat();
  OpenCaptureDevice();
  ResetHeaderA();
  PrepareHeaderA();
  QueueBufferA();
  StartCapture();
  S.CaptureDeviceOpen = 1;
}

// The double-buffered loop. False when the call ends here; true when the run
// was stopped at the loop's test or the source has become the file, and
// ProcessBlocks goes on with the file's block and a single run's stop.
bool TZorvaneForm::RunCaptureLoop() {
  struct OnTheStack {
    AppState& S;
    explicit OnTheStack(AppState& s) : S(s) { ++S.AnalyzerLoopDepth; }
    ~OnTheStack() {
      --S.AnalyzerLoopDepth;
      S.AnalyzerRestartRequested = 0;
    }
  } onTheStack(S);
  int blocks = 0;
  int slot = 1;
  // Wait until the recording buffer is half full, queue the other one, then
  // wait for the recording one to complete. The buffers record
  // CaptureRecordBytes each, so the position counts in those. A block length
  // chosen while the run goes on changes that figure before the buffer
  // recording now (queued at the old length) is replaced: once that buffer
  // is full it is past its half whatever the position says, and nothing
  // else is queued that could move the position on.
  auto waitHalf = [&](const WaveHeader& recording) {
    for (;;) {
      if (recording.Done()) return true;
      const uint32_t bytes = CaptureRecordBytes();
      const uint32_t half = bytes / 2u;
      const uint32_t r = S.CapturePosition.Bytes % bytes;
      if (!(r > 0 && r < half)) return true;
      if (S.AnalyzerStopRequested != 0 || platform.Terminated()) return false;
      ReadCapturePosition();
    }
  };
  while (S.AnalyzerStopRequested == 0) {
    if (S.AnalyzerRestartRequested == 1) {
      // A handler stopped the run and started another, whose input is open
      // with buffer A queued: this loop goes on with it from its start.
      S.AnalyzerRestartRequested = 0;
      blocks = 0;
      slot = 1;
    }
    ++blocks;
    if (S.InputSource != 1) return true;
    if (slot == 1) {
      if (!waitHalf(S.CaptureHeaderA)) return false;
      ResetHeaderB();
      PrepareHeaderB();
      QueueBufferB();
      S.CaptureTimedOut = 0;
      ArmCaptureTimeout();
      WaitBufferA();
      // The buffer waited for belonged to a device that a restart has
      // closed: none of it may be touched.
      if (S.AnalyzerRestartRequested == 1) continue;
      // A wait given up because the program is ending leaves the loop
      // before its header, which the device still holds, is touched.
      if (platform.Terminated() && !S.CaptureHeaderA.Done()) return false;
      UnprepareHeaderA();
      if (S.AnalyzerStopRequested == 1) return false;
      if (S.CaptureReopenRequested == 1) {
        platform.Sleep(100);
        S.CaptureReopenRequested = 0;
        ShutdownCapture();
        BuildCaptureFormat();
        OpenCaptureDevice();
        ResetHeaderB();
        PrepareHeaderB();
        QueueBufferB();
        StartCapture();
      }
      TimeoutTimer->SetEnabled(false);
      slot = 2;
    } else {
      if (!waitHalf(S.CaptureHeaderB)) return false;
      ResetHeaderA();
      PrepareHeaderA();
      QueueBufferA();
      S.CaptureTimedOut = 0;
      ArmCaptureTimeout();
      WaitBufferB();
      if (S.AnalyzerRestartRequested == 1) continue;
      if (platform.Terminated() && !S.CaptureHeaderB.Done()) return false;
      UnprepareHeaderB();
      if (S.AnalyzerStopRequested == 1) return false;
      if (S.CaptureReopenRequested == 1) {
        platform.Sleep(100);
        S.CaptureReopenRequested = 0;
        ShutdownCapture();
        BuildCaptureFormat();
        OpenCaptureDevice();
        ResetHeaderA();
        PrepareHeaderA();
        QueueBufferA();
        StartCapture();
      }
      TimeoutTimer->SetEnabled(false);
      slot = 1;
    }
    if (S.AnalyzerStopRequested == 1) return false;
    ProcessBlock(*this, slot);
    if (S.RunMode == 2 && blocks > 7) {
      blocks = 0;
      StopBtnClick();
    }
    platform.ProcessMessages();
  }
  return true;
}

void TZorvaneForm::StartBtnClick() {
  if (S.SweepMode == 1)
    platform.MessageBox("Cannot run while in the Sweep mode\n", "Error Message");
  if (S.AnalyzerActive == 0 && S.SweepRunning == 0 && S.SweepMode != 1) {
    StartBtn->SetFontColor(colors::Red);
    StartBtn->SetCaption("STOP");
    SingleBtn->SetFontColor(colors::Red);
    S.AnalyzerStopRequested = 0;
    S.RunMode = 1;
    if (S.InputSource == 1) {
      ApplyBoardFormat();
      ChartTimer->SetEnabled(true);
      ChartTimerTimer();
    } else {
      if (S.WaveFileOpen == 1 && S.WaveFileEnded == 1) {
        S.WaveFileEnded = 0;
        WaveFileStart();
      }
      ApplyFileFormat();
      S.AnalyzerActive = 1;
      FileTimer->SetEnabled(true);
      FileTimerTimer();
    }
  } else if (S.AnalyzerActive == 1 && S.SweepRunning == 0) {
    StartBtn->SetFontColor(colors::Blue);
    StartBtn->SetCaption("START");
    SingleBtn->SetFontColor(colors::Red);
    S.AnalyzerActive = 0;
    S.AnalyzerStopRequested = 1;
    S.AnalyzerRestartRequested = 0;
    S.CaptureTimedOut = 0;
    TimeoutTimer->SetEnabled(false);
    ShutdownOpenCapture();
    if (S.InputSource != 1) FileTimer->SetEnabled(false);
  }
}

void TZorvaneForm::SingleBtnClick() {
  if (S.SweepMode == 1)
    platform.MessageBox("Cannot run while in the Sweep mode\n", "Error Message");
  if (!(S.AnalyzerActive == 0 && S.SweepRunning == 0 && S.SweepMode != 1)) return;
  SingleBtn->SetFontColor(colors::Blue);
  StartBtn->SetFontColor(colors::Red);
  S.RunMode = 2;
  S.AnalyzerStopRequested = 0;
  if (S.InputSource == 1) {
    ApplyBoardFormat();
    ChartTimer->SetEnabled(true);
    ChartTimerTimer();
  } else {
    if (S.WaveFileOpen == 1 && S.WaveFileEnded == 1) {
      S.WaveFileEnded = 0;
      WaveFileStart();
    }
    ApplyFileFormat();
    S.AnalyzerActive = 1;
    FileTimer->SetEnabled(true);
    FileTimerTimer();
  }
  StopBtnClick();
}

void TZorvaneForm::StopBtnClick() {
  StopBtn->SetFontColor(colors::Red);
  StartBtn->SetFontColor(colors::Red);
  StartBtn->SetCaption("START");
  SingleBtn->SetFontColor(colors::Red);
  S.AnalyzerActive = 0;
  S.AnalyzerStopRequested = 1;
  S.AnalyzerRestartRequested = 0;
  TimeoutTimer->SetEnabled(false);
  ShutdownOpenCapture();
  if (S.InputSource != 1) FileTimer->SetEnabled(false);
}

// The sound card's input, when a run left it open, whatever the source is
// now: a run that the file source took over leaves it open (holding a
// buffer), and a sweep could then not open it for itself.
void TZorvaneForm::ShutdownOpenCapture() {
  if (S.CaptureDeviceOpen != 1) return;
  // Cleared before the shutdown so that a device that keeps failing cannot
  // bring the failure routine back here without end.
  S.CaptureDeviceOpen = 0;
  ShutdownCapture();
}

// Enables the time-out with a full period from now, whatever state an
// earlier run left it in: a period left over from a stopped run would cut the
// first wait of the next one short, and the device reset that follows hands
// back a buffer of the old recording as if it were new.
void TZorvaneForm::ArmCaptureTimeout() {
  TimeoutTimer->SetEnabled(false);
  TimeoutTimer->SetEnabled(true);
}

void TZorvaneForm::RefreshWindowTable(bool always) {
  if (!always && S.WindowTableSize == S.TransformSize && S.WindowTableType == S.WindowType) return;
  ComputeWindowTable(S.TransformSize, S.WindowType, S.WindowTable);
  S.WindowTableSize = S.TransformSize;
  S.WindowTableType = S.WindowType;
}

void TZorvaneForm::ChartTimerTimer() {
  ChartTimer->SetEnabled(false);
  if (S.AnalyzerStopRequested == 0) ProcessBlocks();
}

void TZorvaneForm::FileTimerTimer() {
  if (S.AnalyzerActive == 1) {
    ProcessBlocks();
  } else {
    S.AnalyzerActive = 0;
    StartBtnClick();
    FileTimer->SetEnabled(false);
  }
}

void TZorvaneForm::TimeoutTimerTimer() {
  S.CaptureTimedOut = 1;
  TimeoutTimer->SetEnabled(false);
}

}  // namespace zorvane
