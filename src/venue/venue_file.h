// Venue files: every room's box at one venue, written by hand as TOML, e.g.
//
//   name = "星光 KTV"                     # optional
//   backups = "backups"                   # optional: where `backup --venue` writes
//   keep = 10                             # optional: backups kept per room (at least 1)
//   [[room]]
//   name = "VIP 1"
//   port = "rfc2217://192.168.1.21:4001"
//   identity = "4B3107E5"                 # optional: the box expected in this room
//   baseline = "baselines/vip1.kbox"      # optional: the room's intended state
//   [[room]]
//   name = "大厅"
//   port = "/dev/ttyUSB0"
//
// Two rooms on one port are an error (two looks at one line take each other's answers), unless
// both say `shared = true`: one box serves both, and it is looked at once for them.
//
// Messages name the place as SOURCE:LINE:COLUMN, both 1-based; a column counts characters, not
// bytes, so that it matches what an editor shows on a line holding Chinese. This header needs the
// standard library only; the TOML parser stays inside venue_file.cpp.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kc {

struct VenueRoom {
  std::string name;      // as written (UTF-8), never empty
  std::string port;      // a local port or a network address, checked with ParsePortAddress
  std::string identity;  // 8 hexadecimal digits in upper case, or empty when not given
  int line = 0;          // where the room's [[room]] header stands (1-based), for messages
  bool shared = false;   // `shared = true`: the room shares its box (and port) with others
  // `baseline = "FILE"`: the room's intended state, a box backup (.kbox) or a mode file (.Nddt),
  // as written (a relative path is the venue file's folder's); empty when not given.
  std::string baseline;
};

// Backups kept per room when the venue does not say `keep = N`.
inline constexpr int kDefaultKeep = 10;

struct Venue {
  std::string name;              // empty when not given
  std::vector<VenueRoom> rooms;  // in file order; may be empty
  // `backups = "DIR"` as written (a relative path is the venue file's folder's); empty when not
  // given, which means "backups" beside the venue file.
  std::string backups;
  int keep = kDefaultKeep;  // `keep = N`: the newest N backups of each room stay, N >= 1
  std::vector<std::string>
      warnings;  // "FILE:LINE:COLUMN: unknown key 'x' (ignored)", in file order
};

// Parses a venue file's text; `source` names it in messages. nullopt with *error set on an error:
// "SOURCE:LINE:COLUMN: what is wrong" (1-based line and column of the offending key, table or
// value). Of several errors the one that stands first in the text is reported. A wrong or empty
// value is pointed at; a missing name or port points at its room's header.
std::optional<Venue> ParseVenue(std::string_view text, const std::string& source,
                                std::string* error);

// Reads and parses the file at `path` (bytes as given). A file that cannot be read is an error
// too: "PATH: cannot read: <reason>" (no line/column). Files over 1 MiB are refused
// ("PATH: too large (over 1 MiB)").
std::optional<Venue> ReadVenueFile(const std::string& path, std::string* error);

// The rooms named, in the order named; a name given twice yields its room once, where first named.
// No names select no rooms. nullopt with *error = "no room 'X' in SOURCE" for the first unknown
// name.
std::optional<std::vector<VenueRoom>> SelectRooms(const Venue& venue,
                                                  const std::vector<std::string>& names,
                                                  const std::string& source, std::string* error);

// A room's name made safe for a file name: every character a file name cannot hold on the systems
// installers use (/ \ : * ? " < > | and control characters below 0x20, and 0x7F) becomes '_'; a
// name that is empty, "." or ".." becomes "_"; leading and trailing spaces and dots become '_' too;
// UTF-8 (Chinese) stays as it is.
std::string SafeFileName(const std::string& name);

// The file holding a room's intended state: its `baseline` taken from the folder of the venue file
// at `venue_path`, or baselines/SAFE.kbox there (SAFE = SafeFileName of the room's name).
std::filesystem::path RoomBaselinePath(const std::string& venue_path, const VenueRoom& room);

// The folder a room's backups go to: the venue's `backups` folder (taken from the venue file's
// folder; "backups" there by default), and in it one folder per room, SafeFileName of its name.
std::filesystem::path RoomBackupFolder(const std::string& venue_path, const Venue& venue,
                                       const VenueRoom& room);

}  // namespace kc
