#include "cli/command_support.h"

#include <unistd.h>

#include <QEventLoop>
#include <QRegularExpression>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/commands.h"
#include "cli/output_format.h"
#include "link/port_address.h"
#include "link/port_names.h"

namespace kc::cli {
namespace {

// Every session ends by the link's own time-outs well before this; it only guards the loop.
constexpr int kLoopGuardMs = 180000;

// What a failed recording left: nothing, when it was written beside its name.
std::string NothingLeft(const StagedFile& file) {
  return file.staged() ? " (no file left behind)" : "";
}

// The reason of the first write to standard output that failed; 0 while none did.
int g_out_error = 0;

}  // namespace

void Out(const std::string& text) {
  if (g_out_error != 0) return;  // what follows a lost piece would mislead
  errno = 0;
  const bool whole = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  if (std::fflush(stdout) != 0 || !whole) g_out_error = errno != 0 ? errno : EIO;
}

std::string OutError() { return g_out_error == 0 ? std::string() : std::strerror(g_out_error); }

void Err(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

std::string Seconds(qint64 ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(ms) / 1000.0);
  return text;
}

bool ErrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

Command::Command(const char* name, const char* description) : name_(name) {
  parser_.setApplicationDescription(QString::fromUtf8(description));
  // Qt's own help option would offer --help-all and Qt's options, which karaoke-ctl does not
  // take; --help-all is kept, hidden, as another name of --help.
  parser_.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                       QStringLiteral("Displays this help.")));
  QCommandLineOption help_all(QStringLiteral("help-all"));
  help_all.setFlags(QCommandLineOption::HiddenFromHelp);
  parser_.addOption(help_all);
}

std::optional<int> Command::Parse(const QStringList& args) {
  // Every command takes --log. RunCommandLine takes it out before the command reads its own
  // options; it is added here, after the command's own, so that the help lists it last.
  parser_.addOption(QCommandLineOption(
      QStringLiteral("log"),
      QStringLiteral("Write the link's diagnostic log to FILE, each line with its time."),
      QStringLiteral("FILE")));
  if (!parser_.parse(args)) {
    Err("karaoke-ctl " + name_ + ": " + BytesOfName(parser_.errorText()) + "\n");
    Err("Try 'karaoke-ctl " + name_ + " --help'.\n");
    return kExitError;
  }
  if (parser_.isSet(QStringLiteral("help")) || parser_.isSet(QStringLiteral("help-all"))) {
    QString help = parser_.helpText();
    // The usage line names the subcommand too.
    help.replace(QRegularExpression(QStringLiteral("^Usage: \\S+")),
                 QStringLiteral("Usage: karaoke-ctl ") + QString::fromStdString(name_));
    Out(help.toStdString());
    return kExitDone;
  }
  return std::nullopt;
}

int Command::Usage(const std::string& problem) {
  Err("karaoke-ctl " + name_ + ": " + problem + "\nTry 'karaoke-ctl " + name_ + " --help'.\n");
  return kExitError;
}

std::optional<int> Command::CheckPorts(const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    PortAddress address;
    std::string error;
    if (!ParsePortAddress(name, &address, &error)) return Usage("port " + name + ": " + error);
  }
  return std::nullopt;
}

std::optional<int> Command::CheckJsonOrHeader(const QCommandLineOption& json,
                                              const QCommandLineOption& header) {
  if (parser_.isSet(json) && parser_.isSet(header)) {
    return Usage("--header is for the tab-separated output, not for --json");
  }
  return std::nullopt;
}

std::vector<std::string> Command::Values(const QCommandLineOption& option) {
  std::vector<std::string> out;
  for (const QString& value : parser_.values(option)) out.push_back(BytesOfName(value));
  return out;
}

std::vector<std::string> Command::Positional() {
  std::vector<std::string> out;
  for (const QString& value : parser_.positionalArguments()) out.push_back(BytesOfName(value));
  return out;
}

QCommandLineOption VenueOption() {
  return QCommandLineOption(QStringLiteral("venue"),
                            QStringLiteral("A venue file (TOML) naming every room's box: every "
                                           "room, or those given with --room."),
                            QStringLiteral("FILE"));
}

QCommandLineOption RoomOption() {
  return QCommandLineOption(QStringLiteral("room"),
                            QStringLiteral("A room of the venue file (repeatable)."),
                            QStringLiteral("NAME"));
}

std::optional<int> VenueRooms(Command& command, const QCommandLineOption& venue,
                              const QCommandLineOption& room, bool need_room,
                              std::vector<VenueRoom>* rooms) {
  rooms->clear();
  const std::string path = command.Value(venue);
  const std::vector<std::string> names = command.Values(room);
  if (path.empty()) {
    if (!names.empty()) return command.Usage("--room needs --venue FILE");
    return std::nullopt;
  }
  if (need_room && names.empty()) {
    return command.Usage(
        "with --venue, name the rooms with --room NAME (one or more): a whole venue is never "
        "sent at once");
  }
  const std::optional<Venue> parsed = ReadVenueReported(path);
  if (!parsed) return kExitError;
  std::string error;
  if (names.empty()) {
    *rooms = parsed->rooms;
  } else {
    std::optional<std::vector<VenueRoom>> selected = SelectRooms(*parsed, names, path, &error);
    if (!selected) return command.Usage(error);
    *rooms = std::move(*selected);
  }
  if (rooms->empty()) return command.Usage("the venue file " + path + " has no room");
  return std::nullopt;
}

