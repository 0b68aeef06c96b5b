// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt_main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSlider>
#include <QStyle>
#include <algorithm>
#include <cmath>

#include "ui/qt_widgets.h"
#include "ui/readout_windows.h"

namespace zorvane {

namespace {

QColor ToQColor(Color c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

void ApplyCommon(QWidget* w, const Control& c) {
  w->setGeometry(c.Left(), c.Top(), c.Width(), c.Height());
  w->setEnabled(c.Enabled());
  w->setVisible(c.Visible());
  w->setToolTip(QString::fromStdString(c.Hint()));
  QFont f = w->font();
  f.setPixelSize(std::max(6, c.FontHeight()));
  f.setBold(c.FontBold() || c.Kind() == ControlKind::Button);
  w->setFont(f);
}

void SetColors(QWidget* w, const Control& c, bool background) {
  QPalette pal = w->palette();
  const QColor font = ToQColor(c.FontColor());
  pal.setColor(QPalette::WindowText, font);
  pal.setColor(QPalette::ButtonText, font);
  pal.setColor(QPalette::Text, font);
  if (background) {
    pal.setColor(QPalette::Window, ToQColor(c.BackColor()));
    pal.setColor(QPalette::Base, ToQColor(c.BackColor()));
    w->setAutoFillBackground(true);
  }
  w->setPalette(pal);
}

// The window's font is wider than the one the layout was drawn for, so a
// caption that does not fit where its label stands (a scale label with its
// leading blanks, at the panel's edge) gets a smaller font rather than being
// cut off.
void FitText(QLabel* label, const QString& text) {
  int room = label->width();
  if (const QWidget* parent = label->parentWidget())
    room = std::min(room, parent->contentsRect().right() + 1 - label->x());
  QFont f = label->font();
  while (f.pixelSize() > 6 && QFontMetrics(f).horizontalAdvance(text) > room)
    f.setPixelSize(f.pixelSize() - 1);
  label->setFont(f);
}

// A menu caption as Qt shows it: "&" before the Alt letter, a literal "&"
// doubled.
QString MenuText(const Control& c) {
  std::string text;
  const std::string& caption = c.Caption();
  for (size_t i = 0; i < caption.size(); ++i) {
    if (static_cast<int>(i) == c.Mnemonic()) text += '&';
    if (caption[i] == '&') text += '&';
    text += caption[i];
  }
  return QString::fromStdString(text);
}

}  // namespace

QtMainWindow::QtMainWindow(TZorvaneForm& form) : form_(form) {
  Control* self = form_.Self;
  setWindowTitle(QString::fromStdString(self->Caption()));
  client_ = new QWidget;
  SetColors(client_, *self, true);
  for (Control* child : self->Children()) Build(child, client_);
  client_->setFixedSize(self->Width(), self->Height());

  for (Control* top : form_.MainMenu->Children()) {
    QMenu* m = menuBar()->addMenu(MenuText(*top));
    BuildMenu(top, m);
    // The readouts' windows, opened from the Display menu (no items of the form).
    if (top->Name() == "Display1") AddReadoutWindows(*this, form_, *m);
  }
  self->Listen([this](Control& c) {
    setWindowTitle(QString::fromStdString(c.Caption()));
    if (client_->width() != c.Width() || client_->height() != c.Height()) {
      client_->setFixedSize(c.Width(), c.Height());
      FitToScreen();
    }
  });
  FitToScreen();
}

void QtMainWindow::FitToScreen() {
  // The room the screen leaves for the client area: its available area less
  // the menu bar and a window manager's frame.
  const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  const QRect available = screen ? screen->availableGeometry() : QRect();
  const int frame = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
  const int border = 2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
  const double roomW = available.width() - border;
  const double roomH = available.height() - menuBar()->sizeHint().height() - frame - border;
  double factor = 1.0;
  if (!available.isEmpty() && roomW > 0 && roomH > 0)
    factor = std::min({1.0, roomW / client_->width(), roomH / client_->height()});

  if (factor < 1.0) {
    // Shown smaller through a graphics view; mouse and key events reach the
    // widgets at their own coordinates.
    if (!scaler_) {
      takeCentralWidget();
      auto* scene = new QGraphicsScene(this);
      scaler_ = new QGraphicsView(scene);
      scaler_->setFrameShape(QFrame::NoFrame);
      scaler_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      scaler_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      scaler_->setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform |
                              QPainter::TextAntialiasing);
      client_->setParent(nullptr);
      scene->addWidget(client_);
      setCentralWidget(scaler_);
    }
    scaler_->scene()->setSceneRect(0, 0, client_->width(), client_->height());
    scaler_->setTransform(QTransform::fromScale(factor, factor));
    scaler_->setFixedSize(static_cast<int>(std::floor(client_->width() * factor)),
                          static_cast<int>(std::floor(client_->height() * factor)));
  } else if (centralWidget() != client_) {
    setCentralWidget(client_);
  }
  scale_ = factor;
  setMinimumSize(0, 0);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  adjustSize();
  setFixedSize(sizeHint());
}

QtMainWindow::~QtMainWindow() = default;

QWidget* QtMainWindow::WidgetFor(const std::string& name) const {
  auto it = widgets_.find(name);
  return it == widgets_.end() ? nullptr : it->second;
}

QAction* QtMainWindow::ActionFor(const std::string& name) const {
  auto it = actions_.find(name);
  return it == actions_.end() ? nullptr : it->second;
}

QWidget* QtMainWindow::Build(Control* c, QWidget* parent) {
  QWidget* w = nullptr;
  switch (c->Kind()) {
    case ControlKind::Panel: {
      auto* frame = new QFrame(parent);
      frame->setLineWidth(1);
      w = frame;
      auto sync = [frame](Control& m) {
        ApplyCommon(frame, m);
        SetColors(frame, m, true);
        frame->setFrameStyle(m.Bevel() ? QFrame::Panel | QFrame::Raised : QFrame::NoFrame);
      };
      sync(*c);
      c->Listen(sync);
      break;
    }
    case ControlKind::Label: {
      auto* label = new QLabel(parent);
      w = label;
      auto sync = [label](Control& m) {
        ApplyCommon(label, m);
        SetColors(label, m, true);
        const QString text = QString::fromStdString(m.Caption());
        label->setText(text);
        label->setAlignment((m.AlignRight() ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        FitText(label, text);
      };
      sync(*c);
      c->Listen(sync);
      break;
    }
    case ControlKind::Button: {
      auto* button = new QPushButton(parent);
      w = button;
      button->setFocusPolicy(Qt::NoFocus);
      QObject::connect(button, &QPushButton::clicked, [c] { c->Click(); });
      auto sync = [button](Control& m) {
        ApplyCommon(button, m);
        SetColors(button, m, false);
        button->setText(QString::fromStdString(m.Caption()));
      };
      sync(*c);
      c->Listen(sync);
      break;
    }
    case ControlKind::ScrollBar: {
      auto* bar = new QScrollBar(Qt::Horizontal, parent);
      w = bar;
      auto sync = [bar](Control& m) {
        ApplyCommon(bar, m);
        const QSignalBlocker block(bar);
        bar->setRange(m.Min(), m.Max());
        bar->setSingleStep(m.SmallChange());
        bar->setPageStep(m.LargeChange());
        bar->setValue(m.Position());
      };
      sync(*c);
      c->Listen(sync);
      QObject::connect(bar, &QScrollBar::valueChanged, [c](int v) { c->UserScroll(v); });
      break;
    }
    case ControlKind::TrackBar: {
      auto* slider = new QSlider(Qt::Horizontal, parent);
      w = slider;
      slider->setTickPosition(QSlider::TicksBelow);
      auto sync = [slider](Control& m) {
        ApplyCommon(slider, m);
        SetColors(slider, m, false);
        const QSignalBlocker block(slider);
        slider->setRange(m.Min(), m.Max());
        slider->setValue(m.Position());
        slider->setTickInterval(std::max(1, (m.Max() - m.Min()) / 10));
      };
      sync(*c);
      c->Listen(sync);
      QObject::connect(slider, &QSlider::valueChanged, [c](int v) { c->UserScroll(v); });
      break;
    }
    case ControlKind::Memo: {
      auto* entry = new EntryWidget(*c, parent);
      w = entry;
      auto sync = [entry](Control& m) {
        ApplyCommon(entry, m);
        SetColors(entry, m, true);
        entry->Sync();
      };
      sync(*c);
      c->Listen(sync);
      break;
    }
    case ControlKind::PaintBox: {
      auto* plot = new PlotWidget(form_, *c, parent);
      w = plot;
      auto sync = [plot](Control& m) {
        ApplyCommon(plot, m);
        plot->Sync();
      };
      sync(*c);
      c->Listen(sync);
      break;
    }
    default:
      return nullptr;
  }
  widgets_[c->Name()] = w;
  for (Control* child : c->Children()) Build(child, w);
  return w;
}

void QtMainWindow::BuildMenu(Control* item, QMenu* menu) {
  for (Control* child : item->Children()) {
    if (child->IsSeparator()) {
      menu->addSeparator();
      continue;
    }
    if (!child->Children().empty()) {
      QMenu* sub = menu->addMenu(MenuText(*child));
      BuildMenu(child, sub);
      continue;
    }
    QAction* a = menu->addAction(MenuText(*child));
    actions_[child->Name()] = a;
    a->setCheckable(child->Checkable());
    if (child->RadioGroup() > 0) {
      // Radio marks; the model decides which item is checked, and may check none.
      QActionGroup*& group = groups_[child->RadioGroup()];
      if (!group) {
        group = new QActionGroup(this);
        group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
      }
      group->addAction(a);
    }
    if (!child->Shortcut().empty()) {
      a->setShortcut(QKeySequence(QString::fromStdString(child->Shortcut())));
      // The window's shortcuts work wherever the focus is inside it.
      a->setShortcutContext(Qt::WindowShortcut);
    }
    auto sync = [a](Control& m) {
      const QSignalBlocker block(a);
      a->setText(MenuText(m));
      a->setChecked(m.Checked());
      a->setEnabled(m.Enabled());
      a->setVisible(m.Visible());
    };
    sync(*child);
    child->Listen(sync);
    QObject::connect(a, &QAction::triggered, [a, child] {
      // The check mark is the model's: a click only runs the handler.
      {
        const QSignalBlocker block(a);
        a->setChecked(child->Checked());
      }
      child->Click();
    });
  }
}

void QtMainWindow::closeEvent(QCloseEvent* e) {
  if (!closing_ && !form_.platform.Terminated()) {
    closing_ = true;
    form_.FormClose();
  }
  e->accept();
}

void QtMainWindow::resizeEvent(QResizeEvent* e) {
  QMainWindow::resizeEvent(e);
  if (form_.S.Constructing == 1) return;
  form_.FormResize();
}

}  // namespace zorvane
