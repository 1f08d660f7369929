// karaoke-ctl check and apply: a venue's rooms against their baselines.
//
// check downloads every chosen room's box at once, as backup does, and compares it with the
// room's baseline; nothing is sent. apply makes the boxes equal to their baselines: the first
// room goes alone, and the others follow together only once it verified. Each box is saved into
// the venue's backup folder before anything is sent to it, gets only what differs (by the link's
// rule for the editor's changes: edits when they are few, else the upload), and is read back;
// one whose read-back differs is put back from that backup.
#include "cli/check_apply.h"

#include <QDate>
#include <QElapsedTimer>
#include <QEventLoop>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
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
#include "venue/plan.h"

namespace kc::cli {
namespace {

namespace fs = std::filesystem;

// No box backup comes near this (one is about 5 KB); a larger file is refused.
constexpr std::size_t kBaselineByteLimit = std::size_t{1} << 20;

// A room's intended state, read before any box is looked at.
struct RoomBaseline {
  std::string path;
  bool present = false;
  bool with_system = false;  // a box backup; a mode file holds no system item
  ParameterStore store;
};

// nullopt (reported) for a baseline that exists but cannot be used; a missing one is absent.
std::optional<RoomBaseline> ReadBaseline(const std::string& venue_path, const VenueRoom& room) {
  RoomBaseline baseline;
  baseline.path = RoomBaselinePath(venue_path, room).string();
  std::error_code ec;
  if (!fs::exists(fs::path(baseline.path), ec)) return baseline;
  if (const std::string problem = FileProblem(baseline.path); !problem.empty()) {
    Err("karaoke-ctl: " + baseline.path + ": " + problem + "\n");
    return std::nullopt;
  }
  if (!IsBoxBackupPath(baseline.path)) {
    const std::optional<ModeFileCheck> check = CheckedModeFile(baseline.path);
    if (!check) return std::nullopt;
    const std::vector<std::string> out_of_range = OutOfRange(check->entries);
    if (!out_of_range.empty()) {
      Err("karaoke-ctl: " + baseline.path + ": " +
          CountText(out_of_range.size(), "value", "values") + " outside " +
          std::string(NounFor(out_of_range.size(), "its", "their")) +
          " parameter's range (page, parameter, value, range):\n");
      for (const std::string& line : out_of_range) Err(line + "\n");
      return std::nullopt;
    }
    ApplyModeEntries(check->entries, baseline.store);
    baseline.present = true;
    return baseline;
  }
  // A box backup is a few kilobytes; anything near the limit is no backup.
  std::ifstream in(fs::path(baseline.path), std::ios::binary);
  std::string text;
  char chunk[65536];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    text.append(chunk, static_cast<std::size_t>(in.gcount()));
    if (text.size() > kBaselineByteLimit) {
      Err("karaoke-ctl: " + baseline.path + ": larger than any box backup (over 1 MiB)\n");
      return std::nullopt;
    }
  }
  if (in.bad()) {
    Err("karaoke-ctl: " + baseline.path + ": cannot be read\n");
    return std::nullopt;
  }
  std::string error;
  const std::optional<BoxBackup> backup = ParseBoxBackup(text, baseline.path, &error);
  if (!backup) {
    Err("karaoke-ctl: " + error + "\n");
    return std::nullopt;
  }
  baseline.present = true;
  baseline.with_system = true;
  baseline.store = StoreOfBackup(*backup);
  return baseline;
}

// Every chosen room's baseline; nullopt when one of them cannot be used.
std::optional<std::vector<RoomBaseline>> ReadBaselines(const std::string& venue_path,
                                                       const std::vector<VenueRoom>& rooms) {
  std::vector<RoomBaseline> baselines;
  for (const VenueRoom& room : rooms) {
    std::optional<RoomBaseline> baseline = ReadBaseline(venue_path, room);
    if (!baseline) return std::nullopt;
    baselines.push_back(std::move(*baseline));
  }
  return baselines;
}

std::vector<Link::Slot> LinkSlots(const Plan& plan) {
  std::vector<Link::Slot> chosen;
  for (const PlanSlot& slot : plan.changed) chosen.push_back({slot.block, slot.slot});
  return chosen;
}

// "3 edits", "the block upload and 2 system items".
std::string SendText(const Plan& plan) {
  if (plan.changed.empty()) return "nothing";
  if (!plan.upload) return CountText(plan.frames.size(), "edit", "edits");
  if (plan.frames.empty()) return "the block upload";
  return "the block upload and " + CountText(plan.frames.size(), "system item", "system items");
}

// "  page<TAB>parameter<TAB>box<TAB>baseline" lines, control characters escaped.
std::string DetailLines(const std::vector<Difference>& differences) {
  std::string text;
  for (const Difference& d : differences) {
    text += "  " + Printable(d.page) + '\t' + Printable(d.name) + '\t' + Printable(d.a) + '\t' +
            Printable(d.b) + '\n';
  }
  return text;
}

std::string DifferencesJson(const std::vector<Difference>& differences, int indent) {
  std::vector<JsonObject> items;
  for (const Difference& d : differences) {
    items.push_back(JsonObject(d.where)
                        .Number("box_raw", d.a_raw)
                        .Text("box_text", d.a)
                        .Number("baseline_raw", d.b_raw)
                        .Text("baseline_text", d.b));
  }
  return JsonList(items, indent);
}

// A JSON document of the venue and its rooms, each room's object on its own lines.
std::string RoomsJson(const std::string& venue, const std::vector<std::string>& rooms) {
  std::string text = "{\n  \"venue\": " + JsonString(venue) + ",\n  \"rooms\": [";
  for (std::size_t i = 0; i < rooms.size(); ++i) text += (i == 0 ? "\n    " : ",\n    ") + rooms[i];
  return text + "\n  ]\n}\n";
}

// A JSON object on one line with a list of differences after its fields.
std::string WithDifferences(const JsonObject& object, const std::vector<Difference>& differences) {
  std::string line = object.Line();
  line.pop_back();
  return line + ", \"differences\": " + DifferencesJson(differences, 4) + "}";
}

// The newest file of a room's backup folder, in seconds since 1970; nullopt when it has none.
std::optional<double> LastBackupTime(const fs::path& folder) {
  std::error_code ec;
  std::optional<fs::file_time_type> newest;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    const fs::file_time_type time = it->last_write_time(ec);
    if (!ec && (!newest || time > *newest)) newest = time;
  }
  if (!newest) return std::nullopt;
  const auto since = std::chrono::file_clock::to_sys(*newest).time_since_epoch();
  return std::chrono::duration<double>(since).count();
}

