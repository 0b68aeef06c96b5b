// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt_platform.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>

#include "app/audio_devices.h"
#include "ui/qt_main_window.h"

namespace zorvane {

QImage ToQImage(const Bitmap& bitmap) {
  QImage img(bitmap.Width(), bitmap.Height(), QImage::Format_RGB32);
  for (int y = 0; y < bitmap.Height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
    const Color* src = bitmap.Row(y);
    for (int x = 0; x < bitmap.Width(); ++x) {
      const Color c = src[x];
      line[x] = qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
    }
  }
  return img;
}

Bitmap FromQImage(const QImage& image) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  Bitmap bitmap(rgb.width(), rgb.height());
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    Color* dst = bitmap.Row(y);
    for (int x = 0; x < rgb.width(); ++x)
      dst[x] = static_cast<Color>(qRed(line[x])) | (static_cast<Color>(qGreen(line[x])) << 8) |
               (static_cast<Color>(qBlue(line[x])) << 16);
  }
  return bitmap;
}

QtPlatform::QtPlatform() : dispatcher_(QAbstractEventDispatcher::instance()) {
  clock_.start();
  deadline_.setSingleShot(true);
  deadline_.setTimerType(Qt::PreciseTimer);
}

QtPlatform::~QtPlatform() {
  // A viewer without an owner window is ours to delete.
  if (help_ && !help_->parent()) delete help_;
}

void QtPlatform::BindTimer(Control* timer) {
  auto t = std::make_unique<QTimer>();
  QTimer* qt = t.get();
  auto sync = [qt](Control& c) {
    const bool run = c.Enabled() && c.Interval() > 0;
    if (qt->interval() != c.Interval()) qt->setInterval(c.Interval());
    if (run && !qt->isActive()) qt->start();
    if (!run && qt->isActive()) qt->stop();
  };
  QObject::connect(qt, &QTimer::timeout, [timer, this] {
    if (terminated_ || !timer->Enabled()) return;
    if (timer->OnTimer) timer->OnTimer();
  });
  timer->Listen(sync);
  sync(*timer);
  timers_.push_back(std::move(t));
}

void QtPlatform::MessageBox(const std::string& text, const std::string& title) {
  if (MessageShown) MessageShown(text, title);
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title), QString::fromStdString(text),
                  QMessageBox::Ok, owner_);
  box.exec();
}

void QtPlatform::ShowMessage(const std::string& text) {
  if (MessageShown) MessageShown(text, "");
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                  QString::fromStdString(text), QMessageBox::Ok, owner_);
  box.exec();
}

void QtPlatform::ProcessMessages() {
  RunTickers();
  QApplication::processEvents(QEventLoop::AllEvents);
}

void QtPlatform::Sleep(int ms) {
  if (ms > 0) QThread::msleep(static_cast<unsigned long>(ms));
  RunTickers();
}

void QtPlatform::WaitForEvents(int64_t deadlineUs) {
  if (terminated_) return;
  const int64_t until = std::min(deadlineUs, NextDeviceEventUs());
  if (until != kNoEvent) {
    const int64_t left = until - NowUs();
    if (left <= 0) return;
    // Whole milliseconds, rounded up, so that the deadline has passed on return.
    deadline_.start(static_cast<int>(std::min<int64_t>((left + 999) / 1000, 1 << 30)));
  }
  // Returns after handling what woke it: an event, a timer, or a wake-up
  // posted by a device thread (which the dispatcher keeps until it waits).
  if (dispatcher_) dispatcher_->processEvents(QEventLoop::WaitForMoreEvents);
  deadline_.stop();
  RunTickers();
}

void QtPlatform::WakeUp() {
  // Set once, on the window thread, before any device runs.
  if (dispatcher_) dispatcher_->wakeUp();
}

int64_t QtPlatform::NowUs() { return clock_.nsecsElapsed() / 1000; }

void QtPlatform::Terminate() {
  if (terminated_) return;
  terminated_ = true;
  QApplication::quit();
}

std::optional<std::string> QtPlatform::OpenFileDialog(const std::string& title,
                                                      const std::vector<std::string>& filters) {
  if (std::optional<std::string> answer; TakeDialogAnswer(answer)) return answer;
  QStringList list;
  for (const std::string& f : filters) list << QString::fromStdString(f);
  const QString f = QFileDialog::getOpenFileName(owner_, QString::fromStdString(title), lastFolder_,
                                                 list.join(";;"));
  if (f.isEmpty()) return std::nullopt;
  lastFolder_ = QFileInfo(f).absolutePath();
  return f.toStdString();
}

