// SPDX-License-Identifier: GPL-3.0-or-later
// The log sweep measurement's own window (non-modal, beside the instrument's
// form): entries, START/STOP, progress, status, four plots (magnitude and
// phase on a log frequency axis, distortion, impulse response), a cursor
// readout and the export buttons. It mirrors LogSweepModel and forwards the
// user's actions to it; it holds no logic of its own.
#pragma once

#include <QWidget>
#include <array>

#include "measure/log_sweep_model.h"

class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace zorvane {

class QtLogSweepWindow : public QWidget {
  Q_OBJECT
 public:
  explicit QtLogSweepWindow(LogSweepModel& model, QWidget* parent = nullptr);
  ~QtLogSweepWindow() override;

  // Shows the window, or brings it to the front.
  void Present();

  QPushButton* StartButton() const { return start_; }
  QLineEdit* Entry(int index) const { return entries_[index]; }
  QChartView* PlotView(LogSweepModel::Plot plot) const {
    return plots_[static_cast<int>(plot)].View;
  }
  QLabel* ReadoutLabel() const { return readout_; }

 protected:
  void closeEvent(class QCloseEvent* e) override;

 private:
  struct PlotPane {
    LogSweepModel::Plot Kind;
    QChart* Chart = nullptr;
    QChartView* View = nullptr;
  };
  void Sync();
  void Redraw();
  QChartView* MakePlot(PlotPane& pane, const QString& title, const QString& xTitle,
                       const QString& yTitle, bool logX);

  LogSweepModel& model_;
  std::array<QLineEdit*, 5> entries_{};
  QComboBox* smoothing_ = nullptr;
  QPushButton* start_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel *status_ = nullptr, *readout_ = nullptr;
  std::array<QPushButton*, 4> exports_{};
  std::array<PlotPane, 4> plots_{};
  // What the plots show now, so that they are redrawn only when it changes.
  const SweepResult* drawn_ = nullptr;
  int drawnSmoothing_ = -1;
};

}  // namespace zorvane
