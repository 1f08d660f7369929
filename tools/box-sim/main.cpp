// box-sim: serves the simulated box on a pseudo-terminal until SIGINT or SIGTERM.
//
// The program opens a pseudo-terminal, prints the path of its terminal side on stdout and answers
// whatever the PC writes there as the box would. With --count N it serves N boxes, each on a
// terminal of its own (one path a line), from one process, for tests of many rooms at once. It
// keeps the terminal side open itself, so that the PC may close and reopen the port (it does so
// while scanning) without the line hanging up. What the box sends while the PC's port is closed is
// lost, as it is on a serial line.

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "box-sim/box_model.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnStopSignal(int) { g_stop = 1; }

// Follows "Usage: NAME [options]", NAME being the name the program was started by (the package
// installs it as karaoke-box-sim).
constexpr const char kUsage[] =
    "Serves a simulated effects box on a pseudo-terminal and prints the terminal's path.\n"
    "\n"
    "  --link PATH          also place a symbolic link to the terminal at PATH (removed on exit)\n"
    "  --silent-after N     handle N frames, then answer nothing more\n"
    "  --drop-ack-every K   leave out every K-th acknowledgement\n"
    "  --corrupt-every K    send every K-th frame with a wrong checksum\n"
    "  --corrupt-payload-every K\n"
    "                       flip a payload byte of every K-th frame, checksum left as sent\n"
    "  --short-block B:N    answer a read of block B with its first N values only\n"
    "  --silent-for M       once silent (see --silent-after), come back after M frames\n"
    "  --identity HEX       the box's identity, 8 hexadecimal digits\n"
    "  --split              deliver answers in pieces of a few bytes\n"
    "  --noise N            put N noise bytes (never 0xFC or 0xFE) before every answer\n"
    "  --seed N             seed of the noise bytes (default 1)\n"
    "  --delay-ms N         wait N milliseconds before every answer\n"
    "  --lose-ms FROM:TO    lose, unanswered and not carried out, the frames arriving from FROM\n"
    "                       up to TO milliseconds after the first identity read was answered\n"
    "  --lose-only KIND     with --lose-ms, lose only frames of KIND: edit (writes to blocks 0\n"
    "                       to 9 but link control), keepalive, or all (the default)\n"
    "  --lose-frame N       lose the N-th edit frame (counting from 1)\n"
    "  --swap-identity HEX  back from a silence (--lose-ms, --silent-after with --silent-for),\n"
    "                       be another box: identity HEX, other settings\n"
    "  --no-identity        acknowledge the probe, never answer an identity read\n"
    "  --ignore-writes      acknowledge every write and keep none of it (settings that\n"
    "                       do not stick)\n"
    "  --flood BYTES        after the first answer each time the port is opened, send\n"
    "                       BYTES random bytes (every value)\n"
    "  --count N            serve N boxes, each on a terminal of its own, one path a line;\n"
    "                       the box of line K has identity HEX + K - 1 (see --identity)\n"
    "  --verbose            log every exchange in hexadecimal, and the port being opened and\n"
    "                       closed, on stderr\n"
    "  --help               show this text\n";

// Bytes per piece and pause between pieces when answers are split.
constexpr std::size_t kSplitPiece = 3;
constexpr int kSplitPauseMs = 2;
// Poll interval while idle; the program wakes this often only to notice a stop request.
constexpr int kIdlePollMs = 500;
// Pause before polling again after the terminal side reported a hang-up.
constexpr int kHangupPauseMs = 100;
// How long a write may wait for room before the rest of an answer is dropped.
constexpr int kWriteWaitMs = 200;

struct Options {
  std::string link_path;
  int count = 1;
  int flood_bytes = 0;
  kc::boxsim::Faults faults;
  std::array<uint8_t, 4> identity{};
  bool has_identity = false;
  bool verbose = false;
};

void SleepMs(int ms) {
  if (ms <= 0) return;
  timespec ts{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR && !g_stop) {
  }
}

bool ParseCount(const char* text, int* out) {
  const char* end = text + std::strlen(text);
  int value = 0;
  const auto [ptr, ec] = std::from_chars(text, end, value);
  if (ec != std::errc() || ptr != end || value < 0) return false;
  *out = value;
  return true;
}

