#include "model/mode_view.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <utility>

namespace kc {
namespace {

constexpr int kModeBlocks = 9;

std::string PageOf(const ParameterInfo& info, int row, bool disco_set) {
  std::string page(PageName(info.page));
  if (info.block == 1) page += row == 2 ? " B" : " A";
  if (disco_set) page += " (Disco)";
  return page;
}

std::vector<ViewRow> BuildRows(bool with_system) {
  std::vector<ViewRow> rows;
  const auto add = [&rows](const ParameterInfo& info, int row, int disco) {
    ViewRow view;
    view.info = &info;
    view.row = row;
    view.slot = DeviceSlot(info.block, info.index, disco);
    view.page = PageOf(info, row, disco == 1);
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

std::string EscapeTabs(std::string text) {
  for (char& c : text) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return text;
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

std::vector<Difference> Diff(const ParameterStore& a, const ParameterStore& b, bool with_system,
                             int last_slot_offset) {
  std::vector<Difference> out;
  std::set<std::pair<int, int>> covered;
  for (const ViewRow& row : ViewRows(with_system)) {
    covered.insert({row.row, row.slot});
    const bool raw_differs = RowValue(row, a) != RowValue(row, b);
    const std::string text_a = RowText(row, a);
    const std::string text_b = RowText(row, b);
    // A Q field whose band type changed reads differently although its value did not.
    if (raw_differs || text_a != text_b) out.push_back({row.page, row.info->name, text_a, text_b});
  }
  for (int block = 0; block < kModeBlocks; ++block) {
    const int last = InfoOfBlock(block)->device_slots - 1 + last_slot_offset;
    for (int slot = 0; slot <= last && slot < kDeviceColumns; ++slot) {
      if (covered.count({block, slot}) != 0) continue;
      if (a.Device(block, slot) == b.Device(block, slot)) continue;
      std::string page =
          block == 2 ? "Microphone B" : std::string(PageName(InfoOfBlock(block)->page));
      if (block == 1) page += " A";
      out.push_back({page, "slot " + std::to_string(block) + "." + std::to_string(slot),
                     std::to_string(a.Device(block, slot)), std::to_string(b.Device(block, slot))});
    }
  }
  return out;
}

std::string FormatDifferences(const std::vector<Difference>& differences) {
  std::string out;
  for (const Difference& d : differences) {
    out +=
        EscapeTabs(d.page) + '\t' + d.name + '\t' + EscapeTabs(d.a) + '\t' + EscapeTabs(d.b) + '\n';
  }
  return out;
}

std::string FormatShow(const ParameterStore& store, bool with_system) {
  std::string out;
  for (const ViewRow& row : ViewRows(with_system)) {
    out += row.page + '\t' + row.info->name + '\t' + std::to_string(RowValue(row, store)) + '\t' +
           EscapeTabs(RowText(row, store)) + '\n';
  }
  return out;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
      out += escaped;
    } else {
      out += c;  // UTF-8 passes as it is
    }
  }
  return out + "\"";
}

std::string FormatShowJson(const ParameterStore& store, bool with_system,
                           const std::string& source) {
  std::string out = "{\n  \"source\": " + JsonString(source) + ",\n  \"parameters\": [";
  bool first = true;
  for (const ViewRow& row : ViewRows(with_system)) {
    out += first ? "\n" : ",\n";
    first = false;
    out += "    {\"page\": " + JsonString(row.page) + ", \"name\": " + JsonString(row.info->name) +
           ", \"label\": " + JsonString(row.info->label) +
           ", \"block\": " + std::to_string(row.row) +
           ", \"index\": " + std::to_string(row.info->index) +
           ", \"slot\": " + std::to_string(row.slot) +
           ", \"raw\": " + std::to_string(RowValue(row, store)) +
           ", \"text\": " + JsonString(RowText(row, store)) + "}";
  }
  return out + "\n  ]\n}\n";
}

}  // namespace kc
