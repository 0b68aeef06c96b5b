// SPDX-License-Identifier: GPL-3.0-or-later
// The display modes with their remembered settings, the scale buttons and
// labels, the reference level, and the colour and cursor menus.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/test_support.h"

using namespace zorvane;
using namespace zorvane::testing;
namespace c = colors;

namespace {

struct Display : InstrumentTest {
  void Click(const char* name) { f.Find(name)->Click(); }
  bool Checked(const char* name) { return f.Find(name)->Checked(); }
  std::string Labels() {
    std::string s;
    for (Control* r : f.Ref) s += "[" + r->Caption() + "]";
    return s;
  }
  void ZeroFrame() {
    std::fill(S.DisplayValues, S.DisplayValues + kArrayLen, 0.0f);
    Frame();
  }
  int Count(Color colour) { return CountPixels(f.DisplayBitmap, colour); }
};

TEST_F(Display, TheTimeDisplayKeepsItsOwnRateSizeGainAndReference) {
  f.RefScrollBar->UserScroll(120);
  Click("TimeDisplay");
  // The first visit puts the remembered gain 0 on the lowest position.
  EXPECT_EQ(f.ProcessGainTrackBar->Position(), 1);
  EXPECT_EQ(f.RefScrollBar->Position(), 150);
  Click("N80001");
  Click("N40961");
  Click("Frequency1");
  EXPECT_EQ(f.RefScrollBar->Position(), 120);
  EXPECT_TRUE(Checked("N441001") && Checked("N10241"));
  // A reference position above 201 comes back too, also via the waterfall.
  Click("TimeDisplay");
  f.RefScrollBar->UserScroll(290);
  Click("Waterfall1");
  Click("TimeDisplay");
  EXPECT_EQ(f.RefScrollBar->Position(), 290);
  EXPECT_EQ(S.SampleRate, 8000);
}

TEST_F(Display, RememberedValuesNoMenuOffersAreOnlyStored) {
  // From an old settings file: an unoffered rate and size are put in force without
  // touching the check marks; a resolution outside the cycle leaves the button alone.
  S.TimeViewSampleRate = 16000;
  S.TimeViewTransformSize = 512;
  Click("TimeDisplay");
  EXPECT_EQ(S.SampleRate, 16000);
  EXPECT_EQ(S.TransformSize, 512);
  EXPECT_TRUE(Checked("N441001"));
  S.FreqViewResolution = 7;
  Click("Frequency1");
  EXPECT_EQ(S.VerticalResolutionIndex, 7);
  EXPECT_EQ(f.VerticalResBtn->Caption(), "5 dB");
}

TEST_F(Display, TheTimeDisplayHasItsOwnOffsetOneResolutionAndNoSpectrumControls) {
  Click("VerticalResBtn");
  Click("VerticalResBtn");  // 2 dB
  Click("VerticalBtn");     // LOG 2
  // The position is already the time display's 150: no change event, yet its offset.
  f.RefScrollBar->UserScroll(150);
  ASSERT_EQ(S.TimeDcOffset, 120);
  Click("TimeDisplay");
  EXPECT_EQ(S.TimeDcOffset, -100);
  f.RefScrollBar->UserScroll(0);
  EXPECT_EQ(S.TimeDcOffset, -700);
  EXPECT_EQ(S.RefLevelY, 204 - 150) << "the reference line is left alone";

  Click("VerticalResBtn");
  EXPECT_EQ(f.VerticalResBtn->Caption(), "5 dB") << "the only resolution";
  EXPECT_EQ(Labels(),
            "[ 50][   40][   30][   20][   10][    0][  -10][  -20][  -30][  -40][  -50]");
  Click("VerticalBtn");
  EXPECT_EQ(S.VerticalAxisMode, 0) << "a disabled button does nothing";
  Click("Frequency1");
  EXPECT_EQ(f.VerticalResBtn->Caption(), "2 dB");
  EXPECT_EQ(f.VerticalBtn->Caption(), "LOG 2");
}

TEST_F(Display, ReferenceAndCentreLinesAndTheWaterfallWithoutThem) {
  f.RefScrollBar->UserScroll(0);
  ZeroFrame();
  EXPECT_EQ(Count(c::Silver), 0);
  f.RefScrollBar->UserScroll(150);
  ZeroFrame();
  EXPECT_EQ(f.DisplayBitmap.Pixel(300, 51), c::Silver);
  EXPECT_EQ(f.DisplayBitmap.Pixel(300, 50), c::Black);
  EXPECT_EQ(f.DisplayBitmap.Pixel(256, 150), c::Red) << "the centre line";

  auto mark = [&] { f.WaterfallBitmap.SetPixel(40, 30, c::Red); };
  auto marked = [&] { return f.WaterfallBitmap.Pixel(40, 30) == c::Red; };
  mark();
  Click("VerticalResBtn");  // 5 dB
  Click("Waterfall1");
  EXPECT_FALSE(marked());
  ZeroFrame();
  EXPECT_EQ(Count(c::Teal), 0);
  EXPECT_EQ(Count(c::Red), 0) << "no centre line without the graticule";
  mark();
  Click("White1");
  EXPECT_TRUE(marked()) << "a new background keeps the history";
  Click("TimeDisplay");
  EXPECT_EQ(f.WaterfallBitmap.Pixel(40, 30), c::White);

  // Back in the frequency display: labels, graticule, and a centre line that can go off.
  Click("Frequency1");
  EXPECT_EQ(Labels(), "[ 0][ 5][10][15][20][25][30][35][40][45][50]");
  Click("OFF1");
  ZeroFrame();
  EXPECT_EQ(f.DisplayBitmap.Pixel(256, 150), c::Teal) << "only the graticule's line";
}

TEST_F(Display, ScaleButtonsCycleAndLineUpSingleDigitLabels) {
  // Labels 0 and 10 sit where single and three digits belong; at 1 dB 9 is a single digit.
  const int right = f.Ref[0]->Left(), three = f.Ref[10]->Left();
  for (auto [caption, scale] : {std::pair{"5 dB", 2.0f}, {"2 dB", 5.0f}, {"1 dB", 10.0f}}) {
    Click("VerticalResBtn");
    EXPECT_EQ(f.VerticalResBtn->Caption(), caption);
    EXPECT_FLOAT_EQ(S.VerticalScale, scale);
  }
  EXPECT_EQ(f.Ref[9]->Left(), right);
  EXPECT_NE(f.Ref[10]->Left(), three);
  Click("VerticalResBtn");
  EXPECT_FLOAT_EQ(S.VerticalScale, 1.0f);
  EXPECT_EQ(f.Ref[10]->Left(), three);
  for (int mode : {1, 0, 2}) {  // LOG 2, LINEAR, LOG 10
    Click("VerticalBtn");
    EXPECT_EQ(S.VerticalAxisMode, mode);
  }
  f.LoFreqScrollBar->UserScroll(100);
  Click("HorizontalBtn");
  EXPECT_EQ(f.LowerFreqDisplay->Caption(), std::to_string(f.LogAxisFrequency(100, 1)));
}

TEST_F(Display, ColourAndCursorMenus) {
  // At start-up "Arrow" is checked over the standard arrow, yet the shape is the cross.
  EXPECT_TRUE(Checked("Arrow1"));
  EXPECT_EQ(S.CursorShape, 1);
  const char* cursors[] = {"Cross1", "Arrow1", "Magnify1"};  // shapes 1, 2 and 3
  for (int shape : {3, 2}) {
    Click(cursors[shape - 1]);
    EXPECT_EQ(f.SpectrumBox->Cursor(), shape);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Checked(cursors[i]), i == shape - 1) << shape;
  }
  // The background recolours the labels and the plot, and back.
  Click("White1");
  ZeroFrame();
  EXPECT_TRUE(f.Ref[0]->BackColor() == c::White && f.DisplayBitmap.Pixel(30, 10) == c::White);
  Click("Black1");
  EXPECT_EQ(f.Ref[5]->FontColor(), c::Lime);
}

}  // namespace
