// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file: any bytes replayed through the handlers leave the
// instrument in a state it can write back as 196 bytes that settle: a whole
// file written by the instrument loads to the same settings again. (The
// first round may still change a file: a short one keeps the defaults of
// what it lacks, and the fixed frequency mode resets the hold mode.) The
// loader replaces what it cannot use by defaults and applies the rest through
// the controls' own handlers, so it leaves only states the controls reach
// too; the script reader's target runs the instrument in those.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_instrument.h"

using namespace zorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzInstrument a, b;
  uint8_t written[kConfigurationBytes], once[kConfigurationBytes], twice[kConfigurationBytes];
  a.Reset();
  a.form.ApplyConfiguration(data, std::min(size, kConfigurationBytes));
  a.form.ConfigurationBytes(written);
  // Loading what was written and writing again settles after one round.
  b.Reset();
  b.form.ApplyConfiguration(written, sizeof written);
  b.form.ConfigurationBytes(once);
  b.Reset();
  b.form.ApplyConfiguration(once, sizeof once);
  b.form.ConfigurationBytes(twice);
  if (std::memcmp(once, twice, sizeof once) != 0) std::abort();
  return 0;
}
