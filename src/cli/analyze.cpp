// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/analyze.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <ostream>
#include <vector>

#include "analyzer/Graphicinterpolate.h"
#include "app/Zorvane.h"
#include "export/data_export.h"
#include "platform/headless/headless_platform.h"
#include "platform/image_files.h"
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

// What a batch run covered.
struct Coverage {
  int64_t Blocks = 0;
  int64_t Samples = 0;  // samples of the data analysed (each counted once)
  int64_t Total = 0;    // samples the data hold
  int64_t BytesRead = 0;
  bool ReadFailed = false;
};

// The file's sample data, read ahead in pieces of up to kReadAhead bytes
// (a few calls into the system for a long file instead of one per block)
// and handed out in the amounts asked for.
class DataReader {
 public:
  static constexpr size_t kReadAhead = 64 * 1024;
  DataReader(std::FILE* file, int64_t dataBytes) : file_(file), left_(dataBytes) {}

  // count bytes into to; false (with ReadFailed set) when the file gives
  // out before them.
  bool Take(uint8_t* to, int64_t count) {
    while (count > 0) {
      if (at_ == end_ && !Refill()) return false;
      const size_t n = static_cast<size_t>(std::min<int64_t>(count, end_ - at_));
      std::memcpy(to, piece_.data() + at_, n);
      at_ += n;
      to += n;
      count -= static_cast<int64_t>(n);
    }
    return true;
  }

  int64_t BytesRead = 0;
  bool ReadFailed = false;

 private:
  bool Refill() {
    const size_t want = static_cast<size_t>(std::min<int64_t>(left_, kReadAhead));
    const size_t got = want > 0 ? std::fread(piece_.data(), 1, want, file_) : 0;
    BytesRead += static_cast<int64_t>(got);
    left_ -= static_cast<int64_t>(got);
    at_ = 0;
    end_ = got;
    ReadFailed = got == 0;
    return !ReadFailed;
  }

  std::FILE* file_;
  int64_t left_;
  std::vector<uint8_t> piece_ = std::vector<uint8_t>(kReadAhead);
  size_t at_ = 0, end_ = 0;
};

// Runs the blocks. The data are read once, front to back, in whole units (a
// stereo frame for "left" and "right", one value for "mono", as the
// conversion counts them); each block is the last TransformSize units read,
// laid into capture buffer A where a recording lies and converted by the
// processing cycle's own conversion, so a file's bytes mean to a batch run
// what they mean to the window. A rest shorter than the step is taken by one
// more block that ends where the data end, so no sample is left out. Stops
// after maxBlocks blocks (0: no limit), or where the file gives fewer bytes
// than its data should hold (a file cut short while it is read).
Coverage AnalyseBlocks(TZorvaneForm& form, int overlap, int64_t maxBlocks,
                       const std::function<void(double)>& progress) {
  AppState& S = form.S;
  const int bytes = S.BytesPerSample == 1 ? 1 : 2;
  const int unit = bytes * (S.ChannelSelect == 2 || S.ChannelSelect == 3 ? 2 : 1);
  const int n = std::clamp(S.TransformSize, 128, kMaxTransform);
  const int64_t hop = std::max<int64_t>(1, int64_t{n} * (100 - std::clamp(overlap, 0, 99)) / 100);
  Coverage c;
  c.Total = std::max<int64_t>(0, S.WaveDataRemaining) / unit;
  if (c.Total < n) return c;
  const int64_t blockBytes = int64_t{n} * unit;
  // Unit j (1..n) of the block where ConvertSamples takes sample j from.
  uint8_t* const block = S.CaptureBufferA + (bytes == 2 ? kConvertLeadIn : 0) + unit;
  DataReader data(S.WaveFile, c.Total * unit);
  auto read = [&](uint8_t* to, int64_t count) {
    const bool ok = data.Take(to, count);
    c.BytesRead = data.BytesRead;
    c.ReadFailed = data.ReadFailed;
    return ok;
  };
  if (!read(block, blockBytes)) return c;
  c.Samples = n;
  for (;;) {
    ConvertSamples(bytes, 2, n, S.ChannelSelect, S.SampleBlock, S.CaptureBufferA, S.CaptureBufferB);
    form.AnalyseSampleBlock();
    ++c.Blocks;
    if (progress) progress(static_cast<double>(c.Samples) / static_cast<double>(c.Total));
    if (maxBlocks > 0 && c.Blocks >= maxBlocks) break;
    const int64_t step = std::min(hop, c.Total - c.Samples);
    if (step <= 0) break;
    std::memmove(block, block + step * unit, static_cast<size_t>(blockBytes - step * unit));
    if (!read(block + blockBytes - step * unit, step * unit)) break;
    c.Samples += step;
  }
  return c;
}

}  // namespace

int RunAnalyze(const AnalyzeOptions& o, std::ostream& out, std::ostream& err, bool progress) {
  HeadlessPlatform platform(true);
  LoopbackCable cable(platform);  // the sound card is not used
  // No settings folder: the instrument starts on its defaults and keeps none.
  TZorvaneForm form(platform, cable.Out(), cable.In(), std::string());
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
  form.WaveFile1Click();
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
  // The file's settings in force, as START makes them.
  form.ApplyFileFormat();
  if (ReportMessages(platform, shown, err)) return 1;
  form.RefreshWindowTable(false);

  // Only the last frame is shown, so only the last frame is drawn; the
  // levels, hold and averaging of every block are kept as the window keeps
  // them.
  S.DrawLastFrameOnly = o.DrawEveryFrame ? 0 : 1;
  PrepareReadouts(form, o.Readouts);
  int lastShown = -1;
  auto bar = [&](double fraction) {
    const int percent = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 100);
    if (percent != lastShown) DrawProgress(err, percent / 100.0);
    lastShown = percent;
  };
  const bool drawBar = progress && o.All;
  const Coverage c = AnalyseBlocks(form, o.Overlap, o.All ? 0 : std::max(1, o.Blocks),
                                   drawBar ? std::function<void(double)>(bar) : nullptr);
  if (drawBar) err << "\n";
  if (c.ReadFailed) {
    err << "zorvane-cli: cannot read " << o.File << ": its data end after " << c.BytesRead << " of "
        << S.WaveDataRemaining << " bytes";
    if (std::ferror(S.WaveFile)) err << " (" << std::strerror(errno) << ")";
    err << "\n";
    return 1;
  }
  if (c.Blocks == 0) {
    err << "zorvane-cli: " << o.File << " holds no whole block at this transform size\n";
    return 1;
  }
  form.DrawPendingFrame();
  if (ReportMessages(platform, shown, err)) return 1;

  char line[64];
  std::snprintf(line, sizeof line, "%.1f", static_cast<double>(S.PeakFrequency));
  out << "Peak Frequency = " << (S.DisplayMode == 2 ? "-" : line) << "\n";
  out << "Blocks analysed = " << c.Blocks << "\n";
  out << "Samples analysed = " << c.Samples << " of " << c.Total << "\n";
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
