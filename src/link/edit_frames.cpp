#include "link/edit_frames.h"

#include <algorithm>

#include "model/parameter_ids.h"

namespace kc {

std::optional<std::vector<EditFrame>> EditFramesOf(const std::vector<std::pair<int, int>>& cells,
                                                   const ParameterStore& image, int shown) {
  std::vector<EditFrame> params;
  std::vector<EditFrame> bands;
  for (const auto& [block, slot] : cells) {
    const int32_t value = image.Device(block, slot);
    if (block == kSystemBlock) {
      params.push_back({false, MakeId(kSystemBlock, slot), value, 0});
      continue;
    }
    // The box writes a parameter or a band into the Sing/Disco set it shows: a slot of the
    // other set goes only with the upload.
    const int id = IdOfDeviceSlot(block, slot, shown);
    if (id < 0) return std::nullopt;
    const int wire_id = MakeId(block, IndexOf(id));
    // The Sing/Disco switch changes the set the other edits land in: the upload carries both.
    if (wire_id == kSingDiscoId) return std::nullopt;
    if (IsEqBandField(id)) {
      const int band = LocateBand(id) >> 8;
      const bool queued = std::any_of(bands.begin(), bands.end(), [&](const EditFrame& b) {
        return BlockOf(b.wire_id) == block && b.band_number == band;
      });
      if (!queued) bands.push_back({true, wire_id, 0, band});
    } else {
      params.push_back({false, wire_id, value, 0});
    }
  }
  // The upload is one frame per audio block; edits are one frame per parameter or band.
  if (params.size() + bands.size() > static_cast<std::size_t>(kAudioBlocks)) return std::nullopt;
  params.insert(params.end(), bands.begin(), bands.end());
  return params;
}

}  // namespace kc
