// Pressing and dragging the graph's points with real mouse events, and the timer ticks that
// apply the dragged values through the point's controls.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <vector>

#include "eq/view/eq_graph.h"
#include "fake_graph_host.h"
#include "model/rounding.h"
#include "model/value_scales.h"
#include "qt_app.h"

namespace kc {
namespace {

using test::AppliedCall;
using test::BlockOfPage;
using test::FakeGraphHost;
using test::GraphWindow;

class EqDragTest : public ::testing::Test {
 protected:
  EqDragTest() {
    test::EnsureApplication();
    window.window->show();
  }

  void ShowPage(int page) {
    host.page = page;
    graph.DrawSectionCurve(kAllSlots, BlockOfPage(page));
  }

  // Presses a point at its centre and moves the mouse in four steps to `target` (inner-panel
  // coordinates), so that the point's centre would follow it there; then releases.
  void Drag(int handle, QPoint target) {
    QLabel* h = window.handles[handle];
    const QPoint grip(h->width() / 2, h->height() / 2);
    const QPoint start = h->pos() + grip;
    QTest::mousePress(h, Qt::LeftButton, {}, grip);
    for (int step = 1; step <= 4; ++step) {
      QTest::mouseMove(h, start + (target - start) * step / 4 - h->pos());
    }
    QTest::mouseRelease(h, Qt::LeftButton, {}, target - h->pos());
  }

  // A tick after a drag, with the calls it made.
  std::vector<AppliedCall> Tick() {
    host.calls.clear();
    graph.Timer1Timer();
    return host.calls;
  }

  int X(double frequency, int half) const {
    return RoundHalfEven(graph.FrequencyToX(frequency) - half);
  }
  int Y(double gain, int half) const { return RoundHalfEven(graph.GainToY(gain) - half); }

