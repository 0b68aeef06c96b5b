// SPDX-License-Identifier: GPL-3.0-or-later
// Peak search, vertical scaling, averaging / peak hold and the mapping of
// bins (or time samples) onto the display points.
#include <algorithm>
#include <cmath>

#include "analyzer/Graphicinterpolate.h"
#include "analyzer/lanes.h"
#include "analyzer/level_log.h"
#include "app/Zorvane.h"

namespace zorvane {

namespace {

// Exponent step of the logarithmic axis, log10(512 f) / (512 f) for the size
// factor f, with the program's constants for the four transform sizes.
double LogAxisStep(int sizeFactor) {
  switch (sizeFactor) {
    case 1:
      return 0.005291542892;
    case 2:
      return 0.0029397460515;
    case 4:
      return 0.0016168603282;
    case 8:
      return 0.00088192381521;
    default: {
      const double half = 512.0 * std::max(1, sizeFactor);
      return std::log10(half) / half;
    }
  }
}

// 10^(x * step), kept as a float like every other value of the mapping (so
// the top of the axis lands exactly on the last bin).
float LogAxisPower(float x, double step) {
  return static_cast<float>(std::pow(10.0, static_cast<double>(x) * step));
}

// Bin index of a point of the logarithmic axis, kept inside the arrays (the
// time display's axis runs far past the last bin).
int BinOf(float power) {
  if (!(power < static_cast<float>(kArrayLen - 2))) return kArrayLen - 2;  // also NaN
  return power < 0.0f ? 0 : static_cast<int>(power);
}

// Transform size clamped to the arrays.
int BlockSize(const AppState& S) { return std::clamp(S.TransformSize, 2, kMaxTransform); }

// Vertical conversion of elements 1..count in place. "LOG 10" multiplies
// the common logarithm by log10Factor, "LOG 2" the natural logarithm by
// lnFactor; "LINEAR" multiplies by linearFactor.
void ConvertLevels(float* __restrict v, int count, int axisMode, float log10Factor, float lnFactor,
                   float linearFactor) {
  switch (axisMode) {
    case 2:
      Log10Levels(v + 1, count, log10Factor);
      break;
    case 1:
      for (int k = 1; k <= count; ++k) v[k] = lnFactor * std::log(std::max(v[k], 1.0f));
      break;
    case 0:
      if (linearFactor != 1.0f)
        for (int k = 1; k <= count; ++k) v[k] = v[k] * linearFactor;
      break;
    default:
      break;
  }
}

// Puts the averaging history back in place (history row r in row r) for
// elements 1..AverageRingCount; elements beyond them never move.
void SettleHistory(AppState& S) {
  const int m = S.AverageRingRows, start = S.AverageRingStart;
  if (m >= 2 && start != 0) {
    auto* rows = S.AverageHistory;
    float column[kHistoryRows];
    for (int k = 1; k <= S.AverageRingCount; ++k) {
      for (int r = 1; r <= m; ++r) column[r] = rows[1 + (start + r - 1) % m][k];
      for (int r = 1; r <= m; ++r) rows[r][k] = column[r];
    }
  }
  S.AverageRingStart = 0;
}

// The linear axis when a display point spans more than one bin: point i
// stands at bin position x = i * step from the window's first bin and shows
// the largest of the bins within half a step of it, so that a tone keeps its
// height wherever it falls between the points. Positions beyond the source
// repeat its last value, as the spline's do. Returns the values written.
int LargestBinPerPoint(const float* y, int available, float limit, float step, float* dest,
                       int destCount) {
  if (available < 1 || !(step > 0.0f)) return 0;
  const float half = 0.5f * step;
  int count = 0;
  for (; count < destCount; ++count) {
    const float x = static_cast<float>(count) * step;
    if (!(x <= limit)) break;
    const int first = std::clamp(static_cast<int>(std::ceil(x - half)), 0, available - 1);
    const int last = std::clamp(static_cast<int>(std::ceil(x + half)) - 1, first, available - 1);
    float best = y[first];
    for (int k = first + 1; k <= last; ++k) best = std::max(best, y[k]);
    dest[count] = best;
  }
  return count;
}

// The element of first..last that a scan keeping the first value to exceed
// everything before it (and 0) ends on: the first of the largest values, if
// that is above 0; 0 when there is none (NaNs never count). Found as the
// largest value, eight at a time, then its first place.
int FirstLargest(const float* v, int first, int last) {
  using namespace lanes;
  float largest = 0.0f;
  int k = first;
  if (last - first + 1 >= 8) {
    F4 a = {}, b = {};
    for (; k + 7 <= last; k += 8) {
      const F4 x = ZV_LOAD(F4, v + k), y = ZV_LOAD(F4, v + k + 4);
      a = x > a ? x : a;
      b = y > b ? y : b;
    }
    a = b > a ? b : a;
    for (int l = 0; l < 4; ++l) largest = std::max(largest, a[l]);
  }
  for (; k <= last; ++k)
    if (v[k] > largest) largest = v[k];
  if (!(largest > 0.0f)) return 0;
  for (k = first; v[k] != largest; ++k) {
  }
  return k;
}

// Normal, average or peak hold of elements 1..count into the hold array.
void ApplyHold(AppState& S, int count) {
  using namespace lanes;
  const float* __restrict sp = S.Spectrum;
  float* __restrict hold = S.HoldSpectrum;
  if (S.HoldMode == 2) {
    const int m = std::clamp(S.AverageCount, 0, kHistoryRows - 1);
    auto* rows = S.AverageHistory;
    // The history moves by one row per block: a ring, whose layout changes
    // only when the number of rows or of elements does.
    if (m != S.AverageRingRows || count != S.AverageRingCount) {
      SettleHistory(S);
      S.AverageRingRows = m;
      S.AverageRingCount = count;
    }
    auto row = [&](int r) { return rows[1 + (S.AverageRingStart + r - 1) % m].data(); };
    // Running mean of this block and the m before it. The sum is taken in the
    // order block, row 1, row 2, ... for every element (four elements at a
    // time, then the rest).
    const float* h[kHistoryRows];
    for (int r = 1; r <= m; ++r) h[r] = row(r);
    const float divisor = static_cast<float>(m + 1);
    const F4 divisors = F4{} + divisor;
    int k = 1;
    for (; k + 3 <= count; k += 4) {
      F4 sum = ZV_LOAD(F4, sp + k);
      for (int r = 1; r <= m; ++r) sum += ZV_LOAD(F4, h[r] + k);
      Store(hold + k, sum / divisors);
    }
    for (; k <= count; ++k) {
      float sum = sp[k];
      for (int r = 1; r <= m; ++r) sum += h[r][k];
      hold[k] = sum / divisor;
    }
    // The oldest row becomes the newest.
    if (m >= 1) {
      S.AverageRingStart = (S.AverageRingStart + m - 1) % m;
      std::copy(sp + 1, sp + 1 + count, row(1) + 1);
    }
  } else if (S.HoldMode == 3) {
    int k = 1;
    for (; k + 3 <= count; k += 4) {
      const F4 now = ZV_LOAD(F4, sp + k), held = ZV_LOAD(F4, hold + k);
      Store(hold + k, now > held ? now : held);
    }
    for (; k <= count; ++k)
      if (sp[k] > hold[k]) hold[k] = sp[k];
  } else {
    std::copy(sp + 1, sp + 1 + count, hold + 1);
  }
}

}  // namespace

int32_t TZorvaneForm::LogAxisFrequency(int position, int kind) {
  const int sf = std::max(1, S.SizeFactor);
  const int n = std::max(1, S.TransformSize);
  const int lo = LoFreqScrollBar->Position(), hi = HiFreqScrollBar->Position();
  const int span = (hi - lo) * sf;
  S.DisplayedBins = span;
  S.HzPerPoint = static_cast<float>(S.SampleRate) / static_cast<float>(n) * static_cast<float>(sf);
  float x;
  if (kind == 2)
    x = static_cast<float>(position) * static_cast<float>(span) / 512.0f +
        static_cast<float>(lo * sf);
  else
    x = static_cast<float>(position) * static_cast<float>(n / 2) / 512.0f;
  const float e = LogAxisPower(x, LogAxisStep(sf));
  const double f = static_cast<double>(e) * S.HzPerPoint / sf;
  return static_cast<int32_t>(std::clamp(f, -2.0e9, 2.0e9));
}

float TZorvaneForm::FindPeakFrequency(const float* spectrum, int n, int sizeFactor,
                                      int sampleRate) {
  if (n < 2 || n > kMaxTransform) return 0.0f;
  float rate = static_cast<float>(sampleRate);
  if (S.NormalPcMode == 2) {
    switch (sampleRate) {
      case 8000:
        rate = 8100.2f;
        break;
      case 11025:
        rate = 11100.0f;
        break;
      case 22050:
        rate = 22200.0f;
        break;
      default:
        break;  // 44100 and 48000 are exact
    }
  }
  int lo, hi;
  if (S.HorizontalScale == 2) {
    lo = static_cast<int>(static_cast<float>(LogAxisFrequency(LoFreqScrollBar->Position(), 1)) *
                          static_cast<float>(n) / rate);
    hi = static_cast<int>(static_cast<float>(LogAxisFrequency(HiFreqScrollBar->Position(), 3)) *
                          static_cast<float>(n) / rate);
  } else {
    lo = LoFreqScrollBar->Position() * sizeFactor;
    hi = HiFreqScrollBar->Position() * sizeFactor;
  }
  // Element 0 reads as 0 (the peak's left neighbour at zero frequency).
  if (spectrum == S.Spectrum) S.Spectrum[0] = 0.0f;
  // Only elements 1..n/2 hold powers: above them the array still holds the
  // block's weighted samples, which are no levels. The scan and the right
  // neighbour of the refinement stop there (a window reaching the top bin
  // would otherwise reach element n/2 + 1).
  auto P = [spectrum, n](int k) { return k <= 0 || k > n / 2 ? 0.0f : spectrum[k]; };
  const int first = std::max(lo + 1, 1), last = std::min(hi + 1, n / 2);
  const int p = FirstLargest(spectrum, first, last);
  if (p == 0) return 0.0f;
  const float sum = P(p - 1) + P(p) + P(p + 1);
  const float delta = sum == 0.0f ? 0.0f : 1.0186020f * (P(p + 1) - P(p - 1)) / sum;
  const float f = (static_cast<float>(p - 1) + delta) * rate / static_cast<float>(n);
  return f < 1.0f ? 0.0f : f;
}

void TZorvaneForm::ScaleSpectrum() {
  ScaleSpectrumLevels();
  MapSpectrumToDisplay();
}

void TZorvaneForm::ScaleSpectrumLevels() {
  const int n = BlockSize(S);
  // In "LOG 10" a decibel is two display units, two pixels at "10 dB" per
  // division, as the scale labels and the cursor readout count them.
  if (S.VerticalAxisMode == 2 && S.HoldMode != 2 && S.HoldMode != 3) {
    // "NORM": the levels go to the hold array as they are made.
    Log10Levels(S.Spectrum + 1, n, 20.0f, S.HoldSpectrum + 1);
    return;
  }
  ConvertLevels(S.Spectrum, n, S.VerticalAxisMode, 20.0f, 8.0f, 0.001f);
  ApplyHold(S, n);
}

void TZorvaneForm::MapSpectrumToDisplay() {
  const int n = BlockSize(S);
  const int sf = S.SizeFactor;
  const int loPos = LoFreqScrollBar->Position(), hiPos = HiFreqScrollBar->Position();
  const int span = (hiPos - loPos) * sf;
  S.DisplayedBins = span;
  // Display point c stands at the axis position the markers, the window's end
  // labels and the sweep's tones give it: bin lo + c x span / 512 on the
  // linear axis, the bin of LogAxisFrequency(c, 2) on the logarithmic one.
  // (Taking element lo as the first source value would draw every point one
  // bin lower than those readouts name it: element k holds bin k - 1.)
  if (S.HorizontalScale == 2) {
    const double step = LogAxisStep(sf);
    const float lo = static_cast<float>(loPos * sf);
    for (int c = 0; c < kPlotWidth; ++c) {
      const float x = static_cast<float>(c) * static_cast<float>(span) / 512.0f + lo;
      const int j = BinOf(LogAxisPower(x, step));
      S.DisplayValues[c] = S.HoldSpectrum[j + 1];
    }
    return;
  }
  // Linear axis: 2049 values, the visible 512 and three more screens' worth.
  // The source runs from bin lo (element lo + 1) to element n; anything
  // beyond repeats element n.
  const int first = std::clamp(loPos * sf, 0, n - 1) + 1;
  float limit = 4.0f * static_cast<float>(span);
  if (span > kPlotWidth) {
    LargestBinPerPoint(S.HoldSpectrum + first, n + 1 - first, limit,
                       static_cast<float>(span) / 512.0f, S.DisplayValues, kArrayLen);
    return;
  }
  ResampleToColumns(S.HoldSpectrum + first, n + 1 - first, limit, 512.0f, S.DisplayValues,
                    kArrayLen, static_cast<float>(span), S.SplineSecondDerivatives, S.SplineSweep,
                    kArrayLen);
}

float TZorvaneForm::DisplayPointHz(int point) {
  const int n = BlockSize(S);
  const int sf = std::max(1, S.SizeFactor);
  const int loPos = LoFreqScrollBar->Position(), hiPos = HiFreqScrollBar->Position();
  const float span = static_cast<float>((hiPos - loPos) * sf);
  const double binHz = static_cast<double>(S.SampleRate) / n;
  if (S.HorizontalScale == 2) {
    const float x = static_cast<float>(point) * span / 512.0f + static_cast<float>(loPos * sf);
    return static_cast<float>(BinOf(LogAxisPower(x, LogAxisStep(sf))) * binHz);
  }
  // Point i stands at bin lo + i * span / 512.
  return static_cast<float>((loPos * sf + static_cast<double>(point) * span / 512.0) * binHz);
}

void TZorvaneForm::ScaleTimeTrace() {
  ScaleTimeLevels();
  MapTimeTraceToDisplay();
}

void TZorvaneForm::ScaleTimeLevels() {
  const int count = BlockSize(S) - 1;  // the block's values sit in elements 1..n-1
  ConvertLevels(S.Spectrum, count, S.VerticalAxisMode, 10.0f, 10.0f, 1.0f);
  ApplyHold(S, count);
}

void TZorvaneForm::MapTimeTraceToDisplay() {
  const int n = BlockSize(S);
  const int count = n - 1;
  const int sf = S.SizeFactor;
  const int loPos = LoFreqScrollBar->Position(), hiPos = HiFreqScrollBar->Position();
  const int span = (hiPos - loPos) * sf;
  S.DisplayedBins = span;
  if (S.HorizontalScale == 2) {
    const double step = LogAxisStep(sf);
    const float lo = static_cast<float>(loPos * sf);
    for (int c = 1; c <= count; ++c) {
      const float x = static_cast<float>(c) * static_cast<float>(span) / 512.0f + lo;
      const int j = BinOf(LogAxisPower(x, step));
      S.DisplayValues[c - 1] = S.HoldSpectrum[j + 1];
    }
    return;
  }
  // The trace starts 100 samples into the block. The time display looks for
  // its trigger up to display value n-1, so the mapping produces values up to
  // that index (at least the 2049 of the frequency display); the source ends
  // at element n-1 and repeats it beyond.
  const int lo = std::clamp(loPos * sf + 100, 0, count);
  const float step = static_cast<float>(span) / 512.0f;
  float limit = std::max(4.0f * static_cast<float>(span), static_cast<float>(count) * step);
  ResampleToColumns(S.HoldSpectrum + lo, n - lo, limit, 512.0f, S.DisplayValues, kArrayLen,
                    static_cast<float>(span), S.SplineSecondDerivatives, S.SplineSweep, kArrayLen);
}

}  // namespace zorvane
