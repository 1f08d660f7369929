#include "modes/mode_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "modes/scramble.h"

namespace kc {
namespace {

namespace fs = std::filesystem;

constexpr int kLines = 517;  // 2 header lines, 513 entries, count and checksum

// A folder of its own under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "kc-modes-XXXXXX").string();
    const char* made = mkdtemp(pattern.data());
    if (made == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = made;
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Distinct, partly negative values in every cell of every row, the system block included.
void FillStore(ParameterStore& store, int32_t seed) {
  for (int block = 0; block < kBlockCount; ++block) {
    for (int slot = 0; slot < kDeviceColumns; ++slot) {
      const int32_t value = (block * 1000 + slot * 7 + seed) * ((slot % 5 == 0) ? -1 : 1);
      store.SetDevice(block, slot, value);
    }
  }
}

std::array<ParameterStore::Row, kBlockCount> Snapshot(const ParameterStore& store) {
  std::array<ParameterStore::Row, kBlockCount> rows;
  for (int block = 0; block < kBlockCount; ++block) rows[block] = store.DeviceRow(block);
  return rows;
}

std::vector<std::string> PlainLines(const ParameterStore& store) {
  std::vector<std::string> plain;
  for (const std::string& line : BuildModeLines(store)) plain.push_back(*UnscrambleLine(line));
  return plain;
}

std::string Join(const std::vector<std::string>& stored) {
  std::string text;
  for (const std::string& line : stored) text += line + "\r\n";
  return text;
}

std::string ScrambledText(const std::vector<std::string>& plain) {
  std::vector<std::string> stored;
  for (const std::string& line : plain) stored.push_back(ScrambleLine(line));
  return Join(stored);
}

// The plain entry line that puts `value` into (block, slot) from line k.
std::string EntryLine(int k, int32_t id, int32_t value) {
  return std::to_string(id ^ k) + " " + std::to_string(value ^ k);
}

struct Recorder {
  std::vector<std::string> messages;
  std::vector<std::string> log;
  int uploads = 0;

  ModeHooks Hooks() {
    ModeHooks hooks;
    hooks.show_message = [this](const std::string& text) { messages.push_back(text); };
    hooks.clear_log = [this] { log.clear(); };
    hooks.append_log = [this](const std::string& line) { log.push_back(line); };
    hooks.start_upload = [this] { ++uploads; };
    return hooks;
  }
};

class ModeFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    library_ = dir_.path() / "Mode" / "QT415Mode";
    fs::create_directories(library_);
  }

