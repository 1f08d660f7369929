// karaoke-ctl backup and restore: many boxes at once, each with its own link in one event loop.
#include <QDate>
#include <QElapsedTimer>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/mode_checks.h"
#include "cli/mode_output.h"
#include "cli/output_format.h"
#include "cli/signal_watch.h"
#include "link/port_names.h"

namespace kc::cli {
namespace {

namespace fs = std::filesystem;

// A file name from the room (when the box is a venue's), the box's identity and today's date
// that no file of the folder has yet: ROOM_IDENTITY_DATE or IDENTITY_DATE.
std::string BackupName(const std::string& folder, const std::string& room,
                       const std::string& identity, std::vector<std::string>& taken) {
  const std::string id = identity.empty() ? std::string("unknown") : identity;
  const std::string base =
      (room.empty() ? std::string() : SafeFileName(room) + "_") + id + "_" +
      QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")).toStdString();
  for (int n = 1;; ++n) {
    const std::string name = n == 1 ? base : base + "_" + std::to_string(n);
    std::error_code ec;
    const bool used = std::find(taken.begin(), taken.end(), name) != taken.end() ||
                      fs::exists(fs::path(folder) / (name + std::string(kModeFileExtension)), ec);
    if (!used) {
      taken.push_back(name);
      return name;
    }
  }
}

// The venue's rooms' ports, then the ports given with --port.
std::vector<std::string> PortsOf(const std::vector<VenueRoom>& rooms,
                                 std::vector<std::string> ports) {
  std::vector<std::string> all;
  for (const VenueRoom& room : rooms) all.push_back(room.port);
  all.insert(all.end(), ports.begin(), ports.end());
  return all;
}

// Each room's box must be the one the venue file names for it.
void ExpectIdentities(const std::vector<VenueRoom>& rooms, Sessions& sessions) {
  for (BoxSession* session : sessions.running) {
    for (const VenueRoom& room : rooms) {
      if (room.port == session->port() && !room.identity.empty()) {
        session->SetExpectedIdentity(room.identity);
      }
    }
  }
}

// What a box that did not verify holds of the file, for its report.
std::string HeldPart(const BoxSession& session) {
  const int sent = session.blocks_sent();
  if (sent <= 0) return "nothing was sent to it";
  if (session.upload_complete()) return "the whole file was sent, but not verified by a read-back";
  return "the box now holds part of the file (" +
         (sent == 1 ? std::string("block 0") : "blocks 0 to " + std::to_string(sent - 1)) +
         " of 0 to 8 sent)";
}

// On a terminal, a line for each box as it moves on to its next transfer: a backup or restore of
// several boxes takes long enough that the person waiting should see each one is under way.
void ShowProgress(const std::string& command, const std::vector<VenueRoom>& rooms,
                  const std::vector<BoxSession*>& sessions) {
  if (!ErrIsTerminal()) return;
  for (BoxSession* session : sessions) {
    session->SetProgress([command, &rooms](BoxSession& box) {
      const std::string label = command + " " + RoomLabel(rooms, box.port()) + ": ";
      switch (box.phase()) {
        case BoxSession::Phase::kDownloading:
          Err(label + "the box answered, downloading its settings\n");
          break;
        case BoxSession::Phase::kUploading:
          Err(label + "box " + box.link().device_id() + " downloaded in " +
              Seconds(box.download_ms()) + ", sending the file\n");
          break;
        case BoxSession::Phase::kReadingBack:
          Err(label + "file sent in " + Seconds(box.upload_ms()) + ", reading the box back\n");
          break;
        default:
          break;
      }
    });
  }
}

}  // namespace

std::vector<std::string> PortsToProbe(const std::vector<std::string>& given) {
  std::vector<std::string> system;
  // The system lists bare device names; a full path is what the user types and sees.
  for (const std::string& name : SystemPortNames()) {
    system.push_back(name.find('/') == std::string::npos ? "/dev/" + name : name);
  }
  return MergePortNames(system, given);
}

int Backup(const QStringList& args) {
  Command command(
      "backup",
      "Connects to every box (each --port, or every port the system lists), downloads its whole "
      "state as the editor does and writes one mode file per box to DIR, named from the box's "
      "identity and the date. A box's file is written only when every value arrived in answers "
      "that passed their checksums. A line per box and a summary go to standard error; on a "
      "terminal, progress lines too.");
  const QCommandLineOption port = PortOption();
  const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                  QStringLiteral("Folder for the mode files (default: .)."),
                                  QStringLiteral("DIR"), QStringLiteral("."));
  const QCommandLineOption record = RecordOption();
  const QCommandLineOption venue = VenueOption();
  const QCommandLineOption room = RoomOption();
  command.parser().addOptions({port, output, record, venue, room});
  if (auto exit = command.Parse(args)) return *exit;
  if (!command.parser().positionalArguments().isEmpty()) {
    return command.Usage("unexpected argument " + command.Positional().front());
  }
  std::vector<VenueRoom> rooms;
  if (auto exit = VenueRooms(command, venue, room, false, &rooms)) return *exit;
  std::vector<std::string> ports = command.Values(port);
  if (auto exit = command.CheckPorts(ports)) return *exit;
  ports = PortsOf(rooms, std::move(ports));
  if (ports.empty()) ports = PortsToProbe({});
  if (ports.empty()) return command.Usage("no serial port to probe; give --port NAME");
  const std::string folder = command.Value(output);
  std::error_code ec;
  fs::create_directories(fs::path(folder), ec);
  if (!fs::is_directory(fs::path(folder), ec)) {
    Err("karaoke-ctl backup: cannot use the folder " + folder +
        (ec ? ": " + ec.message() : std::string(": it is not a folder")) + "\n");
    return kExitError;
  }
  // A folder that takes no files is said now, not after every box has been downloaded.
  std::string folder_error;
  if (!FolderTakesFiles(folder, &folder_error)) {
    Err("karaoke-ctl backup: cannot write into the folder " + folder + ": " + folder_error + "\n");
    return kExitError;
  }
  Recording recording;
  if (!recording.Open(command.Value(record))) return kExitError;

