// SPDX-License-Identifier: GPL-3.0-or-later
// Equal-tempered note names and the lookup of the note nearest to a
// frequency, shared by the note display and its tests.
#pragma once

#include <array>
#include <cstdint>

namespace zorvane {

// Note names by NoteIndex, starting at A.
inline constexpr std::array<const char*, 12> NoteNames = {"A",  "A#", "B", "C",  "C#", "D",
                                                          "D#", "E",  "F", "F#", "G",  "G#"};

// Number of semitone windows searched, A0 (27.5 Hz) up to E8 (about 5274 Hz).
inline constexpr int kNoteWindows = 92;

// Overwrites idx with the NoteNames index of the last window (walking up
// from A0) that strictly contains f; leaves idx alone when none does.
// Each window runs from 2.81 % below to 2.97 % above its note, with every
// bound and every semitone step rounded to single precision.
void FindNoteIndex(float f, int32_t& idx);

}  // namespace zorvane
