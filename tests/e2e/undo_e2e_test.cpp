// Undo and redo on the running program against the box: the box follows both ways, and a recall
// of a mode starts a new history.
#include "pty_box.h"  // first: see there
// clang-format off
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QSlider>
#include <QTest>
#include <memory>

#include "app/main_window.h"
#include "app/program.h"
#include "model/parameter_store.h"
#include "ui/edit_history.h"
#include "ui/editor_pages.h"
#include "ui/scripted_message_boxes.h"
// clang-format on

namespace kc {
namespace {

using e2e::WaitFor;

TEST(UndoAgainstBox, TheBoxFollowsUndoAndRedoAndARecallStartsANewHistory) {
  e2e::PtyBox box;
  ASSERT_TRUE(box.ok());
  ScriptedMessageBoxes boxes;
  const std::string path = box.path();
  Program program(&boxes, [path] { return std::vector<std::string>{path}; });
  ASSERT_TRUE(WaitFor([&] { return program.Form1().isVisible(); }, 20000));
  EditorPages& pages = program.Form1().pages();
  QAction* undo = program.Form4().UndoItem();
  QAction* redo = program.Form4().RedoItem();
  EXPECT_FALSE(undo->isEnabled());

  QTest::mouseClick(pages.FindControl("FormTabBtn3"), Qt::LeftButton);
  auto* level = pages.Find<QSlider>("EchoEffLevelBar");
  const int slot = DeviceSlot(3, 1, program.Form1().store().disco());
  const int before = level->value();
  QTest::keyClick(level, before < level->maximum() / 2 ? Qt::Key_PageUp : Qt::Key_PageDown);
  const int after = level->value();
  ASSERT_NE(after, before);
  ASSERT_TRUE(
      WaitFor([&] { return box.model().Slot(3, slot) == after && undo->isEnabled(); }, 3000));

  undo->trigger();
  EXPECT_EQ(level->value(), before);
  EXPECT_TRUE(WaitFor([&] { return box.model().Slot(3, slot) == before; }, 3000));
  EXPECT_TRUE(redo->isEnabled());
  redo->trigger();
  EXPECT_EQ(level->value(), after);
  EXPECT_TRUE(WaitFor([&] { return box.model().Slot(3, slot) == after; }, 3000));

  // A recall brings another mode: nothing of the old one is left to undo.
  const int transfers = program.Form3().transfers_done();
  QTest::mouseClick(pages.FindControl("FormTabBtn8"), Qt::LeftButton);
  auto* modes = pages.Find<QComboBox>("SysModeBox");
  modes->setCurrentIndex((modes->currentIndex() + 1) % modes->count());
  boxes.answers.push_back(true);
  QTest::mouseClick(pages.FindControl("RzBmpButton121"), Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return program.Form3().transfers_done() == transfers + 1; }, 20000));
  EXPECT_FALSE(undo->isEnabled());
  EXPECT_FALSE(redo->isEnabled());
  EXPECT_EQ(program.Form1().history().stack().count(), 0);
}

}  // namespace
}  // namespace kc
