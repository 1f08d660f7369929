// A lost line that loses no work, by ticks against the simulated box in process: what is
// pending while the box is away, the search that finds it again (also under another port name),
// the offer to send the editor's settings, a different box behind the same line, and a file
// prepared without a box.
#ifdef KC_HAVE_BOXSIM

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "box-sim/box_model.h"
#include "fake_serial_port.h"
#include "link/link.h"
#include "recording_link_host.h"

namespace kc {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::FakeSerialPort;
using testing::RecordingLinkHost;

// Slots of the audio blocks 0..8 and the user system items (what "everything pending" counts).
constexpr int kAudioSlots = 106 + 79 + 79 + 28 + 8 + 55 + 43 + 53 + 53 + 12;

class ReconnectTest : public ::testing::Test {
 protected:
  ReconnectTest() {
    host.store_to_rebuild = &store;
    port.openable = {"/dev/ttyUSB0", "/dev/ttyUSB1"};
    // The box answers only on the port it is plugged into.
    port.on_write = [this](const Bytes& bytes) {
      if (port.name() == plugged_into) port.Feed(box.Feed(bytes));
    };
    link.set_auto_reconnect(true);
    link.SetPortNames({"/dev/ttyUSB0"});
  }

  // Runs the link's three timers for `ms` of simulated time (20 ms steps).
  void Run(int ms) {
    for (int t = 0; t < ms; t += 20) {
      Notify();
      if (host.hold_on) link.HoldTimerTimer();
      if (host.transfer_on && t % 100 == 0) link.Timer2Timer();
      if (host.scan_on && t % 600 == 0) link.Timer1Timer();
      elapsed_ms += 20;
    }
  }
  // Runs until `done`, at most `limit_ms`; returns the simulated ms it took.
  template <typename Done>
  int RunUntil(Done done, int limit_ms = 60000) {
    const int start = elapsed_ms;
    while (!done() && elapsed_ms - start < limit_ms) Run(20);
    return elapsed_ms - start;
  }
  void Notify() {
    if (port.BytesWaiting() > 0) link.ComPortRxChar(static_cast<int>(port.BytesWaiting()));
  }
  void ConnectReady() {
    link.Connect();
    ASSERT_LT(RunUntil([&] { return link.state() == LinkState::kReady; }), 60000);
    Run(200);
  }
  // The box falls silent now (the cable is pulled) and comes back after `frames` more frames.
  void Unplug(int frames) {
    box.faults().silent_after_frames = box.frames_handled();
    box.faults().silent_for_frames = frames;
  }
  bool BoxEqualsStore() const {
    for (int block = 0; block <= 8; ++block) {
      for (int slot = 0; slot < InfoOfBlock(block)->device_slots; ++slot) {
        if (store.Device(block, slot) != box.Slot(block, slot)) return false;
      }
    }
    return true;
  }

