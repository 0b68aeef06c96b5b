// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt_widgets.h"

#include <QApplication>
#include <QBitmap>
#include <QClipboard>
#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include "ui/qt_platform.h"

namespace zorvane {

namespace {
MouseButton ButtonOf(Qt::MouseButton b) {
  if (b == Qt::RightButton) return MouseButton::Right;
  if (b == Qt::MiddleButton) return MouseButton::Middle;
  return MouseButton::Left;
}
}  // namespace

namespace {
template <class Fn>
void ForEachCrossPixel(Fn fn) {
  for (int y = 5; y <= 11; ++y) fn(15, y);
  for (int y = 19; y <= 26; ++y) fn(15, y);
  for (int x = 4; x <= 11; ++x) fn(x, 15);
  for (int x = 19; x <= 26; ++x) fn(x, 15);
}
}  // namespace

bool OpenCrossIsOpaque() { return QGuiApplication::platformName() != "windows"; }

QCursor OpenCrossCursor(Color background) {
  if (!OpenCrossIsOpaque()) {
    // A set bit over a clear mask bit inverts the screen.
    uchar bits[32 * 4] = {};
    const uchar mask[32 * 4] = {};
    ForEachCrossPixel(
        [&](int x, int y) { bits[y * 4 + x / 8] |= static_cast<uchar>(1u << (x % 8)); });
    const QBitmap b = QBitmap::fromData(QSize(32, 32), bits, QImage::Format_MonoLSB);
    const QBitmap m = QBitmap::fromData(QSize(32, 32), mask, QImage::Format_MonoLSB);
    return QCursor(b, m, 15, 15);
  }
  QImage image(32, 32, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  const Color inverse = background ^ 0xFFFFFFu;
  const QRgb pixel = qRgb(inverse & 0xFF, (inverse >> 8) & 0xFF, (inverse >> 16) & 0xFF);
  ForEachCrossPixel([&](int x, int y) { image.setPixel(x, y, pixel); });
  return QCursor(QPixmap::fromImage(image), 15, 15);
}

PlotWidget::PlotWidget(TZorvaneForm& form, Control& model, QWidget* parent)
    : QWidget(parent), form_(form), model_(model) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  // Every frame the core composes is announced here; the repaint is queued
  // and runs when the analyzer loop next lets the window process its events.
  model_.OnPaint = [this] { update(); };
  Sync();
}

PlotWidget::~PlotWidget() { model_.OnPaint = nullptr; }

void PlotWidget::Sync() {
  // The open cross is drawn against the plot's background, so it follows
  // that colour too.
  const int shape = model_.Cursor();
  const Color back = model_.BackColor();
  if (shape != cursor_ || (shape == 3 && back != cursorBack_)) {
    cursor_ = shape;
    cursorBack_ = back;
    switch (shape) {
      case 1:
        setCursor(Qt::CrossCursor);
        break;
      case 3:
        setCursor(OpenCrossCursor(back));
        break;
      default:
        setCursor(Qt::ArrowCursor);
        break;
    }
  }
  repaint();
}

void PlotWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QColor back(model_.BackColor() & 0xFF, (model_.BackColor() >> 8) & 0xFF,
                    (model_.BackColor() >> 16) & 0xFF);
  p.fillRect(rect(), back);
  const Bitmap& bitmap = form_.DisplayBitmap;
  if (bitmap.Width() <= 0 || bitmap.Height() <= 0) return;
  if (frame_.width() != bitmap.Width() || frame_.height() != bitmap.Height())
    frame_ = QImage(bitmap.Width(), bitmap.Height(), QImage::Format_RGB32);
  for (int y = 0; y < bitmap.Height(); ++y) {
    const Color* __restrict src = bitmap.Row(y);
    QRgb* __restrict line = reinterpret_cast<QRgb*>(frame_.scanLine(y));
    for (int x = 0; x < bitmap.Width(); ++x) {
      line[x] = 0xFF000000u | (__builtin_bswap32(src[x]) >> 8);  // 0x00BBGGRR to 0xFFRRGGBB
    }
  }
  p.drawImage(0, 0, frame_);
}

