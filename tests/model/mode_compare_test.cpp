// The comparison of two modes that the editor's comparison window and karaoke-ctl share.
#include "model/mode_compare.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kc {
namespace {

// Band 1 of Music a low shelf: PEQ Q in slot 7 (not in force), shelf Q in slot 8.
ParameterStore ShelfBand() {
  ParameterStore store;
  store.SetDevice(0, 4, 1);   // type LSEQ
  store.SetDevice(0, 5, 84);  // 99.0Hz
  store.SetDevice(0, 7, 16);  // PEQ Q 1.00
  store.SetDevice(0, 8, 10);  // shelf Q 0.71
  return store;
}

struct Edit {
  int block;
  int slot;
  int32_t value;
};

struct CompareCase {
  const char* what;
  std::vector<Edit> edits;
  bool with_system;
  int last_slot_offset;
  std::vector<std::string> rows;   // "block.slot name" of each differing row, in order
  std::vector<std::string> slots;  // "block.slot" of each differing uncovered slot
};

std::vector<std::string> RowKeys(const ModeComparison& comparison) {
  std::vector<std::string> keys;
  for (const ViewRow* row : comparison.rows) {
    keys.push_back(std::to_string(row->row) + "." + std::to_string(row->slot) + " " +
                   row->info->name);
  }
  return keys;
}

std::vector<std::string> SlotKeys(const ModeComparison& comparison) {
  std::vector<std::string> keys;
  for (const SlotDifference& d : comparison.unshown) {
    keys.push_back(std::to_string(d.block) + "." + std::to_string(d.slot));
  }
  return keys;
}

TEST(CompareModes, RowsAndSlotsThatReadDifferently) {
  const CompareCase cases[] = {
      {"the same mode", {}, false, 1, {}, {}},
      {"one value", {{3, 7, 125}}, false, 1, {"3.7 EchoTimeBar"}, {}},
      // The case the editor used to miss: no Q value changed, but the band's type moves the Q
      // box from the shelf Q to the PEQ Q, so both fields read differently.
      {"a band type change brings the other Q field into force",
       {{0, 4, 0}},
       false,
       1,
       {"0.4 MusModeBox1", "0.7 MusQEdit1", "0.8 MusQEdit1"},
       {}},
      {"a change between the two shelf types keeps the same Q in force",
       {{0, 4, 2}},
       false,
       1,
       {"0.4 MusModeBox1"},
       {}},
      {"a Q field not in force still differs by its value",
       {{0, 7, 20}},
       false,
       1,
       {"0.7 MusQEdit1"},
       {}},
      {"group B through group A's controls", {{2, 16, 100}}, false, 1, {"2.16 MicGainEdit3"}, {}},
      {"a band address no control shows", {{0, 2, 7}}, false, 1, {}, {"0.2"}},
      {"the slot past a block's end of a mode file", {{8, 53, 9}}, false, 1, {}, {"8.53"}},
      {"what a transfer carries ends before it", {{8, 53, 9}}, false, 0, {}, {}},
      {"system items only with the system block", {{9, 12, 1}}, false, 1, {}, {}},
      {"system items with it", {{9, 12, 1}}, true, 1, {"9.12 SysUserBtn"}, {}},
  };
  const ParameterStore a = ShelfBand();
  for (const CompareCase& c : cases) {
    ParameterStore b = a;
    for (const Edit& e : c.edits) b.SetDevice(e.block, e.slot, e.value);
    const ModeComparison comparison = CompareModes(a, b, c.with_system, c.last_slot_offset);
    EXPECT_EQ(RowKeys(comparison), c.rows) << c.what;
    EXPECT_EQ(SlotKeys(comparison), c.slots) << c.what;
    EXPECT_EQ(comparison.empty(), c.rows.empty() && c.slots.empty()) << c.what;
    // The comparison is the same both ways round.
    const ModeComparison back = CompareModes(b, a, c.with_system, c.last_slot_offset);
    EXPECT_EQ(RowKeys(back), c.rows) << c.what;
  }
}

}  // namespace
}  // namespace kc
