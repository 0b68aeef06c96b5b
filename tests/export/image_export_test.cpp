// SPDX-License-Identifier: GPL-3.0-or-later
// Saving, copying and printing the display: the form image, the graphic
// composed on the companion window, and the plot bitmap.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "export/Basepanel2.h"
#include "export/form_font.h"
#include "platform/image_files.h"
#include "support/test_support.h"

using namespace zorvane;
using namespace zorvane::testing;
using ImageExport = InstrumentTest;

namespace {

// The analyzer running on a 1000 Hz tone; `during` runs inside its loop
// after half a second, as a menu click would.
void RunAnalyzerAnd(Rig& rig, std::function<void()> during) {
  rig.S().FunctionFrequency = rig.S().OutputFrequency = 1000.0f;
  if (rig.S().OutputOn == 0) rig.F().OutputBtnClick();
  rig.At(500, std::move(during));
  rig.F().StartBtnClick();
}

bool SameRegion(const Bitmap& image, int left, int top, const Bitmap& part) {
  for (int y = 0; y < part.Height(); ++y)
    for (int x = 0; x < part.Width(); ++x)
      if (image.Pixel(left + x, top + y) != part.Pixel(x, y)) return false;
  return true;
}

}  // namespace

TEST_F(ImageExport, EveryCommandLeavesTheAnalyzerStoppedAndCancelledDialogsWriteNothing) {
  const Control* form = rig.F().Self;
  struct Case {
    const char* Item;
    int Width, Height;  // of the clipboard's image; 0 for a dialog, cancelled
  } cases[] = {{"SaveForm1", 0, 0},
               {"SaveGraphic1", 0, 0},
               {"SaveBitmap1", 0, 0},
               {"Print1", 0, 0},
               {"CopyForm1", form->Width(), form->Height()},
               {"CopyGraphic1", 553, 253},
               {"CopyBitmap1", 513, 203}};
  for (const Case& c : cases) {
    rig.platform.Clipboard.reset();
    RunAnalyzerAnd(rig, [&] {
      if (c.Width == 0) rig.platform.QueueDialogAnswer(std::nullopt);
      rig.F().Find(c.Item)->Click();
    });
    EXPECT_EQ(rig.S().AnalyzerActive, 0) << c.Item;
    EXPECT_EQ(rig.platform.Clipboard ? rig.platform.Clipboard->Width() : 0, c.Width) << c.Item;
    EXPECT_EQ(rig.platform.Clipboard ? rig.platform.Clipboard->Height() : 0, c.Height) << c.Item;
  }
  EXPECT_TRUE(std::filesystem::is_empty(rig.dir.Path())) << "nothing written";
  EXPECT_EQ(rig.platform.PrintedPages, 0);
  EXPECT_TRUE(rig.platform.Messages.empty()) << rig.MessageLog();
  EXPECT_EQ(rig.platform.Clipboard->Pixels(), rig.F().DisplayBitmap.Pixels());
}

TEST_F(ImageExport, SaveBitmapWritesThePlotPixelForPixel) {
  const std::string bmp = rig.dir.File("plot.bmp"), png = rig.dir.File("plot.png");
  RunAnalyzerAnd(rig, [&] {
    rig.platform.QueueDialogAnswer(bmp);
    rig.F().Find("SaveBitmap1")->Click();
  });
  EXPECT_EQ(rig.S().AnalyzerActive, 0);
  const auto saved = LoadBmpFile(bmp);
  ASSERT_TRUE(saved);
  ASSERT_EQ(saved->Width(), 513);
  ASSERT_EQ(saved->Height(), 203);
  EXPECT_EQ(saved->Pixels(), rig.F().DisplayBitmap.Pixels());

  // A name ending in .png gives a PNG (its header: 513 x 203).
  rig.platform.QueueDialogAnswer(png);
  rig.F().SaveBitmap1Click();
  std::string head(24, '\0');
  std::ifstream(png, std::ios::binary).read(head.data(), 24);
  EXPECT_EQ(head.substr(1, 3), "PNG");
  EXPECT_EQ(head.substr(16, 8), std::string("\0\0\x02\x01\0\0\0\xcb", 8));

  // A file that cannot be created is reported.
  const std::string bad = rig.dir.File("no-such-folder/plot.bmp");
  rig.platform.QueueDialogAnswer(bad);
  rig.F().SaveBitmap1Click();
  EXPECT_EQ(rig.MessageLog(), "[Zorvane Function-Sweep Generator] Cannot create file \"" + bad +
                                  "\". No such file or directory");
}

