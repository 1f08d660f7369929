#include "model/parameter_store.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace kc {
namespace {

TEST(DeviceSlotTest, SingAndDiscoTwins) {
  struct Case {
    int block, index, disco, slot;
  } cases[] = {
      {0, 0, 1, 0},   {0, 1, 0, 1},   {0, 1, 1, 1},     // Auto/Manual and the switch itself
      {0, 4, 0, 4},   {0, 4, 1, 56},  {0, 53, 1, 105},  // Music EQ: Disco set 52 slots on
      {5, 0, 0, 0},   {5, 0, 1, 1},   {5, 19, 1, 20},  {5, 20, 1, 20}, {5, 54, 1, 54},
      {6, 18, 1, 19}, {7, 24, 1, 24}, {8, 17, 1, 18},  {8, 18, 1, 18}, {8, 16, 0, 16},
      {1, 40, 1, 40}, {3, 13, 1, 13}, {4, 7, 1, 7},    {9, 12, 1, 12},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DeviceSlot(c.block, c.index, c.disco), c.slot)
        << "block " << c.block << " index " << c.index << " disco " << c.disco;
  }
}

TEST(LocateBandTest, BandPositions) {
  struct Case {
    int id, position;
  } cases[] = {
      {0x0005, 0x0001}, {0x0031, 0x0900}, {0x0100, 0x0F00}, {0x0200, 0x0F00},
      {0x0305, 0x0400}, {0x0304, 0x0300}, {0x0610, 0x0400}, {0x0608, 0x0300},
      {0x060C, 0x0300}, {0x0612, 0x0400}, {0x0510, 0x0500}, {0x0710, 0x0500},
      {0x0810, 0x0500}, {0x0003, 0x00FF}, {0x0403, 0xFF00}, {0x0408, 0xFF00},
      {0x004E, 0x00FF},  // past the last Music band
      {0x0120, 0x0503}, {0x0138, 0x0A02}, {0x031B, 0x0204}, {0x0536, 0x0404},
      {0x031C, 0x00FF},  // past the last Echo band
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LocateBand(c.id), c.position) << std::hex << "id 0x" << c.id;
  }
}

TEST(ParameterStoreTest, DiscoEditsGoToTheOddTwin) {
  ParameterStore store;
  store.set_disco(1);
  store.StoreValue(0x0500, 77);
  EXPECT_EQ(store.Device(5, 1), 77);
  EXPECT_EQ(store.Device(5, 0), 0);
  store.set_disco(0);
  store.StoreValue(0x0500, 33);
  EXPECT_EQ(store.Device(5, 0), 33);
  EXPECT_EQ(store.Device(5, 1), 77);
  store.StoreValue(0x0004, 2);
  EXPECT_EQ(store.Device(0, 4), 2);
  store.set_disco(1);
  store.StoreValue(0x0004, 1);
  EXPECT_EQ(store.Device(0, 56), 1);
  EXPECT_EQ(store.Device(0, 4), 2);
}

TEST(ParameterStoreTest, RebuildReadsTheSetOfTheSwitch) {
  ParameterStore store;
  for (int slot = 0; slot < 55; ++slot) store.SetDevice(5, slot, 1000 + slot);
  store.set_disco(1);
  store.RebuildWorkingTable();
  EXPECT_EQ(store.Working(0x0500), 1001);
  EXPECT_EQ(store.Working(0x0513), 1020);  // index 19 shares the slot of index 20 with Disco on
  EXPECT_EQ(store.Working(0x0514), 1020);
  store.set_disco(0);
  store.RebuildWorkingTable();
  EXPECT_EQ(store.Working(0x0500), 1000);
  EXPECT_EQ(store.Working(0x0513), 1019);
}

TEST(ParameterStoreTest, MicrophoneGroupBWritesRowTwoOnly) {
  ParameterStore store;
  store.SetDevice(1, 16, 111);
  store.set_mic_group(1);
  store.StoreValue(0x0110, 150);
  EXPECT_EQ(store.DeviceRowOf(0x0110), 2);
  EXPECT_EQ(store.Working(1, 16), 150);
  EXPECT_EQ(store.Working(2, 16), 150);
  EXPECT_EQ(store.Device(2, 16), 150);
  EXPECT_EQ(store.Device(1, 16), 111);
  store.set_mic_group(0);
  store.RebuildWorkingTable();
  EXPECT_EQ(store.Working(1, 16), 111);
  EXPECT_EQ(store.DeviceRowOf(0x0110), 1);
}

TEST(ParameterStoreTest, QFieldFollowsTheBandType) {
  ParameterStore store;
  EXPECT_EQ(store.QFieldOf(0x0007), 0x0007);
  EXPECT_EQ(store.QFieldOf(0x0008), 0x0007);
  for (int type : {1, 2}) {
    store.StoreValue(0x0004, type);
    EXPECT_EQ(store.QFieldOf(0x0007), 0x0008);
    EXPECT_EQ(store.QFieldOf(0x0008), 0x0008);
  }
  EXPECT_EQ(store.QFieldOf(0x0006), 0x0006);  // gain is not a Q field
  EXPECT_EQ(store.QFieldOf(0x0403), 0x0403);  // Reverb has no bands
  EXPECT_EQ(store.QFieldOf(0x090C), 0x090C);
}

