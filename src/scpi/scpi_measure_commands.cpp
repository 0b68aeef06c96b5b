// SPDX-License-Identifier: GPL-3.0-or-later
// The command table's rows for the readouts (distortion and noise figures,
// fractional-octave bands) and for the log sweep measurement. Settings go
// through the remote control's "readout" and "measure" commands where it has
// them; readings come from the readouts and the measurement's last result.
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <functional>

#include "measure/log_sweep_model.h"
#include "readouts/readout_text.h"
#include "readouts/readouts.h"
#include "scpi/scpi_rows.h"

namespace zorvane::scpi {

namespace {

using readouts::BlockReadouts;
using readouts::Readout;

// ---- Numbers in the reply ----

// SCPI's stand-ins for a figure that is not a number and for infinities.
constexpr double kNotANumber = 9.91e37, kInfinity = 9.9e37;

// Readings as text with 9 significant digits, or as a block of floats.
std::string Readings(const Instrument& in, std::vector<double> v) {
  for (double& x : v)
    if (std::isnan(x))
      x = kNotANumber;
    else if (std::isinf(x))
      x = x > 0 ? kInfinity : -kInfinity;
  if (in.Real32) return Values(in, v, 0);
  std::string out;
  for (size_t i = 0; i < v.size(); ++i) out += (i ? "," : "") + Number(v[i]);
  return out;
}

// A query of readings; `series` fills them or says why there are none
// (false; `done` Later to be asked again).
using Readable = std::function<bool(Call&, Done&, std::vector<double>&)>;
void ReadingsQuery(Instrument& in, const char* header, Readable series) {
  in.Add(header, Command::kNone, [series](Call& c) {
    Done done = Done::Yes;
    std::vector<double> v;
    if (Count(c, 0, 0) && series(c, done, v)) c.Reply = Readings(c.In, v);
    return done;
  });
}

// ---- Readouts ----

// Whether a readout can be read: held (as it was), or with every block of
// its average begun after the last change. While the analyzer runs that is
// waited for, up to a full average.
bool ReadoutReady(Call& c, Done& done, Readout which) {
  const BlockReadouts& r = *c.In.Form.Readouts;
  const long blocks = r.Blocks(which);
  if (r.Held(which)) {
    if (blocks > 0) return true;
    c.In.Errors.Push(err::DataStale, "the readout was held before it had a block");
    return false;
  }
  const bool running = c.In.Form.S.AnalyzerActive == 1;
  const uint64_t freshBlocks = c.In.FreshBlocks();
  const bool fresh = blocks > 0 && static_cast<uint64_t>(blocks) <= freshBlocks;
  if (fresh && (!running || blocks >= r.Average())) return true;
  if (running) {
    // Averaged over every block since it began, the readout would keep the
    // blocks from before the change for ever: it begins afresh, and the
    // block in progress began after the change.
    if (!fresh && r.Average() == 0 && freshBlocks > 0) c.In.Form.Readouts->Clear();
    done = Done::Later;
    return false;
  }
  c.In.Errors.Push(err::DataStale, "no block analysed since the last change (INITiate)");
  return false;
}

// Distortion figures picked from the readout (false when it cannot be read).
using Pick = void (*)(const readouts::DistortionFigures&, std::vector<double>&);
void DistortionQuery(Instrument& in, const char* header, Pick pick) {
  ReadingsQuery(in, header, [pick](Call& c, Done& done, std::vector<double>& v) {
    if (!ReadoutReady(c, done, Readout::Distortion)) return false;
    pick(c.In.Form.Readouts->Distortion(), v);
    return true;
  });
}

void Harmonics(const readouts::DistortionFigures& f, std::vector<double>& v) {
  v.insert(v.end(), f.harmonicDbc, f.harmonicDbc + readouts::kHarmonics);
}

// A readout setting through the remote control's "readout" command.
bool SetReadout(Call& c, const std::string& setting) { return c.In.Remote("readout " + setting); }

void AddReadoutCommands(Instrument& in) {
  DistortionQuery(in, "FETCh:DISTortion?", [](const auto& f, auto& v) {
    v = {f.fundamentalHz, f.fundamentalDbfs, f.thdDb, f.thdPercent, f.thdnDb,
         f.thdnPercent,   f.sinadDb,         f.snrDb, f.enobBits,   f.noiseFloorDbfs};
    Harmonics(f, v);
    v.push_back(f.harmonicsUsed);
  });
  DistortionQuery(in, "FETCh:DISTortion:THD?", [](const auto& f, auto& v) { v = {f.thdDb}; });
  DistortionQuery(in, "FETCh:DISTortion:THDN?", [](const auto& f, auto& v) { v = {f.thdnDb}; });
  DistortionQuery(in, "FETCh:DISTortion:SINad?", [](const auto& f, auto& v) { v = {f.sinadDb}; });
  DistortionQuery(in, "FETCh:DISTortion:SNR?", [](const auto& f, auto& v) { v = {f.snrDb}; });
  DistortionQuery(in, "FETCh:DISTortion:ENOB?", [](const auto& f, auto& v) { v = {f.enobBits}; });
  DistortionQuery(in, "FETCh:DISTortion:NOISe?",
                  [](const auto& f, auto& v) { v = {f.noiseFloorDbfs}; });
  DistortionQuery(in, "FETCh:DISTortion:FUNDamental?", [](const auto& f, auto& v) {
    v = {f.fundamentalHz, f.fundamentalDbfs};
  });
  DistortionQuery(in, "FETCh:DISTortion:HARMonics?", Harmonics);
  in.Add("FETCh:DISTortion:STATus?", Command::kNone, [](Call& c) {
    Done done = Done::Yes;
    if (Count(c, 0, 0) && ReadoutReady(c, done, Readout::Distortion))
      c.Reply = QuotedString(readouts::TrustWords(c.In.Form.Readouts->Distortion().flags));
    return done;
  });
  ReadingsQuery(in, "FETCh:BANDs?", [](Call& c, Done& done, std::vector<double>& v) {
    if (!ReadoutReady(c, done, Readout::Bands)) return false;
    const BlockReadouts& r = *c.In.Form.Readouts;
    for (int i = 0; i < r.BandCount(); ++i) {
      v.push_back(r.BandAt(i).centerHz);
      v.push_back(r.BandLevelDbfs(i));
    }
    return true;
  });

  // Settings, shared by both readouts; each starts their average afresh.
  in.Add("[SENSe:]DISTortion:AVERage[:COUNt]", Command::kNone, [](Call& c) {
    double n;
    if (!Count(c, 1, 1) || !NumberAt(c, 0, n)) return Done::Yes;
    if (!(n >= 0 && n <= readouts::kMaxAverage && n == std::floor(n)))
      c.In.Errors.Push(err::DataOutOfRange, "0 (every block) to 100, whole");
    else
      SetReadout(c, "average " + Number(n));
    return Done::Yes;
  });
  in.Add("[SENSe:]DISTortion:AVERage[:COUNt]?", Command::kNone, [](Call& c) {
    c.Reply = Number(c.In.Form.Readouts->Average());
    return Done::Yes;
  });
  in.Add("[SENSe:]DISTortion:AVERage:CLEar", Command::kNone, [](Call& c) {
    if (Count(c, 0, 0)) SetReadout(c, "clear");
    return Done::Yes;
  });
  in.Add("[SENSe:]DISTortion:FUNDamental", Command::kNone, [](Call& c) {
    if (!Count(c, 1, 1)) return Done::Yes;
    const Param& p = c.U.Params[0];
    double hz;
    if (p.Type == Param::Kind::Word && Pattern("AUTO").Matches({p.Text}))
      SetReadout(c, "fundamental auto");
    else if (!NumberAt(c, 0, hz, "HZ"))
      return Done::Yes;
    else if (!(hz > 0 && hz < 1e6))
      c.In.Errors.Push(err::DataOutOfRange, "above 0 and below 1 MHz, or AUTO");
    else
      SetReadout(c, "fundamental " + Number(hz));
    return Done::Yes;
  });
  in.Add("[SENSe:]DISTortion:FUNDamental?", Command::kNone, [](Call& c) {
    c.Reply = Number(c.In.Form.Readouts->Fundamental());
    return Done::Yes;
  });
  in.Add("[SENSe:]DISTortion:WEIGhting", Command::kNone, [](Call& c) {
    static const std::vector<Choice> kinds = {{"NONE", 0, "none"}, {"A", 1, "A"}};
    if (const Choice* ch = Count(c, 1, 1) ? ChoiceAt(c, 0, kinds) : nullptr)
      SetReadout(c, std::string("weighting ") + ch->Item);
    return Done::Yes;
  });
  in.Add("[SENSe:]DISTortion:WEIGhting?", Command::kNone, [](Call& c) {
    c.Reply = c.In.Form.Readouts->Weighting() ? "A" : "NONE";
    return Done::Yes;
  });
  static const std::vector<Choice> fractions = {{"OCTave", 1, "octave"},
                                                {"THIRd", 3, "third"},
                                                {"SIXTh", 6, "sixth"},
                                                {"TWELfth", 12, "twelfth"}};
  in.Add("[SENSe:]BANDs[:FRACtion]", Command::kNone, [](Call& c) {
    if (const Choice* ch = Count(c, 1, 1) ? ChoiceAt(c, 0, fractions) : nullptr)
      SetReadout(c, std::string("bands ") + ch->Item);
    return Done::Yes;
  });
  in.Add("[SENSe:]BANDs[:FRACtion]?", Command::kNone, [](Call& c) {
    const int fraction = static_cast<int>(c.In.Form.Readouts->Fraction());
    for (const Choice& ch : fractions)
      if (ch.Value == fraction)
        for (const char* p = ch.Word; *p && std::isupper(static_cast<unsigned char>(*p)); ++p)
          c.Reply += *p;
    return Done::Yes;
  });
  // Each readout holds on its own, as its window's Hold does.
  using Hold = std::pair<const char*, Readout>;
  for (const Hold& h : {Hold{"[SENSe:]DISTortion:HOLD", Readout::Distortion},
                        Hold{"[SENSe:]BANDs:HOLD", Readout::Bands}}) {
    const Readout which = h.second;
    in.Add(h.first, Command::kNone, [which](Call& c) {
      if (const Choice* ch = Count(c, 1, 1) ? ChoiceAt(c, 0, kOnOff) : nullptr)
        c.In.Form.Readouts->SetHold(which, ch->Value == 1);
      return Done::Yes;
    });
    in.Add((std::string(h.first) + "?").c_str(), Command::kNone, [which](Call& c) {
      c.Reply = c.In.Form.Readouts->Held(which) ? "1" : "0";
      return Done::Yes;
    });
  }
}

// ---- Log sweep measurement ----

LogSweepModel* Measurement(Call& c) {
  LogSweepModel* m = c.In.Measurement();
  if (!m) c.In.Errors.Push(err::ExecutionError, "no log sweep measurement is attached");
  return m;
}

// The last result, once a measurement has ended with one; while one runs,
// its end is waited for.
const SweepResult* Result(Call& c, Done& done) {
  LogSweepModel* m = Measurement(c);
  if (!m) return nullptr;
  if (m->Running()) {
    done = Done::Later;
    return nullptr;
  }
  if (m->GetState() == LogSweepModel::State::Done && m->Result()) return m->Result();
  c.In.Errors.Push(err::DataStale,
                   m->GetState() == LogSweepModel::State::Idle
                       ? "no log sweep measurement yet (INITiate:LOGSweep)"
                       : "the last log sweep measurement gave none: " + m->Status());
  return nullptr;
}

// A query of the last result's numbers.
using FromResult = std::function<void(const SweepResult&, std::vector<double>&)>;
void ResultQuery(Instrument& in, const char* header, FromResult take) {
  ReadingsQuery(in, header, [take](Call& c, Done& done, std::vector<double>& v) {
    const SweepResult* r = Result(c, done);
    if (r) take(*r, v);
    return r != nullptr;
  });
}

// An entry of the measurement's window and its range, in `Unit` (as the
// parameter's suffix) or `Said` (in messages).
struct Entry {
  const char* Header;
  std::string LogSweepModel::*Text;
  const char *Unit, *Said;
  double Low, High;
  bool HalfRate;  // up to half the rate instead of High
  bool Whole;
};

void AddLogSweepCommands(Instrument& in) {
  static const Entry entries[] = {
      {"[SENSe:]LOGSweep:STARt", &LogSweepModel::From, "HZ", " Hz", kMinSweepHz, 0, true, false},
      {"[SENSe:]LOGSweep:STOP", &LogSweepModel::To, "HZ", " Hz", kMinSweepHz, 0, true, false},
      {"[SENSe:]LOGSweep:TIME", &LogSweepModel::Seconds, "S", " s", kMinSweepSeconds,
       kMaxSweepSeconds, false, false},
      {"[SENSe:]LOGSweep:LEVel", &LogSweepModel::Level, "DBFS", " dBFS", kMinSweepDbfs,
       kMaxSweepDbfs, false, false},
      {"[SENSe:]LOGSweep:REPeat", &LogSweepModel::Repeats, "", ", whole", 1, kMaxSweepRepeats,
       false, true}};
  for (const Entry& e : entries) {
    in.Add(e.Header, Command::kNone, [&e](Call& c) {
      double v;
      LogSweepModel* m = Measurement(c);
      if (!m || !Count(c, 1, 1) || !NumberAt(c, 0, v, e.Unit)) return Done::Yes;
      const double high = e.HalfRate ? m->Rate / 2.0 : e.High;
      if (m->Running()) {
        c.In.Errors.Push(err::SettingsConflict, "a log sweep measurement is running");
      } else if (!(v >= e.Low && v <= high) || (e.Whole && v != std::floor(v))) {
        c.In.Errors.Push(err::DataOutOfRange, Number(e.Low) + " to " + Number(high) + e.Said);
      } else {
        m->*e.Text = Number(v);
        if (m->OnChange) m->OnChange();
      }
      return Done::Yes;
    });
    in.Add((std::string(e.Header) + "?").c_str(), Command::kNone, [&e](Call& c) {
      if (LogSweepModel* m = Measurement(c)) {
        // What the entry holds; one typed in the window may be no number.
        const std::string& text = m->*e.Text;
        char* end = nullptr;
        const double v = std::strtod(text.c_str(), &end);
        c.Reply = end == text.c_str() || *end ? Number(kNotANumber) : Number(v);
      }
      return Done::Yes;
    });
  }

  // START: runs inside the command; the commands that follow run meanwhile.
  in.Add("INITiate:LOGSweep", Command::kMayNest, [](Call& c) {
    LogSweepModel* m = Measurement(c);
    if (!m || !Count(c, 0, 0)) return Done::Yes;
    if (m->Running()) {
      c.In.Errors.Push(err::InitIgnored, "a log sweep measurement is running");
      return Done::Yes;
    }
    SweepSettings settings;
    std::string why = m->ReadEntries(settings);
    if (why.empty() && m->DevicesBusy) why = m->DevicesBusy();
    if (why.empty())
      c.In.Remote("measure start");
    else
      c.In.Errors.Push(err::SettingsConflict, why);
    return Done::Yes;
  });
  in.Add("FETCh:LOGSweep:STATe?", Command::kNone, [](Call& c) {
    static const char* const names[] = {"IDLE", "RUNNING", "DONE", "FAILED", "STOPPED"};
    if (LogSweepModel* m = Measurement(c)) c.Reply = names[static_cast<int>(m->GetState())];
    return Done::Yes;
  });
  ResultQuery(in, "FETCh:LOGSweep:RESPonse?", [](const SweepResult& r, auto& v) {
    for (size_t i = 0; i < r.Hz.size(); ++i)
      v.insert(v.end(), {r.Hz[i], r.MagnitudeDb[i], r.PhaseDeg[i]});
  });
  ResultQuery(in, "FETCh:LOGSweep:DELay?",
              [](const SweepResult& r, auto& v) { v.push_back(r.DelayMs()); });
  ResultQuery(in, "FETCh:LOGSweep:DISTortion?", [](const SweepResult& r, auto& v) {
    for (size_t i = 0; i < r.DistortionHz.size(); ++i) {
      v.push_back(r.DistortionHz[i]);
      for (const auto& h : r.HarmonicDb) v.push_back(h[i]);
      v.push_back(r.ThdDb[i]);
    }
  });
  // The impulse response is always a block of floats (FORMat:BORDer's order).
  in.Add("FETCh:LOGSweep:IMPulse?", Command::kNone, [](Call& c) {
    Done done = Done::Yes;
    const SweepResult* r = Count(c, 0, 0) ? Result(c, done) : nullptr;
    if (!r) return done;
    const bool real = c.In.Real32;
    c.In.Real32 = true;
    c.Reply = Values(c.In, std::vector<double>(r->Impulse.begin(), r->Impulse.end()), 0);
    c.In.Real32 = real;
    return done;
  });
  in.Add("MMEMory:STORe:LOGSweep", Command::kNone, [](Call& c) {
    static const std::vector<Choice> kinds = {
        {"CSV", 0, "csv"}, {"FRD", 1, "frd"}, {"IR", 2, "ir"}, {"DISTortion", 3, "distortion"}};
    Done done = Done::Yes;
    std::string path;
    const Choice* kind = Count(c, 2, 2) ? ChoiceAt(c, 0, kinds) : nullptr;
    if (kind && FileAt(c, 1, path) && Result(c, done))
      c.In.Remote(std::string("measure save ") + kind->Item + " " + path);
    return done;
  });
}

}  // namespace

void AddMeasureCommands(Instrument& in) {
  AddReadoutCommands(in);
  AddLogSweepCommands(in);
}

}  // namespace zorvane::scpi
