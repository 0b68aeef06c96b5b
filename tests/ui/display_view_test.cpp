// SPDX-License-Identifier: GPL-3.0-or-later
// The display settings as the window shows them: the plot's cursor, background
// colours, live repaints while the analyzer runs, fitting scale labels.
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

struct DisplayView : QObject, InstrumentWindow {
  QWidget* plot = window.WidgetFor("SpectrumBox");
  int paints = 0;  // the plot's paint events while the fixture filters them
  bool eventFilter(QObject*, QEvent* e) override {
    paints += e->type() == QEvent::Paint;
    return false;
  }
  void Menu(const char* item) { window.ActionFor(item)->trigger(); }
  double Share(const char* name, Color colour) {  // of the widget's rendered pixels
    QImage image = window.WidgetFor(name)->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const auto* p = reinterpret_cast<const QRgb*>(image.constBits());
    const qsizetype n = image.sizeInBytes() / 4;  // no padding in 32-bit rows
    return static_cast<double>(std::count(p, p + n, Q(colour).rgb())) / n;
  }
  // Whether the plot's cursor is an open cross in this ink on a clear ground, held mid-cross.
  bool IsTheOpenCross(const QColor& ink) {
    QImage cross(32, 32, QImage::Format_ARGB32_Premultiplied);
    cross.fill(Qt::transparent);
    QPainter painter(&cross);
    painter.setPen(ink);
    const QLine arms[] = {{15, 5, 15, 11}, {15, 19, 15, 26}, {4, 15, 11, 15}, {19, 15, 26, 15}};
    painter.drawLines(arms, 4);
    painter.end();
    const QCursor c = plot->cursor();
    return c.shape() == Qt::BitmapCursor && c.hotSpot() == QPoint(15, 15) &&
           c.pixmap().toImage().convertToFormat(cross.format()) == cross;
  }
};

}  // namespace

TEST_F(DisplayView, ThePlotRepaintsLiveAndFollowsTheDisplaySettings) {
  EXPECT_EQ(plot->cursor().shape(), Qt::ArrowCursor);
  Menu("Cross1");
  EXPECT_EQ(plot->cursor().shape(), Qt::CrossCursor);
  Menu("Magnify1");
  EXPECT_TRUE(IsTheOpenCross(Q(colors::White)));
  EXPECT_EQ(window.WidgetFor("ImagePanel")->cursor().shape(), Qt::ArrowCursor) << "plot only";

  // White panels and labels without black boxes behind the figures; a black open cross.
  Menu("White1");
  for (const char* name : {"LeftPanel", "AmplitudePanel", "Mkr3Freq", "UpperFreqDisplay"})
    EXPECT_GT(Share(name, colors::White), 0.6) << name;
  EXPECT_GT(Share("Ref_5", colors::Black), 0.0) << "the figures are drawn";
  EXPECT_TRUE(IsTheOpenCross(Q(colors::Black)));
  Menu("Black1");
  EXPECT_GT(Share("LeftPanel", colors::Black), 0.6);
  Menu("Arrow1");
  EXPECT_EQ(plot->cursor().shape(), Qt::ArrowCursor);

  // START runs the analyzer on the 200 Hz tone in the window's event loop; STOP after 1.5 s.
  form.OutputBtn->Click();
  Menu("Waterfall1");
  plot->installEventFilter(this);
  QImage shot;
  QTimer::singleShot(1500, [&] {
    plot->removeEventFilter(this);
    shot = plot->grab().toImage();
    QTest::mouseClick(window.WidgetFor("StartBtn"), Qt::LeftButton);
  });
  QTest::mouseClick(window.WidgetFor("StartBtn"), Qt::LeftButton);
  EXPECT_GE(paints, 3) << "frames reach the screen while the analyzer runs";
  // The tone's column on the newest row, in the colour of its level.
  EXPECT_NE(shot.pixelColor(5, 0), Q(colors::Black));
  EXPECT_EQ(shot.pixelColor(5, 0), Q(form.WaterfallBitmap.Pixel(5, 0)));

  // Every mode's and resolution's labels show the model's text and fit the strip.
  const int stripRight = window.WidgetFor("LeftPanel")->contentsRect().right() + 1;
  for (const char* step : {"TimeDisplay", "Waterfall1", "Frequency1", "VerticalResBtn",
                           "VerticalResBtn", "VerticalResBtn"}) {
    form.Find(step)->Click();
    for (Control* ref : form.Ref) {
      auto* label = Widget<QLabel>(ref->Name().c_str());
      ASSERT_NE(label, nullptr);
      EXPECT_EQ(label->text().toStdString(), ref->Caption()) << step << " " << ref->Name();
      const int room = std::min(label->width(), stripRight - label->x());
      EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), room) << ref->Name();
    }
  }
}
