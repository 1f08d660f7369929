#include "venue/plan.h"

#include <algorithm>
#include <cstdio>

#include "link/box_image.h"
#include "model/mode_compare.h"
#include "model/parameter_ids.h"

namespace kc {
namespace {

bool UserSystemItem(int item) {
  return std::find(kUserSystemItems.begin(), kUserSystemItems.end(), item) !=
         kUserSystemItems.end();
}

}  // namespace

Plan MakePlan(const ParameterStore& box, const ParameterStore& baseline, bool with_system) {
  Plan plan;
  // What a transfer carries: each block's device slots, not the extra slot of a mode file.
  const ModeComparison comparison = CompareModes(box, baseline, with_system, 0);
  std::vector<cli::Difference> named = cli::Diff(box, baseline, with_system, 0);
  const auto take = [&](int block, int slot) {
    const PlanSlot at{block, slot};
    if (box.Device(block, slot) == baseline.Device(block, slot)) return;
    if (std::find(plan.changed.begin(), plan.changed.end(), at) == plan.changed.end()) {
      plan.changed.push_back(at);
    }
  };
  // Diff names the rows of the comparison in its order, then the slots no control shows.
  std::size_t at = 0;
  for (const ViewRow* row : comparison.rows) {
    cli::Difference& difference = named[at++];
    // Of the system block only the user's settings: the current mode is the box's to say and the
    // administrator switch the password's.
    if (row->row == kSystemBlock && !UserSystemItem(row->slot)) continue;
    plan.differences.push_back(std::move(difference));
    // A Q field whose band type changed reads differently with its own value unchanged: the
    // type's slot carries the change.
    take(row->row, row->slot);
  }
  for (const SlotDifference& d : comparison.unshown) {
    plan.differences.push_back(std::move(named[at++]));
    take(d.block, d.slot);
  }
  if (plan.changed.empty()) return plan;
  // An edit lands in the set the box shows; its Sing/Disco switch is among the slots when that
  // changes, which goes with the upload anyway.
  std::vector<std::pair<int, int>> cells;
  for (const PlanSlot& slot : plan.changed) cells.emplace_back(slot.block, slot.slot);
  if (auto edits = EditFramesOf(cells, baseline, box.Device(0, 1) ? 1 : 0)) {
    plan.frames = std::move(*edits);
    return plan;
  }
  plan.upload = true;
  plan.frames.clear();
  for (const PlanSlot& slot : plan.changed) {
    if (slot.block != kSystemBlock) continue;
    plan.frames.push_back(
        {false, MakeId(kSystemBlock, slot.slot), baseline.Device(slot.block, slot.slot), 0});
  }
  return plan;
}

ParameterStore StoreOfBackup(const BoxBackup& backup) {
  ParameterStore store;
  for (int block = 0; block < kAudioBlocks; ++block) {
    for (int slot = 0; slot < kDeviceColumns; ++slot) {
      store.SetDevice(block, slot, backup.blocks[block][slot]);
    }
  }
  for (const auto& [item, value] : backup.system_items) store.SetDevice(kSystemBlock, item, value);
  store.set_disco(store.Device(0, 1));
  store.RebuildWorkingTable();
  return store;
}

std::string FrameText(const PlanFrame& frame) {
  char id[8];
  std::snprintf(id, sizeof id, "%04X", static_cast<unsigned>(frame.wire_id) & 0xFFFFu);
  if (frame.band)
    return "band " + std::string(id) + " (band " + std::to_string(frame.band_number) + ")";
  return "edit " + std::string(id) + " = " + std::to_string(frame.value);
}

}  // namespace kc