// An identity: 8 hexadecimal digits, most significant byte first.
bool ParseIdentity(const char* text, std::array<uint8_t, 4>* out) {
  char* end = nullptr;
  const unsigned long id = std::strtoul(text, &end, 16);
  if (end == text || *end != '\0' || std::strlen(text) != 8) return false;
  *out = {static_cast<uint8_t>(id >> 24), static_cast<uint8_t>(id >> 16),
          static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(id)};
  return true;
}

// FROM:TO, both non-negative, FROM below TO.
bool ParseWindow(const char* text, int* from, int* to) {
  const char* colon = std::strchr(text, ':');
  if (colon == nullptr) return false;
  const std::string first(text, colon);
  return ParseCount(first.c_str(), from) && ParseCount(colon + 1, to) && *from < *to;
}

// Milliseconds on the steady clock, for the loss window.
int64_t NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

std::string IdentityText(const std::array<uint8_t, 4>& id) {
  char text[9];
  std::snprintf(text, sizeof text, "%02X%02X%02X%02X", id[0], id[1], id[2], id[3]);
  return text;
}

void PrintUsage(const char* argv0, std::FILE* to) {
  const char* slash = std::strrchr(argv0, '/');
  std::fprintf(to, "Usage: %s [options]\n%s", slash != nullptr ? slash + 1 : argv0, kUsage);
}

