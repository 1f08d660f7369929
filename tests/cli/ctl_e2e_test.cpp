// karaoke-ctl, the program, against simulated boxes over real pseudo-terminals: backup of several
// boxes at once, restore with read-back, diff against a backup, and a recorded download decoded.
#include "../e2e/pty_box.h"  // first: see there
// clang-format off
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "box-sim/box_model.h"
#include "cli/frame_meaning.h"
#include "modes/mode_file.h"
// clang-format on

namespace kc {
namespace {

namespace fs = std::filesystem;

struct CtlRun {
  int exit_code = -1;
  std::string out;
  std::string err;
  qint64 wall_ms = 0;
};

// Runs karaoke-ctl to its end. The event loop keeps running meanwhile, so a box served in this
// process answers.
CtlRun Ctl(const QStringList& args) {
  QProcess process;
  QElapsedTimer wall;
  wall.start();
  process.start(QStringLiteral(KARAOKE_CTL_PATH), args);
  CtlRun run;
  if (!process.waitForStarted(5000)) return run;
  e2e::WaitFor([&] { return process.state() == QProcess::NotRunning; }, 60000);
  run.wall_ms = wall.elapsed();
  run.out = process.readAllStandardOutput().toStdString();
  run.err = process.readAllStandardError().toStdString();
  run.exit_code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  return run;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The mode a factory-fresh simulated box holds, as a store.
ParameterStore FactoryMode() {
  const boxsim::BoxModel box;
  ParameterStore store;
  for (int block = 0; block <= 8; ++block) {
    for (int slot = 0; slot <= InfoOfBlock(block)->device_slots; ++slot) {
      store.SetDevice(block, slot, box.Slot(block, slot));
    }
  }
  return store;
}

void Write(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

QString Q(const fs::path& path) { return QString::fromStdString(path.string()); }
QString Port(const e2e::BoxSimProcess& box) { return QString::fromStdString(box.path()); }

class CtlE2e : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
  fs::path Dir() const { return dir_.path().toStdString(); }

  QTemporaryDir dir_;
};

TEST_F(CtlE2e, BackupOfThreeBoxesAtOnceWritesTwoFilesAndNamesTheSilentOne) {
  e2e::BoxSimProcess first;
  e2e::BoxSimProcess second;
  e2e::BoxSimProcess silent({QStringLiteral("--silent-after"), QStringLiteral("0")});
  ASSERT_TRUE(first.ok() && second.ok() && silent.ok());

  const CtlRun run = Ctl({"backup", "--port", Port(first), "--port", Port(second), "--port",
                          Port(silent), "-o", Q(Dir())});
  EXPECT_EQ(run.exit_code, 1) << run.err;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(Dir())) files.push_back(entry.path());
  ASSERT_EQ(files.size(), 2u) << run.err;
  for (const fs::path& file : files) {
    EXPECT_EQ(file.extension(), ".Nddt");
    EXPECT_EQ(file.filename().string().rfind("4B3107E5_", 0), 0u) << "named from the identity";
    EXPECT_EQ(CheckModeText(Read(file)).status, ModeStatus::kOk);
  }
  EXPECT_NE(files[0], files[1]) << "two boxes of one identity get two files";
  EXPECT_NE(run.err.find("backup " + silent.path() + ": FAILED: no answer to the probe"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("2 of 3 box(es) saved"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("failed: " + silent.path()), std::string::npos) << run.err;
  std::printf("backup of three boxes at once (one silent): %lld ms wall\n",
              static_cast<long long>(run.wall_ms));

  // One box alone, for comparison with the single-download bound.
  const fs::path one = Dir() / "one";
  const CtlRun single = Ctl({"backup", "--port", Port(first), "-o", Q(one)});
  EXPECT_EQ(single.exit_code, 0) << single.err;
  std::printf("backup of one box: %lld ms wall\n", static_cast<long long>(single.wall_ms));
}

TEST_F(CtlE2e, DiffOfABoxAgainstItsBackupAndAfterOneEdit) {
  e2e::BoxSimProcess box;
  ASSERT_TRUE(box.ok());
  const CtlRun backup = Ctl({"backup", "--port", Port(box), "-o", Q(Dir())});
  ASSERT_EQ(backup.exit_code, 0) << backup.err;
  const std::vector<std::string> saved = Lines(backup.out);
  ASSERT_EQ(saved.size(), 1u);
  const std::string file = saved[0];

  const CtlRun same = Ctl({"diff", QString::fromStdString(file), "port:" + Port(box)});
  EXPECT_EQ(same.exit_code, 0) << same.err;
  EXPECT_EQ(same.out, "");

  // One edit on the box: the echo delay, sent as a restore of the backup with that one change.
  ModeCheck check = CheckModeText(Read(file));
  ASSERT_EQ(check.status, ModeStatus::kOk);
  ParameterStore edited;
  for (const ModeEntry& e : check.entries) edited.SetDevice(e.block, e.slot, e.value);
  const int32_t before = edited.Device(3, 7);
  ASSERT_NE(before, 125);
  edited.SetDevice(3, 7, 125);
  const fs::path edit_file = Dir() / "edit.Nddt";
  Write(edit_file, BuildModeText(edited));
  const CtlRun restore = Ctl({"restore", "--port", Port(box), Q(edit_file)});
  ASSERT_EQ(restore.exit_code, 0) << restore.err;

  const CtlRun one = Ctl({"diff", QString::fromStdString(file), "port:" + Port(box)});
  EXPECT_EQ(one.exit_code, 1) << one.err;
  EXPECT_EQ(one.out, "Effect\tEchoTimeBar\t" + std::to_string(before * 2) + "ms\t250ms\n");
}

TEST_F(CtlE2e, RestoreOfADifferentModeIsReadBackAndMatches) {
  e2e::BoxSimProcess box;
  ASSERT_TRUE(box.ok());
  // The factory mode with changes on every block: gains, levels, a band type, a delay.
  ParameterStore mode = FactoryMode();
  for (int block = 0; block <= 8; ++block) {
    const BlockInfo* info = InfoOfBlock(block);
    const int gain_slot = block == 4 ? 1 : info->first_eq + 2;  // reverb: its level
    mode.SetDevice(block, gain_slot, (mode.Device(block, gain_slot) + 17) % 90);
  }
  mode.SetDevice(0, 54 + 4, (mode.Device(0, 58) + 1) % 3);  // a Disco band type
  mode.SetDevice(5, 24, 333);                               // Main left delay
  const fs::path file = Dir() / "different.Nddt";
  Write(file, BuildModeText(mode));

  const CtlRun differs = Ctl({"diff", Q(file), "port:" + Port(box)});
  ASSERT_EQ(differs.exit_code, 1) << "the box holds other values before the restore";
  EXPECT_GE(Lines(differs.out).size(), 11u);

  const CtlRun restore = Ctl({"restore", "--port", Port(box), Q(file)});
  EXPECT_EQ(restore.exit_code, 0) << restore.err << restore.out;
  EXPECT_NE(restore.err.find("verified"), std::string::npos) << restore.err;
  std::printf("restore with read-back: %lld ms wall\n", static_cast<long long>(restore.wall_ms));

  const CtlRun after = Ctl({"diff", Q(file), "port:" + Port(box)});
  EXPECT_EQ(after.exit_code, 0) << after.out;
  EXPECT_EQ(after.out, "");
}

TEST_F(CtlE2e, ADamagedFileSendsNothing) {
  e2e::PtyBox box;
  ASSERT_TRUE(box.ok());
  std::string text = BuildModeText(FactoryMode());
  // One digit of an entry changed: the checksum no longer holds.
  const std::size_t entry = text.find("\r\n", text.find("\r\n", text.find("\r\n") + 2) + 2) + 2;
  text[entry] = text[entry] == '0' ? '1' : '0';
  const fs::path file = Dir() / "damaged.Nddt";
  Write(file, text);
  ASSERT_NE(CheckModeText(text).status, ModeStatus::kOk);

  const CtlRun run = Ctl({"restore", "--port", QString::fromStdString(box.path()), Q(file)});
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_NE(run.err.find("Data file is corrupted!"), std::string::npos) << run.err;
  e2e::RunEventLoopFor(200);
  EXPECT_TRUE(box.received().empty()) << "not even a probe";
}

TEST_F(CtlE2e, ARecordedDownloadDecodesToTheFortyTwoRequestsAndTheirAnswers) {
  e2e::BoxSimProcess box;
  ASSERT_TRUE(box.ok());
  const fs::path recording = Dir() / "line.txt";
  const CtlRun show = Ctl({"show", "port:" + Port(box), "--record", Q(recording)});
  ASSERT_EQ(show.exit_code, 0) << show.err;
  EXPECT_NE(show.out.find("System\tSysPanelBtn1\t0\t禁用\n"), std::string::npos);

  const CtlRun decode = Ctl({"decode", Q(recording)});
  ASSERT_EQ(decode.exit_code, 0) << decode.err;
  int requests = 0;
  int answers = 0;
  int acknowledgements = 0;
  bool awaiting_answer = false;
  for (const std::string& line : Lines(decode.out)) {
    if (line.rfind("TX", 0) == 0 && line.find("  read ") != std::string::npos) {
      EXPECT_FALSE(awaiting_answer) << "one request at a time: " << line;
      awaiting_answer = true;
      ++requests;
    } else if (line.rfind("RX", 0) == 0 && line.find("acknowledgement") != std::string::npos) {
      ++acknowledgements;
    } else if (line.rfind("RX", 0) == 0) {
      EXPECT_TRUE(awaiting_answer) << "an answer follows its request: " << line;
      awaiting_answer = false;
      ++answers;
    }
  }
  EXPECT_EQ(requests, 42) << decode.out;
  EXPECT_EQ(answers, 42) << decode.out;
  EXPECT_GE(acknowledgements, 1) << "the probe's";
  EXPECT_NE(decode.out.find("read block 8"), std::string::npos);
  EXPECT_NE(decode.out.find("device identity 4B3107E5"), std::string::npos);
}

TEST(CtlUsage, HelpOnEveryCommandAndExitCodesForMistakes) {
  for (const char* command : {"ports", "backup", "restore", "diff", "show", "decode"}) {
    const CtlRun help = Ctl({command, "--help"});
    EXPECT_EQ(help.exit_code, 0) << command;
    EXPECT_NE(help.out.find(std::string("Usage: karaoke-ctl ") + command), std::string::npos)
        << help.out;
  }
  EXPECT_EQ(Ctl({}).exit_code, 2);
  EXPECT_EQ(Ctl({"frobnicate"}).exit_code, 2);
  EXPECT_EQ(Ctl({"diff", "only-one"}).exit_code, 2);
  EXPECT_EQ(Ctl({"restore", "x.Nddt"}).exit_code, 2) << "no --port";
  EXPECT_EQ(Ctl({"show", "/no/such/file.Nddt"}).exit_code, 2);
  const CtlRun ports = Ctl({"ports", "--port", "/tmp/a-box"});
  EXPECT_EQ(ports.exit_code, 0);
  EXPECT_EQ(Lines(ports.out).at(0), "/tmp/a-box");
}

}  // namespace
}  // namespace kc