  GraphWindow window;
  FakeGraphHost host;
  EqGraph graph{window.widgets(), host};
};

struct LimitCase {
  const char* name;
  QPoint target;
  float frequency;
  float gain;
  float frequency_index;
  float gain_index;
};

TEST_F(EqDragTest, BandPointsStopAtTheEdgesOfTheGraph) {
  const double centre_x = 620;  // near 1000 Hz
  const std::vector<LimitCase> cases = {
      {"above the top", {620, -300}, -1, 12.0f, -1, 180},
      {"below the bottom", {620, 600}, -1, -24.0f, -1, 0},
      {"left of 19 Hz", {-200, 91}, 19.0f, -1, 0, -1},
      {"right of 20600 Hz", {1400, 91}, 20600.0f, -1, 361, -1},
  };
  ShowPage(0);
  for (const LimitCase& c : cases) {
    SCOPED_TRACE(c.name);
    Drag(0, QPoint(static_cast<int>(centre_x), 91));
    Tick();
    Drag(0, c.target);
    const DragState& d = graph.drag();
    EXPECT_FALSE(d.dragging);
    EXPECT_EQ(d.dragged_index, 0);
    QLabel* h = window.handles[0];
    // The centre stops on the first or last row; the point is drawn whole inside the image.
    if (c.gain == 12.0f) {
      EXPECT_EQ(graph.handle_top(0), -7);
      EXPECT_EQ(h->y(), 0);
    }
    if (c.gain == -24.0f) {
      EXPECT_EQ(graph.handle_top(0), 273 - 7);
      EXPECT_EQ(h->y(), 273 - 14);
    }
    if (c.frequency == 19.0f) {
      EXPECT_EQ(h->x(), RoundHalfEven(graph.FrequencyToX(19)) - 7);
    }
    if (c.frequency == 20600.0f) {
      EXPECT_EQ(h->x(), X(20600, 7));
    }
    if (c.gain != -1) {
      EXPECT_EQ(d.gain, c.gain);
      EXPECT_EQ(d.pending_gain_index, c.gain_index);
    }
    if (c.frequency != -1) {
      EXPECT_EQ(d.frequency, c.frequency);
      EXPECT_EQ(d.pending_frequency_index, c.frequency_index);
    }
    Tick();
    if (c.gain != -1) {
      EXPECT_EQ(host.Get(0, 6), c.gain_index);
    }
    if (c.frequency != -1) {
      EXPECT_EQ(host.Get(0, 5), c.frequency_index);
    }
  }
}

TEST_F(EqDragTest, ABandDragAppliesBothValuesWithOneTransmissionPerTick) {
  ShowPage(0);
  const QLabel* h = window.handles[2];
  Drag(2, {RoundHalfEven(graph.FrequencyToX(2000)), RoundHalfEven(graph.GainToY(6))});
  const std::vector<AppliedCall> calls = Tick();
  ASSERT_EQ(calls.size(), 2u);
  // The frequency is shown and stored without sending; the gain's band transmission carries it.
  EXPECT_EQ(calls[0].control, host.PrimaryOf(0x000F));
  EXPECT_TRUE(calls[0].display_only);
  EXPECT_EQ(calls[0].x, 240);  // 2000.0 Hz
  EXPECT_EQ(calls[1].control, host.PrimaryOf(0x0010));
  EXPECT_FALSE(calls[1].display_only);
  EXPECT_EQ(calls[1].x, 150);  // +6.0 dB
  for (const AppliedCall& c : calls) EXPECT_EQ(c.step, 0);
  EXPECT_EQ(host.Get(0, 15), 240);
  EXPECT_EQ(host.Get(0, 16), 150);
  // The redraw check of the same tick puts the point on the applied values and shows its label.
  EXPECT_EQ(h->pos(), QPoint(X(2000, 7), Y(6, 7)));
  EXPECT_EQ(window.eq_label->text(), "6.0dB\nQ:1.00\n2000.00Hz");
  // Nothing pending: the next tick sends nothing.
  EXPECT_TRUE(Tick().empty());

  // Within one drag, a move that changes only the gain sends only the gain.
  QLabel* point = window.handles[2];
  const QPoint grip(7, 7);
  QTest::mousePress(point, Qt::LeftButton, {}, grip);
  QTest::mouseMove(point, grip + QPoint(0, 20));
  EXPECT_EQ(Tick().size(), 2u);  // a new drag sends what it settles on first
  QTest::mouseMove(point, grip + QPoint(0, 30));
  const std::vector<AppliedCall> gain_only = Tick();
  QTest::mouseRelease(point, Qt::LeftButton, {}, grip);
  ASSERT_EQ(gain_only.size(), 1u);
  EXPECT_EQ(gain_only[0].control, host.PrimaryOf(0x0010));
  EXPECT_EQ(gain_only[0].x, graph.drag().pending_gain_index);
  EXPECT_FALSE(gain_only[0].display_only);
  EXPECT_EQ(host.Get(0, 15), 240);
}

struct PassCase {
  const char* name;
  int page;
  int handle;
  double target_frequency;
  int half;
  double pinned_frequency;  // where the point is held during the drag, 0 for not held
  const char* pane;
  double value;       // given to the pane; -1: the frequency step under the point
  const char* label;  // the label after the redraw; nullptr: the table entry shown
};

TEST_F(EqDragTest, PassPointsMoveHorizontallyAndStopAtTheirPins) {
  const std::vector<PassCase> cases = {
      {"microphone high-pass past 309 Hz", 1, 15, 3000, 12, 309, "MicHPFrePane", 143, "303.00Hz"},
      {"microphone high-pass to the left end", 1, 15, 5, 12, 0, "MicHPFrePane", 0, "OFF"},
      {"echo low-pass below 500 Hz", 2, 16, 100, 12, 500, "EchoLPFrePane", 0, "500.00Hz"},
      {"echo low-pass to 20600 Hz", 2, 16, 30000, 12, 0, "EchoLPFrePane", 194, "OFF"},
      {"echo high-pass past 2000 Hz", 2, 15, 9000, 12, 2000, "EchoHPFrePane", 240, "1960.00Hz"},
      {"main output high-pass past 309 Hz", 3, 15, 1000, 12, 309, "MainMusHPFrePane", 143,
       "303.00Hz"},
      {"subwoofer low-pass", 5, 16, 100, 12, 0, "SubMusLPFrePane", -1, nullptr},
  };
  for (const PassCase& c : cases) {
    SCOPED_TRACE(c.name);
    host.Set(6, 14, 3);  // subwoofer low-pass "USER 12dB"
    host.Set(6, 16, 200);
    ShowPage(c.page);
    QLabel* h = window.handles[c.handle];
    const int row = h->y();
    Drag(c.handle, {RoundHalfEven(graph.FrequencyToX(c.target_frequency)), 40});
    EXPECT_EQ(h->y(), row) << "a pass point moves only horizontally";
    if (c.pinned_frequency != 0) {
      EXPECT_EQ(h->x(), X(c.pinned_frequency, c.half));
    }
    const std::vector<AppliedCall> calls = Tick();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].control->objectName(), c.pane);
    const double value = c.value >= 0 ? c.value : graph.drag().pending_frequency_index;
    EXPECT_EQ(calls[0].x, value);
    EXPECT_FALSE(calls[0].display_only);
    if (c.label != nullptr) {
      EXPECT_EQ(window.eq_label->text(), c.label);
    } else {
      EXPECT_EQ(window.eq_label->text().toStdString(),
                FormatPattern(FrequencyOfStep(static_cast<int>(value) - 1), 2) + "Hz");
    }
  }
}

