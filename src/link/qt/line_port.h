// The line to the box, whatever carries it: a local serial port (QtSerialPort) or a serial device
// server on the network (NetworkPort, for tcp:// and rfc2217:// names). Each Open picks the kind
// by the name, so one link searches local ports and network addresses alike.
#pragma once

#include <QObject>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "link/qt/network_port.h"
#include "link/qt/qt_serial_port.h"
#include "link/serial_port.h"

namespace kc {

class LinePort : public QObject, public SerialPort {
  Q_OBJECT

 public:
  explicit LinePort(QObject* parent = nullptr);

  bool Open(const std::string& name) override;
  void Close() override;
  bool IsOpen() const override;
  bool Write(const uint8_t* data, std::size_t size) override;
  std::size_t Read(uint8_t* data, std::size_t size) override;
  std::size_t BytesWaiting() const override;

  // Opens a local port and closes it again at once, so that one that cannot be opened is known
  // (with device()'s reason) before a search: another program holds it, it is missing, it may
  // not be opened. A network address is not connected to here (true): its search says why.
  bool CanOpen(const std::string& name);

  void SetReceiveHandler(std::function<void(int count)> handler);
  void SetLogHandler(std::function<void(const std::string& line)> log);
  // A network line that was up has ended (NetworkPort::SetClosedHandler).
  void SetClosedHandler(std::function<void(bool by_server)> closed) {
    network_.SetClosedHandler(std::move(closed));
  }

  // Name of the line opened last, as it was given.
  const std::string& name() const { return name_; }
  // True when the line opened last is a network address.
  bool network() const { return active_ == &network_; }
  QtSerialPort& device() { return device_; }
  const QtSerialPort& device() const { return device_; }
  NetworkPort& network_port() { return network_; }
  const NetworkPort& network_port() const { return network_; }
  // Times a line ended itself after an error, of both kinds.
  int failures() const { return device_.failures() + network_.failures(); }

 private:
  QtSerialPort device_;
  NetworkPort network_;
  SerialPort* active_ = nullptr;
  std::string name_;
};

}  // namespace kc