// Returns 0 to run, 1 after --help, 2 on a bad command line.
int ParseOptions(int argc, char** argv, Options* opt) {
  bool lose_only = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto count = [&](int* out) {
      if (i + 1 >= argc || !ParseCount(argv[i + 1], out)) {
        std::fprintf(stderr, "box-sim: %s needs a non-negative number\n", arg.c_str());
        return false;
      }
      ++i;
      return true;
    };
    int seed = 0;
    if (arg == "--help" || arg == "-h") {
      PrintUsage(argv[0], stdout);
      return 1;
    } else if (arg == "--link") {
      if (i + 1 >= argc) {
        std::fputs("box-sim: --link needs a path\n", stderr);
        return 2;
      }
      opt->link_path = argv[++i];
    } else if (arg == "--silent-after") {
      if (!count(&opt->faults.silent_after_frames)) return 2;
    } else if (arg == "--drop-ack-every") {
      if (!count(&opt->faults.drop_ack_every)) return 2;
    } else if (arg == "--corrupt-every") {
      if (!count(&opt->faults.corrupt_checksum_every)) return 2;
    } else if (arg == "--corrupt-payload-every") {
      if (!count(&opt->faults.corrupt_payload_every)) return 2;
    } else if (arg == "--silent-for") {
      if (!count(&opt->faults.silent_for_frames)) return 2;
    } else if (arg == "--short-block") {
      int block = 0;
      int values = 0;
      if (i + 1 >= argc || std::sscanf(argv[i + 1], "%d:%d", &block, &values) != 2 || block < 0 ||
          block > 8 || values < 0) {
        std::fputs("box-sim: --short-block needs BLOCK:VALUES, block 0 to 8\n", stderr);
        return 2;
      }
      ++i;
      opt->faults.short_block = block;
      opt->faults.short_block_values = values;
    } else if (arg == "--identity" || arg == "--swap-identity") {
      const bool swap = arg == "--swap-identity";
      if (i + 1 >= argc ||
          !ParseIdentity(argv[i + 1], swap ? &opt->faults.swapped_identity : &opt->identity)) {
        std::fprintf(stderr, "box-sim: %s needs 8 hexadecimal digits\n", arg.c_str());
        return 2;
      }
      ++i;
      (swap ? opt->faults.swap_identity : opt->has_identity) = true;
    } else if (arg == "--lose-ms") {
      if (i + 1 >= argc ||
          !ParseWindow(argv[i + 1], &opt->faults.lose_from_ms, &opt->faults.lose_to_ms)) {
        std::fputs("box-sim: --lose-ms needs FROM:TO milliseconds, FROM below TO\n", stderr);
        return 2;
      }
      ++i;
    } else if (arg == "--lose-only") {
      const std::string kind = i + 1 < argc ? argv[i + 1] : "";
      if (kind == "all") {
        opt->faults.lose_only = kc::boxsim::LoseKind::kAll;
      } else if (kind == "edit") {
        opt->faults.lose_only = kc::boxsim::LoseKind::kEdit;
      } else if (kind == "keepalive") {
        opt->faults.lose_only = kc::boxsim::LoseKind::kKeepalive;
      } else {
        std::fputs("box-sim: --lose-only needs edit, keepalive or all\n", stderr);
        return 2;
      }
      ++i;
      lose_only = true;
    } else if (arg == "--lose-frame") {
      if (!count(&opt->faults.lose_edit_frame)) return 2;
      if (opt->faults.lose_edit_frame == 0) {
        std::fputs("box-sim: --lose-frame counts from 1\n", stderr);
        return 2;
      }
    } else if (arg == "--no-identity") {
      opt->faults.no_identity = true;
    } else if (arg == "--ignore-writes") {
      opt->faults.ignore_writes = true;
    } else if (arg == "--flood") {
      if (!count(&opt->flood_bytes)) return 2;
    } else if (arg == "--count") {
      if (!count(&opt->count)) return 2;
      if (opt->count < 1) {
        std::fputs("box-sim: --count needs at least 1\n", stderr);
        return 2;
      }
    } else if (arg == "--split") {
      opt->faults.split_writes = true;
    } else if (arg == "--noise") {
      if (!count(&opt->faults.noise_bytes)) return 2;
    } else if (arg == "--seed") {
      if (!count(&seed)) return 2;
      opt->faults.noise_seed = static_cast<uint32_t>(seed);
    } else if (arg == "--delay-ms") {
      if (!count(&opt->faults.answer_delay_ms)) return 2;
    } else if (arg == "--verbose" || arg == "-v") {
      opt->verbose = true;
    } else {
      std::fprintf(stderr, "box-sim: unknown option %s\n", arg.c_str());
      PrintUsage(argv[0], stderr);
      return 2;
    }
  }
  // Switches that would have no effect are mistakes.
  const kc::boxsim::Faults& f = opt->faults;
  if (opt->count > 1 && !opt->link_path.empty()) {
    std::fputs("box-sim: --link places one link; it does not go with --count\n", stderr);
    return 2;
  }
  if (lose_only && f.lose_from_ms < 0) {
    std::fputs("box-sim: --lose-only needs --lose-ms\n", stderr);
    return 2;
  }
  if (f.swap_identity && f.lose_from_ms < 0 &&
      (f.silent_after_frames < 0 || f.silent_for_frames <= 0)) {
    std::fputs(
        "box-sim: --swap-identity needs a silence: --lose-ms, or --silent-after with "
        "--silent-for\n",
        stderr);
    return 2;
  }
  return 0;
}

void LogHex(const char* what, const uint8_t* data, std::size_t size) {
  std::string line = what;
  char hex[4];
  for (std::size_t i = 0; i < size; ++i) {
    std::snprintf(hex, sizeof hex, " %02X", data[i]);
    line += hex;
  }
  std::fprintf(stderr, "%s\n", line.c_str());
}

// Writes all bytes to the non-blocking master; when nobody drains the line for a while, the rest
// is dropped, as a line with no listener loses what is sent on it.
void WriteAll(int fd, const uint8_t* data, std::size_t size) {
  while (size > 0 && !g_stop) {
    const ssize_t n = write(fd, data, size);
    if (n > 0) {
      data += n;
      size -= static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{fd, POLLOUT, 0};
      if (poll(&p, 1, kWriteWaitMs) > 0) continue;
    }
    return;
  }
}

// Random bytes, every value (lead bytes among them), as much as the line takes now; the rest
// waits for the next turn of the loop. Returns what is left to send.
std::size_t FloodSome(int fd, std::size_t left, std::mt19937& random) {
  uint8_t chunk[4096];
  while (left > 0 && !g_stop) {
    const std::size_t n = std::min(left, sizeof chunk);
    for (std::size_t i = 0; i < n; ++i) chunk[i] = static_cast<uint8_t>(random());
    const ssize_t written = write(fd, chunk, n);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) break;
    left -= static_cast<std::size_t>(written);
  }
  return left;
}

