// SPDX-License-Identifier: GPL-3.0-or-later
// How the analyzer's data look: the frequency, waterfall and time displays,
// the horizontal and vertical scales, the vertical resolution with its scale
// labels, the reference level, the centre line, the trace, background and
// waterfall colours and the mouse cursor over the plot.
//
// The time display keeps its own sample rate, transform size, input gain,
// reference position and resolution. Every switch between it and the two
// spectrum displays files the settings in force under the display being left
// and brings back the other set by replaying the setting handlers, so that
// captions, check marks and derived values follow as they would for a click.
#include <cmath>
#include <utility>

#include "app/Zorvane.h"

namespace zorvane {

namespace {

using namespace colors;

const char* const kDisplayItems[3] = {"Frequency1", "Waterfall1", "TimeDisplay"};
const char* const kTraceItems[6] = {"Black2", "Aqua1", "Lime1", "Red1", "Yellow1", "White2"};
// Waterfall colour items by map number 4..9.
const char* const kWaterfallItems[6] = {"PsuedoColor1", "BlackandWhite1", "Red3",
                                        "Green2",       "Blue2",          "RedGreen2"};
// Cursor items by shape 1..3.
const char* const kCursorItems[3] = {"Cross1", "Arrow1", "Magnify1"};

constexpr int kFrequencyDisplay = 1;
constexpr int kTimeDisplay = 2;
constexpr int kWaterfallDisplay = 3;

// One step of the resolution button: caption, font, pixels per display unit,
// the eleven scale labels and the left positions (design pixels; -1 leaves a
// label where it is).
struct Resolution {
  const char* Caption;
  Color Font;
  float Scale;
  const char* Labels[11];
  int Lefts[11];
};

constexpr Resolution kResolutions[4] = {
    {"10 dB",
     Blue,
     1.0f,
     {"0", "10", "20", "30", "40", "50", "60", "70", "80", "90", "100"},
     {-1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 0}},
    {"5 dB",
     Red,
     2.0f,
     {" 0", " 5", "10", "15", "20", "25", "30", "35", "40", "45", "50"},
     {-1, 8, 2, 2, 2, 2, 2, 2, 2, 2, 2}},
    {"2 dB",
     Green,
     5.0f,
     {"0", "2", "4", "6", "8", "10", "12", "14", "16", "18", "20"},
     {-1, 8, 8, 8, 8, 2, 2, 2, 2, 2, 2}},
    {"1 dB",
     Fuchsia,
     10.0f,
     {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"},
     {-1, 8, 8, 8, 8, 8, 8, 8, 8, 8, 2}},
};

// The time display's labels: +50 at the top to -50 at the bottom.
constexpr const char* kTimeLabels[11] = {" 50",   "   40", "   30", "   20", "   10", "    0",
                                         "  -10", "  -20", "  -30", "  -40", "  -50"};

// Moves a label to a left position given in design pixels, scaled as the
// window was scaled at start-up.
void PlaceLabel(Control* label, int designLeft) {
  const int designWidth = label->DesignWidth();
  if (designWidth <= 0) {
    label->SetLeft(designLeft);
    return;
  }
  label->SetLeft(static_cast<int>(
      std::lround(static_cast<double>(designLeft) * label->Width() / designWidth)));
}

void CheckOnly(TZorvaneForm& f, const char* const* items, int count, int chosen) {
  for (int i = 0; i < count; ++i) f.Find(items[i])->SetChecked(i == chosen);
}

// Brings VerticalAxisMode to v through its button (cycle 2 -> 1 -> 0 -> 2);
// a value outside the cycle is only stored.
void ReapplyAxis(TZorvaneForm& f, int v) {
  static constexpr int kPredecessor[3] = {1, 2, 0};
  if (v >= 0 && v <= 2) {
    f.S.VerticalAxisMode = kPredecessor[v];
    f.VerticalBtnClick();
  } else {
    f.S.VerticalAxisMode = v;
  }
}

// Brings VerticalResolutionIndex to v through its button (cycle 0 -> 1 -> 2
// -> 3 -> 0); a value outside the cycle is only stored.
void ReapplyResolution(TZorvaneForm& f, int v) {
  if (v >= 0 && v <= 3) {
    f.S.VerticalResolutionIndex = (v + 3) % 4;
    f.VerticalResBtnClick();
  } else {
    f.S.VerticalResolutionIndex = v;
  }
}

// The transform size and sample rate take effect through their menu items;
// a value no item offers is kept as it is.
void ApplySize(TZorvaneForm& f, int size) {
  f.S.TransformSize = size;
  f.ClickSizeItem(size);
}

void ApplyRate(TZorvaneForm& f, int rate) {
  f.S.SampleRate = rate;
  f.ClickRateItem(rate);
}

// The common start of the three display switches: no switch while a sweep
// runs; otherwise the chosen Display item is checked.
bool BeginDisplaySwitch(TZorvaneForm& f, int mode) {
  if (f.S.SweepRunning == 1) {
    f.platform.MessageBox("Cannot change the display mode while sweeping\n", "Error Message");
    return false;
  }
  const int item = mode == kFrequencyDisplay ? 0 : (mode == kWaterfallDisplay ? 1 : 2);
  CheckOnly(f, kDisplayItems, 3, item);
  return true;
}

// The frequency readouts and the controls that only the spectrum displays use.
void ShowSpectrumControls(TZorvaneForm& f, bool spectrum) {
  for (Control* c : {f.LowerFreqDisplay, f.UpperFreqDisplay, f.Mkr1AmplLabel, f.PeakFreq})
    c->SetVisible(spectrum);
  f.LineBarBtn->SetEnabled(spectrum);
}

void ShowScaleLabels(TZorvaneForm& f) {
  for (Control* label : f.Ref) label->SetVisible(true);
}

// Coming back from the time display: file the time display's settings and
// restore those of the spectrum displays. DisplayMode already holds the new
// spectrum mode, so every handler below files under the spectrum displays.
// timeRefPosition is the reference position the time display had before the
// switch narrowed the track bar's range, so that positions above the spectrum
// range (202..301) come back with the time display.
void RestoreSpectrumSet(TZorvaneForm& f, int timeRefPosition) {
  AppState& S = f.S;
  ApplySize(f, S.FreqViewTransformSize);

  S.TimeViewRefPosition = timeRefPosition;
  f.RefScrollBar->SetPosition(S.FreqViewRefPosition);
  f.RefScrollBarChange();

  S.TimeViewGain = f.ProcessGainTrackBar->Position();
  f.ProcessGainTrackBar->SetPosition(S.FreqViewGain);
  f.ProcessGainTrackBarChange();

  ReapplyAxis(f, S.FreqViewVerticalAxis);

  S.TimeViewResolution = S.VerticalResolutionIndex;
  ReapplyResolution(f, S.FreqViewResolution);

  S.TimeViewSampleRate = S.SampleRate;
  ApplyRate(f, S.FreqViewSampleRate);
}

// Going into the time display from a spectrum display: the reverse.
void RestoreTimeSet(TZorvaneForm& f) {
  AppState& S = f.S;
  S.DisplayMode = kTimeDisplay;
  ApplySize(f, S.TimeViewTransformSize);

  // The move runs the change handler only when the position changes; the
  // explicit call makes the offset follow the time display's position in
  // every case.
  S.FreqViewRefPosition = f.RefScrollBar->Position();
  f.RefScrollBar->SetPosition(S.TimeViewRefPosition);
  f.RefScrollBarChange();

  S.FreqViewGain = f.ProcessGainTrackBar->Position();
  f.ProcessGainTrackBar->SetPosition(S.TimeViewGain);
  f.ProcessGainTrackBarChange();

  S.FreqViewVerticalAxis = S.VerticalAxisMode;
  ReapplyAxis(f, 0);

  S.FreqViewResolution = S.VerticalResolutionIndex;
  f.VerticalResBtnClick();

  f.VerticalBtn->SetEnabled(false);
  f.HorizontalBtn->SetEnabled(false);

  S.FreqViewSampleRate = S.SampleRate;
  ApplyRate(f, S.TimeViewSampleRate);
}

void SetTraceColor(TZorvaneForm& f, int index) {
  f.S.TraceColorIndex = index;
  f.CheckTraceColorItem(index);
}

void SetWaterfallColor(TZorvaneForm& f, int map) {
  f.S.WaterfallColorMap = map;
  f.CheckWaterfallColorItem(map);
}

void SetBackground(TZorvaneForm& f, bool white) {
  f.S.BackgroundWhite = white ? 5 : 0;
  f.Find("Black1")->SetChecked(!white);
  f.Find("White1")->SetChecked(white);

  const Color back = white ? White : Black;
  for (Control* c : {f.LeftPanel, f.AmplitudePanel, f.FreqPanel}) c->SetColor(back);
  f.BasePanel->SetColor(white ? Silver : Yellow);
  for (Control* c : {f.ImagePanel, f.SpectrumBox, f.Mkr1AmplLabel, f.Mkr1Freq, f.Mkr2Freq,
                     f.Mkr3Freq, f.Mkr4Freq, f.PeakFreq, f.Mkr1Label, f.Mkr2Label, f.Mkr3Label,
                     f.Mkr4Label, f.LowerFreqDisplay, f.UpperFreqDisplay})
    c->SetColor(back);
  // The scale labels paint their own background here, so all eleven follow
  // the panel they stand on.
  for (Control* label : f.Ref) label->SetColor(back);

  for (Control* c : {f.Mkr1AmplLabel, f.Mkr1Label, f.Mkr2Label, f.Mkr3Label, f.Mkr4Label})
    c->SetFontColor(white ? Black : Yellow);
  for (Control* c : {f.LowerFreqDisplay, f.UpperFreqDisplay, f.PeakFreq, f.Mkr1Freq, f.Mkr2Freq,
                     f.Mkr3Freq, f.Mkr4Freq})
    c->SetFontColor(white ? Black : Aqua);
  for (Control* label : f.Ref) label->SetFontColor(white ? Black : Lime);
}

void SetCursorItem(TZorvaneForm& f, int shape) {
  f.S.CursorShape = shape;
  f.SetCursorShape(shape);
}

}  // namespace

// ---- Display modes ----

void TZorvaneForm::Frequency1Click() {
  if (!BeginDisplaySwitch(*this, kFrequencyDisplay)) return;
  S.TimeViewVerticalAxis = 0;
  ProcessGainTrackBar->SetRange(1, 15);
  const int timeRefPosition = RefScrollBar->Position();
  RefScrollBar->SetRange(0, 201);
  HorizontalBtn->SetEnabled(true);
  VerticalBtn->SetEnabled(true);
  ShowSpectrumControls(*this, true);
  if (S.DisplayMode == kTimeDisplay) {
    S.DisplayMode = kFrequencyDisplay;
    RestoreSpectrumSet(*this, timeRefPosition);
  }
  S.DisplayMode = kFrequencyDisplay;
  S.GridOn = 1;
  ShowScaleLabels(*this);
  ClearDisplayBitmap();
  SpectrumBoxPaint();
  ReapplyAxis(*this, S.VerticalAxisMode);
  ReapplyResolution(*this, S.VerticalResolutionIndex);
  SetScaleLabels(kFrequencyDisplay);
}

void TZorvaneForm::Waterfall1Click() {
  if (!BeginDisplaySwitch(*this, kWaterfallDisplay)) return;
  S.TimeViewVerticalAxis = 2;
  S.GridOn = 0;
  ClearDisplayBitmap();
  ClearWaterfallBitmap();
  ProcessGainTrackBar->SetRange(1, 15);
  const int timeRefPosition = RefScrollBar->Position();
  RefScrollBar->SetRange(0, 202);
  HorizontalBtn->SetEnabled(true);
  VerticalBtn->SetEnabled(true);
  ShowSpectrumControls(*this, true);
  if (S.DisplayMode == kTimeDisplay) {
    S.DisplayMode = kWaterfallDisplay;
    RestoreSpectrumSet(*this, timeRefPosition);
  }
  S.DisplayMode = kWaterfallDisplay;
  SpectrumBoxPaint();
  ReapplyAxis(*this, S.VerticalAxisMode);
  ReapplyResolution(*this, S.VerticalResolutionIndex);
  SetScaleLabels(kWaterfallDisplay);
}

void TZorvaneForm::TimeDisplayClick() {
  if (!BeginDisplaySwitch(*this, kTimeDisplay)) return;
  S.GridOn = 0;
  ClearDisplayBitmap();
  ClearWaterfallBitmap();
  ShowSpectrumControls(*this, false);
  ProcessGainTrackBar->SetRange(1, 15);
  RefScrollBar->SetRange(0, 301);
  if (S.DisplayMode != kTimeDisplay) RestoreTimeSet(*this);
  S.DisplayMode = kTimeDisplay;
  S.GridOn = 1;
  ShowScaleLabels(*this);
  SpectrumBoxPaint();
  ReapplyAxis(*this, 0);
  ReapplyResolution(*this, S.VerticalResolutionIndex);
  SetScaleLabels(kTimeDisplay);
}

// ---- Scale buttons ----

void TZorvaneForm::HorizontalBtnClick() {
  if (S.HorizontalScale == 0) {
    S.HorizontalScale = 2;
    HorizontalBtn->SetCaption("LOG");
  } else {
    S.HorizontalScale = 0;
    HorizontalBtn->SetCaption("LINEAR");
  }
  HorizontalBtn->SetFontColor(Red);
  HiFreqScrollBarChange();
  LoFreqScrollBarChange();
}

void TZorvaneForm::VerticalBtnClick() {
  switch (S.VerticalAxisMode) {
    case 2:
      S.VerticalAxisMode = 1;
      VerticalBtn->SetCaption("LOG 2");
      VerticalBtn->SetFontColor(Blue);
      break;
    case 1:
      S.VerticalAxisMode = 0;
      VerticalBtn->SetCaption("LINEAR");
      VerticalBtn->SetFontColor(Fuchsia);
      break;
    case 0:
      S.VerticalAxisMode = 2;
      VerticalBtn->SetCaption("LOG 10");
      VerticalBtn->SetFontColor(Red);
      break;
    default:
      break;
  }
  if (S.DisplayMode != kTimeDisplay) S.FreqViewVerticalAxis = S.VerticalAxisMode;
}

void TZorvaneForm::VerticalResBtnClick() {
  // The time display has one resolution only: 5 dB per division, labelled
  // from +50 to -50.
  const bool time = S.DisplayMode == kTimeDisplay;
  if (time) S.VerticalResolutionIndex = 0;
  const int index = S.VerticalResolutionIndex;
  if (index >= 0 && index <= 3) {
    const int next = (index + 1) % 4;
    S.VerticalResolutionIndex = next;
    const Resolution& r = kResolutions[next];
    VerticalResBtn->SetCaption(r.Caption);
    VerticalResBtn->SetFontColor(r.Font);
    S.VerticalScale = r.Scale;
    for (int i = 0; i < 11; ++i) {
      Ref[i]->SetCaption(time ? kTimeLabels[i] : r.Labels[i]);
      if (!time && r.Lefts[i] >= 0) PlaceLabel(Ref[i], r.Lefts[i]);
    }
  }
  if (time)
    S.TimeViewResolution = S.VerticalResolutionIndex;
  else
    S.FreqViewResolution = S.VerticalResolutionIndex;
}

// ---- Reference level / time offset ----

void TZorvaneForm::RefScrollBarChange() {
  const int p = RefScrollBar->Position();
  if (S.DisplayMode == kTimeDisplay) {
    S.TimeDcOffset = 4 * p - 700;
    S.TimeViewRefPosition = p;
  } else {
    S.RefLevelY = S.PlotHeight + 1 - p;
    S.FreqViewRefPosition = p;
  }
}

// ---- Centre line ----

void TZorvaneForm::ON1Click() {
  S.RefLineOn = 1;
  Find("ON1")->SetChecked(true);
  Find("OFF1")->SetChecked(false);
}

void TZorvaneForm::OFF1Click() {
  S.RefLineOn = 0;
  Find("ON1")->SetChecked(false);
  Find("OFF1")->SetChecked(true);
}

// ---- Trace colour ----

void TZorvaneForm::Black2Click() { SetTraceColor(*this, 0); }
void TZorvaneForm::Aqua1Click() { SetTraceColor(*this, 1); }
void TZorvaneForm::Lime1Click() { SetTraceColor(*this, 2); }
void TZorvaneForm::Red1Click() { SetTraceColor(*this, 3); }
void TZorvaneForm::Yellow1Click() { SetTraceColor(*this, 4); }
void TZorvaneForm::White2Click() { SetTraceColor(*this, 5); }

void TZorvaneForm::CheckTraceColorItem(int index) {
  if (index < 0 || index > 5) return;
  CheckOnly(*this, kTraceItems, 6, index);
}

// ---- Background ----

void TZorvaneForm::Black1Click() { SetBackground(*this, false); }
void TZorvaneForm::White1Click() { SetBackground(*this, true); }

// ---- Cursor over the plot ----

void TZorvaneForm::Arrow1Click() { SetCursorItem(*this, 2); }
void TZorvaneForm::Cross1Click() { SetCursorItem(*this, 1); }
void TZorvaneForm::Magnify1Click() { SetCursorItem(*this, 3); }

void TZorvaneForm::SetCursorShape(int shape) {
  if (shape < 1 || shape > 3) return;
  CheckOnly(*this, kCursorItems, 3, shape - 1);
  // The plot's cursor numbers are the shape numbers: 1 the standard cross,
  // 2 the standard arrow, 3 the program's open cross.
  SpectrumBox->SetCursor(shape);
}

// ---- Waterfall colours ----

void TZorvaneForm::PsuedoColor1Click() { SetWaterfallColor(*this, 4); }
void TZorvaneForm::Red3Click() { SetWaterfallColor(*this, 6); }
void TZorvaneForm::Green2Click() { SetWaterfallColor(*this, 7); }
void TZorvaneForm::Blue2Click() { SetWaterfallColor(*this, 8); }
void TZorvaneForm::RedGreen2Click() { SetWaterfallColor(*this, 9); }
void TZorvaneForm::BlackandWhite1Click() { SetWaterfallColor(*this, 5); }

void TZorvaneForm::CheckWaterfallColorItem(int map) {
  if (map < 4 || map > 9) return;
  CheckOnly(*this, kWaterfallItems, 6, map - 4);
}

// ---- Event wiring ----

void TZorvaneForm::WireDisplaySettings() {
  HorizontalBtn->OnClick = [this] { HorizontalBtnClick(); };
  VerticalBtn->OnClick = [this] { VerticalBtnClick(); };
  VerticalResBtn->OnClick = [this] { VerticalResBtnClick(); };
  RefScrollBar->OnChange = [this] { RefScrollBarChange(); };
  WireClicks({
      {"Frequency1", &TZorvaneForm::Frequency1Click},
      {"Waterfall1", &TZorvaneForm::Waterfall1Click},
      {"TimeDisplay", &TZorvaneForm::TimeDisplayClick},
      {"ON1", &TZorvaneForm::ON1Click},
      {"OFF1", &TZorvaneForm::OFF1Click},
      {"Black2", &TZorvaneForm::Black2Click},
      {"Aqua1", &TZorvaneForm::Aqua1Click},
      {"Lime1", &TZorvaneForm::Lime1Click},
      {"Red1", &TZorvaneForm::Red1Click},
      {"Yellow1", &TZorvaneForm::Yellow1Click},
      {"White2", &TZorvaneForm::White2Click},
      {"Black1", &TZorvaneForm::Black1Click},
      {"White1", &TZorvaneForm::White1Click},
      {"Arrow1", &TZorvaneForm::Arrow1Click},
      {"Cross1", &TZorvaneForm::Cross1Click},
      {"Magnify1", &TZorvaneForm::Magnify1Click},
      {"PsuedoColor1", &TZorvaneForm::PsuedoColor1Click},
      {"Red3", &TZorvaneForm::Red3Click},
      {"Green2", &TZorvaneForm::Green2Click},
      {"Blue2", &TZorvaneForm::Blue2Click},
      {"RedGreen2", &TZorvaneForm::RedGreen2Click},
      {"BlackandWhite1", &TZorvaneForm::BlackandWhite1Click},
  });
}

}  // namespace zorvane
