// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "measure/log_sweep_model.h"
#include "scpi/scpi_instrument.h"
#include "support/test_support.h"

using namespace zorvane;
using namespace zorvane::scpi;
using zorvane::testing::Rig;

TEST(ScpiParser, MessagesSplitIntoUnitsOrStopAtTheFirstError) {
  struct Case {
    const char* line;
    std::vector<std::string> headers;  // keywords joined by ":", "?" for queries
    int error;                         // of the last unit
  };
  const Case cases[] = {
      {"", {}, 0},
      {"  *idn? ; ", {"*IDN?"}, 0},
      {"sour:freq 1000;func sin", {"SOUR:FREQ", "SOUR:FUNC"}, 0},
      {"SOUR:FREQ 1;:OUTP ON;*WAI;STAT OFF", {"SOUR:FREQ", "OUTP", "*WAI", "STAT"}, 0},
      {"SWE:POIN 32;LOOP ON;:INIT", {"SWE:POIN", "SWE:LOOP", "INIT"}, 0},
      {"FREQ 1 2", {"FREQ"}, err::InvalidSeparator},
      {"FREQ 1,;*IDN?", {"FREQ"}, err::MissingParameter},
      {"FREQ,1", {"FREQ"}, err::InvalidCharacter},
      {"ABCDEFGHIJKLM 1", {}, err::MnemonicTooLong},
      {"CONT:KEY X,\"12", {"CONT:KEY"}, err::InvalidStringData},
      {"DATA #15hello", {"DATA"}, err::DataTypeError},
      {"FREQ 1 XHZ", {"FREQ"}, err::InvalidSuffix},
      {"FREQ 1e", {"FREQ"}, 0},  // an "E" without digits is a unit, not an exponent
      {"*", {}, err::CommandError},
      {";", {}, err::CommandError},
  };
  for (const Case& c : cases) {
    const std::vector<Unit> units = ParseMessage(c.line);
    std::vector<std::string> headers;
    for (const Unit& u : units) {
      if (u.Keywords.empty()) continue;
      std::string h;
      for (const std::string& k : u.Keywords) h += (h.empty() ? "" : ":") + k;
      headers.push_back(h + (u.Query ? "?" : ""));
    }
    EXPECT_EQ(headers, c.headers) << c.line;
    EXPECT_EQ(units.empty() ? 0 : units.back().Error, c.error) << c.line;
  }
}

TEST(ScpiParser, ParametersKeepTheirKindValueAndUnit) {
  const std::vector<Unit> units =
      ParseMessage("X 1.5kHz, -2E3 ,#H1f,'it''s',\"a;b,c\",on,3 MAHZ,.5,250 ms");
  ASSERT_EQ(units.size(), 1u);
  ASSERT_EQ(units[0].Error, 0);
  const std::vector<Param>& p = units[0].Params;
  ASSERT_EQ(p.size(), 9u);
  EXPECT_EQ(p[0].Value, 1500.0);
  EXPECT_EQ(p[0].Unit, "HZ");
  EXPECT_EQ(p[1].Value, -2000.0);
  EXPECT_EQ(p[2].Value, 31.0);
  EXPECT_EQ(p[3].Text, "it's");
  EXPECT_EQ(p[4].Text, "a;b,c");
  EXPECT_EQ(p[5].Type, Param::Kind::Word);
  EXPECT_EQ(p[5].Text, "ON");
  EXPECT_EQ(p[6].Value, 3e6);
  EXPECT_EQ(p[7].Value, 0.5);
  EXPECT_DOUBLE_EQ(p[8].Value, 0.25);
  EXPECT_EQ(p[8].Unit, "S");
}

TEST(ScpiParser, HeadersMatchLongOrShortFormsAndSkipOptionalNodes) {
  const Pattern p("[SOURce:]FREQuency[:CW]");
  for (auto k : std::vector<std::vector<std::string>>{
           {"FREQ"}, {"FREQUENCY"}, {"SOUR", "FREQ"}, {"SOURCE", "FREQ", "CW"}, {"FREQ", "CW"}})
    EXPECT_TRUE(p.Matches(k)) << k.size();
  for (auto k : std::vector<std::vector<std::string>>{
           {"FRE"}, {"SOURC", "FREQ"}, {"FREQ", "CW", "CW"}, {"CW"}, {}})
    EXPECT_FALSE(p.Matches(k)) << k.size();
}

