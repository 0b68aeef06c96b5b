// SPDX-License-Identifier: GPL-3.0-or-later
// Function-mode frequency control: the three decade range buttons, the
// scroll bar within the decade, and the typed entry confirmed by SET or
// Enter. FrequencyDisplay's text colour is the entry's state: yellow means
// the value shown is in force, red that it is edited or scrolled and pending.
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <system_error>

#include "app/Zorvane.h"

namespace zorvane {

namespace {

constexpr Color kInForce = colors::Yellow;
constexpr Color kPending = colors::Red;
constexpr const char* kBoundMessage = "Frequency must be greater than 20 Hz and less than 22050 Hz";
constexpr const char* kBoundTitle = "Frequency Set";
constexpr const char* kAppTitle = "Zorvane Function-Sweep Generator";
constexpr float kLowestFrequency = 20.0f;
constexpr int kScrollBottom = 20000;
constexpr int kEscapeKey = 27;

// The three decades share the scroll bar's span 20000..200000; they differ
// in hertz per position unit and in the steps, so that an arrow click is
// always 0.1 Hz and a page click 1 Hz.
struct FrequencyRangeRow {
  int32_t range;
  double hzPerUnit;
  int smallChange;
  int largeChange;
  float frequency;  // a hundredth above the decade bottom
};
constexpr std::array<FrequencyRangeRow, 3> kRanges = {{
    {1, 0.001, 100, 1000, 20.01f},
    {2, 0.01, 10, 100, 200.01f},
    {3, 0.1, 1, 10, 2000.01f},
}};

const FrequencyRangeRow* RangeRow(int32_t range) {
  for (const auto& r : kRanges)
    if (r.range == range) return &r;
  return nullptr;
}

std::string Format(const char* format, float f) {
  std::array<char, 64> text{};
  std::snprintf(text.data(), text.size(), format, static_cast<double>(f));
  return text.data();
}

// Replaces the whole content of the entry box.
void WriteText(Control* box, const std::string& text) {
  box->Clear();
  box->SetText(text);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Strict conversion of the whole text: an optional sign, digits with at most
// one decimal point ".", and an optional exponent; no blanks, no locale
// decimal comma, no "inf" or "nan". The value is read in extended precision
// and rounded to single precision (beyond the float range it becomes an
// infinity, which the bound check then refuses).
bool ParseFrequency(const std::string& text, float& value) {
  const size_t n = text.size();
  size_t i = 0;
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  size_t mantissaDigits = 0;
  while (i < n && IsDigit(text[i])) ++i, ++mantissaDigits;
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && IsDigit(text[i])) ++i, ++mantissaDigits;
  }
  if (mantissaDigits == 0) return false;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    size_t exponentDigits = 0;
    while (i < n && IsDigit(text[i])) ++i, ++exponentDigits;
    if (exponentDigits == 0) return false;
  }
  if (i != n) return false;

  const char* first = text.data() + (text[0] == '+' ? 1 : 0);
  const char* last = text.data() + n;
  long double v = 0;
  const auto [end, ec] = std::from_chars(first, last, v, std::chars_format::general);
  if (ec != std::errc() || end != last) return false;
  constexpr long double kMax = std::numeric_limits<float>::max();
  constexpr float kInf = std::numeric_limits<float>::infinity();
  value = v > kMax ? kInf : (v < -kMax ? -kInf : static_cast<float>(v));
  return true;
}

// At least 20 Hz, and the integer part (truncated, as an unsigned 32-bit
// value) at most half the analyzer's sample rate. The message always names
// 22050 Hz; the bound follows the rate.
bool WithinBounds(float v, int32_t sampleRate) {
  if (!(v >= kLowestFrequency)) return false;  // also refuses NaN
  const double whole = std::trunc(static_cast<double>(v));
  const uint32_t integerPart =
      whole < 4294967296.0 ? static_cast<uint32_t>(whole) : std::numeric_limits<uint32_t>::max();
  return integerPart <= static_cast<uint32_t>(sampleRate / 2);
}

enum class Entry { NotANumber, Refused, Accepted };

// Reads the entry box and, when it holds an acceptable frequency, makes it
// the function frequency. Text that is no number stops here with the
// conversion message and changes nothing; an out-of-bounds value is refused
// and the box shows the unchanged frequency in full precision.
Entry ReadEntry(TZorvaneForm& form) {
  AppState& S = form.S;
  const std::string text = form.FrequencyDisplay->Text();
  float v = 0.0f;
  if (!ParseFrequency(text, v)) {
    form.platform.MessageBox("'" + text + "' is not a valid floating point value", kAppTitle);
    return Entry::NotANumber;
  }
  if (!WithinBounds(v, S.SampleRate)) {
    form.platform.MessageBox(kBoundMessage, kBoundTitle);
    WriteText(form.FrequencyDisplay, Format("%.15g", S.FunctionFrequency));
    return Entry::Refused;
  }
  S.FunctionFrequency = v;
  WriteText(form.FrequencyDisplay, Format("%.1f", S.FunctionFrequency));
  form.FrequencyEditSeen = false;
  form.ShowMusicalNote();
  return Entry::Accepted;
}

