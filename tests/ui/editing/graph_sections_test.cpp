// The EQ graph's 17 point widgets serve every page: after a drag, a paste, an undo or a download
// on one page, the next page's points stand where its own values put them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <functional>
#include <memory>

#include "box-sim/box_content.h"
#include "editor_fixture.h"
#include "eq/graph_axes.h"
#include "eq/section_layout.h"
#include "model/parameter_table.h"
#include "scripted_message_boxes.h"
#include "ui/editing/edit_history.h"
#include "ui/editing/eq_clipboard.h"
#include "ui/editing/graph_binding.h"

namespace kc {
namespace {

class GraphSectionsTest : public ::testing::Test, public test::EditorFixture {
 protected:
  QLabel* Point(int handle) { return GraphWidgetsOf(pages).handles[handle]; }
  // As the user drags: press, four moves, release; then, unless the next page comes up first,
  // the timer's tick applies it.
  void DragBand1(bool tick = true) {
    QLabel* point = Point(0);
    const QPoint target(RoundCoordinate(graph.FrequencyToX(510)),
                        RoundCoordinate(graph.GainToY(5.2)));
    const QPoint grip(point->width() / 2, point->height() / 2), start = point->pos() + grip;
    QTest::mousePress(point, Qt::LeftButton, {}, grip);
    for (int step = 1; step <= 4; ++step) {
      QTest::mouseMove(point, start + (target - start) * step / 4 - point->pos());
    }
    QTest::mouseRelease(point, Qt::LeftButton, {}, target - point->pos());
    if (tick) graph.Timer1Timer();
  }
  SessionGraphHost host{*session, *handlers, [] { return true; }};
  EqGraph graph{GraphWidgetsOf(pages), host};
  EditHistory history{*session};
  ScriptedMessageBoxes boxes;
  EqClipboard clipboard{*session, history, boxes};
};

TEST_F(GraphSectionsTest, EveryPageShowsItsOwnSectionsPointsAfterAnEditOnAnother) {
  graph_for_curves = &graph;
  // Active, so that the focus leaves a page's box when the next page comes up, as it does for
  // the user.
  pages.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&pages));
  const boxsim::FactoryContent factory = boxsim::MakeFactoryContent();
  const int tabs[] = {0, 1, 2, 3, 4, 5, 6};  // Music .. Rear, each with its own section
  const struct {
    const char* name;
    std::function<void(int block)> on_x;  // with band 1's frequency box of page X selected
    bool dragged = false;                 // page X's band 1 keeps the dragged frequency
  } actions[] = {{"drag", [&](int) { DragBand1(); }, true},
                 {"drag, next page before the tick", [&](int) { DragBand1(false); }, true},
                 {"paste", [&](int) { clipboard.Copy(), DragBand1(), clipboard.Paste(); }},
                 {"undo", [&](int) { DragBand1(), history.Undo(); }},
                 {"download", [&](int block) {
                    store.StoreValue(BandFieldId(block, 0, kBandFrequencyField), 300);
                    refresher->RefreshPages(block);
                  }}};
  for (const auto& action : actions) {
    for (int x : tabs) {
      for (int y : tabs) {
        if (x == y) continue;
        SCOPED_TRACE(testing::Message() << action.name << " on tab " << x << ", then tab " << y);
        for (int b = 0; b < kSystemBlock; ++b) {
          for (std::size_t s = 0; s < factory.mode_images[0][b].size(); ++s) {
            store.SetDevice(b, static_cast<int>(s), factory.mode_images[0][b][s]);
          }
        }
        refresher->RefreshPages(kAllBlocks);
        QTest::mouseClick(W("ManulModeBtn"), Qt::LeftButton);
        ClickTab(x + 1);
        const int x_block = session->block();
        QTest::mouseClick(map.Of(BandFieldId(x_block, 0, kBandFrequencyField)).primary,
                          Qt::LeftButton);
        graph.Timer1Timer();
        action.on_x(x_block);
        ClickTab(y + 1);
        graph.Timer1Timer();
        if (action.dragged) {
          EXPECT_EQ(store.Working(BandFieldId(x_block, 0, kBandFrequencyField)),
                    graph.drag().pending_frequency_index);
        }
        const SectionLayout shown = *ReadSectionLayout(store, session->block());
        for (int k = 0; k <= shown.LastSlot(); ++k) {
          const BandSlot& slot = shown.band_slots[k];
          const int h = HandleOfSlot(k, slot.code), half = Point(h)->height() / 2;
          EXPECT_EQ(Point(h)->x(), RoundCoordinate(graph.FrequencyToX(slot.frequency) - half)) << k;
          EXPECT_EQ(graph.handle_top(h), RoundCoordinate(graph.GainToY(slot.gain) - half)) << k;
        }
      }
    }
  }
}

}  // namespace
}  // namespace kc
