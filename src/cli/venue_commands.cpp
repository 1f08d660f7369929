// karaoke-ctl status: a look at every room's box at once (probe and identity, no download).
#include <QEventLoop>
#include <memory>
#include <string>
#include <vector>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/mode_output.h"
#include "cli/signal_watch.h"
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
  const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Print JSON instead."));
  command.parser().addOptions({venue, room, port, json});
  if (auto exit = command.Parse(args)) return *exit;
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
  std::string text = command.parser().isSet(json) ? "[" : "";
  for (std::size_t i = 0; i < rooms.size(); ++i) {
    const BoxProbe& probe = *probes[i];
    const std::string state = probe.done() ? RoomStateText(probe.state()) : "interrupted";
    const std::string ms = probe.ms() >= 0 ? std::to_string(probe.ms()) : std::string();
    all_ok = all_ok && probe.done() && probe.state() == RoomState::kOk;
    if (command.parser().isSet(json)) {
      text += std::string(i == 0 ? "\n" : ",\n") + "  {\"room\": " + JsonString(rooms[i].name) +
              ", \"port\": " + JsonString(rooms[i].port) + ", \"state\": " + JsonString(state) +
              ", \"identity\": " + JsonString(probe.identity()) +
              ", \"ms\": " + (ms.empty() ? std::string("null") : ms) + "}";
    } else {
      text += rooms[i].name + '\t' + rooms[i].port + '\t' + state + '\t' + probe.identity() + '\t' +
              ms + '\n';
    }
    if (probe.done() && !probe.detail().empty()) {
      Err("status " + rooms[i].name + " (" + rooms[i].port + "): " + state + ": " + probe.detail() +
          "\n");
    }
  }
  if (command.parser().isSet(json)) text += "\n]\n";
  Out(text);
  return all_ok ? kExitDone : kExitDiffers;
}

}  // namespace kc::cli
