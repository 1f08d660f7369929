#include "model/mode_compare.h"

#include <set>
#include <utility>

namespace kc {

bool RowDiffers(const ViewRow& row, const ParameterStore& a, const ParameterStore& b) {
  return RowValue(row, a) != RowValue(row, b) || RowInForce(row, a) != RowInForce(row, b);
}

ModeComparison CompareModes(const ParameterStore& a, const ParameterStore& b, bool with_system,
                            int last_slot_offset) {
  ModeComparison out;
  std::set<std::pair<int, int>> covered;
  for (const ViewRow& row : ViewRows(with_system)) {
    covered.insert({row.row, row.slot});
    if (RowDiffers(row, a, b)) out.rows.push_back(&row);
  }
  // Blocks 0..8: everything before the system block, which a mode never carries.
  for (int block = 0; block < kSystemBlock; ++block) {
    const int last = InfoOfBlock(block)->device_slots - 1 + last_slot_offset;
    for (int slot = 0; slot <= last && slot < kDeviceColumns; ++slot) {
      if (covered.count({block, slot}) != 0) continue;
      if (a.Device(block, slot) == b.Device(block, slot)) continue;
      out.unshown.push_back({block, slot, a.Device(block, slot), b.Device(block, slot)});
    }
  }
  return out;
}

}  // namespace kc
