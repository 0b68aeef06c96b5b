// Widgets that mirror one control model each.
#pragma once

#include <QCursor>
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
};

// A one-line text entry whose key presses go through the model's key filter
// before they reach the text; the text shown is always the model's.
class EntryWidget : public QLineEdit {
  Q_OBJECT
 public:
  EntryWidget(Control& model, QWidget* parent);
  void Sync();

 protected:
  void keyPressEvent(class QKeyEvent* e) override;
  void keyReleaseEvent(class QKeyEvent* e) override;
  void insertFromClipboard();

 private:
  Control& model_;
};

// The "open cross" cursor: a 32 x 32 cross of screen-inverting pixels with an
// empty centre and its hot spot at (15, 15).
QCursor OpenCrossCursor();

}  // namespace zorvane