// What the store tells its observer, in order.
struct RecordingObserver : StoreObserver {
  void SendEqBand(int id, int32_t value) override { sent.emplace_back(id, value); }
  void RefreshPages(int selection) override { refreshed.push_back(selection); }
  std::vector<std::pair<int, int32_t>> sent;
  std::vector<int> refreshed;
};

TEST(ParameterStoreTest, ResetAllFillsBothMusicSets) {
  ParameterStore store;
  RecordingObserver observer;
  store.set_observer(&observer);
  store.ResetEq(kAllBlocks);
  EXPECT_EQ(observer.refreshed, std::vector<int>{kAllBlocks});
  EXPECT_TRUE(observer.sent.empty());
  for (int k = 0; k < 10; ++k) {
    EXPECT_EQ(store.Device(0, 4 + 5 * k + 1), 5 + 36 * k) << k;
    EXPECT_EQ(store.Device(0, 56 + 5 * k + 1), 11 + 24 * k) << k;
    EXPECT_EQ(store.Device(0, 4 + 5 * k + 2), 120);
    EXPECT_EQ(store.Device(0, 56 + 5 * k + 2), 120);
    EXPECT_EQ(store.Device(0, 56 + 5 * k + 3), 16);
    EXPECT_EQ(store.Device(0, 56 + 5 * k + 4), 10);
  }
  struct Spacing {
    int block, first, bands, step;
  } spacings[] = {{1, 4, 15, 24},  {2, 4, 15, 24}, {3, 13, 3, 120}, {5, 30, 5, 72},
                  {6, 28, 3, 120}, {7, 28, 5, 72}, {8, 28, 5, 72}};
  for (const Spacing& s : spacings) {
    for (int k = 0; k < s.bands; ++k) {
      EXPECT_EQ(store.Working(s.block, s.first + 5 * k + 1), 5 + s.step * k) << s.block;
      EXPECT_EQ(store.Device(s.block, s.first + 5 * k + 2), 120) << s.block;
    }
  }
  EXPECT_EQ(store.Device(4, 0), 0);  // Reverb untouched
}

TEST(ParameterStoreTest, ResetOfGroupBSendsBlockTwoOnly) {
  ParameterStore store;
  store.SetDevice(1, 5, 99);
  store.SetDevice(2, 5, 99);
  RecordingObserver observer;
  store.set_observer(&observer);
  store.ResetEq(2);
  ASSERT_EQ(observer.sent.size(), 15u);
  for (int k = 0; k < 15; ++k) EXPECT_EQ(observer.sent[k].first, 0x0200 + 4 + 5 * k + 4);
  EXPECT_EQ(store.Device(2, 5), 5);
  EXPECT_EQ(store.Device(1, 5), 99);
  EXPECT_EQ(observer.refreshed,
            std::vector<int>{1});  // a refresh of block 2 is a refresh of the Microphone page
}

TEST(ParameterStoreTest, ResetOfMusicWithDiscoOnResetsTheDiscoSetOnly) {
  ParameterStore store;
  store.SetDevice(0, 5, 77);  // Sing set, band 0 frequency
  store.set_disco(1);
  RecordingObserver observer;
  store.set_observer(&observer);
  store.ResetEq(0);
  EXPECT_EQ(store.Device(0, 5), 77);
  for (int k = 0; k < 10; ++k) {
    EXPECT_EQ(store.Device(0, 56 + 5 * k + 1), 5 + 36 * k) << k;
    EXPECT_EQ(store.Working(0, 4 + 5 * k + 1), 5 + 36 * k) << k;
    EXPECT_EQ(store.Working(0, 4 + 5 * k + 3), 16) << k;
  }
  ASSERT_EQ(observer.sent.size(), 10u);
  for (int k = 0; k < 10; ++k) {
    EXPECT_EQ(observer.sent[k], std::make_pair(4 + 5 * k + 4, int32_t{10})) << k;
  }
}

TEST(ParameterStoreTest, WritesOutsideTheTablesAreRefused) {
  ParameterStore store;
  EXPECT_FALSE(store.SetDevice(10, 0, 1));
  EXPECT_FALSE(store.SetDevice(-1, 0, 1));
  EXPECT_FALSE(store.SetDevice(0, kDeviceColumns, 1));
  EXPECT_FALSE(store.SetWorking(0, kWorkingColumns, 1));
  EXPECT_TRUE(store.SetDevice(9, 34, 1));
  store.StoreValue(0xFF00, 5);   // block 255: ignored
  store.StoreValue(0x09FF, 5);   // index past the table: ignored
  store.StoreValue(0x10005, 5);  // wider than 16 bits: not identifier 0x0005
  store.StoreValue(-0xFFFB, 5);  // negative: its low bits would read 0x0005 too
  EXPECT_EQ(store.Working(0, 5), 0);
  EXPECT_EQ(store.Device(0, 5), 0);
  EXPECT_EQ(store.Device(9, 0), 0);
  EXPECT_EQ(store.Working(0xFF00), 0);
  EXPECT_EQ(store.Device(12, 3), 0);
}

}  // namespace
}  // namespace kc
