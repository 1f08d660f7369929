#include "modes/mode_library.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace kc {
namespace {

namespace fs = std::filesystem;

class LibraryFolder {
 public:
  LibraryFolder() {
    std::string pattern = (fs::temp_directory_path() / "kc-library-XXXXXX").string();
    const char* made = mkdtemp(pattern.data());
    if (made == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = made;
  }
  ~LibraryFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }
  void Touch(const std::string& file_name) const {
    std::ofstream(path_ / fs::path(std::u8string(file_name.begin(), file_name.end()))) << "x";
  }

 private:
  fs::path path_;
};

#if defined(_WIN32) || defined(__APPLE__)
constexpr bool kCaseBlind = true;
#else
constexpr bool kCaseBlind = false;
#endif

TEST(ModeLibraryTest, PatternAndListedName) {
  struct Case {
    const char* file_name;
    bool matches;
    const char* listed;
  };
  const Case cases[] = {
      {"Rock.Nddt", true, "Rock"},
      {"Rock.old.Nddt", true, "Rock"},  // listed up to the first dot
      {".Nddt", true, ""},              // the file an empty name stores
      {"Rock.Nddt.bak", true, "Rock"},  // "*.Nddt*" allows anything after the extension
      {"Pop.Nddtx", true, "Pop"},
      {"Rock.nddt", kCaseBlind, "Rock"},
      {"RockNddt", false, "RockNddt"},
      {"Rock.Ndd", false, "Rock"},
      {"~mode-save.tmp", false, "~mode-save"},
      {"中文模式.Nddt", true, "中文模式"},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchesModePattern(c.file_name), c.matches) << c.file_name;
    EXPECT_EQ(ListedName(c.file_name), c.listed) << c.file_name;
  }
}

TEST(ModeLibraryTest, ListsMatchingFilesInNameOrder) {
  LibraryFolder folder;
  for (const char* name : {"Zeta.Nddt", "Alpha.Nddt", "Rock.old.Nddt", ".Nddt", "Rock.Nddt",
                           "notes.txt", "~mode-save.tmp", "B.Nddt.bak"}) {
    folder.Touch(name);
  }
  fs::create_directory(folder.path() / "Folder.Nddt");

  std::string error;
  const std::vector<LibraryEntry> entries = ListModeLibrary(folder.path(), &error);
  EXPECT_TRUE(error.empty()) << error;
  std::vector<std::string> files, names;
  for (const LibraryEntry& e : entries) {
    files.push_back(e.file_name);
    names.push_back(e.name);
  }
  EXPECT_EQ(files, (std::vector<std::string>{".Nddt", "Alpha.Nddt", "B.Nddt.bak", "Rock.Nddt",
                                             "Rock.old.Nddt", "Zeta.Nddt"}));
  EXPECT_EQ(names, (std::vector<std::string>{"", "Alpha", "B", "Rock", "Rock", "Zeta"}));
}

TEST(ModeLibraryTest, ListsEveryFileWithoutAFixedBound) {
  LibraryFolder folder;
  constexpr int kFiles = 450;
  for (int i = 0; i < kFiles; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "m%04d.Nddt", i);
    folder.Touch(name);
  }
  const std::vector<LibraryEntry> entries = ListModeLibrary(folder.path());
  ASSERT_EQ(entries.size(), static_cast<std::size_t>(kFiles));
  EXPECT_EQ(entries.front().name, "m0000");
  EXPECT_EQ(entries[201].name, "m0201");
  EXPECT_EQ(entries.back().name, "m0449");
}

TEST(ModeLibraryTest, MissingFolderListsNothingAndSaysWhy) {
  LibraryFolder folder;
  std::string error;
  EXPECT_TRUE(ListModeLibrary(folder.path() / "absent", &error).empty());
  EXPECT_FALSE(error.empty());
}

TEST(ModeLibraryTest, TargetExistsAsTheFileSystemSeesIt) {
  LibraryFolder folder;
  folder.Touch("Rock.Nddt");
  fs::create_symlink(folder.path() / "gone.Nddt", folder.path() / "Dangling.Nddt");
  struct Case {
    const char* file_name;
    bool exists;
  };
  const Case cases[] = {
      {"Rock.Nddt", true},       {"Live.Nddt", false},
      {"Dangling.Nddt", true},  // a store would replace the link
      {"ROCK.Nddt", kCaseBlind}, {"Rock.old.Nddt", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TargetExists(folder.path() / c.file_name), c.exists) << c.file_name;
  }
  // A name inside a folder that does not exist names nothing.
  EXPECT_FALSE(TargetExists(folder.path() / "absent" / "Rock.Nddt"));
}

}  // namespace
}  // namespace kc
