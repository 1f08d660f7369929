// The comparison with a mode file on the real pages: exactly the parameters edited since the file
// was saved, with the texts the pages show, marked until the comparison ends; nothing is sent.
#include "ui/compare/compare_window.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "editor_fixture.h"
#include "modes/mode_file.h"
#include "scripted_message_boxes.h"
#include "ui/editing/edit_history.h"

namespace kc {
namespace {

class CompareWindowTest : public ::testing::Test, public test::EditorFixture {
 protected:
  CompareWindowTest() : files(folder.path().toStdString(), store), window(*session, boxes) {}

  QStringList Row(int row) const {
    QStringList cells;
    for (int column = 0; column < kDifferenceColumns; ++column)
      cells << window.table()->item(row, column)->text();
    return cells;
  }

  QTemporaryDir folder;
  ModeFiles files;
  ScriptedMessageBoxes boxes;
  CompareWindow window;
};

TEST_F(CompareWindowTest, ListsAndMarksExactlyWhatChangedSinceTheFileWasSaved) {
  ClickTab(3);
  Load(0x0301, 40);  // echo effect level 40%
  ASSERT_EQ(files.SaveModeFile("Room"), ModeStatus::kOk);

  QTest::keyClick(W("EchoEffLevelBar"), Qt::Key_PageUp);
  const int level = W<QSlider>("EchoEffLevelBar")->value();
  ASSERT_NE(level, 40);
  QTest::mouseClick(W("EchoEffPhaseBtn"), Qt::LeftButton);
  const std::size_t sent = link.sent.size();

  ASSERT_TRUE(window.CompareWith(files.PathOf("Room"), "Room"));
  ASSERT_EQ(window.table()->rowCount(), 2);
  EXPECT_EQ(Row(0), (QStringList{"效果", "回声效果音量 相位", "+", "-"}));
  EXPECT_EQ(Row(1), (QStringList{"效果", "回声效果音量", QString::number(level) + "%", "40%"}));
  EXPECT_EQ(window.marked(), (std::vector<QWidget*>{W("EchoEffPhaseBtn"), W("EchoEffLevelBar")}));
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(link.sent.size(), sent);
  EXPECT_EQ(store.Working(0x0301), level);

  window.close();
  EXPECT_TRUE(window.marked().empty());

  // The same file again after the edits were put back: nothing differs.
  QTest::mouseClick(W("EchoEffPhaseBtn"), Qt::LeftButton);
  Load(0x0301, 40);
  ASSERT_TRUE(window.CompareWith(files.PathOf("Room"), "Room"));
  EXPECT_EQ(window.table()->rowCount(), 0);
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(CompareWindowTest, GroupBAndDiscoRowsAreNamedByTheirTabAndScene) {
  ClickTab(1);
  QTest::mouseClick(W("ManulModeBtn"), Qt::LeftButton);
  QTest::mouseClick(W("DiscoModeBtn"), Qt::LeftButton);
  ASSERT_EQ(files.SaveModeFile("Room"), ModeStatus::kOk);
  QTest::keyClick(W("MusEQGainBar1"), Qt::Key_PageUp);  // Music band 1, Disco set
  ClickTab(9);
  QTest::keyClick(W("MicEQGainBar1"), Qt::Key_PageUp);  // microphone group B, band 1
  ClickTab(2);                                          // group A on show

  ASSERT_TRUE(window.CompareWith(files.PathOf("Room"), "Room"));
  ASSERT_EQ(window.table()->rowCount(), 2);
  EXPECT_EQ(Row(0).front(), "音乐（舞蹈）");
  EXPECT_EQ(Row(1).front(), "麦克风B");
  // Only what the pages show now is marked: the Music gain box of the Disco set in force, not
  // the microphone box, which shows group A.
  EXPECT_EQ(window.marked(), (std::vector<QWidget*>{W("MusGainEdit1")}));
}

// A band whose type changed lists both Q fields although neither value changed: the Q box now
// shows the other one. karaoke-ctl's diff lists the same three rows.
TEST_F(CompareWindowTest, ABandTypeChangeListsTheTypeAndBothQFields) {
  ClickTab(1);
  Load(0x0004, 1);  // Music band 1 a low shelf
  ASSERT_EQ(files.SaveModeFile("Room"), ModeStatus::kOk);
  Load(0x0004, 0);  // then a PEQ band
  ASSERT_TRUE(window.CompareWith(files.PathOf("Room"), "Room"));
  ASSERT_EQ(window.table()->rowCount(), 3);
  EXPECT_EQ(Row(0).mid(1, 1), (QStringList{"EQ 1 类型"}));
  EXPECT_EQ(Row(1).mid(1, 1), (QStringList{"EQ 1 Q值"}));
  EXPECT_EQ(Row(2).mid(1, 1), (QStringList{"EQ 1 Q值（LS/HS）"}));
  EXPECT_EQ(Row(0).mid(2), (QStringList{"PEQ", "LSEQ"}));
}

TEST_F(CompareWindowTest, AFileThatFailsItsCheckListsNothing) {
  const std::filesystem::path missing = files.PathOf("Nowhere");
  EXPECT_FALSE(window.CompareWith(missing, "Nowhere"));
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(window.marked().empty());
}

TEST(CompareWindowPlace, BesideTheEditorAndWholeOnTheScreen) {
  struct Case {
    const char* name;
    QRect screen;
    QRect editor;
    QRect expected;
  };
  const QSize wanted(620, 360);
  const Case cases[] = {
      {"editor at the left of a wide screen",
       {0, 0, 1920, 1080},
       {0, 0, 1106, 579},
       {1114, 0, 620, 360}},
      {"editor at the right", {0, 0, 1920, 1080}, {814, 100, 1106, 579}, {186, 100, 620, 360}},
      {"editor centred: the room on its right, narrowed",
       {0, 0, 1920, 1080},
       {407, 250, 1106, 579},
       {1521, 250, 399, 360}},
      {"editor low: moved up to stay on the screen",
       {0, 0, 1920, 1080},
       {0, 800, 1106, 579},
       {1114, 720, 620, 360}},
      {"second screen, room only below",
       {1920, 0, 1280, 1024},
       {1930, 20, 1106, 579},
       {1930, 607, 620, 360}},
      {"small screen: over the editor's right part",
       {0, 0, 1280, 800},
       {87, 110, 1106, 579},
       {660, 110, 620, 360}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QRect place = PlaceBeside(c.editor, wanted, 360, c.screen, 8);
    EXPECT_EQ(place, c.expected);
    EXPECT_TRUE(c.screen.contains(place));
  }
}

TEST_F(CompareWindowTest, OpensAsAToolWindowOfTheEditorBesideIt) {
  // A small stand-in for the editor window, so that the offscreen screen (800 x 600) has room.
  QWidget editor;
  editor.setGeometry(50, 50, 300, 200);
  editor.show();
  CompareWindow beside(*session, boxes, &editor);
  EXPECT_EQ(beside.parentWidget(), &editor);
  EXPECT_TRUE(beside.windowFlags() & Qt::Tool);
  ASSERT_EQ(files.SaveModeFile("Room"), ModeStatus::kOk);
  ASSERT_TRUE(beside.CompareWith(files.PathOf("Room"), "Room"));
  const QRect screen = editor.screen()->availableGeometry();
  const QRect frame = beside.frameGeometry();
  EXPECT_TRUE(screen.contains(frame))
      << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
  EXPECT_EQ(frame.left(), editor.frameGeometry().right() + 1 + 8);
  EXPECT_EQ(frame.top(), editor.frameGeometry().top());
  EXPECT_FALSE(frame.intersects(editor.frameGeometry()));
}

TEST_F(CompareWindowTest, BandAndRowParametersAreNamedByThePagesCaptions) {
  struct Case {
    int tab;
    int id;
    int value;
    const char* caption;
    const char* control;
  };
  const Case cases[] = {
      {1, 0x0023, 300, "EQ 7 频率", "MusFreEdit7"},  // Music band 7: index 4 + 5 * 6 + 1
      {2, 0x0100, 10, "麦克风高通", "MicHPFreBar"},
      {2, 0x0101, 2, "麦克风反馈抑制", "MicFBERadioBtn1"},
      {4, 0x051A, 1, "左 静音", "MainLmuteBtn"},
      {6, 0x0608, 1, "滤波器类型", "SubMusHPType"},
      {1, 0x0000, 1, "手动/自动", "AutoModeBtn"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.control);
    ClickTab(c.tab);
    ASSERT_EQ(files.SaveModeFile("Room"), ModeStatus::kOk);
    Load(c.id, c.value);
    ASSERT_TRUE(window.CompareWith(files.PathOf("Room"), "Room"));
    bool found = false;
    for (int row = 0; row < window.table()->rowCount(); ++row) {
      found = found || window.table()->item(row, 1)->text() == QString::fromUtf8(c.caption);
    }
    EXPECT_TRUE(found);
    window.EndComparison();
  }
}

// "应用选中项": the checked rows take the file's values in the editor, through the send paths, as
// one undo step; the list then shows what still differs. A Q row that differs by its band's type
// brings the type along.
TEST_F(CompareWindowTest, ApplyingCheckedRowsIsOneUndoStep) {
  EditHistory history(*session);
  struct Case {
    const char* name;
    std::function<void()> prepare;               // saves "Room", then edits
    std::vector<int> check;                      // rows to check
    std::vector<std::pair<int, int32_t>> after;  // working cells after the apply
    int rows_left;
  };
  const Case cases[] = {
      {"the level of two rows",
       [&] {
         ClickTab(3);
         Load(0x0301, 40);
         ASSERT_EQ(files.SaveModeFile("Room"), ModeStatus::kOk);
         Load(0x0301, 55);
         Load(0x0300, 1);
       },
       {1},
       {{0x0301, 40}, {0x0300, 1}},
       1},
      {"a Q row brings its band's type",
       [&] {
         ClickTab(1);
         Load(0x0004, 1);
         ASSERT_EQ(files.SaveModeFile("Room"), ModeStatus::kOk);
         Load(0x0004, 0);
       },
       {2},
       {{0x0004, 1}},
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.prepare();
    history.Clear();  // the tab's click and the loads are not the user's edits here
    window.set_history(nullptr);
    ASSERT_TRUE(window.CompareWith(files.PathOf("Room"), "Room"));
    const int rows = window.table()->rowCount();
    std::vector<std::pair<int, int32_t>> before;
    for (const auto& [id, value] : c.after) before.emplace_back(id, store.Working(id));
    for (int row : c.check) window.table()->item(row, 0)->setCheckState(Qt::Checked);
    // Without a history there is nothing to undo with: the button stays disabled.
    EXPECT_FALSE(window.apply_button()->isEnabled());
    window.set_history(&history);
    ASSERT_TRUE(window.CompareWith(files.PathOf("Room"), "Room"));
    EXPECT_FALSE(window.apply_button()->isEnabled());  // a new comparison starts unchecked
    for (int row : c.check) window.table()->item(row, 0)->setCheckState(Qt::Checked);
    ASSERT_TRUE(window.apply_button()->isEnabled());
    link.sent.clear();
    window.apply_button()->click();
    for (const auto& [id, value] : c.after) EXPECT_EQ(store.Working(id), value) << id;
    EXPECT_FALSE(link.sent.empty());
    EXPECT_EQ(history.stack().count(), 1);
    EXPECT_EQ(window.table()->rowCount(), c.rows_left);
    EXPECT_LT(window.table()->rowCount(), rows);
    history.Undo();
    for (const auto& [id, value] : before) EXPECT_EQ(store.Working(id), value) << id;
    window.EndComparison();
  }
}

}  // namespace
}  // namespace kc
