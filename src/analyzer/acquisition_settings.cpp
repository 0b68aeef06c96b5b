// SPDX-License-Identifier: GPL-3.0-or-later
// The analyzer's acquisition settings: channel, sample rate, transform size,
// averaging, input gain, graph type, hold mode, WAV playback speed and the
// end-of-file notice. A change while the analyzer runs asks the processing
// cycle to reopen the input device at the next buffer boundary.
#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

#include "analyzer/Graphicinterpolate.h"
#include "app/Zorvane.h"

namespace zorvane {

namespace {

// How many transform blocks one capture buffer holds at the high rates.
int BufferFactor(int size, int rate) {
  if (size == 1024) {
    if (rate == 22050) return 2;
    if (rate == 44100 || rate == 48000) return 4;
  } else if (size == 2048) {
    if (rate == 44100 || rate == 48000) return 2;
  }
  return 1;
}

const char* const kRateItems[] = {"N80001", "N110251", "N220501", "N441001", "N480001"};
const char* const kSizeItems[] = {"N10241", "N20481", "N40961", "N81921"};
const char* const kAverageItems[] = {"N21", "N41", "N61", "N81", "N102", "N201", "N401"};
const char* const kSpeedItems[] = {"N50ms2",  "N100ms2", "N200ms2", "N300ms2",
                                   "N500ms2", "N750ms2", "N1000ms2"};
const char* const kChannelItems[] = {"Mic1", "Left1", "Right1"};

// Bytes per second of a capture format, worked out in 64 bits and kept in
// the field's range whatever rate a file or a settings file brought.
int32_t BytesPerSecondOf(int64_t rate, int64_t bytesPerSample, int64_t channels) {
  return static_cast<int32_t>(std::clamp<int64_t>(rate * bytesPerSample * channels, 0, INT32_MAX));
}

}  // namespace

// ---- Channel ----

static void SelectChannel(TZorvaneForm& f, int select) {
  AppState& S = f.S;
  S.ChannelSelect = select;
  for (int i = 0; i < 3; ++i) f.Find(kChannelItems[i])->SetChecked(i == select - 1);
  S.CaptureChannels = select == 1 ? 1 : 2;
  S.CaptureBlockAlign = select == 1 ? 2 : 4;
  S.CaptureBitsPerSample = 16;
  S.BytesPerSample = 2;
  S.CaptureBytesPerSecond = BytesPerSecondOf(S.SampleRate, 2, S.CaptureChannels);
  S.CaptureBufferBytes = static_cast<uint16_t>(S.TransformSize * 2 * S.CaptureChannels);
  if (S.AnalyzerActive == 1) S.CaptureReopenRequested = 1;
  // Each source keeps its channel like its rate and size, so that the next
  // START does not undo a channel chosen while stopped.
  if (S.InputSource == 1) f.SaveBoardFormat();
  if (S.InputSource == 2) S.SavedFileFormat.ChannelSelect = select;
}

void TZorvaneForm::Mic1Click() { SelectChannel(*this, 1); }
void TZorvaneForm::Left1Click() { SelectChannel(*this, 2); }
void TZorvaneForm::Right1Click() { SelectChannel(*this, 3); }

// ---- Sample rate ----

static void SetTimeout(TZorvaneForm& f) {
  const AppState& S = f.S;
  if (S.SampleRate > 0)
    f.TimeoutTimer->SetInterval(static_cast<int>(static_cast<uint32_t>(S.CaptureBufferBytes) *
                                                 600u / static_cast<uint32_t>(S.SampleRate)));
}

static void SelectRate(TZorvaneForm& f, int index, int rate) {
  AppState& S = f.S;
  if (S.SweepRunning == 1) {
    f.platform.MessageBox("Cannot change sample rate while sweeping\n", "Error Message");
    return;
  }
  if (S.AnalyzerActive == 1) S.CaptureReopenRequested = 1;
  for (int i = 0; i < 5; ++i) f.Find(kRateItems[i])->SetChecked(i == index);
  S.SampleRate = rate;
  S.CaptureBytesPerSecond = BytesPerSecondOf(rate, S.BytesPerSample, S.CaptureChannels);
  S.NyquistHz = rate / 2;
  if ((S.TransformSize == 1024 || S.TransformSize == 2048) &&
      (rate == 22050 || rate == 44100 || rate == 48000))
    S.CaptureBufferBytes =
        static_cast<uint16_t>(S.TransformSize * S.BytesPerSample * S.CaptureChannels *
                              BufferFactor(S.TransformSize, rate));
  if (S.DisplayMode == 2)
    S.TimeViewSampleRate = rate;
  else
    S.FreqViewSampleRate = rate;
  f.UpdateDisplayedBins();
  f.UpdateMarkerReadouts();
  if (S.InputSource == 1) f.SaveBoardFormat();
  SetTimeout(f);
}

void TZorvaneForm::N80001Click() { SelectRate(*this, 0, 8000); }
void TZorvaneForm::N110251Click() { SelectRate(*this, 1, 11025); }
void TZorvaneForm::N220501Click() { SelectRate(*this, 2, 22050); }
void TZorvaneForm::N441001Click() { SelectRate(*this, 3, 44100); }
void TZorvaneForm::N480001Click() { SelectRate(*this, 4, 48000); }

// ---- Transform size ----

static void SelectSize(TZorvaneForm& f, int index, int size) {
  AppState& S = f.S;
  if (S.SweepRunning == 1) {
    f.platform.MessageBox("Cannot change transform size while sweeping\n", "Error Message");
    return;
  }
  if (S.AnalyzerActive == 1) S.CaptureReopenRequested = 1;
  for (int i = 0; i < 4; ++i) f.Find(kSizeItems[i])->SetChecked(i == index);
  S.TransformSize = size;
  S.CaptureBufferBytes = static_cast<uint16_t>(size * S.BytesPerSample * S.CaptureChannels *
                                               BufferFactor(size, S.SampleRate));
  S.SizeFactor = size / 1024;
  if (S.DisplayMode == 2)
    S.TimeViewTransformSize = size;
  else
    S.FreqViewTransformSize = size;
  f.UpdateDisplayedBins();
  f.UpdateMarkerReadouts();
  if (S.InputSource == 1) f.SaveBoardFormat();
  if (S.InputSource == 2) S.SavedFileFormat.TransformSize = size;
  SetTimeout(f);
  f.RefreshWindowTable(false);  // the same size and window give the same table
}

void TZorvaneForm::N10241Click() { SelectSize(*this, 0, 1024); }
void TZorvaneForm::N20481Click() { SelectSize(*this, 1, 2048); }
void TZorvaneForm::N40961Click() { SelectSize(*this, 2, 4096); }
void TZorvaneForm::N81921Click() { SelectSize(*this, 3, 8192); }

// ---- Averaging ----

static void SelectAverage(TZorvaneForm& f, int index, int count) {
  for (int i = 0; i < 7; ++i) f.Find(kAverageItems[i])->SetChecked(i == index);
  f.S.AverageCount = count;
}

void TZorvaneForm::N21Click() { SelectAverage(*this, 0, 2); }
void TZorvaneForm::N41Click() { SelectAverage(*this, 1, 4); }
void TZorvaneForm::N61Click() { SelectAverage(*this, 2, 6); }
void TZorvaneForm::N81Click() { SelectAverage(*this, 3, 8); }
void TZorvaneForm::N102Click() { SelectAverage(*this, 4, 10); }
void TZorvaneForm::N201Click() { SelectAverage(*this, 5, 20); }
void TZorvaneForm::N401Click() { SelectAverage(*this, 6, 40); }

// ---- Input gain ----

void TZorvaneForm::ProcessGainTrackBarChange() {
  const int p = ProcessGainTrackBar->Position();
  if (p >= 1 && p <= 18) {
    if (S.DisplayMode == 2) {
      S.InputGain = static_cast<float>(0.01 * std::pow(2.0, p - 9));
    } else if (p == 1) {
      S.InputGain = 1e-6f;
    } else if (p == 2) {
      S.InputGain = 1e-5f;
    } else {
      S.InputGain = static_cast<float>(std::pow(10.0, p - 6));
    }
  }
  if (S.DisplayMode == 2)
    S.TimeViewGain = p;
  else
    S.FreqViewGain = p;
}

// ---- Buttons ----

void TZorvaneForm::LineBarBtnClick() {
  if (S.GraphType == 1) {
    S.GraphType = 2;
    LineBarBtn->SetCaption("BAR");
    LineBarBtn->SetFontColor(colors::Blue);
  } else {
    S.GraphType = 1;
    LineBarBtn->SetCaption("LINE");
    LineBarBtn->SetFontColor(colors::Red);
  }
}

void TZorvaneForm::NormalBtnClick() {
  switch (S.HoldMode) {
    case 1:
      S.HoldMode = 2;
      NormalBtn->SetCaption("AVRG");
      NormalBtn->SetFontColor(colors::Blue);
      break;
    case 2:
      S.HoldMode = 3;
      NormalBtn->SetCaption("PEAK");
      NormalBtn->SetFontColor(colors::Fuchsia);
      break;
    case 3:
      S.HoldMode = 1;
      NormalBtn->SetCaption("NORM");
      NormalBtn->SetFontColor(colors::Red);
      break;
    default:
      break;
  }
}

// ---- WAV playback speed ----

static void SelectSpeed(TZorvaneForm& f, int index, int ms) {
  f.FileTimer->SetInterval(ms);
  f.N_uncheck();
  f.Find(kSpeedItems[index])->SetChecked(true);
  f.S.DisplayIntervalMs = ms;
}

void TZorvaneForm::N_uncheck() {
  for (const char* name : kSpeedItems) Find(name)->SetChecked(false);
}

void TZorvaneForm::N50ms2Click() { SelectSpeed(*this, 0, 50); }
void TZorvaneForm::N100ms2Click() { SelectSpeed(*this, 1, 100); }
void TZorvaneForm::N200ms2Click() { SelectSpeed(*this, 2, 200); }
void TZorvaneForm::N300ms2Click() { SelectSpeed(*this, 3, 300); }
void TZorvaneForm::N500ms2Click() { SelectSpeed(*this, 4, 500); }
void TZorvaneForm::N750ms2Click() { SelectSpeed(*this, 5, 750); }
void TZorvaneForm::N1000ms2Click() { SelectSpeed(*this, 6, 1000); }

// ---- End-of-file notice and PC mode ----

void TZorvaneForm::EOF_ONClick() {
  S.EofNotify = 1;
  Find("EOF_ON")->SetChecked(true);
  Find("EOF_OFF")->SetChecked(false);
}

void TZorvaneForm::EOF_OFFClick() {
  S.EofNotify = 0;
  Find("EOF_ON")->SetChecked(false);
  Find("EOF_OFF")->SetChecked(true);
}

void TZorvaneForm::NormalPC1Click() { S.NormalPcMode = 1; }
void TZorvaneForm::VAIOPC1Click() { S.NormalPcMode = 2; }

// ---- Source records ----

void TZorvaneForm::SaveBoardFormat() {
  SourceFormat& b = S.SavedBoardFormat;
  b.Channels = S.CaptureChannels;
  b.SampleRate = S.SampleRate;
  b.BytesPerSecond = S.CaptureBytesPerSecond;
  b.BlockAlign = S.CaptureBlockAlign;
  b.BitsPerSample = S.CaptureBitsPerSample;
  b.BytesPerSample = S.BytesPerSample;
  b.TransformSize = S.TransformSize;
  b.BufferBytes = S.CaptureBufferBytes;
  b.ChannelSelect = S.ChannelSelect;
}

static void MakeLive(AppState& S, const SourceFormat& r) {
  S.CaptureChannels = r.Channels;
  S.SampleRate = r.SampleRate;
  S.CaptureBytesPerSecond = r.BytesPerSecond;
  S.CaptureBlockAlign = r.BlockAlign;
  S.CaptureBitsPerSample = r.BitsPerSample;
  S.BytesPerSample = r.BytesPerSample;
  S.TransformSize = r.TransformSize;
  S.CaptureBufferBytes = r.BufferBytes;
  S.ChannelSelect = r.ChannelSelect;
}

bool TZorvaneForm::ClickRateItem(int rate) {
  switch (rate) {
    case 8000:
      N80001Click();
      return true;
    case 11025:
      N110251Click();
      return true;
    case 22050:
      N220501Click();
      return true;
    case 44100:
      N441001Click();
      return true;
    case 48000:
      N480001Click();
      return true;
    default:
      return false;
  }
}

bool TZorvaneForm::ClickSizeItem(int size) {
  switch (size) {
    case 1024:
      N10241Click();
      return true;
    case 2048:
      N20481Click();
      return true;
    case 4096:
      N40961Click();
      return true;
    case 8192:
      N81921Click();
      return true;
    default:
      return false;
  }
}

static void ApplyRateItem(TZorvaneForm& f) {
  if (f.ClickRateItem(f.S.SampleRate)) return;
  // A rate no menu item offers (a WAV file's own): keep it, check none.
  for (const char* name : kRateItems) f.Find(name)->SetChecked(false);
  f.S.NyquistHz = f.S.SampleRate / 2;
}

void TZorvaneForm::ApplyBoardFormat() {
  MakeLive(S, S.SavedBoardFormat);
  ApplyRateItem(*this);
  switch (S.ChannelSelect) {
    case 1:
      Mic1Click();
      break;
    case 2:
      Left1Click();
      break;
    case 3:
      Right1Click();
      break;
    default:
      break;
  }
  ClickSizeItem(S.TransformSize);
}

void TZorvaneForm::ApplyFileFormat() {
  MakeLive(S, S.SavedFileFormat);
  ApplyRateItem(*this);
  if (S.CaptureBlockAlign < 4) {
    Mic1Click();
  } else if (S.CaptureBlockAlign == 4) {
    if (S.ChannelSelect == 1 || S.ChannelSelect == 2)
      Left1Click();
    else if (S.ChannelSelect == 3)
      Right1Click();
  }
  // The channel item has set 16-bit capture; the sample size comes from the
  // file's own header.
  if (S.SavedFileFormat.BitsPerSample == 8)
    S.BytesPerSample = 1;
  else if (S.SavedFileFormat.BitsPerSample == 16)
    S.BytesPerSample = 2;
  ClickSizeItem(S.TransformSize);
}

// ---- Event wiring of the analyzer's buttons, menus and timers ----

void TZorvaneForm::WireAcquisition() {
  StartBtn->OnClick = [this] { StartBtnClick(); };
  SingleBtn->OnClick = [this] { SingleBtnClick(); };
  StopBtn->OnClick = [this] { StopBtnClick(); };
  ChartTimer->OnTimer = [this] { ChartTimerTimer(); };
  FileTimer->OnTimer = [this] { FileTimerTimer(); };
  TimeoutTimer->OnTimer = [this] { TimeoutTimerTimer(); };
  LineBarBtn->OnClick = [this] { LineBarBtnClick(); };
  NormalBtn->OnClick = [this] { NormalBtnClick(); };
  ProcessGainTrackBar->OnChange = [this] { ProcessGainTrackBarChange(); };
  WireClicks({
      {"Mic1", &TZorvaneForm::Mic1Click},
      {"Left1", &TZorvaneForm::Left1Click},
      {"Right1", &TZorvaneForm::Right1Click},
      {"N80001", &TZorvaneForm::N80001Click},
      {"N110251", &TZorvaneForm::N110251Click},
      {"N220501", &TZorvaneForm::N220501Click},
      {"N441001", &TZorvaneForm::N441001Click},
      {"N480001", &TZorvaneForm::N480001Click},
      {"N10241", &TZorvaneForm::N10241Click},
      {"N20481", &TZorvaneForm::N20481Click},
      {"N40961", &TZorvaneForm::N40961Click},
      {"N81921", &TZorvaneForm::N81921Click},
      {"N21", &TZorvaneForm::N21Click},
      {"N41", &TZorvaneForm::N41Click},
      {"N61", &TZorvaneForm::N61Click},
      {"N81", &TZorvaneForm::N81Click},
      {"N102", &TZorvaneForm::N102Click},
      {"N201", &TZorvaneForm::N201Click},
      {"N401", &TZorvaneForm::N401Click},
      {"N50ms2", &TZorvaneForm::N50ms2Click},
      {"N100ms2", &TZorvaneForm::N100ms2Click},
      {"N200ms2", &TZorvaneForm::N200ms2Click},
      {"N300ms2", &TZorvaneForm::N300ms2Click},
      {"N500ms2", &TZorvaneForm::N500ms2Click},
      {"N750ms2", &TZorvaneForm::N750ms2Click},
      {"N1000ms2", &TZorvaneForm::N1000ms2Click},
      {"EOF_ON", &TZorvaneForm::EOF_ONClick},
      {"EOF_OFF", &TZorvaneForm::EOF_OFFClick},
      {"OpenWavefile1", &TZorvaneForm::OpenWavefile1Click},
      {"CloseWavefile1", &TZorvaneForm::CloseWavefile1Click},
      {"SoundBoard1", &TZorvaneForm::SoundBoard1Click},
      {"WaveFile1", &TZorvaneForm::WaveFile1Click},
      {"AudioDevices1", &TZorvaneForm::AudioDevices1Click},
  });
}

}  // namespace zorvane
