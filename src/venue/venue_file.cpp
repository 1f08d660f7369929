#include "venue/venue_file.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <system_error>
#include <utility>

#include "link/port_address.h"

namespace kc {

namespace {

// A venue of a few hundred rooms is a few tens of KB; anything past this is not a venue file, and
// reading it whole would only waste memory.
constexpr std::size_t kMaxVenueFileBytes = std::size_t{1} << 20;

// A message tied to a place in the text, as toml++ counts it (1-based, columns in characters).
struct Note {
  toml::source_position at;
  std::string text;
};

bool Before(const Note& a, const Note& b) {
  return a.at.line != b.at.line ? a.at.line < b.at.line : a.at.column < b.at.column;
}

std::string Located(const std::string& source, const toml::source_position& at,
                    std::string_view text) {
  return source + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) + ": " +
         std::string(text);
}

// Everything wrong and everything ignored, gathered while the whole file is walked: toml++ keeps
// a table's keys sorted, not in file order, so the order is restored from the places at the end.
struct Notes {
  std::vector<Note> errors;
  std::vector<Note> warnings;

  void Error(const toml::node& at, std::string text) {
    errors.push_back({at.source().begin, std::move(text)});
  }
  void Unknown(const toml::key& key) {
    warnings.push_back(
        {key.source().begin, "unknown key '" + std::string(key.str()) + "' (ignored)"});
  }
};

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
  if (text.size() < tail.size()) return false;
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  for (std::size_t i = 0; i < tail.size(); ++i) {
    if (lower(text[text.size() - tail.size() + i]) != lower(tail[i])) return false;
  }
  return true;
}

// A baseline is read by its extension: a name with nothing before it is no file.
bool IsBaselineName(std::string_view name) {
  const std::string_view file = name.substr(name.find_last_of("/\\") + 1);
  return file.size() > 5 && (EndsWithNoCase(file, ".kbox") || EndsWithNoCase(file, ".nddt"));
}

// The folder of the venue file: relative paths in it are taken from there.
std::filesystem::path VenueFolder(const std::string& venue_path) {
  std::filesystem::path folder = std::filesystem::path(venue_path).parent_path();
  return folder.empty() ? std::filesystem::path(".") : folder;
}

// One room's table. The room comes back with whatever was good in it (its name at least, when
// that was good, so that a later room of the same name is still caught); the rest is in `notes`.
VenueRoom ReadRoom(const toml::table& table, Notes& notes) {
  VenueRoom room;
  room.line = static_cast<int>(table.source().begin.line);
  std::string label = "room";  // how the messages below name the room

  const toml::node* name = table.get("name");
  if (name == nullptr) {
    notes.Error(table, "room without a name");
  } else if (const auto* text = name->as_string(); text == nullptr) {
    notes.Error(*name, "room name is not a string");
  } else if (text->get().empty()) {
    notes.Error(*name, "room with an empty name");
  } else {
    room.name = text->get();
    label = "room '" + room.name + "'";
  }

  const toml::node* port = table.get("port");
  if (port == nullptr) {
    notes.Error(table, label + " without a port");
  } else if (const auto* text = port->as_string(); text == nullptr) {
    notes.Error(*port, label + ": port is not a string");
  } else if (text->get().empty()) {
    notes.Error(*port, label + " with an empty port");
  } else {
    PortAddress address;
    std::string reason;
    if (ParsePortAddress(text->get(), &address, &reason)) {
      room.port = text->get();
    } else {
      notes.Error(*port, label + ": port '" + text->get() + "' is not a port: " + reason);
    }
  }

  if (const toml::node* identity = table.get("identity"); identity != nullptr) {
    const auto* text = identity->as_string();
    if (text == nullptr) {
      notes.Error(*identity, label + ": identity is not a string");
    } else if (const std::string& digits = text->get();
               digits.size() != 8 || !std::all_of(digits.begin(), digits.end(), IsHexDigit)) {
      notes.Error(*identity, label + ": identity '" + digits + "' is not 8 hexadecimal digits");
    } else {
      // The box reports its identity in upper case; a hand-written lower-case one is the same box.
      room.identity = digits;
      for (char& c : room.identity) {
        if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
      }
    }
  }

  if (const toml::node* shared = table.get("shared"); shared != nullptr) {
    if (const auto* flag = shared->as_boolean(); flag != nullptr) {
      room.shared = flag->get();
    } else {
      notes.Error(*shared, label + ": shared is not true or false");
    }
  }

  if (const toml::node* baseline = table.get("baseline"); baseline != nullptr) {
    const auto* text = baseline->as_string();
    if (text == nullptr) {
      notes.Error(*baseline, label + ": baseline is not a string");
    } else if (!IsBaselineName(text->get())) {
      notes.Error(*baseline, label + ": baseline '" + text->get() +
                                 "' is neither a box backup (.kbox) nor a mode file (.Nddt)");
    } else {
      room.baseline = text->get();
    }
  }

  for (const auto& [key, value] : table) {
    if (key != "name" && key != "port" && key != "identity" && key != "shared" &&
        key != "baseline") {
      notes.Unknown(key);
    }
  }
  return room;
}

