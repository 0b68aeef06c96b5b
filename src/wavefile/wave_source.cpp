// SPDX-License-Identifier: GPL-3.0-or-later
// The WAV file as an analyzer source: opening and checking RIFF/WAVE
// headers, rewinding, closing, and switching the data source between the
// sound card and the file.
#include <algorithm>
#include <climits>
#include <cstdio>

#include "app/Zorvane.h"
#include "wavefile/wave_header.h"

namespace zorvane {

namespace {

constexpr const char* kFileError = "File Error Message";

constexpr const char* kProgramTitle = "Zorvane Function-Sweep Generator";

// The window's title names the open file after the program.
void ShowFileInTitle(TZorvaneForm& form) {
  std::string title = kProgramTitle;
  if (form.S.WaveFileOpen == 1) {
    const std::string& path = form.S.WaveFileName;
    const size_t slash = path.find_last_of('/');
    title += " - " + (slash == std::string::npos ? path : path.substr(slash + 1));
  }
  form.Self->SetCaption(title);
}

void CloseWaveFile(TZorvaneForm& form) {
  AppState& S = form.S;
  if (S.WaveFile) std::fclose(S.WaveFile);
  S.WaveFile = nullptr;
  S.WaveFileOpen = 0;
  ShowFileInTitle(form);
}

}  // namespace

// Reads the header from offset 0 into the file record and leaves the file
// at its first sample byte; on a failed check shows its message, closes the
// file and returns false.
static bool ReadWaveHeader(TZorvaneForm& form) {
  AppState& S = form.S;
  FileByteSource source(S.WaveFile);
  WaveFileInfo info;
  const std::string problem = ReadWaveFileInfo(source, info);
  if (!problem.empty() ||
      std::fseek(S.WaveFile, static_cast<long>(info.DataOffset), SEEK_SET) != 0) {
    form.platform.MessageBox(problem.empty() ? "The file ends inside its header" : problem,
                             kFileError);
    CloseWaveFile(form);
    return false;
  }
  SourceFormat& r = S.SavedFileFormat;
  r.Channels = info.Channels;
  r.SampleRate = static_cast<int32_t>(info.SampleRate);
  r.BytesPerSecond = static_cast<int32_t>(std::min<uint32_t>(info.ByteRate, INT32_MAX));
  r.BlockAlign = info.BlockAlign;
  r.BitsPerSample = info.BitsPerSample;
  // The data end where the file ends, whatever the chunk's size field says.
  S.WaveDataRemaining = static_cast<int32_t>(std::min<uint64_t>(info.DataBytes, INT32_MAX));
  return true;
}

void TZorvaneForm::OpenWavefile1Click() {
  if (S.AnalyzerActive == 1) StopBtnClick();
  if (S.WaveFileOpen == 1) CloseWaveFile(*this);
  const auto path =
      platform.OpenFileDialog("Open Wavefile", {"WAV files (*.wav)", "All files (*)"});
  if (!path) return;
  S.WaveFileName = path->substr(0, 255);
  std::string problem;
  S.WaveFile = OpenRegularFile(*path, problem);
  if (!S.WaveFile) {
    platform.MessageBox("Could not open the file\n" + problem, "File Open Error Message");
    return;
  }
  S.WaveFileOpen = 1;
  if (!ReadWaveHeader(*this)) return;
  ShowFileInTitle(*this);
  S.SavedFileFormat.BufferBytes = 0;
  // The file's settings become live; with the sound card as the source its
  // own record must not take them (the items below save into it), or the
  // next START would open the card at the file's rate.
  const SourceFormat board = S.SavedBoardFormat;
  ApplyFileFormat();
  if (S.InputSource == 1) S.SavedBoardFormat = board;
}

void TZorvaneForm::WaveFileStart() {
  if (S.InputSource != 2 || S.WaveFile == nullptr) return;
  if (!ReadWaveHeader(*this)) return;
  S.CaptureBufferBytes = 0;
}

void TZorvaneForm::CloseWavefile1Click() {
  if (S.WaveFileOpen != 1) return;
  StopBtnClick();
  CloseWaveFile(*this);
}

void TZorvaneForm::SoundBoard1Click() {
  S.InputSource = 1;
  FileTimer->SetEnabled(false);
  Find("SoundBoard1")->SetChecked(true);
  Find("WaveFile1")->SetChecked(false);
  StopBtnClick();
  ApplyBoardFormat();
}

void TZorvaneForm::WaveFile1Click() {
  S.InputSource = 2;
  Find("WaveFile1")->SetChecked(true);
  Find("SoundBoard1")->SetChecked(false);
  ApplyFileFormat();
}

}  // namespace zorvane
