#include "cli/local_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace kc::cli {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;  // + the byte, for bytes 0x80..0xFF

// Length of the valid UTF-8 sequence at `at` and its code point; 0 when none starts there.
int Utf8Sequence(std::string_view bytes, std::size_t at, char32_t* code) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(at);
  int length = 0;
  char32_t value = 0;
  char32_t least = 0;
  if (lead < 0x80) {
    *code = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, least = 0x10000;
  } else {
    return 0;
  }
  if (at + length > bytes.size()) return 0;
  for (int i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(at + i) & 0x3F);
  }
  // Overlong forms, encoded surrogates and values past Unicode are not valid UTF-8.
  if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *code = value;
  return length;
}

void AppendUtf8(char32_t code, std::string& out) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::string SystemError(int error_number) { return std::strerror(error_number); }

// Writes all of `data`; false with errno set to the reason (EFBIG past a file-size limit, ENOSPC
// on a full disk) when the file took less.
bool WriteAll(int fd, std::string_view data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t wrote = ::write(fd, data.data() + done, data.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote < 0) return false;
    if (wrote == 0) {
      errno = EIO;
      return false;
    }
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

constexpr std::size_t kStreamBufferBytes = 1 << 16;

// A new, empty file named path + "." and six random letters in the same folder; -1 when none
// could be made. It is made with the permissions the user's umask leaves of rw-rw-rw- (mkstemp
// would make it rw------- whatever the umask), so the renamed file has them too.
int MakeTemporary(const std::string& path, std::string* temp) {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static std::mt19937 random(std::random_device{}());
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = path + ".";
    for (int i = 0; i < 6; ++i) name += kLetters[pick(random)];
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      *temp = name;
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  errno = EEXIST;
  return -1;
}

}  // namespace

QString NameFromBytes(std::string_view bytes) {
  QString name;
  name.reserve(static_cast<qsizetype>(bytes.size()));
  for (std::size_t at = 0; at < bytes.size();) {
    char32_t code = 0;
    const int length = Utf8Sequence(bytes, at, &code);
    if (length == 0) {
      name += QChar(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[at])));
      ++at;
      continue;
    }
    const char32_t one[1] = {code};
    name += QString::fromUcs4(one, 1);
    at += static_cast<std::size_t>(length);
  }
  return name;
}

std::string BytesOfName(const QString& name) {
  std::string out;
  const qsizetype n = name.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t unit = name[i].unicode();
    if (QChar::isHighSurrogate(unit) && i + 1 < n && QChar::isLowSurrogate(name[i + 1].unicode())) {
      AppendUtf8(QChar::surrogateToUcs4(unit, name[i + 1].unicode()), out);
      ++i;
    } else if (unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF) {
      out += static_cast<char>(unit - kEscapeBase);
    } else if (QChar::isSurrogate(unit)) {
      AppendUtf8(0xFFFD, out);
    } else {
      AppendUtf8(unit, out);
    }
  }
  return out;
}

QStringList ArgumentsFromArgv(int argc, char** argv) {
  QStringList args;
  for (int i = 0; i < argc; ++i) args << NameFromBytes(argv[i]);
  return args;
}

std::string FileProblem(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (errno == EACCES) return "permission denied";
    return "no such file";
  }
  if (S_ISDIR(info.st_mode)) return "is a folder, not a file";
  if (!S_ISREG(info.st_mode)) return "is not a regular file";
  if (::access(path.c_str(), R_OK) != 0) return "permission denied";
  return {};
}

