// SPDX-License-Identifier: GPL-3.0-or-later
// The displayed frequency window, the four markers and the pointer readouts.
#include <string>

#include "app/Zorvane.h"

namespace zorvane {

namespace {
constexpr int kDesignWidth = 786;
}

void TZorvaneForm::LoFreqScrollBarChange() {
  // Keep the left end left of the right end, the window at least one point
  // wide; moving the bar re-enters this handler with the corrected position.
  if (HiFreqScrollBar->Position() <= LoFreqScrollBar->Position())
    LoFreqScrollBar->SetPosition(HiFreqScrollBar->Position() - 2);
  S.LowerFreqPosition = LoFreqScrollBar->Position();
  UpdateDisplayedBins();
  UpdateMarkerReadouts();
}

void TZorvaneForm::HiFreqScrollBarChange() {
  if (LoFreqScrollBar->Position() >= HiFreqScrollBar->Position())
    HiFreqScrollBar->SetPosition(LoFreqScrollBar->Position() + 2);
  // At the top of its bar the right end cannot move: the left end gives way.
  if (LoFreqScrollBar->Position() >= HiFreqScrollBar->Position())
    LoFreqScrollBar->SetPosition(HiFreqScrollBar->Position() - 2);
  S.UpperFreqPosition = HiFreqScrollBar->Position();
  UpdateDisplayedBins();
  UpdateMarkerReadouts();
}

void TZorvaneForm::UpdateDisplayedBins() {
  S.DisplayedBins =
      (HiFreqScrollBar->Position() - (LoFreqScrollBar->Position() - 1)) * S.SizeFactor;
}

void TZorvaneForm::UpdateMarkerReadouts() {
  const int lo = LoFreqScrollBar->Position(), hi = HiFreqScrollBar->Position();
  const int32_t markerOn[4] = {S.Marker1On, S.Marker2On, S.Marker3On, S.Marker4On};
  Control* const bars[4] = {Mkr1ScrollBar, Mkr2ScrollBar, Mkr3ScrollBar, Mkr4ScrollBar};
  Control* const labels[4] = {Mkr1Freq, Mkr2Freq, Mkr3Freq, Mkr4Freq};
  int32_t markerHz[4] = {0, 0, 0, 0};

  if (S.HorizontalScale == 2) {
    S.LowerFreqHz = LogAxisFrequency(lo, 1);
    S.UpperFreqHz = LogAxisFrequency(hi, 3);
    for (int k = 0; k < 4; ++k)
      if (markerOn[k] == 1) markerHz[k] = LogAxisFrequency(bars[k]->Position(), 2);
  } else {
    S.HzPerPoint = static_cast<float>(S.SampleRate) / static_cast<float>(S.TransformSize) *
                   static_cast<float>(S.SizeFactor);
    S.LowerFreqHz = static_cast<int32_t>(static_cast<float>(lo) * S.HzPerPoint);
    S.UpperFreqHz = static_cast<int32_t>(static_cast<float>(hi) * S.HzPerPoint);
    const float span = static_cast<float>(S.UpperFreqHz - S.LowerFreqHz) * 0.001953125f;
    for (int k = 0; k < 4; ++k)
      if (markerOn[k] == 1)
        markerHz[k] = static_cast<int32_t>(static_cast<float>(bars[k]->Position()) * span +
                                           static_cast<float>(S.LowerFreqHz));
  }
  LowerFreqDisplay->SetCaption(std::to_string(S.LowerFreqHz));
  UpperFreqDisplay->SetCaption(std::to_string(S.UpperFreqHz));
  for (int k = 0; k < 4; ++k)
    if (markerOn[k] == 1) labels[k]->SetCaption(std::to_string(markerHz[k]));
  if (markerOn[0] == 1) CursorFreq->SetText(std::to_string(markerHz[0]));
  if (S.DisplayMode != 2)
    PeakFreq->SetCaption(std::to_string(static_cast<int32_t>(S.PeakFrequency)));
}

namespace {

void ToggleMarker(TZorvaneForm& f, int32_t& flag, Control* button, Control* label) {
  if (flag == 0) {
    flag = 1;
    button->SetFontColor(colors::Red);
    button->SetCaption("ON");
    f.UpdateMarkerReadouts();
  } else {
    flag = 0;
    button->SetFontColor(colors::Blue);
    button->SetCaption("OFF");
    label->SetCaption("-");
  }
}

}  // namespace

void TZorvaneForm::Mkr1BtnClick() { ToggleMarker(*this, S.Marker1On, Mkr1Btn, Mkr1Freq); }
void TZorvaneForm::Mkr2BtnClick() { ToggleMarker(*this, S.Marker2On, Mkr2Btn, Mkr2Freq); }
void TZorvaneForm::Mkr3BtnClick() { ToggleMarker(*this, S.Marker3On, Mkr3Btn, Mkr3Freq); }
void TZorvaneForm::Mkr4BtnClick() { ToggleMarker(*this, S.Marker4On, Mkr4Btn, Mkr4Freq); }

void TZorvaneForm::Mkr1ScrollBarChange() { UpdateMarkerReadouts(); }
void TZorvaneForm::Mkr2ScrollBarChange() { UpdateMarkerReadouts(); }
void TZorvaneForm::Mkr3ScrollBarChange() { UpdateMarkerReadouts(); }
void TZorvaneForm::Mkr4ScrollBarChange() { UpdateMarkerReadouts(); }

namespace {

// Window pixels back to the plot's design pixels; both axes scale with the
// window's width.
int DesignCoordinate(int v, int windowWidth) {
  if (windowWidth <= 0) return v;
  return static_cast<int>(static_cast<long long>(v) * kDesignWidth / windowWidth);
}

}  // namespace

void TZorvaneForm::SpectrumBoxMouseDown(MouseButton button, int x, int y) {
  if (button == MouseButton::Left) {
    S.CrossState = 2;
    CursorFreq->SetFontColor(colors::Red);
    CursorAmpl->SetFontColor(colors::Red);
    S.DragStartX = DesignCoordinate(x, Self->Width());
    S.DragStartY = DesignCoordinate(y, Self->Width());
  } else {
    S.CrossState = 1;
    CursorFreq->SetFontColor(colors::Black);
    CursorAmpl->SetFontColor(colors::Black);
  }
}

void TZorvaneForm::SpectrumBoxMouseUp(MouseButton, int x, int y) {
  S.CrossX = DesignCoordinate(x, Self->Width());
  S.CrossY = DesignCoordinate(y, Self->Width());
}

void TZorvaneForm::SpectrumBoxMouseMove(int x, int y) {
  const int dx = DesignCoordinate(x, Self->Width());
  const int dy = DesignCoordinate(y, Self->Width());
  const bool difference = S.CrossState == 2;

  int32_t freq;
  if (S.HorizontalScale == 2) {
    const int32_t v = LogAxisFrequency(dx, 2);
    freq = difference ? v - LogAxisFrequency(S.DragStartX, 2) : v;
  } else {
    const float width = static_cast<float>(S.UpperFreqHz - S.LowerFreqHz);
    auto f = [&](int px) {
      return static_cast<float>(px) * width * (1.0f / 512.0f) + static_cast<float>(S.LowerFreqHz);
    };
    freq = static_cast<int32_t>(difference ? f(dx) - f(S.DragStartX) : f(dx));
  }
  CursorFreq->SetText(S.DisplayMode == 2 ? std::string("0") : std::to_string(freq));

  static constexpr int kPerDivision[4] = {100, 50, 20, 10};
  const int k = kPerDivision[S.VerticalResolutionIndex >= 0 && S.VerticalResolutionIndex < 4
                                 ? S.VerticalResolutionIndex
                                 : 0];
  const int level = difference ? dy - S.DragStartY : dy;
  const int a = level * k / 200;
  CursorAmpl->SetText(S.DisplayMode == 1 ? std::to_string(-a) : std::string("0"));
}

void TZorvaneForm::WireAnalyzerView() {
  LoFreqScrollBar->OnChange = [this] { LoFreqScrollBarChange(); };
  HiFreqScrollBar->OnChange = [this] { HiFreqScrollBarChange(); };
  Mkr1Btn->OnClick = [this] { Mkr1BtnClick(); };
  Mkr2Btn->OnClick = [this] { Mkr2BtnClick(); };
  Mkr3Btn->OnClick = [this] { Mkr3BtnClick(); };
  Mkr4Btn->OnClick = [this] { Mkr4BtnClick(); };
  Mkr1ScrollBar->OnChange = [this] { Mkr1ScrollBarChange(); };
  Mkr2ScrollBar->OnChange = [this] { Mkr2ScrollBarChange(); };
  Mkr3ScrollBar->OnChange = [this] { Mkr3ScrollBarChange(); };
  Mkr4ScrollBar->OnChange = [this] { Mkr4ScrollBarChange(); };
  SpectrumBox->OnMouseDown = [this](MouseButton b, int x, int y) { SpectrumBoxMouseDown(b, x, y); };
  SpectrumBox->OnMouseMove = [this](int x, int y) { SpectrumBoxMouseMove(x, y); };
  SpectrumBox->OnMouseUp = [this](MouseButton b, int x, int y) { SpectrumBoxMouseUp(b, x, y); };
}

}  // namespace zorvane
