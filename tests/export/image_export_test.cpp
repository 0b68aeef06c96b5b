// Saving, copying and printing the display: the form image, the graphic
// composed on the companion window, and the plot bitmap.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "export/Basepanel2.h"
#include "export/form_font.h"
#include "export/image_files.h"
#include "support/test_support.h"

using namespace zorvane;
using namespace zorvane::testing;

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

// The control's place in its form's client area.
std::pair<int, int> Origin(const Control* c) {
  int x = 0, y = 0;
  for (; c && c->Kind() != ControlKind::Form; c = c->Parent()) x += c->Left(), y += c->Top();
  return {x, y};
}

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    names.push_back(e.path().filename().string());
  return names;
}

}  // namespace

TEST(ImageExport, EveryCommandLeavesTheAnalyzerStoppedAndCancelledDialogsWriteNothing) {
  Rig rig;
  const int formWidth = rig.F().Self->Width(), formHeight = rig.F().Self->Height();
  struct Case {
    const char* Item;
    int ClipboardWidth, ClipboardHeight;  // 0: a dialog, cancelled
  } cases[] = {{"SaveForm1", 0, 0},
               {"SaveGraphic1", 0, 0},
               {"SaveBitmap1", 0, 0},
               {"Print1", 0, 0},
               {"CopyForm1", formWidth, formHeight},
               {"CopyGraphic1", 553, 253},
               {"CopyBitmap1", 513, 203}};
  const auto before = FilesIn(rig.dir.Path());
  for (const Case& c : cases) {
    rig.platform.Clipboard.reset();
    RunAnalyzerAnd(rig, [&] {
      if (c.ClipboardWidth == 0) rig.platform.QueueDialogAnswer(std::nullopt);
      rig.F().Find(c.Item)->Click();
    });
    EXPECT_EQ(rig.S().AnalyzerActive, 0) << c.Item;
    EXPECT_EQ(rig.S().AnalyzerStopRequested, 1) << c.Item;
    EXPECT_EQ(rig.F().StartBtn->Caption(), "START") << c.Item;
    if (c.ClipboardWidth == 0) {
      EXPECT_FALSE(rig.platform.Clipboard) << c.Item;
    } else {
      ASSERT_TRUE(rig.platform.Clipboard) << c.Item;
      EXPECT_EQ(rig.platform.Clipboard->Width(), c.ClipboardWidth) << c.Item;
      EXPECT_EQ(rig.platform.Clipboard->Height(), c.ClipboardHeight) << c.Item;
    }
  }
  EXPECT_EQ(FilesIn(rig.dir.Path()), before);
  EXPECT_EQ(rig.platform.PrintedPages, 0);
  EXPECT_TRUE(rig.platform.Messages.empty()) << rig.MessageLog();
  // Copy Bitmap hands over the plot itself.
  EXPECT_EQ(rig.platform.Clipboard->Pixels(), rig.F().DisplayBitmap.Pixels());
}

TEST(ImageExport, SaveBitmapWritesThePlotPixelForPixel) {
  Rig rig;
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
  EXPECT_GT(std::count(saved->Pixels().begin(), saved->Pixels().end(), colors::Yellow), 200)
      << "the trace is in the file";

  // A name ending in .png gives a PNG; one without an extension gets .bmp.
  rig.platform.QueueDialogAnswer(png);
  rig.F().SaveBitmap1Click();
  std::ifstream in(png, std::ios::binary);
  std::string head(24, '\0');
  in.read(head.data(), 24);
  EXPECT_EQ(head.substr(1, 3), "PNG");
  auto be32 = [&](int at) {
    return (static_cast<uint8_t>(head[at]) << 24) | (static_cast<uint8_t>(head[at + 1]) << 16) |
           (static_cast<uint8_t>(head[at + 2]) << 8) | static_cast<uint8_t>(head[at + 3]);
  };
  EXPECT_EQ(be32(16), 513);
  EXPECT_EQ(be32(20), 203);
  rig.platform.QueueDialogAnswer(rig.dir.File("plain"));
  rig.F().SaveBitmap1Click();
  EXPECT_TRUE(LoadBmpFile(rig.dir.File("plain.bmp")));
  EXPECT_TRUE(rig.platform.Messages.empty()) << rig.MessageLog();

  // A file that cannot be created is reported, and nothing is left behind.
  const std::string bad = rig.dir.File("no-such-folder/plot.bmp");
  rig.platform.QueueDialogAnswer(bad);
  rig.F().SaveBitmap1Click();
  ASSERT_EQ(rig.platform.Messages.size(), 1u);
  EXPECT_EQ(rig.platform.Messages[0].Text,
            "Cannot create file \"" + bad + "\". No such file or directory");
  EXPECT_EQ(rig.platform.Messages[0].Title, "Zorvane Function-Sweep Generator");
}

