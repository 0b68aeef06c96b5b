// SPDX-License-Identifier: GPL-3.0-or-later
// The stages of the cable's simulated device under test, one line sample at
// a time: a second-order section, a pure delay or a memoryless polynomial.
#include <cmath>

#include "platform/loopback/loopback.h"

namespace zorvane {

namespace {
// A full-scale sample of the line.
constexpr double kFullScale = 32767.0;
}  // namespace

double LoopbackCable::Section::Step(double v) {
  if (Kind == LoopbackFilter::Type::Poly) {
    const double u = v / kFullScale;
    return kFullScale * (u + A2 * u * u + A3 * u * u * u);
  }
  if (Kind == LoopbackFilter::Type::Delay) {
    SinceSound = v != 0.0 ? 0 : SinceSound == SIZE_MAX ? SIZE_MAX : SinceSound + 1;
    if (Delayed.empty()) return v;
    const double out = Delayed[At];
    Delayed[At] = v;
    At = At + 1 == Delayed.size() ? 0 : At + 1;
    return out;
  }
  const double y = C.B0 * v + Z1;
  Z1 = C.B1 * v - C.A1 * y + Z2;
  Z2 = C.B2 * v - C.A2 * y;
  return y;
}

bool LoopbackCable::Section::Quiet() const {
  if (Kind == LoopbackFilter::Type::Delay) return SinceSound >= Delayed.size();
  return std::abs(Z1) <= 1e-20 && std::abs(Z2) <= 1e-20;
}

}  // namespace zorvane
