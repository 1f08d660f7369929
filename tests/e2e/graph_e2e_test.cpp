// The EQ graph on the running program against the box: a dragged band point and a dragged
// pass-filter point reach the box, and an EQ reset of microphone group B reaches block 2 only.
#include "pty_box.h"  // first: see there
// clang-format off
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "app/program.h"
#include "eq/view/eq_graph.h"
#include "model/rounding.h"
#include "model/value_scales.h"
#include "ui/edit_session.h"
#include "ui/editor_pages.h"
#include "ui/scripted_message_boxes.h"
// clang-format on

namespace kc {
namespace {

using e2e::WaitFor;

class GraphAgainstBox : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(box_.ok());
    const std::string path = box_.path();
    program_ =
        std::make_unique<Program>(&boxes_, [path] { return std::vector<std::string>{path}; });
    ASSERT_TRUE(WaitFor([&] { return program_->Form1().isVisible(); }, 20000));
  }
  TForm1& editor() { return program_->Form1(); }
  QWidget* W(const char* name) { return editor().pages().FindControl(QString::fromLatin1(name)); }
  void Click(const char* name) { QTest::mouseClick(W(name), Qt::LeftButton); }
  // The store's row of a device block equals the box's.
  bool RowFollows(int block) {
    return WaitFor(
        [&] {
          for (int slot = 0; slot < InfoOfBlock(block)->device_slots; ++slot) {
            if (editor().store().Device(block, slot) != box_.model().Slot(block, slot)) {
              return false;
            }
          }
          return true;
        },
        5000);
  }
  // Drags a point by its centre to a place of the graph in four moves, then lets the graph's
  // timer apply what it settled on.
  void Drag(QLabel* point, QPoint target) {
    const QPoint grip(point->width() / 2, point->height() / 2);
    const QPoint start = point->pos() + grip;
    QTest::mousePress(point, Qt::LeftButton, {}, grip);
    for (int step = 1; step <= 4; ++step) {
      QTest::mouseMove(point, start + (target - start) * step / 4 - point->pos());
    }
    QTest::mouseRelease(point, Qt::LeftButton, {}, target - point->pos());
    e2e::RunEventLoopFor(100);
  }
  QPoint At(double frequency, double gain) {
    EqGraph& graph = editor().graph();
    return {RoundHalfEven(graph.FrequencyToX(frequency)), RoundHalfEven(graph.GainToY(gain))};
  }

  e2e::PtyBox box_;
  ScriptedMessageBoxes boxes_;
  std::unique_ptr<Program> program_;
};

TEST_F(GraphAgainstBox, DraggedPointsAndAResetOfGroupBReachTheBox) {
  Click("ManulModeBtn");
  Click("FormTabBtn4");  // Main output
  const auto& handles = editor().pages().point_handles();

  Drag(handles[0], At(2000, 6));
  EXPECT_NEAR(editor().store().Working(0x0500 + 31), 240, 1);  // band 1 frequency: 2000.0Hz
  EXPECT_NEAR(editor().store().Working(0x0500 + 32), 150, 1);  // band 1 gain: +6.0dB
  EXPECT_TRUE(RowFollows(5));

  Drag(handles[15], At(200, 0));
  // The high-pass value v shows table step v - 1: about 200 Hz is v = 121 or 122.
  const int high_pass = editor().store().Working(0x0510);
  EXPECT_NEAR(high_pass, 121, 1);
  EXPECT_EQ(qobject_cast<QLabel*>(W("MainMusHPFrePane"))->text(),
            QString::fromStdString(*FormatValue(kKindHighPass, high_pass)));
  EXPECT_TRUE(RowFollows(5));

  // Group B's band 1 gain raised, then its EQ reset: block 2 goes back to the defaults on the
  // box, block 1 keeps what it had.
  std::vector<int32_t> group_a(InfoOfBlock(1)->device_slots);
  for (std::size_t slot = 0; slot < group_a.size(); ++slot) {
    group_a[slot] = box_.model().Slot(1, static_cast<int>(slot));
  }
  Click("FormTabBtn9");
  Drag(handles[0], At(1000, 9));
  ASSERT_TRUE(RowFollows(2));
  ASSERT_NE(editor().store().Working(0x0106), 120);
  Click("RzBmpButton6");
  EXPECT_TRUE(RowFollows(2));
  EXPECT_EQ(editor().store().Working(0x0106), 120);
  EXPECT_EQ(qobject_cast<QLineEdit*>(W("MicGainEdit1"))->text(), "0.0dB");
  for (std::size_t slot = 0; slot < group_a.size(); ++slot) {
    EXPECT_EQ(box_.model().Slot(1, static_cast<int>(slot)), group_a[slot]) << "slot " << slot;
  }
  EXPECT_TRUE(boxes_.shown.empty());
}

}  // namespace
}  // namespace kc