  QElapsedTimer wall;
  wall.start();
  Sessions sessions;
  sessions.AddPorts(ports, recording.recorder());
  ExpectIdentities(rooms, sessions);
  const std::vector<BoxSession*>& running = sessions.running;
  std::vector<std::string> taken;
  std::vector<std::string> saved;
  std::vector<std::string> failed;
  bool write_error = false;
  Err("backup: " + CountText(running.size(), "port", "ports") + "\n");
  ShowProgress("backup", rooms, running);
  for (BoxSession* session : running) session->StartDownload();
  RunSessions(running, [&](BoxSession& done) {
    const std::string label = RoomLabel(rooms, done.port());
    if (!done.ok()) {
      failed.push_back(done.port());
      Err("backup " + label + ": FAILED: " + done.failure() + "\n");
      return;
    }
    const std::string name =
        BackupName(folder, RoomOf(rooms, done.port()), done.link().device_id(), taken);
    const std::string path = (fs::path(folder) / (name + std::string(kModeFileExtension))).string();
    std::string error;
    if (!WriteFileWhole(path, BuildModeText(done.store()), &error)) {
      write_error = true;
      failed.push_back(done.port());
      Err("backup " + label + ": FAILED: cannot write " + path + ": " + error +
          " (no file left behind)\n");
      return;
    }
    saved.push_back(path);
    std::string note;
    if (done.damaged_answers() > 0) {
      note = ", " + CountText(done.damaged_answers(), "damaged answer", "damaged answers") +
             " asked again";
    }
    Err("backup " + label + ": box " + done.link().device_id() + " saved to " + path +
        ", download " + Seconds(done.download_ms()) + ", in all " + Seconds(done.total_ms()) +
        note + "\n");
  });
  Summary("backup", "saved", running, saved.size(), wall.elapsed(), failed);
  for (const std::string& path : saved) Out(path + "\n");
  if (!recording.Close() || write_error) return kExitError;
  return failed.empty() ? kExitDone : kExitDiffers;
}

