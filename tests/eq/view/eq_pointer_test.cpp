// The graph and the mouse beyond dragging, with real mouse and wheel events: the readout under
// the cursor, the wheel over a point and the double click on a point.
#include <gtest/gtest.h>

#include <QLabel>
#include <QRegularExpression>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <vector>

#include "eq/view/eq_graph.h"
#include "fake_graph_host.h"
#include "model/rounding.h"
#include "qt_app.h"

namespace kc {
namespace {

using test::BlockOfPage;
using test::FakeGraphHost;
using test::GraphWindow;
using QStep = FakeGraphHost::QStep;

// Band k of a block: type, frequency step, gain step, Q step (both Q fields).
void Band(FakeGraphHost& host, int block, int k, int type, int frequency, int gain, int q) {
  const int a = InfoOfBlock(block)->first_eq + 5 * k;
  host.Set(block, a, type);
  host.Set(block, a + 1, frequency);
  host.Set(block, a + 2, gain);
  host.Set(block, a + 3, q);
  host.Set(block, a + 4, std::min(q, 28));
}

class EqPointerTest : public ::testing::Test {
 protected:
  EqPointerTest() {
    test::EnsureApplication();
    window.window->show();
    QTest::mouseMove(window.window.get(), QPoint(1108, 318));  // away from the graph
  }

  void ShowPage(int page) {
    host.page = page;
    graph.DrawSectionCurve(kAllSlots, BlockOfPage(page));
  }

