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
  link.Timer1Timer();  // past the end of the list: nothing probed, the port closed
  EXPECT_EQ(port.writes.size(), 3u);
  EXPECT_FALSE(port.IsOpen());
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
  Notify();  // the user's search starts the download at its next tick
  EXPECT_FALSE(host.transfer_on);
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
  link.set_auto_reconnect(true);
  ConnectReady();  // COM1 is the box's port from now on
  answering = false;
  for (int tick = 0; tick < 1000 && host.messages.empty(); ++tick) HoldTicks(1);
  ASSERT_EQ(host.messages, std::vector<LinkOutcome>{LinkOutcome::kLost});
  port.openable = {"COM2"};
  host.log.clear();
  const auto tries_of_com1 = [this] {
    return std::count(port.opened.begin(), port.opened.end(), "COM1");
  };
  // The quiet search after the loss tries the box's port tick after tick.
  const auto before_loss = tries_of_com1();
  for (int tick = 0; tick < 20; ++tick) link.Timer1Timer();
  ASSERT_TRUE(host.scan_on);
  EXPECT_GE(tries_of_com1() - before_loss, 3);
  EXPECT_EQ(host.log, std::vector<std::string>{"端口无法打开: COM1"});

  // Once it has opened, a later failure is logged again.
  port.openable = {"COM1"};
  link.Timer1Timer();
  ASSERT_TRUE(port.IsOpen());
  port.openable = {"COM2"};
  link.Timer1Timer();
  EXPECT_EQ(host.log, std::vector<std::string>(2, "端口无法打开: COM1"));

  // A new Connect from the user logs it again too.
  link.Connect();
  link.Timer1Timer();
  EXPECT_EQ(host.log, std::vector<std::string>(3, "端口无法打开: COM1"));
}

// The background search after a loss probes once each scan tick with no pause between rounds and
// lists the ports anew every kRelistTicks ticks, while the editor shows the box disconnected; an
// acknowledgement of its probe starts the download as it is read, before the next scan tick.
// Which ports it probes: port_search_test.cpp.
TEST_F(LinkTest, TheQuietSearchProbesEachTickAndConnectsAsTheAnswerIsRead) {
  link.set_auto_reconnect(true);
  host.port_list = {"COM1", "COM2"};
  ConnectReady();
  answering = false;
  for (int tick = 0; tick < 1000 && host.messages.empty(); ++tick) HoldTicks(1);
  ASSERT_EQ(host.messages, std::vector<LinkOutcome>{LinkOutcome::kLost});
  host.port_list.push_back("COM9");
  port.opened.clear();
  const int relists = host.relists;
  const int ticks = 4 * PortSearch::kRelistTicks;
  for (int tick = 0; tick < ticks; ++tick) link.Timer1Timer();
  EXPECT_EQ(port.opened.size(), static_cast<std::size_t>(ticks));  // COM1, and COM9 at first
  EXPECT_EQ(host.relists - relists, 4);
  EXPECT_TRUE(host.scan_on);
  EXPECT_EQ(link.View(), LinkView::kDisconnected);

  answering = true;
  port.writes.clear();
  link.Timer1Timer();
  ASSERT_EQ(port.writes.size(), 1u);  // the probe
  EXPECT_FALSE(host.transfer_on);
  Notify();
  EXPECT_TRUE(host.transfer_on);
  EXPECT_FALSE(host.scan_on);
  EXPECT_EQ(port.writes.back(), BuildFixedFrame(kReadAccess, kReadBlockId, 0));
  EXPECT_EQ(link.View(), LinkView::kConnecting);
  RunTransfer();
  EXPECT_EQ(link.state(), LinkState::kReady);
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
  HoldTicks(10);
  EXPECT_EQ(port.writes.size(), 1u);
  EXPECT_EQ(store.Working(0x0301), 55);
}

