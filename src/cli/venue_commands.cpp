// karaoke-ctl status: a look at every room's box at once (probe and identity, no download).
#include <QEventLoop>
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
  for (const std::string& name : ports) rooms.push_back(VenueRoom{name, name, {}, 0});
  if (rooms.empty()) return command.Usage("give the rooms with --venue FILE or --port NAME");

  std::vector<std::unique_ptr<BoxProbe>> probes;
  for (const VenueRoom& r : rooms) {
    probes.push_back(std::make_unique<BoxProbe>(r.port, r.identity));
  }
  QEventLoop loop;
  std::size_t left = probes.size();
  for (auto& probe : probes) {
    probe->SetFinished([&](BoxProbe&) {
      if (--left == 0) loop.quit();
    });
  }
  SignalWatch interrupt(
      [&](int) {
        for (auto& probe : probes) probe->Stop();
        loop.quit();
      },
      kExitDiffers);
  for (auto& probe : probes) probe->Start();
  if (left > 0) loop.exec();

  bool all_ok = true;
  const bool as_json = command.parser().isSet(json);
  std::string text = command.parser().isSet(header) ? "room\tport\tstate\tidentity\tms\n" : "";
  std::vector<JsonObject> objects;
  for (std::size_t i = 0; i < rooms.size(); ++i) {
    const BoxProbe& probe = *probes[i];
    const std::string state = probe.done() ? RoomStateText(probe.state()) : "interrupted";
    const std::string ms = probe.ms() >= 0 ? std::to_string(probe.ms()) : std::string();
    all_ok = all_ok && probe.done() && probe.state() == RoomState::kOk;
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
      text += rooms[i].name + '\t' + rooms[i].port + '\t' + state + '\t' + probe.identity() + '\t' +
              ms + '\n';
    }
    if (probe.done() && !probe.detail().empty()) {
      // A path that names no serial port (a file, /dev/null) is said so, not in the words of
      // the line settings the system refused.
      std::string detail = probe.detail();
      if (probe.state() == RoomState::kUnreachable && !IsNetworkPortName(rooms[i].port)) {
        if (std::string not_a_port = NotASerialPort(rooms[i].port); !not_a_port.empty()) {
          detail = std::move(not_a_port);
        }
      }
      Err("status " + rooms[i].name + " (" + rooms[i].port + "): " + state + ": " + detail + "\n");
    }
  }
  Out(as_json ? JsonList(objects, 0) + "\n" : text);
  return all_ok ? kExitDone : kExitDiffers;
}

}  // namespace kc::cli