  TempDir dir_;
  fs::path library_;
};

TEST(ModeChecksum, BringsTheSumToAMultipleOf256) {
  const std::pair<int32_t, int> cases[] = {
      {0, 0}, {1, 255}, {255, 1}, {256, 0}, {1000, 24}, {-1, -255}, {INT32_MAX, 1},
  };
  for (const auto& [sum, checksum] : cases) EXPECT_EQ(ModeChecksum(sum), checksum) << sum;
  EXPECT_EQ(ModeEntryCount(), 513);
}

TEST_F(ModeFileTest, SaveThenLoadGivesTheSameDeviceImage) {
  ParameterStore source;
  FillStore(source, 3);
  Recorder save_recorder;
  ModeFiles saver(library_, source, save_recorder.Hooks());
  ASSERT_EQ(saver.SaveModeFile("Rock"), ModeStatus::kOk);
  EXPECT_TRUE(save_recorder.messages.empty());
  EXPECT_EQ(saver.working_copy().size(), static_cast<size_t>(kLines));

  ParameterStore target;
  FillStore(target, 50);
  const auto before = Snapshot(target);
  Recorder recorder;
  ModeFiles loader(library_, target, recorder.Hooks());
  ASSERT_EQ(loader.LoadModeFile("Rock"), ModeStatus::kOk);
  EXPECT_TRUE(recorder.messages.empty());
  EXPECT_EQ(recorder.uploads, 1);
  ASSERT_EQ(recorder.log.size(), 513u);
  EXPECT_EQ(recorder.log[0], "0 " + std::to_string(source.Device(0, 0)));
  EXPECT_EQ(recorder.log[107], "256 " + std::to_string(source.Device(1, 0)));

  for (int block = 0; block < kBlockCount; ++block) {
    const int carried = block < 9 ? InfoOfBlock(block)->device_slots : -1;
    for (int slot = 0; slot < kDeviceColumns; ++slot) {
      const int32_t expected = slot <= carried ? source.Device(block, slot) : before[block][slot];
      ASSERT_EQ(target.Device(block, slot), expected) << block << "/" << slot;
    }
  }
  EXPECT_EQ(loader.working_copy().front(), "W4 141");
}

TEST_F(ModeFileTest, FileOnDiskHasCrLfEndsAndTheFramingLines) {
  ParameterStore store;
  FillStore(store, 1);
  for (int slot = 0; slot < kDeviceColumns; ++slot) store.SetDevice(0, slot, slot);  // S >= 0
  ModeFiles files(library_, store);
  ASSERT_EQ(files.SaveModeFile("Live"), ModeStatus::kOk);
  const std::string bytes = ReadBytes(library_ / "Live.Nddt");
  EXPECT_EQ(bytes, BuildModeText(store));

  size_t line_ends = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n') {
      ASSERT_GT(i, 0u);
      ASSERT_EQ(bytes[i - 1], '\r') << "bare LF at " << i;
      ++line_ends;
    } else if (bytes[i] != '\r') {
      ASSERT_TRUE((bytes[i] >= '0' && bytes[i] <= '9') || (bytes[i] >= 'A' && bytes[i] <= 'F'))
          << "byte " << i;
    }
  }
  EXPECT_EQ(line_ends, static_cast<size_t>(kLines));
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");

  const std::vector<std::string> plain = PlainLines(store);
  EXPECT_EQ(plain[1], "Tovak 61");
  EXPECT_EQ(plain[2], EntryLine(2, 0x0000, store.Device(0, 0)));
  EXPECT_EQ(plain[108], EntryLine(108, 0x006A, store.Device(0, 106)));  // the slot past the end
  EXPECT_EQ(plain[109], EntryLine(109, 0x0100, store.Device(1, 0)));
  EXPECT_EQ(plain[514], EntryLine(514, 0x0835, store.Device(8, 53)));
  EXPECT_EQ(plain[515], "Intoal: 515");
  int64_t sum = 0;
  for (int block = 0; block < 9; ++block) {
    for (int slot = 0; slot <= InfoOfBlock(block)->device_slots; ++slot) {
      sum += store.Device(block, slot);
    }
  }
  ASSERT_GE(sum, 0);
  const int checksum = std::stoi(plain[516].substr(7));
  EXPECT_EQ(plain[516].substr(0, 7), "CCCCK: ");
  EXPECT_EQ((sum + checksum) % 256, 0);
}

