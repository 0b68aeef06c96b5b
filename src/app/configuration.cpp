// The settings file: 49 little-endian four-byte fields, no header. Written
// when the user quits.
#include <cstdio>
#include <cstring>

#include "app/Zorvane.h"

namespace zorvane {

namespace {

void PutInt(std::FILE* f, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  const uint8_t b[4] = {static_cast<uint8_t>(u & 0xFF), static_cast<uint8_t>((u >> 8) & 0xFF),
                        static_cast<uint8_t>((u >> 16) & 0xFF), static_cast<uint8_t>(u >> 24)};
  std::fwrite(b, 1, 4, f);
}

void PutFloat(std::FILE* f, float v) {
  uint32_t u;
  std::memcpy(&u, &v, 4);
  PutInt(f, static_cast<int32_t>(u));
}

}  // namespace

void TZorvaneForm::SaveConfiguration(const std::string& path) {
  if (path.empty()) return;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  S.LowerFreqPosition = LoFreqScrollBar->Position();
  S.UpperFreqPosition = HiFreqScrollBar->Position();
  S.AnalyzerActive = 0;
  PutInt(f, S.DisplayMode);
  PutInt(f, S.FreqViewSampleRate);
  PutInt(f, S.FreqViewTransformSize);
  PutInt(f, S.TimeViewTransformSize);
  PutInt(f, S.FreqViewVerticalAxis);
  PutInt(f, S.NyquistHz);
  PutInt(f, S.LowerFreqPosition);
  PutInt(f, S.UpperFreqPosition);
  PutInt(f, S.FreqViewGain);
  PutInt(f, S.FreqViewResolution);
  PutInt(f, S.TimeViewResolution);
  PutInt(f, S.FreqViewRefPosition);
  PutInt(f, S.TimeViewRefPosition);
  PutInt(f, S.AnalyzerActive);
  PutInt(f, S.HoldMode);
  PutInt(f, S.GraphType);
  PutInt(f, S.ChannelSelect);
  PutInt(f, S.Marker1On);
  PutInt(f, Mkr1ScrollBar->Position());
  PutInt(f, S.Marker2On);
  PutInt(f, Mkr2ScrollBar->Position());
  PutInt(f, S.Marker3On);
  PutInt(f, Mkr3ScrollBar->Position());
  PutInt(f, S.Marker4On);
  PutInt(f, Mkr4ScrollBar->Position());
  PutInt(f, S.AverageCount);
  PutInt(f, S.HorizontalScale);
  PutInt(f, S.WaterfallColorMap);
  PutInt(f, S.DisplayIntervalMs);
  PutInt(f, S.TraceColorIndex);
  PutInt(f, S.CursorShape);
  PutInt(f, S.RefLineOn);
  PutInt(f, S.BackgroundWhite);
  PutInt(f, S.EofNotify);
  PutInt(f, S.TimeViewRefPosition);
  PutInt(f, S.TimeViewVerticalAxis);
  PutInt(f, S.TimeViewGain);
  PutInt(f, S.TimeViewSampleRate);
  PutFloat(f, S.FunctionFrequency);
  PutFloat(f, S.NoteFrequency);
  PutInt(f, S.NoteIndex);
  PutInt(f, S.MusicMode);
  PutInt(f, S.Waveform);
  PutInt(f, S.SweepMode);
  PutInt(f, S.FrequencyRange);
  PutInt(f, 0);  // reserved
  PutInt(f, S.SweepPoints);
  PutInt(f, S.SweepLoop);
  PutInt(f, S.NormalPcMode);
  std::fclose(f);
}

}  // namespace zorvane
