// karaoke-ctl's box backups against a box served in this process: backup --venue writes a box
// backup into the room's folder of the venue's backup folder holding the box's System page
// settings, current mode and mode names, and prunes that room's own files to `keep`; baseline
// saves the room's baseline, and diff of it against the room names a volume changed since.
#include "../e2e/pty_box.h"  // first: see there
#include "ctl_run.h"
// clang-format off
#include <gtest/gtest.h>

#include <QDate>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "box-sim/box_model.h"
// clang-format on

namespace kc {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void Write(const fs::path& path, const std::string& text, int days_old) {
  std::ofstream(path, std::ios::binary) << text;
  fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(24 * days_old));
}

std::vector<std::string> NamesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(CtlBoxBackup, VenueBackupsKeepTheNewestOfTheRoomsOwnFilesAndBaselineIsSaved) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  e2e::PtyBox box;
  ASSERT_TRUE(box.ok());
  box.model().SetSlot(boxsim::kSystemBlock, 0x20, 33);  // music volume
  box.model().SetSlot(boxsim::kSystemBlock, 0x02, 6);   // mode 7 is current
  box.model().SetModeName(3, "Night \"4\"");
  const fs::path root = dir.path().toStdString();
  const std::string venue = (root / "venue.toml").string();
  std::ofstream(venue) << "name = \"星光\"\nkeep = 2\n[[room]]\nname = \"VIP/1\"\nport = \""
                       << box.path() << "\"\n";
  // The room's folder already holds two of its backups, another room's and a note.
  const fs::path folder = root / "backups" / "VIP_1";
  fs::create_directories(folder);
  Write(folder / "VIP_1_old.kbox", "x", 2);
  Write(folder / "VIP_1_older.Nddt", "x", 3);
  Write(folder / "Hall_oldest.kbox", "x", 9);
  Write(folder / "VIP_1_notes.txt", "x", 9);

  // rows: the files of the room's folder after each backup, the new ones by their date's suffix
  const std::string date = QDate::currentDate().toString("yyyy-MM-dd").toStdString();
  const std::string first = "VIP_1_4B3107E5_" + date + ".kbox";
  const std::string second = "VIP_1_4B3107E5_" + date + "_2.kbox";
  const std::vector<std::vector<std::string>> after = {
      {"Hall_oldest.kbox", "VIP_1_4B3107E5_" + date + ".kbox", "VIP_1_notes.txt", "VIP_1_old.kbox"},
      {"Hall_oldest.kbox", first, second, "VIP_1_notes.txt"},
  };
  for (const std::vector<std::string>& expected : after) {
    const CtlRun backup = Ctl({"backup", "--venue", QString::fromStdString(venue)});
    ASSERT_EQ(backup.exit_code, 0) << backup.err;
    EXPECT_EQ(NamesIn(folder), expected) << backup.err;
  }
  const std::string saved = Read(folder / first);
  for (const std::string line : {"venue = \"星光\"\n", "room = \"VIP/1\"\n", "\"20\" = 33  #",
                                 "current_mode = 6  #", "  \"Night \\\"4\\\"\",\n"}) {
    EXPECT_NE(saved.find(line), std::string::npos) << line << " in\n" << saved;
  }
  EXPECT_EQ(saved.find("\"0C\""), std::string::npos) << "the administrator switch is not kept";

  const CtlRun baseline =
      Ctl({"baseline", "--venue", QString::fromStdString(venue), "--room", "VIP/1"});
  ASSERT_EQ(baseline.exit_code, 0) << baseline.err;
  const fs::path kept = root / "baselines" / "VIP_1.kbox";
  const std::string text = Read(kept);
  EXPECT_EQ(text.substr(text.find("identity")), saved.substr(saved.find("identity")));

  box.model().SetSlot(boxsim::kSystemBlock, 0x20, 40);
  const CtlRun diff = Ctl({"diff", "--venue", QString::fromStdString(venue),
                           QString::fromStdString(kept.string()), "room:VIP/1"});
  EXPECT_EQ(diff.exit_code, 1) << diff.err;
  EXPECT_EQ(diff.out, "系统设定 System\tSysMusNormalVolBar\t33\t40\n");

  // A restore of the baseline puts the volume back and leaves the administrator switch alone.
  box.model().SetSlot(boxsim::kSystemBlock, 0x0C, 1);
  const CtlRun restore = Ctl({"restore", "--venue", QString::fromStdString(venue), "--room",
                              "VIP/1", QString::fromStdString(kept.string())});
  EXPECT_EQ(restore.exit_code, 0) << restore.err;
  EXPECT_EQ(box.model().Slot(boxsim::kSystemBlock, 0x20), 33);
  EXPECT_EQ(box.model().Slot(boxsim::kSystemBlock, 0x0C), 1);
}

}  // namespace
}  // namespace kc
