// A venue's room on the link, tick by tick: after the room before it, only the room's port is
// probed, its edits wait for its own box, a box of another identity is asked about before
// anything is shown or sent, and a serial device server that gave the line to another client is
// left alone for 30 seconds.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "link_fixture.h"

namespace kc::testing {
namespace {

struct RoomCase {
  const char* name;
  std::string room_identity;      // what the venue file says; empty: any box
  std::array<uint8_t, 4> box_id;  // the box that turns up on the room's port
  int box_after;                  // scan ticks of the search before it answers; -1: never
  std::optional<bool> answer;     // the user's answer to the question, when asked
  bool asked;
  bool ready;             // the editor works on the room's box in the end
  bool edit_reaches_box;  // the edit made while the box was missing reaches it
};

void PrintTo(const RoomCase& c, std::ostream* os) { *os << c.name; }

constexpr std::array<uint8_t, 4> k2B = {0x2B, 0x00, 0x00, 0x07};

const RoomCase kRoomCases[] = {
    {"BoxNeverComes", "", k2B, -1, std::nullopt, false, false, false},
    {"AnyBoxComesLater", "", k2B, 12, std::nullopt, false, true, true},
    {"TheRoomsBox", "2B000007", k2B, 3, std::nullopt, false, true, true},
    {"AnotherBoxEdited", "1A000007", k2B, 3, true, true, true, true},
    {"AnotherBoxLeftAlone", "1A000007", k2B, 3, false, true, false, false},
};

class RoomTest : public LinkTest, public ::testing::WithParamInterface<RoomCase> {
 protected:
  RoomTest() {
    port.on_write = [this](const Bytes& request) {
      sent.push_back({port.name(), request});
      if (port.name() == "A") port.Feed(box.Answer(request));
      if (port.name() == "B" && room_box_on) port.Feed(room_box.Answer(request));
    };
  }
  // Parameter frames that went to a port since `from`.
  int ParamsTo(const std::string& name, std::size_t from) const {
    int n = 0;
    for (std::size_t i = from; i < sent.size(); ++i) {
      const Bytes& w = sent[i].second;
      if (sent[i].first == name && w.size() == 9 && IdOf(w) != kLinkControlId &&
          w[3] == kWriteAccess) {
        ++n;
      }
    }
    return n;
  }

  MiniBox room_box;
  bool room_box_on = false;
  std::vector<std::pair<std::string, Bytes>> sent;
};

TEST_P(RoomTest, OnlyTheRoomsPortAndTheRoomsBox) {
  const RoomCase& c = GetParam();
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
  const int echo_level = MakeId(3, 1);
  link.SendParam(echo_level, 77);  // made while room B's box is missing
  ASSERT_EQ(link.PendingCount(), 1);
  room_box.identity = c.box_id;
  port.opened.clear();
  const std::size_t left_at = sent.size();
  const std::size_t refreshed = host.refreshes.size();
  bool connected = false;
  for (int tick = 0; tick < 40 && !connected; ++tick) {
    if (tick == c.box_after) room_box_on = true;
    link.Timer1Timer();
    Notify();
    connected = host.transfer_on;
  }
  for (const std::string& name : port.opened) EXPECT_EQ(name, "B") << "the room left was probed";
  EXPECT_EQ(connected, c.box_after >= 0);
  if (connected) RunTransfer();
  ASSERT_EQ(host.other_box_questions.size(), c.asked ? 1u : 0u);
  if (c.asked) {
    EXPECT_EQ(host.other_box_questions[0],
              std::make_pair(c.room_identity, std::string("2B000007")));
    // Nothing shown and nothing sent while the question is open.
    EXPECT_EQ(link.state(), LinkState::kNotReady);
    EXPECT_FALSE(host.hold_on || host.scan_on || host.transfer_on);
    EXPECT_EQ(host.refreshes.size(), refreshed) << "the other box's settings were shown";
    const std::size_t asked_at = sent.size();
    link.AnswerOtherBox(*c.answer);
    if (!*c.answer) {
      EXPECT_EQ(sent.size(), asked_at) << "nothing goes to a box the user left alone";
      EXPECT_EQ(link.declined_box(), "2B000007");
      EXPECT_EQ(store.Device(3, 1), 77) << "the editor's settings are back";
    }
  }
  EXPECT_EQ(link.state() == LinkState::kReady, c.ready);
  EXPECT_EQ(link.PendingCount(), 1) << "the edit is still the room's";
  if (!host.offers.empty()) link.AnswerEditorChanges(true);
  HoldTicks(60);
  EXPECT_EQ(ParamsTo("A", left_at), 0) << "room A's box got an edit of room B";
  EXPECT_EQ(ParamsTo("B", left_at) > 0, c.edit_reaches_box);
}

INSTANTIATE_TEST_SUITE_P(Rooms, RoomTest, ::testing::ValuesIn(kRoomCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A serial device server that closed the line (another client took its port): the loss at once,
// that address left alone for 50 scan ticks (30 s), and at once again when the user connects.
TEST_F(LinkTest, ServerThatGaveTheLineAwayIsLeftAloneForAWhile) {
  struct Step {
    const char* what;
    int ticks;          // scan ticks run
    bool user_connect;  // "连接" before them
    int opens;          // opens of the port during them
  };
  const Step steps[] = {
      {"held off", PortSearch::kHoldOffTicks, false, 0},
      {"then probed", 3, false, 3},
  };
  link.set_auto_reconnect(true);
  ConnectReady();
  box.silent = true;
  link.LineClosed(true);
  ASSERT_EQ(host.messages, std::vector<LinkOutcome>{LinkOutcome::kLost});
  EXPECT_EQ(host.last_message.failure, LinkFailure::kClosedByServer);
  EXPECT_TRUE(link.LineTaken());
  for (const Step& step : steps) {
    port.opened.clear();
    for (int t = 0; t < step.ticks; ++t) link.Timer1Timer();
    EXPECT_EQ(static_cast<int>(port.opened.size()), step.opens) << step.what;
  }
  EXPECT_FALSE(link.LineTaken());
  // Lost again, then the user's "连接" probes at once.
  box.silent = false;
  Notify();
  link.SetPortNames({"COM1"});
  link.Connect();
  link.Timer1Timer();
  Notify();
  link.Timer1Timer();
  RunTransfer();
  ASSERT_EQ(link.state(), LinkState::kReady);
  link.LineClosed(true);
  port.opened.clear();
  link.Connect();
  link.Timer1Timer();
  EXPECT_EQ(port.opened, std::vector<std::string>{"COM1"});
}

}  // namespace
}  // namespace kc::testing
