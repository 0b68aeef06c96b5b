// SPDX-License-Identifier: GPL-3.0-or-later
// Field names of the state record, for the remote control's "state" command.
#include "app/state_fields.h"

#include <cstdio>

namespace zorvane {

namespace {
std::string Int(long long v) { return std::to_string(v); }
std::string Float(float v) {
  char b[64];
  std::snprintf(b, sizeof b, "%.9g", static_cast<double>(v));
  return b;
}
}  // namespace

bool StateFieldText(const AppState& s, const std::string& name, std::string& out) {
  if (name == "Waveform") {
    out = Int(s.Waveform);
    return true;
  }
  if (name == "OutputLoopBytes") {
    out = Int(s.OutputLoopBytes);
    return true;
  }
  if (name == "FunctionFrequency") {
    out = Float(s.FunctionFrequency);
    return true;
  }
  if (name == "FrequencyRange") {
    out = Int(s.FrequencyRange);
    return true;
  }
  if (name == "OutputFrequency") {
    out = Float(s.OutputFrequency);
    return true;
  }
  if (name == "NoteFrequency") {
    out = Float(s.NoteFrequency);
    return true;
  }
  if (name == "NoteIndex") {
    out = Int(s.NoteIndex);
    return true;
  }
  if (name == "MusicMode") {
    out = Int(s.MusicMode);
    return true;
  }
  if (name == "OutputOn") {
    out = Int(s.OutputOn);
    return true;
  }
  if (name == "OutputPlaying") {
    out = Int(s.OutputPlaying);
    return true;
  }
  if (name == "OutputSampleRate") {
    out = Int(s.OutputSampleRate);
    return true;
  }
  if (name == "OutputChannels") {
    out = Int(s.OutputChannels);
    return true;
  }
  if (name == "OutputBlockAlign") {
    out = Int(s.OutputBlockAlign);
    return true;
  }
  if (name == "OutputBitsPerSample") {
    out = Int(s.OutputBitsPerSample);
    return true;
  }
  if (name == "OutputBytesPerSecond") {
    out = Int(s.OutputBytesPerSecond);
    return true;
  }
  if (name == "OutputLoopCount") {
    out = Int(s.OutputLoopCount);
    return true;
  }
  if (name == "LastDeviceResult") {
    out = Int(s.LastDeviceResult);
    return true;
  }
  if (name == "NoiseSeed") {
    out = Int(s.NoiseSeed);
    return true;
  }
  if (name == "SweepMode") {
    out = Int(s.SweepMode);
    return true;
  }
  if (name == "SweepRunning") {
    out = Int(s.SweepRunning);
    return true;
  }
  if (name == "SweepPoints") {
    out = Int(s.SweepPoints);
    return true;
  }
  if (name == "SweepPointStep") {
    out = Int(s.SweepPointStep);
    return true;
  }
  if (name == "SweepLoop") {
    out = Int(s.SweepLoop);
    return true;
  }
  if (name == "SweepCaptureSlot") {
    out = Int(s.SweepCaptureSlot);
    return true;
  }
  if (name == "SweepCalibrating") {
    out = Int(s.SweepCalibrating);
    return true;
  }
  if (name == "SweepPointIndex") {
    out = Int(s.SweepPointIndex);
    return true;
  }
  if (name == "SweepStartBin") {
    out = Int(s.SweepStartBin);
    return true;
  }
  if (name == "SweepBinStep") {
    out = Float(s.SweepBinStep);
    return true;
  }
  if (name == "SampleRate") {
    out = Int(s.SampleRate);
    return true;
  }
  if (name == "NyquistHz") {
    out = Int(s.NyquistHz);
    return true;
  }
  if (name == "TransformSize") {
    out = Int(s.TransformSize);
    return true;
  }
  if (name == "SizeFactor") {
    out = Int(s.SizeFactor);
    return true;
  }
  if (name == "CaptureChannels") {
    out = Int(s.CaptureChannels);
    return true;
  }
  if (name == "CaptureBlockAlign") {
    out = Int(s.CaptureBlockAlign);
    return true;
  }
  if (name == "CaptureBitsPerSample") {
    out = Int(s.CaptureBitsPerSample);
    return true;
  }
  if (name == "BytesPerSample") {
    out = Int(s.BytesPerSample);
    return true;
  }
  if (name == "CaptureBytesPerSecond") {
    out = Int(s.CaptureBytesPerSecond);
    return true;
  }
  if (name == "CaptureBufferBytes") {
    out = Int(s.CaptureBufferBytes);
    return true;
  }
  if (name == "ChannelSelect") {
    out = Int(s.ChannelSelect);
    return true;
  }
  if (name == "InputSource") {
    out = Int(s.InputSource);
    return true;
  }
  if (name == "InputGain") {
    out = Float(s.InputGain);
    return true;
  }
  if (name == "WindowType") {
    out = Int(s.WindowType);
    return true;
  }
  if (name == "CaptureReopenRequested") {
    out = Int(s.CaptureReopenRequested);
    return true;
  }
  if (name == "CaptureTimedOut") {
    out = Int(s.CaptureTimedOut);
    return true;
  }
  if (name == "CaptureDeviceOpen") {
    out = Int(s.CaptureDeviceOpen);
    return true;
  }
  if (name == "AnalyzerActive") {
    out = Int(s.AnalyzerActive);
    return true;
  }
  if (name == "AnalyzerStopRequested") {
    out = Int(s.AnalyzerStopRequested);
    return true;
  }
  if (name == "AnalyzerLoopDepth") {
    out = Int(s.AnalyzerLoopDepth);
    return true;
  }
  if (name == "AnalyzerRestartRequested") {
    out = Int(s.AnalyzerRestartRequested);
    return true;
  }
  if (name == "RunMode") {
    out = Int(s.RunMode);
    return true;
  }
  if (name == "HoldMode") {
    out = Int(s.HoldMode);
    return true;
  }
  if (name == "AverageCount") {
    out = Int(s.AverageCount);
    return true;
  }
  if (name == "DisplayIntervalMs") {
    out = Int(s.DisplayIntervalMs);
    return true;
  }
  if (name == "WaveFileOpen") {
    out = Int(s.WaveFileOpen);
    return true;
  }
  if (name == "WaveFileEnded") {
    out = Int(s.WaveFileEnded);
    return true;
  }
  if (name == "EofNotify") {
    out = Int(s.EofNotify);
    return true;
  }
  if (name == "WaveDataRemaining") {
    out = Int(s.WaveDataRemaining);
    return true;
  }
  if (name == "WaveFileName") {
    out = s.WaveFileName;
    return true;
  }
  if (name == "PeakFrequency") {
    out = Float(s.PeakFrequency);
    return true;
  }
  if (name == "DisplayedBins") {
    out = Int(s.DisplayedBins);
    return true;
  }
  if (name == "HzPerPoint") {
    out = Float(s.HzPerPoint);
    return true;
  }
  if (name == "DisplayMode") {
    out = Int(s.DisplayMode);
    return true;
  }
  if (name == "GraphType") {
    out = Int(s.GraphType);
    return true;
  }
  if (name == "GridOn") {
    out = Int(s.GridOn);
    return true;
  }
  if (name == "HorizontalScale") {
    out = Int(s.HorizontalScale);
    return true;
  }
  if (name == "VerticalAxisMode") {
    out = Int(s.VerticalAxisMode);
    return true;
  }
  if (name == "VerticalResolutionIndex") {
    out = Int(s.VerticalResolutionIndex);
    return true;
  }
  if (name == "VerticalScale") {
    out = Float(s.VerticalScale);
    return true;
  }
  if (name == "WaterfallScale") {
    out = Float(s.WaterfallScale);
    return true;
  }
  if (name == "WaterfallColorMap") {
    out = Int(s.WaterfallColorMap);
    return true;
  }
  if (name == "TraceColorIndex") {
    out = Int(s.TraceColorIndex);
    return true;
  }
  if (name == "BackgroundWhite") {
    out = Int(s.BackgroundWhite);
    return true;
  }
  if (name == "CursorShape") {
    out = Int(s.CursorShape);
    return true;
  }
  if (name == "RefLineOn") {
    out = Int(s.RefLineOn);
    return true;
  }
  if (name == "RefLevelY") {
    out = Int(s.RefLevelY);
    return true;
  }
  if (name == "TimeDcOffset") {
    out = Int(s.TimeDcOffset);
    return true;
  }
  if (name == "TimeTriggerOn") {
    out = Int(s.TimeTriggerOn);
    return true;
  }
  if (name == "CrossState") {
    out = Int(s.CrossState);
    return true;
  }
  if (name == "CrossX") {
    out = Int(s.CrossX);
    return true;
  }
  if (name == "CrossY") {
    out = Int(s.CrossY);
    return true;
  }
  if (name == "DragStartX") {
    out = Int(s.DragStartX);
    return true;
  }
  if (name == "DragStartY") {
    out = Int(s.DragStartY);
    return true;
  }
  if (name == "NormalPcMode") {
    out = Int(s.NormalPcMode);
    return true;
  }
  if (name == "PlotWidth") {
    out = Int(s.PlotWidth);
    return true;
  }
  if (name == "PlotHeight") {
    out = Int(s.PlotHeight);
    return true;
  }
  if (name == "PlotBaseline") {
    out = Int(s.PlotBaseline);
    return true;
  }
  if (name == "Marker1On") {
    out = Int(s.Marker1On);
    return true;
  }
  if (name == "Marker2On") {
    out = Int(s.Marker2On);
    return true;
  }
  if (name == "Marker3On") {
    out = Int(s.Marker3On);
    return true;
  }
  if (name == "Marker4On") {
    out = Int(s.Marker4On);
    return true;
  }
  if (name == "LowerFreqPosition") {
    out = Int(s.LowerFreqPosition);
    return true;
  }
  if (name == "UpperFreqPosition") {
    out = Int(s.UpperFreqPosition);
    return true;
  }
  if (name == "LowerFreqHz") {
    out = Int(s.LowerFreqHz);
    return true;
  }
  if (name == "UpperFreqHz") {
    out = Int(s.UpperFreqHz);
    return true;
  }
  if (name == "FreqViewSampleRate") {
    out = Int(s.FreqViewSampleRate);
    return true;
  }
  if (name == "FreqViewTransformSize") {
    out = Int(s.FreqViewTransformSize);
    return true;
  }
  if (name == "FreqViewVerticalAxis") {
    out = Int(s.FreqViewVerticalAxis);
    return true;
  }
  if (name == "FreqViewGain") {
    out = Int(s.FreqViewGain);
    return true;
  }
  if (name == "FreqViewResolution") {
    out = Int(s.FreqViewResolution);
    return true;
  }
  if (name == "FreqViewRefPosition") {
    out = Int(s.FreqViewRefPosition);
    return true;
  }
  if (name == "TimeViewSampleRate") {
    out = Int(s.TimeViewSampleRate);
    return true;
  }
  if (name == "TimeViewTransformSize") {
    out = Int(s.TimeViewTransformSize);
    return true;
  }
  if (name == "TimeViewGain") {
    out = Int(s.TimeViewGain);
    return true;
  }
  if (name == "TimeViewResolution") {
    out = Int(s.TimeViewResolution);
    return true;
  }
  if (name == "TimeViewRefPosition") {
    out = Int(s.TimeViewRefPosition);
    return true;
  }
  if (name == "TimeViewVerticalAxis") {
    out = Int(s.TimeViewVerticalAxis);
    return true;
  }
  if (name == "Constructing") {
    out = Int(s.Constructing);
    return true;
  }
  if (name == "ApplyingConfiguration") {
    out = Int(s.ApplyingConfiguration);
    return true;
  }
  if (name == "ConfigPath") {
    out = s.ConfigPath;
    return true;
  }
  if (name == "HelpPath") {
    out = s.HelpPath;
    return true;
  }
  if (name == "DesignWidth") {
    out = Float(s.DesignWidth);
    return true;
  }
  if (name == "SavedBoardFormat.Channels") {
    out = Int(s.SavedBoardFormat.Channels);
    return true;
  }
  if (name == "SavedBoardFormat.SampleRate") {
    out = Int(s.SavedBoardFormat.SampleRate);
    return true;
  }
  if (name == "SavedBoardFormat.BytesPerSecond") {
    out = Int(s.SavedBoardFormat.BytesPerSecond);
    return true;
  }
  if (name == "SavedBoardFormat.BlockAlign") {
    out = Int(s.SavedBoardFormat.BlockAlign);
    return true;
  }
  if (name == "SavedBoardFormat.BitsPerSample") {
    out = Int(s.SavedBoardFormat.BitsPerSample);
    return true;
  }
  if (name == "SavedBoardFormat.BytesPerSample") {
    out = Int(s.SavedBoardFormat.BytesPerSample);
    return true;
  }
  if (name == "SavedBoardFormat.TransformSize") {
    out = Int(s.SavedBoardFormat.TransformSize);
    return true;
  }
  if (name == "SavedBoardFormat.BufferBytes") {
    out = Int(s.SavedBoardFormat.BufferBytes);
    return true;
  }
  if (name == "SavedBoardFormat.ChannelSelect") {
    out = Int(s.SavedBoardFormat.ChannelSelect);
    return true;
  }
  if (name == "SavedFileFormat.Channels") {
    out = Int(s.SavedFileFormat.Channels);
    return true;
  }
  if (name == "SavedFileFormat.SampleRate") {
    out = Int(s.SavedFileFormat.SampleRate);
    return true;
  }
  if (name == "SavedFileFormat.BytesPerSecond") {
    out = Int(s.SavedFileFormat.BytesPerSecond);
    return true;
  }
  if (name == "SavedFileFormat.BlockAlign") {
    out = Int(s.SavedFileFormat.BlockAlign);
    return true;
  }
  if (name == "SavedFileFormat.BitsPerSample") {
    out = Int(s.SavedFileFormat.BitsPerSample);
    return true;
  }
  if (name == "SavedFileFormat.BytesPerSample") {
    out = Int(s.SavedFileFormat.BytesPerSample);
    return true;
  }
  if (name == "SavedFileFormat.TransformSize") {
    out = Int(s.SavedFileFormat.TransformSize);
    return true;
  }
  if (name == "SavedFileFormat.BufferBytes") {
    out = Int(s.SavedFileFormat.BufferBytes);
    return true;
  }
  if (name == "SavedFileFormat.ChannelSelect") {
    out = Int(s.SavedFileFormat.ChannelSelect);
    return true;
  }
  return false;
}

bool StateArrayElementText(const AppState& s, const std::string& expression, std::string& out,
                           std::string& error) {
  const size_t open = expression.find('[');
  if (open == std::string::npos || expression.size() < open + 3 || expression.back() != ']') {
    error = "not an array element: " + expression;
    return false;
  }
  const std::string name = expression.substr(0, open);
  const std::string digits = expression.substr(open + 1, expression.size() - open - 2);
  struct Array {
    const char* Name;
    const float* Floats;
    const int32_t* Ints;
    int Length;
  };
  const Array arrays[] = {
      {"DisplayValues", s.DisplayValues, nullptr, kArrayLen},
      {"HoldSpectrum", s.HoldSpectrum, nullptr, kArrayLen},
      {"Spectrum", s.Spectrum, nullptr, kArrayLen},
      {"TracePixels", nullptr, s.TracePixels, kTracePixelsLen},
      {"SweepTracePixels", nullptr, s.SweepTracePixels, kSweepPixelsLen},
      {"PreviousSweepPixels", nullptr, s.PreviousSweepPixels, kSweepPixelsLen},
      {"SweepCalCorrection", nullptr, s.SweepCalCorrection, kSweepPixelsLen},
  };
  for (const Array& a : arrays) {
    if (name != a.Name) continue;
    long index = -1;
    if (!digits.empty() && digits.size() <= 6 &&
        digits.find_first_not_of("0123456789") == std::string::npos)
      index = std::stol(digits);
    if (index < 0 || index >= a.Length || (a.Floats == nullptr && a.Ints == nullptr)) {
      error = "index outside " + name + "[0.." + std::to_string(a.Length - 1) + "]: " + digits;
      return false;
    }
    out = a.Floats ? Float(a.Floats[index]) : Int(a.Ints[index]);
    return true;
  }
  error = "no state array named " + name;
  return false;
}

}  // namespace zorvane
