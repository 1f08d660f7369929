// The editor's venue window against boxes on pseudo-terminals: every room's state at a glance,
// a room opened by its row, and leaving a room whose box lacks a change of the editor: stay,
// drop the change, or send it first.
#include "journey.h"  // first: see there
// clang-format off
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/venue_window.h"
#include "ui/compare/sync_window.h"
// clang-format on

namespace kc::e2e {
namespace {

struct LeaveCase {
  const char* name;
  int choice;  // 0 send and open, 1 drop and open, 2 stay
  bool left;   // the editor is on the second room afterwards
  bool first_box_has_edit;
};

void PrintTo(const LeaveCase& c, std::ostream* os) { *os << c.name; }

const LeaveCase kLeaveCases[] = {
    {"SendThenOpen", 0, true, true},
    {"DropAndOpen", 1, true, false},
    {"Stay", 2, false, false},
};

class VenueWindowTest : public ProgramOnBox, public ::testing::WithParamInterface<LeaveCase> {
 protected:
  QTableWidget* List() { return program_->venue_window()->list(); }
  QString State(int row) { return List()->item(row, VenueWindow::kState)->text(); }
  void Open(int row) {
    List()->selectRow(row);
    program_->venue_window()->open_button()->click();
  }
  int EchoLevel() { return qobject_cast<QSlider*>(W("EchoEffLevelBar"))->value(); }
};

TEST_P(VenueWindowTest, StatesOpenAndLeaveARoom) {
  const LeaveCase& c = GetParam();
  ASSERT_TRUE(box_.ok());
  BoxSimProcess second;
  BoxSimProcess stranger({QStringLiteral("--identity"), QStringLiteral("11223344")});
  ASSERT_TRUE(second.ok() && stranger.ok());
  Venue venue;
  venue.name = "星光 KTV";
  venue.rooms = {{"VIP 1", box_.path(), "4B3107E5", 1},
                 {"大厅", second.path(), "", 2},
                 {"Gone", QDir::temp().filePath("kc-no-such-port").toStdString(), "", 3},
                 {"VIP 3", stranger.path(), "4B3107E5", 4}};
  venue.warnings = {"venue.toml:9:1: unknown key 'colour' (ignored)"};
  program_ = std::make_unique<Program>(
      &boxes_, [] { return std::vector<std::string>{}; }, nullptr, false);
  program_->ShowVenue(venue, "venue.toml");
  ASSERT_NE(program_->venue_window(), nullptr);
  const auto* warnings = program_->venue_window()->findChild<QLabel*>("VenueWarnings");
  ASSERT_NE(warnings, nullptr);
  EXPECT_EQ(warnings->text(), QStringLiteral("venue.toml:9:1: unknown key 'colour' (ignored)"));
  ASSERT_TRUE(WaitFor([&] { return program_->venue_window()->rounds() >= 1; }, 15000));
  EXPECT_EQ(State(0), QStringLiteral("在线"));
  EXPECT_EQ(State(1), QStringLiteral("在线"));
  EXPECT_EQ(State(2), QStringLiteral("不可达"));
  EXPECT_EQ(State(3), QStringLiteral("设备不符"));
  EXPECT_EQ(List()->item(3, VenueWindow::kIdentity)->text(),
            QStringLiteral("11223344（应为 4B3107E5）"));
  EXPECT_FALSE(Editor().isVisible()) << "no search at start-up with a venue";

  // The first room opened by its row.
  Open(0);
  ASSERT_TRUE(WaitFor([&] { return Editor().isVisible(); }, kTransferWaitMs));
  ASSERT_TRUE(LinkQuiet(5000));
  EXPECT_TRUE(BoxFollows());
  EXPECT_TRUE(WaitFor(
      [&] { return Editor().link_state_label()->text() == QStringLiteral("VIP 1 · 设备已连接"); },
      2000))
      << Editor().link_state_label()->text().toStdString();
  EXPECT_TRUE(program_->Form4().windowTitle().startsWith(QStringLiteral("VIP 1 - ")));

  // A change the first box does not have yet: its line is silent.
  Box().faults().silent_after_frames = Box().frames_handled();
  Box().faults().silent_for_frames = 1'000'000;
  Tab(3);
  const std::vector<std::pair<int, int>> cells = {{3, 1}, {3, 2}, {3, 3}, {3, 4}, {3, 5}, {3, 6}};
  std::vector<int32_t> before;
  for (const auto& [block, slot] : cells) before.push_back(Editor().store().Device(block, slot));
  Key("EchoEffLevelBar", Qt::Key_PageUp);
  const int edited = EchoLevel();
  ASSERT_EQ(TheLink().PendingCount(), 1);
  // The cell the slider changed, and its new value.
  std::pair<int, int> cell{-1, -1};
  int32_t value = 0;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const int32_t now = Editor().store().Device(cells[i].first, cells[i].second);
    if (now != before[i]) {
      cell = cells[i];
      value = now;
    }
  }
  ASSERT_NE(cell.first, -1) << "the echo level is one of block 3's first slots";
  // The box answers again, so that a change sent first can be acknowledged.
  if (c.choice == 0) Box().faults().silent_for_frames = 0;