TEST(ImageExport, TheGraphicShowsThePlotAndTheLabelsInTheMainWindowsColoursAndTexts) {
  Rig rig;
  TZorvaneForm& f = rig.F();
  RunAnalyzerAnd(rig, [&] { f.StopBtnClick(); });
  // Every panel and label of the main window gets colours of its own, so
  // that a colour copied from the wrong place or property shows.
  Color next = 0x102030;
  auto distinct = [&] { return next += 0x030507; };
  for (Control* p : {f.BasePanel, f.LeftPanel, f.AmplitudePanel, f.ImagePanel, f.FreqPanel})
    p->SetColor(distinct());
  std::vector<Control*> labels = {f.Mkr1Label,     f.Mkr2Label,        f.Mkr3Label,
                                  f.Mkr4Label,     f.Mkr1Freq,         f.Mkr2Freq,
                                  f.Mkr3Freq,      f.Mkr4Freq,         f.PeakFreq,
                                  f.Mkr1AmplLabel, f.LowerFreqDisplay, f.UpperFreqDisplay};
  labels.insert(labels.end(), f.Ref, f.Ref + 11);
  for (Control* l : labels) {
    l->SetColor(distinct());
    l->SetFontColor(distinct());
  }
  f.Mkr2Freq->SetCaption("4321.5");
  f.LowerFreqDisplay->SetCaption("120");
  f.UpperFreqDisplay->SetCaption("9000");
  f.SetScaleLabels(2);  // the time display's scale, which also moves the labels

  const std::string path = rig.dir.File("graphic.bmp");
  rig.platform.QueueDialogAnswer(path);
  f.SaveGraphic1Click();
  const auto g = LoadBmpFile(path);
  ASSERT_TRUE(g);
  ASSERT_EQ(g->Width(), 553);
  ASSERT_EQ(g->Height(), 253);

  // The plot at the paint box's place; the box is three columns wider.
  EXPECT_TRUE(SameRegion(*g, 33, 24, f.DisplayBitmap));
  for (int y = 24; y < 227; ++y)
    for (int x = 546; x < 549; ++x) ASSERT_EQ(g->Pixel(x, y), f.ImagePanel->BackColor());
  // Panels, where no label covers them.
  EXPECT_EQ(g->Pixel(1, 100), f.BasePanel->BackColor());
  EXPECT_EQ(g->Pixel(551, 250), f.BasePanel->BackColor());
  EXPECT_EQ(g->Pixel(4, 5), f.LeftPanel->BackColor());
  EXPECT_EQ(g->Pixel(545, 10), f.AmplitudePanel->BackColor());
  EXPECT_EQ(g->Pixel(450, 240), f.FreqPanel->BackColor());

  // Every label at its design place on the companion window, with the main
  // window's text, background and font colour: the text drawn on its own
  // background there, pixel for pixel.
  struct Place {
    Control* From;
    int Left, Top;  // in the graphic; for a right-aligned label Left is its right edge
    int Pixels, Height, PanelBottom;
    bool Right = false;
  };
  std::vector<Place> places;
  const std::pair<Control*, int> amplitude[] = {
      {f.Mkr1Label, 8},   {f.Mkr1Freq, 72},  {f.Mkr2Label, 136}, {f.Mkr2Freq, 200},
      {f.Mkr3Label, 264}, {f.Mkr3Freq, 328}, {f.Mkr4Label, 392}, {f.Mkr4Freq, 456}};
  for (const auto& [label, left] : amplitude) places.push_back({label, 33 + left, 2, 17, 20, 24});
  const std::pair<Control*, int> freq[] = {
      {f.LowerFreqDisplay, 8}, {f.Mkr1AmplLabel, 160}, {f.PeakFreq, 304}};
  for (const auto& [label, left] : freq) places.push_back({label, 3 + left, 227, 17, 20, 249});
  places.push_back({f.UpperFreqDisplay, 3 + 504 + 36, 227, 17, 20, 249, true});
  const int refTops[11] = {16, 33, 54, 74, 94, 114, 134, 155, 174, 194, 210};
  for (int i = 0; i < 11; ++i)
    places.push_back({f.Ref[i], 3 + (i == 0 ? 8 : 2), 2 + refTops[i], 13, 16, 227});
  for (const Place& p : places) {
    const FontSpec font{p.Pixels, false};
    const std::string& text = p.From->Caption();
    const int width = TextWidth(text, font);
    const int left = p.Right ? p.Left - width : p.Left;
    Bitmap expected(width, std::min(p.Height, p.PanelBottom - p.Top), p.From->BackColor());
    DrawText(expected, 0, (p.Height - LineHeight(font)) / 2, text, font, p.From->FontColor(),
             {0, 0, width, p.Height});
    EXPECT_TRUE(SameRegion(*g, left, p.Top, expected)) << p.From->Name() << " \"" << text << "\"";
  }
  EXPECT_EQ(f.BaseForm->PlotImage, &f.DisplayBitmap) << "the plot is shared, not copied";
  EXPECT_TRUE(rig.platform.Messages.empty()) << rig.MessageLog();
}

