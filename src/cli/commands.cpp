#include "cli/commands.h"

#include <QCommandLineParser>
#include <QDate>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/box_session.h"
#include "cli/frame_meaning.h"
#include "link/qt/qt_serial_port.h"
#include "link/recording_serial_port.h"
#include "model/mode_view.h"
#include "modes/mode_file.h"

namespace kc::cli {
namespace {

namespace fs = std::filesystem;

constexpr char kPortPrefix[] = "port:";
// Every session ends by the link's own time-outs well before this; it only guards the loop.
constexpr int kLoopGuardMs = 180000;

void Out(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void Err(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

std::string Seconds(qint64 ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(ms) / 1000.0);
  return text;
}

const char kOverview[] =
    "karaoke-ctl: the installer's companion of the karaoke effects box controller.\n"
    "\n"
    "Usage: karaoke-ctl COMMAND [options] [arguments]   (karaoke-ctl COMMAND --help for more)\n"
    "\n"
    "Commands:\n"
    "  ports                         the serial ports it would probe\n"
    "  backup [--port NAME]... [-o DIR]\n"
    "                                save every box's mode to DIR, one file per box\n"
    "  restore --port NAME... FILE   send a mode file to boxes, read them back and compare\n"
    "  diff A B                      differences of two modes (file or port:NAME)\n"
    "  show FILE|port:NAME [--json]  every parameter with its raw value and text\n"
    "  decode RECORDING              a line recording, frame by frame\n"
    "\n"
    "Exit codes: 0 done, 1 differences found or verification failed (or a box failed),\n"
    "2 usage or I/O error.\n";

// A parser for one subcommand, with --help and the description that heads its help.
class Command {
 public:
  Command(const char* name, const char* description) : name_(name) {
    parser_.setApplicationDescription(QString::fromUtf8(description));
    parser_.addHelpOption();
  }
  QCommandLineParser& parser() { return parser_; }

  // nullopt to go on; otherwise the exit code (help shown, or a usage error reported).
  std::optional<int> Parse(const QStringList& args) {
    if (!parser_.parse(args)) {
      Err("karaoke-ctl " + name_ + ": " + parser_.errorText().toStdString() + "\n");
      Err("Try 'karaoke-ctl " + name_ + " --help'.\n");
      return kExitError;
    }
    if (parser_.isSet(QStringLiteral("help"))) {
      QString help = parser_.helpText();
      // The usage line names the subcommand too.
      help.replace(QRegularExpression(QStringLiteral("^Usage: \\S+")),
                   QStringLiteral("Usage: karaoke-ctl ") + QString::fromStdString(name_));
      Out(help.toStdString());
      return kExitDone;
    }
    return std::nullopt;
  }

  int Usage(const std::string& problem) {
    Err("karaoke-ctl " + name_ + ": " + problem + "\nTry 'karaoke-ctl " + name_ + " --help'.\n");
    return kExitError;
  }

 private:
  std::string name_;
  QCommandLineParser parser_;
};

QCommandLineOption PortOption() {
  return QCommandLineOption(QStringLiteral("port"),
                            QStringLiteral("Serial port of a box (repeatable; pseudo-terminals are "
                                           "not listed by the system)."),
                            QStringLiteral("NAME"));
}

QCommandLineOption RecordOption() {
  return QCommandLineOption(
      QStringLiteral("record"),
      QStringLiteral("Write every frame sent and received, with time and direction, to FILE."),
      QStringLiteral("FILE"));
}

std::vector<std::string> Strings(const QStringList& list) {
  std::vector<std::string> out;
  for (const QString& s : list) out.push_back(s.toStdString());
  return out;
}

// The recording of a run, when --record was given.
class Recording {
 public:
  // False (with a message) when the file cannot be written.
  bool Open(const QString& path) {
    if (path.isEmpty()) return true;
    out_.open(path.toStdString(), std::ios::out | std::ios::trunc);
    if (!out_.is_open()) {
      Err("karaoke-ctl: cannot write the recording " + path.toStdString() + "\n");
      return false;
    }
    clock_.start();
    recorder_ =
        std::make_unique<LineRecorder>(out_, [this] { return clock_.nsecsElapsed() / 1000; });
    out_ << "# karaoke-ctl line recording: seconds, port, TX (to the box) or RX (from it), bytes\n";
    return true;
  }
  LineRecorder* recorder() { return recorder_.get(); }

 private:
  std::ofstream out_;
  QElapsedTimer clock_;
  std::unique_ptr<LineRecorder> recorder_;
};

// The boxes of one command, each with a link of its own, served together in one event loop.
struct Sessions {
  std::vector<std::unique_ptr<BoxSession>> owned;
  std::vector<BoxSession*> running;
  void Add(const std::string& port, LineRecorder* recorder) {
    owned.push_back(std::make_unique<BoxSession>(port, recorder));
    running.push_back(owned.back().get());
  }
};

// The closing line of a command over several boxes: how many did it (all that did not fail,
// unless counted by the command), in what time, which failed and why. A box that never ended
// counts as failed.
void Summary(const std::string& command, const std::string& verb,
             const std::vector<BoxSession*>& boxes, std::optional<std::size_t> done,
             qint64 elapsed_ms, std::vector<std::string>& failed) {
  for (BoxSession* session : boxes) {
    if (!session->done()) failed.push_back(session->port() + " (no end)");
  }
  const std::size_t succeeded = done.value_or(boxes.size() - failed.size());
  Err(command + ": " + std::to_string(succeeded) + " of " + std::to_string(boxes.size()) +
      " box(es) " + verb + " in " + Seconds(elapsed_ms));
  if (!failed.empty()) {
    Err("; failed:");
    for (const std::string& f : failed) Err(" " + f + ";");
  }
  Err("\n");
}

// Runs the event loop until every session has ended.
void RunSessions(const std::vector<BoxSession*>& sessions,
                 const std::function<void(BoxSession&)>& each_done) {
  QEventLoop loop;
  int open = static_cast<int>(sessions.size());
  for (BoxSession* session : sessions) {
    session->SetFinished([&](BoxSession& done) {
      if (each_done) each_done(done);
      if (--open == 0) loop.quit();
    });
  }
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
  guard.start(kLoopGuardMs);
  if (open > 0) loop.exec();
}

// A mode file's text, checked as a whole. nullopt (with a message) when it cannot be used.
std::optional<ModeCheck> ReadModeFile(const std::string& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) {
    Err("karaoke-ctl: " + path + ": no such file\n");
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) {
    Err("karaoke-ctl: " + path + ": cannot be read\n");
    return std::nullopt;
  }
  ModeCheck check = CheckModeText(text);
  if (check.status != ModeStatus::kOk) {
    Err("karaoke-ctl: " + path + ": " + std::string(ModeStatusEnglish(check.status)) + " (" +
        std::string(ModeStatusChinese(check.status)) + ")\n");
    return std::nullopt;
  }
  return check;
}

void ApplyEntries(const std::vector<ModeEntry>& entries, ParameterStore& store) {
  for (const ModeEntry& entry : entries) store.SetDevice(entry.block, entry.slot, entry.value);
}

// One side of a show or diff: a mode file or a box.
struct Side {
  std::string source;
  std::string port;  // empty for a file
  ParameterStore store;
};

std::optional<Side> SideOf(const QString& argument) {
  Side side;
  side.source = argument.toStdString();
  if (argument.startsWith(QLatin1String(kPortPrefix))) {
    side.port = argument.mid(static_cast<int>(std::strlen(kPortPrefix))).toStdString();
    if (side.port.empty()) return std::nullopt;
    return side;
  }
  std::optional<ModeCheck> check = ReadModeFile(side.source);
  if (!check) return std::nullopt;
  ApplyEntries(check->entries, side.store);
  return side;
}

// Downloads every side that names a port, all at once. False (with messages) when one fails.
bool DownloadSides(std::vector<Side*> sides, LineRecorder* recorder) {
  Sessions sessions;
  std::vector<Side*> owners;
  for (Side* side : sides) {
    if (side->port.empty()) continue;
    sessions.Add(side->port, recorder);
    owners.push_back(side);
  }
  const std::vector<BoxSession*>& running = sessions.running;
  for (BoxSession* session : running) session->StartDownload();
  RunSessions(running, nullptr);
  bool all = true;
  for (std::size_t i = 0; i < running.size(); ++i) {
    if (!running[i]->ok()) {
      Err("karaoke-ctl: " + running[i]->port() + ": " +
          (running[i]->done() ? running[i]->failure() : std::string("no end")) + "\n");
      all = false;
      continue;
    }
    owners[i]->store = running[i]->store();
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
    return command.Usage("unexpected argument " +
                         command.parser().positionalArguments().first().toStdString());
  }
  for (const std::string& name :
       MergePortNames(SystemPortNames(), Strings(command.parser().values(port)))) {
    Out(name + "\n");
  }
  return kExitDone;
}

// A file name from the box's identity and today's date that no file of the folder has yet.
std::string BackupName(const fs::path& folder, const std::string& identity,
                       std::vector<std::string>& taken) {
  const std::string id = identity.empty() ? std::string("unknown") : identity;
  const std::string base =
      id + "_" + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")).toStdString();
  for (int n = 1;; ++n) {
    const std::string name = n == 1 ? base : base + "_" + std::to_string(n);
    std::error_code ec;
    const bool used = std::find(taken.begin(), taken.end(), name) != taken.end() ||
                      fs::exists(folder / (name + std::string(kModeFileExtension)), ec);
    if (!used) {
      taken.push_back(name);
      return name;
    }
  }
}

int Backup(const QStringList& args) {
  Command command(
      "backup",
      "Connects to every box (each --port, or every port the system lists), downloads its whole "
      "state as the editor does and writes one mode file per box to DIR, named from the box's "
      "identity and the date. A progress line per box and a summary go to standard error.");
  const QCommandLineOption port = PortOption();
  const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                  QStringLiteral("Folder for the mode files (default: .)."),
                                  QStringLiteral("DIR"), QStringLiteral("."));
  const QCommandLineOption record = RecordOption();
  command.parser().addOptions({port, output, record});
  if (auto exit = command.Parse(args)) return *exit;
  if (!command.parser().positionalArguments().isEmpty()) {
    return command.Usage("unexpected argument " +
                         command.parser().positionalArguments().first().toStdString());
  }
  std::vector<std::string> ports = Strings(command.parser().values(port));
  if (ports.empty()) ports = MergePortNames(SystemPortNames(), {});
  if (ports.empty()) return command.Usage("no serial port to probe; give --port NAME");
  const fs::path folder = command.parser().value(output).toStdString();
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) {
    Err("karaoke-ctl backup: cannot use the folder " + folder.string() + "\n");
    return kExitError;
  }
  Recording recording;
  if (!recording.Open(command.parser().value(record))) return kExitError;

