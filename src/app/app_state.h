// SPDX-License-Identifier: GPL-3.0-or-later
// The program-wide state record, owned by the main form. Every subsystem
// reads and writes these fields by name; the defaults are those the form's
// constructor sets before anything else reads them.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/wave.h"

namespace zorvane {

constexpr int kMaxTransform = 8192;
constexpr int kArrayLen = kMaxTransform + 1;  // 1-based arrays, element 0 unused
constexpr int kSampleBlockLen = 65537;
constexpr int kHistoryRows = 41;
constexpr int kCaptureBufferBytes = 65590;
// A block starts after a lead-in of up to 124 bytes, so its last samples can
// lie up to this many bytes past the bytes a capture buffer records.
constexpr uint32_t kLeadInBytes = 128;
// The bytes of a 16-bit buffer before the first frame the conversion takes.
constexpr uint32_t kConvertLeadIn = 120;
constexpr int kOutputBufferBytes = 200000;
constexpr int kSynthesisWorkLen = 65538;
constexpr int kPlotWidth = 512;
constexpr int kPlotHeight = 203;
constexpr int kTracePixelsLen = kMaxTransform + 1;  // time trace indexes samples up to N-1
constexpr int kSweepPixelsLen = kPlotWidth + 32;    // decimation reads up to n + s (<= 528)

// Acquisition settings kept per data source.
struct SourceFormat {
  uint16_t Channels = 1;
  int32_t SampleRate = 44100;
  int32_t BytesPerSecond = 88200;
  uint16_t BlockAlign = 2;
  uint16_t BitsPerSample = 16;
  int32_t BytesPerSample = 2;
  int32_t TransformSize = 1024;
  uint16_t BufferBytes = 2176;
  int32_t ChannelSelect = 1;
};

// Fixed work arrays, allocated once with the form and reached through the
// pointer fields of the state record.
struct WorkArrays {
  std::array<float, kArrayLen> WindowTable{};
  std::array<int32_t, kSampleBlockLen> SampleBlock{};
  std::array<float, kArrayLen> Spectrum{};
  std::array<float, kArrayLen> FftReal{};
  std::array<float, kArrayLen> FftImag{};
  std::array<float, kArrayLen> HoldSpectrum{};
  std::array<std::array<float, kArrayLen>, kHistoryRows> AverageHistory{};
  std::array<float, kArrayLen> DisplayValues{};
  std::array<float, kArrayLen> SplineSecondDerivatives{};
  std::array<float, kArrayLen> SplineSweep{};
  std::array<float, kSynthesisWorkLen> SynthesisWork{};
  std::array<int32_t, kTracePixelsLen> TracePixels{};
  std::array<int32_t, kSweepPixelsLen> SweepTracePixels{};
  std::array<int32_t, kSweepPixelsLen> PreviousSweepPixels{};
  std::array<int32_t, kSweepPixelsLen> SweepCalCorrection{};
  std::array<float, kSweepPixelsLen> SweepPointLevels{};
};

struct AppState {
  // Generator.
  int32_t Waveform = 0;
  uint16_t OutputLoopBytes = 0;
  float FunctionFrequency = 200.01f;
  int32_t FrequencyRange = 2;
  float OutputFrequency = 200.01f;
  float NoteFrequency = 261.63f;
  int32_t NoteIndex = 10;
  int32_t MusicMode = 0;
  int32_t OutputOn = 0;
  int32_t OutputPlaying = 0;
  int32_t OutputSampleRate = 44100;
  uint16_t OutputChannels = 1;
  uint16_t OutputBlockAlign = 2;
  uint16_t OutputBitsPerSample = 16;
  int32_t OutputBytesPerSecond = 88200;
  int32_t OutputLoopCount = -1;
  WaveFormat OutputFormat;
  WaveHeader OutputHeader;
  WaveHandle OutputDevice = 0;
  uint32_t LastDeviceResult = 0;
  // State of the noise generator (never reseeded, so the noise continues
  // from one synthesis to the next).
  uint32_t NoiseSeed = 1;

  // Sweep.
  int32_t SweepMode = 0;
  int32_t SweepRunning = 0;
  int32_t SweepPoints = 512;
  int32_t SweepPointStep = 1;
  int32_t SweepLoop = 0;
  int32_t SweepCaptureSlot = 2;
  int32_t SweepCalibrating = 0;
  int32_t SweepPointIndex = 0;
  int32_t SweepStartBin = 0;
  // While a sweep runs: the hold mode (0 when none runs), graph type and
  // display it puts back when it ends.
  int32_t SweepRememberedHold = 0;
  int32_t SweepRememberedGraph = 1;
  int32_t SweepRememberedDisplay = 1;
  float SweepBinStep = 0.0f;

  // Analyzer input and transform.
  int32_t SampleRate = 44100;
  int32_t NyquistHz = 22050;
  int32_t TransformSize = 1024;
  int32_t SizeFactor = 1;
  uint16_t CaptureChannels = 1;
  uint16_t CaptureBlockAlign = 2;
  uint16_t CaptureBitsPerSample = 16;
  int32_t BytesPerSample = 2;
  int32_t CaptureBytesPerSecond = 88200;
  uint16_t CaptureBufferBytes = 2176;
  int32_t ChannelSelect = 1;
  int32_t InputSource = 1;
  float InputGain = 10.0f;
  int32_t WindowType = 6;
  // What WindowTable holds now: its size and window code (0 before any).
  int32_t WindowTableSize = 0;
  int32_t WindowTableType = 0;
  int32_t CaptureReopenRequested = 0;
  uint8_t CaptureTimedOut = 0;
  int32_t CaptureDeviceOpen = 0;
  // Counts the shutdowns of the input device: a wait that sees it change has
  // lost its buffer to a handler that ran in the pump.
  int32_t CaptureShutdowns = 0;
  SourceFormat SavedBoardFormat;
  SourceFormat SavedFileFormat;
  WaveFormat CaptureFormat;
  WaveHeader CaptureHeaderA;
  WaveHeader CaptureHeaderB;
  WaveHandle CaptureDevice = 0;
  WaveTime CapturePosition;
  uint8_t* CaptureDataA = nullptr;
  uint8_t* CaptureDataB = nullptr;

