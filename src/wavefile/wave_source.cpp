// The WAV file as an analyzer source: opening and checking RIFF/WAVE
// headers, rewinding, closing, and switching the data source between the
// sound card and the file.
#include <cstdio>
#include <cstring>

#include "app/Zorvane.h"

namespace zorvane {

namespace {

constexpr const char* kFileError = "File Error Message";

bool ReadBytes(std::FILE* f, void* dst, size_t n) { return std::fread(dst, 1, n, f) == n; }

bool ReadU16(std::FILE* f, uint16_t& v) {
  uint8_t b[2];
  if (!ReadBytes(f, b, 2)) return false;
  v = static_cast<uint16_t>(b[0] | (b[1] << 8));
  return true;
}

bool ReadU32(std::FILE* f, uint32_t& v) {
  uint8_t b[4];
  if (!ReadBytes(f, b, 4)) return false;
  v = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
      (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
  return true;
}

// Reads a four-character identifier and compares it as a whole; a file too
// short for it fails the comparison.
bool Identifier(std::FILE* f, const char* expected) {
  char id[5] = {0, 0, 0, 0, 0};
  if (!ReadBytes(f, id, 4)) return false;
  return std::strcmp(id, expected) == 0;
}

}  // namespace

// Reads the header from offset 0 into the file record; on a failed check
// shows its message, closes the file and returns false.
static bool ReadWaveHeader(TZorvaneForm& form) {
  AppState& S = form.S;
  std::FILE* f = S.WaveFile;
  auto fail = [&](const char* message) {
    form.platform.MessageBox(message, kFileError);
    S.WaveFileOpen = 0;
    std::fclose(S.WaveFile);
    S.WaveFile = nullptr;
    return false;
  };
  std::fseek(f, 0, SEEK_SET);
  uint32_t riffSize = 0, fmtSize = 0, rate = 0, byteRate = 0, dataSize = 0, skip32 = 0;
  uint16_t tag = 0, channels = 0, align = 0, bits = 0;
  if (!Identifier(f, "RIFF")) return fail("Not a RIFF file");
  if (!ReadU32(f, riffSize) || !Identifier(f, "WAVE")) return fail("Not a WAVE file");
  if (!Identifier(f, "fmt ")) return fail("fmt incorrect");
  if (!ReadU32(f, fmtSize) || !ReadU16(f, tag) || !ReadU16(f, channels) || !ReadU32(f, rate) ||
      !ReadU32(f, byteRate) || !ReadU16(f, align) || !ReadU16(f, bits))
    return fail("fmt incorrect");
  // A format the analyzer cannot read at all would divide by zero or read
  // nothing: refuse it as a bad format chunk.
  if (fmtSize < 16 || channels == 0 || rate == 0 || align == 0 || bits == 0)
    return fail("fmt incorrect");
  char id[4];
  if (fmtSize == 16) {
    if (!ReadBytes(f, id, 4) || !ReadU32(f, dataSize)) return fail("fmt incorrect");
  } else {
    if (std::fseek(f, static_cast<long>(fmtSize) - 16, SEEK_CUR) != 0 || !ReadBytes(f, id, 4) ||
        !ReadU32(f, skip32) || !ReadU32(f, skip32) || !ReadBytes(f, id, 4) || !ReadU32(f, dataSize))
      return fail("fmt incorrect");
  }
  SourceFormat& r = S.SavedFileFormat;
  r.Channels = channels;
  r.SampleRate = static_cast<int32_t>(rate);
  r.BytesPerSecond = static_cast<int32_t>(byteRate);
  r.BlockAlign = align;
  r.BitsPerSample = bits;
  S.WaveDataRemaining = dataSize > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int32_t>(dataSize);
  return true;
}

void TZorvaneForm::OpenWavefile1Click() {
  if (S.AnalyzerActive == 1) StopBtnClick();
  if (S.WaveFileOpen == 1) {
    if (S.WaveFile) std::fclose(S.WaveFile);
    S.WaveFile = nullptr;
    S.WaveFileOpen = 0;
  }
  const auto path = platform.OpenFileDialog("Open Wavefile");
  if (!path) return;
  S.WaveFileName = path->substr(0, 255);
  S.WaveFile = std::fopen(path->c_str(), "rb");
  if (!S.WaveFile) {
    platform.MessageBox("Could not open the file", "File Open Error Message");
    return;
  }
  S.WaveFileOpen = 1;
  if (!ReadWaveHeader(*this)) return;
  S.SavedFileFormat.BufferBytes = 0;
  ApplyFileFormat();
}

void TZorvaneForm::WaveFileStart() {
  if (S.InputSource != 2 || S.WaveFile == nullptr) return;
  if (!ReadWaveHeader(*this)) return;
  S.CaptureBufferBytes = 0;
}

void TZorvaneForm::CloseWavefile1Click() {
  if (S.WaveFileOpen != 1) return;
  StopBtnClick();
  if (S.WaveFile) std::fclose(S.WaveFile);
  S.WaveFile = nullptr;
  S.WaveFileOpen = 0;
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