// An edit is the box's (no longer pending) only once the frame that carried it is acknowledged;
// while a frame waits for its acknowledgement nothing else goes out, not even the keepalive.
TEST_F(LinkTest, AnEditIsTheBoxsOnlyOnceItsFrameIsAcknowledged) {
  ConnectReady();
  answering = false;
  link.SendParam(0x0301, 1);     // in flight
  link.SendEqBand(0x0006, 150);  // waits
  HoldTicks(60);                 // more than the keepalive's second
  ASSERT_EQ(port.writes.size(), 1u);
  EXPECT_EQ(link.PendingCount(), 2);
  port.Feed(AckBytes());
  HoldTicks(1);  // the parameter is the box's; the band goes out
  ASSERT_EQ(port.writes.size(), 2u);
  EXPECT_EQ(IdOf(port.writes[1]), 0x0002);
  EXPECT_EQ(link.PendingCount(), 1);
  HoldTicks(20);
  EXPECT_EQ(link.PendingCount(), 1);
  port.Feed(AckBytes());
  HoldTicks(1);
  EXPECT_EQ(link.PendingCount(), 0);
  EXPECT_EQ(port.writes.size(), 2u);
}

TEST_F(LinkTest, QueuedEditsMergeAndTheLastGoesOutTwice) {
  ConnectReady();
  answering = false;
  link.SendParam(0x0301, 1);  // in flight
  link.SendParam(0x0303, 2);  // slot 1
  link.SendParam(0x0303, 3);  // count is 1: appended, not merged
  link.SendParam(0x0401, 4);  // slot 3
  link.SendParam(0x0401, 5);  // merged into slot 3
  answering = true;
  port.Feed(AckBytes());
  HoldTicks(8);
  EXPECT_EQ(WrittenParams(), (std::vector<std::pair<int, int>>{
                                 {0x0301, 1}, {0x0303, 2}, {0x0303, 3}, {0x0401, 5}, {0x0401, 5}}));
}

// A queue that fills up (31 parameters, 49 bands waiting) folds its repeated entries before it
// takes one more, and never drops one: every parameter and band still reaches the box, with its
// latest value.
TEST_F(LinkTest, FullQueuesFoldRepeatsAndNeverDropAnEntry) {
  using Sent = std::vector<std::pair<int, int>>;
  struct Case {
    const char* name;
    Sent params;             // (id, value) edited after the one in flight
    std::vector<int> bands;  // band field ids edited after them
    Sent params_sent;        // (id, value) after the one in flight
    Sent bands_sent;         // (band address, band)
    std::string first_band_log;
  };
  Case all_different{"all different", {}, {}, {}, {}, "2:50 0"};
  for (int i = 1; i <= 31; ++i) all_different.params.push_back({0x0500 + i, i});
  all_different.params.push_back({0x0405, 99});
  all_different.params_sent = all_different.params;
  all_different.params_sent.push_back({0x0405, 99});  // the last entry twice
  // 49 different bands from all blocks, and one more.
  const std::pair<int, int> band_counts[] = {{0, 10}, {1, 15}, {2, 15}, {3, 3},
                                             {5, 5},  {6, 3},  {7, 5},  {8, 5}};
  for (auto [block, count] : band_counts) {
    const BlockInfo* info = InfoOfBlock(block);
    for (int k = 0; k < count && all_different.bands.size() < 49; ++k) {
      all_different.bands.push_back(MakeId(block, info->first_eq + 5 * k + 2));
      all_different.bands_sent.push_back({info->band_address, k});
    }
  }
  all_different.bands.push_back(0x0824);  // Rear band 1 (indices 33..37)
  all_different.bands_sent.push_back({0x081A, 1});

  // 31 entries naming three parameters (they alternate: no merge), 49 naming two bands.
  Case repeats{"repeats",
               {},
               {},
               {{0x0503, 29}, {0x0501, 30}, {0x0502, 31}, {0x0405, 99}, {0x0405, 99}},
               {{0x0002, 1}, {0x0002, 0}, {0x081A, 1}},
               "2:3 1"};
  for (int i = 1; i <= 31; ++i) repeats.params.push_back({0x0501 + i % 3, i});
  repeats.params.push_back({0x0405, 99});
  for (int i = 0; i < 49; ++i) repeats.bands.push_back(i % 2 ? 0x0006 : 0x000B);
  repeats.bands.push_back(0x0824);

  for (const Case& c : {all_different, repeats}) {
    SCOPED_TRACE(c.name);
    ConnectReady();
    answering = false;
    link.SendParam(0x0300, 0);  // in flight
    for (auto [id, value] : c.params) link.SendParam(id, value);
    for (int id : c.bands) link.SendEqBand(id, 100);
    answering = true;
    port.Feed(AckBytes());
    host.log.clear();
    HoldTicks(100);
    Sent params = WrittenParams();
    ASSERT_FALSE(params.empty());
    EXPECT_EQ(params.front(), (std::pair<int, int>{0x0300, 0}));
    EXPECT_EQ(Sent(params.begin() + 1, params.end()), c.params_sent);
    Sent bands;
    for (const Bytes& w : port.writes) {
      if (w.size() == 19) bands.push_back({IdOf(w), w[6]});
    }
    EXPECT_EQ(bands, c.bands_sent);
    ASSERT_FALSE(host.log.empty());
    EXPECT_EQ(host.log.front(), c.first_band_log);  // the bands waiting when the first went
    EXPECT_EQ(link.PendingCount(), 0);
  }
}

