#include "modes/box_backup.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <utility>
#include <vector>

#include "link/box_image.h"
#include "model/mode_view.h"
#include "model/parameter_table.h"

namespace kc {

namespace {

// Values per line of a block's array: short enough to read, and a changed value shows as one
// changed line in a diff.
constexpr int kValuesPerLine = 16;

std::string Hex2(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02X", value);
  return text;
}

// A TOML basic string: quotes, backslashes and control characters escaped, UTF-8 kept.
std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", byte);
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

bool IsUserSystemItem(int index) {
  return std::find(kUserSystemItems.begin(), kUserSystemItems.end(), index) !=
         kUserSystemItems.end();
}

// The largest raw value of each slot of blocks 0..8 that a control shows; slots no control shows
// take any value a frame carries.
int32_t SlotMax(int block, int slot) {
  static const std::map<std::pair<int, int>, int32_t> maxima = [] {
    std::map<std::pair<int, int>, int32_t> table;
    for (const ViewRow& row : ViewRows(false)) table[{row.row, row.slot}] = row.info->max;
    return table;
  }();
  const auto found = maxima.find({block, slot});
  return found == maxima.end() ? 0xFFFF : found->second;
}

std::string SlotLabel(int block, int slot) {
  for (const ViewRow& row : ViewRows(false)) {
    if (row.row == block && row.slot == slot) return row.page + ": " + row.info->label;
  }
  return BlockPageName(block) + ": slot " + std::to_string(slot);
}

struct Problems {
  explicit Problems(const std::string& source) : source(source) {}

  const std::string& source;
  int count = 0;  // problems found so far, of any place
  // The first problem found in the text's order, with its place; the walk below goes in file
  // order where toml++ allows and keeps the earliest place otherwise.
  std::optional<toml::source_position> at;
  std::string text;
  bool missing = false;  // a problem with no place (a key that is not there)

