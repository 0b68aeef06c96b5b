// The frequency window scroll bars, the markers and the pointer readouts.
#include <gtest/gtest.h>

#include "support/test_support.h"

namespace zorvane {
namespace {

using testing::Rig;

class Markers : public ::testing::Test {
 protected:
  Rig rig;
  TZorvaneForm& f = rig.F();
  AppState& S = rig.S();
};

TEST_F(Markers, StartUpShowsTheWindowEnds) {
  EXPECT_EQ(f.LowerFreqDisplay->Caption(), "43");
  EXPECT_EQ(f.UpperFreqDisplay->Caption(), "22050");
  EXPECT_EQ(f.Mkr1Freq->Caption(), "-");
  EXPECT_EQ(f.PeakFreq->Caption(), "0");
}

TEST_F(Markers, WindowEndsKeepTheirOrder) {
  f.HiFreqScrollBar->UserScroll(200);
  f.LoFreqScrollBar->UserScroll(300);
  EXPECT_EQ(f.LoFreqScrollBar->Position(), 198);
  EXPECT_EQ(S.LowerFreqPosition, 198);
  EXPECT_EQ(S.DisplayedBins, 200 - 197);
  EXPECT_EQ(f.LowerFreqDisplay->Caption(), "8527");  // trunc(198 x 43.066)

  f.HiFreqScrollBar->UserScroll(512);
  f.LoFreqScrollBar->UserScroll(150);
  f.HiFreqScrollBar->UserScroll(100);
  EXPECT_EQ(f.HiFreqScrollBar->Position(), 152);
  EXPECT_EQ(S.UpperFreqPosition, 152);
  EXPECT_EQ(f.LoFreqScrollBar->Position(), 150);
  EXPECT_EQ(S.DisplayedBins, 3);

  // Corrections clamp at the ends of the bars.
  f.LoFreqScrollBar->UserScroll(0);
  f.HiFreqScrollBar->UserScroll(1);
  f.LoFreqScrollBar->UserScroll(5);
  EXPECT_EQ(f.LoFreqScrollBar->Position(), 0);
  f.HiFreqScrollBar->UserScroll(512);
  f.LoFreqScrollBar->UserScroll(512);
  f.HiFreqScrollBar->UserScroll(300);
  EXPECT_EQ(f.LoFreqScrollBar->Position(), 512);
  EXPECT_EQ(f.HiFreqScrollBar->Position(), 512);
  S.SizeFactor = 4;
  f.UpdateDisplayedBins();
  EXPECT_EQ(S.DisplayedBins, 4);
}

TEST_F(Markers, MarkerButtonsAndReadouts) {
  f.Mkr1ScrollBar->UserScroll(256);
  EXPECT_EQ(f.Mkr1Freq->Caption(), "-") << "off: no readout";
  f.Mkr1Btn->Click();
  EXPECT_EQ(S.Marker1On, 1);
  EXPECT_EQ(f.Mkr1Btn->Caption(), "ON");
  EXPECT_EQ(f.Mkr1Btn->FontColor(), colors::Red);
  EXPECT_EQ(f.Mkr1Freq->Caption(), "11046");
  EXPECT_EQ(f.CursorFreq->Text(), "11046") << "marker 1 also fills the cursor box";

  f.Mkr4Btn->Click();
  f.Mkr4ScrollBar->UserScroll(512);
  EXPECT_EQ(f.Mkr4Freq->Caption(), "22050");
  f.Mkr4Btn->Click();
  EXPECT_EQ(S.Marker4On, 0);
  EXPECT_EQ(f.Mkr4Btn->Caption(), "OFF");
  EXPECT_EQ(f.Mkr4Btn->FontColor(), colors::Blue);
  EXPECT_EQ(f.Mkr4Freq->Caption(), "-");

  // Another rate and size move every readout.
  S.SampleRate = 8000;
  S.TransformSize = 2048;
  S.SizeFactor = 2;
  f.Mkr2Btn->Click();
  f.Mkr2ScrollBar->UserScroll(100);
  EXPECT_EQ(f.LowerFreqDisplay->Caption(), "7");
  EXPECT_EQ(f.UpperFreqDisplay->Caption(), "4000");
  EXPECT_EQ(f.Mkr2Freq->Caption(), std::to_string(static_cast<int>(100 * (3993 / 512.0f) + 7)));

  // Logarithmic axis: the ends of the whole axis and a point inside the window.
  S.SampleRate = 44100;
  S.TransformSize = 1024;
  S.SizeFactor = 1;
  S.HorizontalScale = 2;
  f.UpdateMarkerReadouts();
  EXPECT_EQ(f.LowerFreqDisplay->Caption(), "43");
  EXPECT_EQ(f.UpperFreqDisplay->Caption(), "22050");
  EXPECT_EQ(f.Mkr1Freq->Caption(), std::to_string(f.LogAxisFrequency(256, 2)));
  EXPECT_EQ(f.CursorFreq->Text(), f.Mkr1Freq->Caption());
}

TEST_F(Markers, PeakReadoutIsTheWholeHertzExceptInTheTimeDisplay) {
  S.PeakFrequency = 440.9f;
  f.UpdateMarkerReadouts();
  EXPECT_EQ(f.PeakFreq->Caption(), "440");
  S.DisplayMode = 2;
  f.PeakFreq->SetCaption(" ");
  f.UpdateMarkerReadouts();
  EXPECT_EQ(f.PeakFreq->Caption(), " ");
}

TEST_F(Markers, PointerReadoutsAbsoluteAndAsDifferences) {
  Control* box = f.SpectrumBox;
  box->OnMouseMove(150, 20);
  EXPECT_EQ(f.CursorFreq->Text(), "6490");  // trunc(150 x 22007 / 512 + 43)
  EXPECT_EQ(f.CursorAmpl->Text(), "-10");

  box->OnMouseDown(MouseButton::Left, 100, 60);
  EXPECT_EQ(S.CrossState, 2);
  EXPECT_EQ(f.CursorFreq->FontColor(), colors::Red);
  EXPECT_EQ(f.CursorAmpl->FontColor(), colors::Red);
  box->OnMouseMove(150, 100);
  EXPECT_EQ(f.CursorFreq->Text(), "2149");
  EXPECT_EQ(f.CursorAmpl->Text(), "-20");
  box->OnMouseMove(50, 40);
  EXPECT_EQ(f.CursorFreq->Text(), "-2149");
  EXPECT_EQ(f.CursorAmpl->Text(), "10");
  box->OnMouseUp(MouseButton::Left, 120, 70);
  EXPECT_EQ(S.CrossX, 120);
  EXPECT_EQ(S.CrossY, 70);
  EXPECT_EQ(S.CrossState, 2) << "a release keeps the difference mode";

  box->OnMouseDown(MouseButton::Right, 10, 10);
  EXPECT_EQ(S.CrossState, 1);
  EXPECT_EQ(f.CursorFreq->FontColor(), colors::Black);
  EXPECT_EQ(f.CursorAmpl->FontColor(), colors::Black);
  box->OnMouseMove(150, 20);
  EXPECT_EQ(f.CursorFreq->Text(), "6490");
}

TEST_F(Markers, LevelReadoutFollowsTheResolution) {
  const char* expected[4] = {"-10", "-5", "-2", "-1"};
  for (int index = 0; index < 4; ++index) {
    S.VerticalResolutionIndex = index;
    f.SpectrumBox->OnMouseMove(10, 20);
    EXPECT_EQ(f.CursorAmpl->Text(), expected[index]) << index;
  }
  S.VerticalResolutionIndex = 0;
  f.SpectrumBox->OnMouseMove(10, 19);
  EXPECT_EQ(f.CursorAmpl->Text(), "-9") << "integer arithmetic truncates";
}

TEST_F(Markers, TimeAndWaterfallDisplaysReadZero) {
  S.DisplayMode = 2;
  f.SpectrumBox->OnMouseMove(150, 20);
  EXPECT_EQ(f.CursorFreq->Text(), "0");
  EXPECT_EQ(f.CursorAmpl->Text(), "0");
  S.DisplayMode = 3;
  f.SpectrumBox->OnMouseMove(150, 20);
  EXPECT_EQ(f.CursorFreq->Text(), "6490");
  EXPECT_EQ(f.CursorAmpl->Text(), "0");
}

TEST_F(Markers, PointerPositionsScaleWithTheWindowWidth) {
  f.Self->SetBounds(f.Self->Left(), f.Self->Top(), 1572, f.Self->Height());
  f.SpectrumBox->OnMouseDown(MouseButton::Left, 201, 41);
  EXPECT_EQ(S.DragStartX, 100);
  EXPECT_EQ(S.DragStartY, 20);
  f.SpectrumBox->OnMouseUp(MouseButton::Left, 301, 99);
  EXPECT_EQ(S.CrossX, 150);
  EXPECT_EQ(S.CrossY, 49);
  f.SpectrumBox->OnMouseMove(301, 41);
  EXPECT_EQ(f.CursorFreq->Text(), "2149");
}

}  // namespace
}  // namespace zorvane