TEST_F(ImageExport, TheGraphicShowsThePlotAndTheLabelsInTheMainWindowsColoursAndTexts) {
  RunAnalyzerAnd(rig, [&] { f.StopBtnClick(); });
  // Every panel and label of the main window gets colours of its own, so
  // that a colour copied from the wrong place or property shows.
  Color next = 0x102030;
  for (Control* p : {f.BasePanel, f.LeftPanel, f.AmplitudePanel, f.ImagePanel, f.FreqPanel})
    p->SetColor(next += 0x030507);
  // Each label with its place in the graphic (x of the right edge for the
  // right-aligned one), its font's pixels and the bottom of its panel.
  struct Place {
    Control* From;
    int X, Y, Pixels, Bottom;
  };
  const std::vector<Place> places = {
      {f.Mkr1Label, 41, 2, 17, 24},    {f.Mkr2Freq, 233, 2, 17, 24},
      {f.Mkr4Freq, 489, 2, 17, 24},    {f.LowerFreqDisplay, 11, 227, 17, 249},
      {f.PeakFreq, 307, 227, 17, 249}, {f.UpperFreqDisplay, 543, 227, 17, 249},
      {f.Ref[0], 11, 2 + 16, 13, 227}, {f.Ref[3], 5, 2 + 74, 13, 227},
      {f.Ref[10], 5, 2 + 210, 13, 227}};
  for (const Place& p : places) {
    p.From->SetColor(next += 0x030507);
    p.From->SetFontColor(next += 0x030507);
  }
  f.Mkr2Freq->SetCaption("4321.5");
  f.LowerFreqDisplay->SetCaption("120");
  f.UpperFreqDisplay->SetCaption("9000");
  f.SetScaleLabels(2);  // the time display's labels, which also move on the main window

  const std::string path = rig.dir.File("graphic.bmp");
  rig.platform.QueueDialogAnswer(path);
  f.SaveGraphic1Click();
  const auto g = LoadBmpFile(path);
  ASSERT_TRUE(g);
  ASSERT_EQ(g->Width(), 553);
  ASSERT_EQ(g->Height(), 253);
  // The plot at the paint box's place; the box is three columns wider.
  EXPECT_TRUE(SameRegion(*g, 33, 24, f.DisplayBitmap));
  EXPECT_TRUE(SameRegion(*g, 546, 24, Bitmap(3, 203, f.ImagePanel->BackColor())));
  // Panels, where no label covers them.
  EXPECT_EQ(g->Pixel(4, 5), f.LeftPanel->BackColor());
  EXPECT_EQ(g->Pixel(450, 240), f.FreqPanel->BackColor());
  // Every label at its design place on the companion window with the main
  // window's text and colours: the text drawn on its own background there.
  for (const Place& p : places) {
    const FontStyle font{p.Pixels, false};
    const std::string& text = p.From->Caption();
    const int width = TextWidth(text, font), height = p.Pixels == 13 ? 16 : 20;
    Bitmap expected(width, std::min(height, p.Bottom - p.Y), p.From->BackColor());
    DrawText(expected, 0, (height - LineHeight(font)) / 2, text, font, p.From->FontColor(),
             {0, 0, width, height});
    const int x = p.From == f.UpperFreqDisplay ? p.X - width : p.X;
    EXPECT_TRUE(SameRegion(*g, x, p.Y, expected)) << p.From->Name() << " \"" << text << "\"";
  }
}

TEST_F(ImageExport, FormImagesAreTakenBeforeTheStopAndPrintedAfterIt) {
  const std::string path = rig.dir.File("form.bmp"), page = rig.dir.File("page.bmp");
  RunAnalyzerAnd(rig, [&] {
    rig.platform.QueueDialogAnswer(path);
    f.SaveForm1Click();
  });
  const auto saved = LoadBmpFile(path);
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->Width(), 786);
  EXPECT_EQ(saved->Height(), f.Self->Height());
  int plotX = 0, plotY = 0;
  for (const Control* c = f.SpectrumBox; c != f.Self; c = c->Parent())
    plotX += c->Left(), plotY += c->Top();
  EXPECT_TRUE(SameRegion(*saved, plotX, plotY, f.DisplayBitmap));
  // The START button still read STOP when the image was taken.
  EXPECT_NE(saved->Pixels(), f.FormImage().Pixels());
  f.StartBtn->SetCaption("STOP");
  EXPECT_EQ(saved->Pixels(), f.FormImage().Pixels());

  // Print stops first, then prints the form image.
  RunAnalyzerAnd(rig, [&] {
    rig.platform.QueueDialogAnswer(page);
    f.Print1Click();
  });
  const auto printed = LoadBmpFile(page);
  ASSERT_TRUE(printed);
  EXPECT_EQ(printed->Pixels(), f.FormImage().Pixels());
  rig.platform.QueueDialogAnswer(rig.dir.File("no-such-folder/page.bmp"));
  f.Print1Click();
  EXPECT_EQ(rig.platform.PrintedPages, 2);
  EXPECT_EQ(rig.MessageLog(), "[Zorvane Function-Sweep Generator] Printing failed");
}