  QElapsedTimer wall;
  wall.start();
  Sessions sessions;
  for (const std::string& name : MergePortNames({}, ports))
    sessions.Add(name, recording.recorder());
  const std::vector<BoxSession*>& running = sessions.running;
  std::vector<std::string> taken;
  std::vector<std::string> saved;
  std::vector<std::string> failed;
  bool write_error = false;
  Err("backup: " + std::to_string(running.size()) + " port(s)\n");
  for (BoxSession* session : running) session->StartDownload();
  RunSessions(running, [&](BoxSession& done) {
    if (!done.ok()) {
      failed.push_back(done.port() + " (" + done.failure() + ")");
      Err("backup " + done.port() + ": FAILED: " + done.failure() + "\n");
      return;
    }
    const std::string name = BackupName(folder, done.link().device_id(), taken);
    const fs::path path = folder / (name + std::string(kModeFileExtension));
    std::string error;
    if (!WriteWholeFile(path, BuildModeText(done.store()), &error)) {
      write_error = true;
      failed.push_back(done.port() + " (cannot write " + path.string() + ": " + error + ")");
      Err("backup " + done.port() + ": FAILED: cannot write " + path.string() + ": " + error +
          "\n");
      return;
    }
    saved.push_back(path.string());
    Err("backup " + done.port() + ": box " + done.link().device_id() + " saved to " +
        path.string() + " (download " + Seconds(done.download_ms()) + ", in all " +
        Seconds(done.total_ms()) + ")\n");
  });
  Summary("backup", "saved", running, saved.size(), wall.elapsed(), failed);
  for (const std::string& path : saved) Out(path + "\n");
  if (write_error) return kExitError;
  return failed.empty() ? kExitDone : kExitDiffers;
}