TEST(ImageExport, FormImagesAreTakenBeforeTheStopAndShowTheWindowAsItWas) {
  Rig rig;
  TZorvaneForm& f = rig.F();
  const std::string path = rig.dir.File("form.bmp");
  RunAnalyzerAnd(rig, [&] {
    rig.platform.QueueDialogAnswer(path);
    f.SaveForm1Click();
  });
  EXPECT_EQ(f.StartBtn->Caption(), "START");
  const auto saved = LoadBmpFile(path);
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->Width(), 786);
  EXPECT_EQ(saved->Height(), f.Self->Height());
  const auto [plotX, plotY] = Origin(f.SpectrumBox);
  EXPECT_TRUE(SameRegion(*saved, plotX, plotY, f.DisplayBitmap));
  // The START button still read STOP when the image was taken.
  EXPECT_NE(saved->Pixels(), f.FormImage().Pixels());
  f.StartBtn->SetCaption("STOP");
  EXPECT_EQ(saved->Pixels(), f.FormImage().Pixels());

  // Captions and their colours are drawn where the buttons stand.
  auto count = [&](const Bitmap& image, const Control* c, Color colour) {
    const auto [x0, y0] = Origin(c);
    int n = 0;
    for (int y = y0; y < y0 + c->Height(); ++y)
      for (int x = x0; x < x0 + c->Width(); ++x) n += image.Pixel(x, y) == colour;
    return n;
  };
  // The output runs: its button reads ON in red; switched off, OFF in blue.
  EXPECT_EQ(count(*saved, f.OutputBtn, colors::Blue), 0);
  EXPECT_GT(count(*saved, f.OutputBtn, colors::Red), 0);
  f.OutputBtnClick();
  const Bitmap off = f.FormImage();
  EXPECT_EQ(count(off, f.OutputBtn, colors::Red), 0);
  EXPECT_GT(count(off, f.OutputBtn, colors::Blue), 0);
}

TEST(ImageExport, PrintStopsFirstAndPrintsTheFormImage) {
  Rig rig;
  const std::string page = rig.dir.File("page.bmp");
  RunAnalyzerAnd(rig, [&] {
    rig.platform.QueueDialogAnswer(page);
    rig.F().Print1Click();
  });
  EXPECT_EQ(rig.platform.PrintedPages, 1);
  const auto printed = LoadBmpFile(page);
  ASSERT_TRUE(printed);
  EXPECT_EQ(printed->Pixels(), rig.F().FormImage().Pixels()) << "printed after the stop";

  // Print works (and stops nothing) while the analyzer is idle, and a
  // printer that fails is reported.
  rig.platform.QueueDialogAnswer(rig.dir.File("no-such-folder/page.bmp"));
  rig.F().Print1Click();
  EXPECT_EQ(rig.platform.PrintedPages, 2);
  EXPECT_EQ(rig.MessageLog(), "[Zorvane Function-Sweep Generator] Printing failed");
}
