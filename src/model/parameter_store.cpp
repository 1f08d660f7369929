#include "model/parameter_store.h"

#include "model/parameter_ids.h"
#include "model/rounding.h"

namespace kc {
namespace {

constexpr std::array<BlockInfo, kBlockCount> kBlocks = {{
    {54, 106, 10, 4, 0x0002, 0},  // Music
    {79, 79, 15, 4, 0x0102, 1},   // Microphone A
    {79, 79, 15, 4, 0x0202, 1},   // Microphone B
    {28, 28, 3, 13, 0x030B, 2},   // Echo
    {8, 8, 0, 0, 0x0408, 2},      // Reverb
    {55, 55, 5, 30, 0x051C, 3},   // Main output
    {43, 43, 3, 28, 0x061A, 5},   // Subwoofer
    {53, 53, 5, 28, 0x071A, 4},   // Centre
    {53, 53, 5, 28, 0x081A, 6},   // Rear
    {35, 35, 0, 0, -1, 7},        // System
}};

constexpr std::array<int, 8> kPageBands = {10, 15, 3, 5, 5, 3, 5, 0};

// Defaults of band fields 0, 2, 3 and 4 after an EQ reset; field 1 depends on the band.
constexpr std::array<int32_t, 5> kBandDefaults = {0, -1, 120, 16, 10};

}  // namespace

const BlockInfo* InfoOfBlock(int block) {
  if (block < 0 || block >= kBlockCount) return nullptr;
  return &kBlocks[block];
}

int EqBandsOfPage(int page) { return page >= 0 && page < 8 ? kPageBands[page] : 0; }

int DeviceSlot(int block, int index, int disco) {
  const int d = disco ? 1 : 0;
  switch (block) {
    case 0:
      return index <= 1 ? index : index + 52 * d;
    case 5:
    case 6:
    case 7:
      return index <= 19 ? index + d : index;
    case 8:
      return index <= 17 ? index + d : index;
    default:
      return index;
  }
}

int IdOfDeviceSlot(int row, int slot, int disco) {
  const int block = row == 2 ? 1 : row;
  const BlockInfo* info = InfoOfBlock(block);
  if (info == nullptr) return -1;
  for (int index = 0; index < info->parameters; ++index) {
    if (DeviceSlot(block, index, disco) == slot) return MakeId(block, index);
  }
  return -1;
}

bool IsEqBandField(int id) {
  const int block = BlockOf(id);
  const int index = IndexOf(id);
  const BlockInfo* info = block < kAudioBlocks ? InfoOfBlock(block) : nullptr;
  return info != nullptr && info->eq_bands > 0 && index >= info->first_eq &&
         index < info->first_eq + 5 * info->eq_bands;
}

int LocateBand(int id) {
  const int block = BlockOf(id);
  const int index = IndexOf(id);
  const BlockInfo* info = InfoOfBlock(block);
  if (block == 4) return kNoBandReverb;
  if (info == nullptr || block == kSystemBlock) return kNoBandField;
  if (info->eq_bands > 0 && index >= info->first_eq &&
      index < info->first_eq + 5 * info->eq_bands) {
    const int rel = index - info->first_eq;
    return (rel / 5) * 256 + rel % 5;
  }
  // Pass filters that the graph draws after the EQ bands.
  switch (block) {
    case 1:
    case 2:
      if (index == 0) return 15 * 256;
      break;
    case 3:
      if (index == 4) return 3 * 256;
      if (index == 5) return 4 * 256;
      break;
    case 5:
    case 7:
    case 8:
      if (index == 16) return 5 * 256;
      break;
    case 6:
      if (index == 8 || index == 10 || index == 12) return 3 * 256;
      if (index == 14 || index == 16 || index == 18) return 4 * 256;
      break;
    default:
      break;
  }
  return kNoBandField;
}

ParameterStore::ParameterStore() = default;

int32_t ParameterStore::Working(int block, int index) const {
  if (block < 0 || block >= kBlockCount || index < 0 || index >= kWorkingColumns) return 0;
  return working_[block][index];
}

int32_t ParameterStore::Device(int block, int slot) const {
  if (block < 0 || block >= kBlockCount || slot < 0 || slot >= kDeviceColumns) return 0;
  return device_[block][slot];
}

bool ParameterStore::SetWorking(int block, int index, int32_t value) {
  if (block < 0 || block >= kBlockCount || index < 0 || index >= kWorkingColumns) return false;
  working_[block][index] = value;
  return true;
}

bool ParameterStore::SetDevice(int block, int slot, int32_t value) {
  if (block < 0 || block >= kBlockCount || slot < 0 || slot >= kDeviceColumns) return false;
  device_[block][slot] = value;
  return true;
}

int ParameterStore::DeviceRowOf(int id) const {
  const int block = BlockOf(id);
  return block == 1 && mic_group_ == 1 ? 2 : block;
}

void ParameterStore::StoreValue(int id, int32_t value) {
  const int block = BlockOf(id);
  const int index = IndexOf(id);
  // An identifier is 16 bits; anything wider would alias a cell of another identifier.
  if (id < 0 || id > 0xFFFF || block >= kBlockCount || index >= kWorkingColumns) return;
  const int row = DeviceRowOf(id);
  SetWorking(block, index, value);
  SetWorking(row, index, value);
  SetDevice(row, DeviceSlot(block, index, disco_), value);
}

void ParameterStore::RebuildWorkingTable() {
  for (int block = 0; block < kBlockCount; ++block) {
    const int row = block == 1 && mic_group_ == 1 ? 2 : block;
    for (int index = 0; index < kBlocks[block].parameters; ++index) {
      working_[block][index] = Device(row, DeviceSlot(block, index, disco_));
    }
  }
}

int ParameterStore::QFieldOf(int id) const {
  const int block = BlockOf(id);
  if (block >= kSystemBlock) return id;
  const int position = LocateBand(id);
  const int field = position & 0xFF;
  if (position == kNoBandReverb || (field != 3 && field != 4)) return id;
  const int base = id - field;
  return Working(base) == 0 ? base + 3 : base + 4;
}

void ParameterStore::ResetEq(int selection) {
  for (int block = 0; block < kAudioBlocks; ++block) {
    if (block == 4 || (selection != block && selection != kAllBlocks)) continue;
    const BlockInfo& info = kBlocks[block];
    const int n = info.eq_bands;
    for (int k = 0; k < n; ++k) {
      for (int f = 0; f < 5; ++f) {
        const int index = info.first_eq + 5 * k + f;
        const int32_t value = f == 1 ? RoundHalfEven(360.0 / n * k) + 5 : kBandDefaults[f];
        if (selection == kAllBlocks && block == 0) {
          SetDevice(0, DeviceSlot(0, index, 0), value);
          SetDevice(0, DeviceSlot(0, index, 1), f == 1 ? 11 + 24 * k : value);
        } else {
          SetDevice(block, DeviceSlot(block, index, disco_), value);
          SetWorking(block, index, value);
        }
      }
      if (selection != kAllBlocks && observer_ != nullptr) {
        const int field4 = MakeId(block, info.first_eq + 5 * k + 4);
        observer_->SendEqBand(field4, Working(field4));
      }
    }
  }
  if (observer_ != nullptr) observer_->RefreshPages(selection == 2 ? 1 : selection);
}

}  // namespace kc
