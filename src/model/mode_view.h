// A whole mode as rows: every parameter of blocks 0 to 8 (and of the system block where the box
// itself was read) with its page, its name in the editor, its raw value and the text the editor
// shows for it. karaoke-ctl prints these rows, the comparison of two modes walks them. Standard
// library only.
//
// The editor shows one of the two Music sets (Sing or Disco), one microphone group and the Sing
// twins of the outputs at a time; here every set has rows of its own, on pages such as
// "Music (Disco)" and "Microphone B" (tab captions "音乐（舞蹈）" and "麦克风B").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/parameter_store.h"
#include "model/parameter_table.h"

namespace kc {

struct ViewRow {
  std::string page;  // English: "Music", "Music (Disco)", "Microphone A", "Microphone B"
  std::string tab;  // as the tab strip names it: "音乐", "音乐（舞蹈）", "麦克风A", "麦克风B"
  const ParameterInfo* info = nullptr;
  int row = 0;         // device-image row
  int slot = 0;        // device slot
  int type_slot = -1;  // device slot of the band type, for a Q field
};

// Every parameter row; those of the system block only when with_system.
const std::vector<ViewRow>& ViewRows(bool with_system);

int32_t RowValue(const ViewRow& row, const ParameterStore& store);
std::string RowText(const ViewRow& row, const ParameterStore& store);
// False for a Q field that its band's type does not put in force (the Q box shows the other
// one); true for every other row.
bool RowInForce(const ViewRow& row, const ParameterStore& store);
// The page of a row of `block` that no control shows, in English and as the tab strip names it.
std::string BlockPageName(int block);
std::string BlockTabCaption(int block);

// The caption of page 0..7 on the editor's tab strip ("音乐", "麦克风A", ..., "系统设定"); empty
// outside.
std::string_view TabCaption(int page);

}  // namespace kc
