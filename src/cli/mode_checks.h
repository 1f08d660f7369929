// Checks of a whole mode before karaoke-ctl trusts it: that a download filled every slot it
// carries, and that a file's values lie in the raw ranges the box takes.
#pragma once

#include <string>
#include <vector>

#include "model/parameter_store.h"
#include "modes/mode_file.h"

namespace kc::cli {

// A value no transfer writes: rows filled with it before a transfer show which slots the box
// did not send. Values on the line are 0..65535.
inline constexpr int32_t kNotReadBack = -1;
// The largest value a frame carries (two bytes).
inline constexpr int32_t kLargestLineValue = 0xFFFF;

// Fills every slot a transfer carries with kNotReadBack: the device slots of blocks 0..8 and,
// with_system, the system items a download reads.
void MarkUnread(ParameterStore& store, bool with_system);

// What a download left unfilled, one text per block ("block 3 slots 10..27"); empty when every
// slot arrived.
std::vector<std::string> UnreadSlots(const ParameterStore& store, bool with_system);
// The same as one text, the blocks separated by "; "; empty when every slot arrived.
std::string UnreadText(const ParameterStore& store, bool with_system);

// Every entry whose value lies outside the raw range of its parameter (0 to the control's
// largest value; 0..65535 for a slot no control shows), as "page<TAB>name<TAB>value (0..max)"
// texts in file order.
std::vector<std::string> OutOfRange(const std::vector<ModeEntry>& entries);

}  // namespace kc::cli
