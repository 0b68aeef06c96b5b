// SPDX-License-Identifier: GPL-3.0-or-later
// The exports in the real window on Qt's offscreen platform: the form image
// grabbed from the window, Qt's clipboard, printing through Qt's print
// dialog into a PDF file, the save dialogs, and the help document's viewer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <fstream>
#include <functional>

#include "export/Basepanel2.h"
#include "platform/image_files.h"
#include "support/fake_programs.h"
#include "ui/window_fixture.h"

using namespace zorvane;
using namespace zorvane::testing;

namespace {

using ExportView = InstrumentWindow;

void AnswerFileDialog(const std::string& path) {
  WhenDialogOpens([path](QWidget* w) {
    auto* d = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(d, nullptr);
    d->selectFile(QString::fromStdString(path));
    static_cast<QDialog*>(d)->accept();
  });
}

}  // namespace

TEST_F(ExportView, SaveFormWritesTheWindowsClientAreaAsItShowsIt) {
  // Something on the plot that the grab must show where the plot stands.
  for (int x = 40; x < 90; ++x) form.DisplayBitmap.SetPixel(x, 100, colors::Fuchsia);
  form.SpectrumBoxPaint();
  QApplication::processEvents();
  const std::string path = dir.File("form.bmp");
  AnswerFileDialog(path);
  window.ActionFor("SaveForm1")->trigger();
  const auto saved = LoadBmpFile(path);
  ASSERT_TRUE(saved);
  QWidget* client = window.centralWidget();
  EXPECT_EQ(saved->Width(), client->width());
  EXPECT_EQ(saved->Height(), client->height());
  const QPoint plot = window.WidgetFor("SpectrumBox")->mapTo(client, QPoint(0, 0));
  for (int x = 0; x < 513; x += 7)
    for (int y = 0; y < 203; y += 5)
      ASSERT_EQ(saved->Pixel(plot.x() + x, plot.y() + y), form.DisplayBitmap.Pixel(x, y))
          << x << "," << y;
  EXPECT_EQ(saved->Pixel(2, client->height() - 2), colors::Navy);
}

TEST_F(ExportView, CopiesReachQtsClipboard) {
  QClipboard* clipboard = QApplication::clipboard();
  window.ActionFor("CopyBitmap1")->trigger();
  EXPECT_EQ(clipboard->image().convertToFormat(QImage::Format_RGB32), ToQImage(form.DisplayBitmap));
  window.ActionFor("CopyGraphic1")->trigger();
  EXPECT_EQ(clipboard->image().convertToFormat(QImage::Format_RGB32),
            ToQImage(form.BaseForm->FormImage()));
  window.ActionFor("CopyForm1")->trigger();
  EXPECT_EQ(clipboard->image().size(), window.centralWidget()->size());
}

TEST_F(ExportView, PrintGoesThroughThePrintDialogIntoAPdfFile) {
  const std::string pdf = dir.File("window.pdf");
  platform.Printer().setOutputFormat(QPrinter::PdfFormat);
  platform.Printer().setOutputFileName(QString::fromStdString(pdf));
  WhenDialogOpens([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
  window.ActionFor("Print1")->trigger();
  EXPECT_FALSE(std::filesystem::exists(pdf)) << "cancelled: nothing printed";

  WhenDialogOpens([](QWidget* w) {
    ASSERT_NE(qobject_cast<QPrintDialog*>(w), nullptr);
    qobject_cast<QDialog*>(w)->accept();
  });
  window.ActionFor("Print1")->trigger();
  const Bytes bytes = ReadFile(pdf);
  const std::string text(bytes.begin(), bytes.end());
  ASSERT_GT(text.size(), 1000u);
  EXPECT_EQ(text.substr(0, 5), "%PDF-");
  // The page holds the window's image at its own size in pixels.
  const QSize client = window.centralWidget()->size();
  EXPECT_NE(text.find("/Width " + std::to_string(client.width())), std::string::npos);
  EXPECT_NE(text.find("/Height " + std::to_string(client.height())), std::string::npos);
}

TEST_F(ExportView, HelpShowsTheDocumentAsHtmlInAWindowOfItsOwn) {
  FakePrograms fakes;
  fakes.Add("xdg-open");
  form.S.HelpPath = dir.File("ZorvaneHelp.chm");
  std::ofstream(form.S.HelpPath) << "<html><head><title>Zorvane Help</title></head>"
                                    "<body><h1>First steps</h1></body></html>";
  for (int i = 0; i < 2; ++i) window.ActionFor("HelpMenu1")->trigger();
  const auto viewers = window.findChildren<QTextBrowser*>();
  ASSERT_EQ(viewers.size(), 1) << "one viewer, shown again";
  EXPECT_TRUE(viewers[0]->isVisible() && viewers[0]->isWindow());
  EXPECT_EQ(viewers[0]->windowTitle(), "Zorvane Help");
  EXPECT_EQ(viewers[0]->toPlainText(), "First steps") << "read as HTML";
  EXPECT_FALSE(std::filesystem::exists(fakes.Log("xdg-open")));
}

TEST_F(ExportView, SaveDialogsOfferTheFileTypesAndANameTakesTheChosenTypesExtension) {
  const std::string folder = dir.File("shots");
  std::filesystem::create_directories(folder);
  QStringList filters;
  auto answer = [&](const std::string& name) {
    WhenDialogOpens([&, name](QWidget* w) {
      auto* d = qobject_cast<QFileDialog*>(w);
      filters = d->nameFilters();
      if (name.empty()) return static_cast<QDialog*>(d)->reject();
      // The user picks the second type and types a name without an extension.
      QTest::keyClick(d->findChild<QComboBox*>("fileTypeCombo"), Qt::Key_Down);
      d->selectFile(QString::fromStdString(name));
      static_cast<QDialog*>(d)->accept();
    });
  };
  answer(folder + "/plot");
  window.ActionFor("SaveBitmap1")->trigger();
  EXPECT_EQ(filters, QStringList({"Bitmap images (*.bmp)", "PNG images (*.png)", "All files (*)"}));
  EXPECT_EQ(ReadFile(folder + "/plot.png").at(1), 'P') << "a PNG file";
  answer("");
  window.ActionFor("ExportData1")->trigger();
  EXPECT_EQ(filters, QStringList({"CSV files (*.csv)", "All files (*)"}));
}