TEST_F(LinkTest, ParametersGoBeforeBandsAndBandsCarryTheLatestValues) {
  ConnectReady();
  answering = false;
  link.SendParam(0x0301, 1);     // in flight
  link.SendEqBand(0x0005, 100);  // Music band 0 frequency: waits
  link.SendParam(0x0303, 2);     // waits
  link.SendEqBand(0x0006, 150);  // band 0 again: a second entry
  link.SendEqBand(0x0005, 120);  // and a third; all read the table when sent
  answering = true;
  port.Feed(AckBytes());
  host.log.clear();
  HoldTicks(10);
  // The three band entries each go out, with three, two and one waiting.
  EXPECT_EQ(WrittenIds(), (std::vector<int>{0x0301, 0x0303, 0x0303, 0x0002, 0x0002, 0x0002}));
  const Bytes& band = port.writes[3];
  EXPECT_EQ(band[6], 0);                      // band 0
  EXPECT_EQ(band[10] + 256 * band[11], 120);  // frequency: the latest value
  EXPECT_EQ(band[12] + 256 * band[13], 150);  // gain
  EXPECT_EQ(host.log, (std::vector<std::string>{"2:3 0", "2:2 0", "2:1 0"}));
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
  // Its acknowledgement completed it: the reload of the blocks is under way.
  EXPECT_TRUE(host.transfer_on);
  EXPECT_EQ(link.status(), LinkStatus::kLoading);
  EXPECT_EQ(port.writes.back(), BuildFixedFrame(kReadAccess, kReadBlockId, 0));
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

// A silent box: nothing for two seconds, then the identity read at 3, 6 and 9 silent seconds
// instead of the edit in flight (the edit waiting behind it is not sent either), and the loss
// after eleven.
TEST_F(LinkTest, SilentBoxIsAskedItsIdentityAndLostAfterElevenSeconds) {
  ConnectReady();
  answering = false;
  link.SendParam(0x0301, 1);  // in flight, never acknowledged
  link.SendParam(0x0302, 2);  // waits
  port.writes.clear();
  int lost_at = 0;
  std::vector<int> written_at;
  for (int tick = 1; tick <= 700 && lost_at == 0; ++tick) {
    link.HoldTimerTimer();
    if (port.writes.size() > written_at.size()) written_at.push_back(tick);
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
  EXPECT_EQ(written_at, (std::vector<int>{3 * 50, 6 * 50, 9 * 50}));
  EXPECT_EQ(port.writes, std::vector<Bytes>(3, testing::kIdentityRead));
  EXPECT_EQ(link.PendingCount(), 2);
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
