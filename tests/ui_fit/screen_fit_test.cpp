// SPDX-License-Identifier: GPL-3.0-or-later
// The window on a screen too small for it: a 1280 x 900 screen at a scale
// factor of 2 leaves 640 x 450 device-independent pixels, less than the
// form needs. Its own program, as the screen and the factor are fixed when
// the application starts.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGraphicsView>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryFile>
#include <QTest>

#include "ui/window_fixture.h"

using namespace zorvane;
using namespace zorvane::testing;

namespace {

using FittedWindow = InstrumentWindow;

// Clicks the button the way a user reaches it: at its place on screen,
// through whatever shows the form.
void ClickOnScreen(QtMainWindow& window, QWidget* button) {
  const QPoint inClient = button->mapTo(window.Client(), button->rect().center());
  auto* view = qobject_cast<QGraphicsView*>(window.centralWidget());
  ASSERT_NE(view, nullptr) << "the form is not shown scaled";
  const QPoint onView = view->mapFromScene(QPointF(inClient));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, onView);
}

}  // namespace

TEST_F(FittedWindow, IsScaledDownIntoTheAvailableAreaAndEveryControlStillAnswers) {
  const QRect available = window.screen()->availableGeometry();
  ASSERT_EQ(available.size(), QSize(640, 450)) << "the test's screen";
  QApplication::processEvents();
  EXPECT_LT(window.Scale(), 1.0);
  EXPECT_GT(window.Scale(), 0.5) << "no smaller than the room needs";
  EXPECT_LE(window.frameGeometry().width(), available.width());
  EXPECT_LE(window.frameGeometry().height(), available.height());
  // The form itself keeps its size: the plot and the exported images do not change.
  EXPECT_EQ(window.Client()->width(), form.Self->Width());
  EXPECT_EQ(window.Client()->height(), form.Self->Height());

  // Buttons at the right edge and in the middle take clicks where they are shown.
  const std::string marker = form.Find("Mkr4Btn")->Caption();
  ClickOnScreen(window, Widget<QPushButton>("Mkr4Btn"));
  EXPECT_NE(form.Find("Mkr4Btn")->Caption(), marker);
  ClickOnScreen(window, Widget<QPushButton>("LowFreqBtn"));
  EXPECT_EQ(form.S.FrequencyRange, 1);
  ClickOnScreen(window, Widget<QPushButton>("HighFreqBtn"));
  EXPECT_EQ(form.S.FrequencyRange, 3);
  // The form's image (Copy Form, Save Form) is still the form at its own size.
  const std::optional<Bitmap> image = platform.GrabForm(*form.Self);
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(image->Width(), form.Self->Width());
  EXPECT_EQ(image->Height(), form.Self->Height());
  QWidget* freq = window.WidgetFor("FrequencyDisplay");
  const QPoint inside = freq->mapTo(window.Client(), QPoint(2, freq->height() / 2));
  EXPECT_EQ(image->Pixel(inside.x(), inside.y()), form.FrequencyDisplay->BackColor())
      << "the grab shows the controls where they are";
  // Every menu is still there to open.
  EXPECT_EQ(window.menuBar()->actions().size(), 13);
}

int main(int argc, char** argv) {
  QTemporaryFile config;
  if (!config.open()) return 1;
  config.write(R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 1280, "height": 900,
                  "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
  config.flush();
  qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
  qputenv("QT_SCALE_FACTOR", "2");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
