// The command table. Each row is a header, its flags and a handler; the
// helpers below make the common kinds (a menu choice, a button cycled to a
// state, a data query) one row each.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <tuple>

#include "export/data_export.h"
#include "export/image_files.h"
#include "scpi/scpi_instrument.h"

namespace zorvane::scpi {

namespace {

// ---- Parameters ----

bool Count(Call& c, size_t min, size_t max) {
  const size_t n = c.U.Params.size();
  if (n < min) c.In.Errors.Push(err::MissingParameter);
  if (n > max) c.In.Errors.Push(err::ParameterNotAllowed);
  return n >= min && n <= max;
}

bool NumberAt(Call& c, size_t i, double& v, const char* unit = "") {
  const Param& p = c.U.Params[i];
  if (p.Type != Param::Kind::Number) {
    c.In.Errors.Push(err::DataTypeError, "a number is expected");
    return false;
  }
  if (!p.Unit.empty() && p.Unit != unit) {
    c.In.Errors.Push(err::InvalidSuffix, p.Unit);
    return false;
  }
  v = p.Value;
  return true;
}

// Text of a word, a string or a number as written.
std::string TextAt(Call& c, size_t i) { return c.U.Params[i].Text; }

// A control's name: letters, digits and "_".
bool NameAt(Call& c, size_t i, std::string& name) {
  const Param& p = c.U.Params[i];
  name = p.Text;
  if (p.Type == Param::Kind::Word) {
    // Words arrive in upper case: take the control's own spelling.
    for (const auto& control : c.In.Form.AllControls()) {
      std::string upper = control->Name();
      for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      if (upper == name) name = control->Name();
    }
  }
  const bool ok = !name.empty() && std::all_of(name.begin(), name.end(), [](char ch) {
    return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_';
  });
  if (!ok) c.In.Errors.Push(err::IllegalParameterValue, "not a control name: " + name);
  return ok;
}

// A choice: a word (long form with the short form in capitals) and/or a
// number, and the menu item that selects it.
struct Choice {
  const char* Word;
  double Value;
  const char* Item;
};

std::string ShortForm(const char* word) {
  std::string s;
  for (const char* p = word; *p; ++p)
    if (!std::islower(static_cast<unsigned char>(*p))) s += *p;
  return s;
}

const Choice* ChoiceAt(Call& c, size_t i, const std::vector<Choice>& choices) {
  const Param& p = c.U.Params[i];
  for (const Choice& ch : choices) {
    if (p.Type == Param::Kind::Number && p.Unit.empty() && p.Value == ch.Value) return &ch;
    if (p.Type == Param::Kind::Word && ch.Word && Pattern(ch.Word).Matches({p.Text})) return &ch;
  }
  std::string allowed;
  for (const Choice& ch : choices)
    allowed += (allowed.empty() ? "" : ", ") + (ch.Word ? ShortForm(ch.Word) : Number(ch.Value));
  c.In.Errors.Push(err::IllegalParameterValue, "one of " + allowed);
  return nullptr;
}

// What a choice's query answers: its short form, or its number.
std::string ChoiceReply(const std::vector<Choice>& choices, int32_t value, bool numeric) {
  for (const Choice& ch : choices)
    if (ch.Value == value) return numeric || !ch.Word ? Number(ch.Value) : ShortForm(ch.Word);
  return Number(value);
}

const std::vector<Choice> kOnOff = {{"OFF", 0, nullptr}, {"ON", 1, nullptr}};

// ---- Row makers ----

// A setting chosen by a menu item; the state field holds the choice's value.
void MenuChoice(Instrument& in, const char* header, int32_t AppState::*field,
                std::vector<Choice> choices, bool numericReply = true) {
  in.Add(header, Command::kNone, [=](Call& c) {
    if (!Count(c, 1, 1)) return Done::Yes;
    if (const Choice* ch = ChoiceAt(c, 0, choices)) {
      c.In.MarkChange();
      c.In.Remote(std::string("click ") + ch->Item);
    }
    return Done::Yes;
  });
  in.Add((std::string(header) + "?").c_str(), Command::kNone, [=](Call& c) {
    c.Reply = ChoiceReply(choices, c.In.Form.S.*field, numericReply);
    return Done::Yes;
  });
}

// A setting a button cycles through: clicked until the field holds the
// choice (a click the instrument refuses ends it with its message).
void ButtonCycle(Instrument& in, const char* header, const char* button, int32_t AppState::*field,
                 std::vector<Choice> choices, bool numericReply) {
  in.Add(header, Command::kNone, [=](Call& c) {
    if (!Count(c, 1, 1)) return Done::Yes;
    const Choice* ch = ChoiceAt(c, 0, choices);
    if (!ch) return Done::Yes;
    const size_t errors = c.In.Errors.Count();
    c.In.MarkChange();
    c.In.ChangeGenerator([&] {
      for (size_t i = 0; i < choices.size() && c.In.Form.S.*field != ch->Value; ++i) {
        const int32_t before = c.In.Form.S.*field;
        if (!c.In.Remote(std::string("click ") + button) || c.In.Form.S.*field == before) break;
      }
    });
    if (c.In.Form.S.*field != ch->Value && c.In.Errors.Count() == errors)
      c.In.Errors.Push(err::SettingsConflict, std::string(button) + " did not take it");
    return Done::Yes;
  });
  in.Add((std::string(header) + "?").c_str(), Command::kNone, [=](Call& c) {
    c.Reply = ChoiceReply(choices, c.In.Form.S.*field, numericReply);
    return Done::Yes;
  });
}

// A query of numbers, or -230 while there are none.
using Series = std::function<bool(Call&, std::vector<double>&)>;
void DataQuery(Instrument& in, const char* header, int decimals, Series series) {
  in.Add(header, Command::kNone, [=](Call& c) {
    if (!Count(c, 0, 0)) return Done::Yes;
    std::vector<double> v;
    if (series(c, v)) c.Reply = Values(c.In, v, decimals);
    return Done::Yes;
  });
}

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
void ImageReply(Call& c, const Bitmap& image) {
  bool png = true;
  if (c.U.Params.size() == 1) {
    static const std::vector<Choice> kinds = {{"PNG", 0, nullptr}, {"BMP", 1, nullptr}};
    const Choice* ch = ChoiceAt(c, 0, kinds);
    if (!ch) return;
    png = ch->Value == 0;
  }
  const std::vector<uint8_t> bytes = EncodeImage(image, png);
  c.Reply = Block(bytes.data(), bytes.size());
}

// A file command's name, resolved inside the allowed folder.
bool FileAt(Call& c, size_t i, std::string& path) {
  int code = 0;
  std::string why;
  if (c.In.Files.Resolve(TextAt(c, i), path, code, why)) return true;
  c.In.Errors.Push(code, why);
  return false;
}

// A remote-control command that prints "NAME = VALUE": the value.
std::string Printed(const std::string& line) {
  const size_t at = line.find(" = ");
  return at == std::string::npos ? line : line.substr(at + 3);
}

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
  in.Add("[SOURce:]FREQuency[:CW]", Command::kMayNest, [](Call& c) {
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
      c.In.ChangeGenerator([&] {
        if (c.In.Remote("set FrequencyDisplay " + Number(static_cast<float>(hz))))
          c.In.Remote("key FrequencyDisplay \\r");
      });
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
  ButtonCycle(in, "OUTPut[:STATe]", "OutputBtn", &AppState::OutputPlaying, kOnOff, true);

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
  in.Add("INITiate[:IMMediate]", Command::kMayNest, [](Call& c) {
    if (!Count(c, 0, 0)) return Done::Yes;
    const AppState& S = c.In.Form.S;
    c.In.MarkChange();
    if (S.SweepMode == 1 && S.SweepRunning == 0)
      c.In.Remote("click SweepStartBtn");
    else if (S.SweepMode != 1 && S.AnalyzerActive == 0)
      c.In.RunAnalyzer();
    return Done::Yes;
  });
  in.Add("ABORt", Command::kNone, [](Call& c) {
    const AppState& S = c.In.Form.S;
    if (!Count(c, 0, 0)) return Done::Yes;
    if (S.SweepRunning == 1) c.In.Remote("click SweepStartBtn");
    if (S.AnalyzerActive == 1) c.In.Remote("click StopBtn");
    return Done::Yes;
  });
  in.Add("FETCh:SPECtrum?", Command::kNone, [](Call& c) { return Spectrum(c, false); });
  in.Add("FETCh:SPECtrum:FREQuency?", Command::kNone, [](Call& c) { return Spectrum(c, true); });
  in.Add("FETCh:FREQuency?", Command::kNone, PeakFrequency);
  // The peak of the running analyzer, or of a single run made for it.
  in.Add("MEASure:FREQuency?", Command::kAlone, [](Call& c) {
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

  // ---- Images and data in the reply ----
  in.Add("DISPlay:DATA?", Command::kNone, [](Call& c) {
    if (Count(c, 0, 1)) ImageReply(c, c.In.Form.DisplayBitmap);
    return Done::Yes;
  });
  in.Add("CONTrol:CLIPboard?", Command::kNone, [](Call& c) {
    if (!Count(c, 0, 1)) return Done::Yes;
    if (const std::optional<Bitmap> image = c.In.Plat.ClipboardImage())
      ImageReply(c, *image);
    else
      c.In.Errors.Push(err::ExecutionError, "the clipboard holds no image");
    return Done::Yes;
  });
  in.Add("FETCh:PLOT?", Command::kNone, [](Call& c) {
    if (!Count(c, 0, 0)) return Done::Yes;
    const std::string csv = PlotDataCsv(c.In.Form, false);
    c.Reply = Block(csv.data(), csv.size());
    return Done::Yes;
  });

  // ---- Files on the instrument's machine (only inside --allow-files) ----
  using FileCommand = std::pair<const char*, const char*>;
  for (const FileCommand& f : {FileCommand{"MMEMory:STORe:IMAGe", "bitmap "},
                               FileCommand{"MMEMory:STORe:CLIPboard", "clipboard "}}) {
    const char *header = f.first, *command = f.second;
    in.Add(header, Command::kNone, [command](Call& c) {
      std::string path;
      if (Count(c, 1, 1) && FileAt(c, 0, path)) c.In.Remote(command + path);
      return Done::Yes;
    });
  }
  in.Add("CONTrol:DIALog", Command::kNone, [](Call& c) {
    if (!Count(c, 1, 1)) return Done::Yes;
    std::string path;
    const Param& p = c.U.Params[0];
    if (p.Type == Param::Kind::Word && Pattern("CANCel").Matches({p.Text}))
      c.In.Remote("dialog cancel");
    else if (FileAt(c, 0, path))
      c.In.Remote("dialog " + path);
    return Done::Yes;
  });

  // ---- The remote control's commands ----
  in.Add("CONTrol:CLICk", Command::kMayNest, [](Call& c) {
    std::string name;
    c.In.MarkChange();
    if (Count(c, 1, 1) && NameAt(c, 0, name)) c.In.Remote("click " + name);
    return Done::Yes;
  });
  in.Add("CONTrol:SET", Command::kMayNest, [](Call& c) {
    std::string name;
    c.In.MarkChange();
    if (Count(c, 2, 2) && NameAt(c, 0, name)) c.In.Remote("set " + name + " " + TextAt(c, 1));
    return Done::Yes;
  });
  in.Add("CONTrol:KEY", Command::kMayNest, [](Call& c) {
    std::string name;
    c.In.MarkChange();
    if (Count(c, 2, 2) && NameAt(c, 0, name)) c.In.Remote("key " + name + " " + TextAt(c, 1));
    return Done::Yes;
  });
  in.Add("CONTrol:MOUSe", Command::kMayNest, [](Call& c) {
    std::string name;
    double x, y;
    if (!Count(c, 5, 5) || !NameAt(c, 1, name) || !NumberAt(c, 3, x) || !NumberAt(c, 4, y))
      return Done::Yes;
    std::string action = TextAt(c, 0), button = TextAt(c, 2);
    for (std::string* s : {&action, &button})
      for (char& ch : *s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    char xy[64];
    std::snprintf(xy, sizeof xy, " %.0f %.0f", std::clamp(x, -1e5, 1e5), std::clamp(y, -1e5, 1e5));
    c.In.MarkChange();
    c.In.Remote("mouse " + action + " " + name + " " + button + xy);
    return Done::Yes;
  });
  // Queries through "get", "state", "pixel" and "clock": the printed value.
  using Printing = std::tuple<const char*, const char*, size_t>;
  for (const Printing& p :
       {Printing{"CONTrol:GET?", "get ", 1}, Printing{"CONTrol:STATe?", "state ", 1},
        Printing{"CONTrol:PIXel?", "pixel ", 2}, Printing{"CONTrol:CLOCk?", "clock", 0}}) {
    const char *header = std::get<0>(p), *command = std::get<1>(p);
    const size_t params = std::get<2>(p);
    in.Add(header, Command::kNone, [command, params](Call& c) {
      if (!Count(c, params, params)) return Done::Yes;
      std::string line = command, printed;
      for (size_t i = 0; i < c.U.Params.size(); ++i) line += (i ? " " : "") + TextAt(c, i);
      if (c.In.Remote(line, &printed))
        c.Reply = params == 1 ? QuotedString(Printed(printed)) : Printed(printed);
      return Done::Yes;
    });
  }
  in.Add("CONTrol:WAIT", Command::kNone, [](Call& c) {
    double ms;
    if (!Count(c, 1, 1) || !NumberAt(c, 0, ms)) return Done::Yes;
    if (!(ms >= 0 && ms <= RemoteControl::kMaxWaitMs))
      c.In.Errors.Push(err::DataOutOfRange, "0 to " + Number(RemoteControl::kMaxWaitMs) + " ms");
    else
      c.In.Remote("wait " + std::to_string(static_cast<long long>(ms)));
    return Done::Yes;
  });
}

}  // namespace zorvane::scpi
