#include "cli/commands.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "cli/check_apply.h"
#include "cli/command_support.h"
#include "cli/frame_meaning.h"
#include "cli/mode_output.h"
#include "kc_version.h"
#include "link/frames.h"
#include "link/qt/diagnostic_log.h"
#include "link/qt/qt_serial_port.h"
#include "modes/mode_file.h"

namespace kc::cli {
namespace {

constexpr char kPortPrefix[] = "port:";

const char kOverview[] =
    "karaoke-ctl: the installer's companion of the karaoke effects box controller.\n"
    "\n"
    "Usage: karaoke-ctl COMMAND [options] [arguments]   (karaoke-ctl COMMAND --help for more)\n"
    "\n"
    "Commands:\n"
    "  ports [--port NAME]...        the serial ports it would probe\n"
    "  status --venue FILE [--room NAME]... [--json | --header]\n"
    "                                every room's box at a glance (probe and identity only)\n"
    "  backup [--port NAME]... [--venue FILE [--room NAME]...] [-o DIR] [--format nddt]\n"
    "                                save every box to a box backup (.kbox: mode names,\n"
    "                                current mode, System page settings, blocks 0 to 8), or\n"
    "                                with --format nddt a mode file (blocks 0 to 8 only)\n"
    "  baseline --venue FILE --room NAME...\n"
    "                                save rooms' boxes as their baselines (intended state)\n"
    "  restore --port NAME... [--header] FILE\n"
    "                                send a file (box backup or mode file) to boxes, read\n"
    "                                them back and compare\n"
    "  restore --venue FILE --room NAME... [--header] FILE\n"
    "                                the same for rooms of a venue (named, never all at once)\n"
    "  check --venue FILE [--room NAME]... [--details | --json] [--openmetrics FILE]\n"
    "                                every room's box against its baseline (nothing sent)\n"
    "  apply --venue FILE --room NAME... | --all [--dry-run] [--keep-going] [--json]\n"
    "                                make the rooms' boxes equal to their baselines\n"
    "  diff A B [--json | --header]  differences of two modes (file, port:NAME or room:NAME;\n"
    "                                a file is a box backup or a mode file)\n"
    "  show SOURCE [--json | --header]\n"
    "                                every parameter of a file, port:NAME or room:NAME\n"
    "  decode RECORDING [--json]     a line recording, frame by frame\n"
    "\n"
    "A port NAME is a serial port (/dev/ttyUSB0) or a serial device server on the network:\n"
    "  tcp://HOST:PORT               raw TCP (the line's settings are made on the server)\n"
    "  rfc2217://HOST:PORT           Telnet with COM Port Control (sets 57600 8N1 itself)\n"
    "HOST is a name or an IP address; an IPv6 address goes in brackets ([::1]).\n"
    "room:NAME is a room of the venue file given with --venue FILE.\n"
    "\n"
    "Output: tab-separated text on standard output, or with\n"
    "  --json                        JSON (status, show, diff, decode)\n"
    "  --header                      a first line of column names (status, show, diff, restore)\n"
    "Messages go to standard error; on a terminal backup and restore add a progress line per\n"
    "box as each one connects, downloads, uploads and reads back.\n"
    "\n"
    "Every command also takes:\n"
    "  --log FILE                    write the link's diagnostic log to FILE, each line with its\n"
    "                                time, for a report of a misbehaving box\n"
    "\n"
    "Exit codes: 0 done; 1 differences found, a restore not verified or interrupted, or a box\n"
    "failed; 2 usage error, or a file that cannot be read or written (2 wins over 1).\n";

// One side of a show or diff: a mode file, a box backup or a box.
struct Side {
  std::string source;
  std::string port;  // empty for a file
  bool box_backup = false;
  ParameterStore store;
  // A box and a box backup have the System page's settings; a mode file has none.
  bool with_system() const { return !port.empty() || box_backup; }
};

std::optional<Side> SideOf(const std::string& argument) {
  Side side;
  side.source = argument;
  if (argument.rfind(kPortPrefix, 0) == 0) {
    side.port = argument.substr(std::strlen(kPortPrefix));
    if (side.port.empty()) return std::nullopt;
    return side;
  }
  std::optional<LoadedFile> loaded = LoadModeOrBoxFile(side.source);
  if (!loaded) return std::nullopt;
  side.box_backup = loaded->box.has_value();
  side.store = loaded->store;
  return side;
}

constexpr char kRoomPrefix[] = "room:";

// Sides given as room:NAME become port:PORT of that room of the venue file (--venue). nullopt to
// go on; otherwise the exit code of a usage or venue-file error, reported.
std::optional<int> ResolveRooms(Command& command, const QCommandLineOption& venue,
                                std::vector<std::string>* sides) {
  std::vector<std::string> names;
  for (const std::string& side : *sides) {
    if (side.rfind(kRoomPrefix, 0) == 0) names.push_back(side.substr(std::strlen(kRoomPrefix)));
  }
  if (names.empty()) return std::nullopt;
  const std::string path = command.Value(venue);
  if (path.empty()) return command.Usage("room:NAME needs --venue FILE");
  const std::optional<Venue> parsed = ReadVenueReported(path);
  if (!parsed) return kExitError;
  std::string error;
  for (std::string& side : *sides) {
    if (side.rfind(kRoomPrefix, 0) != 0) continue;
    const auto rooms = SelectRooms(*parsed, {side.substr(std::strlen(kRoomPrefix))}, path, &error);
    if (!rooms) return command.Usage(error);
    side = kPortPrefix + rooms->front().port;
  }
  return std::nullopt;
}

// The ports that sides given as port:NAME name.
std::vector<std::string> PortsOfSides(const std::vector<std::string>& arguments) {
  std::vector<std::string> ports;
  for (const std::string& argument : arguments) {
    if (argument.rfind(kPortPrefix, 0) == 0)
      ports.push_back(argument.substr(std::strlen(kPortPrefix)));
  }
  return ports;
}

// Downloads every side that names a port, all at once. False (with messages) when one fails.
// On a terminal each box's progress goes to standard error as with backup.
bool DownloadSides(const std::string& command, std::vector<Side*> sides, Recording& recording) {
  Sessions sessions;
  std::vector<Side*> owners;
  for (Side* side : sides) {
    if (side->port.empty()) continue;
    sessions.Add(side->port, recording.recorder());
    owners.push_back(side);
  }
  const std::vector<BoxSession*>& running = sessions.running;
  if (running.empty()) return true;
  const bool progress = ErrIsTerminal();
  if (progress) Err(command + ": " + CountText(running.size(), "port", "ports") + "\n");
  for (BoxSession* session : running) session->StartDownload();
  RunSessions(running, [&](BoxSession& done) {
    if (!done.ok()) {
      Err(command + " " + done.port() + ": FAILED: " + done.failure() + "\n");
    } else if (progress) {
      Err(command + " " + done.port() + ": box " + done.link().device_id() + " read, download " +
          Seconds(done.download_ms()) + ", in all " + Seconds(done.total_ms()) + "\n");
    }
  });
  bool all = true;
  for (std::size_t i = 0; i < running.size(); ++i) {
    if (!running[i]->ok()) {
      if (!running[i]->done()) Err(command + " " + running[i]->port() + ": FAILED: no end\n");
      all = false;
      continue;
    }
    owners[i]->store = running[i]->store();
    // The link does not keep the box's answer to the current-mode read; the line shows it.
    if (const std::optional<int> mode = recording.CurrentMode(running[i]->port())) {
      owners[i]->store.SetDevice(kSystemBlock, IndexOf(kRecallModeId), *mode);
    }
  }
  return all;
}

int Ports(const QStringList& args) {
  Command command("ports",
                  "Lists the serial ports the editor and karaoke-ctl would probe: the ports given "
                  "with --port, then the system's list sorted as text.");
  const QCommandLineOption port = PortOption();
  command.parser().addOption(port);
  if (auto exit = command.Parse(args)) return *exit;
  if (!command.parser().positionalArguments().isEmpty()) {
    return command.Usage("unexpected argument " + command.Positional().front());
  }
  const std::vector<std::string> given = command.Values(port);
  if (auto exit = command.CheckPorts(given)) return *exit;
  for (const std::string& name : PortsToProbe(given)) Out(name + "\n");
  return kExitDone;
}

int DiffCommand(const QStringList& args) {
  Command command(
      "diff",
      "Prints every parameter that differs between A and B, one per line: page, parameter name, "
      "A's text, B's text (the texts the editor shows), separated by tabs. Each side is a mode "
      "file, port:NAME or room:NAME (a box, downloaded as the editor does; room:NAME with "
      "--venue FILE). When nothing differs it says \"no differences\" (with --header: the "
      "header alone; with --json: an empty list). Exit 1 when anything differs.");
  const QCommandLineOption json = JsonOption();
  const QCommandLineOption header = HeaderOption();
  const QCommandLineOption record = RecordOption();
  const QCommandLineOption venue = VenueOption();
  command.parser().addOptions({json, header, record, venue});
  command.parser().addPositionalArgument(QStringLiteral("A"),
                                         QStringLiteral("FILE, port:NAME or room:NAME"));
  command.parser().addPositionalArgument(QStringLiteral("B"),
                                         QStringLiteral("FILE, port:NAME or room:NAME"));
  if (auto exit = command.Parse(args)) return *exit;
  if (auto exit = command.CheckJsonOrHeader(json, header)) return *exit;
  const std::vector<std::string> given = command.Positional();
  if (given.size() != 2) return command.Usage("give two sides, A and B");
  std::vector<std::string> positional = given;
  if (auto exit = ResolveRooms(command, venue, &positional)) return *exit;
  if (auto exit = command.CheckPorts(PortsOfSides(positional))) return *exit;
  std::optional<Side> a = SideOf(positional[0]);
  std::optional<Side> b = SideOf(positional[1]);
  if (!a || !b) return kExitError;
  a->source = given[0];
  b->source = given[1];
  Recording recording;
  if (!recording.Open(command.Value(record), true)) return kExitError;
  const bool downloaded = DownloadSides("diff", {&*a, &*b}, recording);
  if (!recording.Close()) return kExitError;
  if (!downloaded) return kExitDiffers;
  // System items travel with a download and a box backup; mode files do not carry them. A box
  // backup does not keep the administrator switch: it is not compared.
  const bool with_system = a->with_system() && b->with_system();
  if (a->box_backup || b->box_backup) {
    const int access = IndexOf(kAccessLevelId);
    (a->box_backup ? a : b)
        ->store.SetDevice(kSystemBlock, access,
                          (a->box_backup ? b : a)->store.Device(kSystemBlock, access));
  }
  const std::vector<Difference> differences = Diff(a->store, b->store, with_system);
  if (command.parser().isSet(json)) {
    Out(FormatDifferencesJson(differences, a->source, b->source));
  } else if (command.parser().isSet(header)) {
    Out(kDiffHeader + FormatDifferences(differences));
  } else {
    Out(differences.empty() ? std::string(kNoDifferences) : FormatDifferences(differences));
  }
  return differences.empty() ? kExitDone : kExitDiffers;
}

int Show(const QStringList& args) {
  Command command("show",
                  "Prints every parameter of a mode file or of a box (port:NAME, or room:NAME of "
                  "the venue file given with --venue): page, parameter name, raw value and the "
                  "text the editor shows, separated by tabs.");
  const QCommandLineOption json = JsonOption();
  const QCommandLineOption header = HeaderOption();
  const QCommandLineOption record = RecordOption();
  const QCommandLineOption venue = VenueOption();
  command.parser().addOptions({json, header, record, venue});
  command.parser().addPositionalArgument(QStringLiteral("SOURCE"),
                                         QStringLiteral("FILE, port:NAME or room:NAME"));
  if (auto exit = command.Parse(args)) return *exit;
  if (auto exit = command.CheckJsonOrHeader(json, header)) return *exit;
  const std::vector<std::string> given = command.Positional();
  if (given.size() != 1) return command.Usage("give one FILE, port:NAME or room:NAME");
  std::vector<std::string> positional = given;
  if (auto exit = ResolveRooms(command, venue, &positional)) return *exit;
  if (auto exit = command.CheckPorts(PortsOfSides(positional))) return *exit;
  std::optional<Side> side = SideOf(positional.front());
  if (!side) return kExitError;
  side->source = given.front();
  Recording recording;
  if (!recording.Open(command.Value(record), true)) return kExitError;
  const bool downloaded = DownloadSides("show", {&*side}, recording);
  if (!recording.Close()) return kExitError;
  if (!downloaded) return kExitDiffers;
  const bool with_system = side->with_system();
  const bool with_access = !side->box_backup;
  if (command.parser().isSet(json)) {
    Out(FormatShowJson(side->store, with_system, side->source, with_access));
  } else {
    Out((command.parser().isSet(header) ? kShowHeader : "") +
        FormatShow(side->store, with_system, with_access));
  }
  return kExitDone;
}

int Decode(const QStringList& args) {
  Command command("decode",
                  "Prints a line recording (--record of karaoke-ctl or the editor) frame by "
                  "frame: direction, time, port, bytes in hexadecimal and their meaning. With "
                  "--json, a JSON document of the same facts, one object a line.");
  const QCommandLineOption json = JsonOption();
  command.parser().addOption(json);
  command.parser().addPositionalArgument(QStringLiteral("RECORDING"),
                                         QStringLiteral("A recording file."));
  if (auto exit = command.Parse(args)) return *exit;
  const std::vector<std::string> positional = command.Positional();
  if (positional.size() != 1) return command.Usage("give one RECORDING");
  const std::string& path = positional.front();
  const std::string problem = FileProblem(path);
  if (!problem.empty()) {
    Err("karaoke-ctl decode: " + path + ": " + problem + "\n");
    return kExitError;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) {
    Err("karaoke-ctl decode: cannot read " + path + "\n");
    return kExitError;
  }
  const bool as_json = command.parser().isSet(json);
  std::vector<JsonObject> frames;
  std::string line;
  int number = 0;
  int decoded = 0;
  int unreadable = 0;
  int first_unreadable = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (IsBlankOrComment(line)) continue;
    const std::optional<RecordedLine> recorded = ParseRecordedLine(line);
    if (!recorded) {
      if (unreadable++ == 0) first_unreadable = number;
      continue;
    }
    ++decoded;
    if (as_json) {
      frames.push_back(DecodeJson(*recorded));
    } else {
      Out(DecodeLine(*recorded) + "\n");
    }
  }
  if (in.bad()) {
    Err("karaoke-ctl decode: " + path + ": cannot be read\n");
    return kExitError;
  }
  // A file that is no recording at all gives no document; one with a few stray lines gives
  // what it holds, and says which lines it left out.
  if (as_json && (decoded > 0 || unreadable == 0)) {
    Out(JsonDocument(JsonObject().Text("recording", path), "frames", frames));
  }
  if (unreadable == 0) return kExitDone;
  if (decoded == 0) {
    Err("karaoke-ctl decode: " + path + " is not a line recording\n");
  } else {
    Err("karaoke-ctl decode: " + path + ": " +
        (unreadable == 1
             ? "line " + std::to_string(first_unreadable) + " is not a recording line"
             : std::to_string(unreadable) + " lines are not recording lines, the first is line " +
                   std::to_string(first_unreadable)) +
        "\n");
  }
  return kExitError;
}

}  // namespace