// Every damaged file is refused with one message, and not one of its values reaches the store;
// the check names why and the line it stopped at.
TEST_F(ModeFileTest, DamagedFilesLeaveTheStoreUntouched) {
  ParameterStore source;
  FillStore(source, 9);
  const std::vector<std::string> good = PlainLines(source);
  const std::string corrupt = "数据文件损坏!";
  const std::string format = "文件格式错误!";
  using Plain = std::vector<std::string>;
  using R = ModeFileCheck::Reason;

  struct Case {
    const char* what;
    std::function<std::string()> text;
    std::string message;
    R reason;
    int line;
  };
  const auto edited = [&good](std::function<void(Plain&)> edit) {
    return [&good, edit] {
      Plain plain = good;
      edit(plain);
      return ScrambledText(plain);
    };
  };
  const auto stored_edit = [&good](std::function<void(std::vector<std::string>&)> edit) {
    return [&good, edit] {
      std::vector<std::string> stored;
      for (const std::string& line : good) stored.push_back(ScrambleLine(line));
      edit(stored);
      return Join(stored);
    };
  };
  const Case cases[] = {
      {"changed header number", edited([](Plain& p) { p[0] = "W4 142"; }), format, R::kWrongDevice,
       0},
      {"header without number", edited([](Plain& p) { p[0] = "W4"; }), format, R::kWrongDevice, 0},
      {"second line not a number", edited([](Plain& p) { p[1] = "Tovak x"; }), format,
       R::kNoVersion, 1},
      {"non-hex in header", stored_edit([](auto& s) { s[0][1] = 'Z'; }), format, R::kNoHeader, 0},
      {"empty file", [] { return std::string(); }, format, R::kNoHeader, 0},
      {"one line", [&good] { return ScrambledText({good[0]}); }, format, R::kNoHeader, 1},
      {"three lines",
       [&good] {
         return ScrambledText({good[0], good[1], "Intoal: 2"});
       },
       corrupt, R::kTooShort, 3},
      {"changed count", edited([](Plain& p) { p[515] = "Intoal: 516"; }), corrupt, R::kWrongCount,
       515},
      {"count not a number", edited([](Plain& p) { p[515] = "Intoal: 5x5"; }), corrupt,
       R::kWrongCount, 515},
      {"changed checksum", edited([](Plain& p) {
         p[516] = "CCCCK: " + std::to_string(std::stoi(p[516].substr(7)) ^ 1);
       }),
       corrupt, R::kWrongChecksum, 516},
      {"checksum missing", edited([](Plain& p) { p[516] = "CCCCK:"; }), corrupt, R::kNoChecksum,
       516},
      // One line fewer or more: the count line, now one off its place, no longer names itself.
      {"entry removed", edited([](Plain& p) { p.erase(p.begin() + 40); }), corrupt, R::kWrongCount,
       514},
      {"entry added", edited([](Plain& p) { p.insert(p.begin() + 40, p[40]); }), corrupt,
       R::kWrongCount, 516},
      {"non-hex in last entry", stored_edit([](auto& s) { s[514][0] = 'g'; }), corrupt,
       R::kUnreadableLine, 514},
      {"entry missing its value", edited([](Plain& p) { p[514] = "3"; }), corrupt, R::kBadEntry,
       514},
      {"entry value not a number", edited([](Plain& p) { p[514] = "3 1.5"; }), corrupt,
       R::kBadEntry, 514},
      {"entry with two spaces", edited([](Plain& p) { p[514] = "3  4"; }), corrupt, R::kBadEntry,
       514},
      {"empty entry line", edited([](Plain& p) { p[300] = ""; }), corrupt, R::kBadEntry, 300},
      {"entry in the system block",
       edited([&](Plain& p) { p[514] = EntryLine(514, 0x0900, source.Device(8, 53)); }), corrupt,
       R::kNoSuchSlot, 514},
      {"entry past block 8",
       edited([&](Plain& p) { p[514] = EntryLine(514, 0x2A00, source.Device(8, 53)); }), corrupt,
       R::kNoSuchSlot, 514},
      {"entry past the row",
       edited([&](Plain& p) { p[514] = EntryLine(514, 0x0871, source.Device(8, 53)); }), corrupt,
       R::kNoSuchSlot, 514},
      {"entry with a negative identifier",
       edited([&](Plain& p) { p[514] = EntryLine(514, -5, source.Device(8, 53)); }), corrupt,
       R::kNoSuchSlot, 514},
  };

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string text = c.text();
    const ModeFileCheck check = CheckModeText(text);
    EXPECT_EQ(check.reason, c.reason);
    EXPECT_EQ(check.line, c.line);
    EXPECT_TRUE(check.entries.empty());
    WriteBytes(library_ / "Bad.Nddt", text);
    ParameterStore target;
    FillStore(target, 77);
    const auto before = Snapshot(target);
    Recorder recorder;
    ModeFiles files(library_, target, recorder.Hooks());
    EXPECT_NE(files.LoadModeFile("Bad"), ModeStatus::kOk);
    EXPECT_EQ(recorder.messages, std::vector<std::string>{c.message});
    EXPECT_EQ(recorder.uploads, 0);
    EXPECT_TRUE(recorder.log.empty());
    EXPECT_TRUE(Snapshot(target) == before);
  }
}

