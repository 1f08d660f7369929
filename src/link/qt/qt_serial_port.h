// The serial line to the box over QSerialPort: 57600 8N1, no flow control, 1024-byte read
// buffer, blocking reads and writes bounded by the line's time-outs, and a receive notification
// on the user-interface thread carrying the number of waiting bytes.
//
// A device that goes away (an unplugged cable, a pseudo-terminal whose other end hung up) makes
// QSerialPort report read errors in a tight loop for as long as the port stays open. The first
// read, write or resource error therefore ends the port: it is closed (after the signal that
// reported it has returned), the diagnostic log gets a line, and from then on the port counts as
// closed, so the link drops its frames and its own silence detection reports the loss.
#pragma once

#include <QObject>
#include <QSerialPort>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/port_names.h"  // MergePortNames, which goes with SystemPortNames
#include "link/serial_port.h"

namespace kc {

// Read time-out for a request of `size` bytes and write time-out for `size` bytes, in ms.
inline int ReadTimeoutMs(std::size_t size) { return 1000 + 100 * static_cast<int>(size); }
inline int WriteTimeoutMs(std::size_t size) { return 1000 + 100 * static_cast<int>(size); }

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

  // Name of the port opened last.
  std::string name() const;
  // Why the last Open failed (NoError after one that succeeded), and Qt's text for it.
  QSerialPort::SerialPortError last_open_error() const { return last_open_error_; }
  const std::string& last_open_error_text() const { return last_open_error_text_; }
  // Number of times the port has ended itself after an error (for tests and the log).
  int failures() const { return failures_; }

 private:
  void OnReadyRead();
  void OnError(QSerialPort::SerialPortError error);
  void ScheduleNotification();
  void DeliverNotification();
  void Log(const std::string& line);

  QSerialPort port_;
  std::function<void(int)> receive_;
  std::function<void(const std::string&)> log_;
  // Set while the link is inside Read, Write or the receive handler.
  int busy_ = 0;
  // A notification came up while busy, or bytes were left behind by the last one.
  bool notification_posted_ = false;
  bool missed_notification_ = false;
  bool failed_ = false;
  // Counts opens, so that a deferred close does not hit a port opened after the error.
  unsigned generation_ = 0;
  std::size_t bytes_read_ = 0;
  int failures_ = 0;
  QSerialPort::SerialPortError last_open_error_ = QSerialPort::NoError;
  std::string last_open_error_text_;
};

// Names of the serial ports the system lists.
std::vector<std::string> SystemPortNames();

}  // namespace kc
