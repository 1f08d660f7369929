// The one table of the box's parameters as the editor binds them: for every bound (block, index)
// its page, the object name of the control that holds it (what the editor calls it), a readable
// name, its display kind, the raw range its control allows and, for a choice, the captions of
// the choices. The editor's control map binds its controls by these names; karaoke-ctl prints
// these names and the texts below. Standard library only.
//
// Block 2 (microphone group B) has no controls of its own: the Microphone page shows it through
// the controls of block 1, and FindParameter answers for it with block 1's entries.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kc {

// How a raw value turns into the text (or state) its control shows.
enum class ValueForm {
  kScale,       // the display kind's text (FormatValue); kind 0 shows the slider position
  kBandType,    // band type drop-down: item value % 10 of PEQ, LSEQ, HSEQ
  kPeqQ,        // field 3 of a band: the Q box shows it while the band type is 0
  kShelfQ,      // field 4 of a band: the Q box shows it while the band type is not 0
  kRadio,       // radio group: the button whose position equals the value
  kList,        // drop-down list: item value % 10
  kPair,        // two exclusive buttons: the second for any value but 0
  kPhase,       // phase button: "+" for 1, "-" otherwise
  kSwitch,      // two-state button (mute, EQ bypass): pressed for 1; eq_bypass tells them apart
  kModeNumber,  // the box's current mode, counted from 0, shown counted from 1
};

struct ParameterInfo {
  int block = 0;
  int index = 0;
  int page = 0;           // editor page 0..7
  std::string name;       // object name of the control that holds the value
  std::string secondary;  // the other button of a pair or radio pair; empty for none
  std::string label;      // readable English name
  int kind = 0;           // display kind (the value control's Hint)
  int max = 0;            // the control allows raw values 0..max
  ValueForm form = ValueForm::kScale;
  std::vector<std::string> choices;  // captions of radio, list and pair choices, by position
  int band = -1;                     // EQ band counted from 0, -1 for none
  int field = -1;                    // field 0..4 of the band, -1 for none
  bool eq_bypass = false;            // the EQ bypass button of its block (a kSwitch)
};

// Every bound parameter, block by block (0, 1, 3..9), in index order.
const std::vector<ParameterInfo>& ParameterTable();

// The entry of (block, index); block 2 answers with block 1's entry. nullptr when unbound.
const ParameterInfo* FindParameter(int block, int index);
// The entry whose control has this object name, nullptr for none. A Q box names field 3.
const ParameterInfo* FindParameterByName(std::string_view name);

// The five fields of an EQ band, in index order.
inline constexpr int kBandTypeField = 0;
inline constexpr int kBandFrequencyField = 1;
inline constexpr int kBandGainField = 2;
inline constexpr int kBandPeqQField = 3;
inline constexpr int kBandShelfQField = 4;
inline constexpr int kBandFieldCount = 5;

// The identifier of a field of band 0.. of a block with bands; -1 for none.
int BandFieldId(int block, int band, int field);

// Name prefix of the EQ band controls of page 0..6 ("Mus" for MusFreEdit1, "Echo" on the Effect
// page); empty outside.
std::string_view BandPrefix(int page);

// Names of the pages 0..7 ("Music", "Microphone", "Effect", "Main output", "Centre",
// "Subwoofer", "Rear", "System"); empty outside.
std::string_view PageName(int page);

// Text of a pressed and a released two-state button.
inline constexpr std::string_view kSwitchOn = "ON";
inline constexpr std::string_view kSwitchOff = "OFF";
// Text of a radio group or list with no choice shown.
inline constexpr std::string_view kNoChoice = "(none)";

// The text a parameter's control shows for raw value `value`: a slider's pane the position the
// slider takes (its range limits the value), an edit box the stored value as it is, a phase
// button "+" or "-", a drop-down, radio group or pair the caption of the choice in force, a
// two-state button kSwitchOn or kSwitchOff. The editor's pages and DisplayText both read it.
std::string ControlText(const ParameterInfo& info, int32_t value);

// The text the editor shows for raw value `value` of a parameter, as karaoke-ctl prints it. For
// a Q field `band_type` is the type of its band: the field the band's type does not put in force
// is not shown by the editor, and its text comes in square brackets ("[0.71]").
std::string DisplayText(const ParameterInfo& info, int32_t value, int32_t band_type = 0);

// The value a control shows and the graph draws for raw value `value`: a value outside the
// parameter's raw range (a damaged image or a file from elsewhere) is taken as the nearest value
// inside it, after the last-digit rule of drop-downs. Buttons, whose texts are defined for every
// value, get the value unchanged.
int32_t ValueInRange(const ParameterInfo& info, int32_t value);
// True when the band type puts this Q field in force (field 3 for type 0, field 4 otherwise);
// true for every parameter that is not a Q field.
bool ShownForBandType(const ParameterInfo& info, int32_t band_type);

}  // namespace kc
