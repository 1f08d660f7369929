// The line to a box behind a serial device server on the network: raw TCP (tcp://HOST:PORT), the
// server passing bytes both ways with the line's settings made on the server, or Telnet with the
// COM Port Control option (rfc2217://HOST:PORT), which sets 57600 8N1 on the server's port and
// escapes the Telnet byte 0xFF both ways.
//
// To the link it is a serial port like any other. Open only checks the address and starts the
// connection; the interface never waits for the network. What the link writes before the
// connection is up is held and goes out the moment it is, after the Telnet greeting; each write
// goes out at once (no coalescing, TCP_NODELAY). A connection that is refused, closed by the
// server or lost ends the port as an unplugged cable ends a serial port: it counts as closed from
// then on. One that was up says so to its closed handler at once, so that the link need not wait
// for its silence detection to notice the loss. A connection still not made when
// the link closes the port (the next scan tick) counts as timed out. Each way of failing is kept
// with its reason in words for the program to show.
#pragma once

#include <QAbstractSocket>
#include <QObject>
#include <QTcpSocket>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/port_address.h"
#include "link/qt/receive_notifier.h"
#include "link/rfc2217_codec.h"
#include "link/serial_port.h"

namespace kc {

class NetworkPort : public QObject, public SerialPort {
  Q_OBJECT

 public:
  // Why the last connection did not work out.
  enum class Problem {
    kNone,
    kBadAddress,   // the name is not a network address the program understands
    kUnknownHost,  // the host name does not resolve
    kRefused,      // nothing listens there (or the server turned the connection away)
    kTimedOut,     // no connection before the link gave up on it
    kClosedByServer,
    kNetwork,  // anything else the network reported
  };

  explicit NetworkPort(QObject* parent = nullptr);
  ~NetworkPort() override;

  // False only for a name that is no network address; the connection is made in the background.
  bool Open(const std::string& name) override;
  void Close() override;
  // True from Open until the port is closed or its connection fails.
  bool IsOpen() const override;
  bool Write(const uint8_t* data, std::size_t size) override;
  // Never waits: the link reads only what BytesWaiting reported.
  std::size_t Read(uint8_t* data, std::size_t size) override;
  std::size_t BytesWaiting() const override;

  void SetReceiveHandler(std::function<void(int count)> handler);
  void SetLogHandler(std::function<void(const std::string& line)> log);
  // Told, after the socket's signal has returned, when a connection that was up ended:
  // by_server is true when the server closed it (another client may have taken its port).
  void SetClosedHandler(std::function<void(bool by_server)> closed) { closed_ = std::move(closed); }

  const std::string& name() const { return name_; }
  bool connected() const { return socket_.state() == QAbstractSocket::ConnectedState && !failed_; }
  Problem problem() const { return problem_; }
  // The problem in words, e.g. "connection refused by 192.168.1.21:4001".
  const std::string& problem_text() const { return problem_text_; }
  // Bytes received but dropped unread since Open, past kMaxIncoming.
  std::size_t dropped() const { return dropped_; }
  // Connections that ended after an error (for tests and the log).
  int failures() const { return failures_; }
  // The server's answer to the baud rate asked for (Telnet only; 0 until it answered).
  uint32_t reported_baud_rate() const { return telnet_ ? telnet_->reported_baud_rate() : 0; }

 private:
  void OnConnected();
  void OnReadyRead();
  void OnError(QAbstractSocket::SocketError error);
  void Fail(Problem problem, const std::string& text);
  bool Send(const std::vector<uint8_t>& bytes);
  void Log(const std::string& line);
  std::string Where() const;

  QTcpSocket socket_;
  std::string name_;
  PortAddress address_;
  std::optional<Rfc2217Codec> telnet_;
  // Written before the connection was up, ready for the socket.
  std::vector<uint8_t> held_;
  // The line's bytes received and not read yet; at most kMaxIncoming (a box answers one request
  // with a few hundred bytes), the oldest dropped past that, so a flood cannot fill memory.
  static constexpr std::size_t kMaxIncoming = 8192;
  std::deque<uint8_t> incoming_;
  std::size_t dropped_ = 0;
  ReceiveNotifier notifier_;
  std::function<void(const std::string&)> log_;
  std::function<void(bool)> closed_;
  bool open_ = false;
  bool failed_ = false;
  bool refusal_logged_ = false;
  // Counts opens, so that a deferred abort does not hit a connection made after the error.
  unsigned generation_ = 0;
  int failures_ = 0;
  Problem problem_ = Problem::kNone;
  std::string problem_text_;
};

}  // namespace kc
