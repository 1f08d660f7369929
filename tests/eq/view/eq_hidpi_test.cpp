// The graph on a screen of device pixel ratio 2: the bitmap has twice the pixels each way, the
// geometry in logical pixels is that of an ordinary screen, and the curve is drawn with the
// finer pixels rather than blown up from a coarse image.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QRegularExpression>
#include <QTest>
#include <cmath>
#include <vector>

#include "eq/graph_axes.h"
#include "eq/view/eq_graph.h"
#include "fake_graph_host.h"
#include "model/rounding.h"
#include "qt_app.h"

namespace kc {
namespace {

using test::FakeGraphHost;
using test::GraphWindow;

constexpr QRgb kBackground = qRgb(21, 21, 21);

// A pixel the curve (0, 204, 255) covers for a good part: far more blue than red.
bool Tinted(QRgb p) { return qBlue(p) - qRed(p) > 60; }

class EqHidpiTest : public ::testing::Test {
 protected:
  EqHidpiTest() {
    test::EnsureApplication();
    window.window->show();
  }

  // A mouse move with no button held, sent to a widget. (At a scale factor the offscreen
  // platform's own cursor moves miss the window, so QTest's hover cannot be used here.)
  static void Hover(QWidget* widget, QPoint position) {
    QMouseEvent move(QEvent::MouseMove, QPointF(position), widget->mapToGlobal(QPointF(position)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
  }

  // Device pixel of a logical pixel's top left corner.
  QRgb Device(int x, int y) const { return graph.bitmap().pixel(x, y); }
  int Y(double gain) const { return RoundHalfEven(graph.GainToY(gain)); }
  int X(double frequency) const { return RoundHalfEven(graph.FrequencyToX(frequency)); }

  GraphWindow window;
  FakeGraphHost host;
  EqGraph graph{window.widgets(), host};
};

TEST_F(EqHidpiTest, BitmapHasTwiceThePixelsAndTheSameLogicalGeometry) {
  ASSERT_EQ(window.image->devicePixelRatioF(), 2.0) << "QT_SCALE_FACTOR=2 not in force";
  host.Set(0, 5, 204);  // band 1: 1000 Hz
  host.Set(0, 6, 104);  // -3.2 dB
  graph.DrawSectionCurve(kAllSlots, 0);

  EXPECT_EQ(graph.bitmap().size(), QSize(2098, 546));
  EXPECT_EQ(graph.bitmap().devicePixelRatio(), 2.0);
  EXPECT_EQ(window.image->pixmap().devicePixelRatio(), 2.0);
  EXPECT_EQ(window.image->pixmap().size(), QSize(2098, 546));

  // The mapping, the points and the labels are those of the design size on an ordinary screen.
  EXPECT_DOUBLE_EQ(graph.scale(), 1049.0 / 512);
  EXPECT_NEAR(graph.FrequencyToX(1000), 620.67, 0.005);
  EXPECT_NEAR(graph.GainToY(0), 90.67, 0.005);
  EXPECT_EQ(window.handles[0]->pos(),
            QPoint(RoundHalfEven(620.67 - 7), RoundHalfEven(graph.GainToY(-3.2f) - 7)));
  EXPECT_EQ(window.handles[0]->size(), QSize(14, 14));
  QLabel* khz = graph.axis_label(16);
  EXPECT_EQ(khz->x(), X(1000) + 40 - khz->width() / 2);
  EXPECT_EQ(khz->y(), 13 + 273);
  // The curve runs through device pixels: its points lie on half logical pixels, within a
  // quarter pixel of the logical position (an ordinary screen's whole pixels are within a half).
  const auto& points = graph.curve_points();
  ASSERT_EQ(points.size(), 513u);
  EXPECT_EQ(points.back().x(), 1048.75);  // the right edge, 1049, snapped as a device pixel
  for (std::size_t i = 0; i < points.size(); i += 16) {
    SCOPED_TRACE(i);
    const double x = 1049.0 * i / 512;
    EXPECT_NEAR(points[i].x(), x, 0.25);
    EXPECT_EQ(std::fmod(points[i].x() * 2 + 0.5, 1.0), 0.0);
    EXPECT_EQ(std::fmod(points[i].y() * 2 + 0.5, 1.0), 0.0);
  }
  EXPECT_NEAR(points[0].y(), graph.GainToY(0), 0.25);
}

TEST_F(EqHidpiTest, FrameLinesCoverTheirLogicalPixelExactly) {
  graph.DrawGraphFrame(false);
  const int between = Y(-0.5);
  const struct {
    const char* what;
    int x, y;  // logical
    QRgb colour;
  } cases[] = {
      {"-3 dB row", 500, Y(-3), qRgb(64, 64, 64)},
      {"-1 dB row", 500, Y(-1), qRgb(23, 23, 23)},
      {"+12 dB row", 500, 0, qRgb(80, 80, 80)},
      {"-24 dB row", 500, 272, qRgb(80, 80, 80)},
      {"1000 Hz column", X(1000), between, qRgb(80, 80, 80)},
      {"500 Hz column", X(500), between, qRgb(64, 64, 64)},
      {"background", X(1000) + 1, between, kBackground},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (int dy = 0; dy < 2; ++dy) {
      for (int dx = 0; dx < 2; ++dx) {
        EXPECT_EQ(Device(2 * c.x + dx, 2 * c.y + dy), c.colour) << dx << "," << dy;
      }
    }
  }
  // Right beside a line, its neighbour's device pixels show the background.
  EXPECT_EQ(Device(1000, 2 * Y(-3) - 1), kBackground);
  EXPECT_EQ(Device(1000, 2 * Y(-3) + 2), kBackground);
  EXPECT_EQ(Device(2 * X(1000) + 2, 2 * between), kBackground);
}

TEST_F(EqHidpiTest, CurveIsDrawnWithTheFinePixels) {
  // A flat stretch on the 0 dB row and a steep one through a narrow cut.
  host.Set(0, 5, 204);  // 1000 Hz
  host.Set(0, 6, 20);   // -20 dB
  host.Set(0, 7, 60);   // Q 12.7
  graph.DrawSectionCurve(kAllSlots, 0);

  // Across the flat stretch the 1.8 px pen is 3.6 device pixels wide: four or five tinted rows,
  // in one run around the 0 dB line. An image drawn at one pixel per logical pixel and blown up
  // would tint six (three logical rows, each doubled).
  const int line = 2 * Y(0);
  for (int x : {100, 300, 1800, 2000}) {
    SCOPED_TRACE(x);
    std::vector<int> rows;
    for (int y = line - 8; y <= line + 8; ++y) {
      if (Tinted(Device(x, y))) rows.push_back(y);
    }
    ASSERT_GE(rows.size(), 4u);
    EXPECT_LE(rows.size(), 5u);
    EXPECT_EQ(rows.back() - rows.front() + 1, static_cast<int>(rows.size()));
    EXPECT_LE(rows.front(), line);
    EXPECT_GE(rows.back(), line + 1);
  }

  // Along the curve, many 2 x 2 device blocks are not one colour; a blown-up image has none.
  int mixed = 0;
  const QImage& image = graph.bitmap();
  for (int y = 0; y + 1 < image.height(); y += 2) {
    for (int x = 0; x + 1 < image.width(); x += 2) {
      const QRgb a = image.pixel(x, y);
      if (!Tinted(a) && !Tinted(image.pixel(x + 1, y + 1))) continue;
      if (a != image.pixel(x + 1, y) || a != image.pixel(x, y + 1) ||
          a != image.pixel(x + 1, y + 1)) {
        ++mixed;
      }
    }
  }
  EXPECT_GT(mixed, 500);
}

TEST_F(EqHidpiTest, MouseWorksInLogicalPixels) {
  host.Set(0, 0, 1);
  graph.DrawSectionCurve(kAllSlots, 0);
  // The readout reads the frequency under a logical x.
  Hover(window.image, QPoint(X(1000), 150));
  ASSERT_TRUE(graph.readout()->isVisible());
  const QRegularExpressionMatch m =
      QRegularExpression("^(\\d+\\.\\d)Hz").match(graph.readout()->text());
  ASSERT_TRUE(m.hasMatch()) << graph.readout()->text().toStdString();
  EXPECT_NEAR(m.captured(1).toDouble(), 1000, 4.1);

  // A drag to 2000 Hz, +6 dB applies the same table steps as on an ordinary screen.
  QLabel* point = window.handles[2];
  const QPoint grip(7, 7);
  const QPoint start = point->pos() + grip;
  const QPoint target(X(2000), Y(6));
  QTest::mousePress(point, Qt::LeftButton, {}, grip);
  for (int step = 1; step <= 4; ++step) {
    QTest::mouseMove(point, start + (target - start) * step / 4 - point->pos());
  }
  QTest::mouseRelease(point, Qt::LeftButton, {}, target - point->pos());
  graph.Timer1Timer();
  EXPECT_EQ(host.Get(0, 15), 240);  // 2000.0 Hz
  EXPECT_EQ(host.Get(0, 16), 150);  // +6.0 dB
  EXPECT_EQ(point->pos(), QPoint(RoundHalfEven(graph.FrequencyToX(2000) - 7), Y(6) - 7));
}

}  // namespace
}  // namespace kc