  void Error(const toml::source_region& where, std::string what) {
    const toml::source_position& begin = where.begin;
    ++count;
    if (at && (at->line < begin.line || (at->line == begin.line && at->column <= begin.column)))
      return;
    at = begin;
    text = std::move(what);
  }
  void Error(const toml::node& node, std::string what) { Error(node.source(), std::move(what)); }
  void Missing(std::string what) {
    ++count;
    if (!missing && !at) {
      missing = true;
      text = std::move(what);
    }
  }
  bool Any() const { return at.has_value() || missing; }
  std::string Message() const {
    if (at) {
      return source + ":" + std::to_string(at->line) + ":" + std::to_string(at->column) + ": " +
             text;
    }
    return source + ": " + text;
  }
};

std::optional<int64_t> Integer(const toml::node& node, Problems& problems, const std::string& key,
                               int64_t min, int64_t max) {
  const auto* value = node.as_integer();
  if (value == nullptr) {
    problems.Error(node, key + " is not a whole number");
    return std::nullopt;
  }
  if (value->get() < min || value->get() > max) {
    problems.Error(node, key + " " + std::to_string(value->get()) + " is outside " +
                             std::to_string(min) + ".." + std::to_string(max));
    return std::nullopt;
  }
  return value->get();
}

const std::string* Text(const toml::node& node, Problems& problems, const std::string& key) {
  const auto* value = node.as_string();
  if (value == nullptr) {
    problems.Error(node, key + " is not a string");
    return nullptr;
  }
  return &value->get();
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

void ReadModeNames(const toml::node& node, Problems& problems, BoxBackup& backup) {
  const toml::array* names = node.as_array();
  if (names == nullptr || names->size() != kModeCount) {
    problems.Error(node, "mode_names is not a list of " + std::to_string(kModeCount) + " names");
    return;
  }
  for (int i = 0; i < kModeCount; ++i) {
    const toml::node& element = *names->get(static_cast<std::size_t>(i));
    const std::string key = "mode name " + std::to_string(i + 1);
    const std::string* name = Text(element, problems, key);
    if (name == nullptr) continue;
    // The box keeps at most 20 characters, each sent as its code less 32.
    const bool printable = std::all_of(name->begin(), name->end(), [](char c) {
      return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) <= 0x7F;
    });
    if (!printable || name->size() > static_cast<std::size_t>(kModeNameMaxLength)) {
      problems.Error(element, key + " is not at most " + std::to_string(kModeNameMaxLength) +
                                  " printable ASCII characters");
      continue;
    }
    backup.mode_names[static_cast<std::size_t>(i)] = *name;
  }
}

void ReadSystem(const toml::node& node, Problems& problems, BoxBackup& backup) {
  const toml::table* table = node.as_table();
  if (table == nullptr) {
    problems.Error(node, "system is not a table");
    return;
  }
  const int before = problems.count;
  for (const auto& [key, value] : *table) {
    const std::string name(key.str());
    int index = -1;
    if (name.size() == 2 && IsHexDigit(name[0]) && IsHexDigit(name[1])) {
      index = std::stoi(name, nullptr, 16);
    }
    if (!IsUserSystemItem(index)) {
      problems.Error(key.source(), "system item '" + name + "' is not one a user sets");
      continue;
    }
    const ParameterInfo* info = FindParameter(kSystemBlock, index);
    const int64_t max = info != nullptr ? info->max : 0xFFFF;
    const std::string label =
        "system item " + Hex2(index) + (info != nullptr ? " (" + info->label + ")" : "");
    if (const auto read = Integer(value, problems, label, 0, max)) {
      backup.system_items[index] = static_cast<int32_t>(*read);
    }
  }
  // A misspelt item is said as such, not as the item it was meant to be missing.
  for (const int index : kUserSystemItems) {
    if (problems.count == before && !table->contains(Hex2(index))) {
      problems.Error(node, "system item " + Hex2(index) + " is missing");
    }
  }
}

void ReadBlocks(const toml::node& node, Problems& problems, BoxBackup& backup) {
  const toml::table* table = node.as_table();
  if (table == nullptr) {
    problems.Error(node, "blocks is not a table");
    return;
  }
  const int before = problems.count;
  for (const auto& [key, value] : *table) {
    const std::string name(key.str());
    const bool digit = name.size() == 1 && name[0] >= '0' && name[0] < '0' + kAudioBlocks;
    if (!digit) {
      problems.Error(key.source(),
                     "block '" + name + "' is not one of 0.." + std::to_string(kAudioBlocks - 1));
      continue;
    }
    const int block = name[0] - '0';
    const int slots = InfoOfBlock(block)->device_slots;
    const toml::array* array = value.as_array();
    if (array == nullptr || array->size() != static_cast<std::size_t>(slots)) {
      problems.Error(value,
                     "block " + name + " is not a list of " + std::to_string(slots) + " values");
      continue;
    }
    for (int slot = 0; slot < slots; ++slot) {
      const toml::node& element = *array->get(static_cast<std::size_t>(slot));
      const std::string label =
          "block " + name + " slot " + std::to_string(slot) + " (" + SlotLabel(block, slot) + ")";
      if (const auto read = Integer(element, problems, label, 0, SlotMax(block, slot))) {
        backup.blocks[static_cast<std::size_t>(block)][static_cast<std::size_t>(slot)] =
            static_cast<int32_t>(*read);
      }
    }
  }
  for (int block = 0; block < kAudioBlocks; ++block) {
    if (problems.count == before && !table->contains(std::to_string(block))) {
      problems.Error(node, "block " + std::to_string(block) + " is missing");
    }
  }
}

}  // namespace

std::string WriteBoxBackup(const BoxBackup& backup) {
  std::string out;
  out += "# Box backup: the mode names, the current mode, the System page's settings and the\n";
  out += "# device image of blocks 0 to 8. Passwords are not kept.\n";
  out += "format = " + std::to_string(kBoxBackupFormat) + "\n";
  out += "program = " + Quoted(backup.program_version) + "\n";
  out += "date = " + Quoted(backup.date) + "\n";
  if (!backup.venue.empty()) out += "venue = " + Quoted(backup.venue) + "\n";
  if (!backup.room.empty()) out += "room = " + Quoted(backup.room) + "\n";
  out += "identity = " + Quoted(backup.identity) + "\n";
  out += "current_mode = " + std::to_string(backup.current_mode) + "  # mode " +
         std::to_string(backup.current_mode + 1) + " on the System page\n";
  out += "mode_names = [\n";
  for (const std::string& name : backup.mode_names) out += "  " + Quoted(name) + ",\n";
  out += "]\n\n[system]\n";
  for (const int index : kUserSystemItems) {
    const auto found = backup.system_items.find(index);
    out += "\"" + Hex2(index) +
           "\" = " + std::to_string(found == backup.system_items.end() ? 0 : found->second);
    if (const ParameterInfo* info = FindParameter(kSystemBlock, index)) {
      out += "  # " + info->label;
    }
    out += "\n";
  }
  out += "\n[blocks]\n";
  for (int block = 0; block < kAudioBlocks; ++block) {
    const int slots = InfoOfBlock(block)->device_slots;
    out += "# " + BlockPageName(block) + "\n\"" + std::to_string(block) + "\" = [";
    for (int slot = 0; slot < slots; ++slot) {
      if (slot % kValuesPerLine == 0) out += "\n ";
      out += " " +
             std::to_string(
                 backup.blocks[static_cast<std::size_t>(block)][static_cast<std::size_t>(slot)]) +
             ",";
    }
    out += "\n]\n";
  }
  return out;
}

std::optional<BoxBackup> ParseBoxBackup(std::string_view text, const std::string& source,
                                        std::string* error) {
  toml::table root;
  try {
    root = toml::parse(text);
  } catch (const toml::parse_error& failure) {
    if (error) {
      const toml::source_position& at = failure.source().begin;
      *error = source + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) +
               ": not TOML: " + std::string(failure.description());
    }
    return std::nullopt;
  }

