// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file: 49 little-endian four-byte fields, no header. Read at
// start-up by replaying the stored settings through the controls' own
// handlers, in a fixed order; written when the user quits, into a new file
// that replaces the old one only once it is complete on the disk.
#include "app/configuration.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "app/Zorvane.h"

namespace zorvane {

namespace {

constexpr int kRates[] = {8000, 11025, 22050, 44100, 48000};
constexpr int kSizes[] = {1024, 2048, 4096, 8192};

bool OneOf(int32_t v, std::initializer_list<int32_t> set) {
  return std::find(set.begin(), set.end(), v) != set.end();
}
bool IsRate(int32_t v) {
  return std::find(std::begin(kRates), std::end(kRates), v) != std::end(kRates);
}
bool IsSize(int32_t v) {
  return std::find(std::begin(kSizes), std::end(kSizes), v) != std::end(kSizes);
}
bool Within(int32_t v, int32_t lo, int32_t hi) { return v >= lo && v <= hi; }

void Put(uint8_t* p, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  p[0] = static_cast<uint8_t>(u & 0xFF);
  p[1] = static_cast<uint8_t>((u >> 8) & 0xFF);
  p[2] = static_cast<uint8_t>((u >> 16) & 0xFF);
  p[3] = static_cast<uint8_t>(u >> 24);
}

int32_t Get(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                              (static_cast<uint32_t>(p[2]) << 16) |
                              (static_cast<uint32_t>(p[3]) << 24));
}

float AsFloat(int32_t bits) {
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

int32_t FloatBits(float f) {
  int32_t bits;
  std::memcpy(&bits, &f, 4);
  return bits;
}

// Writes all of `bytes` to fd.
bool WriteAll(int fd, const uint8_t* bytes, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool IsRegularSettingsFile(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The new file's name while it is written: beside the old one, hidden.
std::string TemporaryPattern(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return FolderOf(path) + "/." + path.substr(slash == std::string::npos ? 0 : slash + 1) + ".";
}

void RemoveUnfinishedSaves(const std::string& path) {
  const std::string pattern = TemporaryPattern(path);
  const size_t cut = pattern.find_last_of('/');
  const std::string prefix = pattern.substr(cut + 1);
  DIR* dir = ::opendir(FolderOf(path).c_str());
  if (!dir) return;
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0)
      ::unlink((FolderOf(path) + "/" + name).c_str());
  }
  ::closedir(dir);
}

bool ReplaceFileContents(const std::string& path, const uint8_t* bytes, size_t size) {
  // Only a regular file is replaced: a folder, a device or a link of that
  // name is left alone. The rename below needs no more than the folder's
  // permission, so the file's own is asked first: a file the user may not
  // read or may not write is not theirs to replace.
  struct stat old {};
  const bool existed = ::lstat(path.c_str(), &old) == 0;
  if (existed &&
      (!S_ISREG(old.st_mode) || ::faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) != 0))
    return false;
  const std::string folder = FolderOf(path);
  std::string temp = TemporaryPattern(path) + "XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  const mode_t mode = existed ? (old.st_mode & 07777) : 0644;
  // The new file keeps the old one's owner and group, or the old one stays.
  struct stat made {};
  bool ok = ::fstat(fd, &made) == 0;
  if (ok && existed && (made.st_uid != old.st_uid || made.st_gid != old.st_gid))
    ok = ::fchown(fd, old.st_uid, old.st_gid) == 0;
  ok = ok && WriteAll(fd, bytes, size) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // The new name must reach the disk too.
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

void TZorvaneForm::ConfigurationBytes(uint8_t* bytes) {
  S.LowerFreqPosition = LoFreqScrollBar->Position();
  S.UpperFreqPosition = HiFreqScrollBar->Position();
  S.AnalyzerActive = 0;
  // A display's remembered axis and reference follow their controls, which
  // the user may never have moved: what is in force is what a restart must
  // bring back.
  if (S.DisplayMode != 2) {
    S.FreqViewVerticalAxis = S.VerticalAxisMode;
    S.FreqViewRefPosition = RefScrollBar->Position();
    // What entering this display sets; the start-up state never entered it.
    S.TimeViewVerticalAxis = S.DisplayMode == 3 ? 2 : 0;
  }
  // A sweep that is still unwinding holds its own hold mode, graph type and
  // display; the user's are the ones it will put back.
  const bool sweeping = S.SweepRememberedHold != 0;
  const int32_t fields[kConfigurationFields] = {
      sweeping ? S.SweepRememberedDisplay : S.DisplayMode,
      S.FreqViewSampleRate,
      S.FreqViewTransformSize,
      S.TimeViewTransformSize,
      S.FreqViewVerticalAxis,
      S.NyquistHz,
      S.LowerFreqPosition,
      S.UpperFreqPosition,
      S.FreqViewGain,
      S.FreqViewResolution,
      S.TimeViewResolution,
      S.FreqViewRefPosition,
      S.TimeViewRefPosition,
      0,  // the analyzer never starts out running
      sweeping ? S.SweepRememberedHold : S.HoldMode,
      sweeping ? S.SweepRememberedGraph : S.GraphType,
      S.ChannelSelect,
      S.Marker1On,
      Mkr1ScrollBar->Position(),
      S.Marker2On,
      Mkr2ScrollBar->Position(),
      S.Marker3On,
      Mkr3ScrollBar->Position(),
      S.Marker4On,
      Mkr4ScrollBar->Position(),
      S.AverageCount,
      S.HorizontalScale,
      S.WaterfallColorMap,
      S.DisplayIntervalMs,
      S.TraceColorIndex,
      S.CursorShape,
      S.RefLineOn,
      S.BackgroundWhite,
      S.EofNotify,
      S.TimeViewRefPosition,
      S.TimeViewVerticalAxis,
      S.TimeViewGain,
      S.TimeViewSampleRate,
      FloatBits(S.FunctionFrequency),
      FloatBits(S.NoteFrequency),
      S.NoteIndex,
      S.MusicMode,
      S.Waveform,
      S.SweepMode,
      S.FrequencyRange,
      0,  // reserved
      S.SweepPoints,
      S.SweepLoop,
      1,  // corrected rates are never stored in force
  };
  for (int i = 0; i < kConfigurationFields; ++i) Put(bytes + 4 * i, fields[i]);
}

void TZorvaneForm::SaveConfiguration(const std::string& path) {
  if (path.empty()) return;
  uint8_t bytes[kConfigurationBytes];
  ConfigurationBytes(bytes);
  // Nothing is reported: a file that cannot be written leaves the old one
  // as it was.
  ReplaceFileContents(path, bytes, sizeof bytes);
}

void TZorvaneForm::LoadConfiguration(const std::string& path) {
  if (path.empty() || !IsRegularSettingsFile(path)) return;
  RemoveUnfinishedSaves(path);
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    // Creating: the start-up state, into a file that can be written (a file
    // that cannot be read is left alone: ReplaceFileContents refuses it).
    uint8_t bytes[kConfigurationBytes];
    ConfigurationBytes(bytes);
    ReplaceFileContents(path, bytes, sizeof bytes);
    return;
  }
  uint8_t bytes[kConfigurationBytes];
  const size_t count = std::fread(bytes, 1, sizeof bytes, f);
  std::fclose(f);
  ApplyConfiguration(bytes, count);
}

void TZorvaneForm::ApplyConfiguration(const uint8_t* bytes, size_t count) {
  // Field n (1-based) when the file holds it. A value the instrument cannot
  // use is replaced by the field's default; a missing one leaves its setting
  // as it stands.
  auto has = [count](int n) { return count >= static_cast<size_t>(4 * n); };
  auto raw = [bytes](int n) { return Get(bytes + 4 * (n - 1)); };
  auto field = [&](int n, int32_t fallback, bool (*valid)(int32_t)) {
    const int32_t v = raw(n);
    return valid(v) ? v : fallback;
  };
  // A cycling button brought to a stored value: the variable takes the
  // value's predecessor in the cycle and the button is clicked once.
  auto clickFrom = [this](int32_t& variable, int32_t predecessor, void (TZorvaneForm::*handler)()) {
    variable = predecessor;
    (this->*handler)();
  };

  // 1. The display mode, acted on after field 38.
  const bool haveMode = has(1);
  if (haveMode) S.DisplayMode = field(1, 1, [](int32_t v) { return Within(v, 1, 3); });
  const bool time = S.DisplayMode == 2;

  // 2. The spectrum displays' rate.
  if (has(2)) {
    S.FreqViewSampleRate = field(2, 44100, IsRate);
    S.SampleRate = S.FreqViewSampleRate;
    if (!time) ClickRateItem(S.SampleRate);
  }
  // 3, 4. Transform size of the display shown.
  if (has(3)) S.FreqViewTransformSize = field(3, 1024, IsSize);
  if (has(4)) S.TimeViewTransformSize = field(4, 1024, IsSize);
  if (has(time ? 4 : 3)) {
    S.TransformSize = time ? S.TimeViewTransformSize : S.FreqViewTransformSize;
    ClickSizeItem(S.TransformSize);
  }
  // 5. Vertical axis (cycle 2 -> 1 -> 0 -> 2).
  auto applyAxis = [&](int32_t v) {
    clickFrom(S.VerticalAxisMode, v == 0 ? 1 : v == 1 ? 2 : 0, &TZorvaneForm::VerticalBtnClick);
  };
  if (has(5)) {
    S.FreqViewVerticalAxis = field(5, 0, [](int32_t v) { return Within(v, 0, 2); });
    applyAxis(S.FreqViewVerticalAxis);
  }
  // 6. Half the rate: always the rate in force.
  S.NyquistHz = S.SampleRate / 2;
  // 7, 8. The frequency window.
  if (has(7)) {
    S.LowerFreqPosition = field(7, 1, [](int32_t v) { return Within(v, 0, 512); });
    LoFreqScrollBar->SetPosition(S.LowerFreqPosition);
    LoFreqScrollBarChange();
  }
  if (has(8)) {
    S.UpperFreqPosition = field(8, 512, [](int32_t v) { return Within(v, 1, 512); });
    HiFreqScrollBar->SetPosition(S.UpperFreqPosition);
    HiFreqScrollBarChange();
  }
  // 9. Input gain of the spectrum displays; a position outside the track
  //    bar (a file written at start-up holds 0) leaves it where it stands.
  auto applyGain = [&](int32_t position) {
    if (!Within(position, 1, 18)) return;
    ProcessGainTrackBar->SetPosition(position);
    ProcessGainTrackBarChange();
  };
  if (has(9) && Within(raw(9), 1, 18)) {
    S.FreqViewGain = raw(9);
    if (!time) applyGain(S.FreqViewGain);
  }
  // 10, 11. Resolution (cycle 0 -> 1 -> 2 -> 3 -> 0).
  auto validResolution = [](int32_t v) { return Within(v, 0, 3); };
  if (has(10)) S.FreqViewResolution = field(10, 0, validResolution);
  if (has(11)) S.TimeViewResolution = field(11, 0, validResolution);
  if (has(time ? 11 : 10)) {
    const int32_t v = time ? S.TimeViewResolution : S.FreqViewResolution;
    clickFrom(S.VerticalResolutionIndex, (v + 3) % 4, &TZorvaneForm::VerticalResBtnClick);
  }
  // 12, 13. Reference line (spectrum) or offset (time).
  if (has(12)) S.FreqViewRefPosition = raw(12);
  if (has(13)) S.TimeViewRefPosition = raw(13);
  if (has(time ? 13 : 12)) {
    // The time display's offset reaches past the spectrum's range, which the
    // track bar still has until the display mode is applied below.
    if (time) RefScrollBar->SetRange(0, 301);
    RefScrollBar->SetPosition(time ? S.TimeViewRefPosition : S.FreqViewRefPosition);
    RefScrollBarChange();
  }
  // 14. Read and ignored: the analyzer never starts out marked as running.
  // 15. Hold mode (cycle 1 -> 2 -> 3 -> 1).
  if (has(15)) {
    const int32_t v = field(15, 1, [](int32_t x) { return Within(x, 1, 3); });
    clickFrom(S.HoldMode, v == 1 ? 3 : v - 1, &TZorvaneForm::NormalBtnClick);
  }
  // 16. Line or bar (cycle 1 -> 2 -> 1).
  if (has(16)) {
    const int32_t v = field(16, 1, [](int32_t x) { return Within(x, 1, 2); });
    clickFrom(S.GraphType, v == 1 ? 2 : 1, &TZorvaneForm::LineBarBtnClick);
  }
  // 17. Channel.
  if (has(17)) {
    const int32_t v = field(17, 1, [](int32_t x) { return Within(x, 1, 3); });
    if (v == 1) Mic1Click();
    if (v == 2) Left1Click();
    if (v == 3) Right1Click();
  }
  // 18 ... 25. Markers: the button toggles the flag back to the stored one,
  // then the scroll bar takes the stored position.
  struct Marker {
    int32_t* On;
    void (TZorvaneForm::*Click)();
    Control* Bar;
    void (TZorvaneForm::*Change)();
  };
  const Marker markers[4] = {
      {&S.Marker1On, &TZorvaneForm::Mkr1BtnClick, Mkr1ScrollBar,
       &TZorvaneForm::Mkr1ScrollBarChange},
      {&S.Marker2On, &TZorvaneForm::Mkr2BtnClick, Mkr2ScrollBar,
       &TZorvaneForm::Mkr2ScrollBarChange},
      {&S.Marker3On, &TZorvaneForm::Mkr3BtnClick, Mkr3ScrollBar,
       &TZorvaneForm::Mkr3ScrollBarChange},
      {&S.Marker4On, &TZorvaneForm::Mkr4BtnClick, Mkr4ScrollBar,
       &TZorvaneForm::Mkr4ScrollBarChange},
  };
  for (int k = 0; k < 4; ++k) {
    const Marker& m = markers[k];
    if (has(18 + 2 * k)) {
      const int32_t on = field(18 + 2 * k, 0, [](int32_t v) { return Within(v, 0, 1); });
      *m.On = on == 1 ? 0 : 1;
      (this->*m.Click)();
    }
    if (has(19 + 2 * k)) {
      m.Bar->SetPosition(field(19 + 2 * k, 0, [](int32_t v) { return Within(v, 0, 512); }));
      (this->*m.Change)();
    }
  }
  UpdateMarkerReadouts();
  // 26. Averaging.
  if (has(26)) {
    switch (field(26, 20, [](int32_t v) { return OneOf(v, {2, 4, 6, 8, 10, 20, 40}); })) {
      case 2:
        N21Click();
        break;
      case 4:
        N41Click();
        break;
      case 6:
        N61Click();
        break;
      case 8:
        N81Click();
        break;
      case 10:
        N102Click();
        break;
      case 40:
        N401Click();
        break;
      default:
        N201Click();
        break;
    }
  }
  // 27. Horizontal scale: the button toggles 0 <-> 2; any non-zero value
  //     ends as 2.
  if (has(27)) {
    S.HorizontalScale = raw(27) == 0 ? 2 : 0;
    HorizontalBtnClick();
  }
  // 28. Waterfall colours.
  if (has(28)) {
    S.WaterfallColorMap = field(28, 4, [](int32_t v) { return Within(v, 4, 9); });
    CheckWaterfallColorItem(S.WaterfallColorMap);
  }
  // 29. File playback speed.
  if (has(29)) {
    switch (field(29, 500, [](int32_t v) {
      return OneOf(v, {50, 100, 200, 300, 500, 750, 1000});
    })) {
      case 50:
        N50ms2Click();
        break;
      case 100:
        N100ms2Click();
        break;
      case 200:
        N200ms2Click();
        break;
      case 300:
        N300ms2Click();
        break;
      case 750:
        N750ms2Click();
        break;
      case 1000:
        N1000ms2Click();
        break;
      default:
        N500ms2Click();
        break;
    }
  }
  // 30, 31. Trace colour and cursor.
  if (has(30)) {
    S.TraceColorIndex = field(30, 4, [](int32_t v) { return Within(v, 0, 5); });
    CheckTraceColorItem(S.TraceColorIndex);
  }
  if (has(31)) {
    S.CursorShape = field(31, 1, [](int32_t v) { return Within(v, 1, 3); });
    SetCursorShape(S.CursorShape);
  }
  // 32. Centre line.
  if (has(32)) raw(32) == 1 ? ON1Click() : OFF1Click();
  // 33. Background.
  if (has(33))
    field(33, 0, [](int32_t v) { return v == 0 || v == 5; }) == 0 ? Black1Click() : White1Click();
  // 34. End-of-file notice.
  if (has(34))
    field(34, 1, [](int32_t v) { return Within(v, 0, 1); }) == 1 ? EOF_ONClick() : EOF_OFFClick();
  // 35 ... 38. The time display's own settings, applied when it is shown.
  if (has(35)) {
    S.TimeViewRefPosition = raw(35);
    if (time) {
      RefScrollBar->SetRange(0, 301);
      RefScrollBar->SetPosition(S.TimeViewRefPosition);
    }
  }
  if (has(36)) {
    S.TimeViewVerticalAxis = field(36, 1, [](int32_t v) { return Within(v, 0, 2); });
    if (time) {
      applyAxis(S.TimeViewVerticalAxis);
      clickFrom(S.VerticalResolutionIndex, 0, &TZorvaneForm::VerticalResBtnClick);
      VerticalBtn->SetEnabled(false);
      HorizontalBtn->SetEnabled(false);
    }
  }
  if (has(37) && Within(raw(37), 1, 18)) {
    S.TimeViewGain = raw(37);
    if (time) applyGain(S.TimeViewGain);
  }
  if (has(38)) {
    S.TimeViewSampleRate = field(38, 44100, IsRate);
    if (time) {
      S.SampleRate = S.TimeViewSampleRate;
      ClickRateItem(S.SampleRate);
    }
  }
  S.NyquistHz = S.SampleRate / 2;
  // Both sources start from the settings now in force.
  SaveBoardFormat();
  S.SavedFileFormat = S.SavedBoardFormat;
  // The display mode, through its menu item.
  if (haveMode) {
    if (S.DisplayMode == 1) Frequency1Click();
    if (S.DisplayMode == 3) Waterfall1Click();
    if (S.DisplayMode == 2) TimeDisplayClick();
  }

  S.ApplyingConfiguration = 1;
  // 39 ... 41. The generator's frequencies and note, stored for the
  // handlers below; a frequency outside 20 Hz ... half the rate, or not a
  // number, is the default.
  auto frequency = [&](int n, float fallback) {
    const float v = AsFloat(raw(n));
    return std::isfinite(v) && v >= 20.0f && v <= static_cast<float>(S.SampleRate) / 2.0f
               ? v
               : fallback;
  };
  if (has(39)) S.FunctionFrequency = frequency(39, 200.01f);
  if (has(40)) S.NoteFrequency = frequency(40, 261.63f);
  if (has(41)) S.NoteIndex = field(41, 10, [](int32_t v) { return Within(v, 0, 11); });
  // 42. Function or note mode: the button toggles it to the stored one.
  if (has(42)) {
    S.MusicMode = raw(42) == 0 ? 1 : 0;
    ModeBtnClick();
  }
  // 43. Waveform (cycle 0 -> 1 -> 2 -> 3 -> 0).
  if (has(43)) {
    const int32_t v = field(43, 0, [](int32_t x) { return Within(x, 0, 3); });
    clickFrom(S.Waveform, (v + 3) % 4, &TZorvaneForm::WaveformBtnClick);
  }
  // 44. Fixed or sweep: the button's own rules decide.
  if (has(44)) {
    S.SweepMode = raw(44) == 1 ? 0 : 1;
    SweepBtnClick();
  }
  // 45. Frequency range.
  if (has(45)) {
    switch (field(45, 2, [](int32_t v) { return Within(v, 1, 3); })) {
      case 1:
        LowFreqBtnClick();
        break;
      case 3:
        HighFreqBtnClick();
        break;
      default:
        MidFreqBtnClick();
        break;
    }
  }
  // 46. Reserved, ignored.
  // 47, 48. Sweep points and loop.
  if (has(47)) {
    switch (field(47, 512, [](int32_t v) { return OneOf(v, {32, 64, 128, 256, 512}); })) {
      case 32:
        N32Click();
        break;
      case 64:
        N64Click();
        break;
      case 128:
        N128Click();
        break;
      case 256:
        N256Click();
        break;
      default:
        N512Click();
        break;
    }
  }
  if (has(48)) raw(48) == 1 ? On2Click() : Off2Click();
  // 49. The corrected rates never come back on by themselves.
  S.NormalPcMode = 1;
  S.ApplyingConfiguration = 0;
}

}  // namespace zorvane
