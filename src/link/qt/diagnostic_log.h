// The diagnostic log on its way out of the program. The editor keeps its lines in a hidden list;
// every line also goes to the logging category "karaoke.link" as a debug message (off unless
// QT_LOGGING_RULES="karaoke.link.debug=true") and, while a file is open (--log FILE), to that
// file for a support report, one line each after its local time with milliseconds and offset:
//
//   2024-06-01T21:04:05.123+08:00 /dev/ttyUSB0: 端口无法打开: /dev/ttyUSB0
//
// Each line goes to the system as it is written, so a crash of the program loses none of the
// lines before it.
#pragma once

#include <QLoggingCategory>
#include <QString>
#include <mutex>
#include <string>

namespace kc {

Q_DECLARE_LOGGING_CATEGORY(LinkLog)

class DiagnosticLog {
 public:
  DiagnosticLog() = default;
  ~DiagnosticLog();
  DiagnosticLog(const DiagnosticLog&) = delete;
  DiagnosticLog& operator=(const DiagnosticLog&) = delete;

  // Starts a new file at path (its bytes as the system takes them), in place of what was there
  // (a symbolic link is replaced, not followed; a terminal or a pipe is written to). False,
  // with the system's reason in *error, when it cannot be written. A file open before is closed.
  bool OpenFile(const std::string& path, std::string* error);
  void CloseFile();
  bool file_open() const;

  // One line of the log, to the category and to the file when one is open. The first write the
  // file refuses (a full disk) is reported on standard error; later lines are still tried.
  void Write(const QString& line);

 private:
  mutable std::mutex mutex_;
  int fd_ = -1;
  std::string path_;
  bool write_failed_ = false;
};

// The program's log: the editor's and karaoke-ctl's sessions write to it, main opens its file.
DiagnosticLog& ProgramLog();
// ProgramLog().Write(line).
void LogLine(const QString& line);

}  // namespace kc
