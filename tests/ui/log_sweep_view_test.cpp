// SPDX-License-Identifier: GPL-3.0-or-later
// The log sweep window over the cable: the menu item opens it, typed entries
// and START reach the model, the plots show the model's curves and the
// pointer reads them there.
#include <QChartView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include "ui/qt_log_sweep_window.h"
#include "window_fixture.h"

using namespace zorvane;
using namespace zorvane::testing;
using Plot = LogSweepModel::Plot;

namespace {

struct LogSweepView : InstrumentWindow {
  LogSweepModel model{platform, cable.Duplexer()};
  QtLogSweepWindow sweepWindow{model};
  LogSweepView() {
    form.AttachLogSweep([this] { sweepWindow.Present(); });
  }
};

}  // namespace

TEST_F(LogSweepView, MeasuresFromItsWindowAndShowsAndReadsTheResult) {
  QAction* item = window.ActionFor("LogSweep1");
  ASSERT_TRUE(item && item->isEnabled());
  item->trigger();
  ASSERT_TRUE(sweepWindow.isVisible());
  QLineEdit* seconds = sweepWindow.Entry(2);
  seconds->selectAll();
  QTest::keyClicks(seconds, "0.5");
  EXPECT_EQ(model.Seconds, "0.5");

  // START runs the measurement to its end, pumping the window's events.
  QTest::mouseClick(sweepWindow.StartButton(), Qt::LeftButton);
  ASSERT_EQ(model.GetState(), LogSweepModel::State::Done) << model.Status();
  EXPECT_EQ(sweepWindow.StartButton()->text(), "START");
  for (Plot plot : {Plot::Magnitude, Plot::Phase, Plot::Distortion, Plot::Impulse}) {
    const QList<QAbstractSeries*> shown = sweepWindow.PlotView(plot)->chart()->series();
    ASSERT_EQ(shown.size(), static_cast<qsizetype>(model.Curves(plot).size()));
    for (QAbstractSeries* s : shown) EXPECT_GT(static_cast<QLineSeries*>(s)->count(), 100);
  }

  // The pointer over the magnitude plot at 1 kHz.
  QChartView* view = sweepWindow.PlotView(Plot::Magnitude);
  const QPointF at = view->chart()->mapToPosition(QPointF(1000.0, 0.0));
  QMouseEvent move(QEvent::MouseMove, at, view->viewport()->mapToGlobal(at), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(view->viewport(), &move);
  const std::string readout = sweepWindow.ReadoutLabel()->text().toStdString();
  EXPECT_EQ(readout, model.Readout(Plot::Magnitude, view->chart()->mapToValue(at).x()));
  EXPECT_EQ(readout.rfind("100", 0), 0u) << readout;  // a frequency near 1000 Hz
}
