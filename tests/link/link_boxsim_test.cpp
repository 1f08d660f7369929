// The link against the simulated box, in process: every byte the link writes goes into the box
// model and every answer comes back as received bytes.
#ifdef KC_HAVE_BOXSIM

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
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

class LinkBoxSimTest : public ::testing::Test {
 protected:
  LinkBoxSimTest() {
    host.store_to_rebuild = &store;  // as the editor's page refresh does
    port.on_write = [this](const Bytes& bytes) { port.Feed(box.Feed(bytes)); };
  }

  void Notify() {
    if (port.BytesWaiting() > 0) link.ComPortRxChar(static_cast<int>(port.BytesWaiting()));
  }
  void HoldTicks(int n) {
    for (int i = 0; i < n; ++i) {
      Notify();
      link.HoldTimerTimer();
    }
  }
  void ConnectReady() {
    link.SetPortNames({"/dev/box"});
    link.Connect();
    link.Timer1Timer();
    Notify();
    link.Timer1Timer();
    for (int tick = 0; tick < 200 && host.transfer_on; ++tick) {
      Notify();
      link.Timer2Timer();
    }
    ASSERT_EQ(link.state(), LinkState::kReady);
  }
  void ExpectImagesEqual() {
    for (int block = 0; block <= 8; ++block) {
      for (int slot = 0; slot < InfoOfBlock(block)->device_slots; ++slot) {
        ASSERT_EQ(store.Device(block, slot), box.Slot(block, slot)) << block << ":" << slot;
      }
    }
  }

  boxsim::BoxModel box;
  FakeSerialPort port;
  ParameterStore store;
  RecordingLinkHost host;
  Link link{port, store, host};
};

TEST_F(LinkBoxSimTest, DownloadCopiesTheBoxImage) {
  ConnectReady();
  ExpectImagesEqual();
  for (int item : {3, 6, 7, 8, 9, 10, 11, 12, 13, 14, 0x20, 0x21, 0x22}) {
    EXPECT_EQ(store.Device(9, item), box.Slot(9, item)) << item;
  }
  for (int k = 0; k < 15; ++k) {
    std::string name = link.mode_names()[k];
    while (!name.empty() && name.back() == ' ') name.pop_back();
    EXPECT_EQ(name, box.ModeName(k)) << k;
  }
  EXPECT_EQ(link.system_password(), box.system_password());
  EXPECT_EQ(link.keylock_password(), box.keylock_password());
  const auto id = box.identity();
  char hex[9];
  std::snprintf(hex, sizeof hex, "%02X%02X%02X%02X", id[0], id[1], id[2], id[3]);
  EXPECT_EQ(link.device_id(), hex);
  EXPECT_EQ(store.disco(), box.disco());
  EXPECT_TRUE(host.log.empty() || host.log.back().rfind("缓存长度", 0) == 0);
}

// Behind a line that damages every seventh frame, in its payload (checksum as sent) or in its
// checksum, the download still ends with the box's image, value for value.
TEST_F(LinkBoxSimTest, ADamagingLineStillDownloadsTheBoxImageExactly) {
  struct Case {
    int payload_every, checksum_every;
  };
  for (const Case& c : {Case{7, 0}, Case{0, 7}, Case{3, 0}}) {
    SCOPED_TRACE(c.payload_every + 100 * c.checksum_every);
    box = boxsim::BoxModel();
    box.faults().corrupt_payload_every = c.payload_every;
    box.faults().corrupt_checksum_every = c.checksum_every;
    ConnectReady();
    ExpectImagesEqual();
    EXPECT_GT(link.checksum_errors(), 5);
    EXPECT_TRUE(host.messages.empty());
  }
}

