// The instrument's window: one widget per control model, placed at the
// model's (scaled) position, mirroring its caption, colours, state and range,
// and forwarding clicks, scrolls, keys and mouse events to the model's event
// slots. It holds no logic of its own.
#pragma once

#include <QMainWindow>
#include <map>

#include "app/Zorvane.h"

class QMenu;

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

 protected:
  void closeEvent(QCloseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  QWidget* Build(Control* c, QWidget* parent);
  void BuildMenu(Control* item, QMenu* menu);

  TZorvaneForm& form_;
  std::map<std::string, QWidget*> widgets_;
  std::map<std::string, class QAction*> actions_;
  bool closing_ = false;
};

}  // namespace zorvane
