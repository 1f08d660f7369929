// Runs the box-sim program and talks to it over its pseudo-terminal with plain POSIX I/O.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "box_test_util.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

const std::vector<uint8_t> kProbe = {0xFC, 0xB1, 0x06, 0xA7, 0x09, 0x30, 0x11, 0x00, 0x5C};
const std::vector<uint8_t> kReadIdentity = {0xFC, 0xB1, 0x04, 0xA0, 0x09, 0x40, 0x54};

// Reads until `want` bytes arrived or the deadline passed; waits in poll, never sleeps.
std::vector<uint8_t> ReadFor(int fd, std::size_t want, int timeout_ms) {
  std::vector<uint8_t> got;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (got.size() < want) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    uint8_t buf[256];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) got.insert(got.end(), buf, buf + n);
  }
  return got;
}

// The program with its stdout on a pipe; stopped with SIGTERM when the test ends.
class BoxSimProcess {
 public:
  // With `capture_log`, the program's stderr (its --verbose log) is kept for ReadLogLine.
  explicit BoxSimProcess(std::vector<std::string> args, bool capture_log = false) {
    int out[2];
    if (pipe(out) != 0) return;
    int err[2] = {-1, -1};
    if (capture_log && pipe(err) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    if (capture_log) {
      posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
      posix_spawn_file_actions_addclose(&actions, err[0]);
    }
    args.insert(args.begin(), KC_BOX_SIM_PROGRAM);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, KC_BOX_SIM_PROGRAM, &actions, nullptr, argv.data(), environ) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    stdout_ = out[0];
    if (capture_log) {
      close(err[1]);
      stderr_ = err[0];
    }
  }
  ~BoxSimProcess() {
    Stop();
    if (stdout_ >= 0) close(stdout_);
    if (stderr_ >= 0) close(stderr_);
  }

  // First line of the program's output: the terminal's path.
  std::string ReadPath() { return ReadLine(stdout_); }
  // Next line of the captured log; empty when none came within three seconds.
  std::string ReadLogLine() { return ReadLine(stderr_); }

  // Sends SIGTERM and waits for the exit; returns the exit status, or -1.
  int Stop() {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    return Wait();
  }

  // Waits for the program to end by itself; returns the exit status, or -1.
  int Wait() {
    if (pid_ <= 0) return -1;
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  bool running() const { return pid_ > 0; }

 private:
  // One byte at a time, so nothing after the line is taken from the pipe.
  static std::string ReadLine(int fd) {
    std::string line;
    if (fd < 0) return line;
    const auto deadline = Clock::now() + std::chrono::seconds(3);
    while (Clock::now() < deadline) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char b = 0;
      if (read(fd, &b, 1) != 1 || b == '\n') break;
      line.push_back(b);
    }
    return line;
  }

  pid_t pid_ = -1;
  int stdout_ = -1;
  int stderr_ = -1;
};

std::vector<uint8_t> Exchange(const std::string& path, const std::vector<uint8_t>& request,
                              std::size_t want) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
  if (fd < 0) return {};
  if (write(fd, request.data(), request.size()) != static_cast<ssize_t>(request.size())) {
    close(fd);
    return {};
  }
  std::vector<uint8_t> answer = ReadFor(fd, want, 2000);
  close(fd);
  return answer;
}

TEST(BoxSimProgramTest, AnswersOverThePseudoTerminalAcrossReopens) {
  const std::string link = ::testing::TempDir() + "/box-sim-test-link-" + std::to_string(getpid());
  unlink(link.c_str());
  BoxSimProcess sim({"--link", link});
  ASSERT_TRUE(sim.running());
  const std::string path = sim.ReadPath();
  ASSERT_FALSE(path.empty());

  // The probe carries 0x11, which a terminal left in cooked mode would swallow.
  EXPECT_EQ(Exchange(path, kProbe, 2), (std::vector<uint8_t>{0xFE, 0xBB}));
  // The port closed and opened again, as during a scan, and through the link this time.
  char target[256] = {};
  ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(std::string(target), path);
  EXPECT_EQ(Exchange(link, kProbe, 2), (std::vector<uint8_t>{0xFE, 0xBB}));
  const std::vector<uint8_t> identity = Exchange(path, kReadIdentity, 11);
  ASSERT_EQ(identity.size(), 11u);
  EXPECT_EQ(identity[5], 0x40);

  EXPECT_EQ(sim.Stop(), 0);
  struct stat st {};
  EXPECT_NE(lstat(link.c_str(), &st), 0);  // the link is gone
}

