// What the subcommands of karaoke-ctl share: output, the parser of one subcommand, the boxes of
// a command served together, its closing summary, the line recording and reading mode files.
#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

#include "cli/box_session.h"
#include "cli/local_files.h"
#include "link/recording_serial_port.h"
#include "modes/box_backup.h"
#include "modes/mode_file.h"
#include "venue/venue_file.h"

namespace kc::cli {

// Standard output and standard error. A write to standard output that fails (a full disk or a
// file-size limit under `> FILE`) is kept: OutError then names the reason, and nothing more is
// written there.
void Out(const std::string& text);
void Err(const std::string& text);
std::string OutError();
std::string Seconds(qint64 ms);
// Whether standard error is a terminal: a person watches, and progress lines are for them. A
// script's log (standard error to a file or a pipe) gets the results alone.
bool ErrIsTerminal();

// A parser for one subcommand, with --help and the description that heads its help.
class Command {
 public:
  Command(const char* name, const char* description);
  QCommandLineParser& parser() { return parser_; }
  // nullopt to go on; otherwise the exit code (help shown, or a usage error reported).
  std::optional<int> Parse(const QStringList& args);
  int Usage(const std::string& problem);
  // An option's value or a positional argument as the bytes the user gave.
  std::string Value(const QCommandLineOption& option) { return BytesOfName(parser_.value(option)); }
  std::vector<std::string> Values(const QCommandLineOption& option);
  std::vector<std::string> Positional();
  // nullopt when every name is a port the program can use; otherwise the usage error naming the
  // first address that is malformed and why.
  std::optional<int> CheckPorts(const std::vector<std::string>& names);
  // A usage error when both --json and --header were given (the header is for the
  // tab-separated output); nullopt otherwise.
  std::optional<int> CheckJsonOrHeader(const QCommandLineOption& json,
                                       const QCommandLineOption& header);

 private:
  std::string name_;
  QCommandLineParser parser_;
};

QCommandLineOption PortOption();
QCommandLineOption RecordOption();
QCommandLineOption VenueOption();
QCommandLineOption RoomOption();
QCommandLineOption JsonOption();
QCommandLineOption HeaderOption();

// The rooms a command serves: with --venue FILE every room of the file, or the rooms named with
// --room (which needs --venue). `need_room`: a venue must be narrowed to named rooms (restore).
// nullopt to go on, with *rooms empty when no venue was given; otherwise the exit code (a usage
// or venue-file error, reported). Unknown keys of the file are reported as warnings.
// The venue itself goes to *venue_file when that is given.
std::optional<int> VenueRooms(Command& command, const QCommandLineOption& venue,
                              const QCommandLineOption& room, bool need_room,
                              std::vector<VenueRoom>* rooms, Venue* venue_file = nullptr);
// The venue file at path, its warnings reported; nullopt (reported) when it cannot be used.
std::optional<Venue> ReadVenueReported(const std::string& path);
// The room a port belongs to; empty when it is none of the rooms'.
std::string RoomOf(const std::vector<VenueRoom>& rooms, const std::string& port);
// "ROOM (PORT)" for a port that belongs to one of the rooms, the port alone otherwise.
std::string RoomLabel(const std::vector<VenueRoom>& rooms, const std::string& port);

// The recording of a run, when --record was given. It appears under its name when the command
// ends, complete; a recording that cannot be written is an error of the command.
// Watches the lines of a recording as they are written, passing them on to `next` (when set),
// and keeps each port's last answer to the current-mode read: the link reads that item in every
// download only to keep in step and drops the number, but a box backup keeps it.
class CurrentModeTap : public std::streambuf {
 public:
  void set_next(std::ostream* next) { next_ = next; }
  std::optional<int> CurrentMode(const std::string& port) const;

 protected:
  int_type overflow(int_type ch) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override;

 private:
  void Take(const char* text, std::size_t count);
  void Line();

  std::ostream* next_ = nullptr;
  std::string line_;
  std::vector<std::pair<std::string, int>> modes_;
};

class Recording {
 public:
  Recording() : tap_stream_(&tap_) {}
  // False (with a message) when the file cannot be written. With `tap_modes` every run is
  // watched for the boxes' current modes (CurrentMode), with or without a file.
  bool Open(const std::string& path, bool tap_modes = false);
  LineRecorder* recorder() { return recorder_.get(); }
  // The current mode the box on `port` answered last (0..14); nullopt when none was seen.
  std::optional<int> CurrentMode(const std::string& port) const { return tap_.CurrentMode(port); }
  // True when there was nothing to record or the recording is complete on disk; otherwise
  // reports why and leaves no file.
  bool Close();

 private:
  std::string path_;
  StagedFile file_;
  QElapsedTimer clock_;
  CurrentModeTap tap_;
  std::ostream tap_stream_;
  std::unique_ptr<LineRecorder> recorder_;
};

// The boxes of one command, each with a link of its own, served together in one event loop.
struct Sessions {
  std::vector<std::unique_ptr<BoxSession>> owned;
  std::vector<BoxSession*> running;
  void Add(const std::string& port, LineRecorder* recorder);
  // One session for each port given, each named once, in the order given.
  void AddPorts(const std::vector<std::string>& ports, LineRecorder* recorder);
};

// Runs the event loop until every session has ended.
void RunSessions(const std::vector<BoxSession*>& sessions,
                 const std::function<void(BoxSession&)>& each_done);

// The closing line of a command over several boxes: how many did it (all that did not fail,
// unless counted by the command), in what time, and the ports that failed (each box's reason is
// on a line of its own above). A box that never ended counts as failed.
void Summary(const std::string& command, const std::string& verb,
             const std::vector<BoxSession*>& boxes, std::optional<std::size_t> done,
             qint64 elapsed_ms, std::vector<std::string>& failed_ports);

// A mode file named on the command line (bytes), read and checked as a whole. nullopt (with a
// message) when it cannot be used.
std::optional<ModeFileCheck> CheckedModeFile(const std::string& path);

// A file of either kind named on the command line: a box backup (by its extension, or a text
// that opens as one does) or a mode file. Its device image, and for a box backup what else the
// backup holds. nullopt (with a message) when it cannot be used; a box backup holding a value
// outside its parameter's range cannot.
struct LoadedFile {
  std::optional<BoxBackup> box;    // set for a box backup
  std::vector<ModeEntry> entries;  // blocks 0..8 as entries, in file order
  ParameterStore store;            // the entries applied, and a backup's system items
};
std::optional<LoadedFile> LoadModeOrBoxFile(const std::string& path);

// What a downloaded box holds as a box backup; the venue and room are named when known.
BoxBackup BackupOfBox(const BoxSession& box, int current_mode, const std::string& venue,
                      const std::string& room);

// The given ports first, then the system's, as full paths (/dev/ttyS0).
std::vector<std::string> PortsToProbe(const std::vector<std::string>& given);

// The subcommands of many boxes (backup_restore.cpp, venue_commands.cpp).
int Backup(const QStringList& args);
int Baseline(const QStringList& args);
int Restore(const QStringList& args);
int Status(const QStringList& args);

}  // namespace kc::cli