// What the three range buttons share. While the stored settings are replayed
// the button only selects the decade (and, in FUNC mode, shows the stored
// frequency); in MUSIC mode outside the replay it does nothing.
void SelectRange(TZorvaneForm& form, int32_t range, Control* chosen) {
  AppState& S = form.S;
  const FrequencyRangeRow* row = RangeRow(range);
  const bool func = S.MusicMode == 0;
  const bool replay = S.ApplyingConfiguration != 0;
  if (!row || (!func && !replay)) return;

  S.FrequencyRange = row->range;
  // Moving the bar runs FreqScrollBarChange; what it sets is overwritten below.
  form.FreqScrollBar->SetPosition(kScrollBottom);
  form.FreqScrollBar->SetSmallChange(row->smallChange);
  form.FreqScrollBar->SetLargeChange(row->largeChange);
  if (func) {
    if (!replay) S.FunctionFrequency = row->frequency;
    WriteText(form.FrequencyDisplay, Format("%.1f", S.FunctionFrequency));
    if (!replay) {
      form.FrequencyDisplay->SetFontColor(kInForce);
      form.ShowMusicalNote();
    }
  }
  for (Control* b : {form.LowFreqBtn, form.MidFreqBtn, form.HighFreqBtn}) {
    b->SetFontColor(b == chosen ? colors::Red : colors::Blue);
    b->SetCaption(b == chosen ? "ON" : "OFF");
  }
  if (func && !replay) {
    S.OutputFrequency = S.FunctionFrequency;
    if (S.OutputOn == 1) form.RestartOutput();
  }
}

}  // namespace

void TZorvaneForm::LowFreqBtnClick() { SelectRange(*this, 1, LowFreqBtn); }
void TZorvaneForm::MidFreqBtnClick() { SelectRange(*this, 2, MidFreqBtn); }
void TZorvaneForm::HighFreqBtnClick() { SelectRange(*this, 3, HighFreqBtn); }

// A scrolled value is pending: it sounds only after SET or Enter, and then
// rounded to the 0.1 Hz the box shows.
void TZorvaneForm::FreqScrollBarChange() {
  if (S.MusicMode != 0) return;
  if (const FrequencyRangeRow* row = RangeRow(S.FrequencyRange)) {
    S.FunctionFrequency = static_cast<float>(static_cast<long double>(FreqScrollBar->Position()) *
                                             static_cast<long double>(row->hzPerUnit));
    WriteText(FrequencyDisplay, Format("%.1f", S.FunctionFrequency));
  }
  ShowMusicalNote();
  FrequencyDisplay->SetFontColor(kPending);
}

// Re-reads the box only while its value is pending; in every case the
// function frequency (new or unchanged) goes to a playing output.
void TZorvaneForm::SetFreqBtnClick() {
  if (S.MusicMode != 0) return;
  if (FrequencyDisplay->FontColor() == kPending && ReadEntry(*this) == Entry::NotANumber) return;
  FrequencyDisplay->SetFontColor(kInForce);
  S.OutputFrequency = S.FunctionFrequency;
  if (S.OutputPlaying == 1) RestartOutput();
}

// Every key marks the value pending. Enter confirms, then only digits, "."
// and Backspace reach the box.
void TZorvaneForm::FrequencyDisplayKeyPress(char& key) {
  if (S.MusicMode != 0) return;
  FrequencyDisplay->SetFontColor(kPending);
  if (key == '\r') SetFreqBtnClick();
  if (!(IsDigit(key) || key == '.' || key == '\b')) key = 0;
}

// Releasing Enter confirms a second time, whatever the colour says.
// Releasing Escape gives up the edit: the box shows the frequency in force
// again (not during a sweep, which shows its own frequencies).
void TZorvaneForm::FrequencyDisplayKeyUp(int& key) {
  if (S.MusicMode != 0) return;
  if (key == kEscapeKey) {
    if (S.SweepMode == 1) return;
    S.FunctionFrequency = S.OutputFrequency;
    WriteText(FrequencyDisplay, Format("%.1f", S.FunctionFrequency));
    FrequencyDisplay->SetFontColor(kInForce);
    FrequencyEditSeen = false;
    ShowMusicalNote();
    return;
  }
  if (key != 13) return;
  const Entry e = ReadEntry(*this);
  if (e == Entry::NotANumber) return;
  if (e == Entry::Accepted) SetFreqBtnClick();
  FrequencyDisplay->SetFontColor(kInForce);
}

// The first change of the text after a confirmation refreshes the note
// display once (for the function frequency, not for the typed text).
void TZorvaneForm::FrequencyDisplayChange() {
  if (S.MusicMode == 1 || FrequencyEditSeen) return;
  FrequencyEditSeen = true;
  ShowMusicalNote();
}

void TZorvaneForm::WireFrequencyControls() {
  ModeBtn->OnClick = [this] { ModeBtnClick(); };
  OctaveUPBtn->OnClick = [this] { OctaveUPBtnClick(); };
  OctaveDownBtn->OnClick = [this] { OctaveDownBtnClick(); };
  NoteUpBtn->OnClick = [this] { NoteUpBtnClick(); };
  NoteDownBtn->OnClick = [this] { NoteDownBtnClick(); };
  LowFreqBtn->OnClick = [this] { LowFreqBtnClick(); };
  MidFreqBtn->OnClick = [this] { MidFreqBtnClick(); };
  HighFreqBtn->OnClick = [this] { HighFreqBtnClick(); };
  SetFreqBtn->OnClick = [this] { SetFreqBtnClick(); };
  FreqScrollBar->OnChange = [this] { FreqScrollBarChange(); };
  FrequencyDisplay->OnChange = [this] { FrequencyDisplayChange(); };
  FrequencyDisplay->OnKeyPress = [this](char& key) { FrequencyDisplayKeyPress(key); };
  FrequencyDisplay->OnKeyUp = [this](int& key) { FrequencyDisplayKeyUp(key); };
}

}  // namespace zorvane
