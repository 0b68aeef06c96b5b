// SPDX-License-Identifier: GPL-3.0-or-later
// Small vectors for the analyzer's per-block loops (GCC/Clang vector
// extensions). Loads and stores need only the alignment of an element and
// may alias anything.
#pragma once

#include <cstdint>
#include <type_traits>

// A V from the elements at p (a load is an expression, not a call: vectors
// never pass through a call, so the instruction set a build targets never
// changes how they are passed).
#define ZV_LOAD(V, p)                                       \
  (V(*reinterpret_cast<const typename ::zorvane::lanes::At< \
         V, std::remove_cv_t<std::remove_reference_t<decltype(*(p))>>>::Type*>(p)))

namespace zorvane::lanes {

// Sixteen bytes, the width every x86-64 processor handles in one register
// (wider vectors would be split, and selects and conversions between them
// taken apart element by element), and 32 bytes, for code built for AVX2.
typedef float F4 __attribute__((vector_size(16)));
typedef int32_t I4 __attribute__((vector_size(16)));
typedef int16_t S4 __attribute__((vector_size(8)));
typedef int16_t S8 __attribute__((vector_size(16)));
typedef float F8 __attribute__((vector_size(32)));
typedef int32_t I8 __attribute__((vector_size(32)));
typedef int16_t S16 __attribute__((vector_size(32)));

// W floats, W 32-bit and W 16-bit integers, and 2W 16-bit integers (W
// stereo frames).
template <int W>
struct Lanes;
template <>
struct Lanes<4> {
  typedef F4 F;
  typedef I4 I;
  typedef S4 S;
  typedef S8 Frames;
};
template <>
struct Lanes<8> {
  typedef F8 F;
  typedef I8 I;
  typedef S8 S;
  typedef S16 Frames;
};

// V as stored at a T: aligned as a T is.
template <typename V, typename T>
struct At {
  typedef V Type __attribute__((aligned(alignof(T)), may_alias));
};

template <typename V, typename T>
inline __attribute__((always_inline)) void Store(T* p, const V& v) {
  *reinterpret_cast<typename At<V, T>::Type*>(p) = v;
}

}  // namespace zorvane::lanes
