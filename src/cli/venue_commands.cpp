// karaoke-ctl status: a look at every room's box at once (probe and identity, no download).
//
// A venue may have more rooms than the process may open files: the looks run side by side as
// far as the descriptor limit allows (RLIMIT_NOFILE, less what is open and a margin), and a room
// waits for its turn rather than failing to open its port. Looks start a few per turn of the
// event loop, so that the answers of those under way are read while more start: every look's
// time-outs run from its own probe.
#include <sys/resource.h>

#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/local_files.h"
#include "cli/output_format.h"
#include "cli/signal_watch.h"
#include "link/port_address.h"
#include "link/qt/box_probe.h"

namespace kc::cli {
namespace {

// Descriptors one look may hold at once: its port (and the lock taken on a local one) while the
// port is opened, closed and opened again by the search, or a network socket.
constexpr std::size_t kDescriptorsPerLook = 4;
// Left for everything else the program opens (the log, standard streams, Qt's own).
constexpr std::size_t kDescriptorMargin = 16;
constexpr int kStartsPerTurn = 8;

std::size_t LooksAtOnce() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 1024;
  const std::size_t open =
      static_cast<std::size_t>(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files).size());
  const std::size_t budget = static_cast<std::size_t>(limit.rlim_cur);
  const std::size_t used = open + kDescriptorMargin;
  return budget > used + kDescriptorsPerLook ? (budget - used) / kDescriptorsPerLook : 1;
}

}  // namespace

int Status(const QStringList& args) {
  Command command(
      "status",
      "Looks at every room's box at once: probes its port and reads its identity, nothing else, "
      "and lets the port go. One line per room, tab-separated: room, port, state (ok, no answer, "
      "refused, busy, unreachable, another box), identity, milliseconds from the probe to the "
      "identity's answer. Exit 0 when every room is ok, 1 otherwise.");
  const QCommandLineOption venue = VenueOption();
  const QCommandLineOption room = RoomOption();
  const QCommandLineOption port = PortOption();
  const QCommandLineOption json = JsonOption();
  const QCommandLineOption header = HeaderOption();
  command.parser().addOptions({venue, room, port, json, header});
  if (auto exit = command.Parse(args)) return *exit;
  if (auto exit = command.CheckJsonOrHeader(json, header)) return *exit;
  if (!command.parser().positionalArguments().isEmpty()) {
    return command.Usage("unexpected argument " + command.Positional().front());
  }
  std::vector<VenueRoom> rooms;
  if (auto exit = VenueRooms(command, venue, room, false, &rooms)) return *exit;
  const std::vector<std::string> ports = command.Values(port);
  if (auto exit = command.CheckPorts(ports)) return *exit;
  // A port given on its own is a room named after it.
  for (const std::string& name : ports) rooms.push_back(VenueRoom{name, name, {}, 0, false, {}});
  if (rooms.empty()) return command.Usage("give the rooms with --venue FILE or --port NAME");

  // One look per port: rooms that share a box (and its port) get the same look, each judged
  // by the identity it expects.
  std::vector<std::unique_ptr<BoxProbe>> probes;
  std::vector<std::size_t> probe_of;
  std::map<std::string, std::size_t> by_port;
  for (const VenueRoom& r : rooms) {
    const auto [at, added] = by_port.emplace(r.port, probes.size());
    if (added) probes.push_back(std::make_unique<BoxProbe>(r.port, std::string()));
    probe_of.push_back(at->second);
  }
  QEventLoop loop;
  const std::size_t at_once = LooksAtOnce();
  std::size_t left = probes.size();
  std::size_t next = 0;
  std::size_t running = 0;
  bool stopped = false;
  bool posted = false;
  std::function<void()> post;
  const std::function<void()> start_more = [&] {
    posted = false;
    for (int i = 0; i < kStartsPerTurn && !stopped && running < at_once && next < probes.size();
         ++i) {
      ++running;
      probes[next++]->Start();
    }
    if (next < probes.size() && running < at_once) post();
  };
  post = [&] {
    if (posted || stopped) return;
    posted = true;
    QTimer::singleShot(0, &loop, start_more);
  };
  for (auto& probe : probes) {
    probe->SetFinished([&](BoxProbe&) {
      --running;
      if (--left == 0) loop.quit();
      post();
    });
  }
  SignalWatch interrupt(
      [&](int) {
        stopped = true;
        for (auto& probe : probes) probe->Stop();
        loop.quit();
      },
      kExitDiffers);
  post();
  if (left > 0) loop.exec();

  bool all_ok = true;
  const bool as_json = command.parser().isSet(json);
  std::string text = command.parser().isSet(header) ? "room\tport\tstate\tidentity\tms\n" : "";
  std::vector<JsonObject> objects;
  for (std::size_t i = 0; i < rooms.size(); ++i) {
    const BoxProbe& probe = *probes[probe_of[i]];
    RoomState room_state = probe.state();
    std::string detail = probe.detail();
    if (room_state == RoomState::kOk && !rooms[i].identity.empty() &&
        probe.identity() != rooms[i].identity) {
      room_state = RoomState::kAnotherBox;
      detail = "box " + probe.identity() + " where " + rooms[i].identity + " belongs";
    }
    const std::string state = probe.done() ? RoomStateText(room_state) : "interrupted";
    const std::string ms = probe.ms() >= 0 ? std::to_string(probe.ms()) : std::string();
    all_ok = all_ok && probe.done() && room_state == RoomState::kOk;
    if (as_json) {
      JsonObject& object = objects.emplace_back();
      object.Text("room", rooms[i].name)
          .Text("port", rooms[i].port)
          .Text("state", state)
          .Text("identity", probe.identity());
      if (probe.ms() >= 0) {
        object.Number("ms", probe.ms());
      } else {
        object.Null("ms");
      }
    } else {
      text += Printable(rooms[i].name) + '\t' + Printable(rooms[i].port) + '\t' + state + '\t' +
              Printable(probe.identity()) + '\t' + ms + '\n';
    }
    if (probe.done() && !detail.empty()) {
      // A path that names no serial port (a file, /dev/null) is said so, not in the words of
      // the line settings the system refused.
      if (room_state == RoomState::kUnreachable && !IsNetworkPortName(rooms[i].port)) {
        if (std::string not_a_port = NotASerialPort(rooms[i].port); !not_a_port.empty()) {
          detail = std::move(not_a_port);
        }
      }
      Err("status " + Printable(rooms[i].name) + " (" + Printable(rooms[i].port) + "): " + state +
          ": " + Printable(detail) + "\n");
    }
  }
  Out(as_json ? JsonList(objects, 0) + "\n" : text);
  return all_ok ? kExitDone : kExitDiffers;
}

}  // namespace kc::cli
