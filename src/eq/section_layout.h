// What the graph draws for one section (parameter block): its EQ bands and pass filters read
// from the working table as band slots, which extra 24 dB sections are in use, and which value
// each slot's point stands for.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "eq/filter_response.h"
#include "model/parameter_store.h"

namespace kc {

// Point handles: EP1..EP15 for band slots 0..14, then the high-pass and low-pass points.
inline constexpr int kHandleCount = 17;
inline constexpr int kHighPassHandle = 15;
inline constexpr int kLowPassHandle = 16;
// Object name of a point handle: "EP1".."EP15" for the band slots, "HPF" and "LPF"; empty
// outside 0..16.
std::string HandleName(int handle);
// DrawSectionCurve's selection meaning "every slot, label left alone".
inline constexpr int kAllSlots = 20;

struct SectionLayout {
  int block = 0;
  int eq_bands = 0;    // band slots 0 .. eq_bands - 1
  int pass_slots = 0;  // pass slots eq_bands .. eq_bands + pass_slots - 1
  std::array<BandSlot, kBandSlots> band_slots{};
  bool extra_high_pass = false;
  bool extra_low_pass = false;
  // Index (in the block) of the value each slot's frequency follows: field 1 of a band, the
  // pass filter's frequency value for a pass slot.
  std::array<int, kBandSlots> frequency_index{};

  int LastSlot() const { return eq_bands - 1 + pass_slots; }
};

// The block the graph draws for a block: the Microphone page draws block 1 for either group,
// so block 2 is drawn as block 1. nullopt for the blocks without a section (Reverb, System and
// anything else).
std::optional<int> SectionBlockOf(int block);

// Reads the section of a block from the working table; nullopt for a block without a section.
std::optional<SectionLayout> ReadSectionLayout(const ParameterStore& store, int block);

// Handle of a slot by its code: the slot's own point below 100, the high-pass point for 1xx,
// the low-pass point for 2xx, none (-1) for anything else.
int HandleOfSlot(int slot, int code);

}  // namespace kc
