#include "model/parameter_table.h"

#include <algorithm>
#include <array>

#include "model/parameter_store.h"
#include "model/value_scales.h"

namespace kc {
namespace {

using Choices = std::vector<std::string>;

// One bound index outside the EQ bands.
struct Row {
  int index;
  const char* name;
  const char* label;
  ValueForm form;
  int kind = 0;
  int max = 1;
  Choices choices = {};
  const char* secondary = "";
};

// Label of the EQ bypass button every block with an EQ has; the entry is marked eq_bypass.
constexpr char kEqBypassLabel[] = "EQ bypass";

constexpr ValueForm kScale = ValueForm::kScale;
constexpr ValueForm kPhase = ValueForm::kPhase;
constexpr ValueForm kSwitch = ValueForm::kSwitch;

const Choices kFilterTypes = {"Besell 24dB", "Butterworth 24dB", "Link Riley 24dB", "USER 12dB",
                              "USER 24dB"};

std::vector<Row> MusicRows() {
  return {
      {0, "AutoModeBtn", "Auto/Manual", ValueForm::kPair, 0, 1, {"自动", "手动"}, "ManulModeBtn"},
      {1, "DiscoModeBtn", "Sing/Disco", ValueForm::kPair, 0, 1, {"唱歌", "舞蹈"}, "SingModeBtn"},
      {3, "MusEQAllpassBtn", kEqBypassLabel, kSwitch},
  };
}

std::vector<Row> MicrophoneRows() {
  return {
      {0, "MicHPFreBar", "high-pass", kScale, kKindHighPass, kMaxHighPassStep},
      {1,
       "MicFBERadioBtn1",
       "feedback suppression",
       ValueForm::kRadio,
       0,
       3,
       {"OFF", "1", "2", "3"}},
      {3, "MicEQAllpassBtn", kEqBypassLabel, kSwitch},
  };
}

std::vector<Row> EchoRows() {
  return {
      {0, "EchoEffPhaseBtn", "echo effect phase", kPhase},
      {1, "EchoEffLevelBar", "echo effect level", kScale, kKindPercent, 100},
      {2, "EchoDirectPhaseBtn", "echo direct phase", kPhase},
      {3, "EchoDirectLevelBar", "echo direct level", kScale, kKindPercent, 100},
      {4, "EchoHPFreBar", "echo high-pass", kScale, kKindEffectHighPass, kMaxEffectHighPassStep},
      {5, "EchoLPFreBar", "echo low-pass", kScale, kKindLowPass, kLowPassOffStep},
      {6, "EchoPreDelayBar", "echo pre-delay", kScale, kKindDelay2ms, 125},
      {7, "EchoTimeBar", "echo delay", kScale, kKindDelay2ms, 250},
      {8, "EchoRepeatBar", "echo repeat", kScale, kKindPercent, 90},
      {9, "EchoRTimeBar", "echo right delay", kScale, kKindRightDelay, 100},
      {10, "EchoRPreDelayBar", "echo right pre-delay", kScale, kKindPercent, 50},
      {12, "EchoEQAllpassBtn", kEqBypassLabel, kSwitch},
  };
}

std::vector<Row> ReverbRows() {
  return {
      {0, "RvbEffPhaseBtn", "reverb effect phase", kPhase},
      {1, "RvbEffLevelBar", "reverb effect level", kScale, kKindPercent, 100},
      {2, "RvbDirectPhaseBtn", "reverb direct phase", kPhase},
      {3, "RvbDirectLevelBar", "reverb direct level", kScale, kKindPercent, 100},
      {4, "RvbTimeBar", "reverb time", kScale, kKindReverbTime, 80},
      {5, "RvbPreDelayBar", "reverb pre-delay", kScale, kKindDelay2ms, 100},
      {6, "RvbHPFreBar", "reverb high-pass", kScale, kKindEffectHighPass, kMaxEffectHighPassStep},
      {7, "RvbLPFreBar", "reverb low-pass", kScale, kKindLowPass, kLowPassOffStep},
  };
}

// Main output, Centre and Rear are named alike; the index in each, -1 where it has no such one.
struct OutputRow {
  const char* name;  // after the prefix Main, Center or Sur
  const char* label;
  std::array<int, 3> index;  // Main (5), Centre (7), Rear (8)
  ValueForm form;
  int kind = 0;
  int max = 1;
  Choices choices = {};
  const char* secondary = "";  // after the prefix
};

std::vector<OutputRow> OutputRows() {
  return {
      {"MusLevelBar", "music level", {0, 0, 0}, kScale, kKindOutputLevel, 100},
      {"MusPhaseBtn", "music phase", {2, 2, 2}, kPhase},
      {"MicLevelBar", "microphone level", {4, 4, 4}, kScale, kKindOutputLevel, 100},
      {"MicPhaseBtn", "microphone phase", {6, 6, 6}, kPhase},
      {"EchoLevelBar", "echo level", {8, 8, 8}, kScale, kKindOutputLevel, 100},
      {"EchoPhaseBtn", "echo phase", {10, 10, 10}, kPhase},
      {"RvbLevelBar", "reverb level", {12, 12, 12}, kScale, kKindOutputLevel, 100},
      {"RvbPhaseBtn", "reverb phase", {14, 14, 14}, kPhase},
      {"MusHPFreBar", "music high-pass", {16, 16, 16}, kScale, kKindHighPass, kMaxHighPassStep},
      {"MusHPslope",
       "high-pass slope",
       {18, 18, -1},
       ValueForm::kRadio,
       0,
       1,
       {"12dB", "24dB"},
       "MusHPslope2"},
      {"RmsAttackBar", "compressor attack", {20, 20, 18}, kScale, kKindAttack, 15},
      {"RmsReleaseBar", "compressor release", {21, 21, 19}, kScale, kKindRelease, 7},
      {"RmsLevelBar", "compressor threshold", {22, 22, 20}, kScale, kKindThreshold, 34},
      {"RmsRatioBar", "compressor ratio", {23, 23, 21}, kScale, kKindRatio, 40},
      {"LdelayBar", "left delay", {24, -1, 22}, kScale, kKindDelayTenthMs, 500},
      {"RdelayBar", "right delay", {25, -1, 23}, kScale, kKindDelayTenthMs, 500},
      {"delayBar", "delay", {-1, 24, -1}, kScale, kKindDelayTenthMs, 500},
      {"LmuteBtn", "left mute", {26, -1, 24}, kSwitch},
      {"RmuteBtn", "right mute", {27, -1, 25}, kSwitch},
      {"muteBtn", "mute", {-1, 25, -1}, kSwitch},
      {"EQAllpassBtn", kEqBypassLabel, {29, 27, 27}, kSwitch},
  };
}

std::vector<Row> SubwooferRows() {
  return {
      {0, "SubMusLevelBar", "music level", kScale, kKindOutputLevel, 200},
      {2, "SubMusPhaseBtn", "music phase", kPhase},
      {4, "SubMicLevelBar", "microphone level", kScale, kKindOutputLevel, 200},
      {6, "SubMicPhaseBtn", "microphone phase", kPhase},
      {8, "SubMusHPType", "high-pass type", ValueForm::kList, 0, 4, kFilterTypes},
      {10, "SubMusHPFreBar", "high-pass frequency", kScale, kKindHighPass, kMaxHighPassStep},
      {12, "SubMusHPuserQBar", "high-pass user Q", kScale, kKindUserQ, 23},
      {14, "SubMusLPType", "low-pass type", ValueForm::kList, 0, 4, kFilterTypes},
      {16, "SubMusLPFreBar", "low-pass frequency", kScale, kKindHighPass, kMaxHighPassStep},
      {18, "SubMusLPuserQBar", "low-pass user Q", kScale, kKindUserQ, 23},
      {20, "SubRmsAttackBar", "compressor attack", kScale, kKindAttack, 15},
      {21, "SubRmsReleaseBar", "compressor release", kScale, kKindRelease, 7},
      {22, "SubRmsLevelBar", "compressor threshold", kScale, kKindThreshold, 34},
      {23, "SubRmsRatioBar", "compressor ratio", kScale, kKindRatio, 40},
      {24, "SubdelayBar", "delay", kScale, kKindDelayTenthMs, 500},
      {25, "SubmuteBtn", "mute", kSwitch},
      {27, "SubEQAllpassBtn", kEqBypassLabel, kSwitch},
  };
}

std::vector<Row> SystemRows() {
  constexpr int kVolumeMax = 84;
  return {
      {2, "SysModeBox", "current mode", ValueForm::kModeNumber, 0, 14},
      {3,
       "SysMusInputLevelBox",
       "music input level",
       ValueForm::kList,
       0,
       2,
       {"0dB", "3dB", "6dB"}},
      {6, "SysMusStartVolBar", "music start volume", kScale, kKindNone, kVolumeMax},
      {7, "SysMusMaxVolBar", "music maximum volume", kScale, kKindNone, kVolumeMax},
      {8, "SysMicStartVolBar", "microphone start volume", kScale, kKindNone, kVolumeMax},
      {9, "SysMicMaxVolBar", "microphone maximum volume", kScale, kKindNone, kVolumeMax},
      {10, "SysEffStartVolBar", "effect start volume", kScale, kKindNone, kVolumeMax},
      {11, "SysEffMaxVolBar", "effect maximum volume", kScale, kKindNone, kVolumeMax},
      {12,
       "SysUserBtn",
       "user/administrator",
       ValueForm::kRadio,
       0,
       1,
       {"用户", "管理员"},
       "SysManagerBtn"},
      {13,
       "SysPanelBtn1",
       "automatic key lock",
       ValueForm::kRadio,
       0,
       1,
       {"禁用", "开启"},
       "SysPanelBtn2"},
      {14, "SysInput", "input select", ValueForm::kRadio, 0, 1, {"1", "2"}, "SysInput2"},
      {32, "SysMusNormalVolBar", "music volume", kScale, kKindNone, kVolumeMax},
      {33, "SysMicNormalVolBar", "microphone volume", kScale, kKindNone, kVolumeMax},
      {34, "SysEffNormalVolBar", "effect volume", kScale, kKindNone, kVolumeMax},
  };
}

// Name prefix of the EQ band controls of each page with bands.
constexpr std::array<std::string_view, 7> kBandPrefix = {"Mus",    "Mic", "Echo", "Main",
                                                         "Center", "Sub", "Sur"};

ParameterInfo FromRow(int block, const Row& row) {
  ParameterInfo info;
  info.block = block;
  info.index = row.index;
  info.page = InfoOfBlock(block)->page;
  info.name = row.name;
  info.secondary = row.secondary;
  info.label = row.label;
  info.kind = row.kind;
  info.max = row.max;
  info.form = row.form;
  info.choices = row.choices;
  info.eq_bypass = row.form == kSwitch && std::string_view(row.label) == kEqBypassLabel;
  return info;
}

void AddBands(int block, std::vector<ParameterInfo>& table) {
  const BlockInfo* block_info = InfoOfBlock(block);
  const std::string prefix(kBandPrefix[block_info->page]);
  struct Field {
    const char* role;
    const char* label;
    ValueForm form;
    int kind;
    int max;
  };
  static const Field kFields[5] = {
      {"ModeBox", "type", ValueForm::kBandType, kKindBandType, 2},
      {"FreEdit", "frequency", kScale, kKindFrequency, kMaxFrequencyStep},
      {"GainEdit", "gain", kScale, kKindGain, kMaxGainStep},
      {"QEdit", "Q (PEQ)", ValueForm::kPeqQ, kKindQ, kMaxPeqQStep},
      {"QEdit", "Q (shelf)", ValueForm::kShelfQ, kKindQ, kMaxShelfQStep},
  };
  for (int band = 0; band < block_info->eq_bands; ++band) {
    for (int field = 0; field < 5; ++field) {
      const Field& f = kFields[field];
      ParameterInfo info;
      info.block = block;
      info.index = block_info->first_eq + 5 * band + field;
      info.page = block_info->page;
      info.name = prefix + f.role + std::to_string(band + 1);
      info.label = "band " + std::to_string(band + 1) + " " + f.label;
      info.kind = f.kind;
      info.max = f.max;
      info.form = f.form;
      if (field == 0) info.choices = {"PEQ", "LSEQ", "HSEQ"};
      info.band = band;
      info.field = field;
      table.push_back(std::move(info));
    }
  }
}

std::vector<ParameterInfo> BuildTable() {
  std::vector<ParameterInfo> table;
  const auto add_rows = [&table](int block, const std::vector<Row>& rows) {
    for (const Row& row : rows) table.push_back(FromRow(block, row));
  };
  add_rows(0, MusicRows());
  AddBands(0, table);
  add_rows(1, MicrophoneRows());
  AddBands(1, table);
  add_rows(3, EchoRows());
  AddBands(3, table);
  add_rows(4, ReverbRows());
  constexpr std::array<int, 3> kOutputBlocks = {5, 7, 8};
  constexpr std::array<const char*, 3> kOutputPrefix = {"Main", "Center", "Sur"};
  for (int column = 0; column < 3; ++column) {
    const int block = kOutputBlocks[column];
    const std::string prefix = kOutputPrefix[column];
    for (const OutputRow& row : OutputRows()) {
      if (row.index[column] < 0) continue;
      ParameterInfo info;
      info.block = block;
      info.index = row.index[column];
      info.page = InfoOfBlock(block)->page;
      info.name = prefix + row.name;
      if (*row.secondary) info.secondary = prefix + row.secondary;
      info.label = row.label;
      info.kind = row.kind;
      info.max = row.max;
      info.form = row.form;
      info.choices = row.choices;
      info.eq_bypass = row.form == kSwitch && std::string_view(row.label) == kEqBypassLabel;
      table.push_back(std::move(info));
    }
    AddBands(block, table);
  }
  add_rows(6, SubwooferRows());
  AddBands(6, table);
  add_rows(9, SystemRows());
  // Block by block, in index order.
  std::stable_sort(table.begin(), table.end(), [](const ParameterInfo& a, const ParameterInfo& b) {
    return a.block != b.block ? a.block < b.block : a.index < b.index;
  });
  return table;
}

std::string Choice(const ParameterInfo& info, int32_t position) {
  if (position < 0 || position >= static_cast<int32_t>(info.choices.size())) {
    return std::string(kNoChoice);
  }
  return info.choices[static_cast<size_t>(position)];
}

}  // namespace

const std::vector<ParameterInfo>& ParameterTable() {
  static const std::vector<ParameterInfo> table = BuildTable();
  return table;
}

const ParameterInfo* FindParameter(int block, int index) {
  if (block == 2) block = 1;
  for (const ParameterInfo& info : ParameterTable()) {
    if (info.block == block && info.index == index) return &info;
  }
  return nullptr;
}

const ParameterInfo* FindParameterByName(std::string_view name) {
  for (const ParameterInfo& info : ParameterTable()) {
    if (info.name == name) return &info;
  }
  return nullptr;
}

int BandFieldId(int block, int band, int field) {
  const BlockInfo* info = InfoOfBlock(block);
  if (info == nullptr || band < 0 || band >= info->eq_bands || field < 0 ||
      field >= kBandFieldCount) {
    return -1;
  }
  return MakeId(block, info->first_eq + kBandFieldCount * band + field);
}

std::string_view BandPrefix(int page) {
  if (page < 0 || page >= static_cast<int>(kBandPrefix.size())) return {};
  return kBandPrefix[static_cast<size_t>(page)];
}

std::string_view PageName(int page) {
  static constexpr std::array<std::string_view, 8> kPages = {
      "Music", "Microphone", "Effect", "Main output", "Centre", "Subwoofer", "Rear", "System"};
  if (page < 0 || page >= static_cast<int>(kPages.size())) return {};
  return kPages[static_cast<size_t>(page)];
}

bool ShownForBandType(const ParameterInfo& info, int32_t band_type) {
  if (info.form == ValueForm::kPeqQ) return band_type == 0;
  if (info.form == ValueForm::kShelfQ) return band_type != 0;
  return true;
}

int32_t ValueInRange(const ParameterInfo& info, int32_t value) {
  switch (info.form) {
    case ValueForm::kPair:
    case ValueForm::kPhase:
    case ValueForm::kSwitch:
      return value;
    case ValueForm::kBandType:
    case ValueForm::kList:
      // A drop-down stands for the item of the value's last digit; a digit beyond the items
      // stands for the nearest item.
      return std::clamp<int32_t>(value % 10, 0, info.max);
    default:
      return std::clamp<int32_t>(value, 0, info.max);
  }
}

std::string ControlText(const ParameterInfo& info, int32_t value) {
  switch (info.form) {
    case ValueForm::kScale: {
      if (info.kind == kKindFrequency || info.kind == kKindGain) {
        // Edit boxes show the stored value as it is.
        return FormatValue(info.kind, value).value_or(std::string());
      }
      // A slider limits the value to its range, and its pane shows the position it took.
      const int position = std::clamp<int32_t>(value, 0, info.max);
      if (info.kind == kKindNone) return std::to_string(position);
      return FormatValue(info.kind, ClampToKind(info.kind, position)).value_or(std::string());
    }
    case ValueForm::kBandType:
    case ValueForm::kList:
      // A drop-down shows the item of the value's last digit; a value beyond the items shows
      // the nearest item.
      return Choice(info, ValueInRange(info, value));
    case ValueForm::kPeqQ:
    case ValueForm::kShelfQ:
      return FormatValue(kKindQ, value).value_or(std::string());
    case ValueForm::kRadio:
      return Choice(info, value);
    case ValueForm::kPair:
      return Choice(info, value != 0 ? 1 : 0);
    case ValueForm::kPhase:
      return value == 1 ? "+" : "-";
    case ValueForm::kSwitch:
      return std::string(value == 1 ? kSwitchOn : kSwitchOff);
    case ValueForm::kModeNumber:
      return std::to_string(static_cast<int64_t>(value) + 1);
  }
  return {};
}

std::string DisplayText(const ParameterInfo& info, int32_t value, int32_t band_type) {
  const std::string text = ControlText(info, value);
  return ShownForBandType(info, band_type) ? text : "[" + text + "]";
}

}  // namespace kc
