// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/Basepanel2.h"

#include "app/Zorvane.h"
#include "export/form_image.h"

namespace zorvane {

using namespace colors;

namespace {

constexpr int kLabelPixels = 17, kScalePixels = 13;
constexpr Color kFormFace = 0xF0F0F0;

void Place(Control* c, int left, int top, int width, int height) {
  c->SetDesignBounds(left, top, width, height);
}

void Panel(Control* c, Color color, bool bevel) {
  c->SetColor(color);
  c->SetBevel(bevel);
}

void Label(Control* c, const std::string& text, Color font, int pixels = kLabelPixels) {
  c->SetCaption(text);
  c->SetFontColor(font);
  c->SetColor(Black);
  c->SetFontHeight(pixels);
}

}  // namespace

void TZorvaneForm::CreateBaseForm() { BaseForm.reset(new TBaseForm()); }

void TZorvaneForm::BaseFormDeleter::operator()(TBaseForm* form) const { delete form; }

Control* TBaseForm::Add(const std::string& name, ControlKind kind, Control* parent) {
  controls_.push_back(std::make_unique<Control>(name, kind, parent));
  return controls_.back().get();
}

Control* TBaseForm::Find(const std::string& name) const {
  for (const auto& c : controls_)
    if (c->Name() == name) return c.get();
  return nullptr;
}

TBaseForm::TBaseForm() {
  Self = Add("BaseForm", ControlKind::Form, nullptr);
  Self->SetColor(kFormFace);
  Place(Self, 0, 0, 553, 253);

  BasePanel = Add("BasePanel", ControlKind::Panel, Self);
  Panel(BasePanel, Yellow, true);
  Place(BasePanel, 0, 0, 553, 252);
  ImagePanel = Add("ImagePanel", ControlKind::Panel, BasePanel);
  Panel(ImagePanel, Black, false);
  Place(ImagePanel, 33, 24, 516, 203);
  SpectrumBox = Add("SpectrumBox", ControlKind::PaintBox, ImagePanel);
  Place(SpectrumBox, 0, 0, 516, 203);

  FreqPanel = Add("FreqPanel", ControlKind::Panel, BasePanel);
  Panel(FreqPanel, Black, false);
  Place(FreqPanel, 3, 227, 546, 22);
  LowerFreqDisplay = Add("LowerFreqDisplay", ControlKind::Label, FreqPanel);
  Label(LowerFreqDisplay, "10", Aqua);
  Place(LowerFreqDisplay, 8, 0, 57, 20);
  UpperFreqDisplay = Add("UpperFreqDisplay", ControlKind::Label, FreqPanel);
  Label(UpperFreqDisplay, "5512", Aqua);
  UpperFreqDisplay->SetAlignRight(true);
  Place(UpperFreqDisplay, 504, 0, 36, 20);
  Mkr1AmplLabel = Add("Mkr1AmplLabel", ControlKind::Label, FreqPanel);
  Label(Mkr1AmplLabel, "Peak Frequency = ", Yellow);
  Place(Mkr1AmplLabel, 160, 0, 137, 20);
  PeakFreq = Add("PeakFreq", ControlKind::Label, FreqPanel);
  Label(PeakFreq, "0", Aqua);
  Place(PeakFreq, 304, 0, 9, 20);

  AmplitudePanel = Add("AmplitudePanel", ControlKind::Panel, BasePanel);
  Panel(AmplitudePanel, Black, false);
  Place(AmplitudePanel, 33, 2, 516, 22);
  // Marker readouts in the order the form lists them.
  auto caption = [this](Control*& slot, int k) {
    const std::string n = std::to_string(k);
    slot = Add("Mkr" + n + "Label", ControlKind::Label, AmplitudePanel);
    Label(slot, "Mkr" + n + " = ", Yellow);
    Place(slot, 8 + 128 * (k - 1), 0, 55, 20);
  };
  auto readout = [this](Control*& slot, int k) {
    slot = Add("Mkr" + std::to_string(k) + "Freq", ControlKind::Label, AmplitudePanel);
    Label(slot, "-", Aqua);
    Place(slot, 72 + 128 * (k - 1), 0, 6, 20);
  };
  readout(Mkr1Freq, 1);
  caption(Mkr1Label, 1);
  caption(Mkr2Label, 2);
  readout(Mkr2Freq, 2);
  caption(Mkr3Label, 3);
  readout(Mkr3Freq, 3);
  caption(Mkr4Label, 4);
  readout(Mkr4Freq, 4);

  LeftPanel = Add("LeftPanel", ControlKind::Panel, BasePanel);
  Panel(LeftPanel, Black, false);
  Place(LeftPanel, 3, 2, 30, 225);
  const int tops[11] = {16, 33, 54, 74, 94, 114, 134, 155, 174, 194, 210};
  for (int i = 0; i < 11; ++i) {
    Ref[i] = Add("Ref_" + std::to_string(i), ControlKind::Label, LeftPanel);
    Label(Ref[i], std::to_string(10 * i), Lime, kScalePixels);
    Place(Ref[i], i == 0 ? 8 : 2, tops[i], 14, 16);
  }
}

Bitmap TBaseForm::FormImage() const {
  return PaintFormImage(*Self, [this](const Control& box) {
    return &box == SpectrumBox ? SpectrumBoxPaint() : nullptr;
  });
}

void ComposeExportImage(TZorvaneForm& f) {
  TBaseForm& b = *f.BaseForm;
  // 1. The plot: the main window's bitmap itself, painted with the form.
  b.PlotImage = &f.DisplayBitmap;
  // 2. Panels.
  b.BasePanel->SetColor(f.BasePanel->BackColor());
  b.LeftPanel->SetColor(f.LeftPanel->BackColor());
  b.AmplitudePanel->SetColor(f.AmplitudePanel->BackColor());
  b.ImagePanel->SetColor(f.ImagePanel->BackColor());
  b.FreqPanel->SetColor(f.FreqPanel->BackColor());
  // 3. The fixed captions keep their texts; their colours follow.
  const std::pair<Control*, Control*> captions[] = {{b.Mkr1Label, f.Mkr1Label},
                                                    {b.Mkr2Label, f.Mkr2Label},
                                                    {b.Mkr3Label, f.Mkr3Label},
                                                    {b.Mkr4Label, f.Mkr4Label},
                                                    {b.Mkr1AmplLabel, f.Mkr1AmplLabel}};
  for (const auto& [to, from] : captions) {
    to->SetColor(from->BackColor());
    to->SetFontColor(from->FontColor());
  }
  // 4. The readouts: texts, then backgrounds, then font colours.
  const std::pair<Control*, Control*> readouts[] = {{b.Mkr1Freq, f.Mkr1Freq},
                                                    {b.Mkr2Freq, f.Mkr2Freq},
                                                    {b.Mkr3Freq, f.Mkr3Freq},
                                                    {b.Mkr4Freq, f.Mkr4Freq},
                                                    {b.PeakFreq, f.PeakFreq}};
  for (const auto& [to, from] : readouts) to->SetCaption(from->Caption());
  for (const auto& [to, from] : readouts) to->SetColor(from->BackColor());
  for (const auto& [to, from] : readouts) to->SetFontColor(from->FontColor());
  // 5. The frequency span.
  for (const auto& [to, from] : {std::pair{b.LowerFreqDisplay, f.LowerFreqDisplay},
                                 std::pair{b.UpperFreqDisplay, f.UpperFreqDisplay}}) {
    to->SetCaption(from->Caption());
    to->SetColor(from->BackColor());
    to->SetFontColor(from->FontColor());
  }
  // 6. The vertical scale: texts and backgrounds, then the font colours.
  //    Positions stay where the companion window has them.
  for (int i = 0; i < 11; ++i) {
    b.Ref[i]->SetCaption(f.Ref[i]->Caption());
    b.Ref[i]->SetColor(f.Ref[i]->BackColor());
  }
  for (int i = 0; i < 11; ++i) b.Ref[i]->SetFontColor(f.Ref[i]->FontColor());
}

}  // namespace zorvane
