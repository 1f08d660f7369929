#include "link/box_image.h"

namespace kc {

BoxImage::Rows BoxImage::RowsOf(const ParameterStore& store) {
  Rows rows{};
  for (int block = 0; block < kBlockCount; ++block) rows[block] = store.DeviceRow(block);
  return rows;
}

void BoxImage::TakeAll(const ParameterStore& store, bool system) {
  for (int block = 0; block < kAudioBlocks; ++block) {
    for (int slot = 0; slot < kDeviceColumns; ++slot) {
      slots_[block][slot] = store.Device(block, slot);
    }
  }
  if (!system) return;
  for (int item : kUserSystemItems) slots_[kSystemBlock][item] = store.Device(kSystemBlock, item);
}

void BoxImage::Confirm(int block, int slot, int32_t value) {
  if (block < 0 || block >= kBlockCount || slot < 0 || slot >= kDeviceColumns) return;
  slots_[block][slot] = value;
}

void BoxImage::TakeKnown(const BoxImage& received) {
  for (int block = 0; block < kBlockCount; ++block) {
    for (int slot = 0; slot < kDeviceColumns; ++slot) {
      if (received.slots_[block][slot]) slots_[block][slot] = received.slots_[block][slot];
    }
  }
}

void BoxImage::ForgetAll() {
  for (auto& row : slots_) row.fill(std::nullopt);
}

int BoxImage::PendingCount(const Rows& rows) const {
  int count = 0;
  for (int block = 0; block < kAudioBlocks; ++block) {
    // Only the slots a block really has: the rest of a row is never sent nor received.
    const int slots = InfoOfBlock(block)->device_slots;
    for (int slot = 0; slot < slots; ++slot) {
      const std::optional<int32_t>& known = slots_[block][slot];
      if (!known || *known != rows[block][slot]) ++count;
    }
  }
  for (int item : kUserSystemItems) {
    const std::optional<int32_t>& known = slots_[kSystemBlock][item];
    if (!known || *known != rows[kSystemBlock][item]) ++count;
  }
  return count;
}

}  // namespace kc
