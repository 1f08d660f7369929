// The quiet search after a loss or a failed search: which ports it opens and writes to. Other
// equipment on the PC's serial ports is never touched uninvited.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "link_fixture.h"

namespace kc::testing {
namespace {

struct SearchCase {
  const char* name;
  // The ports listed at start-up, and the box's port (empty: no box at first).
  std::vector<std::string> listed;
  std::string box_at_first;
  // The ports the system lists once the search runs, where the box answers then (empty:
  // nowhere), and after how many scan ticks of the search it answers there.
  std::vector<std::string> listed_later;
  std::string box_later;
  int box_back_after;
  // How often each port is opened by the quiet search (ports not named: never).
  std::vector<std::pair<std::string, int>> opens;
  bool reconnects;
};

void PrintTo(const SearchCase& c, std::ostream* os) { *os << c.name; }

class QuietSearchTest : public LinkTest, public ::testing::WithParamInterface<SearchCase> {};

TEST_P(QuietSearchTest, OpensOnlyTheBoxPortAndNewcomers) {
  const SearchCase& c = GetParam();
  std::string box_port = c.box_at_first;
  port.on_write = [&](const Bytes& request) {
    if (answering && port.name() == box_port) port.Feed(box.Answer(request));
  };
  link.set_auto_reconnect(true);
  link.SetPortNames(c.listed);
  link.Connect();
  // The user's search: every listed port once; a box answers on its port.
  for (int tick = 0; tick < 10 && !host.transfer_on; ++tick) {
    link.Timer1Timer();
    Notify();
  }
  if (!c.box_at_first.empty()) {
    while (host.transfer_on) {
      Notify();
      link.Timer2Timer();
    }
    ASSERT_EQ(link.state(), LinkState::kReady);
    // The box goes quiet and is lost.
    answering = false;
    for (int i = 0; i < 700 && link.state() == LinkState::kReady; ++i) HoldTicks(1);
    ASSERT_EQ(host.messages.back(), LinkOutcome::kLost);
  } else {
    ASSERT_EQ(host.messages.back(), LinkOutcome::kFailed);
  }
  ASSERT_TRUE(host.scan_on);

  port.opened.clear();
  host.port_list = c.listed_later;
  box_port.clear();
  bool connected = false;
  for (int tick = 0; tick < 70 && !connected; ++tick) {
    if (tick == c.box_back_after) {
      box_port = c.box_later;
      answering = true;
    }
    link.Timer1Timer();
    Notify();  // an answer starts the download at once, before the next scan tick
    connected = host.transfer_on;
  }
  EXPECT_EQ(connected, c.reconnects);

  for (const std::string& name : port.opened) {
    const bool allowed = std::any_of(c.opens.begin(), c.opens.end(),
                                     [&](const auto& open) { return open.first == name; });
    EXPECT_TRUE(allowed) << name << " was opened";
  }
  for (const auto& [name, times] : c.opens) {
    if (times >= 0) EXPECT_EQ(std::count(port.opened.begin(), port.opened.end(), name), times);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Ports, QuietSearchTest,
    ::testing::Values(
        // The box's port is probed each tick (60 quiet ticks and the one it answers on); the
        // printer on COM2 never.
        SearchCase{"TheBoxComesBackOnItsPort",
                   {"COM1", "COM2"},
                   "COM1",
                   {"COM1", "COM2"},
                   "COM1",
                   60,
                   {{"COM1", 61}},
                   true},
        // The adapter comes back under another name: the newcomer is probed and answers.
        SearchCase{"TheAdapterComesBackUnderAnotherName",
                   {"COM1", "COM2"},
                   "COM1",
                   {"COM2", "COM7"},
                   "COM7",
                   0,
                   {{"COM1", -1}, {"COM7", -1}},
                   true},
        // A port that appeared and never answers belongs to something else: five probes.
        SearchCase{"ANewcomerThatIsNotTheBox",
                   {"COM1", "COM2"},
                   "COM1",
                   {"COM1", "COM2", "COM9"},
                   "",
                   0,
                   {{"COM1", -1}, {"COM9", 5}},
                   false},
        // No box was ever found: only ports that appear later are probed.
        SearchCase{"NoBoxYetOnlyNewcomers",
                   {"COM1", "COM2"},
                   "",
                   {"COM1", "COM2", "COM5"},
                   "COM5",
                   0,
                   {{"COM5", -1}},
                   true},
        SearchCase{
            "NoBoxYetNothingNew", {"COM1", "COM2"}, "", {"COM1", "COM2"}, "COM1", 0, {}, false}),
    [](const ::testing::TestParamInfo<SearchCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kc::testing
