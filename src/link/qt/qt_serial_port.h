// The serial line to the box over QSerialPort: 57600 8N1, no flow control, 1024-byte read
// buffer, blocking reads and writes bounded by the line's time-outs, and a receive notification
// on the user-interface thread carrying the number of waiting bytes.
//
// A device that goes away (an unplugged cable, a pseudo-terminal whose other end hung up) makes
// QSerialPort report read errors in a tight loop for as long as the port stays open. The first
// read, write or resource error therefore ends the port: it is closed (after the signal that
// reported it has returned), the diagnostic log gets a line, and from then on the port counts as
// closed, so the link drops its frames and its own silence detection reports the loss.
//
// A port another program holds is not opened: Open fails with PermissionError and the text
// kPortBusyText. Qt's own guards fall short on Linux: its lock file (LCK..name in /run/lock) is
// named after the name the port was given, so a symbolic link to the same device (box-sim's
// --link, /dev/serial/by-id/...) gets a lock file of its own, and its TIOCEXCL does not stop root.
// So the adapter
//   - gives Qt the device's resolved path (/dev/pts/3, /dev/ttyUSB0), so the lock file is the
//     device's whatever name was used, the one other lock-file users (minicom) choose;
//   - before Qt opens it, opens the device itself and refuses it when the terminal is in
//     exclusive mode (TIOCGEXCL: a program holding it with TIOCEXCL, as every QSerialPort does;
//     the kernel refuses everyone but root with EBUSY, counted busy too) or when another open of
//     it holds an exclusive flock (another karaoke-ctl or editor, picocom, pyserial's exclusive
//     ports); that descriptor keeps the flock for as long as the port is open.
// A program that merely has the device open, with neither lock nor exclusive mode, is not
// counted: the simulated box keeps the terminal side of its own pseudo-terminal open so that
// the line never hangs up, and that must not make it busy.
#pragma once

#include <QObject>
#include <QSerialPort>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/port_names.h"  // MergePortNames, which goes with SystemPortNames
#include "link/qt/receive_notifier.h"
#include "link/serial_port.h"

namespace kc {

// Read time-out for a request of `size` bytes and write time-out for `size` bytes, in ms.
inline int ReadTimeoutMs(std::size_t size) { return 1000 + 100 * static_cast<int>(size); }
inline int WriteTimeoutMs(std::size_t size) { return 1000 + 100 * static_cast<int>(size); }

// Qt's error text of an Open refused because another program holds the port.
inline constexpr char kPortBusyText[] = "busy (another program holds it)";

// Line settings and buffer size of the box's serial line.
inline constexpr int kBaudRate = 57600;
inline constexpr int kReadBufferSize = 1024;

class QtSerialPort : public QObject, public SerialPort {
  Q_OBJECT

 public:
  explicit QtSerialPort(QObject* parent = nullptr);
  ~QtSerialPort() override;

  bool Open(const std::string& name) override;
  void Close() override;
  // False once the port has failed, even before the deferred close has run.
  bool IsOpen() const override;
  bool Write(const uint8_t* data, std::size_t size) override;
  std::size_t Read(uint8_t* data, std::size_t size) override;
  std::size_t BytesWaiting() const override;

  // Receives the notification that bytes arrived, with the count waiting. Never called from
  // inside Read, Write or itself: a notification that comes up there is delivered afterwards.
  void SetReceiveHandler(std::function<void(int count)> handler);
  // Receives the lines this port adds to the diagnostic log.
  void SetLogHandler(std::function<void(const std::string& line)> log);

  // Name of the port opened last, as it was given.
  std::string name() const { return name_; }
  // Why the last Open failed (NoError after one that succeeded), and Qt's text for it.
  QSerialPort::SerialPortError last_open_error() const { return last_open_error_; }
  const std::string& last_open_error_text() const { return last_open_error_text_; }
  // Number of times the port has ended itself after an error (for tests and the log).
  int failures() const { return failures_; }

 private:
  void OnError(QSerialPort::SerialPortError error);
  void Log(const std::string& line);
  // Checks that no other program holds `device` and, when it is a terminal, holds an exclusive
  // flock on it until ReleaseDevice. False when another program holds it.
  bool ClaimDevice(const std::string& device);
  void ReleaseDevice();

  QSerialPort port_;
  std::string name_;
  // The adapter's own descriptor of the open device, holding its flock; -1 when none.
  int claim_fd_ = -1;
  ReceiveNotifier notifier_;
  std::function<void(const std::string&)> log_;
  bool failed_ = false;
  // Counts opens, so that a deferred close does not hit a port opened after the error.
  unsigned generation_ = 0;
  int failures_ = 0;
  QSerialPort::SerialPortError last_open_error_ = QSerialPort::NoError;
  std::string last_open_error_text_;
};

// Names of the serial ports the system lists.
std::vector<std::string> SystemPortNames();

}  // namespace kc
