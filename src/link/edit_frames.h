// The rule that decides whether chosen slots reach the box as edits or only with the block
// upload: the list of the editor's changes, a restore of a baseline and apply's dry run all
// follow it, so it is written once here.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "model/parameter_store.h"

namespace kc {

// One edit frame: a parameter (wire id and value) or a whole EQ band (the wire id of one of its
// fields and the band's number in its block, 0-based).
struct EditFrame {
  bool band = false;
  int wire_id = 0;
  int32_t value = 0;
  int band_number = 0;
  bool operator==(const EditFrame&) const = default;
};

// The frames that give the box the values `image` holds in `cells` (a device row 0..8 or the
// system block, and a device slot): one per parameter and one per EQ band, parameters first, as
// the pacer sends them. nullopt when some cell can go only with the upload (a slot of the
// Sing/Disco set not on show, `shown`; the Sing/Disco switch itself; a slot no parameter names)
// or when the edits would be more frames than the upload's one per audio block.
std::optional<std::vector<EditFrame>> EditFramesOf(const std::vector<std::pair<int, int>>& cells,
                                                   const ParameterStore& image, int shown);

}  // namespace kc
