// SPDX-License-Identifier: GPL-3.0-or-later
// Sample conversion, window table, real transform and spline resampling:
// the numerical core of the analyzer. All arrays are 1-based (element 0
// unused; a block of N samples occupies elements 1..N).
#pragma once

#include <cstdint>

namespace zorvane {

// Fills table[1..n] with the window of the given code (0 none: unchanged,
// 1 Hann, 2 Hamming, 3 sine squared, 4 triangle, 5 Blackman-Harris,
// 6 Blackman, 7 three-term cosine; above 7 unchanged).
void ComputeWindowTable(int n, int code, float* table);

// Forward transform of x[1..n]; re[1..n/2], im[1..n/2] receive the result
// (element 1 holds X(0)/n and X(n/2)/n, element k the bin k-1 times 2/n).
// n must be a power of two from 128 to 8192; any other n leaves re and im
// untouched. The work arrays need kArrayLen elements; x is not changed.
void RealTransform(const float* x, float* re, float* im, int n);

// The two builds RealTransform chooses from: the baseline instruction set and
// AVX2 (callable only where RealTransformAvx2Available()). They give the same
// results bit for bit.
void RealTransformBaseline(const float* x, float* re, float* im, int n);
void RealTransformAvx2(const float* x, float* re, float* im, int n);
bool RealTransformAvx2Available();

// spectrum[j] = gain * window[j] * samples[j] for j = 1..n, then the power
// of bin k in spectrum[k] for k = 1..n/2. Sizes as for RealTransform; any
// other n changes nothing.
void WindowAndTransform(const int32_t* samples, float* spectrum, int n, const float* window,
                        float gain, float* re, float* im);

// Integer samples of capture buffer A (choice 2) or B (choice 1) into
// dest[1..n]. channelSelect 1 mono; 2 the first (left) value of each stereo
// frame, 3 the second (right).
void ConvertSamples(int bytesPerSample, int bufferChoice, int n, int channelSelect, int32_t* dest,
                    const uint8_t* bufferA, const uint8_t* bufferB);

// Cubic-spline resampling (unit spacing) of y[0..] onto dest[0..]: dest[k] is
// the spline at x = k * span / columns for every x <= limit (at most
// destCount values). y holds `available` values; positions beyond them repeat
// the last one. secondDerivs and sweep are work arrays of workLen elements.
// The limit is consumed (set to 0). Returns the number of values written.
int ResampleToColumns(const float* y, int available, float& limit, float columns, float* dest,
                      int destCount, float span, float* secondDerivs, float* sweep, int workLen);

}  // namespace zorvane
