// The graph's frame, labels, curve and points on real widgets, offscreen.
#include "eq/view/eq_graph.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPixmap>
#include <QRegularExpression>
#include <cmath>
#include <string>

#include "eq/graph_axes.h"
#include "fake_graph_host.h"
#include "model/rounding.h"
#include "qt_app.h"

namespace kc {
namespace {

using test::FakeGraphHost;
using test::GraphWindow;

QRgb Rgb(int r, int g, int b) { return qRgb(r, g, b); }

class EqGraphTest : public ::testing::Test {
 protected:
  EqGraphTest() { test::EnsureApplication(); }

  QRgb Pixel(int x, int y) const { return graph.bitmap().pixel(x, y); }
  int Y(double gain) const { return RoundHalfEven(kc::GainToY(gain, 273)); }
  int X(double frequency) const { return RoundHalfEven(graph.FrequencyToX(frequency)); }
  QString LabelText() const { return window.eq_label->text(); }

  GraphWindow window;
  FakeGraphHost host;
  EqGraph graph{window.widgets(), host};
};

TEST_F(EqGraphTest, MappingAtTheDesignSize) {
  EXPECT_DOUBLE_EQ(graph.scale(), 1049.0 / 512);
  const struct {
    double frequency, x;
  } xs[] = {{20, 93.42}, {100, 310.34}, {1000, 620.67}, {10000, 931.01}, {20000, 1024.43}};
  for (const auto& c : xs) EXPECT_NEAR(graph.FrequencyToX(c.frequency), c.x, 0.005) << c.frequency;
  const struct { double gain, y; } ys[] = {{12, 0}, {0, 90.67}, {-6, 136}, {-24, 272}};
  for (const auto& c : ys) EXPECT_NEAR(graph.GainToY(c.gain), c.y, 0.005) << c.gain;
  EXPECT_NEAR(graph.XToFrequency(graph.FrequencyToX(1234.5)), 1234.5, 1e-9);
}

TEST_F(EqGraphTest, AxisLabelsAreCreatedOnceAndPlacedAroundTheInnerPanel) {
  EXPECT_EQ(window.outer
                ->findChildren<QLabel*>(QRegularExpression("^EQLabel[XY]\\d+$"),
                                        Qt::FindDirectChildrenOnly)
                .size(),
            21);
  const struct {
    int i;
    const char* name;
    const char* text;
  } labels[] = {{0, "EQLabelY0", "-24dB"},  {4, "EQLabelY4", "0dB"},    {6, "EQLabelY6", "12dB"},
                {10, "EQLabelY10", "36dB"}, {11, "EQLabelX11", "20Hz"}, {16, "EQLabelX16", "1KHz"},
                {20, "EQLabelX20", "20KHz"}};
  for (const auto& c : labels) {
    QLabel* label = graph.axis_label(c.i);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->objectName(), c.name);
    EXPECT_EQ(label->text(), c.text);
    EXPECT_TRUE(label->font().bold());
  }
  QLabel* zero = graph.axis_label(4);
  EXPECT_EQ(zero->x() + zero->width(), 40 - 2);
  EXPECT_EQ(zero->y(), Y(0) + 13 - zero->height() / 2);
  QLabel* khz = graph.axis_label(16);
  EXPECT_EQ(khz->x(), X(1000) + 40 - khz->width() / 2);
  EXPECT_EQ(khz->y(), 13 + 273);
  // A second frame build with the create flag makes no second set.
  graph.DrawGraphFrame(true);
  EXPECT_EQ(window.outer->findChildren<QLabel*>(QRegularExpression("^EQLabel")).size(), 21);
}

TEST_F(EqGraphTest, ResizeRebuildsTheFrameAndMovesTheLabels) {
  host.Set(0, 5, 204);  // Music band 0 at 1000 Hz
  graph.DrawSectionCurve(kAllSlots, 0);
  window.window->show();  // a hidden panel gets its resize event only when shown
  window.inner->resize(800, 200);
  EXPECT_EQ(window.image->size(), QSize(800, 200));
  EXPECT_EQ(graph.bitmap().size(), QSize(800, 200));
  EXPECT_DOUBLE_EQ(graph.scale(), 800.0 / 512);
  EXPECT_NEAR(graph.FrequencyToX(1000), 2.0 / kGridDecades * 800, 1e-9);
  EXPECT_NEAR(graph.GainToY(0), 12.0 / 36 * 199, 1e-9);
  EXPECT_EQ(window.outer->findChildren<QLabel*>(QRegularExpression("^EQLabel")).size(), 21);
  QLabel* khz = graph.axis_label(16);
  EXPECT_EQ(khz->x(), X(1000) + 40 - khz->width() / 2);
  EXPECT_EQ(khz->y(), 13 + 200);
  QLabel* zero = graph.axis_label(4);
  EXPECT_EQ(zero->y(), RoundHalfEven(12.0 / 36 * 199) + 13 - zero->height() / 2);
  // The section was drawn again at the new size: its point and its flat curve follow.
  EXPECT_EQ(window.handles[0]->x(), RoundHalfEven(2.0 / kGridDecades * 800 - 7));
  EXPECT_EQ(graph.curve_points().back(), QPointF(800, RoundHalfEven(12.0 / 36 * 199)));
  EXPECT_EQ(graph.bitmap().pixel(0, 199), Rgb(80, 80, 80));
}

TEST_F(EqGraphTest, FramePixelsAtTheGridLines) {
  graph.DrawGraphFrame(false);
  const int between = Y(-0.5);  // a row with no horizontal line
  const struct {
    const char* what;
    int x, y;
    QRgb colour;
  } cases[] = {
      {"+12 dB row", 500, 0, Rgb(80, 80, 80)},
      {"0 dB row", 500, Y(0), Rgb(80, 80, 80)},
      {"-24 dB row", 500, 272, Rgb(80, 80, 80)},
      {"-3 dB row", 500, Y(-3), Rgb(64, 64, 64)},
      {"+6 dB row", 500, Y(6), Rgb(64, 64, 64)},
      {"-1 dB row", 500, Y(-1), Rgb(23, 23, 23)},
      {"+11 dB row", 500, Y(11), Rgb(23, 23, 23)},
      {"background between rows", 500, between, Rgb(21, 21, 21)},
      {"left edge", 0, between, Rgb(80, 80, 80)},
      {"100 Hz column", X(100), between, Rgb(80, 80, 80)},
      {"1000 Hz column", X(1000), between, Rgb(80, 80, 80)},
      {"10000 Hz column", X(10000), between, Rgb(80, 80, 80)},
      {"20 Hz column", X(20), between, Rgb(64, 64, 64)},
      {"500 Hz column", X(500), between, Rgb(64, 64, 64)},
      {"20000 Hz column", X(20000), between, Rgb(64, 64, 64)},
      {"next to the 1000 Hz column", X(1000) + 1, between, Rgb(21, 21, 21)},
      {"the bottom row over a minor column", X(500), 272, Rgb(80, 80, 80)},
      {"a minor row over a decade column", X(1000), Y(-1), Rgb(80, 80, 80)},
  };
  const QImage shown = window.image->pixmap().toImage();
  for (const auto& c : cases) {
    EXPECT_EQ(Pixel(c.x, c.y), c.colour) << c.what << " at " << c.x << "," << c.y;
    EXPECT_EQ(shown.pixel(c.x, c.y), c.colour) << c.what << " as shown";
  }
}

TEST_F(EqGraphTest, FlatSectionsLieOnTheZeroDbRow) {
  // Every gain 0 dB and every pass filter off (the echo low-pass is off at 194).
  const int zero_row = Y(0);
  for (int block : {0, 1, 3, 5, 6, 7, 8}) {
    SCOPED_TRACE(block);
    graph.DrawSectionCurve(kAllSlots, block);
    ASSERT_EQ(graph.curve_points().size(), 513u);
    for (const QPointF& p : graph.curve_points()) ASSERT_EQ(p.y(), zero_row);
    EXPECT_EQ(graph.curve_points()[512].x(), 1049);
    for (int x = 5; x < 1045; x += 41) {
      EXPECT_EQ(Pixel(x, zero_row), Rgb(0, 204, 255)) << x;
      // Two rows off the curve only the frame shows (no channel above the brightest grey).
      EXPECT_LE(qGreen(Pixel(x, zero_row - 2)), 80) << x;
      EXPECT_LE(qGreen(Pixel(x, zero_row + 2)), 80) << x;
    }
  }
}

TEST_F(EqGraphTest, PointsShowForTheSectionsBandsAndPassFilters) {
  const struct {
    int block;
    int bands;
    bool high_pass, low_pass;
  } cases[] = {{0, 10, false, false}, {1, 15, true, false}, {3, 3, true, true},
               {5, 5, true, false},   {6, 3, true, true},   {8, 5, true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.block);
    graph.DrawSectionCurve(kAllSlots, c.block);
    for (int h = 0; h < 15; ++h)
      EXPECT_EQ(window.handles[h]->isVisibleTo(window.inner), h < c.bands) << h;
    EXPECT_EQ(window.handles[15]->isVisibleTo(window.inner), c.high_pass);
    EXPECT_EQ(window.handles[16]->isVisibleTo(window.inner), c.low_pass);
  }
  // Each band point sits centred on its frequency and gain.
  host.Set(0, 10, 6);    // band 1 at table step 6
  host.Set(0, 11, 150);  // +6 dB
  graph.DrawSectionCurve(kAllSlots, 0);
  EXPECT_EQ(window.handles[1]->pos(), QPoint(RoundHalfEven(graph.FrequencyToX(22.1) - 7),
                                             RoundHalfEven(graph.GainToY(6) - 7)));
}

// A value outside its range (a damaged image, a file from elsewhere) is drawn as the nearest
// value inside it, whatever page was drawn before: no slot keeps another section's response.
TEST_F(EqGraphTest, OutOfRangeValuesDrawAsTheNearestValueInRange) {
  struct Case {
    const char* name;
    int block, index, raw, in_range;
    int handle;  // the point that must show for it
  };
  const Case cases[] = {
      {"Subwoofer low-pass type 100", 6, 14, 100, 0, 16},
      {"Subwoofer low-pass type 7", 6, 14, 7, 4, 16},
      {"Subwoofer low-pass type -3", 6, 14, -3, 0, 16},
      {"Subwoofer high-pass frequency 500", 6, 10, 500, 143, 15},
      {"Main band 1 gain 999", 5, 32, 999, 180, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeGraphHost clean;
    EqGraph reference(window.widgets(), clean);
    clean.Set(6, 16, 60);  // a low-pass that is on
    clean.Set(c.block, c.index, c.in_range);
    reference.DrawSectionCurve(kAllSlots, c.block);
    const std::vector<QPointF> expected = reference.curve_points();

    FakeGraphHost damaged;
    EqGraph under_test(window.widgets(), damaged);
    // The Microphone page drawn first, with every band boosted.
    for (int band = 0; band < 15; ++band) damaged.Set(1, 6 + 5 * band, 180);
    under_test.DrawSectionCurve(kAllSlots, 1);
    damaged.Set(6, 16, 60);
    damaged.Set(c.block, c.index, c.raw);
    under_test.DrawSectionCurve(kAllSlots, c.block);
    EXPECT_EQ(under_test.curve_points(), expected);
    EXPECT_TRUE(window.handles[c.handle]->isVisibleTo(window.inner));
  }
}

TEST_F(EqGraphTest, EqLabelTextsAndPlaces) {
  host.Set(0, 4, 0);
  host.Set(0, 5, 204);  // 1000.0 Hz
  host.Set(0, 6, 104);  // -3.2 dB
  host.Set(0, 7, 22);   // Q 1.40
  host.Set(0, 10, 100);
  host.Set(0, 11, 180);  // +12 dB
  host.Set(3, 5, 10);    // echo low-pass at table step 178
  graph.DrawSectionCurve(kAllSlots, 0);
  QLabel* label = window.eq_label;

  graph.DrawSectionCurve(0, 0);
  EXPECT_EQ(LabelText(), "-3.2dB\nQ:1.40\n1000.00Hz");
  QLabel* h = window.handles[0];
  EXPECT_EQ(h->pos(), QPoint(RoundHalfEven(graph.FrequencyToX(1000) - 7),
                             RoundHalfEven(graph.GainToY(-3.2f) - 7)));
  // Below 0 dB the label stands above its point, centred on it.
  EXPECT_EQ(label->x(), h->x() - label->width() / 2 + 7);
  EXPECT_EQ(label->y() + label->height() + 1, h->y());

  graph.DrawSectionCurve(1, 0);
  EXPECT_EQ(LabelText(), "12.0dB\nQ:1.00\n" +
                             QString::fromStdString(FormatPattern(FrequencyOfStep(100), 2)) + "Hz");
  EXPECT_EQ(label->y(), window.handles[1]->y() + 14);  // at or above 0 dB: below its point

  // Selection 20 leaves the label's text and place alone.
  const QPoint place = label->pos();
  graph.DrawSectionCurve(kAllSlots, 0);
  EXPECT_EQ(LabelText(), QString("12.0dB\nQ:1.00\n") +
                             QString::fromStdString(FormatPattern(FrequencyOfStep(100), 2)) + "Hz");
  EXPECT_EQ(label->pos(), place);

  // A pass filter that is off reads "OFF", 5 pixels into the bottom of its point.
  graph.DrawSectionCurve(15, 1);
  EXPECT_EQ(LabelText(), "OFF");
  QLabel* hp = window.handles[15];
  EXPECT_EQ(hp->pos(), QPoint(RoundHalfEven(graph.FrequencyToX(19.0) - 12),
                              RoundHalfEven(graph.GainToY(0) - 12)));
  EXPECT_EQ(label->y(), hp->y() + 24 - 5);
  EXPECT_EQ(label->x(), hp->x() - label->width() / 2 + 12);

  graph.DrawSectionCurve(4, 3);
  EXPECT_EQ(LabelText(), "606.00Hz");
  host.Set(3, 5, 194);
  graph.DrawSectionCurve(4, 3);
  EXPECT_EQ(LabelText(), "OFF");
  EXPECT_EQ(window.handles[16]->pos(), QPoint(RoundHalfEven(graph.FrequencyToX(20600) - 12),
                                              RoundHalfEven(graph.GainToY(0) - 12)));
}

TEST_F(EqGraphTest, MainOutputSlopeAddsTheExtraSection) {
  host.Set(5, 16, 37);
  host.Set(5, 18, 1);
  graph.DrawSectionCurve(5, 5);
  EXPECT_EQ(graph.layout().band_slots[5].code, 111);
  EXPECT_TRUE(graph.responses().extra_high_pass_in_use());
  EXPECT_EQ(LabelText(), "39.40Hz");
  const double steep = graph.curve_points()[40].y();
  host.Set(5, 18, 0);
  graph.DrawSectionCurve(5, 5);
  EXPECT_FALSE(graph.responses().extra_high_pass_in_use());
  EXPECT_GT(steep, graph.curve_points()[40].y());  // 24 dB/oct lies lower below the corner
  host.Set(5, 16, 0);
  graph.DrawSectionCurve(5, 5);
  EXPECT_EQ(LabelText(), "OFF");
  for (const QPointF& p : graph.curve_points()) ASSERT_EQ(p.y(), Y(0));
}

TEST_F(EqGraphTest, SubwooferTypesAddTheExtraSectionExceptUser12dB) {
  const char* names[] = {"Besell 24dB", "Butterworth 24dB", "Link Riley 24dB", "USER 12dB",
                         "USER 24dB"};
  for (int t = 0; t < 5; ++t) {
    SCOPED_TRACE(names[t]);
    host.Set(6, 8, t);
    host.Set(6, 10, 60);
    host.Set(6, 14, t);
    host.Set(6, 16, 250);
    graph.DrawSectionCurve(kAllSlots, 6);
    EXPECT_EQ(graph.responses().extra_high_pass_in_use(), t != 3);
    EXPECT_EQ(graph.responses().extra_low_pass_in_use(), t != 3);
    EXPECT_EQ(graph.layout().band_slots[3].code, t == 3 ? 104 : 111 + t);
    EXPECT_EQ(graph.layout().band_slots[4].code, t == 3 ? 204 : 211 + t);
    // The curve is the sum of the slots and the extra sections in use.
    ResponseArray expected = graph.responses().slot_response(0);
    for (int k = 1; k <= 4; ++k) {
      for (int i = 0; i < kResponsePoints; ++i)
        expected[i] += graph.responses().slot_response(k)[i];
    }
    if (t != 3) {
      for (int i = 0; i < kResponsePoints; ++i) {
        expected[i] += graph.responses().extra_high_pass()[i];
        expected[i] += graph.responses().extra_low_pass()[i];
      }
    }
    for (int i : {0, 100, 256, 400, 512}) {
      EXPECT_EQ(graph.curve_points()[i].y(), RoundCoordinate(graph.GainToY(expected[i]))) << i;
    }
  }
}

TEST_F(EqGraphTest, PassLabelColoursAndBulkRefresh) {
  host.bypass[5] = 1;
  graph.DrawSectionCurve(kAllSlots, 5);
  EXPECT_TRUE(window.pass_label->isVisibleTo(window.inner));
  host.bypass[5] = 0;
  graph.DrawSectionCurve(kAllSlots, 5);
  EXPECT_FALSE(window.pass_label->isVisibleTo(window.inner));

  host.curve = QColor(255, 102, 0);
  graph.DrawSectionCurve(kAllSlots, 1);
  EXPECT_EQ(Pixel(500, Y(0)), Rgb(255, 102, 0));

  // Nothing is drawn while a bulk refresh runs, nor for blocks without a section.
  host.Set(1, 6, 180);
  host.bulk = true;
  graph.DrawSectionCurve(kAllSlots, 1);
  EXPECT_EQ(Pixel(500, Y(0)), Rgb(255, 102, 0));
  host.bulk = false;
  for (int block : {4, 9, 12}) {
    graph.DrawSectionCurve(kAllSlots, block);
    EXPECT_EQ(Pixel(500, Y(0)), Rgb(255, 102, 0)) << block;
  }
}

TEST_F(EqGraphTest, OneChangedBandRecomputesOnlyItsSlot) {
  graph.DrawSectionCurve(kAllSlots, 0);
  host.Set(0, 6, 150);  // band 0 to +6 dB
  host.Set(0, 11, 60);  // band 1 to -12 dB, but only band 0 is redrawn
  graph.DrawSectionCurve(0, 0);
  const ResponseArray& band0 = graph.responses().slot_response(0);
  const ResponseArray& band1 = graph.responses().slot_response(1);
  EXPECT_GT(*std::max_element(band0.begin(), band0.end()), 5.9f);
  EXPECT_EQ(*std::min_element(band1.begin(), band1.end()), 0.0f);
  graph.DrawSectionCurve(kAllSlots, 0);
  EXPECT_LT(*std::min_element(band1.begin(), band1.end()), -11.9f);
}

}  // namespace
}  // namespace kc
