#include "modes/mode_library.h"

#include <algorithm>
#include <system_error>

namespace kc {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPatternCore = ".Nddt";

#if defined(_WIN32) || defined(__APPLE__)
constexpr bool kIgnoreCase = true;
#else
constexpr bool kIgnoreCase = false;
#endif

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameChar(char a, char b) { return kIgnoreCase ? Lower(a) == Lower(b) : a == b; }

std::string Utf8Name(const fs::path& path) {
  const std::u8string name = path.filename().u8string();
  return std::string(name.begin(), name.end());
}

}  // namespace

bool MatchesModePattern(std::string_view file_name) {
  return std::search(file_name.begin(), file_name.end(), kPatternCore.begin(), kPatternCore.end(),
                     SameChar) != file_name.end();
}

std::string ListedName(std::string_view file_name) {
  return std::string(file_name.substr(0, file_name.find('.')));
}

std::vector<LibraryEntry> ListModeLibrary(const fs::path& folder, std::string* error) {
  std::vector<LibraryEntry> entries;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) {
    if (error) *error = ec.message();
    return entries;
  }
  for (const fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) break;
    std::error_code type_ec;
    // A folder named like a mode file is not a mode file; anything else (a file, a link to
    // one) is listed, as a store could replace it.
    if (it->is_directory(type_ec)) continue;
    std::string file_name = Utf8Name(it->path());
    if (!MatchesModePattern(file_name)) continue;
    std::string name = ListedName(file_name);
    entries.push_back({std::move(file_name), std::move(name)});
  }
  if (ec && error) *error = ec.message();
  std::sort(entries.begin(), entries.end(),
            [](const LibraryEntry& a, const LibraryEntry& b) { return a.file_name < b.file_name; });
  return entries;
}

bool TargetExists(const fs::path& path) {
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(path, ec);
  if (status.type() == fs::file_type::not_found) return false;
  return true;  // found, or unknown: ask rather than replace unseen
}

}  // namespace kc
