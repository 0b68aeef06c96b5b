// SPDX-License-Identifier: GPL-3.0-or-later
// The readouts' windows: opened from the Display menu as windows of their
// own that leave the form usable, following the blocks of a run, keeping
// what they showed while held, copying it as text, and showing the readouts'
// settings whoever changed them.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "readouts/readouts.h"
#include "ui/readout_windows.h"
#include "ui/window_fixture.h"

using namespace zorvane;
using namespace zorvane::testing;

using ReadoutWindows = InstrumentWindow;

namespace {
// The frequency the distortion window shows ("1000.00 Hz    -0.00 dBFS").
double ShownHz(QWidget* w) {
  return w->findChild<QLabel*>("Fundamental")->text().section(' ', 0, 0).toDouble();
}
}  // namespace

TEST_F(ReadoutWindows, FollowTheRunHoldCopyAndShowTheSettings) {
  QMenu* display = window.menuBar()->actions()[3]->menu();
  for (QAction* a : display->actions())
    if (a->text().startsWith("&Distortion") || a->text().startsWith("&Octave Bands")) a->trigger();
  auto* distortion = window.findChild<DistortionWindow*>();
  auto* bands = window.findChild<BandsWindow*>();
  ASSERT_TRUE(distortion && distortion->isVisible() && bands && bands->isVisible());
  EXPECT_TRUE(distortion->isWindow() && bands->isWindow());
  EXPECT_EQ(distortion->windowModality(), Qt::NonModal);

  form.S.FunctionFrequency = form.S.OutputFrequency = 1000.0f;
  QTest::mouseClick(Widget<QPushButton>("OutputBtn"), Qt::LeftButton);
  double running = 0, held = 0, released = 0;
  std::string copied;
  QTimer::singleShot(700, [&] {
    running = ShownHz(distortion);
    QTest::mouseClick(distortion->findChild<QPushButton*>("Hold"), Qt::LeftButton);
    form.S.FunctionFrequency = 3000.0f;
    form.RestartOutput();
  });
  QTimer::singleShot(1500, [&] {
    held = ShownHz(distortion);
    QTest::mouseClick(distortion->findChild<QPushButton*>("Copy"), Qt::LeftButton);
    copied = QApplication::clipboard()->text().toStdString();
    QTest::mouseClick(distortion->findChild<QPushButton*>("Hold"), Qt::LeftButton);
    released = ShownHz(distortion);
    form.StartBtnClick();
  });
  QTest::mouseClick(Widget<QPushButton>("StartBtn"), Qt::LeftButton);
  EXPECT_NEAR(running, 1000.0, 0.1);
  EXPECT_NEAR(held, 1000.0, 0.1) << "held while the tone moved to 3 kHz";
  EXPECT_NEAR(released, 3000.0, 0.1);
  ASSERT_EQ(copied.rfind("fundamental_hz = ", 0), 0u) << copied;
  EXPECT_NEAR(std::stod(copied.substr(17)), 1000.0, 0.1) << "the held figures";
  EXPECT_NE(copied.find("distortion_status = ok"), std::string::npos) << copied;

  auto* fraction = bands->findChild<QComboBox*>("Bands");
  fraction->setCurrentIndex(3);
  EXPECT_EQ(form.Readouts->Fraction(), readouts::BandFraction::Twelfth);
  form.Readouts->SetBandFraction(readouts::BandFraction::Octave);  // as the remote control would
  bands->Refresh();
  EXPECT_EQ(fraction->currentText(), "1/1 octave");
}
