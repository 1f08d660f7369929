// What the box is known to hold, slot by slot, for the audio blocks 0..8: filled by completed
// downloads and uploads and by every acknowledged edit. A slot whose value in the store differs
// from it is a pending change: an edit the box has not taken yet (made while there was no line,
// or still queued when the line was lost), or a file loaded without a box.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "model/parameter_store.h"

namespace kc {

inline constexpr int kAudioBlocks = 9;

class BoxImage {
 public:
  using Rows = std::array<ParameterStore::Row, kAudioBlocks>;

  // Starts from what the store holds now: nothing is pending before the first edit.
  explicit BoxImage(const ParameterStore& store) { TakeAll(store); }

  // The box now holds the store's audio blocks (a completed download or upload).
  void TakeAll(const ParameterStore& store);
  // The box has taken one value (an acknowledged edit).
  void Confirm(int block, int slot, int32_t value);
  // Takes every slot `received` knows (the slots a download brought).
  void TakeKnown(const BoxImage& received);
  // Nothing is known of any slot: all of them count as pending (a file loaded before any box
  // was seen).
  void ForgetAll();

  // Slots of blocks 0..8 whose value in `rows` differs from what the box holds or is unknown.
  int PendingCount(const Rows& rows) const;
  int PendingCount(const ParameterStore& store) const { return PendingCount(RowsOf(store)); }

  static Rows RowsOf(const ParameterStore& store);

  // Identity of the box the image belongs to; empty before any box was seen.
  const std::string& box_id() const { return box_id_; }
  void set_box_id(const std::string& id) { box_id_ = id; }

 private:
  std::array<std::array<std::optional<int32_t>, kDeviceColumns>, kAudioBlocks> slots_{};
  std::string box_id_;
};

}  // namespace kc