// A label value of the OpenMetrics text: backslash, double quote and line feed escaped.
std::string LabelValue(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

struct RoomMetrics {
  std::string labels;  // {room="...",port="..."}
  bool up = false;
  bool identity_matches = false;
  std::optional<std::size_t> differences;
  std::optional<double> last_backup;
};

// The OpenMetrics text format, as a textfile collector reads it: one family after the other,
// a room's sample absent where it has no value.
std::string OpenMetrics(const std::vector<RoomMetrics>& rooms) {
  struct Family {
    const char* name;
    const char* help;
    const char* unit;
  };
  const Family families[] = {
      {"karaoke_room_up", "Whether the room's box answered and sent all of its data.", nullptr},
      {"karaoke_room_identity_match",
       "Whether the room's box is the one the venue file names (1 when it names none).", nullptr},
      {"karaoke_room_baseline_differences",
       "Parameters in which the room's box differs from its baseline.", nullptr},
      {"karaoke_room_last_backup_timestamp_seconds",
       "When the newest file in the room's backup folder was written.", "seconds"},
  };
  std::string text;
  for (std::size_t f = 0; f < std::size(families); ++f) {
    const Family& family = families[f];
    text += std::string("# TYPE ") + family.name + " gauge\n";
    if (family.unit != nullptr)
      text += std::string("# UNIT ") + family.name + " " + family.unit + "\n";
    text += std::string("# HELP ") + family.name + " " + family.help + "\n";
    for (const RoomMetrics& room : rooms) {
      std::string value;
      switch (f) {
        case 0:
          value = room.up ? "1" : "0";
          break;
        case 1:
          if (room.up) value = room.identity_matches ? "1" : "0";
          break;
        case 2:
          if (room.differences) value = std::to_string(*room.differences);
          break;
        default:
          if (room.last_backup) {
            char number[32];
            std::snprintf(number, sizeof number, "%.3f", *room.last_backup);
            value = number;
          }
          break;
      }
      if (!value.empty()) text += std::string(family.name) + room.labels + " " + value + "\n";
    }
  }
  return text + "# EOF\n";
}

// The venue file, its rooms chosen by --room (all without), and each room's baseline. nullopt
// to go on; otherwise the exit code (reported).
struct VenueChoice {
  std::string path;
  Venue venue;
  std::vector<VenueRoom> rooms;
  std::vector<RoomBaseline> baselines;
};

std::optional<int> ChooseRooms(Command& command, const QCommandLineOption& venue,
                               const QCommandLineOption& room, VenueChoice* choice) {
  choice->path = command.Value(venue);
  if (choice->path.empty()) return command.Usage("give the venue with --venue FILE");
  std::optional<Venue> parsed = ReadVenueReported(choice->path);
  if (!parsed) return kExitError;
  choice->venue = std::move(*parsed);
  const std::vector<std::string> names = command.Values(room);
  if (names.empty()) {
    choice->rooms = choice->venue.rooms;
  } else {
    std::string error;
    std::optional<std::vector<VenueRoom>> selected =
        SelectRooms(choice->venue, names, choice->path, &error);
    if (!selected) return command.Usage(error);
    choice->rooms = std::move(*selected);
  }
  if (choice->rooms.empty())
    return command.Usage("the venue file " + choice->path + " has no room");
  std::optional<std::vector<RoomBaseline>> baselines = ReadBaselines(choice->path, choice->rooms);
  if (!baselines) return kExitError;
  choice->baselines = std::move(*baselines);
  return std::nullopt;
}

std::string ExpectedIdentityProblem(const VenueRoom& room, const BoxSession& box) {
  if (room.identity.empty() || box.link().device_id() == room.identity) return {};
  return "box " + box.link().device_id() + " where " + room.identity + " belongs";
}

}  // namespace