// `room` is meant to be written as [[room]] tables; an inline array of inline tables is the same
// thing to TOML and is read alike.
void ReadRooms(const toml::node& node, Notes& notes, std::vector<VenueRoom>& rooms) {
  static constexpr std::string_view kNotRooms =
      "'room' is not an array of tables (write each room as [[room]])";
  const toml::array* array = node.as_array();
  if (array == nullptr) {
    notes.Error(node, std::string(kNotRooms));
    return;
  }
  std::map<std::string, int, std::less<>> first_line;
  // The first room on each port (by server and port for a network one): a second room
  // there would look at the same line, and two looks at one box at once take each other's
  // answers. Rooms that share a box on purpose say so, each of them.
  struct FirstOnPort {
    std::string name;
    bool shared;
  };
  std::map<std::string, FirstOnPort, std::less<>> first_on_port;
  for (const toml::node& element : *array) {
    const toml::table* table = element.as_table();
    if (table == nullptr) {
      notes.Error(element, std::string(kNotRooms));
      continue;
    }
    VenueRoom room = ReadRoom(*table, notes);
    if (!room.name.empty()) {
      const auto [first, added] = first_line.emplace(room.name, room.line);
      if (!added) {
        notes.Error(*table->get("name"), "second room named '" + room.name + "' (first at line " +
                                             std::to_string(first->second) + ")");
      }
    }
    if (!room.port.empty()) {
      PortAddress address;
      ParsePortAddress(room.port, &address, nullptr);
      // tcp:// and rfc2217:// to one server port reach the same line.
      const std::string text = PortAddressText(address);
      const std::string key =
          address.kind == PortKind::kDevice ? room.port : text.substr(text.find("://"));
      const auto [first, added] = first_on_port.emplace(key, FirstOnPort{room.name, room.shared});
      if (!added && !(room.shared && first->second.shared)) {
        notes.Error(*table->get("port"),
                    "rooms '" + first->second.name + "' and '" + room.name +
                        "' are both on port '" + room.port +
                        "' (one box cannot serve two rooms; if they share it, write shared = "
                        "true in both)");
      }
    }
    rooms.push_back(std::move(room));
  }
}

std::string PlatformError(int error_number, std::string_view fallback) {
  // errno values are generic codes; the system category would read them as the platform's own.
  if (error_number != 0) return std::generic_category().message(error_number);
  return std::string(fallback);
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

enum class ReadOutcome { kOk, kFailed, kTooLarge };

// Reads no more than one byte past the limit, so that a file too large (or a device that never
// ends) is told apart without being read whole.
ReadOutcome ReadLimited(const std::string& path, std::string* text, std::string* reason) {
  if (path.find('\0') != std::string::npos) {  // no file has such a name; fopen would cut it
    *reason = std::generic_category().message(EINVAL);
    return ReadOutcome::kFailed;
  }
  errno = 0;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (file == nullptr) {
    *reason = PlatformError(errno, "the file cannot be opened");
    return ReadOutcome::kFailed;
  }
  char buffer[1 << 16];
  while (text->size() <= kMaxVenueFileBytes) {
    errno = 0;
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
    text->append(buffer, got);
    if (got == sizeof buffer) continue;
    if (std::ferror(file.get())) {  // a folder opens but does not read
      *reason = PlatformError(errno, "the file could not be read to its end");
      return ReadOutcome::kFailed;
    }
    break;
  }
  return text->size() > kMaxVenueFileBytes ? ReadOutcome::kTooLarge : ReadOutcome::kOk;
}

}  // namespace

