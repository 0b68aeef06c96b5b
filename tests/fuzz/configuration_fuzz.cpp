// The settings file: any bytes replayed through the handlers leave an
// instrument that runs, and what it writes back is 196 bytes that settle:
// a whole file written by the instrument loads to the same settings again.
// (The first round may still change a file: a short one keeps the defaults
// of what it lacks, and the fixed frequency mode resets the hold mode.)
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/Zorvane.h"
#include "app/configuration.h"
#include "platform/headless/headless_platform.h"
#include "platform/loopback/loopback.h"

using namespace zorvane;

namespace {

struct Instrument {
  HeadlessPlatform platform{true};
  LoopbackCable cable{platform};
  TZorvaneForm form{platform, cable.Out(), cable.In(), std::string()};
  Instrument() {
    for (Control* t : {form.ChartTimer, form.SweepTimer, form.FileTimer, form.TimeoutTimer})
      platform.AddTimer(t);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t written[kConfigurationBytes];
  {
    Instrument a;
    a.form.ApplyConfiguration(data, std::min(size, kConfigurationBytes));
    // The instrument works on what it loaded: a moment of analysis.
    a.platform.DeliverUserEvents = [&a] {
      if (a.platform.NowUs() > 200000 && a.form.S.AnalyzerActive == 1) a.form.StopBtnClick();
    };
    if (a.form.S.SweepMode == 0) a.form.StartBtnClick();
    a.form.ConfigurationBytes(written);
  }
  // Loading what was written and writing again settles after one round.
  uint8_t once[kConfigurationBytes], twice[kConfigurationBytes];
  {
    Instrument b;
    b.form.ApplyConfiguration(written, sizeof written);
    b.form.ConfigurationBytes(once);
  }
  Instrument c;
  c.form.ApplyConfiguration(once, sizeof once);
  c.form.ConfigurationBytes(twice);
  if (std::memcmp(once, twice, sizeof once) != 0) std::abort();
  return 0;
}
