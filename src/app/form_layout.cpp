// SPDX-License-Identifier: GPL-3.0-or-later
// The window's controls and main menu with their design-time properties:
// positions (design pixels, relative to the parent), captions, hints and
// colours, as the form description lays them out.
#include "app/Zorvane.h"

namespace zorvane {

namespace {
using namespace colors;

void Box(Control* c, int l, int t, int w, int h) { c->SetDesignBounds(l, t, w, h); }

void Look(Control* c, const std::string& caption, Color font, const std::string& hint = "") {
  c->SetCaption(caption);
  c->SetFontColor(font);
  c->SetHint(hint);
}
}  // namespace

void TZorvaneForm::CreateControls() {
  Self = Add("ZorvaneForm", ControlKind::Form, nullptr);
  Self->SetCaption("Zorvane Function-Sweep Generator");
  Self->SetColor(Navy);
  Box(Self, 0, 0, 632, 420);

  AudioBasePanel = Add("AudioBasePanel", ControlKind::Panel, Self);
  AudioBasePanel->SetColor(Navy);
  Box(AudioBasePanel, 3, 3, 628, 414);
  Control* P = AudioBasePanel;

  // Plot panel with the paint box, the marker strip, the frequency strip and
  // the vertical scale labels.
  BasePanel = Add("BasePanel", ControlKind::Panel, P);
  BasePanel->SetColor(Yellow);
  Box(BasePanel, 93, 0, 449, 205);
  LeftPanel = Add("LeftPanel", ControlKind::Panel, BasePanel);
  LeftPanel->SetColor(Black);
  Box(LeftPanel, 2, 2, 24, 183);
  const int refTops[11] = {13, 27, 44, 60, 76, 93, 109, 126, 141, 158, 171};
  for (int i = 0; i < 11; ++i) {
    Ref[i] = Add("Ref_" + std::to_string(i), ControlKind::Label, LeftPanel);
    Ref[i]->SetCaption(std::to_string(i * 10));
    Ref[i]->SetFontColor(Lime);
    Ref[i]->SetColor(Black);
    Ref[i]->SetFontHeight(11);
    const int left = i == 0 ? 8 : (i == 10 ? 0 : 2);
    Box(Ref[i], left, refTops[i], 22, 13);
  }
  AmplitudePanel = Add("AmplitudePanel", ControlKind::Panel, BasePanel);
  AmplitudePanel->SetColor(Black);
  Box(AmplitudePanel, 27, 2, 419, 18);
  Control** mkrLabels[4] = {&Mkr1Label, &Mkr2Label, &Mkr3Label, &Mkr4Label};
  Control** mkrFreqs[4] = {&Mkr1Freq, &Mkr2Freq, &Mkr3Freq, &Mkr4Freq};
  for (int i = 0; i < 4; ++i) {
    const std::string n = std::to_string(i + 1);
    *mkrLabels[i] = Add("Mkr" + n + "Label", ControlKind::Label, AmplitudePanel);
    Look(*mkrLabels[i], "Mkr" + n + " = ", Yellow);
    (*mkrLabels[i])->SetColor(Black);
    Box(*mkrLabels[i], 6 + 104 * i, 1, 45, 16);
    *mkrFreqs[i] = Add("Mkr" + n + "Freq", ControlKind::Label, AmplitudePanel);
    Look(*mkrFreqs[i], "-", Aqua);
    (*mkrFreqs[i])->SetColor(Black);
    Box(*mkrFreqs[i], 58 + 104 * i, 1, 44, 16);
  }
  ImagePanel = Add("ImagePanel", ControlKind::Panel, BasePanel);
  ImagePanel->SetColor(Black);
  Box(ImagePanel, 27, 20, 419, 164);
  SpectrumBox = Add("SpectrumBox", ControlKind::PaintBox, ImagePanel);
  SpectrumBox->SetColor(Black);
  Box(SpectrumBox, 0, 0, 419, 164);
  FreqPanel = Add("FreqPanel", ControlKind::Panel, BasePanel);
  FreqPanel->SetColor(Black);
  Box(FreqPanel, 2, 185, 443, 18);
  LowerFreqDisplay = Add("LowerFreqDisplay", ControlKind::Label, FreqPanel);
  Look(LowerFreqDisplay, "10", Aqua);
  LowerFreqDisplay->SetColor(Black);
  Box(LowerFreqDisplay, 6, 1, 46, 16);
  Mkr1AmplLabel = Add("Mkr1AmplLabel", ControlKind::Label, FreqPanel);
  Look(Mkr1AmplLabel, "Peak Frequency = ", Yellow);
  Mkr1AmplLabel->SetColor(Black);
  Box(Mkr1AmplLabel, 130, 1, 111, 16);
  PeakFreq = Add("PeakFreq", ControlKind::Label, FreqPanel);
  Look(PeakFreq, "0", Aqua);
  PeakFreq->SetColor(Black);
  Box(PeakFreq, 247, 1, 60, 16);
  UpperFreqDisplay = Add("UpperFreqDisplay", ControlKind::Label, FreqPanel);
  Look(UpperFreqDisplay, "5512", Aqua);
  UpperFreqDisplay->SetColor(Black);
  UpperFreqDisplay->SetAlignRight(true);
  Box(UpperFreqDisplay, 392, 1, 46, 16);

  // Frequency window scroll bars.
  LoFreqScrollBar = Add("LoFreqScrollBar", ControlKind::ScrollBar, P);
  Box(LoFreqScrollBar, 93, 205, 222, 16);
  LoFreqScrollBar->SetRange(0, 512);
  LoFreqScrollBar->SetPosition(1);
  LoFreqScrollBar->SetHint("Set the Lower Frequency of the Display");
  HiFreqScrollBar = Add("HiFreqScrollBar", ControlKind::ScrollBar, P);
  Box(HiFreqScrollBar, 316, 205, 226, 16);
  HiFreqScrollBar->SetRange(1, 512);
  HiFreqScrollBar->SetPosition(512);
  HiFreqScrollBar->SetHint("Set the Upper Frequency of the Display");

  // Function frequency entry.
  FrequencyPanel = Add("FrequencyPanel", ControlKind::Panel, P);
  FrequencyPanel->SetColor(Navy);
  Box(FrequencyPanel, 91, 229, 221, 59);
  Control* ffl = Add("FunctionFrequencyLabel", ControlKind::Label, FrequencyPanel);
  Look(ffl, "Function Frequency", White);
  ffl->SetColor(Navy);
  Box(ffl, 4, 2, 140, 14);
  FrequencyDisplay = Add("FrequencyDisplay", ControlKind::Memo, FrequencyPanel);
  FrequencyDisplay->SetColor(Navy);
  FrequencyDisplay->SetFontColor(Yellow);
  FrequencyDisplay->SetFontHeight(24);
  FrequencyDisplay->SetFontBold(true);
  FrequencyDisplay->SetHint("Type in a Frequency Value");
  Box(FrequencyDisplay, 30, 18, 160, 36);
  FrequencyDisplay->SetText("200.0");

  // Musical note panel.
  MusicalPanel = Add("MusicalPanel", ControlKind::Panel, P);
  MusicalPanel->SetColor(Navy);
  Box(MusicalPanel, 319, 229, 221, 59);
  Control* mnl = Add("MusicalNoteLabel", ControlKind::Label, MusicalPanel);
  Look(mnl, "Musical Note", White);
  mnl->SetColor(Navy);
  Box(mnl, 4, 2, 120, 14);
  SuperscriptFreq = Add("SuperscriptFreq", ControlKind::Label, MusicalPanel);
  Look(SuperscriptFreq, "1", Red);
  SuperscriptFreq->SetColor(Navy);
  SuperscriptFreq->SetFontBold(true);
  Box(SuperscriptFreq, 84, 14, 12, 16);
  SubscriptFreq = Add("SubscriptFreq", ControlKind::Label, MusicalPanel);
  Look(SubscriptFreq, "1", Red);
  SubscriptFreq->SetColor(Navy);
  SubscriptFreq->SetFontBold(true);
  Box(SubscriptFreq, 84, 40, 12, 16);
  MusicalLabel = Add("MusicalLabel", ControlKind::Label, MusicalPanel);
  Look(MusicalLabel, "G", Yellow);
  MusicalLabel->SetColor(Navy);
  MusicalLabel->SetFontHeight(32);
  MusicalLabel->SetFontBold(true);
  Box(MusicalLabel, 98, 16, 50, 40);

  FreqScrollBar = Add("FreqScrollBar", ControlKind::ScrollBar, P);
  Box(FreqScrollBar, 92, 288, 220, 16);
  FreqScrollBar->SetRange(20000, 200000);
  FreqScrollBar->SetPosition(20000);
  FreqScrollBar->SetHint("Set the Frequency of the Function Display");

  OctaveDownBtn = Add("OctaveDownBtn", ControlKind::Button, P);
  Look(OctaveDownBtn, "<<", Red, "Next Octave lower");
  Box(OctaveDownBtn, 319, 288, 55, 18);
  NoteDownBtn = Add("NoteDownBtn", ControlKind::Button, P);
  Look(NoteDownBtn, "<", Blue, "Next Note Lower");
  Box(NoteDownBtn, 374, 288, 55, 18);
  NoteUpBtn = Add("NoteUpBtn", ControlKind::Button, P);
  Look(NoteUpBtn, ">", Blue, "Next Note Up");
  Box(NoteUpBtn, 429, 288, 55, 18);
  OctaveUPBtn = Add("OctaveUPBtn", ControlKind::Button, P);
  Look(OctaveUPBtn, ">>", Red, "Next Octave Up");
  Box(OctaveUPBtn, 484, 288, 56, 18);

  // Range buttons, volume and SET.
  ControlPanel = Add("ControlPanel", ControlKind::Panel, P);
  ControlPanel->SetColor(Navy);
  Box(ControlPanel, 91, 312, 222, 98);
  auto label = [this](const std::string& name, const std::string& text, Control* parent, int l,
                      int t, int w) {
    Control* c = Add(name, ControlKind::Label, parent);
    Look(c, text, White);
    c->SetColor(Navy);
    Box(c, l, t, w, 14);
    return c;
  };
  label("LowRangeLabel", "20-200", ControlPanel, 8, 4, 64);
  label("MidRangeLabel", "200-2000", ControlPanel, 79, 4, 64);
  label("HighRangeLabel", "2000-20K", ControlPanel, 150, 4, 64);
  LowFreqBtn = Add("LowFreqBtn", ControlKind::Button, ControlPanel);
  Look(LowFreqBtn, "OFF", Blue, "Set the Function Frequency Range to 20 to 200 Hz");
  Box(LowFreqBtn, 8, 19, 64, 25);
  MidFreqBtn = Add("MidFreqBtn", ControlKind::Button, ControlPanel);
  Look(MidFreqBtn, "ON", Red, "Set the Function Frequency Range to 200 to 2000 Hz");
  Box(MidFreqBtn, 79, 19, 64, 25);
  HighFreqBtn = Add("HighFreqBtn", ControlKind::Button, ControlPanel);
  Look(HighFreqBtn, "OFF", Blue, "Set the Function Frequency Range to 2000 to 20000 Hz");
  Box(HighFreqBtn, 150, 19, 64, 25);
  label("OutputLevelLabel", "Output Level", ControlPanel, 8, 52, 100);
  SetVolumeBtn = Add("SetVolumeBtn", ControlKind::Button, ControlPanel);
  Look(SetVolumeBtn, "SET VOLUME", Blue, "Open the System Volume Control");
  Box(SetVolumeBtn, 8, 67, 100, 25);
  label("SetFreqLabel", "Set Freq.", ControlPanel, 150, 52, 64);
  SetFreqBtn = Add("SetFreqBtn", ControlKind::Button, ControlPanel);
  Look(SetFreqBtn, "SET", Red, "Lock in the Function Display Frequency");
  Box(SetFreqBtn, 150, 67, 64, 25);

  // Display buttons, gain and reference level.
  Panel1 = Add("Panel1", ControlKind::Panel, P);
  Panel1->SetColor(Navy);
  Box(Panel1, 319, 312, 221, 98);
  label("ResolutionLabel", "Resolution", Panel1, 8, 4, 64);
  label("ScaleLabel", "Scale", Panel1, 79, 4, 64);
  label("HorizontalLabel", "Horizontal", Panel1, 150, 4, 64);
  VerticalResBtn = Add("VerticalResBtn", ControlKind::Button, Panel1);
  Look(VerticalResBtn, "10 dB", Blue, "10/5/2/1 dB");
  Box(VerticalResBtn, 8, 19, 64, 25);
  VerticalBtn = Add("VerticalBtn", ControlKind::Button, Panel1);
  Look(VerticalBtn, "LOG", Red, "Log10, Log2, Linear");
  Box(VerticalBtn, 79, 19, 64, 25);
  HorizontalBtn = Add("HorizontalBtn", ControlKind::Button, Panel1);
  Look(HorizontalBtn, "LINEAR", Red, "Linear/Log");
  Box(HorizontalBtn, 150, 19, 64, 25);
  label("InputGainLabel", "Input Gain", Panel1, 8, 50, 100);
  ProcessGainTrackBar = Add("ProcessGainTrackBar", ControlKind::TrackBar, Panel1);
  Box(ProcessGainTrackBar, 4, 64, 105, 28);
  ProcessGainTrackBar->SetRange(1, 18);
  ProcessGainTrackBar->SetPosition(7);
  ProcessGainTrackBar->SetHint("Set the Input Gain");
  label("RefLevelLabel", "Ref Level", Panel1, 114, 50, 100);
  RefScrollBar = Add("RefScrollBar", ControlKind::TrackBar, Panel1);
  Box(RefScrollBar, 110, 64, 105, 28);
  RefScrollBar->SetRange(1, 201);
  RefScrollBar->SetPosition(1);
  RefScrollBar->SetHint("Time Display DC Reference Offset");

  // The two button columns beside the plot.
  auto column = [&](int left, int row, const std::string& title, const std::string& labelName) {
    Control* c = Add(labelName, ControlKind::Label, P);
    Look(c, title, White);
    c->SetColor(Navy);
    Box(c, left, 26 + 52 * row - 15, 74, 14);
  };
  auto button = [&](Control*& slot, const std::string& name, int left, int row,
                    const std::string& caption, Color font, const std::string& hint) {
    slot = Add(name, ControlKind::Button, P);
    Look(slot, caption, font, hint);
    Box(slot, left, 26 + 52 * row, 72, 22);
  };
  auto marker = [&](Control*& btn, Control*& bar, int n, int left, int row) {
    const std::string k = std::to_string(n);
    btn = Add("Mkr" + k + "Btn", ControlKind::Button, P);
    Look(btn, "OFF", Blue, "Marker " + k + " On/Off");
    Box(btn, left, 26 + 52 * row, 72, 20);
    bar = Add("Mkr" + k + "ScrollBar", ControlKind::ScrollBar, P);
    Box(bar, left, 26 + 52 * row + 21, 72, 14);
    bar->SetRange(0, 512);
    bar->SetPosition(0);
    bar->SetHint("Move Marker " + k);
    bar->SetSmallChange(1);
    bar->SetLargeChange(10);
  };
  auto memo = [&](Control*& slot, const std::string& name, int left, const std::string& hint) {
    slot = Add(name, ControlKind::Memo, P);
    slot->SetColor(White);
    slot->SetFontColor(Black);
    slot->SetReadOnly(true);
    slot->SetHint(hint);
    Box(slot, left, 26, 72, 21);
    slot->SetText("0");
  };
  constexpr int L = 7, R = 553;
  column(L, 0, "Cursor Freq", "CursorFreqLabel");
  memo(CursorFreq, "CursorFreq", L, "Frequency at the Mouse Pointer");
  column(L, 1, "Mrkr 1", "Mkr1TitleLabel");
  marker(Mkr1Btn, Mkr1ScrollBar, 1, L, 1);
  column(L, 2, "Mrkr 2", "Mkr2TitleLabel");
  marker(Mkr2Btn, Mkr2ScrollBar, 2, L, 2);
  column(L, 3, "Mode", "ModeLabel");
  button(ModeBtn, "ModeBtn", L, 3, "FUNC", Red, "Function/Music");
  column(L, 4, "Waveform", "WaveformLabel");
  button(WaveformBtn, "WaveformBtn", L, 4, "SINE", Blue, "Sine/Square/Triangle/Noise");
  column(L, 5, "Freq Mode", "FreqModeLabel");
  button(SweepBtn, "SweepBtn", L, 5, "FIXED", Red, "Fixed/Sweep/Sweep Cal");
  column(L, 6, "Sweep", "SweepLabel");
  button(SweepStartBtn, "SweepStartBtn", L, 6, "START", Blue, "Start/Stop Audio Sweep");
  column(L, 7, "Output", "OutputLabel");
  button(OutputBtn, "OutputBtn", L, 7, "OFF", Blue, "Output On/Off");

  column(R, 0, "Cursor Amp", "CursorAmplLabel");
  memo(CursorAmpl, "CursorAmpl", R, "Level at the Mouse Pointer");
  column(R, 1, "Mrkr 3", "Mkr3TitleLabel");
  marker(Mkr3Btn, Mkr3ScrollBar, 3, R, 1);
  column(R, 2, "Mrkr 4", "Mkr4TitleLabel");
  marker(Mkr4Btn, Mkr4ScrollBar, 4, R, 2);
  column(R, 3, "Spectrum", "SpectrumLabel");
  button(StartBtn, "StartBtn", R, 3, "START", Blue, "Start/Stop the Spectrum Analyzer");
  column(R, 4, "Single", "SingleLabel");
  button(SingleBtn, "SingleBtn", R, 4, "SINGLE", Red, "Single Spectrum");
  column(R, 5, "Line/Bar", "LineBarLabel");
  button(LineBarBtn, "LineBarBtn", R, 5, "LINE", Red, "Line or Bar Graph");
  column(R, 6, "Hold Mode", "HoldModeLabel");
  button(NormalBtn, "NormalBtn", R, 6, "NORMAL", Red, "Normal/Average/Peak");
  column(R, 7, "Application", "ApplicationLabel");
  button(QuitBtn, "QuitBtn", R, 7, "QUIT", Red, "Save the Settings and Quit");

  StopBtn = Add("StopBtn", ControlKind::Button, Self);
  Look(StopBtn, "STOP", Red, "Stop the Spectrum Analyzer");
  Box(StopBtn, 664, 201, 60, 25);

  // Timers.
  ChartTimer = Add("ChartTimer", ControlKind::Timer, nullptr);
  ChartTimer->SetInterval(600);
  ChartTimer->SetEnabled(false);
  SweepTimer = Add("SweepTimer", ControlKind::Timer, nullptr);
  SweepTimer->SetEnabled(false);
  FileTimer = Add("FileTimer", ControlKind::Timer, nullptr);
  FileTimer->SetInterval(500);
  FileTimer->SetEnabled(false);
  TimeoutTimer = Add("TimeoutTimer", ControlKind::Timer, nullptr);
  TimeoutTimer->SetInterval(350);
  TimeoutTimer->SetEnabled(true);

  // Dialogs the form owns.
  Add("PrinterSetupDialog1", ControlKind::Dialog, nullptr);
  Add("SaveGraphicsDialog", ControlKind::Dialog, nullptr)->SetText("bmp");
  Add("OpenWaveDialog", ControlKind::Dialog, nullptr);
}

Control* TZorvaneForm::AddMenu(const std::string& name, const std::string& caption, Control* parent,
                               bool checked) {
  Control* m = Add(name, ControlKind::MenuItem, parent);
  // "&" marks the letter that opens the menu with Alt; the caption itself
  // goes without it.
  const size_t mark = caption.find('&');
  if (mark != std::string::npos && mark + 1 < caption.size()) {
    m->SetCaption(caption.substr(0, mark) + caption.substr(mark + 1));
    m->SetMnemonic(static_cast<int>(mark));
  } else {
    m->SetCaption(caption);
  }
  m->SetChecked(checked);
  return m;
}

void TZorvaneForm::CreateMenu() {
  MainMenu = Add("MainMenu1", ControlKind::MenuItem, nullptr);
  int sep = 0;
  auto separator = [&](Control* parent) {
    AddMenu("Separator" + std::to_string(++sep), "-", parent);
  };

  Control* file = AddMenu("File1", "&File", MainMenu);
  AddMenu("OpenWavefile1", "Open Wavefile", file);
  AddMenu("CloseWavefile1", "Close Wavefile", file);
  separator(file);
  AddMenu("SaveForm1", "Save Form", file);
  AddMenu("SaveGraphic1", "Save Graphic", file);
  AddMenu("SaveBitmap1", "Save Bitmap", file);
  AddMenu("ExportData1", "Export Data\u2026", file);
  separator(file);
  AddMenu("CopyForm1", "Copy Form", file);
  AddMenu("CopyGraphic1", "Copy Graphic", file);
  AddMenu("CopyBitmap1", "Copy Bitmap", file);
  separator(file);
  AddMenu("N7", "Volume Control", file);
  separator(file);
  AddMenu("Print1", "Print", file);
  separator(file);
  AddMenu("Exit1", "Exit", file);

  Control* sweep = AddMenu("Sweep1", "&Sweep", MainMenu);
  Control* points = AddMenu("NumberPoints1", "Number Points", sweep);
  AddMenu("N32", " 32", points);
  AddMenu("N64", " 64", points);
  AddMenu("N128", "128", points);
  AddMenu("N256", "256", points);
  AddMenu("N512", "512", points, true);
  separator(sweep);
  Control* loop = AddMenu("Loop1", "Loop", sweep);
  AddMenu("Off2", "Off", loop, true);
  AddMenu("On2", "On", loop);
  separator(sweep);
  AddMenu("SwpCal1", "Calibrate", sweep);
  AddMenu("ZeroCal1", "Zero Calibration", sweep);
  separator(sweep);
  AddMenu("LogSweep1", "Log Sweep Measurement\u2026", sweep)->SetEnabled(false);

  Control* source = AddMenu("DataSource1", "&Data Source", MainMenu);
  AddMenu("SoundBoard1", "Soundboard", source, true);
  AddMenu("WaveFile1", "Wavefile", source);
  separator(source);
  Control* speed = AddMenu("DisplaySpeed1", "Display Speed", source);
  AddMenu("N50ms2", "50 ms", speed);
  AddMenu("N100ms2", "100 ms", speed);
  AddMenu("N200ms2", "200 ms", speed);
  AddMenu("N300ms2", "300 ms", speed);
  AddMenu("N500ms2", "500 ms", speed, true);
  AddMenu("N750ms2", "750 ms", speed);
  AddMenu("N1000ms2", "1000 ms", speed);
  separator(source);
  Control* eof = AddMenu("EOFNotify1", "EOF Notify", source);
  AddMenu("EOF_ON", "ON", eof, true);
  AddMenu("EOF_OFF", "OFF", eof);
  separator(source);
  AddMenu("AudioDevices1", "Audio Devices\u2026", source)->SetEnabled(false);

  Control* display = AddMenu("Display1", "Dis&play", MainMenu);
  AddMenu("Frequency1", "Frequency", display, true);
  AddMenu("Waterfall1", "Waterfall", display);
  AddMenu("TimeDisplay", "Time", display);
  separator(display);
  Control* wcol = AddMenu("WaterfallColor1", "Waterfall Color", display);
  AddMenu("PsuedoColor1", "Psuedo Color", wcol);
  AddMenu("Red3", "Red", wcol);
  AddMenu("Green2", "Green", wcol);
  AddMenu("Blue2", "Blue", wcol);
  AddMenu("RedGreen2", "Red-Green", wcol);
  AddMenu("BlackandWhite1", "Black-White", wcol);

  Control* channel = AddMenu("Channel1", "&Channel", MainMenu);
  AddMenu("Mic1", "Mic1", channel, true);
  AddMenu("Left1", "Left", channel);
  AddMenu("Right1", "Right", channel);

  Control* trace = AddMenu("Trace1", "&Trace", MainMenu);
  AddMenu("Black2", "Black", trace);
  AddMenu("Aqua1", "Aqua", trace);
  AddMenu("Lime1", "Lime", trace);
  AddMenu("Red1", "Red", trace);
  AddMenu("Yellow1", "Yellow", trace, true);
  AddMenu("White2", "White", trace);

  Control* background = AddMenu("Background1", "&Background", MainMenu);
  AddMenu("Black1", "Black", background, true);
  AddMenu("White1", "White", background);

  Control* cursor = AddMenu("Cursor1", "C&ursor", MainMenu);
  AddMenu("Arrow1", "Arrow", cursor, true);
  AddMenu("Cross1", "Cross", cursor);
  AddMenu("Magnify1", "Open Cross", cursor);

  Control* refLine = AddMenu("RefLine1", "&Ref.Line", MainMenu);
  AddMenu("ON1", "On", refLine, true);
  AddMenu("OFF1", "Off", refLine);

  Control* size = AddMenu("Size1", "Si&ze", MainMenu);
  AddMenu("N10241", "1024", size, true);
  AddMenu("N20481", "2048", size);
  AddMenu("N40961", "4096", size);
  AddMenu("N81921", "8192", size);

  Control* rate = AddMenu("Rate1", "Rat&e", MainMenu);
  AddMenu("N80001", "8000", rate);
  AddMenu("N110251", "11025", rate);
  AddMenu("N220501", "22050", rate);
  AddMenu("N441001", "44100", rate, true);
  AddMenu("N480001", "48000", rate);

  Control* avg = AddMenu("Avg1", "&Avg", MainMenu);
  AddMenu("N21", "2", avg);
  AddMenu("N41", "4", avg);
  AddMenu("N61", "6", avg);
  AddMenu("N81", "8", avg);
  AddMenu("N102", "10", avg);
  AddMenu("N201", "20", avg, true);
  AddMenu("N401", "40", avg);

  Control* help = AddMenu("Help1", "&Help", MainMenu);
  AddMenu("HelpMenu1", "Help Menu", help);
  AddMenu("About1", "About", help);

  // The groups of choices show radio marks; Calibrate is checked while it runs.
  int group = 0;
  for (Control* parent : {points, loop, source, speed, eof, display, wcol, channel, trace,
                          background, cursor, refLine, size, rate, avg}) {
    ++group;
    for (Control* item : parent->Children())
      if (item->Children().empty() && !item->IsSeparator() && item->Name() != "AudioDevices1")
        item->SetRadioGroup(group);
  }
  Find("SwpCal1")->SetCheckable(true);
  Find("OpenWavefile1")->SetShortcut("Ctrl+O");
  Find("ExportData1")->SetShortcut("Ctrl+E");
  Find("Print1")->SetShortcut("Ctrl+P");
  Find("Exit1")->SetShortcut("Ctrl+Q");
  Find("HelpMenu1")->SetShortcut("F1");
}

}  // namespace zorvane
