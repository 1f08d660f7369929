#include "cli/mode_output.h"

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

// How JSON names a parameter row. The control's name alone: a program reading this tells the
// two Q fields by their label.
JsonObject RowJson(const ViewRow& row) {
  JsonObject object;
  object.Text("page", row.tab)
      .Text("page_english", row.page)
      .Text("name", row.info->name)
      .Text("label", row.info->label)
      .Number("block", row.row)
      .Number("index", row.info->index)
      .Number("slot", row.slot);
  return object;
}

// A slot no control shows: no label and no parameter index.
JsonObject SlotJson(int block, int slot) {
  JsonObject object;
  object.Text("page", BlockTabCaption(block))
      .Text("page_english", BlockPageName(block))
      .Text("name", SlotNameText(block, slot))
      .Text("label", "")
      .Number("block", block)
      .Null("index")
      .Number("slot", slot);
  return object;
}

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
    out.push_back({PageText(*row), NameText(*row), ValueText(*row, a), ValueText(*row, b),
                   RowJson(*row), RowValue(*row, a), RowValue(*row, b)});
  }
  for (const SlotDifference& d : comparison.unshown) {
    out.push_back({SlotPageText(d.block), SlotNameText(d.block, d.slot), std::to_string(d.a),
                   std::to_string(d.b), SlotJson(d.block, d.slot), d.a, d.b});
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

std::string FormatDifferencesJson(const std::vector<Difference>& differences,
                                  const std::string& a_source, const std::string& b_source) {
  std::vector<JsonObject> items;
  for (const Difference& d : differences) {
    items.push_back(JsonObject(d.where)
                        .Number("a_raw", d.a_raw)
                        .Text("a_text", d.a)
                        .Number("b_raw", d.b_raw)
                        .Text("b_text", d.b));
  }
  return JsonDocument(JsonObject().Text("a", a_source).Text("b", b_source), "differences", items);
}

std::string FormatShow(const ParameterStore& store, bool with_system, bool with_access_level) {
  std::string out;
  for (const ViewRow& row : ViewRows(with_system)) {
    if (!with_access_level && row.info->block == kSystemBlock &&
        row.info->index == IndexOf(kAccessLevelId))
      continue;
    out += PageText(row) + '\t' + NameText(row) + '\t' + std::to_string(RowValue(row, store)) +
           '\t' + EscapeTabs(ValueText(row, store)) + '\n';
  }
  return out;
}

std::string FormatShowJson(const ParameterStore& store, bool with_system, const std::string& source,
                           bool with_access_level) {
  std::vector<JsonObject> items;
  for (const ViewRow& row : ViewRows(with_system)) {
    if (!with_access_level && row.info->block == kSystemBlock &&
        row.info->index == IndexOf(kAccessLevelId))
      continue;
    items.push_back(
        RowJson(row).Number("raw", RowValue(row, store)).Text("text", ValueText(row, store)));
  }
  return JsonDocument(JsonObject().Text("source", source), "parameters", items);
}

}  // namespace kc::cli
