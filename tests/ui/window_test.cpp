// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "ui/window_fixture.h"

using namespace zorvane;
using namespace zorvane::testing;

namespace {

using Window = InstrumentWindow;

QColor Q(Color c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

}  // namespace

TEST_F(Window, ControlsMirrorTheirModelsAndFollowClicksAndMenus) {
  EXPECT_EQ(window.centralWidget()->width(), 786);
  EXPECT_EQ(window.width(), 786);
  EXPECT_EQ(window.windowTitle().toStdString(), "Zorvane Function-Sweep Generator");
  auto mirrors = [&] {
    for (const char* name : {"OutputBtn", "WaveformBtn", "ModeBtn", "StartBtn", "QuitBtn",
                             "SetFreqBtn", "LowFreqBtn", "Mkr4Btn", "VerticalResBtn"}) {
      Control* model = form.Find(name);
      auto* b = Widget<QPushButton>(name);
      ASSERT_NE(b, nullptr) << name;
      EXPECT_EQ(b->text().toStdString(), model->Caption()) << name;
      EXPECT_EQ(b->geometry(), QRect(model->Left(), model->Top(), model->Width(), model->Height()))
          << name;
      EXPECT_EQ(b->palette().color(QPalette::ButtonText), Q(model->FontColor())) << name;
      EXPECT_EQ(b->toolTip().toStdString(), model->Hint()) << name;
    }
  };
  mirrors();
  EXPECT_GE(window.WidgetFor("SpectrumBox")->width(), 513);
  EXPECT_EQ(Widget<QLabel>("Ref_3")->text(), "30");
  EXPECT_EQ(Widget<QLineEdit>("FrequencyDisplay")->text(), "200.0");
  EXPECT_EQ(Widget<QScrollBar>("FreqScrollBar")->value(), 20000);
  EXPECT_TRUE(window.ActionFor("N441001")->isChecked());
  EXPECT_FALSE(window.ActionFor("N480001")->isChecked());
  EXPECT_EQ(window.ActionFor("Magnify1")->text(), "Open Cross");

  // Clicks reach the handlers; the buttons show what the models now say.
  QTest::mouseClick(Widget<QPushButton>("OutputBtn"), Qt::LeftButton);
  QTest::mouseClick(Widget<QPushButton>("WaveformBtn"), Qt::LeftButton);
  EXPECT_TRUE(form.S.OutputOn == 1 && form.S.Waveform == 1 && cable.OutputPlaying());
  EXPECT_EQ(Widget<QPushButton>("OutputBtn")->text(), "ON");
  mirrors();
  QTest::mouseClick(Widget<QPushButton>("OutputBtn"), Qt::LeftButton);
  EXPECT_FALSE(cable.OutputPlaying());
  mirrors();
  // A menu item runs its handler; the check marks are the model's.
  window.ActionFor("N81")->trigger();
  EXPECT_EQ(form.S.AverageCount, 8);
  EXPECT_TRUE(window.ActionFor("N81")->isChecked());
  EXPECT_FALSE(window.ActionFor("N201")->isChecked());
}

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