TEST_F(EqDragTest, PressingABandPointSelectsItsBand) {
  ShowPage(1);
  QTest::mousePress(window.handles[4], Qt::LeftButton, {}, {7, 7});
  QTest::mouseRelease(window.handles[4], Qt::LeftButton, {}, {7, 7});
  ASSERT_EQ(host.selections.size(), 1u);
  EXPECT_EQ(host.selections[0], std::make_pair(1, 4));
  // The selection's commit is drawn by the next tick: the band's label shows.
  EXPECT_TRUE(Tick().empty());
  EXPECT_EQ(window.eq_label->text().toStdString(),
            "0.0dB\nQ:1.00\n" + FormatPattern(FrequencyOfStep(host.Get(1, 25)), 2) + "Hz");
}

TEST_F(EqDragTest, PressingAPassPointShowsItsLabelWithoutChangingAnything) {
  host.Set(5, 16, 40);
  ShowPage(3);
  window.eq_label->setText("before");
  QTest::mousePress(window.handles[15], Qt::RightButton, {}, {12, 12});
  QTest::mouseRelease(window.handles[15], Qt::RightButton, {}, {12, 12});
  EXPECT_EQ(window.eq_label->text(), "41.70Hz");  // table step 39
  EXPECT_TRUE(host.calls.empty());
  EXPECT_TRUE(Tick().empty());
  EXPECT_EQ(host.Get(5, 16), 40);
}

TEST_F(EqDragTest, TheAutomaticSwitchHoldsMusicPointsAndOutputPassPoints) {
  host.Set(0, 0, 0);  // automatic
  ShowPage(0);
  QLabel* music = window.handles[0];
  const QPoint music_place = music->pos();
  Drag(0, {500, 30});
  EXPECT_TRUE(host.selections.empty());
  EXPECT_EQ(music->pos(), music_place);
  EXPECT_TRUE(Tick().empty());

  ShowPage(3);
  QLabel* high_pass = window.handles[15];
  const QPoint pass_place = high_pass->pos();
  Drag(15, {200, pass_place.y() + 12});
  EXPECT_EQ(high_pass->pos(), pass_place);
  EXPECT_TRUE(Tick().empty());
  // The output page's band points still move and select.
  Drag(1, {500, 30});
  EXPECT_EQ(host.selections.back(), std::make_pair(3, 1));
  EXPECT_EQ(window.handles[1]->pos(), QPoint(493, 23));
  EXPECT_EQ(Tick().size(), 2u);
}

TEST_F(EqDragTest, NothingHappensBeforeTheEditorIsReady) {
  host.is_ready = false;
  ShowPage(0);
  const QPoint place = window.handles[0]->pos();
  Drag(0, {500, 30});
  EXPECT_TRUE(host.selections.empty());
  EXPECT_EQ(window.handles[0]->pos(), place);
  EXPECT_TRUE(Tick().empty());
}

TEST_F(EqDragTest, ASecondBandDraggedOntoTheFirstBandsFrequencyTakesIt) {
  ShowPage(0);
  const int x = RoundHalfEven(graph.FrequencyToX(1000));
  Drag(0, {x, RoundHalfEven(graph.GainToY(3))});
  Tick();
  ASSERT_EQ(host.Get(0, 5), 204);
  Drag(1, {x, RoundHalfEven(graph.GainToY(-3))});
  Tick();
  EXPECT_EQ(host.Get(0, 10), 204);
  EXPECT_EQ(host.Get(0, 11), 105);
  EXPECT_EQ(window.handles[1]->x(), window.handles[0]->x());
}

TEST_F(EqDragTest, RedrawCheckFollowsTheLastChange) {
  ShowPage(0);
  host.Set(0, 21, 150);  // band 3 gain, changed by some other control
  host.last = {0x0015, 150};
  Tick();
  EXPECT_EQ(graph.last_drawn(), std::make_pair(0x0015, 150));
  EXPECT_TRUE(window.eq_label->text().startsWith("6.0dB"));
  EXPECT_EQ(window.handles[3]->y(), RoundHalfEven(graph.GainToY(6) - 7));
  // The same pair is not drawn twice.
  window.eq_label->setText("kept");
  Tick();
  EXPECT_EQ(window.eq_label->text(), "kept");
  // A Reverb change has no band and draws nothing.
  host.last = {0x0406, 10};
  Tick();
  EXPECT_EQ(window.eq_label->text(), "kept");
}

TEST_F(EqDragTest, TheTimerRunsEveryTenMillisecondsAndSurvivesItsOwnWork) {
  EXPECT_FALSE(graph.Timer1().isActive());
  graph.Start();
  EXPECT_TRUE(graph.Timer1().isActive());
  EXPECT_EQ(graph.Timer1().interval(), 10);
  ShowPage(0);
  Drag(0, {300, 100});
  const int pending = static_cast<int>(graph.drag().pending_gain_index);
  for (int i = 0; i < 100 && host.Get(0, 6) != pending; ++i) QTest::qWait(10);
  EXPECT_EQ(host.Get(0, 6), pending);
  EXPECT_TRUE(graph.Timer1().isActive());
  graph.Timer1().stop();
}

}  // namespace
}  // namespace kc
