// The display settings as the window shows them: the panels and labels take
// the background's colours, the plot's cursor follows the Cursor menu, and the
// waterfall and the time trace reach the screen while the analyzer runs.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include "support/test_support.h"
#include "ui/qt_main_window.h"
#include "ui/qt_platform.h"
#include "ui/qt_widgets.h"
#include "ui/window_fixture.h"

using namespace zorvane;
using namespace zorvane::testing;

namespace {

struct DisplayView : InstrumentWindow {
  DisplayView() { EXPECT_TRUE(QTest::qWaitForWindowExposed(&window)); }
  void Menu(const char* item) { window.ActionFor(item)->trigger(); }
  QWidget* Plot() { return window.WidgetFor("SpectrumBox"); }
};

QColor Q(Color c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

// Share of the widget's rendered pixels that have exactly this colour.
double Share(QWidget* w, const QColor& colour) {
  const QImage image = w->grab().toImage();
  long hits = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) hits += QColor(image.pixel(x, y)) == colour;
  return static_cast<double>(hits) / (image.width() * image.height());
}

// Counts the paint events a widget receives.
struct PaintCounter : QObject {
  int Paints = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++Paints;
    return false;
  }
};

}  // namespace

TEST_F(DisplayView, TheBackgroundRecoloursPanelsAndLabels) {
  const char* panels[] = {"LeftPanel", "AmplitudePanel", "FreqPanel", "ImagePanel"};
  const char* labels[] = {"Ref_0",           "Ref_4",    "Ref_10",        "Mkr1Label",
                          "Mkr3Freq",        "PeakFreq", "Mkr1AmplLabel", "LowerFreqDisplay",
                          "UpperFreqDisplay"};
  Menu("White1");
  EXPECT_TRUE(window.ActionFor("White1")->isChecked());
  EXPECT_FALSE(window.ActionFor("Black1")->isChecked());
  EXPECT_EQ(window.WidgetFor("BasePanel")->palette().color(QPalette::Window), Q(colors::Silver));
  for (const char* name : panels)
    EXPECT_EQ(window.WidgetFor(name)->palette().color(QPalette::Window), Q(colors::White)) << name;
  for (const char* name : labels) {
    QWidget* label = window.WidgetFor(name);
    EXPECT_EQ(label->palette().color(QPalette::Window), Q(colors::White)) << name;
    EXPECT_EQ(label->palette().color(QPalette::WindowText), Q(colors::Black)) << name;
  }
  // On screen: the scale strip is white with black figures, no black boxes
  // left behind the labels.
  QWidget* strip = window.WidgetFor("LeftPanel");
  EXPECT_GT(Share(strip, Q(colors::White)), 0.7);
  EXPECT_GT(Share(window.WidgetFor("Ref_5"), Q(colors::Black)), 0.0) << "the figures are drawn";
  EXPECT_LT(Share(window.WidgetFor("Ref_5"), Q(colors::Black)), 0.3);
  EXPECT_GT(Share(window.WidgetFor("Mkr2Label"), Q(colors::White)), 0.5);

  Menu("Black1");
  EXPECT_EQ(window.WidgetFor("BasePanel")->palette().color(QPalette::Window), Q(colors::Yellow));
  EXPECT_GT(Share(strip, Q(colors::Black)), 0.7);
  EXPECT_EQ(window.WidgetFor("Ref_5")->palette().color(QPalette::WindowText), Q(colors::Lime));
  EXPECT_EQ(window.WidgetFor("Mkr1Label")->palette().color(QPalette::WindowText),
            Q(colors::Yellow));
  EXPECT_EQ(window.WidgetFor("PeakFreq")->palette().color(QPalette::WindowText), Q(colors::Aqua));
}