  boxes_.choices.push_back(c.choice);
  Open(1);
  ASSERT_FALSE(boxes_.shown.empty());
  EXPECT_EQ(boxes_.shown.back().kind, ScriptedMessageBoxes::Kind::kChoice);
  EXPECT_EQ(
      boxes_.shown.back().text,
      QStringLiteral("编辑器中有 1 项修改还没有发送到房间“VIP 1”的设备。\n打开房间“大厅”之前："));
  EXPECT_EQ(boxes_.last_buttons,
            (QStringList{QStringLiteral("发送后打开"), QStringLiteral("放弃修改并打开"),
                         QStringLiteral("留下")}));
  EXPECT_EQ(Editor().room(), c.left ? "大厅" : "VIP 1");
  if (c.left) {
    ASSERT_TRUE(WaitFor(
        [&] { return Editor().link_state_label()->text() == QStringLiteral("大厅 · 设备已连接"); },
        kTransferWaitMs))
        << Editor().link_state_label()->text().toStdString();
    EXPECT_EQ(TheLink().PendingCount(), 0);
    // No question about the change: sent, or dropped.
    EXPECT_EQ(boxes_.shown.back().kind, ScriptedMessageBoxes::Kind::kChoice);
  } else {
    EXPECT_EQ(TheLink().PendingCount(), 1);
    EXPECT_EQ(EchoLevel(), edited);
  }
  EXPECT_EQ(Box().Slot(cell.first, cell.second) == value, c.first_box_has_edit);
}

INSTANTIATE_TEST_SUITE_P(Leave, VenueWindowTest, ::testing::ValuesIn(kLeaveCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Three rooms as a new user tries them: after a room whose port has nothing behind it, the editor
// never goes back to the previous room's box and an edit made there waits for its own room; a
// room whose box is not the file's is asked about before anything is shown or sent, and No leaves
// that box as it was.
class RoomsAgainstBoxes : public VenueWindowTest {
 protected:
  // Every slot the box holds, blocks 0..9.
  static std::vector<int32_t> Snapshot(const boxsim::BoxModel& box) {
    std::vector<int32_t> cells;
    for (int block = 0; block <= kSystemBlock; ++block) {
      for (int slot = 0; slot < kDeviceColumns; ++slot) cells.push_back(box.Slot(block, slot));
    }
    return cells;
  }
};

TEST_F(RoomsAgainstBoxes, EditsStayWithTheirRoomAndAnotherBoxIsAskedAbout) {
  ASSERT_TRUE(box_.ok());
  PtyBox other;
  ASSERT_TRUE(other.ok());
  other.model().SetIdentity({0x2B, 0x00, 0x00, 0x07});
  Venue venue;
  venue.rooms = {{"大包 1", box_.path(), "4B3107E5", 1},
                 {"大包 2", QDir::temp().filePath("kc-no-box-here").toStdString(), "", 2},
                 {"大包 7", other.path(), "1A000007", 3}};
  program_ = std::make_unique<Program>(
      &boxes_, [] { return std::vector<std::string>{}; }, nullptr, false);
  program_->ShowVenue(venue, "venue.toml");
  QElapsedTimer clock;
  clock.start();
  Open(0);
  ASSERT_TRUE(WaitFor([&] { return TheLink().state() == LinkState::kReady; }, kTransferWaitMs));
  std::printf("room switch: %lld ms from 打开 to editing\n",
              static_cast<long long>(clock.elapsed()));
  ASSERT_TRUE(LinkQuiet(5000));
  EXPECT_TRUE(WaitFor([&] { return State(0) == QStringLiteral("编辑中"); }, 2000));

  // The room with nothing behind its port: searched for alone, for as long as it takes.
  Open(1);
  const auto first_box = Snapshot(Box());
  Tab(3);
  Key("EchoEffLevelBar", Qt::Key_PageUp);
  EXPECT_EQ(TheLink().PendingCount(), 1);
  QTest::qWait(5000);
  Editor().UpdateLinkState();
  EXPECT_EQ(Editor().link_state_label()->text(),
            QStringLiteral("大包 2 · 正在查找设备... · 1 项未发送"));
  EXPECT_EQ(Snapshot(Box()), first_box) << "the edit reached the previous room's box";
  EXPECT_EQ(List()->item(1, VenueWindow::kPending)->text(), QStringLiteral("1"));

  // The room of another box: asked, No.
  boxes_.choices.push_back(0);  // "放弃修改并打开": no box to send it to
  boxes_.answers.push_back(false);
  const auto other_box = Snapshot(other.model());
  Open(2);
  ASSERT_TRUE(WaitFor(
      [&] {
        return !boxes_.shown.empty() &&
               boxes_.shown.back().kind == ScriptedMessageBoxes::Kind::kYesNoDefaultNo;
      },
      kTransferWaitMs));
  EXPECT_EQ(boxes_.shown.back().caption, QStringLiteral("提示"));
  EXPECT_EQ(boxes_.shown.back().text,
            QStringLiteral(
                "房间“大包 7”应是设备 1A000007，现在连接的是设备 2B000007。要编辑这台设备吗？"));
  QTest::qWait(1500);
  EXPECT_NE(TheLink().state(), LinkState::kReady);
  EXPECT_EQ(Snapshot(other.model()), other_box) << "the box left alone was written to";
  Editor().UpdateLinkState();
  EXPECT_EQ(Editor().link_state_label()->text(), QStringLiteral("大包 7 · 设备不符"));
  EXPECT_TRUE(WaitFor([&] { return State(2) == QStringLiteral("设备不符"); }, 2000));
  EXPECT_EQ(List()->item(2, VenueWindow::kIdentity)->text(),
            QStringLiteral("2B000007（应为 1A000007）"));
}

// The editor's room put back to its baseline: 设为基准 saves the box, an edit moves it away, and
// 恢复基准... backs the box up, lists the edit (checked) and sends it back.
TEST_F(RoomsAgainstBoxes, ABaselineIsSavedAndPutBack) {
  QTemporaryDir folder;
  const std::string venue_file = folder.filePath(QStringLiteral("venue.toml")).toStdString();
  Venue venue;
  venue.rooms = {{"大包 1", box_.path(), "", 1}};
  program_ = std::make_unique<Program>(
      &boxes_, [] { return std::vector<std::string>{}; }, nullptr, false);
  program_->ShowVenue(venue, venue_file);
  Open(0);
  ASSERT_TRUE(LinkQuiet(kTransferWaitMs));
  const auto path = program_->venue_window()->BaselineOf(venue.rooms[0]);
  ASSERT_TRUE(Editor().SaveBaseline(path, ""));
  EXPECT_TRUE(Editor().SaveBaseline(path, "")) << "a baseline is replaced when the user says so";
  const auto baseline = Snapshot(Box());
  Tab(3);
  Key("EchoEffLevelBar", Qt::Key_PageUp);
  ASSERT_TRUE(LinkQuiet(5000));
  ASSERT_NE(Snapshot(Box()), baseline);
  program_->venue_window()->apply_button()->click();
  SyncWindow* list = OfferedList(5000);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->CheckedCount(), 1);
  list->send_button()->click();
  EXPECT_TRUE(LinkQuiet(5000));
  EXPECT_EQ(Snapshot(Box()), baseline);
  EXPECT_EQ(QDir(folder.filePath(QStringLiteral("backups/大包 1"))).entryList(QDir::Files).size(),
            1);
}

}  // namespace
}  // namespace kc::e2e