int Restore(const QStringList& args) {
  Command command(
      "restore",
      "Checks the whole mode FILE first (a damaged file sends nothing), then sends it to every "
      "box given with --port, reads each box back and compares. Succeeds only when every box "
      "holds exactly the file's values; otherwise lists what differs (page, parameter, file, "
      "box).");
  const QCommandLineOption port = PortOption();
  const QCommandLineOption record = RecordOption();
  command.parser().addOptions({port, record});
  command.parser().addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("A mode file."));
  if (auto exit = command.Parse(args)) return *exit;
  const QStringList positional = command.parser().positionalArguments();
  if (positional.size() != 1) return command.Usage("give exactly one mode FILE");
  const std::vector<std::string> ports = Strings(command.parser().values(port));
  if (ports.empty()) return command.Usage("give the box with --port NAME");
  const std::optional<ModeCheck> check = ReadModeFile(positional.first().toStdString());
  if (!check) return kExitError;
  Recording recording;
  if (!recording.Open(command.parser().value(record))) return kExitError;

  ParameterStore expected;
  ApplyEntries(check->entries, expected);
  QElapsedTimer wall;
  wall.start();
  Sessions sessions;
  for (const std::string& name : MergePortNames({}, ports))
    sessions.Add(name, recording.recorder());
  const std::vector<BoxSession*>& running = sessions.running;
  std::vector<std::string> failed;
  for (BoxSession* session : running) session->StartRestore(check->entries);
  RunSessions(running, [&](BoxSession& done) {
    if (!done.ok()) {
      failed.push_back(done.port() + " (" + done.failure() + ")");
      Err("restore " + done.port() + ": FAILED: " + done.failure() + "\n");
      return;
    }
    // What a transfer carries: each block's device slots, not the extra slot of the file.
    const std::vector<Difference> differences = Diff(expected, done.store(), false, 0);
    if (differences.empty()) {
      Err("restore " + done.port() + ": verified, the box holds the file's values (upload " +
          Seconds(done.upload_ms()) + ", read-back " + Seconds(done.readback_ms()) + ", in all " +
          Seconds(done.total_ms()) + ")\n");
      return;
    }
    failed.push_back(done.port() + " (" + std::to_string(differences.size()) + " differences)");
    Err("restore " + done.port() + ": NOT VERIFIED: " + std::to_string(differences.size()) +
        " parameter(s) differ from the file (page, parameter, file, box):\n");
    std::string lines;
    for (const Difference& d : differences) {
      lines += done.port() + '\t' + FormatDifferences({d});
    }
    Out(lines);
  });
  Summary("restore", "verified", running, std::nullopt, wall.elapsed(), failed);
  return failed.empty() ? kExitDone : kExitDiffers;
}

