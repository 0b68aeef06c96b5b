#include "cli/analyze.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

#include "app/Zorvane.h"
#include "export/data_export.h"
#include "export/image_files.h"
#include "platform/headless/headless_platform.h"
#include "platform/loopback/loopback.h"

namespace zorvane {

namespace {

// The messages shown so far, as the window would show them, on err; true
// when there were any.
bool ReportMessages(HeadlessPlatform& platform, size_t& shown, std::ostream& err) {
  bool any = false;
  for (; shown < platform.Messages.size(); ++shown) {
    const auto& m = platform.Messages[shown];
    err << "zorvane-cli: " << (m.Title.empty() ? "" : m.Title + ": ") << EscapeLine(m.Text) << "\n";
    any = true;
  }
  return any;
}

void DrawProgress(std::ostream& err, double fraction) {
  constexpr int kWidth = 40;
  const int filled = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * kWidth);
  err << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, ' ') << "] "
      << static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 100) << "%" << std::flush;
}

}  // namespace

int RunAnalyze(const AnalyzeOptions& o, std::ostream& out, std::ostream& err, bool progress) {
  HeadlessPlatform platform(true);
  LoopbackCable cable(platform);  // the sound card is not used
  // No settings folder: the instrument starts on its defaults and keeps none.
  TZorvaneForm form(platform, cable.Out(), cable.In(), std::string());
  for (Control* t : {form.ChartTimer, form.SweepTimer, form.FileTimer, form.TimeoutTimer})
    platform.AddTimer(t);
  AppState& S = form.S;
  size_t shown = 0;

  platform.QueueDialogAnswer(o.File);
  form.OpenWavefile1Click();
  if (ReportMessages(platform, shown, err) || S.WaveFileOpen != 1) return 1;
  if (!o.Channel.empty() && o.Channel != "mono" && S.SavedFileFormat.Channels != 2) {
    err << "zorvane-cli: --channel " << o.Channel << " needs a stereo file; " << o.File
        << " is mono\n";
    return 1;
  }
  const int64_t total = S.WaveDataRemaining;
  form.WaveFile1Click();
  form.EOF_OFFClick();  // the end of the data is no message here
  form.N50ms2Click();   // one block per 50 ms of virtual time
  if (o.Display == "waterfall")
    form.Waterfall1Click();
  else if (o.Display == "time")
    form.TimeDisplayClick();
  if (o.Size) form.ClickSizeItem(o.Size);
  if (o.Channel == "mono")
    form.Mic1Click();
  else if (o.Channel == "left")
    form.Left1Click();
  else if (o.Channel == "right")
    form.Right1Click();
  for (int clicks = o.Hold == "average" ? 1 : o.Hold == "peak" ? 2 : 0; clicks > 0; --clicks)
    form.NormalBtnClick();
  if (o.Average) {
    static const std::pair<int, void (TZorvaneForm::*)()> items[] = {
        {2, &TZorvaneForm::N21Click},   {4, &TZorvaneForm::N41Click},
        {6, &TZorvaneForm::N61Click},   {8, &TZorvaneForm::N81Click},
        {10, &TZorvaneForm::N102Click}, {20, &TZorvaneForm::N201Click},
        {40, &TZorvaneForm::N401Click}};
    for (const auto& [count, handler] : items)
      if (count == o.Average) (form.*handler)();
  }

  // Only the last frame is shown, so only the last frame is drawn; the
  // levels, hold and averaging of every block are kept as the window keeps
  // them.
  S.DrawLastFrameOnly = o.DrawEveryFrame ? 0 : 1;
  PrepareReadouts(form, o.Readouts);
  long paints = 0;
  form.SpectrumBox->OnPaint = [&paints] { ++paints; };
  auto frames = [&] { return paints + S.FramesNotDrawn; };
  if (!o.All && o.Blocks <= 1) {
    form.SingleBtnClick();
  } else {
    form.StartBtnClick();
    int64_t lastShown = -1;
    while (S.AnalyzerActive == 1 && (o.All || frames() < o.Blocks)) {
      platform.Idle(S.DisplayIntervalMs);
      if (progress && o.All && total > 0) {
        const int64_t percent = (total - S.WaveDataRemaining) * 100 / total;
        if (percent != lastShown) DrawProgress(err, static_cast<double>(percent) / 100.0);
        lastShown = percent;
      }
    }
    if (S.AnalyzerActive == 1) form.StopBtnClick();
    if (progress && o.All) {
      DrawProgress(err, 1.0);
      err << "\n";
    }
  }
  const long analysed = frames();
  form.DrawPendingFrame();
  if (ReportMessages(platform, shown, err)) return 1;
  if (analysed == 0) {
    err << "zorvane-cli: " << o.File << " holds no whole block at this transform size\n";
    return 1;
  }

  char line[64];
  std::snprintf(line, sizeof line, "%.1f", static_cast<double>(S.PeakFrequency));
  out << "Peak Frequency = " << (S.DisplayMode == 2 ? "-" : line) << "\n";
  out << "Blocks analysed = " << analysed << "\n";
  for (const std::string* image : {&o.Png, &o.Bmp}) {
    if (!image->empty() && !SaveImageFile(form.DisplayBitmap, *image)) {
      err << "zorvane-cli: cannot write " << *image << "\n";
      return 1;
    }
  }
  std::string error;
  if (!o.Csv.empty() && o.Readouts.Bands.empty() &&
      !WritePlotDataCsv(form, o.Csv, o.Bins, &error)) {
    err << "zorvane-cli: " << error << "\n";
    return 1;
  }
  return ReportReadouts(form, o.Readouts, o.Csv, out, err) ? 0 : 1;
}

}  // namespace zorvane
