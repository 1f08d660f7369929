#include "modes/box_backup.h"

#include <gtest/gtest.h>

#include <string>

#include "link/box_image.h"

namespace kc {
namespace {

BoxBackup Sample() {
  BoxBackup backup;
  backup.program_version = "1.0.8";
  backup.date = "2026-12-10T21:04:05+08:00";
  backup.venue = "星光 \"KTV\"";
  backup.room = "VIP\t1";
  backup.identity = "4B3107E5";
  backup.current_mode = 14;
  for (int i = 0; i < kModeCount; ++i) backup.mode_names[i] = "Mode " + std::to_string(i + 1);
  backup.mode_names[3] = "a\\b \"~\x7F";
  backup.mode_names[4] = "";
  for (const int index : kUserSystemItems) {
    backup.system_items[index] = index == 0x03 ? 1 : 0;
  }
  for (int block = 0; block < kAudioBlocks; ++block) {
    for (int slot = 0; slot < InfoOfBlock(block)->device_slots; ++slot) {
      backup.blocks[block][slot] = (block * 7 + slot) % 2;
    }
  }
  return backup;
}

TEST(BoxBackupTest, WrittenFileReadsBackAsWritten) {
  const BoxBackup sample = Sample();
  const std::string text = WriteBoxBackup(sample);
  std::string error;
  const auto read = ParseBoxBackup(text, "x.kbox", &error);
  ASSERT_TRUE(read.has_value()) << error;
  EXPECT_EQ(read->program_version, sample.program_version);
  EXPECT_EQ(read->date, sample.date);
  EXPECT_EQ(read->venue, sample.venue);
  EXPECT_EQ(read->room, sample.room);
  EXPECT_EQ(read->identity, sample.identity);
  EXPECT_EQ(read->current_mode, sample.current_mode);
  EXPECT_EQ(read->mode_names, sample.mode_names);
  EXPECT_EQ(read->system_items, sample.system_items);
  EXPECT_EQ(read->blocks, sample.blocks);
  // Written twice, the same text: a file diffs against another only where the box differs.
  EXPECT_EQ(WriteBoxBackup(*read), text);
  EXPECT_TRUE(IsBoxBackupPath("/a/VIP 1.KBox"));
  EXPECT_FALSE(IsBoxBackupPath("/a/VIP 1.Nddt"));
}

// Each row damages the sample's text by replacing its first `from` with `to`.
TEST(BoxBackupTest, DamagedFilesAreRefusedWithTheirPlace) {
  struct Row {
    const char* from;
    const char* to;
    const char* message;
  };
  const Row rows[] = {
      {"format = 1", "format = 1\n[",
       "f:4:2: not TOML: Error while parsing key: expected bare key starting character or "
       "string delimiter, saw '\\n'"},
      {"format = 1", "format = 2",
       "f:3:10: format is not 1 (written by another version of this program?)"},
      {"format = 1\n", "", "f: no 'format' (not a box backup)"},
      {"identity = \"4B3107E5\"\n", "", "f: no 'identity'"},
      {"identity", "identiti", "f:8:1: unknown key 'identiti'"},
      {"\"4B3107E5\"", "\"4B3107E\"", "f:8:12: identity '4B3107E' is not 8 hexadecimal digits"},
      {"current_mode = 14", "current_mode = 15", "f:9:16: current_mode 15 is outside 0..14"},
      {"current_mode = 14", "current_mode = \"3\"", "f:9:16: current_mode is not a whole number"},
      {"  \"Mode 15\",\n", "", "f:10:14: mode_names is not a list of 15 names"},
      {"\"Mode 2\"", "\"Mode 2 is far too long!\"",
       "f:12:3: mode name 2 is not at most 20 printable ASCII characters"},
      {"\"Mode 2\"", "\"模式\"",
       "f:12:3: mode name 2 is not at most 20 printable ASCII characters"},
      {"\"03\" = 1", "\"0C\" = 1", "f:29:1: system item '0C' is not one a user sets"},
      {"\"06\" = 0", "\"6\" = 0", "f:30:1: system item '6' is not one a user sets"},
      {"\"03\" = 1", "\"03\" = -1",
       "f:29:8: system item 03 (music input level) -1 is outside 0..2"},
      {"\"22\" = 0", "\"23\" = 0", "f:40:1: system item '23' is not one a user sets"},
      {"\"0\" = [\n  0,", "\"0\" = [\n  0, 0,", "f:44:7: block 0 is not a list of 106 values"},
      {"\"0\" = [\n  0,", "\"0\" = [\n  2,",
       "f:45:3: block 0 slot 0 (Music: Auto/Manual) 2 is outside 0..1"},
      {"\"0\" = [\n  0,", "\"0\" = [\n  65536,",
       "f:45:3: block 0 slot 0 (Music: Auto/Manual) 65536 is outside 0..1"},
      {"\"8\" = [", "\"9\" = [", "f:99:1: block '9' is not one of 0..8"},
  };
  const std::string text = WriteBoxBackup(Sample());
  for (const Row& row : rows) {
    std::string damaged = text;
    const auto at = damaged.find(row.from);
    ASSERT_NE(at, std::string::npos) << row.from;
    damaged.replace(at, std::string(row.from).size(), row.to);
    std::string error;
    EXPECT_FALSE(ParseBoxBackup(damaged, "f", &error).has_value()) << row.to;
    EXPECT_EQ(error, row.message) << row.to;
  }
}

}  // namespace
}  // namespace kc