int Check(const QStringList& args) {
  Command command(
      "check",
      "Downloads every room's box at once (--venue FILE, or the rooms given with --room) and "
      "compares it with the room's baseline, sending nothing. One line per room, tab-separated: "
      "room, state (same, N differences, no baseline, another box, or the states of status for a "
      "box that cannot be read), identity. Exit 0 when every room is the same as its baseline, 1 "
      "otherwise, 2 for usage errors and a baseline that cannot be used.");
  const QCommandLineOption venue = VenueOption();
  const QCommandLineOption room = RoomOption();
  const QCommandLineOption json = JsonOption();
  const QCommandLineOption details(
      QStringLiteral("details"),
      QStringLiteral("After each room, every difference: page, parameter, the box's text, the "
                     "baseline's text."));
  const QCommandLineOption metrics(
      QStringLiteral("openmetrics"),
      QStringLiteral("Also write FILE in the OpenMetrics text format, for a textfile collector: "
                     "per room whether its box answered, whether it is the room's box, its "
                     "differences from the baseline and the time of its last backup."),
      QStringLiteral("FILE"));
  command.parser().addOptions({venue, room, json, details, metrics});
  if (auto exit = command.Parse(args)) return *exit;
  if (!command.parser().positionalArguments().isEmpty()) {
    return command.Usage("unexpected argument " + command.Positional().front());
  }
  if (command.parser().isSet(json) && command.parser().isSet(details)) {
    return command.Usage("--json lists every difference already; give --details without it");
  }
  const std::string metrics_path = command.Value(metrics);
  if (command.parser().isSet(metrics) && metrics_path.empty()) {
    return command.Usage("--openmetrics needs a FILE");
  }
  VenueChoice choice;
  if (auto exit = ChooseRooms(command, venue, room, &choice)) return *exit;

  Sessions sessions;
  std::vector<std::string> ports;
  for (const VenueRoom& r : choice.rooms) ports.push_back(r.port);
  sessions.AddPorts(ports, nullptr);
  std::map<std::string, BoxSession*> by_port;
  for (BoxSession* session : sessions.running) by_port[session->port()] = session;
  bool interrupted = false;
  SignalWatch watch(
      [&](int) {
        interrupted = true;
        for (BoxSession* session : sessions.running) session->Interrupt();
      },
      kExitDiffers);
  for (BoxSession* session : sessions.running) session->StartDownload();
  RunSessions(sessions.running, {});

  bool all_same = !interrupted;
  std::string text;
  std::vector<std::string> json_rooms;
  std::vector<RoomMetrics> room_metrics;
  for (std::size_t i = 0; i < choice.rooms.size(); ++i) {
    const VenueRoom& r = choice.rooms[i];
    const RoomBaseline& baseline = choice.baselines[i];
    const BoxSession& box = *by_port.at(r.port);
    std::string state;
    std::string detail;
    std::vector<Difference> differences;
    RoomMetrics& m = room_metrics.emplace_back();
    m.labels = "{room=\"" + LabelValue(r.name) + "\",port=\"" + LabelValue(r.port) + "\"}";
    m.last_backup = LastBackupTime(RoomBackupFolder(choice.path, choice.venue, r));
    m.up = box.ok();
    m.identity_matches = box.ok() && ExpectedIdentityProblem(r, box).empty();
    if (!box.done()) {
      state = "interrupted";
    } else if (!box.ok()) {
      state = RoomStateText(box.room_state());
      detail = box.failure();
    } else if (!m.identity_matches) {
      state = RoomStateText(RoomState::kAnotherBox);
      detail = ExpectedIdentityProblem(r, box) + " (not compared)";
    } else if (!baseline.present) {
      state = "no baseline";
      detail = "no file " + baseline.path;
    } else {
      differences = MakePlan(box.store(), baseline.store, baseline.with_system).differences;
      m.differences = differences.size();
      state =
          differences.empty() ? "same" : CountText(differences.size(), "difference", "differences");
    }
    all_same = all_same && state == "same";
    const std::string identity = box.ok() ? box.link().device_id() : std::string();
    if (!detail.empty()) {
      Err("check " + Printable(r.name) + " (" + Printable(r.port) + "): " + state + ": " +
          Printable(detail) + "\n");
    }
    if (command.parser().isSet(json)) {
      JsonObject object;
      object.Text("room", r.name)
          .Text("port", r.port)
          .Text("state", state)
          .Text("identity", identity);
      if (baseline.present) {
        object.Text("baseline", baseline.path);
      } else {
        object.Null("baseline");
      }
      json_rooms.push_back(WithDifferences(object, differences));
      continue;
    }
    text += Printable(r.name) + '\t' + state + '\t' + Printable(identity) + '\n';
    if (command.parser().isSet(details)) text += DetailLines(differences);
  }
  Out(command.parser().isSet(json) ? RoomsJson(choice.venue.name, json_rooms) : text);
  if (!metrics_path.empty()) {
    std::string error;
    if (!WriteFileWhole(metrics_path, OpenMetrics(room_metrics), &error)) {
      Err("karaoke-ctl check: cannot write " + metrics_path + ": " + error + "\n");
      return kExitError;
    }
  }
  return all_same ? kExitDone : kExitDiffers;
}