std::optional<Venue> ParseVenue(std::string_view text, const std::string& source,
                                std::string* error) {
  toml::table root;
  try {
    root = toml::parse(text);
  } catch (const toml::parse_error& failure) {
    if (error) {
      *error = Located(source, failure.source().begin,
                       "not TOML: " + std::string(failure.description()));
    }
    return std::nullopt;
  }

  Venue venue;
  Notes notes;
  for (const auto& [key, node] : root) {
    if (key == "name") {
      if (const auto* name = node.as_string()) {
        venue.name = name->get();
      } else {
        notes.Error(node, "venue name is not a string");
      }
    } else if (key == "room") {
      ReadRooms(node, notes, venue.rooms);
    } else if (key == "backups") {
      if (const auto* folder = node.as_string(); folder == nullptr) {
        notes.Error(node, "backups is not a string");
      } else if (folder->get().empty()) {
        notes.Error(node, "backups is empty (leave it out for the default, backups)");
      } else {
        venue.backups = folder->get();
      }
    } else if (key == "keep") {
      if (const auto* count = node.as_integer(); count == nullptr || count->get() < 1) {
        notes.Error(node, "keep is not a whole number of at least 1");
      } else {
        venue.keep = static_cast<int>(std::min<int64_t>(count->get(), 1000000));
      }
    } else {
      notes.Unknown(key);
    }
  }

  if (!notes.errors.empty()) {
    // Of equal places the first found wins: a room without a name says so before missing a port.
    const Note& first = *std::min_element(notes.errors.begin(), notes.errors.end(), Before);
    if (error) *error = Located(source, first.at, first.text);
    return std::nullopt;
  }
  std::stable_sort(notes.warnings.begin(), notes.warnings.end(), Before);
  for (const Note& warning : notes.warnings) {
    venue.warnings.push_back(Located(source, warning.at, warning.text));
  }
  return venue;
}

std::optional<Venue> ReadVenueFile(const std::string& path, std::string* error) {
  std::string text;
  std::string reason;
  switch (ReadLimited(path, &text, &reason)) {
    case ReadOutcome::kFailed:
      if (error) *error = path + ": cannot read: " + reason;
      return std::nullopt;
    case ReadOutcome::kTooLarge:
      if (error) *error = path + ": too large (over 1 MiB)";
      return std::nullopt;
    case ReadOutcome::kOk:
      break;
  }
  return ParseVenue(text, path, error);
}

std::optional<std::vector<VenueRoom>> SelectRooms(const Venue& venue,
                                                  const std::vector<std::string>& names,
                                                  const std::string& source, std::string* error) {
  std::vector<VenueRoom> selected;
  for (const std::string& name : names) {
    const auto named = [&name](const VenueRoom& room) { return room.name == name; };
    const auto room = std::find_if(venue.rooms.begin(), venue.rooms.end(), named);
    if (room == venue.rooms.end()) {
      if (error) *error = "no room '" + name + "' in " + source;
      return std::nullopt;
    }
    // One box is reached over one port at a time; naming its room twice must not open it twice.
    if (std::none_of(selected.begin(), selected.end(), named)) selected.push_back(*room);
  }
  return selected;
}

std::string SafeFileName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return "_";
  static constexpr std::string_view kRefused = "/\\:*?\"<>|";
  std::string safe = name;
  for (char& c : safe) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || kRefused.find(c) != std::string_view::npos) c = '_';
  }
  // Windows drops trailing spaces and dots from a name, and a leading dot hides a file elsewhere.
  for (std::size_t i = 0; i < safe.size() && (safe[i] == ' ' || safe[i] == '.'); ++i) safe[i] = '_';
  for (std::size_t i = safe.size(); i > 0 && (safe[i - 1] == ' ' || safe[i - 1] == '.'); --i) {
    safe[i - 1] = '_';
  }
  return safe;
}

std::filesystem::path RoomBaselinePath(const std::string& venue_path, const VenueRoom& room) {
  const std::filesystem::path folder = VenueFolder(venue_path);
  if (!room.baseline.empty()) return folder / std::filesystem::path(room.baseline);
  return folder / "baselines" / std::filesystem::path(SafeFileName(room.name) + ".kbox");
}

std::filesystem::path RoomBackupFolder(const std::string& venue_path, const Venue& venue,
                                       const VenueRoom& room) {
  const std::filesystem::path folder = VenueFolder(venue_path);
  const std::filesystem::path backups = venue.backups.empty()
                                            ? std::filesystem::path("backups")
                                            : std::filesystem::path(venue.backups);
  return folder / backups / std::filesystem::path(SafeFileName(room.name));
}

}  // namespace kc
