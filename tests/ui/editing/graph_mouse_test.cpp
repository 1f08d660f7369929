// The EQ graph's wheel and double click on the real editor: the graph on the real pages with the
// editor's own host, so that a notch goes through the band's Q spin buttons and a double click
// through its gain edit box, with a recording link in place of the box. Its 17 points serve every
// page: each page's stand where its own values put them after an edit on another page.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSlider>
#include <QTest>
#include <QWheelEvent>
#include <memory>
#include <vector>

#include "box-sim/box_content.h"
#include "editor_fixture.h"
#include "eq/graph_axes.h"
#include "eq/section_layout.h"
#include "eq/view/eq_graph.h"
#include "model/parameter_table.h"
#include "model/rounding.h"
#include "ui/editing/graph_binding.h"

namespace kc {
namespace {

using Sent = test::RecordingEditLink::Sent;

constexpr int kMusicTab = 0;
constexpr int kMainTab = 3;

class GraphMouseTest : public ::testing::Test, public test::EditorFixture {
 protected:
  GraphMouseTest() {
    host = std::make_unique<SessionGraphHost>(*session, *handlers, [this] { return ready; });
    graph = std::make_unique<EqGraph>(GraphWidgetsOf(pages), *host);
    graph_for_curves = graph.get();
  }

  void ShowTab(int tag, bool manual) {
    QTest::mouseClick(W(manual ? "ManulModeBtn" : "AutoModeBtn"), Qt::LeftButton);
    pages.tab_button(tag)->click();
    graph->Timer1Timer();  // draws what the clicks changed
    link.sent.clear();
  }
  QLabel* Point(int handle) { return GraphWidgetsOf(pages).handles[handle]; }