namespace {

// One room's course through apply.
struct RoomRun {
  enum class Result {
    kNotTried,
    kUnchanged,
    kWouldChange,
    kChanged,
    kFailed,
    kPutBack,
    kNotPutBack,
    kInterrupted
  };
  const VenueRoom* room = nullptr;
  const RoomBaseline* baseline = nullptr;
  std::unique_ptr<BoxSession> session;
  std::unique_ptr<BoxSession> rollback;
  Plan plan;
  std::string identity;
  std::string backup_path;
  ParameterStore backup_image;
  std::vector<Difference> left;  // what the read-back still found different
  Result result = Result::kNotTried;
  std::string reason;
};

const char* ResultText(RoomRun::Result result) {
  switch (result) {
    case RoomRun::Result::kNotTried:
      return "not tried";
    case RoomRun::Result::kUnchanged:
      return "unchanged";
    case RoomRun::Result::kWouldChange:
      return "would change";
    case RoomRun::Result::kChanged:
      return "changed";
    case RoomRun::Result::kFailed:
      return "failed";
    case RoomRun::Result::kPutBack:
      return "failed, put back";
    case RoomRun::Result::kNotPutBack:
      return "failed, not put back";
    case RoomRun::Result::kInterrupted:
      return "interrupted";
  }
  return "";
}

bool Succeeded(RoomRun::Result result) {
  return result == RoomRun::Result::kUnchanged || result == RoomRun::Result::kChanged ||
         result == RoomRun::Result::kWouldChange;
}

// ROOM_IDENTITY_DATE.kbox, with _2, _3 added rather than replacing a file.
std::string BackupPath(const fs::path& folder, const VenueRoom& room, const std::string& identity) {
  const std::string base =
      SafeFileName(room.name) + "_" + (identity.empty() ? "unknown" : identity) + "_" +
      QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")).toStdString();
  for (int n = 1;; ++n) {
    const fs::path path = folder / ((n == 1 ? base : base + "_" + std::to_string(n)) +
                                    std::string(kBoxBackupExtension));
    std::error_code ec;
    if (!fs::exists(path, ec)) return path.string();
  }
}

}  // namespace

