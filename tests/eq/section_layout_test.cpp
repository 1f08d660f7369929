#include "eq/section_layout.h"

#include <gtest/gtest.h>

#include <vector>

#include "model/value_scales.h"

namespace kc {
namespace {

ParameterStore DefaultStore() {
  ParameterStore store;
  store.ResetEq(kAllBlocks);
  store.RebuildWorkingTable();
  return store;
}

float Table(int step) { return static_cast<float>(FrequencyOfStep(step)); }

TEST(SectionLayoutTest, PackedCountsOfEverySection) {
  const ParameterStore store = DefaultStore();
  // block, EQ bands, pass slots, the block the section is drawn for
  const struct {
    int block;
    int eq_bands;
    int pass_slots;
    int section;
  } cases[] = {{0, 10, 0, 0}, {1, 15, 1, 1}, {2, 15, 1, 1}, {3, 3, 2, 3},
               {5, 5, 1, 5},  {6, 3, 2, 6},  {7, 5, 1, 7},  {8, 5, 1, 8}};
  for (const auto& c : cases) {
    const auto layout = ReadSectionLayout(store, c.block);
    ASSERT_TRUE(layout.has_value()) << c.block;
    EXPECT_EQ(layout->eq_bands, c.eq_bands) << c.block;
    EXPECT_EQ(layout->pass_slots, c.pass_slots) << c.block;
    EXPECT_EQ(layout->LastSlot(), c.eq_bands + c.pass_slots - 1) << c.block;
    EXPECT_EQ(layout->block, c.section) << c.block;
  }
  for (int block : {4, 9, 10, -1}) EXPECT_FALSE(ReadSectionLayout(store, block)) << block;
}

TEST(SectionLayoutTest, BandSlotsReadTheBandFields) {
  ParameterStore store = DefaultStore();
  // Music band 0: PEQ, 1000 Hz, -3.2 dB, Q step 22 (1.40); band 1: low shelf whose Q is field 4.
  for (auto [index, value] : {std::pair{4, 0},
                              {5, 204},
                              {6, 104},
                              {7, 22},
                              {8, 3},
                              {9, 1},
                              {10, 100},
                              {11, 150},
                              {12, 40},
                              {13, 28}}) {
    store.StoreValue(MakeId(0, index), value);
  }
  const SectionLayout layout = *ReadSectionLayout(store, 0);
  EXPECT_EQ(layout.band_slots[0].code, kCodePeaking);
  EXPECT_FLOAT_EQ(layout.band_slots[0].frequency, 1000.0f);
  EXPECT_FLOAT_EQ(layout.band_slots[0].gain, -3.2f);
  EXPECT_FLOAT_EQ(layout.band_slots[0].q, 1.4f);
  EXPECT_EQ(layout.band_slots[1].code, kCodeLowShelf);
  EXPECT_FLOAT_EQ(layout.band_slots[1].frequency, Table(100));
  EXPECT_FLOAT_EQ(layout.band_slots[1].gain, 6.0f);
  EXPECT_FLOAT_EQ(layout.band_slots[1].q, 2.0f);
  EXPECT_EQ(layout.frequency_index[0], 5);
  EXPECT_EQ(layout.frequency_index[9], 50);
  // A damaged band type stays a band (flat), never a pass filter.
  store.StoreValue(MakeId(0, 4), 150);
  EXPECT_EQ(HandleOfSlot(0, ReadSectionLayout(store, 0)->band_slots[0].code), 0);
}

struct PassCase {
  const char* name;
  int block;
  std::vector<std::pair<int, int>> values;  // index, value
  int slot;
  int code;
  float frequency;
  bool extra_high_pass;
  bool extra_low_pass;
  int frequency_index;
};

TEST(SectionLayoutTest, PassFilterSlots) {
  const std::vector<PassCase> cases = {
      {"mic high-pass off", 1, {{0, 0}}, 15, 100, 19.0f, false, false, 0},
      {"mic high-pass", 1, {{0, 5}}, 15, 102, Table(4), false, false, 0},
      {"echo high-pass off", 3, {{4, 0}}, 3, 100, 19.0f, false, false, 4},
      {"echo low-pass off", 3, {{5, 194}}, 4, 200, 20600.0f, false, false, 5},
      {"echo low-pass 10", 3, {{5, 10}}, 4, 202, Table(178), false, false, 5},
      {"main 24 dB", 5, {{16, 37}, {18, 1}}, 5, 111, Table(36), true, false, 16},
      {"main 12 dB", 5, {{16, 37}, {18, 0}}, 5, 102, Table(36), false, false, 16},
      {"main 24 dB off", 5, {{16, 0}, {18, 1}}, 5, 100, 19.0f, false, false, 16},
      {"centre 24 dB", 7, {{16, 20}, {18, 1}}, 5, 111, Table(19), true, false, 16},
      {"rear", 8, {{16, 20}, {18, 1}}, 5, 102, Table(19), false, false, 16},
      {"sub high-pass Besell 24dB", 6, {{8, 0}, {10, 37}}, 3, 111, Table(36), true, false, 10},
      {"sub high-pass Butterworth 24dB", 6, {{8, 1}, {10, 37}}, 3, 112, Table(36), true, false, 10},
      {"sub high-pass Link Riley 24dB", 6, {{8, 2}, {10, 37}}, 3, 113, Table(36), true, false, 10},
      {"sub high-pass USER 12dB", 6, {{8, 3}, {10, 37}}, 3, 104, Table(36), false, false, 10},
      {"sub high-pass USER 24dB", 6, {{8, 4}, {10, 37}}, 3, 115, Table(36), true, false, 10},
      {"sub high-pass off", 6, {{8, 1}, {10, 0}}, 3, 100, 19.0f, false, false, 10},
      {"sub low-pass Besell 24dB", 6, {{14, 0}, {16, 90}}, 4, 211, Table(89), false, true, 16},
      {"sub low-pass USER 12dB", 6, {{14, 3}, {16, 90}}, 4, 204, Table(89), false, false, 16},
      {"sub low-pass USER 24dB", 6, {{14, 4}, {16, 90}}, 4, 215, Table(89), false, true, 16},
      {"sub low-pass off", 6, {{14, 4}, {16, 0}}, 4, 200, 19.0f, false, false, 16},
  };
  for (const PassCase& c : cases) {
    SCOPED_TRACE(c.name);
    ParameterStore store = DefaultStore();
    // Both subwoofer filters start as "USER 12dB" and off, so each case sees only its own.
    store.StoreValue(MakeId(6, 8), 3);
    store.StoreValue(MakeId(6, 14), 3);
    for (auto [index, value] : c.values) store.StoreValue(MakeId(c.block, index), value);
    const SectionLayout layout = *ReadSectionLayout(store, c.block);
    const BandSlot& slot = layout.band_slots[c.slot];
    EXPECT_EQ(slot.code, c.code);
    EXPECT_FLOAT_EQ(slot.frequency, c.frequency);
    EXPECT_EQ(slot.gain, 0.0f);
    EXPECT_EQ(layout.extra_high_pass, c.extra_high_pass);
    EXPECT_EQ(layout.extra_low_pass, c.extra_low_pass);
    EXPECT_EQ(layout.frequency_index[c.slot], c.frequency_index);
    EXPECT_EQ(HandleOfSlot(c.slot, c.code), c.code < 200 ? 15 : 16);
  }
}

TEST(SectionLayoutTest, SubwooferUserQComesFromTheUserQValue) {
  ParameterStore store = DefaultStore();
  store.StoreValue(MakeId(6, 8), 3);
  store.StoreValue(MakeId(6, 10), 37);
  store.StoreValue(MakeId(6, 12), 22);
  store.StoreValue(MakeId(6, 14), 4);
  store.StoreValue(MakeId(6, 16), 50);
  store.StoreValue(MakeId(6, 18), 10);
  const SectionLayout layout = *ReadSectionLayout(store, 6);
  EXPECT_FLOAT_EQ(layout.band_slots[3].q, 1.4f);
  EXPECT_FLOAT_EQ(layout.band_slots[4].q, 0.71f);
}

}  // namespace
}  // namespace kc
