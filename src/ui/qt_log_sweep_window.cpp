// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt_log_sweep_window.h"

#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValueAxis>
#include <cmath>
#include <functional>

namespace zorvane {

namespace {

using Plot = LogSweepModel::Plot;

// A chart view that reports where the pointer is, in the chart's values.
class ReadoutView : public QChartView {
 public:
  ReadoutView(QChart* chart, std::function<void(double)> moved)
      : QChartView(chart), moved_(std::move(moved)) {
    setMouseTracking(true);
    setRenderHint(QPainter::Antialiasing);
  }

 protected:
  void mouseMoveEvent(QMouseEvent* e) override {
    if (chart()->plotArea().contains(e->position())) moved_(chart()->mapToValue(e->position()).x());
    QChartView::mouseMoveEvent(e);
  }

 private:
  std::function<void(double)> moved_;
};

const char* const kEntryNames[] = {"From (Hz)", "To (Hz)", "Length (s)", "Level (dBFS)", "Repeats"};
const char* const kExportNames[] = {"Save CSV\u2026", "Save Distortion\u2026", "Save FRD\u2026",
                                    "Save IR WAV\u2026"};

}  // namespace

QtLogSweepWindow::QtLogSweepWindow(LogSweepModel& model, QWidget* parent)
    : QWidget(parent, Qt::Window), model_(model) {
  setWindowTitle(LogSweepModel::kTitle);
  std::string* texts[] = {&model_.From, &model_.To, &model_.Seconds, &model_.Level,
                          &model_.Repeats};
  auto* form = new QFormLayout;
  for (int i = 0; i < 5; ++i) {
    entries_[i] = new QLineEdit(QString::fromStdString(*texts[i]));
    entries_[i]->setMaximumWidth(110);
    std::string* text = texts[i];
    connect(entries_[i], &QLineEdit::textEdited,
            [text](const QString& typed) { *text = typed.toStdString(); });
    form->addRow(kEntryNames[i], entries_[i]);
  }
  smoothing_ = new QComboBox;
  for (int fraction : LogSweepModel::SmoothingChoices())
    smoothing_->addItem(fraction == 0 ? "None" : QString("1/%1 octave").arg(fraction), fraction);
  connect(smoothing_, &QComboBox::activated,
          [this](int index) { model_.SetSmoothing(smoothing_->itemData(index).toInt()); });
  form->addRow("Smoothing", smoothing_);

  start_ = new QPushButton;
  start_->setMinimumHeight(32);
  connect(start_, &QPushButton::clicked, [this] { model_.StartStopClick(); });
  progress_ = new QProgressBar;
  progress_->setRange(0, 1000);
  progress_->setTextVisible(false);
  status_ = new QLabel;
  status_->setWordWrap(true);
  status_->setMinimumWidth(200);
  auto* side = new QVBoxLayout;
  side->addLayout(form);
  side->addWidget(start_);
  side->addWidget(progress_);
  side->addWidget(status_);
  side->addStretch(1);
  for (int i = 0; i < 4; ++i) {
    exports_[i] = new QPushButton(kExportNames[i]);
    const auto kind = static_cast<MeasureFile>(i);
    connect(exports_[i], &QPushButton::clicked, [this, kind] { model_.ExportClick(kind); });
    side->addWidget(exports_[i]);
  }

  auto* grid = new QGridLayout;
  plots_[0].Kind = Plot::Magnitude;
  plots_[1].Kind = Plot::Phase;
  plots_[2].Kind = Plot::Distortion;
  plots_[3].Kind = Plot::Impulse;
  grid->addWidget(MakePlot(plots_[0], "Magnitude", "Hz", "dB", true), 0, 0);
  grid->addWidget(MakePlot(plots_[1], "Phase", "Hz", "degrees", true), 0, 1);
  grid->addWidget(MakePlot(plots_[2], "Distortion", "Hz (fundamental)", "dB re fundamental", true),
                  1, 0);
  grid->addWidget(MakePlot(plots_[3], "Impulse response", "ms from the peak", "", false), 1, 1);
  readout_ = new QLabel(" ");
  auto* plotsColumn = new QVBoxLayout;
  plotsColumn->addLayout(grid, 1);
  plotsColumn->addWidget(readout_);

  auto* top = new QHBoxLayout(this);
  top->addLayout(side);
  top->addLayout(plotsColumn, 1);
  resize(1180, 760);

  model_.OnChange = [this] { Sync(); };
  Sync();
}

QtLogSweepWindow::~QtLogSweepWindow() { model_.OnChange = nullptr; }

QChartView* QtLogSweepWindow::MakePlot(PlotPane& pane, const QString& title, const QString& xTitle,
                                       const QString& yTitle, bool logX) {
  pane.Chart = new QChart;
  pane.Chart->setTitle(title);
  pane.Chart->legend()->setVisible(pane.Kind == Plot::Distortion);
  pane.Chart->legend()->setAlignment(Qt::AlignBottom);
  QAbstractAxis* x;
  if (logX) {
    auto* axis = new QLogValueAxis;
    axis->setBase(10.0);
    axis->setLabelFormat("%g");
    axis->setMinorTickCount(8);
    x = axis;
  } else {
    auto* axis = new QValueAxis;
    axis->setLabelFormat("%g");
    x = axis;
  }
  x->setTitleText(xTitle);
  auto* y = new QValueAxis;
  y->setLabelFormat("%.3g");
  y->setTitleText(yTitle);
  pane.Chart->addAxis(x, Qt::AlignBottom);
  pane.Chart->addAxis(y, Qt::AlignLeft);
  const Plot kind = pane.Kind;
  pane.View = new ReadoutView(pane.Chart, [this, kind](double at) {
    readout_->setText(QString::fromStdString(model_.Readout(kind, at)));
  });
  pane.View->setMinimumSize(380, 260);
  return pane.View;
}

void QtLogSweepWindow::Present() {
  show();
  raise();
  activateWindow();
}

void QtLogSweepWindow::Sync() {
  std::string* texts[] = {&model_.From, &model_.To, &model_.Seconds, &model_.Level,
                          &model_.Repeats};
  const bool idle = !model_.Running();
  for (int i = 0; i < 5; ++i) {
    if (entries_[i]->text().toStdString() != *texts[i])
      entries_[i]->setText(QString::fromStdString(*texts[i]));
    entries_[i]->setEnabled(idle);
  }
  start_->setText(QString::fromStdString(model_.ButtonCaption()));
  progress_->setValue(static_cast<int>(std::lround(model_.Progress() * 1000)));
  status_->setText(QString::fromStdString(model_.Status()));
  for (QPushButton* b : exports_) b->setEnabled(idle && model_.Result() != nullptr);
  smoothing_->setCurrentIndex(smoothing_->findData(model_.Smoothing()));
  if (model_.Result() != drawn_ || model_.Smoothing() != drawnSmoothing_) Redraw();
}

void QtLogSweepWindow::Redraw() {
  drawn_ = model_.Result();
  drawnSmoothing_ = model_.Smoothing();
  for (PlotPane& pane : plots_) {
    pane.Chart->removeAllSeries();
    QAbstractAxis* x = pane.Chart->axes(Qt::Horizontal).front();
    QAbstractAxis* y = pane.Chart->axes(Qt::Vertical).front();
    for (const LogSweepModel::Series& curve : model_.Curves(pane.Kind)) {
      auto* series = new QLineSeries;
      series->setName(QString::fromStdString(curve.Name));
      QList<QPointF> points;
      points.reserve(static_cast<qsizetype>(curve.X.size()));
      for (size_t i = 0; i < curve.X.size(); ++i)
        if (std::isfinite(curve.Y[i])) points.append(QPointF(curve.X[i], curve.Y[i]));
      series->replace(points);
      pane.Chart->addSeries(series);
      series->attachAxis(x);
      series->attachAxis(y);
    }
    const LogSweepModel::Range rx = model_.XRange(pane.Kind), ry = model_.YRange(pane.Kind);
    x->setRange(rx.Low, rx.High);
    y->setRange(ry.Low, ry.High);
    for (auto [axis, step] : {std::pair{x, rx.Step}, {y, ry.Step}})
      if (auto* values = qobject_cast<QValueAxis*>(axis)) {
        values->setTickType(step > 0 ? QValueAxis::TicksDynamic : QValueAxis::TicksFixed);
        values->setTickAnchor(0.0);
        if (step > 0) values->setTickInterval(step);
      }
  }
}

void QtLogSweepWindow::closeEvent(QCloseEvent* e) {
  // Closing the window ends a measurement that runs; the window only hides.
  if (model_.Running()) model_.Stop();
  e->accept();
}

}  // namespace zorvane
