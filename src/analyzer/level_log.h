// SPDX-License-Identifier: GPL-3.0-or-later
// The decibel conversion of a block's levels, many at a time, giving exactly
// what the C library's log10 gives one at a time.
#pragma once

namespace zorvane {

// v[i] = factor * log10(max(v[i], 1)) for i = 0..count-1 (as floats, with
// std::log10 of a float), in place, and the same into copy[0..count-1] when
// copy is given.
void Log10Levels(float* v, int count, float factor, float* copy = nullptr);

// The ways Log10Levels can take: the library's call per level, or vector
// steps eight (AVX2) or sixteen (AVX-512) levels at a time. It takes the
// widest one available: one the processor has and whose results agreed with
// the library's on a few thousand levels across the whole range when first
// asked.
enum class LevelPath { Library, Avx2, Avx512 };
bool LevelPathAvailable(LevelPath path);
LevelPath ChosenLevelPath();
// The conversion by the given path (which must be available).
void Log10Levels(LevelPath path, float* v, int count, float factor, float* copy = nullptr);

}  // namespace zorvane
