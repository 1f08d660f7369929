// Files and ports as karaoke-ctl meets them on the command line and on disk.
//
// File names are bytes. Disks shared with other systems carry names that are not UTF-8 (GBK, for
// one), and Qt's own conversion of the command line and of file names turns every such byte into
// U+FFFD, so the name no longer opens the file. Here each byte that is not part of valid UTF-8
// becomes one lone surrogate U+DC80..U+DCFF in the QString and turns back into the same byte, so
// a name goes through the command-line parser and back to the file system unchanged.
//
// Every file is written beside its final name and renamed into place only once it is complete:
// a full disk, a file-size limit (RLIMIT_FSIZE; main ignores SIGXFSZ, so such a write fails with
// EFBIG like any other) or an interrupted run leaves no half file, and an earlier file stays as
// it was. Files get the permissions the user's umask gives, as any program's new files do
// (rw-r--r-- under umask 022, rw------- under 077).
#pragma once

#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace kc::cli {

// A command-line argument or file name as bytes, and back.
QString NameFromBytes(std::string_view bytes);
std::string BytesOfName(const QString& name);
// The program's arguments, each decoded with NameFromBytes.
QStringList ArgumentsFromArgv(int argc, char** argv);

// What stops `path` being read as a file: "no such file", "is a folder", "is not a regular
// file", "permission denied"; empty when it is a readable regular file.
std::string FileProblem(const std::string& path);

// What a path that names no serial port is instead ("it is not a serial port", "it is a folder,
// not a serial port"); empty for a terminal device or a path that does not exist.
std::string NotASerialPort(const std::string& port);

// Why a serial port could not be opened, from the port's own error and what the path is.
std::string PortOpenProblem(const std::string& port, QSerialPort::SerialPortError error,
                            const std::string& error_text);

// Writes `data` to a new file beside `path` and renames it to `path` once all of it is on disk.
// False with the system's reason in `error`; then no file is left behind.
bool WriteFileWhole(const std::string& path, std::string_view data, std::string* error);

// Whether a new file can be made in `folder` (tried with a temporary one, removed at once).
bool FolderTakesFiles(const std::string& folder, std::string* error);

// A stream buffer that writes to a file descriptor and keeps the system's reason (errno) of the
// first write that failed; every write after it fails too.
class FdWriteBuffer : public std::streambuf {
 public:
  FdWriteBuffer();
  void Attach(int fd);
  // 0 while every write succeeded.
  int error() const { return error_; }

 protected:
  int_type overflow(int_type ch) override;
  int sync() override;

 private:
  bool Drain();

  int fd_ = -1;
  int error_ = 0;
  std::vector<char> buffer_;
};

// A file written line by line that appears under its name only when Commit succeeds. A target
// that exists and is not a regular file (a terminal, /dev/stdout, a pipe) is written directly.
class StagedFile {
 public:
  StagedFile();
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;
  bool Open(const std::string& path, std::string* error);
  std::ostream& stream() { return out_; }
  // Whether the file is written beside its name (false for a terminal, a pipe, a device).
  bool staged() const { return staged_; }
  // Flushes, puts on disk, closes and renames into place; false (and nothing left behind) when
  // any write failed, with the system's reason of the first failure in `error`.
  bool Commit(std::string* error);

 private:
  void Discard();

  std::string path_;
  std::string temp_;  // empty when writing directly
  int fd_ = -1;
  FdWriteBuffer buffer_;
  std::ostream out_;
  bool open_ = false;
  bool staged_ = false;
};

}  // namespace kc::cli
