#include "cli/mode_output.h"

#include <cstdio>

#include "model/mode_compare.h"

namespace kc::cli {
namespace {

std::string EscapeTabs(std::string text) {
  for (char& c : text) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

std::string Page(const std::string& tab, const std::string& english) { return tab + " " + english; }

}  // namespace

std::string PageText(const ViewRow& row) { return Page(row.tab, row.page); }

std::string NameText(const ViewRow& row) {
  switch (row.info->form) {
    case ValueForm::kPeqQ:
      return row.info->name + " (Q)";
    case ValueForm::kShelfQ:
      return row.info->name + " (shelf Q)";
    default:
      return row.info->name;
  }
}

std::string ValueText(const ViewRow& row, const ParameterStore& store) {
  if (RowInForce(row, store)) return RowText(row, store);
  // The value as the Q box would show it under a band type that uses it, and the type in force.
  const int32_t type_using_it = row.info->form == ValueForm::kShelfQ ? 1 : 0;
  std::string text = DisplayText(*row.info, RowValue(row, store), type_using_it);
  const ParameterInfo* type = FindParameter(row.info->block, row.info->index - row.info->field);
  if (type == nullptr) return text + " (not in force)";
  return text + " (not in force: " + DisplayText(*type, store.Device(row.row, row.type_slot)) +
         " band)";
}

std::string SlotPageText(int block) { return Page(BlockTabCaption(block), BlockPageName(block)); }

std::string SlotNameText(int block, int slot) {
  return "slot " + std::to_string(block) + "." + std::to_string(slot);
}

std::vector<Difference> Diff(const ParameterStore& a, const ParameterStore& b, bool with_system,
                             int last_slot_offset) {
  const ModeComparison comparison = CompareModes(a, b, with_system, last_slot_offset);
  std::vector<Difference> out;
  out.reserve(comparison.rows.size() + comparison.unshown.size());
  for (const ViewRow* row : comparison.rows) {
    out.push_back({PageText(*row), NameText(*row), ValueText(*row, a), ValueText(*row, b)});
  }
  for (const SlotDifference& d : comparison.unshown) {
    out.push_back({SlotPageText(d.block), SlotNameText(d.block, d.slot), std::to_string(d.a),
                   std::to_string(d.b)});
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
    out += PageText(row) + '\t' + NameText(row) + '\t' + std::to_string(RowValue(row, store)) +
           '\t' + EscapeTabs(ValueText(row, store)) + '\n';
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
    // The control's name alone: a program reading this tells the two Q fields by their label.
    out += "    {\"page\": " + JsonString(row.tab) + ", \"page_english\": " + JsonString(row.page) +
           ", \"name\": " + JsonString(row.info->name) +
           ", \"label\": " + JsonString(row.info->label) +
           ", \"block\": " + std::to_string(row.row) +
           ", \"index\": " + std::to_string(row.info->index) +
           ", \"slot\": " + std::to_string(row.slot) +
           ", \"raw\": " + std::to_string(RowValue(row, store)) +
           ", \"text\": " + JsonString(ValueText(row, store)) + "}";
  }
  return out + "\n  ]\n}\n";
}

}  // namespace kc::cli
