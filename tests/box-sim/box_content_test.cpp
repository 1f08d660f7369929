#include "box-sim/box_content.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "box-sim/box_model.h"

namespace kc::boxsim {
namespace {

// Largest raw value of every non-EQ slot of a block's row, in slot order; Sing/Disco twins
// share their range.
const std::vector<std::vector<int>>& SlotMaxima() {
  static const std::vector<std::vector<int>> maxima = {
      {1, 1, 0, 1},    // Music (plus the Disco set's 54, 55)
      {143, 3, 0, 1},  // Microphone A
      {143, 3, 0, 1},  // Microphone B
      {1, 100, 1, 100, 241, 194, 125, 250, 90, 100, 50, 0, 1},  // Echo
      {1, 100, 1, 100, 80, 100, 241, 194},                      // Reverb
      {100, 100, 1,   1, 100, 100, 1, 1,  100, 100, 1,   1, 100, 100, 1,
       1,   143, 143, 1, 1,   15,  7, 34, 40,  500, 500, 1, 1,   0,   1},  // Main output
      {200, 200, 1,   1,   200, 200, 1,  1, 4,  4,  143, 143, 23, 23,
       4,   4,   143, 143, 23,  23,  15, 7, 34, 40, 500, 1,   0,  1},  // Subwoofer
      {100, 100, 1,   1,   100, 100, 1,  1, 100, 100, 1,   1, 100, 100,
       1,   1,   143, 143, 1,   1,   15, 7, 34,  40,  500, 1, 0,   1},  // Centre
      {100, 100, 1,   1,   100, 100, 1,  1,  100, 100, 1, 1, 100, 100,
       1,   1,   143, 143, 15,  7,   34, 40, 500, 500, 1, 1, 0,   1},  // Rear
  };
  return maxima;
}

void ExpectBandsInRange(const std::vector<int32_t>& row, int first, int bands) {
  const int maxima[5] = {2, 361, 180, 100, 28};
  for (int k = 0; k < bands; ++k) {
    for (int f = 0; f < 5; ++f) {
      const int32_t v = row[first + 5 * k + f];
      EXPECT_GE(v, 0) << "band " << k << " field " << f;
      EXPECT_LE(v, maxima[f]) << "band " << k << " field " << f;
    }
  }
}

TEST(BoxContentTest, EveryModeHoldsVariedValuesWithinTheirRanges) {
  const FactoryContent content = MakeFactoryContent();
  std::set<std::vector<int32_t>> music_rows;
  std::set<std::string> names;
  for (int m = 0; m < kModeCount; ++m) {
    SCOPED_TRACE(m);
    const std::string& name = content.mode_names[m];
    EXPECT_FALSE(name.empty());
    EXPECT_LE(name.size(), 20u);
    for (char c : name) EXPECT_TRUE(c >= 32 && c < 127);
    names.insert(name);

    for (int b = 0; b < kAudioBlocks; ++b) {
      SCOPED_TRACE(b);
      const BlockLayout& layout = *LayoutOf(b);
      const std::vector<int32_t>& row = content.mode_images[m][b];
      ASSERT_EQ(static_cast<int>(row.size()), layout.slot_count);
      const std::vector<int>& maxima = SlotMaxima()[b];
      for (std::size_t s = 0; s < maxima.size(); ++s) {
        EXPECT_GE(row[s], 0) << "slot " << s;
        EXPECT_LE(row[s], maxima[s]) << "slot " << s;
      }
      if (layout.eq_bands > 0) ExpectBandsInRange(row, layout.first_eq, layout.eq_bands);
    }
    const std::vector<int32_t>& music = content.mode_images[m][0];
    EXPECT_LE(music[55], 1);  // the Disco set's bypass
    ExpectBandsInRange(music, 56, 10);
    music_rows.insert(music);
    // Not a flat curve: some band of the Sing set is boosted or cut.
    bool shaped = false;
    for (int k = 0; k < 10; ++k) shaped |= music[4 + 5 * k + 2] != 120;
    EXPECT_TRUE(shaped);
  }
  EXPECT_EQ(names.size(), 15u);
  EXPECT_EQ(music_rows.size(), 15u);

  ASSERT_EQ(content.system_items.size(), 35u);
  for (int i : {6, 7, 8, 9, 10, 11, 32, 33, 34}) {
    EXPECT_GT(content.system_items[i], 0);
    EXPECT_LE(content.system_items[i], 84);
  }
  EXPECT_EQ(content.system_password.size(), 6u);
  EXPECT_EQ(content.keylock_password.size(), 4u);
  for (char c : content.system_password + content.keylock_password) {
    EXPECT_TRUE(c >= '0' && c <= '9');
  }
}

TEST(BoxContentTest, BoxStartsInItsCurrentMode) {
  BoxModel box;
  const int current = box.current_mode();
  ASSERT_GE(current, 0);
  ASSERT_LT(current, kModeCount);
  for (int b = 0; b < kAudioBlocks; ++b) {
    for (int s = 0; s < LayoutOf(b)->slot_count; ++s) {
      ASSERT_EQ(box.Slot(b, s), box.StoredSlot(current, b, s));
    }
  }
  EXPECT_NE(box.identity(), (std::array<uint8_t, 4>{0, 0, 0, 0}));
}

}  // namespace
}  // namespace kc::boxsim
