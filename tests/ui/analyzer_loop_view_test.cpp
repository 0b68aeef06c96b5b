// SPDX-License-Identifier: GPL-3.0-or-later
// The analyzer's loop runs inside the START click and keeps the window alive
// by pumping Qt's events: the readouts follow each block, other widgets still
// work, and closing the window in the middle of a run ends everything in order.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "ui/window_fixture.h"

using namespace zorvane;
using namespace zorvane::testing;

using LiveWindow = InstrumentWindow;

TEST_F(LiveWindow, TheLoopKeepsTheWindowAliveAndClosingItEndsTheRunCleanly) {
  WriteFile(dir.File("Zorvane.cfg"), {});  // as an installer leaves it
  form.S.ConfigPath = dir.File("Zorvane.cfg");
  form.S.FunctionFrequency = 1000.0f;
  form.S.OutputFrequency = 1000.0f;
  QTest::mouseClick(Widget<QPushButton>("OutputBtn"), Qt::LeftButton);
  ASSERT_TRUE(cable.OutputPlaying());

  std::vector<std::string> seen;
  int averageDuringRun = -1;
  QTimer::singleShot(600, [&] {
    // Inside the loop: the window shows the run and still takes clicks.
    seen.push_back(Widget<QPushButton>("StartBtn")->text().toStdString());
    seen.push_back(Widget<QLabel>("PeakFreq")->text().toStdString());
    window.ActionFor("N81")->trigger();
    averageDuringRun = form.S.AverageCount;
    window.close();
  });
  QTest::mouseClick(Widget<QPushButton>("StartBtn"), Qt::LeftButton);

  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], "STOP");
  EXPECT_NEAR(std::stod(seen[1]), 1000.0, 44100.0 / 1024);
  EXPECT_EQ(averageDuringRun, 8);
  // The close ran the shutdown: settings written, output closed, program ending.
  EXPECT_TRUE(platform.Terminated());
  EXPECT_EQ(form.S.AnalyzerStopRequested, 1);
  EXPECT_FALSE(cable.OutputPlaying());
  EXPECT_EQ(std::filesystem::file_size(dir.File("Zorvane.cfg")), 196u);
}

// Dragging the frequency and confirming it with SET, and the waveform
// button, hundreds of times while the analyzer runs: each change restarts
// the run inside the loop already running, the last tone is the one shown,
// and STOP ends the run.
TEST_F(LiveWindow, GeneratorChangesRestartTheRunInTheLoopAlreadyRunning) {
  QTest::mouseClick(Widget<QPushButton>("HighFreqBtn"), Qt::LeftButton);  // 0.1 Hz a step
  QTest::mouseClick(Widget<QPushButton>("OutputBtn"), Qt::LeftButton);
  int changes = 0, deepest = 0;
  float shown = 0.0f;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    deepest = std::max(deepest, form.S.AnalyzerLoopDepth);
    const int position = ++changes == 400 ? 43210 : 20000 + changes * 397 % 150000;
    Widget<QScrollBar>("FreqScrollBar")->setValue(position);
    QTest::mouseClick(Widget<QPushButton>("SetFreqBtn"), Qt::LeftButton);
    if (changes % 2 == 0) QTest::mouseClick(Widget<QPushButton>("WaveformBtn"), Qt::LeftButton);
    if (changes < 400) return;
    ticker.stop();
    QTimer::singleShot(600, [&] {
      shown = std::stof(Widget<QLabel>("PeakFreq")->text().toStdString());
      QTest::mouseClick(Widget<QPushButton>("StopBtn"), Qt::LeftButton);
    });
  });
  ticker.start(1);
  QTest::mouseClick(Widget<QPushButton>("StartBtn"), Qt::LeftButton);
  EXPECT_EQ(deepest, 1);
  EXPECT_NEAR(shown, 4321.0, 44100.0 / 1024 / 2);  // 200 waveform clicks: a sine again
  EXPECT_EQ(form.S.CaptureDeviceOpen, 0);
}
