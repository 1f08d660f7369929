// Box backups: everything of one box that a user sets, kept on the PC as a readable, diffable
// TOML text with the extension ".kbox". Unlike a mode file (blocks 0 to 8 only) it holds the
// System page's settings, the fifteen mode names and the current mode number too. Passwords and
// the administrator switch are never stored, and a restore never sends them.
//
//   format = 1
//   program = "1.0.8"
//   date = "2026-12-10T21:04:05+08:00"
//   venue = "星光 KTV"                   # when known
//   room = "VIP 1"                       # when known
//   identity = "4B3107E5"
//   current_mode = 3                     # 0..14
//   mode_names = ["Mode 1", ...]         # fifteen
//   [system]                             # the user's system items by their index, in hex
//   "03" = 12
//   ...
//   [blocks]                             # the device image, one array per block 0..8
//   "0" = [ ... ]
//
// This header needs the standard library only; the TOML parser stays inside box_backup.cpp.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "model/parameter_ids.h"
#include "model/parameter_store.h"

namespace kc {

inline constexpr std::string_view kBoxBackupExtension = ".kbox";
inline constexpr int kBoxBackupFormat = 1;

struct BoxBackup {
  std::string program_version;
  std::string date;      // ISO 8601 with the UTC offset
  std::string venue;     // empty when not known
  std::string room;      // empty when not known
  std::string identity;  // 8 upper-case hexadecimal digits
  int current_mode = 0;  // 0..14
  std::array<std::string, kModeCount> mode_names;
  // The user's system items (kUserSystemItems) by index.
  std::map<int, int32_t> system_items;
  // Blocks 0..8 of the device image; a file lists each block's device slots (InfoOfBlock), the
  // slots past them are 0.
  std::array<ParameterStore::Row, kAudioBlocks> blocks{};
};

// The file's text.
std::string WriteBoxBackup(const BoxBackup& backup);
// Reads a file's text; `source` names it in messages. nullopt with *error set ("SOURCE:LINE:
// COLUMN: what is wrong", or "SOURCE: what is missing") for a damaged file: a format other than
// kBoxBackupFormat, a missing or misspelt key, a value outside its parameter's range, a block of
// the wrong length, a system item that is not the user's.
std::optional<BoxBackup> ParseBoxBackup(std::string_view text, const std::string& source,
                                        std::string* error);
// True when the path's extension is ".kbox" (any case).
bool IsBoxBackupPath(std::string_view path);

}  // namespace kc