  // Turns the wheel one notch over a point: the event goes to what the window has under the
  // point's centre.
  void Notch(QWidget* point, bool up) {
    const QPoint local(point->width() / 2, point->height() / 2);
    QWidget* top = point->window();
    QWidget* under = top->childAt(point->mapTo(top, local));
    ASSERT_EQ(under, point);
    QWheelEvent event(QPointF(local), point->mapToGlobal(QPointF(local)), QPoint(),
                      QPoint(0, up ? 120 : -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(point, &event);
  }
  // A double click as the window system delivers it: a click, then a second press that comes as
  // a double click, then its release.
  void DoubleClick(QWidget* point) {
    const QPoint centre(point->width() / 2, point->height() / 2);
    QTest::mouseClick(point, Qt::LeftButton, {}, centre);
    QTest::mouseDClick(point, Qt::LeftButton, {}, centre);
    QTest::mouseRelease(point, Qt::LeftButton, {}, centre);
  }

  bool ready = true;
  std::unique_ptr<SessionGraphHost> host;
  std::unique_ptr<EqGraph> graph;
};

TEST_F(GraphMouseTest, WheelStepsTheBandsQWithinItsLimit) {
  struct Case {
    const char* name;
    int tab;
    bool manual;
    const char* shelf_button;  // made a shelf first; nullptr leaves the band peaking
    int handle;
    int q_id;  // the Q field in force
    int start;
    int notches;  // positive away from the user
    int expected;
    const char* box;
    const char* text;
    int sends;
  };
  const std::vector<Case> cases = {
      {"peaking, one notch up", kMusicTab, true, nullptr, 1, 0x000C, 16, 1, 17, "MusQEdit2", "1.06",
       1},
      {"high shelf stops at 28", kMusicTab, true, "MusHSQBtn4", 3, 0x0017, 26, 4, 28, "MusQEdit4",
       "2.00", 4},
      {"low shelf stops at 28", kMainTab, true, "MainLSQBtn2", 1, 0x0527, 27, 3, 28, "MainQEdit2",
       "2.00", 3},
      {"peaking stops at 100", kMusicTab, true, nullptr, 0, 0x0007, 98, 4, 100, "MusQEdit1",
       "128.00", 4},
      {"peaking stops at 0", kMusicTab, true, nullptr, 4, 0x001B, 1, -3, 0, "MusQEdit5", "0.40", 3},
      {"Music while automatic", kMusicTab, false, nullptr, 1, 0x000C, 16, 2, 16, "MusQEdit2",
       "1.00", 0},
      {"Main output while automatic", kMainTab, false, nullptr, 0, 0x0521, 16, -1, 15, "MainQEdit1",
       "0.94", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ShowTab(c.tab, true);
    if (c.shelf_button != nullptr) QTest::mouseClick(W(c.shelf_button), Qt::LeftButton);
    Load(c.q_id, c.start);
    ShowTab(c.tab, c.manual);
    for (int n = 0; n < std::abs(c.notches); ++n) {
      Notch(Point(c.handle), c.notches > 0);
      graph->Timer1Timer();
      EXPECT_LE(store.Working(c.q_id), c.shelf_button != nullptr ? 28 : 100);
    }
    EXPECT_EQ(store.Working(c.q_id), c.expected);
    EXPECT_EQ(Text(c.box), c.text);
    // Every notch is one band transmission of the Q field, as a click on a spin button is.
    const std::vector<Sent> bands = link.Of(Sent::kBand);
    EXPECT_EQ(static_cast<int>(bands.size()), c.sends);
    for (const Sent& s : bands) EXPECT_EQ(s.id, c.q_id);
    if (c.sends > 0) {
      EXPECT_EQ(session->current_edit(), W(c.box));
      // The graph redrew the band from the recorded change: its label shows the new Q.
      EXPECT_TRUE(GraphWidgetsOf(pages).eq_label->text().contains(QString("Q:") + c.text))
          << GraphWidgetsOf(pages).eq_label->text().toStdString();
    }
  }
}

TEST_F(GraphMouseTest, DoubleClickPutsTheBandTo0dBAndSendsItOnce) {
  struct Case {
    const char* name;
    int tab;
    bool manual;
    bool ready;
    int handle;
    int gain_id;
    const char* box;
    const char* text;  // the gain box afterwards
    int sends;
  };
  const std::vector<Case> cases = {
      {"Music band 3", kMusicTab, true, true, 2, 0x0010, "MusGainEdit3", "0.0dB", 1},
      {"Main output band 5", kMainTab, false, true, 4, 0x0534, "MainGainEdit5", "0.0dB", 1},
      {"Music while automatic", kMusicTab, false, true, 2, 0x0010, "MusGainEdit3", "6.0dB", 0},
      {"before the editor is ready", kMusicTab, true, false, 2, 0x0010, "MusGainEdit3", "6.0dB", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Load(c.gain_id, 150);  // +6 dB
    ShowTab(c.tab, c.manual);
    ready = c.ready;
    QLabel* point = Point(c.handle);
    DoubleClick(point);
    graph->Timer1Timer();
    EXPECT_EQ(Text(c.box), c.text);
    EXPECT_EQ(store.Working(c.gain_id), c.sends > 0 ? 120 : 150);
    const std::vector<Sent> bands = link.Of(Sent::kBand);
    ASSERT_EQ(static_cast<int>(bands.size()), c.sends);
    ready = true;
    if (c.sends == 0) continue;
    EXPECT_EQ(bands.front(), (Sent{Sent::kBand, c.gain_id, 120, {}}));
    EXPECT_EQ(session->last_change(), (LastChange{c.gain_id, 120}));
    // The gain slider and the point follow; the band's label reads 0.0dB.
    const int half = point->height() / 2;
    EXPECT_EQ(point->y(), RoundCoordinate(graph->GainToY(0) - half));
    EXPECT_TRUE(GraphWidgetsOf(pages).eq_label->text().startsWith("0.0dB\n"));
    // Nothing is left to send from the clicks.
    link.sent.clear();
    graph->Timer1Timer();
    EXPECT_TRUE(link.sent.empty());
  }

  // A pass-filter point ignores the double click.
  ShowTab(kMainTab, true);
  Load(0x0510, 30);
  ShowTab(kMainTab, true);
  DoubleClick(Point(kHighPassHandle));
  graph->Timer1Timer();
  EXPECT_EQ(store.Working(0x0510), 30);
  EXPECT_TRUE(link.Of(Sent::kBand).empty());
  EXPECT_TRUE(link.Of(Sent::kParam).empty());
}

// Action 0 drags band 1's point of page X, 1 drags it with page Y coming before the next tick,
// 2 downloads a new band 1 frequency; band 1's box of X has the focus, which leaves it for Y.
TEST_F(GraphMouseTest, EveryPageShowsItsOwnPointsAfterAnEditOnAnother) {
  pages.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&pages));
  const auto factory = boxsim::MakeFactoryContent().mode_images[0];
  for (int action : {0, 1, 2}) {
    for (int x = 0; x < 7; ++x) {
      for (int y = 0; y < 7; ++y) {
        SCOPED_TRACE(testing::Message() << action << ": tab " << x << ", then " << y);
        for (int b = 0; b < kSystemBlock; ++b) {
          for (std::size_t s = 0; s < factory[b].size(); ++s) store.SetDevice(b, s, factory[b][s]);
        }
        refresher->RefreshPages(kAllBlocks);
        ShowTab(x, true);
        const int f = BandFieldId(session->block(), 0, kBandFrequencyField);
        graph->EP1MouseDown(Point(0), {7, 7});
        if (action < 2) graph->EP1MouseMove(Point(0), {47, -13});
        graph->EP1MouseUp(Point(0));
        if (action == 0) graph->Timer1Timer();
        if (action == 2) Load(f, 300);
        ShowTab(y, true);
        const SectionLayout shown = *ReadSectionLayout(store, session->block());
        for (int k = 0; k <= shown.LastSlot(); ++k) {
          const BandSlot& s = shown.band_slots[k];
          const int h = HandleOfSlot(k, s.code), half = Point(h)->height() / 2;
          EXPECT_EQ(QPoint(Point(h)->x(), graph->handle_top(h)),
                    QPoint(RoundCoordinate(graph->FrequencyToX(s.frequency) - half),
                           RoundCoordinate(graph->GainToY(s.gain) - half)));
        }
        if (action < 2) {
          EXPECT_EQ(store.Working(f), graph->drag().pending_frequency_index);
        }
      }
    }
  }
}

}  // namespace
}  // namespace kc