  Problems problems(source);
  BoxBackup backup;
  // The format decides how the rest is read: a file of another format is not read further.
  const toml::node* format = root.get("format");
  if (format == nullptr) {
    if (error) *error = source + ": no 'format' (not a box backup)";
    return std::nullopt;
  }
  if (const auto* number = format->as_integer();
      number == nullptr || number->get() != kBoxBackupFormat) {
    if (error) {
      problems.Error(*format, "format is not " + std::to_string(kBoxBackupFormat) +
                                  " (written by another version of this program?)");
      *error = problems.Message();
    }
    return std::nullopt;
  }

  for (const auto& [key, node] : root) {
    if (key == "format") continue;
    if (key == "program") {
      if (const std::string* value = Text(node, problems, "program")) {
        backup.program_version = *value;
      }
    } else if (key == "date") {
      if (const std::string* value = Text(node, problems, "date")) backup.date = *value;
    } else if (key == "venue") {
      if (const std::string* value = Text(node, problems, "venue")) backup.venue = *value;
    } else if (key == "room") {
      if (const std::string* value = Text(node, problems, "room")) backup.room = *value;
    } else if (key == "identity") {
      if (const std::string* value = Text(node, problems, "identity")) {
        if (value->size() != 8 || !std::all_of(value->begin(), value->end(), IsHexDigit)) {
          problems.Error(node, "identity '" + *value + "' is not 8 hexadecimal digits");
        } else {
          backup.identity = *value;
          for (char& c : backup.identity) {
            if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
          }
        }
      }
    } else if (key == "current_mode") {
      if (const auto value = Integer(node, problems, "current_mode", 0, kModeCount - 1)) {
        backup.current_mode = static_cast<int>(*value);
      }
    } else if (key == "mode_names") {
      ReadModeNames(node, problems, backup);
    } else if (key == "system") {
      ReadSystem(node, problems, backup);
    } else if (key == "blocks") {
      ReadBlocks(node, problems, backup);
    } else {
      problems.Error(key.source(), "unknown key '" + std::string(key.str()) + "'");
    }
  }
  for (const char* required :
       {"program", "date", "identity", "current_mode", "mode_names", "system", "blocks"}) {
    if (!root.contains(required)) problems.Missing("no '" + std::string(required) + "'");
  }
  if (problems.Any()) {
    if (error) *error = problems.Message();
    return std::nullopt;
  }
  return backup;
}

bool IsBoxBackupPath(std::string_view path) {
  if (path.size() < kBoxBackupExtension.size()) return false;
  const std::string_view tail = path.substr(path.size() - kBoxBackupExtension.size());
  return std::equal(tail.begin(), tail.end(), kBoxBackupExtension.begin(),
                    kBoxBackupExtension.end(), [](char a, char b) {
                      const auto lower = [](char c) {
                        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
                      };
                      return lower(a) == lower(b);
                    });
}

}  // namespace kc
