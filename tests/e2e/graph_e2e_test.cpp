// The EQ graph on the running program against the box: a dragged band point and a dragged
// pass-filter point reach the box, and an EQ reset of microphone group B reaches block 2 only.
#include "journey.h"  // first: see there
// clang-format off
#include <QLabel>
#include <QLineEdit>

#include "model/value_scales.h"
// clang-format on

namespace kc::e2e {
namespace {

using GraphAgainstBox = ProgramOnBox;

TEST_F(GraphAgainstBox, DraggedPointsAndAResetOfGroupBReachTheBox) {
  Start();
  Click("ManulModeBtn");
  Tab(4);  // Main output

  Drag(Handle(0), At(2000, 6));
  EXPECT_NEAR(Editor().store().Working(0x0500 + 31), 240, 1);  // band 1 frequency: 2000.0Hz
  EXPECT_NEAR(Editor().store().Working(0x0500 + 32), 150, 1);  // band 1 gain: +6.0dB
  EXPECT_TRUE(BoxFollows()) << ImageDifferences(Editor().store(), Box());

  Drag(Handle(15), At(200, 0));
  // The high-pass value v shows table step v - 1: about 200 Hz is v = 121 or 122.
  const int high_pass = Editor().store().Working(0x0510);
  EXPECT_NEAR(high_pass, 121, 1);
  EXPECT_EQ(W<QLabel>("MainMusHPFrePane")->text(),
            QString::fromStdString(*FormatValue(kKindHighPass, high_pass)));
  EXPECT_TRUE(BoxFollows()) << ImageDifferences(Editor().store(), Box());

  // Group B's band 1 gain raised, then its EQ reset: block 2 goes back to the defaults on the
  // box, block 1 keeps what it had.
  std::vector<int32_t> group_a(InfoOfBlock(1)->device_slots);
  for (std::size_t slot = 0; slot < group_a.size(); ++slot) {
    group_a[slot] = Box().Slot(1, static_cast<int>(slot));
  }
  Tab(9);
  Drag(Handle(0), At(1000, 9));
  ASSERT_TRUE(BoxFollows());
  ASSERT_NE(Editor().store().Working(0x0106), 120);
  Click("RzBmpButton6");
  EXPECT_TRUE(BoxFollows()) << ImageDifferences(Editor().store(), Box());
  EXPECT_EQ(Editor().store().Working(0x0106), 120);
  EXPECT_EQ(W<QLineEdit>("MicGainEdit1")->text(), "0.0dB");
  for (std::size_t slot = 0; slot < group_a.size(); ++slot) {
    EXPECT_EQ(Box().Slot(1, static_cast<int>(slot)), group_a[slot]) << "slot " << slot;
  }
  EXPECT_TRUE(boxes_.shown.empty());
}

}  // namespace
}  // namespace kc::e2e
