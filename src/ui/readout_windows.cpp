// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/readout_windows.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <functional>

#include "readouts/readout_text.h"

namespace zorvane {

namespace {

using readouts::Readout;

QString Value(double v, const char* unit, int decimals = 2) {
  if (!std::isfinite(v)) return QString::fromUtf8("\u2014");
  // No "-0.00" for a value that rounds to zero.
  if (std::abs(v) < 0.5 * std::pow(10.0, -decimals)) v = 0.0;
  return QString::number(v, 'f', decimals) + " " + unit;
}

QString Percent(double v) {
  if (!std::isfinite(v)) return QString();
  return QString("  (%1 %)").arg(QString::number(v, 'g', 4));
}

// A window of its own beside the main one: it stays above it, closes with
// it, and leaves it usable.
void MakeToolWindow(QWidget* w, const char* title) {
  w->setWindowFlag(Qt::Tool, true);
  w->setAttribute(Qt::WA_QuitOnClose, false);
  w->setWindowTitle(title);
}

QSpinBox* AverageBox(readouts::BlockReadouts& r, QWidget* parent) {
  auto* box = new QSpinBox(parent);
  box->setRange(0, readouts::kMaxAverage);
  box->setSpecialValueText("all");
  box->setValue(r.Average());
  box->setToolTip("Blocks in the average (all: every block since the last change)");
  QObject::connect(box, &QSpinBox::valueChanged, [&r](int v) {
    if (v != r.Average()) r.SetAverage(v);
  });
  return box;
}

QPushButton* HoldButton(readouts::BlockReadouts& r, Readout which, QWidget* parent,
                        std::function<void()> refresh) {
  auto* hold = new QPushButton("Hold", parent);
  hold->setObjectName("Hold");
  hold->setCheckable(true);
  QObject::connect(hold, &QPushButton::toggled, [&r, which, refresh](bool on) {
    r.SetHold(which, on);
    refresh();
  });
  return hold;
}

// The band kinds in the order the window offers them.
constexpr readouts::BandFraction kFractions[] = {
    readouts::BandFraction::Octave, readouts::BandFraction::Third, readouts::BandFraction::Sixth,
    readouts::BandFraction::Twelfth};

int FractionIndex(readouts::BandFraction fraction) {
  for (int i = 0; i < 4; ++i)
    if (kFractions[i] == fraction) return i;
  return 1;
}

}  // namespace

void AddReadoutWindows(QWidget& owner, TZorvaneForm& form, QMenu& menu) {
  menu.addSeparator();
  auto* distortion = new DistortionWindow(form, &owner);
  auto* bands = new BandsWindow(form, &owner);
  for (const auto& item : {std::pair<const char*, QWidget*>{"&Distortion\u2026", distortion},
                           {"&Octave Bands\u2026", bands}}) {
    QWidget* window = item.second;
    QAction* a = menu.addAction(QString::fromUtf8(item.first));
    QObject::connect(a, &QAction::triggered, window, [window, distortion, &owner] {
      // First shown beside the main window, the distortion window at its
      // top and the bands below it.
      if (!window->property("placed").toBool()) {
        window->setProperty("placed", true);
        window->adjustSize();
        const QRect main = owner.frameGeometry();
        window->move(main.right() + 8,
                     window == distortion ? main.top() : main.top() + distortion->height() + 40);
      }
      window->show();
      window->raise();
      window->activateWindow();
    });
  }
}

DistortionWindow::DistortionWindow(TZorvaneForm& form, QWidget* owner)
    : QWidget(owner), readouts_(*form.Readouts) {
  MakeToolWindow(this, "Distortion");
  auto* layout = new QVBoxLayout(this);
  fundamental_ = new QLabel(this);
  fundamental_->setObjectName("Fundamental");
  QFont big = fundamental_->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  big.setBold(true);
  fundamental_->setFont(big);
  layout->addWidget(fundamental_);
  status_ = new QLabel(this);
  status_->setStyleSheet("color: #c00000");
  status_->setWordWrap(true);
  layout->addWidget(status_);

  auto* grid = new QGridLayout;
  static const char* names[8] = {"THD",  "THD+N",       "SINAD",          "SNR",
                                 "ENOB", "Noise floor", "Harmonics used", "Blocks"};
  for (int i = 0; i < 8; ++i) {
    grid->addWidget(new QLabel(names[i], this), i % 4, (i / 4) * 2);
    values_[i] = new QLabel(this);
    values_[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
    values_[i]->setMinimumWidth(190);
    grid->addWidget(values_[i], i % 4, (i / 4) * 2 + 1);
  }
  layout->addLayout(grid);
  auto* harmonics = new QGridLayout;
  for (int i = 0; i < readouts::kHarmonics; ++i) {
    harmonics->addWidget(new QLabel(QString("H%1").arg(i + 2), this), i % 3, (i / 3) * 2);
    harmonics_[i] = new QLabel(this);
    harmonics_[i]->setMinimumWidth(110);
    harmonics->addWidget(harmonics_[i], i % 3, (i / 3) * 2 + 1);
  }
  layout->addLayout(harmonics);

  auto* controls = new QHBoxLayout;
  controls->addWidget(new QLabel("Average", this));
  average_ = AverageBox(readouts_, this);
  controls->addWidget(average_);
  controls->addWidget(new QLabel("Weighting", this));
  weighting_ = new QComboBox(this);
  weighting_->addItems({"none", "A"});
  connect(weighting_, &QComboBox::currentIndexChanged, this,
          [this](int i) { readouts_.SetWeighting(i == 1); });
  controls->addWidget(weighting_);
  controls->addWidget(new QLabel("Tone", this));
  frequency_ = new QDoubleSpinBox(this);
  frequency_->setRange(0.0, 96000.0);
  frequency_->setDecimals(1);
  frequency_->setSuffix(" Hz");
  frequency_->setSpecialValueText("strongest");
  frequency_->setToolTip("Measure the tone near this frequency (strongest: the strongest tone)");
  connect(frequency_, &QDoubleSpinBox::valueChanged, this,
          [this](double hz) { readouts_.SetFundamental(hz); });
  controls->addWidget(frequency_);
  hold_ = HoldButton(readouts_, Readout::Distortion, this, [this] { Refresh(); });
  controls->addWidget(hold_);
  auto* copy = new QPushButton("Copy", this);
  copy->setObjectName("Copy");
  copy->setToolTip("Copy the figures as text (NAME = VALUE lines)");
  connect(copy, &QPushButton::clicked, this, [this] {
    const readouts::DistortionFigures f = readouts_.Distortion();
    QApplication::clipboard()->setText(
        QString::fromStdString(readouts::DistortionText(f) +
                               "distortion_status = " + readouts::TrustWords(f.flags) + "\n"));
  });
  controls->addWidget(copy);
  layout->addLayout(controls);

  listener_ = readouts_.Listen([this] {
    if (isVisible()) Refresh();
  });
  Refresh();
}

DistortionWindow::~DistortionWindow() { readouts_.Unlisten(listener_); }

void DistortionWindow::Refresh() {
  const readouts::DistortionFigures f = readouts_.Distortion();
  fundamental_->setText(Value(f.fundamentalHz, "Hz") + "    " + Value(f.fundamentalDbfs, "dBFS"));
  status_->setText(QString::fromStdString(readouts::TrustText(f.flags)));
  values_[0]->setText(Value(f.thdDb, "dB") + Percent(f.thdPercent));
  values_[1]->setText(Value(f.thdnDb, "dB") + Percent(f.thdnPercent) +
                      (readouts_.Weighting() ? " A" : ""));
  values_[2]->setText(Value(f.sinadDb, "dB"));
  values_[3]->setText(Value(f.snrDb, "dB"));
  values_[4]->setText(Value(f.enobBits, "bits"));
  values_[5]->setText(Value(f.noiseFloorDbfs, "dBFS"));
  values_[6]->setText(QString::number(f.harmonicsUsed));
  values_[7]->setText(QString::number(f.blocks));
  for (int i = 0; i < readouts::kHarmonics; ++i)
    harmonics_[i]->setText(Value(f.harmonicDbc[i], "dBc"));
  // Settings changed elsewhere (the remote control, the other window).
  const QSignalBlocker a(average_), w(weighting_), h(hold_);
  average_->setValue(readouts_.Average());
  weighting_->setCurrentIndex(readouts_.Weighting() ? 1 : 0);
  hold_->setChecked(readouts_.Held(Readout::Distortion));
}

BandChart::BandChart(readouts::BlockReadouts& readouts, QWidget* parent)
    : QWidget(parent), readouts_(readouts) {
  setMinimumSize(480, 220);
}

void BandChart::paintEvent(QPaintEvent*) {
  constexpr double kTop = 0.0, kBottom = -120.0;
  QPainter p(this);
  p.fillRect(rect(), Qt::black);
  const QFontMetrics fm = p.fontMetrics();
  const int left = fm.horizontalAdvance("-120") + 8, bottom = fm.height() + 6;
  const QRect plot(left, 6, width() - left - 6, height() - bottom - 12);
  auto y = [&](double db) {
    const double t = (kTop - std::clamp(db, kBottom, kTop)) / (kTop - kBottom);
    return plot.top() + static_cast<int>(std::lround(t * plot.height()));
  };
  for (int db = 0; db >= kBottom; db -= 20) {
    p.setPen(QColor(60, 60, 60));
    p.drawLine(plot.left(), y(db), plot.right(), y(db));
    p.setPen(Qt::lightGray);
    p.drawText(QRect(0, y(db) - fm.height() / 2, left - 4, fm.height()), Qt::AlignRight,
               QString::number(db));
  }
  const int count = readouts_.BandCount();
  if (count == 0) return;
  const double step = static_cast<double>(plot.width()) / count;
  // Every band's name where there is room, else every second, fourth, ...
  int every = 1;
  while (every < count && fm.horizontalAdvance("12.5k") + 6 > step * every) every *= 2;
  for (int i = 0; i < count; ++i) {
    const int x0 = plot.left() + static_cast<int>(i * step);
    const int x1 = plot.left() + static_cast<int>((i + 1) * step) - 1;
    const double level = readouts_.BandLevelDbfs(i);
    if (std::isfinite(level) && level > kBottom)
      p.fillRect(QRect(QPoint(x0 + 1, y(level)), QPoint(std::max(x0 + 1, x1 - 1), plot.bottom())),
                 QColor(0, 200, 0));
    if (i % every == 0) {
      p.setPen(Qt::lightGray);
      const QString name = QString::fromStdString(
          readouts::NominalBandLabel(readouts_.BandAt(i).centerHz, readouts_.Fraction()));
      p.drawText(QRect(x0 - 20, plot.bottom() + 4, (x1 - x0) + 40, fm.height()), Qt::AlignHCenter,
                 name);
    }
  }
  p.setPen(Qt::gray);
  p.drawRect(plot);
}

BandsWindow::BandsWindow(TZorvaneForm& form, QWidget* owner)
    : QWidget(owner), readouts_(*form.Readouts) {
  MakeToolWindow(this, "Octave Bands");
  auto* layout = new QVBoxLayout(this);
  chart_ = new BandChart(readouts_, this);
  layout->addWidget(chart_, 1);
  auto* controls = new QHBoxLayout;
  controls->addWidget(new QLabel("Bands", this));
  fraction_ = new QComboBox(this);
  fraction_->setObjectName("Bands");
  fraction_->addItems({"1/1 octave", "1/3 octave", "1/6 octave", "1/12 octave"});
  connect(fraction_, &QComboBox::currentIndexChanged, this,
          [this](int i) { readouts_.SetBandFraction(kFractions[i]); });
  controls->addWidget(fraction_);
  controls->addWidget(new QLabel("Average", this));
  average_ = AverageBox(readouts_, this);
  controls->addWidget(average_);
  controls->addStretch(1);
  hold_ = HoldButton(readouts_, Readout::Bands, this, [this] { Refresh(); });
  controls->addWidget(hold_);
  auto* copy = new QPushButton("Copy", this);
  copy->setToolTip("Copy the band levels as text (band_center_hz,level_dbfs)");
  connect(copy, &QPushButton::clicked, this, [this] {
    QApplication::clipboard()->setText(QString::fromStdString(readouts::BandsCsv(readouts_)));
  });
  controls->addWidget(copy);
  layout->addLayout(controls);
  listener_ = readouts_.Listen([this] {
    if (isVisible()) Refresh();
  });
  Refresh();
}

BandsWindow::~BandsWindow() { readouts_.Unlisten(listener_); }

void BandsWindow::Refresh() {
  const QSignalBlocker f(fraction_), a(average_), h(hold_);
  fraction_->setCurrentIndex(FractionIndex(readouts_.Fraction()));
  average_->setValue(readouts_.Average());
  hold_->setChecked(readouts_.Held(Readout::Bands));
  chart_->update();
}

}  // namespace zorvane
