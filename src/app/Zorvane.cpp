// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Zorvane.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/configuration.h"
#include "readouts/readouts.h"

namespace zorvane {

std::string SettingsFolder() {
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) return std::string(x) + "/zorvane";
  if (const char* h = std::getenv("HOME"); h && *h) return std::string(h) + "/.config/zorvane";
  return ".";
}

namespace {
constexpr int kScaledWidth = 786;
}  // namespace

Control* TZorvaneForm::Add(const std::string& name, ControlKind kind, Control* parent) {
  controls_.push_back(std::make_unique<Control>(name, kind, parent));
  Control* c = controls_.back().get();
  byName_[name] = c;
  return c;
}

Control* TZorvaneForm::Find(std::string_view name) const {
  auto it = byName_.find(name);
  return it == byName_.end() ? nullptr : it->second;
}

TZorvaneForm::TZorvaneForm(Platform& p, WaveOut& out, WaveIn& in, std::string settingsFolder)
    : platform(p), waveOut(out), waveIn(in), settingsFolder_(std::move(settingsFolder)) {
  // The capture waits sleep until the input finishes a buffer; the device
  // wakes the platform from its own thread. The platform outlives the form.
  waveIn.SetBufferDoneNotify([&platform = p] { platform.WakeUp(); });
  // 1. Controls with their design-time properties.
  CreateControls();
  CreateMenu();
  WireShell();
  WireGenerator();
  WireAcquisition();
  WireAnalyzerView();
  WireFrequencyControls();
  WireDisplaySettings();
  WireSweep();
  WireExport();

  // 2. Heap buffers, zeroed so nothing stale ever reaches a display.
  captureA_ = std::make_unique<uint8_t[]>(kCaptureBufferBytes);
  captureB_ = std::make_unique<uint8_t[]>(kCaptureBufferBytes);
  output_ = std::make_unique<uint8_t[]>(kOutputBufferBytes);
  S.CaptureBufferA = captureA_.get();
  S.CaptureBufferB = captureB_.get();
  S.OutputBuffer = output_.get();

  // 3. Work-array pointers.
  work_ = std::make_unique<WorkArrays>();
  Readouts = std::make_unique<readouts::BlockReadouts>();
  S.WindowTable = work_->WindowTable.data();
  S.SampleBlock = work_->SampleBlock.data();
  S.Spectrum = work_->Spectrum.data();
  S.FftReal = work_->FftReal.data();
  S.FftImag = work_->FftImag.data();
  S.HoldSpectrum = work_->HoldSpectrum.data();
  S.DisplayValues = work_->DisplayValues.data();
  S.AverageHistory = work_->AverageHistory.data();
  S.SplineSecondDerivatives = work_->SplineSecondDerivatives.data();
  S.SplineSweep = work_->SplineSweep.data();
  S.SynthesisWorkPtr = work_->SynthesisWork.data();
  S.TracePixels = work_->TracePixels.data();
  S.SweepTracePixels = work_->SweepTracePixels.data();
  S.PreviousSweepPixels = work_->PreviousSweepPixels.data();
  S.SweepCalCorrection = work_->SweepCalCorrection.data();
  S.SweepPointLevels = work_->SweepPointLevels.data();

  // 4. Defaults (the record's initialisers), then the derived capture fields.
  S.Constructing = 1;
  S.CaptureBytesPerSecond = S.SampleRate * S.BytesPerSample * S.CaptureChannels;
  S.CaptureBufferBytes =
      static_cast<uint16_t>(S.TransformSize * S.BytesPerSample * S.CaptureChannels + 128);
  S.OutputBytesPerSecond = 44100 * 2 * 1;
  S.NyquistHz = S.SampleRate / 2;
  S.OutputFrequency = S.FunctionFrequency;
  SourceFormat f;
  f.Channels = S.CaptureChannels;
  f.SampleRate = S.SampleRate;
  f.BytesPerSecond = S.CaptureBytesPerSecond;
  f.BlockAlign = S.CaptureBlockAlign;
  f.BitsPerSample = S.CaptureBitsPerSample;
  f.BytesPerSample = S.BytesPerSample;
  f.TransformSize = S.TransformSize;
  f.BufferBytes = S.CaptureBufferBytes;
  f.ChannelSelect = S.ChannelSelect;
  S.SavedBoardFormat = f;
  S.SavedFileFormat = f;

  // 5. Output device opened idle.
  BuildOutputFormat();
  OpenOutputDevice();

  // 6. Scale the window so that it comes up 786 pixels wide.
  ScaleControls(static_cast<double>(kScaledWidth) / Self->Width());

  // 7. Plot bitmaps.
  DisplayBitmap = Bitmap(S.PlotWidth + 1, S.PlotHeight);
  WaterfallBitmap = Bitmap(S.PlotWidth + 1, S.PlotHeight);

  // 8. Configuration and help paths.
  FindSettingsFiles();
  S.Constructing = 0;

  // 9. The stored settings, replayed through the handlers.
  LoadConfiguration(S.ConfigPath);

  // 10. The open-cross cursor is built by the view from its pixel pattern;
  //     the core only names the shape (see SetCursorShape).

  // 11. Scroll-bar steps.
  FreqScrollBar->SetSmallChange(10);
  FreqScrollBar->SetLargeChange(100);
  LoFreqScrollBar->SetSmallChange(1);
  LoFreqScrollBar->SetLargeChange(10);
  HiFreqScrollBar->SetSmallChange(1);
  HiFreqScrollBar->SetLargeChange(10);

  // 12. Empty graticule.
  DrawEmptyGraticule();

  // 13. Window table.
  RefreshWindowTable(true);

  // 14. Marker and frequency readouts.
  UpdateMarkerReadouts();

  // The companion window, created after the main window as the program
  // starts; it is never shown.
  CreateBaseForm();
}

