// Whole-block transfers tick by tick against a minimal box: a connection's download, a reload,
// an upload, and the ways they fail.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/link.h"
#include "link_fixture.h"

namespace kc {
namespace {

using testing::AckBytes;
using testing::Bytes;
using testing::FakeSerialPort;
using testing::IdOf;
using testing::LinkTest;
using testing::MiniBox;
using testing::RecordingLinkHost;
using testing::ValueOf;

TEST_F(LinkTest, DownloadRequestsInOrderAndEndsReady) {
  link.SetPortNames({"COM1"});
  link.Connect();
  link.Timer1Timer();
  Notify();
  port.writes.clear();
  link.Timer1Timer();
  std::vector<int> percent_while_names;
  while (link.transfer_timer_on()) {
    Notify();
    const int outstanding = link.step();
    link.Timer2Timer();
    if (outstanding == 9) percent_while_names.push_back(host.statuses.back().percent);
  }
  std::vector<int> expected;
  for (int block = 0; block <= 8; ++block) expected.push_back(kReadBlockId);
  for (int k = 0; k < 15; ++k) expected.push_back(kReadModeNameId);
  for (int step = 10; step <= 27; ++step) expected.push_back(DownloadStepId(step));
  ASSERT_EQ(WrittenIds(), expected);  // 42 requests
  for (int block = 0; block <= 8; ++block) EXPECT_EQ(ValueOf(port.writes[block]), block);
  for (int k = 0; k < 15; ++k) EXPECT_EQ(port.writes[9 + k][6], k);
  EXPECT_EQ(percent_while_names, std::vector<int>(15, 33));

  EXPECT_EQ(link.state(), LinkState::kReady);
  EXPECT_EQ(link.status(), LinkStatus::kConnected);
  EXPECT_TRUE(host.hold_on);
  EXPECT_FALSE(host.transfer_on);
  EXPECT_EQ(host.editor_shown, 1);
  EXPECT_EQ(host.refreshes, std::vector<int>{kAllBlocks});
  EXPECT_FALSE(host.statuses.back().visible);
  EXPECT_EQ(store.disco(), 1);
  for (int block = 0; block <= 8; ++block) {
    for (int slot = 0; slot < InfoOfBlock(block)->device_slots; ++slot) {
      ASSERT_EQ(store.Device(block, slot), box.rows[block][slot]) << block << ":" << slot;
    }
  }
  EXPECT_EQ(store.Device(9, 0x21), box.items[0x21]);
  EXPECT_EQ(link.mode_names()[0], "Mode 1              ");
  EXPECT_EQ(link.mode_names()[14], "Mode 15             ");
  EXPECT_EQ(link.system_password(), "314159");
  EXPECT_EQ(link.keylock_password(), "2718");
  EXPECT_EQ(link.device_id(), "12AB00FF");
  EXPECT_EQ(link.mode_name_index(), 0);
}

TEST_F(LinkTest, RecallLeadsToAReloadWithItsPercentages) {
  ConnectReady();
  link.SendParam(kRecallModeId, 3);
  EXPECT_EQ(link.status(), LinkStatus::kLoading);
  EXPECT_EQ(link.state(), LinkState::kNotReady);
  EXPECT_EQ(link.pending(), PendingAction::kRecall);
  ASSERT_EQ(port.writes.size(), 1u);
  EXPECT_EQ(port.writes[0], BuildFixedFrame(kWriteAccess, kRecallModeId, 3));
  HoldTicks(1);  // the acknowledgement arrives: reload
  EXPECT_TRUE(host.transfer_on);
  EXPECT_FALSE(host.hold_on);
  EXPECT_EQ(link.length(), 8);
  EXPECT_EQ(port.writes.back(), BuildFixedFrame(kReadAccess, kReadBlockId, 0));

  std::vector<std::pair<int, int>> step_percent;
  while (link.transfer_timer_on()) {
    Notify();
    const int outstanding = link.step();
    link.Timer2Timer();
    step_percent.push_back({outstanding, host.statuses.back().percent});
  }
  auto percent_at = [&](int step) {
    for (auto [s, p] : step_percent) {
      if (s == step) return p;
    }
    return -1;
  };
  EXPECT_EQ(percent_at(1), 12);  // 12.5 goes to the even 12
  EXPECT_EQ(percent_at(3), 38);  // 37.5 goes to the even 38
  EXPECT_EQ(link.status(), LinkStatus::kConnected);
  EXPECT_EQ(link.state(), LinkState::kReady);
  // Blocks 0..8 only.
  EXPECT_EQ(port.writes.size(), 1u + 9u);
}

TEST_F(LinkTest, UploadOnlyWhenReady) {
  link.LinkEvent(LinkEventKind::kStartUpload);
  EXPECT_FALSE(link.transfer_timer_on());
  EXPECT_TRUE(port.writes.empty());

  ConnectReady();
  store.SetDevice(5, 3, 77);
  link.LinkEvent(LinkEventKind::kStartUpload);
  EXPECT_EQ(link.status(), LinkStatus::kUploading);
  EXPECT_EQ(link.state(), LinkState::kNotReady);
  RunTransfer();
  ASSERT_EQ(port.writes.size(), 9u);
  for (int block = 0; block <= 8; ++block) {
    EXPECT_EQ(IdOf(port.writes[block]), kWriteBlockId);
    EXPECT_EQ(port.writes[block][6], block);
  }
  EXPECT_EQ(port.writes[5][8 + 6] + 256 * port.writes[5][9 + 6], 77);
  EXPECT_EQ(link.state(), LinkState::kReady);
  EXPECT_EQ(host.refreshes.back(), kAllBlocks);
}

TEST_F(LinkTest, DisconnectDuringDownloadReleasesAndLeavesThePortOpen) {
  link.SetPortNames({"COM1"});
  link.Connect();
  link.Timer1Timer();
  Notify();
  link.Timer1Timer();
  RunTransfer(5);
  port.writes.clear();
  link.Disconnect();
  EXPECT_FALSE(host.scan_on || host.transfer_on || host.hold_on);
  ASSERT_EQ(port.writes.size(), 1u);
  EXPECT_EQ(port.writes[0], BuildFixedFrame(kWriteAccess, kLinkControlId, kRelease));
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(link.status(), LinkStatus::kNotConnected);
  EXPECT_FALSE(host.statuses.back().visible);
  EXPECT_EQ(link.state(), LinkState::kNotReady);
}

TEST_F(LinkTest, UnansweredTransferStepsFailAfter111Ticks) {
  struct Case {
    const char* name;
    int answered_steps;  // requests answered before the box goes silent
  };
  for (const Case c : {Case{"first request", 0}, Case{"a later request", 4}}) {
    FakeSerialPort p;
    RecordingLinkHost h;
    ParameterStore s;
    Link l(p, s, h);
    MiniBox b;
    int answers_left = c.answered_steps;
    p.on_write = [&](const Bytes& request) {
      if (request[3] == kWriteAccess || answers_left-- > 0) p.Feed(b.Answer(request));
    };
    l.SetPortNames({"COM1"});
    l.Connect();
    l.Timer1Timer();
    l.ComPortRxChar(static_cast<int>(p.BytesWaiting()));
    l.Timer1Timer();
    int ticks_since_last_request = 0;
    std::size_t requests = p.writes.size();
    for (int tick = 0; tick < 400 && h.messages.empty(); ++tick) {
      if (p.BytesWaiting() > 0) l.ComPortRxChar(static_cast<int>(p.BytesWaiting()));
      l.Timer2Timer();
      ++ticks_since_last_request;
      if (p.writes.size() != requests) {
        requests = p.writes.size();
        ticks_since_last_request = 0;
      }
    }
    EXPECT_EQ(h.messages, std::vector<LinkOutcome>{LinkOutcome::kFailed}) << c.name;
    EXPECT_EQ(ticks_since_last_request, 111) << c.name;
    EXPECT_FALSE(h.transfer_on) << c.name;
  }
}

TEST_F(LinkTest, StrayAcknowledgementDoesNotStopADownloadStepFromTimingOut) {
  answering = false;
  link.SetPortNames({"COM1"});
  link.Connect();
  link.Timer1Timer();
  port.Feed(AckBytes());
  Notify();
  link.Timer1Timer();  // download: read block 0 goes out, never answered
  port.Feed(AckBytes(kAckCodeAa));
  Notify();
  EXPECT_EQ(link.flags().wait, WaitState::kAckReceived);
  for (int tick = 0; tick < 111; ++tick) link.Timer2Timer();
  EXPECT_EQ(host.messages, std::vector<LinkOutcome>{LinkOutcome::kFailed});
}

TEST_F(LinkTest, InterruptedDownloadThenReconnectFetchesAllNames) {
  link.SetPortNames({"COM1"});
  link.Connect();
  link.Timer1Timer();
  Notify();
  link.Timer1Timer();
  RunTransfer(14);  // into the names
  ASSERT_GT(link.mode_name_index(), 0);
  link.Disconnect();
  port.writes.clear();
  link.Connect();
  link.Timer1Timer();
  Notify();
  link.Timer1Timer();
  RunTransfer();
  int names = 0;
  for (const Bytes& w : port.writes) names += IdOf(w) == kReadModeNameId;
  EXPECT_EQ(names, 15);
}

// A line that damages answers: a payload byte flipped under the checksum of the true bytes.
// A damaged answer is never stored; its step is asked again up to three times, and a download
// that cannot get a good answer fails and leaves the store as it was.
TEST_F(LinkTest, DamagedAnswersAreAskedAgainAndNeverStored) {
  struct Case {
    const char* name;
    int damaged_id;     // request whose answers are damaged
    int damaged_value;  // its first payload value (block or mode number), -1 for any
    int times;          // how many of its answers in a row
    bool completes;
  };
  const Case cases[] = {
      {"block 6 once", kReadBlockId, 6, 1, true},
      {"a mode name three times", kReadModeNameId, 4, 3, true},
      {"the identity three times", kDeviceIdentityId, -1, 3, true},
      {"block 3 four times", kReadBlockId, 3, 4, false},
      {"a mode name four times", kReadModeNameId, 9, 4, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSerialPort line;
    ParameterStore before;
    RecordingLinkHost events;
    Link under_test(line, before, events);
    for (int slot = 0; slot < kDeviceColumns; ++slot) before.SetDevice(6, slot, 7);
    int damaged = 0;
    int asked = 0;
    line.on_write = [&](const Bytes& request) {
      Bytes answer = box.Answer(request);
      const bool match =
          IdOf(request) == c.damaged_id &&
          (c.damaged_value < 0 || request.size() < 8 || request[6] == c.damaged_value);
      if (match) ++asked;
      if (match && damaged < c.times && answer.size() > 7) {
        answer[6] ^= 0x40;
        ++damaged;
      }
      line.Feed(answer);
    };
    under_test.SetPortNames({"COM1"});
    under_test.Connect();
    for (int tick = 0; tick < 2; ++tick) {
      under_test.Timer1Timer();
      if (line.BytesWaiting() > 0) under_test.ComPortRxChar(static_cast<int>(line.BytesWaiting()));
    }
    for (int tick = 0; tick < 400 && under_test.transfer_timer_on(); ++tick) {
      if (line.BytesWaiting() > 0) under_test.ComPortRxChar(static_cast<int>(line.BytesWaiting()));
      under_test.Timer2Timer();
    }
    EXPECT_EQ(under_test.checksum_errors(), c.times);
    if (c.completes) {
      EXPECT_EQ(asked, c.times + 1);
      EXPECT_EQ(under_test.state(), LinkState::kReady);
      EXPECT_TRUE(events.messages.empty());
      for (int block = 0; block <= 8; ++block) {
        for (int slot = 0; slot < InfoOfBlock(block)->device_slots; ++slot) {
          ASSERT_EQ(before.Device(block, slot), box.rows[block][slot]) << block << ":" << slot;
        }
      }
      EXPECT_EQ(under_test.mode_names()[4], "Mode 5              ");
      EXPECT_EQ(under_test.device_id(), "12AB00FF");
    } else {
      EXPECT_EQ(asked, 4);  // the first request and three more
      EXPECT_EQ(under_test.state(), LinkState::kNotReady);
      EXPECT_FALSE(under_test.transfer_timer_on());
      EXPECT_EQ(under_test.failure(), LinkFailure::kChecksum);
      EXPECT_EQ(events.messages, std::vector<LinkOutcome>{LinkOutcome::kFailed});
      // Nothing of the failed download is kept: neither rows received before the bad step nor
      // the mode names.
      EXPECT_EQ(before.Device(0, 0), 0);
      EXPECT_EQ(before.Device(6, 1), 7);
      EXPECT_EQ(under_test.mode_names()[0], "");
    }
  }
}

}  // namespace
}  // namespace kc
