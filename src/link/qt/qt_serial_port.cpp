#include "link/qt/qt_serial_port.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QMetaObject>
#include <QSerialPortInfo>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace kc {
namespace {

bool IsFatal(QSerialPort::SerialPortError error) {
  return error == QSerialPort::ReadError || error == QSerialPort::WriteError ||
         error == QSerialPort::ResourceError;
}

// The device a port name leads to, through any symbolic links; the name itself when it leads
// nowhere (Qt then says why it cannot be opened).
std::string ResolvedDevice(const std::string& name) {
  char resolved[PATH_MAX];
  if (::realpath(name.c_str(), resolved) == nullptr) return name;
  return resolved;
}

}  // namespace

QtSerialPort::QtSerialPort(QObject* parent)
    : QObject(parent), notifier_([this] { return BytesWaiting(); }) {
  connect(&port_, &QSerialPort::readyRead, &notifier_, &ReceiveNotifier::OnArrival);
  connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialPort::OnError);
}

QtSerialPort::~QtSerialPort() {
  // No notification or error report may reach the owner while the port goes away.
  port_.disconnect(this);
  port_.disconnect(&notifier_);
  port_.close();
  ReleaseDevice();
}

void QtSerialPort::SetReceiveHandler(std::function<void(int count)> handler) {
  notifier_.SetHandler(std::move(handler));
}

void QtSerialPort::SetLogHandler(std::function<void(const std::string& line)> log) {
  log_ = std::move(log);
}

bool QtSerialPort::ClaimDevice(const std::string& device) {
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    // EBUSY: a program holds it in exclusive mode. Other reasons (missing, permission denied)
    // are Qt's to report.
    return errno != EBUSY;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) {
    ::close(fd);  // not a device: Qt says what it is
    return true;
  }
  int exclusive = 0;
  if (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
    ::close(fd);
    return false;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return !held;  // a file system without flock: nothing to go by
  }
  claim_fd_ = fd;
  return true;
}

void QtSerialPort::ReleaseDevice() {
  if (claim_fd_ >= 0) ::close(claim_fd_);
  claim_fd_ = -1;
}

bool QtSerialPort::Open(const std::string& name) {
  Close();
  ++generation_;
  failed_ = false;
  notifier_.Reset();
  name_ = name;
  last_open_error_ = QSerialPort::NoError;
  last_open_error_text_.clear();
  const std::string device = ResolvedDevice(name);
  if (!ClaimDevice(device)) {
    last_open_error_ = QSerialPort::PermissionError;
    last_open_error_text_ = kPortBusyText;
    return false;
  }
  port_.setPortName(QString::fromStdString(device));
  port_.setBaudRate(kBaudRate);
  port_.setDataBits(QSerialPort::Data8);
  port_.setParity(QSerialPort::NoParity);
  port_.setStopBits(QSerialPort::OneStop);
  port_.setFlowControl(QSerialPort::NoFlowControl);
  port_.setReadBufferSize(kReadBufferSize);
  if (!port_.open(QIODevice::ReadWrite)) {
    last_open_error_ = port_.error();
    last_open_error_text_ = port_.errorString().toStdString();
    port_.clearError();
    ReleaseDevice();
    return false;
  }
  // A pseudo-terminal has no modem lines and refuses these; that is harmless.
  port_.setDataTerminalReady(true);
  port_.setRequestToSend(true);
  port_.clearError();
  if (failed_) {  // the device went away while it was being set up
    port_.close();
    ReleaseDevice();
    return false;
  }
  return true;
}

void QtSerialPort::Close() {
  if (port_.isOpen()) port_.close();
  ReleaseDevice();
  port_.clearError();
  failed_ = false;
  notifier_.Reset();
}

bool QtSerialPort::IsOpen() const { return port_.isOpen() && !failed_; }

bool QtSerialPort::Write(const uint8_t* data, std::size_t size) {
  if (!IsOpen()) return false;
  ReceiveNotifier::Busy busy(notifier_);
  const qint64 queued = port_.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
  if (queued != static_cast<qint64>(size)) return false;
  QDeadlineTimer deadline(WriteTimeoutMs(size));
  while (!failed_ && port_.isOpen() && port_.bytesToWrite() > 0) {
    if (!port_.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) break;
  }
  return !failed_ && port_.isOpen() && port_.bytesToWrite() == 0;
}

std::size_t QtSerialPort::Read(uint8_t* data, std::size_t size) {
  if (!IsOpen() || size == 0) return 0;
  ReceiveNotifier::Busy busy(notifier_);
  QDeadlineTimer deadline(ReadTimeoutMs(size));
  while (!failed_ && port_.isOpen() && port_.bytesAvailable() < static_cast<qint64>(size) &&
         !deadline.hasExpired()) {
    if (!port_.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) break;
  }
  if (!port_.isOpen()) return 0;
  const qint64 got = port_.read(reinterpret_cast<char*>(data), static_cast<qint64>(size));
  if (got <= 0) return 0;
  notifier_.NoteRead(static_cast<std::size_t>(got));
  return static_cast<std::size_t>(got);
}

std::size_t QtSerialPort::BytesWaiting() const {
  if (!IsOpen()) return 0;
  return static_cast<std::size_t>(std::max<qint64>(0, port_.bytesAvailable()));
}

void QtSerialPort::OnError(QSerialPort::SerialPortError error) {
  if (!IsFatal(error) || failed_ || !port_.isOpen()) return;
  failed_ = true;
  ++failures_;
  Log("port " + name() + " closed after error: " + port_.errorString().toStdString());
  // Closing inside QSerialPort's own signal is not safe; close as soon as it has returned.
  const unsigned generation = generation_;
  QMetaObject::invokeMethod(
      this,
      [this, generation] {
        if (generation == generation_ && failed_) {
          port_.close();
          ReleaseDevice();
          port_.clearError();
        }
      },
      Qt::QueuedConnection);
}

void QtSerialPort::Log(const std::string& line) {
  if (log_) log_(line);
}

std::vector<std::string> SystemPortNames() {
  std::vector<std::string> names;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    names.push_back(info.portName().toStdString());
  }
  return names;
}

}  // namespace kc
