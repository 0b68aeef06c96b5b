// The instrument in a real window on Qt's offscreen platform, wired as the
// program wires it, with the loopback cable as its sound card.
#pragma once

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "ui/qt_main_window.h"
#include "ui/qt_platform.h"

namespace zorvane::testing {

struct InstrumentWindow : ::testing::Test {
  TempDir dir;
  QtPlatform platform;
  LoopbackCable cable{platform};
  TZorvaneForm form{platform, cable.Out(), cable.In(), dir.Path()};
  QtMainWindow window{form};
  InstrumentWindow() {
    for (Control* t : {form.ChartTimer, form.SweepTimer, form.FileTimer, form.TimeoutTimer})
      platform.BindTimer(t);
    platform.SetOwner(&window);
    window.show();
  }
  template <class W>
  W* Widget(const char* name) {
    return qobject_cast<W*>(window.WidgetFor(name));
  }
};

}  // namespace zorvane::testing
