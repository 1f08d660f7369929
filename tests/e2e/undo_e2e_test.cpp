// Undo and redo of a slider drag on the running program against the box: one step each way, the
// box following both, and a recall of a mode starts a new history.
#include "journey.h"  // first: see there
// clang-format off
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QSlider>
#include <QTest>

#include "app/main_window.h"
#include "slider_drag.h"
#include "ui/editing/edit_history.h"
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

TEST_F(UndoAgainstBox, CtrlZInTheEditBoxJustCommittedPutsTheBoxBack) {
  Start();
  Editor().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&Editor()));
  Click("ManulModeBtn");
  Tab(1);
  auto* gain = W<QLineEdit>("MusGainEdit2");
  const int slot = DeviceSlot(0, 0x000B, Editor().store().disco());  // band 2 gain
  ASSERT_TRUE(BoxFollows());
  const int32_t before = Box().Slot(0, slot);
  const QString old_text = gain->text();
  ASSERT_NE(before, 90);

  TypeValue("MusGainEdit2", "-6");
  ASSERT_EQ(gain->text().toStdString(), "-6.0dB");
  ASSERT_TRUE(WaitFor([&] { return Box().Slot(0, slot) == 90; }, 3000));
  ASSERT_EQ(QApplication::focusWidget(), gain);

  QTest::keyClick(gain, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(gain->text().toStdString(), old_text.toStdString());
  EXPECT_TRUE(WaitFor([&] { return Box().Slot(0, slot) == before; }, 3000));
  EXPECT_TRUE(W<QAbstractButton>("ManulModeBtn")->isChecked()) << "one step undone, not two";

  QTest::keyClick(gain, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(gain->text().toStdString(), "-6.0dB");
  EXPECT_TRUE(WaitFor([&] { return Box().Slot(0, slot) == 90; }, 3000));
  EXPECT_TRUE(BoxFollows()) << ImageDifferences(Editor().store(), Box());
}

}  // namespace
}  // namespace kc::e2e
