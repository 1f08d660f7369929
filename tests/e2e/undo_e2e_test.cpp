// Undo and redo on the running program against the box: the box follows both ways, and a recall
// of a mode starts a new history.
#include "journey.h"  // first: see there
// clang-format off
#include <QAction>
#include <QSlider>

#include "app/main_window.h"
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
  Key("EchoEffLevelBar", before < level->maximum() / 2 ? Qt::Key_PageUp : Qt::Key_PageDown);
  const int after = level->value();
  ASSERT_NE(after, before);
  ASSERT_TRUE(WaitFor([&] { return Box().Slot(3, slot) == after && undo->isEnabled(); }, 3000));

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
