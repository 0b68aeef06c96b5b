// SPDX-License-Identifier: GPL-3.0-or-later
// Musical-note mode: the FUNC/MUSIC switch, the semitone and octave steps,
// and the note display that names the note nearest to the frequency in force.
#include "generator/musical_note.h"

#include <array>
#include <cstdio>

#include "app/Zorvane.h"

namespace zorvane {

namespace {

// Products are formed in extended precision with double constants and
// stored as single precision, as every step below does.
constexpr double kSemitone = 1.059462998;
constexpr long double kSemitoneDown = 1.0L / 1.059462998L;  // 0.94387439852807...
constexpr double kWindowBelow = 0.0281;
constexpr double kWindowAbove = 0.0297;

float Scaled(float f, long double factor) { return static_cast<float>(f * factor); }

// Guards of the four step buttons: they hold the frequency between A0 and C8.
constexpr double kOctaveUpBelow = 2094.0;
constexpr double kOctaveDownAbove = 65.4;
constexpr double kNoteUpBelow = 3952.0;
constexpr double kNoteDownAbove = 27.6;

// Octave marks: lower edges (within 0.025 Hz) of A0 and of the C of octaves
// 1 to 8, and the top of the named range. The digit counts octaves below
// (subscript) or above (superscript) the octave of middle C.
struct OctaveMark {
  double above;
  const char* superscript;
  const char* subscript;
  bool unnamed;  // beyond the named range: the note name becomes "?"
};
constexpr std::array<OctaveMark, 10> kOctaveMarks = {{
    {26.72725, " ", "4", false},
    {31.78113, " ", "3", false},
    {63.571979, " ", "2", false},
    {127.134239, " ", "1", false},
    {254.278197, " ", " ", false},
    {508.546675, "1", " ", false},
    {1017.100375, "2", " ", false},
    {2034.1867, "3", " ", false},
    {4068.3734, "4", " ", false},
    {4387.3466, " ", " ", true},
}};

}  // namespace

void FindNoteIndex(float f, int32_t& idx) {
  float b = 27.5f;
  for (int i = 1; i <= kNoteWindows; ++i) {
    const long double eb = b;
    const auto lo = static_cast<float>(eb - eb * kWindowBelow);
    const auto hi = static_cast<float>(eb + eb * kWindowAbove);
    // No early exit: where two windows overlap the higher note wins.
    if (lo < f && f < hi) idx = (i - 1) % 12;
    b = Scaled(b, kSemitone);
  }
}

void TZorvaneForm::ShowFrequency(float frequency) {
  std::array<char, 64> text{};
  std::snprintf(text.data(), text.size(), "%.1f", static_cast<double>(frequency));
  FrequencyDisplay->Clear();
  FrequencyDisplay->SetText(text.data());
}

void TZorvaneForm::ShowMusicalNote() {
  const float f = S.MusicMode == 0 ? S.FunctionFrequency : S.NoteFrequency;
  int32_t idx = S.NoteIndex;
  FindNoteIndex(f, idx);
  // The index falls back to NoteIndex where no window holds f. A damaged
  // settings file can leave NoteIndex outside the table; such an index
  // names no note, so the display shows "?" as it does for any frequency
  // it cannot name.
  MusicalLabel->SetCaption(idx >= 0 && idx < static_cast<int32_t>(NoteNames.size())
                               ? NoteNames[static_cast<size_t>(idx)]
                               : "?");

  // A float widens exactly, so these double comparisons are exact. Each
  // threshold passed overwrites the marks of the one below it; a frequency
  // equal to the lowest threshold (or NaN) leaves the marks as they were.
  const double x = f;
  if (x < kOctaveMarks[0].above) {
    MusicalLabel->SetCaption("?");
    SuperscriptFreq->SetCaption(" ");
    SubscriptFreq->SetCaption(" ");
  }
  for (const OctaveMark& m : kOctaveMarks) {
    if (!(x > m.above)) break;
    if (m.unnamed) MusicalLabel->SetCaption("?");
    SuperscriptFreq->SetCaption(m.superscript);
    SubscriptFreq->SetCaption(m.subscript);
  }
}

void TZorvaneForm::ModeBtnClick() {
  if (S.MusicMode == 0) {
    S.MusicMode = 1;
    FreqScrollBar->SetEnabled(false);
    FrequencyDisplay->SetReadOnly(true);
    ModeBtn->SetFontColor(colors::Fuchsia);
    ModeBtn->SetCaption("MUSIC");
    S.OutputFrequency = S.NoteFrequency;
    ShowFrequency(S.OutputFrequency);
    ShowMusicalNote();
    FrequencyDisplay->SetFontColor(colors::Yellow);  // the note shown is in force
  } else {
    // Any value other than 0 counts as MUSIC here, so a damaged mode
    // settles back to FUNC.
    S.MusicMode = 0;
    FreqScrollBar->SetEnabled(true);
    FrequencyDisplay->SetReadOnly(false);
    ModeBtn->SetFontColor(colors::Red);
    ModeBtn->SetCaption("FUNC");
    S.OutputFrequency = S.FunctionFrequency;
    ShowFrequency(S.OutputFrequency);
    ShowMusicalNote();
  }
  if (S.ApplyingConfiguration == 0 && S.OutputOn == 1) RestartOutput();
}

namespace {

enum class Step { OctaveUp, OctaveDown, NoteUp, NoteDown };

// Semitone arithmetic on NoteIndex, widened so that a damaged stored index
// cannot overflow.
int32_t AddSemitones(int32_t idx, int n) {
  return static_cast<int32_t>((static_cast<int64_t>(idx) + n) % 12);
}

// The frequency is multiplied step by step and never re-derived from the
// note, so rounding accumulates; the guards refuse a step silently, but the
// note display and the output are refreshed either way.
void StepNote(TZorvaneForm& form, Step step) {
  AppState& S = form.S;
  if (S.MusicMode != 1) return;
  bool stepped = false;
  switch (step) {
    case Step::OctaveUp:
      if (S.NoteFrequency < kOctaveUpBelow) {
        S.NoteFrequency = Scaled(S.NoteFrequency, 2.0L);
        stepped = true;
      }
      break;
    case Step::OctaveDown:
      if (S.NoteFrequency > kOctaveDownAbove) {
        S.NoteFrequency = Scaled(S.NoteFrequency, 0.5L);
        stepped = true;
      }
      break;
    case Step::NoteUp:
      if (S.NoteFrequency < kNoteUpBelow) {
        S.NoteFrequency = Scaled(S.NoteFrequency, kSemitone);
        S.NoteIndex = AddSemitones(S.NoteIndex, 1);
        stepped = true;
      }
      break;
    case Step::NoteDown:
      if (S.NoteFrequency > kNoteDownAbove) {
        S.NoteFrequency = Scaled(S.NoteFrequency, kSemitoneDown);
        S.NoteIndex = AddSemitones(S.NoteIndex, 11);
        stepped = true;
      }
      break;
  }
  if (stepped) form.ShowFrequency(S.NoteFrequency);
  form.ShowMusicalNote();
  S.OutputFrequency = S.NoteFrequency;
  if (S.ApplyingConfiguration == 0 && S.OutputOn == 1) form.RestartOutput();
}

}  // namespace

void TZorvaneForm::OctaveUPBtnClick() { StepNote(*this, Step::OctaveUp); }
void TZorvaneForm::OctaveDownBtnClick() { StepNote(*this, Step::OctaveDown); }
void TZorvaneForm::NoteUpBtnClick() { StepNote(*this, Step::NoteUp); }
void TZorvaneForm::NoteDownBtnClick() { StepNote(*this, Step::NoteDown); }

}  // namespace zorvane