// Files that differ from what the writer produces but still pass every check.
TEST_F(ModeFileTest, ToleratedVariationsLoad) {
  ParameterStore source;
  FillStore(source, 4);
  const std::vector<std::string> good = PlainLines(source);
  using Plain = std::vector<std::string>;

  struct Case {
    const char* what;
    std::function<std::string()> text;
    std::function<void(ParameterStore&)> expect;  // what the target should then hold
  };
  const auto edited = [&good](std::function<void(Plain&)> edit) {
    return [&good, edit] {
      Plain plain = good;
      edit(plain);
      return ScrambledText(plain);
    };
  };
  const auto copy_source = [&source](ParameterStore& expected) {
    for (int block = 0; block < 9; ++block) {
      for (int slot = 0; slot <= InfoOfBlock(block)->device_slots; ++slot) {
        expected.SetDevice(block, slot, source.Device(block, slot));
      }
    }
  };
  const Case cases[] = {
      {"lowercase digits",
       [&good] {
         std::string text = ScrambledText(good);
         for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
         return text;
       },
       copy_source},
      {"LF line ends",
       [&good] {
         std::string text;
         for (const std::string& line : good) text += ScrambleLine(line) + "\n";
         return text;
       },
       copy_source},
      {"no line end after the last line",
       [&good] {
         std::string text = ScrambledText(good);
         return text.substr(0, text.size() - 2);
       },
       copy_source},
      {"any number after Tovak", edited([](Plain& p) { p[1] = "Tovak -99999"; }), copy_source},
      {"other first words", edited([](Plain& p) {
         p[0] = "XX 141";
         p[1] = "? 0";
         p[515] = "Count: 515";
         p[516] = "Sum: " + p[516].substr(7);
       }),
       copy_source},
      {"altered identifier goes where it points",
       edited([&](Plain& p) { p[2] = EntryLine(2, 0x0870, source.Device(0, 0)); }),
       [&](ParameterStore& expected) {
         copy_source(expected);
         expected.SetDevice(0, 0, 0);  // no entry for it any more: keeps the target's value
         expected.SetDevice(8, 0x70, source.Device(0, 0));
       }},
      {"value raised by 256",
       edited([&](Plain& p) { p[10] = EntryLine(10, 0x0008, source.Device(0, 8) + 256); }),
       [&](ParameterStore& expected) {
         copy_source(expected);
         expected.SetDevice(0, 8, source.Device(0, 8) + 256);
       }},
      {"only the framing lines",
       [&good] {
         return ScrambledText({good[0], good[1], "Intoal: 2", "CCCCK: 0"});
       },
       [](ParameterStore&) {}},
  };

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteBytes(library_ / "Var.Nddt", c.text());
    ParameterStore target;  // all zeros
    ParameterStore expected;
    c.expect(expected);
    Recorder recorder;
    ModeFiles files(library_, target, recorder.Hooks());
    EXPECT_EQ(files.LoadModeFile("Var"), ModeStatus::kOk);
    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_EQ(recorder.uploads, 1);
    EXPECT_TRUE(Snapshot(target) == Snapshot(expected));
  }
}

TEST_F(ModeFileTest, MissingFileSaysSoAndChangesNothing) {
  fs::create_directory(library_ / "Folder.Nddt");
  for (const char* name : {"Nothing", "Folder"}) {
    ParameterStore store;
    FillStore(store, 2);
    const auto before = Snapshot(store);
    Recorder recorder;
    ModeFiles files(library_, store, recorder.Hooks());
    EXPECT_EQ(files.LoadModeFile(name), ModeStatus::kFileMissing) << name;
    EXPECT_EQ(recorder.messages, std::vector<std::string>{"文件不存在"});
    EXPECT_EQ(recorder.uploads, 0);
    EXPECT_TRUE(Snapshot(store) == before);
  }
}

TEST(IsValidModeName, RefusesPathsAndDeviceNames) {
  for (const char* name :
       {"../x",        "a/b",     "a\\b",    ".",         "..",     "/etc/passwd",
        "CON",         "con",     "Nul.txt", "AUX .x",    "COM1",   "lpt9.Nddt",
        "COM\xC2\xB9", "conout$", "tab\tx",  "new\nline", "a:b",    "a*",
        "a?",          "<a>",     "a|b",     "\"q\"",     "del\x7F"}) {
    EXPECT_FALSE(IsValidModeName(name)) << name;
  }
  for (const char* name : {"", "Rock", "Rock.old", "摇滚模式", "COM10", "COM0", "CONSOLE", "CON-1",
                           " lead", "a b", ".hidden", "-x", "a.", "a ", "...", "KTV 1. "}) {
    EXPECT_TRUE(IsValidModeName(name)) << name;
  }
}