namespace {

int RunCommand(const QStringList& args) {
  if (args.size() < 2) {
    Err(kOverview);
    return kExitError;
  }
  const QString name = args[1];
  // The subcommand's parser sees "karaoke-ctl <its arguments>".
  QStringList rest = args.mid(2);
  rest.prepend(args[0]);
  if (name == QLatin1String("--help") || name == QLatin1String("-h") ||
      name == QLatin1String("help")) {
    Out(kOverview);
    return kExitDone;
  }
  if (name == QLatin1String("--version")) {
    Out(std::string("karaoke-ctl ") + kVersion + "\n");
    return kExitDone;
  }
  if (name == QLatin1String("ports")) return Ports(rest);
  if (name == QLatin1String("status")) return Status(rest);
  if (name == QLatin1String("backup")) return Backup(rest);
  if (name == QLatin1String("baseline")) return Baseline(rest);
  if (name == QLatin1String("restore")) return Restore(rest);
  if (name == QLatin1String("check")) return Check(rest);
  if (name == QLatin1String("apply")) return Apply(rest);
  if (name == QLatin1String("diff")) return DiffCommand(rest);
  if (name == QLatin1String("show")) return Show(rest);
  if (name == QLatin1String("decode")) return Decode(rest);
  Err("karaoke-ctl: unknown command " + BytesOfName(name) + "\n\n" + kOverview);
  return kExitError;
}

// --log FILE or --log=FILE, which every command takes, anywhere before "--": removed from args
// before the command reads its own options. nullopt when not given; an empty FILE when it is
// missing.
std::optional<std::string> TakeLogOption(QStringList& args) {
  const QLatin1String option("--log");
  const QLatin1String option_with_value("--log=");
  std::optional<std::string> path;
  qsizetype i = 1;
  while (i < args.size() && args[i] != QLatin1String("--")) {
    if (args[i] == option) {
      path = i + 1 < args.size() ? BytesOfName(args[i + 1]) : std::string();
      args.remove(i, i + 1 < args.size() ? 2 : 1);
    } else if (args[i].startsWith(option_with_value)) {
      path = BytesOfName(args[i].mid(option_with_value.size()));
      args.removeAt(i);
    } else {
      ++i;
    }
  }
  return path;
}

int RunWithOutputChecked(const QStringList& args) {
  const int exit = RunCommand(args);
  // What was printed is a file too when standard output goes to one (`show ... > FILE`).
  const std::string out_error = OutError();
  if (out_error.empty()) return exit;
  Err("karaoke-ctl: cannot write the standard output: " + out_error + "\n");
  return kExitError;
}

}  // namespace

int RunCommandLine(const QStringList& given) {
  QStringList args = given;
  const std::optional<std::string> log_path = TakeLogOption(args);
  if (!log_path) return RunWithOutputChecked(args);
  if (log_path->empty()) {
    Err("karaoke-ctl: --log needs a FILE\n");
    return kExitError;
  }
  std::string error;
  if (!ProgramLog().OpenFile(*log_path, &error)) {
    Err("karaoke-ctl: cannot write the log " + *log_path + ": " + error + "\n");
    return kExitError;
  }
  LogLine(QStringLiteral("karaoke-ctl %1: ").arg(QLatin1String(kVersion)) +
          args.mid(1).join(QLatin1Char(' ')));
  const int exit = RunWithOutputChecked(args);
  LogLine(QStringLiteral("exit code %1").arg(exit));
  ProgramLog().CloseFile();
  return exit;
}

}  // namespace kc::cli
