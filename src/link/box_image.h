// What the box is known to hold, slot by slot, for the audio blocks 0..8 and the user's system
// settings (input level, volumes, panel lock, input): filled by completed
// downloads and uploads and by every acknowledged edit. A slot whose value in the store differs
// from it is a pending change: an edit the box has not taken yet (made while there was no line,
// or still queued when the line was lost), or a file loaded without a box.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "model/parameter_ids.h"
#include "model/parameter_store.h"

namespace kc {

// System items a user sets and a download reads. The current mode (0x02) is the box's to say,
// and the administrator switch (0x0C) is the password's: neither is ever sent back.
inline constexpr std::array<int, 12> kUserSystemItems = {0x03, 0x06, 0x07, 0x08, 0x09, 0x0A,
                                                         0x0B, 0x0D, 0x0E, 0x20, 0x21, 0x22};

class BoxImage {
 public:
  // Rows 0..8 and the system row 9.
  using Rows = std::array<ParameterStore::Row, kBlockCount>;

  // Starts from what the store holds now: nothing is pending before the first edit.
  explicit BoxImage(const ParameterStore& store) { TakeAll(store); }

  // The box now holds the store's audio blocks (a completed upload) and, with `system`, its
  // system settings too.
  void TakeAll(const ParameterStore& store, bool system = true);
  // The box has taken one value (an acknowledged edit).
  void Confirm(int block, int slot, int32_t value);
  // Takes every slot `received` knows (the slots a download brought).
  void TakeKnown(const BoxImage& received);
  // Nothing is known of any slot: all of them count as pending (a file loaded before any box
  // was seen).
  void ForgetAll();

  // Slots of blocks 0..8 and user system items whose value in `rows` differs from what the box
  // holds or is unknown.
  int PendingCount(const Rows& rows) const;
  int PendingCount(const ParameterStore& store) const { return PendingCount(RowsOf(store)); }

  static Rows RowsOf(const ParameterStore& store);
  // True when the box is not known to hold `value` in this slot.
  bool Differs(int block, int slot, int32_t value) const {
    if (block < 0 || block >= kBlockCount || slot < 0 || slot >= kDeviceColumns) return false;
    return !slots_[block][slot] || *slots_[block][slot] != value;
  }

  // Identity of the box the image belongs to; empty before any box was seen.
  const std::string& box_id() const { return box_id_; }
  void set_box_id(const std::string& id) { box_id_ = id; }

 private:
  std::array<std::array<std::optional<int32_t>, kDeviceColumns>, kBlockCount> slots_{};
  std::string box_id_;
};

}  // namespace kc