// Identifiers the editor edits: every parameter except the Disco switch, the band addresses
// and the Disco twins; EQ fields go through the band path.
struct Edit {
  int id;
  bool band;
};
std::vector<Edit> EditableIds() {
  std::vector<Edit> ids;
  for (int block = 0; block <= 8; ++block) {
    const BlockInfo* info = InfoOfBlock(block);
    const int last_pair = block >= 5 && block <= 7 ? 19 : block == 8 ? 17 : -1;
    for (int index = 0; index < info->parameters; ++index) {
      if (block == 0 && index == 1) continue;
      if (info->eq_bands > 0 && index == info->first_eq - 2) continue;
      if (index <= last_pair && index % 2 == 1) continue;
      if (block == 2) continue;  // reached through the microphone group only
      const bool band = info->eq_bands > 0 && index >= info->first_eq &&
                        index < info->first_eq + 5 * info->eq_bands;
      ids.push_back({MakeId(block, index), band});
    }
  }
  for (int item : {3, 6, 7, 8, 9, 10, 11, 13, 14, 0x20, 0x21, 0x22}) {
    ids.push_back({MakeId(9, item), false});
  }
  return ids;
}

TEST_F(LinkBoxSimTest, EveryEditReachesTheBox) {
  ConnectReady();
  int value = 1;
  for (const Edit& edit : EditableIds()) {
    value = value % 90 + 1;
    // A band type is 0..2.
    const int32_t v = edit.band && (LocateBand(edit.id) & 0xFF) == 0 ? value % 3 : value;
    if (edit.band) {
      link.SendEqBand(edit.id, v);
    } else {
      link.SendParam(edit.id, v);
    }
    HoldTicks(3);
  }
  HoldTicks(10);
  ExpectImagesEqual();
  for (int item : {3, 6, 7, 8, 9, 10, 11, 13, 14, 0x20, 0x21, 0x22}) {
    EXPECT_EQ(store.Device(9, item), box.Slot(9, item)) << item;
  }
}

TEST_F(LinkBoxSimTest, BurstOfEditsLeavesTheBoxWithTheLatestValues) {
  ConnectReady();
  // A burst as several sliders and EQ points dragged together make it: 500 edits of 25
  // parameters and 15 bands from all blocks, up to four edits per 20 ms tick.
  std::vector<Edit> all = EditableIds();
  std::mt19937 random(2024);
  std::shuffle(all.begin(), all.end(), random);
  std::vector<Edit> edits;
  int params = 0;
  std::set<int> bands;
  for (const Edit& edit : all) {
    if (!edit.band && params < 25) {
      edits.push_back(edit);
      ++params;
    } else if (edit.band &&
               (bands.size() < 15 || bands.count(edit.id - (LocateBand(edit.id) & 0xFF)))) {
      bands.insert(edit.id - (LocateBand(edit.id) & 0xFF));
      edits.push_back(edit);
    }
  }
  int most_pending = 0;
  for (int group : {0, 1}) {
    store.set_mic_group(group);
    for (int i = 0; i < 250; ++i) {
      const Edit& edit = edits[random() % edits.size()];
      int32_t value = static_cast<int32_t>(random() % 100);
      if (edit.band && (LocateBand(edit.id) & 0xFF) == 0) value %= 3;  // band type 0..2
      if (edit.band) {
        link.SendEqBand(edit.id, value);
      } else {
        link.SendParam(edit.id, value);
      }
      most_pending = std::max(most_pending, link.PendingCount());
      if (random() % 3 == 0) HoldTicks(1);
    }
  }
  EXPECT_GT(most_pending, 20);  // many edits waited for their turn
  HoldTicks(400);
  EXPECT_EQ(link.PendingCount(), 0);  // every one acknowledged
  EXPECT_TRUE(host.messages.empty());
  ExpectImagesEqual();
}

TEST_F(LinkBoxSimTest, UploadWritesTheStoreIntoTheBox) {
  ConnectReady();
  for (int block = 0; block <= 8; ++block) store.SetDevice(block, 3, 40 + block);
  ASSERT_TRUE(link.StartUpload());
  for (int tick = 0; tick < 100 && host.transfer_on; ++tick) {
    Notify();
    link.Timer2Timer();
  }
  EXPECT_EQ(link.state(), LinkState::kReady);
  ExpectImagesEqual();
  EXPECT_EQ(box.Slot(6, 3), 46);
}

