// SPDX-License-Identifier: GPL-3.0-or-later
// The instrument's window: one widget per control model, placed at the
// model's (scaled) position, mirroring its caption, colours, state and range,
// and forwarding clicks, scrolls, keys and mouse events to the model's event
// slots. It holds no logic of its own.
#pragma once

#include <QMainWindow>
#include <map>

#include "app/Zorvane.h"

class QMenu;
class QGraphicsView;

namespace zorvane {

class QtMainWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit QtMainWindow(TZorvaneForm& form);
  ~QtMainWindow() override;

  TZorvaneForm& Form() { return form_; }
  // The widget that shows a control model (nullptr for menu items, timers).
  QWidget* WidgetFor(const std::string& name) const;
  class QAction* ActionFor(const std::string& name) const;
  // The widget that holds the form's controls at the form's own size.
  QWidget* Client() const { return client_; }
  // How much smaller than the form's size the client is shown: 1 unless
  // the form would not fit the screen's available area.
  double Scale() const { return scale_; }

 protected:
  void closeEvent(QCloseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  QWidget* Build(Control* c, QWidget* parent);
  void BuildMenu(Control* item, QMenu* menu);
  // Shows the client at its size when the window then fits the screen's
  // available area, and scaled down to fit otherwise.
  void FitToScreen();

  TZorvaneForm& form_;
  std::map<std::string, QWidget*> widgets_;
  std::map<std::string, class QAction*> actions_;
  std::map<int, class QActionGroup*> groups_;
  bool closing_ = false;
  QWidget* client_ = nullptr;
  QGraphicsView* scaler_ = nullptr;
  double scale_ = 1.0;
};

}  // namespace zorvane
