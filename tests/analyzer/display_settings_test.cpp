// The display modes with their remembered settings, the scale buttons and
// labels, the reference level, and the colour and cursor menus.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <sstream>
#include <string>

#include "analyzer/rendering.h"
#include "app/script.h"
#include "export/image_files.h"
#include "support/test_support.h"

using namespace zorvane;
using namespace zorvane::testing;
namespace c = colors;

namespace {

class Display : public ::testing::Test {
 protected:
  Rig rig;
  TZorvaneForm& f = rig.F();
  AppState& S = rig.S();

  void Click(const char* name) { f.Find(name)->Click(); }
  bool Checked(const char* name) { return f.Find(name)->Checked(); }
  std::string Labels() {
    std::string s;
    for (Control* r : f.Ref) s += "[" + r->Caption() + "]";
    return s;
  }
  void ZeroFrame() {
    std::fill(S.DisplayValues, S.DisplayValues + kArrayLen, 0.0f);
    f.ClearPlot();
    f.RenderDisplay(S.GraphType, S.DisplayValues);
  }
  int Count(Color colour) {
    const auto& p = f.DisplayBitmap.Pixels();
    return static_cast<int>(std::count(p.begin(), p.end(), colour));
  }
};

TEST_F(Display, TheTimeDisplayKeepsItsOwnRateSizeGainAndReference) {
  ASSERT_EQ(f.ProcessGainTrackBar->Position(), 7);
  f.RefScrollBar->UserScroll(120);
  Click("TimeDisplay");
  EXPECT_TRUE(Checked("TimeDisplay"));
  EXPECT_FALSE(Checked("Frequency1"));
  EXPECT_EQ(S.DisplayMode, 2);
  // The time display's first visit: its remembered gain 0 lands on the
  // track bar's lowest position, read from the time column.
  EXPECT_EQ(f.ProcessGainTrackBar->Position(), 1);
  EXPECT_FLOAT_EQ(S.InputGain, 0.01f / 256.0f);
  EXPECT_EQ(f.RefScrollBar->Position(), 150);
  EXPECT_EQ(S.TimeDcOffset, 4 * 150 - 700);

  // Choices made while the time display is shown ...
  Click("N80001");
  Click("N40961");
  f.ProcessGainTrackBar->UserScroll(12);
  f.RefScrollBar->UserScroll(260);
  Click("Frequency1");
  // ... do not leak into the frequency display,
  EXPECT_EQ(S.SampleRate, 44100);
  EXPECT_EQ(S.TransformSize, 1024);
  EXPECT_EQ(S.SizeFactor, 1);
  EXPECT_EQ(f.ProcessGainTrackBar->Position(), 7);
  EXPECT_FLOAT_EQ(S.InputGain, 10.0f);
  EXPECT_EQ(f.RefScrollBar->Position(), 120);
  EXPECT_EQ(S.RefLevelY, 204 - 120);
  EXPECT_TRUE(Checked("N441001"));
  EXPECT_FALSE(Checked("N80001"));
  EXPECT_TRUE(Checked("N10241"));
  EXPECT_FALSE(Checked("N40961"));
  EXPECT_EQ(S.SavedBoardFormat.SampleRate, 44100);

  // ... and come back with the time display, the reference position too,
  // although it lies above the spectrum displays' range.
  Click("N220501");
  Click("TimeDisplay");
  EXPECT_EQ(S.SampleRate, 8000);
  EXPECT_EQ(S.TransformSize, 4096);
  EXPECT_EQ(f.ProcessGainTrackBar->Position(), 12);
  EXPECT_FLOAT_EQ(S.InputGain, 0.08f);
  EXPECT_EQ(f.RefScrollBar->Position(), 260);
  EXPECT_EQ(S.TimeDcOffset, 4 * 260 - 700);

  // Leaving through the waterfall restores the spectrum set just the same.
  f.RefScrollBar->UserScroll(290);
  Click("Waterfall1");
  EXPECT_EQ(S.DisplayMode, 3);
  EXPECT_EQ(S.SampleRate, 22050);
  EXPECT_EQ(S.TransformSize, 1024);
  EXPECT_EQ(f.ProcessGainTrackBar->Position(), 7);
  EXPECT_EQ(f.RefScrollBar->Position(), 120);
  EXPECT_EQ(S.TimeViewSampleRate, 8000);
  EXPECT_EQ(S.TimeViewTransformSize, 4096);
  EXPECT_EQ(S.TimeViewGain, 12);
  EXPECT_EQ(S.TimeViewRefPosition, 290);
  Click("TimeDisplay");
  EXPECT_EQ(f.RefScrollBar->Position(), 290);
  EXPECT_EQ(S.TimeDcOffset, 4 * 290 - 700);
}

TEST_F(Display, RememberedValuesNoMenuOffersAreOnlyStored) {
  // A rate and a size no menu item offers (from an old settings file) are
  // put in force without touching the check marks; a resolution outside the
  // button's cycle leaves the button as it is.
  S.TimeViewSampleRate = 16000;
  S.TimeViewTransformSize = 512;
  Click("TimeDisplay");
  EXPECT_EQ(S.SampleRate, 16000);
  EXPECT_EQ(S.TransformSize, 512);
  EXPECT_TRUE(Checked("N441001"));
  EXPECT_TRUE(Checked("N10241"));
  EXPECT_EQ(S.FreqViewSampleRate, 44100);

  S.FreqViewResolution = 7;
  Click("Frequency1");
  EXPECT_EQ(S.SampleRate, 44100);
  EXPECT_EQ(S.TimeViewSampleRate, 16000);
  EXPECT_EQ(S.VerticalResolutionIndex, 7);
  EXPECT_EQ(f.VerticalResBtn->Caption(), "5 dB") << "left as the time display set it";
  Click("VerticalResBtn");
  EXPECT_EQ(S.VerticalResolutionIndex, 7);
  EXPECT_EQ(f.VerticalResBtn->Caption(), "5 dB");
}

TEST_F(Display, TheWaterfallHistoryIsWipedOnTheWayIntoTheWaterfallAndTheTimeDisplay) {
  auto mark = [&] { f.WaterfallBitmap.SetPixel(40, 30, c::Red); };
  auto marked = [&] { return f.WaterfallBitmap.Pixel(40, 30) == c::Red; };
  mark();
  Click("Frequency1");
  EXPECT_TRUE(marked());
  EXPECT_EQ(S.TimeViewVerticalAxis, 0);
  Click("Waterfall1");
  EXPECT_FALSE(marked());
  EXPECT_EQ(S.TimeViewVerticalAxis, 2);
  mark();
  Click("White1");
  EXPECT_TRUE(marked()) << "a new background keeps the history";
  Click("TimeDisplay");
  EXPECT_EQ(f.WaterfallBitmap.Pixel(40, 30), c::White);
  EXPECT_EQ(f.DisplayBitmap.Pixel(40, 30), c::White);
  mark();
  Click("Waterfall1");
  EXPECT_EQ(f.WaterfallBitmap.Pixel(40, 30), c::White);
}

TEST_F(Display, TheTimeOffsetFollowsTheTrackBarEvenWhenItDoesNotMove) {
  // The reference position is already the time display's (150): no change
  // event, yet the offset must be the time display's.
  f.RefScrollBar->UserScroll(150);
  ASSERT_EQ(S.TimeDcOffset, 120);
  Click("TimeDisplay");
  EXPECT_EQ(S.TimeDcOffset, -100);
  EXPECT_EQ(S.FreqViewRefPosition, 150);

  const struct { int position, offset; } cases[] = {{175, 0}, {0, -700}, {301, 504}, {400, 504}};
  for (const auto& k : cases) {
    f.RefScrollBar->UserScroll(k.position);
    EXPECT_EQ(S.TimeDcOffset, k.offset) << k.position;
    EXPECT_EQ(S.TimeViewRefPosition, std::min(k.position, 301));
  }
  EXPECT_EQ(S.RefLevelY, 204 - 150) << "the reference line is left alone";
}

TEST_F(Display, TheTimeDisplayHasOneResolutionAndNoSpectrumControls) {
  Click("VerticalResBtn");
  Click("VerticalResBtn");  // 2 dB
  Click("VerticalBtn");     // LOG 2
  Click("TimeDisplay");
  EXPECT_EQ(f.VerticalResBtn->Caption(), "5 dB");
  EXPECT_EQ(f.VerticalResBtn->FontColor(), c::Red);
  EXPECT_FLOAT_EQ(S.VerticalScale, 2.0f);
  EXPECT_EQ(S.VerticalAxisMode, 0);
  EXPECT_EQ(Labels(),
            "[ 50][   40][   30][   20][   10][    0][  -10][  -20][  -30][  -40][  -50]");
  for (int i = 0; i < 3; ++i) {
    Click("VerticalResBtn");
    EXPECT_EQ(f.VerticalResBtn->Caption(), "5 dB");
    EXPECT_EQ(S.TimeViewResolution, 1);
  }
  EXPECT_EQ(f.Ref[0]->Caption(), " 50");
  for (Control* c : {f.VerticalBtn, f.HorizontalBtn, f.LineBarBtn}) EXPECT_FALSE(c->Enabled());
  for (Control* c : {f.LowerFreqDisplay, f.UpperFreqDisplay, f.Mkr1AmplLabel, f.PeakFreq})
    EXPECT_FALSE(c->Visible()) << c->Name();
  Click("VerticalBtn");
  EXPECT_EQ(S.VerticalAxisMode, 0) << "a disabled button does nothing";
  EXPECT_EQ(S.GridOn, 1);

  Click("Frequency1");
  EXPECT_EQ(f.VerticalResBtn->Caption(), "2 dB");
  EXPECT_FLOAT_EQ(S.VerticalScale, 5.0f);
  EXPECT_EQ(f.Ref[10]->Caption(), "20");
  EXPECT_EQ(f.VerticalBtn->Caption(), "LOG 2");
  EXPECT_EQ(S.VerticalAxisMode, 1);
  for (Control* c : {f.VerticalBtn, f.HorizontalBtn, f.LineBarBtn}) EXPECT_TRUE(c->Enabled());
  EXPECT_TRUE(f.PeakFreq->Visible());
}

TEST_F(Display, TheWaterfallHasNoScaleAndNoGraticule) {
  Click("VerticalResBtn");  // 5 dB
  Click("Waterfall1");
  EXPECT_EQ(Labels(),
            "[---][  ---][  ---][  ---][  ---][  ---][  ---][  ---][  ---][  ---][  ---]");
  EXPECT_EQ(S.GridOn, 0);
  EXPECT_EQ(f.RefScrollBar->Max(), 202);
  ZeroFrame();
  EXPECT_EQ(Count(c::Teal), 0);
  EXPECT_EQ(Count(c::Red), 0) << "no centre line without the graticule";

  Click("Frequency1");
  EXPECT_EQ(S.GridOn, 1);
  EXPECT_EQ(Labels(), "[ 0][ 5][10][15][20][25][30][35][40][45][50]");
  ZeroFrame();
  EXPECT_EQ(f.DisplayBitmap.Pixel(100, 40), c::Teal);
}

TEST_F(Display, ResolutionStepsLineUpSingleDigitLabels) {
  // Design left 8 for single digits, 2 for two digits and 0 for three, in
  // the window's scaled pixels: where the form put labels 0, 1 and 10.
  const int right = f.Ref[0]->Left(), two = f.Ref[1]->Left(), three = f.Ref[10]->Left();
  ASSERT_GT(right, two);
  const struct {
    const char* caption;
    Color font;
    float scale;
    const char* ref3;
    int lastSingleDigit;
    int ref10Left;
  } steps[] = {{"5 dB", c::Red, 2.0f, "15", 1, two},
               {"2 dB", c::Green, 5.0f, "6", 4, two},
               {"1 dB", c::Fuchsia, 10.0f, "3", 9, two},
               {"10 dB", c::Blue, 1.0f, "30", 0, three}};
  for (const auto& s : steps) {
    Click("VerticalResBtn");
    EXPECT_EQ(f.VerticalResBtn->Caption(), s.caption);
    EXPECT_EQ(f.VerticalResBtn->FontColor(), s.font);
    EXPECT_FLOAT_EQ(S.VerticalScale, s.scale);
    EXPECT_EQ(f.Ref[3]->Caption(), s.ref3);
    for (int i = 1; i <= 9; ++i)
      EXPECT_EQ(f.Ref[i]->Left(), i <= s.lastSingleDigit ? right : two) << s.caption << " " << i;
    EXPECT_EQ(f.Ref[10]->Left(), s.ref10Left) << s.caption;
    EXPECT_EQ(f.Ref[0]->Left(), right);
  }
  EXPECT_EQ(S.FreqViewResolution, 0);
}

TEST_F(Display, AxisButtonsCycleAndRefreshTheReadouts) {
  const struct {
    const char* caption;
    Color font;
    int mode;
  } axis[] = {{"LOG 2", c::Blue, 1}, {"LINEAR", c::Fuchsia, 0}, {"LOG 10", c::Red, 2}};
  for (const auto& a : axis) {
    Click("VerticalBtn");
    EXPECT_EQ(f.VerticalBtn->Caption(), a.caption);
    EXPECT_EQ(f.VerticalBtn->FontColor(), a.font);
    EXPECT_EQ(S.VerticalAxisMode, a.mode);
    EXPECT_EQ(S.FreqViewVerticalAxis, a.mode);
  }
  S.VerticalAxisMode = 7;  // outside the cycle: the button stays as it is
  Click("VerticalBtn");
  EXPECT_EQ(f.VerticalBtn->Caption(), "LOG 10");

  f.LoFreqScrollBar->UserScroll(100);
  const std::string linearLow = f.LowerFreqDisplay->Caption();
  Click("HorizontalBtn");
  EXPECT_EQ(S.HorizontalScale, 2);
  EXPECT_EQ(f.HorizontalBtn->Caption(), "LOG");
  EXPECT_EQ(f.LowerFreqDisplay->Caption(), std::to_string(f.LogAxisFrequency(100, 1)));
  EXPECT_NE(f.LowerFreqDisplay->Caption(), linearLow);
  Click("HorizontalBtn");
  EXPECT_EQ(f.HorizontalBtn->Caption(), "LINEAR");
  EXPECT_EQ(f.HorizontalBtn->FontColor(), c::Red);
  EXPECT_EQ(f.LowerFreqDisplay->Caption(), linearLow);
}

TEST_F(Display, ReferenceLineAndCentreLine) {
  Click("Frequency1");  // the spectrum range 0..201
  f.RefScrollBar->UserScroll(0);
  ZeroFrame();
  EXPECT_EQ(Count(c::Silver), 0);
  f.RefScrollBar->UserScroll(150);
  EXPECT_EQ(S.FreqViewRefPosition, 150);
  ZeroFrame();
  EXPECT_EQ(f.DisplayBitmap.Pixel(300, 51), c::Silver);
  EXPECT_EQ(f.DisplayBitmap.Pixel(300, 50), c::Black);

  EXPECT_EQ(f.DisplayBitmap.Pixel(256, 150), c::Red);
  Click("OFF1");
  EXPECT_TRUE(Checked("OFF1"));
  EXPECT_FALSE(Checked("ON1"));
  ZeroFrame();
  EXPECT_EQ(f.DisplayBitmap.Pixel(256, 150), c::Teal) << "only the graticule's line";
  Click("ON1");
  EXPECT_EQ(S.RefLineOn, 1);
  EXPECT_FALSE(Checked("OFF1"));
}

TEST_F(Display, NoSwitchWhileSweeping) {
  Click("VerticalResBtn");
  S.SweepRunning = 1;
  const std::string labels = Labels();
  for (const char* item : {"TimeDisplay", "Waterfall1", "Frequency1"}) {
    Click(item);
    EXPECT_EQ(S.DisplayMode, 1) << item;
  }
  EXPECT_EQ(rig.MessageLog(),
            "[Error Message] Cannot change the display mode while sweeping\n | "
            "[Error Message] Cannot change the display mode while sweeping\n | "
            "[Error Message] Cannot change the display mode while sweeping\n");
  EXPECT_TRUE(Checked("Frequency1"));
  EXPECT_FALSE(Checked("TimeDisplay"));
  EXPECT_EQ(Labels(), labels);
  EXPECT_EQ(S.GridOn, 1);
  EXPECT_EQ(f.RefScrollBar->Max(), 201);
  EXPECT_EQ(f.ProcessGainTrackBar->Max(), 18);
  EXPECT_TRUE(f.PeakFreq->Visible());
}

TEST_F(Display, ColourAndCursorMenusAreRadioGroups) {
  const char* trace[] = {"Black2", "Aqua1", "Lime1", "Red1", "Yellow1", "White2"};
  for (int i = 0; i < 6; ++i) {
    Click(trace[i]);
    EXPECT_EQ(S.TraceColorIndex, i);
    for (int j = 0; j < 6; ++j) EXPECT_EQ(Checked(trace[j]), i == j) << trace[i];
  }
  f.CheckTraceColorItem(6);
  EXPECT_TRUE(Checked("White2"));

  const struct {
    const char* item;
    int map;
  } waterfall[] = {{"PsuedoColor1", 4}, {"Red3", 6},      {"Green2", 7},
                   {"Blue2", 8},        {"RedGreen2", 9}, {"BlackandWhite1", 5}};
  for (const auto& w : waterfall) {
    Click(w.item);
    EXPECT_EQ(S.WaterfallColorMap, w.map);
    for (const auto& other : waterfall) EXPECT_EQ(Checked(other.item), &other == &w) << w.item;
  }
  f.CheckWaterfallColorItem(10);
  f.CheckWaterfallColorItem(3);
  EXPECT_TRUE(Checked("BlackandWhite1"));

  // At start-up "Arrow" is checked over the standard arrow although the
  // shape is the cross.
  EXPECT_TRUE(Checked("Arrow1"));
  EXPECT_EQ(S.CursorShape, 1);
  EXPECT_TRUE(f.SpectrumBox->Cursor() == 0 || f.SpectrumBox->Cursor() == 2);
  const struct {
    const char* item;
    int shape;
  } cursors[] = {{"Cross1", 1}, {"Magnify1", 3}, {"Arrow1", 2}};
  for (const auto& k : cursors) {
    Click(k.item);
    EXPECT_EQ(S.CursorShape, k.shape);
    EXPECT_EQ(f.SpectrumBox->Cursor(), k.shape);
    for (const auto& other : cursors) EXPECT_EQ(Checked(other.item), &other == &k) << k.item;
  }
  f.SetCursorShape(4);
  EXPECT_EQ(f.SpectrumBox->Cursor(), 2);
  EXPECT_TRUE(Checked("Arrow1"));
}

TEST_F(Display, BackgroundRecoloursPanelsAndLabels) {
  Click("White1");
  EXPECT_EQ(S.BackgroundWhite, 5);
  EXPECT_TRUE(Checked("White1"));
  EXPECT_FALSE(Checked("Black1"));
  EXPECT_EQ(f.BasePanel->BackColor(), c::Silver);
  for (Control* k :
       {f.LeftPanel, f.AmplitudePanel, f.FreqPanel, f.ImagePanel, f.SpectrumBox, f.Ref[0],
        f.Mkr1AmplLabel, f.Mkr4Freq, f.PeakFreq, f.Mkr2Label, f.UpperFreqDisplay})
    EXPECT_EQ(k->BackColor(), c::White) << k->Name();
  for (Control* k : {f.Ref[0], f.Ref[10], f.Mkr1AmplLabel, f.Mkr3Label, f.LowerFreqDisplay,
                     f.Mkr1Freq, f.PeakFreq})
    EXPECT_EQ(k->FontColor(), c::Black) << k->Name();
  ZeroFrame();
  EXPECT_EQ(f.DisplayBitmap.Pixel(30, 10), c::White);

  Click("Black1");
  EXPECT_EQ(f.BasePanel->BackColor(), c::Yellow);
  EXPECT_EQ(f.LeftPanel->BackColor(), c::Black);
  EXPECT_EQ(f.Ref[5]->FontColor(), c::Lime);
  EXPECT_EQ(f.Mkr2Label->FontColor(), c::Yellow);
  EXPECT_EQ(f.UpperFreqDisplay->FontColor(), c::Aqua);
}

// Through the remote control, with the loopback playing a 1000 Hz tone.
class DisplayWithTone : public ::testing::Test {
 protected:
  Rig rig;
  TempDir pictures;
  std::vector<std::string> out, err;
  ScriptRunner runner{rig.F(), rig.platform, [this](const std::string& l) { out.push_back(l); },
                      [this](const std::string& l) { err.push_back(l); }};
  std::optional<Bitmap> Run(const std::string& body) {
    const std::string file = pictures.File("plot.bmp");
    std::istringstream in("set FrequencyDisplay 1000\nkey FrequencyDisplay \\r\nclick OutputBtn\n" +
                          body + "click StartBtn\nwait 1500\nbitmap " + file +
                          "\nclick StartBtn\n");
    EXPECT_EQ(runner.Run(in), 0);
    EXPECT_TRUE(err.empty());
    EXPECT_TRUE(rig.platform.Messages.empty()) << rig.MessageLog();
    return LoadBmpFile(file);
  }
};

TEST_F(DisplayWithTone, TheWaterfallShowsTheToneInThePseudoColourOfItsLevel) {
  const auto plot = Run("click Waterfall1\n");
  ASSERT_TRUE(plot);
  const AppState& S = rig.S();
  const float* v = S.DisplayValues;
  const int peak = static_cast<int>(std::max_element(v + 1, v + 511) - v);
  EXPECT_EQ(peak, static_cast<int>(std::lround(1000.0 / (44100.0 / 1024.0))));
  const int level = static_cast<int>(S.WaterfallScale * v[peak]);
  EXPECT_EQ(plot->Pixel(peak, 0), PseudoColorOf(level));
  EXPECT_NE(plot->Pixel(peak, 0), c::Black) << "level " << level;
  EXPECT_EQ(plot->Pixel(400, 0), PseudoColorOf(static_cast<int>(S.WaterfallScale * v[400])));
  EXPECT_EQ(plot->Pixel(peak, 150), c::Black) << "history only where frames have been";
  int teal = 0;
  for (Color p : plot->Pixels()) teal += p == c::Teal;
  EXPECT_EQ(teal, 0);
}

TEST_F(DisplayWithTone, ThePixelCommandReadsThePlotAndRefusesPointsOutsideIt) {
  rig.F().DisplayBitmap.SetPixel(512, 202, 0x00123456);
  rig.F().DisplayBitmap.SetPixel(0, 0, c::Teal);
  std::istringstream in(
      "pixel 512 202\npixel 0 0\npixel 513 0\npixel 0 -1\npixel 4\npixel 1 2 3\n");
  EXPECT_EQ(runner.Run(in), 4);
  EXPECT_EQ(out,
            (std::vector<std::string>{"pixel 512 202 = 0x00123456", "pixel 0 0 = 0x00808000"}));
  ASSERT_EQ(err.size(), 4u);
  EXPECT_EQ(err[0], "error: line 3: pixel outside the plot: 513 0");
  EXPECT_EQ(err[2], "error: line 5: pixel X Y");
}

TEST_F(DisplayWithTone, TheTimeDisplayShowsATriggeredTrace) {
  // Offset 52 and a small gain put the tone around row 99, crossing the
  // trigger band.
  const auto plot = Run("click TimeDisplay\nset RefScrollBar 188\nset ProcessGainTrackBar 6\n");
  ASSERT_TRUE(plot);
  EXPECT_EQ(rig.S().TimeDcOffset, 52);
  int columns = 0, highest = 203, lowest = -1;
  for (int x = 1; x <= 510; ++x) {
    bool traced = false;
    for (int y = 0; y < plot->Height(); ++y) {
      if (plot->Pixel(x, y) != c::Yellow) continue;
      traced = true;
      highest = std::min(highest, y);
      lowest = std::max(lowest, y);
    }
    columns += traced;
  }
  EXPECT_GT(columns, 480) << "the trace runs across the plot";
  EXPECT_LT(highest, 99 - 20);
  EXPECT_GT(lowest, 99 + 20);
  EXPECT_EQ(plot->Pixel(64, 10), c::Teal) << "the time display has its graticule";
}

}  // namespace
