#include "link/qt/diagnostic_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kc {

// Debug messages are off by default: the log is for a report, not for every run's terminal.
Q_LOGGING_CATEGORY(LinkLog, "karaoke.link", QtInfoMsg)

namespace {

// Local time with milliseconds and the offset from UTC, so that lines of different PCs compare.
QByteArray Stamp() {
  const QDateTime now = QDateTime::currentDateTime();
  return now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs).toUtf8();
}

// False with errno set when not every byte could be written.
bool WriteAll(int fd, const QByteArray& bytes) {
  const char* data = bytes.constData();
  qsizetype left = bytes.size();
  while (left > 0) {
    const ssize_t written = ::write(fd, data, static_cast<std::size_t>(left));
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    left -= written;
  }
  return true;
}

// A terminal, a pipe or a device named as the log (/dev/stderr) is written as it is. Any other
// name gets a new file: made exclusively under a name nobody can know beforehand, beside it, and
// renamed into place at once, so that a symbolic link planted at the name is replaced, never
// followed, and lines go on reaching the file as they are written.
int OpenNew(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
    if (S_ISDIR(info.st_mode)) {
      errno = EISDIR;
      return -1;
    }
    return ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  }
  for (int attempt = 0; attempt < 8; ++attempt) {
    const std::string temp =
        path + "." + QByteArray::number(QRandomGenerator::system()->generate64(), 16).toStdString();
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return -1;
    if (::rename(temp.c_str(), path.c_str()) != 0) {
      const int reason = errno;
      ::close(fd);
      ::unlink(temp.c_str());
      errno = reason;
      return -1;
    }
    return fd;
  }
  return -1;
}

}  // namespace

DiagnosticLog::~DiagnosticLog() { CloseFile(); }

bool DiagnosticLog::OpenFile(const std::string& path, std::string* error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (fd_ >= 0) ::close(fd_);
  fd_ = OpenNew(path);
  if (fd_ < 0) {
    if (error != nullptr) *error = std::strerror(errno);
    return false;
  }
  path_ = path;
  write_failed_ = false;
  return true;
}

void DiagnosticLog::CloseFile() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool DiagnosticLog::file_open() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return fd_ >= 0;
}

void DiagnosticLog::Write(const QString& line) {
  qCDebug(LinkLog).noquote() << line;
  std::lock_guard<std::mutex> lock(mutex_);
  if (fd_ < 0) return;
  if (WriteAll(fd_, Stamp() + ' ' + line.toUtf8() + '\n') || write_failed_) return;
  const int reason = errno;
  write_failed_ = true;
  const std::string program = QCoreApplication::applicationName().toStdString();
  std::fprintf(stderr, "%s: the log %s could not be written: %s\n",
               program.empty() ? "karaoke" : program.c_str(), path_.c_str(), std::strerror(reason));
  std::fflush(stderr);
}

DiagnosticLog& ProgramLog() {
  static DiagnosticLog log;
  return log;
}

void LogLine(const QString& line) { ProgramLog().Write(line); }

}  // namespace kc
