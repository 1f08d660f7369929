// karaoke-ctl, the program, against simulated boxes over real pseudo-terminals: backup of several
// boxes at once, restore with read-back, diff against a backup, and a recorded download decoded.
#include "../e2e/pty_box.h"  // first: see there
#include "ctl_run.h"
// clang-format off
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <sys/stat.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <algorithm>
#include <functional>
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
#include "modes/scramble.h"
// clang-format on

namespace kc {
namespace {

namespace fs = std::filesystem;

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

  const CtlRun run = Ctl({"backup", "--format", "nddt", "--port", Port(first), "--port",
                          Port(second), "--port", Port(silent), "-o", Q(Dir())});
  EXPECT_EQ(run.exit_code, 1) << run.err;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(Dir())) files.push_back(entry.path());
  ASSERT_EQ(files.size(), 2u) << run.err;
  for (const fs::path& file : files) {
    EXPECT_EQ(file.extension(), ".Nddt");
    EXPECT_EQ(file.filename().string().rfind("4B3107E5_", 0), 0u) << "named from the identity";
    EXPECT_EQ(CheckModeText(Read(file)).status(), ModeStatus::kOk);
  }
  EXPECT_NE(files[0], files[1]) << "two boxes of one identity get two files";
  EXPECT_NE(run.err.find("backup " + silent.path() + ": FAILED: no answer to the probe"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("backup: 3 ports\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("2 of 3 boxes saved"), std::string::npos) << run.err;
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
  const CtlRun backup = Ctl({"backup", "--format", "nddt", "--port", Port(box), "-o", Q(Dir())});
  ASSERT_EQ(backup.exit_code, 0) << backup.err;
  const std::vector<std::string> saved = Lines(backup.out);
  ASSERT_EQ(saved.size(), 1u);
  const std::string file = saved[0];

  const CtlRun same = Ctl({"diff", QString::fromStdString(file), "port:" + Port(box)});
  EXPECT_EQ(same.exit_code, 0) << same.err;
  EXPECT_EQ(same.out, "no differences\n");

  // One edit on the box: the echo delay, sent as a restore of the backup with that one change.
  ModeFileCheck check = CheckModeText(Read(file));
  ASSERT_EQ(check.status(), ModeStatus::kOk);
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
  EXPECT_EQ(one.out, "效果 Effect\tEchoTimeBar\t" + std::to_string(before * 2) + "ms\t250ms\n");
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
  EXPECT_EQ(after.out, "no differences\n");
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
  ASSERT_NE(CheckModeText(text).status(), ModeStatus::kOk);

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
  EXPECT_NE(show.out.find("系统设定 System\tSysPanelBtn1\t0\t禁用\n"), std::string::npos);

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

std::vector<fs::path> FilesIn(const fs::path& folder) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) files.push_back(entry.path());
  return files;
}

// Every value a file holds that the box's device image carries differs from the box's own.
int WrongValues(const fs::path& file, const boxsim::BoxModel& box) {
  const ModeFileCheck check = CheckModeText(Read(file));
  if (!check.ok()) return -1;
  int wrong = 0;
  for (const ModeEntry& e : check.entries) {
    if (e.slot < InfoOfBlock(e.block)->device_slots && e.value != box.Slot(e.block, e.slot))
      ++wrong;
  }
  return wrong;
}

// Write-block frames (FC B1 len A7 09 0F) among the bytes a box received.
int UploadFrames(const std::vector<uint8_t>& bytes) {
  int frames = 0;
  for (std::size_t i = 0; i + 5 < bytes.size(); ++i) {
    frames += bytes[i] == 0xFC && bytes[i + 1] == 0xB1 && bytes[i + 3] == 0xA7 &&
              bytes[i + 4] == 0x09 && bytes[i + 5] == 0x0F;
  }
  return frames;
}

TEST_F(CtlE2e, AFaultyBoxGivesACorrectFileOrFailsWithNoFile) {
  struct Case {
    const char* what;
    QStringList switches;
    bool must_fail;
    std::string reason;  // in the box's line when it fails
  };
  const std::vector<Case> cases = {
      {"a payload byte flipped in every seventh data frame",
       {"--corrupt-payload-every", "7"},
       false,
       "checksum"},
      {"block 3 answered with 10 of its 28 values",
       {"--short-block", "3:10"},
       true,
       "the box did not send all of its data (block 3 slots 10..27 missing)"},
  };
  const boxsim::BoxModel factory;
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    e2e::BoxSimProcess box(c.switches);
    ASSERT_TRUE(box.ok());
    const fs::path folder = Dir() / std::to_string(++n);
    const CtlRun backup = Ctl({"backup", "--format", "nddt", "--port", Port(box), "-o", Q(folder)});
    const std::vector<fs::path> files = FilesIn(folder);
    if (backup.exit_code == 0) {
      EXPECT_FALSE(c.must_fail) << backup.err;
      ASSERT_EQ(files.size(), 1u);
      EXPECT_EQ(WrongValues(files[0], factory), 0) << "saved, so every value is the box's";
    } else {
      EXPECT_EQ(backup.exit_code, 1) << backup.err;
      EXPECT_TRUE(files.empty()) << files.front();
      EXPECT_NE(backup.err.find(c.reason), std::string::npos) << backup.err;
    }

    // show and diff read the box the same way: what they print is the box's, or they fail.
    const CtlRun show = Ctl({"show", "port:" + Port(box)});
    if (c.must_fail || show.exit_code != 0) {
      EXPECT_EQ(show.exit_code, 1) << show.err;
      EXPECT_EQ(show.out, "") << "nothing of a failed box is shown";
    } else {
      EXPECT_NE(show.out.find("效果 Effect\tEchoTimeBar\t"), std::string::npos);
    }
    const fs::path reference = Dir() / "factory.Nddt";
    Write(reference, BuildModeText(FactoryMode()));
    const CtlRun diff = Ctl({"diff", Q(reference), "port:" + Port(box)});
    EXPECT_TRUE(diff.exit_code == 1 || (diff.exit_code == 0 && !c.must_fail)) << diff.err;
    EXPECT_EQ(diff.out, diff.exit_code == 0 ? "no differences\n" : "")
        << "the box holds the factory mode; a difference is a misread";
  }
}

// The names in a folder, sorted.
std::vector<std::string> NamesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const fs::path& file : FilesIn(folder)) names.push_back(file.filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(CtlE2e, AFileSizeLimitIsAWriteFailureLikeAFullDisk) {
  e2e::BoxSimProcess box;
  ASSERT_TRUE(box.ok());
  // Files of karaoke-ctl may not grow past 4096 bytes (ulimit -f 4), less than a mode file, a
  // recording of a download or what show prints. SIGXFSZ is left as the shell leaves it: it
  // would end the program.
  const auto small_limit = [] {
    struct rlimit limit = {4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
  };
  const fs::path folder = Dir() / "limited";
  fs::create_directories(folder);
  const std::string earlier_mode = BuildModeText(FactoryMode());
  Write(folder / "earlier.Nddt", earlier_mode);
  const std::string earlier_recording = "# an earlier recording\n";
  Write(folder / "line.txt", earlier_recording);

  // A mode file of a backup.
  const CtlRun backup =
      Ctl({"backup", "--format", "nddt", "--port", Port(box), "-o", Q(folder)}, small_limit);
  EXPECT_EQ(backup.exit_code, 2) << backup.err;
  EXPECT_NE(backup.err.find("FAILED: cannot write " + folder.string() + "/4B3107E5_"),
            std::string::npos)
      << backup.err;
  EXPECT_NE(backup.err.find(": File too large (no file left behind)"), std::string::npos)
      << backup.err;
  EXPECT_EQ(backup.out, "") << "no file is named as saved";
  EXPECT_EQ(NamesIn(folder), (std::vector<std::string>{"earlier.Nddt", "line.txt"}))
      << "no new file, no temporary file";
  EXPECT_EQ(Read(folder / "earlier.Nddt"), earlier_mode);

  // A recording that replaces an earlier one.
  const CtlRun record =
      Ctl({"show", "port:" + Port(box), "--record", Q(folder / "line.txt")}, small_limit);
  EXPECT_EQ(record.exit_code, 2) << record.err;
  EXPECT_NE(record.err.find("the recording " + (folder / "line.txt").string() +
                            " could not be written: File too large (no file left behind)"),
            std::string::npos)
      << record.err;
  EXPECT_EQ(NamesIn(folder), (std::vector<std::string>{"earlier.Nddt", "line.txt"}));
  EXPECT_EQ(Read(folder / "line.txt"), earlier_recording) << "the earlier recording as it was";

  // What show prints, into a file.
  const fs::path printed = Dir() / "show.txt";
  const CtlRun show = Ctl({"show", "port:" + Port(box)}, small_limit, {}, Q(printed));
  EXPECT_EQ(show.exit_code, 2) << show.err;
  EXPECT_NE(show.err.find("karaoke-ctl: cannot write the standard output: File too large"),
            std::string::npos)
      << show.err;

  // Within the limit the same commands succeed.
  const CtlRun unlimited = Ctl({"show", "port:" + Port(box)}, {}, {}, Q(printed));
  EXPECT_EQ(unlimited.exit_code, 0) << unlimited.err;
  EXPECT_GT(fs::file_size(printed), 4096u) << "the limit cut what show prints";

  // A device that takes no bytes, for a full disk.
  const CtlRun full = Ctl({"show", "port:" + Port(box), "--record", "/dev/full"});
  EXPECT_EQ(full.exit_code, 2) << full.err;
  EXPECT_NE(full.err.find("recording /dev/full"), std::string::npos) << full.err;
  EXPECT_NE(full.err.find("No space left on device"), std::string::npos) << full.err;
}

TEST_F(CtlE2e, ARestoreReadBackThatComesShortNamesWhatIsMissingAndShowsNoValueOfIt) {
  // Block 3 answers with 10 of its 28 values, in the download and in the read-back.
  e2e::BoxSimProcess box({"--short-block", "3:10"});
  ASSERT_TRUE(box.ok());
  const fs::path file = Dir() / "mode.Nddt";
  Write(file, BuildModeText(FactoryMode()));
  const CtlRun run = Ctl({"restore", "--port", Port(box), Q(file)});
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_NE(run.err.find("restore " + box.path() +
                         ": FAILED: the box did not send all of its data back (block 3 slots "
                         "10..27 missing)"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("NOT VERIFIED"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "") << "no value the box did not send is listed as the box's";
  EXPECT_NE(run.err.find("0 of 1 box verified"), std::string::npos) << run.err;
}

// A file of blocks 0..2 only, as a file from another system may be: block 3 is neither in the
// file nor (with a short answer) wholly in the box's download, so nothing may go up.
TEST_F(CtlE2e, ARestoreThatWouldSendValuesNeitherTheFileNorTheBoxGaveSendsNothing) {
  e2e::BoxSimProcess box({"--short-block", "3:10"});
  ASSERT_TRUE(box.ok());
  const ParameterStore mode = FactoryMode();
  std::string text;
  const auto line = [&text](const std::string& plain) { text += ScrambleLine(plain) + "\r\n"; };
  line("W4 " + std::to_string(kModeDeviceCode ^ kModeHeaderMask));
  line("Tovak " + std::to_string(1 ^ kModeHeaderMask));
  int k = 1;
  int32_t sum = 0;
  for (int block = 0; block < 3; ++block) {
    for (int slot = 0; slot <= InfoOfBlock(block)->device_slots; ++slot) {
      ++k;
      line(std::to_string(MakeId(block, slot) ^ k) + " " +
           std::to_string(mode.Device(block, slot) ^ k));
      sum += mode.Device(block, slot);
    }
  }
  line("Intoal: " + std::to_string(k + 1));
  line("CCCCK: " + std::to_string(ModeChecksum(sum)));
  const fs::path file = Dir() / "part.Nddt";
  Write(file, text);
  ASSERT_TRUE(CheckModeText(text).ok()) << "a file of three blocks passes its checks";

  const CtlRun run = Ctl({"restore", "--port", Port(box), Q(file)});
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_NE(run.err.find("block 3 slots 10..27 missing) and the file does not hold it; nothing "
                         "was sent to it"),
            std::string::npos)
      << run.err;
}

// Whether process `pid` has the device `path` leads to open.
bool HoldsDevice(qint64 pid, const std::string& path) {
  struct stat device {};
  if (stat(path.c_str(), &device) != 0) return false;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    struct stat held {};
    if (stat(entry.path().c_str(), &held) == 0 && S_ISCHR(held.st_mode) &&
        held.st_rdev == device.st_rdev) {
      return true;
    }
  }
  return false;
}

TEST_F(CtlE2e, ASecondCtlOnAPortAnotherHoldsSaysItIsBusyAndTheFirstCompletes) {
  // Slow answers: the first one's download holds the port for several seconds.
  const fs::path link = Dir() / "karaoke-box";
  e2e::BoxSimProcess box({"--delay-ms", "120", "--link", Q(link)});
  ASSERT_TRUE(box.ok());
  const fs::path folder = Dir() / "first";
  QProcess first;
  first.start(QStringLiteral(KARAOKE_CTL_PATH),
              {"backup", "--format", "nddt", "--port", Port(box), "-o", Q(folder)});
  ASSERT_TRUE(first.waitForStarted(5000));
  // Held at two looks 300 ms apart: the link's hold for the download, not the first check's
  // open of a moment.
  ASSERT_TRUE(e2e::WaitFor(
      [&] {
        if (!HoldsDevice(first.processId(), box.path())) return false;
        e2e::RunEventLoopFor(300);
        return HoldsDevice(first.processId(), box.path());
      },
      20000));

  // The second names the port as the first does, then through the link to it.
  for (const QString& name : {Port(box), Q(link)}) {
    SCOPED_TRACE(name.toStdString());
    const CtlRun second = Ctl({"show", "port:" + name});
    EXPECT_EQ(second.exit_code, 1) << second.err;
    EXPECT_NE(second.err.find("show " + name.toStdString() +
                              ": FAILED: cannot open the port: it is busy (another program "
                              "holds it)"),
              std::string::npos)
        << second.err;
    EXPECT_EQ(second.out, "");
  }
  EXPECT_NE(first.state(), QProcess::NotRunning) << "refused while the first held the port";

  ASSERT_TRUE(e2e::WaitFor([&] { return first.state() == QProcess::NotRunning; }, 60000));
  const std::string first_err = first.readAllStandardError().toStdString();
  EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(first.exitCode(), 0) << first_err;
  const std::vector<fs::path> files = FilesIn(folder);
  ASSERT_EQ(files.size(), 1u) << first_err;
  EXPECT_EQ(WrongValues(files[0], boxsim::BoxModel()), 0) << "the first read the box whole";
}

TEST_F(CtlE2e, AFileWithValuesOutOfRangeSendsNothing) {
  e2e::PtyBox box;
  ASSERT_TRUE(box.ok());
  ParameterStore mode = FactoryMode();
  mode.SetDevice(3, 7, 70000);  // echo delay, 0..250
  mode.SetDevice(5, 24, -5);    // Main left delay
  const fs::path file = Dir() / "out-of-range.Nddt";
  Write(file, BuildModeText(mode));
  ASSERT_EQ(CheckModeText(Read(file)).status(), ModeStatus::kOk) << "well-formed";

  const CtlRun run = Ctl({"restore", "--port", QString::fromStdString(box.path()), Q(file)});
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_NE(run.err.find("2 values outside their parameter's range"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("效果 Effect\tEchoTimeBar\t70000 (0..250)\n"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("\t-5 (0.."), std::string::npos) << run.err;
  e2e::RunEventLoopFor(200);
  EXPECT_TRUE(box.received().empty()) << "not even a probe";
}

TEST_F(CtlE2e, RestoreStoppedByCtrlCNamesTheBoxHoldingPartOfTheFile) {
  e2e::PtyBox box;
  ASSERT_TRUE(box.ok());
  const fs::path file = Dir() / "mode.Nddt";
  Write(file, BuildModeText(FactoryMode()));
  int frames_at_signal = -1;
  const CtlRun run =
      Ctl({"restore", "--port", QString::fromStdString(box.path()), Q(file)}, {},
          [&](QProcess& process) {
            // The upload has begun: the box stops answering and the user presses
            // Ctrl+C.
            ASSERT_TRUE(e2e::WaitFor([&] { return UploadFrames(box.received()) > 0; }, 30000));
            box.set_answering(false);
            frames_at_signal = UploadFrames(box.received());
            kill(static_cast<pid_t>(process.processId()), SIGINT);
          });
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_NE(run.err.find("restore: this box now holds part of the file: " + box.path() + "\n"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("FAILED: interrupted; the box now holds part of the file (block"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(UploadFrames(box.received()), frames_at_signal) << "nothing sent after the signal";
}

TEST_F(CtlE2e, ALostAcknowledgementIsSentAgainAndTheRestoreVerifies) {
  e2e::BoxSimProcess box({"--drop-ack-every", "3"});
  ASSERT_TRUE(box.ok());
  const fs::path file = Dir() / "mode.Nddt";
  Write(file, BuildModeText(FactoryMode()));
  const CtlRun run = Ctl({"restore", "--port", Port(box), Q(file)});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.err.find("verified, the box holds the file's values"), std::string::npos)
      << run.err;
}

TEST_F(CtlE2e, APortThatCannotBeOpenedSaysWhyAndCountsAsAFailedBox) {
  const fs::path file = Dir() / "plain.txt";
  Write(file, "x");
  struct Case {
    std::string port;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {Dir().string(), "cannot open the port: it is a folder, not a serial port"},
      {file.string(), "cannot open the port: it is not a serial port"},
      {"/dev/null", "cannot open the port: it is not a serial port"},
      {(Dir() / "ttyUSB9").string(), "cannot open the port: no such port"},
  };
  for (const Case& c : cases) {
    const CtlRun backup =
        Ctl({"backup", "--port", QString::fromStdString(c.port), "-o", Q(Dir() / "out")});
    EXPECT_EQ(backup.exit_code, 1) << c.port;
    EXPECT_NE(backup.err.find("backup " + c.port + ": FAILED: " + c.reason), std::string::npos)
        << backup.err;
    const CtlRun show = Ctl({"show", "port:" + QString::fromStdString(c.port)});
    EXPECT_EQ(show.exit_code, 1) << "a box failed";
    EXPECT_NE(show.err.find(c.reason), std::string::npos) << show.err;
    EXPECT_EQ(show.err.find("ioctl"), std::string::npos) << show.err;
  }
}

TEST_F(CtlE2e, DecodeRefusesAFolderAndSaysOnceThatAFileIsNoRecording) {
  const fs::path mode = Dir() / "mode.Nddt";
  Write(mode, BuildModeText(FactoryMode()));
  struct Case {
    fs::path path;
    std::string err;
  };
  const std::vector<Case> cases = {
      {Dir(), "karaoke-ctl decode: " + Dir().string() + ": is a folder, not a file\n"},
      {mode, "karaoke-ctl decode: " + mode.string() + " is not a line recording\n"},
  };
  for (const Case& c : cases) {
    const CtlRun run = Ctl({"decode", Q(c.path)});
    EXPECT_EQ(run.exit_code, 2) << c.path;
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out, "");
  }
}

// Runs karaoke-ctl with arguments as raw bytes (QProcess would recode them as UTF-8) and
// returns its exit code.
int CtlRaw(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  std::string program = KARAOKE_CTL_PATH;
  argv.push_back(program.data());
  std::vector<std::string> copies = args;
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(CtlE2e, FileNamesThatAreNotUtf8ReachTheFileSystemUnchanged) {
  e2e::BoxSimProcess box;
  ASSERT_TRUE(box.ok());
  const std::string gbk_folder = (Dir() / "\xB0\xFC\xCF\xE1").string();  // "包厢" in GBK
  ASSERT_EQ(CtlRaw({"backup", "--port", box.path(), "-o", gbk_folder}), 0);
  const std::vector<fs::path> files = FilesIn(gbk_folder);
  ASSERT_EQ(files.size(), 1u) << "in the folder named, not one with replacement characters";
  EXPECT_EQ(FilesIn(Dir()).size(), 1u);
  const std::string gbk_file = (Dir() / "\xB5\xDA\xD2\xBB.Nddt").string();
  fs::rename(files[0], gbk_file);
  EXPECT_EQ(CtlRaw({"show", gbk_file}), 0);
  EXPECT_EQ(CtlRaw({"diff", gbk_file, "port:" + box.path()}), 0);
}

TEST_F(CtlE2e, AModeFileLargerThanAnyModeIsRefusedUnread) {
  const fs::path big = Dir() / "big.Nddt";
  std::string text = BuildModeText(FactoryMode());
  {
    std::ofstream out(big, std::ios::binary);
    out << text;
    out << std::string((8u << 20) + 1 - text.size(), '\n');
  }
  const CtlRun show = Ctl({"show", Q(big)});
  EXPECT_EQ(show.exit_code, 2);
  EXPECT_NE(show.err.find("larger than any mode file (over 8 MiB)"), std::string::npos) << show.err;
}

// --log: the sessions' diagnostic lines, each after its time and its port, between the command
// line and the exit code; with the category's debug messages on they reach standard error too.
TEST_F(CtlE2e, TheLogHoldsTheSessionsLinesWithTheirTimesAndPorts) {
  e2e::BoxSimProcess box;
  ASSERT_TRUE(box.ok());
  const fs::path log = Dir() / "log.txt";
  qputenv("QT_LOGGING_RULES", "karaoke.link.debug=true");
  const CtlRun show = Ctl({"show", "--log", Q(log), "port:" + Port(box)});
  qunsetenv("QT_LOGGING_RULES");
  ASSERT_EQ(show.exit_code, 0) << show.err;
  const std::string port = box.path();
  EXPECT_NE(show.err.find("karaoke.link: " + port + ": "), std::string::npos) << show.err;

  const std::vector<std::string> lines = Lines(Read(log));
  ASSERT_GE(lines.size(), 3u) << Read(log);
  int of_the_box = 0;
  for (const std::string& line : lines) {
    const std::size_t space = line.find(' ');
    const QString stamp = QString::fromStdString(line.substr(0, space));
    EXPECT_TRUE(QDateTime::fromString(stamp, Qt::ISODateWithMs).isValid()) << line;
    if (line.compare(space + 1, port.size() + 2, port + ": ") == 0) ++of_the_box;
  }
  EXPECT_EQ(lines.front().substr(lines.front().find(' ') + 1),
            "karaoke-ctl 1.0.8: show port:" + port);
  EXPECT_EQ(lines.back().substr(lines.back().find(' ') + 1), "exit code 0");
  EXPECT_EQ(of_the_box, static_cast<int>(lines.size()) - 2) << Read(log);
}

TEST(CtlUsage, ALogFileThatCannotBeWrittenEndsTheCommandBeforeItRuns) {
  struct Case {
    QStringList args;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{"ports", "--log", "/no-such-folder/log.txt"},
       "karaoke-ctl: cannot write the log /no-such-folder/log.txt: No such file or directory\n"},
      {{"--log=/no-such-folder/log.txt", "ports"},
       "karaoke-ctl: cannot write the log /no-such-folder/log.txt: No such file or directory\n"},
      {{"ports", "--log"}, "karaoke-ctl: --log needs a FILE\n"},
  };
  for (const Case& c : cases) {
    const CtlRun run = Ctl(c.args);
    EXPECT_EQ(run.exit_code, 2) << c.args.join(' ').toStdString();
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out, "") << "the ports are not listed";
  }
  EXPECT_NE(Ctl({"--help"}).out.find("--log FILE"), std::string::npos);
}

TEST(CtlUsage, HelpOnEveryCommandAndExitCodesForMistakes) {
  // Every option each command takes, as its help lists it.
  const struct {
    const char* command;
    std::vector<std::string> options;
  } helps[] = {
      {"ports", {"--port <NAME>", "--log <FILE>"}},
      {"status",
       {"--venue <FILE>", "--room <NAME>", "--port <NAME>", "--json", "--header", "--log <FILE>"}},
      {"backup",
       {"--port <NAME>", "-o, --output <DIR>", "--record <FILE>", "--venue <FILE>", "--room <NAME>",
        "--log <FILE>"}},
      {"restore",
       {"--port <NAME>", "--record <FILE>", "--venue <FILE>", "--room <NAME>", "--header",
        "--log <FILE>"}},
      {"diff", {"--json", "--header", "--record <FILE>", "--venue <FILE>", "--log <FILE>"}},
      {"show", {"--json", "--header", "--record <FILE>", "--venue <FILE>", "--log <FILE>"}},
      {"decode", {"--json", "--log <FILE>"}},
  };
  for (const auto& h : helps) {
    const CtlRun help = Ctl({h.command, "--help"});
    EXPECT_EQ(help.exit_code, 0) << h.command;
    EXPECT_NE(help.out.find(std::string("Usage: karaoke-ctl ") + h.command), std::string::npos)
        << help.out;
    for (const std::string& option : h.options) {
      EXPECT_NE(help.out.find("  " + option + " "), std::string::npos)
          << h.command << " --help lacks " << option << ":\n"
          << help.out;
    }
  }
  const CtlRun overview = Ctl({"--help"});
  for (const char* option : {"--json", "--header", "--log FILE"}) {
    EXPECT_NE(overview.out.find(option), std::string::npos) << option;
  }
  EXPECT_EQ(Ctl({}).exit_code, 2);
  EXPECT_EQ(Ctl({"frobnicate"}).exit_code, 2);
  EXPECT_EQ(Ctl({"diff", "only-one"}).exit_code, 2);
  EXPECT_EQ(Ctl({"restore", "x.Nddt"}).exit_code, 2) << "no --port";
  EXPECT_EQ(Ctl({"show", "/no/such/file.Nddt"}).exit_code, 2);
  const CtlRun help_all = Ctl({"show", "--help-all"});
  EXPECT_EQ(help_all.exit_code, 0);
  EXPECT_EQ(help_all.out.find("Qt"), std::string::npos) << help_all.out;
  const CtlRun ports = Ctl({"ports", "--port", "/tmp/a-box"});
  EXPECT_EQ(ports.exit_code, 0);
  EXPECT_EQ(Lines(ports.out).at(0), "/tmp/a-box");
}

// What the commands print for files alone, and for a path that is no serial port: diff when
// nothing differs, --header, --json, counts in words. In args and texts: %F the factory mode,
// %E the same with the echo delay at 250 ms, %O one with an echo delay out of range, %R a
// recording, %S one with a stray line, %T one with two.
struct OutputCase {
  const char* name;
  QStringList args;
  int exit_code;
  std::string out;               // exactly; ending in "*", how it begins
  std::vector<std::string> err;  // each in standard error; none: standard error is empty
};

void PrintTo(const OutputCase& c, std::ostream* os) { *os << c.name; }

class CtlOutputs : public CtlE2e, public ::testing::WithParamInterface<OutputCase> {};

const char kRecording[] =
    "# karaoke-ctl line recording\n"
    "0.000 /dev/ttyUSB0 OPEN\n"
    "0.001 /dev/ttyUSB0 TX FC B1 06 A7 09 30 11 00 5C\n"
    "0.030 /dev/ttyUSB0 RX FE AA\n";

TEST_P(CtlOutputs, PrintWhatEachCommandSays) {
  const OutputCase& c = GetParam();
  ParameterStore edited = FactoryMode();
  edited.SetDevice(3, 7, 125);
  ParameterStore out_of_range = FactoryMode();
  out_of_range.SetDevice(3, 7, 70000);
  const std::vector<std::pair<std::string, std::string>> files = {
      {"%F", BuildModeText(FactoryMode())},
      {"%E", BuildModeText(edited)},
      {"%O", BuildModeText(out_of_range)},
      {"%R", kRecording},
      {"%S", std::string(kRecording) + "stray\n"},
      {"%T", std::string(kRecording) + "stray\n\nagain\n"},
  };
  const auto placed = [&](std::string text) {
    for (const auto& [mark, content] : files) {
      const std::string path = (Dir() / (mark.substr(1) + ".file")).string();
      for (auto at = text.find(mark); at != std::string::npos; at = text.find(mark, at)) {
        text.replace(at, mark.size(), path);
      }
    }
    return text;
  };
  for (const auto& [mark, content] : files) Write(placed(mark), content);
  QStringList args;
  for (const QString& arg : c.args) args << QString::fromStdString(placed(arg.toStdString()));

  const CtlRun run = Ctl(args);
  EXPECT_EQ(run.exit_code, c.exit_code) << run.err;
  std::string out = placed(c.out);
  if (!out.empty() && out.back() == '*') {
    out.pop_back();
    EXPECT_EQ(run.out.substr(0, out.size()), out);
  } else {
    EXPECT_EQ(run.out, out);
  }
  if (!run.out.empty() && (run.out[0] == '[' || run.out[0] == '{')) {
    QJsonParseError error{};
    QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << "not JSON: " << run.out;
  }
  if (c.err.empty()) {
    EXPECT_EQ(run.err, "");
  }
  for (const std::string& piece : c.err) {
    EXPECT_NE(run.err.find(placed(piece)), std::string::npos) << run.err;
  }
}

const OutputCase kOutputCases[] = {
    {"DiffOfEqualModesSaysSo", {"diff", "%F", "%F"}, 0, "no differences\n", {}},
    {"DiffHeaderOfEqualModesIsTheHeaderAlone",
     {"diff", "--header", "%F", "%F"},
     0,
     "page\tparameter\tA\tB\n",
     {}},
    {"DiffHeaderThenEachDifference",
     {"diff", "%F", "%E", "--header"},
     1,
     "page\tparameter\tA\tB\n效果 Effect\tEchoTimeBar\t280ms\t250ms\n",
     {}},
    {"DiffJsonOfEqualModesIsAnEmptyList",
     {"diff", "--json", "%F", "%F"},
     0,
     "{\n  \"a\": \"%F\",\n  \"b\": \"%F\",\n  \"differences\": [\n  ]\n}\n",
     {}},
    {"DiffJsonNamesTheParameterAsShowDoes",
     {"diff", "--json", "%F", "%E"},
     1,
     "{\n  \"a\": \"%F\",\n  \"b\": \"%E\",\n  \"differences\": [\n"
     "    {\"page\": \"效果\", \"page_english\": \"Effect\", \"name\": \"EchoTimeBar\", "
     "\"label\": \"echo delay\", \"block\": 3, \"index\": 7, \"slot\": 7, \"a_raw\": 140, "
     "\"a_text\": \"280ms\", \"b_raw\": 125, \"b_text\": \"250ms\"}\n  ]\n}\n",
     {}},
    {"ShowHeader",
     {"show", "--header", "%F"},
     0,
     "page\tparameter\traw\ttext\n音乐 Music\tAutoModeBtn\t0\t自动\n*",
     {}},
    {"JsonAndHeaderTogetherIsAUsageError",
     {"show", "--json", "--header", "%F"},
     2,
     "",
     {"karaoke-ctl show: --header is for the tab-separated output, not for --json\n"}},
    {"DecodeJson",
     {"decode", "--json", "%R"},
     0,
     "{\n  \"recording\": \"%R\",\n  \"frames\": [\n"
     "    {\"time\": \"0.000\", \"port\": \"/dev/ttyUSB0\", \"direction\": \"note\", \"bytes\": "
     "\"\", \"meaning\": \"OPEN\"},\n"
     "    {\"time\": \"0.001\", \"port\": \"/dev/ttyUSB0\", \"direction\": \"TX\", \"bytes\": "
     "\"FC B1 06 A7 09 30 11 00 5C\", \"meaning\": \"probe (link control) [0x0930]\"},\n"
     "    {\"time\": \"0.030\", \"port\": \"/dev/ttyUSB0\", \"direction\": \"RX\", \"bytes\": "
     "\"FE AA\", \"meaning\": \"acknowledgement\"}\n  ]\n}\n",
     {}},
    {"DecodeJsonLeavesAStrayLineOutAndSaysWhich",
     {"decode", "--json", "%S"},
     2,
     "{\n  \"recording\": \"%S\",\n  \"frames\": [\n*",
     {"karaoke-ctl decode: %S: line 5 is not a recording line\n"}},
    {"DecodeCountsStrayLines",
     {"decode", "%T"},
     2,
     "--  0.000  /dev/ttyUSB0  OPEN\n*",
     {"karaoke-ctl decode: %T: 2 lines are not recording lines, the first is line 5\n"}},
    {"RestoreOfOneValueOutOfRange",
     {"restore", "--port", "/dev/null", "%O"},
     2,
     "",
     {"karaoke-ctl restore: %O: 1 value outside its parameter's range, nothing sent"}},
    {"RestoreHeaderAndASingleBoxSummary",
     {"restore", "--header", "--port", "/dev/null", "%F"},
     1,
     "port\tpage\tparameter\tfile\tbox\n",
     {"restore /dev/null: FAILED: cannot open the port: it is not a serial port; nothing was "
      "sent to it\n",
      "restore: 0 of 1 box verified in "}},
    {"StatusHeaderAndNotASerialPort",
     {"status", "--header", "--port", "/dev/null"},
     1,
     "room\tport\tstate\tidentity\tms\n/dev/null\t/dev/null\tunreachable\t\t\n",
     {"status /dev/null (/dev/null): unreachable: it is not a serial port\n"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, CtlOutputs, ::testing::ValuesIn(kOutputCases),
                         [](const auto& info) { return std::string(info.param.name); });

// On a terminal a line for each step of each box; to a file or a pipe none of them, and the
// results as before.
TEST_F(CtlE2e, BackupAndRestoreShowProgressOnATerminalOnly) {
  e2e::BoxSimProcess first;
  e2e::BoxSimProcess second;
  ASSERT_TRUE(first.ok() && second.ok());
  const fs::path mode = Dir() / "mode.Nddt";
  Write(mode, BuildModeText(FactoryMode()));
  const struct {
    const char* what;
    QStringList args;
    std::vector<std::string> steps;  // one line each, for each box
    std::string summary;
  } cases[] = {
      {"backup",
       {"backup", "--port", Port(first), "--port", Port(second), "-o", Q(Dir() / "saved")},
       {"backup %P: the box answered, downloading its settings\n"},
       "backup: 2 of 2 boxes saved in "},
      {"restore",
       {"restore", "--port", Port(first), "--port", Port(second), Q(mode)},
       {"restore %P: the box answered, downloading its settings\n",
        "restore %P: box 4B3107E5 downloaded in ", ", sending the file\n",
        "restore %P: file sent in ", ", reading the box back\n"},
       "restore: 2 of 2 boxes verified in "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const bool terminal : {true, false}) {
      const CtlRun run = terminal ? CtlOnTerminal(c.args) : Ctl(c.args);
      EXPECT_EQ(run.exit_code, 0) << run.err;
      EXPECT_NE(run.err.find(c.summary), std::string::npos) << run.err;
      for (const e2e::BoxSimProcess* box : {&first, &second}) {
        for (std::string step : c.steps) {
          if (const auto at = step.find("%P"); at != std::string::npos) {
            step.replace(at, 2, box->path());
          }
          EXPECT_EQ(run.err.find(step) != std::string::npos, terminal)
              << (terminal ? "on a terminal: " : "not on a terminal: ") << step << run.err;
        }
      }
    }
  }
}

// Backups and recordings are the user's files: they get what the umask leaves of rw-rw-rw-.
TEST_F(CtlE2e, WrittenFilesHaveThePermissionsOfTheUmask) {
  e2e::BoxSimProcess box;
  ASSERT_TRUE(box.ok());
  const struct {
    mode_t umask;
    mode_t mode;
  } cases[] = {{022, 0644}, {077, 0600}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.umask);
    const fs::path folder = Dir() / std::to_string(c.umask);
    const CtlRun run =
        Ctl({"backup", "--port", Port(box), "-o", Q(folder), "--record", Q(folder / "line.txt")},
            [mask = c.umask] { umask(mask); });
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const std::vector<fs::path> files = FilesIn(folder);
    ASSERT_EQ(files.size(), 2u) << "the mode file and the recording";
    for (const fs::path& file : files) {
      struct stat info {};
      ASSERT_EQ(stat(file.c_str(), &info), 0);
      EXPECT_EQ(info.st_mode & 0777, c.mode)
          << file << " is 0" << std::oct << (info.st_mode & 0777);
    }
  }
}

}  // namespace
}  // namespace kc
