// The exports in the real window on Qt's offscreen platform: the form image
// grabbed from the window, Qt's clipboard, printing through Qt's print
// dialog into a PDF file, and the help document handed to the opener.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>
#include <fstream>
#include <functional>

#include "export/Basepanel2.h"
#include "export/image_files.h"
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

TEST_F(ExportView, TheHelpDocumentReachesTheOpenerIntact) {
  FakePrograms fakes;
  const std::string opener = fakes.Add("xdg-open");
  const std::string folder = dir.File("my \"help\" isn't; $HOME");
  std::filesystem::create_directories(folder);
  form.S.HelpPath = folder + "/ZorvaneHelp.chm";
  std::ofstream(form.S.HelpPath) << "<html></html>";
  window.ActionFor("HelpMenu1")->trigger();
  const auto run = fakes.Recorded("xdg-open");
  EXPECT_EQ(run.Path, opener);
  EXPECT_EQ(run.Args, std::vector<std::string>{form.S.HelpPath});
}