void Answer(int fd, const std::vector<uint8_t>& bytes, const kc::boxsim::Faults& faults) {
  SleepMs(faults.answer_delay_ms);
  if (!faults.split_writes) {
    WriteAll(fd, bytes.data(), bytes.size());
    return;
  }
  bool first = true;
  for (const auto& piece : kc::boxsim::SplitIntoPieces(bytes, kSplitPiece)) {
    if (!first) SleepMs(kSplitPauseMs);
    first = false;
    WriteAll(fd, piece.data(), piece.size());
  }
}

// Follows whether the PC holds each terminal side open, through the open and close
// notifications of the terminal's device file (one inotify instance for every box: the system
// allows a user few of them). On a serial line, bytes that arrive while the PC's port is closed
// are lost; on a pseudo-terminal that the simulator keeps open they would wait for whoever opens
// it next and reach a later session. So when the PC's last handle closes, whatever the box sent
// and nobody read is discarded, and answers to requests heard while nobody listens are not sent.
class PortWatch {
 public:
  explicit PortWatch(bool verbose) : verbose_(verbose) {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  }
  ~PortWatch() { Disable(); }
  PortWatch(const PortWatch&) = delete;
  PortWatch& operator=(const PortWatch&) = delete;

  // Watches terminal `index`; false when notifications are not available for it.
  void Add(int index, const std::string& path, int slave) {
    if (static_cast<int>(ports_.size()) <= index)
      ports_.resize(static_cast<std::size_t>(index) + 1);
    ports_[static_cast<std::size_t>(index)].slave = slave;
    if (fd_ < 0) return;
    const int wd = inotify_add_watch(fd_, path.c_str(), IN_OPEN | IN_CLOSE);
    if (wd < 0) {
      Disable();
      return;
    }
    by_watch_[wd] = index;
  }

  // -1 when notifications are not available.
  int fd() const { return fd_; }
  // Times the PC has opened the terminal side (1 at all times without notifications).
  int sessions(int index) const {
    return fd_ < 0 ? 1 : ports_[static_cast<std::size_t>(index)].sessions;
  }
  // Without notifications the simulator takes the PC to be always listening.
  bool listening(int index) const {
    return fd_ < 0 || ports_[static_cast<std::size_t>(index)].opens > 0;
  }

  // Takes the notifications queued so far.
  void Drain() {
    alignas(inotify_event) char events[4096];
    while (fd_ >= 0) {
      const ssize_t n = read(fd_, events, sizeof events);
      if (n <= 0) return;
      for (ssize_t at = 0; at < n;) {
        const auto* e = reinterpret_cast<const inotify_event*>(events + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        if ((e->mask & IN_Q_OVERFLOW) != 0) {
          Disable();  // the counts are lost; fall back to always listening
          return;
        }
        const auto found = by_watch_.find(e->wd);
        if (found == by_watch_.end()) continue;
        Port& port = ports_[static_cast<std::size_t>(found->second)];
        if ((e->mask & IN_OPEN) != 0 && ++port.opens == 1) {
          ++port.sessions;
          if (verbose_) std::fputs("port opened\n", stderr);
        }
        if ((e->mask & IN_CLOSE) != 0 && port.opens > 0 && --port.opens == 0) {
          tcflush(port.slave, TCIFLUSH);
          // A serial device leaves exclusive mode at its last close; this terminal is never
          // closed last (the simulator holds it), so a PC program that ended without clearing
          // the mode (killed) would leave every later open refused as busy.
          ioctl(port.slave, TIOCNXCL);
          if (verbose_) std::fputs("port closed, unread answers dropped\n", stderr);
        }
      }
    }
  }

 private:
  struct Port {
    int slave = -1;
    int opens = 0;  // handles of the terminal side open besides the simulator's own
    int sessions = 0;
  };
  void Disable() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

  bool verbose_;
  int fd_ = -1;
  std::vector<Port> ports_;
  std::map<int, int> by_watch_;
};

// Puts the terminal side into raw mode at the box's line speed: no echo, no line editing, no
// XON/XOFF (the probe carries 0x11), no CR/LF translation.
bool MakeRaw(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  cfsetispeed(&t, B57600);
  cfsetospeed(&t, B57600);
  return tcsetattr(fd, TCSANOW, &t) == 0;
}

}  // namespace

