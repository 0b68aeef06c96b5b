// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/data_export.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/Zorvane.h"

namespace zorvane {

namespace {

// Decibels per division of the resolution button: 10, 5, 2, 1.
float DecibelsPerDivision(int index) {
  static const float table[] = {10.0f, 5.0f, 2.0f, 1.0f};
  return table[std::clamp(index, 0, 3)];
}

void Row(std::string& out, double x, double y, int xDecimals) {
  char line[96];
  std::snprintf(line, sizeof line, "%.*f,%.2f\n", xDecimals, x, y);
  out += line;
}

}  // namespace

// 0 dB on the top line, one division (20 pixels) down per
// DecibelsPerDivision, as the labels and the cursor readout count it.
double PlotLevelOfHeight(const AppState& S, double pixels) {
  const double row = S.PlotBaseline - pixels;
  return -row * DecibelsPerDivision(S.VerticalResolutionIndex) / 20.0;
}

double PlotLevelOfValue(const AppState& S, float value) {
  return PlotLevelOfHeight(S, static_cast<double>(S.VerticalScale) * value);
}

std::string PlotDataCsv(TZorvaneForm& form, bool perBin) {
  AppState& S = form.S;
  std::string out;
  const int n = std::clamp(S.TransformSize, 2, kMaxTransform);
  const double rate = S.SampleRate;
  if (S.DisplayMode == 2) {
    // The block as the time display maps it: value i stands at sample
    // lo + 100 + i * span / 512 of the block.
    out = "time_ms,value\n";
    const double lo = form.LoFreqScrollBar->Position() * S.SizeFactor + 100.0;
    const double step = S.DisplayedBins / 512.0;
    for (int i = 0; i <= n - 2; ++i)
      Row(out, (lo + i * step) / rate * 1000.0, S.DisplayValues[i], 4);
    return out;
  }
  out = "frequency_hz,level_db\n";
  if (perBin) {
    // Element k holds the bin of frequency (k - 1) * rate / n.
    for (int k = 1; k <= n / 2; ++k)
      Row(out, (k - 1) * rate / n, PlotLevelOfValue(S, S.HoldSpectrum[k]), 3);
    return out;
  }
  if (S.SweepMode == 1 && S.DisplayMode == 1) {
    // The swept response: one row per point measured in the last pass, at
    // the frequency its tone played (the centre of the tone's bin), with the
    // tone's held level as measured and corrected by the calibration the
    // trace applies, not rounded to the trace's pixels.
    const int s = std::clamp(S.SweepPointStep, 1, 16);
    for (int d = 1; d <= std::min(S.SweepPointIndex, kPlotWidth); d += s) {
      const bool corrected = S.SweepCalibrating != 1 || (d >= 2 && d <= kPlotWidth - 1);
      const double height = static_cast<double>(S.VerticalScale) * S.SweepPointLevels[d] +
                            (corrected ? S.SweepCalCorrection[d] : 0);
      Row(out, form.SweepToneBin(d) * rate / n, PlotLevelOfHeight(S, height), 3);
    }
    return out;
  }
  for (int i = 0; i < kPlotWidth; ++i)
    Row(out, form.DisplayPointHz(i), PlotLevelOfValue(S, S.DisplayValues[i]), 3);
  return out;
}

bool WritePlotDataCsv(TZorvaneForm& form, const std::string& path, bool perBin,
                      std::string* error) {
  const std::string text = PlotDataCsv(form, perBin);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    if (error) *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  const bool closed = std::fclose(f) == 0;
  if (!(written && closed)) {
    if (error) *error = "cannot write " + path + ": " + std::strerror(errno);
    std::remove(path.c_str());
    return false;
  }
  return true;
}

// File > Export Data: the CSV of what the plot shows, into a file the user
// chooses. Like the other File commands it stops a running analyzer first.
void TZorvaneForm::ExportData1Click() {
  if (S.AnalyzerActive == 1) StopBtnClick();
  const auto path =
      platform.SaveFileDialog("Export Data", "csv", {"CSV files (*.csv)", "All files (*)"});
  if (!path) return;
  std::string error;
  if (!WritePlotDataCsv(*this, *path, false, &error))
    platform.MessageBox("Could not write the file " + *path, "File Error Message");
}

}  // namespace zorvane
