// SPDX-License-Identifier: GPL-3.0-or-later
// The readouts' own windows, beside the form: "Distortion" (the distortion
// and noise figures) and "Octave Bands" (the band levels as bars), each
// non-modal, opened from the Display menu, refreshed after every analysed
// block, with a hold and a copy of what they show as text. They show and set
// the form's readouts and hold nothing of their own.
#pragma once

#include <QWidget>

#include "app/Zorvane.h"

class QMenu;
class QLabel;
class QSpinBox;
class QDoubleSpinBox;
class QComboBox;
class QPushButton;

namespace zorvane {

// Adds "Distortion…" and "Octave Bands…" to the menu (after a separator);
// the windows belong to `owner`.
void AddReadoutWindows(QWidget& owner, TZorvaneForm& form, QMenu& menu);

class DistortionWindow : public QWidget {
  Q_OBJECT
 public:
  DistortionWindow(TZorvaneForm& form, QWidget* owner);
  ~DistortionWindow() override;
  // Shows what the readouts hold now.
  void Refresh();

 private:
  readouts::BlockReadouts& readouts_;
  int listener_ = 0;
  QLabel* fundamental_;
  QLabel* status_;
  QLabel* values_[8];
  QLabel* harmonics_[9];
  QSpinBox* average_;
  QComboBox* weighting_;
  QDoubleSpinBox* frequency_;
  QPushButton* hold_;
};

// The bars of the band levels.
class BandChart : public QWidget {
  Q_OBJECT
 public:
  BandChart(readouts::BlockReadouts& readouts, QWidget* parent);
  QSize sizeHint() const override { return {720, 300}; }

 protected:
  void paintEvent(class QPaintEvent*) override;

 private:
  readouts::BlockReadouts& readouts_;
};

class BandsWindow : public QWidget {
  Q_OBJECT
 public:
  BandsWindow(TZorvaneForm& form, QWidget* owner);
  ~BandsWindow() override;
  void Refresh();

 private:
  readouts::BlockReadouts& readouts_;
  int listener_ = 0;
  BandChart* chart_;
  QComboBox* fraction_;
  QSpinBox* average_;
  QPushButton* hold_;
};

}  // namespace zorvane
