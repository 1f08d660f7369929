#include "model/mode_view.h"

#include <algorithm>
#include <array>
#include <utility>

namespace kc {
namespace {

// Microphone group B has a tab of its own; the Disco set is marked as the scene strip names it.
constexpr std::string_view kMicrophoneBTab = "麦克风B";
constexpr std::string_view kDiscoMark = "（舞蹈）";

std::string PageOf(const ParameterInfo& info, int row, bool disco_set) {
  std::string page(PageName(info.page));
  if (info.block == 1) page += row == 2 ? " B" : " A";
  if (disco_set) page += " (Disco)";
  return page;
}

std::string TabOf(const ParameterInfo& info, int row, bool disco_set) {
  std::string tab(row == 2 ? kMicrophoneBTab : TabCaption(info.page));
  if (disco_set) tab += kDiscoMark;
  return tab;
}

std::vector<ViewRow> BuildRows(bool with_system) {
  std::vector<ViewRow> rows;
  const auto add = [&rows](const ParameterInfo& info, int row, int disco) {
    ViewRow view;
    view.info = &info;
    view.row = row;
    view.slot = DeviceSlot(info.block, info.index, disco);
    view.page = PageOf(info, row, disco == 1);
    view.tab = TabOf(info, row, disco == 1);
    if (info.form == ValueForm::kPeqQ || info.form == ValueForm::kShelfQ) {
      view.type_slot = DeviceSlot(info.block, info.index - info.field, disco);
    }
    rows.push_back(std::move(view));
  };
  const std::vector<ParameterInfo>& table = ParameterTable();
  for (int disco = 0; disco <= 1; ++disco) {
    for (const ParameterInfo& info : table) {
      if (info.block == kSystemBlock) continue;
      // Disco rows only where the Disco set has slots of its own.
      if (disco == 1 &&
          DeviceSlot(info.block, info.index, 1) == DeviceSlot(info.block, info.index, 0)) {
        continue;
      }
      add(info, info.block, disco);
    }
    // Microphone group B (block 2) through the controls of group A.
    if (disco == 0) {
      for (const ParameterInfo& info : table) {
        if (info.block == 1) add(info, 2, 0);
      }
    }
  }
  // Block order: Sing rows and Disco twins of a block together, then the next block.
  std::stable_sort(rows.begin(), rows.end(),
                   [](const ViewRow& a, const ViewRow& b) { return a.row < b.row; });
  if (with_system) {
    for (const ParameterInfo& info : table) {
      if (info.block == kSystemBlock) add(info, kSystemBlock, 0);
    }
  }
  return rows;
}

}  // namespace

const std::vector<ViewRow>& ViewRows(bool with_system) {
  static const std::vector<ViewRow> without = BuildRows(false);
  static const std::vector<ViewRow> with = BuildRows(true);
  return with_system ? with : without;
}

int32_t RowValue(const ViewRow& row, const ParameterStore& store) {
  return store.Device(row.row, row.slot);
}

std::string RowText(const ViewRow& row, const ParameterStore& store) {
  const int32_t band_type = row.type_slot >= 0 ? store.Device(row.row, row.type_slot) : 0;
  return DisplayText(*row.info, RowValue(row, store), band_type);
}

bool RowInForce(const ViewRow& row, const ParameterStore& store) {
  return row.type_slot < 0 || ShownForBandType(*row.info, store.Device(row.row, row.type_slot));
}

std::string BlockPageName(int block) {
  if (block == 2) return "Microphone B";
  std::string page(PageName(InfoOfBlock(block)->page));
  if (block == 1) page += " A";
  return page;
}

std::string BlockTabCaption(int block) {
  if (block == 2) return std::string(kMicrophoneBTab);
  return std::string(TabCaption(InfoOfBlock(block)->page));
}

std::string_view TabCaption(int page) {
  // Tabs and karaoke-ctl: "麦克风A", as group B has its own tab (sheet titles: kSheetCaptions).
  static constexpr std::array<std::string_view, kPageCount> kTabs = {
      "音乐", "麦克风A", "效果", "主输出", "中置", "超低音", "后置输出", "系统设定"};
  if (page < 0 || page >= static_cast<int>(kTabs.size())) return {};
  return kTabs[static_cast<size_t>(page)];
}

}  // namespace kc
