// The comparison of two modes (device images) that the editor's comparison window and
// karaoke-ctl's diff and restore share. Standard library only.
//
// A parameter row differs when its raw value differs, or when it is a Q field whose band type
// changed so that the field came into force or left it: the Q box then shows another value,
// although this field's own value is the same. Slots no control shows (band addresses, the slot
// past the end of each block in a mode file) are compared by their raw numbers.
#pragma once

#include <cstdint>
#include <vector>

#include "model/mode_view.h"
#include "model/parameter_store.h"

namespace kc {

// A slot of blocks 0..8 that no parameter row covers, with its two raw values.
struct SlotDifference {
  int block = 0;
  int slot = 0;
  int32_t a = 0;
  int32_t b = 0;
};

struct ModeComparison {
  std::vector<const ViewRow*> rows;     // differing parameter rows, in ViewRows order
  std::vector<SlotDifference> unshown;  // then differing slots no row covers (no control shows)
  bool empty() const { return rows.empty() && unshown.empty(); }
};

// True when the row reads differently in the two images (see above).
bool RowDiffers(const ViewRow& row, const ParameterStore& a, const ParameterStore& b);

// What differs between two device images: the parameter rows (those of the system block only
// when with_system), then any other slot of blocks 0..8 up to and including slot
// `last_slot_offset` past each block's end (1 for mode files, 0 for what a transfer carries).
ModeComparison CompareModes(const ParameterStore& a, const ParameterStore& b, bool with_system,
                            int last_slot_offset = 1);

}  // namespace kc