TEST(BoxSimProgramTest, FaultSwitchesReachTheModel) {
  BoxSimProcess sim({"--drop-ack-every", "2", "--split", "--noise", "3"});
  const std::string path = sim.ReadPath();
  ASSERT_FALSE(path.empty());
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, kProbe.data(), kProbe.size()), 9);
  const std::vector<uint8_t> first = ReadFor(fd, 5, 2000);
  ASSERT_EQ(first.size(), 5u);  // three noise bytes, then the acknowledgement
  EXPECT_EQ(first[3], 0xFE);
  EXPECT_EQ(first[4], 0xBB);
  ASSERT_EQ(write(fd, kProbe.data(), kProbe.size()), 9);  // second acknowledgement is dropped
  EXPECT_TRUE(ReadFor(fd, 1, 300).empty());
  close(fd);
}

TEST(BoxSimProgramTest, SilenceCorruptionAndDelaySwitchesTakeEffect) {
  struct Case {
    std::vector<std::string> args;
    std::vector<std::vector<uint8_t>> answers;  // to the probe, then to the identity read
    int min_ms;                                 // the two exchanges take at least this long
  };
  const std::vector<uint8_t> ack = {0xFE, 0xBB};
  const std::vector<uint8_t> identity = {0xFC, 0xB1, 0x08, 0xA0, 0x09, 0x40,
                                         0x4B, 0x31, 0x07, 0xE5, 0xFC};
  std::vector<uint8_t> damaged = identity;
  damaged.back() ^= 0xFF;
  const std::vector<Case> cases = {
      {{"--silent-after", "1"}, {ack, {}}, 0},
      {{"--corrupt-every", "1"}, {ack, damaged}, 0},
      {{"--delay-ms", "250"}, {ack, identity}, 500},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front());
    BoxSimProcess sim(c.args);
    const std::string path = sim.ReadPath();
    ASSERT_FALSE(path.empty());
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    const auto start = Clock::now();
    std::vector<std::vector<uint8_t>> answers;
    for (const auto* request : {&kProbe, &kReadIdentity}) {
      ASSERT_EQ(write(fd, request->data(), request->size()), static_cast<ssize_t>(request->size()));
      const std::size_t want = request == &kProbe ? 2 : 11;
      answers.push_back(ReadFor(fd, want, 1000));
    }
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    close(fd);
    EXPECT_EQ(answers, c.answers);
    EXPECT_GE(elapsed, c.min_ms);
  }
}

TEST(BoxSimProgramTest, AnswersMeantForAClosedPortDoNotReachTheNextOpener) {
  BoxSimProcess sim({"--verbose"}, /*capture_log=*/true);
  const std::string path = sim.ReadPath();
  ASSERT_FALSE(path.empty());
  // The PC probes and closes the port before the acknowledgement can be read.
  int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, kProbe.data(), kProbe.size()), 9);
  close(fd);
  // Wait until the log shows both the probe heard and the port closed, in either order: when
  // the close is noticed first, the answer is never sent.
  const std::string heard = "pc  -> FC B1 06 A7 09 30 11 00 5C";
  const std::string closed = "port closed, unread answers dropped";
  std::vector<std::string> log;
  for (std::string line = sim.ReadLogLine(); !line.empty(); line = sim.ReadLogLine()) {
    log.push_back(line);
    if (std::count(log.begin(), log.end(), heard) + std::count(log.begin(), log.end(), closed) ==
        2) {
      break;
    }
  }
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front(), "port opened");
  EXPECT_EQ(std::count(log.begin(), log.end(), heard), 1);
  EXPECT_EQ(std::count(log.begin(), log.end(), closed), 1);

  // Whoever opens the port next gets only the answers to its own requests, as on a serial line,
  // where bytes that arrive while a port is closed are lost.
  fd = open(path.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, kReadIdentity.data(), kReadIdentity.size()), 7);
  const std::vector<uint8_t> answer = ReadFor(fd, 13, 1000);
  close(fd);
  EXPECT_EQ(answer, (std::vector<uint8_t>{0xFC, 0xB1, 0x08, 0xA0, 0x09, 0x40, 0x4B, 0x31, 0x07,
                                          0xE5, 0xFC}));
}