void PlotWidget::mousePressEvent(QMouseEvent* e) {
  if (model_.OnMouseDown)
    model_.OnMouseDown(ButtonOf(e->button()), e->position().toPoint().x(),
                       e->position().toPoint().y());
}

void PlotWidget::mouseMoveEvent(QMouseEvent* e) {
  if (model_.OnMouseMove)
    model_.OnMouseMove(e->position().toPoint().x(), e->position().toPoint().y());
}

void PlotWidget::mouseReleaseEvent(QMouseEvent* e) {
  if (model_.OnMouseUp)
    model_.OnMouseUp(ButtonOf(e->button()), e->position().toPoint().x(),
                     e->position().toPoint().y());
}

EntryWidget::EntryWidget(Control& model, QWidget* parent) : QLineEdit(parent), model_(model) {
  setFrame(true);
  // Edits the line edit makes on its own, without a key press (its context
  // menu's paste, cut, delete and undo, a dropped text, an input method),
  // change the model's text like any other change of the text; the box then
  // shows the model's text again.
  connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (!model_.ReadOnly() && model_.Enabled()) model_.SetText(text.toStdString());
    Sync();
  });
  Sync();
}

void EntryWidget::Sync() {
  const QString t = QString::fromStdString(model_.Text());
  if (text() != t) {
    setText(t);
    setCursorPosition(static_cast<int>(t.size()));
  }
  setReadOnly(model_.ReadOnly());
  if (model_.AllSelected() && selectedText() != t) selectAll();
}

bool EntryWidget::event(QEvent* e) {
  if (e->type() == QEvent::ShortcutOverride) {
    // The box keeps only the keys it uses (text, Backspace, Enter, Escape,
    // paste, select all); every other key with Ctrl or Alt, and the function
    // keys, stay the window's shortcuts.
    auto* k = static_cast<QKeyEvent*>(e);
    const Qt::KeyboardModifiers mods = k->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    const bool functionKey = k->key() >= Qt::Key_F1 && k->key() <= Qt::Key_F35;
    if (k->matches(QKeySequence::Paste) || k->matches(QKeySequence::SelectAll) ||
        (mods == Qt::NoModifier && !functionKey))
      e->accept();
    else
      e->ignore();
    return true;
  }
  return QLineEdit::event(e);
}

void EntryWidget::keyPressEvent(QKeyEvent* e) {
  if (e->matches(QKeySequence::Paste)) {
    insertFromClipboard();
    return;
  }
  if (e->matches(QKeySequence::SelectAll)) {
    model_.SelectAll();
    return;
  }
  char c = 0;
  switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      c = '\r';
      break;
    case Qt::Key_Backspace:
      c = '\b';
      break;
    default: {
      const QString t = e->text();
      if (t.size() == 1 && t[0].unicode() >= 32 && t[0].unicode() < 127)
        c = static_cast<char>(t[0].unicode());
      break;
    }
  }
  if (c == 0) {
    // Navigation and other keys do not edit the text.
    return;
  }
  model_.UserKey(c);
  Sync();
}

void EntryWidget::keyReleaseEvent(QKeyEvent* e) {
  if (e->isAutoRepeat()) return;
  int vk = e->key();
  if (vk == Qt::Key_Return || vk == Qt::Key_Enter)
    vk = 13;
  else if (vk == Qt::Key_Backspace)
    vk = 8;
  else if (vk == Qt::Key_Escape)
    vk = 27;
  else if (vk > 0xFF)
    vk = 0;
  if (vk != 0) model_.UserKeyUp(vk);
  Sync();
}

void EntryWidget::insertFromClipboard() {
  // A paste bypasses the key filter, as it does in the toolkit's text boxes.
  if (model_.ReadOnly() || !model_.Enabled()) return;
  const std::string pasted = QApplication::clipboard()->text().toStdString();
  model_.SetText(model_.Text() + pasted);
  Sync();
}

}  // namespace zorvane