  // Processing.
  int32_t AnalyzerActive = 0;
  int32_t AnalyzerStopRequested = 1;
  // Sound-card loops on the stack. A continuous run started by a handler
  // inside a loop's pump (a generator change restarts the analyzer) opens
  // the input and sets AnalyzerRestartRequested, and that loop takes the run
  // over at its next check, so the depth stays 1; only SINGLE, which returns
  // after its own blocks, runs a loop above one that has been stopped.
  int32_t AnalyzerLoopDepth = 0;
  int32_t AnalyzerRestartRequested = 0;
  int32_t RunMode = 1;
  int32_t HoldMode = 1;
  int32_t AverageCount = 20;
  // The averaging history as a ring over rows 1..AverageRingRows: history
  // row r (1 the newest) lives in row 1 + (AverageRingStart + r - 1) mod
  // AverageRingRows, for elements 1..AverageRingCount.
  int32_t AverageRingRows = 0;
  int32_t AverageRingCount = 0;
  int32_t AverageRingStart = 0;
  int32_t DisplayIntervalMs = 500;
  // Batch analysis shows only the last frame: while DrawLastFrameOnly is 1, a
  // block's levels and hold are kept but the frame is neither mapped nor
  // drawn (the waterfall, whose picture is its history, and the sweep always
  // draw); FramesNotDrawn counts those blocks and DrawPendingFrame draws the
  // last one.
  int32_t DrawLastFrameOnly = 0;
  int32_t FramesNotDrawn = 0;
  int32_t FramePending = 0;
  int32_t WaveFileOpen = 0;
  int32_t WaveFileEnded = 0;
  int32_t EofNotify = 1;
  std::FILE* WaveFile = nullptr;
  int32_t WaveDataRemaining = 0;
  std::string WaveFileName;
  float PeakFrequency = 0.0f;
  // Blocks analysed since the start (a reader tells a new block by it).
  uint64_t BlocksAnalysed = 0;
  int32_t DisplayedBins = 0;
  float HzPerPoint = 0.0f;

  // Display.
  int32_t DisplayMode = 1;
  int32_t GraphType = 1;
  int32_t GridOn = 1;
  int32_t HorizontalScale = 0;
  int32_t VerticalAxisMode = 2;
  int32_t VerticalResolutionIndex = 0;
  float VerticalScale = 1.0f;
  float WaterfallScale = 1.0f;
  int32_t WaterfallColorMap = 4;
  int32_t TraceColorIndex = 4;
  int32_t BackgroundWhite = 0;
  int32_t CursorShape = 1;
  int32_t RefLineOn = 1;
  int32_t RefLevelY = 0;
  int32_t TimeDcOffset = 120;
  int32_t TimeTriggerOn = 1;
  int32_t CrossState = 1;
  int32_t CrossX = 0, CrossY = 0;
  int32_t DragStartX = 0, DragStartY = 0;
  int32_t NormalPcMode = 1;
  int32_t PlotWidth = kPlotWidth;
  int32_t PlotHeight = kPlotHeight;
  int32_t PlotBaseline = kPlotHeight - 4;
  int32_t Marker1On = 0, Marker2On = 0, Marker3On = 0, Marker4On = 0;
  int32_t LowerFreqPosition = 0;
  int32_t UpperFreqPosition = 22050;
  int32_t LowerFreqHz = 0, UpperFreqHz = 0;
  int32_t FreqViewSampleRate = 44100;
  int32_t FreqViewTransformSize = 1024;
  int32_t FreqViewVerticalAxis = 0;
  int32_t FreqViewGain = 0;
  int32_t FreqViewResolution = 0;
  int32_t FreqViewRefPosition = 0;
  int32_t TimeViewSampleRate = 44100;
  int32_t TimeViewTransformSize = 1024;
  int32_t TimeViewGain = 0;
  int32_t TimeViewResolution = 0;
  int32_t TimeViewRefPosition = 150;
  int32_t TimeViewVerticalAxis = 1;

  // Shell.
  int32_t Constructing = 1;
  int32_t ApplyingConfiguration = 0;
  std::string ConfigPath;
  std::string HelpPath;
  float DesignWidth = 786.0f;

  // Heap buffers and the pointers to the fixed work arrays.
  uint8_t* CaptureBufferA = nullptr;
  uint8_t* CaptureBufferB = nullptr;
  uint8_t* OutputBuffer = nullptr;
  float* WindowTable = nullptr;
  int32_t* SampleBlock = nullptr;
  float* Spectrum = nullptr;
  float* FftReal = nullptr;
  float* FftImag = nullptr;
  float* HoldSpectrum = nullptr;
  float* DisplayValues = nullptr;
  std::array<float, kArrayLen>* AverageHistory = nullptr;  // rows 0..kHistoryRows-1
  float* SplineSecondDerivatives = nullptr;
  float* SplineSweep = nullptr;
  float* SynthesisWorkPtr = nullptr;
  int32_t* TracePixels = nullptr;
  int32_t* SweepTracePixels = nullptr;
  int32_t* PreviousSweepPixels = nullptr;
  int32_t* SweepCalCorrection = nullptr;
  // The held level (display units) of each measured sweep point's tone, by
  // point, as it stood when the point was measured.
  float* SweepPointLevels = nullptr;
};

}  // namespace zorvane
