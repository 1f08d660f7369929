// karaoke-ctl check and apply against simulated boxes on real pseudo-terminals: each room's state
// against its baseline (text, JSON, OpenMetrics), and apply's first room that does not verify,
// put back from its backup while the room after it is left alone.
#include "../e2e/pty_box.h"  // first: see there
#include "ctl_run.h"
// clang-format off
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "box-sim/box_model.h"
#include "link/box_image.h"
#include "modes/box_backup.h"
#include "modes/mode_file.h"
// clang-format on

namespace kc {
namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << text;
}

struct Change {
  int block;
  int slot;
  int32_t value;
};

// A factory-fresh simulated box as a box backup, with some values changed.
std::string FactoryBackup(const std::vector<Change>& changes) {
  const boxsim::BoxModel box;
  BoxBackup backup;
  backup.program_version = "test";
  backup.date = "2026-01-01T00:00:00+00:00";
  backup.identity = "4B3107E5";
  for (int k = 0; k < kModeCount; ++k) backup.mode_names[k] = box.ModeName(k);
  for (int block = 0; block < kAudioBlocks; ++block) {
    for (int slot = 0; slot < InfoOfBlock(block)->device_slots; ++slot) {
      backup.blocks[block][slot] = box.Slot(block, slot);
    }
  }
  for (int item : kUserSystemItems) backup.system_items[item] = box.Slot(kSystemBlock, item);
  for (const Change& c : changes) {
    if (c.block == kSystemBlock) {
      backup.system_items[c.slot] = c.value;
    } else {
      backup.blocks[c.block][c.slot] = c.value;
    }
  }
  return WriteBoxBackup(backup);
}

struct Room {
  std::string name;
  std::string port;
  std::string identity;  // in the venue file; empty: any box
  std::string baseline;  // the baseline's text; empty: none
};

std::string VenueText(const std::vector<Room>& rooms) {
  std::string text = "name = \"测试 KTV\"\n";
  for (const Room& room : rooms) {
    text += "\n[[room]]\nname = \"" + room.name + "\"\nport = \"" + room.port + "\"\n";
    if (!room.identity.empty()) text += "identity = \"" + room.identity + "\"\n";
  }
  return text;
}

// The venue file and every room's baseline at its default place.
std::string WriteVenue(const QTemporaryDir& dir, const std::vector<Room>& rooms) {
  const fs::path folder = dir.path().toStdString();
  for (const Room& room : rooms) {
    if (!room.baseline.empty()) Write(folder / "baselines" / (room.name + ".kbox"), room.baseline);
  }
  Write(folder / "venue.toml", VenueText(rooms));
  return (folder / "venue.toml").string();
}

// Three echo settings, as a guest might have turned them.
const std::vector<Change> kTurned = {{3, 1, 10}, {3, 7, 200}, {3, 8, 60}};