int Apply(const QStringList& args) {
  Command command(
      "apply",
      "Makes the boxes of the rooms given with --room (or of every room with --all) equal to "
      "their baselines. Each box is downloaded and saved into the venue's backup folder before "
      "anything is sent to it; only what differs is sent (as edits when they are few, else the "
      "upload), and the box is read back. The first room goes alone, the others together once "
      "it verified; a room whose read-back differs is put back from the backup just taken, and "
      "the rooms after it are left untouched unless --keep-going. --dry-run sends and writes "
      "nothing and lists what would be sent (page, parameter, from, to). Ctrl+C finishes the "
      "frame in flight and names the rooms whose boxes were touched. One line per room: room, "
      "result, identity. Exit 0 when every room is changed or already the same, 1 otherwise, 2 "
      "for usage errors and a baseline that cannot be used.");
  const QCommandLineOption venue = VenueOption();
  const QCommandLineOption room = RoomOption();
  const QCommandLineOption all(QStringLiteral("all"), QStringLiteral("Every room of the venue."));
  const QCommandLineOption dry_run(
      QStringLiteral("dry-run"),
      QStringLiteral("Send nothing and write nothing: list what would be sent."));
  const QCommandLineOption keep_going(
      QStringLiteral("keep-going"),
      QStringLiteral("Go on with the other rooms when a room fails or is put back."));
  const QCommandLineOption json = JsonOption();
  command.parser().addOptions({venue, room, all, dry_run, keep_going, json});
  if (auto exit = command.Parse(args)) return *exit;
  if (!command.parser().positionalArguments().isEmpty()) {
    return command.Usage("unexpected argument " + command.Positional().front());
  }
  const bool every_room = command.parser().isSet(all);
  if (every_room == !command.Values(room).empty()) {
    return command.Usage("name the rooms with --room NAME (one or more), or give --all");
  }
  const bool dry = command.parser().isSet(dry_run);
  VenueChoice choice;
  if (auto exit = ChooseRooms(command, venue, room, &choice)) return *exit;
  std::map<std::string, const VenueRoom*> by_port;
  for (std::size_t i = 0; i < choice.rooms.size(); ++i) {
    const VenueRoom& r = choice.rooms[i];
    if (!choice.baselines[i].present) {
      Err("karaoke-ctl apply: room " + Printable(r.name) + " has no baseline (no file " +
          choice.baselines[i].path + "), nothing sent\n");
      return kExitError;
    }
    const auto [at, added] = by_port.emplace(r.port, &r);
    if (!added) {
      return command.Usage("rooms " + Printable(at->second->name) + " and " + Printable(r.name) +
                           " share one box (" + Printable(r.port) + "): apply one of them");
    }
    if (dry) continue;
    // A folder that takes no backup is said now, before any box is touched.
    const fs::path folder = RoomBackupFolder(choice.path, choice.venue, r);
    std::error_code ec;
    fs::create_directories(folder, ec);
    std::string error;
    if (!fs::is_directory(folder, ec) || !FolderTakesFiles(folder.string(), &error)) {
      Err("karaoke-ctl apply: cannot write backups into " + folder.string() + ": " +
          (error.empty() ? std::string("it is not a folder") : error) + "\n");
      return kExitError;
    }
  }
  // The boxes' current modes are read from the line, for their backups.
  Recording recording;
  if (!recording.Open({}, true)) return kExitError;

  std::vector<RoomRun> runs(choice.rooms.size());
  QEventLoop loop;
  int active = 0;
  bool interrupted = false;
  const auto session_ended = [&] {
    if (--active == 0) loop.quit();
  };
  std::function<void(RoomRun&)> start;
  // After the first room: the others together, unless it failed (and --keep-going is not given).
  const auto start_rest = [&] {
    for (std::size_t i = 1; i < runs.size() && !interrupted; ++i) start(runs[i]);
  };
  const auto run_done = [&](RoomRun& run) {
    // A dry run starts every room at once.
    if (dry || &run != &runs.front()) return;
    if (Succeeded(run.result) || command.parser().isSet(keep_going)) start_rest();
  };
  const auto put_back = [&](RoomRun& run) {
    run.rollback = std::make_unique<BoxSession>(run.room->port, recording.recorder());
    run.rollback->SetExpectedIdentity(run.identity);
    run.rollback->SetFinished([&](BoxSession& box) {
      const bool back = box.ok() && MakePlan(box.store(), run.backup_image, true).empty();
      run.result =
          back ? RoomRun::Result::kPutBack
               : (interrupted ? RoomRun::Result::kInterrupted : RoomRun::Result::kNotPutBack);
      if (!box.ok()) run.reason += "; putting it back failed: " + box.failure();
      run_done(run);
      session_ended();
    });
    ++active;
    run.rollback->StartApply(run.backup_image, [&](BoxSession& box) {
      box.SendSlots(LinkSlots(MakePlan(box.store(), run.backup_image, true)));
    });
  };
  start = [&](RoomRun& run) {
    const VenueRoom& r = *run.room;
    run.session = std::make_unique<BoxSession>(r.port, recording.recorder());
    if (!r.identity.empty()) run.session->SetExpectedIdentity(r.identity);
    run.session->SetFinished([&](BoxSession& box) {
      run.identity = box.link().device_id();
      if (!box.ok()) {
        run.result = interrupted ? RoomRun::Result::kInterrupted : RoomRun::Result::kFailed;
        if (interrupted) {
          run.reason = box.sent() ? "stopped before the box was verified" : "stopped, nothing sent";
        } else if (run.reason.empty()) {
          run.reason = box.failure();
        }
        if (box.sent()) run.reason += "; the box may hold part of the changes";
      } else if (dry) {
        run.result = run.plan.empty() ? RoomRun::Result::kUnchanged : RoomRun::Result::kWouldChange;
      } else if (!run.reason.empty()) {
        run.result = RoomRun::Result::kFailed;  // its backup could not be written: nothing sent
      } else if (!box.sent()) {
        run.result = RoomRun::Result::kUnchanged;
      } else {
        run.left =
            MakePlan(box.store(), run.baseline->store, run.baseline->with_system).differences;
        if (run.left.empty()) {
          run.result = RoomRun::Result::kChanged;
        } else {
          run.reason = "the read-back differs from the baseline in " +
                       CountText(run.left.size(), "parameter", "parameters");
          if (!interrupted) {
            put_back(run);
            session_ended();
            return;
          }
          run.result = RoomRun::Result::kInterrupted;
        }
      }
      run_done(run);
      session_ended();
    });
    ++active;
    run.session->StartApply(run.baseline->store, [&](BoxSession& box) {
      run.plan = MakePlan(box.store(), run.baseline->store, run.baseline->with_system);
      if (dry || run.plan.changed.empty()) {
        box.SendSlots({});
        return;
      }
      const std::string identity = box.link().device_id();
      const BoxBackup backup = BackupOfBox(box, recording.CurrentMode(box.port()).value_or(0),
                                           choice.venue.name, r.name);
      const std::string path =
          BackupPath(RoomBackupFolder(choice.path, choice.venue, r), r, identity);
      std::string error;
      if (!WriteFileWhole(path, WriteBoxBackup(backup), &error)) {
        run.reason = "cannot write the backup " + path + ": " + error + " (nothing sent)";
        box.SendSlots({});
        return;
      }
      run.backup_path = path;
      run.backup_image = StoreOfBackup(backup);
      box.SendSlots(LinkSlots(run.plan));
    });
  };
  for (std::size_t i = 0; i < runs.size(); ++i) {
    runs[i].room = &choice.rooms[i];
    runs[i].baseline = &choice.baselines[i];
  }
  SignalWatch watch(
      [&](int) {
        interrupted = true;
        Err("apply: interrupted, nothing more is sent (a second Ctrl+C ends at once)\n");
        for (RoomRun& run : runs) {
          if (run.session) run.session->Interrupt();
          if (run.rollback) run.rollback->Interrupt();
        }
      },
      kExitDiffers);
  if (dry) {
    for (RoomRun& run : runs) start(run);
  } else {
    start(runs.front());
  }
  if (active > 0) loop.exec();

  bool all_done = !interrupted;
  std::string text;
  std::vector<std::string> json_rooms;
  std::vector<std::string> touched;
  for (const RoomRun& run : runs) {
    const VenueRoom& r = *run.room;
    all_done = all_done && Succeeded(run.result);
    const bool was_sent =
        (run.session && run.session->sent()) || (run.rollback && run.rollback->sent());
    if (was_sent && run.result != RoomRun::Result::kChanged &&
        run.result != RoomRun::Result::kPutBack) {
      touched.push_back(r.name);
    }
    const std::string label = "apply " + Printable(r.name) + " (" + Printable(r.port) + "): ";
    if (!run.reason.empty())
      Err(label + ResultText(run.result) + ": " + Printable(run.reason) + "\n");
    if (!run.backup_path.empty())
      Err(label + "its settings before are in " + run.backup_path + "\n");
    if (command.parser().isSet(json)) {
      JsonObject object;
      object.Text("room", r.name)
          .Text("port", r.port)
          .Text("identity", run.identity)
          .Text("result", run.result == RoomRun::Result::kChanged       ? "changed"
                          : run.result == RoomRun::Result::kUnchanged   ? "unchanged"
                          : run.result == RoomRun::Result::kWouldChange ? "would change"
                          : run.result == RoomRun::Result::kNotTried    ? "not tried"
                                                                        : "failed")
          .Text("state", ResultText(run.result));
      if (run.backup_path.empty()) {
        object.Null("backup");
      } else {
        object.Text("backup", run.backup_path);
      }
      json_rooms.push_back(WithDifferences(object, run.plan.differences));
      continue;
    }
    text +=
        Printable(r.name) + '\t' + ResultText(run.result) + '\t' + Printable(run.identity) + '\n';
    if (dry && !run.plan.empty()) {
      text += "  as " + SendText(run.plan) + ":\n" + DetailLines(run.plan.differences);
    }
    if (!run.left.empty()) text += DetailLines(run.left);
  }
  Out(command.parser().isSet(json) ? RoomsJson(choice.venue.name, json_rooms) : text);
  if (!touched.empty()) {
    std::string line = "apply: sent changes that were not verified to the boxes of";
    for (std::size_t i = 0; i < touched.size(); ++i)
      line += (i == 0 ? " " : ", ") + Printable(touched[i]);
    Err(line + "\n");
  }
  if (!recording.Close()) return kExitError;
  return all_done ? kExitDone : kExitDiffers;
}

}  // namespace kc::cli
