// SPDX-License-Identifier: GPL-3.0-or-later
// The command table: the common commands, the generator, the analyzer and
// the sweep. Each row is a header, its flags and a handler; the makers in
// scpi_rows.h make the common kinds (a menu choice, a button cycled to a
// state, a data query) one row each.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <tuple>

#include "export/data_export.h"
#include "measure/log_sweep_model.h"
#include "scpi/scpi_rows.h"

namespace zorvane::scpi {

namespace {

// ---- Data of the analyzer ----

// Blocks analysed since the last change: wait while the analyzer runs.
bool FreshOrWait(Call& c, Done& done) {
  if (c.In.Form.S.DisplayMode == 2) {
    c.In.Errors.Push(err::SettingsConflict, "the time display shows no spectrum");
    return false;
  }
  if (c.In.FreshData()) return true;
  if (c.In.Form.S.AnalyzerActive == 1) {
    done = Done::Later;
    return false;
  }
  c.In.Errors.Push(err::DataStale, "no block analysed since the last change (INITiate)");
  return false;
}

int Bins(const AppState& S) { return std::clamp(S.TransformSize, 2, kMaxTransform) / 2; }

// Rows of the per-bin spectrum, in the plot's levels (as "analyze --bins").
Done Spectrum(Call& c, bool frequencies) {
  Done done = Done::Yes;
  if (!Count(c, 0, 0) || !FreshOrWait(c, done)) return done;
  const AppState& S = c.In.Form.S;
  std::vector<double> v(Bins(S));
  const double n = std::clamp(S.TransformSize, 2, kMaxTransform);
  for (int k = 1; k <= Bins(S); ++k)
    v[k - 1] = frequencies ? (k - 1) * S.SampleRate / n : PlotLevelOfValue(S, S.HoldSpectrum[k]);
  c.Reply = Values(c.In, v, frequencies ? 3 : 2);
  return Done::Yes;
}

Done PeakFrequency(Call& c) {
  Done done = Done::Yes;
  if (Count(c, 0, 0) && FreshOrWait(c, done)) c.Reply = Number(c.In.Form.S.PeakFrequency);
  return done;
}

// The points of the last sweep pass: levels or frequencies.
bool SweepPoints(Call& c, std::vector<double>& v, bool frequencies) {
  const AppState& S = c.In.Form.S;
  const int step = std::clamp(S.SweepPointStep, 1, 16);
  for (int d = 1; d <= std::min(S.SweepPointIndex, kPlotWidth); d += step)
    v.push_back(frequencies ? c.In.Form.DisplayPointHz(d)
                            : PlotLevelOfHeight(S, S.SweepTracePixels[d]));
  if (v.empty()) c.In.Errors.Push(err::DataStale, "no sweep has measured a point");
  return !v.empty();
}

// An image in the reply: PNG unless BMP is asked for.
}  // namespace

void AddCommonCommands(Instrument& in) {
  auto simple = [&](const char* header, std::function<void(Call&)> f, size_t params = 0) {
    in.Add(header, Command::kNone, [f, params](Call& c) {
      if (Count(c, params, params)) f(c);
      return Done::Yes;
    });
  };
  simple("*IDN?", [](Call& c) { c.Reply = "Zorvane,Zorvane Function-Sweep Generator,0,1.20"; });
  simple("*RST", [](Call& c) {
    const AppState& S = c.In.Form.S;
    if (S.SweepRunning == 1) c.In.Remote("click SweepStartBtn");
    if (S.AnalyzerActive == 1) c.In.Remote("click StopBtn");
    if (S.OutputPlaying == 1) c.In.Remote("click OutputBtn");
    if (c.In.Measurement() && c.In.Measurement()->Running()) c.In.Remote("measure stop");
    c.In.Real32 = c.In.Swapped = false;
    c.In.MarkChange();
  });
  simple("*CLS", [](Call& c) {
    c.In.Errors.Clear();
    c.In.Errors.Esr = 0;
  });
  simple("*TST?", [](Call& c) { c.Reply = "0"; });
  simple("*ESR?", [](Call& c) {
    c.Reply = Number(c.In.Errors.Esr);
    c.In.Errors.Esr = 0;
  });
  simple("*ESE?", [](Call& c) { c.Reply = Number(c.In.Errors.Ese); });
  simple("*SRE?", [](Call& c) { c.Reply = Number(c.In.Errors.Sre); });
  using Mask = std::pair<const char*, int ErrorQueue::*>;
  for (const Mask& m : {Mask{"*ESE", &ErrorQueue::Ese}, Mask{"*SRE", &ErrorQueue::Sre}}) {
    const char* header = m.first;
    int ErrorQueue::*mask = m.second;
    simple(
        header,
        [mask](Call& c) {
          double v;
          if (!NumberAt(c, 0, v)) return;
          if (v < 0 || v > 255)
            c.In.Errors.Push(err::DataOutOfRange, "0 to 255");
          else
            c.In.Errors.*mask = static_cast<int>(v);
        },
        1);
  }
  simple("*STB?", [](Call& c) {
    const ErrorQueue& e = c.In.Errors;
    int stb = (e.Count() ? 4 : 0) | ((e.Esr & e.Ese) ? 32 : 0);
    if (stb & e.Sre) stb |= 64;
    c.Reply = Number(stb);
  });
  // Operations that end by themselves (a sweep without loop, a single run)
  // hold these until they have.
  in.Add("*OPC", Command::kNone, [](Call& c) {
    if (c.In.OperationPending()) return Done::Later;
    c.In.Errors.Esr |= esr::OperationComplete;
    return Done::Yes;
  });
  in.Add("*OPC?", Command::kNone, [](Call& c) {
    if (c.In.OperationPending()) return Done::Later;
    c.Reply = "1";
    return Done::Yes;
  });
  in.Add("*WAI", Command::kNone,
         [](Call& c) { return c.In.OperationPending() ? Done::Later : Done::Yes; });

  simple("SYSTem:ERRor[:NEXT]?", [](Call& c) { c.Reply = c.In.Errors.Pop(); });
  simple("SYSTem:ERRor:COUNt?", [](Call& c) { c.Reply = Number(c.In.Errors.Count()); });
  simple("SYSTem:ERRor:ALL?", [](Call& c) {
    do c.Reply += (c.Reply.empty() ? "" : ",") + c.In.Errors.Pop();
    while (c.In.Errors.Count() > 0);
  });
  simple("SYSTem:VERSion?", [](Call& c) { c.Reply = "1999.0"; });
}

void AddInstrumentCommands(Instrument& in) {
  // ---- Generator ----
  in.Add("[SOURce:]FREQuency[:CW]", Command::kNone, [](Call& c) {
    double hz;
    if (!Count(c, 1, 1) || !NumberAt(c, 0, hz, "HZ")) return Done::Yes;
    const AppState& S = c.In.Form.S;
    if (S.MusicMode != 0 || S.SweepRunning != 0) {
      c.In.Errors.Push(err::SettingsConflict,
                       S.MusicMode ? "MUSIC mode plays notes" : "a sweep is running");
    } else if (!(hz >= 20.0 && hz <= S.SampleRate / 2)) {
      c.In.Errors.Push(err::DataOutOfRange, "20 to " + Number(S.SampleRate / 2) + " Hz");
    } else {
      c.In.MarkChange();
      if (c.In.Remote("set FrequencyDisplay " + Number(static_cast<float>(hz))))
        c.In.Remote("key FrequencyDisplay \\r");
    }
    return Done::Yes;
  });
  in.Add("[SOURce:]FREQuency[:CW]?", Command::kNone, [](Call& c) {
    if (Count(c, 0, 0)) c.Reply = Number(c.In.Form.S.OutputFrequency);
    return Done::Yes;
  });
  in.Add("[SOURce:]FREQuency:MODE", Command::kNone, [](Call& c) {
    static const std::vector<Choice> modes = {{"FIXed", 0, nullptr}, {"SWEep", 1, nullptr}};
    const Choice* ch = Count(c, 1, 1) ? ChoiceAt(c, 0, modes) : nullptr;
    const AppState& S = c.In.Form.S;
    if (!ch || S.SweepMode == ch->Value) return Done::Yes;
    if (S.SweepRunning == 1 || (ch->Value == 1 && S.OutputPlaying == 1))
      c.In.Errors.Push(err::SettingsConflict,
                       S.SweepRunning ? "a sweep is running" : "the output is on (OUTP OFF)");
    else {
      c.In.MarkChange();
      c.In.Remote("click SweepBtn");
    }
    return Done::Yes;
  });
  in.Add("[SOURce:]FREQuency:MODE?", Command::kNone, [](Call& c) {
    c.Reply = c.In.Form.S.SweepMode == 1 ? "SWE" : "FIX";
    return Done::Yes;
  });
  ButtonCycle(in, "[SOURce:]FUNCtion[:SHAPe]", "WaveformBtn", &AppState::Waveform,
              {{"SINusoid", 0, nullptr},
               {"SQUare", 1, nullptr},
               {"TRIangle", 2, nullptr},
               {"NOISe", 3, nullptr}},
              false);
  ButtonCycle(in, "OUTPut[:STATe]", "OutputBtn", &AppState::OutputPlaying, kOnOff, true,
              Command::kDevices);

  // ---- Analyzer ----
  MenuChoice(in, "[SENSe:]RATE", &AppState::SampleRate,
             {{nullptr, 8000, "N80001"},
              {nullptr, 11025, "N110251"},
              {nullptr, 22050, "N220501"},
              {nullptr, 44100, "N441001"},
              {nullptr, 48000, "N480001"}});
  MenuChoice(in, "[SENSe:]SIZE", &AppState::TransformSize,
             {{nullptr, 1024, "N10241"},
              {nullptr, 2048, "N20481"},
              {nullptr, 4096, "N40961"},
              {nullptr, 8192, "N81921"}});
  MenuChoice(in, "[SENSe:]CHANnel", &AppState::ChannelSelect,
             {{"MONO", 1, "Mic1"}, {"LEFT", 2, "Left1"}, {"RIGHt", 3, "Right1"}}, false);
  MenuChoice(in, "[SENSe:]AVERage:COUNt", &AppState::AverageCount,
             {{nullptr, 2, "N21"},
              {nullptr, 4, "N41"},
              {nullptr, 6, "N61"},
              {nullptr, 8, "N81"},
              {nullptr, 10, "N102"},
              {nullptr, 20, "N201"},
              {nullptr, 40, "N401"}});
  ButtonCycle(in, "[SENSe:]AVERage:MODE", "NormalBtn", &AppState::HoldMode,
              {{"NORMal", 1, nullptr}, {"AVERage", 2, nullptr}, {"PEAK", 3, nullptr}}, false);
  // START, or in the sweep mode the sweep's START: either runs inside it.
  in.Add("INITiate[:IMMediate]", Command::kMayNest | Command::kDevices, [](Call& c) {
    if (!Count(c, 0, 0)) return Done::Yes;
    const AppState& S = c.In.Form.S;
    c.In.MarkChange();
    if (S.SweepMode == 1 && S.SweepRunning == 0)
      c.In.Remote("click SweepStartBtn");
    else if (S.SweepMode != 1 && S.AnalyzerActive == 0)
      c.In.Remote("click StartBtn");
    return Done::Yes;
  });
  in.Add("ABORt", Command::kNone, [](Call& c) {
    const AppState& S = c.In.Form.S;
    if (!Count(c, 0, 0)) return Done::Yes;
    if (S.SweepRunning == 1) c.In.Remote("click SweepStartBtn");
    if (S.AnalyzerActive == 1) c.In.Remote("click StopBtn");
    if (c.In.Measurement() && c.In.Measurement()->Running()) c.In.Remote("measure stop");
    return Done::Yes;
  });
  in.Add("FETCh:SPECtrum?", Command::kNone, [](Call& c) { return Spectrum(c, false); });
  in.Add("FETCh:SPECtrum:FREQuency?", Command::kNone, [](Call& c) { return Spectrum(c, true); });
  in.Add("FETCh:FREQuency?", Command::kNone, PeakFrequency);
  // The peak of the running analyzer, or of a single run made for it.
  in.Add("MEASure:FREQuency?", Command::kAlone | Command::kDevices, [](Call& c) {
    const AppState& S = c.In.Form.S;
    if (!Count(c, 0, 0)) return Done::Yes;
    if (S.AnalyzerActive == 1) return PeakFrequency(c);
    if (S.SweepMode == 1 || S.DisplayMode == 2) {
      c.In.Errors.Push(err::SettingsConflict, "needs FIXED mode and a spectrum display");
      return Done::Yes;
    }
    const uint64_t before = S.BlocksAnalysed;
    c.In.Remote("click SingleBtn");
    if (S.BlocksAnalysed != before)
      c.Reply = Number(S.PeakFrequency);
    else
      c.In.Errors.Push(err::DataStale, "the run analysed no block");
    return Done::Yes;
  });
  in.Add("FORMat[:DATA]", Command::kNone, [](Call& c) {
    static const std::vector<Choice> kinds = {{"ASCii", 0, nullptr}, {"REAL", 1, nullptr}};
    const Choice* ch = Count(c, 1, 2) ? ChoiceAt(c, 0, kinds) : nullptr;
    if (!ch) return Done::Yes;
    double bits = 32;
    if (c.U.Params.size() == 2 && NumberAt(c, 1, bits) && bits != 32)
      c.In.Errors.Push(err::IllegalParameterValue, "REAL,32 only");
    else if (c.U.Params.size() < 2 || bits == 32)
      c.In.Real32 = ch->Value == 1;
    return Done::Yes;
  });
  in.Add("FORMat[:DATA]?", Command::kNone, [](Call& c) {
    c.Reply = c.In.Real32 ? "REAL,32" : "ASC";
    return Done::Yes;
  });
  in.Add("FORMat:BORDer", Command::kNone, [](Call& c) {
    if (!Count(c, 1, 1)) return Done::Yes;
    static const std::vector<Choice> orders = {{"NORMal", 0, nullptr}, {"SWAPped", 1, nullptr}};
    if (const Choice* ch = ChoiceAt(c, 0, orders)) c.In.Swapped = ch->Value == 1;
    return Done::Yes;
  });
  in.Add("FORMat:BORDer?", Command::kNone, [](Call& c) {
    c.Reply = c.In.Swapped ? "SWAP" : "NORM";
    return Done::Yes;
  });

  // ---- Sweep ----
  MenuChoice(in, "SWEep:POINts", &AppState::SweepPoints,
             {{nullptr, 32, "N32"},
              {nullptr, 64, "N64"},
              {nullptr, 128, "N128"},
              {nullptr, 256, "N256"},
              {nullptr, 512, "N512"}});
  MenuChoice(in, "SWEep:LOOP", &AppState::SweepLoop, {{"OFF", 0, "Off2"}, {"ON", 1, "On2"}});
  in.Add("SWEep:CALibrate", Command::kNone, [](Call& c) {
    if (Count(c, 0, 0)) c.In.Remote("click SwpCal1");
    return Done::Yes;
  });
  in.Add("SWEep:CALibrate:ZERO", Command::kNone, [](Call& c) {
    if (Count(c, 0, 0)) c.In.Remote("click ZeroCal1");
    return Done::Yes;
  });
  DataQuery(in, "FETCh:SWEep?", 2, [](Call& c, auto& v) { return SweepPoints(c, v, false); });
  DataQuery(in, "FETCh:SWEep:FREQuency?", 3,
            [](Call& c, auto& v) { return SweepPoints(c, v, true); });
}

}  // namespace zorvane::scpi
