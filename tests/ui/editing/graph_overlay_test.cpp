// The comparison window's file on the editor's EQ graph: once a mode file is compared, the graph
// draws the file's curve of the section on show under the editor's, and closing the window takes
// it away.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include "editor_fixture.h"
#include "eq/view/eq_graph.h"
#include "modes/mode_file.h"
#include "scripted_message_boxes.h"
#include "ui/compare/compare_window.h"
#include "ui/editing/edit_history.h"
#include "ui/editing/graph_binding.h"

namespace kc {
namespace {

class GraphOverlayTest : public ::testing::Test, public test::EditorFixture {
 protected:
  GraphOverlayTest() : files(folder.path().toStdString(), store), compare(*session, boxes) {
    graph_for_curves = &graph;
    BindGraphTools(graph, *session, history, boxes, compare);
  }

  QTemporaryDir folder;
  ModeFiles files;
  ScriptedMessageBoxes boxes;
  EditHistory history{*session};
  SessionGraphHost host{*session, *handlers, [] { return true; }};
  EqGraph graph{GraphWidgetsOf(pages), host};
  CompareWindow compare;
};

TEST_F(GraphOverlayTest, TheComparedFilesCurveLiesUnderTheEditorsUntilTheWindowCloses) {
  ClickTab(4);  // Main output
  const int band1_gain = MakeId(5, InfoOfBlock(5)->first_eq + 2);
  Load(band1_gain, 170);  // +10 dB in the file
  ASSERT_EQ(files.SaveModeFile("Room"), ModeStatus::kOk);
  Load(band1_gain, 60);  // -12 dB in the editor
  graph.DrawSectionCurve(kAllSlots, 5);
  const QImage alone = graph.bitmap().copy();
  const std::vector<QPointF> editor_points = graph.curve_points();

  ASSERT_TRUE(compare.CompareWith(files.PathOf("Room"), "Room"));
  ASSERT_TRUE(graph.overlay_on());
  EXPECT_EQ(graph.curve_points(), editor_points);
  ASSERT_EQ(graph.overlay_points().size(), editor_points.size());
  // The file's band lies 22 dB above the editor's at its frequency.
  EXPECT_LT(graph.overlay_points()[5].y(), editor_points[5].y());
  EXPECT_NE(graph.bitmap(), alone);
  EXPECT_TRUE(graph.legend()->isVisibleTo(pages.graph_panel()));
  EXPECT_TRUE(graph.legend()->text().contains(QStringLiteral("Room")));

  // Another page shows that page's section of the file.
  ClickTab(5);  // Centre
  EXPECT_TRUE(graph.overlay_on());
  ClickTab(4);

  compare.close();
  EXPECT_FALSE(graph.overlay_on());
  EXPECT_TRUE(graph.overlay_points().empty());
  EXPECT_EQ(graph.bitmap(), alone);
  EXPECT_FALSE(graph.legend()->isVisibleTo(pages.graph_panel()));
}

}  // namespace
}  // namespace kc
