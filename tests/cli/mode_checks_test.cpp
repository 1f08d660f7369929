// What karaoke-ctl checks before it trusts a mode: a download that left slots unread, and file
// values outside their parameter's range.
#include "cli/mode_checks.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace kc::cli {
namespace {

// A store as a complete download leaves it: every slot a transfer carries holds a value.
ParameterStore Downloaded() {
  ParameterStore store;
  MarkUnread(store, true);
  for (int block = 0; block <= 9; ++block) {
    for (int slot = 0; slot < kDeviceColumns; ++slot) {
      if (store.Device(block, slot) == kNotReadBack) store.SetDevice(block, slot, 1);
    }
  }
  return store;
}

TEST(UnreadSlots, NamesEveryRunOfSlotsADownloadDidNotFill) {
  struct Case {
    const char* what;
    std::function<void(ParameterStore&)> damage;
    bool with_system;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"complete", [](ParameterStore&) {}, true, {}},
      {"block 3 answered with 10 of its 28 values",
       [](ParameterStore& s) {
         for (int slot = 10; slot < 28; ++slot) s.SetDevice(3, slot, kNotReadBack);
       },
       true,
       {"block 3 slots 10..27"}},
      {"two runs in one block, one slot in another",
       [](ParameterStore& s) {
         s.SetDevice(0, 0, kNotReadBack);
         s.SetDevice(0, 1, kNotReadBack);
         s.SetDevice(0, 5, kNotReadBack);
         s.SetDevice(8, 52, kNotReadBack);
       },
       true,
       {"block 0 slots 0..1,5", "block 8 slot 52"}},
      {"a system item missing",
       [](ParameterStore& s) { s.SetDevice(9, 33, kNotReadBack); },
       true,
       {"block 9 slot 33"}},
      {"system items not asked for",
       [](ParameterStore& s) { s.SetDevice(9, 33, kNotReadBack); },
       false,
       {}},
      // The slot a mode file adds past each block's end travels with no transfer.
      {"past the end of a block",
       [](ParameterStore& s) { s.SetDevice(3, 28, kNotReadBack); },
       true,
       {}},
  };
  for (const Case& c : cases) {
    ParameterStore store = Downloaded();
    c.damage(store);
    EXPECT_EQ(UnreadSlots(store, c.with_system), c.expected) << c.what;
  }
}

TEST(UnreadSlots, AFreshlyMarkedStoreHasEveryBlockUnread) {
  ParameterStore store;
  MarkUnread(store, false);
  const std::vector<std::string> expected = {
      "block 0 slots 0..105", "block 1 slots 0..78", "block 2 slots 0..78",
      "block 3 slots 0..27",  "block 4 slots 0..7",  "block 5 slots 0..54",
      "block 6 slots 0..42",  "block 7 slots 0..52", "block 8 slots 0..52"};
  EXPECT_EQ(UnreadSlots(store, false), expected);
  EXPECT_EQ(store.Device(3, 28), 0) << "the extra slot of a mode file keeps its value";
}

TEST(UnreadSlots, AsOneTextForAReadBackThatCameShort) {
  ParameterStore store = Downloaded();
  EXPECT_EQ(UnreadText(store, false), "");
  for (int slot = 10; slot < 28; ++slot) store.SetDevice(3, slot, kNotReadBack);
  store.SetDevice(8, 52, kNotReadBack);
  EXPECT_EQ(UnreadText(store, false), "block 3 slots 10..27; block 8 slot 52");
}

TEST(OutOfRange, ListsEveryValueOutsideItsParametersRawRange) {
  struct Case {
    const char* what;
    std::vector<ModeEntry> entries;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"in range, both ends", {{3, 7, 0}, {3, 7, 250}, {0, 106, 65535}}, {}},
      {"past the largest value", {{3, 7, 251}}, {"效果 Effect\tEchoTimeBar\t251 (0..250)"}},
      {"negative", {{3, 7, -5}}, {"效果 Effect\tEchoTimeBar\t-5 (0..250)"}},
      {"a slot no control shows, past two bytes",
       {{3, 7, 10}, {0, 106, 70000}},
       {"音乐 Music\tslot 0.106\t70000 (0..65535)"}},
      {"in file order",
       {{0, 106, -1}, {3, 7, 70000}},
       {"音乐 Music\tslot 0.106\t-1 (0..65535)", "效果 Effect\tEchoTimeBar\t70000 (0..250)"}},
  };
  for (const Case& c : cases) EXPECT_EQ(OutOfRange(c.entries), c.expected) << c.what;
}

}  // namespace
}  // namespace kc::cli