std::string NotASerialPort(const std::string& port) {
  struct stat info {};
  if (::stat(port.c_str(), &info) != 0) return {};
  if (S_ISDIR(info.st_mode)) return "it is a folder, not a serial port";
  if (!S_ISCHR(info.st_mode)) return "it is not a serial port";
  // A device that is no terminal (/dev/null, a sound card) takes none of a line's settings; the
  // system's words for that ("Inappropriate ioctl for device") tell a user nothing. Opening it
  // without waiting and without making it the controlling terminal changes none of its settings.
  const int fd = ::open(port.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return {};
  const bool terminal = ::isatty(fd) == 1;
  ::close(fd);
  return terminal ? std::string() : "it is not a serial port";
}

std::string PortOpenProblem(const std::string& port, QSerialPort::SerialPortError error,
                            const std::string& error_text) {
  struct stat info {};
  if (::stat(port.c_str(), &info) != 0) {
    if (errno == EACCES) return "cannot open the port: permission denied";
    return "cannot open the port: no such port (is the cable plugged in?)";
  }
  if (const std::string not_a_port = NotASerialPort(port); !not_a_port.empty()) {
    return "cannot open the port: " + not_a_port;
  }
  if (::access(port.c_str(), R_OK | W_OK) != 0 && errno == EACCES) {
    return "cannot open the port: permission denied (the user may need to be in the group "
           "'dialout': sudo usermod -aG dialout \"$USER\", then log in again)";
  }
  switch (error) {
    case QSerialPort::PermissionError:
      return "cannot open the port: it is busy (another program holds it)";
    case QSerialPort::DeviceNotFoundError:
      return "cannot open the port: no such port (is the cable plugged in?)";
    default:
      return "cannot open the port: " +
             (error_text.empty() ? std::string("unknown error") : error_text);
  }
}

bool WriteFileWhole(const std::string& path, std::string_view data, std::string* error) {
  std::string temp;
  const int fd = MakeTemporary(path, &temp);
  if (fd < 0) {
    *error = SystemError(errno);
    return false;
  }
  bool ok = WriteAll(fd, data) && ::fsync(fd) == 0;
  int reason = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    reason = errno;
  }
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    reason = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    *error = SystemError(reason == 0 ? EIO : reason);
  }
  return ok;
}

bool FolderTakesFiles(const std::string& folder, std::string* error) {
  std::string temp;
  const int fd = MakeTemporary(folder + "/.karaoke-ctl-probe", &temp);
  if (fd < 0) {
    *error = SystemError(errno);
    return false;
  }
  ::close(fd);
  ::unlink(temp.c_str());
  return true;
}

FdWriteBuffer::FdWriteBuffer() : buffer_(kStreamBufferBytes) {
  setp(buffer_.data(), buffer_.data() + buffer_.size());
}

void FdWriteBuffer::Attach(int fd) {
  fd_ = fd;
  error_ = 0;
  setp(buffer_.data(), buffer_.data() + buffer_.size());
}

bool FdWriteBuffer::Drain() {
  const std::size_t pending = static_cast<std::size_t>(pptr() - pbase());
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  if (error_ != 0) return false;
  if (fd_ < 0) {
    error_ = EBADF;
    return false;
  }
  if (!WriteAll(fd_, std::string_view(buffer_.data(), pending))) {
    error_ = errno == 0 ? EIO : errno;
    return false;
  }
  return true;
}

FdWriteBuffer::int_type FdWriteBuffer::overflow(int_type ch) {
  if (!Drain()) return traits_type::eof();
  if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
  *pptr() = traits_type::to_char_type(ch);
  pbump(1);
  return ch;
}

int FdWriteBuffer::sync() { return Drain() ? 0 : -1; }

StagedFile::StagedFile() : out_(&buffer_) {}

StagedFile::~StagedFile() { Discard(); }

bool StagedFile::Open(const std::string& path, std::string* error) {
  Discard();
  path_ = path;
  struct stat info {};
  const bool special = ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
  if (special && S_ISDIR(info.st_mode)) {
    *error = "is a folder";
    return false;
  }
  staged_ = !special;
  if (special) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC);
  } else {
    fd_ = MakeTemporary(path, &temp_);
  }
  if (fd_ < 0) {
    *error = SystemError(errno);
    Discard();
    return false;
  }
  buffer_.Attach(fd_);
  out_.clear();
  open_ = true;
  return true;
}

bool StagedFile::Commit(std::string* error) {
  if (!open_) return false;
  out_.flush();
  int reason = buffer_.error();
  if (reason == 0 && out_.fail()) reason = EIO;
  // A file renamed into place is on disk first; a terminal or a pipe has nothing to sync.
  if (reason == 0 && !temp_.empty() && ::fsync(fd_) != 0) reason = errno;
  if (::close(fd_) != 0 && reason == 0) reason = errno;
  fd_ = -1;
  buffer_.Attach(-1);
  open_ = false;
  if (reason == 0 && !temp_.empty() && ::rename(temp_.c_str(), path_.c_str()) != 0) reason = errno;
  if (reason != 0) {
    *error = SystemError(reason);
    Discard();
    return false;
  }
  temp_.clear();
  return true;
}

void StagedFile::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  buffer_.Attach(-1);
  open_ = false;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

}  // namespace kc::cli
