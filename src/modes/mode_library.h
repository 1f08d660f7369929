// The PC mode library: the mode files of the library folder as the library grid lists them, and
// whether storing under a name would replace a file that is already there.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kc {

// One listed mode file.
struct LibraryEntry {
  std::string file_name;  // the whole file name, UTF-8
  std::string name;       // what the grid shows: the file name up to its first "."
};

// True for a file name that the library pattern "*.Nddt*" matches: ".Nddt" anywhere in it. On
// Windows and macOS, whose file systems ignore letter case, the match ignores it too.
bool MatchesModePattern(std::string_view file_name);

// The name a file is listed under: the file name up to (not including) its first ".". So
// "Rock.old.Nddt" is listed as "Rock" and ".Nddt" with an empty name.
std::string ListedName(std::string_view file_name);

// Every file of the folder that matches the pattern, in name order (byte order of the UTF-8 file
// names). Folders are left out. There is no upper bound on the number of files. A missing or
// unreadable folder lists nothing; `error` then gets the platform's message.
std::vector<LibraryEntry> ListModeLibrary(const std::filesystem::path& folder,
                                          std::string* error = nullptr);

// True when something already exists at `path`, as the file system itself decides: on a file
// system that ignores letter case "rock.Nddt" is found when "Rock.Nddt" is asked for. A broken
// symbolic link counts as existing (a store would replace it), and so does a path whose state
// cannot be read, so that a store asks before it might replace something.
bool TargetExists(const std::filesystem::path& path);

}  // namespace kc