int Restore(const QStringList& args) {
  Command command(
      "restore",
      "Checks the whole mode FILE first (a damaged file, or one holding a value outside its "
      "parameter's range, sends nothing), then sends it to every box given with --port, reads "
      "each box back and compares. Succeeds only when every box holds exactly the file's values; "
      "otherwise lists on standard output what differs (port, page, parameter, file, box, "
      "separated by tabs). Ctrl+C stops sending and names the boxes that hold part of the file. "
      "On a terminal, a progress line per box as it downloads, uploads and reads back.");
  const QCommandLineOption port = PortOption();
  const QCommandLineOption record = RecordOption();
  const QCommandLineOption venue = VenueOption();
  const QCommandLineOption room = RoomOption();
  const QCommandLineOption header = HeaderOption();
  command.parser().addOptions({port, record, venue, room, header});
  command.parser().addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("A mode file."));
  if (auto exit = command.Parse(args)) return *exit;
  const std::vector<std::string> positional = command.Positional();
  if (positional.size() != 1) return command.Usage("give exactly one mode FILE");
  std::vector<VenueRoom> rooms;
  if (auto exit = VenueRooms(command, venue, room, true, &rooms)) return *exit;
  std::vector<std::string> ports = command.Values(port);
  if (auto exit = command.CheckPorts(ports)) return *exit;
  ports = PortsOf(rooms, std::move(ports));
  if (ports.empty())
    return command.Usage("give the box with --port NAME (or --venue FILE --room NAME)");
  const std::optional<ModeFileCheck> check = CheckedModeFile(positional.front());
  if (!check) return kExitError;
  const std::vector<std::string> out_of_range = OutOfRange(check->entries);
  if (!out_of_range.empty()) {
    Err("karaoke-ctl restore: " + positional.front() + ": " +
        CountText(out_of_range.size(), "value", "values") + " outside " +
        std::string(NounFor(out_of_range.size(), "its", "their")) +
        " parameter's range, nothing sent (page, parameter, value, range):\n");
    for (const std::string& line : out_of_range) Err(line + "\n");
    return kExitError;
  }
  Recording recording;
  if (!recording.Open(command.Value(record))) return kExitError;

  ParameterStore expected;
  ApplyModeEntries(check->entries, expected);
  QElapsedTimer wall;
  wall.start();
  Sessions sessions;
  sessions.AddPorts(ports, recording.recorder());
  ExpectIdentities(rooms, sessions);
  const std::vector<BoxSession*>& running = sessions.running;
  std::vector<std::string> failed;
  std::vector<std::string> partial;
  bool interrupted = false;
  SignalWatch watch(
      [&](int) {
        interrupted = true;
        Err("restore: interrupted, nothing more is sent (a second Ctrl+C ends at once)\n");
        for (BoxSession* session : running) session->Interrupt();
      },
      kExitDiffers);
  if (command.parser().isSet(header)) Out(kRestoreHeader);
  ShowProgress("restore", rooms, running);
  for (BoxSession* session : running) session->StartRestore(check->entries);
  RunSessions(running, [&](BoxSession& done) {
    if (!done.ok()) {
      failed.push_back(done.port());
      if (done.blocks_sent() > 0 && !done.upload_complete()) partial.push_back(done.port());
      Err("restore " + RoomLabel(rooms, done.port()) + ": FAILED: " + done.failure() + "; " +
          HeldPart(done) + "\n");
      return;
    }
    // A value the box did not send back is missing, never one of the box's: it is not compared.
    const std::string missing = UnreadText(done.store(), false);
    if (!missing.empty()) {
      failed.push_back(done.port());
      Err("restore " + RoomLabel(rooms, done.port()) +
          ": FAILED: the box did not send all of its data back (" + missing + " missing); " +
          HeldPart(done) + "\n");
      return;
    }
    // What a transfer carries: each block's device slots, not the extra slot of the file.
    const std::vector<Difference> differences = Diff(expected, done.store(), false, 0);
    if (differences.empty()) {
      Err("restore " + RoomLabel(rooms, done.port()) +
          ": verified, the box holds the file's values (upload " + Seconds(done.upload_ms()) +
          ", read-back " + Seconds(done.readback_ms()) + ", in all " + Seconds(done.total_ms()) +
          ")\n");
      return;
    }
    failed.push_back(done.port());
    Err("restore " + RoomLabel(rooms, done.port()) + ": NOT VERIFIED: " +
        CountText(differences.size(), "parameter differs", "parameters differ") +
        " from the file (page, parameter, file, box):\n");
    std::string lines;
    for (const Difference& d : differences) {
      lines += done.port() + '\t' + FormatDifferences({d});
    }
    Out(lines);
  });
  Summary("restore", "verified", running, std::nullopt, wall.elapsed(), failed);
  if (!partial.empty()) {
    std::string line = partial.size() == 1 ? "restore: this box now holds part of the file:"
                                           : "restore: these boxes now hold part of the file:";
    for (std::size_t i = 0; i < partial.size(); ++i) line += (i == 0 ? " " : ", ") + partial[i];
    Err(line + "\n");
  }
  if (!recording.Close()) return kExitError;
  return failed.empty() && !interrupted ? kExitDone : kExitDiffers;
}

}  // namespace kc::cli