// One simulated box on its terminal.
struct Served {
  int master = -1;
  int slave = -1;
  std::string path;
  kc::boxsim::BoxModel box;
  int flooded_session = 0;       // the flood follows the first answer of each opening
  std::size_t flood_left = 0;    // random bytes still to send while the PC listens
  int64_t resting_until_ms = 0;  // after a hang-up, not polled until then
};

// Opens a pseudo-terminal for one box; false (reported) when the system gives none.
bool OpenTerminal(Served* served) {
  served->master = posix_openpt(O_RDWR | O_NOCTTY);
  if (served->master < 0 || grantpt(served->master) != 0 || unlockpt(served->master) != 0) {
    std::perror("box-sim: cannot open a pseudo-terminal");
    return false;
  }
  const char* name = ptsname(served->master);
  if (name == nullptr) {
    std::perror("box-sim: ptsname");
    return false;
  }
  served->path = name;
  served->slave = open(served->path.c_str(), O_RDWR | O_NOCTTY);
  if (served->slave < 0 || !MakeRaw(served->slave)) {
    std::perror("box-sim: cannot set up the terminal side");
    return false;
  }
  fcntl(served->master, F_SETFL, fcntl(served->master, F_GETFL) | O_NONBLOCK);
  return true;
}

// Each box holds two descriptors; many boxes need more than the usual soft limit.
void RaiseDescriptorLimit(int boxes) {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
  const rlim_t wanted = static_cast<rlim_t>(boxes) * 2 + 64;
  if (limit.rlim_cur >= wanted) return;
  limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? wanted : std::min(wanted, limit.rlim_max);
  setrlimit(RLIMIT_NOFILE, &limit);
}

