// File names as bytes through karaoke-ctl's strings, and files that appear only when complete.
#include "cli/local_files.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace kc::cli {
namespace {

namespace fs = std::filesystem;

TEST(FileNames, EveryByteSequenceComesBackUnchanged) {
  struct Case {
    const char* what;
    std::string bytes;
    // Whether the name is text Qt shows as it is (no escaped byte in it).
    bool plain_text;
  };
  const std::vector<Case> cases = {
      {"ASCII", "/tmp/room1.Nddt", true},
      {"UTF-8 Chinese", "/tmp/\xE5\x8C\x85\xE5\x8E\xA2.Nddt", true},
      {"four-byte UTF-8", "\xF0\x9F\x8E\xA4", true},
      {"GBK", "/tmp/\xB0\xFC\xCF\xE1/4B3107E5.Nddt", false},
      {"a UTF-8 sequence cut short", "a\xE5\x8C", false},
      {"an overlong slash", "\xC0\xAF", false},
      {"an encoded surrogate", "\xED\xA0\x80", false},
      {"a lone continuation byte", "\x80x", false},
  };
  for (const Case& c : cases) {
    const QString name = NameFromBytes(c.bytes);
    EXPECT_EQ(BytesOfName(name), c.bytes) << c.what;
    EXPECT_EQ(name == QString::fromUtf8(c.bytes.data(), static_cast<qsizetype>(c.bytes.size())),
              c.plain_text)
        << c.what;
  }
}

TEST(FileProblem, NamesWhatStopsAPathBeingReadAsAFile) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string folder = dir.path().toStdString();
  std::ofstream(folder + "/mode.Nddt") << "x";
  struct Case {
    std::string path;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {folder + "/mode.Nddt", ""},
      {folder + "/none.Nddt", "no such file"},
      {folder, "is a folder, not a file"},
      {"/dev/null", "is not a regular file"},
  };
  for (const Case& c : cases) EXPECT_EQ(FileProblem(c.path), c.expected) << c.path;
}

TEST(WholeFiles, AFailedWriteLeavesNoFileAndAnEarlierOneAsItWas) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const fs::path folder = dir.path().toStdString();
  std::string error;
  EXPECT_TRUE(WriteFileWhole((folder / "a.Nddt").string(), "first", &error)) << error;
  EXPECT_TRUE(WriteFileWhole((folder / "a.Nddt").string(), "second", &error)) << error;
  std::ifstream in(folder / "a.Nddt");
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, "second");
  EXPECT_FALSE(WriteFileWhole((folder / "missing" / "b.Nddt").string(), "x", &error));
  EXPECT_EQ(error, "No such file or directory");

  // A recording onto a device that takes no bytes (a full disk) fails at its end.
  StagedFile full;
  ASSERT_TRUE(full.Open("/dev/full", &error)) << error;
  full.stream() << std::string(1 << 17, 'x');
  EXPECT_FALSE(full.Commit(&error));
  EXPECT_EQ(error, "No space left on device") << "the system's reason of the first failed write";

  // One that succeeds appears only once committed.
  StagedFile staged;
  ASSERT_TRUE(staged.Open((folder / "line.txt").string(), &error)) << error;
  staged.stream() << "0.000 /dev/pts/1 TX FE BB\n";
  EXPECT_FALSE(fs::exists(folder / "line.txt"));
  EXPECT_TRUE(staged.Commit(&error)) << error;
  EXPECT_TRUE(fs::exists(folder / "line.txt"));
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  EXPECT_EQ(names.size(), 2u) << "no temporary file left behind";
}

}  // namespace
}  // namespace kc::cli