TEST(ScpiErrors, TheQueueKeepsItsOldestAndEndsInAnOverflow) {
  ErrorQueue q;
  q.Push(err::UndefinedHeader, "FOO");
  EXPECT_EQ(q.Esr, esr::CommandError);
  for (int i = 0; i < 40; ++i) q.Push(err::DataOutOfRange, "say \"when\"");
  EXPECT_EQ(q.Esr, esr::CommandError | esr::ExecutionError);
  ASSERT_EQ(q.Count(), ErrorQueue::kCapacity);
  EXPECT_EQ(q.Pop(), "-113,\"Undefined header;FOO\"");
  EXPECT_EQ(q.Pop(), "-222,\"Data out of range;say \"\"when\"\"\"");
  for (size_t i = 2; i < ErrorQueue::kCapacity; ++i) q.Pop();
  q.Push(err::QueryInterrupted);
  EXPECT_EQ(q.Pop(), "-410,\"Query INTERRUPTED\"");
  EXPECT_EQ(q.Pop(), "0,\"No error\"");
}

namespace {

// The instrument on the rig's form, run from the rig's message pump; the
// deepest the pump nested while it ran.
struct Bench {
  Rig rig;
  LogSweepModel measurement{rig.platform, rig.cable.Duplexer()};
  Instrument in{rig.F(), rig.platform};
  std::string responses;
  int depth = 0, deepest = 0;
  Bench() {
    in.Respond = [this](const std::string& r) { responses += r; };
    rig.EachPump = [this] {
      deepest = std::max(deepest, ++depth);
      in.Run();
      --depth;
    };
    in.StartSession();
    measurement.DevicesBusy = [this] { return rig.F().DevicesInUse(); };
    in.AttachMeasurement(&measurement);
  }
  std::string Send(const std::vector<std::string>& lines) {
    responses.clear();
    for (const std::string& l : lines) in.Receive(l);
    in.Run();
    return responses;
  }
};

}  // namespace

TEST(ScpiInstrument, QueriesOfOneLineAnswerInOneMessageAndAnErrorEndsTheLine) {
  Bench b;
  EXPECT_EQ(b.Send({"SOUR:FREQ 2000;FUNC TRI", "SOUR:FREQ?;FUNC?;*OPC?;:OUTP?"}), "2000;TRI;1;0\n");
  // The unit after the undefined header is not run; the query before it answers.
  EXPECT_EQ(b.Send({"OUTP?;:BOGUS;:OUTP ON"}), "0\n");
  EXPECT_EQ(b.rig.S().OutputPlaying, 0);
  // Without a block analysed there is no spectrum: no answer, an error.
  EXPECT_EQ(b.Send({"FETC:SPEC?"}), "");
  EXPECT_EQ(b.Send({"SYST:ERR:COUN?;:SYST:ERR?;ERR?"}),
            "2;-113,\"Undefined header;BOGUS\";-230,\"Data corrupt or stale;no block analysed "
            "since the last change (INITiate)\"\n");
  EXPECT_EQ(b.Send({"*ESR?;*ESR?"}), "48;0\n");  // command and execution errors, then cleared
  // A refusal the form shows in a message box reaches the queue too.
  EXPECT_EQ(b.Send({"FREQ:MODE SWE;:OUTP ON", "SYST:ERR?"}),
            "-200,\"Execution error;Freq Mode Error: Freq Mode must be in 'Fixed' mode to "
            "generate audio with this button\"\n");
}

TEST(ScpiInstrument, FetchWaitsForABlockOfTheNewToneAndChangesDoNotNestLoops) {
  Bench b;
  std::vector<std::string> lines = {"SENS:SIZE 4096;:OUTP ON;:INIT"};
  const std::vector<int> tones = {1000, 2500, 4000, 5500, 7000, 8500, 10000, 11500, 13000, 14500};
  for (int tone : tones) lines.push_back("SOUR:FREQ " + std::to_string(tone) + ";:FETC:FREQ?");
  lines.push_back("ABOR");
  const std::string out = b.Send(lines);
  std::vector<double> peaks;
  for (size_t at = 0; at < out.size(); at = out.find('\n', at) + 1)
    peaks.push_back(std::stod(out.substr(at)));
  ASSERT_EQ(peaks.size(), tones.size()) << out;
  for (size_t i = 0; i < tones.size(); ++i) EXPECT_NEAR(peaks[i], tones[i], 44100.0 / 4096) << i;
  EXPECT_EQ(b.rig.S().AnalyzerActive, 0);
  // Each change restarts the analyzer in the loop INITiate started: the loop
  // never runs more than one level deep, however many changes come.
  EXPECT_LE(b.deepest, 2);
  EXPECT_EQ(b.Send({"SYST:ERR?"}), "0,\"No error\"\n");
}

