// The plan that makes a room's box equal to its baseline: what differs between the box's image and
// the baseline (named as show and diff name it), and what goes to the box for it. Standard library
// only.
//
// The baseline is blocks 0..8 and, when it was read from a box backup, the user's system items; a
// mode file carries no system item, so none is compared. What is sent follows the link's rule for
// the editor's changes: one edit frame per parameter or EQ band when that is no more frames than
// the block upload (one per audio block), else the upload of blocks 0..8 followed by the system
// items that differ. A slot that no edit reaches (the other Sing/Disco set, the Sing/Disco switch
// itself, a slot no control shows) can only go with the upload.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/mode_output.h"
#include "link/edit_frames.h"
#include "model/parameter_store.h"
#include "modes/box_backup.h"

namespace kc {

struct PlanSlot {
  int block = 0;  // device row 0..8, or kSystemBlock
  int slot = 0;
  bool operator==(const PlanSlot&) const = default;
};

// One frame of the edits: the link's own (a parameter, or a whole EQ band).
using PlanFrame = EditFrame;

struct Plan {
  // What differs, box first (a), baseline second (b).
  std::vector<cli::Difference> differences;
  // The slots whose value the box must take from the baseline.
  std::vector<PlanSlot> changed;
  // True: blocks 0..8 go as the upload, and `frames` are the system items sent after it. False:
  // `frames` are all that is sent.
  bool upload = false;
  std::vector<PlanFrame> frames;
  bool empty() const { return differences.empty(); }
};

// The plan for a box whose image is `box` and a baseline `baseline`; the user's system items are
// compared only `with_system` (a baseline from a box backup).
Plan MakePlan(const ParameterStore& box, const ParameterStore& baseline, bool with_system);

// A box backup as a device image: its blocks and its user's system items.
ParameterStore StoreOfBackup(const BoxBackup& backup);

// "edit 0307 = 250", "band 0001 (band 1)", for the dry run and the tests.
std::string FrameText(const PlanFrame& frame);

}  // namespace kc