TEST_F(ModeFileTest, PathNamesAreRefusedForSaveAndLoad) {
  ParameterStore store;
  FillStore(store, 5);
  Recorder recorder;
  ModeFiles files(library_, store, recorder.Hooks());
  EXPECT_EQ(files.SaveModeFile("../escape"), ModeStatus::kBadName);
  EXPECT_EQ(files.SaveModeFile("CON"), ModeStatus::kBadName);
  EXPECT_FALSE(fs::exists(library_.parent_path() / "escape.Nddt"));
  EXPECT_TRUE(fs::is_empty(library_));

  // A file beside the library folder cannot be reached by a load either.
  WriteBytes(library_.parent_path() / "outside.Nddt", BuildModeText(store));
  ParameterStore target;
  ModeFiles loader(library_, target, recorder.Hooks());
  EXPECT_EQ(loader.LoadModeFile("../outside"), ModeStatus::kBadName);
  EXPECT_EQ(recorder.messages.size(), 3u);
  EXPECT_EQ(recorder.messages[0], "文件名无效!");
  EXPECT_EQ(recorder.uploads, 0);
  EXPECT_EQ(target.Device(0, 0), 0);
}

TEST_F(ModeFileTest, EmptyAndChineseNamesAndReplacingAFile) {
  ParameterStore store;
  FillStore(store, 6);
  ModeFiles files(library_, store);
  ASSERT_EQ(files.SaveModeFile(""), ModeStatus::kOk);
  EXPECT_TRUE(fs::is_regular_file(library_ / ".Nddt"));

  // A trailing space or dot stays part of the name.
  ASSERT_EQ(files.SaveModeFile("KTV "), ModeStatus::kOk);
  EXPECT_TRUE(fs::is_regular_file(library_ / "KTV .Nddt"));
  ASSERT_EQ(files.SaveModeFile("v2."), ModeStatus::kOk);
  EXPECT_TRUE(fs::is_regular_file(library_ / "v2..Nddt"));

  ASSERT_EQ(files.SaveModeFile("摇滚"), ModeStatus::kOk);
  EXPECT_TRUE(fs::is_regular_file(library_ / fs::path(u8"摇滚.Nddt")));

  // A longer old file is replaced completely, not overwritten in place.
  WriteBytes(library_ / "Pop.Nddt", std::string(100000, 'A'));
  ASSERT_EQ(files.SaveModeFile("Pop"), ModeStatus::kOk);
  EXPECT_EQ(ReadBytes(library_ / "Pop.Nddt"), BuildModeText(store));
  EXPECT_FALSE(fs::exists(library_ / kModeTempName));
}

