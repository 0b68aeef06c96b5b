// SPDX-License-Identifier: GPL-3.0-or-later
// The sound-card input: one recording device, two capture buffers handed to
// it in turn, and the small operations the processing cycle and the sweep
// call in a fixed order. Every failing call shows its message and ends in
// HandleDeviceFailure.
#include <algorithm>

#include "app/Zorvane.h"

namespace zorvane {

namespace {
constexpr const char* kDeviceTitle = "Wave Device Message";

void InitHeader(WaveHeader& h, uint8_t* data, uint32_t bytes) {
  h.Data = data;
  h.BufferLength = bytes;
  h.Flags.store(0);
  h.Loops = 0;
}
}  // namespace

#define ZV_CHECK_INPUT(call, code, message)       \
  do {                                            \
    S.LastDeviceResult = (call);                  \
    if (S.LastDeviceResult != 0) {                \
      platform.MessageBox(message, kDeviceTitle); \
      HandleDeviceFailure(code);                  \
    }                                             \
  } while (0)

void TZorvaneForm::BuildCaptureFormat() {
  S.CaptureFormat.FormatTag = WAVE_FORMAT_PCM;
  S.CaptureFormat.Channels = S.CaptureChannels;
  S.CaptureFormat.SamplesPerSec = static_cast<uint32_t>(S.SampleRate);
  S.CaptureFormat.AvgBytesPerSec = static_cast<uint32_t>(S.CaptureBytesPerSecond);
  S.CaptureFormat.BlockAlign = S.CaptureBlockAlign;
  S.CaptureFormat.BitsPerSample = S.CaptureBitsPerSample;
  S.CaptureFormat.ExtraSize = 0;
  S.CaptureDataA = S.CaptureBufferA;
  S.CaptureDataB = S.CaptureBufferB;
  InitHeader(S.CaptureHeaderA, S.CaptureDataA, CaptureRecordBytes());
  InitHeader(S.CaptureHeaderB, S.CaptureDataB, CaptureRecordBytes());
}

void TZorvaneForm::ResetHeaderA() {
  InitHeader(S.CaptureHeaderA, S.CaptureDataA, CaptureRecordBytes());
}

void TZorvaneForm::ResetHeaderB() {
  InitHeader(S.CaptureHeaderB, S.CaptureDataB, CaptureRecordBytes());
}

void TZorvaneForm::OpenCaptureDevice() {
  WaveHandle probe = 0;
  ZV_CHECK_INPUT(waveIn.Open(&probe, S.CaptureFormat, WAVE_FORMAT_QUERY), 1,
                 "Could not open the input wave device");
  ZV_CHECK_INPUT(waveIn.Open(&S.CaptureDevice, S.CaptureFormat, 0), 2,
                 "Error Opening Input wave device");
}

void TZorvaneForm::PrepareHeaderA() {
  ZV_CHECK_INPUT(waveIn.Prepare(S.CaptureDevice, &S.CaptureHeaderA, kWaveHeaderSize), 5,
                 "Error preparing the header_a");
}

void TZorvaneForm::PrepareHeaderB() {
  ZV_CHECK_INPUT(waveIn.Prepare(S.CaptureDevice, &S.CaptureHeaderB, kWaveHeaderSize), 7,
                 "Error preparing the header_b");
}

void TZorvaneForm::QueueBufferA() {
  ZV_CHECK_INPUT(waveIn.AddBuffer(S.CaptureDevice, &S.CaptureHeaderA, kWaveHeaderSize), 6,
                 "Error in sending a buffer_a");
}

void TZorvaneForm::QueueBufferB() {
  ZV_CHECK_INPUT(waveIn.AddBuffer(S.CaptureDevice, &S.CaptureHeaderB, kWaveHeaderSize), 8,
                 "Error in sending a buffer_b");
}

void TZorvaneForm::StartCapture() {
  ZV_CHECK_INPUT(waveIn.Start(S.CaptureDevice), 9, "Error starting the input wave device");
}

void TZorvaneForm::ReadCapturePosition() {
  S.CapturePosition.Type = TIME_BYTES;
  ZV_CHECK_INPUT(waveIn.GetPosition(S.CaptureDevice, &S.CapturePosition, kTimeRecordSize), 10,
                 "Error getting the byte position");
}

// Both waits sleep between pumps until the device finishes a buffer or a
// message arrives, so a waiting analyzer costs no processor time. They also
// give up once the application has been asked to end: a device whose reset
// failed never hands its buffers back, and the program could otherwise never
// return to its message loop to finish.
// A handler that ran in the pump may also have shut the device down, and
// perhaps opened it again for a run that the loop takes over (switching the
// output on restarts the analyzer): the buffer this wait was for is gone.
uint32_t TZorvaneForm::WaitBufferA() {
  const int32_t shutdowns = S.CaptureShutdowns;
  while (!S.CaptureHeaderA.Done() && !platform.Terminated()) {
    platform.ProcessMessages();
    if (S.CaptureShutdowns != shutdowns || S.AnalyzerRestartRequested == 1) break;
    if (S.CaptureTimedOut == 1) {
      // A stop handled in the pump just now (STOP, opening a file) has shut
      // the device down: there is nothing left to restart.
      if (S.AnalyzerStopRequested == 0) {
        ResetCaptureDevice();
        StartCapture();
      }
      break;
    }
    if (S.CaptureHeaderA.Done()) break;
    platform.WaitForEvents(Platform::kNoEvent);
  }
  return S.CaptureHeaderA.BytesRecorded.load();
}

uint32_t TZorvaneForm::WaitBufferB() {
  const int32_t shutdowns = S.CaptureShutdowns;
  while (!S.CaptureHeaderB.Done() && !platform.Terminated()) {
    platform.ProcessMessages();
    if (S.CaptureShutdowns != shutdowns || S.AnalyzerRestartRequested == 1) break;
    if (S.CaptureHeaderB.Done()) break;
    platform.WaitForEvents(Platform::kNoEvent);
  }
  return S.CaptureHeaderB.BytesRecorded.load();
}

void TZorvaneForm::ResetCaptureDevice() {
  ZV_CHECK_INPUT(waveIn.Reset(S.CaptureDevice), 15, "Error Resetting the input wave device");
}

void TZorvaneForm::UnprepareHeaderA() {
  ZV_CHECK_INPUT(waveIn.Unprepare(S.CaptureDevice, &S.CaptureHeaderA, kWaveHeaderSize), 16,
                 "Error unpreparing the Header a");
}

void TZorvaneForm::UnprepareHeaderB() {
  ZV_CHECK_INPUT(waveIn.Unprepare(S.CaptureDevice, &S.CaptureHeaderB, kWaveHeaderSize), 17,
                 "Error unpreparing the Header b");
}

void TZorvaneForm::CloseCaptureDevice() {
  ZV_CHECK_INPUT(waveIn.Close(S.CaptureDevice), 0, "Error closing the input wave device");
}

void TZorvaneForm::ShutdownCapture() {
  ++S.CaptureShutdowns;
  ZV_CHECK_INPUT(waveIn.Reset(S.CaptureDevice), 0, "Error Resetting the input wave device");
  ZV_CHECK_INPUT(waveIn.Unprepare(S.CaptureDevice, &S.CaptureHeaderA, kWaveHeaderSize), 20,
                 "Error unpreparing the _a Header");
  ZV_CHECK_INPUT(waveIn.Unprepare(S.CaptureDevice, &S.CaptureHeaderB, kWaveHeaderSize), 21,
                 "Error unpreparing the _b Header");
  ZV_CHECK_INPUT(waveIn.Close(S.CaptureDevice), 22, "Error closing the input wave device");
}

#undef ZV_CHECK_INPUT

// The conversion takes sample j (j = 1..N) of a 16-bit buffer from byte
// 120 + j x frame, so the block ends one frame past the lead-in and N frames.
// With the buffer set to the bare block (the rate factor 1, and every sweep
// point) those last frames would lie beyond the recording; the device records
// them too. A longer buffer only stretches the time between two blocks.
uint32_t TZorvaneForm::CaptureRecordBytes() const {
  const uint32_t frame = static_cast<uint32_t>(std::max(1, S.BytesPerSample)) *
                         std::max<uint32_t>(1u, S.CaptureChannels);
  const uint32_t n = static_cast<uint32_t>(std::clamp(S.TransformSize, 0, kMaxTransform));
  const uint32_t lead = S.BytesPerSample == 2 ? kConvertLeadIn : 0u;
  const uint32_t block = lead + (n + 1u) * frame;
  return std::min<uint32_t>(std::max<uint32_t>(S.CaptureBufferBytes, block),
                            static_cast<uint32_t>(kCaptureBufferBytes));
}

}  // namespace zorvane
