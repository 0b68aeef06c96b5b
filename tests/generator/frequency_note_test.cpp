// SPDX-License-Identifier: GPL-3.0-or-later
// Scenarios: each row runs ';'-separated actions on a fresh instrument, then checks. Actions:
// clicks (out mode low mid high set up down oct+ oct-), type:<keys> ("\r" presses Enter), enter
// (press and release), erase, paste:<text> (after one key), text:<text> (program-written),
// scroll:<pos>, state (fhz nhz idx range rate replay), show:<Hz> (the note shown for it). Checks:
// key=value, key~value (0.02 Hz) for f, n, out; colours Y R B F; log: B bound, N not-a-number.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <sstream>
#include <vector>

#include "generator/musical_note.h"
#include "generator/synthesis.h"
#include "support/test_support.h"

namespace zorvane {
namespace {

TEST(FindNoteIndex, NamesEveryNoteFromA0ToE8) {
  int32_t idx = -1, below = 99, above = 99, both = 99;  // outside A0..E8 the index stays
  for (int k = 0; k < kNoteWindows; ++k, idx = -1) {
    FindNoteIndex(static_cast<float>(27.5 * std::pow(2.0, k / 12.0)), idx);
    EXPECT_EQ(idx, k % 12) << k;
  }
  FindNoteIndex(26.0f, below), FindNoteIndex(5500.0f, above), FindNoteIndex(28.3166f, both);
  EXPECT_EQ(std::vector({below, above, both}), std::vector({99, 99, 1}));  // the upper window wins
}
using Scenario = std::pair<const char*, const char*>;  // actions, checks
// clang-format off
struct Scenarios : ::testing::TestWithParam<Scenario> {
  testing::Rig rig;
  TZorvaneForm& F = rig.F();
  AppState& S = rig.S();
  Control* const box = F.FrequencyDisplay;
  using Do = std::function<void(const std::string&)>;
  void Type(const std::string& keys) { for (char c : keys) box->UserKey(c); }
  Do Click(Control* c) { return [c](auto&) { c->Click(); }; }
  template <class T> Do Set(T* p) { return [p](auto& v) { *p = static_cast<T>(std::stof(v)); }; }
  const std::map<std::string, Do> actions = {
      {"out", Click(F.OutputBtn)}, {"mode", Click(F.ModeBtn)}, {"low", Click(F.LowFreqBtn)},
      {"mid", Click(F.MidFreqBtn)}, {"high", Click(F.HighFreqBtn)}, {"set", Click(F.SetFreqBtn)},
      {"up", Click(F.NoteUpBtn)}, {"down", Click(F.NoteDownBtn)}, {"oct+", Click(F.OctaveUPBtn)},
      {"oct-", Click(F.OctaveDownBtn)}, {"rate", Set(&S.SampleRate)}, {"idx", Set(&S.NoteIndex)},
      {"range", Set(&S.FrequencyRange)}, {"replay", [&](auto&) { S.ApplyingConfiguration = 1; }},
      {"type", [&](auto& v) { Type(v); }}, {"text", [&](auto& v) { box->SetText(v); }},
      {"erase", [&](auto&) { Type(std::string(box->Text().size(), '\b')); }},
      {"paste", [&](auto& v) { Type("\b"); box->SetText(v); }}, {"fhz", Set(&S.FunctionFrequency)},
      {"enter", [&](auto&) { Type("\r"); box->UserKeyUp(13); }}, {"nhz", Set(&S.NoteFrequency)},
      {"scroll", [&](auto& v) { F.FreqScrollBar->UserScroll(std::stoi(v)); }},
      {"show", [&](auto& v) { S.FunctionFrequency = std::stof(v); F.ShowMusicalNote(); }}};
};
TEST_P(Scenarios, Run) {
  std::stringstream script(GetParam().first), checks(GetParam().second);
  for (std::string a; std::getline(script, a, ';');) {
    const size_t colon = a.find(':');
    ASSERT_TRUE(actions.count(a.substr(0, colon))) << a;
    actions.at(a.substr(0, colon))(colon == std::string::npos ? "" : a.substr(colon + 1));
  }
  const std::map<Color, std::string> tone = {
      {colors::Yellow, "Y"}, {colors::Red, "R"}, {colors::Blue, "B"}, {colors::Fuchsia, "F"}};
  const auto look = [&](Control* c) { return c->Caption() + tone.at(c->FontColor()); };
  const auto n = [](int i) { return std::to_string(i); };
  const Control* bar = F.FreqScrollBar;
  std::string log;
  for (const auto& m : rig.platform.Messages)
    log += m.Title == "Frequency Set" &&
           m.Text == "Frequency must be greater than 20 Hz and less than 22050 Hz" ? "B"
         : m.Title == "Zorvane Function-Sweep Generator" &&
           m.Text == "'" + box->Text() + "' is not a valid floating point value" ? "N"
         : "[" + m.Title + ": " + m.Text + "]";
  const std::map<std::string, std::string> actual = {
      {"text", box->Text()}, {"col", tone.at(box->FontColor())}, {"log", log},
      {"note", F.MusicalLabel->Caption() + "|" + F.SuperscriptFreq->Caption() + "|" +
               F.SubscriptFreq->Caption()},
      {"idx", n(S.NoteIndex)}, {"range", n(S.FrequencyRange)}, {"w", n(rig.out.Writes)},
      {"bar", n(bar->Position()) + "/" + n(bar->SmallChange()) + "/" + n(bar->LargeChange())},
      {"btn", look(F.LowFreqBtn) + " " + look(F.MidFreqBtn) + " " + look(F.HighFreqBtn)},
      {"mode", look(F.ModeBtn) + (bar->Enabled() ? "" : " disabled") +
               (box->ReadOnly() ? " read-only" : "")}};
  const std::map<std::string, float> hz = {
      {"f", S.FunctionFrequency}, {"n", S.NoteFrequency}, {"out", S.OutputFrequency}};
  for (std::string c; std::getline(checks, c, ';');) {
    const size_t op = c.find_first_of("=~");
    const std::string key = c.substr(0, op), v = c.substr(op + 1);
    if (hz.count(key)) EXPECT_NEAR(hz.at(key), std::stof(v), c[op] == '~' ? 0.02 : 0.0) << key;
    else if (key != "plays") EXPECT_EQ(actual.count(key) ? actual.at(key) : "unknown", v) << key;
    else {  // the device plays exactly the sine loop of that frequency
      const float f = v == "n" ? S.NoteFrequency : v == "f" ? S.FunctionFrequency : std::stof(v);
      std::vector<uint8_t> loop(kOutputBufferBytes); std::vector<float> work(kSynthesisWorkLen);
      uint16_t bytes = 0; uint32_t seed = 1;
      SynthesizeWaveform(loop.data(), work.data(), f, 0, bytes, seed);
      ASSERT_TRUE(rig.cable.PlayingData() && rig.cable.PlayingLoopBytes() == bytes) << f;
      EXPECT_EQ(0, std::memcmp(rig.cable.PlayingData(), loop.data(), bytes)) << f;
    }
  }
}

// Octave marks change between B and C; beyond the named range the name is "?". NaN matches
// nothing: the name falls back to NoteIndex (read only inside the table), the marks stay.
const Scenario kScenarios[] = {
    {"show:20.01", "note=?| | "}, {"show:123.47", "note=B| |2"}, {"show:130.81", "note=C| |1"},
    {"show:1046.5", "note=C|2| "}, {"show:4400", "note=?| | "}, {"idx:5;show:nan", "note=D|1|1"},
    {"idx:12;show:nan", "note=?|1|1"},
    // Every step click, refused or not, refreshes the note and restarts the output.
    {"out;type:5;mode", "mode=MUSICF disabled read-only;text=261.6;col=Y;note=C| | ;w=2;plays=n"},
    {"out;mode;mode", "mode=FUNCR;text=200.0;note=G| |1;f=200.01;w=3;plays=200.01"},
    {"mode;out;nhz:27.5;down", "n=27.5;idx=10;text=261.6;note=A| |4;w=2;plays=27.5"},
    {"mode;out;nhz:29.14;down", "n~27.5;idx=9;text=27.5;note=A| |4;w=2;plays=n"},
    {"mode;out;nhz:4186;up", "n=4186;idx=10;text=261.6;note=C|4| ;w=2;plays=4186"},
    {"mode;out;nhz:3951.07;up", "n~4186;idx=11;text=4186.0;note=C|4| ;w=2;plays=n"},
    {"mode;out;nhz:2093;oct+", "n=4186;text=4186.0;note=C|4| ;w=2;plays=4186"},
    {"mode;out;nhz:2217.5;oct+", "n=2217.5;text=261.6;note=C#|3| ;w=2"},
    {"mode;out;nhz:65.41;oct-", "n~32.705;text=32.7;note=C| |3;w=2;plays=n"},
    {"mode;out;nhz:61.74;oct-", "n=61.74;text=261.6;note=B| |3;w=2"},
    {"mode;up;up;up;up;up;up;up;up;up;up;up;up", "n~523.26;idx=10;text=523.3;note=C|1| ;w=0"},
    {"out;up;down;oct+;oct-", "n=261.63;idx=10;note=G|1|1;w=1"},
    {"out;mode;low;high;set;scroll:50000;type:5;enter", "f=200.01;out=261.63;range=2;col=Y;w=2"},
    // Range buttons on and off, and during the settings replay; a scrolled value waits for SET.
    {"out;scroll:50000;low", "range=1;bar=20000/100/1000;f=20.01;text=20.0;col=Y;w=2;plays=20.01"},
    {"out;scroll:50000;mid", "range=2;bar=20000/10/100;f=200.01;text=200.0;col=Y;w=2;plays=200.01"},
    {"out;scroll:50000;high", "range=3;bar=20000/1/10;btn=OFFB OFFB ONR;col=Y;w=2;plays=2000.01"},
    {"scroll:50000;low", "f=20.01;text=20.0;col=Y;btn=ONR OFFB OFFB;w=0"},
    {"low;high;out", "range=3;text=2000.0;w=1;plays=2000.01"},
    {"out;paste:x;replay;fhz:1234.56;high", "range=3;btn=OFFB OFFB ONR;text=1234.6;col=R;w=1"},
    {"out;low;scroll:123456", "text=123.5;col=R;f=123.456;out=20.01;w=2;plays=20.01"},
    {"out;low;scroll:123456;set", "text=123.5;col=Y;f=123.5;w=3;plays=123.5"},
    {"range:7;scroll:30000", "f=200.01;text=200.0;col=R"},
    // Bounds at 44,100 and 8,000 Hz (the message names 22050 Hz regardless), the key filter, Enter
    // confirming on press and release, SET on an in-force text, the note following one edit only.
    {"out;erase;type:20;set", "f=20;text=20.0;col=Y;log=;w=2;plays=20"},
    {"out;erase;type:19.9;set", "f=200.01;text=200.009994506836;col=Y;log=B;w=2;plays=200.01"},
    {"erase;type:22050.9;set", "f=22050.9;log="}, {"erase;type:22051;set", "f=200.01;log=B"},
    {"rate:8000;erase;type:4000.5;set", "f=4000.5;log="}, {"paste:-25;set", "log=B"},
    {"rate:8000;erase;type:4001;set", "f=200.01;log=B"},
    {"erase;type:1a2.b5 -,+e", "text=12.5;col=R;f=200.01"},
    {"out;erase;type:440\r", "f=440;text=440.0;col=Y;note=A| | ;w=2;plays=440"},
    {"out;erase;type:440;enter", "f=440;text=440.0;col=Y;w=3;plays=440"},
    {"out;text:not read;fhz:440;set", "text=not read;log=;w=2;plays=440"},
    {"enter;fhz:440;type:1;fhz:261.63;type:2", "text=200.012;note=A| | "},
    // Text that is no number: SET, Enter's press and release each report it; nothing else changes.
    {"out;paste:;set;enter", "log=NNN;text=;col=R;f=200.01;w=1"}, {"paste:inf;set", "log=N"},
    {"paste:440Hz;set", "log=N"}, {"paste:1,5;set", "log=N"}, {"paste: 440;set", "log=N"}};
INSTANTIATE_TEST_SUITE_P(NotesAndEntry, Scenarios, ::testing::ValuesIn(kScenarios));
// clang-format on

}  // namespace
}  // namespace zorvane
