// The comparison with a mode file on the real pages: exactly the parameters edited since the file
// was saved, with the texts the pages show, marked until the comparison ends; nothing is sent.
#include "ui/compare_window.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QSlider>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "editor_fixture.h"
#include "modes/mode_file.h"
#include "ui/scripted_message_boxes.h"

namespace kc {
namespace {

class CompareWindowTest : public ::testing::Test, public test::EditorFixture {
 protected:
  CompareWindowTest() : files(folder.path().toStdString(), store), window(*session, boxes) {}

  QStringList Row(int row) const {
    QStringList cells;
    for (int column = 0; column < 4; ++column) cells << window.table()->item(row, column)->text();
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
  EXPECT_EQ(Row(0), (QStringList{"效果", "echo effect phase (EchoEffPhaseBtn)", "+", "-"}));
  EXPECT_EQ(Row(1), (QStringList{"效果", "echo effect level (EchoEffLevelBar)",
                                 QString::number(level) + "%", "40%"}));
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

TEST_F(CompareWindowTest, AFileThatFailsItsCheckListsNothing) {
  const std::filesystem::path missing = files.PathOf("Nowhere");
  EXPECT_FALSE(window.CompareWith(missing, "Nowhere"));
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(window.marked().empty());
}

}  // namespace
}  // namespace kc