std::optional<std::string> QtPlatform::SaveFileDialog(const std::string& title,
                                                      const std::string& defaultExt,
                                                      const std::vector<std::string>& filters) {
  if (std::optional<std::string> answer; TakeDialogAnswer(answer)) return answer;
  QFileDialog d(owner_, QString::fromStdString(title), lastFolder_);
  d.setAcceptMode(QFileDialog::AcceptSave);
  const QString fallback = QString::fromStdString(defaultExt);
  // The extension a filter offers ("PNG images (*.png)" gives "png").
  auto suffixOf = [fallback](const QString& filter) {
    static const QRegularExpression ext(R"(\(\*\.(\w+)\))");
    const QRegularExpressionMatch m = ext.match(filter);
    return m.hasMatch() ? m.captured(1) : fallback;
  };
  QStringList list;
  for (const std::string& f : filters) list << QString::fromStdString(f);
  d.setDefaultSuffix(fallback);
  if (!list.isEmpty()) {
    d.setNameFilters(list);
    for (const QString& f : list)
      if (suffixOf(f) == fallback) {
        d.selectNameFilter(f);
        break;
      }
    // A name typed without an extension takes the chosen type's.
    QObject::connect(&d, &QFileDialog::filterSelected,
                     [&d, suffixOf](const QString& f) { d.setDefaultSuffix(suffixOf(f)); });
  }
  if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return std::nullopt;
  const QString f = d.selectedFiles().first();
  lastFolder_ = QFileInfo(f).absolutePath();
  return f.toStdString();
}

bool QtPlatform::CopyImageToClipboard(const Bitmap& image) {
  QApplication::clipboard()->setImage(ToQImage(image));
  return true;
}

std::optional<Bitmap> QtPlatform::ClipboardImage() {
  const QImage image = QApplication::clipboard()->image();
  if (image.isNull()) return std::nullopt;
  return FromQImage(image);
}

QPrinter& QtPlatform::Printer() {
  // The print set-up the user chose is kept for the session.
  if (!printer_) printer_ = std::make_unique<QPrinter>();
  return *printer_;
}

bool QtPlatform::ChooseAudioDevices(AudioDevicesDialogModel& model) {
  QDialog d(owner_);
  d.setWindowTitle("Audio Devices");
  auto* layout = new QVBoxLayout(&d);
  auto addList = [&](const char* caption, const char* name, DeviceDirection direction) {
    auto* list = new QListWidget(&d);
    list->setObjectName(name);
    auto* label = new QLabel(caption, &d);
    label->setBuddy(list);
    for (const std::string& entry : model.Entries(direction))
      list->addItem(QString::fromStdString(entry));
    list->setCurrentRow(model.Row(direction));
    QObject::connect(list, &QListWidget::currentRowChanged,
                     [&model, direction](int row) { model.SelectRow(direction, row); });
    layout->addWidget(label);
    layout->addWidget(list);
  };
  addList("&Output (the generator plays here):", "OutputDevices", DeviceDirection::Output);
  addList("&Input (the analyzer listens here):", "InputDevices", DeviceDirection::Input);
  layout->addWidget(new QLabel("A new choice is used the next time a device is opened.", &d));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &d);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
  layout->addWidget(buttons);
  d.resize(480, 360);
  return d.exec() == QDialog::Accepted;
}

bool QtPlatform::PrinterSetup() {
  QPrintDialog d(&Printer(), owner_);
  return d.exec() == QDialog::Accepted;
}

bool QtPlatform::PrintImage(const Bitmap& image) {
  QPainter p;
  if (!p.begin(&Printer())) return false;
  // As large as the page allows, keeping the image's proportions, at the
  // top of the page and centred across it.
  const QImage img = ToQImage(image);
  const QRect page = p.viewport();
  QSize size = img.size();
  size.scale(page.size(), Qt::KeepAspectRatio);
  p.drawImage(QRect(QPoint((page.width() - size.width()) / 2, 0), size), img);
  return p.end();
}

bool QtPlatform::StartProgram(const std::string& path, const std::vector<std::string>& args) {
  QStringList list;
  for (const std::string& a : args) list << QString::fromStdString(a);
  return QProcess::startDetached(QString::fromStdString(path), list);
}

bool QtPlatform::ShowHelpDocument(const std::string& path) {
  const QString file = QString::fromStdString(path);
  if (!QFileInfo(file).isReadable() || QFileInfo(file).isDir()) return false;
  if (!help_) {
    help_ = new QTextBrowser(owner_);
    help_->setWindowFlag(Qt::Window);
    help_->setObjectName("HelpViewer");
    // Links to the web go to the desktop's browser; Alt+Left and Alt+Right
    // go back and forth within the document.
    help_->setOpenExternalLinks(true);
    help_->resize(760, 640);
  }
  // Read as HTML whatever its name says.
  help_->setSource(QUrl::fromLocalFile(file), QTextDocument::HtmlResource);
  const QString title = help_->documentTitle();
  help_->setWindowTitle(title.isEmpty() ? QStringLiteral("Help") : title);
  help_->show();
  help_->raise();
  help_->activateWindow();
  return true;
}

std::optional<Bitmap> QtPlatform::GrabForm(const Control& form) {
  auto* window = qobject_cast<QtMainWindow*>(owner_);
  if (!window || window->Form().Self != &form || !window->Client()) return std::nullopt;
  QWidget* client = window->Client();
  QImage image = client->grab().toImage();
  // On a high-density screen the grab holds more pixels than the window's
  // own; the form image keeps the client size.
  if (image.size() != client->size())
    image = image.scaled(client->size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  return FromQImage(image);
}

}  // namespace zorvane