TZorvaneForm::~TZorvaneForm() {
  FormDestroy();
  waveIn.SetBufferDoneNotify(nullptr);
}

void TZorvaneForm::DrawEmptyGraticule() {
  Canvas c(DisplayBitmap);
  c.BrushColor = colors::Black;
  c.PenColor = colors::Black;
  c.PenWidth = 1;
  c.Rectangle(0, 0, 513, 203);
  c.PenColor = colors::Teal;
  c.BrushColor = colors::Teal;
  for (int y = 0; y <= 200; y += 20) {
    c.MoveTo(1, y);
    c.LineTo(511, y);
  }
  for (int x = 0; x <= 512; x += 64) {
    c.MoveTo(x, 200);
    c.LineTo(x, 0);
  }
}

void TZorvaneForm::FindSettingsFiles() {
  // Without a settings folder (batch work) nothing is read or kept.
  if (settingsFolder_.empty()) return;
  auto exists = [](const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
  };
  const std::string help = settingsFolder_ + "/ZorvaneHelp.chm";
  if (exists(help)) {
    S.HelpPath = help;
  } else {
    // An installed program finds the help document installed with it, so
    // that it serves every user, not only the one who installed it.
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::string installed =
        (exe.parent_path() / "../share/zorvane/ZorvaneHelp.chm").lexically_normal().string();
    if (!ec && exists(installed)) S.HelpPath = installed;
  }
  // The settings are kept only in a regular file of that name.
  const std::string cfg = settingsFolder_ + "/Zorvane.cfg";
  if (IsRegularSettingsFile(cfg)) S.ConfigPath = cfg;
}

void TZorvaneForm::ScaleControls(double factor) {
  auto sc = [factor](int v) { return static_cast<int>(std::lround(v * factor)); };
  for (auto& c : controls_) {
    if (c->Kind() == ControlKind::MenuItem || c->Kind() == ControlKind::Timer) continue;
    c->SetBounds(sc(c->Left()), sc(c->Top()), sc(c->Width()), sc(c->Height()));
    c->SetFontHeight(sc(c->FontHeight()));
  }
}

void TZorvaneForm::FormResize() {
  if (S.Constructing == 1) return;
  int w = Self->Width(), h = Self->Height();
  if (w < kScaledWidth) w = kScaledWidth;
  if (h < 165) h = 165;
  if (w != Self->Width() || h != Self->Height()) Self->SetBounds(Self->Left(), Self->Top(), w, h);
}

void TZorvaneForm::QuitBtnClick() {
  // 1. Stop the sweep and the analyzer loop (the capture device is left to
  //    the loop and the process end).
  S.SweepRunning = 0;
  S.AnalyzerStopRequested = 1;
  // 2.-3. Output off.
  if (S.OutputOn != 0) {
    CloseOutputDevice();
    S.OutputOn = 0;
  }
  if (S.OutputPlaying == 1) S.OutputPlaying = 0;
  // 4. WAV file.
  if (S.WaveFileOpen == 1) {
    if (S.WaveFile) std::fclose(S.WaveFile);
    S.WaveFile = nullptr;
    S.WaveFileOpen = 0;
  }
  // 5. Settings.
  SaveConfiguration(S.ConfigPath);
  // 6. Leave the sound card's output reset and closed.
  BuildOutputFormat();
  OpenOutputDevice();
  platform.Sleep(25);
  CloseOutputDevice();
  // 7. End the message loop.
  platform.Terminate();
}

void TZorvaneForm::Exit1Click() { QuitBtnClick(); }

void TZorvaneForm::FormClose() { QuitBtnClick(); }

void TZorvaneForm::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  // Quitting while the analyzer runs leaves the input device recording.
  // Release it before its buffers go, so that nothing is ever written into
  // freed memory; the window is gone, so failures are not reported.
  if (S.CaptureDeviceOpen == 1) {
    S.CaptureDeviceOpen = 0;
    waveIn.Reset(S.CaptureDevice);
    waveIn.Unprepare(S.CaptureDevice, &S.CaptureHeaderA, kWaveHeaderSize);
    waveIn.Unprepare(S.CaptureDevice, &S.CaptureHeaderB, kWaveHeaderSize);
    waveIn.Close(S.CaptureDevice);
  }
  S.CaptureBufferA = nullptr;
  S.CaptureBufferB = nullptr;
  captureA_.reset();
  captureB_.reset();
  if (S.WaveFileOpen == 1 && S.WaveFile) {
    std::fclose(S.WaveFile);
    S.WaveFile = nullptr;
    S.WaveFileOpen = 0;
  }
}

void TZorvaneForm::WireClicks(std::initializer_list<std::pair<const char*, ClickHandler>> items) {
  for (const auto& [name, handler] : items) {
    const ClickHandler h = handler;
    Find(name)->OnClick = [this, h] { (this->*h)(); };
  }
}

void TZorvaneForm::WireShell() {
  QuitBtn->OnClick = [this] { QuitBtnClick(); };
  Find("Exit1")->OnClick = [this] { Exit1Click(); };
  Find("ExportData1")->OnClick = [this] { ExportData1Click(); };
}

}  // namespace zorvane