  // Turns the wheel by `delta` eighths of a degree with the mouse over a widget's centre: the
  // event goes to whatever the window has under that spot, as a real wheel's does.
  void Wheel(QWidget* widget, int delta) {
    const QPoint local(widget->width() / 2, widget->height() / 2);
    QWidget* top = widget->window();
    QWidget* under = top->childAt(widget->mapTo(top, local));
    ASSERT_NE(under, nullptr);
    const QPointF at = under->mapFrom(widget, QPointF(local));
    QWheelEvent event(at, widget->mapToGlobal(QPointF(local)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(under, &event);
  }

  // The readout's two numbers.
  std::pair<double, double> Readout() const {
    static const QRegularExpression pattern("^(\\d+\\.\\d)Hz  (-?\\d+\\.\\d)dB$");
    const QRegularExpressionMatch m = pattern.match(graph.readout()->text());
    EXPECT_TRUE(m.hasMatch()) << graph.readout()->text().toStdString();
    return {m.captured(1).toDouble(), m.captured(2).toDouble()};
  }

  GraphWindow window;
  FakeGraphHost host;
  EqGraph graph{window.widgets(), host};
};

TEST_F(EqPointerTest, ReadoutShowsFrequencyAndSummedResponseUnderTheMouse) {
  Band(host, 0, 0, 0, 204, 104, 22);  // 1000 Hz, -3.2 dB, Q 1.40
  Band(host, 0, 1, 0, 82, 60, 40);    // 99 Hz, -12 dB, Q 4.00
  ShowPage(0);
  QLabel* readout = graph.readout();
  EXPECT_EQ(readout->objectName(), "EQReadout");
  EXPECT_EQ(readout->parentWidget(), window.inner);
  EXPECT_FALSE(readout->isVisible());

  struct Case {
    const char* where;
    double frequency;  // under the mouse
    double gain;       // the summed response there, from the bands; NAN: not known by hand
  };
  const Case cases[] = {
      {"centre of the -3.2 dB band", 1000, -3.2},
      {"flank of the narrow -12 dB band", 120, NAN},
      {"below every band", 12, 0.0},
      {"above every band", 23500, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    const int x = RoundHalfEven(graph.FrequencyToX(c.frequency));
    QTest::mouseMove(window.image, QPoint(x, 200));
    ASSERT_TRUE(readout->isVisible());
    const auto [frequency, gain] = Readout();
    // Within half a pixel of the frequency asked for, and the text of the frequency at x.
    EXPECT_NEAR(frequency, c.frequency, c.frequency * 0.004 + 0.05);
    EXPECT_NEAR(frequency, graph.XToFrequency(x), 0.051);
    if (!std::isnan(c.gain)) EXPECT_NEAR(gain, c.gain, 0.1);
    EXPECT_NEAR(gain, graph.ResponseAt(x), 0.051);
    // The drawn curve passes through the same height at x, within its pixel rounding.
    const auto& points = graph.curve_points();
    const auto nearest = std::min_element(points.begin(), points.end(), [x](auto a, auto b) {
      return std::abs(a.x() - x) < std::abs(b.x() - x);
    });
    ASSERT_LE(std::abs(nearest->x() - x), 1.0);
    EXPECT_NEAR(gain, graph.YToGain(nearest->y()), 0.3);
  }

  // Over a point, the frequency under the point's centre.
  QLabel* point = window.handles[0];
  QTest::mouseMove(point, QPoint(7, 7));
  EXPECT_TRUE(readout->isVisible());
  EXPECT_NEAR(Readout().first, 1000, 4.1);
  EXPECT_EQ(point->pos(), QPoint(RoundHalfEven(graph.FrequencyToX(1000) - 7),
                                 RoundHalfEven(graph.GainToY(-3.2) - 7)));

  // A redraw under a resting mouse shows the new curve's value.
  Band(host, 0, 0, 0, 204, 150, 22);  // +6 dB
  graph.DrawSectionCurve(0, 0);
  EXPECT_NEAR(Readout().second, 6.0, 0.1);

  // Leaving the graph hides it.
  QTest::mouseMove(window.outer, QPoint(10, 300));
  EXPECT_FALSE(readout->isVisible());
}

TEST_F(EqPointerTest, ReadoutLetsTheMouseThroughAndStaysBelowThePoints) {
  Band(host, 0, 0, 0, 0, 180, 16);  // 19.7 Hz, +12 dB: the point sits in the top left corner
  ShowPage(0);
  QTest::mouseMove(window.image, QPoint(500, 100));
  QLabel* readout = graph.readout();
  ASSERT_TRUE(readout->isVisible());
  QLabel* point = window.handles[0];
  ASSERT_TRUE(readout->geometry().intersects(point->geometry()));
  EXPECT_EQ(window.inner->childAt(point->geometry().center()), point);
  EXPECT_NE(window.inner->childAt(readout->geometry().center()), readout);

  // The covered point is pressed and dragged as any other.
  QTest::mousePress(point, Qt::LeftButton, {}, QPoint(7, 7));
  EXPECT_EQ(host.selections.size(), 1u);
  QTest::mouseMove(point, QPoint(47, 27));
  QTest::mouseRelease(point, Qt::LeftButton, {}, QPoint(7, 7));
  EXPECT_EQ(point->pos(), QPoint(RoundHalfEven(graph.FrequencyToX(19.7) - 7) + 40, -7 + 20));
}

TEST_F(EqPointerTest, MovesWithNoButtonHeldNeverDragAPoint) {
  ShowPage(0);
  QLabel* point = window.handles[1];
  const QPoint start = point->pos();
  QTest::mouseClick(point, Qt::LeftButton, {}, QPoint(7, 7));
  for (int step = 1; step <= 3; ++step) QTest::mouseMove(point, QPoint(7 + 10 * step, 7));
  EXPECT_EQ(point->pos(), start);
  EXPECT_EQ(graph.drag().dragged_index, -1);
  host.calls.clear();
  graph.Timer1Timer();
  EXPECT_TRUE(host.calls.empty());
  EXPECT_TRUE(graph.readout()->isVisible());
}

TEST_F(EqPointerTest, WheelOverABandPointStepsItsQOneStepPerNotch) {
  struct Case {
    const char* name;
    int page;
    bool automatic;
    bool ready;
    int handle;
    std::vector<int> deltas;
    std::vector<QStep> steps;
  };
  const std::vector<Case> cases = {
      {"one notch away", 0, false, true, 2, {120}, {{0, 2, true}}},
      {"two notches towards in one event",
       0,
       false,
       true,
       2,
       {-240},
       {{0, 2, false}, {0, 2, false}}},
      {"two half notches make one", 0, false, true, 0, {60, 60}, {{0, 0, true}}},
      {"a half notch is not a step", 0, false, true, 0, {60}, {}},
      {"Music while automatic", 0, true, true, 2, {120}, {}},
      {"before the editor is ready", 0, false, false, 2, {120}, {}},
      {"Microphone band 15", 1, false, true, 14, {120}, {{1, 14, true}}},
      {"Main output band while automatic", 3, true, true, 4, {-120}, {{3, 4, false}}},
      {"Microphone high-pass point", 1, false, true, 15, {120, 120}, {}},
      {"Effect low-pass point", 2, false, true, 16, {-120}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host.Set(0, 0, c.automatic ? 0 : 1);
    host.is_ready = c.ready;
    ShowPage(c.page);
    host.q_steps.clear();
    QLabel* point = window.handles[c.handle];
    ASSERT_TRUE(point->isVisible());
    for (int delta : c.deltas) Wheel(point, delta);
    EXPECT_EQ(host.q_steps, c.steps);
    // The wheel itself changes no value.
    EXPECT_TRUE(host.calls.empty());
  }
}

TEST_F(EqPointerTest, DoubleClickOnABandPointAsksForZeroDecibelsOnce) {
  struct Case {
    const char* name;
    int page;
    bool automatic;
    int handle;
    std::vector<std::pair<int, int>> zeroed;
  };
  const std::vector<Case> cases = {
      {"Music band 3", 0, false, 2, {{0, 2}}},
      {"Rear band 5", 6, false, 4, {{6, 4}}},
      {"Music while automatic", 0, true, 2, {}},
      {"Subwoofer high-pass point", 5, false, 15, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host.Set(0, 0, c.automatic ? 0 : 1);
    ShowPage(c.page);
    host.zeroed.clear();
    host.selections.clear();
    QLabel* point = window.handles[c.handle];
    const QPoint start = point->pos();
    // As the window system delivers a double click: press, release, then the second press as a
    // double click.
    const QPoint grip(point->width() / 2, 3);
    QTest::mouseClick(point, Qt::LeftButton, {}, grip);
    QTest::mouseDClick(point, Qt::LeftButton, {}, grip);
    EXPECT_EQ(host.zeroed, c.zeroed);
    if (!c.zeroed.empty()) {
      // The press of each click selected the band; the double click leaves no drag behind.
      EXPECT_EQ(host.selections.size(), 2u);
      EXPECT_FALSE(graph.drag().dragging);
      QTest::mouseMove(point, QPoint(point->width() / 2, 30));
      EXPECT_EQ(point->pos(), start);
    }
    QTest::mouseRelease(point, Qt::LeftButton);
  }
  // A double click with the right button is a pair of presses only.
  host.Set(0, 0, 1);
  ShowPage(0);
  host.zeroed.clear();
  QTest::mouseDClick(window.handles[0], Qt::RightButton, {}, QPoint(7, 7));
  QTest::mouseRelease(window.handles[0], Qt::RightButton, {}, QPoint(7, 7));
  EXPECT_TRUE(host.zeroed.empty());
}

}  // namespace
}  // namespace kc
