// SPDX-License-Identifier: GPL-3.0-or-later
// The instrument in a real window on Qt's offscreen platform, wired as the
// program wires it, with the loopback cable as its sound card.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <functional>

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

// Acts on the next modal dialog as soon as it is open.
inline void WhenDialogOpens(std::function<void(QWidget*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog) return;
    timer->stop();
    timer->deleteLater();
    act(dialog);
  });
  timer->start();
}

}  // namespace zorvane::testing
