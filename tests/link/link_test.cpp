// The link's scan, the pacing of edits, keepalive, loss and the box's commands, tick by tick
// against a minimal box.
#include "link/link.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "link_fixture.h"

namespace kc {
namespace {

using testing::AckBytes;
using testing::Bytes;
using testing::IdOf;
using testing::LinkTest;
using testing::ValueOf;

TEST_F(LinkTest, ScanOfThreeSilentPortsFailsOnTheFifthTick) {
  answering = false;
  link.SetPortNames({"COM1", "COM2", "COM3"});
  link.Connect();
  EXPECT_EQ(link.status(), LinkStatus::kSearching);
  EXPECT_TRUE(host.scan_on);
  EXPECT_TRUE(host.statuses.back().visible);
  for (int tick = 1; tick <= 3; ++tick) {
    link.Timer1Timer();
    ASSERT_EQ(port.writes.size(), static_cast<std::size_t>(tick));
    EXPECT_EQ(port.writes.back(), BuildFixedFrame(kWriteAccess, kLinkControlId, kProbe));
    EXPECT_EQ(port.name(), "COM" + std::to_string(tick));
  }
  link.Timer1Timer();  // selects nothing
  EXPECT_EQ(port.writes.size(), 3u);
  EXPECT_EQ(link.selected_port(), -1);
  EXPECT_TRUE(host.messages.empty());
  link.Timer1Timer();
  EXPECT_EQ(host.messages, std::vector<LinkOutcome>{LinkOutcome::kFailed});
  EXPECT_FALSE(host.scan_on);
  EXPECT_EQ(link.status(), LinkStatus::kNotConnected);
  EXPECT_FALSE(host.statuses.back().visible);
}

TEST_F(LinkTest, ScanOfAnEmptyPortListFailsOnTheFirstTick) {
  link.SetPortNames({});
  link.Connect();
  link.Timer1Timer();
  EXPECT_EQ(host.messages, std::vector<LinkOutcome>{LinkOutcome::kFailed});
  EXPECT_TRUE(port.writes.empty());
}

TEST_F(LinkTest, ScanSkipsAPortThatDoesNotOpenAndDownloadsFromTheOneThatAnswers) {
  port.openable = {"COM2"};
  link.SetPortNames({"COM1", "COM2"});
  link.Connect();
  link.Timer1Timer();  // COM1 does not open: the probe is dropped
  EXPECT_TRUE(port.writes.empty());
  link.Timer1Timer();  // COM2
  ASSERT_EQ(port.writes.size(), 1u);
  Notify();
  EXPECT_TRUE(link.flags().answer_seen);
  link.Timer1Timer();
  EXPECT_EQ(link.status(), LinkStatus::kConnecting);
  EXPECT_FALSE(host.scan_on);
  EXPECT_TRUE(host.transfer_on);
  EXPECT_EQ(port.writes.back(), BuildFixedFrame(kReadAccess, kReadBlockId, 0));
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(port.name(), "COM2");
  // The port that did not open is named in the diagnostic log.
  EXPECT_EQ(host.log, std::vector<std::string>{"端口无法打开: COM1"});
}

TEST_F(LinkTest, APortThatDoesNotOpenIsLoggedOnceUntilItOpensOrTheUserConnectsAgain) {
  answering = false;
  port.openable = {"COM2"};
  link.set_auto_reconnect(true);
  link.SetPortNames({"COM1"});
  const auto tries_of_com1 = [this] {
    return std::count(port.opened.begin(), port.opened.end(), "COM1");
  };
  link.Connect();
  // The quiet search after the failed scan tries COM1 round after round.
  for (int tick = 0; tick < 60; ++tick) link.Timer1Timer();
  ASSERT_TRUE(link.searching_in_background());
  EXPECT_GE(tries_of_com1(), 3);
  EXPECT_EQ(host.log, std::vector<std::string>{"端口无法打开: COM1"});

  // Once it has opened, a later failure is logged again.
  port.openable = {"COM1"};
  const auto before = tries_of_com1();
  for (int tick = 0; tick < 60 && tries_of_com1() == before; ++tick) link.Timer1Timer();
  ASSERT_TRUE(port.IsOpen());
  port.openable = {"COM2"};
  const auto reopened = tries_of_com1();
  for (int tick = 0; tick < 60 && tries_of_com1() == reopened; ++tick) link.Timer1Timer();
  EXPECT_EQ(host.log, std::vector<std::string>(2, "端口无法打开: COM1"));

  // A new Connect from the user logs it again too.
  link.Connect();
  link.Timer1Timer();
  EXPECT_EQ(host.log, std::vector<std::string>(3, "端口无法打开: COM1"));
}

TEST_F(LinkTest, AKeepaliveLostToAFailedWriteIsLogged) {
  ConnectReady();
  host.log.clear();
  port.fail_writes = true;
  HoldTicks(50);  // the keepalive's second
  EXPECT_TRUE(port.writes.empty());
  EXPECT_EQ(host.log, std::vector<std::string>{"写入失败，丢失 9 字节的帧"});
}

TEST_F(LinkTest, SingleEditGoesOutAtOnceAndIsNotRepeated) {
  ConnectReady();
  link.SendParam(0x0301, 55);
  ASSERT_EQ(port.writes.size(), 1u);
  EXPECT_EQ(port.writes[0], BuildFixedFrame(kWriteAccess, 0x0301, 55));
  EXPECT_FALSE(link.flags().clear_to_send);
  HoldTicks(10);
  EXPECT_EQ(port.writes.size(), 1u);
  EXPECT_EQ(store.Working(0x0301), 55);
}

TEST_F(LinkTest, QueuedEditsMergeAndTheLastGoesOutTwice) {
  ConnectReady();
  answering = false;
  link.SendParam(0x0301, 1);  // in flight
  link.SendParam(0x0303, 2);  // slot 1
  link.SendParam(0x0303, 3);  // count is 1: appended, not merged
  link.SendParam(0x0401, 4);  // slot 3
  link.SendParam(0x0401, 5);  // merged into slot 3
  ASSERT_EQ(link.WaitingParams(),
            (std::vector<Link::Entry>{{0x0303, 2}, {0x0303, 3}, {0x0401, 5}}));
  answering = true;
  port.Feed(AckBytes());
  HoldTicks(8);
  std::vector<std::pair<int, int>> sent;
  for (const Bytes& w : port.writes) sent.push_back({IdOf(w), ValueOf(w)});
  EXPECT_EQ(sent, (std::vector<std::pair<int, int>>{
                      {0x0301, 1}, {0x0303, 2}, {0x0303, 3}, {0x0401, 5}, {0x0401, 5}}));
  EXPECT_FALSE(link.repeat_last());
}

TEST_F(LinkTest, QueueOverflowKeepsTheNewestLast) {
  ConnectReady();
  answering = false;
  link.SendParam(0x0300, 0);  // in flight
  for (int i = 1; i <= 31; ++i) link.SendParam(0x0500 + i, i);
  ASSERT_EQ(link.WaitingParams().size(), 31u);
  link.SendParam(0x0405, 99);
  std::vector<Link::Entry> waiting = link.WaitingParams();
  ASSERT_EQ(waiting.size(), 30u);
  EXPECT_EQ(waiting.back(), (Link::Entry{0x0405, 99}));
  EXPECT_EQ(waiting[28], (Link::Entry{0x0500 + 29, 29}));

  // Bands: 49 different bands waiting plus one leaves 48, the newest last.
  struct Band {
    int block;
    int count;
  };
  int queued = 0;
  for (Band b : {Band{0, 10}, Band{1, 15}, Band{2, 15}, Band{3, 3}, Band{5, 5}, Band{6, 3},
                 Band{7, 5}, Band{8, 5}}) {
    const BlockInfo* info = InfoOfBlock(b.block);
    for (int k = 0; k < b.count && queued < 49; ++k, ++queued) {
      link.SendEqBand(MakeId(b.block, info->first_eq + 5 * k + 2), 100);
    }
  }
  ASSERT_EQ(link.WaitingBands().size(), 49u);
  link.SendEqBand(0x0824, 7);  // Rear band 1 (indices 33..37)
  std::vector<Link::Entry> bands = link.WaitingBands();
  ASSERT_EQ(bands.size(), 48u);
  EXPECT_EQ(bands.back(), (Link::Entry{0x081A, 1}));
}

TEST_F(LinkTest, FullQueuesFoldRepeatsInsteadOfDroppingEdits) {
  ConnectReady();
  answering = false;
  link.SendParam(0x0300, 0);  // in flight
  // 31 waiting entries that name only three parameters (no merge: they alternate).
  for (int i = 1; i <= 31; ++i) link.SendParam(0x0501 + i % 3, i);
  ASSERT_EQ(link.WaitingParams().size(), 31u);
  link.SendParam(0x0405, 99);
  EXPECT_EQ(link.WaitingParams(),
            (std::vector<Link::Entry>{{0x0503, 29}, {0x0501, 30}, {0x0502, 31}, {0x0405, 99}}));
  // Bands: 49 entries naming two bands fold to one entry each.
  for (int i = 0; i < 49; ++i) link.SendEqBand(i % 2 ? 0x0006 : 0x000B, i);
  ASSERT_EQ(link.WaitingBands().size(), 49u);
  link.SendEqBand(0x0824, 7);
  EXPECT_EQ(link.WaitingBands(), (std::vector<Link::Entry>{{0x0002, 1}, {0x0002, 0}, {0x081A, 1}}));
}

TEST_F(LinkTest, ParametersGoBeforeBandsAndBandsCarryTheLatestValues) {
  ConnectReady();
  answering = false;
  link.SendParam(0x0301, 1);     // in flight
  link.SendEqBand(0x0005, 100);  // Music band 0 frequency: waits
  link.SendParam(0x0303, 2);     // waits
  link.SendEqBand(0x0006, 150);  // band 0 again: a second entry
  link.SendEqBand(0x0005, 120);  // and a third; all read the table when sent
  EXPECT_EQ(link.WaitingBands().size(), 3u);
  answering = true;
  port.Feed(AckBytes());
  host.log.clear();
  HoldTicks(10);
  const std::vector<int> ids = WrittenIds();
  ASSERT_GE(ids.size(), 5u);
  EXPECT_EQ(ids[1], 0x0303);
  EXPECT_EQ(ids[2], 0x0303);  // repeated last parameter
  EXPECT_EQ(ids[3], 0x0002);
  const Bytes& band = port.writes[3];
  EXPECT_EQ(band[6], 0);                      // band 0
  EXPECT_EQ(band[10] + 256 * band[11], 120);  // frequency: the latest value
  EXPECT_EQ(band[12] + 256 * band[13], 150);  // gain
  EXPECT_EQ(host.log[0], "2:3 0");
  EXPECT_EQ(link.WaitingBands().size(), 0u);
}

TEST_F(LinkTest, QueuedBandOfGroupAKeepsGroupAValuesAfterASwitchToGroupB) {
  ConnectReady();
  host.store_to_rebuild = &store;
  answering = false;
  link.SendParam(0x0301, 1);     // in flight
  link.SendEqBand(0x0006, 130);  // Music band 0 gain: waits (a first entry)
  link.SendEqBand(0x0106, 140);  // microphone A band 0 gain: waits
  store.set_mic_group(1);
  store.RebuildWorkingTable();   // the switch refreshes the page from row 2
  link.SendEqBand(0x0106, 150);  // microphone B band 0 gain: waits
  answering = true;
  port.Feed(AckBytes());
  HoldTicks(10);
  std::vector<std::pair<int, int>> sent;  // (band address, gain)
  for (const Bytes& w : port.writes) {
    if (w.size() == 19) sent.push_back({IdOf(w), w[12] + 256 * w[13]});
  }
  EXPECT_EQ(sent, (std::vector<std::pair<int, int>>{{0x0002, 130}, {0x0102, 140}, {0x0202, 150}}));
  EXPECT_EQ(store.Device(1, 6), 140);
  EXPECT_EQ(store.Device(2, 6), 150);
}

TEST_F(LinkTest, BandsEditedBeforeASingDiscoSwitchReachTheBoxBeforeIt) {
  ConnectReady();
  store.set_disco(1);
  answering = false;
  link.SendParam(0x0301, 1);  // in flight
  port.writes.clear();
  link.SendEqBand(0x0006, 131);  // Music band 0 gain in the Disco set: waits
  link.SendParam(0x0001, 0);     // Sing pressed: the switch waits behind that band
  store.set_disco(0);            // the editor shows the Sing set from here on
  link.SendEqBand(0x000B, 99);   // Music band 1 gain in the Sing set: after the switch
  answering = true;
  port.Feed(AckBytes());
  HoldTicks(10);
  std::vector<std::pair<int, int>> sent;  // (id, value): band frames by their gain
  for (const Bytes& w : port.writes) {
    sent.push_back({IdOf(w), w.size() == 19 ? w[12] + 256 * w[13] : -1});
  }
  ASSERT_GE(sent.size(), 3u);
  EXPECT_EQ(sent[0], std::make_pair(0x0002, 131));
  EXPECT_EQ(sent[1].first, 0x0001);
  EXPECT_EQ(std::count(sent.begin(), sent.end(), std::make_pair(0x0002, 99)), 1);
}

TEST_F(LinkTest, ARecallThatHadToWaitStillReloadsTheMode) {
  ConnectReady();
  answering = false;
  link.SendParam(0x0301, 1);  // in flight
  link.SendParam(0x0902, 3);  // recall of mode 4: waits
  answering = true;
  port.Feed(AckBytes());
  HoldTicks(3);
  EXPECT_EQ(link.pending(), PendingAction::kNone);  // completed by the box's acknowledgement
  EXPECT_TRUE(link.transfer_timer_on());
  EXPECT_EQ(link.direction(), TransferDirection::kDownload);
  const std::vector<int> ids = WrittenIds();
  EXPECT_EQ(std::count(ids.begin(), ids.end(), 0x0902), 1);
}

TEST_F(LinkTest, EditsAreStoredButNotSentWhenSuppressedOrNotReady) {
  link.SendParam(0x0301, 9);  // not connected
  EXPECT_EQ(store.Working(0x0301), 9);
  ConnectReady();
  link.set_send_suppress(true);
  link.SendParam(0x0302, 8);
  link.SendEqBand(0x0005, 7);
  EXPECT_TRUE(port.writes.empty());
  EXPECT_EQ(store.Working(0x0005), 7);
  link.set_send_suppress(false);
  // Microphone group B: the edit goes out under block 2.
  store.set_mic_group(1);
  link.SendParam(0x0110, 42);
  ASSERT_EQ(port.writes.size(), 1u);
  EXPECT_EQ(IdOf(port.writes[0]), 0x0210);
  EXPECT_EQ(store.Device(2, 16), 42);
  // An id that names no band of its block is stored and not sent.
  HoldTicks(3);
  port.writes.clear();
  link.SendEqBand(0x0403, 1);
  link.SendEqBand(0x0100, 1);
  EXPECT_TRUE(port.writes.empty());
}

TEST_F(LinkTest, KeepaliveEveryFiftyHoldTicksUnlessEditing) {
  ConnectReady();
  const Bytes keepalive = BuildFixedFrame(kWriteAccess, kLinkControlId, kKeepalive);
  HoldTicks(49);
  EXPECT_TRUE(port.writes.empty());
  HoldTicks(1);
  ASSERT_EQ(port.writes.size(), 1u);
  EXPECT_EQ(port.writes[0], keepalive);
  HoldTicks(50);
  EXPECT_EQ(port.writes.size(), 2u);
  // An edit every 40 ticks keeps the keepalive away.
  port.writes.clear();
  for (int i = 0; i < 5; ++i) {
    link.SendParam(0x0301, i);
    HoldTicks(40);
  }
  for (const Bytes& w : port.writes) EXPECT_EQ(IdOf(w), 0x0301);
}

TEST_F(LinkTest, EveryEditPutsTheKeepaliveOff) {
  struct Case {
    const char* name;
    int id;
    bool band;
  };
  const Case cases[] = {
      {"parameter", 0x0301, false},
      {"band field", 0x0005, true},
      {"id that names no band", 0x0100, true},
  };
  for (const Case& c : cases) {
    ConnectReady();
    HoldTicks(45);
    if (c.band) {
      link.SendEqBand(c.id, 1);
    } else {
      link.SendParam(c.id, 1);
    }
    HoldTicks(49);
    int keepalives = 0;
    for (const Bytes& w : port.writes) keepalives += IdOf(w) == kLinkControlId;
    EXPECT_EQ(keepalives, 0) << c.name;
    HoldTicks(1);
    keepalives = 0;
    for (const Bytes& w : port.writes) keepalives += IdOf(w) == kLinkControlId;
    EXPECT_EQ(keepalives, 1) << c.name;
  }
}

TEST_F(LinkTest, SilentBoxIsLostAfterElevenSeconds) {
  ConnectReady();
  answering = false;
  link.SendParam(0x0301, 1);  // in flight, never acknowledged
  link.SendParam(0x0302, 2);  // waits
  port.writes.clear();
  int lost_at = 0;
  for (int tick = 1; tick <= 700 && lost_at == 0; ++tick) {
    link.HoldTimerTimer();
    if (!host.messages.empty()) lost_at = tick;
  }
  EXPECT_EQ(lost_at, 11 * 50);
  EXPECT_EQ(host.messages, std::vector<LinkOutcome>{LinkOutcome::kLost});
  EXPECT_EQ(link.state(), LinkState::kNotReady);
  ASSERT_FALSE(host.statuses.empty());
  EXPECT_EQ(host.statuses.back().status, LinkStatus::kNotConnected);
  // Without the background search no timer runs after the loss.
  EXPECT_FALSE(host.hold_on);
  EXPECT_FALSE(host.scan_on);
  EXPECT_FALSE(host.transfer_on);
  // Every third silent second the in-flight frame went out again.
  EXPECT_EQ(port.writes.size(), 3u);
  for (const Bytes& w : port.writes) EXPECT_EQ(w, BuildFixedFrame(kWriteAccess, 0x0301, 1));
  EXPECT_TRUE(port.IsOpen());
}

TEST_F(LinkTest, StoreModeCompletesWithSaved) {
  ConnectReady();
  HoldTicks(1);
  link.StoreMode(3, "Party");
  ASSERT_EQ(port.writes.size(), 1u);
  EXPECT_EQ(port.writes[0],
            BuildVariableFrame(
                kWriteAccess, kStoreModeId,
                TextCommandPayload(kStoreModeId, std::string("\x03\x00Party", 7)).data(), 22));
  EXPECT_EQ(link.status(), LinkStatus::kSaving);
  EXPECT_EQ(link.state(), LinkState::kNotReady);
  EXPECT_EQ(link.pending(), PendingAction::kSave);
  EXPECT_EQ(link.mode_names()[3], "Party");
  const int changed = host.mode_names_changed;
  HoldTicks(1);
  EXPECT_EQ(host.messages, std::vector<LinkOutcome>{LinkOutcome::kSaved});
  EXPECT_EQ(link.state(), LinkState::kReady);
  EXPECT_EQ(link.status(), LinkStatus::kConnected);
  EXPECT_EQ(host.mode_names_changed, changed + 1);
}

TEST_F(LinkTest, UnacknowledgedStoreIsLostAndNotReportedAsSavedLater) {
  ConnectReady();
  answering = false;
  link.StoreMode(0, "X");
  int lost_at = 0;
  for (int tick = 1; tick <= 3000 && lost_at == 0; ++tick) {
    link.HoldTimerTimer();
    if (!host.messages.empty()) lost_at = tick;
  }
  EXPECT_EQ(lost_at, 51 * 50);
  EXPECT_EQ(host.messages, std::vector<LinkOutcome>{LinkOutcome::kLost});
  answering = true;
  ConnectReady();
  HoldTicks(100);
  EXPECT_TRUE(host.messages.empty());
}

// A store sent before the link is Ready (here in the middle of a connection's download) has no
// acknowledgement of its own to wait for: it is never reported saved.
TEST_F(LinkTest, AStoreSentWhileDownloadingIsNotReportedSaved) {
  link.SetPortNames({"COM1"});
  link.Connect();
  link.Timer1Timer();
  Notify();
  link.Timer1Timer();  // the download starts
  for (int tick = 0; tick < 5; ++tick) {
    Notify();
    link.Timer2Timer();
  }
  link.StoreMode(2, "Early");
  EXPECT_EQ(link.status(), LinkStatus::kConnecting);
  EXPECT_EQ(link.pending(), PendingAction::kNone);
  RunTransfer();
  ASSERT_EQ(link.state(), LinkState::kReady);
  HoldTicks(60);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(link.state(), LinkState::kReady);
  EXPECT_EQ(link.status(), LinkStatus::kConnected);
}

TEST_F(LinkTest, PasswordsAreDigitStrings) {
  ConnectReady();
  EXPECT_THROW(link.SendPassword(kSystemPasswordId, "12x456"), std::invalid_argument);
  EXPECT_TRUE(port.writes.empty());
  EXPECT_EQ(link.system_password(), "314159");
  link.SendPassword(kKeylockPasswordId, "4321");
  ASSERT_EQ(port.writes.size(), 1u);
  EXPECT_EQ(port.writes[0],
            BuildVariableFrame(kWriteAccess, kKeylockPasswordId, Bytes{4, 3, 2, 1}.data(), 4));
  EXPECT_EQ(link.keylock_password(), "4321");
}

TEST_F(LinkTest, ReleaseOnCloseOnlyWhileReady) {
  link.ReleaseOnClose();
  port.ForceOpen();
  link.ReleaseOnClose();
  EXPECT_TRUE(port.writes.empty());
  ConnectReady();
  link.ReleaseOnClose();
  ASSERT_EQ(port.writes.size(), 1u);
  EXPECT_EQ(port.writes[0], BuildFixedFrame(kWriteAccess, kLinkControlId, kRelease));
}

TEST_F(LinkTest, EqResetOfOneBlockSendsItsBandsThroughTheLink) {
  // The store's bands go to the link, as the editor wires them.
  struct BandsToTheLink : StoreObserver {
    explicit BandsToTheLink(Link& to) : to(to) {}
    void SendEqBand(int id, int32_t value) override { to.SendEqBand(id, value); }
    void RefreshPages(int) override {}
    Link& to;
  } observer(link);
  store.set_observer(&observer);
  ConnectReady();
  store.ResetEq(3);  // Echo: 3 bands
  HoldTicks(10);
  std::vector<int> bands;
  for (const Bytes& w : port.writes) {
    if (IdOf(w) == 0x030B) bands.push_back(w[6]);
  }
  EXPECT_EQ(bands, (std::vector<int>{0, 1, 2}));
}

}  // namespace
}  // namespace kc
