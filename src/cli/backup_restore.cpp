// karaoke-ctl backup and restore: many boxes at once, each with its own link in one event loop.
#include <QDate>
#include <QElapsedTimer>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/mode_checks.h"
#include "cli/mode_output.h"
#include "cli/output_format.h"
#include "cli/signal_watch.h"
#include "link/box_image.h"
#include "link/frames.h"
#include "link/port_names.h"

namespace kc::cli {
namespace {

namespace fs = std::filesystem;

// A file name from the room (when the box is a venue's), the box's identity and today's date
// that no file of the folder has yet: ROOM_IDENTITY_DATE or IDENTITY_DATE.
std::string BackupName(const std::string& folder, const std::string& room,
                       const std::string& identity, const std::string& extension,
                       std::vector<std::string>& taken) {
  const std::string id = identity.empty() ? std::string("unknown") : identity;
  const std::string base =
      (room.empty() ? std::string() : SafeFileName(room) + "_") + id + "_" +
      QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")).toStdString();
  for (int n = 1;; ++n) {
    const std::string name = n == 1 ? base : base + "_" + std::to_string(n);
    std::error_code ec;
    const bool used = std::find(taken.begin(), taken.end(), name) != taken.end() ||
                      fs::exists(fs::path(folder) / (name + extension), ec);
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
  // A box backup goes by the link's rule for changes: edits, or the upload and then the system
  // items.
  if (session.sent() && session.blocks_sent() <= 0) {
    return "the box may now hold part of the file (changes were sent to it)";
  }
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

namespace {

// Where one box's file goes: its folder, and whether older backups of its room there are pruned
// to the venue's `keep` afterwards (the venue's backup folder only).
struct Destination {
  std::string folder;
  bool prune = false;
};

// The files of a room's backup folder that backup wrote for that room (ROOM_..., a box backup or
// a mode file), oldest first; symbolic links and folders are never among them.
std::vector<fs::path> RoomBackups(const std::string& folder, const std::string& room) {
  struct Found {
    fs::path path;
    fs::file_time_type time;
  };
  std::vector<Found> found;
  const std::string prefix = SafeFileName(room) + "_";
  std::error_code ec;
  for (fs::directory_iterator it(fs::path(folder), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const bool ours = name.rfind(prefix, 0) == 0 &&
                      (IsBoxBackupPath(name) || (name.size() > kModeFileExtension.size() &&
                                                 name.ends_with(kModeFileExtension)));
    std::error_code type_ec;
    if (!ours || !it->is_regular_file(type_ec) || it->is_symlink(type_ec)) continue;
    std::error_code time_ec;
    const fs::file_time_type time = it->last_write_time(time_ec);
    if (!time_ec) found.push_back({it->path(), time});
  }
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    return a.time != b.time ? a.time < b.time : a.path < b.path;
  });
  std::vector<fs::path> paths;
  for (const Found& f : found) paths.push_back(f.path);
  return paths;
}

// Removes the oldest of a room's backups beyond `keep`, never the one just written. The paths
// removed, and the reasons of those that could not be.
void Prune(const std::string& folder, const std::string& room, int keep, const fs::path& written,
           const std::string& label) {
  std::vector<fs::path> backups = RoomBackups(folder, room);
  std::erase(backups, written);
  const std::size_t others = static_cast<std::size_t>(std::max(keep - 1, 0));
  if (backups.size() <= others) return;
  for (std::size_t i = 0; i < backups.size() - others; ++i) {
    std::error_code ec;
    if (fs::remove(backups[i], ec)) {
      Err("backup " + label + ": removed the old backup " + Printable(backups[i].string()) +
          " (keep = " + std::to_string(keep) + ")\n");
    } else if (ec) {
      Err("backup " + label + ": cannot remove the old backup " + Printable(backups[i].string()) +
          ": " + ec.message() + "\n");
    }
  }
}

// Makes a folder (and those above it) and sees that it takes files; false with a message.
bool UsableFolder(const std::string& command, const std::string& folder) {
  std::error_code ec;
  fs::create_directories(fs::path(folder), ec);
  if (!fs::is_directory(fs::path(folder), ec)) {
    Err("karaoke-ctl " + command + ": cannot use the folder " + Printable(folder) +
        (ec ? ": " + ec.message() : std::string(": it is not a folder")) + "\n");
    return false;
  }
  // A folder that takes no files is said now, not after every box has been downloaded.
  std::string folder_error;
  if (!FolderTakesFiles(folder, &folder_error)) {
    Err("karaoke-ctl " + command + ": cannot write into the folder " + Printable(folder) + ": " +
        folder_error + "\n");
    return false;
  }
  return true;
}

// A box's file: a box backup, or with `mode_file` a mode file (blocks 0 to 8 only). A backup whose
// values the box backup format cannot hold (a value outside its range, no identity) is refused
// with the reason, rather than written as a file that no restore would read.
std::optional<std::string> FileOfBox(const BoxSession& box, bool mode_file,
                                     const Recording& recording, const std::string& venue,
                                     const std::string& room, std::string* why) {
  if (mode_file) return BuildModeText(box.store());
  const std::optional<int> mode = recording.CurrentMode(box.port());
  if (!mode) {
    *why = "the box did not say its current mode";
    return std::nullopt;
  }
  const std::string text = WriteBoxBackup(BackupOfBox(box, *mode, venue, room));
  std::string error;
  if (!ParseBoxBackup(text, "the box", &error)) {
    *why = "the box's settings cannot be kept as a box backup: " + error;
    return std::nullopt;
  }
  return text;
}

// Downloads every port's box at once and writes a file for each one that arrived whole: what
// backup and baseline share. `place` names a box's file (empty: that box is not saved).
int DownloadAndSave(const std::string& command, const std::vector<std::string>& ports,
                    const std::vector<VenueRoom>& rooms, const std::string& venue_name,
                    const std::string& record, bool mode_file,
                    const std::function<std::string(BoxSession&)>& place,
                    const std::function<void(BoxSession&, const fs::path&)>& saved_one) {
  Recording recording;
  if (!recording.Open(record, !mode_file)) return kExitError;
  QElapsedTimer wall;
  wall.start();
  Sessions sessions;
  sessions.AddPorts(ports, recording.recorder());
  ExpectIdentities(rooms, sessions);
  const std::vector<BoxSession*>& running = sessions.running;
  std::vector<std::string> saved;
  std::vector<std::string> failed;
  bool write_error = false;
  Err(command + ": " + CountText(running.size(), "port", "ports") + "\n");
  ShowProgress(command, rooms, running);
  for (BoxSession* session : running) session->StartDownload();
  RunSessions(running, [&](BoxSession& done) {
    const std::string label = RoomLabel(rooms, done.port());
    if (!done.ok()) {
      failed.push_back(done.port());
      Err(command + " " + label + ": FAILED: " + done.failure() + "\n");
      return;
    }
    std::string why;
    const std::optional<std::string> text =
        FileOfBox(done, mode_file, recording, venue_name, RoomOf(rooms, done.port()), &why);
    if (!text) {
      failed.push_back(done.port());
      Err(command + " " + label + ": FAILED: " + why + " (nothing saved)\n");
      return;
    }
    const std::string path = place(done);
    std::string error;
    if (!WriteFileWhole(path, *text, &error)) {
      write_error = true;
      failed.push_back(done.port());
      Err(command + " " + label + ": FAILED: cannot write " + Printable(path) + ": " + error +
          " (no file left behind)\n");
      return;
    }
    saved.push_back(path);
    std::string note;
    if (done.damaged_answers() > 0) {
      note = ", " + CountText(done.damaged_answers(), "damaged answer", "damaged answers") +
             " asked again";
    }
    Err(command + " " + label + ": box " + done.link().device_id() + " saved to " +
        Printable(path) + ", download " + Seconds(done.download_ms()) + ", in all " +
        Seconds(done.total_ms()) + note + "\n");
    if (saved_one) saved_one(done, fs::path(path));
  });
  Summary(command, "saved", running, saved.size(), wall.elapsed(), failed);
  for (const std::string& path : saved) Out(path + "\n");
  if (!recording.Close() || write_error) return kExitError;
  return failed.empty() ? kExitDone : kExitDiffers;
}

}  // namespace

int Backup(const QStringList& args) {
  Command command(
      "backup",
      "Connects to every box (each --port, or every port the system lists), downloads its whole "
      "state as the editor does and writes one file per box, named from the room, the box's "
      "identity and the date. The file is a box backup (.kbox, readable text): the mode names, "
      "the current mode number, the System page's settings (volumes, input level, key lock, "
      "input) and blocks 0 to 8, but never the passwords or the administrator switch. With "
      "--format nddt it is a mode file (.Nddt) for the editor's library: blocks 0 to 8 only. "
      "With --venue and no -o, each room's file goes to the venue's backup folder (backups = "
      "DIR, default backups/ beside the venue file), a folder per room, and the oldest backups "
      "of that room beyond keep = N (default 10) are removed once the new one is complete. A "
      "box's file is written only when every value arrived in answers that passed their "
      "checksums. A line per box and a summary go to standard error; on a terminal, progress "
      "lines too.");
  const QCommandLineOption port = PortOption();
  const QCommandLineOption output(
      QStringList{QStringLiteral("o"), QStringLiteral("output")},
      QStringLiteral("Folder for the files (default: the venue's backup folder with --venue, "
                     "else .)."),
      QStringLiteral("DIR"));
  const QCommandLineOption format(
      QStringLiteral("format"),
      QStringLiteral("kbox (a box backup, the default) or nddt (a mode file, blocks 0 to 8)."),
      QStringLiteral("KIND"), QStringLiteral("kbox"));
  const QCommandLineOption record = RecordOption();
  const QCommandLineOption venue = VenueOption();
  const QCommandLineOption room = RoomOption();
  command.parser().addOptions({port, output, format, record, venue, room});
  if (auto exit = command.Parse(args)) return *exit;
  if (!command.parser().positionalArguments().isEmpty()) {
    return command.Usage("unexpected argument " + command.Positional().front());
  }
  const std::string kind = command.Value(format);
  if (kind != "kbox" && kind != "nddt") {
    return command.Usage("--format is kbox or nddt, not " + Printable(kind));
  }
  const bool mode_file = kind == "nddt";
  std::vector<VenueRoom> rooms;
  Venue venue_file;
  if (auto exit = VenueRooms(command, venue, room, false, &rooms, &venue_file)) return *exit;
  std::vector<std::string> ports = command.Values(port);
  if (auto exit = command.CheckPorts(ports)) return *exit;
  ports = PortsOf(rooms, std::move(ports));
  if (ports.empty()) ports = PortsToProbe({});
  if (ports.empty()) return command.Usage("no serial port to probe; give --port NAME");

  // Each port's folder: -o for all, else a venue room's own folder, else the current folder.
  const std::string venue_path = command.Value(venue);
  const bool into_venue = !command.parser().isSet(output) && !venue_path.empty();
  const std::string given = command.parser().isSet(output) ? command.Value(output) : ".";
  const auto destination = [&](const std::string& box_port) {
    for (const VenueRoom& r : rooms) {
      if (into_venue && r.port == box_port) {
        return Destination{RoomBackupFolder(venue_path, venue_file, r).string(), true};
      }
    }
    return Destination{given, false};
  };
  std::vector<std::string> checked;
  for (const std::string& p : ports) {
    const std::string folder = destination(p).folder;
    if (std::find(checked.begin(), checked.end(), folder) != checked.end()) continue;
    if (!UsableFolder("backup", folder)) return kExitError;
    checked.push_back(folder);
  }

  const std::string extension(mode_file ? kModeFileExtension : kBoxBackupExtension);
  std::vector<std::string> taken;
  const auto place = [&](BoxSession& box) {
    const std::string folder = destination(box.port()).folder;
    const std::string name =
        BackupName(folder, RoomOf(rooms, box.port()), box.link().device_id(), extension, taken);
    return (fs::path(folder) / (name + extension)).string();
  };
  const auto prune = [&](BoxSession& box, const fs::path& path) {
    const Destination where = destination(box.port());
    if (where.prune) {
      Prune(where.folder, RoomOf(rooms, box.port()), venue_file.keep, path,
            RoomLabel(rooms, box.port()));
    }
  };
  return DownloadAndSave("backup", ports, rooms, venue_file.name, command.Value(record), mode_file,
                         place, prune);
}

int Baseline(const QStringList& args) {
  Command command(
      "baseline",
      "Downloads the box of each room named (all at once, as backup does) and saves it as that "
      "room's baseline, its intended state: the file the room names with baseline = FILE in the "
      "venue file, or baselines/ROOM.kbox beside the venue file (the folder is made). A box "
      "backup (.kbox) holds the mode names, the current mode, the System page's settings and "
      "blocks 0 to 8; a baseline named .Nddt is written as a mode file (blocks 0 to 8 only). A "
      "file is written only when every value arrived, and replaces the old one only once it is "
      "complete.");
  const QCommandLineOption record = RecordOption();
  const QCommandLineOption venue = VenueOption();
  const QCommandLineOption room = RoomOption();
  command.parser().addOptions({record, venue, room});
  if (auto exit = command.Parse(args)) return *exit;
  if (!command.parser().positionalArguments().isEmpty()) {
    return command.Usage("unexpected argument " + command.Positional().front());
  }
  const std::string venue_path = command.Value(venue);
  if (venue_path.empty()) return command.Usage("give the venue with --venue FILE");
  if (command.Values(room).empty()) {
    return command.Usage("name the rooms with --room NAME (one or more)");
  }
  std::vector<VenueRoom> rooms;
  Venue venue_file;
  if (auto exit = VenueRooms(command, venue, room, true, &rooms, &venue_file)) return *exit;
  // A baseline of each kind needs its own download; a run with both kinds is refused.
  const auto is_mode_file = [&](const VenueRoom& r) {
    return !IsBoxBackupPath(RoomBaselinePath(venue_path, r).string());
  };
  const bool mode_file = is_mode_file(rooms.front());
  for (const VenueRoom& r : rooms) {
    if (is_mode_file(r) != mode_file) {
      return command.Usage(
          "rooms '" + Printable(rooms.front().name) + "' and '" + Printable(r.name) +
          "' have baselines of two kinds (.kbox and .Nddt); name them in two runs");
    }
    const std::string folder = RoomBaselinePath(venue_path, r).parent_path().string();
    if (!UsableFolder("baseline", folder)) return kExitError;
  }
  std::vector<std::string> ports = PortsOf(rooms, {});
  const auto place = [&](BoxSession& box) {
    for (const VenueRoom& r : rooms) {
      if (r.port == box.port()) return RoomBaselinePath(venue_path, r).string();
    }
    return std::string();
  };
  return DownloadAndSave("baseline", ports, rooms, venue_file.name, command.Value(record),
                         mode_file, place, {});
}

int Restore(const QStringList& args) {
  Command command(
      "restore",
      "Checks the whole FILE first, a box backup (.kbox) or a mode file (.Nddt) (a damaged "
      "file, or one holding a value outside its parameter's range, sends nothing), then sends "
      "it to every box given with --port: a mode file's blocks 0 to 8 as an upload; a box "
      "backup's blocks 0 to 8 and System page settings (never the passwords, the administrator "
      "switch, the current mode or the mode names), what differs, as the editor sends its "
      "changes, the settings after the blocks. Then it reads each box back and compares. Succeeds "
      "only when every box holds exactly the file's values; "
      "otherwise lists on standard output what differs (port, page, parameter, file, box, "
      "separated by tabs). Ctrl+C stops sending and names the boxes that hold part of the file. "
      "On a terminal, a progress line per box as it downloads, uploads and reads back.");
  const QCommandLineOption port = PortOption();
  const QCommandLineOption record = RecordOption();
  const QCommandLineOption venue = VenueOption();
  const QCommandLineOption room = RoomOption();
  const QCommandLineOption header = HeaderOption();
  command.parser().addOptions({port, record, venue, room, header});
  command.parser().addPositionalArgument(QStringLiteral("FILE"),
                                         QStringLiteral("A box backup or a mode file."));
  if (auto exit = command.Parse(args)) return *exit;
  const std::vector<std::string> positional = command.Positional();
  if (positional.size() != 1) return command.Usage("give exactly one FILE");
  std::vector<VenueRoom> rooms;
  if (auto exit = VenueRooms(command, venue, room, true, &rooms)) return *exit;
  std::vector<std::string> ports = command.Values(port);
  if (auto exit = command.CheckPorts(ports)) return *exit;
  ports = PortsOf(rooms, std::move(ports));
  if (ports.empty())
    return command.Usage("give the box with --port NAME (or --venue FILE --room NAME)");
  const std::optional<LoadedFile> check = LoadModeOrBoxFile(positional.front());
  if (!check) return kExitError;
  // A box backup's values were checked against their ranges as it was read.
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

  const ParameterStore& expected = check->store;
  // A box backup brings the System page's settings too: they go after the blocks, by the rule
  // the editor's changes go by, and the read-back checks them. The current mode, the
  // administrator switch and the passwords are never sent, and so never compared.
  const bool whole_box = check->box.has_value();
  std::vector<Link::Slot> every_slot;
  if (whole_box) {
    for (int block = 0; block < kAudioBlocks; ++block) {
      for (int slot = 0; slot < InfoOfBlock(block)->device_slots; ++slot) {
        every_slot.push_back({block, slot});
      }
    }
    for (const int item : kUserSystemItems) every_slot.push_back({kSystemBlock, item});
    Err("restore: " + Printable(positional.front()) +
        " is a box backup: blocks 0 to 8 and the System page's settings are sent and verified; "
        "the mode names and the current mode are not sent\n");
  }
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
  for (BoxSession* session : running) {
    if (whole_box) {
      session->StartApply(expected, [&every_slot](BoxSession& box) { box.SendSlots(every_slot); });
    } else {
      session->StartRestore(check->entries);
    }
  }
  RunSessions(running, [&](BoxSession& done) {
    if (!done.ok()) {
      failed.push_back(done.port());
      if ((done.blocks_sent() > 0 && !done.upload_complete()) || (whole_box && done.sent())) {
        partial.push_back(done.port());
      }
      Err("restore " + RoomLabel(rooms, done.port()) + ": FAILED: " + done.failure() + "; " +
          HeldPart(done) + "\n");
      return;
    }
    // A value the box did not send back is missing, never one of the box's: it is not compared.
    const std::string missing = UnreadText(done.store(), whole_box);
    if (!missing.empty()) {
      failed.push_back(done.port());
      Err("restore " + RoomLabel(rooms, done.port()) +
          ": FAILED: the box did not send all of its data back (" + missing + " missing); " +
          HeldPart(done) + "\n");
      return;
    }
    // What a transfer carries: each block's device slots, not the extra slot of the file.
    ParameterStore compared = expected;
    for (const int item : {IndexOf(kRecallModeId), IndexOf(kAccessLevelId)}) {
      compared.SetDevice(kSystemBlock, item, done.store().Device(kSystemBlock, item));
    }
    const std::vector<Difference> differences = Diff(compared, done.store(), whole_box, 0);
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
