#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "support/test_support.h"
#include "ui/qt_main_window.h"
#include "ui/qt_platform.h"
#include "ui/window_fixture.h"

using namespace zorvane;
using namespace zorvane::testing;

namespace {

using Window = InstrumentWindow;

QColor Q(Color c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

}  // namespace

TEST_F(Window, SizeTitleAndControlsMirrorTheirModels) {
  EXPECT_EQ(window.centralWidget()->width(), 786);
  EXPECT_EQ(window.width(), 786);
  EXPECT_EQ(window.windowTitle().toStdString(), "Zorvane Function-Sweep Generator");
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
  auto* plot = window.WidgetFor("SpectrumBox");
  ASSERT_NE(plot, nullptr);
  EXPECT_GE(plot->width(), 513);
  EXPECT_EQ(Widget<QLabel>("Ref_3")->text(), "30");
  EXPECT_EQ(Widget<QLineEdit>("FrequencyDisplay")->text(), "200.0");
  EXPECT_EQ(Widget<QScrollBar>("FreqScrollBar")->value(), 20000);
  ASSERT_NE(window.ActionFor("N441001"), nullptr);
  EXPECT_TRUE(window.ActionFor("N441001")->isChecked());
  EXPECT_FALSE(window.ActionFor("N480001")->isChecked());
  EXPECT_EQ(window.ActionFor("Magnify1")->text(), "Open Cross");
}

TEST_F(Window, ClicksReachTheHandlersAndTheWidgetsFollow) {
  auto* output = Widget<QPushButton>("OutputBtn");
  QTest::mouseClick(output, Qt::LeftButton);
  EXPECT_EQ(form.S.OutputOn, 1);
  EXPECT_TRUE(cable.OutputPlaying());
  EXPECT_EQ(output->text(), "ON");
  EXPECT_EQ(output->palette().color(QPalette::ButtonText), QColor(255, 0, 0));

  auto* waveform = Widget<QPushButton>("WaveformBtn");
  QTest::mouseClick(waveform, Qt::LeftButton);
  EXPECT_EQ(form.S.Waveform, 1);
  EXPECT_EQ(waveform->text(), "SQUARE");
  EXPECT_TRUE(cable.OutputPlaying());

  QTest::mouseClick(output, Qt::LeftButton);
  EXPECT_EQ(form.S.OutputOn, 0);
  EXPECT_FALSE(cable.OutputPlaying());
  EXPECT_EQ(output->text(), "OFF");
}

TEST_F(Window, MenuItemsRunTheirHandlersAndKeepTheModelsCheckMarks) {
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