TEST_F(LinkBoxSimTest, RecallReloadsTheRecalledMode) {
  ConnectReady();
  link.SendParam(kRecallModeId, 4);
  for (int tick = 0; tick < 5 && !host.transfer_on; ++tick) HoldTicks(1);
  for (int tick = 0; tick < 100 && host.transfer_on; ++tick) {
    Notify();
    link.Timer2Timer();
  }
  EXPECT_EQ(link.state(), LinkState::kReady);
  EXPECT_EQ(box.current_mode(), 4);
  for (int block = 0; block <= 8; ++block) {
    EXPECT_EQ(store.Device(block, 10), box.StoredSlot(4, block, 10)) << block;
  }
}

// The box's answers to every download request and both acknowledgements, run through a
// receiver; with KC_RECEIVER_CORPUS set to a folder they are also written there, one file each,
// as the seed corpus of the receiver fuzzer.
TEST(BoxSimAnswersTest, EveryDownloadAnswerIsReceived) {
  boxsim::BoxModel box;
  FakeSerialPort port;
  port.ForceOpen();
  ParameterStore store;
  RecordingLinkHost host;
  FrameWriter writer(port);
  Receiver rx(port, store, host);
  std::vector<Bytes> answers;
  for (int step = 0; step <= 27; ++step) {
    for (int mode = 0; mode < (step == 9 ? 15 : 1); ++mode) {
      writer.payload()[0] = static_cast<uint8_t>(mode);
      writer.payload()[1] = 0;
      writer.SendTransferStep(step, TransferDirection::kDownload, store);
      answers.push_back(box.Feed(port.writes.back()));
    }
  }
  ASSERT_EQ(answers.size(), 42u);
  answers.push_back(box.Feed(BuildFixedFrame(kWriteAccess, kLinkControlId, kProbe)));
  ASSERT_EQ(answers.back(), (Bytes{0xFE, 0xBB}));
  answers.push_back({0xFE, 0xAA});
  int frames = 0;
  for (std::size_t i = 0; i < answers.size(); ++i) {
    rx.set_mode_name_index(i >= 9 && i < 24 ? static_cast<int>(i) - 8 : 0);
    rx.flags().wait = WaitState::kIdle;
    port.Feed(answers[i]);
    rx.ComPortRxChar(static_cast<int>(port.BytesWaiting()));
    frames += rx.flags().wait == WaitState::kFrameReceived;
    EXPECT_EQ(port.BytesWaiting(), 0u) << i;
  }
  EXPECT_EQ(frames, 42);
  for (int block = 0; block <= 8; ++block) {
    for (int slot = 0; slot < InfoOfBlock(block)->device_slots; ++slot) {
      ASSERT_EQ(store.Device(block, slot), box.Slot(block, slot)) << block << ":" << slot;
    }
  }
  if (const char* dir = std::getenv("KC_RECEIVER_CORPUS")) {
    std::filesystem::create_directories(dir);
    for (std::size_t i = 0; i < answers.size(); ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "answer_%02zu", i);
      std::ofstream file(std::filesystem::path(dir) / name, std::ios::binary);
      file.write(reinterpret_cast<const char*>(answers[i].data()),
                 static_cast<std::streamsize>(answers[i].size()));
    }
    // One stream of the whole download as well.
    std::ofstream file(std::filesystem::path(dir) / "download_stream", std::ios::binary);
    for (const Bytes& a : answers) {
      file.write(reinterpret_cast<const char*>(a.data()), static_cast<std::streamsize>(a.size()));
    }
  }
}

}  // namespace
}  // namespace kc

#endif  // KC_HAVE_BOXSIM