std::optional<Venue> ReadVenueReported(const std::string& path) {
  std::string error;
  std::optional<Venue> venue = ReadVenueFile(path, &error);
  if (!venue) {
    Err("karaoke-ctl: " + Printable(error) + "\n");
    return std::nullopt;
  }
  for (const std::string& warning : venue->warnings)
    Err("karaoke-ctl: " + Printable(warning) + "\n");
  return venue;
}

std::string RoomOf(const std::vector<VenueRoom>& rooms, const std::string& port) {
  for (const VenueRoom& room : rooms) {
    if (room.port == port) return room.name;
  }
  return {};
}

std::string RoomLabel(const std::vector<VenueRoom>& rooms, const std::string& port) {
  const std::string room = RoomOf(rooms, port);
  return room.empty() ? Printable(port) : Printable(room) + " (" + Printable(port) + ")";
}

QCommandLineOption JsonOption() {
  return QCommandLineOption(QStringLiteral("json"), QStringLiteral("Print JSON instead."));
}

QCommandLineOption HeaderOption() {
  return QCommandLineOption(QStringLiteral("header"),
                            QStringLiteral("Begin the tab-separated output with a line of the "
                                           "column names."));
}

QCommandLineOption PortOption() {
  return QCommandLineOption(QStringLiteral("port"),
                            QStringLiteral("Serial port of a box, or a serial device server on the "
                                           "network as tcp://HOST:PORT or rfc2217://HOST:PORT "
                                           "(repeatable; pseudo-terminals are not listed by the "
                                           "system)."),
                            QStringLiteral("NAME"));
}

QCommandLineOption RecordOption() {
  return QCommandLineOption(
      QStringLiteral("record"),
      QStringLiteral("Write every frame sent and received, with time and direction, to FILE."),
      QStringLiteral("FILE"));
}

bool Recording::Open(const std::string& path) {
  if (path.empty()) return true;
  path_ = path;
  std::string error;
  if (!file_.Open(path, &error)) {
    Err("karaoke-ctl: cannot write the recording " + path + ": " + error + "\n");
    return false;
  }
  clock_.start();
  recorder_ = std::make_unique<LineRecorder>(file_.stream(),
                                             [this] { return clock_.nsecsElapsed() / 1000; });
  file_.stream()
      << "# karaoke-ctl line recording: seconds, port, TX (to the box) or RX (from it), bytes\n";
  file_.stream().flush();
  if (file_.stream().fail()) {
    recorder_.reset();
    std::string reason;
    file_.Commit(&reason);  // fails, and removes what was begun
    Err("karaoke-ctl: cannot write the recording " + path + ": " +
        (reason.empty() ? std::string("write error") : reason) + NothingLeft(file_) + "\n");
    return false;
  }
  return true;
}

bool Recording::Close() {
  if (path_.empty()) return true;
  std::string error;
  if (!file_.Commit(&error)) {
    Err("karaoke-ctl: the recording " + path_ + " could not be written: " + error +
        NothingLeft(file_) + "\n");
    return false;
  }
  return true;
}

void Sessions::Add(const std::string& port, LineRecorder* recorder) {
  owned.push_back(std::make_unique<BoxSession>(port, recorder));
  running.push_back(owned.back().get());
}

void Sessions::AddPorts(const std::vector<std::string>& ports, LineRecorder* recorder) {
  for (const std::string& name : MergePortNames({}, ports)) Add(name, recorder);
}

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

void Summary(const std::string& command, const std::string& verb,
             const std::vector<BoxSession*>& boxes, std::optional<std::size_t> done,
             qint64 elapsed_ms, std::vector<std::string>& failed_ports) {
  for (BoxSession* session : boxes) {
    if (session->done()) continue;
    Err(command + " " + Printable(session->port()) + ": FAILED: it did not end\n");
    failed_ports.push_back(session->port());
  }
  const std::size_t succeeded = done.value_or(boxes.size() - failed_ports.size());
  std::string line = command + ": " + std::to_string(succeeded) + " of " +
                     CountText(boxes.size(), "box", "boxes") + " " + verb + " in " +
                     Seconds(elapsed_ms);
  for (std::size_t i = 0; i < failed_ports.size(); ++i) {
    line += (i == 0 ? "; failed: " : ", ") + Printable(failed_ports[i]);
  }
  Err(line + "\n");
}

std::optional<ModeFileCheck> CheckedModeFile(const std::string& path) {
  using Reason = ModeFileCheck::Reason;
  const std::string problem = FileProblem(path);
  if (!problem.empty()) {
    Err("karaoke-ctl: " + path + ": " + problem + "\n");
    return std::nullopt;
  }
  // The path's bytes are the file's name as given, whatever their encoding.
  ModeFileCheck check = ReadModeFile(std::filesystem::path(path));
  switch (check.reason) {
    case Reason::kOk:
      return check;
    case Reason::kTooLarge:
      Err("karaoke-ctl: " + path + ": larger than any mode file (over " +
          std::to_string(kModeFileByteLimit >> 20) + " MiB)\n");
      return std::nullopt;
    case Reason::kNoFile:
    case Reason::kUnreadable:
      Err("karaoke-ctl: " + path + ": cannot be read\n");
      return std::nullopt;
    default:
      Err("karaoke-ctl: " + path + ": " + std::string(ModeStatusEnglish(check.status())) + " (" +
          std::string(ModeStatusChinese(check.status())) + ")\n");
      return std::nullopt;
  }
}

}  // namespace kc::cli