  boxsim::BoxModel box;
  std::string plugged_into = "/dev/ttyUSB0";
  FakeSerialPort port;
  ParameterStore store;
  RecordingLinkHost host;
  Link link{port, store, host};
  int elapsed_ms = 0;
};

// Pending changes by ticks: acknowledged edits are none; an edit waiting for an acknowledgement
// when the line goes, and edits made while it is gone, are.
TEST_F(ReconnectTest, PendingChangesAreWhatTheBoxHasNotAcknowledged) {
  EXPECT_EQ(link.View(), LinkView::kNeverConnected);
  ConnectReady();
  EXPECT_EQ(link.View(), LinkView::kConnected);
  struct Step {
    const char* what;
    int id;
    bool band;
    int pending_after;
  };
  const int echo_level = MakeId(3, 1);
  const int music_gain = MakeId(0, InfoOfBlock(0)->first_eq + 2);
  const int main_level = MakeId(5, 0);
  // Acknowledged at once.
  link.SendParam(echo_level, 55);
  link.SendEqBand(music_gain, 150);
  Run(200);
  EXPECT_EQ(link.PendingCount(), 0);
  // Sent into a dead line: never acknowledged.
  Unplug(-1);
  link.SendParam(echo_level, 56);
  Run(200);
  EXPECT_EQ(link.PendingCount(), 1);
  RunUntil([&] { return !host.messages.empty(); });
  EXPECT_EQ(host.messages, std::vector<LinkOutcome>{LinkOutcome::kLost});
  // Disconnected, and searching in the background.
  EXPECT_EQ(link.View(), LinkView::kDisconnected);
  EXPECT_TRUE(host.scan_on);
  // Made while nothing is connected.
  link.SendParam(main_level, 77);
  link.SendEqBand(music_gain, 160);
  EXPECT_EQ(link.PendingCount(), 3);
  EXPECT_EQ(store.Device(5, 0), 77);
}

// An edit made while a download runs, after its block came down, is the editor's, not the
// box's: it stays pending once the download completes.
TEST_F(ReconnectTest, AnEditDuringTheDownloadStaysPending) {
  link.Connect();
  // Until block 6 has come down and block 7 is asked for.
  RunUntil([&] {
    return host.transfer_on && !port.writes.empty() &&
           port.writes.back() == BuildFixedFrame(kReadAccess, kReadBlockId, 7);
  });
  const int before = box.Slot(5, 0);
  link.SendParam(MakeId(5, 0), before + 3);
  RunUntil([&] { return link.state() == LinkState::kReady; });
  EXPECT_EQ(store.Device(5, 0), before + 3);
  EXPECT_EQ(box.Slot(5, 0), before);
  EXPECT_EQ(link.PendingCount(), 1);
}

// The cable comes back: the search finds the box by itself, the box's settings come down, and
// the editor's changes are offered. Yes sends them (the box then equals the editor); No keeps the
// box's (the editor then equals the box).
TEST_F(ReconnectTest, AReturningBoxIsFoundAndOfferedTheEditorsChanges) {
  for (bool send : {true, false}) {
    SCOPED_TRACE(send);
    box = boxsim::BoxModel();
    host = RecordingLinkHost();
    host.store_to_rebuild = &store;
    ConnectReady();
    Unplug(15);
    RunUntil([&] { return !host.messages.empty(); });
    const int main_level = MakeId(5, 0);
    const int before = store.Device(5, 0);
    link.SendParam(main_level, before + 9);
    link.SendParam(MakeId(3, 1), 33);
    // A volume of the System block: not part of the upload, sent on its own after it.
    const int music_volume = MakeId(kSystemBlock, 0x20);
    const int volume_before = store.Working(music_volume);
    link.SendParam(music_volume, volume_before + 5);
    const int came_back_after = RunUntil([&] { return !host.offers.empty(); });
    std::printf("box found again and downloaded %d ms after the loss (simulated)\n",
                came_back_after);
    ASSERT_EQ(host.offers.size(), 1u);
    EXPECT_EQ(host.offers[0], (std::pair<int, bool>{3, true}));
    EXPECT_EQ(link.state(), LinkState::kReady);
    // Until the answer the pages show the box.
    EXPECT_EQ(store.Device(5, 0), before);

    link.AnswerEditorChanges(send);
    RunUntil([&] { return link.state() == LinkState::kReady && !host.transfer_on; });
    Run(200);
    EXPECT_EQ(store.Device(5, 0), send ? before + 9 : before);
    EXPECT_EQ(box.Slot(5, 0), send ? before + 9 : before);
    EXPECT_EQ(store.Working(music_volume), send ? volume_before + 5 : volume_before);
    EXPECT_EQ(box.Slot(kSystemBlock, 0x20), send ? volume_before + 5 : volume_before);
    EXPECT_TRUE(BoxEqualsStore());
    EXPECT_EQ(link.PendingCount(), 0);
    EXPECT_EQ(host.messages, std::vector<LinkOutcome>{LinkOutcome::kLost});
  }
}

// A box replugged under another port name is found when the ports are listed again; a
// disconnect stops the search.
TEST_F(ReconnectTest, TheSearchListsThePortsAgainAndStopsOnDisconnect) {
  ConnectReady();
  Unplug(-1);
  RunUntil([&] { return !host.messages.empty(); });
  plugged_into = "/dev/ttyUSB1";
  box.faults().silent_after_frames = -1;
  host.port_list = {"/dev/ttyUSB1"};
  RunUntil([&] { return link.state() == LinkState::kReady; });
  EXPECT_EQ(link.state(), LinkState::kReady);
  EXPECT_GE(host.relists, 1);
  EXPECT_EQ(port.name(), "/dev/ttyUSB1");

  Unplug(-1);
  RunUntil([&] { return host.messages.size() == 2; });
  link.Disconnect();
  const std::size_t writes = port.writes.size();
  Run(20000);
  EXPECT_EQ(port.writes.size(), writes);
  EXPECT_FALSE(host.scan_on);
  EXPECT_EQ(link.View(), LinkView::kDisconnected);
}

// Another box answers behind the same line after a silence: its identity is read again and it
// is taken as a new connection, with the question saying the edits were made for another box.
// Neither edit reaches it.
TEST_F(ReconnectTest, ADifferentBoxBehindTheLineIsANewConnection) {
  ConnectReady();
  const std::string first_id = link.device_id();
  const int echo_level = box.Slot(3, 1);
  const int main_level = box.Slot(5, 0);
  // Deaf for two frames: the edit and the identity read three seconds later. A second edit
  // waits in the queue meanwhile; the box that answers the next identity read is another.
  Unplug(2);
  link.SendParam(MakeId(3, 1), 44);
  Run(500);
  link.SendParam(MakeId(5, 0), 88);
  Run(1000);
  box.SetIdentity({0x12, 0x34, 0x56, 0x78});
  RunUntil([&] { return !host.offers.empty(); }, 20000);
  EXPECT_TRUE(host.messages.empty());  // never reported lost: the line answered again in time
  EXPECT_EQ(link.device_id(), "12345678");
  EXPECT_NE(link.device_id(), first_id);
  ASSERT_EQ(host.offers.size(), 1u);
  EXPECT_EQ(host.offers[0], (std::pair<int, bool>{2, false}));
  EXPECT_EQ(box.Slot(3, 1), echo_level);
  EXPECT_EQ(box.Slot(5, 0), main_level);
}

// Prepared without a box: a file put into the store counts as pending as a whole; connecting
// then offers it, and Yes leaves the box holding the file plus the edits made on it.
TEST_F(ReconnectTest, AFilePreparedWithoutABoxIsOfferedOnConnecting) {
  EXPECT_EQ(link.PendingCount(), 0);
  for (int block = 0; block <= 8; ++block) store.SetDevice(block, 2, 10 + block);
  store.RebuildWorkingTable();
  link.EditorImageLoaded();
  EXPECT_EQ(link.PendingCount(), kAudioSlots);
  link.SendParam(MakeId(5, 0), 123);  // an edit on top of the file
  link.Connect();
  RunUntil([&] { return !host.offers.empty(); });
  ASSERT_EQ(host.offers.size(), 1u);
  EXPECT_TRUE(host.offers[0].second);  // no box was seen before: nothing says it is another
  link.AnswerEditorChanges(true);
  RunUntil([&] { return link.state() == LinkState::kReady && !host.transfer_on; });
  Run(200);
  EXPECT_EQ(box.Slot(6, 2), 16);
  EXPECT_EQ(box.Slot(5, 0), 123);
  EXPECT_TRUE(BoxEqualsStore());
  EXPECT_EQ(link.PendingCount(), 0);
}

// The answer row by row: the chosen slots reach the box, as edit frames when they are no more
// frames than the nine-block upload, else by the upload; every other slot takes the box's value
// in the editor. Nothing is pending afterwards and the box equals the editor.
struct ChoiceCase {
  const char* name;
  // Which of the changes below are chosen (bit n: change n); -1 all of them.
  int chosen;
  // Frames written after the answer, by kind.
  int params;  // distinct parameter ids written
  int bands;   // distinct band frames
  bool upload;
};

void PrintTo(const ChoiceCase& c, std::ostream* os) { *os << c.name; }

class ChoiceTest : public ReconnectTest, public ::testing::WithParamInterface<ChoiceCase> {};

// The changes made while the box is away: (block, slot) and how far from the box's value.
// 0: main output level; 1: echo level; 2: the gain of music band 2 in the Sing set (on show);
// 3: the same gain in the Disco set; 4..13: ten echo parameters (4 and 5 of them the pass
// filters, which go as parameters although the graph draws them with the bands).
struct Change {
  int block;
  int slot;
  int step;
};
constexpr Change kChanges[] = {{5, 0, 9},  {3, 1, 4},  {0, 11, 5},  {0, 63, 7}, {3, 2, -1},
                               {3, 3, -1}, {3, 4, -1}, {3, 5, -1},  {3, 6, -1}, {3, 7, -1},
                               {3, 8, -1}, {3, 9, -1}, {3, 10, -1}, {3, 11, 1}};

TEST_P(ChoiceTest, OnlyTheChosenSlotsReachTheBox) {
  const ChoiceCase& c = GetParam();
  ConnectReady();
  ASSERT_EQ(store.disco(), 0);
  Unplug(15);
  RunUntil([&] { return !host.messages.empty(); });
  const boxsim::BoxModel box_before = box;
  std::vector<Link::Slot> chosen;
  for (int n = 0; n < static_cast<int>(std::size(kChanges)); ++n) {
    const Change& change = kChanges[n];
    store.SetDevice(change.block, change.slot, box.Slot(change.block, change.slot) + change.step);
    if (c.chosen < 0 || (n < 31 && (c.chosen >> n & 1)))
      chosen.push_back({change.block, change.slot});
  }
  store.RebuildWorkingTable();
  RunUntil([&] { return !host.offers.empty(); });
  ASSERT_EQ(host.offers.size(), 1u);
  EXPECT_EQ(host.offers[0].first, static_cast<int>(std::size(kChanges)));
  if (c.chosen < 0) {
    EXPECT_EQ(link.OfferedSlots().size(), std::size(kChanges));
    chosen = link.OfferedSlots();
  }
  const std::size_t writes_before = port.writes.size();
  link.AnswerEditorChanges(chosen);
  RunUntil([&] { return link.PendingCount() == 0 && !host.transfer_on; });
  Run(500);

  std::set<int> params;
  std::set<int> bands;
  bool upload = false;
  for (std::size_t at = writes_before; at < port.writes.size(); ++at) {
    const Bytes& frame = port.writes[at];
    if (frame.size() < 6 || frame[3] != kWriteAccess) continue;
    const int id = frame[4] << 8 | frame[5];
    if (id == kWriteBlockId) {
      upload = true;
    } else if (id == InfoOfBlock(BlockOf(id))->band_address && frame.size() > 9) {
      bands.insert(id << 8 | frame[6]);
    } else if (id != kLinkControlId) {
      params.insert(id);
    }
  }
  EXPECT_EQ(upload, c.upload);
  EXPECT_EQ(static_cast<int>(params.size()), c.params);
  EXPECT_EQ(static_cast<int>(bands.size()), c.bands);
  for (int n = 0; n < static_cast<int>(std::size(kChanges)); ++n) {
    const Change& change = kChanges[n];
    const bool sent = std::find(chosen.begin(), chosen.end(),
                                Link::Slot{change.block, change.slot}) != chosen.end();
    const int expected = box_before.Slot(change.block, change.slot) + (sent ? change.step : 0);
    EXPECT_EQ(box.Slot(change.block, change.slot), expected) << "change " << n;
    EXPECT_EQ(store.Device(change.block, change.slot), expected) << "change " << n;
  }
  EXPECT_TRUE(BoxEqualsStore());
  EXPECT_EQ(link.PendingCount(), 0);
  EXPECT_EQ(link.offered_rows(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Choices, ChoiceTest,
    ::testing::Values(ChoiceCase{"OneParameterOfMany", 0b1, 1, 0, false},
                      ChoiceCase{"ParameterAndSingBand", 0b101, 1, 1, false},
                      ChoiceCase{"BandOfTheSetNotOnShowGoesWithTheUpload", 0b1000, 0, 0, true},
                      ChoiceCase{"NoneKeepsTheBox", 0, 0, 0, false},
                      ChoiceCase{"NineFramesStillEdits", 0b1111110111, 8, 1, false},
                      ChoiceCase{"MoreFramesThanTheUploadUploads", -1, 0, 0, true}),
    [](const auto& info) { return std::string(info.param.name); });

// An answer that comes when the line has gone again is not taken: the editor's changes stay
// pending and are offered at the next connection.
TEST_F(ReconnectTest, AnAnswerAfterTheLineWentKeepsTheChangesForTheNextConnection) {
  ConnectReady();
  Unplug(15);
  RunUntil([&] { return !host.messages.empty(); });
  const int before = box.Slot(5, 0);
  link.SendParam(MakeId(5, 0), before + 2);
  RunUntil([&] { return !host.offers.empty(); });
  ASSERT_EQ(host.offers.size(), 1u);
  Unplug(-1);
  RunUntil([&] { return host.messages.size() == 2; });
  link.AnswerEditorChanges(true);
  EXPECT_NE(link.offered_rows(), nullptr);
  EXPECT_EQ(link.PendingCount(), 1);
  box.faults().silent_after_frames = -1;
  RunUntil([&] { return host.offers.size() == 2; });
  ASSERT_EQ(host.offers.size(), 2u);
  link.AnswerEditorChanges(true);
  RunUntil([&] { return link.PendingCount() == 0; });
  Run(500);
  EXPECT_EQ(box.Slot(5, 0), before + 2);
  EXPECT_TRUE(BoxEqualsStore());
}

}  // namespace
}  // namespace kc

#endif  // KC_HAVE_BOXSIM
