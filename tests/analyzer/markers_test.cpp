// SPDX-License-Identifier: GPL-3.0-or-later
// The frequency window scroll bars, the markers and the pointer readouts.
#include <gtest/gtest.h>

#include "support/test_support.h"

namespace zorvane {
namespace {

using Markers = testing::InstrumentTest;

TEST_F(Markers, WindowEndsKeepTheirOrder) {
  f.HiFreqScrollBar->UserScroll(200);
  f.LoFreqScrollBar->UserScroll(300);
  EXPECT_EQ(f.LowerFreqDisplay->Caption(), "8527");  // position 198: trunc(198 x 43.066)
  f.HiFreqScrollBar->UserScroll(512);
  f.LoFreqScrollBar->UserScroll(150);
  f.HiFreqScrollBar->UserScroll(100);
  EXPECT_EQ(S.UpperFreqPosition, 152);
  // Corrections clamp at the ends of the bars.
  f.LoFreqScrollBar->UserScroll(0);
  f.HiFreqScrollBar->UserScroll(1);
  f.LoFreqScrollBar->UserScroll(5);
  EXPECT_EQ(f.LoFreqScrollBar->Position(), 0);
  f.HiFreqScrollBar->UserScroll(512);
  f.LoFreqScrollBar->UserScroll(512);
  f.HiFreqScrollBar->UserScroll(300);
  EXPECT_EQ(f.HiFreqScrollBar->Position(), 512);
  // The window never closes: ends pushed onto each other, at either end of the bars.
  const int moves[][2] = {{600, -5}, {-5, 600}, {200, 200}, {0, 0}, {512, 1}, {1, 512}};
  for (auto [lo, hi] : moves) {
    f.LoFreqScrollBar->UserScroll(lo);
    f.HiFreqScrollBar->UserScroll(hi);
    EXPECT_LT(f.LoFreqScrollBar->Position(), f.HiFreqScrollBar->Position()) << lo << " " << hi;
    EXPECT_GE(S.DisplayedBins, 1) << lo << " " << hi;
  }
}

TEST_F(Markers, MarkerButtonsAndReadouts) {
  f.Mkr1ScrollBar->UserScroll(256);
  f.Mkr1Btn->Click();
  EXPECT_EQ(f.CursorFreq->Text() + f.Mkr1Freq->Caption(), "1104611046") << "and the cursor box";
  f.Mkr1Btn->Click();
  EXPECT_EQ(f.Mkr1Freq->Caption(), "-") << "off: no readout";
  // Logarithmic axis: the ends of the whole axis and a point inside the window.
  S.HorizontalScale = 2;
  f.Mkr1Btn->Click();
  EXPECT_EQ(f.LowerFreqDisplay->Caption(), "43");
  EXPECT_EQ(f.UpperFreqDisplay->Caption(), "22050");
  EXPECT_EQ(f.Mkr1Freq->Caption(), std::to_string(f.LogAxisFrequency(256, 2)));
  // Another rate and size move every readout.
  S.HorizontalScale = 0;
  S.SampleRate = 8000;
  S.TransformSize = 2048;
  S.SizeFactor = 2;
  f.Mkr4Btn->Click();
  f.Mkr4ScrollBar->UserScroll(100);
  EXPECT_EQ(f.LowerFreqDisplay->Caption(), "7");
  EXPECT_EQ(f.UpperFreqDisplay->Caption(), "4000");
  EXPECT_EQ(f.Mkr4Freq->Caption(), std::to_string(static_cast<int>(100 * (3993 / 512.0f) + 7)));
}

TEST_F(Markers, PointerReadoutsAbsoluteAsDifferencesAndPerResolution) {
  Control* box = f.SpectrumBox;
  auto readout = [&] { return f.CursorFreq->Text() + " " + f.CursorAmpl->Text(); };
  box->OnMouseMove(150, 20);
  EXPECT_EQ(readout(), "6490 -10");  // trunc(150 x 22007 / 512 + 43)
  box->OnMouseDown(MouseButton::Left, 100, 60);
  box->OnMouseMove(150, 100);
  EXPECT_EQ(readout(), "2149 -20");
  box->OnMouseUp(MouseButton::Left, 120, 70);
  box->OnMouseMove(50, 40);
  EXPECT_EQ(readout(), "-2149 10") << "a release keeps the difference mode";
  box->OnMouseDown(MouseButton::Right, 10, 10);
  box->OnMouseMove(150, 20);
  EXPECT_EQ(f.CursorFreq->Text(), "6490") << "the right button ends it";
  // The time display reads zero for both, the waterfall for the level only.
  S.DisplayMode = 2;
  box->OnMouseMove(150, 20);
  EXPECT_EQ(readout(), "0 0");
  S.DisplayMode = 3;
  box->OnMouseMove(150, 20);
  EXPECT_EQ(readout(), "6490 0");
  S.DisplayMode = 1;
  S.VerticalResolutionIndex = 2;  // 2 dB per division
  box->OnMouseMove(10, 20);
  EXPECT_EQ(f.CursorAmpl->Text(), "-2");
  S.VerticalResolutionIndex = 0;
  box->OnMouseMove(10, 19);
  EXPECT_EQ(f.CursorAmpl->Text(), "-9") << "integer arithmetic truncates";
  // Pointer positions scale with the width of the window.
  f.Self->SetBounds(f.Self->Left(), f.Self->Top(), 1572, f.Self->Height());
  box->OnMouseDown(MouseButton::Left, 201, 41);
  box->OnMouseUp(MouseButton::Left, 301, 99);
  EXPECT_EQ(std::pair(S.CrossX, S.CrossY), std::pair(150, 49));
  box->OnMouseMove(301, 41);
  EXPECT_EQ(f.CursorFreq->Text(), "2149");
}

}  // namespace
}  // namespace zorvane