int DiffCommand(const QStringList& args) {
  Command command(
      "diff",
      "Prints every parameter that differs between A and B, one per line: page, parameter name, "
      "A's text, B's text (the texts the editor shows), separated by tabs. Each side is a mode "
      "file or port:NAME (a box, downloaded as the editor does). Exit 1 when anything differs.");
  const QCommandLineOption record = RecordOption();
  command.parser().addOption(record);
  command.parser().addPositionalArgument(QStringLiteral("A"), QStringLiteral("FILE or port:NAME"));
  command.parser().addPositionalArgument(QStringLiteral("B"), QStringLiteral("FILE or port:NAME"));
  if (auto exit = command.Parse(args)) return *exit;
  const QStringList positional = command.parser().positionalArguments();
  if (positional.size() != 2) return command.Usage("give two sides, A and B");
  std::optional<Side> a = SideOf(positional[0]);
  std::optional<Side> b = SideOf(positional[1]);
  if (!a || !b) return kExitError;
  Recording recording;
  if (!recording.Open(command.parser().value(record))) return kExitError;
  if (!DownloadSides({&*a, &*b}, recording.recorder())) return kExitError;
  // System items travel with a download only; mode files do not carry them.
  const bool with_system = !a->port.empty() && !b->port.empty();
  const std::vector<Difference> differences = Diff(a->store, b->store, with_system);
  Out(FormatDifferences(differences));
  return differences.empty() ? kExitDone : kExitDiffers;
}