TEST_F(ModeFileTest, FailedWriteKeepsTheOldFile) {
  ParameterStore store;
  FillStore(store, 8);
  const std::string old_bytes = "old mode file\r\n";
  WriteBytes(library_ / "Live.Nddt", old_bytes);
  const auto before = Snapshot(store);
  Recorder recorder;
  ModeFiles files(library_, store, recorder.Hooks());
  // The write stops half-way, as on a full disk.
  files.set_writer([](const fs::path& path, std::string_view data, std::string* error) {
    WriteBytes(path, data.substr(0, data.size() / 2));
    *error = "No space left on device";
    return false;
  });
  EXPECT_EQ(files.SaveModeFile("Live"), ModeStatus::kWriteFailed);
  EXPECT_EQ(recorder.messages, std::vector<std::string>{"No space left on device"});
  EXPECT_EQ(ReadBytes(library_ / "Live.Nddt"), old_bytes);
  EXPECT_FALSE(fs::exists(library_ / kModeTempName));
  EXPECT_TRUE(Snapshot(store) == before);

  // The replace itself fails: a folder sits where the file should go.
  files.set_writer(WriteWholeFile);
  fs::create_directory(library_ / "Dir.Nddt");
  fs::create_directory(library_ / "Dir.Nddt" / "inner");
  EXPECT_EQ(files.SaveModeFile("Dir"), ModeStatus::kWriteFailed);
  ASSERT_EQ(recorder.messages.size(), 2u);
  EXPECT_FALSE(recorder.messages[1].empty());
  EXPECT_TRUE(fs::is_directory(library_ / "Dir.Nddt" / "inner"));
  EXPECT_FALSE(fs::exists(library_ / kModeTempName));

  // A library folder that is gone is reported, not ignored.
  ModeFiles lost(dir_.path() / "missing", store, recorder.Hooks());
  EXPECT_EQ(lost.SaveModeFile("Live"), ModeStatus::kWriteFailed);
  EXPECT_EQ(recorder.messages.size(), 3u);

  // A write-protected file is reported and kept, whoever runs the program.
  WriteBytes(library_ / "Locked.Nddt", old_bytes);
  fs::permissions(library_ / "Locked.Nddt", fs::perms::owner_read | fs::perms::group_read);
  EXPECT_EQ(files.SaveModeFile("Locked"), ModeStatus::kWriteFailed);
  ASSERT_EQ(recorder.messages.size(), 4u);
  EXPECT_EQ(recorder.messages[3], std::make_error_code(std::errc::permission_denied).message());
  EXPECT_EQ(ReadBytes(library_ / "Locked.Nddt"), old_bytes);
  EXPECT_FALSE(fs::exists(library_ / kModeTempName));
}

