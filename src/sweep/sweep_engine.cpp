// SPDX-License-Identifier: GPL-3.0-or-later
// The stepped sweep: FIXED/SWP, the number of points, the loop switch and the
// pass itself. A pass plays one tone per point, each on the centre of an
// analyzer bin, captures one block of it, folds its spectrum into the peak
// hold and draws the swept-response trace up to that point. It runs inside
// the START click and yields only inside the capture waits, where every other
// handler (STOP, FIXED, the loop switch) runs nested and talks to it through
// the state record.
#include <algorithm>
#include <cmath>

#include "analyzer/Graphicinterpolate.h"
#include "app/Zorvane.h"
#include "generator/synthesis.h"

namespace zorvane {

namespace {

// Exponent step of the logarithmic axis per transform size, log10(M) / M with
// M = 512 x the size factor.
double LogSweepStep(int sizeFactor) {
  switch (sizeFactor) {
    case 1:
      return 0.005291542892164828;
    case 2:
      return 0.0029397460515483667;
    case 4:
      return 0.0016168603282090068;
    case 8:
      return 0.0008819238152052467;
    default: {
      const double m = 512.0 * std::max(1, sizeFactor);
      return std::log10(m) / m;
    }
  }
}

// The shortest time a tone plays before its block is recorded.
constexpr int kMinimumSettleMs = 50;

const char* const kPointItems[5] = {"N32", "N64", "N128", "N256", "N512"};

}  // namespace

// The transform bin whose centre frequency sweep point c plays. On the linear
// axis the tone belongs to display point c + step, on the logarithmic axis to
// display point c. The result is kept inside the spectrum.
int TZorvaneForm::SweepToneBin(int c) const {
  const int s = std::max(1, S.SweepPointStep);
  double bin;
  if (S.HorizontalScale == 0) {
    bin = static_cast<float>(static_cast<float>(S.SweepStartBin) +
                             static_cast<float>(c + s) * S.SweepBinStep);
  } else {
    const float x = static_cast<float>(S.SweepStartBin) + static_cast<float>(c) * S.SweepBinStep;
    bin = std::pow(10.0, static_cast<double>(x) * LogSweepStep(S.SizeFactor));
  }
  if (!(bin >= 0.0)) return 0;
  return static_cast<int>(std::min(bin, static_cast<double>(kMaxTransform / 2)));
}

// The display point at which the tone of sweep point c stands: on the
// logarithmic axis point c itself, whose bin the tone plays; on the linear
// axis the point nearest the tone's bin (the bin is truncated from the
// position of point c + step, so it can lie up to one bin below it).
// (Before the first sweep there is no bin step: the tone's point is then the
// one its position names, c + step.)
int TZorvaneForm::SweepToneColumn(int c) const {
  if (S.HorizontalScale != 0) return std::clamp(c, 0, kSweepPixelsLen - 1);
  long column = c + std::max(1, S.SweepPointStep);
  if (S.SweepBinStep > 0.0f)
    column = std::lround((SweepToneBin(c) - S.SweepStartBin) / double{S.SweepBinStep});
  return static_cast<int>(std::clamp<long>(column, 0, kSweepPixelsLen - 1));
}

// Point c's own level: the held level of its tone's bin now, when the point
// has just been measured. Half the rate has no element of its own; the bin
// below it stands in.
void TZorvaneForm::HoldSweepPointLevel(int c) {
  const int half = std::clamp(S.TransformSize, 2, kMaxTransform) / 2;
  const int bin = std::min(SweepToneBin(c), half - 1);
  S.SweepPointLevels[std::clamp(c, 0, kSweepPixelsLen - 1)] = S.HoldSpectrum[bin + 1];
}

// Every measured point shows its own tone's level at its tone's display
// point, whatever the mapping of the held spectrum puts there.
void TZorvaneForm::ShowSweepTones(int lastPoint) {
  const int s = std::max(1, S.SweepPointStep);
  for (int d = 1; d <= std::min(lastPoint, kPlotWidth); d += s)
    S.DisplayValues[SweepToneColumn(d)] = S.SweepPointLevels[d];
}

// How long each tone plays before its block is recorded: at least 50 ms, and
// at least as long as the sound takes from the output to the input.
int TZorvaneForm::SweepSettleMs() {
  const int64_t pathUs = waveOut.LatencyUs(S.OutputDevice) + waveIn.LatencyUs(S.CaptureDevice);
  const int64_t ms = (pathUs + 999) / 1000;
  return static_cast<int>(std::clamp<int64_t>(ms, kMinimumSettleMs, 10000));
}

void TZorvaneForm::SweepBtnClick() {
  if (S.AnalyzerActive == 1) StartBtnClick();
  if (S.OutputPlaying == 0 && S.SweepMode == 0) {
    S.SweepMode = 1;
    SweepBtn->SetFontColor(colors::Blue);
    SweepBtn->SetCaption("SWP");
    // Entering SWP always discards the calibration.
    std::fill(S.SweepCalCorrection, S.SweepCalCorrection + S.PlotWidth + 1, 0);
  } else {
    S.SweepMode = 0;
    SweepBtn->SetFontColor(colors::Red);
    SweepBtn->SetCaption("FIXED");
    S.HoldMode = 3;
    NormalBtnClick();
  }
}

static void SelectPoints(TZorvaneForm& f, int index, int points) {
  if (f.S.SweepRunning == 1) {
    f.platform.MessageBox("Cannot change No. of points while sweeping\n", "Error Message");
    return;
  }
  f.S.SweepPoints = points;
  f.S.SweepPointStep = kPlotWidth / points;
  for (int i = 0; i < 5; ++i) f.Find(kPointItems[i])->SetChecked(i == index);
}

void TZorvaneForm::N32Click() { SelectPoints(*this, 0, 32); }
void TZorvaneForm::N64Click() { SelectPoints(*this, 1, 64); }
void TZorvaneForm::N128Click() { SelectPoints(*this, 2, 128); }
void TZorvaneForm::N256Click() { SelectPoints(*this, 3, 256); }
void TZorvaneForm::N512Click() { SelectPoints(*this, 4, 512); }

void TZorvaneForm::Off2Click() {
  S.SweepLoop = 0;
  Find("Off2")->SetChecked(true);
  Find("On2")->SetChecked(false);
}

void TZorvaneForm::On2Click() {
  S.SweepLoop = 1;
  Find("Off2")->SetChecked(false);
  Find("On2")->SetChecked(true);
}

// Releases what a sweep holds without reporting anything: for a program that
// is ending, whose devices may already have failed.
void TZorvaneForm::ReleaseSweepDevices(WaveHandle output, bool input) {
  if (output != 0) {
    waveOut.Reset(output);
    waveOut.Unprepare(output, &S.OutputHeader, kWaveHeaderSize);
    waveOut.Close(output);
  }
  if (input) {
    waveIn.Reset(S.CaptureDevice);
    waveIn.Unprepare(S.CaptureDevice, &S.CaptureHeaderA, kWaveHeaderSize);
    waveIn.Unprepare(S.CaptureDevice, &S.CaptureHeaderB, kWaveHeaderSize);
    waveIn.Close(S.CaptureDevice);
  }
}

void TZorvaneForm::SweepStartBtnClick() {
  const float rememberedFrequency = S.OutputFrequency;
  const int32_t rememberedDisplay = S.DisplayMode;
  const int32_t rememberedHold = S.HoldMode;
  bool barWasOn = false;

  // The controls the sweep locks, given back however it ends.
  auto unlockControls = [&] {
    for (Control* c :
         {LoFreqScrollBar, HiFreqScrollBar, NormalBtn, StartBtn, SingleBtn, LineBarBtn})
      c->SetEnabled(true);
    if (barWasOn) LineBarBtnClick();
  };

  if (S.SweepMode != 1) {
    platform.MessageBox("Freq Mode must be in 'Sweep' mode to generate audio with this button",
                        "Freq Mode Error");
    unlockControls();
    return;
  }
  if (S.AnalyzerStopRequested == 0) StopBtnClick();

  if (S.SweepRunning == 1) {
    // A second click: the running sweep ends after its current point.
    S.SweepRunning = 0;
    SweepStartBtn->SetFontColor(colors::Blue);
    SweepStartBtn->SetCaption("START");
    unlockControls();
    return;
  }

  S.SweepRunning = 1;
  SweepStartBtn->SetFontColor(colors::Red);
  SweepStartBtn->SetCaption("STOP");
  // What a settings file written before the sweep ends must hold.
  S.SweepRememberedHold = rememberedHold >= 1 && rememberedHold <= 3 ? rememberedHold : 1;
  S.SweepRememberedGraph = S.GraphType;
  S.SweepRememberedDisplay = rememberedDisplay;

  // Set-up: the frequency display, peak hold, a line graph, the frequency
  // window locked.
  S.DisplayMode = 1;
  S.HoldMode = 2;
  NormalBtnClick();
  FrequencyDisplay->SetFontColor(colors::Yellow);
  for (Control* c : {LoFreqScrollBar, HiFreqScrollBar, NormalBtn, StartBtn, SingleBtn})
    c->SetEnabled(false);
  if (S.GraphType == 2) {
    barWasOn = true;
    LineBarBtnClick();
  }
  LineBarBtn->SetEnabled(false);

  for (int i = 0; i <= S.PlotWidth + 1; ++i) {
    S.DisplayValues[i] = 0.0f;
    S.PreviousSweepPixels[i] = 0;
  }
  std::fill(S.SweepPointLevels, S.SweepPointLevels + kSweepPixelsLen, 0.0f);
  // The peak hold starts empty: whatever the analyzer held before is no
  // part of this response.
  std::fill(S.HoldSpectrum, S.HoldSpectrum + kArrayLen, 0.0f);
  ClearDisplayBitmap();
  SpectrumBoxPaint();

  const int lo = LoFreqScrollBar->Position(), hi = HiFreqScrollBar->Position();
  S.SweepStartBin = lo * S.SizeFactor;
  S.SweepBinStep = static_cast<float>((hi - lo) * S.SizeFactor) / static_cast<float>(S.PlotWidth);
  const float hertzPerBin = static_cast<float>(S.SampleRate) / static_cast<float>(S.TransformSize);
  const int s = std::max(1, S.SweepPointStep);
  S.OutputLoopCount = -1;
  bool first = true, restoreLoop = false;

  // What the sweep holds open, so that a program that ends under it can
  // release both devices before their buffers go.
  WaveHandle playing = 0;
  bool recording = false;
  auto ending = [&] {
    if (!platform.Terminated()) return false;
    ReleaseSweepDevices(playing, recording);
    S.SweepRunning = 0;
    return true;
  };

  for (;;) {
    bool stopped = false;
    for (int c = 1; c <= S.PlotWidth; c += s) {
      S.SweepPointIndex = c;
      const int bin = SweepToneBin(c);
      S.OutputFrequency = static_cast<float>(bin) * hertzPerBin;

      // The tone, looping without end.
      SynthesizeWaveform(S.OutputBuffer, S.SynthesisWorkPtr, S.OutputFrequency, S.Waveform,
                         S.OutputLoopBytes, S.NoiseSeed);
      BuildOutputFormat();
      OpenOutputDevice();
      if (ending()) return;
      playing = S.OutputDevice;
      PrepareOutputHeader();
      WriteOutputBuffer();
      if (ending()) return;

      // One block per point, in buffer A and B in turn.
      S.CaptureBufferBytes =
          static_cast<uint16_t>(S.TransformSize * S.BytesPerSample * S.CaptureChannels);
      if (first) {
        first = false;
        S.SweepCaptureSlot = 1;
        BuildCaptureFormat();
        OpenCaptureDevice();
        if (ending()) return;
        recording = true;
      }
      platform.Sleep(SweepSettleMs());

      // The wait belongs to this point alone: no time-out armed for the
      // analyzer's cycle may cut its block short.
      TimeoutTimer->SetEnabled(false);
      S.CaptureTimedOut = 0;
      ResetCaptureDevice();
      if (S.SweepCaptureSlot == 2) {
        PrepareHeaderA();
        StartCapture();
        QueueBufferA();
        if (ending()) return;
        WaitBufferA();
      } else {
        PrepareHeaderB();
        StartCapture();
        QueueBufferB();
        if (ending()) return;
        WaitBufferB();
      }
      if (ending()) return;

      ConvertSamples(S.BytesPerSample, S.SweepCaptureSlot, S.TransformSize, S.ChannelSelect,
                     S.SampleBlock, S.CaptureBufferA, S.CaptureBufferB);
      WindowAndTransform(S.SampleBlock, S.Spectrum, S.TransformSize, S.WindowTable, S.InputGain,
                         S.FftReal, S.FftImag);
      S.PeakFrequency = FindPeakFrequency(S.Spectrum, S.TransformSize, S.SizeFactor, S.SampleRate);
      ScaleSpectrum();
      HoldSweepPointLevel(c);
      ShowSweepTones(c);
      ClearPlot();
      RenderDisplay(S.GraphType, S.DisplayValues);
      S.SweepCaptureSlot = S.SweepCaptureSlot == 1 ? 2 : 1;

      CloseOutputDevice();
      if (ending()) return;
      playing = 0;

      if (S.SweepRunning == 0 || S.SweepMode != 1) {
        if (S.SweepLoop == 1) {
          restoreLoop = true;
          Off2Click();
        }
        stopped = true;
        break;
      }
      // The last point of a pass: the next pass starts a new peak hold, over
      // every bin the display can show at any transform size.
      if (c > S.PlotWidth - s) std::fill(S.HoldSpectrum, S.HoldSpectrum + kArrayLen, 0.0f);
    }
    if (stopped || S.SweepLoop != 1) break;
    // Another pass: the one just drawn stays on the plot in lime.
    S.PreviousSweepPixels[0] = S.SweepTracePixels[1];
    for (int k = 1; k <= S.PlotWidth; ++k) S.PreviousSweepPixels[k] = S.SweepTracePixels[k];
    if (S.SweepCalibrating == 1) {
      S.SweepCalibrating = 0;
      ShowCalibrating();
    }
  }

  // Finish.
  S.SweepRememberedHold = 0;
  if (restoreLoop) On2Click();
  ShutdownCapture();
  S.SweepRunning = 0;
  SweepStartBtn->SetFontColor(colors::Blue);
  SweepStartBtn->SetCaption("START");
  S.OutputFrequency = rememberedFrequency;
  S.DisplayMode = rememberedDisplay;
  S.SweepCalibrating = 0;
  ShowCalibrating();
  switch (rememberedHold) {
    case 1:
      S.HoldMode = 3;
      NormalBtnClick();
      break;
    case 2:
      S.HoldMode = 1;
      NormalBtnClick();
      break;
    case 3:
      S.HoldMode = 2;
      NormalBtnClick();
      break;
    default:
      S.HoldMode = rememberedHold;
      break;
  }
  unlockControls();
}

void TZorvaneForm::WireSweep() {
  SweepBtn->OnClick = [this] { SweepBtnClick(); };
  SweepStartBtn->OnClick = [this] { SweepStartBtnClick(); };
  WireClicks({
      {"N32", &TZorvaneForm::N32Click},
      {"N64", &TZorvaneForm::N64Click},
      {"N128", &TZorvaneForm::N128Click},
      {"N256", &TZorvaneForm::N256Click},
      {"N512", &TZorvaneForm::N512Click},
      {"Off2", &TZorvaneForm::Off2Click},
      {"On2", &TZorvaneForm::On2Click},
      {"SwpCal1", &TZorvaneForm::SwpCalBtnClick},
      {"ZeroCal1", &TZorvaneForm::ZeroCalClick},
  });
}

}  // namespace zorvane
