#include "cli/command_support.h"

#include <unistd.h>

#include <QDateTime>
#include <QEventLoop>
#include <QRegularExpression>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "cli/commands.h"
#include "cli/frame_meaning.h"
#include "cli/mode_checks.h"
#include "cli/output_format.h"
#include "kc_version.h"
#include "link/box_image.h"
#include "link/frames.h"
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
                              std::vector<VenueRoom>* rooms, Venue* venue_file) {
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
  if (venue_file != nullptr) *venue_file = *parsed;
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

namespace {

// A recording line of the answer to the current-mode read is short; a longer line (stray bytes of
// a flood) is not kept whole.
constexpr std::size_t kLongestTappedLine = 4096;

}  // namespace

std::optional<int> CurrentModeTap::CurrentMode(const std::string& port) const {
  for (const auto& [name, mode] : modes_) {
    if (name == port) return mode;
  }
  return std::nullopt;
}

CurrentModeTap::int_type CurrentModeTap::overflow(int_type ch) {
  if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
  const char c = traits_type::to_char_type(ch);
  return xsputn(&c, 1) == 1 ? ch : traits_type::eof();
}

std::streamsize CurrentModeTap::xsputn(const char* text, std::streamsize count) {
  Take(text, static_cast<std::size_t>(count));
  if (next_ != nullptr && !next_->write(text, count)) return 0;
  return count;
}

int CurrentModeTap::sync() {
  if (next_ != nullptr && !next_->flush()) return -1;
  return 0;
}

void CurrentModeTap::Take(const char* text, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (text[i] == '\n') {
      Line();
      line_.clear();
    } else if (line_.size() < kLongestTappedLine) {
      line_ += text[i];
    }
  }
}

void CurrentModeTap::Line() {
  const std::optional<RecordedLine> recorded = ParseRecordedLine(line_);
  if (!recorded || recorded->direction != "RX") return;
  // FC B1 06 A0 09 02 LOW HIGH CHECKSUM: system item 2 read, a value of two bytes.
  const std::vector<uint8_t>& frame = recorded->bytes;
  if (frame.size() != 9 || frame[0] != kFirstSync || frame[2] != 6 || frame[3] != 0xA0 ||
      frame[4] != kSystemBlock || frame[5] != (kRecallModeId & 0xFF) ||
      FrameChecksum(frame.data(), frame.size()) != frame[8]) {
    return;
  }
  const int mode = frame[6] + 256 * frame[7];
  if (mode >= kModeCount) return;
  for (auto& [name, known] : modes_) {
    if (name == recorded->port) {
      known = mode;
      return;
    }
  }
  modes_.emplace_back(recorded->port, mode);
}

bool Recording::Open(const std::string& path, bool tap_modes) {
  const auto now = [this] { return clock_.nsecsElapsed() / 1000; };
  clock_.start();
  if (tap_modes) recorder_ = std::make_unique<LineRecorder>(tap_stream_, now);
  if (path.empty()) return true;
  path_ = path;
  std::string error;
  if (!file_.Open(path, &error)) {
    Err("karaoke-ctl: cannot write the recording " + path + ": " + error + "\n");
    return false;
  }
  if (tap_modes) {
    tap_.set_next(&file_.stream());
  } else {
    recorder_ = std::make_unique<LineRecorder>(file_.stream(), now);
  }
  file_.stream()
      << "# karaoke-ctl line recording: seconds, port, TX (to the box) or RX (from it), bytes\n";
  file_.stream().flush();
  if (file_.stream().fail()) {
    tap_.set_next(nullptr);
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

namespace {

// No box backup is this large (one is about 5 KB); a larger file is refused unread.
constexpr std::uintmax_t kBoxBackupByteLimit = 1u << 20;

// A box backup by its name, or by a text that opens as one does: a mode file's lines are
// hexadecimal digits, a box backup starts with a comment or its format.
bool LooksLikeBoxBackup(const std::string& path) {
  if (IsBoxBackupPath(path)) return true;
  std::ifstream in(path, std::ios::binary);
  char head[6] = {};
  in.read(head, sizeof head);
  const std::string_view start(head, static_cast<std::size_t>(in.gcount()));
  return start.starts_with("#") || start.starts_with("format");
}

}  // namespace

std::optional<LoadedFile> LoadModeOrBoxFile(const std::string& path) {
  LoadedFile loaded;
  const std::string problem = FileProblem(path);
  if (!problem.empty()) {
    Err("karaoke-ctl: " + path + ": " + problem + "\n");
    return std::nullopt;
  }
  if (!LooksLikeBoxBackup(path)) {
    std::optional<ModeFileCheck> check = CheckedModeFile(path);
    if (!check) return std::nullopt;
    loaded.entries = std::move(check->entries);
    ApplyModeEntries(loaded.entries, loaded.store);
    return loaded;
  }
  std::error_code ec;
  if (std::filesystem::file_size(std::filesystem::path(path), ec) > kBoxBackupByteLimit && !ec) {
    Err("karaoke-ctl: " + path + ": larger than any box backup (over 1 MiB)\n");
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  std::string text;
  char buffer[1 << 14];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    text.append(buffer, static_cast<std::size_t>(in.gcount()));
  }
  if (!in.eof() || in.bad()) {
    Err("karaoke-ctl: " + path + ": cannot be read\n");
    return std::nullopt;
  }
  std::string error;
  loaded.box = ParseBoxBackup(text, path, &error);
  if (!loaded.box) {
    Err("karaoke-ctl: " + error + "\n");
    return std::nullopt;
  }
  for (int block = 0; block < kAudioBlocks; ++block) {
    for (int slot = 0; slot < InfoOfBlock(block)->device_slots; ++slot) {
      loaded.entries.push_back({block, slot, loaded.box->blocks[block][slot]});
    }
  }
  ApplyModeEntries(loaded.entries, loaded.store);
  for (const auto& [item, value] : loaded.box->system_items) {
    loaded.store.SetDevice(kSystemBlock, item, value);
  }
  loaded.store.SetDevice(kSystemBlock, kRecallModeId & 0xFF, loaded.box->current_mode);
  return loaded;
}

BoxBackup BackupOfBox(const BoxSession& box, int current_mode, const std::string& venue,
                      const std::string& room) {
  BoxBackup backup;
  backup.program_version = kVersion;
  // Local time with its offset from UTC (+08:00), as the installer's clock showed it.
  const QDateTime now = QDateTime::currentDateTime();
  const int offset = now.offsetFromUtc() / 60;
  const int minutes = offset < 0 ? -offset : offset;
  backup.date = now.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toStdString() +
                (offset < 0 ? "-" : "+") +
                QStringLiteral("%1:%2")
                    .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                    .arg(minutes % 60, 2, 10, QLatin1Char('0'))
                    .toStdString();
  backup.venue = venue;
  backup.room = room;
  backup.identity = box.link().device_id();
  backup.current_mode = current_mode;
  backup.mode_names = box.link().mode_names();
  for (const int item : kUserSystemItems) {
    backup.system_items[item] = box.store().Device(kSystemBlock, item);
  }
  for (int block = 0; block < kAudioBlocks; ++block) {
    for (int slot = 0; slot < InfoOfBlock(block)->device_slots; ++slot) {
      backup.blocks[block][slot] = box.store().Device(block, slot);
    }
  }
  return backup;
}

}  // namespace kc::cli
