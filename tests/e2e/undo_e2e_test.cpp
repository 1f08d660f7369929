// Undo and redo of a slider drag on the running program against the box: one step each way, the
// box following both, and a recall of a mode starts a new history.
#include "journey.h"  // first: see there
// clang-format off
#include <QAction>
#include <QSlider>

#include "app/main_window.h"
#include "slider_drag.h"
#include "ui/edit_history.h"
// clang-format on

namespace kc::e2e {
namespace {

using UndoAgainstBox = ProgramOnBox;

TEST_F(UndoAgainstBox, TheBoxFollowsUndoAndRedoAndARecallStartsANewHistory) {
  Start();
  QAction* undo = program_->Form4().UndoItem();
  QAction* redo = program_->Form4().RedoItem();
  EXPECT_FALSE(undo->isEnabled());

  Tab(3);
  auto* level = W<QSlider>("EchoEffLevelBar");
  const int slot = DeviceSlot(3, 1, Editor().store().disco());
  const int before = level->value();
  test::DragSlider(level, before < level->maximum() / 2 ? 40 : -40);
  const int after = level->value();
  ASSERT_NE(after, before);
  ASSERT_TRUE(WaitFor([&] { return Box().Slot(3, slot) == after && undo->isEnabled(); }, 3000));
  EXPECT_EQ(Editor().history().stack().count(), 1);

  undo->trigger();
  EXPECT_EQ(level->value(), before);
  EXPECT_TRUE(WaitFor([&] { return Box().Slot(3, slot) == before; }, 3000));
  EXPECT_TRUE(redo->isEnabled());
  redo->trigger();
  EXPECT_EQ(level->value(), after);
  EXPECT_TRUE(WaitFor([&] { return Box().Slot(3, slot) == after; }, 3000));

  // A recall brings another mode: nothing of the old one is left to undo.
  ASSERT_TRUE(Recall((Box().current_mode() + 1) % 15));
  EXPECT_FALSE(undo->isEnabled());
  EXPECT_FALSE(redo->isEnabled());
  EXPECT_EQ(Editor().history().stack().count(), 0);
}

}  // namespace
}  // namespace kc::e2e
