// A venue's room on the link, tick by tick: after the room before it, only the room's port is
// probed, its edits wait for its own box, a box of another identity is asked about before
// anything is shown or sent, and a serial device server that gave the line to another client is
// left alone for 30 seconds.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "link_fixture.h"

namespace kc::testing {
namespace {

struct RoomCase {
  std::string room_identity;   // what the venue file says; empty: any box
  int box_after;               // scan ticks before the room's box (2B000007) answers; -1: never
  std::optional<bool> answer;  // the user's answer when asked about another box
  bool ready;                  // the editor works on the room's box, which got the edit
};

const RoomCase kRoomCases[] = {
    {"", -1, std::nullopt, false},       {"", 12, std::nullopt, true},
    {"2B000007", 3, std::nullopt, true}, {"1A000007", 3, true, true},
    {"1A000007", 3, false, false},
};

class RoomTest : public LinkTest, public ::testing::WithParamInterface<RoomCase> {};

TEST_P(RoomTest, OnlyTheRoomsPortAndTheRoomsBox) {
  const RoomCase& c = GetParam();
  MiniBox room_box;
  room_box.identity = {0x2B, 0x00, 0x00, 0x07};
  bool room_box_on = false;
  std::vector<std::pair<std::string, Bytes>> edits;  // (port, frame) of every parameter write
  port.on_write = [&](const Bytes& request) {
    if (request.size() == 9 && IdOf(request) != kLinkControlId && request[3] == kWriteAccess) {
      edits.push_back({port.name(), request});
    }
    if (port.name() == "A") port.Feed(box.Answer(request));
    if (port.name() == "B" && room_box_on) port.Feed(room_box.Answer(request));
  };
  link.set_auto_reconnect(true);
  // Room A's box first: connected, then left for room B, as opening a room does.
  link.SetRoom("A", "");
  link.Connect();  // a room's one port is probed at once
  Notify();        // and its answer starts the download
  RunTransfer();
  ASSERT_EQ(link.state(), LinkState::kReady);
  link.Disconnect();
  link.SetRoom("B", c.room_identity);
  link.Connect();
  link.SendParam(MakeId(3, 1), 77);  // made while room B's box is missing
  port.opened.clear();
  const std::size_t refreshed = host.refreshes.size();
  for (int tick = 0; tick < 40 && !host.transfer_on; ++tick) {
    room_box_on = room_box_on || tick == c.box_after;
    link.Timer1Timer();
    Notify();
  }
  for (const std::string& name : port.opened) EXPECT_EQ(name, "B") << "the room left was probed";
  RunTransfer();
  ASSERT_EQ(host.other_box_questions.size(), c.answer ? 1u : 0u);
  if (c.answer) {
    EXPECT_EQ(host.other_box_questions[0],
              std::make_pair(c.room_identity, std::string("2B000007")));
    // Nothing shown and nothing sent while the question is open.
    EXPECT_FALSE(host.hold_on || host.scan_on || host.transfer_on);
    EXPECT_EQ(host.refreshes.size(), refreshed) << "the other box's settings were shown";
    link.AnswerOtherBox(*c.answer);
    EXPECT_EQ(link.declined_box(), *c.answer ? "" : "2B000007");
  }
  EXPECT_EQ(link.state() == LinkState::kReady, c.ready);
  EXPECT_EQ(link.PendingCount(), 1) << "the edit is still the room's";
  if (!host.offers.empty()) link.AnswerEditorChanges(true);
  HoldTicks(60);
  EXPECT_EQ(store.Device(3, 1), 77);
  for (const auto& [name, frame] : edits) EXPECT_EQ(name, "B") << "room A's box got room B's edit";
  EXPECT_EQ(!edits.empty(), c.ready);
}

INSTANTIATE_TEST_SUITE_P(Rooms, RoomTest, ::testing::ValuesIn(kRoomCases));

// A serial device server that closed the line: the loss at once, the address left alone for 50
// scan ticks (30 s), and probed at once when the user connects.
TEST_F(LinkTest, ServerThatGaveTheLineAwayIsLeftAloneForAWhile) {
  link.set_auto_reconnect(true);
  ConnectReady();
  for (const bool user_connects : {false, true}) {
    link.LineClosed(true);
    EXPECT_EQ(host.last_message, (LinkMessage{LinkOutcome::kLost, LinkFailure::kClosedByServer}));
    EXPECT_TRUE(link.LineTaken());
    port.opened.clear();
    if (user_connects) link.Connect();
    for (int t = 0; t < PortSearch::kHoldOffTicks && port.opened.empty(); ++t) {
      link.Timer1Timer();
      Notify();
    }
    EXPECT_EQ(port.opened.size(), user_connects ? 1u : 0u);
    for (int t = 0; t < 3 && !host.transfer_on; ++t) {
      link.Timer1Timer();
      Notify();
    }
    RunTransfer();
    ASSERT_EQ(link.state(), LinkState::kReady);
  }
}

}  // namespace
}  // namespace kc::testing