TEST(CtlCheckApply, CheckTellsEveryRoomFromItsBaseline) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  e2e::BoxSimProcess same;
  e2e::BoxSimProcess turned;
  e2e::BoxSimProcess silent({"--silent-after", "0"});
  e2e::BoxSimProcess other({"--identity", "11223344"});
  e2e::BoxSimProcess bare;
  ASSERT_TRUE(same.ok() && turned.ok() && silent.ok() && other.ok() && bare.ok());
  const std::string factory = FactoryBackup({});
  std::vector<Change> turned_changes = kTurned;
  turned_changes.push_back({kSystemBlock, 0x06, 12});
  struct Expected {
    const char* state;
    const char* identity;
    int differences;  // -1: not compared
    const char* up;   // the OpenMetrics samples of the room
    const char* identity_match;
  };
  const std::vector<Room> rooms = {
      {"same", same.path(), "4B3107E5", factory},
      {"turned", turned.path(), "", FactoryBackup(turned_changes)},
      {"silent", silent.path(), "", factory},
      {"other", other.path(), "4B3107E5", factory},
      {"bare", bare.path(), "", ""},
  };
  const Expected expected[] = {
      {"same", "4B3107E5", 0, "1", "1"},         {"4 differences", "4B3107E5", 4, "1", "1"},
      {"no answer", "", -1, "0", nullptr},       {"another box", "11223344", -1, "1", "0"},
      {"no baseline", "4B3107E5", -1, "1", "1"},
  };
  const std::string venue = WriteVenue(dir, rooms);
  Write(fs::path(dir.path().toStdString()) / "backups" / "same" / "same_4B3107E5.kbox", factory);
  const std::string metrics = dir.filePath("karaoke.prom").toStdString();

  const CtlRun text = Ctl({"check", "--venue", Q(venue), "--details", "--openmetrics", Q(metrics)});
  EXPECT_EQ(text.exit_code, 1) << text.err;
  std::printf("check of %zu rooms at once: %lld ms wall\n", rooms.size(),
              static_cast<long long>(text.wall_ms));
  const CtlRun json = Ctl({"check", "--venue", Q(venue), "--json"});
  EXPECT_EQ(json.exit_code, 1) << json.err;
  QJsonParseError error{};
  const QJsonArray array =
      QJsonDocument::fromJson(QByteArray::fromStdString(json.out), &error)["rooms"].toArray();
  ASSERT_EQ(error.error, QJsonParseError::NoError) << json.out;
  ASSERT_EQ(array.size(), static_cast<qsizetype>(rooms.size())) << json.out;

  // Text: a room's line, then its differences indented.
  std::vector<std::string> room_lines;
  std::vector<std::string> details;
  for (const std::string& line : Lines(text.out)) {
    (line.starts_with("  ") ? details : room_lines).push_back(line);
  }
  ASSERT_EQ(room_lines.size(), rooms.size()) << text.out;
  EXPECT_EQ(details, (std::vector<std::string>{"  效果 Effect\tEchoEffLevelBar\t56%\t10%",
                                               "  效果 Effect\tEchoTimeBar\t280ms\t400ms",
                                               "  效果 Effect\tEchoRepeatBar\t38%\t60%",
                                               "  系统设定 System\tSysMusStartVolBar\t40\t12"}))
      << text.out;
  std::ifstream in(metrics);
  const std::string om((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (std::size_t i = 0; i < rooms.size(); ++i) {
    SCOPED_TRACE(rooms[i].name);
    EXPECT_EQ(room_lines[i],
              rooms[i].name + "\t" + expected[i].state + "\t" + expected[i].identity);
    const QJsonObject room = array[i].toObject();
    EXPECT_EQ(room["state"].toString().toStdString(), expected[i].state);
    EXPECT_EQ(room["room"].toString().toStdString(), rooms[i].name);
    EXPECT_EQ(room["differences"].toArray().size(), std::max(expected[i].differences, 0));
    const std::string labels = "{room=\"" + rooms[i].name + "\",port=\"" + rooms[i].port + "\"}";
    EXPECT_NE(om.find("karaoke_room_up" + labels + " " + expected[i].up + "\n"), std::string::npos)
        << om;
    EXPECT_EQ(om.find("karaoke_room_identity_match" + labels + " " +
                      (expected[i].identity_match ? expected[i].identity_match : "")) !=
                  std::string::npos,
              expected[i].identity_match != nullptr)
        << om;
    const std::string count = "karaoke_room_baseline_differences" + labels + " " +
                              std::to_string(expected[i].differences) + "\n";
    EXPECT_EQ(om.find(count) != std::string::npos, expected[i].differences >= 0) << om;
    // Only the room with a file in its backup folder has a time of its last backup.
    EXPECT_EQ(om.find("karaoke_room_last_backup_timestamp_seconds" + labels) != std::string::npos,
              i == 0)
        << om;
  }
  const QString promtool = QStandardPaths::findExecutable(QStringLiteral("promtool"));
  if (promtool.isEmpty()) {
    std::printf("promtool is not installed (Debian: prometheus): the format is not checked\n");
  } else {
    QProcess check;
    check.setStandardInputFile(Q(metrics));
    check.start(promtool, {QStringLiteral("check"), QStringLiteral("metrics")});
    ASSERT_TRUE(check.waitForFinished(20000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardError().toStdString() << om;
  }

  // Only the same room chosen: exit 0. A damaged baseline is named, and no box is looked at.
  EXPECT_EQ(Ctl({"check", "--venue", Q(venue), "--room", "same"}).exit_code, 0);
  Write(fs::path(dir.path().toStdString()) / "baselines" / "same.kbox", "format = 7\n");
  const CtlRun damaged = Ctl({"check", "--venue", Q(venue)});
  EXPECT_EQ(damaged.exit_code, 2);
  EXPECT_NE(damaged.err.find("same.kbox"), std::string::npos) << damaged.err;
  EXPECT_LT(damaged.wall_ms, 2000);
}

TEST(CtlCheckApply, ApplyPutsBackAFirstRoomThatDoesNotVerifyAndLeavesTheNext) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  e2e::BoxSimProcess stuck({"--ignore-writes"});
  e2e::BoxSimProcess next;
  ASSERT_TRUE(stuck.ok() && next.ok());
  const std::string baseline = FactoryBackup(kTurned);
  const std::string venue = WriteVenue(
      dir, {{"first", stuck.path(), "", baseline}, {"second", next.path(), "", baseline}});
  const fs::path backups = fs::path(dir.path().toStdString()) / "backups";

  // The dry run lists what would be sent and writes nothing anywhere.
  const CtlRun dry = Ctl({"apply", "--venue", Q(venue), "--all", "--dry-run"});
  EXPECT_EQ(dry.exit_code, 0) << dry.err;
  const std::vector<std::string> room_plan = {
      "  as 3 edits:", "  效果 Effect\tEchoEffLevelBar\t56%\t10%",
      "  效果 Effect\tEchoTimeBar\t280ms\t400ms", "  效果 Effect\tEchoRepeatBar\t38%\t60%"};
  std::vector<std::string> dry_lines = {"first\twould change\t4B3107E5"};
  dry_lines.insert(dry_lines.end(), room_plan.begin(), room_plan.end());
  dry_lines.push_back("second\twould change\t4B3107E5");
  dry_lines.insert(dry_lines.end(), room_plan.begin(), room_plan.end());
  EXPECT_EQ(Lines(dry.out), dry_lines);
  EXPECT_FALSE(fs::exists(backups));

  const CtlRun apply = Ctl({"apply", "--venue", Q(venue), "--all", "--json"});
  EXPECT_EQ(apply.exit_code, 1) << apply.err;
  std::printf("apply with a first room put back: %lld ms wall\n",
              static_cast<long long>(apply.wall_ms));
  const QJsonArray rooms =
      QJsonDocument::fromJson(QByteArray::fromStdString(apply.out))["rooms"].toArray();
  ASSERT_EQ(rooms.size(), 2) << apply.out;
  EXPECT_EQ(rooms[0]["result"].toString(), QStringLiteral("failed"));
  EXPECT_EQ(rooms[0]["state"].toString(), QStringLiteral("failed, put back"));
  EXPECT_EQ(rooms[1]["result"].toString(), QStringLiteral("not tried"));
  // The first room's backup was written before anything was sent, and it is the box's state.
  const std::string backup = rooms[0]["backup"].toString().toStdString();
  ASSERT_TRUE(fs::exists(backup)) << apply.out;
  EXPECT_EQ(fs::path(backup).parent_path().filename(), "first");
  EXPECT_TRUE(rooms[1]["backup"].isNull());
  EXPECT_NE(apply.err.find("the read-back differs from the baseline in 3 parameters"),
            std::string::npos)
      << apply.err;

  // The second box was left as it was; apply alone to it changes it (its read-back verified).
  const CtlRun untouched = Ctl({"check", "--venue", Q(venue), "--room", "second"});
  EXPECT_EQ(Lines(untouched.out), (std::vector<std::string>{"second\t3 differences\t4B3107E5"}));
  const CtlRun second = Ctl({"apply", "--venue", Q(venue), "--room", "second"});
  EXPECT_EQ(second.exit_code, 0) << second.err;
  EXPECT_EQ(Lines(second.out), (std::vector<std::string>{"second\tchanged\t4B3107E5"}));
}

}  // namespace
}  // namespace kc
