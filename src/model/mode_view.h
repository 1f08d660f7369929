// A whole mode as lines an installer reads: every parameter of blocks 0 to 8 (and of the system
// block where the box itself was read) with its page, its name in the editor, its raw value and
// the text the editor shows for it; and the differences between two modes. Standard library only.
//
// The editor shows one of the two Music sets (Sing or Disco), one microphone group and the Sing
// twins of the outputs at a time; here every set has rows of its own, on pages such as
// "Music (Disco)" and "Microphone B". Slots no control shows (band addresses, the slot past the
// end of each block in a mode file) are compared too and named "slot BLOCK.SLOT".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/parameter_store.h"
#include "model/parameter_table.h"

namespace kc {

struct ViewRow {
  std::string page;
  const ParameterInfo* info = nullptr;
  int row = 0;         // device-image row
  int slot = 0;        // device slot
  int type_slot = -1;  // device slot of the band type, for a Q field
};

// Every parameter row; those of the system block only when with_system.
const std::vector<ViewRow>& ViewRows(bool with_system);

int32_t RowValue(const ViewRow& row, const ParameterStore& store);
std::string RowText(const ViewRow& row, const ParameterStore& store);

struct Difference {
  std::string page;
  std::string name;
  std::string a;
  std::string b;
};

// What differs between two device images: parameter rows first, then any other slot of blocks
// 0..8 up to and including slot `last_slot_offset` past each block's end (1 for mode files, 0
// for what a transfer carries), as raw numbers.
std::vector<Difference> Diff(const ParameterStore& a, const ParameterStore& b, bool with_system,
                             int last_slot_offset = 1);

// "page<TAB>name<TAB>A<TAB>B" lines.
std::string FormatDifferences(const std::vector<Difference>& differences);

// "page<TAB>name<TAB>raw<TAB>text" lines, or a JSON document with the same facts per parameter.
std::string FormatShow(const ParameterStore& store, bool with_system);
std::string FormatShowJson(const ParameterStore& store, bool with_system,
                           const std::string& source);

// A JSON string literal of UTF-8 text.
std::string JsonString(const std::string& text);

}  // namespace kc