int Show(const QStringList& args) {
  Command command("show",
                  "Prints every parameter of a mode file or of a box (port:NAME): page, parameter "
                  "name, raw value and the text the editor shows, separated by tabs.");
  const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Print JSON instead."));
  const QCommandLineOption record = RecordOption();
  command.parser().addOptions({json, record});
  command.parser().addPositionalArgument(QStringLiteral("SOURCE"),
                                         QStringLiteral("FILE or port:NAME"));
  if (auto exit = command.Parse(args)) return *exit;
  const QStringList positional = command.parser().positionalArguments();
  if (positional.size() != 1) return command.Usage("give one FILE or port:NAME");
  std::optional<Side> side = SideOf(positional.first());
  if (!side) return kExitError;
  Recording recording;
  if (!recording.Open(command.parser().value(record))) return kExitError;
  if (!DownloadSides({&*side}, recording.recorder())) return kExitError;
  const bool with_system = !side->port.empty();
  Out(command.parser().isSet(json) ? FormatShowJson(side->store, with_system, side->source)
                                   : FormatShow(side->store, with_system));
  return kExitDone;
}

int Decode(const QStringList& args) {
  Command command("decode",
                  "Prints a line recording (--record of karaoke-ctl or the editor) frame by "
                  "frame: direction, time, port, bytes in hexadecimal and their meaning.");
  command.parser().addPositionalArgument(QStringLiteral("RECORDING"),
                                         QStringLiteral("A recording file."));
  if (auto exit = command.Parse(args)) return *exit;
  const QStringList positional = command.parser().positionalArguments();
  if (positional.size() != 1) return command.Usage("give one RECORDING");
  std::ifstream in(positional.first().toStdString());
  if (!in.is_open()) {
    Err("karaoke-ctl decode: cannot read " + positional.first().toStdString() + "\n");
    return kExitError;
  }
  std::string line;
  std::string out;
  int number = 0;
  int unreadable = 0;
  while (std::getline(in, line)) {
    ++number;
    if (IsBlankOrComment(line)) continue;
    const std::optional<RecordedLine> recorded = ParseRecordedLine(line);
    if (!recorded) {
      ++unreadable;
      Err("decode: line " + std::to_string(number) + " is not a recording line\n");
      continue;
    }
    out += DecodeLine(*recorded) + "\n";
  }
  Out(out);
  return unreadable == 0 ? kExitDone : kExitError;
}

}  // namespace

int RunCommandLine(const QStringList& args) {
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
    Out("karaoke-ctl 1.0.0\n");
    return kExitDone;
  }
  if (name == QLatin1String("ports")) return Ports(rest);
  if (name == QLatin1String("backup")) return Backup(rest);
  if (name == QLatin1String("restore")) return Restore(rest);
  if (name == QLatin1String("diff")) return DiffCommand(rest);
  if (name == QLatin1String("show")) return Show(rest);
  if (name == QLatin1String("decode")) return Decode(rest);
  Err("karaoke-ctl: unknown command " + name.toStdString() + "\n\n" + kOverview);
  return kExitError;
}

}  // namespace kc::cli
