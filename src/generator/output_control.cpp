// SPDX-License-Identifier: GPL-3.0-or-later
// The output device routines, the output switch, the waveform button and the
// routine every failing device call ends in.
#include <cstring>

#include "app/Zorvane.h"
#include "generator/synthesis.h"

namespace zorvane {

namespace {
constexpr const char* kDeviceTitle = "Wave Device Message";
}

void TZorvaneForm::CheckOutput(uint32_t result, int code, const char* message) {
  S.LastDeviceResult = result;
  if (result == 0) return;
  platform.MessageBox(message, kDeviceTitle);
  HandleDeviceFailure(code);
}

void TZorvaneForm::BuildOutputFormat() {
  S.OutputFormat.FormatTag = WAVE_FORMAT_PCM;
  S.OutputFormat.Channels = S.OutputChannels;
  S.OutputFormat.SamplesPerSec = static_cast<uint32_t>(S.OutputSampleRate);
  S.OutputFormat.AvgBytesPerSec = static_cast<uint32_t>(S.OutputBytesPerSecond);
  S.OutputFormat.BlockAlign = S.OutputBlockAlign;
  S.OutputFormat.BitsPerSample = S.OutputBitsPerSample;
  S.OutputFormat.ExtraSize = 0;
  S.OutputHeader.Data = S.OutputBuffer;
  S.OutputHeader.BufferLength = S.OutputLoopBytes;
  S.OutputHeader.Flags.store(WHDR_BEGINLOOP | WHDR_ENDLOOP);
  S.OutputHeader.Loops = static_cast<uint32_t>(S.OutputLoopCount);
  S.OutputHeader.BytesRecorded.store(0);
  S.OutputHeader.User = 0;
}

void TZorvaneForm::OpenOutputDevice() {
  WaveHandle probe = 0;
  CheckOutput(waveOut.Open(&probe, S.OutputFormat, WAVE_FORMAT_QUERY), 26,
              "Could not handle the output WAVE format");
  CheckOutput(waveOut.Open(&S.OutputDevice, S.OutputFormat, 0), 27,
              "Error Opening Output wave device");
}

void TZorvaneForm::PrepareOutputHeader() {
  CheckOutput(waveOut.Prepare(S.OutputDevice, &S.OutputHeader, kWaveHeaderSize), 28,
              "Error preparing the header");
}

void TZorvaneForm::WriteOutputBuffer() {
  CheckOutput(waveOut.Write(S.OutputDevice, &S.OutputHeader, kWaveHeaderSize), 30,
              "Error writing to the output device");
}

void TZorvaneForm::CloseOutputDevice() {
  CheckOutput(waveOut.Reset(S.OutputDevice), 38, "Error Resetting the output wave device");
  CheckOutput(waveOut.Unprepare(S.OutputDevice, &S.OutputHeader, kWaveHeaderSize), 39,
              "Error unpreparing the _a Header");
  CheckOutput(waveOut.Close(S.OutputDevice), 40, "Error closing the output wave device");
}

void TZorvaneForm::StartOutput() {
  BuildOutputFormat();
  OpenOutputDevice();
  PrepareOutputHeader();
  if (S.OutputPlaying == 1) {
    WriteOutputBuffer();
    if (S.OutputPlaying == 1 && S.AnalyzerStopRequested == 0) {
      StopBtnClick();
      StartBtnClick();
    }
  }
}

void TZorvaneForm::RestartOutput() {
  S.OutputPlaying = 0;
  CloseOutputDevice();
  S.OutputFrequency = S.MusicMode == 0 ? S.FunctionFrequency : S.NoteFrequency;
  SynthesizeWaveform(S.OutputBuffer, S.SynthesisWorkPtr, S.OutputFrequency, S.Waveform,
                     S.OutputLoopBytes, S.NoiseSeed);
  S.OutputLoopCount = -1;
  S.OutputPlaying = 1;
  StartOutput();
}

void TZorvaneForm::OutputBtnClick() {
  if (S.SweepRunning != 0 || S.SweepMode != 0) {
    platform.MessageBox("Freq Mode must be in 'Fixed' mode to generate audio with this button",
                        "Freq Mode Error");
    return;
  }
  if (S.OutputPlaying == 0) {
    S.OutputPlaying = 1;
    S.OutputOn = 1;
    OutputBtn->SetCaption("ON");
    OutputBtn->SetFontColor(colors::Red);
  } else {
    S.OutputPlaying = 0;
    S.OutputOn = 0;
    S.OutputLoopCount = -1;
    OutputBtn->SetCaption("OFF");
    OutputBtn->SetFontColor(colors::Blue);
    CloseOutputDevice();
  }
  if (S.OutputPlaying == 1) {
    S.OutputLoopCount = -1;
    SynthesizeWaveform(S.OutputBuffer, S.SynthesisWorkPtr, S.OutputFrequency, S.Waveform,
                       S.OutputLoopBytes, S.NoiseSeed);
    StartOutput();
  }
}

void TZorvaneForm::WaveformBtnClick() {
  switch (S.Waveform) {
    case 0:
      S.Waveform = 1;
      WaveformBtn->SetCaption("SQUARE");
      WaveformBtn->SetFontColor(colors::Red);
      break;
    case 1:
      S.Waveform = 2;
      WaveformBtn->SetCaption("TRIANGLE");
      WaveformBtn->SetFontColor(colors::Fuchsia);
      break;
    case 2:
      S.Waveform = 3;
      WaveformBtn->SetCaption("NOISE");
      WaveformBtn->SetFontColor(colors::Green);
      break;
    case 3:
      S.Waveform = 0;
      WaveformBtn->SetCaption("SINE");
      WaveformBtn->SetFontColor(colors::Blue);
      break;
    default:
      break;
  }
  if (S.ApplyingConfiguration == 0 && S.OutputOn == 1) RestartOutput();
}

void TZorvaneForm::HandleDeviceFailure(int code) {
  if (code > 2 && code <= 25) {
    // The flag is cleared first so that a close that fails in turn does not
    // send the stop below into a second shutdown of the same device.
    S.CaptureDeviceOpen = 0;
    CloseCaptureDevice();
    StopBtnClick();
  }
  if (code != 26 && code != 27) {
    if (code > 27 && code <= 37) OutputBtnClick();
    if (S.AnalyzerStopRequested == 0) StopBtnClick();
    if (S.OutputPlaying == 1) OutputBtnClick();
  }
  platform.Terminate();
}

void TZorvaneForm::WireGenerator() {
  OutputBtn->OnClick = [this] { OutputBtnClick(); };
  WaveformBtn->OnClick = [this] { WaveformBtnClick(); };
}

}  // namespace zorvane