// A PC program killed while it held the port in exclusive mode: as a serial device does at its
// last close, the terminal leaves exclusive mode, so the next program is not refused as busy.
TEST(BoxSimProgramTest, AHolderThatEndsWithoutClearingExclusiveModeLeavesThePortFree) {
  BoxSimProcess sim({"--verbose"}, /*capture_log=*/true);
  const std::string path = sim.ReadPath();
  ASSERT_FALSE(path.empty());
  int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ioctl(fd, TIOCEXCL), 0);
  close(fd);  // no TIOCNXCL: the program was killed
  for (std::string line = sim.ReadLogLine(); !line.empty(); line = sim.ReadLogLine()) {
    if (line == "port closed, unread answers dropped") break;
  }
  fd = open(path.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  int exclusive = -1;
  ASSERT_EQ(ioctl(fd, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0);
  close(fd);
}

TEST(BoxSimProgramTest, RejectsUnknownOptions) {
  BoxSimProcess sim({"--no-such-switch"});
  ASSERT_TRUE(sim.running());
  EXPECT_EQ(sim.Wait(), 2);
}

// A loose connector for half a second of the connected session, then another box answers.
TEST(BoxSimProgramTest, LosesFramesInTheWindowThenAnotherBoxAnswers) {
  BoxSimProcess sim({"--lose-ms", "0:500", "--swap-identity", "12345678"});
  const std::string path = sim.ReadPath();
  ASSERT_FALSE(path.empty());
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  const auto exchange = [fd](const std::vector<uint8_t>& request, std::size_t want,
                             int timeout_ms) {
    EXPECT_EQ(write(fd, request.data(), request.size()), static_cast<ssize_t>(request.size()));
    return ReadFor(fd, want, timeout_ms);
  };
  const std::vector<uint8_t> read_music = kc::boxsim::testing::Hex("FC B1 06 A0 09 10 00 00 04");
  constexpr std::size_t kMusicAnswer = 7 + 2 * 106;
  // Before the first identity answer the window has not begun.
  const std::vector<uint8_t> music_before = exchange(read_music, kMusicAnswer, 1000);
  ASSERT_EQ(music_before.size(), kMusicAnswer);
  EXPECT_EQ(exchange(kReadIdentity, 11, 1000),
            kc::boxsim::testing::Hex("FC B1 08 A0 09 40 4B 31 07 E5 FC"));
  const auto session = Clock::now();
  // Inside the window: lost, unanswered.
  EXPECT_TRUE(exchange(kProbe, 2, 250).empty());
  // After it (waiting in poll for answers that do not come): another box.
  const auto in_session =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - session).count();
  EXPECT_TRUE(ReadFor(fd, 1, 650 - static_cast<int>(in_session)).empty());
  EXPECT_EQ(exchange(kProbe, 2, 1000), (std::vector<uint8_t>{0xFE, 0xBB}));
  EXPECT_EQ(exchange(kReadIdentity, 11, 1000),
            kc::boxsim::testing::Hex("FC B1 08 A0 09 40 12 34 56 78 48"));
  const std::vector<uint8_t> music_after = exchange(read_music, kMusicAnswer, 1000);
  ASSERT_EQ(music_after.size(), kMusicAnswer);
  EXPECT_NE(music_after, music_before);
  close(fd);
}

TEST(BoxSimProgramTest, RejectsLossSwitchesThatCannotWork) {
  const std::vector<std::vector<std::string>> bad = {
      {"--lose-ms", "500"},
      {"--lose-ms", "500:500"},
      {"--lose-ms", "600:500"},
      {"--lose-ms", "-1:500"},
      {"--lose-ms", "0:500", "--lose-only", "reads"},
      {"--lose-only", "edit"},  // no window
      {"--lose-frame", "0"},
      {"--lose-frame", "x"},
      {"--swap-identity", "1234567"},
      {"--swap-identity", "12345678"},  // no silence to come back from
      {"--swap-identity", "12345678", "--silent-after", "3"},
  };
  for (const auto& args : bad) {
    SCOPED_TRACE(args.front() + " " + args[1]);
    BoxSimProcess sim(args);
    ASSERT_TRUE(sim.running());
    EXPECT_EQ(sim.Wait(), 2);
  }
}

}  // namespace