TEST_F(DisplayView, TheCursorOverThePlotFollowsTheCursorMenu) {
  QWidget* plot = Plot();
  // At start-up "Arrow" is checked and the standard arrow is shown.
  EXPECT_TRUE(window.ActionFor("Arrow1")->isChecked());
  EXPECT_EQ(plot->cursor().shape(), Qt::ArrowCursor);

  Menu("Cross1");
  EXPECT_EQ(plot->cursor().shape(), Qt::CrossCursor);
  EXPECT_TRUE(window.ActionFor("Cross1")->isChecked());
  EXPECT_FALSE(window.ActionFor("Arrow1")->isChecked());

  Menu("Magnify1");
  ASSERT_EQ(plot->cursor().shape(), Qt::BitmapCursor);
  EXPECT_EQ(plot->cursor().hotSpot(), QPoint(15, 15));
  ASSERT_TRUE(OpenCrossIsOpaque()) << "the offscreen platform cannot invert";
  auto cross = [&] { return plot->cursor().pixmap().toImage(); };
  auto onCross = [](int x, int y) {
    return (x == 15 && ((y >= 5 && y <= 11) || (y >= 19 && y <= 26))) ||
           (y == 15 && ((x >= 4 && x <= 11) || (x >= 19 && x <= 26)));
  };
  auto check = [&](const QColor& ink) {
    const QImage image = cross();
    ASSERT_EQ(image.size(), QSize(32, 32));
    int drawn = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        const QColor p = image.pixelColor(x, y);
        if (onCross(x, y)) {
          EXPECT_EQ(p.rgb(), ink.rgb()) << x << "," << y;
          EXPECT_EQ(p.alpha(), 255) << x << "," << y;
          ++drawn;
        } else {
          EXPECT_EQ(p.alpha(), 0) << x << "," << y;
        }
      }
    EXPECT_EQ(drawn, 31);
  };
  // The inverse of the plot's background: white on black, black on white.
  check(Q(colors::White));
  Menu("White1");
  check(Q(colors::Black));

  // The cursor belongs to the plot alone.
  EXPECT_EQ(window.WidgetFor("ImagePanel")->cursor().shape(), Qt::ArrowCursor);
  Menu("Arrow1");
  EXPECT_EQ(plot->cursor().shape(), Qt::ArrowCursor);
  EXPECT_FALSE(window.ActionFor("Magnify1")->isChecked());
}

TEST_F(DisplayView, TheWaterfallAndTheTimeTraceRunLive) {
  form.FrequencyDisplay->SetText("1000");
  form.FrequencyDisplay->UserKey('\r');
  form.FrequencyDisplay->UserKeyUp(13);
  form.OutputBtn->Click();
  ASSERT_EQ(form.S.OutputOn, 1);

  PaintCounter counter;
  Plot()->installEventFilter(&counter);
  // Runs the analyzer for a while in the window's own event loop and grabs
  // the plot just before STOP.
  auto run = [&](int ms) {
    QImage shot;
    int paints = 0;
    counter.Paints = 0;
    QTimer::singleShot(ms, [&] {
      paints = counter.Paints;
      shot = Plot()->grab().toImage();
      QTest::mouseClick(window.WidgetFor("StartBtn"), Qt::LeftButton);
    });
    QTest::mouseClick(window.WidgetFor("StartBtn"), Qt::LeftButton);
    EXPECT_EQ(form.S.AnalyzerActive, 0);
    EXPECT_GE(paints, 3) << "frames reach the screen while the analyzer runs";
    return shot;
  };

  Menu("Waterfall1");
  const QImage waterfall = run(1500);
  ASSERT_FALSE(waterfall.isNull());
  // The tone's column on the newest row, in a colour; far from it, black.
  EXPECT_NE(QColor(waterfall.pixel(23, 0)), Q(colors::Black));
  EXPECT_EQ(QColor(waterfall.pixel(23, 0)), Q(form.WaterfallBitmap.Pixel(23, 0)));
  EXPECT_EQ(QColor(waterfall.pixel(400, 0)), Q(colors::Black));

  Menu("TimeDisplay");
  form.RefScrollBar->UserScroll(188);
  form.ProcessGainTrackBar->UserScroll(6);
  const QImage time = run(1000);
  ASSERT_FALSE(time.isNull());
  int traced = 0;
  for (int x = 1; x < 511; ++x)
    for (int y = 0; y < 203; ++y)
      if (QColor(time.pixel(x, y)) == Q(colors::Yellow)) {
        ++traced;
        break;
      }
  EXPECT_GT(traced, 480) << "a triggered trace across the plot";
  EXPECT_EQ(window.WidgetFor("PeakFreq")->isVisible(), false);
}

TEST_F(DisplayView, TheScaleLabelsOfEveryModeFitTheScaleStrip) {
  QWidget* strip = window.WidgetFor("LeftPanel");
  auto fits = [&](const char* mode) {
    for (int i = 0; i <= 10; ++i) {
      const std::string name = "Ref_" + std::to_string(i);
      auto* label = qobject_cast<QLabel*>(window.WidgetFor(name));
      ASSERT_NE(label, nullptr);
      EXPECT_EQ(label->text().toStdString(), form.Find(name)->Caption()) << mode << " " << name;
      const int room = std::min(label->width(), strip->contentsRect().right() + 1 - label->x());
      EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()), room)
          << mode << " " << name << " '" << label->text().toStdString() << "'";
    }
  };
  fits("frequency");
  Menu("TimeDisplay");
  EXPECT_EQ(window.WidgetFor("Ref_10")->property("text").toString(), "  -50");
  fits("time");
  Menu("Waterfall1");
  fits("waterfall");
  Menu("Frequency1");
  for (int i = 0; i < 3; ++i) {
    QTest::mouseClick(window.WidgetFor("VerticalResBtn"), Qt::LeftButton);
    fits(form.VerticalResBtn->Caption().c_str());
  }
}