int main(int argc, char** argv) {
  Options opt;
  const int parsed = ParseOptions(argc, argv, &opt);
  if (parsed == 1) return 0;
  if (parsed == 2) return 2;

  RaiseDescriptorLimit(opt.count);
  std::vector<std::unique_ptr<Served>> boxes;
  for (int i = 0; i < opt.count; ++i) {
    boxes.push_back(std::make_unique<Served>());
    if (!OpenTerminal(boxes.back().get())) return 1;
  }

  if (!opt.link_path.empty()) {
    struct stat st {};
    // Replace a stale link from an earlier run, but never a real file.
    if (lstat(opt.link_path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
      unlink(opt.link_path.c_str());
    }
    if (symlink(boxes[0]->path.c_str(), opt.link_path.c_str()) != 0) {
      std::fprintf(stderr, "box-sim: cannot create link %s: %s\n", opt.link_path.c_str(),
                   std::strerror(errno));
      return 1;
    }
  }

  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  // Watched from before the paths are printed, so the PC's first open is seen.
  PortWatch watch(opt.verbose);
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    watch.Add(static_cast<int>(i), boxes[i]->path, boxes[i]->slave);
  }
  for (const auto& served : boxes) std::printf("%s\n", served->path.c_str());
  std::fflush(stdout);

  for (std::size_t i = 0; i < boxes.size(); ++i) {
    kc::boxsim::BoxModel& box = boxes[i]->box;
    box.faults() = opt.faults;
    // Boxes after the first are told apart by their identities.
    std::array<uint8_t, 4> id = opt.has_identity ? opt.identity : box.identity();
    uint32_t value =
        (uint32_t{id[0]} << 24 | uint32_t{id[1]} << 16 | uint32_t{id[2]} << 8 | id[3]) +
        static_cast<uint32_t>(i);
    id = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
          static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    if (opt.has_identity || i > 0) box.SetIdentity(id);
  }
  std::mt19937 flood_random(opt.faults.noise_seed);
  std::vector<pollfd> polled(boxes.size() + 1);
  std::vector<uint8_t> buffer(4096);
  int status = 0;
  while (!g_stop && status == 0) {
    // A terminal that hung up rests a while (poll skips a negative descriptor) rather than
    // waking the loop again at once, and the other boxes are served meanwhile.
    const int64_t now = NowMs();
    int wait_ms = kIdlePollMs;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
      const Served& served = *boxes[i];
      const short events = served.flood_left > 0 ? POLLIN | POLLOUT : POLLIN;
      const bool resting = served.resting_until_ms > now;
      if (resting)
        wait_ms = std::min<int>(wait_ms, static_cast<int>(served.resting_until_ms - now));
      polled[i] = {resting ? -1 : served.master, events, 0};
    }
    polled[boxes.size()] = {watch.fd(), POLLIN, 0};
    const nfds_t count = static_cast<nfds_t>(boxes.size() + (watch.fd() >= 0 ? 1 : 0));
    const int ready = poll(polled.data(), count, wait_ms);
    if (ready < 0) {
      if (errno == EINTR) continue;
      std::perror("box-sim: poll");
      status = 1;
      break;
    }
    if (ready == 0) continue;
    if (watch.fd() >= 0 && polled[boxes.size()].revents != 0) watch.Drain();
    for (std::size_t i = 0; i < boxes.size() && !g_stop; ++i) {
      if (polled[i].revents == 0) continue;
      Served& served = *boxes[i];
      if (served.flood_left > 0) {
        watch.Drain();
        // A flood ends when the PC lets the port go: the next opening gets a flood of its own.
        if (!watch.listening(static_cast<int>(i)) ||
            watch.sessions(static_cast<int>(i)) != served.flooded_session) {
          served.flood_left = 0;
        } else if ((polled[i].revents & POLLOUT) != 0) {
          served.flood_left = FloodSome(served.master, served.flood_left, flood_random);
        }
        if ((polled[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      }
      ssize_t n = 0;
      if ((polled[i].revents & POLLIN) != 0) {
        n = read(served.master, buffer.data(), buffer.size());
        if (n < 0) {
          if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
          if (errno != EIO) {
            std::perror("box-sim: read");
            status = 1;
            break;
          }
          n = 0;
        }
      }
      // Bytes just read were written after every open and close queued so far, so the PC's
      // comings and goings are taken before its requests are answered.
      watch.Drain();
      if (n == 0) {
        // Hang-up with no data: nobody holds the terminal side.
        served.resting_until_ms = NowMs() + kHangupPauseMs;
        continue;
      }
      kc::boxsim::BoxModel& box = served.box;
      if (opt.verbose) LogHex("pc  ->", buffer.data(), static_cast<std::size_t>(n));
      const int lost_before = box.frames_lost();
      const bool started_before = box.session_started();
      const bool swapped_before = box.swapped();
      // The model keeps no clock: it is told when the bytes arrived, for the loss window.
      const std::vector<uint8_t> answer =
          box.Feed(buffer.data(), static_cast<std::size_t>(n), NowMs());
      if (opt.verbose) {
        // Only the loss switches make these happen, so the log is unchanged without them.
        if (!started_before && box.session_started() && opt.faults.lose_from_ms >= 0) {
          std::fputs("identity read answered: loss window clock started\n", stderr);
        }
        if (box.frames_lost() != lost_before) {
          std::fprintf(stderr, "lost %d frame(s)\n", box.frames_lost() - lost_before);
        }
        if (!swapped_before && box.swapped()) {
          std::fprintf(stderr, "back from the silence as another box: identity %s, mode %d\n",
                       IdentityText(box.identity()).c_str(), box.current_mode() + 1);
        }
      }
      if (answer.empty()) continue;
      if (opt.verbose) LogHex("box ->", answer.data(), answer.size());
      if (!watch.listening(static_cast<int>(i))) continue;
      Answer(served.master, answer, box.faults());
      if (opt.flood_bytes > 0 && served.flooded_session != watch.sessions(static_cast<int>(i))) {
        if (opt.verbose) std::fprintf(stderr, "flooding %d bytes\n", opt.flood_bytes);
        served.flooded_session = watch.sessions(static_cast<int>(i));
        served.flood_left = static_cast<std::size_t>(opt.flood_bytes);
      }
    }
  }

  if (!opt.link_path.empty()) unlink(opt.link_path.c_str());
  for (const auto& served : boxes) {
    close(served->slave);
    close(served->master);
  }
  return status;
}
