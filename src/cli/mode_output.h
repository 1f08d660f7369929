// What karaoke-ctl prints about a mode: the rows of show (tab-separated or JSON) and the
// differences of diff and of a restore's verification. Standard library only.
//
// Pages are named as the editor's tabs name them, with the English name beside
// ("音乐（舞蹈） Music (Disco)"). A band's Q box holds two fields, the Q of a PEQ band and the Q
// of a shelf: their rows are named "MusQEdit3 (Q)" and "MusQEdit3 (shelf Q)", and the one the
// band's type does not use says so ("1.00 (not in force: LSEQ band)"). Slots no control shows
// are named "slot BLOCK.SLOT".
#pragma once

#include <string>
#include <vector>

#include "cli/output_format.h"
#include "model/mode_view.h"
#include "model/parameter_store.h"

namespace kc::cli {

// A row's page, name and the text of its value as karaoke-ctl prints them.
std::string PageText(const ViewRow& row);
std::string NameText(const ViewRow& row);
std::string ValueText(const ViewRow& row, const ParameterStore& store);
// The page and name of a slot of blocks 0..8 that no control shows.
std::string SlotPageText(int block);
std::string SlotNameText(int block, int slot);

struct Difference {
  std::string page;
  std::string name;
  std::string a;
  std::string b;
  // The parameter as show --json names it (page, page_english, name, label, block, index, slot)
  // and the two raw values.
  JsonObject where;
  int32_t a_raw = 0;
  int32_t b_raw = 0;
};

// The comparison of two device images (CompareModes) as texts: parameter rows first, then the
// other slots as raw numbers.
std::vector<Difference> Diff(const ParameterStore& a, const ParameterStore& b, bool with_system,
                             int last_slot_offset = 1);

// "page<TAB>name<TAB>A<TAB>B" lines.
std::string FormatDifferences(const std::vector<Difference>& differences);
// A JSON document naming the two sides, with each difference's parameter as show --json names
// it, its raw values and texts.
std::string FormatDifferencesJson(const std::vector<Difference>& differences,
                                  const std::string& a_source, const std::string& b_source);

// "page<TAB>name<TAB>raw<TAB>text" lines, or a JSON document with the same facts per parameter.
// Without `with_access_level` the system rows leave out the user/administrator switch (a box
// backup does not keep it).
std::string FormatShow(const ParameterStore& store, bool with_system,
                       bool with_access_level = true);
std::string FormatShowJson(const ParameterStore& store, bool with_system, const std::string& source,
                           bool with_access_level = true);

// The column names of the tab-separated output, for --header.
inline constexpr char kShowHeader[] = "page\tparameter\traw\ttext\n";
inline constexpr char kDiffHeader[] = "page\tparameter\tA\tB\n";
inline constexpr char kRestoreHeader[] = "port\tpage\tparameter\tfile\tbox\n";
// What diff prints when the two sides hold the same values.
inline constexpr char kNoDifferences[] = "no differences\n";

}  // namespace kc::cli
