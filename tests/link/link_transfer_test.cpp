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
  while (host.transfer_on) {
    Notify();
    const bool name_outstanding = IdOf(port.writes.back()) == kReadModeNameId;
    link.Timer2Timer();
    if (name_outstanding) percent_while_names.push_back(host.statuses.back().percent);
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
}

TEST_F(LinkTest, RecallLeadsToAReloadWithItsPercentages) {
  ConnectReady();
  link.SendParam(kRecallModeId, 3);
  EXPECT_EQ(link.status(), LinkStatus::kLoading);
  EXPECT_EQ(link.state(), LinkState::kNotReady);
  ASSERT_EQ(port.writes.size(), 1u);
  EXPECT_EQ(port.writes[0], BuildFixedFrame(kWriteAccess, kRecallModeId, 3));
  HoldTicks(1);  // the acknowledgement arrives: reload
  EXPECT_TRUE(host.transfer_on);
  EXPECT_FALSE(host.hold_on);
  EXPECT_EQ(port.writes.back(), BuildFixedFrame(kReadAccess, kReadBlockId, 0));

  std::vector<std::pair<int, int>> step_percent;
  while (host.transfer_on) {
    Notify();
    const int outstanding = ValueOf(port.writes.back());  // the block asked for
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
  EXPECT_FALSE(link.StartUpload());
  EXPECT_FALSE(link.Reload());
  EXPECT_FALSE(host.transfer_on);
  EXPECT_TRUE(port.writes.empty());

  ConnectReady();
  store.SetDevice(5, 3, 77);
  ASSERT_TRUE(link.StartUpload());
  EXPECT_FALSE(link.StartUpload());  // not while one runs
  EXPECT_EQ(link.upload_blocks_sent(), 1);
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
  EXPECT_EQ(link.upload_blocks_sent(), 9);
  EXPECT_EQ(host.refreshes.back(), kAllBlocks);
}

// An upload block whose acknowledgement does not come is sent again every three silent seconds
// (30 transfer ticks after it went out), at most three times; without an answer the upload fails
// 111 ticks after the block first went out, at that block.
TEST_F(LinkTest, AnUnacknowledgedUploadBlockIsSentAgainEveryThreeSeconds) {
  struct Case {
    const char* name;
    int unanswered;            // sends of block 3 the box does not hear
    std::vector<int> sent_at;  // transfer ticks after its first send
    bool completes;
  };
  const Case cases[] = {
      {"heard at the second resend", 2, {0, 30, 60}, true},
      {"never heard", 1000, {0, 30, 60, 90}, false},
  };
  int unanswered = 0;
  port.on_write = [&](const Bytes& request) {
    const bool block3 = IdOf(request) == kWriteBlockId && request[6] == 3;
    if (!block3 || unanswered-- <= 0) port.Feed(box.Answer(request));
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    unanswered = c.unanswered;
    ConnectReady();
    ASSERT_TRUE(link.StartUpload());
    std::vector<int> block3_at;
    int failed_at = -1;
    for (int tick = 0; tick < 400 && host.transfer_on; ++tick) {
      Notify();
      const std::size_t before = port.writes.size();
      link.Timer2Timer();
      for (std::size_t i = before; i < port.writes.size(); ++i) {
        if (IdOf(port.writes[i]) == kWriteBlockId && port.writes[i][6] == 3) {
          block3_at.push_back(tick);
        }
      }
      if (!host.messages.empty()) failed_at = tick;
    }
    ASSERT_FALSE(block3_at.empty());
    std::vector<int> after_first;
    for (int tick : block3_at) after_first.push_back(tick - block3_at.front());
    EXPECT_EQ(after_first, c.sent_at);
    if (c.completes) {
      EXPECT_EQ(link.state(), LinkState::kReady);
      EXPECT_TRUE(host.messages.empty());
      EXPECT_EQ(link.upload_blocks_sent(), 9);
    } else {
      EXPECT_EQ(host.messages, std::vector<LinkOutcome>{LinkOutcome::kFailed});
      EXPECT_EQ(failed_at - block3_at.front(), 111);
      EXPECT_EQ(host.last_message.step, 3);
      EXPECT_EQ(host.last_message.failure, LinkFailure::kNoAnswer);
      EXPECT_EQ(link.upload_blocks_sent(), 4);
    }
    host.messages.clear();
  }
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
  for (int tick = 0; tick < 110; ++tick) link.Timer2Timer();
  EXPECT_TRUE(host.messages.empty());
  link.Timer2Timer();
  EXPECT_EQ(host.messages, std::vector<LinkOutcome>{LinkOutcome::kFailed});
}

TEST_F(LinkTest, InterruptedDownloadThenReconnectFetchesAllNames) {
  link.SetPortNames({"COM1"});
  link.Connect();
  link.Timer1Timer();
  Notify();
  link.Timer1Timer();
  RunTransfer(14);  // into the names
  const auto names_asked = [this] {
    std::vector<int> modes;
    for (const Bytes& w : port.writes) {
      if (IdOf(w) == kReadModeNameId) modes.push_back(w[6]);
    }
    return modes;
  };
  ASSERT_GT(names_asked().size(), 1u);
  link.Disconnect();
  port.writes.clear();
  link.Connect();
  link.Timer1Timer();
  Notify();
  link.Timer1Timer();
  RunTransfer();
  std::vector<int> all_modes(15);
  for (int k = 0; k < 15; ++k) all_modes[k] = k;
  EXPECT_EQ(names_asked(), all_modes);
  EXPECT_EQ(link.mode_names()[0], "Mode 1              ");
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
    for (int tick = 0; tick < 400 && events.transfer_on; ++tick) {
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
      EXPECT_FALSE(events.transfer_on);
      EXPECT_EQ(events.last_message.failure, LinkFailure::kChecksum);
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