TEST(ScpiInstrument, ReadoutsAnswerOnlyForBlocksBegunAfterTheLastChange) {
  Bench b;
  EXPECT_EQ(b.Send({"FETC:DIST?", "DIST:AVER 101;:BAND HALF", "SYST:ERR:ALL?"}),
            "-230,\"Data corrupt or stale;no block analysed since the last change (INITiate)\","
            "-222,\"Data out of range;0 (every block) to 100, whole\",-224,\"Illegal parameter "
            "value;one of OCT, THIR, SIXT, TWEL\"\n");
  // A stale block in the average would pull the tone's frequency towards the
  // one before; averaging every block, the readout begins afresh after a change.
  const std::string out = b.Send(
      {"SENS:SIZE 4096;:OUTP ON;:INIT", "FREQ 1000;:FETC:DIST:FUND?",
       "DIST:AVER 4;:FREQ 3000;:FETC:DIST:FUND?", "DIST:AVER 0;:FREQ 5000;:FETC:DIST:FUND?",
       "FREQ 7000;:FETC:DIST:FUND?", "DIST:HOLD ON;:FREQ 9000;:FETC:DIST:FUND?;STAT?", "ABOR"});
  std::vector<double> hz;
  for (size_t at = 0; at < out.size(); at = out.find('\n', at) + 1)
    hz.push_back(std::stod(out.substr(at)));
  const std::vector<double> tones = {1000, 3000, 5000, 7000, 7000};
  ASSERT_EQ(hz.size(), tones.size()) << out;
  for (size_t i = 0; i < tones.size(); ++i) EXPECT_NEAR(hz[i], tones[i], 0.5) << i;
  EXPECT_NE(out.find(";\"ok\"\n"), std::string::npos) << out;
  EXPECT_EQ(b.Send({"BAND TWEL;BAND?;:DIST:AVER?;HOLD?;:SYST:ERR?"}), "TWEL;0;1;0,\"No error\"\n");
}

TEST(ScpiInstrument, LogSweepSettingsAreCheckedAndOnlyAFinishedResultIsFetched) {
  Bench b;
  EXPECT_EQ(b.Send({"FETC:LOGS:DEL?", "SYST:ERR?"}),
            "-230,\"Data corrupt or stale;no log sweep measurement yet (INITiate:LOGSweep)\"\n");
  const struct {
    const char* line;
    int error;
  } refused[] = {{"LOGS:STAR 0.5", -222},
                 {"LOGS:STOP 22051", -222},
                 {"LOGS:TIME 30.1", -222},
                 {"LOGS:TIME 400 MS", -222},
                 {"LOGS:LEV 0.1 DBFS", -222},
                 {"LOGS:LEV -6 DB", -131},
                 {"LOGS:REP 1.5", -222},
                 {"LOGS:REP 65", -222},
                 {"LOGS:STAR 5 KHZ;STOP 2000;:INIT:LOGS", -221}};
  for (const auto& r : refused) {
    const std::string e = b.Send({r.line, "SYST:ERR?"});
    EXPECT_EQ(e.substr(0, 5), std::to_string(r.error) + ",") << r.line << ": " << e;
  }
  EXPECT_EQ(b.Send({"LOGS:STAR 20;STOP?;TIME?;LEV?;REP?"}), "2000;2;-6;1\n");
  // The fetch runs inside the measurement and waits for its end.
  const std::string delay =
      b.Send({"LOGS:STOP 20 KHZ;TIME 0.5;:INIT:LOGS;:FETC:LOGS:DEL?;STAT?;*OPC?"});
  EXPECT_LT(std::stod(delay), 100.0) << delay;
  EXPECT_NE(delay.find(";DONE;1\n"), std::string::npos) << delay;
  // Triples of frequency, magnitude and phase: the plain cable is flat.
  std::vector<double> v;
  const std::string csv = b.Send({"FETC:LOGS:RESP?"});
  std::istringstream values(csv);
  for (std::string x; std::getline(values, x, ',');) v.push_back(std::stod(x));
  ASSERT_TRUE(v.size() > 300 && v.size() % 3 == 0) << v.size();
  EXPECT_NEAR(v[0], 20, 2);
  EXPECT_NEAR(v[v.size() - 3], 20000, 2);
  for (size_t i = 0; i + 2 < v.size(); i += 300) EXPECT_NEAR(v[i + 1], 0.0, 0.1) << v[i];
  // Stopped, or started again while it runs: the earlier result is not given.
  // Meanwhile the devices are its own.
  EXPECT_EQ(b.Send({"INIT:LOGS;:INIT:LOGS;:INIT;:OUTP ON;:ABOR;*OPC?;:FETC:LOGS:STAT?;:OUTP?",
                    "FETC:LOGS:DEL?", "SYST:ERR:ALL?"}),
            "1;STOPPED;0\n-213,\"Init ignored;a log sweep measurement is running\",-221,\"Settings "
            "conflict;a log sweep measurement is running\",-221,\"Settings conflict;a log sweep "
            "measurement is running\",-230,\"Data corrupt "
            "or stale;the last log sweep measurement gave none: Stopped\"\n");
}