TEST(PrepareModeFolders, CreatesUnderTheProgramFolderOrFallsBack) {
  {
    TempDir program;
    TempDir user;
    const auto folders = PrepareModeFolders(program.path(), user.path() / "data");
    ASSERT_TRUE(folders.has_value());
    EXPECT_EQ(folders->root, program.path() / "Mode");
    EXPECT_EQ(folders->library, program.path() / "Mode" / "QT415Mode");
    EXPECT_EQ(folders->marker, program.path() / "Mode" / "mod.dat");
    EXPECT_TRUE(fs::is_directory(folders->library));
    EXPECT_FALSE(fs::exists(folders->marker));  // never written
    EXPECT_FALSE(fs::exists(folders->library / kModeTempName));
    EXPECT_FALSE(fs::exists(user.path() / "data"));
    // Running again changes nothing and keeps what is there.
    WriteBytes(folders->library / "Keep.Nddt", "x");
    EXPECT_TRUE(PrepareModeFolders(program.path(), user.path()).has_value());
    EXPECT_EQ(ReadBytes(folders->library / "Keep.Nddt"), "x");
  }
  {
    TempDir program;
    fs::create_directory(program.path() / "Mode");
    WriteBytes(program.path() / "Mode" / "mod.dat", "marker");
    const auto folders = PrepareModeFolders(program.path(), {});
    ASSERT_TRUE(folders.has_value());
    EXPECT_TRUE(fs::is_directory(folders->library));
    EXPECT_EQ(ReadBytes(folders->marker), "marker");
  }
  {
    // The program folder cannot hold the mode root: a file already has its name.
    TempDir program;
    TempDir user;
    WriteBytes(program.path() / "Mode", "not a folder");
    const auto folders = PrepareModeFolders(program.path(), user.path() / "nested" / "data");
    ASSERT_TRUE(folders.has_value());
    EXPECT_EQ(folders->library, user.path() / "nested" / "data" / "Mode" / "QT415Mode");
    EXPECT_TRUE(fs::is_directory(folders->library));

    std::string error;
    WriteBytes(user.path() / "blocked", "file");
    EXPECT_FALSE(PrepareModeFolders(program.path(), user.path() / "blocked", &error).has_value());
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
}  // namespace kc

namespace kc {
namespace {

// The one reader of mode files: what it tells apart for its callers (a file that cannot be read,
// one past the size limit, one that fails its check) and that any bytes name a file.
TEST_F(ModeFileTest, ReadModeFileTellsReadingFromChecking) {
  ParameterStore source;
  FillStore(source, 5);
  const std::string good = BuildModeText(source);
  std::vector<std::string> plain = PlainLines(source);
  plain.back() = "CCCCK: 999";  // no checksum byte reads so
  const std::string damaged = ScrambledText(plain);
  std::string oversized = good;
  oversized.append(kModeFileByteLimit, '\n');
  fs::create_directory(library_ / "folder.Nddt");
  using R = ModeFileCheck::Reason;
  struct Case {
    const char* what;
    std::string file_name;
    const std::string* bytes;  // nullptr: no file written
    R reason;
    int line;
    ModeStatus status;
    bool read;  // whether the file's lines were read
  };
  const Case cases[] = {
      {"a whole file", "good.Nddt", &good, R::kOk, -1, ModeStatus::kOk, true},
      {"a name that is not UTF-8", "\xB7\xBF\xBC\xE4.Nddt", &good, R::kOk, -1, ModeStatus::kOk,
       true},
      {"a damaged file is read, then fails its check", "damaged.Nddt", &damaged, R::kWrongChecksum,
       516, ModeStatus::kCorrupt, true},
      {"past the size limit", "big.Nddt", &oversized, R::kTooLarge, -1, ModeStatus::kCorrupt,
       false},
      {"no such file", "nothing.Nddt", nullptr, R::kNoFile, -1, ModeStatus::kFileMissing, false},
      {"a folder", "folder.Nddt", nullptr, R::kNoFile, -1, ModeStatus::kFileMissing, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path path = library_ / fs::path(c.file_name);
    if (c.bytes != nullptr) WriteBytes(path, *c.bytes);
    const ModeFileCheck check = ReadModeFile(path);
    EXPECT_EQ(check.reason, c.reason);
    EXPECT_EQ(check.line, c.line);
    EXPECT_EQ(check.status(), c.status);
    EXPECT_EQ(check.entries.size(), c.status == ModeStatus::kOk ? 513u : 0u);
    // Lines only of a file that was read; never of one past the limit.
    EXPECT_EQ(check.plain_lines.empty(), !c.read);
  }
}

TEST(ApplyModeEntries, WritesEveryEntryInFileOrderAndReportsEach) {
  ParameterStore store;
  std::vector<int32_t> seen;
  ApplyModeEntries({{0, 5, 84}, {3, 7, 125}, {0, 5, 90}}, store, [&](const ModeEntry& entry) {
    seen.push_back(store.Device(entry.block, entry.slot));
  });
  EXPECT_EQ(seen, (std::vector<int32_t>{84, 125, 90}));
  EXPECT_EQ(store.Device(0, 5), 90);  // the later entry of a slot wins
  EXPECT_EQ(store.Device(3, 7), 125);
}

// Links planted where a save and the start-up write (to a file, to nothing) are never followed.
TEST_F(ModeFileTest, PlantedLinksAreNotFollowed) {
  ParameterStore store;
  FillStore(store, 5);
  const fs::path victim = dir_.path() / "victim.txt";
  const fs::path nowhere = dir_.path() / "appears.txt";
  const fs::path planted[] = {library_ / kModeTempName, library_ / "Rock.Nddt"};
  for (const fs::path& target : {victim, nowhere}) {
    SCOPED_TRACE(target.string());
    fs::remove(nowhere);
    WriteBytes(victim, "the user's own file");
    for (const fs::path& link : planted) {
      fs::remove(link);
      fs::create_symlink(target, link);
    }
    ASSERT_TRUE(PrepareModeFolders(dir_.path(), {}).has_value());
    ModeFiles files(library_, store);
    ASSERT_EQ(files.SaveModeFile("Rock"), ModeStatus::kOk);
    EXPECT_EQ(ReadBytes(victim), "the user's own file");
    EXPECT_FALSE(fs::exists(nowhere));
    // The save replaced the link named as the mode, not what it led to.
    EXPECT_FALSE(fs::is_symlink(library_ / "Rock.Nddt"));
    EXPECT_EQ(ReadBytes(library_ / "Rock.Nddt"), BuildModeText(store));
    int temporaries = 0;
    for (const auto& entry : fs::directory_iterator(library_)) {
      if (entry.path().filename().string().starts_with("~mode-save")) ++temporaries;
    }
    EXPECT_EQ(temporaries, 1);  // the planted link alone
  }
}

}  // namespace
}  // namespace kc
