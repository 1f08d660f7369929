#include "cli/mode_checks.h"

#include <map>
#include <utility>

#include "cli/mode_output.h"
#include "model/mode_view.h"
#include "model/parameter_ids.h"

namespace kc::cli {
namespace {

// The system items a download fills: the rows karaoke-ctl shows for the system block, but for
// the current mode, whose answer the link does not keep.
template <typename Visit>
void ForEachSystemSlot(Visit visit) {
  for (const ViewRow& row : ViewRows(true)) {
    if (row.row == kSystemBlock && row.info->form != ValueForm::kModeNumber) visit(row.slot);
  }
}

std::string Range(int first, int last) {
  return first == last ? std::to_string(first)
                       : std::to_string(first) + ".." + std::to_string(last);
}

}  // namespace

void MarkUnread(ParameterStore& store, bool with_system) {
  for (int block = 0; block < kAudioBlocks; ++block) {
    // Only the slots a transfer carries: the slot past each block's end that a mode file adds
    // keeps its value.
    const int slots = InfoOfBlock(block)->device_slots;
    for (int slot = 0; slot < slots; ++slot) store.SetDevice(block, slot, kNotReadBack);
  }
  if (with_system)
    ForEachSystemSlot([&](int slot) { store.SetDevice(kSystemBlock, slot, kNotReadBack); });
}

std::vector<std::string> UnreadSlots(const ParameterStore& store, bool with_system) {
  std::vector<std::string> missing;
  const auto report = [&missing](int block, const std::vector<int>& slots) {
    if (slots.empty()) return;
    std::string text =
        "block " + std::to_string(block) + (slots.size() == 1 ? " slot " : " slots ");
    // Runs of consecutive slots as first..last.
    for (std::size_t i = 0; i < slots.size();) {
      std::size_t j = i;
      while (j + 1 < slots.size() && slots[j + 1] == slots[j] + 1) ++j;
      if (i > 0) text += ",";
      text += Range(slots[i], slots[j]);
      i = j + 1;
    }
    missing.push_back(text);
  };
  for (int block = 0; block < kAudioBlocks; ++block) {
    std::vector<int> slots;
    for (int slot = 0; slot < InfoOfBlock(block)->device_slots; ++slot) {
      if (store.Device(block, slot) == kNotReadBack) slots.push_back(slot);
    }
    report(block, slots);
  }
  if (with_system) {
    std::vector<int> slots;
    ForEachSystemSlot([&](int slot) {
      if (store.Device(kSystemBlock, slot) == kNotReadBack) slots.push_back(slot);
    });
    report(kSystemBlock, slots);
  }
  return missing;
}

std::string UnreadText(const ParameterStore& store, bool with_system) {
  std::string text;
  for (const std::string& block : UnreadSlots(store, with_system)) {
    text += (text.empty() ? "" : "; ") + block;
  }
  return text;
}

std::vector<std::string> OutOfRange(const std::vector<ModeEntry>& entries) {
  std::map<std::pair<int, int>, const ViewRow*> rows;
  for (const ViewRow& row : ViewRows(false)) rows.emplace(std::make_pair(row.row, row.slot), &row);
  std::vector<std::string> out;
  for (const ModeEntry& entry : entries) {
    const auto found = rows.find({entry.block, entry.slot});
    const ViewRow* row = found == rows.end() ? nullptr : found->second;
    const int32_t max = row != nullptr ? row->info->max : kLargestLineValue;
    if (entry.value >= 0 && entry.value <= max) continue;
    const std::string page = row != nullptr ? PageText(*row) : SlotPageText(entry.block);
    const std::string name =
        row != nullptr ? NameText(*row) : SlotNameText(entry.block, entry.slot);
    out.push_back(page + "\t" + name + "\t" + std::to_string(entry.value) + " (0.." +
                  std::to_string(max) + ")");
  }
  return out;
}

}  // namespace kc::cli
