// SPDX-License-Identifier: GPL-3.0-or-later
// Widgets that mirror one control model each.
#pragma once

#include <QCursor>
#include <QImage>
#include <QLineEdit>
#include <QWidget>

#include "app/Zorvane.h"

namespace zorvane {

// The plot: shows the form's display bitmap and reports mouse events in its
// own pixels.
class PlotWidget : public QWidget {
  Q_OBJECT
 public:
  PlotWidget(TZorvaneForm& form, Control& model, QWidget* parent);
  ~PlotWidget() override;
  void Sync();

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(class QMouseEvent* e) override;
  void mouseMoveEvent(class QMouseEvent* e) override;
  void mouseReleaseEvent(class QMouseEvent* e) override;

 private:
  TZorvaneForm& form_;
  Control& model_;
  int cursor_ = -1;
  Color cursorBack_ = 0;
  // The form's pixels in the window's own pixel format, kept between frames:
  // drawing them then needs no conversion (which Qt would spread over its
  // thread pool at every frame).
  QImage frame_;
};

// A one-line text entry whose key presses go through the model's key filter
// before they reach the text; the text shown is always the model's.
class EntryWidget : public QLineEdit {
  Q_OBJECT
 public:
  EntryWidget(Control& model, QWidget* parent);
  void Sync();

 protected:
  bool event(QEvent* e) override;
  void keyPressEvent(class QKeyEvent* e) override;
  void keyReleaseEvent(class QKeyEvent* e) override;
  void insertFromClipboard();

 private:
  Control& model_;
};

// The "open cross" cursor: a 32 x 32 cross with an empty centre and its hot
// spot at (15, 15): column 15 in rows 5..11 and 19..26, row 15 in columns
// 4..11 and 19..26. Where the platform inverts the screen under a cursor
// (Windows) those pixels invert it; elsewhere cursors cannot invert, and the
// same pixels are drawn in the inverse of the plot's background, which is
// what inverting would show over an empty plot.
QCursor OpenCrossCursor(Color background);
// True when the cross's pixels are drawn opaque in OpenCrossCursor().
bool OpenCrossIsOpaque();

}  // namespace zorvane
