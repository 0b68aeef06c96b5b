// SPDX-License-Identifier: GPL-3.0-or-later
// The sweep runs inside the START click in the real window: the trace grows
// on the plot while it runs, the window still answers clicks, and STOP ends
// it after the point it is measuring.
#include <gtest/gtest.h>

#include <QAction>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <string>

#include "ui/window_fixture.h"

using namespace zorvane;
using namespace zorvane::testing;

namespace {

using SweepWindow = InstrumentWindow;

// Columns of the plot that show the trace somewhere.
int TracedColumns(const Bitmap& plot) {
  int columns = 0;
  for (int x = 0; x < plot.Width(); ++x) {
    int y = 0;
    while (y < plot.Height() && plot.Pixel(x, y) != colors::Yellow) ++y;
    columns += y < plot.Height();
  }
  return columns;
}

}  // namespace

TEST_F(SweepWindow, TheTraceGrowsTheWindowAnswersAndStopEndsWithinOnePoint) {
  form.ProcessGainTrackBar->UserScroll(6);
  window.ActionFor("N64")->trigger();
  QTest::mouseClick(Widget<QPushButton>("SweepBtn"), Qt::LeftButton);
  ASSERT_EQ(Widget<QPushButton>("SweepBtn")->text(), "SWP");

  struct Look {
    int point, columns;
    std::string caption;
  };
  std::vector<Look> looks;
  auto look = [&] {
    looks.push_back({form.S.SweepPointIndex, TracedColumns(form.DisplayBitmap),
                     Widget<QPushButton>("SweepStartBtn")->text().toStdString()});
  };
  int pointAtStop = 0;
  QTimer::singleShot(500, look);
  QTimer::singleShot(1500, [&] {
    look();
    window.ActionFor("On2")->trigger();  // a menu still works
  });
  QTimer::singleShot(2500, [&] {
    look();
    pointAtStop = form.S.SweepPointIndex;
    QTest::mouseClick(Widget<QPushButton>("SweepStartBtn"), Qt::LeftButton);
  });
  QTest::mouseClick(Widget<QPushButton>("SweepStartBtn"), Qt::LeftButton);

  ASSERT_EQ(looks.size(), 3u);
  for (const Look& l : looks) EXPECT_EQ(l.caption, "STOP");
  EXPECT_LT(looks[0].point, looks[1].point);
  EXPECT_LT(looks[1].point, looks[2].point);
  EXPECT_LT(looks[0].columns, looks[1].columns);
  EXPECT_LT(looks[1].columns, looks[2].columns);
  EXPECT_TRUE(window.ActionFor("On2")->isChecked());
  // The click returns once the point in progress is done: no further point.
  EXPECT_EQ(form.S.SweepPointIndex, pointAtStop);
  EXPECT_EQ(form.S.SweepRunning, 0);
  EXPECT_EQ(Widget<QPushButton>("SweepStartBtn")->text(), "START");
  EXPECT_TRUE(Widget<QPushButton>("StartBtn")->isEnabled());
  EXPECT_FALSE(cable.InputOpen());
}
