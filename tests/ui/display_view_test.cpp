// The display settings as the window shows them: background colours, the
// plot's cursor, live repaints while the analyzer runs, fitting scale labels.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QPainter>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "ui/window_fixture.h"

using namespace zorvane;
using namespace zorvane::testing;

namespace {

QColor Q(Color c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

// Share of the widget's rendered pixels that have exactly this colour.
double Share(QWidget* w, Color colour) {
  const QImage image = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const auto* p = reinterpret_cast<const QRgb*>(image.constBits());
  const long n = static_cast<long>(image.width()) * image.height();
  return static_cast<double>(std::count(p, p + n, Q(colour).rgb())) / n;
}

struct DisplayView : InstrumentWindow {
  QWidget* plot = window.WidgetFor("SpectrumBox");
  DisplayView() { EXPECT_TRUE(QTest::qWaitForWindowExposed(&window)); }
  void Menu(const char* item) { window.ActionFor(item)->trigger(); }
  double Share(const char* name, Color colour) { return ::Share(window.WidgetFor(name), colour); }
  // Whether the plot's cursor is an open cross in this ink on a clear ground.
  bool IsTheOpenCross(const QColor& ink) {
    QImage cross(32, 32, QImage::Format_ARGB32_Premultiplied);
    cross.fill(Qt::transparent);
    QPainter painter(&cross);
    painter.setPen(ink);
    const QLine arms[] = {{15, 5, 15, 11}, {15, 19, 15, 26}, {4, 15, 11, 15}, {19, 15, 26, 15}};
    painter.drawLines(arms, 4);
    painter.end();
    return plot->cursor().pixmap().toImage().convertToFormat(cross.format()) == cross;
  }
};

struct PaintCounter : QObject {
  int Paints = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    Paints += e->type() == QEvent::Paint;
    return false;
  }
};

}  // namespace

TEST_F(DisplayView, TheCursorAndTheBackgroundMenus) {
  EXPECT_EQ(plot->cursor().shape(), Qt::ArrowCursor);
  Menu("Cross1");
  EXPECT_EQ(plot->cursor().shape(), Qt::CrossCursor);
  Menu("Magnify1");
  ASSERT_EQ(plot->cursor().shape(), Qt::BitmapCursor);
  EXPECT_EQ(plot->cursor().hotSpot(), QPoint(15, 15));
  EXPECT_TRUE(IsTheOpenCross(Q(colors::White)));
  EXPECT_EQ(window.WidgetFor("ImagePanel")->cursor().shape(), Qt::ArrowCursor) << "plot only";

  // A white background on screen: white panels and labels with black
  // figures, no black boxes behind the labels; the open cross in black.
  Menu("White1");
  for (const char* name : {"LeftPanel", "AmplitudePanel", "Mkr3Freq", "UpperFreqDisplay"})
    EXPECT_GT(Share(name, colors::White), 0.6) << name;
  EXPECT_GT(Share("Ref_5", colors::Black), 0.0) << "the figures are drawn";
  EXPECT_TRUE(IsTheOpenCross(Q(colors::Black)));

  Menu("Black1");
  EXPECT_GT(Share("LeftPanel", colors::Black), 0.6);
  EXPECT_GT(Share("Ref_5", colors::Lime), 0.0);
  Menu("Arrow1");
  EXPECT_EQ(plot->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(DisplayView, ThePlotRepaintsLiveWhileTheAnalyzerRuns) {
  form.FrequencyDisplay->SetText("1000");
  form.FrequencyDisplay->UserKey('\r');
  form.OutputBtn->Click();
  Menu("Waterfall1");
  PaintCounter counter;
  plot->installEventFilter(&counter);
  QImage shot;
  int paints = 0;
  // START runs the analyzer in the window's own event loop; STOP after 1.5 s.
  QTimer::singleShot(1500, [&] {
    paints = counter.Paints;
    shot = plot->grab().toImage();
    QTest::mouseClick(window.WidgetFor("StartBtn"), Qt::LeftButton);
  });
  QTest::mouseClick(window.WidgetFor("StartBtn"), Qt::LeftButton);
  EXPECT_GE(paints, 3) << "frames reach the screen while the analyzer runs";
  // The tone's column on the newest row, in the colour of its level.
  EXPECT_NE(QColor(shot.pixel(23, 0)), Q(colors::Black));
  EXPECT_EQ(QColor(shot.pixel(23, 0)), Q(form.WaterfallBitmap.Pixel(23, 0)));
}

TEST_F(DisplayView, TheScaleLabelsOfEveryModeAndResolutionFitTheScaleStrip) {
  const int stripRight = window.WidgetFor("LeftPanel")->contentsRect().right() + 1;
  for (const char* step : {"TimeDisplay", "Waterfall1", "Frequency1", "VerticalResBtn",
                           "VerticalResBtn", "VerticalResBtn"}) {
    QAction* item = window.ActionFor(step);
    item ? item->trigger() : QTest::mouseClick(window.WidgetFor(step), Qt::LeftButton);
    for (int i = 0; i <= 10; ++i) {
      const std::string name = "Ref_" + std::to_string(i), at = step + (" " + name);
      auto* label = qobject_cast<QLabel*>(window.WidgetFor(name));
      ASSERT_NE(label, nullptr);
      EXPECT_EQ(label->text().toStdString(), form.Find(name)->Caption()) << at;
      const int room = std::min(label->width(), stripRight - label->x());
      EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), room) << at;
    }
  }
}
