// SPDX-License-Identifier: GPL-3.0-or-later
// A timer as a platform runs it: the form owns it and decides its interval
// and whether it runs; the platform fires it when its period has passed.
#pragma once

#include <cstdint>

namespace zorvane {

class TimerModel {
 public:
  virtual ~TimerModel() = default;
  virtual bool Enabled() const = 0;
  virtual int Interval() const = 0;  // milliseconds; 0 or less: never due
  // Changes whenever the timer is enabled or its interval set: the period
  // starts again then.
  virtual uint64_t TimerGeneration() const = 0;
  // What the timer does when it is due.
  virtual void Fire() = 0;
};

}  // namespace zorvane
